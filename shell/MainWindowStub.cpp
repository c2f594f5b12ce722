// A plain frame standing in for the main window.
#include "shell/MainWindowStub.h"

std::unique_ptr<QMainWindow> CreateMainWindow()
{
    auto window = std::make_unique<QMainWindow>();
    window->setObjectName("CanvelloMain");
    window->setWindowTitle("Canvello");
    window->resize(1024, 720);
    return window;
}
