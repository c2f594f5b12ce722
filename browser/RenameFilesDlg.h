#pragma once
// The dialog that asks for a name template for renaming many files, and the names such a template
// gives. The template's "%d" marks where each file's index goes; everything else is copied as typed.
#include "dialogs/StandardDlg.h"

#include <string>
#include <vector>

class QLabel;
class QLineEdit;

// The new names of OldNames, in order, renamed by Template: its first "%d" (either case) replaced by the
// index from 1, zero-padded to as many digits as the count has, then the old name's extension. A
// template without the mark gets no index. The template is never used as a format.
std::vector<std::string> TemplateFileNames(const std::string& Template, const std::vector<std::string>& OldNames);

class TRenameFilesDialog : public TStandardDialog {
public:
    TRenameFilesDialog(QWidget* AOwner, const std::string& Folder);

    QLabel* Main_Label;
    QLineEdit* FileNameEdit;
    std::string Folder;

    std::string GetNameTemplate() const;
    // Answers whether Text may be the template; a refusal is shown to the user.
    virtual bool Validate(const std::string& Text);

protected:
    void showEvent(QShowEvent* Event) override;
};
