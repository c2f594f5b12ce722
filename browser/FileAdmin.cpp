// File operations over POSIX calls, and GIO for the trash. Copies are streamed into a temporary file beside the
// destination and put in place by a rename that refuses to replace; only after the user agreed is an
// existing file replaced, and then by one atomic rename.
#include "browser/FileAdmin.h"

// Before any Qt header: GLib uses names that Qt defines as macros (signals).
#include <gio/gio.h>

#include "globals/UIServicesIntf.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kChunk = 1 << 20;

std::string JoinPath(const std::string& Dir, const std::string& Name)
{
    if (Dir.empty() || Dir.back() == '/')
        return Dir + Name;
    if (Dir.back() == '\\')
        return Dir.substr(0, Dir.size() - 1) + "/" + Name;
    return Dir + "/" + Name;
}

std::string FolderOf(const std::string& Path)
{
    const auto Slash = Path.rfind('/');
    return Slash == std::string::npos ? std::string("./") : Path.substr(0, Slash + 1);
}

void ShowError(const std::string& Text) { ShowMessageDlg(nullptr, Text, mtError, mbOK); }

std::string Failure(const char* Verb, const std::string& From, const std::string& To, const std::string& Why)
{
    return std::string("Cannot ") + Verb + " '" + From + "' to '" + To + "': " + Why + ".";
}

bool SameFile(const std::string& A, const std::string& B)
{
    std::error_code Ec;
    return std::filesystem::equivalent(A, B, Ec) && !Ec;
}

// A destination the user agreed to replace must be a file (or a link), never a folder or a device.
bool ReplaceableTarget(const std::string& Path)
{
    struct stat St;
    return ::lstat(Path.c_str(), &St) == 0 && (S_ISREG(St.st_mode) || S_ISLNK(St.st_mode));
}

