// The text tool's "Add Text" dialog and the drawing of its recent texts.
#include "controls/AddTextDlg.h"

#include "controls/Memo.h"
#include "controls/XPanels.h"
#include "globals/UIServicesIntf.h"
#include "platform/SysUtils.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHideEvent>
#include <QIntValidator>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The font styles in the order of the style list: index bit 0 italic, bit 1 bold.
const char* const kStyleNames[] = {"Regular", "Italic", "Bold", "Bold Italic"};
const int kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
constexpr int kMaxFontSize = 1638;

struct TNamedColour {
    const char* Name;
    TColor Colour;
};
const TNamedColour kColours[] = {
    {"Black", clBlack}, {"Maroon", clMaroon}, {"Green", clGreen}, {"Olive", clOlive},
    {"Navy", clNavy},   {"Purple", clPurple}, {"Teal", clTeal},   {"Gray", clGray},
    {"Silver", clSilver}, {"Red", clRed},     {"Lime", clLime},   {"Yellow", clYellow},
    {"Blue", clBlue},   {"Fuchsia", clFuchsia}, {"Aqua", clAqua}, {"White", clWhite},
};

QString ToQ(const std::string& S) { return QString::fromStdString(S); }

// The memo's text with '\n' line breaks (what the platform's editor gives already).
std::string MemoText(const QPlainTextEdit& Memo) { return Memo.toPlainText().toStdString(); }

} // namespace

// ---- Recent texts ------------------------------------------------------------------------------------

void AddRecentText(std::vector<std::string>& Texts, const std::string& Text, int Max)
{
    const QString Wanted = ToQ(Text);
    const auto Found = std::find_if(Texts.begin(), Texts.end(), [&](const std::string& T) {
        return ToQ(T).compare(Wanted, Qt::CaseInsensitive) == 0;
    });
    if (Found != Texts.end())
        Texts.erase(Found);
    Texts.insert(Texts.begin(), Text);
    if (Texts.size() > size_t(std::max(Max, 0)))
        Texts.resize(size_t(std::max(Max, 0)));
}

void DrawReturnMark(QPainter& Canvas, int X, int Y, const QColor& Colour)
{
    // Lines that leave out their end points: down from (X+7, Y+3) to (X+7, Y+7), left to (X+2, Y+7),
    // and up from (X+4, Y+8) to (X+4, Y+5).
    Canvas.fillRect(QRect(X + 7, Y + 3, 1, 4), Colour);
    Canvas.fillRect(QRect(X + 3, Y + 7, 5, 1), Colour);
    Canvas.fillRect(QRect(X + 4, Y + 6, 1, 3), Colour);
}

void DrawRecentTextItem(QPainter& Canvas, const QRect& Rect, const std::string& Text, bool Selected)
{
    Canvas.fillRect(Rect, Canvas.brush());
    const QColor FontColour = Canvas.pen().color();
    const QColor MarkColour = Selected ? FontColour : ColorToQColor(clGrayText);
    const QFontMetrics Metrics(Canvas.font());
    const QStringList Lines = ToQ(Text).split('\n');
    int X = Rect.left() + 2;
    const int Y = Rect.top();
    Canvas.save();
    Canvas.setClipRect(Rect);
    for (qsizetype I = 0; I < Lines.size(); ++I) {
        QString Line = Lines[I];
        if (Line.endsWith('\r'))
            Line.chop(1);
        Canvas.setPen(FontColour);
        Canvas.drawText(QRect(X, Y, std::max(Rect.right() - X + 1, 0), Rect.height()),
                        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, Line);
        X += Metrics.horizontalAdvance(Line);
        if (I + 1 < Lines.size()) {
            DrawReturnMark(Canvas, X, Y, MarkColour);
            X += 10;
        }
    }
    Canvas.restore();
}

// ---- Dialog ------------------------------------------------------------------------------------------------

