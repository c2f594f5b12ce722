#pragma once
// Pictures and literal reference implementations shared by the colour-reduction and frame tests.
#include "gif/GIFColorReduction.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace reduce_test {

inline TRGBQuad Q(int R, int G, int B, int Flags = 0)
{
    return TRGBQuad{uint8_t(B), uint8_t(G), uint8_t(R), uint8_t(Flags)};
}

inline std::unique_ptr<TBitmap> Picture(int W, int H, const std::function<TRGBTriple(int, int)>& Pixel)
{
    auto B = std::make_unique<TBitmap>(W, H, pf24bit);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            B->Row24(Y)[X] = Pixel(X, Y);
    return B;
}

// Random colours; Levels > 0 limits each channel to that many values.
inline std::unique_ptr<TBitmap> RandomPicture(int W, int H, unsigned Seed, int Levels = 0)
{
    std::mt19937 Rng(Seed);
    auto Channel = [&]() -> uint8_t {
        if (Levels <= 1)
            return uint8_t(Rng() & 0xFF);
        return uint8_t((Rng() % Levels) * 255 / (Levels - 1));
    };
    return Picture(W, H, [&](int, int) {
        const uint8_t B = Channel(), G = Channel(), R = Channel();
        return TRGBTriple{B, G, R};
    });
}

inline std::vector<uint8_t> Indices(const TBitmap& B)
{
    std::vector<uint8_t> V;
    for (int Y = 0; Y < B.Height(); ++Y)
        V.insert(V.end(), B.ScanLine(Y), B.ScanLine(Y) + B.Width());
    return V;
}

inline std::vector<TRGBTriple> Pixels(const TBitmap& B)
{
    std::vector<TRGBTriple> V;
    TRGBRowReader Reader(B);
    for (int Y = 0; Y < B.Height(); ++Y)
        V.insert(V.end(), Reader.Row(Y), Reader.Row(Y) + B.Width());
    return V;
}

inline bool SameColor(const TRGBQuad& A, const TRGBQuad& B)
{
    return A.rgbRed == B.rgbRed && A.rgbGreen == B.rgbGreen && A.rgbBlue == B.rgbBlue;
}

inline int Key(int R, int G, int B) { return (R << 16) | (G << 8) | B; }
inline int Key(const TRGBQuad& E) { return Key(E.rgbRed, E.rgbGreen, E.rgbBlue); }
inline int Key(const TRGBTriple& T) { return Key(T.rgbtRed, T.rgbtGreen, T.rgbtBlue); }

// ---- A literal octree, node by node as the algorithm is written down ----------------------------
struct RefOctree {
    struct Node {
        bool Leaf = false;
        uint64_t N = 0, R = 0, G = 0, B = 0;
        Node* Next = nullptr;
        Node* Child[8] = {};
    };
    int MaxColors, Bits, Leaves = 0;
    Node* Root = nullptr;
    Node* Reducible[8] = {};
    std::vector<std::unique_ptr<Node>> Pool;

    RefOctree(int MaxColors, int Bits) : MaxColors(MaxColors), Bits(Bits) {}
    Node* Create(int Level)
    {
        Pool.push_back(std::make_unique<Node>());
        Node* N = Pool.back().get();
        if (Level == Bits) {
            N->Leaf = true;
            ++Leaves;
        } else {
            N->Next = Reducible[Level];
            Reducible[Level] = N;
        }
        return N;
    }
    void Add(Node*& N, int R, int G, int B, int Level)
    {
        if (!N)
            N = Create(Level);
        if (N->Leaf) {
            ++N->N;
            N->R += R;
            N->G += G;
            N->B += B;
            return;
        }
        const int Mask = 0x80 >> Level, Shift = 7 - Level;
        const int I = (((R & Mask) >> Shift) << 2) + (((G & Mask) >> Shift) << 1) + ((B & Mask) >> Shift);
        Add(N->Child[I], R, G, B, Level + 1);
    }
    void Reduce()
    {
        int L = Bits - 1;
        while (L > 0 && !Reducible[L])
            --L;
        Node* N = Reducible[L];
        Reducible[L] = N->Next;
        int Count = 0;
        for (Node*& C : N->Child)
            if (C) {
                N->N += C->N;
                N->R += C->R;
                N->G += C->G;
                N->B += C->B;
                C = nullptr;
                ++Count;
            }
        N->Leaf = true;
        Leaves -= Count - 1;
    }
    void Collect(Node* N, std::vector<TRGBQuad>& Out)
    {
        if (N->Leaf) {
            Out.push_back(Q(int(N->R / N->N), int(N->G / N->N), int(N->B / N->N)));
            return;
        }
        for (Node* C : N->Child)
            if (C)
                Collect(C, Out);
    }
    std::vector<TRGBQuad> Run(const TBitmap& B)
    {
        for (const TRGBTriple& P : Pixels(B)) {
            Add(Root, P.rgbtRed, P.rgbtGreen, P.rgbtBlue, 0);
            while (Leaves > MaxColors)
                Reduce();
        }
        std::vector<TRGBQuad> Out;
        Collect(Root, Out);
        return Out;
    }
};

// ---- A literal ditherer -------------------------------------------------------------------------
// A kernel as rows of weights at offsets -3..+3 from the pixel (row 0 = the current line).
struct RefKernel {
    int Divisor;
    std::vector<std::array<int, 7>> Rows;
};

