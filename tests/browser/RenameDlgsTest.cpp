#include "browser/RenameFileDlg.h"
#include "browser/RenameFilesDlg.h"

#include "globals/UIServicesIntf.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every message box and answers OK.
struct TRecordingUI : IUIServices {
    std::vector<std::string> Messages;
    std::vector<TMsgDlgType> Types;
    TModalResult MessageDlg(QWidget*, const std::string& Text, TMsgDlgType Type, unsigned) override
    {
        Messages.push_back(Text);
        Types.push_back(Type);
        return mrOk;
    }
};

class RenameDlgs : public ::testing::Test {
protected:
    void SetUp() override
    {
        Previous = InstalledUIServices();
        InstallUIServices(&UI);
    }
    void TearDown() override { InstallUIServices(Previous); }

    // Types Text into Edit and presses OK; answers the message shown (empty when none).
    std::string PressOK(TStandardDialog& D, QLineEdit* Edit, const std::string& Text)
    {
        UI.Messages.clear();
        Edit->setText(QString::fromStdString(Text));
        D.OKButton->click();
        return UI.Messages.empty() ? std::string() : UI.Messages.back();
    }

    TRecordingUI UI;
    IUIServices* Previous = nullptr;
};

const std::string LongName = std::string(252, 'a') + ".jpg";  // 256 bytes

TEST_F(RenameDlgs, RenameFileShowsTheOldNameSelected)
{
    TRenameFileDialog D(nullptr, "/pics/holiday/Beach.JPG");
    EXPECT_EQ(D.windowTitle(), "Rename File");
    EXPECT_EQ(D.OldName, "Beach.JPG");
    D.show();
    EXPECT_EQ(D.FileNameEdit->text(), "Beach.JPG");
    EXPECT_EQ(D.FileNameEdit->selectedText(), "Beach.JPG");
    EXPECT_EQ(D.ModalResult(), mrNone);
}

TEST_F(RenameDlgs, RenameFileValidation)
{
    const std::string NoName = "You have not specifed the new name for Beach.JPG.";
    const std::string SameExt = "You must specify the same file extension";
    struct Case {
        std::string Text;
        std::string Message;  // empty: accepted
    } Cases[] = {
        {"Sea.JPG", ""},
        {"Sea.jpg", ""},  // the extension differs only in letter case
        {"beach.JPG", ""},  // a change of case is a rename
        {"", NoName},
        {"Sea.png", SameExt},
        {"Sea", SameExt},
        {"Sea.JPG.png", SameExt},
        {"sub/Sea.JPG", "'sub/Sea.JPG' is not a valid file name."},
        {std::string("Se\0a.JPG", 8), "'" + std::string("Se\0a.JPG", 8) + "' is not a valid file name."},
        {".", "'.' is not a valid file name."},
        {"..", "'..' is not a valid file name."},
        {LongName, "'" + LongName + "' is not a valid file name."},
        {std::string(251, 'a') + ".JPG", ""},  // exactly 255 bytes
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Text.substr(0, 40));
        TRenameFileDialog D(nullptr, "Beach.JPG");
        D.show();
        EXPECT_EQ(PressOK(D, D.FileNameEdit, C.Text), C.Message);
        if (C.Message.empty()) {
            EXPECT_EQ(D.ModalResult(), mrOk);
            EXPECT_EQ(D.GetNewName(), C.Text);
        } else {
            EXPECT_EQ(UI.Types.back(), mtInformation);
            EXPECT_TRUE(D.isVisible()) << "a refused name keeps the dialog open";
            EXPECT_EQ(D.ModalResult(), mrNone);
        }
    }
}

TEST_F(RenameDlgs, RenameFileWithoutExtensionKeepsNone)
{
    TRenameFileDialog D(nullptr, "README");
    D.show();
    EXPECT_EQ(PressOK(D, D.FileNameEdit, "NOTES.txt"), "You must specify the same file extension");
    EXPECT_EQ(PressOK(D, D.FileNameEdit, "NOTES"), "");
    EXPECT_EQ(D.ModalResult(), mrOk);
}

