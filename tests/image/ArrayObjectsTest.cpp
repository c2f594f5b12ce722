#include "image/ArrayObjects.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

template <typename E>
void ExpectRaises(const std::function<void()>& Call, const char* Message)
{
    try {
        Call();
        ADD_FAILURE() << "no exception, expected " << Message;
    } catch (const E& e) {
        EXPECT_EQ(e.Message, Message);
    }
}

// Each array class raises its own exception class with the same texts.
template <typename TArray>
class Arrays : public ::testing::Test {};
using ArrayTypes = ::testing::Types<TByte2DArray, TBool2DArray>;
TYPED_TEST_SUITE(Arrays, ArrayTypes);

template <typename TArray> struct ErrorOf;
template <> struct ErrorOf<TByte2DArray> { using Type = EByte2DArrayError; };
template <> struct ErrorOf<TBool2DArray> { using Type = EBool2DArrayError; };

TYPED_TEST(Arrays, InvalidIndicesAndDimensionsRaiseAndChangeNothing)
{
    using E = typename ErrorOf<TypeParam>::Type;
    TypeParam a;
    a.SetSize(3, 2);
    a.SetItem(2, 1, 1);

    const struct {
        int X, Y;
    } outside[] = {{3, 0}, {0, -1}, {-1, 0}, {0, 2}, {3, 2}};
    for (const auto& p : outside) {
        SCOPED_TRACE(testing::Message() << p.X << "," << p.Y);
        EXPECT_FALSE(a.ValidIndex(p.X, p.Y));
        ExpectRaises<E>([&] { a.GetItem(p.X, p.Y); }, "GetItem - Invalid Index");
        ExpectRaises<E>([&] { a.SetItem(p.X, p.Y, 1); }, "SetItem - Invalid Index");
    }
    for (const auto& size : {std::pair{-1, 5}, std::pair{5, -1}}) {
        ExpectRaises<E>([&] { a.SetSize(size.first, size.second); }, "SetSize - Invalid Dimensions");
        EXPECT_EQ(a.Width, 3);
        EXPECT_EQ(a.Height, 2);
        EXPECT_EQ(a.GetItem(2, 1), 1);
    }

    a.SetSize(0, 0);
    ExpectRaises<E>([&] { a.GetItem(0, 0); }, "GetItem - Invalid Index");
    a.SetSize(0, 4); // empty on one axis only
    ExpectRaises<E>([&] { a.GetItem(0, 0); }, "GetItem - Invalid Index");
}

TYPED_TEST(Arrays, ResizingKeepsOverlapAndZeroesNewItems)
{
    TypeParam a;
    a.SetSize(3, 3);
    for (int x = 0; x < 3; ++x)
        for (int y = 0; y < 3; ++y)
            a.SetItem(x, y, (x + 2 * y) % 2);
    a.SetSize(2, 4); // narrower and taller
    for (int x = 0; x < 2; ++x) {
        for (int y = 0; y < 4; ++y) {
            const int expected = y < 3 ? (x + 2 * y) % 2 : 0;
            EXPECT_EQ(a.GetItem(x, y), expected) << x << "," << y;
        }
    }
    a.SetSize(4, 1); // wider and shorter: column 2 was dropped, so it comes back as 0
    EXPECT_EQ(a.GetItem(1, 0), 1);
    EXPECT_EQ(a.GetItem(2, 0), 0);
    EXPECT_EQ(a.GetItem(3, 0), 0);

    a.ResetItems();
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(a.GetItem(x, 0), 0);
    a.Clear();
    EXPECT_EQ(a.Width, 0);
    EXPECT_EQ(a.Height, 0);
    EXPECT_EQ(a.Data(), nullptr);
}

TYPED_TEST(Arrays, UncheckedAccessMeansXThenY)
{
    TypeParam a;
    a.SetSize(4, 3);
    a.SetItem(3, 0, 1);
    a.Item(1, 2) = 1;
    EXPECT_EQ(a.UncheckedItem(3, 0), 1);
    EXPECT_EQ(a.GetItem(1, 2), 1);
    EXPECT_EQ(a.Row(0)[3], 1);
    EXPECT_EQ(a.Row(2)[1], 1);
    EXPECT_EQ(a.UncheckedItem(0, 3 - 1), 0);

    TypeParam copy = a; // a deep copy
    a.SetItem(3, 0, 0);
    EXPECT_EQ(copy.GetItem(3, 0), 1);
}

TEST(Byte2DArray, HoldsWholeBytes)
{
    TByte2DArray a;
    a.SetSize(2, 2);
    a.SetItem(1, 1, 200);
    EXPECT_EQ(a.GetItem(1, 1), 200);
}

TEST(Bool2DArray, FillAndAssign)
{
    TBool2DArray a;
    a.SetSize(3, 2);
    a.Fill(true);
    EXPECT_TRUE(a.GetItem(2, 1));

    TBool2DArray b;
    b.SetSize(10, 10);
    b.SetItem(9, 9, true);
    b.Assign(&a); // takes the source's size exactly, nothing kept from its own
    EXPECT_EQ(b.Width, 3);
    EXPECT_EQ(b.Height, 2);
    EXPECT_TRUE(b.GetItem(0, 0));
    EXPECT_FALSE(b.ValidIndex(9, 9));
    b.Assign(&b);
    EXPECT_TRUE(b.GetItem(2, 1));

    b.Assign(nullptr);
    EXPECT_EQ(b.Width, 0);
    EXPECT_EQ(b.Height, 0);
    ExpectRaises<EBool2DArrayError>([&] { b.GetItem(0, 0); }, "GetItem - Invalid Index");
}

} // namespace
