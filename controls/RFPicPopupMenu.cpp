// The recent-files menus, their preview threads and the thumbnail file.
#include "controls/RFPicPopupMenu.h"

#include "controls/XGraphicCtrls.h"
#include "image/BitmapUtils.h"
#include "image/ScaledPicture.h"
#include "image/XBitmap.h"
#include "globals/CVGlobal.h"

#include <QApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QProxyStyle>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QThread>

#include <filesystem>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <mutex>

namespace {

const char* const kInvalidItemIndex = "Invalid item index %d";
const char* const kDamagedFile = "The recent files thumbnail file is damaged";
const char* const kReadOnlyFile = "The recent files thumbnail file is open for reading only";
const char* const kInvalidRecord = "Invalid thumbnail record index %d";
const char* const kNameTooLong = "File name too long for the thumbnail file: %s";

int32_t GetInt32LE(const uint8_t* P)
{
    return static_cast<int32_t>(uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24);
}

void PutInt32LE(uint8_t* P, int32_t V)
{
    const uint32_t U = static_cast<uint32_t>(V);
    P[0] = uint8_t(U);
    P[1] = uint8_t(U >> 8);
    P[2] = uint8_t(U >> 16);
    P[3] = uint8_t(U >> 24);
}

// A short string as its length byte followed by its characters, in a zeroed field.
void PutShortString(uint8_t* Field, const std::string& S)
{
    Field[0] = static_cast<uint8_t>(S.size());
    std::memcpy(Field + 1, S.data(), S.size());
}

} // namespace

// ---- Files and thumbnails ------------------------------------------------------------------------------

namespace rfpic {

std::string ThumbnailFilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        return {};
    return QFile::encodeName(folder + u'/' + QString::fromUtf8(kThumbnailFileName)).toStdString();
}

void ThumbnailSize(int W, int H, int& NewW, int& NewH)
{
    NewW = W;
    NewH = H;
    // H / 70 >= W / 80, compared exactly.
    if (int64_t(H) * kThumbBoxWidth >= int64_t(W) * kThumbBoxHeight) {
        if (H > kThumbBoxHeight) {
            NewW = static_cast<int>(int64_t(kThumbBoxHeight) * W / H);
            NewH = kThumbBoxHeight;
        }
    } else if (W > kThumbBoxWidth) {
        NewW = kThumbBoxWidth;
        NewH = static_cast<int>(int64_t(kThumbBoxWidth) * H / W);
    }
    NewW = std::max(NewW, 1);
    NewH = std::max(NewH, 1);
}

bool MakeThumbnail(const std::string& FileName, TBitmap& Thumbnail) noexcept
{
    try {
        Thumbnail.Assign(nullptr);
        // Only regular files: opening a pipe or a device could block the thread for good.
        if (FileAge(FileName) == -1)
            return false;
        // A JPEG file is decoded at a reduced scale that still holds twice the thumbnail: the
        // thumbnail made after every open then needs no second full-size copy of the picture.
        TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
        TScaledPicture picture;
        int pw = 0, ph = 0;
        picture.LoadScaled(stream, [](int W, int H, int& ShownW, int& ShownH) { ThumbnailSize(W, H, ShownW, ShownH); },
                           pw, ph);
        if (picture.Empty())
            return false;
        picture.SetPixelFormat(pf24bit);
        int w = 0, h = 0;
        ThumbnailSize(pw, ph, w, h);
        SmoothResize(picture, Thumbnail, w, h);
        return !Thumbnail.Empty();
    } catch (...) {
        try {
            Thumbnail.Assign(nullptr);
        } catch (...) {
        }
        return false;
    }
}

} // namespace rfpic

// ---- Items -----------------------------------------------------------------------------------------

TRecentFileItem::TRecentFileItem(const std::string& FileName, QObject* Parent) : QAction(Parent)
{
    setIconVisibleInMenu(true);
    SetFileName(FileName);
}

