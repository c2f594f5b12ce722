#include "shell/CVClipbrd.h"
#include "shell/CVClipbrdSelection.h"
#include "globals/CVGlobal.h"
#include "image/BitmapUtils.h"

#include <QCoreApplication>
#include <QImage>
#include <QMimeData>

#include <algorithm>
#include <climits>
#include <set>

const char* const CVClipboardFormat = "application/x-brenick-labs-canvello";

namespace {

// Transparency as a clipboard item's tag gives it: in Tag when Tag >= 0, none otherwise.
void MarkTransparent(TBitmap& Bitmap, TColor Tag)
{
    Bitmap.SetTransparent(Tag >= 0);
    Bitmap.SetTransparentColor(Tag >= 0 ? Tag : clDefault);
}

// A copy of a clipboard picture for a caller to keep, with no transparency of its own (the tag
// goes beside it), as a picture read from the private block has.
void CopyOut(const TBitmap& Picture, TBitmap& Bitmap)
{
    Bitmap.Assign(&Picture);
    MarkTransparent(Bitmap, -1);
}

// Raises what encoding the item would raise, before the clipboard changes.
void CheckEncodable(const TBitmap& Bitmap)
{
    if (Bitmap.Empty())
        throw EInvalidGraphic("Cannot save an empty bitmap");
    constexpr int64_t kMostHeaders = TCVClipboardStream::ItemHeaderSize + 14 + 124 + 256 * 4;
    if (int64_t(Bitmap.RowBytes()) * Bitmap.Height() + kMostHeaders > INT32_MAX)
        throw ECVClipboardStreamError("Picture is too large for the clipboard");
}

// FNV-1a over the size and up to 64 evenly spread runs of 64 bytes of a picture.
uint64_t PictureFingerprint(const uint8_t* Data, int64_t Size)
{
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint8_t b) {
        h ^= b;
        h *= 1099511628211ull;
    };
    for (int i = 0; i < 8; ++i)
        mix(uint8_t(uint64_t(Size) >> (8 * i)));
    constexpr int64_t kRuns = 64, kRun = 64;
    const int64_t step = std::max<int64_t>(kRun, Size / kRuns);
    for (int64_t start = 0; start < Size; start += step)
        for (int64_t i = start; i < std::min(Size, start + kRun); ++i)
            mix(Data[i]);
    return h;
}

// The rows of Picture as a QImage without a copy, keeping Picture alive as long as the image (or a
// converted copy for formats Qt cannot take as they are).
QImage SharedImage(const std::shared_ptr<const TBitmap>& Picture)
{
    const TBitmap& b = *Picture;
    if (b.PixelFormat() != pf24bit && b.PixelFormat() != pf32bit)
        return BitmapToQImage(b, false);
    using TKeep = std::shared_ptr<const TBitmap>;
    return QImage(b.Bits(), b.Width(), b.Height(), b.RowBytes(),
                  b.PixelFormat() == pf24bit ? QImage::Format_BGR888 : QImage::Format_RGB32,
                  [](void* Keep) { delete static_cast<TKeep*>(Keep); }, new TKeep(Picture));
}

} // namespace

// ---- Clipboard items ------------------------------------------------------------------------------------
std::shared_ptr<const TBitmap> TCVClipboardItem::Picture() const
{
    if (!FPicture && FBytes.size() > TCVClipboardStream::ItemHeaderSize) {
        try {
            auto picture = std::make_shared<TBitmap>();
            TBytesStream stream(FBytes.constData() + TCVClipboardStream::ItemHeaderSize,
                                FBytes.size() - TCVClipboardStream::ItemHeaderSize);
            ReadBMP(stream, *picture);
            MarkTransparent(*picture, Tag);
            FPicture = std::move(picture);
        } catch (const std::exception&) {
            return nullptr;
        }
    }
    return FPicture;
}

const QByteArray& TCVClipboardItem::Bytes() const
{
    if (FBytes.isEmpty() && FPicture) {
        TMemoryStream item;
        TCVClipboardStream::EncodeItem(item, ItemID, *FPicture, Tag);
        FBytes = QByteArray(reinterpret_cast<const char*>(item.Memory()), static_cast<qsizetype>(item.Size()));
    }
    return FBytes;
}

