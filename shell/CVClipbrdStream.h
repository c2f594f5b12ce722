#pragma once
// The program's private clipboard block: a history of up to ten pictures, newest first.
//
// Layout (little-endian): Count (signed 32-bit), then Count items back to back. Each item is
// ItemID (unsigned 32-bit), ItemSize (signed 32-bit, the whole item including these 8 bytes),
// Tag (signed 32-bit: the picture's transparent colour, -1 for none) and the picture as a BMP file.
//
// The block comes from the system clipboard, where any program may have put it: every walk over
// the items checks each header against the bytes that are left and stops at the first bad one.
#include "platform/Classes.h"
#include "platform/Graphics.h"

#include <cstdint>
#include <functional>
#include <set>

CANVELLO_EXCEPTION(ECVClipboardStreamError, Exception)

class TCVClipboardStream : public TMemoryStream {
public:
    // Byte width of the tag field.
    static constexpr int32_t FieldSize = 4;
    // Where the first item starts, after Count.
    static constexpr int64_t FirstItemOffset = 4;
    // Bytes of an item before its picture: id, size and tag.
    static constexpr int32_t ItemHeaderSize = 8 + FieldSize;
    // The history never holds more pictures than this.
    static constexpr int32_t MaxItems = 10;
    // The id that stands for another program's picture; never given to an item.
    static constexpr uint32_t ForeignItemID = 0xFFFFFFFFu;

    // Milliseconds since start-up, truncated to 32 bits; the source of item ids (replaceable).
    static uint32_t (*TickCount)();

    // Count at offset 0; a block shorter than 4 bytes holds 0 items.
    int32_t GetCount();
    void SetCount(int32_t N);
    // Each returns the new count.
    int32_t IncCount();
    int32_t DecCount();

    // Adds Bitmap as the newest item (the history first cut to MaxItems - 1) and returns its id: the
    // tick count, raised past the ids already in the history and past ForeignItemID, so that two
    // copies within one millisecond still name different items.
    uint32_t AddItem(const TBitmap& Bitmap, TColor Tag);
    // An id for a new item: the tick count, raised past the ids in Used and past ForeignItemID.
    static uint32_t NewItemID(const std::set<uint32_t>& Used);
    // Item receives one whole item: ItemID, its size, Tag and Bitmap as a BMP file.
    // ECVClipboardStreamError "Picture is too large for the clipboard" past 2 GB.
    static void EncodeItem(TMemoryStream& Item, uint32_t ItemID, const TBitmap& Bitmap, TColor Tag);
    // Keeps the first N items when there are more.
    void TrimToCount(int32_t N);
    // The first item with ItemID: its start and end (start + ItemSize).
    bool FindItem(uint32_t ItemID, int64_t& Start, int64_t& End);
    // Removes bytes [Start, End); Exception "Delete Section - Invalid positions" when they are not
    // inside the stream or End <= Start.
    void DeleteSection(int64_t Start, int64_t End);
    // Removes the item; when items remain and Bitmap is given, it and Tag receive the new newest
    // item (Bitmap is emptied when that picture cannot be read). Returns whether the item was found.
    bool DeleteItem(uint32_t ItemID, TBitmap* Bitmap, TColor& Tag);
    // Reads the item at the position and moves past it; false at the end or for an item that is
    // damaged or whose picture cannot be read. Bitmap may be null to skip the picture.
    bool ReadItem(uint32_t& ItemID, TBitmap* Bitmap, TColor& Tag);
    // The newest item; ECVClipboardStreamError "GetFirstItem - There are no items" or
    // "GetFirstItem - Error getting item".
    void GetFirstItem(TBitmap& Bitmap, TColor& Tag);
    // Moves the item to the front, the others keeping their order; when it moved and Bitmap is
    // given, it and Tag receive its picture. True when the item was found (also when already first).
    bool PromoteItem(uint32_t ItemID, TBitmap* Bitmap, TColor& Tag);

    // Replaces the contents with a block from outside, positioned at 0. A block that does not hold
    // Count well-formed items (Count negative, an item shorter than its header or longer than the
    // bytes left, or items missing) counts as empty; bytes after the last item are dropped.
    void LoadBlock(const void* Data, int64_t Size);

    // Shows the items of a block where it lies, newest first, without copying it: Visit gets each
    // item's id, tag and picture bytes (a BMP). False, visiting nothing, for a block that LoadBlock
    // would take as empty for being damaged.
    using TBlockItemVisitor =
        std::function<void(uint32_t ItemID, TColor Tag, const uint8_t* Picture, int64_t PictureSize)>;
    static bool VisitBlock(const uint8_t* Data, int64_t Size, const TBlockItemVisitor& Visit);

private:
    // Walks at most Limit items from the first while they are well-formed; Visit (when given) sees
    // each one first and stops the walk there by returning false. Returns the number of items passed;
    // End is the end of the last one passed.
    int32_t WalkItems(int32_t Limit, int64_t& End,
                      const std::function<bool(uint32_t ItemID, int64_t Start, int64_t Size)>& Visit = nullptr);
    // The id and size of the item at Pos, when its header fits and 12 <= size <= bytes left.
    bool ItemAt(int64_t Pos, uint32_t& ItemID, int64_t& ItemSize);
    // Reads the item starting at Pos (see ReadItem).
    bool ReadItemAt(int64_t Pos, uint32_t& ItemID, TBitmap* Bitmap, TColor& Tag);
};