void TRecentFileItem::SetFileName(const std::string& Value)
{
    FFileName = Value;
    // A '&' in a path is a character, not an accelerator mark.
    setText(QString::fromStdString(Value).replace(u'&', QStringLiteral("&&")));
}

void TRecentFileItem::SetBitmap(const TBitmap* Value)
{
    if (IsGraphicEmpty(Value)) {
        FBitmap.Assign(nullptr);
    } else {
        CopyBitmap(*Value, FBitmap);
        FBitmap.SetPixelFormat(pf24bit);
    }
    ShowBitmap();
}

void TRecentFileItem::ShowBitmap()
{
    if (FBitmap.Empty())
        setIcon(QIcon());
    else
        setIcon(QIcon(QPixmap::fromImage(BitmapToQImage(FBitmap, false))));
}

// ---- The plain menu -----------------------------------------------------------------------------------

TRecentFilesPopupMenu::TRecentFilesPopupMenu(QWidget* Parent) : QMenu(Parent) {}

TRecentFilesPopupMenu::~TRecentFilesPopupMenu() { Clear(); }

void TRecentFilesPopupMenu::SetMaxFileList(uint8_t Value)
{
    if (Value == FMaxFileList)
        return;
    FMaxFileList = Value;
    while (Count() > FMaxFileList)
        DeleteItem(Count() - 1);
}

void TRecentFilesPopupMenu::CheckIndex(int Index) const
{
    if (!ValidIndex(Index))
        throw ERecentFilesPopUpMenuError(Format(kInvalidItemIndex, Index));
}

TRecentFileItem* TRecentFilesPopupMenu::Items(int Index) const
{
    CheckIndex(Index);
    return FItems[size_t(Index)];
}

std::string TRecentFilesPopupMenu::GetFileName(int Index) const { return Items(Index)->FileName(); }

void TRecentFilesPopupMenu::SetFileName(int Index, const std::string& Name) { Items(Index)->SetFileName(Name); }

int TRecentFilesPopupMenu::IndexOfFile(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)]->FileName() == Name)
            return i;
    return -1;
}

TRecentFileItem* TRecentFilesPopupMenu::ItemOf(const QAction* Action) const
{
    for (TRecentFileItem* item : FItems)
        if (item == Action)
            return item;
    return nullptr;
}

TRecentFileItem* TRecentFilesPopupMenu::NewItem(const std::string& Name, int Index)
{
    auto* item = new TRecentFileItem(Name, this);
    item->OnClick = DefaultOnItemClick;
    connect(item, &QAction::triggered, item, [this, item] {
        if (item->OnClick)
            GuardEvent(this, [item] { item->OnClick(item); });
    });
    insertAction(Index < Count() ? FItems[size_t(Index)] : nullptr, item);
    FItems.insert(FItems.begin() + Index, item);
    return item;
}

TRecentFileItem* TRecentFilesPopupMenu::AppendFile(const std::string& Name)
{
    TRecentFileItem* item = NewItem(Name, Count());
    DoAddItem(item);
    return item;
}

TRecentFileItem* TRecentFilesPopupMenu::AddFile(const std::string& Name)
{
    const int i = IndexOfFile(Name);
    if (i < 0) {
        DoAddItem(NewItem(Name, 0));
        while (Count() > FMaxFileList)
            DeleteItem(Count() - 1);
        return FItems.empty() ? nullptr : FItems[0];
    }
    if (i > 0) {
        // Rotate the contents of items 0..i one place down; item i's contents go first.
        TRecentFileItem* from = FItems[size_t(i)];
        std::string name = from->FFileName;
        TBitmap bitmap;
        bitmap.TakePixels(from->FBitmap);
        TRecentFileNotifyEvent onClick = std::move(from->OnClick);
        const int32_t tag = from->Tag;
        const uint64_t preview = from->FPreview;
        for (int j = i; j > 0; --j) {
            TRecentFileItem* to = FItems[size_t(j)];
            TRecentFileItem* next = FItems[size_t(j - 1)];
            to->SetFileName(next->FFileName);
            to->FBitmap.TakePixels(next->FBitmap);
            to->ShowBitmap();
            to->OnClick = std::move(next->OnClick);
            to->Tag = next->Tag;
            to->FPreview = next->FPreview;
        }
        TRecentFileItem* first = FItems[0];
        first->SetFileName(name);
        first->FBitmap.TakePixels(bitmap);
        first->ShowBitmap();
        first->OnClick = std::move(onClick);
        first->Tag = tag;
        first->FPreview = preview;
    }
    return FItems[0];
}

