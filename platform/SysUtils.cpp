// Exceptions, formatting, numeric helpers, string and path helpers of the runtime layer.
#include "platform/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- Exact decimal digits of a double ----------------------------------------------------------
// value = 0.d1d2d3... x 10^Exp10; Digits has no leading or trailing zeros (empty for zero).
struct TDecimal {
    std::string Digits;
    int Exp10 = 0;
    bool Negative = false;
};

TDecimal ExactDecimal(double v)
{
    TDecimal d;
    d.Negative = std::signbit(v);
    v = std::fabs(v);
    if (v == 0)
        return d;
    // Every finite double has at most 1074 fraction digits and 309 integer digits, so fixed notation
    // with 1074 decimals is its exact value.
    char buf[1500];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1074);
    const std::string text(buf, res.ptr);
    const size_t dot = text.find('.');
    std::string intPart = text.substr(0, dot);
    std::string fracPart = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    if (intPart == "0")
        intPart.clear();
    std::string all = intPart + fracPart;
    int exp10 = static_cast<int>(intPart.size());
    size_t lead = 0;
    while (lead < all.size() && all[lead] == '0')
        ++lead;
    exp10 -= static_cast<int>(lead);
    all.erase(0, lead);
    while (!all.empty() && all.back() == '0')
        all.pop_back();
    d.Digits = all;
    d.Exp10 = exp10;
    return d;
}

// Keeps Keep significant digits, rounding half away from zero (the digits are exact, so a digit of
// 5 or more at the cut means at least one half).
void RoundDecimal(TDecimal& d, int Keep)
{
    if (static_cast<int>(d.Digits.size()) <= Keep)
        return;
    if (Keep < 0) {
        d.Digits.clear();
        return;
    }
    const bool up = d.Digits[Keep] >= '5';
    d.Digits.resize(Keep);
    if (up) {
        int i = Keep - 1;
        while (i >= 0 && d.Digits[i] == '9') {
            d.Digits[i] = '0';
            --i;
        }
        if (i < 0) {
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.Exp10;
        } else {
            ++d.Digits[i];
        }
    }
    while (!d.Digits.empty() && d.Digits.back() == '0')
        d.Digits.pop_back();
}

std::string SpecialFloat(double v)
{
    if (std::isnan(v))
        return "NAN";
    return v < 0 ? "-INF" : "INF";
}

// Groups the digits of an integer part in threes.
std::string GroupThousands(const std::string& intPart)
{
    std::string out;
    const int n = static_cast<int>(intPart.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += ',';
        out += intPart[i];
    }
    return out;
}

// Fixed notation with Decimals decimals (without sign), optionally with thousands separators.
// Zero is set when the rounded value is zero.
std::string FixedDigits(double v, int Decimals, bool Thousands, bool& Zero)
{
    TDecimal d = ExactDecimal(v);
    RoundDecimal(d, d.Exp10 + Decimals);
    Zero = d.Digits.empty();
    std::string intPart, frac;
    if (d.Exp10 > 0) {
        intPart = d.Digits.substr(0, std::min<size_t>(d.Digits.size(), d.Exp10));
        intPart.append(d.Exp10 - intPart.size(), '0');
    }
    if (intPart.empty() || Zero)
        intPart = "0";
    for (int i = 0; i < Decimals; ++i) {
        const int pos = d.Exp10 + i; // index into Digits of decimal i
        frac += (!Zero && pos >= 0 && pos < static_cast<int>(d.Digits.size())) ? d.Digits[pos] : '0';
    }
    std::string out = Thousands ? GroupThousands(intPart) : intPart;
    if (Decimals > 0)
        out += "." + frac;
    return out;
}

std::string SignedFixed(double v, int Decimals, bool Thousands)
{
    if (!std::isfinite(v))
        return SpecialFloat(v);
    bool zero = false;
    const std::string s = FixedDigits(v, Decimals, Thousands, zero);
    return (v < 0 && !zero) ? "-" + s : s;
}

