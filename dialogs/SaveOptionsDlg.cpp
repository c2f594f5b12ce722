#include "dialogs/SaveOptionsDlg.h"

#include "controls/XSpinEdits.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

TSaveOptionsForm::TSaveOptionsForm(QWidget* AOwner) : TStandardDialog(AOwner)
{
    setWindowTitle("Save Options");
    auto* outer = new QVBoxLayout(ClientArea);
    outer->setContentsMargins(0, 0, 0, 0);
    PageControl = new QTabWidget(ClientArea);
    outer->addWidget(PageControl);

    GIFPage = new QWidget(PageControl);
    auto* gifLayout = new QVBoxLayout(GIFPage);
    TransparencyRGroup = new QGroupBox("Transparency settings", GIFPage);
    auto* radios = new QVBoxLayout(TransparencyRGroup);
    TransparencyButtons = new QButtonGroup(this);
    const char* items[] = {
        "Maintain original file's transparency information",
        "Do not save any transparency information",
        "Set the transparency value to the background colour",
    };
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(items[i], TransparencyRGroup);
        TransparencyButtons->addButton(radio, i);
        radios->addWidget(radio);
    }
    TransparencyButtons->button(0)->setChecked(true);
    gifLayout->addWidget(TransparencyRGroup);
    ColourReductionGroup = new QGroupBox("Colour reduction", GIFPage);
    ColourReductionGroup->setMinimumHeight(40);
    gifLayout->addWidget(ColourReductionGroup, 1);
    PageControl->addTab(GIFPage, "GIF");

    JPGPage = new QWidget(PageControl);
    auto* jpgLayout = new QVBoxLayout(JPGPage);
    GeneralGroup = new QGroupBox("General", JPGPage);
    auto* general = new QHBoxLayout(GeneralGroup);
    CompressionLabel = new QLabel("Compression Level", GeneralGroup);
    JPGComp = new TXSpinEdit(GeneralGroup);
    JPGComp->SetMinValue(1);
    JPGComp->SetMaxValue(99);
    JPGComp->SetMaxLength(2);
    JPGComp->SetValue(1);
    general->addWidget(CompressionLabel);
    general->addWidget(JPGComp);
    general->addStretch(1);
    jpgLayout->addWidget(GeneralGroup);
    jpgLayout->addStretch(1);
    PageControl->addTab(JPGPage, "JPG");

    resize(316 + 12, 214 + 12);
}

int TSaveOptionsForm::TransparencyIndex() const { return TransparencyButtons->checkedId(); }