uint64_t TCVClipboardItem::Fingerprint() const
{
    if (!FFingerprint) {
        if (!FBytes.isEmpty())
            FFingerprint = PictureFingerprint(reinterpret_cast<const uint8_t*>(FBytes.constData()), FBytes.size());
        else if (FPicture && FPicture->Bits())
            FFingerprint = PictureFingerprint(FPicture->Bits(), int64_t(FPicture->RowBytes()) * FPicture->Height());
        else
            FFingerprint = 0;
    }
    return *FFingerprint;
}

TCVClipboardData::TCVClipboardData(std::vector<TCVClipboardItemPtr> Items) : FItems(std::move(Items)) {}

QStringList TCVClipboardData::formats() const
{
    return {QString::fromLatin1(CVClipboardFormat), QStringLiteral("application/x-qt-image")};
}

bool TCVClipboardData::hasFormat(const QString& MimeType) const
{
    return formats().contains(MimeType);
}

QVariant TCVClipboardData::retrieveData(const QString& MimeType, QMetaType Type) const
{
    try {
        if (MimeType == QLatin1String(CVClipboardFormat)) {
            if (FBlock.isEmpty()) {
                qsizetype size = TCVClipboardStream::FirstItemOffset;
                for (const TCVClipboardItemPtr& item : FItems)
                    size += item->Bytes().size();
                QByteArray block;
                block.reserve(size);
                const auto count = static_cast<uint32_t>(FItems.size());
                for (int i = 0; i < 4; ++i)
                    block.append(char(count >> (8 * i)));
                for (const TCVClipboardItemPtr& item : FItems)
                    block.append(item->Bytes());
                FBlock = std::move(block);
            }
            return FBlock;
        }
        if (MimeType == QLatin1String("application/x-qt-image")) {
            const std::shared_ptr<const TBitmap> newest = FItems.front()->Picture();
            return newest && !newest->Empty() ? QVariant(SharedImage(newest)) : QVariant();
        }
    } catch (const std::exception&) {
        // A reader outside the program gets nothing rather than an exception in the event loop.
        return QVariant();
    }
    return QMimeData::retrieveData(MimeType, Type);
}

// ---- Change notifier ----------------------------------------------------------------------------------
TClipboardChangeNotifier::TClipboardChangeNotifier(TSystemClipboard& System, int MsgID)
    : System(System), FWatcher(std::make_unique<TClipBoardWatcher>(System)), FMsg(MsgID)
{
    FWatcher->OnChange = [this](TCustomClipboardWatcher*) { Notify(); };
    SetActive(true);
}

TClipboardChangeNotifier::~TClipboardChangeNotifier() = default;

void TClipboardChangeNotifier::Notify()
{
    // A listener may add or remove listeners while it is told.
    const std::vector<QPointer<QObject>> listeners = FListeners;
    for (const QPointer<QObject>& listener : listeners) {
        if (listener) {
            TCVMessageEvent event(FMsg);
            QCoreApplication::sendEvent(listener.data(), &event);
        }
    }
}

void TClipboardChangeNotifier::SetActive(bool Value)
{
    if (Value == FActive)
        return;
    FActive = Value;
    FWatcher->Active = Value;
}

void TClipboardChangeNotifier::AddListener(QObject* Wnd)
{
    FListeners.emplace_back(Wnd);
}

void TClipboardChangeNotifier::RemoveListener(QObject* Wnd)
{
    const auto it = std::find(FListeners.begin(), FListeners.end(), Wnd);
    if (it != FListeners.end())
        FListeners.erase(it);
}

// ---- Clipboard ----------------------------------------------------------------------------------------
TCVClipboard::TCVClipboard(TSystemClipboard& System, int MsgID) : TClipboardChangeNotifier(System, MsgID) {}

TCVClipboardContents TCVClipboard::GetPriorityFormat() const
{
    const QMimeData* data = System.MimeData();
    if (!data || data->formats().isEmpty())
        return ccEmpty;
    if (data->hasFormat(CVClipboardFormat))
        return ccCanvello;
    if (data->hasImage())
        return ccBitmap;
    return ccOther;
}

