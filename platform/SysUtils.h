#pragma once
// Exceptions, formatting, numeric helpers, string and path helpers of the runtime layer.
#include <cstdint>
#include <exception>
#include <string>
#include <variant>
#include <vector>

// ---- Exceptions ------------------------------------------------------------------------------
// The base exception: carries only a message.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

#define CANVELLO_EXCEPTION(Name, Base)                                                                \
    class Name : public Base {                                                                        \
    public:                                                                                           \
        using Base::Base;                                                                             \
    };

CANVELLO_EXCEPTION(EAbort, Exception)
CANVELLO_EXCEPTION(EConvertError, Exception)
CANVELLO_EXCEPTION(EOutOfMemory, Exception)
CANVELLO_EXCEPTION(EOutOfResources, Exception)
CANVELLO_EXCEPTION(EListError, Exception)
CANVELLO_EXCEPTION(EStringListError, Exception)
CANVELLO_EXCEPTION(EStreamError, Exception)
CANVELLO_EXCEPTION(EFileStreamError, EStreamError)
CANVELLO_EXCEPTION(EFOpenError, EFileStreamError)
CANVELLO_EXCEPTION(EFCreateError, EFileStreamError)
CANVELLO_EXCEPTION(EReadError, EStreamError)
CANVELLO_EXCEPTION(EWriteError, EStreamError)
CANVELLO_EXCEPTION(EInOutError, Exception)
CANVELLO_EXCEPTION(EInvalidGraphic, Exception)
CANVELLO_EXCEPTION(EInvalidGraphicOperation, Exception)
CANVELLO_EXCEPTION(EInvalidOperation, Exception)

// ---- Format ----------------------------------------------------------------------------------
// One argument of Format: an integer, a floating-point number or a string.
using TVarRec = std::variant<int64_t, double, std::string>;

// The runtime's Format: %s, %d, %u, %x (%X), %e, %f, %g, %n, %m, %p, %%, with index, width and
// precision ("%3.1f", "%-8s", "%.5d", "%*d", "%1:s"). A specifier that does not fit its argument raises
// EConvertError "Format '%s' invalid or incompatible with argument", a missing argument
// "No argument for format '%s'".
//  %d, %u, %x: integers; precision is the minimum number of digits. %u and %x show a negative
//     value that fits 32 bits as its 32-bit two's complement, any other as 64 bits; %x is upper case.
//  %e: "-d.ddd...E+ddd", precision = significant digits (15). %f: fixed, precision = decimals (2).
//  %g: the shorter of fixed and scientific ("1E20", "1.5E-7"), precision = significant digits (15).
//  %n: like %f with "," thousands separators. %m: "$1,234.50", negative "($1,234.50)".
//  %p: 16 upper-case hex digits. %s: precision is the maximum number of characters.
// Floating-point values are rounded half away from zero on their exact decimal value; the decimal
// separator is always the point, whatever the process locale.
std::string FormatV(const std::string& fmt, const std::vector<TVarRec>& args);

namespace detail {
inline TVarRec ToVarRec(const std::string& s) { return s; }
inline TVarRec ToVarRec(const char* s) { return std::string(s ? s : ""); }
inline TVarRec ToVarRec(char c) { return std::string(1, c); }
// Pointers go out as integers (for %p).
inline TVarRec ToVarRec(const void* p) { return static_cast<int64_t>(reinterpret_cast<uintptr_t>(p)); }
inline TVarRec ToVarRec(double v) { return v; }
inline TVarRec ToVarRec(float v) { return static_cast<double>(v); }
template <typename T>
    requires std::is_integral_v<T> || std::is_enum_v<T>
inline TVarRec ToVarRec(T v) { return static_cast<int64_t>(v); }
} // namespace detail

template <typename... Args>
std::string Format(const std::string& fmt, const Args&... args)
{
    return FormatV(fmt, std::vector<TVarRec>{detail::ToVarRec(args)...});
}

// ---- Numbers ---------------------------------------------------------------------------------
// Round: halves go to the even neighbour. Trunc: toward zero. Both raise EInvalidOperation
// ("Invalid floating point operation") for NaN or a value outside 64 bits.
int64_t Round(double v);
int64_t Trunc(double v);
// 64-bit product divided by Denominator, rounded half away from zero; -1 when Denominator is 0
// or the result does not fit 32 bits.
int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator);

std::string IntToStr(int64_t v);
std::string IntToHex(int64_t v, int digits);
// Decimal or $hex, leading and trailing blanks not allowed (as the runtime); EConvertError
// "'%s' is not a valid integer value" otherwise.
int32_t StrToInt(const std::string& s);
int32_t StrToIntDef(const std::string& s, int32_t def);
bool TryStrToInt(const std::string& s, int32_t& out);
// Decimal with the C locale's point; EConvertError "'%s' is not a valid floating point value".
double StrToFloat(const std::string& s);
bool TryStrToFloat(const std::string& s, double& out);
std::string FloatToStr(double v);
// Fixed notation with Digits decimals.
std::string FloatToStrFixed(double v, int digits);
// Number notation: thousands separators (","), Digits decimals.
std::string FloatToStrNumber(double v, int digits);

// ---- Strings ---------------------------------------------------------------------------------
std::string Trim(const std::string& s); // strips blanks and control characters (<= ' ')
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string UpperCase(const std::string& s); // ASCII letters only
std::string LowerCase(const std::string& s);
bool SameText(const std::string& a, const std::string& b); // ASCII case-insensitive equality
int CompareText(const std::string& a, const std::string& b);
int CompareStr(const std::string& a, const std::string& b);

// ---- Paths: '/' and '\' both delimit folders ---------------------------------------------------
bool IsPathDelimiter(char c);
std::string ExtractFilePath(const std::string& name);  // up to and including the last delimiter
std::string ExtractFileDir(const std::string& name);   // without the trailing delimiter (keeps a root "/")
std::string ExtractFileName(const std::string& name);  // after the last delimiter
std::string ExtractFileExt(const std::string& name);   // from the last dot after the last delimiter
std::string ChangeFileExt(const std::string& name, const std::string& ext);
// Appends '/' unless s already ends with a delimiter; an empty s stays empty (it must not become
// the root folder).
std::string IncludeTrailingPathDelimiter(const std::string& s);
// Removes one trailing delimiter; the root "/" stays as it is.
std::string ExcludeTrailingPathDelimiter(const std::string& s);
bool FileExists(const std::string& name);      // a regular file (or link to one)
bool DirectoryExists(const std::string& name); // a folder
bool DeleteFile(const std::string& name);
// Fails (false) when `to` already exists: a rename never overwrites a file.
bool RenameFile(const std::string& from, const std::string& to);

// ---- File dates ------------------------------------------------------------------------------
// A time packed as the desktop's file date (local time; year - 1980 in bits 25-31, month, day, hour,
// minute, seconds / 2 in bits 0-4). Dates before 1980 become 1980-01-01, after 2107 its last second.
int32_t UnixTimeToFileDate(int64_t Time);
// The last-write date of a regular file, packed as above; -1 when it is missing or no regular file.
int32_t FileAge(const std::string& FileName);
