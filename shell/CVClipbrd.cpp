#include "shell/CVClipbrd.h"
#include "shell/CVClipbrdSelection.h"
#include "globals/CVGlobal.h"

#include <QCoreApplication>
#include <QImage>
#include <QMimeData>

#include <algorithm>

const char* const CVClipboardFormat = "application/x-brenick-labs-canvello";

namespace {

// A deep copy of Bitmap for the clipboard's image data.
QImage ClipboardImage(const TBitmap& Bitmap)
{
    if (Bitmap.PixelFormat() == pf24bit)
        return QImage(Bitmap.Bits(), Bitmap.Width(), Bitmap.Height(), Bitmap.RowBytes(), QImage::Format_BGR888).copy();
    if (Bitmap.PixelFormat() == pf32bit)
        return QImage(Bitmap.Bits(), Bitmap.Width(), Bitmap.Height(), Bitmap.RowBytes(), QImage::Format_RGB32).copy();
    return BitmapToQImage(Bitmap, false);
}

} // namespace

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

bool TCVClipboard::ReadPrivateBlock(TCVClipboardStream& Stream) const
{
    const QMimeData* data = System.MimeData();
    if (!data)
        return false;
    try {
        const QByteArray block = data->data(CVClipboardFormat);
        TCVClipboardStream read;
        read.LoadBlock(block.constData(), block.size());
        Stream.Clear();
        Stream.Bytes().swap(read.Bytes());
        Stream.SetPosition(0);
        return true;
    } catch (const std::exception&) {
        return false;
    }
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

void TCVClipboard::Publish(TCVClipboardStream& Stream, const TBitmap& Newest)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(CVClipboardFormat,
                  QByteArray(reinterpret_cast<const char*>(Stream.Memory()), static_cast<qsizetype>(Stream.Size())));
    try {
        if (!Newest.Empty())
            data->setImageData(ClipboardImage(Newest));
    } catch (const std::exception&) {
        // The history is what matters; other programs then find no picture.
    }
    System.SetMimeData(std::move(data));
}

void TCVClipboard::CopyBitmap(const TBitmap* Bitmap, TColor Tag)
{
    if (!Bitmap)
        return;
    TCVClipboardStream stream;
    switch (GetPriorityFormat()) {
    case ccBitmap:
        // Another program's picture starts the history.
        try {
            TBitmap foreign;
            if (ReadImage(foreign))
                stream.AddItem(foreign, -1);
        } catch (const std::exception&) {
            stream.Clear();
        }
        break;
    case ccCanvello:
        ReadPrivateBlock(stream);
        break;
    default:
        break;
    }
    stream.AddItem(*Bitmap, Tag);
    Publish(stream, *Bitmap);
}

void TCVClipboard::PasteBitmap(TBitmap* Bitmap, TColor& Tag) const
{
    if (!Bitmap)
        return;
    switch (GetPriorityFormat()) {
    case ccCanvello: {
        TCVClipboardStream stream;
        ReadPrivateBlock(stream);
        stream.GetFirstItem(*Bitmap, Tag);
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
    if (GetPriorityFormat() != ccCanvello)
        return;
    TCVClipboardStream stream;
    if (!ReadPrivateBlock(stream))
        return;
    TBitmap newest;
    TColor tag = -1;
    if (!stream.DeleteItem(ItemID, &newest, tag))
        return;
    if (stream.GetCount() > 0)
        Publish(stream, newest);
    else
        Clear();
}

void TCVClipboard::PromoteItem(uint32_t ItemID)
{
    if (GetPriorityFormat() != ccCanvello)
        return;
    TCVClipboardStream stream;
    if (!ReadPrivateBlock(stream))
        return;
    int64_t start = 0, end = 0;
    if (!stream.FindItem(ItemID, start, end) || start == TCVClipboardStream::FirstItemOffset)
        return;
    TBitmap promoted;
    TColor tag = -1;
    stream.PromoteItem(ItemID, &promoted, tag);
    Publish(stream, promoted);
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
        case ccCanvello: {
            TCVClipboardStream stream;
            ReadPrivateBlock(stream);
            stream.SetPosition(TCVClipboardStream::FirstItemOffset);
            uint32_t id = 0;
            TColor tag = -1;
            while (next && stream.ReadItem(id, &bitmap, tag))
                Callback(id, bitmap, tag, next);
            break;
        }
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

namespace {

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

} // namespace

std::vector<TCVClipboard::TItemInfo> TCVClipboard::ItemInfos() const
{
    std::vector<TItemInfo> items;
    const QMimeData* data = System.MimeData();
    switch (GetPriorityFormat()) {
    case ccBitmap:
        items.push_back({TCVClipboardStream::ForeignItemID, -1, 0});
        break;
    case ccCanvello: {
        // The data stays shared with the clipboard: no copy of the block.
        const QByteArray block = data ? data->data(CVClipboardFormat) : QByteArray();
        const auto* bytes = reinterpret_cast<const uint8_t*>(block.constData());
        if (!TCVClipboardStream::VisitBlock(bytes, block.size(),
                                            [&](uint32_t ItemID, TColor Tag, const uint8_t* Picture, int64_t Size) {
                                                items.push_back({ItemID, Tag, PictureFingerprint(Picture, Size)});
                                            }))
            items.clear();
        break;
    }
    default:
        break;
    }
    return items;
}

bool TCVClipboard::ReadItemPicture(uint32_t ItemID, TBitmap& Bitmap) const
{
    if (ItemID == TCVClipboardStream::ForeignItemID)
        return GetPriorityFormat() == ccBitmap && ReadImage(Bitmap);
    const QMimeData* data = System.MimeData();
    if (!data || GetPriorityFormat() != ccCanvello)
        return false;
    const QByteArray block = data->data(CVClipboardFormat);
    bool found = false, read = false;
    TCVClipboardStream::VisitBlock(reinterpret_cast<const uint8_t*>(block.constData()), block.size(),
                                   [&](uint32_t ID, TColor, const uint8_t* Picture, int64_t Size) {
                                       if (found || ID != ItemID)
                                           return;
                                       found = true;
                                       try {
                                           TBytesStream stream(Picture, Size);
                                           ReadBMP(stream, Bitmap);
                                           read = true;
                                       } catch (const std::exception&) {
                                           read = false;
                                       }
                                   });
    return read;
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