void TRecentFilesPopupMenu::RemoveItem(int Index)
{
    TRecentFileItem* item = FItems[size_t(Index)];
    FItems.erase(FItems.begin() + Index);
    removeAction(item);
    // Its preview, if any, now finds no item to hand over to.
    item->FPreview = 0;
    // Later: the item may be the one whose click is running now.
    item->deleteLater();
}

void TRecentFilesPopupMenu::DeleteItem(int Index)
{
    TRecentFileItem* item = Items(Index);
    DoDeleteItem(item);
    // The handler may have changed the list.
    const auto at = std::find(FItems.begin(), FItems.end(), item);
    if (at != FItems.end())
        RemoveItem(static_cast<int>(at - FItems.begin()));
}

void TRecentFilesPopupMenu::DeleteFile(const std::string& Name)
{
    const int i = IndexOfFile(Name);
    if (i >= 0)
        DeleteItem(i);
}

void TRecentFilesPopupMenu::Clear()
{
    while (!FItems.empty())
        RemoveItem(Count() - 1);
}

void TRecentFilesPopupMenu::DoAddItem(TRecentFileItem* Item)
{
    if (OnAddItem)
        OnAddItem(this, Item);
}

void TRecentFilesPopupMenu::DoDeleteItem(TRecentFileItem* Item)
{
    if (OnDeleteItem)
        OnDeleteItem(this, Item);
}

// ---- The thumbnail file ---------------------------------------------------------------------------------

TPicPopupThumbnailFile::TPicPopupThumbnailFile(TStream& Stream, bool ReadOnly) : FStream(Stream), FReadOnly(ReadOnly)
{
}

void TPicPopupThumbnailFile::SetHeaderName(const std::string& Name) { FHeaderName = Name.substr(0, kMaxHeaderName); }

void TPicPopupThumbnailFile::CheckWritable() const
{
    if (FReadOnly)
        throw EWriteError(kReadOnlyFile);
}

void TPicPopupThumbnailFile::WriteHeader()
{
    CheckWritable();
    uint8_t header[20] = {};
    PutShortString(header, FHeaderName);
    PutInt32LE(header + 16, HeaderValue);
    FStream.SetPosition(0);
    FStream.WriteBuffer(header, sizeof header);
}

bool TPicPopupThumbnailFile::ReadHeader()
{
    uint8_t name[16];
    FStream.SetPosition(0);
    FStream.ReadBuffer(name, sizeof name);
    if (name[0] > kMaxHeaderName)
        return false;
    if (!SameText(std::string(reinterpret_cast<const char*>(name + 1), name[0]), FHeaderName))
        return false;
    uint8_t value[4];
    FStream.ReadBuffer(value, sizeof value);
    HeaderValue = GetInt32LE(value);
    return true;
}

int32_t TPicPopupThumbnailFile::ReadCount()
{
    uint8_t value[4];
    FStream.SetPosition(20);
    FStream.ReadBuffer(value, sizeof value);
    const int32_t n = GetInt32LE(value);
    FSize = FStream.Size();
    if (n < 0 || kHeaderSize + int64_t(n) * kRecordSize > FSize)
        throw EReadError(kDamagedFile);
    FCount = n;
    return n;
}

void TPicPopupThumbnailFile::SetCount(int32_t N)
{
    CheckWritable();
    if (N < 0)
        throw EWriteError(Format(kInvalidRecord, N));
    FCount = N;
    uint8_t value[4];
    PutInt32LE(value, N);
    FStream.SetPosition(20);
    FStream.WriteBuffer(value, sizeof value);
    FStream.SetSize(kHeaderSize + int64_t(N) * kRecordSize);
}

