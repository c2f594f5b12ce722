#include "platform/Registry.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

const char* const kDialogs = "software\\Brenick_Labs\\Canvello_New\\Dialogs";

// Points the settings file into a fresh temporary folder for each test.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Old = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", Dir.path().toUtf8());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", Old); }

    void WriteFile(const std::string& Text)
    {
        const std::string name = TRegistry::FileName();
        std::filesystem::create_directories(std::filesystem::path(name).parent_path());
        std::ofstream(name) << Text;
    }

    QTemporaryDir Dir;
    QByteArray Old;
};

TEST_F(RegistryTest, FileLivesInTheConfigFolder)
{
    EXPECT_EQ(TRegistry::FileName(), Dir.path().toStdString() + "/Canvello/Canvello.ini");
}

TEST_F(RegistryTest, ValuesSurviveANewStoreAndReachTheFile)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kDialogs, true));
        reg.WriteInteger("WinLeft", -12);
        reg.WriteBool("Pinned", true);
        reg.WriteString("FileName1", "/home/u/a, b \"c\".bmp");
        reg.CloseKey();
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("software/Brenick_Labs/Canvello_New/Dialogs", false));
    EXPECT_EQ(reg.ReadInteger("WinLeft", 0), -12);
    EXPECT_TRUE(reg.ReadBool("Pinned", false));
    EXPECT_EQ(reg.ReadString("FileName1", ""), "/home/u/a, b \"c\".bmp");
    // Booleans are stored as 0/1 integers.
    EXPECT_EQ(reg.ReadInteger("Pinned", 7), 1);
    std::ifstream in(TRegistry::FileName());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("WinLeft=-12"), std::string::npos) << text;
}

TEST_F(RegistryTest, MissingKeysAreNotOpenedWithoutCreate)
{
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey(kDialogs, false));
    EXPECT_FALSE(reg.KeyExists(kDialogs));
    EXPECT_FALSE(reg.ValueExists("WinLeft"));
    EXPECT_EQ(reg.ReadInteger("WinLeft", 33), 33); // no key open: the default
    EXPECT_FALSE(reg.OpenKey("", true));
    EXPECT_FALSE(reg.OpenKey("a\\\\b", true));
    ASSERT_TRUE(reg.OpenKey(kDialogs, true));
    reg.WriteInteger("WinTop", 5);
    EXPECT_TRUE(reg.KeyExists(kDialogs));
    EXPECT_TRUE(reg.KeyExists("software\\Brenick_Labs")); // a parent of a key with values
}

TEST_F(RegistryTest, MalformedValuesGiveTheDefault)
{
    WriteFile("[software]\n"
              "Brenick_Labs\\Canvello_New\\Dialogs\\WinLeft=12abc\n"
              "Brenick_Labs\\Canvello_New\\Dialogs\\WinTop=99999999999\n"
              "Brenick_Labs\\Canvello_New\\Dialogs\\Pinned=yes\n"
              "Brenick_Labs\\Canvello_New\\Dialogs\\Empty=\n"
              "Brenick_Labs\\Canvello_New\\Dialogs\\List=1, 2\n"
              "Brenick_Labs\\Canvello_New\\Dialogs\\Good= 42 \n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kDialogs, false));
    const struct {
        const char* Name;
        bool Exists;
    } cases[] = {{"WinLeft", true}, {"WinTop", true}, {"Pinned", true}, {"Empty", true}, {"List", true},
                 {"Missing", false}, {"bad/name", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(reg.ValueExists(c.Name), c.Exists);
        int32_t v = -5;
        EXPECT_FALSE(reg.TryReadInteger(c.Name, v));
        EXPECT_EQ(v, -5);
        EXPECT_EQ(reg.ReadInteger(c.Name, 77), 77);
        EXPECT_TRUE(reg.ReadBool(c.Name, true));
        EXPECT_FALSE(reg.ReadBool(c.Name, false));
    }
    EXPECT_EQ(reg.ReadInteger("Good", 0), 42);
    EXPECT_EQ(reg.ReadString("List", ""), "1, 2");
    EXPECT_EQ(reg.ReadString("Missing", "dflt"), "dflt");
}

TEST_F(RegistryTest, ListAndDeleteValuesAndKeys)
{
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("software\\Brenick_Labs\\Canvello_New\\Main_Window\\Recent_Files", true));
    reg.WriteInteger("MaxFileList", 5);
    reg.WriteString("FileName1", "a.bmp");
    reg.WriteString("FileName2", "b.bmp");
    std::vector<std::string> names = reg.GetValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"FileName1", "FileName2", "MaxFileList"}));
    EXPECT_TRUE(reg.DeleteValue("FileName2"));
    EXPECT_FALSE(reg.DeleteValue("FileName2"));
    EXPECT_FALSE(reg.ValueExists("FileName2"));
    ASSERT_TRUE(reg.OpenKey("software\\Brenick_Labs\\Canvello_New\\Main_Window", true));
    reg.WriteBool("WinMaximized", false);
    EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"Recent_Files"});
    EXPECT_TRUE(reg.DeleteKey("software\\Brenick_Labs\\Canvello_New\\Main_Window"));
    EXPECT_FALSE(reg.KeyExists("software\\Brenick_Labs\\Canvello_New\\Main_Window\\Recent_Files"));
    EXPECT_FALSE(reg.DeleteKey("software\\Brenick_Labs\\Canvello_New\\Main_Window"));
    reg.CloseKey();
    EXPECT_TRUE(reg.GetValueNames().empty());
    TRegistry other;
    EXPECT_FALSE(other.OpenKey("software\\Brenick_Labs\\Canvello_New\\Main_Window", false));
}

TEST_F(RegistryTest, AShorterNumberedListLeavesNoEntryOfTheLongerOneBehind)
{
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(kDialogs, true));
        reg.WriteNumberedStrings("Dir", {"/a/", "/b/", "/c/", "/d/", "/e/"});
        reg.WriteString("Dir9", "/gap/"); // past a gap, as a hand-edited file may have it
        reg.WriteString("DirCount", "keep");
        reg.WriteString("Directory", "keep");
        reg.WriteString("OtherDir3", "keep");
        reg.WriteNumberedStrings("Dir", {"/e/", "/a/"});
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kDialogs, false));
    EXPECT_EQ(reg.ReadNumberedStrings("Dir", 10), (std::vector<std::string>{"/e/", "/a/"}));
    std::vector<std::string> names = reg.GetValueNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Dir1", "Dir2", "DirCount", "Directory", "OtherDir3"}));
    // An empty list leaves none.
    reg.WriteNumberedStrings("Dir", {});
    EXPECT_TRUE(reg.ReadNumberedStrings("Dir", 10).empty());
    EXPECT_FALSE(reg.ValueExists("Dir1"));
}

} // namespace
