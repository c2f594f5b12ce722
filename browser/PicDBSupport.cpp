// File names, file dates and folder listings for the picture database.
#include "browser/PicDBSupport.h"

#include "platform/Classes.h"

#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace picdb {

bool IsStorableName(const std::string& Name)
{
    return !Name.empty() && Name.size() <= 254 && Name != "." && Name != ".." &&
           Name.find('/') == std::string::npos && Name.find('\0') == std::string::npos;
}

int32_t UnixTimeToFileAge(time_t Time)
{
    return UnixTimeToFileDate(Time);
}

bool GetFileAge(const std::string& Path, int32_t& FileAge)
{
    const int32_t Age = ::FileAge(Path);
    if (Age == -1)
        return false;
    FileAge = Age;
    return true;
}

bool FileAgeToDateTime(int32_t FileAge, QDateTime& DateTime)
{
    const uint32_t P = static_cast<uint32_t>(FileAge);
    const QDate Date(int(P >> 25) + 1980, int((P >> 21) & 15), int((P >> 16) & 31));
    const int Hour = int((P >> 11) & 31), Minute = int((P >> 5) & 63), Second = int(P & 31) * 2;
    if (!Date.isValid() || Hour > 23 || Minute > 59 || Second > 59)
        return false;
    DateTime = QDateTime(Date, QTime(Hour, Minute, Second));
    return true;
}

namespace {
// A Qt date-time format without its time-zone fields ('t' outside quotes) and the blanks they leave.
QString WithoutTimeZone(const QString& Format)
{
    QString Out;
    bool Quoted = false;
    for (const QChar C : Format) {
        if (C == u'\'')
            Quoted = !Quoted;
        if (Quoted || C != u't')
            Out += C;
    }
    return Out.simplified();
}
} // namespace

std::string DateTimeToStr(const QDateTime& DateTime)
{
    const QLocale Locale;
    QString Text = Locale.toString(DateTime.date(), Locale.dateFormat(QLocale::ShortFormat));
    if (DateTime.time() != QTime(0, 0))
        Text += u' ' + Locale.toString(DateTime.time(), WithoutTimeZone(Locale.timeFormat(QLocale::LongFormat)));
    return Text.toStdString();
}

namespace {
int FileTypeIndex(const std::string& Name, const TStringList& FileTypes)
{
    const size_t Dot = Name.rfind('.');
    if (Dot == std::string::npos)
        return -1;
    const std::string Ext = Name.substr(Dot + 1);
    if (Ext.empty())
        return -1;
    for (int I = 0; I < FileTypes.Count(); ++I)
        if (SameText(Ext, FileTypes[I]))
            return I;
    return -1;
}
} // namespace

std::vector<TListedFile> ListPictureFiles(const std::string& Directory, const TStringList& FileTypes)
{
    std::vector<TListedFile> Files;
    DIR* Dir = ::opendir(Directory.empty() ? "." : Directory.c_str());
    if (!Dir)
        throw EInOutError(Format("Cannot read folder \"%s\". %s", Directory, std::strerror(errno)));
    struct Closer {
        DIR* D;
        ~Closer() { ::closedir(D); }
    } Close{Dir};
    const std::string Prefix = IncludeTrailingPathDelimiter(Directory);
    while (const dirent* Entry = ::readdir(Dir)) {
        const std::string Name = Entry->d_name;
        if (Name.empty() || Name[0] == '.')
            continue;
        const int Type = FileTypeIndex(Name, FileTypes);
        if (Type < 0)
            continue;
        if (Entry->d_type != DT_REG) {
            struct stat St {};
            if (Entry->d_type != DT_LNK && Entry->d_type != DT_UNKNOWN)
                continue;
            if (::stat((Prefix + Name).c_str(), &St) != 0 || !S_ISREG(St.st_mode))
                continue;
        }
        Files.push_back({Name, Type});
    }
    return Files;
}

int CompareFileNames(const std::string& A, const std::string& B)
{
    const int C = CompareText(A, B);
    return C != 0 ? C : CompareStr(A, B);
}

} // namespace picdb
