// The clipboard viewer window: its tabs, the picture of the selected tab on the background pattern,
// and the five actions on that picture.
#include "shell/CbViewer.h"

#include "globals/CVGlobal.h"
#include "image/BitmapUtils.h"
#include "platform/SysUtils.h"
#include "shell/CVClipbrd.h"
#include "shell/CVClipbrdStream.h"

#include <QAction>
#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QStackedLayout>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

// ---- The tab records ---------------------------------------------------------------------------------

void TCbTabDataList::Add(uint32_t ItemID, const TBitmap* Source, TColor Tag)
{
    TCbTabData& d = FItems.emplace_back();
    d.ItemID = ItemID;
    d.Tag = Tag;
    auto bitmap = std::make_shared<TBitmap>();
    if (Source)
        CopyBitmap(*Source, *bitmap);
    if (Source && Tag >= 0) {
        bitmap->SetTransparentColor(Tag);
        bitmap->SetTransparent(true);
    }
    d.Bitmap = std::move(bitmap);
}

void TCbTabDataList::AddPending(uint32_t ItemID, TColor Tag, uint64_t Fingerprint)
{
    TCbTabData& d = FItems.emplace_back();
    d.ItemID = ItemID;
    d.Tag = Tag;
    d.Fingerprint = Fingerprint;
    d.Loaded = false;
}

TCbTabData& TCbTabDataList::Get(int Index)
{
    if (Index < 0 || Index >= Count())
        throw Exception(Format("Item index %d out of bounds", Index));
    return FItems[size_t(Index)];
}

// ---- The picture of the selected tab -----------------------------------------------------------------

// Draws the selected picture centred on the background pattern; only the part being repainted, and of
// the picture only the pixels that part shows.
class TCbItemImage : public QWidget {
public:
    explicit TCbItemImage(QWidget* Parent) : QWidget(Parent)
    {
        setObjectName("CbItemImage");
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void SetPicture(std::shared_ptr<const TBitmap> Bitmap)
    {
        FBitmap = std::move(Bitmap);
        FRows = QImage();
        // The rows as they are, for a picture drawn without a transparent colour in a format Qt
        // takes: made once for the picture, no pixel copied.
        if (FBitmap && !FBitmap->Transparent() && FBitmap->Bits()) {
            const TBitmap& b = *FBitmap;
            if (b.PixelFormat() == pf24bit)
                FRows = QImage(b.Bits(), b.Width(), b.Height(), b.RowBytes(), QImage::Format_BGR888);
            else if (b.PixelFormat() == pf32bit)
                FRows = QImage(b.Bits(), b.Width(), b.Height(), b.RowBytes(), QImage::Format_RGB32);
        }
        update();
    }
    const TBitmap* Picture() const { return FBitmap.get(); }
    QPoint PictureOrigin() const
    {
        if (!FBitmap)
            return {};
        return {std::max(width() - FBitmap->Width(), 0) / 2, std::max(height() - FBitmap->Height(), 0) / 2};
    }

protected:
    void paintEvent(QPaintEvent* Event) override
    {
        QPainter p(this);
        const QRect area = Event->rect();
        p.fillRect(area, Background());
        if (!FBitmap || FBitmap->Width() <= 0 || FBitmap->Height() <= 0)
            return;
        const QPoint at = PictureOrigin();
        const QRect source = area.translated(-at).intersected(QRect(0, 0, FBitmap->Width(), FBitmap->Height()));
        if (source.isEmpty())
            return;
        if (!FRows.isNull())
            p.drawImage(source.topLeft() + at, FRows, source);
        else {
            // Keyed or in another format: only the part shown is converted. Its pixels are opaque or
            // wholly transparent black, so they are premultiplied as they stand, the format Qt draws
            // fastest.
            QImage part = BitmapToQImage(*FBitmap, FBitmap->Transparent(), source);
            part.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
            p.drawImage(source.topLeft() + at, part);
        }
    }

private:
    // The background pattern, converted once.
    QBrush Background() const
    {
        static QImage pattern;
        static const TBitmap* patternOf = nullptr;
        if (!NonCanvasImage || NonCanvasImage->Width() <= 0)
            return palette().window();
        if (patternOf != NonCanvasImage) {
            pattern = BitmapToQImage(*NonCanvasImage, false);
            patternOf = NonCanvasImage;
        }
        return QBrush(pattern);
    }

    std::shared_ptr<const TBitmap> FBitmap;
    QImage FRows; // the picture's rows, shared, when drawn as they are
};

namespace {

// Tabs of a fixed width.
class TCbTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int Index) const override
    {
        return QSize(TCbViewerForm::kTabWidth, QTabBar::tabSizeHint(Index).height());
    }
};

} // namespace

// ---- The form ----------------------------------------------------------------------------------------