inline const RefKernel& KernelOf(int Mode)
{
    static const std::vector<RefKernel> Kernels = {
        {1, {}},
        {16, {{0, 0, 0, 0, 7, 0, 0}, {0, 0, 3, 5, 1, 0, 0}}},
        {42, {{0, 0, 0, 0, 8, 4, 0}, {0, 2, 4, 8, 4, 2, 0}, {0, 1, 2, 4, 2, 1, 0}}},
        {32, {{0, 0, 0, 0, 5, 3, 0}, {0, 2, 4, 5, 4, 2, 0}, {0, 0, 2, 3, 2, 0, 0}}},
        {48, {{0, 0, 0, 0, 7, 5, 0}, {0, 3, 5, 7, 5, 3, 0}, {0, 1, 3, 5, 3, 1, 0}}},
        {200,
         {{0, 0, 0, 0, 0, 32, 0}, {12, 0, 26, 0, 30, 0, 16}, {0, 12, 0, 26, 0, 12, 0}, {5, 0, 12, 0, 12, 0, 5}}},
        {32, {{0, 0, 0, 0, 8, 4, 0}, {0, 2, 4, 8, 4, 2, 0}}},
    };
    return Kernels[Mode];
}

using RefLookup = std::function<int(int, int, int, int&, int&, int&)>;

// Serpentine error diffusion over the whole picture; pixels for which Skip is true get SkipIndex
// and take no part.
inline std::vector<uint8_t> RefDither(const TBitmap& B, int Mode, const RefLookup& Lookup,
                               const std::function<bool(const TRGBTriple&)>& Skip = nullptr, int SkipIndex = 0)
{
    const int W = B.Width(), H = B.Height();
    const RefKernel& K = KernelOf(Mode);
    std::vector<int> Err(size_t(W) * H * 3, 0);
    std::vector<uint8_t> Out(size_t(W) * H);
    const std::vector<TRGBTriple> Src = Pixels(B);
    for (int Y = 0; Y < H; ++Y) {
        const int Dir = Y % 2 == 0 ? 1 : -1;
        for (int I = 0; I < W; ++I) {
            const int X = Dir > 0 ? I : W - 1 - I;
            const TRGBTriple& P = Src[size_t(Y) * W + X];
            if (Skip && Skip(P)) {
                Out[size_t(Y) * W + X] = uint8_t(SkipIndex);
                continue;
            }
            const int In[3] = {P.rgbtRed, P.rgbtGreen, P.rgbtBlue};
            int V[3];
            for (int C = 0; C < 3; ++C) {
                V[C] = In[C];
                if (Mode != DitherNone)
                    V[C] += (Err[(size_t(Y) * W + X) * 3 + C] + K.Divisor / 2) / K.Divisor;
                V[C] = std::clamp(V[C], 0, 255);
            }
            int Chosen[3];
            Out[size_t(Y) * W + X] = uint8_t(Lookup(V[0], V[1], V[2], Chosen[0], Chosen[1], Chosen[2]));
            for (size_t DY = 0; DY < K.Rows.size(); ++DY)
                for (int DX = -3; DX <= 3; ++DX) {
                    const int Wt = K.Rows[DY][DX + 3];
                    const int XX = X + Dir * DX, YY = Y + int(DY);
                    if (Wt == 0 || XX < 0 || XX >= W || YY >= H)
                        continue;
                    for (int C = 0; C < 3; ++C)
                        Err[(size_t(YY) * W + XX) * 3 + C] += (V[C] - Chosen[C]) * Wt;
                }
        }
    }
    return Out;
}

// The reference lookups of the methods.
inline RefLookup RefMono()
{
    return [](int R, int G, int B, int& r, int& g, int& b) {
        const bool White = R * 77 + G * 150 + B * 29 >= 32513;
        r = g = b = White ? 255 : 0;
        return White ? 1 : 0;
    };
}
inline RefLookup RefGray()
{
    return [](int R, int G, int B, int& r, int& g, int& b) {
        r = g = b = (R * 77 + G * 150 + B * 29) / 256;
        return r;
    };
}
inline RefLookup RefCube()
{
    return [](int R, int G, int B, int& r, int& g, int& b) {
        const int i = (R + 3) / 51, j = (G + 3) / 51, k = (B + 3) / 51;
        r = i * 51;
        g = j * 51;
        b = k * 51;
        return i * 36 + j * 6 + k;
    };
}
// Nearest entry by absolute differences, decided once per 5-bit-per-channel cell.
inline RefLookup RefPalette(TGIFPalette Pal)
{
    auto Cells = std::make_shared<std::vector<int>>(32768, -1);
    for (size_t i = 0; i < Pal.size(); ++i) {
        int& Cell = (*Cells)[(Pal[i].rgbRed / 8) + (Pal[i].rgbGreen / 8) * 32 + (Pal[i].rgbBlue / 8) * 1024];
        if (Cell < 0)
            Cell = int(i);
    }
    return [Cells, Pal](int R, int G, int B, int& r, int& g, int& b) {
        int& Cell = (*Cells)[(R / 8) + (G / 8) * 32 + (B / 8) * 1024];
        if (Cell < 0) {
            int Best = 1 << 30;
            for (size_t i = 0; i < Pal.size(); ++i) {
                const int D = std::abs(R - Pal[i].rgbRed) + std::abs(G - Pal[i].rgbGreen) + std::abs(B - Pal[i].rgbBlue);
                if (D < Best) {
                    Best = D;
                    Cell = int(i);
                }
            }
        }
        r = Pal[Cell].rgbRed;
        g = Pal[Cell].rgbGreen;
        b = Pal[Cell].rgbBlue;
        return Cell;
    };
}

} // namespace reduce_test
