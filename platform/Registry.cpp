// The settings store over QSettings in INI format.
#include "platform/Registry.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace {

// Key path with '/' between its names; empty when the path has no name or an empty one inside.
bool NormaliseKey(const std::string& Key, std::string& Path)
{
    std::string s = Key;
    for (char& c : s)
        if (c == '\\')
            c = '/';
    size_t b = 0, e = s.size();
    while (b < e && s[b] == '/')
        ++b;
    while (e > b && s[e - 1] == '/')
        --e;
    s = s.substr(b, e - b);
    if (s.empty() || s.find("//") != std::string::npos)
        return false;
    Path = s;
    return true;
}

bool ValidValueName(const std::string& Name)
{
    return !Name.empty() && Name.find('/') == std::string::npos && Name.find('\\') == std::string::npos;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

bool ParseInteger(const QVariant& V, int32_t& Value)
{
    if (V.typeId() == QMetaType::QStringList)
        return false;
    const QString text = V.toString().trimmed();
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok)
        return false;
    Value = v;
    return true;
}

} // namespace

TRegistry::TRegistry() : FSettings(std::make_unique<QSettings>(Q(FileName()), QSettings::IniFormat)) {}

TRegistry::~TRegistry()
{
    FSettings->sync();
}

std::string TRegistry::FileName()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return (base + "/Canvello/Canvello.ini").toStdString();
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate)
{
    std::string path;
    if (!NormaliseKey(Key, path))
        return false;
    if (!CanCreate && !KeyExists(path))
        return false;
    FCurrentPath = path;
    FKeyOpen = true;
    return true;
}

void TRegistry::CloseKey()
{
    FSettings->sync();
    FCurrentPath.clear();
    FKeyOpen = false;
}

bool TRegistry::KeyExists(const std::string& Key)
{
    std::string path;
    if (!NormaliseKey(Key, path))
        return false;
    FSettings->beginGroup(Q(path));
    const bool exists = !FSettings->childKeys().isEmpty() || !FSettings->childGroups().isEmpty();
    FSettings->endGroup();
    return exists;
}

bool TRegistry::DeleteKey(const std::string& Key)
{
    std::string path;
    if (!NormaliseKey(Key, path) || !KeyExists(path))
        return false;
    FSettings->remove(Q(path));
    return true;
}

std::string TRegistry::ValuePath(const std::string& Name) const
{
    if (!FKeyOpen || !ValidValueName(Name))
        return std::string();
    return FCurrentPath + "/" + Name;
}

bool TRegistry::ValueExists(const std::string& Name)
{
    const std::string path = ValuePath(Name);
    return !path.empty() && FSettings->contains(Q(path));
}

bool TRegistry::DeleteValue(const std::string& Name)
{
    if (!ValueExists(Name))
        return false;
    FSettings->remove(Q(ValuePath(Name)));
    return true;
}

std::vector<std::string> TRegistry::GetValueNames()
{
    std::vector<std::string> names;
    if (!FKeyOpen)
        return names;
    FSettings->beginGroup(Q(FCurrentPath));
    for (const QString& key : FSettings->childKeys())
        names.push_back(key.toStdString());
    FSettings->endGroup();
    return names;
}

std::vector<std::string> TRegistry::GetKeyNames()
{
    std::vector<std::string> names;
    if (!FKeyOpen)
        return names;
    FSettings->beginGroup(Q(FCurrentPath));
    for (const QString& key : FSettings->childGroups())
        names.push_back(key.toStdString());
    FSettings->endGroup();
    return names;
}

void TRegistry::WriteInteger(const std::string& Name, int32_t Value)
{
    const std::string path = ValuePath(Name);
    if (!path.empty())
        FSettings->setValue(Q(path), QString::number(Value));
}

void TRegistry::WriteBool(const std::string& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }

void TRegistry::WriteString(const std::string& Name, const std::string& Value)
{
    const std::string path = ValuePath(Name);
    if (!path.empty())
        FSettings->setValue(Q(path), Q(Value));
}

bool TRegistry::TryReadInteger(const std::string& Name, int32_t& Value)
{
    const std::string path = ValuePath(Name);
    if (path.empty())
        return false;
    const QVariant v = FSettings->value(Q(path));
    return v.isValid() && ParseInteger(v, Value);
}

int32_t TRegistry::ReadInteger(const std::string& Name, int32_t Default)
{
    int32_t v = Default;
    return TryReadInteger(Name, v) ? v : Default;
}

bool TRegistry::TryReadBool(const std::string& Name, bool& Value)
{
    int32_t v = 0;
    if (!TryReadInteger(Name, v))
        return false;
    Value = v != 0;
    return true;
}

bool TRegistry::ReadBool(const std::string& Name, bool Default)
{
    bool v = Default;
    return TryReadBool(Name, v) ? v : Default;
}

std::vector<std::string> TRegistry::ReadNumberedStrings(const std::string& Prefix, int32_t Count)
{
    std::vector<std::string> values;
    for (int32_t i = 1; i <= Count; ++i) {
        std::string v;
        if (!TryReadString(Prefix + std::to_string(i), v))
            break;
        values.push_back(std::move(v));
    }
    return values;
}

void TRegistry::WriteNumberedStrings(const std::string& Prefix, const std::vector<std::string>& Values)
{
    for (size_t i = 0; i < Values.size(); ++i)
        WriteString(Prefix + std::to_string(i + 1), Values[i]);
    // Entries past the list, left by a longer list written earlier, would come back at the next read.
    for (const std::string& name : GetValueNames()) {
        if (name.size() <= Prefix.size() || name.compare(0, Prefix.size(), Prefix) != 0)
            continue;
        const std::string number = name.substr(Prefix.size());
        if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        if (number.size() > 9 || std::stoul(number) > Values.size())
            DeleteValue(name);
    }
}

bool TRegistry::TryReadString(const std::string& Name, std::string& Value)
{
    const std::string path = ValuePath(Name);
    if (path.empty())
        return false;
    const QVariant v = FSettings->value(Q(path));
    if (!v.isValid())
        return false;
    // An unquoted text with commas in a hand-edited file reads as a list: take it as written.
    if (v.typeId() == QMetaType::QStringList)
        Value = v.toStringList().join(", ").toStdString();
    else
        Value = v.toString().toStdString();
    return true;
}

std::string TRegistry::ReadString(const std::string& Name, const std::string& Default)
{
    std::string v;
    return TryReadString(Name, v) ? v : Default;
}

bool TRegistry::Flush()
{
    FSettings->sync();
    return FSettings->status() == QSettings::NoError;
}
