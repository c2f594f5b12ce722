#pragma once
// GIF extension blocks: graphic control, plain text, comment and application extensions (with the
// animation loop extension), and the registries that choose the class that reads a block.
#include "gif/GIFTypes.h"

#include <array>
#include <memory>
#include <vector>

class TGIFExtension;

// A class reference for extensions: what the registries hold and FindExtension returns.
struct TGIFExtensionClassInfo {
    const char* ClassName;
    uint8_t Label;
    // The class that reads the block at the stream (just after the label); null means this class.
    const TGIFExtensionClassInfo* (*FindSubExtension)(TStream& Stream);
    // Creates an instance for a frame; null for an abstract class.
    TGIFExtension* (*Create)(TGIFSubImage* Frame);
};
using TGIFExtensionClass = const TGIFExtensionClassInfo*;

constexpr uint8_t bsExtensionIntroducer = 0x21;
constexpr uint8_t bsPlainTextExtension = 0x01;
constexpr uint8_t bsGraphicControlExtension = 0xF9;
constexpr uint8_t bsCommentExtension = 0xFE;
constexpr uint8_t bsApplicationExtension = 0xFF;

class TGIFExtension : public TGIFItem {
public:
    explicit TGIFExtension(TGIFSubImage* Frame);
    // Leaves the frame's extension list.
    ~TGIFExtension() override;

    virtual TGIFExtensionClass ClassType() const = 0;
    uint8_t BlockLabel() const { return ClassType()->Label; }
    int GetVersion() const override { return gv89a; }
    // Writes the introducer and the label.
    void SaveToStream(TStream& Stream) override;
    // Reads and checks the introducer and the label.
    void LoadFromStream(TStream& Stream) override;

    // The class that reads the extension starting at the stream (positioned just after the 0x21
    // byte); the stream is left where it was. Null when no class is registered for the label.
    static TGIFExtensionClass FindExtension(TStream& Stream);

    TGIFSubImage* Frame() const { return FFrame; }

private:
    TGIFSubImage* FFrame;
};

// Disposal methods of the graphic control extension.
enum TDisposalMethod : uint8_t { dmNone = 0, dmNoDisposal = 1, dmBackground = 2, dmPrevious = 3 };

// The 6 bytes after 0x21 0xF9, kept as read.
struct TGIFGCExtensionRec {
    uint8_t BlockSize = 4;
    uint8_t PackedFields = 0; // bit 0 transparent; bit 1 user input; bits 2-4 disposal
    uint16_t DelayTime = 0;
    uint8_t TransparentColorIndex = 0;
    uint8_t Terminator = 0;
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    static const TGIFExtensionClassInfo ClassInfo;
    // Becomes the frame's graphic control extension when the frame has none yet.
    explicit TGIFGraphicControlExtension(TGIFSubImage* Frame);
    ~TGIFGraphicControlExtension() override;
    TGIFExtensionClass ClassType() const override { return &ClassInfo; }
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    bool GetTransparent() const { return (FRec.PackedFields & 0x01) != 0; }
    void SetTransparent(bool Value);
    bool UserInput() const { return (FRec.PackedFields & 0x02) != 0; }
    uint8_t GetDisposal() const { return (FRec.PackedFields >> 2) & 0x07; }
    void SetDisposal(int Value);
    uint16_t GetDelay() const { return FRec.DelayTime; }
    void SetDelay(uint16_t Value) { FRec.DelayTime = Value; }
    uint8_t TransparentColorIndex() const { return FRec.TransparentColorIndex; }
    void SetTransparentColorIndex(int Value);
    TColor GetTransparentColor();
    const TGIFGCExtensionRec& Rec() const { return FRec; }

private:
    TGIFGCExtensionRec FRec;
};

class TGIFTextExtension : public TGIFExtension {
public:
    static const TGIFExtensionClassInfo ClassInfo;
    explicit TGIFTextExtension(TGIFSubImage* Frame);
    TGIFExtensionClass ClassType() const override { return &ClassInfo; }
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    TStringList Text;
    // The plain text header, kept raw: block size (12), grid left, top, width, height (16 bits
    // each), cell width, cell height, foreground and background colour index.
    std::array<uint8_t, 13> Header{};
};

class TGIFCommentExtension : public TGIFExtension {
public:
    static const TGIFExtensionClassInfo ClassInfo;
    explicit TGIFCommentExtension(TGIFSubImage* Frame) : TGIFExtension(Frame) {}
    TGIFExtensionClass ClassType() const override { return &ClassInfo; }
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    TStringList Text;
};

using TGIFApplicationRec = std::array<uint8_t, 11>; // 8-byte name, 3-byte authentication code

class TGIFApplicationExtension : public TGIFExtension {
public:
    static const TGIFExtensionClassInfo ClassInfo;
    explicit TGIFApplicationExtension(TGIFSubImage* Frame) : TGIFExtension(Frame) {}
    TGIFExtensionClass ClassType() const override { return &ClassInfo; }
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
    static TGIFExtensionClass FindSubExtension(TStream& Stream);

    TGIFApplicationRec Identifier{};

protected:
    virtual void SaveData(TStream& Stream) = 0;
    virtual void LoadData(TStream& Stream) = 0;
};

// One raw data sub-block.
class TGIFBlock {
public:
    explicit TGIFBlock(int Size) : Data(static_cast<size_t>(Size), 0) {}
    int Size() const { return static_cast<int>(Data.size()); }
    void SaveToStream(TStream& Stream) const;
    void LoadFromStream(TStream& Stream);
    std::vector<uint8_t> Data;
};

// An application extension that the codec does not interpret: its data sub-blocks are kept raw.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClassInfo ClassInfo;
    explicit TGIFUnknownAppExtension(TGIFSubImage* Frame) : TGIFApplicationExtension(Frame) {}
    TGIFExtensionClass ClassType() const override { return &ClassInfo; }

    std::vector<std::unique_ptr<TGIFBlock>> Blocks;

protected:
    void SaveData(TStream& Stream) override;
    void LoadData(TStream& Stream) override;
};

// The animation loop extension ("NETSCAPE2.0", also read for "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    static const TGIFExtensionClassInfo ClassInfo;
    explicit TGIFAppExtNSLoop(TGIFSubImage* Frame);
    TGIFExtensionClass ClassType() const override { return &ClassInfo; }

    uint16_t Loops = 0; // 0: repeat without end
    uint32_t BufferSize = 0;

protected:
    void SaveData(TStream& Stream) override;
    void LoadData(TStream& Stream) override;
};

// The registries (built once, thread-safe): the class for a label and for an application identifier,
// searched from the last registration to the first; null when none.
TGIFExtensionClass FindExtensionClass(uint8_t Label);
TGIFExtensionClass FindAppExtensionClass(const TGIFApplicationRec& Identifier);
