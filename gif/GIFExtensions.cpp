// GIF extension blocks and the registries that map labels and application identifiers to classes.
#include "gif/GIFExtensions.h"

#include "gif/GIFFrames.h"
#include "gif/GIFImage.h"
#include "gif/gifstrings.h"

#include <cstring>
#include <utility>

using namespace gifstrings;

// ---- Registries ---------------------------------------------------------------------------------

template <typename T>
static TGIFExtension* CreateExtension(TGIFSubImage* Frame)
{
    return new T(Frame);
}

const TGIFExtensionClassInfo TGIFGraphicControlExtension::ClassInfo = {
    "TGIFGraphicControlExtension", bsGraphicControlExtension, nullptr,
    &CreateExtension<TGIFGraphicControlExtension>};
const TGIFExtensionClassInfo TGIFTextExtension::ClassInfo = {"TGIFTextExtension", bsPlainTextExtension, nullptr,
                                                             &CreateExtension<TGIFTextExtension>};
const TGIFExtensionClassInfo TGIFCommentExtension::ClassInfo = {"TGIFCommentExtension", bsCommentExtension,
                                                                nullptr, &CreateExtension<TGIFCommentExtension>};
const TGIFExtensionClassInfo TGIFApplicationExtension::ClassInfo = {
    "TGIFApplicationExtension", bsApplicationExtension, &TGIFApplicationExtension::FindSubExtension, nullptr};
const TGIFExtensionClassInfo TGIFUnknownAppExtension::ClassInfo = {
    "TGIFUnknownAppExtension", bsApplicationExtension, nullptr, &CreateExtension<TGIFUnknownAppExtension>};
const TGIFExtensionClassInfo TGIFAppExtNSLoop::ClassInfo = {"TGIFAppExtNSLoop", bsApplicationExtension, nullptr,
                                                            &CreateExtension<TGIFAppExtNSLoop>};

static TGIFApplicationRec MakeIdentifier(const char (&Text)[12])
{
    TGIFApplicationRec Result{};
    std::memcpy(Result.data(), Text, Result.size());
    return Result;
}

TGIFExtensionClass FindExtensionClass(uint8_t Label)
{
    // Built once, on first use, by whichever thread comes first.
    static const std::pair<uint8_t, TGIFExtensionClass> Registry[] = {
        {bsPlainTextExtension, &TGIFTextExtension::ClassInfo},
        {bsGraphicControlExtension, &TGIFGraphicControlExtension::ClassInfo},
        {bsCommentExtension, &TGIFCommentExtension::ClassInfo},
        {bsApplicationExtension, &TGIFApplicationExtension::ClassInfo},
    };
    for (size_t i = std::size(Registry); i-- > 0;)
        if (Registry[i].first == Label)
            return Registry[i].second;
    return nullptr;
}

TGIFExtensionClass FindAppExtensionClass(const TGIFApplicationRec& Identifier)
{
    static const std::pair<TGIFApplicationRec, TGIFExtensionClass> Registry[] = {
        {MakeIdentifier("NETSCAPE2.0"), &TGIFAppExtNSLoop::ClassInfo},
        {MakeIdentifier("ANIMEXTS1.0"), &TGIFAppExtNSLoop::ClassInfo},
    };
    for (size_t i = std::size(Registry); i-- > 0;)
        if (Registry[i].first == Identifier)
            return Registry[i].second;
    return nullptr;
}

// ---- Base ---------------------------------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImage* Frame) : TGIFItem(Frame ? Frame->Image() : nullptr), FFrame(Frame) {}

TGIFExtension::~TGIFExtension()
{
    if (FFrame)
        FFrame->Extensions.Remove(this);
}

void TGIFExtension::SaveToStream(TStream& Stream)
{
    const uint8_t Intro[2] = {bsExtensionIntroducer, BlockLabel()};
    Stream.WriteBuffer(Intro, 2);
}

void TGIFExtension::LoadFromStream(TStream& Stream)
{
    uint8_t Intro[2];
    ReadExact(Stream, Intro, 2);
    if (Intro[0] != bsExtensionIntroducer)
        GIFError(sBadExtensionLabel);
    if (Intro[1] != BlockLabel())
        GIFError(sExtensionMismatch);
}

TGIFExtensionClass TGIFExtension::FindExtension(TStream& Stream)
{
    const int64_t Start = Stream.Position();
    uint8_t Label;
    if (!TryReadByte(Stream, Label))
        return nullptr;
    TGIFExtensionClass Class = FindExtensionClass(Label);
    while (Class) {
        const TGIFExtensionClass Next = Class->FindSubExtension ? Class->FindSubExtension(Stream) : Class;
        if (Next == Class)
            break;
        Class = Next;
    }
    Stream.SetPosition(Start);
    return Class;
}