void TCVClipboard::Clear()
{
    System.Clear();
}

bool TCVClipboard::ReadImage(TBitmap& Bitmap) const
{
    const QMimeData* data = System.MimeData();
    if (!data || !data->hasImage())
        return false;
    const QImage image = qvariant_cast<QImage>(data->imageData());
    if (image.isNull())
        return false;
    Bitmap.AssignQImage(image);
    return true;
}

std::vector<TCVClipboardItemPtr> TCVClipboard::History() const
{
    if (GetPriorityFormat() != ccCanvello)
        return {};
    const QMimeData* data = System.MimeData();
    if (const auto* own = dynamic_cast<const TCVClipboardData*>(data))
        return own->Items();
    std::vector<TCVClipboardItemPtr> items;
    const QByteArray block = data->data(CVClipboardFormat);
    TCVClipboardStream::VisitBlock(reinterpret_cast<const uint8_t*>(block.constData()), block.size(),
                                   [&](uint32_t ItemID, TColor Tag, const uint8_t* Picture, int64_t Size) {
                                       auto item = std::make_shared<TCVClipboardItem>();
                                       item->ItemID = ItemID;
                                       item->Tag = Tag;
                                       // The item's bytes where they lie in the block, which it keeps.
                                       const auto* start = Picture - TCVClipboardStream::ItemHeaderSize;
                                       item->FSource = block;
                                       item->FBytes = QByteArray::fromRawData(reinterpret_cast<const char*>(start),
                                                                              Size + TCVClipboardStream::ItemHeaderSize);
                                       items.push_back(std::move(item));
                                   });
    return items;
}

void TCVClipboard::Publish(std::vector<TCVClipboardItemPtr> Items)
{
    if (Items.empty())
        Clear();
    else
        System.SetMimeData(std::make_unique<TCVClipboardData>(std::move(Items)));
}

void TCVClipboard::CopyBitmap(const TBitmap* Bitmap, TColor Tag)
{
    if (!Bitmap)
        return;
    std::vector<TCVClipboardItemPtr> items;
    std::set<uint32_t> used;
    // A copy of the pictures, made before anything on the clipboard changes.
    auto newItem = [&used](const TBitmap& Picture, TColor ItemTag) {
        auto item = std::make_shared<TCVClipboardItem>();
        item->ItemID = TCVClipboardStream::NewItemID(used);
        item->Tag = ItemTag;
        auto picture = std::make_shared<TBitmap>();
        // Format, palette and pixels (a threaded copy); the transparency is the tag's.
        ::CopyBitmap(Picture, *picture);
        MarkTransparent(*picture, ItemTag);
        item->FPicture = std::move(picture);
        used.insert(item->ItemID);
        return item;
    };
    switch (GetPriorityFormat()) {
    case ccBitmap:
        // Another program's picture starts the history.
        try {
            TBitmap foreign;
            if (ReadImage(foreign))
                items.push_back(newItem(foreign, -1));
        } catch (const std::exception&) {
            items.clear();
        }
        break;
    case ccCanvello:
        items = History();
        if (items.size() > size_t(TCVClipboardStream::MaxItems - 1))
            items.resize(size_t(TCVClipboardStream::MaxItems - 1));
        for (const TCVClipboardItemPtr& item : items)
            used.insert(item->ItemID);
        break;
    default:
        break;
    }
    CheckEncodable(*Bitmap);
    items.insert(items.begin(), newItem(*Bitmap, Tag));
    Publish(std::move(items));
}

void TCVClipboard::PasteBitmap(TBitmap* Bitmap, TColor& Tag) const
{
    if (!Bitmap)
        return;
    switch (GetPriorityFormat()) {
    case ccCanvello: {
        const std::vector<TCVClipboardItemPtr> items = History();
        if (items.empty())
            throw ECVClipboardStreamError("GetFirstItem - There are no items");
        const std::shared_ptr<const TBitmap> picture = items.front()->Picture();
        if (!picture)
            throw ECVClipboardStreamError("GetFirstItem - Error getting item");
        CopyOut(*picture, *Bitmap);
        Tag = items.front()->Tag;
        break;
    }
    case ccBitmap:
        if (!ReadImage(*Bitmap))
            throw EInvalidGraphic("Bitmap image is not valid");
        Tag = -1;
        break;
    default:
        break;
    }
}