TCbViewerForm::TCbViewerForm(TDockingPanel* DockPanel, const std::string& RegKey, QWidget* MainForm,
                             TCVClipboard* AClipboard)
    : TCVBasePinnedForm(DockPanel, RegKey, MainForm, "Clipboard Viewer", kDesignHeight), FClipboard(AClipboard)
{
    setObjectName("CbViewer");
    auto* column = new QVBoxLayout(ClientArea());
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    FTabs = new TCbTabBar(ClientArea());
    FTabs->setObjectName("ClipboardPages");
    FTabs->setExpanding(false);
    FTabs->setUsesScrollButtons(true);
    column->addWidget(FTabs);
    auto* pages = new QWidget(ClientArea());
    auto* stack = new QStackedLayout(pages);
    FEmptyLabel = new QLabel("The clipboard is empty", pages);
    FEmptyLabel->setObjectName("CBIsEmptyLabel");
    FEmptyLabel->setAlignment(Qt::AlignCenter);
    stack->addWidget(FEmptyLabel);
    FScrollBox = new QScrollArea(pages);
    FScrollBox->setObjectName("ImageScrollBox");
    FScrollBox->setWidgetResizable(true);
    FItemImage = new TCbItemImage(FScrollBox);
    FScrollBox->setWidget(FItemImage);
    stack->addWidget(FScrollBox);
    FScrollBox->hide();
    column->addWidget(pages, 1);
    connect(FTabs, &QTabBar::currentChanged, this, [this](int) {
        GuardEvent(this, [this] {
            PaintSelectedImage();
            UpdateActions();
        });
    });

    static const struct {
        const char* Name;
        const char* Hint;
        const char* Glyph;
    } acts[] = {
        {"PasteCbImage", "Paste image into the active picture.", "paste"},
        {"PasteCbImageAsNew", "Paste image as new picture.", "pastenew"},
        {"PromoteCbImage", "Make image the main clipboard image\n(This allows other programs to paste it).", "promote"},
        {"DeleteCbImage", "Delete image from the clipboard.", "delete"},
        {"ClearCb", "Clear all images from the clipboard", "clear"},
    };
    for (const auto& a : acts) {
        auto* act = new QAction(PinnedFormGlyph(a.Glyph), a.Hint, this);
        act->setObjectName(a.Name);
        act->setToolTip(a.Hint);
        act->setStatusTip(a.Hint);
        act->setEnabled(false);
        FActions.push_back(act);
        auto* button = new QToolButton(this);
        button->setObjectName(QString(a.Name).replace("CbImage", "") + "Button");
        button->setAutoRaise(true);
        button->setDefaultAction(act);
        AddButton(button);
    }
    auto onRecord = [this](const char* Name, std::function<void(TCbTabData&)> Body) {
        connect(Action(Name), &QAction::triggered, this, [this, Body] {
            GuardEvent(this, [&] {
                if (TCbTabData* d = GetTabData(TabIndex()))
                    Body(*d);
            });
        });
    };
    // The paste gets a copy: the tab's picture is the clipboard's.
    auto paste = [this](TCbTabData& D, bool AsNew) {
        TBitmap copy;
        copy.Assign(D.Bitmap.get());
        DoPasteImage(&copy, D.Tag, AsNew);
    };
    onRecord("PasteCbImage", [paste](TCbTabData& D) { paste(D, false); });
    onRecord("PasteCbImageAsNew", [paste](TCbTabData& D) { paste(D, true); });
    // The clipboard's change notice rebuilds the tabs after each of these.
    onRecord("PromoteCbImage", [this](TCbTabData& D) {
        if (TCVClipboard* c = Clipboard())
            c->PromoteItem(D.ItemID);
    });
    onRecord("DeleteCbImage", [this](TCbTabData& D) {
        if (TCVClipboard* c = Clipboard())
            c->DeleteItem(D.ItemID);
    });
    onRecord("ClearCb", [this](TCbTabData&) {
        if (TCVClipboard* c = Clipboard())
            c->Clear();
    });
    InitForm();
}

TCbViewerForm::~TCbViewerForm()
{
    Listen(false);
    FinishForm();
}

TCVClipboard* TCbViewerForm::Clipboard() const
{
    return FClipboard ? FClipboard : CVClipboard;
}

QWidget* TCbViewerForm::CbItemImage() const
{
    return FItemImage;
}

QAction* TCbViewerForm::Action(const char* Name) const
{
    for (QAction* a : FActions)
        if (a->objectName() == Name)
            return a;
    return nullptr;
}

int TCbViewerForm::TabIndex() const
{
    return FTabs->currentIndex();
}

void TCbViewerForm::SetTabIndex(int Index)
{
    FTabs->setCurrentIndex(Index);
}

TCbTabData* TCbViewerForm::GetTabData(int Index)
{
    if (Index < 0 || Index >= FTabData.Count())
        return nullptr;
    TCbTabData& d = FTabData.Get(Index);
    if (!d.Loaded) {
        // Read once; a picture that cannot be read stays empty.
        d.Loaded = true;
        TCVClipboard* c = Clipboard();
        d.Bitmap = c ? c->ItemPicture(d.ItemID) : nullptr;
        if (!d.Bitmap)
            d.Bitmap = std::make_shared<TBitmap>();
    }
    return &d;
}

