// Program entry: command line, application object, tool-tip look, clipboard, main window, splash,
// event loop.
#include "shell/CVApplication.h"
#include "shell/CVClipbrd.h"
#include "globals/CVGlobal.h"
#include "shell/CVHintWindow.h"
#include "shell/MainWindowStub.h"
#include "shell/SplashDlg.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    AppParams.ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));

    TCVApplication app(argc, argv);
    QApplication::setApplicationName("Canvello");
    TCVHintWindow::Install();

    int result = 1;
    try {
        // The shared bitmaps and metrics read the style just installed.
        InitCVGlobal();
        // Errors inside event handlers are shown in the program's own message boxes.
        SetUIServices(nullptr);
        InitCVClipboard();
        std::unique_ptr<QMainWindow> mainWindow = CreateMainWindow();
        if (!AppParams.HasOption(aoNoSplash))
            TSplashDialog::Execute(nullptr, 2);
        mainWindow->show();
        result = app.exec();
        mainWindow.reset();
    } catch (...) {
        // A failure before the event loop runs: say why instead of ending silently.
        ReportEventException(nullptr);
    }
    DoneCVClipboard();
    DoneCVGlobal();
    return result;
}