// "-d.ddd...E+ddd" with Precision significant digits.
std::string ExponentText(double v, int Precision)
{
    if (!std::isfinite(v))
        return SpecialFloat(v);
    TDecimal d = ExactDecimal(v);
    RoundDecimal(d, Precision);
    std::string digits = d.Digits;
    const int exp = digits.empty() ? 0 : d.Exp10 - 1;
    digits.resize(Precision, '0');
    std::string out = (v < 0 && !d.Digits.empty()) ? "-" : "";
    out += digits[0];
    if (Precision > 1)
        out += "." + digits.substr(1);
    char e[16];
    std::snprintf(e, sizeof e, "E%c%03d", exp < 0 ? '-' : '+', std::abs(exp));
    return out + e;
}

// The shorter of fixed and scientific notation, trailing zeros dropped.
std::string GeneralText(double v, int Precision)
{
    if (!std::isfinite(v))
        return SpecialFloat(v);
    TDecimal d = ExactDecimal(v);
    RoundDecimal(d, Precision);
    if (d.Digits.empty())
        return "0";
    std::string out = v < 0 ? "-" : "";
    const int exp = d.Exp10 - 1;
    if (exp >= Precision || exp < -5) {
        out += d.Digits[0];
        if (d.Digits.size() > 1)
            out += "." + d.Digits.substr(1);
        out += "E" + std::to_string(exp);
        return out;
    }
    if (d.Exp10 <= 0) {
        out += "0." + std::string(-d.Exp10, '0') + d.Digits;
        return out;
    }
    std::string intPart = d.Digits.substr(0, std::min<size_t>(d.Digits.size(), d.Exp10));
    intPart.append(d.Exp10 - intPart.size(), '0');
    out += intPart;
    if (static_cast<int>(d.Digits.size()) > d.Exp10)
        out += "." + d.Digits.substr(d.Exp10);
    return out;
}

// A negative integer that fits 32 bits shows as its 32-bit two's complement, as the runtime's
// Integer arguments do; anything else as 64 bits.
uint64_t AsUnsigned(int64_t v)
{
    if (v < 0 && v >= INT32_MIN)
        return static_cast<uint32_t>(static_cast<int32_t>(v));
    return static_cast<uint64_t>(v);
}

std::string HexText(uint64_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
    return buf;
}

std::string PadDigits(std::string digits, int MinDigits)
{
    if (MinDigits > static_cast<int>(digits.size()))
        digits.insert(0, MinDigits - digits.size(), '0');
    return digits;
}

// Widths and precisions beyond this are treated as invalid format strings.
constexpr int kMaxFormatWidth = 1 << 20;

} // namespace

