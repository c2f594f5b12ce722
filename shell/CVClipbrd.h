#pragma once
// The program's clipboard: a history of up to ten pictures kept on the system clipboard in the
// private format "Brenick_Labs Canvello" (MIME type CVClipboardFormat), beside the newest picture as
// ordinary image data for other programs, and the notices of clipboard changes sent to listeners.
#include "shell/CBWatcher.h"
#include "shell/CVClipbrdStream.h"

#include <QByteArray>
#include <QEvent>
#include <QMimeData>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The program's message for "the clipboard changed" (both parameters 0).
constexpr int WM_CLIPBOARD_CHANGED = 0x40A;

// A program message delivered to a QObject as an event of type QEvent::User + Msg.
class TCVMessageEvent : public QEvent {
public:
    explicit TCVMessageEvent(int Msg, intptr_t WParam = 0, intptr_t LParam = 0)
        : QEvent(EventType(Msg)), Msg(Msg), WParam(WParam), LParam(LParam)
    {
    }
    static constexpr QEvent::Type EventType(int Msg) { return static_cast<QEvent::Type>(QEvent::User + Msg); }

    int Msg;
    intptr_t WParam;
    intptr_t LParam;
};

// Sends Msg to every listener, in the order they were added, whenever the clipboard changes.
// Listeners are held weakly: one destroyed without being removed is skipped.
class TClipboardChangeNotifier {
public:
    TClipboardChangeNotifier(TSystemClipboard& System, int MsgID);
    virtual ~TClipboardChangeNotifier();
    TClipboardChangeNotifier(const TClipboardChangeNotifier&) = delete;
    TClipboardChangeNotifier& operator=(const TClipboardChangeNotifier&) = delete;

    // Delivers the message to each listener at once (sendEvent), before returning.
    virtual void Notify();
    virtual void SetActive(bool Value);
    bool Active() const { return FActive; }

    // No duplicate check: a listener added twice hears every change twice.
    void AddListener(QObject* Wnd);
    // Removes the first occurrence, if any.
    void RemoveListener(QObject* Wnd);

    int Msg() const { return FMsg; }
    TClipBoardWatcher& Watcher() { return *FWatcher; }

protected:
    TSystemClipboard& System;

private:
    std::unique_ptr<TClipBoardWatcher> FWatcher;
    std::vector<QPointer<QObject>> FListeners;
    int FMsg;
    bool FActive = false;
};

// The MIME type of the private format.
extern const char* const CVClipboardFormat;

// One picture of the history as the clipboard keeps it: the picture itself when this program put it
// there, the item's bytes in the private format when they came from outside. Each side is made from
// the other when first asked for, and kept. Not changed once on the clipboard.
struct TCVClipboardItem {
    uint32_t ItemID = 0;
    TColor Tag = -1;
    // The picture (transparent in Tag when Tag >= 0), or null; null from Picture() when unreadable.
    std::shared_ptr<const TBitmap> Picture() const;
    // Id, size, tag and the picture as a BMP file.
    const QByteArray& Bytes() const;
    // What tells two pictures apart without reading them whole.
    uint64_t Fingerprint() const;

    mutable std::shared_ptr<const TBitmap> FPicture;
    QByteArray FSource; // the block that FBytes lies in, when it came from one
    mutable QByteArray FBytes;
    mutable std::optional<uint64_t> FFingerprint;
};
using TCVClipboardItemPtr = std::shared_ptr<const TCVClipboardItem>;

// The clipboard's data while this program owns it: the history's items, shared and not encoded. The
// private block and the newest picture as an image are made when someone reads them (another
// program asking through the system's clipboard, or this program reading data that is not its own).
class TCVClipboardData : public QMimeData {
public:
    // Items: newest first, at least one.
    explicit TCVClipboardData(std::vector<TCVClipboardItemPtr> Items);
    const std::vector<TCVClipboardItemPtr>& Items() const { return FItems; }
    QStringList formats() const override;
    bool hasFormat(const QString& MimeType) const override;

protected:
    QVariant retrieveData(const QString& MimeType, QMetaType Type) const override;

private:
    std::vector<TCVClipboardItemPtr> FItems;
    mutable QByteArray FBlock;
};