TEST_F(RenameDlgs, RenameFilesShowsTheTemplateSelected)
{
    TRenameFilesDialog D(nullptr, "/pics/");
    EXPECT_EQ(D.windowTitle(), "Rename Files");
    EXPECT_EQ(D.Folder, "/pics/");
    EXPECT_EQ(D.Main_Label->text().toStdString(),
              "Enter a template name to rename files to.\n\nUse %d to indicate where the file index should be added\n"
              "e.g. If 'Name_%d' was used then the first file in the\n"
              "directory would be renamed 'Name_01' plus any extension.");
    D.show();
    EXPECT_EQ(D.FileNameEdit->text(), "%d");
    EXPECT_EQ(D.FileNameEdit->selectedText(), "%d");
}

TEST_F(RenameDlgs, RenameFilesValidation)
{
    const std::string NoTemplate = "You have not specifed the new name template.";
    const std::string NoMark = "You have not specifed where the index should go (%d).";
    struct Case {
        std::string Text;
        std::string Message;
    } Cases[] = {
        {"Name_%d", ""},
        {"50%_%s_%d", ""},
        {"%d", ""},
        {"", NoTemplate},
        {"Name", NoMark},
        {"Name_%D", NoMark},  // only the lower-case mark counts
        {"Name_%i", NoMark},
        {"a/%d", "'a/%d' does not give valid file names."},
        {std::string("a\0%d", 4), "'" + std::string("a\0%d", 4) + "' does not give valid file names."},
        {std::string(254, 'a') + "%d", ""},  // 255 bytes with a one-digit index
        {std::string(255, 'a') + "%d", "'" + std::string(255, 'a') + "%d' does not give valid file names."},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Text.substr(0, 40));
        TRenameFilesDialog D(nullptr, "/pics/");
        D.show();
        EXPECT_EQ(PressOK(D, D.FileNameEdit, C.Text), C.Message);
        if (C.Message.empty()) {
            EXPECT_EQ(D.ModalResult(), mrOk);
            EXPECT_EQ(D.GetNameTemplate(), C.Text);
        } else {
            EXPECT_EQ(UI.Types.back(), mtInformation);
            EXPECT_TRUE(D.isVisible());
            EXPECT_EQ(D.ModalResult(), mrNone);
        }
    }
}

TEST(TemplateFileNames, Table)
{
    auto Files = [](size_t N, const std::string& Ext) { return std::vector<std::string>(N, "x" + Ext); };
    struct Case {
        std::string Template;
        std::vector<std::string> Old;
        std::vector<std::string> New;
    } Cases[] = {
        {"Name_%d", Files(1, ".jpg"), {"Name_1.jpg"}},
        {"50%_%s_%d", Files(1, ".jpg"), {"50%_%s_1.jpg"}},  // copied verbatim, never a format
        {"%n%x%d%s%%", {"a.png", "b.PNG"}, {"%n%x1%s%%.png", "%n%x2%s%%.PNG"}},
        {"A_%d_%d", Files(2, ".gif"), {"A_1_%d.gif", "A_2_%d.gif"}},  // only the first mark
        {"A_%D", Files(1, ".gif"), {"A_1.gif"}},  // the first mark in either case
        {"Name_%d", {"/pics/a.b/c", "d.tar.gz", ".hidden"}, {"Name_1", "Name_2.gz", "Name_3.hidden"}},
        {"Name_%d", {}, {}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Template);
        EXPECT_EQ(TemplateFileNames(C.Template, C.Old), C.New);
    }
}

TEST(TemplateFileNames, IndexWidthFollowsTheCount)
{
    const struct {
        size_t Count;
        std::string First, Last;
    } Cases[] = {{9, "Name_1.jpg", "Name_9.jpg"}, {10, "Name_01.jpg", "Name_10.jpg"},
                 {12, "Name_01.jpg", "Name_12.jpg"}, {100, "Name_001.jpg", "Name_100.jpg"},
                 {1000, "Name_0001.jpg", "Name_1000.jpg"}};
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Count);
        const auto Names = TemplateFileNames("Name_%d", std::vector<std::string>(C.Count, "p.jpg"));
        ASSERT_EQ(Names.size(), C.Count);
        EXPECT_EQ(Names.front(), C.First);
        EXPECT_EQ(Names.back(), C.Last);
        EXPECT_EQ(Names[C.Count / 2 - 1].size(), C.Last.size());
    }
}

} // namespace
