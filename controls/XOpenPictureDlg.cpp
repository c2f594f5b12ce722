// The picture open and save dialogs with their picture panel, and the silent paint panel.
#include "controls/XOpenPictureDlg.h"

#include "gif/GIFImage.h"
#include "globals/UIServicesIntf.h"
#include "image/BitmapUtils.h"
#include "image/ScaledPicture.h"
#include "platform/SysUtils.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QToolButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

// ---- Preview pictures ------------------------------------------------------------------------------------

void FitPreviewSize(int W, int H, int MaxW, int MaxH, int& NewW, int& NewH)
{
    NewW = W;
    NewH = H;
    if (W <= 0 || H <= 0 || MaxW <= 0 || MaxH <= 0 || (W <= MaxW && H <= MaxH))
        return;
    // Taller than the area's proportion (H / W > MaxH / MaxW), compared without rounding.
    if (int64_t(H) * MaxW > int64_t(MaxH) * W) {
        NewH = MaxH;
        NewW = static_cast<int>(int64_t(MaxH) * W / H);
    } else {
        NewW = MaxW;
        NewH = static_cast<int>(int64_t(MaxW) * H / W);
    }
    NewW = std::max(NewW, 1);
    NewH = std::max(NewH, 1);
}

namespace {

// The pixels of a 24-bit bitmap as an image of its own.
QImage OwnImage(TBitmap& Bitmap)
{
    Bitmap.SetPixelFormat(pf24bit);
    return Bitmap.AsQImage().copy();
}

// A loaded GIF (whose first frame is the picture, as everywhere) when it is an animation (two frames
// or more), nullptr for a still one.
std::shared_ptr<TGIFImage> AnimationOf(std::unique_ptr<TGIFImage> GIF)
{
    if (GIF->Images.Count() < 2)
        return nullptr;
    return std::shared_ptr<TGIFImage>(std::move(GIF));
}

} // namespace

