#include "browser/RenameFileDlg.h"

#include "platform/SysUtils.h"

#include <QLineEdit>
#include <QVBoxLayout>

TRenameFileDialog::TRenameFileDialog(QWidget* AOwner, const std::string& AOldName) : TStandardDialog(AOwner)
{
    OldName = ExtractFileName(AOldName);
    setWindowTitle("Rename File");
    auto* Layout = new QVBoxLayout(ClientArea);
    Layout->setContentsMargins(0, 0, 0, 0);
    FileNameEdit = new QLineEdit(QString::fromStdString(OldName), ClientArea);
    FileNameEdit->setMinimumWidth(222);
    Layout->addWidget(FileNameEdit);
    Layout->addStretch(1);
    SetOKHandler([this] {
        if (Validate(GetNewName()))
            OKButtonClick();
        else
            FileNameEdit->setFocus();
    });
    resize(222 + 12, 54 + 12);
}

std::string TRenameFileDialog::GetNewName() const { return FileNameEdit->text().toStdString(); }

bool TRenameFileDialog::Validate(const std::string& Text)
{
    std::string Message;
    if (Text.empty())
        Message = "You have not specifed the new name for " + OldName + ".";
    else if (!ValidFileName(Text))
        Message = "'" + Text + "' is not a valid file name.";
    else if (!SameText(ExtractFileExt(Text), ExtractFileExt(OldName)))
        Message = "You must specify the same file extension";
    if (Message.empty())
        return true;
    ShowMessageDlg(this, Message, mtInformation, mbOK);
    return false;
}

void TRenameFileDialog::showEvent(QShowEvent* Event)
{
    TStandardDialog::showEvent(Event);
    FileNameEdit->selectAll();
    if (FileNameEdit->isEnabled())
        FileNameEdit->setFocus();
}
