#pragma once
// The save options form shown from the picture save dialog: GIF transparency and JPEG compression.
#include "dialogs/StandardDlg.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QTabWidget;
class TXSpinEdit;

class TSaveOptionsForm : public TStandardDialog {
public:
    explicit TSaveOptionsForm(QWidget* AOwner);

    QTabWidget* PageControl;
    QWidget* GIFPage;
    QGroupBox* TransparencyRGroup;
    QButtonGroup* TransparencyButtons; // ids 0..2 in the order shown
    QGroupBox* ColourReductionGroup;
    QWidget* JPGPage;
    QGroupBox* GeneralGroup;
    QLabel* CompressionLabel;
    TXSpinEdit* JPGComp;

    // The selected transparency item.
    int TransparencyIndex() const;
};
