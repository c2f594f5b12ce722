#pragma once
// The browser's file operations on one file at a time: copy, move, rename and delete to the desktop
// trash. No file is ever replaced without asking: the "no replace" is done by the system call itself,
// and an existing destination is put to the user through the user-interface services. Errors are shown
// there too; every operation answers only whether it succeeded.
#include <string>
#include <vector>

// How one operation ended. Declined: the user answered No to its replace or trash question, so
// nothing changed and nothing went wrong; Failed: an error, which was shown.
enum class TFileOutcome { Done, Declined, Failed };

// Caption of the destination-folder prompt: "Choose directory to %s '%s' to..", verb "copy" or "move".
std::string ChooseDirectoryCaption(const std::string& Verb, const std::string& FileName);

// True when Name can be one entry of a folder: not empty, not "." or "..", at most 255 bytes, and
// without '/' or NUL.
bool ValidFileName(const std::string& Name);

// Copies SourceDir + FileName to DestDir + FileName, keeping its date and permissions. Confirm False
// never replaces an existing file (it fails instead). Each operation answers whether it succeeded, and
// how it ended in Outcome when that is given.
bool ShellCopyFile(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir, bool Confirm,
                   TFileOutcome* Outcome = nullptr);
// Moves SourceDir + FileName to DestDir + FileName; across devices the source is removed only once the
// copy is complete.
bool ShellMoveFile(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir, bool Confirm,
                   TFileOutcome* Outcome = nullptr);
// Renames Dir + OldName to Dir + NewName. Names compare exactly: a change of letter case is a rename.
bool ShellRenameFile(const std::string& OldName, const std::string& NewName, const std::string& Dir, bool Confirm,
                     TFileOutcome* Outcome = nullptr);
// Moves Path to the desktop trash, asking first when Confirm is True. A file that cannot go to the trash
// is left where it is: it is never deleted for good.
bool ShellDeleteFile(const std::string& Path, bool Confirm, TFileOutcome* Outcome = nullptr);

// A run of operations goes over every name in order: a No to one file's question skips that file
// only; the first error ends the run.
struct TFileBatchResult {
    bool Ok = true;
    std::vector<std::string> Done;    // the names handled, in order
    std::vector<std::string> Skipped; // the names answered No, in order
    std::string Failed;               // the name that stopped the run; empty when Ok
};

TFileBatchResult ShellCopyFiles(const std::vector<std::string>& FileNames, const std::string& SourceDir,
                                const std::string& DestDir, bool Confirm);
TFileBatchResult ShellMoveFiles(const std::vector<std::string>& FileNames, const std::string& SourceDir,
                                const std::string& DestDir, bool Confirm);
// Pairs of old and new names in Dir; Done and Failed hold the old names.
TFileBatchResult ShellRenameFiles(const std::vector<std::pair<std::string, std::string>>& Names,
                                  const std::string& Dir, bool Confirm);
TFileBatchResult ShellDeleteFiles(const std::vector<std::string>& Paths, bool Confirm);
