#include "shell/CVClipbrdStream.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <set>

namespace {

uint32_t GetLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLE32(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// The id and size of the item at Pos of a block, when its header fits and 12 <= size <= bytes left.
bool HeaderAt(const uint8_t* Data, int64_t Size, int64_t Pos, uint32_t& ItemID, int64_t& ItemSize)
{
    if (Pos < TCVClipboardStream::FirstItemOffset || Size - Pos < TCVClipboardStream::ItemHeaderSize)
        return false;
    const uint8_t* p = Data + Pos;
    ItemID = GetLE32(p);
    ItemSize = static_cast<int32_t>(GetLE32(p + 4));
    return ItemSize >= TCVClipboardStream::ItemHeaderSize && ItemSize <= Size - Pos;
}

uint32_t SystemTickCount()
{
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

} // namespace

uint32_t (*TCVClipboardStream::TickCount)() = SystemTickCount;

int32_t TCVClipboardStream::GetCount()
{
    if (Size() < FirstItemOffset)
        return 0;
    return static_cast<int32_t>(GetLE32(Memory()));
}

void TCVClipboardStream::SetCount(int32_t N)
{
    if (Size() < FirstItemOffset)
        SetSize(FirstItemOffset);
    PutLE32(Memory(), static_cast<uint32_t>(N));
}

int32_t TCVClipboardStream::IncCount()
{
    // Wraps instead of overflowing on a count from outside.
    SetCount(static_cast<int32_t>(static_cast<uint32_t>(GetCount()) + 1u));
    return GetCount();
}

int32_t TCVClipboardStream::DecCount()
{
    SetCount(static_cast<int32_t>(static_cast<uint32_t>(GetCount()) - 1u));
    return GetCount();
}

bool TCVClipboardStream::ItemAt(int64_t Pos, uint32_t& ItemID, int64_t& ItemSize)
{
    return HeaderAt(Memory(), Size(), Pos, ItemID, ItemSize);
}

uint32_t TCVClipboardStream::NewItemID(const std::set<uint32_t>& Used)
{
    uint32_t itemID = TickCount();
    while (itemID == ForeignItemID || Used.count(itemID))
        ++itemID;
    return itemID;
}

void TCVClipboardStream::EncodeItem(TMemoryStream& Item, uint32_t ItemID, const TBitmap& Bitmap, TColor Tag)
{
    Item.Clear();
    Item.WriteValue<uint32_t>(0);
    Item.WriteValue<int32_t>(0);
    Item.WriteValue<int32_t>(Tag);
    WriteBMP(Item, Bitmap);
    if (Item.Size() > INT32_MAX)
        throw ECVClipboardStreamError("Picture is too large for the clipboard");
    PutLE32(Item.Memory(), ItemID);
    PutLE32(Item.Memory() + 4, static_cast<uint32_t>(Item.Size()));
}

uint32_t TCVClipboardStream::AddItem(const TBitmap& Bitmap, TColor Tag)
{
    TrimToCount(MaxItems - 1);

    std::set<uint32_t> used;
    int64_t end = 0;
    WalkItems(GetCount(), end, [&used](uint32_t ItemID, int64_t, int64_t) {
        used.insert(ItemID);
        return true;
    });
    const uint32_t itemID = NewItemID(used);

    TMemoryStream item;
    EncodeItem(item, itemID, Bitmap, Tag);

    if (Size() < FirstItemOffset)
        SetCount(0);
    std::vector<uint8_t>& bytes = Bytes();
    bytes.insert(bytes.begin() + FirstItemOffset, item.Bytes().begin(), item.Bytes().end());
    IncCount();
    SetPosition(FirstItemOffset);
    return itemID;
}

int32_t TCVClipboardStream::WalkItems(int32_t Limit, int64_t& End,
                                      const std::function<bool(uint32_t, int64_t, int64_t)>& Visit)
{
    End = FirstItemOffset;
    int32_t passed = 0;
    uint32_t id = 0;
    int64_t size = 0;
    while (passed < Limit && ItemAt(End, id, size)) {
        if (Visit && !Visit(id, End, size))
            break;
        End += size;
        ++passed;
    }
    return passed;
}

void TCVClipboardStream::TrimToCount(int32_t N)
{
    if (N >= GetCount())
        return;
    int64_t end = 0;
    const int32_t passed = WalkItems(N, end);
    SetSize(std::min(end, Size()));
    SetCount(passed);
}

bool TCVClipboardStream::FindItem(uint32_t ItemID, int64_t& Start, int64_t& End)
{
    bool found = false;
    int64_t end = 0;
    WalkItems(GetCount(), end, [&](uint32_t ID, int64_t ItemStart, int64_t ItemSize) {
        if (ID != ItemID)
            return true;
        found = true;
        Start = ItemStart;
        End = ItemStart + ItemSize;
        return false;
    });
    return found;
}

void TCVClipboardStream::DeleteSection(int64_t Start, int64_t End)
{
    if (Start < 0 || End <= Start || End > Size())
        throw Exception("Delete Section - Invalid positions");
    std::vector<uint8_t>& bytes = Bytes();
    bytes.erase(bytes.begin() + Start, bytes.begin() + End);
    if (Position() > Size())
        SetPosition(Size());
}

bool TCVClipboardStream::DeleteItem(uint32_t ItemID, TBitmap* Bitmap, TColor& Tag)
{
    int64_t start = 0, end = 0;
    if (!FindItem(ItemID, start, end))
        return false;
    DeleteSection(start, end);
    if (DecCount() > 0 && Bitmap) {
        uint32_t id = 0;
        if (!ReadItemAt(FirstItemOffset, id, Bitmap, Tag))
            Bitmap->Assign(nullptr);
    }
    return true;
}

bool TCVClipboardStream::ReadItemAt(int64_t Pos, uint32_t& ItemID, TBitmap* Bitmap, TColor& Tag)
{
    int64_t size = 0;
    uint32_t id = 0;
    if (!ItemAt(Pos, id, size))
        return false;
    try {
        if (Bitmap) {
            // The picture is read from the item's own bytes: a damaged header cannot reach the
            // next item or past the block.
            TBytesStream picture(Memory() + Pos + ItemHeaderSize, size - ItemHeaderSize);
            ReadBMP(picture, *Bitmap);
        }
    } catch (const std::exception&) {
        return false;
    }
    ItemID = id;
    Tag = static_cast<TColor>(GetLE32(Memory() + Pos + 8));
    SetPosition(Pos + size);
    return true;
}

bool TCVClipboardStream::ReadItem(uint32_t& ItemID, TBitmap* Bitmap, TColor& Tag)
{
    return ReadItemAt(Position(), ItemID, Bitmap, Tag);
}

void TCVClipboardStream::GetFirstItem(TBitmap& Bitmap, TColor& Tag)
{
    if (GetCount() < 1)
        throw ECVClipboardStreamError("GetFirstItem - There are no items");
    uint32_t id = 0;
    if (!ReadItemAt(FirstItemOffset, id, &Bitmap, Tag))
        throw ECVClipboardStreamError("GetFirstItem - Error getting item");
}

bool TCVClipboardStream::PromoteItem(uint32_t ItemID, TBitmap* Bitmap, TColor& Tag)
{
    int64_t start = 0, end = 0;
    if (!FindItem(ItemID, start, end))
        return false;
    if (start > FirstItemOffset) {
        std::vector<uint8_t>& bytes = Bytes();
        std::rotate(bytes.begin() + FirstItemOffset, bytes.begin() + start, bytes.begin() + end);
        if (Bitmap) {
            uint32_t id = 0;
            if (!ReadItemAt(FirstItemOffset, id, Bitmap, Tag))
                Bitmap->Assign(nullptr);
        }
    }
    return true;
}

void TCVClipboardStream::LoadBlock(const void* Data, int64_t Size)
{
    Clear();
    if (Size > 0) {
        const auto* p = static_cast<const uint8_t*>(Data);
        Bytes().assign(p, p + Size);
    }
    const int32_t count = GetCount();
    int64_t end = 0;
    if (count < 0 || WalkItems(count, end) < count)
        Clear();
    else if (this->Size() > end)
        SetSize(end);
    SetPosition(0);
}

bool TCVClipboardStream::VisitBlock(const uint8_t* Data, int64_t Size, const TBlockItemVisitor& Visit)
{
    const int32_t count = Data && Size >= FirstItemOffset ? static_cast<int32_t>(GetLE32(Data)) : 0;
    if (count < 0)
        return false;
    // The whole block is checked before any item is shown, as LoadBlock does.
    uint32_t id = 0;
    int64_t size = 0, pos = FirstItemOffset;
    for (int32_t i = 0; i < count; ++i, pos += size)
        if (!HeaderAt(Data, Size, pos, id, size))
            return false;
    pos = FirstItemOffset;
    for (int32_t i = 0; i < count; ++i, pos += size) {
        HeaderAt(Data, Size, pos, id, size);
        Visit(id, static_cast<TColor>(GetLE32(Data + pos + 8)), Data + pos + ItemHeaderSize, size - ItemHeaderSize);
    }
    return true;
}