TAddTextDialog::TAddTextDialog(QWidget* Parent) : QDialog(Parent)
{
    setObjectName("AddTextDialog");
    setWindowTitle("Add Text");

    FFontName = new QFontComboBox(this);
    FFontName->setObjectName("FontNameCombo");
    FStyleList = new QListWidget(this);
    FStyleList->setObjectName("StyleList");
    for (const char* Name : kStyleNames)
        FStyleList->addItem(Name);
    FStyleList->setCurrentRow(0);
    FSizeCombo = new QComboBox(this);
    FSizeCombo->setObjectName("SizeCombo");
    FSizeCombo->setEditable(true);
    FSizeCombo->setValidator(new QIntValidator(1, kMaxFontSize, FSizeCombo));
    // Wide enough for the largest size, whatever the list holds: a box sized by its items would
    // change its width at the first showing, and the dialog's with it.
    FSizeCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    FSizeCombo->setMinimumContentsLength(int(QString::number(kMaxFontSize).size()));
    for (int Size : kSizes)
        FSizeCombo->addItem(QString::number(Size));
    FSizeCombo->setCurrentText("8");

    auto* Effects = new QGroupBox("Effects", this);
    FStrikeOut = new QCheckBox("Stri&keout", Effects);
    FStrikeOut->setObjectName("StrikeOutCheck");
    FUnderline = new QCheckBox("&Underline", Effects);
    FUnderline->setObjectName("UnderlineCheck");
    FColourCombo = new TColourComboSel(Effects);
    FColourCombo->setObjectName("ColourCombo");
    for (const TNamedColour& C : kColours)
        FColourCombo->AddColour(C.Name, C.Colour);
    FColourCombo->setCurrentIndex(0);
    auto* EffectsLayout = new QVBoxLayout(Effects);
    EffectsLayout->addWidget(FStrikeOut);
    EffectsLayout->addWidget(FUnderline);
    auto* ColourLabel = new QLabel("&Color:", Effects);
    ColourLabel->setBuddy(FColourCombo);
    EffectsLayout->addWidget(ColourLabel);
    EffectsLayout->addWidget(FColourCombo);

    auto* SampleBox = new QGroupBox("Sample", this);
    FSample = new QLabel("AaBbYyZz", SampleBox);
    FSample->setObjectName("Sample");
    FSample->setAlignment(Qt::AlignCenter);
    FSample->setMinimumHeight(40);
    (new QVBoxLayout(SampleBox))->addWidget(FSample);

    // The text box and the recent texts below it, in a panel of their own.
    FHostPanel = new TXPanel(this);
    FHostPanel->setObjectName("HostPanel");
    FHostPanel->SetBevelOuter(bvNone);
    FHostPanel->SetBevelInner(bvNone);
    FMemoPanel = new TXPanel(FHostPanel);
    FMemoPanel->setObjectName("MemoPanel");
    FMemoPanel->SetBevelInner(bvLowered);
    FMemoPanel->SetBevelOuter(bvLowered);
    FMemo = new TMemo(FMemoPanel);
    FMemo->setObjectName("Memo");
    FMemo->setFrameShape(QFrame::NoFrame);
    FMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FMemo->setTabChangesFocus(true);
    FMemo->setMinimumHeight(60);
    auto* MemoLayout = new QVBoxLayout(FMemoPanel);
    MemoLayout->addWidget(FMemo);
    FRecentCombo = new TAdvancedComboBox(FHostPanel);
    FRecentCombo->setObjectName("RecentTextCombo");
    FRecentCombo->OnDrawItem = [this](QWidget*, QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State) {
        if (Index >= 0 && Index < FRecentCombo->count())
            DrawRecentTextItem(Canvas, Rect, FRecentCombo->itemText(Index).toStdString(), State & odSelected);
    };
    auto* HostLayout = new QVBoxLayout(FHostPanel);
    HostLayout->setSpacing(2);
    HostLayout->addWidget(FMemoPanel, 1);
    HostLayout->addWidget(FRecentCombo);

    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* Grid = new QGridLayout(this);
    const struct {
        const char* Text;
        QWidget* Buddy;
    } Labels[] = {{"&Font:", FFontName}, {"Font st&yle:", FStyleList}, {"&Size:", FSizeCombo}};
    for (int I = 0; I < 3; ++I) {
        auto* Label = new QLabel(Labels[I].Text, this);
        Label->setBuddy(Labels[I].Buddy);
        Grid->addWidget(Label, 0, I);
    }
    Grid->addWidget(FFontName, 1, 0);
    Grid->addWidget(FStyleList, 1, 1, 2, 1);
    Grid->addWidget(FSizeCombo, 1, 2);
    Grid->addWidget(Effects, 3, 0);
    Grid->addWidget(SampleBox, 3, 1, 1, 2);
    Grid->addWidget(FHostPanel, 4, 0, 1, 3);
    Grid->addWidget(Buttons, 5, 0, 1, 3);
    Grid->setRowStretch(4, 1);
    FStyleList->setMaximumHeight(FStyleList->sizeHintForRow(0) * 4 + 8);

    connect(FMemo, &QPlainTextEdit::textChanged, this, [this] {
        if (!FUpdatingMemo)
            FText = MemoText(*FMemo);
    });
    connect(FRecentCombo, &QComboBox::activated, this,
            [this](int Index) { SetText(FRecentCombo->itemText(Index).toStdString()); });
    connect(FFontName, &QFontComboBox::currentFontChanged, this, [this] { UpdateSample(); });
    connect(FStyleList, &QListWidget::currentRowChanged, this, [this] { UpdateSample(); });
    connect(FSizeCombo, &QComboBox::currentTextChanged, this, [this] { UpdateSample(); });
    connect(FStrikeOut, &QCheckBox::toggled, this, [this] { UpdateSample(); });
    connect(FUnderline, &QCheckBox::toggled, this, [this] { UpdateSample(); });
    connect(FColourCombo, &QComboBox::currentIndexChanged, this, [this] { UpdateSample(); });
    UpdateSample();
}

