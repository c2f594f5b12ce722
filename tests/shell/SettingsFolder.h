#pragma once
// Points the settings store and the per-user data folder at folders of the test's own, for the life
// of the object, and puts the run's folders back afterwards.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class TOwnSettingsFolder {
public:
    TOwnSettingsFolder() : FConfig(qgetenv("XDG_CONFIG_HOME")), FData(qgetenv("XDG_DATA_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", Dir.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", Dir.filePath("data").toLocal8Bit());
    }
    ~TOwnSettingsFolder()
    {
        qputenv("XDG_CONFIG_HOME", FConfig);
        qputenv("XDG_DATA_HOME", FData);
    }
    TOwnSettingsFolder(const TOwnSettingsFolder&) = delete;
    TOwnSettingsFolder& operator=(const TOwnSettingsFolder&) = delete;

    bool IsValid() const { return Dir.isValid(); }
    QString FilePath(const QString& Name) const { return Dir.filePath(Name); }

private:
    QTemporaryDir Dir;
    QByteArray FConfig, FData;
};
