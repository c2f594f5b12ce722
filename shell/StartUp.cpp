// The parsed command line.
#include "shell/StartUp.h"

#include <filesystem>
#include <sys/stat.h>

TAppParams AppParams;

namespace {

// The absolute, lexically normal form of a name (links are not resolved).
std::string AbsoluteName(const std::string& Name)
{
    std::error_code ec;
    const std::filesystem::path p = std::filesystem::absolute(Name, ec);
    return ec ? Name : p.lexically_normal().string();
}

} // namespace

void TAppParams::AddFile(const std::string& Name)
{
    if (Files.IndexOf(Name) < 0)
        Files.Add(Name);
}

std::string TAppParams::GetFile(int Index) const
{
    return Index >= 0 && Index < FileCount() ? Files[Index] : std::string();
}

void TAppParams::ParseCommandLine(const std::vector<std::string>& Args)
{
    for (const std::string& arg : Args) {
        if (SameText(arg, "-NoSplash")) {
            Include(aoNoSplash);
        } else if (SameText(arg, "-Debug")) {
            Include(aoDebug);
        } else if (FileExists(arg) && IsPictureFile(arg)) {
            Include(aoFiles);
            AddFile(AbsoluteName(arg));
        } else if (!HasOption(aoDirectory) && DirectoryExists(arg)) {
            Include(aoDirectory);
            StartDir = AbsoluteName(arg);
        }
    }
}

bool IsPictureExt(const std::string& Ext)
{
    for (const char* known : {".bmp", ".jpeg", ".jpg", ".gif"})
        if (SameText(Ext, known))
            return true;
    return false;
}

bool IsPictureFile(const std::string& Name)
{
    struct stat st {};
    return !Name.empty() && ::stat(Name.c_str(), &st) == 0 && IsPictureExt(ExtractFileExt(Name));
}
