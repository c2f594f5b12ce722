#pragma once
// The parsed command line: "-NoSplash", "-Debug", picture files to open and one folder to browse.
#include "platform/Classes.h"

#include <cstdint>
#include <string>
#include <vector>

enum TAppOption : uint8_t { aoDebug = 0, aoNoSplash = 1, aoFiles = 2, aoDirectory = 3 };

class TAppParams {
public:
    uint8_t Options = 0; // a set of TAppOption, one bit each
    TStringList Files;   // picture files in command-line order, no duplicates
    std::string StartDir;

    void Include(TAppOption Option) { Options |= static_cast<uint8_t>(1u << Option); }
    void Exclude(TAppOption Option) { Options &= static_cast<uint8_t>(~(1u << Option)); }
    bool HasOption(TAppOption Option) const { return (Options >> Option) & 1u; }

    // Appends Name unless Files already holds it.
    void AddFile(const std::string& Name);
    // The name at Index, or an empty string outside 0 .. FileCount() - 1.
    std::string GetFile(int Index) const;
    int FileCount() const { return Files.Count(); }

    // Reads the arguments (without the program name) in order; for each the first matching rule wins:
    // "-NoSplash" and "-Debug" in any letter case set their options; an existing picture file is added
    // (aoFiles); the first existing folder becomes StartDir (aoDirectory). Anything else is skipped
    // silently. Files and the folder are kept as absolute paths, so that the same file named in two
    // ways is opened once.
    void ParseCommandLine(const std::vector<std::string>& Args);
};

// The program's one command line, parsed at start-up.
extern TAppParams AppParams;

// True for ".bmp", ".jpeg", ".jpg" and ".gif" in any letter case.
bool IsPictureExt(const std::string& Ext);
// True when Name exists and its extension names a picture format.
bool IsPictureFile(const std::string& Name);