bool TAddTextDialog::Execute()
{
    // Back where it was closed, as it was; the first time centred on the owner at its natural size.
    if (FLastGeometry.isValid())
        setGeometry(FLastGeometry);
    const bool Confirmed = RunModalDialog(*this);
    if (Confirmed && !FText.empty())
        AddRecentText(FRecentTexts, FText, FMaxRecentList);
    return Confirmed;
}

void TAddTextDialog::SetText(const std::string& Value)
{
    FText = Value;
    FUpdatingMemo = true;
    FMemo->setPlainText(ToQ(Value));
    FUpdatingMemo = false;
}

TFont TAddTextDialog::Font() const
{
    TFont F;
    F.Name = FFontName->currentFont().family().toStdString();
    bool Ok = false;
    const int Size = FSizeCombo->currentText().toInt(&Ok);
    F.Size = Ok ? std::clamp(Size, 1, kMaxFontSize) : 8;
    F.Color = FColourCombo->SelectedColourValue();
    const int Row = std::max(FStyleList->currentRow(), 0);
    F.Style = ((Row & 1) ? fsItalic : 0) | ((Row & 2) ? fsBold : 0) | (FStrikeOut->isChecked() ? fsStrikeOut : 0) |
              (FUnderline->isChecked() ? fsUnderline : 0);
    return F;
}

int TAddTextDialog::ColourIndex(TColor Colour)
{
    for (int I = 0; I < FColourCombo->count(); ++I)
        if (FColourCombo->ColourAt(I) == Colour)
            return I;
    // A colour of no name gets an item of its own at the end.
    FColourCombo->AddColour("Custom", Colour);
    return FColourCombo->count() - 1;
}

void TAddTextDialog::SetFont(const TFont& Value)
{
    FFontName->setCurrentFont(QFont(ToQ(Value.Name)));
    FStyleList->setCurrentRow(((Value.Style & fsItalic) ? 1 : 0) | ((Value.Style & fsBold) ? 2 : 0));
    FSizeCombo->setCurrentText(QString::number(std::clamp(Value.Size, 1, kMaxFontSize)));
    FStrikeOut->setChecked(Value.Style & fsStrikeOut);
    FUnderline->setChecked(Value.Style & fsUnderline);
    FColourCombo->setCurrentIndex(ColourIndex(Value.Color));
    UpdateSample();
}

void TAddTextDialog::UpdateSample()
{
    const TFont F = Font();
    QFont Q(ToQ(F.Name));
    Q.setPointSize(std::min(F.Size, 72)); // the sample box shows large sizes at 72 points
    Q.setBold(F.Style & fsBold);
    Q.setItalic(F.Style & fsItalic);
    Q.setUnderline(F.Style & fsUnderline);
    Q.setStrikeOut(F.Style & fsStrikeOut);
    FSample->setFont(Q);
    QPalette P = FSample->palette();
    P.setColor(QPalette::WindowText, ColorToQColor(F.Color));
    FSample->setPalette(P);
}

void TAddTextDialog::SetRecentTexts(const std::vector<std::string>& Value)
{
    FRecentTexts = Value;
    if (FRecentTexts.size() > size_t(FMaxRecentList))
        FRecentTexts.resize(size_t(FMaxRecentList));
}

void TAddTextDialog::SetMaxRecentList(int Value)
{
    Value = std::clamp(Value, 0, 255);
    if (Value == FMaxRecentList)
        return;
    FMaxRecentList = Value;
    if (FRecentTexts.size() > size_t(Value))
        FRecentTexts.resize(size_t(Value));
}

void TAddTextDialog::hideEvent(QHideEvent* Event)
{
    QDialog::hideEvent(Event);
    // The client area's place, restored as such: the frame's size is the window manager's and is
    // not known before a window shows.
    if (!Event->spontaneous())
        FLastGeometry = geometry();
}

void TAddTextDialog::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    SetText(FText);
    FRecentCombo->clear();
    for (const std::string& T : FRecentTexts)
        FRecentCombo->addItem(ToQ(T));
    if (FRecentCombo->count() > 0)
        FRecentCombo->setCurrentIndex(0);
    FMemo->setFocus();
}
