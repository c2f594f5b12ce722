// Message boxes and picture file dialogs: Qt's, and a scripted stand-in.
#include "shell/UIServices.h"

#include "globals/CVGlobal.h"

#include <QFileDialog>
#include <QLineEdit>

namespace {

IUIServices* GServices = nullptr;

TQtUIServices& QtServices()
{
    static TQtUIServices services;
    return services;
}

void InstallExceptionHandler()
{
    InstallUIServices(GServices);
    EventExceptionHandler = [](QWidget* Parent, const std::string& Message) {
        UIServices().MessageDlg(Parent, Message, mtError, mbOK);
    };
}

} // namespace

TModalResult TQtUIServices::MessageDlg(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons)
{
    return QtMessageBox(Parent, Text, Type, Buttons);
}

TModalResult TFakeUIServices::MessageDlg(QWidget*, const std::string& Text, TMsgDlgType Type, unsigned Buttons)
{
    Messages.push_back({Text, Type, Buttons});
    if (OnMessage) {
        const TMessage shown = Messages.back(); // the callback may add messages of its own
        OnMessage(shown);
    }
    if (!Answers.empty()) {
        const TModalResult answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    return (Buttons & mbYes) ? mrYes : mrOk;
}

bool TFakeUIServices::ExecuteDialog(QDialog& Dialog)
{
    Dialogs.push_back(Dialog.windowTitle().toStdString());
    if (auto* files = qobject_cast<QFileDialog*>(&Dialog)) {
        // A file dialog takes the next scripted result, when there is one, as if the user chose it.
        const bool save = files->acceptMode() == QFileDialog::AcceptSave;
        if (save)
            ++SaveDialogs;
        if (save && !SaveResults.empty()) {
            const std::string name = SaveResults.front();
            SaveResults.pop_front();
            if (name.empty())
                return false;
            // Typed as a whole path into the name box: also a name in a folder that does not exist.
            if (auto* edit = files->findChild<QLineEdit*>("fileNameEdit"))
                edit->setText(QString::fromStdString(name));
            static_cast<QDialog*>(files)->accept(); // the dialog's own checks (the replace question) run
            return files->result() == QDialog::Accepted;
        }
        if (!save && !OpenResults.empty()) {
            const std::vector<std::string> names = OpenResults.front();
            OpenResults.pop_front();
            if (names.empty())
                return false;
            QString typed;
            for (const std::string& name : names)
                typed += "\"" + QString::fromStdString(name) + "\" ";
            if (auto* edit = files->findChild<QLineEdit*>("fileNameEdit"))
                edit->setText(typed.trimmed());
            files->QDialog::accept();
            return true;
        }
    }
    return OnDialog && OnDialog(Dialog);
}

IUIServices& UIServices()
{
    if (!GServices) {
        GServices = &QtServices();
        InstallExceptionHandler();
    }
    return *GServices;
}

void SetUIServices(IUIServices* Services)
{
    GServices = Services ? Services : &QtServices();
    InstallExceptionHandler();
}