// ---- Format ----------------------------------------------------------------------------------
std::string FormatV(const std::string& fmt, const std::vector<TVarRec>& args)
{
    const auto invalid = [&]() { return EConvertError("Format '" + fmt + "' invalid or incompatible with argument"); };
    const auto noArg = [&]() { return EConvertError("No argument for format '" + fmt + "'"); };

    std::string out;
    size_t argIndex = 0;
    const size_t n = fmt.size();
    size_t i = 0;

    const auto nextArg = [&]() -> const TVarRec& {
        if (argIndex >= args.size())
            throw noArg();
        return args[argIndex++];
    };
    // A decimal number or '*' (taken from the next argument); false when neither is there.
    const auto readNumber = [&](int& value) -> bool {
        if (i < n && fmt[i] == '*') {
            ++i;
            const TVarRec& a = nextArg();
            if (!std::holds_alternative<int64_t>(a))
                throw invalid();
            const int64_t v = std::get<int64_t>(a);
            if (v > kMaxFormatWidth || v < -kMaxFormatWidth)
                throw invalid();
            value = static_cast<int>(v);
            return true;
        }
        if (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
            int64_t v = 0;
            while (i < n && fmt[i] >= '0' && fmt[i] <= '9') {
                v = v * 10 + (fmt[i] - '0');
                if (v > kMaxFormatWidth)
                    throw invalid();
                ++i;
            }
            value = static_cast<int>(v);
            return true;
        }
        return false;
    };

    while (i < n) {
        const char c = fmt[i++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i >= n)
            throw invalid();
        if (fmt[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        bool leftAlign = false;
        int width = 0;
        int precision = -1;
        int number = 0;
        bool haveNumber = readNumber(number);
        if (haveNumber && i < n && fmt[i] == ':') {
            ++i;
            if (number < 0)
                throw invalid();
            argIndex = static_cast<size_t>(number);
            haveNumber = false;
        }
        if (!haveNumber) {
            if (i < n && fmt[i] == '-') {
                leftAlign = true;
                ++i;
            }
            haveNumber = readNumber(number);
        }
        if (haveNumber) {
            if (number < 0) {
                leftAlign = true;
                number = -number;
            }
            width = number;
        }
        if (i < n && fmt[i] == '.') {
            ++i;
            int p = 0;
            if (readNumber(p))
                precision = p < 0 ? -1 : p;
            else
                precision = 0;
        }
        if (i >= n)
            throw invalid();
        const char type = static_cast<char>(std::toupper(static_cast<unsigned char>(fmt[i++])));
        const TVarRec& arg = nextArg();
        const bool isInt = std::holds_alternative<int64_t>(arg);
        const bool isFloat = std::holds_alternative<double>(arg);
        std::string text;
        switch (type) {
        case 'D': {
            if (!isInt)
                throw invalid();
            const int64_t v = std::get<int64_t>(arg);
            const uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            text = PadDigits(std::to_string(mag), precision);
            if (v < 0)
                text.insert(0, 1, '-');
            break;
        }
        case 'U':
            if (!isInt)
                throw invalid();
            text = PadDigits(std::to_string(AsUnsigned(std::get<int64_t>(arg))), precision);
            break;
        case 'X':
            if (!isInt)
                throw invalid();
            text = PadDigits(HexText(AsUnsigned(std::get<int64_t>(arg))), precision);
            break;
        case 'P':
            if (!isInt)
                throw invalid();
            text = PadDigits(HexText(static_cast<uint64_t>(std::get<int64_t>(arg))), 16);
            break;
        case 'E':
        case 'F':
        case 'G':
        case 'N':
        case 'M': {
            if (!isFloat)
                throw invalid();
            const double v = std::get<double>(arg);
            if (type == 'E')
                text = ExponentText(v, std::clamp(precision < 0 ? 15 : precision, 1, 17));
            else if (type == 'G')
                text = GeneralText(v, std::clamp(precision < 0 ? 15 : precision, 1, 17));
            else if (type == 'F')
                text = SignedFixed(v, std::min(precision < 0 ? 2 : precision, 18), false);
            else if (type == 'N')
                text = SignedFixed(v, std::min(precision < 0 ? 2 : precision, 18), true);
            else {
                const int decimals = std::min(precision < 0 ? 2 : precision, 18);
                if (!std::isfinite(v)) {
                    text = SpecialFloat(v);
                } else {
                    bool zero = false;
                    text = "$" + FixedDigits(v, decimals, true, zero);
                    if (v < 0 && !zero)
                        text = "(" + text + ")";
                }
            }
            break;
        }
        case 'S':
            if (!std::holds_alternative<std::string>(arg))
                throw invalid();
            text = std::get<std::string>(arg);
            if (precision >= 0 && static_cast<size_t>(precision) < text.size())
                text.resize(precision);
            break;
        default:
            throw invalid();
        }
        if (static_cast<int>(text.size()) < width) {
            const std::string pad(width - text.size(), ' ');
            text = leftAlign ? text + pad : pad + text;
        }
        out += text;
    }
    return out;
}

// ---- Numbers ---------------------------------------------------------------------------------
namespace {
int64_t CheckedToInt64(double r)
{
    // 2^63 is exactly representable; every double below it (and from -2^63 up) fits.
    if (std::isnan(r) || r >= 9223372036854775808.0 || r < -9223372036854775808.0)
        throw EInvalidOperation("Invalid floating point operation");
    return static_cast<int64_t>(r);
}
} // namespace

int64_t Round(double v) { return CheckedToInt64(std::nearbyint(v)); }

int64_t Trunc(double v) { return CheckedToInt64(std::trunc(v)); }

int32_t MulDiv(int32_t Number, int32_t Numerator, int32_t Denominator)
{
    if (Denominator == 0)
        return -1;
    const int64_t p = static_cast<int64_t>(Number) * Numerator;
    int64_t q = p / Denominator;
    const int64_t r = p % Denominator;
    const int64_t absR = r < 0 ? -r : r;
    const int64_t absD = Denominator < 0 ? -static_cast<int64_t>(Denominator) : Denominator;
    if (2 * absR >= absD)
        q += ((p < 0) != (Denominator < 0)) ? -1 : 1;
    if (q > INT32_MAX || q < INT32_MIN)
        return -1;
    return static_cast<int32_t>(q);
}

std::string IntToStr(int64_t v) { return std::to_string(v); }

std::string IntToHex(int64_t v, int digits) { return PadDigits(HexText(AsUnsigned(v)), digits); }

bool TryStrToInt(const std::string& s, int32_t& out)
{
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < s.size() && s[i] == '$') {
        hex = true;
        ++i;
    }
    if (i >= s.size())
        return false;
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        v = v * (hex ? 16 : 10) + digit;
        if (v > 0xFFFFFFFFull)
            return false;
    }
    int64_t result;
    if (hex) {
        // Hex names the 32 bits themselves: $FFFFFFFF is -1.
        result = static_cast<int32_t>(static_cast<uint32_t>(v));
        if (negative)
            result = -result;
        if (result > INT32_MAX)
            return false;
    } else {
        result = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
        if (result > INT32_MAX || result < INT32_MIN)
            return false;
    }
    out = static_cast<int32_t>(result);
    return true;
}

