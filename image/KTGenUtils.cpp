// Small stateless helpers.
#include "image/KTGenUtils.h"

#include "platform/Classes.h"
#include "platform/SysUtils.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

void NormalizeRect(TRect& R)
{
    if (R.Right < R.Left)
        std::swap(R.Left, R.Right);
    if (R.Bottom < R.Top)
        std::swap(R.Top, R.Bottom);
}

void OffsetRectBy(const TRect& R, int32_t DX, int32_t DY, TRect& Result)
{
    Result = Rect(R.Left + DX, R.Top + DY, R.Right + DX, R.Bottom + DY);
}

void UnionRects(const TRect& A, const TRect& B, TRect& Result)
{
    Result = Rect(std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                  std::max(A.Bottom, B.Bottom));
}

int TrimmedLength(const std::string& S) { return static_cast<int>(Trim(S).size()); }

bool IsValidInteger(const std::string& S)
{
    int32_t v = 0;
    return TrimmedLength(S) > 0 && TryStrToInt(S, v);
}

bool IsValidFloat(const std::string& S)
{
    double v = 0;
    return TrimmedLength(S) > 0 && TryStrToFloat(S, v);
}

void AddTrailingBackslash(std::string& S)
{
    if (!S.empty() && !IsPathDelimiter(S.back()))
        S += '/';
}

std::string ExtractExtNoDot(const std::string& FileName)
{
    const size_t stop = FileName.find_last_of("./\\:");
    if (stop == std::string::npos || FileName[stop] != '.')
        return std::string();
    return FileName.substr(stop + 1);
}

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// The value of a PRETTY_NAME="..." line, quotes and escapes removed.
std::string OsReleasePrettyName()
{
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("PRETTY_NAME=", 0) != 0)
                continue;
            std::string v = Trim(line.substr(12));
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            std::string out;
            for (size_t i = 0; i < v.size(); ++i) {
                if (v[i] == '\\' && i + 1 < v.size())
                    ++i;
                out += v[i];
            }
            if (!out.empty())
                return out;
        }
    }
    return "Linux";
}

// Total physical memory in bytes, 0 when unknown.
uint64_t TotalMemoryBytes()
{
    struct sysinfo info {};
    if (::sysinfo(&info) == 0 && info.totalram > 0)
        return static_cast<uint64_t>(info.totalram) * (info.mem_unit ? info.mem_unit : 1);
    std::ifstream in("/proc/meminfo");
    std::string key;
    uint64_t kb = 0;
    while (in >> key) {
        if (key == "MemTotal:" && (in >> kb))
            return kb * 1024;
        in.ignore(4096, '\n');
    }
    return 0;
}

} // namespace

bool GetFileDateTime(const std::string& FileName, double& DateTime)
{
    // Opened as every reader opens a file: never blocking, and anything but a regular file (a FIFO,
    // a device, a folder) is refused, so it has no date.
    if (FileName.empty() || FileName.find('\0') != std::string::npos)
        return false;
    struct stat st {};
    try {
        TFileStream file(FileName, fmOpenRead);
        if (::fstat(file.Handle(), &st) != 0)
            return false;
    } catch (const std::exception&) {
        return false;
    }
    const time_t t = st.st_mtim.tv_sec;
    struct tm local {};
    if (!::localtime_r(&t, &local))
        return false;
    const int64_t days = DaysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) -
                         DaysFromCivil(1899, 12, 30);
    // Whole two-second steps, as the file-date format keeps them.
    const double seconds = local.tm_hour * 3600.0 + local.tm_min * 60.0 + (local.tm_sec & ~1);
    DateTime = static_cast<double>(days) + seconds / 86400.0;
    return true;
}

bool GetOSVersionInfo(std::string& OSName, std::string& VersionText, std::string& MemoryText)
{
    OSName.clear();
    VersionText.clear();
    MemoryText.clear();
    struct utsname un {};
    if (::uname(&un) != 0)
        return false;
    OSName = OsReleasePrettyName();
    VersionText = std::string(un.release) + " " + un.version;
    if (const uint64_t bytes = TotalMemoryBytes())
        MemoryText = FloatToStrNumber(static_cast<double>(bytes / 1024), 0) + " KB";
    return true;
}
