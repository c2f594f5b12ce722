#pragma once
// The about box: the program's picture, name and version, and facts about the running system.
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDialog(QWidget* Owner);

    QFrame* ImagePanel;
    QLabel* AboutImage;
    QFrame* DetailsPanel;
    QLabel* MainLabel;
    QLabel* VersionLabel;
    QFrame* Bevel;
    QLabel* OSVerLabel;
    QLabel* OSBuildLabel;
    QLabel* MemLabel;
    QFrame* ButtonPanel;
    QPushButton* OKButton;

private:
    void FormCreate();
};