void TCVClipboard::DeleteItem(uint32_t ItemID)
{
    if (ItemID == TCVClipboardStream::ForeignItemID) {
        Clear();
        return;
    }
    std::vector<TCVClipboardItemPtr> items = History();
    const auto it = std::find_if(items.begin(), items.end(), [&](const auto& I) { return I->ItemID == ItemID; });
    if (it == items.end())
        return;
    items.erase(it);
    Publish(std::move(items));
}

void TCVClipboard::PromoteItem(uint32_t ItemID)
{
    std::vector<TCVClipboardItemPtr> items = History();
    const auto it = std::find_if(items.begin(), items.end(), [&](const auto& I) { return I->ItemID == ItemID; });
    if (it == items.end() || it == items.begin())
        return;
    std::rotate(items.begin(), it, it + 1);
    Publish(std::move(items));
}

void TCVClipboard::EnumItems(const TEnumClipboardItemsEvent& Callback) const
{
    if (!Callback)
        return;
    try {
        bool next = true;
        TBitmap bitmap;
        switch (GetPriorityFormat()) {
        case ccBitmap:
            if (ReadImage(bitmap))
                Callback(TCVClipboardStream::ForeignItemID, bitmap, -1, next);
            break;
        case ccCanvello:
            for (const TCVClipboardItemPtr& item : History()) {
                const std::shared_ptr<const TBitmap> picture = item->Picture();
                if (!next || !picture)
                    break;
                CopyOut(*picture, bitmap);
                Callback(item->ItemID, bitmap, item->Tag, next);
            }
            break;
        default:
            break;
        }
    } catch (const std::exception& e) {
        try {
            throw Exception(std::string("ENumCVClipboardItems error") + e.what());
        } catch (...) {
            ReportEventException(nullptr);
        }
    }
}

std::vector<TCVClipboard::TItemInfo> TCVClipboard::ItemInfos() const
{
    std::vector<TItemInfo> infos;
    if (GetPriorityFormat() == ccBitmap)
        infos.push_back({TCVClipboardStream::ForeignItemID, -1, 0});
    for (const TCVClipboardItemPtr& item : History())
        infos.push_back({item->ItemID, item->Tag, item->Fingerprint()});
    return infos;
}

std::shared_ptr<const TBitmap> TCVClipboard::ItemPicture(uint32_t ItemID) const
{
    if (ItemID == TCVClipboardStream::ForeignItemID) {
        auto bitmap = std::make_shared<TBitmap>();
        if (GetPriorityFormat() == ccBitmap && ReadImage(*bitmap))
            return bitmap;
        return nullptr;
    }
    for (const TCVClipboardItemPtr& item : History())
        if (item->ItemID == ItemID)
            return item->Picture();
    return nullptr;
}

// ---- The program's clipboard ------------------------------------------------------------------------
TCVClipboard* CVClipboard = nullptr;

namespace {
std::unique_ptr<TQtSystemClipboard> GSystemClipboard;
std::unique_ptr<TCVClipboard> GClipboard;
std::unique_ptr<TCVSelectionClipboard> GSelectionClipboard;
} // namespace

void InitCVClipboard()
{
    if (CVClipboard)
        return;
    GSystemClipboard = std::make_unique<TQtSystemClipboard>();
    GClipboard = std::make_unique<TCVClipboard>(*GSystemClipboard);
    GSelectionClipboard = std::make_unique<TCVSelectionClipboard>(*GClipboard);
    CVClipboard = GClipboard.get();
    SetSelectionClipboard(GSelectionClipboard.get());
}

void DoneCVClipboard()
{
    if (SelectionClipboard() == GSelectionClipboard.get())
        SetSelectionClipboard(nullptr);
    CVClipboard = nullptr;
    GSelectionClipboard.reset();
    GClipboard.reset();
    GSystemClipboard.reset();
}
