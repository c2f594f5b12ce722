#pragma once
// The dialog that asks for a new name for one file. OK closes only when the name is usable: not empty,
// a valid single file name, and with the old name's extension (letter case aside).
#include "browser/FileAdmin.h"
#include "dialogs/StandardDlg.h"

#include <string>

class QLineEdit;


class TRenameFileDialog : public TStandardDialog {
public:
    // OldName may carry a folder; only its file-name part is kept and shown.
    TRenameFileDialog(QWidget* AOwner, const std::string& OldName);

    QLineEdit* FileNameEdit;
    std::string OldName;

    std::string GetNewName() const;
    // Answers whether Text may be the new name; a refusal is shown to the user.
    virtual bool Validate(const std::string& Text);

protected:
    void showEvent(QShowEvent* Event) override;
};