void TPicPopupThumbnailFile::WriteRecord(int Index, const std::string& FileName, const TBitmap* Bitmap, int32_t Age)
{
    CheckWritable();
    if (Index < 0 || Index >= FCount)
        throw EWriteError(Format(kInvalidRecord, Index));
    if (FileName.size() > size_t(kMaxFileName))
        throw EWriteError(Format(kNameTooLong, FileName));
    const bool withThumbnail = !IsGraphicEmpty(Bitmap);
    const int64_t offset = withThumbnail ? FStream.Size() : -1;
    if (offset > INT32_MAX)
        throw EWriteError(kDamagedFile);
    uint8_t record[kRecordSize] = {};
    PutShortString(record, FileName);
    PutInt32LE(record + 256, static_cast<int32_t>(offset));
    PutInt32LE(record + 260, Age);
    FStream.SetPosition(kHeaderSize + int64_t(Index) * kRecordSize);
    FStream.WriteBuffer(record, sizeof record);
    if (!withThumbnail)
        return;
    FStream.SetPosition(offset);
    if (Bitmap->PixelFormat() == pf24bit) {
        WriteBMP(FStream, *Bitmap);
    } else {
        TBitmap copy;
        CopyBitmap(*Bitmap, copy);
        copy.SetPixelFormat(pf24bit);
        WriteBMP(FStream, copy);
    }
}

bool TPicPopupThumbnailFile::ReadRecord(int Index, std::string& FileName, TBitmap* Bitmap, int32_t& Age)
{
    FileName.clear();
    if (Index < 0 || Index >= FCount)
        return false;
    uint8_t record[kRecordSize];
    FStream.SetPosition(kHeaderSize + int64_t(Index) * kRecordSize);
    FStream.ReadBuffer(record, sizeof record);
    const int32_t offset = GetInt32LE(record + 256);
    Age = GetInt32LE(record + 260);
    // The offset is checked even when the thumbnail is not read.
    const int64_t size = FReadOnly ? FSize : FStream.Size();
    if (offset != -1 && (offset < kHeaderSize + int64_t(FCount) * kRecordSize || offset >= size))
        throw EReadError(kDamagedFile);
    if (Bitmap) {
        if (offset == -1)
            Bitmap->Assign(nullptr);
        else
            ReadThumbnail(offset, *Bitmap);
    }
    FileName.assign(reinterpret_cast<const char*>(record + 1), record[0]);
    return true;
}

void TPicPopupThumbnailFile::ReadThumbnail(int64_t Offset, TBitmap& Bitmap)
{
    // A thumbnail lies after the records, inside the file, and fits the thumbnail box: its header is
    // checked before the image is read, so that no damaged size is ever allocated.
    if (Offset < kHeaderSize + int64_t(FCount) * kRecordSize || Offset >= FStream.Size())
        throw EReadError(kDamagedFile);
    uint8_t header[26];
    FStream.SetPosition(Offset);
    FStream.ReadBuffer(header, sizeof header);
    if (header[0] != 'B' || header[1] != 'M')
        throw EReadError(kDamagedFile);
    const uint32_t infoSize = uint32_t(GetInt32LE(header + 14));
    int64_t w, h;
    if (infoSize == 12) {
        w = header[18] | header[19] << 8;
        h = header[20] | header[21] << 8;
    } else {
        w = GetInt32LE(header + 18);
        h = GetInt32LE(header + 22);
        h = h < 0 ? -h : h;
    }
    if (w < 1 || h < 1 || w > rfpic::kThumbBoxWidth || h > rfpic::kThumbBoxHeight)
        throw EReadError(kDamagedFile);
    FStream.SetPosition(Offset);
    ReadBMP(FStream, Bitmap);
    if (Bitmap.PixelFormat() != pf24bit)
        Bitmap.SetPixelFormat(pf24bit);
}

