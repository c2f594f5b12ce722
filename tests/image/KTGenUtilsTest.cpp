#include "image/KTGenUtils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <regex>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <vector>
#include <unistd.h>

namespace {

TEST(KTGenUtils, WordsBytesAndClamping)
{
    EXPECT_EQ(LoWordOf(0x12345678u), 0x5678);
    EXPECT_EQ(HiWordOf(0x12345678u), 0x1234);
    EXPECT_EQ(LoByteOf(0xABCD), 0xCD);
    EXPECT_EQ(HiByteOf(0xABCD), 0xAB);
    const struct {
        int V, Min, Max, Expected;
    } cases[] = {{300, 0, 255, 255}, {-4, 0, 255, 0}, {7, 0, 255, 7}, {0, 0, 255, 0},
                 {255, 0, 255, 255}, {-1, 10, 5, 10}, {7, 10, 5, 10}, {10, 10, 5, 5}, {12, 10, 5, 5}};
    for (const auto& c : cases)
        EXPECT_EQ(ClampValue(c.V, c.Min, c.Max), c.Expected) << c.V << " in " << c.Min << ".." << c.Max;
}

TEST(KTGenUtils, RectangleArithmetic)
{
    TRect r = Rect(10, 20, 0, 5);
    NormalizeRect(r);
    EXPECT_EQ(r, Rect(0, 5, 10, 20));
    TRect o;
    OffsetRectBy(Rect(1, 2, 3, 4), -1, 10, o);
    EXPECT_EQ(o, Rect(0, 12, 2, 14));
    TRect u;
    UnionRects(Rect(5, 5, 6, 6), Rect(0, 8, 2, 9), u);
    EXPECT_EQ(u, Rect(0, 5, 6, 9));
    UnionRects(Rect(0, 0, 0, 0), Rect(5, 5, 6, 6), u); // an empty rectangle still counts
    EXPECT_EQ(u, Rect(0, 0, 6, 6));
}

TEST(KTGenUtils, NumericEditChecks)
{
    const struct {
        const char* S;
        bool Int, Float;
    } cases[] = {
        {"   ", false, false}, {"", false, false}, {"12", true, true},   {"1.5", false, true},
        {"-3", true, true},    {"abc", false, false}, {"1,5", false, false}, {"99999999999", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidInteger(c.S), c.Int) << '"' << c.S << '"';
        EXPECT_EQ(IsValidFloat(c.S), c.Float) << '"' << c.S << '"';
    }
    EXPECT_EQ(TrimmedLength("  ab \t"), 2);
}

TEST(KTGenUtils, PathHelpers)
{
    const struct {
        const char* Name;
        const char* Ext;
    } exts[] = {
        {"photo.jpg", "jpg"},      {"archive.tar.gz", "gz"},  {"D:\\old.files\\readme", ""},
        {"/home/u/old.d/readme", ""}, {"name.", ""},           {"D:.hidden", "hidden"},
        {"noext", ""},             {"a:b", ""},
    };
    for (const auto& c : exts)
        EXPECT_EQ(ExtractExtNoDot(c.Name), c.Ext) << c.Name;

    const struct {
        const char* In;
        const char* Out;
    } slashes[] = {{"", ""}, {"D:\\temp\\", "D:\\temp\\"}, {"/tmp/", "/tmp/"}, {"/tmp", "/tmp/"}, {"D:\\temp", "D:\\temp/"}};
    for (const auto& c : slashes) {
        std::string s = c.In;
        AddTrailingBackslash(s);
        EXPECT_EQ(s, c.Out) << c.In;
    }
}

TEST(KTGenUtils, FileDateIsLocalTimeSince1899)
{
    namespace fs = std::filesystem;
    const std::string name = (fs::temp_directory_path() / ("cv_date_" + std::to_string(::getpid()))).string();
    std::ofstream(name) << "x";
    // 2021-03-04 05:06:07 local time.
    struct tm t {};
    t.tm_year = 121;
    t.tm_mon = 2;
    t.tm_mday = 4;
    t.tm_hour = 5;
    t.tm_min = 6;
    t.tm_sec = 7;
    t.tm_isdst = -1;
    const time_t when = std::mktime(&t);
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.c_str(), times, 0), 0);

    double dt = 0;
    ASSERT_TRUE(GetFileDateTime(name, dt));
    // 2021-03-04 is day 44259 after 1899-12-30; the seconds come in two-second steps (7 gives 6).
    EXPECT_NEAR(dt, 44259 + (5 * 3600 + 6 * 60 + 6) / 86400.0, 1e-9);
    fs::remove(name);

    double untouched = 123;
    EXPECT_FALSE(GetFileDateTime(name, untouched));
    EXPECT_EQ(untouched, 123);
    EXPECT_FALSE(GetFileDateTime(fs::temp_directory_path().string(), untouched)); // a folder
}

// Only a regular file has a date: the answer for anything else is False at once, a FIFO without a
// writer included (opening one for reading would wait for a writer).
TEST(KTGenUtils, FileDateOfWhatIsNoFileIsFalseAtOnce)
{
    namespace fs = std::filesystem;
    const fs::path fifo = fs::temp_directory_path() / ("cv_date_fifo_" + std::to_string(::getpid()));
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& name :
         std::vector<std::string>{fifo.string(), "/dev/null", fs::temp_directory_path().string(), ""}) {
        SCOPED_TRACE(name);
        auto answer = std::async(std::launch::async, [name] {
            double untouched = 123;
            return GetFileDateTime(name, untouched) || untouched != 123;
        });
        if (answer.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "still waiting";
            // A writer lets a blocked open go on, so the test ends.
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            answer.wait();
            if (writer >= 0)
                ::close(writer);
        }
        EXPECT_FALSE(answer.get());
    }
    fs::remove(fifo);
}

TEST(KTGenUtils, OperatingSystemDescription)
{
    std::string os = "x", version = "x", memory = "x";
    ASSERT_TRUE(GetOSVersionInfo(os, version, memory));
    EXPECT_FALSE(os.empty());
    struct utsname un {};
    ASSERT_EQ(::uname(&un), 0);
    EXPECT_EQ(version.rfind(std::string(un.release) + " ", 0), 0u) << version;
    EXPECT_TRUE(std::regex_match(memory, std::regex("[1-9][0-9]{0,2}(,[0-9]{3})* KB"))) << memory;

    std::ifstream release("/etc/os-release");
    std::string line;
    while (std::getline(release, line)) {
        if (line.rfind("PRETTY_NAME=\"", 0) == 0) {
            EXPECT_EQ(os, line.substr(13, line.size() - 14));
        }
    }
}

} // namespace
