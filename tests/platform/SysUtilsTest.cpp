#include "platform/SysUtils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace {

struct FormatCase {
    const char* Fmt;
    std::vector<TVarRec> Args;
    const char* Expected;
};

TEST(Format, SpecifiersWidthsPrecisionsAndIndices)
{
    const FormatCase cases[] = {
        {"plain text", {}, "plain text"},
        {"100%%", {}, "100%"},
        {"%s and %s", {std::string("a"), std::string("b")}, "a and b"},
        {"[%5s]", {std::string("ab")}, "[   ab]"},
        {"[%-5s]", {std::string("ab")}, "[ab   ]"},
        {"[%.2s]", {std::string("abcdef")}, "[ab]"},
        {"%d", {int64_t(-42)}, "-42"},
        {"%.5d", {int64_t(42)}, "00042"},
        {"%.5d", {int64_t(-42)}, "-00042"},
        {"[%6d]", {int64_t(42)}, "[    42]"},
        {"[%-6d]", {int64_t(42)}, "[42    ]"},
        {"[%*d]", {int64_t(4), int64_t(7)}, "[   7]"},
        {"[%-*d]", {int64_t(4), int64_t(7)}, "[7   ]"},
        {"[%.*d]", {int64_t(3), int64_t(7)}, "[007]"},
        {"%D", {int64_t(9)}, "9"},
        {"%u", {int64_t(-1)}, "4294967295"},
        {"%u", {int64_t(3000000000)}, "3000000000"},
        {"%x", {int64_t(255)}, "FF"},
        {"%X", {int64_t(-1)}, "FFFFFFFF"},
        {"%.4x", {int64_t(10)}, "000A"},
        {"%p", {int64_t(0x1234)}, "0000000000001234"},
        {"%f", {1.0 / 3.0}, "0.33"},
        {"%3.1f", {2.25}, "2.3"},          // exact half: away from zero
        {"%.1f", {-0.25}, "-0.3"},
        {"%.2f", {2.675}, "2.67"},          // 2.675 is 2.67499999... in binary
        {"%.0f", {0.5}, "1"},
        {"%.2f", {-0.001}, "0.00"},         // no sign on a value that rounds to zero
        {"%.3f", {1234.5}, "1234.500"},
        {"%8.2f", {3.14159}, "    3.14"},
        {"%e", {1.5}, "1.50000000000000E+000"},
        {"%.3e", {-12345.0}, "-1.23E+004"},
        {"%.2e", {0.15625}, "1.6E-001"},
        {"%g", {0.1}, "0.1"},
        {"%g", {100.0}, "100"},
        {"%g", {1e20}, "1E20"},
        {"%g", {1.5e-7}, "1.5E-7"},
        {"%g", {0.0001}, "0.0001"},
        {"%.3g", {1234.0}, "1.23E3"},
        {"%g", {0.0}, "0"},
        {"%n", {1234567.891}, "1,234,567.89"},
        {"%.0n", {-999.5}, "-1,000"},
        {"%m", {1234.5}, "$1,234.50"},
        {"%m", {-2.0}, "($2.00)"},
        {"%1:s %0:s %s", {std::string("a"), std::string("b")}, "b a b"},
        {"%f", {std::numeric_limits<double>::infinity()}, "INF"},
        {"%g", {std::nan("")}, "NAN"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(FormatV(c.Fmt, c.Args), c.Expected) << c.Fmt;
}

TEST(Format, MismatchedOrMissingArgumentsRaise)
{
    const FormatCase bad[] = {
        {"%d", {std::string("x")}, "Format '%d' invalid or incompatible with argument"},
        {"%d", {1.5}, "Format '%d' invalid or incompatible with argument"},
        {"%s", {int64_t(3)}, "Format '%s' invalid or incompatible with argument"},
        {"%f", {int64_t(3)}, "Format '%f' invalid or incompatible with argument"},
        {"%z", {int64_t(3)}, "Format '%z' invalid or incompatible with argument"},
        {"50%", {}, "Format '50%' invalid or incompatible with argument"},
        {"%99999999d", {int64_t(1)}, "Format '%99999999d' invalid or incompatible with argument"},
        {"%d %d", {int64_t(1)}, "No argument for format '%d %d'"},
        {"%3:d", {int64_t(1)}, "No argument for format '%3:d'"},
    };
    for (const FormatCase& c : bad) {
        try {
            FormatV(c.Fmt, c.Args);
            ADD_FAILURE() << c.Fmt << " did not raise";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, c.Expected);
        }
    }
}

TEST(Format, TemplateTakesNativeTypes)
{
    const char* cstr = "file.bmp";
    EXPECT_EQ(Format("Error Saving Picture %s", std::string("a.bmp")), "Error Saving Picture a.bmp");
    EXPECT_EQ(Format("%s %d %d %s", cstr, 5u, static_cast<uint8_t>(200), 'c'), "file.bmp 5 200 c");
    EXPECT_EQ(Format("%.1f", 1.25f), "1.3");
    EXPECT_EQ(Format("%d", true), "1");
}

TEST(Format, IgnoresTheProcessLocale)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma installed";
    EXPECT_EQ(Format("%.2f", 1.5), "1.50");
    EXPECT_EQ(FloatToStr(0.25), "0.25");
    EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(Numbers, RoundHalvesToEvenTruncTowardZero)
{
    const struct {
        double V;
        int64_t Round, Trunc;
    } cases[] = {
        {0.5, 0, 0},   {1.5, 2, 1},   {2.5, 2, 2},    {-0.5, 0, 0},  {-1.5, -2, -1},
        {-2.5, -2, -2}, {2.4999, 2, 2}, {-2.7, -3, -2}, {3.0, 3, 3},
        {4503599627370497.0, 4503599627370497, 4503599627370497},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Round(c.V), c.Round) << c.V;
        EXPECT_EQ(Trunc(c.V), c.Trunc) << c.V;
    }
    for (const double bad : {std::nan(""), 1e19, -1e19, std::numeric_limits<double>::infinity()}) {
        EXPECT_THROW(Round(bad), EInvalidOperation) << bad;
        EXPECT_THROW(Trunc(bad), EInvalidOperation) << bad;
    }
}

