#pragma once
// The user-interface services as every window sees them: message boxes and modal dialogs behind one
// interface, so that command flows and dialogs run from tests without modal windows. The
// shell installs its implementation (Qt's, or a scripted fake in tests); windows below the shell
// reach it through InstalledUIServices.
#include <string>
#include <vector>

class QDialog;
class QWidget;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
// Buttons of a message box, one bit each.
enum : unsigned { mbOK = 1, mbCancel = 2, mbYes = 4, mbNo = 8 };

class IUIServices {
public:
    virtual ~IUIServices() = default;
    // Shows Text with the given buttons; answers the button chosen (mrCancel when the box is closed).
    virtual TModalResult MessageDlg(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons) = 0;
    // Runs a modal dialog; true when it was closed with OK.
    virtual bool ExecuteDialog(QDialog& Dialog);
};

// The services the shell installed, or null before it did.
IUIServices* InstalledUIServices();
void InstallUIServices(IUIServices* Services);

// A message box through the installed services; a plain Qt box when none are installed.
TModalResult ShowMessageDlg(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons);
// A modal dialog through the installed services (Qt's own exec when none are installed); true on OK.
bool RunModalDialog(QDialog& Dialog);
// A modal Qt message box titled "Canvello" with the asked buttons; what the real services show.
TModalResult QtMessageBox(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons);
