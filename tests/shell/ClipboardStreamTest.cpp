#include "ClipboardTestSupport.h"

#include "shell/CVClipbrdStream.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

using namespace clipboard_test;

namespace {

// ---- Raw blocks ---------------------------------------------------------------------------------------
struct TBlock {
    std::vector<uint8_t> Bytes;
    TBlock& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            Bytes.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    TBlock& Raw(const std::vector<uint8_t>& b)
    {
        Bytes.insert(Bytes.end(), b.begin(), b.end());
        return *this;
    }
    // An item whose ItemSize field says Size (default: the true size).
    TBlock& Item(uint32_t ID, TColor Tag, const std::vector<uint8_t>& Picture, std::optional<int64_t> Size = {})
    {
        U32(ID).U32(uint32_t(Size.value_or(int64_t(12 + Picture.size())))).U32(uint32_t(Tag));
        return Raw(Picture);
    }
};

std::vector<uint8_t> BmpBytes(const TBitmap& B)
{
    TMemoryStream s;
    WriteBMP(s, B);
    return s.Bytes();
}

std::vector<uint32_t> IDs(TCVClipboardStream& S)
{
    std::vector<uint32_t> ids;
    S.SetPosition(TCVClipboardStream::FirstItemOffset);
    uint32_t id = 0;
    TColor tag = 0;
    while (S.ReadItem(id, nullptr, tag))
        ids.push_back(id);
    return ids;
}

// The colours of the items' pictures (the colour of pixel (1, 1)), newest first.
std::vector<TColor> Colours(TCVClipboardStream& S)
{
    std::vector<TColor> colours;
    S.SetPosition(TCVClipboardStream::FirstItemOffset);
    uint32_t id = 0;
    TColor tag = 0;
    TBitmap b;
    while (S.ReadItem(id, &b, tag))
        colours.push_back(b.GetPixel(1, 1));
    return colours;
}

class ClipboardStream : public ::testing::Test {
protected:
    TFixedTick Tick{1000};
    TCVClipboardStream Stream;