TEST(Numbers, MulDivRoundsHalfAwayFromZero)
{
    const struct {
        int32_t A, B, C, Expected;
    } cases[] = {
        {10, 3, 4, 8},     // 7.5 -> 8
        {-10, 3, 4, -8},   // -7.5 -> -8
        {10, -3, 4, -8},
        {10, 3, -4, -8},
        {-10, -3, -4, -8},
        {5, 1, 3, 2},      // 1.67
        {4, 1, 3, 1},      // 1.33
        {7, 1, 2, 4},      // 3.5
        {100000, 100000, 1000, 10000000}, // the product passes 32 bits
        {0, 5, 7, 0},
        {5, 7, 0, -1},     // zero divisor
        {INT32_MAX, 2, 1, -1}, // overflow
        {INT32_MIN, 1, -1, -1},
        {INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MulDiv(c.A, c.B, c.C), c.Expected) << c.A << "*" << c.B << "/" << c.C;
}

TEST(Numbers, IntegerTextConversions)
{
    const struct {
        const char* S;
        bool Ok;
        int32_t V;
    } cases[] = {
        {"12", true, 12},          {"-12", true, -12},     {"+7", true, 7},
        {"$FF", true, 255},        {"$ffffffff", true, -1}, {"2147483647", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN}, {"2147483648", false, 0}, {"", false, 0},
        {" 12", false, 0},         {"12 ", false, 0},      {"1.5", false, 0},
        {"-", false, 0},           {"$", false, 0},        {"12a", false, 0},
        {"$100000000", false, 0},
    };
    for (const auto& c : cases) {
        int32_t v = 0;
        EXPECT_EQ(TryStrToInt(c.S, v), c.Ok) << c.S;
        if (c.Ok) {
            EXPECT_EQ(v, c.V) << c.S;
        }
        EXPECT_EQ(StrToIntDef(c.S, -77), c.Ok ? c.V : -77) << c.S;
    }
    try {
        StrToInt("abc");
        ADD_FAILURE();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'abc' is not a valid integer value");
    }
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToStr(-9000000000), "-9000000000");
}

