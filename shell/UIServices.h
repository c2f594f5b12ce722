#pragma once
// The user-interface services of the main window: message boxes and modal dialogs. The program uses the Qt implementation; tests install a scripted fake, so that command flows and close
// questions run without modal windows.
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "globals/UIServicesIntf.h"

// Message boxes and modal dialogs of Qt.
class TQtUIServices : public IUIServices {
public:
    TModalResult MessageDlg(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons) override;
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
    // Results of the coming open file dialogs run through ExecuteDialog (an empty list answers
    // cancel).
    std::deque<std::vector<std::string>> OpenResults;
    // Results of the coming save file dialogs, the same way (an empty name answers cancel);
    // SaveDialogs counts the save dialogs run.
    std::deque<std::string> SaveResults;
    int SaveDialogs = 0;
    // Called while a message box is up, after it was recorded: stands for what the user or the event
    // loop does meanwhile (a window closed under the box, for instance).
    std::function<void(const TMessage& Message)> OnMessage;
    // Stands for the user in a modal dialog: sets its values and answers OK (true) or Cancel. Without
    // it every dialog is cancelled. The titles of the dialogs run are kept.
    std::function<bool(QDialog& Dialog)> OnDialog;
    std::vector<std::string> Dialogs;

    TModalResult MessageDlg(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons) override;
    bool ExecuteDialog(QDialog& Dialog) override;
};

// The services in use (a TQtUIServices until another is installed).
IUIServices& UIServices();
// Installs Services (not owned; null goes back to the Qt services). Exceptions reported from event
// handlers go to the installed services as error boxes.
void SetUIServices(IUIServices* Services);
