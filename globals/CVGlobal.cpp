// Shared metrics, bitmaps and drawing routines.
#include "globals/CVGlobal.h"
#include "platform/PixelRows.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTitleBar>

#include <algorithm>

int SM_CXFRAME = 4;
int SM_CYFRAME = 4;
int SM_CXEDGE = 2;
int SM_CYEDGE = 2;
int SM_CYCAPTION = 18;
int SM_CYHSCROLL = 16;
int SM_CXVSCROLL = 16;
int CaptionButtonWidth = 18;
int ExtraBtnRightOffset = 0;
int ExtraBtnTop = 0;
TBitmap* ExtraBtnImage = nullptr;
TBitmap* NonCanvasImage = nullptr;
std::function<void(QWidget* Parent, const std::string& Message)> EventExceptionHandler;

// The resources are compiled into this static library; registering them here makes sure the linker
// keeps them.
static void RegisterBitmapResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(CVGlobal);
        return true;
    }();
    (void)registered;
}

namespace {

bool GInitialized = false;
std::unique_ptr<TBitmap> GExtraBtnImage;
std::unique_ptr<TBitmap> GNonCanvasImage;

Qt::PenStyle QtPenStyle(TPenStyle Style)
{
    switch (Style) {
    case psDash: return Qt::DashLine;
    case psDot: return Qt::DotLine;
    case psDashDot: return Qt::DashDotLine;
    case psDashDotDot: return Qt::DashDotDotLine;
    case psClear: return Qt::NoPen;
    default: return Qt::SolidLine;
    }
}

} // namespace

std::unique_ptr<TBitmap> LoadBitmapResource(const std::string& Name)
{
    RegisterBitmapResources();
    QFile file(QStringLiteral(":/bitmaps/") + QString::fromStdString(Name));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray data = file.readAll();
    try {
        TBytesStream stream(data.constData(), data.size());
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->LoadFromStream(stream);
        return bitmap;
    } catch (const std::exception&) {
        return nullptr;
    }
}

QImage BitmapToQImage(const TBitmap& Bitmap, bool KeyTransparent)
{
    return BitmapToQImage(Bitmap, KeyTransparent, QRect(0, 0, Bitmap.Width(), Bitmap.Height()));
}

QImage BitmapToQImage(const TBitmap& Bitmap, bool KeyTransparent, const QRect& Rect)
{
    const QRect part = Rect.intersected(QRect(0, 0, Bitmap.Width(), Bitmap.Height()));
    if (part.isEmpty())
        return QImage();
    QImage image(part.width(), part.height(), QImage::Format_ARGB32);
    if (image.isNull())
        throw EOutOfMemory("Out of memory");
    // Pixels hold RGB values only: a key outside them (none, or no colour at all) keys out nothing.
    const TColor key = KeyTransparent ? ColorToRGB(Bitmap.TransparentColor()) : -1;
    const bool keyed = key >= 0 && key <= 0xFFFFFF;
    const TRGBQuad keyQuad = pixelrows::ColorQuad(key);
    const int w = part.width();
    for (int y = 0; y < part.height(); ++y) {
        // TRGBQuad is blue, green, red, reserved: the bytes of an ARGB32 pixel, the reserved byte
        // standing for alpha.
        auto* out = reinterpret_cast<TRGBQuad*>(image.scanLine(y));
        pixelrows::DecodeRow(Bitmap.PixelFormat(), Bitmap.Palette(), Bitmap.ScanLine(part.top() + y), part.left(), w, out);
        for (int x = 0; x < w; ++x) {
            out[x].rgbReserved = 255;
            if (keyed && out[x] == keyQuad)
                out[x] = TRGBQuad{};
        }
    }
    return image;
}

