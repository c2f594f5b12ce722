// The installed user-interface services.
#include "globals/UIServicesIntf.h"

#include <QDialog>
#include <QMessageBox>

namespace {
IUIServices* GInstalled = nullptr;
}

bool IUIServices::ExecuteDialog(QDialog& Dialog)
{
    return Dialog.exec() == QDialog::Accepted;
}

IUIServices* InstalledUIServices() { return GInstalled; }

void InstallUIServices(IUIServices* Services) { GInstalled = Services; }

TModalResult ShowMessageDlg(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons)
{
    if (GInstalled)
        return GInstalled->MessageDlg(Parent, Text, Type, Buttons);
    return QtMessageBox(Parent, Text, Type, Buttons);
}

bool RunModalDialog(QDialog& Dialog)
{
    if (GInstalled)
        return GInstalled->ExecuteDialog(Dialog);
    return Dialog.exec() == QDialog::Accepted;
}

TModalResult QtMessageBox(QWidget* Parent, const std::string& Text, TMsgDlgType Type, unsigned Buttons)
{
    QMessageBox box(Parent);
    box.setWindowTitle("Canvello");
    box.setText(QString::fromStdString(Text));
    box.setIcon(Type == mtError         ? QMessageBox::Critical
                : Type == mtWarning      ? QMessageBox::Warning
                : Type == mtConfirmation ? QMessageBox::Question
                                         : QMessageBox::Information);
    QMessageBox::StandardButtons buttons;
    if (Buttons & mbYes)
        buttons |= QMessageBox::Yes;
    if (Buttons & mbNo)
        buttons |= QMessageBox::No;
    if (Buttons & mbOK)
        buttons |= QMessageBox::Ok;
    if (Buttons & mbCancel)
        buttons |= QMessageBox::Cancel;
    box.setStandardButtons(buttons ? buttons : QMessageBox::StandardButtons(QMessageBox::Ok));
    switch (box.exec()) {
    case QMessageBox::Yes: return mrYes;
    case QMessageBox::No: return mrNo;
    case QMessageBox::Ok: return mrOk;
    default: return mrCancel;
    }
}