    // Adds a 3 x 2 picture of Colour; the tick moves on by Step milliseconds afterwards.
    uint32_t Add(TColor Colour, TColor Tag = -1, uint32_t Step = 1)
    {
        const uint32_t id = Stream.AddItem(*Picture(3, 2, Colour), Tag);
        TFixedTick::Now += Step;
        return id;
    }
};

// ---- Adding and reading -------------------------------------------------------------------------------
TEST_F(ClipboardStream, AddItemWritesTheLayoutNewestFirst)
{
    const auto first = Picture(3, 2, 0x112233);
    const uint32_t id1 = Stream.AddItem(*first, 0x00FF00);
    const uint32_t id2 = Add(0x445566);
    EXPECT_EQ(id1, 1000u);
    EXPECT_EQ(id2, 1001u) << "the same millisecond: the id is raised past the first";

    const std::vector<uint8_t> bmp = BmpBytes(*first);
    const uint8_t* m = Stream.Memory();
    EXPECT_EQ(Stream.GetCount(), 2);
    // The newer item first; the older one follows it whole.
    const int64_t newer = 12 + int64_t(BmpBytes(*Picture(3, 2, 0x445566)).size());
    const uint8_t* older = m + 4 + newer;
    EXPECT_EQ(older[0] | older[1] << 8 | older[2] << 16 | older[3] << 24, int(id1));
    EXPECT_EQ(older[4] | older[5] << 8, int(12 + bmp.size()));
    EXPECT_EQ(older[8] | older[9] << 8 | older[10] << 16, 0x00FF00);
    EXPECT_EQ(std::vector<uint8_t>(older + 12, older + 12 + bmp.size()), bmp);
    EXPECT_EQ(Stream.Size(), 4 + newer + 12 + int64_t(bmp.size()));

    TBitmap got;
    TColor tag = 0;
    Stream.GetFirstItem(got, tag);
    EXPECT_TRUE(SamePixels(got, *Picture(3, 2, 0x445566)));
    EXPECT_EQ(tag, -1);
}

TEST_F(ClipboardStream, EleventhAddKeepsTenAndDropsTheOldest)
{
    for (int i = 0; i < 11; ++i)
        Add(0x010101 * (i + 1));
    EXPECT_EQ(Stream.GetCount(), 10);
    std::vector<TColor> expected;
    for (int i = 10; i >= 1; --i)
        expected.push_back(0x010101 * (i + 1));
    EXPECT_EQ(Colours(Stream), expected);
}

TEST_F(ClipboardStream, IdsAreUniqueWithinOneMillisecondAndNeverTheForeignId)
{
    // Five copies in the same millisecond.
    std::vector<uint32_t> ids;
    for (int i = 0; i < 5; ++i)
        ids.push_back(Add(0x101010 * i, -1, 0));
    EXPECT_EQ(ids, (std::vector<uint32_t>{1000, 1001, 1002, 1003, 1004}));

    // Deleting one of them removes exactly that picture.
    TColor tag = 0;
    ASSERT_TRUE(Stream.DeleteItem(1002, nullptr, tag));
    EXPECT_EQ(IDs(Stream), (std::vector<uint32_t>{1004, 1003, 1001, 1000}));
    EXPECT_EQ(Colours(Stream), (std::vector<TColor>{0x404040, 0x303030, 0x101010, 0x000000}));

    // A tick count of 0xFFFFFFFF would read as "another program's picture": it wraps to 0.
    TFixedTick::Now = TCVClipboardStream::ForeignItemID;
    EXPECT_EQ(Add(1, -1, 0), 0u);
    EXPECT_EQ(Add(2, -1, 0), 0u + 1) << "0 is taken now";
}

TEST_F(ClipboardStream, IdsFromTheHighHalfOfTheTickRange)
{
    TFixedTick::Now = 0x80000000u;
    const uint32_t high = Add(0xAA0000);
    TFixedTick::Now = 0xFFFFFFF0u;
    const uint32_t higher = Add(0x00AA00);
    const uint32_t low = Add(0x0000AA);
    (void)low;
    TColor tag = 0;
    TBitmap newest;
    ASSERT_TRUE(Stream.DeleteItem(high, &newest, tag));
    EXPECT_EQ(IDs(Stream), (std::vector<uint32_t>{0xFFFFFFF1u, higher}));
    EXPECT_EQ(newest.GetPixel(1, 1), 0x0000AA);
}

// ---- Deleting and promoting ---------------------------------------------------------------------------
TEST_F(ClipboardStream, DeleteItemLoadsTheNewNewestWhenTheFirstGoes)
{
    const uint32_t a = Add(0xA00000, 5);
    const uint32_t b = Add(0x00B000, 7);
    const uint32_t c = Add(0x0000C0, 9);

    TBitmap newest;
    TColor tag = 0;
    ASSERT_TRUE(Stream.DeleteItem(c, &newest, tag));
    EXPECT_EQ(newest.GetPixel(1, 1), 0x00B000);
    EXPECT_EQ(tag, 7);
    EXPECT_EQ(IDs(Stream), (std::vector<uint32_t>{b, a}));

    EXPECT_FALSE(Stream.DeleteItem(12345, &newest, tag));
    EXPECT_EQ(Stream.GetCount(), 2);

    ASSERT_TRUE(Stream.DeleteItem(a, nullptr, tag));
    tag = 99;
    TBitmap untouched;
    ASSERT_TRUE(Stream.DeleteItem(b, &untouched, tag));
    EXPECT_EQ(Stream.GetCount(), 0);
    EXPECT_EQ(Stream.Size(), 4);
    EXPECT_TRUE(untouched.Empty()) << "no item remains to load";
    EXPECT_EQ(tag, 99);
}

TEST_F(ClipboardStream, PromoteMovesOneItemToTheFrontKeepingTheOthersInOrder)
{
    const uint32_t a = Add(0xA00000, 1);
    const uint32_t b = Add(0x00B000, 2);
    const uint32_t c = Add(0x0000C0, 3);
    const uint32_t d = Add(0x0D0D0D, 4);
    const std::vector<uint8_t> before = Stream.Bytes();

    TBitmap promoted;
    TColor tag = 0;
    ASSERT_TRUE(Stream.PromoteItem(b, &promoted, tag));
    EXPECT_EQ(IDs(Stream), (std::vector<uint32_t>{b, d, c, a}));
    EXPECT_EQ(promoted.GetPixel(1, 1), 0x00B000);
    EXPECT_EQ(tag, 2);
    EXPECT_EQ(Stream.Size(), int64_t(before.size()));

    // The newest: found, nothing moves or loads.
    const std::vector<uint8_t> now = Stream.Bytes();
    TBitmap none;
    tag = 77;
    EXPECT_TRUE(Stream.PromoteItem(b, &none, tag));
    EXPECT_EQ(Stream.Bytes(), now);
    EXPECT_TRUE(none.Empty());
    EXPECT_EQ(tag, 77);

    EXPECT_FALSE(Stream.PromoteItem(0xDEAD, &none, tag));
    EXPECT_EQ(Stream.Bytes(), now);
}

TEST_F(ClipboardStream, DeleteSectionChecksItsPositions)
{
    Stream.Bytes() = {0, 1, 2, 3, 4, 5, 6, 7};
    const struct {
        int64_t Start, End;
    } bad[] = {{-1, 3}, {3, 3}, {4, 2}, {0, 9}};
    for (const auto& c : bad) {
        SCOPED_TRACE(std::to_string(c.Start) + ".." + std::to_string(c.End));
        try {
            Stream.DeleteSection(c.Start, c.End);
            ADD_FAILURE() << "nothing raised";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, "Delete Section - Invalid positions");
        }
    }
    Stream.DeleteSection(2, 5);
    EXPECT_EQ(Stream.Bytes(), (std::vector<uint8_t>{0, 1, 5, 6, 7}));
    Stream.DeleteSection(3, 5);
    EXPECT_EQ(Stream.Bytes(), (std::vector<uint8_t>{0, 1, 5}));
}

