#pragma once
// Two-dimensional arrays of bytes and Booleans indexed [X][Y]: masks, edge maps and other per-pixel
// facts. In a mask, True means the pixel is masked out (left alone by the operation).
//
// Items are stored in one block, row by row (index Y * Width + X), so that a row of the mask lies
// beside the row of the picture it belongs to. GetItem and SetItem check the index; Item,
// UncheckedItem and Row do not and are meant for loops that have checked the bounds once.
#include "platform/SysUtils.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

CANVELLO_EXCEPTION(EByte2DArrayError, Exception)
CANVELLO_EXCEPTION(EBool2DArrayError, Exception)

class TCustom2DArray {
public:
    virtual ~TCustom2DArray() = default;

    // Read-only: set through SetSize, Clear and Assign.
    int32_t Width = 0;
    int32_t Height = 0;

    bool ValidIndex(int X, int Y) const { return X >= 0 && X < Width && Y >= 0 && Y < Height; }

    // A negative side raises "SetSize - Invalid Dimensions" and changes nothing; items inside both
    // the old and the new size keep their values, new items are 0 (False).
    virtual void SetSize(int W, int H) = 0;
    virtual void ResetItems() = 0;
    // Releases the items (descendants) and sets Width and Height to 0.
    virtual void Clear();

protected:
    TCustom2DArray() = default;
    TCustom2DArray(const TCustom2DArray&) = default;
    TCustom2DArray& operator=(const TCustom2DArray&) = default;
};

// The storage and access shared by the byte and Boolean arrays; TError is the array's exception.
template <typename T, typename TError>
class T2DArrayOf : public TCustom2DArray {
public:
    T2DArrayOf() = default;
    T2DArrayOf(const T2DArrayOf& Other) { CopyFrom(Other); }
    T2DArrayOf& operator=(const T2DArrayOf& Other)
    {
        if (this != &Other)
            CopyFrom(Other);
        return *this;
    }

    void SetSize(int W, int H) override
    {
        if (W < 0 || H < 0)
            throw TError("SetSize - Invalid Dimensions");
        if (W == Width && H == Height)
            return;
        std::unique_ptr<T[]> items = Allocate(int64_t(W) * H);
        const int copyW = std::min(W, Width), copyH = std::min(H, Height);
        for (int y = 0; copyW > 0 && y < copyH; ++y)
            std::memcpy(items.get() + size_t(y) * W, FItems.get() + size_t(y) * Width, sizeof(T) * copyW);
        FItems = std::move(items);
        Width = W;
        Height = H;
    }

    void ResetItems() override { FillWith(T{}); }

    void Clear() override
    {
        FItems.reset();
        TCustom2DArray::Clear();
    }

    virtual void SetItem(int X, int Y, T Value)
    {
        if (!ValidIndex(X, Y))
            throw TError("SetItem - Invalid Index");
        Item(X, Y) = Value;
    }

    virtual T GetItem(int X, int Y) const
    {
        if (!ValidIndex(X, Y))
            throw TError("GetItem - Invalid Index");
        return Item(X, Y);
    }

    // Unchecked access: the caller guarantees ValidIndex(X, Y).
    T& Item(int X, int Y) { return FItems[size_t(Y) * Width + X]; }
    const T& Item(int X, int Y) const { return FItems[size_t(Y) * Width + X]; }
    T UncheckedItem(int X, int Y) const { return Item(X, Y); }
    // The Width items of row Y (0 <= Y < Height), X ascending.
    T* Row(int Y) { return FItems.get() + size_t(Y) * Width; }
    const T* Row(int Y) const { return FItems.get() + size_t(Y) * Width; }
    // All items, Height rows of Width; nullptr when empty.
    T* Data() { return FItems.get(); }
    const T* Data() const { return FItems.get(); }

protected:
    void FillWith(T Value)
    {
        const size_t n = size_t(Width) * Height;
        for (size_t i = 0; i < n; ++i)
            FItems[i] = Value;
    }

    // Takes Source's size and every item; the storage is built first, so a failure changes nothing.
    void CopyFrom(const T2DArrayOf& Source)
    {
        std::unique_ptr<T[]> items = Allocate(int64_t(Source.Width) * Source.Height);
        if (items)
            std::memcpy(items.get(), Source.FItems.get(), sizeof(T) * size_t(Source.Width) * Source.Height);
        FItems = std::move(items);
        Width = Source.Width;
        Height = Source.Height;
    }

private:
    static std::unique_ptr<T[]> Allocate(int64_t Count)
    {
        if (Count == 0)
            return nullptr;
        try {
            return std::make_unique<T[]>(size_t(Count)); // value-initialised: 0 / false
        } catch (const std::bad_alloc&) {
            throw EOutOfMemory("Out of memory");
        }
    }

    std::unique_ptr<T[]> FItems;
};

class TByte2DArray : public T2DArrayOf<uint8_t, EByte2DArrayError> {};

class TBool2DArray : public T2DArrayOf<bool, EBool2DArrayError> {
public:
    void Fill(bool Value) { FillWith(Value); }
    // Copies Source's size and items; a null Source leaves the array empty.
    void Assign(const TBool2DArray* Source)
    {
        if (!Source)
            Clear();
        else if (Source != this)
            CopyFrom(*Source);
    }
};