// What GetPriorityFormat finds, best first.
enum TCVClipboardContents : int {
    ccOther = -1,  // data, but neither format
    ccEmpty = 0,   // nothing at all
    ccCanvello = 1, // the program's history
    ccBitmap = 2,   // another program's picture
};

// Called for each picture of the clipboard, newest first; setting Continue to false stops.
using TEnumClipboardItemsEvent = std::function<void(uint32_t ItemID, TBitmap& Bitmap, TColor Tag, bool& Continue)>;

class TCVClipboard : public TClipboardChangeNotifier {
public:
    // System must outlive the object.
    explicit TCVClipboard(TSystemClipboard& System, int MsgID = WM_CLIPBOARD_CHANGED);

    TCVClipboardContents GetPriorityFormat() const;
    bool HasPicture() const { return GetPriorityFormat() >= ccCanvello; }
    void Clear();

    // Puts Bitmap first in the history with Tag (its transparent colour, -1 for none); another
    // program's picture on the clipboard becomes the second item. The clipboard is replaced in one
    // step, after the new contents are complete: a failure leaves it as it was. Nothing for null.
    void CopyBitmap(const TBitmap* Bitmap, TColor Tag);
    void CopyBitmapNoTag(const TBitmap* Bitmap) { CopyBitmap(Bitmap, -1); }
    // The newest picture and its tag (-1 for another program's picture). Raises
    // ECVClipboardStreamError when the history holds no readable item, EInvalidGraphic when another
    // program's picture cannot be read. Nothing for null or a clipboard without a picture.
    void PasteBitmap(TBitmap* Bitmap, TColor& Tag) const;
    // Removes one picture of the history (TCVClipboardStream::ForeignItemID: the other program's
    // picture, which empties the clipboard); the clipboard is emptied with the last one. An id that
    // is not in the history changes nothing.
    void DeleteItem(uint32_t ItemID);
    // Makes the picture the newest (and the one other programs paste). Nothing for the newest or an
    // unknown id.
    void PromoteItem(uint32_t ItemID);
    // Passes every picture to Callback; another program's picture comes as one item with
    // ForeignItemID and tag -1. A failure is reported as "ENumCVClipboardItems error" + its message.
    void EnumItems(const TEnumClipboardItemsEvent& Callback) const;

    // What tells the pictures apart without reading them: the id, the tag and a fingerprint of the
    // picture's bytes (ids come from clock ticks, so another program's history may reuse one).
    struct TItemInfo {
        uint32_t ItemID = 0;
        TColor Tag = -1;
        uint64_t Fingerprint = 0;
    };
    // Every picture's info, newest first, read where the clipboard keeps them (nothing copied or
    // decoded); another program's picture is one item with ForeignItemID. Empty for a clipboard
    // without pictures or with a damaged block.
    std::vector<TItemInfo> ItemInfos() const;
    // The picture of one item, transparent in its tag when it has one, shared with the clipboard
    // where it keeps it; null when it is not there or cannot be read.
    std::shared_ptr<const TBitmap> ItemPicture(uint32_t ItemID) const;

private:
    // The history, newest first: this program's items as they are, a block put there from outside
    // read into items (none for a damaged one). Empty unless the private format comes first.
    std::vector<TCVClipboardItemPtr> History() const;
    // Another program's picture into Bitmap; false when the clipboard's image data is unusable.
    bool ReadImage(TBitmap& Bitmap) const;
    // Replaces the clipboard with Items (newest first), or empties it for none.
    void Publish(std::vector<TCVClipboardItemPtr> Items);
};

// The program's clipboard over the desktop's clipboard (null before InitCVClipboard).
extern TCVClipboard* CVClipboard;
// Creates CVClipboard (needs the application object) and lets the selections copy to it; does
// nothing when it exists.
void InitCVClipboard();
// Frees CVClipboard; call before the application object goes.
void DoneCVClipboard();
