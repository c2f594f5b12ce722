#pragma once
// The base of the tests that run the real main window: a temporary folder for its files, scripted
// message boxes and dialogs, the start-up parameters of a plain start, and the frame once StartFrame
// made it. A fixture with set-up of its own calls ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp())
// first and FrameFixture::TearDown() from its own TearDown.
#include "image/XBitmap.h"
#include "shell/CVMain.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>

class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        SetUIServices(&UI);
        AppParams = TAppParams();
    }
    void TearDown() override
    {
        Main.reset();
        AppParams = TAppParams();
        SetUIServices(nullptr);
    }
    // Makes the frame, its recent-files thumbnail file in Dir, and shows it at Size (at the size it
    // takes itself when Size is not valid).
    void StartFrame(QSize Size = QSize())
    {
        Main = std::make_unique<TCanvelloMain>(nullptr, Path("Canvello.rfp"));
        if (Size.isValid())
            Main->resize(Size);
        Main->show();
    }
    std::string Path(const std::string& Name) const { return Dir.filePath(QString::fromStdString(Name)).toStdString(); }
    // A blank W x H picture saved as Name in Dir, of the type its extension names; gives its path.
    std::string Picture(const std::string& Name, int W = 8, int H = 6) const
    {
        WritePicture(Path(Name), W, H);
        return Path(Name);
    }
    static void WritePicture(const std::string& FilePath, int W, int H)
    {
        TXBitmap B;
        B.SetSize(W, H);
        B.SavePictureToFile(FilePath, false);
    }

    QTemporaryDir Dir;
    TFakeUIServices UI;
    std::unique_ptr<TCanvelloMain> Main;
};