// ---- Preview threads -------------------------------------------------------------------------------------

struct TPreviewHandover {
    std::mutex Lock;
    // Null once the menu is going: nothing is handed over any more.
    TRecentFilesPicPopupMenu* Menu = nullptr;
};

// Makes the thumbnail of one file into its own bitmap and hands it over on the GUI thread. Owns
// everything it uses, so that it may outlive its menu.
class TRecentFilesPicPreviewThread : public QThread {
public:
    TRecentFilesPicPreviewThread(std::shared_ptr<TPreviewHandover> Handover, uint64_t Ticket, std::string FileName)
        : FHandover(std::move(Handover)), FTicket(Ticket), FFileName(std::move(FileName))
    {
    }

protected:
    void run() override
    {
        std::shared_ptr<TBitmap> thumbnail;
        try {
            auto bitmap = std::make_shared<TBitmap>();
            if (rfpic::MakeThumbnail(FFileName, *bitmap))
                thumbnail = std::move(bitmap);
        } catch (...) {
        }
        // A failure is handed over too: the item stops waiting for a thumbnail.
        try {
            std::lock_guard<std::mutex> lock(FHandover->Lock);
            TRecentFilesPicPopupMenu* menu = FHandover->Menu;
            if (!menu || isInterruptionRequested())
                return;
            // Queued to the menu: Qt drops the call when the menu is deleted before it runs, and
            // the menu cannot go while the lock is held.
            QMetaObject::invokeMethod(
                menu,
                [menu, ticket = FTicket, name = FFileName, thumbnail] { menu->PreviewDone(ticket, name, thumbnail.get()); },
                Qt::QueuedConnection);
        } catch (...) {
        }
    }

private:
    std::shared_ptr<TPreviewHandover> FHandover;
    uint64_t FTicket;
    std::string FFileName;
};

// ---- The thumbnail menu ----------------------------------------------------------------------------------

namespace {

// Measures and draws the items of a thumbnail menu; everything else is the application's style.
class TRecentFilesMenuStyle : public QProxyStyle {
public:
    // Over a style of the application's kind (null: the platform's default).
    explicit TRecentFilesMenuStyle(TRecentFilesPicPopupMenu* Menu)
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), FMenu(Menu)
    {
    }

    QSize sizeFromContents(ContentsType Type, const QStyleOption* Option, const QSize& Size,
                           const QWidget* Widget) const override
    {
        QSize size = QProxyStyle::sizeFromContents(Type, Option, Size, Widget);
        if (const auto* item = FileItemOption(Type == CT_MenuItem, Option, Widget)) {
            const QList<QSize> sizes = item->icon.availableSizes();
            int w = size.width(), h = size.height();
            TRecentFilesPicPopupMenu::MeasureItem(sizes.isEmpty() ? 0 : sizes.first().height(), w, h);
            size = QSize(w, h);
        }
        return size;
    }

    void drawControl(ControlElement Element, const QStyleOption* Option, QPainter* Painter,
                     const QWidget* Widget) const override
    {
        if (const auto* option = FileItemOption(Element == CE_MenuItem, Option, Widget))
            if (const TRecentFileItem* item = FMenu->ItemOf(FMenu->actionAt(option->rect.center()))) {
                FMenu->DrawItem(*Painter, *item, option->rect, option->state & State_Selected);
                return;
            }
        QProxyStyle::drawControl(Element, Option, Painter, Widget);
    }

private:
    const QStyleOptionMenuItem* FileItemOption(bool MenuItem, const QStyleOption* Option, const QWidget* Widget) const
    {
        if (!MenuItem || Widget != FMenu)
            return nullptr;
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(Option);
        return item && item->menuItemType == QStyleOptionMenuItem::Normal ? item : nullptr;
    }

    TRecentFilesPicPopupMenu* FMenu;
};

