#pragma once
// The per-user settings store: keys and values as the program names them
// ("software\Brenick_Labs\Canvello_New\Dialogs", "WinLeft"), kept in one INI file,
// <XDG config folder>/Canvello/Canvello.ini. A key is a path of names separated by '\' (or '/'),
// a value a name inside the open key. Integers and Booleans (0/1) are stored as decimal text,
// strings as they are.
//
// What is read back is outside data: a missing or malformed value gives the caller's default (or
// false from a TryRead), never an exception. Not thread-safe: use it on one thread at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QSettings;

class TRegistry {
public:
    TRegistry();
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    // The settings file of the program (its folder is made when a value is written).
    static std::string FileName();

    // Makes Key the current key. Without CanCreate a key that does not exist is not opened (false);
    // with it the key is created as soon as a value is written. False for a key path that is empty
    // or holds an empty name.
    bool OpenKey(const std::string& Key, bool CanCreate);
    // Writes pending changes to the file and leaves no key open.
    void CloseKey();
    const std::string& CurrentPath() const { return FCurrentPath; }

    // Keys are absolute paths. A key exists while it holds a value or a key that does.
    bool KeyExists(const std::string& Key);
    // Removes the key with its values and sub keys; false when it did not exist.
    bool DeleteKey(const std::string& Key);

    // Values of the open key (all false, empty or defaults when no key is open).
    bool ValueExists(const std::string& Name);
    bool DeleteValue(const std::string& Name);
    std::vector<std::string> GetValueNames();
    std::vector<std::string> GetKeyNames();

    void WriteInteger(const std::string& Name, int32_t Value);
    void WriteBool(const std::string& Name, bool Value);
    void WriteString(const std::string& Name, const std::string& Value);

    // False, and Value untouched, when the value is missing or is not a decimal 32-bit integer.
    bool TryReadInteger(const std::string& Name, int32_t& Value);
    int32_t ReadInteger(const std::string& Name, int32_t Default);
    // A Boolean is an integer, true when not 0.
    bool TryReadBool(const std::string& Name, bool& Value);
    bool ReadBool(const std::string& Name, bool Default);
    bool TryReadString(const std::string& Name, std::string& Value);
    std::string ReadString(const std::string& Name, const std::string& Default);
    // A numbered list: Prefix + "1", Prefix + "2", ... read up to the first missing one, at most
    // Count of them; written as Values from Prefix + "1" on, the numbers past them removed.
    std::vector<std::string> ReadNumberedStrings(const std::string& Prefix, int32_t Count);
    void WriteNumberedStrings(const std::string& Prefix, const std::vector<std::string>& Values);

    // Writes everything to the file now; false when it could not be written.
    bool Flush();

private:
    // The settings path of a value of the open key, or empty when none can be formed.
    std::string ValuePath(const std::string& Name) const;

    std::unique_ptr<QSettings> FSettings;
    std::string FCurrentPath; // normalised, '/'-separated; empty when no key is open
    bool FKeyOpen = false;
};