TEST(Numbers, FloatTextConversions)
{
    const struct {
        const char* S;
        bool Ok;
        double V;
    } cases[] = {
        {"1.5", true, 1.5}, {" -2.25 ", true, -2.25}, {"+3", true, 3}, {".5", true, 0.5},
        {"1.", true, 1.0},  {"1e3", true, 1000},      {"2.5E-2", true, 0.025},
        {"", false, 0},     {"1,5", false, 0},        {"inf", false, 0}, {"nan", false, 0},
        {"1e", false, 0},   {".", false, 0},          {"0x10", false, 0}, {"1e999", false, 0},
    };
    for (const auto& c : cases) {
        double v = 0;
        EXPECT_EQ(TryStrToFloat(c.S, v), c.Ok) << c.S;
        if (c.Ok) {
            EXPECT_DOUBLE_EQ(v, c.V) << c.S;
        }
    }
    EXPECT_THROW(StrToFloat("x"), EConvertError);
    EXPECT_EQ(FloatToStr(2.5), "2.5");
    EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FloatToStrFixed(2.5, 0), "3");
    EXPECT_EQ(FloatToStrNumber(1048576.0, 0), "1,048,576");
    EXPECT_EQ(FloatToStrNumber(999.0, 0), "999");
}

TEST(Strings, TrimCaseAndComparison)
{
    EXPECT_EQ(Trim(" \t ab c\r\n"), "ab c");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(UpperCase("abZ1\xE9"), "ABZ1\xE9");
    EXPECT_EQ(LowerCase("-NoSplash"), "-nosplash");
    EXPECT_TRUE(SameText("-NOSPLASH", "-nosplash"));
    EXPECT_FALSE(SameText("abc", "abcd"));
    EXPECT_LT(CompareText("apple", "Banana"), 0);
    EXPECT_GT(CompareStr("apple", "Banana"), 0); // 'a' > 'B' by code
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
}

TEST(Paths, BothDelimitersSplitFolders)
{
    const struct {
        const char* Name;
        const char* Path;
        const char* Dir;
        const char* File;
        const char* Ext;
    } cases[] = {
        {"/home/u/pic.JPG", "/home/u/", "/home/u", "pic.JPG", ".JPG"},
        {"D:\\old.files\\readme", "D:\\old.files\\", "D:\\old.files", "readme", ""},
        {"a/b\\c.tar.gz", "a/b\\", "a/b", "c.tar.gz", ".gz"},
        {"/pic.bmp", "/", "/", "pic.bmp", ".bmp"},
        {"name.", "", "", "name.", "."},
        {"noext", "", "", "noext", ""},
        {"dir/", "dir/", "dir", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.Name), c.Path) << c.Name;
        EXPECT_EQ(ExtractFileDir(c.Name), c.Dir) << c.Name;
        EXPECT_EQ(ExtractFileName(c.Name), c.File) << c.Name;
        EXPECT_EQ(ExtractFileExt(c.Name), c.Ext) << c.Name;
    }
    EXPECT_EQ(ChangeFileExt("a.b/pic.bmp", ".jpg"), "a.b/pic.jpg");
    EXPECT_EQ(ChangeFileExt("a.b/pic", ".jpg"), "a.b/pic.jpg");
    EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), "/tmp/");
    EXPECT_EQ(IncludeTrailingPathDelimiter("C:\\tmp\\"), "C:\\tmp\\");
    EXPECT_EQ(IncludeTrailingPathDelimiter(""), "");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/tmp/"), "/tmp");
    EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
    EXPECT_TRUE(IsPathDelimiter('\\'));
    EXPECT_FALSE(IsPathDelimiter(':'));
}

TEST(Paths, FileSystemQueriesAndNonOverwritingRename)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("cv_sysutils_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string a = (dir / "a.txt").string(), b = (dir / "b.txt").string();
    std::ofstream(a) << "A";
    std::ofstream(b) << "B";

    EXPECT_TRUE(FileExists(a));
    EXPECT_FALSE(FileExists(dir.string()));
    EXPECT_TRUE(DirectoryExists(dir.string()));
    EXPECT_FALSE(DirectoryExists(a));
    EXPECT_FALSE(FileExists(""));

    EXPECT_FALSE(RenameFile(a, b)); // b exists: nothing is overwritten
    std::string content;
    std::ifstream(b) >> content;
    EXPECT_EQ(content, "B");
    const std::string c = (dir / "c.txt").string();
    EXPECT_TRUE(RenameFile(a, c));
    EXPECT_FALSE(FileExists(a));
    EXPECT_TRUE(FileExists(c));

    EXPECT_TRUE(DeleteFile(c));
    EXPECT_FALSE(DeleteFile(c));
    fs::remove_all(dir);
}

} // namespace