// ---- Graphic control extension --------------------------------------------------------------------

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* Frame) : TGIFExtension(Frame)
{
    if (Frame && !Frame->GraphicControlExtension)
        Frame->GraphicControlExtension = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension()
{
    TGIFSubImage* F = Frame();
    if (F && F->GraphicControlExtension == this) {
        if (GetTransparent())
            F->Transparent = false;
        F->GraphicControlExtension = nullptr;
    }
}

void TGIFGraphicControlExtension::SaveToStream(TStream& Stream)
{
    TGIFExtension::SaveToStream(Stream);
    const uint8_t B[6] = {FRec.BlockSize, FRec.PackedFields, static_cast<uint8_t>(FRec.DelayTime),
                          static_cast<uint8_t>(FRec.DelayTime >> 8), FRec.TransparentColorIndex, FRec.Terminator};
    Stream.WriteBuffer(B, 6);
}

void TGIFGraphicControlExtension::LoadFromStream(TStream& Stream)
{
    TGIFExtension::LoadFromStream(Stream);
    uint8_t B[6] = {FRec.BlockSize, FRec.PackedFields, static_cast<uint8_t>(FRec.DelayTime),
                    static_cast<uint8_t>(FRec.DelayTime >> 8), FRec.TransparentColorIndex, FRec.Terminator};
    const int64_t Got = Stream.Read(B, 6);
    FRec.BlockSize = B[0];
    FRec.PackedFields = B[1];
    FRec.DelayTime = static_cast<uint16_t>(B[2] | (B[3] << 8));
    FRec.TransparentColorIndex = B[4];
    FRec.Terminator = B[5];
    if (Got < 6) {
        Warning(gsWarning, sOutOfData);
        return;
    }
    TGIFSubImage* F = Frame();
    if (GetTransparent() && F && F->GraphicControlExtension == this)
        F->Transparent = true;
}

void TGIFGraphicControlExtension::SetTransparent(bool Value)
{
    FRec.PackedFields = static_cast<uint8_t>(Value ? FRec.PackedFields | 0x01 : FRec.PackedFields & ~0x01);
    TGIFSubImage* F = Frame();
    if (F && F->GraphicControlExtension == this)
        F->Transparent = Value;
}

void TGIFGraphicControlExtension::SetDisposal(int Value)
{
    FRec.PackedFields = static_cast<uint8_t>((FRec.PackedFields & ~0x1C) | ((Value & 0x07) << 2));
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int Value)
{
    const uint8_t Index = static_cast<uint8_t>(Value & 0xFF);
    TGIFSubImage* F = Frame();
    if (F) {
        const TGIFColorMap& Map = F->ActiveColorMap();
        if (Map.Count() > 0 && Index >= Map.Count()) {
            Warning(gsWarning, sBadColorIndex);
            FRec.TransparentColorIndex = 0;
            return;
        }
    }
    FRec.TransparentColorIndex = Index;
}

TColor TGIFGraphicControlExtension::GetTransparentColor()
{
    TGIFSubImage* F = Frame();
    if (!F)
        GIFError(sEmptyColorMap);
    return F->ActiveColorMap().GetColor(FRec.TransparentColorIndex);
}

// ---- Plain text and comment -----------------------------------------------------------------------

TGIFTextExtension::TGIFTextExtension(TGIFSubImage* Frame) : TGIFExtension(Frame)
{
    Header[0] = 12;
}

void TGIFTextExtension::SaveToStream(TStream& Stream)
{
    TGIFExtension::SaveToStream(Stream);
    Stream.WriteBuffer(Header.data(), static_cast<int64_t>(Header.size()));
    WriteSubBlockStrings(Stream, Text);
}

void TGIFTextExtension::LoadFromStream(TStream& Stream)
{
    TGIFExtension::LoadFromStream(Stream);
    ReadExact(Stream, Header.data(), static_cast<int64_t>(Header.size()));
    ReadSubBlockStrings(Stream, Text);
}

void TGIFCommentExtension::SaveToStream(TStream& Stream)
{
    TGIFExtension::SaveToStream(Stream);
    WriteSubBlockStrings(Stream, Text);
}

void TGIFCommentExtension::LoadFromStream(TStream& Stream)
{
    TGIFExtension::LoadFromStream(Stream);
    ReadSubBlockStrings(Stream, Text);
}

// ---- Application extensions -----------------------------------------------------------------------

TGIFExtensionClass TGIFApplicationExtension::FindSubExtension(TStream& Stream)
{
    // Only a complete, registered identifier names a class of its own; every other block (size 10,
    // 12 or more, cut short, or too small to be valid) is read as an unknown application block,
    // which keeps its data raw or reports what is wrong with it.
    const int64_t Start = Stream.Position();
    uint8_t Size;
    TGIFExtensionClass Result = &TGIFUnknownAppExtension::ClassInfo;
    if (TryReadByte(Stream, Size) && Size == 11) {
        TGIFApplicationRec Identifier{};
        if (Stream.Read(Identifier.data(), 11) == 11)
            if (TGIFExtensionClass Registered = FindAppExtensionClass(Identifier))
                Result = Registered;
    }
    Stream.SetPosition(Start);
    return Result;
}

void TGIFApplicationExtension::SaveToStream(TStream& Stream)
{
    TGIFExtension::SaveToStream(Stream);
    WriteByte(Stream, static_cast<uint8_t>(Identifier.size()));
    Stream.WriteBuffer(Identifier.data(), static_cast<int64_t>(Identifier.size()));
    SaveData(Stream);
}

void TGIFApplicationExtension::LoadFromStream(TStream& Stream)
{
    TGIFExtension::LoadFromStream(Stream);
    uint8_t Size;
    ReadExact(Stream, &Size, 1);
    if (Size < 10)
        GIFError(sBadApplicationSize);
    Identifier = {};
    if (Size == 10) {
        ReadExact(Stream, Identifier.data(), 10);
    } else {
        ReadExact(Stream, Identifier.data(), 11);
        uint8_t Skipped[255];
        ReadExact(Stream, Skipped, Size - 11);
    }
    LoadData(Stream);
}

void TGIFBlock::SaveToStream(TStream& Stream) const
{
    WriteByte(Stream, static_cast<uint8_t>(Data.size()));
    Stream.WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
}

void TGIFBlock::LoadFromStream(TStream& Stream)
{
    ReadExact(Stream, Data.data(), static_cast<int64_t>(Data.size()));
}

void TGIFUnknownAppExtension::SaveData(TStream& Stream)
{
    for (const auto& Block : Blocks)
        Block->SaveToStream(Stream);
    WriteByte(Stream, 0);
}

void TGIFUnknownAppExtension::LoadData(TStream& Stream)
{
    Blocks.clear();
    uint8_t Size;
    while (TryReadByte(Stream, Size) && Size != 0) {
        auto Block = std::make_unique<TGIFBlock>(Size);
        Block->LoadFromStream(Stream);
        Blocks.push_back(std::move(Block));
    }
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* Frame) : TGIFApplicationExtension(Frame)
{
    Identifier = MakeIdentifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::SaveData(TStream& Stream)
{
    const uint8_t LoopBlock[4] = {3, 1, static_cast<uint8_t>(Loops), static_cast<uint8_t>(Loops >> 8)};
    Stream.WriteBuffer(LoopBlock, 4);
    if (BufferSize != 0) {
        const uint8_t BufferBlock[6] = {5,
                                        2,
                                        static_cast<uint8_t>(BufferSize),
                                        static_cast<uint8_t>(BufferSize >> 8),
                                        static_cast<uint8_t>(BufferSize >> 16),
                                        static_cast<uint8_t>(BufferSize >> 24)};
        Stream.WriteBuffer(BufferBlock, 6);
    }
    WriteByte(Stream, 0);
}

void TGIFAppExtNSLoop::LoadData(TStream& Stream)
{
    int N = ReadByte(Stream);
    while (N != 0) {
        const uint8_t Id = ReadByte(Stream);
        int Rest = N - 1;
        if ((Id & 0x07) == 1) {
            if (Rest < 2)
                GIFError(sInvalidData);
            uint8_t B[2];
            ReadExact(Stream, B, 2);
            Loops = static_cast<uint16_t>(B[0] | (B[1] << 8));
            Rest = N - 3;
        } else if ((Id & 0x07) == 2) {
            if (Rest < 4)
                GIFError(sInvalidData);
            uint8_t B[4];
            ReadExact(Stream, B, 4);
            BufferSize = uint32_t(B[0]) | (uint32_t(B[1]) << 8) | (uint32_t(B[2]) << 16) | (uint32_t(B[3]) << 24);
            Rest = N - 5;
        }
        if (Rest > 0)
            Stream.Seek(Rest, soCurrent);
        N = ReadByte(Stream);
    }
}