void FillLine(QPainter& Painter, int X, int Y, int W, int H, TColor Colour)
{
    Painter.fillRect(QRect(X, Y, W, H), ColorToQColor(Colour));
}

// The sunken two-pixel edge inside R.
void DrawSunkenEdge(QPainter& Painter, const QRect& R)
{
    const int l = R.left(), t = R.top(), r = R.right(), b = R.bottom();
    const struct {
        int Inset;
        TColor TopLeft, BottomRight;
    } rings[] = {{0, clBtnShadow, clBtnHighlight}, {1, cl3DDkShadow, cl3DLight}};
    for (const auto& ring : rings) {
        const int i = ring.Inset;
        FillLine(Painter, l + i, t + i, r - l - 2 * i, 1, ring.TopLeft);
        FillLine(Painter, l + i, t + i, 1, b - t - 2 * i, ring.TopLeft);
        FillLine(Painter, l + i, b - i, r - l - 2 * i + 1, 1, ring.BottomRight);
        FillLine(Painter, r - i, t + i, 1, b - t - 2 * i + 1, ring.BottomRight);
    }
}

int64_t NowMs() { return QDateTime::currentMSecsSinceEpoch(); }

} // namespace

TRecentFilesPicPopupMenu::TRecentFilesPicPopupMenu(QWidget* Parent)
    : TRecentFilesPopupMenu(Parent), FHandover(std::make_shared<TPreviewHandover>())
{
    FHandover->Menu = this;
    auto* style = new TRecentFilesMenuStyle(this);
    style->setParent(this);
    setStyle(style);
    connect(this, &QMenu::aboutToShow, this, [this] {
        if (AutoUpdateOnPopup)
            GuardEvent(this, [this] { UpdateItems(false); });
    });
}

TRecentFilesPicPopupMenu::~TRecentFilesPicPopupMenu()
{
    {
        std::lock_guard<std::mutex> lock(FHandover->Lock);
        FHandover->Menu = nullptr;
    }
    for (auto& thread : FThreads)
        if (thread)
            thread->requestInterruption();
    // A thread cannot be stopped inside the picture loader; the ones still working after this
    // finish on their own.
    ReapThreads(NowMs() + 2000);
}

void TRecentFilesPicPopupMenu::SetFileHeaderName(const std::string& Value)
{
    FFileHeaderName = Value.substr(0, TPicPopupThumbnailFile::kMaxHeaderName);
}

void TRecentFilesPicPopupMenu::DoAddItem(TRecentFileItem* Item)
{
    if (!FLoading) {
        Item->Tag = ::FileAge(Item->FileName());
        if (Item->Tag != -1)
            StartPreview(Item);
    }
    TRecentFilesPopupMenu::DoAddItem(Item);
}

namespace {
const QEvent::Type kStartPreviewsEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
}

void TRecentFilesPicPopupMenu::StartPreview(TRecentFileItem* Item)
{
    Item->FPreview = ++FLastTicket;
    FPendingPreviews.push_back({Item->FPreview, Item->FileName()});
    // The threads start once the events already posted have run: a window just opened paints
    // first, without a thread decoding beside it.
    if (FPendingPreviews.size() == 1)
        QCoreApplication::postEvent(this, new QEvent(kStartPreviewsEvent), Qt::LowEventPriority);
}

void TRecentFilesPicPopupMenu::StartPendingPreviews()
{
    if (FPendingPreviews.empty())
        return;
    ReapThreads(0);
    for (const auto& [ticket, fileName] : FPendingPreviews) {
        auto* thread = new TRecentFilesPicPreviewThread(FHandover, ticket, fileName);
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        FThreads.emplace_back(thread);
        thread->start();
    }
    FPendingPreviews.clear();
}

bool TRecentFilesPicPopupMenu::event(QEvent* Event)
{
    if (Event->type() != kStartPreviewsEvent)
        return TRecentFilesPopupMenu::event(Event);
    GuardEvent(this, [this] { StartPendingPreviews(); });
    return true;
}

