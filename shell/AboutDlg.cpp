// The about box.
#include "shell/AboutDlg.h"

#include "image/KTGenUtils.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kClientWidth = 267;
constexpr int kClientHeight = 162;
// The picture panel's face, light lavender (red 230, green 230, blue 255).
const QColor kImagePanelColour(230, 230, 255);

QLabel* DetailLabel(QWidget* Parent, const char* Name)
{
    auto* label = new QLabel(Parent);
    label->setObjectName(Name);
    // Kernel version texts are long: they wrap inside the fixed width instead of widening the box.
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

TAboutDialog::TAboutDialog(QWidget* Owner) : QDialog(Owner)
{
    setObjectName("AboutDialog");
    setWindowTitle("About Canvello");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    outer->addLayout(top, 1);

    ImagePanel = new QFrame(this);
    ImagePanel->setObjectName("ImagePanel");
    ImagePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ImagePanel->setFixedWidth(100);
    ImagePanel->setAutoFillBackground(true);
    QPalette panelPalette = ImagePanel->palette();
    panelPalette.setColor(QPalette::Window, kImagePanelColour);
    ImagePanel->setPalette(panelPalette);
    auto* imageLayout = new QVBoxLayout(ImagePanel);
    imageLayout->setContentsMargins(2, 2, 2, 2);
    AboutImage = new QLabel(ImagePanel);
    AboutImage->setObjectName("AboutImage");
    AboutImage->setAlignment(Qt::AlignCenter);
    AboutImage->setPixmap(QPixmap(":/about.png"));
    imageLayout->addWidget(AboutImage);
    top->addWidget(ImagePanel);

    DetailsPanel = new QFrame(this);
    DetailsPanel->setObjectName("DetailsPanel");
    auto* details = new QVBoxLayout(DetailsPanel);
    details->setContentsMargins(0, 0, 0, 0);
    details->setSpacing(2);
    MainLabel = new QLabel("Canvello", DetailsPanel);
    MainLabel->setObjectName("MainLabel");
    QFont titleFont = MainLabel->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    MainLabel->setFont(titleFont);
    VersionLabel = DetailLabel(DetailsPanel, "VersionLabel");
    Bevel = new QFrame(DetailsPanel);
    Bevel->setObjectName("Bevel");
    Bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    OSVerLabel = DetailLabel(DetailsPanel, "OSVerLabel");
    OSBuildLabel = DetailLabel(DetailsPanel, "OSBuildLabel");
    MemLabel = DetailLabel(DetailsPanel, "MemLabel");
    details->addWidget(MainLabel);
    details->addWidget(VersionLabel);
    details->addWidget(Bevel);
    details->addWidget(OSVerLabel);
    details->addWidget(OSBuildLabel);
    details->addWidget(MemLabel);
    details->addStretch(1);
    top->addWidget(DetailsPanel, 1);

    ButtonPanel = new QFrame(this);
    ButtonPanel->setObjectName("ButtonPanel");
    auto* buttons = new QHBoxLayout(ButtonPanel);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    OKButton = new QPushButton("OK", ButtonPanel);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(OKButton);
    buttons->addStretch(1);
    outer->addWidget(ButtonPanel);

    FormCreate();

    // The box keeps its width; it grows in height only when long system texts wrap.
    const int height = std::max(kClientHeight, outer->hasHeightForWidth() ? outer->totalHeightForWidth(kClientWidth)
                                                                           : outer->totalSizeHint().height());
    setFixedSize(kClientWidth, height);
}

void TAboutDialog::FormCreate()
{
    VersionLabel->setText("Version 2.2.6");
    std::string osName, buildText, memoryText;
    if (GetOSVersionInfo(osName, buildText, memoryText)) {
        OSVerLabel->setText(QString::fromStdString(osName));
        OSBuildLabel->setText(QString::fromStdString("Build " + buildText));
        MemLabel->setText(QString::fromStdString("Total Memory: " + memoryText));
    } else {
        OSVerLabel->clear();
        OSBuildLabel->clear();
        MemLabel->clear();
    }
}