void TCbViewerForm::DoPasteImage(TBitmap* Bitmap, TColor Tag, bool AsNew)
{
    if (OnPasteImage)
        OnPasteImage(this, Bitmap, AsNew, Tag);
}

void TCbViewerForm::RefreshTabs()
{
    {
        // Whatever happens while the records are rebuilt, the tabs end up updated and matching them:
        // the clipboard's items, or none.
        struct TFinally {
            TCbViewerForm& Form;
            ~TFinally() { Form.SyncTabs(); }
        } finish{*this};
        FTabs->setUpdatesEnabled(false);
        FTabs->blockSignals(true);
        FItemImage->SetPicture(nullptr);
        std::vector<TCbTabData> old = FTabData.Release();
        try {
            // Only the headers: the pictures of items already shown stay, the others are read when
            // their tab needs them.
            if (TCVClipboard* c = Clipboard())
                for (const TCVClipboard::TItemInfo& item : c->ItemInfos()) {
                    auto held = std::find_if(old.begin(), old.end(), [&](const TCbTabData& D) {
                        return D.ItemID == item.ItemID && D.Tag == item.Tag && D.Fingerprint == item.Fingerprint &&
                               item.ItemID != TCVClipboardStream::ForeignItemID;
                    });
                    if (held != old.end())
                        FTabData.Append(std::move(*held));
                    else
                        FTabData.AddPending(item.ItemID, item.Tag, item.Fingerprint);
                }
        } catch (...) {
            FTabData.Clear();
            throw;
        }
    }
    PaintSelectedImage();
}

void TCbViewerForm::SyncTabs() noexcept
{
    QTabBar* tabs = FTabs;
    while (tabs->count() > FTabData.Count())
        tabs->removeTab(tabs->count() - 1);
    for (int i = 0; i < FTabData.Count(); ++i)
        if (i < tabs->count())
            tabs->setTabText(i, QString::number(i + 1));
        else
            tabs->addTab(QString::number(i + 1));
    if (tabs->count() > 0)
        tabs->setCurrentIndex(0);
    tabs->blockSignals(false);
    tabs->setUpdatesEnabled(true);
    const bool any = FTabData.Count() > 0;
    static_cast<QStackedLayout*>(FEmptyLabel->parentWidget()->layout())
        ->setCurrentWidget(any ? static_cast<QWidget*>(FScrollBox) : FEmptyLabel);
    UpdateActions();
}

void TCbViewerForm::PaintSelectedImage()
{
    TCbTabData* d = GetTabData(TabIndex());
    const std::shared_ptr<const TBitmap> none;
    const std::shared_ptr<const TBitmap>& b = d ? d->Bitmap : none;
    if (b.get() != FItemImage->Picture())
        FItemImage->SetPicture(b);
    // At least the scroll box's size; larger pictures get scroll bars.
    FItemImage->setMinimumSize(b ? QSize(b->Width(), b->Height()) : QSize(0, 0));
    FItemImage->update();
}

void TCbViewerForm::UpdateActions()
{
    const bool any = FTabData.Count() > 0;
    for (const char* name : {"PasteCbImage", "PasteCbImageAsNew", "DeleteCbImage", "ClearCb"})
        Action(name)->setEnabled(any);
    Action("PromoteCbImage")->setEnabled(any && TabIndex() > 0);
}

void TCbViewerForm::Listen(bool On)
{
    if (FListeningTo && (!On || FListeningTo != Clipboard())) {
        FListeningTo->RemoveListener(this);
        FListeningTo = nullptr;
    }
    if (On && !FListeningTo && Clipboard()) {
        FListeningTo = Clipboard();
        FListeningTo->AddListener(this);
    }
}

void TCbViewerForm::showEvent(QShowEvent* Event)
{
    TCVBasePinnedForm::showEvent(Event);
    GuardEvent(this, [this] {
        Listen(true);
        RefreshTabs();
    });
}

void TCbViewerForm::closeEvent(QCloseEvent* Event)
{
    TCVBasePinnedForm::closeEvent(Event);
    if (Event->isAccepted()) {
        Listen(false);
        // The copies are kept only while shown.
        FItemImage->SetPicture(nullptr);
        FTabData.Clear();
        FTabs->blockSignals(true);
        while (FTabs->count() > 0)
            FTabs->removeTab(0);
        FTabs->blockSignals(false);
    }
}

bool TCbViewerForm::event(QEvent* Event)
{
    if (Event->type() == TCVMessageEvent::EventType(WM_CLIPBOARD_CHANGED)) {
        GuardEvent(this, [this] { RefreshTabs(); });
        return true;
    }
    return TCVBasePinnedForm::event(Event);
}
