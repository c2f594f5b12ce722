#include "browser/RenameFilesDlg.h"

#include "browser/RenameFileDlg.h"
#include "platform/SysUtils.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const IndexMark = "%d";

// Where the index goes: the first "%d" of Template in either case.
size_t IndexMarkAt(const std::string& Template)
{
    for (size_t i = 0; i + 1 < Template.size(); ++i)
        if (Template[i] == '%' && (Template[i + 1] == 'd' || Template[i + 1] == 'D'))
            return i;
    return std::string::npos;
}

std::string WithIndex(const std::string& Template, size_t At, const std::string& Index)
{
    return At == std::string::npos ? Template : Template.substr(0, At) + Index + Template.substr(At + 2);
}

} // namespace

std::vector<std::string> TemplateFileNames(const std::string& Template, const std::vector<std::string>& OldNames)
{
    const size_t At = IndexMarkAt(Template);
    const size_t Digits = std::to_string(OldNames.size()).size();
    std::vector<std::string> Names;
    Names.reserve(OldNames.size());
    for (size_t i = 0; i < OldNames.size(); ++i) {
        std::string Index = std::to_string(i + 1);
        Index.insert(0, Digits - Index.size(), '0');
        Names.push_back(WithIndex(Template, At, Index) + ExtractFileExt(ExtractFileName(OldNames[i])));
    }
    return Names;
}

TRenameFilesDialog::TRenameFilesDialog(QWidget* AOwner, const std::string& AFolder)
    : TStandardDialog(AOwner), Folder(AFolder)
{
    setWindowTitle("Rename Files");
    auto* Layout = new QVBoxLayout(ClientArea);
    Layout->setContentsMargins(0, 0, 0, 0);
    Main_Label = new QLabel("Enter a template name to rename files to.\n"
                            "\n"
                            "Use %d to indicate where the file index should be added\n"
                            "e.g. If 'Name_%d' was used then the first file in the\n"
                            "directory would be renamed 'Name_01' plus any extension.",
                            ClientArea);
    Main_Label->setTextFormat(Qt::PlainText);
    Main_Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The five lines need their own height in the user's font, not the design's 65 pixels.
    Main_Label->setMinimumHeight(std::max(65, Main_Label->sizeHint().height()));
    FileNameEdit = new QLineEdit(IndexMark, ClientArea);
    Layout->addWidget(Main_Label);
    Layout->addWidget(FileNameEdit);
    Layout->addStretch(1);
    SetOKHandler([this] {
        if (Validate(GetNameTemplate()))
            OKButtonClick();
        else
            FileNameEdit->setFocus();
    });
    resize(QSize(283 + 12, 124 + 12).expandedTo(sizeHint()));
}

std::string TRenameFilesDialog::GetNameTemplate() const { return FileNameEdit->text().toStdString(); }

bool TRenameFilesDialog::Validate(const std::string& Text)
{
    std::string Message;
    if (Text.empty())
        Message = "You have not specifed the new name template.";
    else if (Text.find(IndexMark) == std::string::npos)
        Message = "You have not specifed where the index should go (%d).";
    // The shortest name the template gives (index "1", no extension) must be a file name.
    else if (!ValidFileName(WithIndex(Text, IndexMarkAt(Text), "1")))
        Message = "'" + Text + "' does not give valid file names.";
    if (Message.empty())
        return true;
    ShowMessageDlg(this, Message, mtInformation, mbOK);
    return false;
}

void TRenameFilesDialog::showEvent(QShowEvent* Event)
{
    TStandardDialog::showEvent(Event);
    FileNameEdit->selectAll();
    if (FileNameEdit->isEnabled())
        FileNameEdit->setFocus();
}
