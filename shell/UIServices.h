#pragma once
// The user-interface services of the main window: message boxes and the picture file dialogs. The
// program uses the Qt implementation; tests install a scripted fake, so that command flows and close
// questions run without modal windows.
#include <deque>
#include <memory>
#include <string>
#include <vector>

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
    // Asks for picture files to open; false when cancelled.
    virtual bool OpenPictureFiles(QWidget* Parent, std::vector<std::string>& FileNames) = 0;
    // Asks for a name to save a picture under; FileName comes in as the proposal. False when cancelled.
    virtual bool SavePictureFile(QWidget* Parent, std::string& FileName) = 0;
};

// Message boxes and file dialogs of Qt.
class TQtUIServices : public IUIServices {
public:
    TModalResult MessageDlg(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons) override;
    bool OpenPictureFiles(QWidget* Parent, std::vector<std::string>& FileNames) override;
    bool SavePictureFile(QWidget* Parent, std::string& FileName) override;
};

// Answers from scripts and keeps a record of every question.
class TFakeUIServices : public IUIServices {
public:
    struct TMessage {
        std::string Text;
        TMsgDlgType Type;
        unsigned Buttons;
    };
    std::vector<TMessage> Messages;
    // Answers of the coming message boxes, first first; when empty a box answers its first button
    // (Yes, then OK).
    std::deque<TModalResult> Answers;
    // Results of the coming open dialogs (an empty list answers cancel).
    std::deque<std::vector<std::string>> OpenResults;
    // Results of the coming save dialogs (an empty name answers cancel).
    std::deque<std::string> SaveResults;
    int SaveDialogs = 0;

    TModalResult MessageDlg(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons) override;
    bool OpenPictureFiles(QWidget* Parent, std::vector<std::string>& FileNames) override;
    bool SavePictureFile(QWidget* Parent, std::string& FileName) override;
};

// The services in use (a TQtUIServices until another is installed).
IUIServices& UIServices();
// Installs Services (not owned; null goes back to the Qt services). Exceptions reported from event
// handlers go to the installed services as error boxes.
void SetUIServices(IUIServices* Services);