TFilePreview LoadPicturePreview(const std::string& FileName, int MaxW, int MaxH, bool Resample) noexcept
{
    TFilePreview Result;
    try {
        // The stream opens regular files only, without blocking (a FIFO or a device is refused).
        TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
        TScaledPicture Picture;
        int W = 0, H = 0;
        if (!Resample && TXBitmap::IsGIFStream(Stream)) {
            Result.Animation = AnimationOf(Picture.LoadGIFScaled(Stream));
            W = Picture.Width();
            H = Picture.Height();
        } else {
            Picture.LoadScaled(Stream, [MaxW, MaxH](int PW, int PH, int& ShownW, int& ShownH) {
                FitPreviewSize(PW, PH, MaxW, MaxH, ShownW, ShownH);
            }, W, H);
        }
        if (Picture.Empty())
            return Result;
        int NewW = 0, NewH = 0;
        FitPreviewSize(Picture.Width(), Picture.Height(), MaxW, MaxH, NewW, NewH);
        if (NewW == Picture.Width() && NewH == Picture.Height()) {
            Result.Image = OwnImage(Picture);
        } else if (Resample) {
            TBitmap Small;
            SmoothResize(Picture, Small, NewW, NewH);
            Result.Image = OwnImage(Small);
        } else {
            Picture.SetPixelFormat(pf24bit);
            Result.Image = Picture.AsQImage().scaled(NewW, NewH, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        }
        if (Result.Image.isNull())
            return Result;
        Result.Width = W;
        Result.Height = H;
        Result.Valid = true;
    } catch (...) {
        // No readable picture: the preview says so, nothing reaches the user.
        Result = TFilePreview();
    }
    return Result;
}

namespace {

// Where a W x H picture shows in Area: centred, shrunk to fit it with its proportions kept (never
// enlarged).
QRect FittedRect(const QRect& Area, int PictureW, int PictureH)
{
    int W = 0, H = 0;
    FitPreviewSize(PictureW, PictureH, Area.width(), Area.height(), W, H);
    return {Area.left() + (Area.width() - W) / 2, Area.top() + (Area.height() - H) / 2, W, H};
}

// Image drawn fitted into Area.
void DrawFitted(QPainter& Canvas, const QRect& Area, const QImage& Image)
{
    if (Image.isNull() || Area.isEmpty())
        return;
    const QRect Target = FittedRect(Area, Image.width(), Image.height());
    if (Target.size() == Image.size()) {
        Canvas.drawImage(Target.topLeft(), Image);
    } else {
        Canvas.setRenderHint(QPainter::SmoothPixmapTransform);
        Canvas.drawImage(Target, Image);
    }
}

// The small button faces: a magnifier (preview), a folder (browse) and a slider panel (options).
enum TGlyph { gPreview, gBrowse, gOptions };
QIcon GlyphIcon(TGlyph Glyph)
{
    QPixmap Face(16, 16);
    Face.fill(Qt::transparent);
    QPainter P(&Face);
    P.setRenderHint(QPainter::Antialiasing);
    switch (Glyph) {
    case gPreview:
        P.setPen(QPen(QColor(40, 40, 40), 2));
        P.setBrush(QColor(200, 225, 255));
        P.drawEllipse(QRectF(2, 2, 8, 8));
        P.setPen(QPen(QColor(90, 60, 30), 3, Qt::SolidLine, Qt::RoundCap));
        P.drawLine(QPointF(10, 10), QPointF(14, 14));
        break;
    case gBrowse:
        P.setPen(QColor(130, 100, 20));
        P.setBrush(QColor(240, 200, 80));
        P.drawRect(QRectF(1.5, 4.5, 13, 9));
        P.drawRect(QRectF(1.5, 2.5, 5, 2));
        break;
    case gOptions:
        P.setPen(QPen(QColor(60, 60, 60), 1.5));
        for (int Row = 0; Row < 3; ++Row) {
            const qreal Y = 3.5 + Row * 4.5;
            P.drawLine(QPointF(2, Y), QPointF(14, Y));
            P.setBrush(QColor(80, 130, 210));
            P.drawRect(QRectF(Row == 1 ? 9 : 4, Y - 1.5, 3, 3));
        }
        break;
    }
    return QIcon(Face);
}

QToolButton* MakeExtraButton(QWidget* Parent, const char* Name, TGlyph Glyph, const char* Hint)
{
    auto* Button = new QToolButton(Parent);
    Button->setObjectName(Name);
    Button->setIcon(GlyphIcon(Glyph));
    Button->setToolTip(Hint);
    Button->setFocusPolicy(Qt::TabFocus);
    Button->setGeometry(77, 1, 24, 23);
    return Button;
}

// Picture panel size and the preview area used before the dialog has laid itself out.
constexpr int kPicturePanelWidth = 169;
constexpr int kPicturePanelHeight = 200;
constexpr QSize kDefaultPreviewArea(149, 132);

const char* const kOpenFilters[] = {"All (*.bmp *.jpg *.jpeg *.gif)", "Bitmaps (*.bmp)", "JPEG Image File (*.jpg)",
                                    "JPEG Image File (*.jpeg)", "GIF Image (*.gif)"};

} // namespace

// ---- Animations in a panel -------------------------------------------------------------------------------

// An animated GIF played in a panel through the image's own drawing: the first drawing starts the
// image's painter thread, which draws every frame into the image's cached picture when its delay
// has passed and has the panel repaint; it only waits in between. The painter ends with this object.
class TPreviewAnimation {
public:
    TPreviewAnimation(std::shared_ptr<TGIFImage> Image, QWidget* Panel) : FImage(std::move(Image))
    {
        // A rendering made while loading would be shown as it stands instead of being played.
        FImage->FreeBitmap();
        FImage->OnChange = [Panel = QPointer<QWidget>(Panel)](const void*) {
            if (Panel)
                Panel->update();
        };
    }
    ~TPreviewAnimation()
    {
        FImage->OnChange = nullptr;
        try {
            FImage->StopDraw();
        } catch (...) {
        }
    }
    TPreviewAnimation(const TPreviewAnimation&) = delete;
    TPreviewAnimation& operator=(const TPreviewAnimation&) = delete;

    // The frame on show, fitted into Area over the colour Back (what transparent parts show).
    void Paint(QPainter& Canvas, const QRect& Area, TColor Back)
    {
        const QRect Target = FittedRect(Area, FImage->Width(), FImage->Height());
        if (Area.isEmpty() || Target.isEmpty())
            return;
        if (FSurface.Width() != Target.width() || FSurface.Height() != Target.height())
            FSurface.SetSize(Target.width(), Target.height());
        const TRect R = Rect(0, 0, Target.width(), Target.height());
        FSurface.Canvas().Brush.Color = Back;
        FSurface.Canvas().Brush.Style = bsSolid;
        FSurface.Canvas().FillRect(R);
        FImage->Draw(FSurface.Canvas(), R);
        Canvas.drawImage(Target.topLeft(), FSurface.AsQImage());
    }

private:
    std::shared_ptr<TGIFImage> FImage;
    // The destination of the image's drawing, the size shown.
    TBitmap FSurface{1, 1, pf24bit};
};

// ---- Silent paint panel -----------------------------------------------------------------------------

TXSilentPaintPanel::TXSilentPaintPanel(QWidget* Parent) : TXCustomPanel(Parent) {}

void TXSilentPaintPanel::Paint(QPainter& Canvas)
{
    TXCustomPanel::Paint(Canvas);
    if (!OnPaintContents)
        return;
    const TRect Inner = AdjustClientRect(Rect(0, 0, width(), height()));
    const QRect Area(Inner.Left, Inner.Top, Inner.Width(), Inner.Height());
    Canvas.save();
    try {
        OnPaintContents(this, Canvas, Area);
        Canvas.restore();
    } catch (...) {
        // Whatever was half drawn goes; the caption takes its place.
        Canvas.restore();
        SetCaption("Invalid image");
        Canvas.fillRect(Area, ColorToQColor(Color()));
        Canvas.setPen(ColorToQColor(clBtnText));
        Canvas.drawText(Area, Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(Caption()));
    }
}

void TXSilentPaintPanel::mouseDoubleClickEvent(QMouseEvent* Event)
{
    if (OnDblClick && Event->button() == Qt::LeftButton)
        OnDblClick(this);
}

// ---- Extra buttons -------------------------------------------------------------------------------------

TExtraButtonLefts ExtraButtonLefts(TPictureDialogExtraButtons Buttons, int PanelWidth)
{
    TExtraButtonLefts Lefts;
    int X = PanelWidth - 30;
    for (auto [Button, Left] : {std::pair{ebPreview, &Lefts.Preview}, {ebBrowse, &Lefts.Browse}, {ebOptions, &Lefts.Options}})
        if (Buttons & Button) {
            *Left = X;
            X -= 26;
        }
    return Lefts;
}

// ---- The dialogs ------------------------------------------------------------------------------------------

namespace {

// Widens the detail list's Size, Type and Date columns to their whole text (never narrower than they
// are), and gives the name column what is left of the list's width.
void FitDetailColumns(QTreeView& View)
{
    QHeaderView* Header = View.header();
    if (!Header || Header->count() < 2)
        return;
    int Others = 0;
    for (int Column = 1; Column < Header->count(); ++Column) {
        const int Needed =
            std::max(static_cast<QAbstractItemView&>(View).sizeHintForColumn(Column), Header->sectionSizeHint(Column));
        if (Needed > Header->sectionSize(Column))
            Header->resizeSection(Column, Needed);
        Others += Header->sectionSize(Column);
    }
    const int Rest = View.viewport()->width() - Others;
    Header->resizeSection(0, std::max(Rest, Header->sectionSizeHint(0)));
}

} // namespace

TXCustomOpenPictureDialog::TXCustomOpenPictureDialog(QWidget* Parent) : QFileDialog(Parent)
{
    setOption(QFileDialog::DontUseNativeDialog, true);
    QStringList Filters;
    for (const char* Filter : kOpenFilters)
        Filters << Filter;
    setNameFilters(Filters);

    FPicturePanel = new TXPanel(this);
    FPicturePanel->setObjectName("PicturePanel");
    FPicturePanel->SetBevelOuter(bvNone);
    FPicturePanel->SetBorderWidth(6);
    FPicturePanel->setFixedWidth(kPicturePanelWidth);
    FPicturePanel->setMinimumHeight(kPicturePanelHeight);

    FPictureLabel = new QLabel(FPicturePanel);
    FPictureLabel->setObjectName("PictureLabel");
    FPictureLabel->setFixedHeight(23);
    FPictureLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    FPaintPanel = new TXSilentPaintPanel(FPicturePanel);
    FPaintPanel->setObjectName("PaintPanel");
    FPaintPanel->SetBorderWidth(3);
    FPaintPanel->SetBevelInner(bvNone);
    FPaintPanel->SetBevelOuter(bvLowered);
    FPaintPanel->OnPaintContents = [this](QWidget*, QPainter& Canvas, const QRect& Area) { PaintPreview(Canvas, Area); };
    FPaintPanel->OnDblClick = [this](QWidget*) { ShowFullSizePreview(); };

    auto* Column = new QVBoxLayout(FPicturePanel);
    Column->setSpacing(0);
    Column->addWidget(FPictureLabel);
    Column->addWidget(FPaintPanel, 1);

    // The buttons stand over the label's right end, outside the layout.
    FPreviewButton = MakeExtraButton(FPicturePanel, "PreviewButton", gPreview, "Preview");
    FPreviewButton->setEnabled(false);
    FBrowseButton = MakeExtraButton(FPicturePanel, "BrowseButton", gBrowse, "Browse directory");
    FOptionsButton = MakeExtraButton(FPicturePanel, "OptionsButton", gOptions, "");
    connect(FPreviewButton, &QToolButton::clicked, this, [this] { ShowFullSizePreview(); });
    connect(FBrowseButton, &QToolButton::clicked, this, [this] { BrowseClick(); });
    connect(FOptionsButton, &QToolButton::clicked, this, [this] { DoOptionsClick(); });

    // The file dialog's own controls fill a grid; the picture panel takes a column right of them.
    if (auto* Grid = qobject_cast<QGridLayout*>(layout()))
        Grid->addWidget(FPicturePanel, 0, Grid->columnCount(), Grid->rowCount(), 1);
    else if (layout())
        layout()->addWidget(FPicturePanel);
    PlaceButtons();
    ClearPreview();
    // Room for the file list's columns beside the picture panel.
    resize(sizeHint().expandedTo(QSize(640 + kPicturePanelWidth, 440)));
    // The detail list shows its columns' whole text once a folder's entries are in.
    auto* Files = findChild<QFileSystemModel*>();
    auto* Details = findChild<QTreeView*>("treeView");
    if (Files && Details)
        connect(Files, &QFileSystemModel::directoryLoaded, Details, [Details] { FitDetailColumns(*Details); },
                Qt::QueuedConnection);

    connect(this, &QFileDialog::currentChanged, this, [this](const QString& Path) { PreviewFile(LocalName(Path)); });
    connect(this, &QFileDialog::directoryEntered, this,
            [this](const QString& Folder) { FCurrentFolder = LocalName(Folder); });
    connect(&FPending, &QFutureWatcherBase::finished, this, [this] { PreviewReady(); });
}

TXCustomOpenPictureDialog::~TXCustomOpenPictureDialog()
{
    StopAnimation();
    // The decoding reads nothing of the dialog, but its result is delivered to it: wait for it.
    FPending.disconnect();
    FPending.waitForFinished();
    if (FFolderHandle >= 0)
        ::close(FFolderHandle);
}

void TXCustomOpenPictureDialog::ShowFolder(const std::string& Folder)
{
    struct stat St;
    if (Folder.empty() || ::stat(Folder.c_str(), &St) != 0 || !S_ISDIR(St.st_mode))
        return;
    const QString Text = QFile::decodeName(QByteArray::fromStdString(Folder));
    if (QFile::encodeName(Text).toStdString() == Folder) {
        setDirectory(Text);
        return;
    }
    const int Handle = ::open(Folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (Handle < 0)
        return;
    const QString Link = QString("/proc/self/fd/%1").arg(Handle);
    setDirectory(Link);
    // The former link is let go only now, so that its number is not the new one's.
    if (FFolderHandle >= 0)
        ::close(FFolderHandle);
    FFolderHandle = Handle;
    FFolderBytes = Folder;
    FFolderLink = Link;
}

std::string TXCustomOpenPictureDialog::Folder() const
{
    return LocalName(directory().absolutePath());
}

void TXCustomOpenPictureDialog::ProposeName(const std::string& Name)
{
    FProposedName = Name;
    FProposedText = QFile::decodeName(QByteArray::fromStdString(Name));
    selectFile(FProposedText);
}

std::string TXCustomOpenPictureDialog::LocalName(const QString& Path) const
{
    const qsizetype Slash = Path.lastIndexOf(u'/');
    const QString Dir = Slash < 0 ? QString() : Path.left(Slash);
    const QString Name = Path.mid(Slash + 1);
    std::string Bytes;
    if (!FFolderLink.isEmpty() && (Path == FFolderLink || Path.startsWith(FFolderLink + u'/'))) {
        if (Path == FFolderLink)
            return FFolderBytes;
        Bytes = FFolderBytes + QFile::encodeName(Dir.mid(FFolderLink.size())).toStdString();
    } else if (Slash >= 0) {
        Bytes = QFile::encodeName(Dir).toStdString();
    }
    if (Slash >= 0)
        Bytes += '/';
    return Bytes + (!Name.isEmpty() && Name == FProposedText ? FProposedName : QFile::encodeName(Name).toStdString());
}

void TXCustomOpenPictureDialog::SetExtraButtons(TPictureDialogExtraButtons Value)
{
    if (Value == FExtraButtons)
        return;
    FExtraButtons = Value;
    PlaceButtons();
}

void TXCustomOpenPictureDialog::PlaceButtons()
{
    const TExtraButtonLefts Lefts = ExtraButtonLefts(FExtraButtons, FPicturePanel->width());
    for (auto [Button, Member, Left] : {std::tuple{FPreviewButton, ebPreview, Lefts.Preview},
                                        {FBrowseButton, ebBrowse, Lefts.Browse},
                                        {FOptionsButton, ebOptions, Lefts.Options}}) {
        if (FExtraButtons & Member)
            Button->move(Left, 1);
        Button->setVisible(FExtraButtons & Member);
        Button->raise();
    }
}

void TXCustomOpenPictureDialog::UpdateOptionsHint()
{
    FOptionsButton->setToolTip(QString::fromStdString(GetOptionsHint()));
}

void TXCustomOpenPictureDialog::DoOptionsClick()
{
    if (OnOptionsClick)
        OnOptionsClick(this);
}

std::vector<std::string> TXCustomOpenPictureDialog::FileNames() const
{
    std::vector<std::string> Names;
    for (const QString& Name : selectedFiles())
        Names.push_back(LocalName(Name));
    return Names;
}

std::string TXCustomOpenPictureDialog::FileName() const
{
    const QStringList Names = selectedFiles();
    return Names.isEmpty() ? std::string() : LocalName(Names.first());
}

QSize TXCustomOpenPictureDialog::PreviewArea() const
{
    const TRect Inner = FPaintPanel->AdjustClientRect(Rect(0, 0, FPaintPanel->width(), FPaintPanel->height()));
    // Before the first layout the panel has no size of its own yet.
    if (!FPaintPanel->testAttribute(Qt::WA_Resized) || Inner.Width() <= 0 || Inner.Height() <= 0)
        return kDefaultPreviewArea;
    return {Inner.Width(), Inner.Height()};
}

void TXCustomOpenPictureDialog::StopAnimation()
{
    FAnimation.reset();
}

void TXCustomOpenPictureDialog::ClearPreview()
{
    StopAnimation();
    FPendingName.clear();
    FLastPreviewed.clear();
    FLastGood.clear();
    FPreview = QImage();
    FPaintPanel->SetCaption("(None)");
    FPaintPanel->update();
}

void TXCustomOpenPictureDialog::ShowInvalid()
{
    StopAnimation();
    FPictureLabel->setText("Picture:");
    FPreviewButton->setEnabled(false);
    FPreview = QImage();
    FPaintPanel->SetCaption("(None)");
    FPaintPanel->update();
}

void TXCustomOpenPictureDialog::PreviewFile(const std::string& FullName)
{
    if (FullName == FLastPreviewed)
        return;
    FLastPreviewed = FullName;
    // The animation of the former selection ends now; its first frame shows until the new one is ready.
    StopAnimation();
    // Only a regular file can be a picture: a folder, a FIFO or a device is not opened at all.
    struct stat St;
    if (FullName.empty() || ::stat(FullName.c_str(), &St) != 0 || !S_ISREG(St.st_mode)) {
        FPendingName.clear();
        ShowInvalid();
        return;
    }
    FPendingName = FullName;
    ++FPreviewLoads;
    const QSize Area = PreviewArea();
    const bool Resample = FResampleSmlPreview;
    FPending.future().cancel(); // not started yet: it need not start at all
    FPending.setFuture(QtConcurrent::run([FullName, Area, Resample] {
        if (OnPreviewDecode)
            OnPreviewDecode(FullName);
        return LoadPicturePreview(FullName, Area.width(), Area.height(), Resample);
    }));
}

void TXCustomOpenPictureDialog::WaitForPreview()
{
    FPending.waitForFinished();
    PreviewReady();
}

void TXCustomOpenPictureDialog::PreviewReady()
{
    // Only the result for the selection shown now counts; it is taken once.
    if (FPendingName.empty() || FPendingName != FLastPreviewed || FPending.isRunning())
        return;
    const QFuture<TFilePreview> Future = FPending.future();
    if (Future.isCanceled() || Future.resultCount() == 0)
        return;
    // The future keeps its copy until the next selection; only the preview below plays it.
    TFilePreview Preview = Future.result();
    FPendingName.clear();
    if (!Preview.Valid) {
        ShowInvalid();
        return;
    }
    FPreview = Preview.Image;
    StopAnimation();
    if (Preview.Animation)
        FAnimation = std::make_unique<TPreviewAnimation>(std::move(Preview.Animation), FPaintPanel);
    FLastGood = FLastPreviewed;
    FPictureLabel->setText(QString::fromStdString(Format(" (%d x %d)", Preview.Width, Preview.Height)));
    FPreviewButton->setEnabled(true);
    FPaintPanel->SetCaption("");
    FPaintPanel->update();
}

void TXCustomOpenPictureDialog::PaintPreview(QPainter& Canvas, const QRect& Area)
{
    if (FAnimation)
        FAnimation->Paint(Canvas, Area, FPaintPanel->Color());
    else
        DrawFitted(Canvas, Area, FPreview);
}

void TXCustomOpenPictureDialog::ShowFullSizePreview()
{
    // The picture shown in the panel, at full size; nothing when none shows or it no longer loads.
    if (FPreview.isNull() || FLastGood.empty())
        return;
    QImage Picture;
    std::shared_ptr<TGIFImage> Animation;
    try {
        TXBitmap Bitmap;
        TFileStream Stream(FLastGood, fmOpenRead | fmShareDenyWrite);
        if (TXBitmap::IsGIFStream(Stream))
            Animation = AnimationOf(Bitmap.LoadGIFImageFromStream(Stream));
        else
            Bitmap.LoadPictureFromStream(Stream, false);
        Picture = OwnImage(Bitmap);
    } catch (...) {
        return;
    }
    // Declared before the form, so that it goes after it: the painter ends when the form has closed.
    std::unique_ptr<TPreviewAnimation> Playing;
    QDialog Form(this);
    Form.setObjectName("PreviewForm");
    Form.setWindowTitle(QString::fromStdString(Format("Preview: %s", ExtractFileName(FLastGood))));
    Form.setWindowFlags(Qt::Tool | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    auto* Panel = new TXSilentPaintPanel(&Form);
    Panel->setObjectName("Panel");
    Panel->SetBevelOuter(bvLowered); // the panel's single-line border
    Panel->SetBorderWidth(5);
    Panel->SetColor(clWindow);
    if (Animation) {
        Playing = std::make_unique<TPreviewAnimation>(std::move(Animation), Panel);
        Panel->OnPaintContents = [Animation = Playing.get(), Panel](QWidget*, QPainter& Canvas, const QRect& Area) {
            Animation->Paint(Canvas, Area, Panel->Color());
        };
    } else {
        Panel->OnPaintContents = [Picture](QWidget*, QPainter& Canvas, const QRect& Area) {
            DrawFitted(Canvas, Area, Picture);
        };
    }
    auto* Fill = new QVBoxLayout(&Form);
    Fill->setContentsMargins(0, 0, 0, 0);
    Fill->addWidget(Panel);
    // Room for the whole picture inside the border, up to three quarters of the screen.
    const TRect Inner = Panel->AdjustClientRect(Rect(0, 0, 100, 100));
    const int Frame = 100 - Inner.Width();
    const QScreen* Screen = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize ScreenSize = Screen ? Screen->availableGeometry().size() : QSize(1024, 768);
    Form.resize(std::min(ScreenSize.width() * 3 / 4, Picture.width() + Frame),
                std::min(ScreenSize.height() * 3 / 4, Picture.height() + Frame));
    RunModalDialog(Form);
}

void TXCustomOpenPictureDialog::BrowseClick()
{
    FBrowseClicked = true;
    reject();
}

void TXCustomOpenPictureDialog::showEvent(QShowEvent* Event)
{
    PlaceButtons();
    ClearPreview();
    FPictureLabel->clear();
    FPreviewButton->setEnabled(false);
    QFileDialog::showEvent(Event);
    FBrowseClicked = false;
    FCurrentFolder = Folder();
}

void TXCustomOpenPictureDialog::done(int Result)
{
    StopAnimation();
    QFileDialog::done(Result);
    QToolTip::hideText();
}

TXOpenPictureDialog::TXOpenPictureDialog(QWidget* Parent) : TXCustomOpenPictureDialog(Parent)
{
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFiles);
    UpdateOptionsHint();
}

// ---- Save dialog ----------------------------------------------------------------------------------------

const TSavePictureType SavePictureTypes[4] = {
    {"bmp", "Bitmaps (*.bmp)"},
    {"jpg", "JPEG Image File (*.jpg)"},
    {"jpeg", "JPEG Image File (*.jpeg)"},
    {"gif", "GIF Image (*.gif)"},
};

int SavePictureTypeIndex(const std::string& FileName)
{
    const std::string Ext = LowerCase(ExtractFileExt(FileName));
    for (int I = 1; I < 4; ++I)
        if (Ext == std::string(".") + SavePictureTypes[I].Extension)
            return I;
    return 0;
}

TXSavePictureDialog::TXSavePictureDialog(QWidget* Parent) : TXCustomOpenPictureDialog(Parent)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    // Replacing a file is asked here, through the user-interface services.
    setOption(QFileDialog::DontConfirmOverwrite, true);
    QStringList Filters;
    for (const TSavePictureType& Type : SavePictureTypes)
        Filters << Type.Filter;
    setNameFilters(Filters);
    SetTypeIndex(0);
    UpdateOptionsHint();
}

int TXSavePictureDialog::TypeIndex() const
{
    const QString Filter = selectedNameFilter();
    for (int I = 0; I < 4; ++I)
        if (Filter == SavePictureTypes[I].Filter)
            return I;
    return 0;
}

void TXSavePictureDialog::SetTypeIndex(int Index)
{
    Index = std::clamp(Index, 0, 3);
    selectNameFilter(SavePictureTypes[Index].Filter);
    setDefaultSuffix(SavePictureTypes[Index].Extension);
}

void TXSavePictureDialog::SetPictureFileName(const std::string& FileName)
{
    // The type first: choosing it rewrites the extension of the name shown ("photo.JPG" would
    // become another file, "photo.jpg"). A name without a folder (a new picture's title) stays in
    // the folder the dialog shows.
    SetTypeIndex(SavePictureTypeIndex(FileName));
    const size_t Slash = FileName.rfind('/');
    if (Slash != std::string::npos && FileName.front() == '/')
        ShowFolder(Slash == 0 ? "/" : FileName.substr(0, Slash));
    ProposeName(Slash == std::string::npos ? FileName : FileName.substr(Slash + 1));
}

void TXSavePictureDialog::accept()
{
    // The chosen type gives the extension of a name typed without one.
    setDefaultSuffix(SavePictureTypes[TypeIndex()].Extension);
    const std::string Name = FileName();
    struct stat St;
    if (!Name.empty() && ::stat(Name.c_str(), &St) == 0 && !S_ISDIR(St.st_mode)) {
        const std::string Text = Format("%s already exists.\nDo you want to replace it?", Name.substr(Name.rfind('/') + 1));
        if (ShowMessageDlg(this, Text, mtWarning, mbYes | mbNo) != mrYes)
            return;
    }
    QFileDialog::accept();
}