// ---- Blocks from outside --------------------------------------------------------------------------------
std::string FirstItemError(TCVClipboardStream& S)
{
    TBitmap b;
    TColor tag = 0;
    try {
        S.GetFirstItem(b, tag);
    } catch (const ECVClipboardStreamError& e) {
        return e.Message;
    }
    return "(nothing raised)";
}

TEST(ClipboardBlock, MalformedBlocksCountAsEmpty)
{
    const std::vector<uint8_t> bmp = BmpBytes(*Picture(2, 2, 0x123456));
    const int64_t whole = 12 + int64_t(bmp.size());
    const struct {
        const char* Name;
        TBlock Block;
    } cases[] = {
        {"no bytes", TBlock{}},
        {"three bytes", TBlock{{1, 0, 0}}},
        {"count 0", TBlock{}.U32(0)},
        {"negative count", TBlock{}.U32(uint32_t(-1)).Item(1, -1, bmp)},
        {"item size below its header", TBlock{}.U32(1).Item(1, -1, bmp, 11)},
        {"item size zero", TBlock{}.U32(1).Item(1, -1, bmp, 0)},
        {"item size negative", TBlock{}.U32(1).Item(1, -1, bmp, -12)},
        {"item longer than the block", TBlock{}.U32(1).Item(1, -1, bmp, whole + 1)},
        {"second item missing", TBlock{}.U32(2).Item(1, -1, bmp)},
        {"second item cut short", TBlock{}.U32(2).Item(1, -1, bmp).U32(2).U32(12)},
        {"good item then a bad one", TBlock{}.U32(2).Item(1, -1, bmp).Item(2, -1, bmp, 4)},
        {"huge count", TBlock{}.U32(0x7FFFFFFF).Item(1, -1, bmp)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TCVClipboardStream s;
        s.LoadBlock(c.Block.Bytes.data(), int64_t(c.Block.Bytes.size()));
        EXPECT_EQ(s.GetCount(), 0);
        EXPECT_EQ(s.Position(), 0);
        EXPECT_EQ(FirstItemError(s), "GetFirstItem - There are no items");
        EXPECT_TRUE(IDs(s).empty());
        // Walked where it lies, the block shows no item either.
        int visited = 0;
        TCVClipboardStream::VisitBlock(c.Block.Bytes.data(), int64_t(c.Block.Bytes.size()),
                                       [&](uint32_t, TColor, const uint8_t*, int64_t) { ++visited; });
        EXPECT_EQ(visited, 0);
    }
}

TEST(ClipboardBlock, WellFormedBlocksAreKeptAndTrailingBytesDropped)
{
    const std::vector<uint8_t> a = BmpBytes(*Picture(2, 2, 0x0000AA));
    const std::vector<uint8_t> b = BmpBytes(*Picture(4, 2, 0x00BB00));
    const TBlock block = TBlock{}.U32(2).Item(7, 3, a).Item(9, -1, b).Raw({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
    TCVClipboardStream s;
    s.LoadBlock(block.Bytes.data(), int64_t(block.Bytes.size()));
    EXPECT_EQ(s.GetCount(), 2);
    EXPECT_EQ(s.Size(), int64_t(block.Bytes.size()) - 13);
    EXPECT_EQ(IDs(s), (std::vector<uint32_t>{7, 9}));
    EXPECT_EQ(Colours(s), (std::vector<TColor>{0x0000AA, 0x00BB00}));
    // The same items walked in place: ids, tags and each picture's own bytes.
    std::vector<std::tuple<uint32_t, TColor, std::vector<uint8_t>>> items;
    EXPECT_TRUE(TCVClipboardStream::VisitBlock(block.Bytes.data(), int64_t(block.Bytes.size()),
                                               [&](uint32_t ID, TColor Tag, const uint8_t* P, int64_t N) {
                                                   items.emplace_back(ID, Tag, std::vector<uint8_t>(P, P + N));
                                               }));
    EXPECT_EQ(items, (std::vector<std::tuple<uint32_t, TColor, std::vector<uint8_t>>>{{7, 3, a}, {9, -1, b}}));

    // Count 1 with two items present: only one is read, the rest is not part of the block.
    const TBlock one = TBlock{}.U32(1).Item(7, 3, a).Item(9, -1, b);
    s.LoadBlock(one.Bytes.data(), int64_t(one.Bytes.size()));
    EXPECT_EQ(IDs(s), (std::vector<uint32_t>{7}));
    int64_t start = 0, end = 0;
    EXPECT_FALSE(s.FindItem(9, start, end));
}

TEST(ClipboardBlock, APictureIsReadFromItsOwnItemOnly)
{
    // The first item's picture is cut short; what follows it is a complete second item. Reading the
    // first must fail instead of taking the second item's bytes as the rest of the picture.
    const std::vector<uint8_t> full = BmpBytes(*Picture(2, 2, 0x0000AA));
    const std::vector<uint8_t> cut(full.begin(), full.end() - 6);
    const TBlock block = TBlock{}.U32(2).Item(1, -1, cut).Item(2, 5, full);
    TCVClipboardStream s;
    s.LoadBlock(block.Bytes.data(), int64_t(block.Bytes.size()));
    ASSERT_EQ(s.GetCount(), 2);
    EXPECT_EQ(FirstItemError(s), "GetFirstItem - Error getting item");

    // The good item is still reachable, and promoting it makes it readable as the first.
    TBitmap b;
    TColor tag = 0;
    ASSERT_TRUE(s.PromoteItem(2, &b, tag));
    EXPECT_EQ(tag, 5);
    EXPECT_EQ(b.GetPixel(1, 1), 0x0000AA);
    EXPECT_EQ(FirstItemError(s), "(nothing raised)");

    // An item that is no picture at all.
    const TBlock junk = TBlock{}.U32(1).Item(3, -1, {'B', 'M', 0xFF, 0xFF, 0xFF, 0x7F, 0, 0});
    s.LoadBlock(junk.Bytes.data(), int64_t(junk.Bytes.size()));
    EXPECT_EQ(FirstItemError(s), "GetFirstItem - Error getting item");
}

TEST(ClipboardBlock, OperationsOnUncheckedBytesStayInside)
{
    // Straight into the stream, without LoadBlock: every walk still stops at the bad item.
    const std::vector<uint8_t> bmp = BmpBytes(*Picture(2, 2, 0x0000AA));
    TFixedTick tick(50);
    TCVClipboardStream s;
    s.Bytes() = TBlock{}.U32(5).Item(1, -1, bmp).Item(2, -1, bmp, 0x7FFFFFFF).Bytes;
    int64_t start = 0, end = 0;
    EXPECT_TRUE(s.FindItem(1, start, end));
    EXPECT_FALSE(s.FindItem(2, start, end));
    s.TrimToCount(3);
    EXPECT_EQ(s.GetCount(), 1) << "only one item could be passed";
    EXPECT_EQ(s.Size(), 4 + 12 + int64_t(bmp.size()));
    s.AddItem(*Picture(1, 1, 0), -1);
    EXPECT_EQ(IDs(s), (std::vector<uint32_t>{50, 1}));
}

} // namespace