void TRecentFilesPicPopupMenu::PreviewDone(uint64_t Ticket, const std::string& FileName, const TBitmap* Thumbnail)
{
    for (int i = 0; i < Count(); ++i) {
        TRecentFileItem* item = Items(i);
        if (item->FPreview != Ticket)
            continue;
        item->FPreview = 0;
        if (Thumbnail && item->FileName() == FileName)
            item->SetBitmap(Thumbnail);
        return;
    }
}

void TRecentFilesPicPopupMenu::ReapThreads(int64_t DeadlineMs)
{
    for (auto& thread : FThreads) {
        if (!thread)
            continue;
        if (thread->wait(QDeadlineTimer(std::max<int64_t>(DeadlineMs - NowMs(), 0))))
            delete thread.data();
    }
    std::erase_if(FThreads, [](const QPointer<TRecentFilesPicPreviewThread>& t) { return t.isNull(); });
}

bool TRecentFilesPicPopupMenu::WaitForPreviews(int TimeoutMs)
{
    StartPendingPreviews();
    ReapThreads(NowMs() + TimeoutMs);
    QApplication::sendPostedEvents(this, QEvent::MetaCall);
    return PreviewsRunning() == 0;
}

int TRecentFilesPicPopupMenu::PreviewsRunning() const
{
    return static_cast<int>(FPendingPreviews.size()) +
           static_cast<int>(std::count_if(FThreads.begin(), FThreads.end(),
                                          [](const auto& t) { return t && !t->isFinished(); }));
}

void TRecentFilesPicPopupMenu::UpdateItems(bool Threaded)
{
    for (int i = 0; i < Count();) {
        TRecentFileItem* item = Items(i);
        const int32_t age = ::FileAge(item->FileName());
        if (age == -1 || (item->Bitmap().Empty() && item->FPreview == 0)) {
            DeleteItem(i);
            continue;
        }
        ++i;
        if (item->Tag == age)
            continue;
        item->Tag = age;
        if (Threaded) {
            StartPreview(item);
        } else {
            item->FPreview = 0;
            TBitmap thumbnail;
            if (rfpic::MakeThumbnail(item->FileName(), thumbnail))
                item->SetBitmap(&thumbnail);
        }
    }
}

void TRecentFilesPicPopupMenu::Popup(int X, int Y) { popup(QPoint(X, Y)); }

void TRecentFilesPicPopupMenu::MeasureItem(int BitmapHeight, int& Width, int& Height)
{
    Width += 100;
    Height = std::max(BitmapHeight, Height) + 8;
}

void TRecentFilesPicPopupMenu::DrawItem(QPainter& Painter, const TRecentFileItem& Item, const QRect& Rect,
                                        bool Selected) const
{
    if (!DoubleBuffered) {
        PaintItem(Painter, Item, Rect, Selected);
        return;
    }
    QImage image(Rect.size(), QImage::Format_RGB32);
    QPainter buffer(&image);
    buffer.setFont(Painter.font());
    PaintItem(buffer, Item, QRect(QPoint(0, 0), Rect.size()), Selected);
    buffer.end();
    Painter.drawImage(Rect.topLeft(), image);
}

void TRecentFilesPicPopupMenu::PaintItem(QPainter& Painter, const TRecentFileItem& Item, const QRect& Rect,
                                         bool Selected) const
{
    Painter.fillRect(Rect, ColorToQColor(Selected ? clActiveCaption : clMenu));
    const TBitmap& bitmap = Item.Bitmap();
    if (!bitmap.Empty()) {
        // Thumbnails are opaque and drawn on their own fill colour: the transparent colour would
        // change nothing, so the image is drawn as it is.
        const int x = Rect.left() + 5 + ((rfpic::kThumbBoxWidth - bitmap.Width()) >> 1);
        const int y = Rect.top() + ((Rect.height() - bitmap.Height()) >> 1);
        Painter.drawImage(QPoint(x, y), BitmapToQImage(bitmap, false));
        if (!Selected)
            DrawSunkenEdge(Painter, QRect(x - 2, y - 2, bitmap.Width() + 4, bitmap.Height() + 4));
    }
    const QFontMetrics metrics(Painter.font());
    Painter.setPen(ColorToQColor(Selected ? clHighlightText : clMenuText));
    Painter.drawText(QPoint(Rect.left() + 95, Rect.top() + (Rect.height() - metrics.height()) / 2 + metrics.ascent()),
                     QString::fromStdString(Item.FileName()));
}