// Puts From at To only when To does not exist: 0 on success, else the error (EEXIST, EXDEV, ...).
int RenameNoReplace(const std::string& From, const std::string& To)
{
    if (::renameat2(AT_FDCWD, From.c_str(), AT_FDCWD, To.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int E = errno;
    if (E != EINVAL && E != ENOSYS && E != ENOTSUP)
        return E;
    // The file system lacks the flag: a hard link cannot replace either.
    if (::link(From.c_str(), To.c_str()) != 0)
        return errno;
    if (::unlink(From.c_str()) != 0) {
        const int E2 = errno;
        ::unlink(To.c_str());
        return E2;
    }
    return 0;
}

enum class TPlaced { Done, Declined, CrossDevice, Failed };

// Moves From to To; an existing To is replaced only when Confirm is set and the user says Yes.
// CrossDevice is answered without a message, every other failure is shown. Agreed records a Yes, so
// that a move continued across devices does not ask twice.
TPlaced Place(const std::string& From, const std::string& To, bool Confirm, const char* Verb,
              const std::string& Shown, bool& Agreed)
{
    int E = RenameNoReplace(From, To);
    if (E == 0)
        return TPlaced::Done;
    if (E == EXDEV)
        return TPlaced::CrossDevice;
    if (E == EEXIST) {
        if (!Confirm) {
            ShowError(Failure(Verb, Shown, To, "a file of that name already exists"));
            return TPlaced::Failed;
        }
        if (!ReplaceableTarget(To)) {
            ShowError(Failure(Verb, Shown, To, "something that is not a file has that name"));
            return TPlaced::Failed;
        }
        if (!Agreed
            && ShowMessageDlg(nullptr, "The file '" + To + "' already exists.\nDo you want to replace it?",
                              mtConfirmation, mbYes | mbNo)
                   != mrYes)
            return TPlaced::Declined;
        Agreed = true;
        if (::rename(From.c_str(), To.c_str()) == 0)
            return TPlaced::Done;
        E = errno;
        if (E == EXDEV)
            return TPlaced::CrossDevice;
    }
    ShowError(Failure(Verb, Shown, To, std::strerror(E)));
    return TPlaced::Failed;
}

struct TFd {
    int F = -1;
    ~TFd()
    {
        if (F >= 0)
            ::close(F);
    }
};

bool WriteAll(int Fd, const char* Data, size_t Size)
{
    while (Size > 0) {
        const ssize_t N = ::write(Fd, Data, Size);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        Data += N;
        Size -= size_t(N);
    }
    return true;
}

// Streams the regular file Src into a new hidden temporary in Dest's folder with Src's permissions and
// dates. Answers the temporary's path, or empty with the reason in Why.
std::string CopyToTemporary(const std::string& Src, const std::string& Dest, std::string& Why)
{
    TFd In;
    In.F = ::open(Src.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat St;
    if (In.F < 0 || ::fstat(In.F, &St) != 0) {
        Why = std::strerror(errno);
        return {};
    }
    if (!S_ISREG(St.st_mode)) {
        Why = "not a regular file";
        return {};
    }
    std::string Temp = FolderOf(Dest) + ".canvello-copy-XXXXXX";
    TFd Out;
    Out.F = ::mkostemp(Temp.data(), O_CLOEXEC);
    if (Out.F < 0) {
        Why = std::strerror(errno);
        return {};
    }
    auto Fail = [&]() {
        Why = std::strerror(errno);
        ::unlink(Temp.c_str());
        return std::string();
    };
    std::unique_ptr<char[]> Buffer(new char[kChunk]);
    for (;;) {
        const ssize_t N = ::read(In.F, Buffer.get(), kChunk);
        if (N < 0) {
            if (errno == EINTR)
                continue;
            return Fail();
        }
        if (N == 0)
            break;
        if (!WriteAll(Out.F, Buffer.get(), size_t(N)))
            return Fail();
    }
    const struct timespec Times[2] = {St.st_atim, St.st_mtim};
    if (::fchmod(Out.F, St.st_mode & 0777) != 0 || ::futimens(Out.F, Times) != 0 || ::fsync(Out.F) != 0)
        return Fail();
    const int F = Out.F;
    Out.F = -1;
    if (::close(F) != 0)
        return Fail();
    return Temp;
}

// A new symbolic link in Dest's folder with the same target (and dates) as the link Src, under a hidden
// temporary name. Answers its path, or empty with the reason in Why.
std::string LinkToTemporary(const std::string& Src, const std::string& Dest, std::string& Why)
{
    std::string Target(256, '\0');
    for (;;) {
        const ssize_t N = ::readlink(Src.c_str(), Target.data(), Target.size());
        if (N < 0) {
            Why = std::strerror(errno);
            return {};
        }
        if (size_t(N) < Target.size()) {
            Target.resize(size_t(N));
            break;
        }
        Target.resize(Target.size() * 2);
    }
    struct stat St;
    if (::lstat(Src.c_str(), &St) != 0) {
        Why = std::strerror(errno);
        return {};
    }
    std::random_device Random;
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        const std::string Temp = FolderOf(Dest) + ".canvello-link-" + std::to_string(Random());
        if (::symlink(Target.c_str(), Temp.c_str()) == 0) {
            const struct timespec Times[2] = {St.st_atim, St.st_mtim};
            ::utimensat(AT_FDCWD, Temp.c_str(), Times, AT_SYMLINK_NOFOLLOW);
            return Temp;
        }
        if (errno != EEXIST) {
            Why = std::strerror(errno);
            return {};
        }
    }
    Why = "no free temporary name";
    return {};
}

// Src at Dest as a copy of the file through a temporary; Declined and failures leave Dest as it was.
// With KeepLinks a symbolic link Src becomes a new link to the same target, not a copy of what it
// points to.
TPlaced CopyInto(const std::string& Src, const std::string& Dest, bool Confirm, const char* Verb, bool& Agreed,
                 bool KeepLinks = false)
{
    struct stat St;
    const bool Link = KeepLinks && ::lstat(Src.c_str(), &St) == 0 && S_ISLNK(St.st_mode);
    std::string Why;
    const std::string Temp = Link ? LinkToTemporary(Src, Dest, Why) : CopyToTemporary(Src, Dest, Why);
    if (Temp.empty()) {
        ShowError(Failure(Verb, Src, Dest, Why));
        return TPlaced::Failed;
    }
    const TPlaced R = Place(Temp, Dest, Confirm, Verb, Src, Agreed);
    if (R != TPlaced::Done)
        ::unlink(Temp.c_str());
    return R;
}

bool Exists(const std::string& Path, const char* Verb, const std::string& To)
{
    struct stat St;
    if (::lstat(Path.c_str(), &St) == 0)
        return true;
    ShowError(Failure(Verb, Path, To, std::strerror(errno)));
    return false;
}

bool RefuseSameFile(const std::string& Src, const std::string& Dest, const char* Verb)
{
    if (!SameFile(Src, Dest))
        return false;
    ShowError(Failure(Verb, Src, Dest, "the source and the destination are the same file"));
    return true;
}

TFileOutcome OutcomeOf(TPlaced R)
{
    return R == TPlaced::Done ? TFileOutcome::Done : R == TPlaced::Declined ? TFileOutcome::Declined : TFileOutcome::Failed;
}

// Gives Outcome to the caller that asked for it; whether it is Done.
bool Report(TFileOutcome Outcome, TFileOutcome* To)
{
    if (To)
        *To = Outcome;
    return Outcome == TFileOutcome::Done;
}

TFileOutcome CopyPath(const std::string& Src, const std::string& Dest, bool Confirm)
{
    if (!Exists(Src, "copy", Dest) || RefuseSameFile(Src, Dest, "copy"))
        return TFileOutcome::Failed;
    bool Agreed = false;
    return OutcomeOf(CopyInto(Src, Dest, Confirm, "copy", Agreed));
}

TFileOutcome MovePath(const std::string& Src, const std::string& Dest, bool Confirm, const char* Verb)
{
    if (!Exists(Src, Verb, Dest) || RefuseSameFile(Src, Dest, Verb))
        return TFileOutcome::Failed;
    bool Agreed = false;
    TPlaced R = Place(Src, Dest, Confirm, Verb, Src, Agreed);
    if (R != TPlaced::CrossDevice)
        return OutcomeOf(R);
    // Another device: copy (a link as a link), and remove the source only once the copy is in place.
    R = CopyInto(Src, Dest, Confirm, Verb, Agreed, true);
    if (R != TPlaced::Done)
        return OutcomeOf(R);
    if (::unlink(Src.c_str()) != 0) {
        ShowError("'" + Src + "' was copied to '" + Dest + "' but could not be removed: " + std::strerror(errno) + ".");
        return TFileOutcome::Failed;
    }
    return TFileOutcome::Done;
}

// Run(Item, Outcome) for each item in order: a No skips the item, an error ends the run.
template <class TItems, class TNameOf, class TRun>
TFileBatchResult RunBatch(const TItems& Items, TNameOf NameOf, TRun Run)
{
    TFileBatchResult R;
    for (const auto& Item : Items) {
        TFileOutcome Outcome = TFileOutcome::Failed;
        Run(Item, &Outcome);
        if (Outcome == TFileOutcome::Done) {
            R.Done.push_back(NameOf(Item));
        } else if (Outcome == TFileOutcome::Declined) {
            R.Skipped.push_back(NameOf(Item));
        } else {
            R.Ok = false;
            R.Failed = NameOf(Item);
            break;
        }
    }
    return R;
}

} // namespace

std::string ChooseDirectoryCaption(const std::string& Verb, const std::string& FileName)
{
    return "Choose directory to " + Verb + " '" + FileName + "' to..";
}

bool ShellCopyFile(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir, bool Confirm,
                   TFileOutcome* Outcome)
{
    return Report(CopyPath(JoinPath(SourceDir, FileName), JoinPath(DestDir, FileName), Confirm), Outcome);
}

bool ShellMoveFile(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir, bool Confirm,
                   TFileOutcome* Outcome)
{
    return Report(MovePath(JoinPath(SourceDir, FileName), JoinPath(DestDir, FileName), Confirm, "move"), Outcome);
}

bool ShellRenameFile(const std::string& OldName, const std::string& NewName, const std::string& Dir, bool Confirm,
                     TFileOutcome* Outcome)
{
    if (!ValidFileName(NewName)) {
        ShowError("Cannot rename '" + OldName + "': '" + NewName + "' is not a valid file name.");
        return Report(TFileOutcome::Failed, Outcome);
    }
    return Report(MovePath(JoinPath(Dir, OldName), JoinPath(Dir, NewName), Confirm, "rename"), Outcome);
}

bool ShellDeleteFile(const std::string& Path, bool Confirm, TFileOutcome* Outcome)
{
    struct stat St;
    if (::lstat(Path.c_str(), &St) != 0) {
        ShowError("Cannot delete '" + Path + "': " + std::strerror(errno) + ".");
        return Report(TFileOutcome::Failed, Outcome);
    }
    if (Confirm
        && ShowMessageDlg(nullptr, "Are you sure you want to move '" + Path + "' to the trash?", mtConfirmation,
                          mbYes | mbNo)
               != mrYes)
        return Report(TFileOutcome::Declined, Outcome);
    // GIO follows the desktop trash rules (home trash or the volume's own, escaped info file) and fails
    // rather than retrying or copying when the trash cannot be written. The path keeps its raw bytes.
    GFile* File = g_file_new_for_path(Path.c_str());
    GError* Error = nullptr;
    const bool Trashed = g_file_trash(File, nullptr, &Error);
    g_object_unref(File);
    if (Trashed)
        return Report(TFileOutcome::Done, Outcome);
    const std::string Why = Error ? Error->message : "unknown error";
    if (Error)
        g_error_free(Error);
    ShowError("Cannot move '" + Path + "' to the trash. The file was not deleted.\n" + Why);
    return Report(TFileOutcome::Failed, Outcome);
}

TFileBatchResult ShellCopyFiles(const std::vector<std::string>& FileNames, const std::string& SourceDir,
                                const std::string& DestDir, bool Confirm)
{
    return RunBatch(FileNames, [](const std::string& N) { return N; },
                    [&](const std::string& N, TFileOutcome* O) { return ShellCopyFile(N, SourceDir, DestDir, Confirm, O); });
}

TFileBatchResult ShellMoveFiles(const std::vector<std::string>& FileNames, const std::string& SourceDir,
                                const std::string& DestDir, bool Confirm)
{
    return RunBatch(FileNames, [](const std::string& N) { return N; },
                    [&](const std::string& N, TFileOutcome* O) { return ShellMoveFile(N, SourceDir, DestDir, Confirm, O); });
}

TFileBatchResult ShellRenameFiles(const std::vector<std::pair<std::string, std::string>>& Names,
                                  const std::string& Dir, bool Confirm)
{
    using TPair = std::pair<std::string, std::string>;
    return RunBatch(Names, [](const TPair& P) { return P.first; },
                    [&](const TPair& P, TFileOutcome* O) { return ShellRenameFile(P.first, P.second, Dir, Confirm, O); });
}

TFileBatchResult ShellDeleteFiles(const std::vector<std::string>& Paths, bool Confirm)
{
    return RunBatch(Paths, [](const std::string& P) { return P; },
                    [&](const std::string& P, TFileOutcome* O) { return ShellDeleteFile(P, Confirm, O); });
}

bool ValidFileName(const std::string& Name)
{
    return !Name.empty() && Name != "." && Name != ".." && Name.size() <= 255
           && Name.find('/') == std::string::npos && Name.find('\0') == std::string::npos;
}
