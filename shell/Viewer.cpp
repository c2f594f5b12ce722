// The picture viewer window: its layout, the choice of the piece of picture it shows, and drawing
// that piece with the selection outline and the frame into its own small back buffer.
#include "shell/Viewer.h"

#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "image/PicSelection.h"
#include "image/SelPoints.h"
#include "picwin/CVPicChildWn.h"
#include "platform/Registry.h"

#include <QCloseEvent>
#include <QFrame>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>

// The paint box: shows the back buffer and reports presses and drags with the left button.
class TViewerBox : public QWidget {
public:
    TViewerBox(TViewerForm& Form, QWidget* Parent) : QWidget(Parent), FForm(Form)
    {
        setObjectName("ViewBox");
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (FForm.FUpdateCount > 0)
            return;
        TBitmap& b = *FForm.FViewBitmap;
        QPainter p(this);
        if (b.Width() > 0 && b.Height() > 0 && b.PixelFormat() == pf24bit)
            p.drawImage(0, 0, QImage(b.Bits(), b.Width(), b.Height(), b.RowBytes(), QImage::Format_BGR888));
    }
    void mousePressEvent(QMouseEvent* E) override
    {
        if (E->button() == Qt::LeftButton)
            Report(E);
    }
    void mouseMoveEvent(QMouseEvent* E) override
    {
        if (E->buttons() & Qt::LeftButton)
            Report(E);
    }

private:
    void Report(QMouseEvent* E)
    {
        const QPoint at = E->position().toPoint();
        GuardEvent(this, [&] { FForm.DoViewPosition(FForm.FOffsetX + at.x(), FForm.FOffsetY + at.y()); });
    }
    TViewerForm& FForm;
};

TViewerForm::TViewerForm(TDockingPanel* DockPanel, const std::string& RegKey, QWidget* MainForm)
    : TCVBasePinnedForm(DockPanel, RegKey, MainForm, "Viewer", kDesignHeight),
      FViewBitmap(std::make_unique<TBitmap>()), FOutline(std::make_unique<TPicSelectionPoints>())
{
    setObjectName("Viewer");
    auto* layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    FViewerPanel = new QFrame(ClientArea());
    FViewerPanel->setObjectName("ViewerPanel");
    FViewerPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    FViewerPanel->setLineWidth(1);
    FViewerPanel->installEventFilter(this);
    layout->addWidget(FViewerPanel);
    FViewBox = new TViewerBox(*this, FViewerPanel);
    FViewBox->setCursor(ToolCursor(crCVDrag));

    FFrameSB = new QToolButton(this);
    FFrameSB->setObjectName("FrameSB");
    FFrameSB->setCheckable(true);
    FFrameSB->setAutoRaise(true);
    FFrameSB->setIcon(PinnedFormGlyph("frame"));
    AddButton(FFrameSB);
    connect(FFrameSB, &QToolButton::clicked, this, [this] {
        GuardEvent(this, [this] {
            UpdateFrameHint();
            RenderView();
        });
    });
    UpdateFrameHint();
    InitForm();
}

TViewerForm::~TViewerForm()
{
    FinishForm();
    Clear(false);
}

QWidget* TViewerForm::ViewBox() const
{
    return FViewBox;
}

void TViewerForm::SetDisplayFrame(bool Value)
{
    FFrameSB->setChecked(Value);
    UpdateFrameHint();
    RenderView();
}

void TViewerForm::UpdateFrameHint()
{
    const QString word = FFrameSB->isChecked() ? "Hide" : "Display";
    FFrameSB->setToolTip(word + " window frame");
    FFrameSB->setStatusTip(word + " frame around picture area that's in view");
}

void TViewerForm::LoadSettings()
{
    TCVBasePinnedForm::LoadSettings();
    TRegistry reg;
    bool frame = false;
    if (reg.OpenKey(RegKey(), false) && reg.TryReadBool("DisplayFrame", frame))
        FFrameSB->setChecked(frame);
    UpdateFrameHint();
}

void TViewerForm::SaveSettings()
{
    TCVBasePinnedForm::SaveSettings();
    TRegistry reg;
    if (reg.OpenKey(RegKey(), true))
        reg.WriteBool("DisplayFrame", FFrameSB->isChecked());
}

void TViewerForm::DoViewPosition(int X, int Y)
{
    if (OnViewPosition)
        OnViewPosition(this, X, Y);
}

void TViewerForm::Clear(bool Repaint)
{
    FPicture = nullptr;
    FSelectionSource = nullptr;
    if (Repaint)
        RenderView();
}

void TViewerForm::SetPicture(TBitmap* Bitmap)
{
    if (Bitmap == FPicture)
        return;
    FPicture = Bitmap;
    if (FPicture)
        LayoutViewBox();
    else
        RenderView();
}

void TViewerForm::EndUpdate()
{
    if (FUpdateCount == 1) {
        FUpdateCount = 0;
        RenderView();
    } else if (FUpdateCount > 1) {
        --FUpdateCount;
    }
}