bool TRecentFilesPicPopupMenu::SaveToFile()
{
    try {
        std::vector<const TRecentFileItem*> stored;
        for (int i = 0; i < Count(); ++i)
            if (Items(i)->FileName().size() <= size_t(TPicPopupThumbnailFile::kMaxFileName))
                stored.push_back(Items(i));
        if (FileNamePath.empty())
            return false;
        std::error_code made;  // a folder that cannot be made shows in the write's own error
        std::filesystem::create_directories(std::filesystem::path(FileNamePath).parent_path(), made);
        WriteFileAtomically(FileNamePath, [&](TStream& Stream) {
            TPicPopupThumbnailFile file(Stream, false);
            file.SetHeaderName(FFileHeaderName);
            file.HeaderValue = kFileVersion;
            file.WriteHeader();
            file.SetCount(static_cast<int32_t>(stored.size()));
            for (size_t i = 0; i < stored.size(); ++i)
                file.WriteRecord(static_cast<int>(i), stored[i]->FileName(), &stored[i]->Bitmap(), stored[i]->Tag);
        });
        return true;
    } catch (...) {
        return false;
    }
}

bool TRecentFilesPicPopupMenu::LoadFromFile()
{
    struct TRecord {
        std::string Name;
        int32_t Age = 0;
        std::unique_ptr<TBitmap> Thumbnail;
    };
    std::vector<TRecord> records;
    // The records are checked first and only the files that will be listed (the first ones that
    // still exist, as many as the menu keeps) have their thumbnails read. Whatever is read is checked
    // before anything is listed: a damaged file adds nothing.
    try {
        TFileStream stream(FileNamePath, fmOpenRead);
        TPicPopupThumbnailFile file(stream, true);
        file.SetHeaderName(FFileHeaderName);
        if (!file.ReadHeader())
            return false;
        const int32_t count = file.ReadCount();
        const size_t room = size_t(std::max(0, int(MaxFileList()) - Count()));
        std::vector<int32_t> kept;
        for (int32_t i = 0; i < count; ++i) {
            TRecord record;
            file.ReadRecord(i, record.Name, nullptr, record.Age);
            if (records.size() >= room || record.Name.empty() || IndexOfFile(record.Name) >= 0 ||
                std::any_of(records.begin(), records.end(), [&](const TRecord& R) { return R.Name == record.Name; }) ||
                ::FileAge(record.Name) == -1)
                continue;
            kept.push_back(i);
            records.push_back(std::move(record));
        }
        for (size_t k = 0; k < records.size(); ++k) {
            records[k].Thumbnail = std::make_unique<TBitmap>();
            std::string name;
            int32_t age = 0;
            file.ReadRecord(kept[k], name, records[k].Thumbnail.get(), age);
        }
    } catch (...) {
        return false;
    }

    struct TLoadingScope {
        bool& Loading;
        ~TLoadingScope() { Loading = false; }
    } scope{FLoading};
    try {
        for (TRecord& record : records) {
            const int32_t age = ::FileAge(record.Name);
            if (age == -1 || IndexOfFile(record.Name) >= 0)
                continue;
            // A current thumbnail is taken as it is; any other is made again on a thread (also
            // one that was still being made when the file was written).
            FLoading = age == record.Age && !record.Thumbnail->Empty();
            TRecentFileItem* item = AppendFile(record.Name);
            if (FLoading) {
                item->SetBitmap(record.Thumbnail.get());
                item->Tag = record.Age;
            }
        }
    } catch (...) {
        return false;
    }
    return true;
}