int32_t StrToInt(const std::string& s)
{
    int32_t v = 0;
    if (!TryStrToInt(s, v))
        throw EConvertError("'" + s + "' is not a valid integer value");
    return v;
}

int32_t StrToIntDef(const std::string& s, int32_t def)
{
    int32_t v = 0;
    return TryStrToInt(s, v) ? v : def;
}

bool TryStrToFloat(const std::string& s, double& out)
{
    const std::string t = Trim(s);
    // Digits, one point, an optional exponent; no "inf", "nan" or hex floats.
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    const size_t numberStart = i;
    bool digits = false;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
        ++i;
        digits = true;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            ++i;
        bool expDigits = false;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) {
            ++i;
            expDigits = true;
        }
        if (!expDigits)
            return false;
    }
    if (i != t.size())
        return false;
    // from_chars takes no '+' and is independent of the process locale.
    std::string number = t.substr(numberStart);
    if (number[0] == '.')
        number.insert(0, 1, '0');
    double v = 0;
    const auto res = std::from_chars(number.data(), number.data() + number.size(), v);
    if (res.ec != std::errc() || res.ptr != number.data() + number.size() || !std::isfinite(v))
        return false;
    out = (!t.empty() && t[0] == '-') ? -v : v;
    return true;
}

double StrToFloat(const std::string& s)
{
    double v = 0;
    if (!TryStrToFloat(s, v))
        throw EConvertError("'" + s + "' is not a valid floating point value");
    return v;
}

std::string FloatToStr(double v) { return GeneralText(v, 15); }

std::string FloatToStrFixed(double v, int digits) { return SignedFixed(v, std::clamp(digits, 0, 18), false); }

std::string FloatToStrNumber(double v, int digits) { return SignedFixed(v, std::clamp(digits, 0, 18), true); }