void TViewerForm::LayoutViewBox()
{
    const QRect client = FViewerPanel->contentsRect();
    const int innerW = std::max(0, FViewerPanel->width() - 2 * kPanelBorder);
    const int innerH = std::max(0, FViewerPanel->height() - 2 * kPanelBorder);
    const int w = FPicture && FPicture->Width() <= innerW ? FPicture->Width() : innerW;
    const int h = FPicture && FPicture->Height() <= innerH ? FPicture->Height() : innerH;
    FViewBox->setGeometry((FViewerPanel->width() - w) / 2, (FViewerPanel->height() - h) / 2, w, h);
    FDestRect = Rect(0, 0, w, h);
    FViewerPanel->update(client);
}

void TViewerForm::SetViewRect(const TRect& R)
{
    FViewRect = R;
    const int boxW = FViewBox->width(), boxH = FViewBox->height();
    if (FPicture) {
        // Centred on the visible part, never beyond the picture's edges.
        auto offset = [](int Lo, int Hi, int PicSize, int BoxSize) {
            if (PicSize == BoxSize)
                return 0;
            return std::max(0, std::min((Lo + Hi) / 2 - BoxSize / 2, PicSize - BoxSize));
        };
        FOffsetX = offset(R.Left, R.Right, FPicture->Width(), boxW);
        FOffsetY = offset(R.Top, R.Bottom, FPicture->Height(), boxH);
    }
    if (FViewBitmap->Width() != std::max(boxW, 0) || FViewBitmap->Height() != std::max(boxH, 0) ||
        FViewBitmap->PixelFormat() != pf24bit) {
        FViewBitmap->SetPixelFormat(pf24bit);
        FViewBitmap->SetSize(std::max(boxW, 0), std::max(boxH, 0));
    }
    RenderView();
}

void TViewerForm::DrawSelectionOutline(TPictureSelection& Selection)
{
    // The outline at 1:1 is this viewer's own: the selection's cached outline belongs to the
    // picture window's zoom.
    const TRect r = OffsetRect(Selection.Bounds(), -FOffsetX, -FOffsetY);
    FOutline->Clear();
    if ((Selection.Irregular() || Selection.Transparent()) && Selection.Mask()) {
        TraceMaskOutline(*Selection.Mask(), 1, *FOutline);
        FOutline->SetOrigin(r.TopLeft());
    } else {
        FOutline->SetOrigin(r.TopLeft());
        FOutline->AddPolygon()->SetFromRect(r);
    }
    FOutline->DrawDashes(*FViewBitmap, Selection.AntsPhase());
}

void TViewerForm::RenderView()
{
    if (FUpdateCount > 0)
        return;
    TBitmap& view = *FViewBitmap;
    const int w = view.Width(), h = view.Height();
    if (w > 0 && h > 0) {
        TCanvas& canvas = view.Canvas();
        if (FPicture && FPicture->PixelFormat() == pf24bit && FPicture->Width() > 0) {
            // Only the rows and columns the view shows; what lies beyond the picture is button face.
            const TRGBTriple face{uint8_t(ColorToRGB(clBtnFace) >> 16), uint8_t(ColorToRGB(clBtnFace) >> 8),
                                  uint8_t(ColorToRGB(clBtnFace))};
            const int sx = std::max(0, FOffsetX);
            const int n = std::max(0, std::min(w, FPicture->Width() - sx));
            for (int y = 0; y < h; ++y) {
                TRGBTriple* row = view.Row24(y);
                const int py = FOffsetY + y;
                int done = 0;
                if (py >= 0 && py < FPicture->Height() && n > 0) {
                    std::memcpy(row, FPicture->Row24(py) + sx, size_t(n) * sizeof(TRGBTriple));
                    done = n;
                }
                std::fill(row + done, row + w, face);
            }
            // A floating selection shows with its own pixels, as in the picture window (the
            // picture under it may be a hole by now), and its outline.
            if (TPictureSelection* sel = FSelectionSource ? FSelectionSource() : nullptr)
                if (sel->Picture().Width() > 0 && sel->Picture().Height() > 0) {
                    sel->DrawOnto(view, Rect(FOffsetX, FOffsetY, FOffsetX + w, FOffsetY + h));
                    DrawSelectionOutline(*sel);
                }
            if (FFrameSB->isChecked()) {
                SetXorPen(canvas, psInsideFrame, 2);
                canvas.Rectangle(OffsetRect(FViewRect, -FOffsetX, -FOffsetY));
                ResetPen(canvas);
            }
        } else {
            canvas.Brush.Color = clBtnFace;
            canvas.Brush.Style = bsSolid;
            canvas.FillRect(Rect(0, 0, w, h));
        }
    }
    FViewBox->update();
}

void TViewerForm::closeEvent(QCloseEvent* Event)
{
    TCVBasePinnedForm::closeEvent(Event);
    if (Event->isAccepted())
        Clear(false);
}

bool TViewerForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FViewerPanel && Event->type() == QEvent::Resize)
        GuardEvent(this, [this] {
            LayoutViewBox();
            SetViewRect(FViewRect);
        });
    return TCVBasePinnedForm::eventFilter(Watched, Event);
}
