// Fuzzes the reader of the program's private clipboard block: loading and checking a block, reading
// every item with its picture, and the editing operations (find, delete, promote, trim, add) on
// both checked and unchecked bytes.
//
// The stream's unit is compiled in here directly: it needs only the drawing layer, while the shell's
// library would pull in every window of the program.
#include "shell/CVClipbrdStream.cpp"

#include <cstdlib>
#include <vector>

namespace {

uint32_t FixedTick() { return 0xFFFFFFFEu; }

// Reads every item; returns their ids.
std::vector<uint32_t> ReadAll(TCVClipboardStream& S)
{
    std::vector<uint32_t> ids;
    S.SetPosition(TCVClipboardStream::FirstItemOffset);
    uint32_t id = 0;
    TColor tag = 0;
    TBitmap bitmap;
    while (S.ReadItem(id, &bitmap, tag))
        ids.push_back(id);
    return ids;
}

// A loaded block is empty or holds exactly Count items back to back.
void CheckLoaded(TCVClipboardStream& S)
{
    if (S.Size() < TCVClipboardStream::FirstItemOffset)
        return;
    const int32_t count = S.GetCount();
    if (count < 0)
        std::abort();
    S.SetPosition(TCVClipboardStream::FirstItemOffset);
    uint32_t id = 0;
    TColor tag = 0;
    int32_t n = 0;
    while (S.ReadItem(id, nullptr, tag))
        ++n;
    if (n != count || S.Position() != S.Size())
        std::abort();
}

void Edit(TCVClipboardStream& S, const uint8_t* Data, size_t Size)
{
    int64_t start = 0, end = 0;
    TColor tag = 0;
    TBitmap bitmap;
    const uint32_t probe = Size >= 8 ? GetLE32(Data + 4) : 0;
    S.FindItem(probe, start, end);
    S.PromoteItem(probe, &bitmap, tag);
    S.DeleteItem(probe, &bitmap, tag);
    try {
        TBitmap first;
        S.GetFirstItem(first, tag);
    } catch (const ECVClipboardStreamError&) {
    }
    S.TrimToCount(Size ? int32_t(Data[0] % 12) - 1 : 0);
    TBitmap small(2, 1, pf24bit);
    S.AddItem(small, -1);
    S.IncCount();
    S.DecCount();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    TCVClipboardStream::TickCount = FixedTick;

    TCVClipboardStream checked;
    checked.LoadBlock(Data, int64_t(Size));
    CheckLoaded(checked);
    const std::vector<uint32_t> ids = ReadAll(checked);
    for (uint32_t id : ids) {
        TCVClipboardStream copy;
        copy.LoadBlock(checked.Memory(), checked.Size());
        TBitmap bitmap;
        TColor tag = 0;
        copy.PromoteItem(id, &bitmap, tag);
        CheckLoaded(copy);
        copy.DeleteItem(id, &bitmap, tag);
        CheckLoaded(copy);
    }
    Edit(checked, Data, Size);
    CheckLoaded(checked);

    // The same operations straight on the bytes, unchecked.
    TCVClipboardStream raw;
    raw.Bytes().assign(Data, Data + Size);
    ReadAll(raw);
    Edit(raw, Data, Size);
    return 0;
}