// ---- Strings ---------------------------------------------------------------------------------
namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
} // namespace

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string TrimLeft(const std::string& s)
{
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return s.substr(i);
}

std::string TrimRight(const std::string& s)
{
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1]))
        --n;
    return s.substr(0, n);
}

std::string UpperCase(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        c = AsciiUpper(c);
    return r;
}

std::string LowerCase(const std::string& s)
{
    std::string r = s;
    for (char& c : r)
        c = AsciiLower(c);
    return r;
}

bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }

int CompareText(const std::string& a, const std::string& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int d = static_cast<unsigned char>(AsciiUpper(a[i])) - static_cast<unsigned char>(AsciiUpper(b[i]));
        if (d != 0)
            return d;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

int CompareStr(const std::string& a, const std::string& b)
{
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// ---- Paths -----------------------------------------------------------------------------------
bool IsPathDelimiter(char c) { return c == '/' || c == '\\'; }

namespace {
// Index of the last delimiter, or npos.
size_t LastDelimiter(const std::string& name) { return name.find_last_of("/\\"); }

// Index of the dot that starts the extension, or npos.
size_t ExtensionDot(const std::string& name)
{
    const size_t dot = name.rfind('.');
    const size_t delim = LastDelimiter(name);
    if (dot == std::string::npos || (delim != std::string::npos && dot < delim))
        return std::string::npos;
    return dot;
}
} // namespace

std::string ExtractFilePath(const std::string& name)
{
    const size_t d = LastDelimiter(name);
    return d == std::string::npos ? std::string() : name.substr(0, d + 1);
}

std::string ExtractFileDir(const std::string& name)
{
    const size_t d = LastDelimiter(name);
    if (d == std::string::npos)
        return std::string();
    // A delimiter at the very start is the root and stays.
    return d == 0 ? name.substr(0, 1) : name.substr(0, d);
}

std::string ExtractFileName(const std::string& name)
{
    const size_t d = LastDelimiter(name);
    return d == std::string::npos ? name : name.substr(d + 1);
}

std::string ExtractFileExt(const std::string& name)
{
    const size_t dot = ExtensionDot(name);
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(const std::string& name, const std::string& ext)
{
    const size_t dot = ExtensionDot(name);
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& s)
{
    if (s.empty() || IsPathDelimiter(s.back()))
        return s;
    return s + '/';
}

std::string ExcludeTrailingPathDelimiter(const std::string& s)
{
    if (s.size() > 1 && IsPathDelimiter(s.back()))
        return s.substr(0, s.size() - 1);
    return s;
}

bool FileExists(const std::string& name)
{
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& name)
{
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& name) { return !name.empty() && ::unlink(name.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to)
{
    if (from.empty() || to.empty())
        return false;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the no-replace flag: check first.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0)
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// ---- File dates ------------------------------------------------------------------------------
int32_t UnixTimeToFileDate(int64_t Time)
{
    constexpr int32_t kFirst = 0x00210000; // 1980-01-01 00:00:00
    const time_t t = static_cast<time_t>(Time);
    struct tm local {};
    if (!::localtime_r(&t, &local))
        return kFirst;
    const int year = local.tm_year + 1900;
    if (year < 1980)
        return kFirst;
    if (year > 2107)
        return static_cast<int32_t>((127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u);
    return static_cast<int32_t>((uint32_t(year - 1980) << 25) | (uint32_t(local.tm_mon + 1) << 21) |
                                (uint32_t(local.tm_mday) << 16) | (uint32_t(local.tm_hour) << 11) |
                                (uint32_t(local.tm_min) << 5) | (uint32_t(std::min(local.tm_sec, 59)) / 2));
}

int32_t FileAge(const std::string& FileName)
{
    struct stat st {};
    if (FileName.empty() || FileName.find('\0') != std::string::npos || ::stat(FileName.c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return -1;
    return UnixTimeToFileDate(st.st_mtim.tv_sec);
}
