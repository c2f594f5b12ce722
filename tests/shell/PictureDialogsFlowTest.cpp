// Open and Save As of the main window through the picture dialogs: the dialog each command shows, the
// files it opens, the type and extension a save takes, the replace question and the save options.
#include "shell/CVMain.h"

#include "FrameFixture.h"

#include "browser/CVBrwsrChildWn.h"
#include "controls/XOpenPictureDlg.h"
#include "image/XBitmap.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

class PictureDialogsFlow : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp());
        StartFrame();
    }
    static QByteArray Bytes(const std::string& Name)
    {
        QFile F(QString::fromStdString(Name));
        return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
    }
    std::vector<std::string> Titles() const
    {
        std::vector<std::string> T;
        for (QMdiSubWindow* W : Main->MdiArea()->subWindowList())
            T.push_back(W->windowTitle().toStdString());
        return T;
    }
};

} // namespace

TEST_F(PictureDialogsFlow, OpenShowsThePictureDialogAndOpensWhatWasChosen)
{
    const std::string A = Picture("a.bmp", 30, 20), B = Picture("b.gif", 10, 5);
    int Runs = 0;
    UI.OnDialog = [&](QDialog& D) {
        auto* Open = dynamic_cast<TXOpenPictureDialog*>(&D);
        EXPECT_NE(Open, nullptr);
        if (!Open)
            return false;
        EXPECT_TRUE(Open->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_EQ(Open->fileMode(), QFileDialog::ExistingFiles);
        EXPECT_EQ(Open->ExtraButtons(), ebPreview | ebBrowse);
        // The second run opens in the folder of the first.
        if (++Runs == 2) {
            EXPECT_EQ(Open->directory().absolutePath(), Dir.path());
        }
        Open->setDirectory(Dir.path());
        Open->PreviewFile(A);
        Open->WaitForPreview();
        EXPECT_EQ(Open->PictureLabel()->text(), " (30 x 20)");
        return false; // cancelled: nothing opens
    };
    Main->Action("ActOpenPic")->trigger();
    EXPECT_TRUE(Titles().empty());
    UI.OnDialog = nullptr;
    UI.OpenResults.push_back({B, A});
    Main->Action("ActOpenPic")->trigger();
    EXPECT_EQ(Titles(), (std::vector<std::string>{"b.gif [1:1]", "a.bmp [1:1]"}));
    EXPECT_EQ(UI.Dialogs, (std::vector<std::string>{"Open", "Open"}));
}

TEST_F(PictureDialogsFlow, BrowsingFromTheOpenDialogOpensABrowserOnItsFolder)
{
    Picture("a.bmp");
    UI.OnDialog = [&](QDialog& D) {
        auto& Open = dynamic_cast<TXOpenPictureDialog&>(D);
        Open.setDirectory(Dir.path());
        Open.show();
        Open.BrowseButton()->click();
        EXPECT_TRUE(Open.BrowseClicked());
        return false;
    };
    Main->Action("ActOpenPic")->trigger();
    ASSERT_EQ(Titles().size(), 1u);
    auto* Browser = dynamic_cast<TCVBrowserChildWn*>(Main->MdiArea()->subWindowList()[0]);
    ASSERT_NE(Browser, nullptr);
    QElapsedTimer Waited;
    Waited.start();
    while ((Browser->Directory().empty() || Browser->Loading()) && Waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(ExcludeTrailingPathDelimiter(Browser->Directory()), Dir.path().toStdString());
    EXPECT_TRUE(UI.Messages.empty());
    // Cancel opens nothing.
    UI.OnDialog = nullptr;
    Main->Action("ActOpenPic")->trigger();
    EXPECT_EQ(Titles().size(), 1u);
}

TEST_F(PictureDialogsFlow, SaveAsOpensOnThePicturesTypeAndTheTypeGivesTheExtension)
{
    const struct {
        std::string Original;
        int OpensOn;
        std::string Typed;
        int Type;
        std::string Written;
        QByteArray Magic;
    } cases[] = {
        {"photo.jpg", 1, "copy", 1, "copy.jpg", "\xFF\xD8"},
        {"photo.jpeg", 2, "copy2", 3, "copy2.gif", "GIF"},
        {"anim.gif", 3, "still", 0, "still.bmp", "BM"},
        {"plain.bmp", 0, "again", 2, "again.jpeg", "\xFF\xD8"},
        {"plain.bmp", 0, "named.gif", 1, "named.gif", "GIF"}, // a typed extension is kept
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Main->OpenPictureFile(Picture(c.Original)));
        UI.OnDialog = [&](QDialog& D) {
            auto& Save = dynamic_cast<TXSavePictureDialog&>(D);
            EXPECT_EQ(Save.TypeIndex(), c.OpensOn) << c.Original;
            EXPECT_EQ(Save.directory().absolutePath(), Dir.path());
            EXPECT_EQ(Save.ExtraButtons(), ebPreview | ebOptions);
            Save.SetTypeIndex(c.Type);
            Save.selectFile(QString::fromStdString(c.Typed));
            Save.accept();
            return Save.result() == QDialog::Accepted;
        };
        Main->Action("ActPicSaveAs")->trigger();
        EXPECT_TRUE(UI.Messages.empty()) << (UI.Messages.empty() ? "" : UI.Messages[0].Text);
        EXPECT_EQ(Main->ActivePicChild()->FileName(), Path(c.Written));
        EXPECT_TRUE(Bytes(Path(c.Written)).startsWith(c.Magic)) << c.Written;
    }
}

// A picture in a folder whose name is not UTF-8: Save As proposes that folder, the copy is written
// there under the very bytes, and the next picture dialog opens there again.
TEST_F(PictureDialogsFlow, SaveAsInAFolderWhoseNameIsNotUtf8WritesThere)
{
    const std::string Folder = QFile::encodeName(Dir.path()).toStdString() + "/caf\xe9";
    ASSERT_TRUE(std::filesystem::create_directory(Folder));
    // QTemporaryDir cannot remove a name that is not UTF-8.
    const std::shared_ptr<void> Remove(nullptr, [&](void*) { std::filesystem::remove_all(Folder); });
    WritePicture(Folder + "/photo.bmp", 8, 6);
    ASSERT_TRUE(Main->OpenPictureFile(Folder + "/photo.bmp"));
    UI.OnDialog = [&](QDialog& D) {
        auto& Save = dynamic_cast<TXSavePictureDialog&>(D);
        EXPECT_EQ(Save.Folder(), Folder);
        Save.selectFile("copy");
        Save.accept();
        return Save.result() == QDialog::Accepted;
    };
    Main->Action("ActPicSaveAs")->trigger();
    EXPECT_TRUE(UI.Messages.empty()) << (UI.Messages.empty() ? "" : UI.Messages[0].Text);
    EXPECT_EQ(Main->ActivePicChild()->FileName(), Folder + "/copy.bmp");
    TXBitmap Saved;
    Saved.LoadPictureFromFile(Folder + "/copy.bmp", false);
    EXPECT_EQ(Saved.Width(), 8);

    std::string OpenedIn;
    UI.OnDialog = [&](QDialog& D) {
        OpenedIn = dynamic_cast<TXOpenPictureDialog&>(D).Folder();
        return false;
    };
    Main->Action("ActOpenPic")->trigger();
    EXPECT_EQ(OpenedIn, Folder);
}

TEST_F(PictureDialogsFlow, ReplacingAFileIsAskedAndNoLeavesIt)
{
    const std::string Other = Picture("other.bmp", 3, 3);
    const QByteArray Before = Bytes(Other);
    ASSERT_TRUE(Main->NewPicture(20, 10, clRed));
    TCVPicChildWin* Pic = Main->ActivePicChild();
    Pic->Changed(pcPixels, true);

    UI.SaveResults = {Other};
    UI.Answers = {mrNo};
    EXPECT_FALSE(Main->SavePicture(Pic, true));
    ASSERT_EQ(UI.Messages.size(), 1u);
    EXPECT_EQ(UI.Messages[0].Text, "other.bmp already exists.\nDo you want to replace it?");
    EXPECT_EQ(Bytes(Other), Before);
    EXPECT_EQ(Pic->FileName(), "");
    EXPECT_TRUE(Pic->Modified());

    UI.SaveResults = {Other};
    UI.Answers = {mrYes};
    EXPECT_TRUE(Main->SavePicture(Pic, true));
    EXPECT_EQ(Pic->FileName(), Other);
    EXPECT_FALSE(Pic->Modified());
    TXBitmap Saved;
    Saved.LoadPictureFromFile(Other, false);
    EXPECT_EQ(Saved.Width(), 20);
}

TEST_F(PictureDialogsFlow, ANewPictureProposesItsTitleAndTheOptionsButtonShowsTheSaveOptions)
{
    ASSERT_TRUE(Main->NewPicture(5, 5, clWhite));
    UI.OnDialog = [&](QDialog& D) {
        if (auto* Save = dynamic_cast<TXSavePictureDialog*>(&D)) {
            EXPECT_EQ(Save->TypeIndex(), 0);
            const auto* Name = Save->findChild<QLineEdit*>("fileNameEdit");
            EXPECT_TRUE(Name && Name->text() == "New Picture #1");
            Save->OptionsButton()->click();
            return false;
        }
        return false; // the options form
    };
    Main->Action("ActPicSave")->trigger();
    EXPECT_EQ(UI.Dialogs, (std::vector<std::string>{"Save As", "Save Options"}));
    EXPECT_EQ(UI.SaveDialogs, 1);
    EXPECT_EQ(Main->ActivePicChild()->FileName(), "");
}