void ReadCaptionMetrics()
{
    const int imageW = ExtraBtnImage ? ExtraBtnImage->Width() : 0;
    const int imageH = ExtraBtnImage ? ExtraBtnImage->Height() : 0;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // No style to ask: the classic desktop's values.
        SM_CXFRAME = SM_CYFRAME = 4;
        SM_CXEDGE = SM_CYEDGE = 2;
        SM_CYCAPTION = 18;
        SM_CYHSCROLL = SM_CXVSCROLL = 16;
        CaptionButtonWidth = 18;
        ExtraBtnRightOffset = imageW + 3 * CaptionButtonWidth + SM_CXFRAME;
        ExtraBtnTop = std::max(0, SM_CYCAPTION - imageH) / 2 + SM_CYFRAME;
        return;
    }
    const QStyle* style = QApplication::style();
    const int frame = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
    const int titleH = style->pixelMetric(QStyle::PM_TitleBarHeight);
    SM_CXFRAME = SM_CYFRAME = frame;
    SM_CXEDGE = SM_CYEDGE = std::max(1, style->pixelMetric(QStyle::PM_DefaultFrameWidth));
    SM_CYCAPTION = std::max(0, titleH - frame);
    SM_CYHSCROLL = SM_CXVSCROLL = style->pixelMetric(QStyle::PM_ScrollBarExtent);

    // The title bar of an ordinary child window (minimise, maximise and close buttons), as the
    // sub-window lays it out: where its buttons are tells where the extra button goes.
    constexpr int kWidth = 400;
    QStyleOptionTitleBar option;
    option.state = QStyle::State_Enabled | QStyle::State_Active;
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    option.titleBarState = Qt::WindowNoState | QStyle::State_Active;
    option.palette = QApplication::palette();
    const int inset = style->styleHint(QStyle::SH_TitleBar_NoBorder, &option) ? 0 : frame;
    option.rect = QRect(inset, inset, kWidth - 2 * inset, titleH - inset);
    const QRect minRect = style->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarMinButton);
    const QRect maxRect = style->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarMaxButton);
    const QRect closeRect = style->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarCloseButton);
    CaptionButtonWidth = minRect.isValid() && maxRect.isValid() && maxRect.left() > minRect.left()
                             ? maxRect.left() - minRect.left()
                             : titleH;
    // The three button slots end this far from the window's right edge.
    const int rightInset = closeRect.isValid() ? std::max(0, kWidth - (closeRect.left() + CaptionButtonWidth)) : frame;
    ExtraBtnRightOffset = imageW + 3 * CaptionButtonWidth + rightInset;
    // Centred in the caption band.
    ExtraBtnTop = std::max(0, option.rect.height() - imageH) / 2 + option.rect.top();
}

void InitCVGlobal()
{
    if (GInitialized)
        return;
    GInitialized = true;
    GExtraBtnImage = LoadBitmapResource("EXTRABTNIMAGE");
    if (GExtraBtnImage)
        GExtraBtnImage->SetTransparent(true); // the bottom-left pixel's colour is the key
    GNonCanvasImage = LoadBitmapResource("NONCANVASIMAGE");
    ExtraBtnImage = GExtraBtnImage.get();
    NonCanvasImage = GNonCanvasImage.get();
    ReadCaptionMetrics();
}

void DoneCVGlobal()
{
    ExtraBtnImage = nullptr;
    NonCanvasImage = nullptr;
    GExtraBtnImage.reset();
    GNonCanvasImage.reset();
    GInitialized = false;
}

int RoundHalfUp(double X)
{
    return static_cast<int>(Trunc(X + 0.5));
}

void SetXorPen(TCanvas& Canvas, TPenStyle PenStyle, int Width)
{
    Canvas.Pen.Width = Width;
    Canvas.Pen.Mode = pmNot;
    Canvas.Pen.Style = PenStyle;
    Canvas.Brush.Style = bsClear;
}

void ResetPen(TCanvas& Canvas)
{
    Canvas.Pen.Mode = pmCopy;
    Canvas.Pen.Style = psSolid;
    Canvas.Brush.Style = bsSolid;
}

void SetXorPen(QPainter& Painter, TPenStyle PenStyle, int Width)
{
    const QPaintEngine* engine = Painter.paintEngine();
    const bool rasterOps = engine && engine->hasFeature(QPaintEngine::RasterOpModes);
    QPen pen(Qt::white);
    pen.setWidth(Width);
    pen.setStyle(QtPenStyle(PenStyle));
    Painter.setRenderHint(QPainter::Antialiasing, false);
    Painter.setCompositionMode(rasterOps ? QPainter::RasterOp_NotDestination : QPainter::CompositionMode_Difference);
    Painter.setPen(pen);
    Painter.setBrush(Qt::NoBrush);
}

void ResetPen(QPainter& Painter)
{
    Painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QPen pen = Painter.pen();
    pen.setStyle(Qt::SolidLine);
    Painter.setPen(pen);
    QBrush brush = Painter.brush();
    brush.setStyle(Qt::SolidPattern);
    Painter.setBrush(brush);
}

void ReportEventException(QWidget* Parent) noexcept
{
    if (!std::current_exception())
        return;
    try {
        std::string message;
        try {
            throw;
        } catch (const Exception& e) {
            message = e.Message;
        } catch (const std::exception& e) {
            message = e.what();
        } catch (...) {
            message = "Unknown error";
        }
        if (EventExceptionHandler)
            EventExceptionHandler(Parent, message);
        else
            QMessageBox::critical(Parent, QStringLiteral("Canvello"), QString::fromStdString(message));
    } catch (...) {
        // Reporting must not fail the event handler it protects.
    }
}
