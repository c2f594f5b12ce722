// The program's main window.
#include "shell/MainWindowStub.h"

#include "shell/CVMain.h"

std::unique_ptr<QMainWindow> CreateMainWindow()
{
    return std::make_unique<TCanvelloMain>();
}
