#pragma once
// The floating selection: pixels lifted out of (or pasted onto) a parent picture, held in a picture
// of their own with their place on the parent, an optional transparent colour and the mask made
// from it, the marching-ants outline, and the effects applied to the lifted pixels alone.
#include "image/AntsTimer.h"
#include "image/ArrayObjects.h"
#include "image/EffectsBitmap.h"
#include "image/SelPoints.h"

#include <functional>
#include <memory>

class QImage;

// "There was an error creating selection. %s"
extern const char* const kSelectionCreateError;
// "Unable not find a suitable transparent colour"
extern const char* const kNoTransparentColour;

class TPictureSelection {
public:
    static constexpr int kAntsInterval = 400; // ms

    // Raises EPicSelectionError (the creation error around "Parent Bitmap is invalid") when
    // ParentBitmap is null or empty. The parent is not owned.
    explicit TPictureSelection(TBitmap* ParentBitmap);
    virtual ~TPictureSelection();
    TPictureSelection(const TPictureSelection&) = delete;
    TPictureSelection& operator=(const TPictureSelection&) = delete;

    // Calls OnChange; fired by every ants tick.
    virtual void Changed();
    // Takes Source's shape, pixels, place, mask, transparency, outline, ants phase and change
    // handler (not its timer). Nothing for null.
    virtual void Assign(const TPictureSelection* Source);
    // A new picture at TopLeft: with a transparent colour (>= 0) trimmed to its content and masked.
    // Nothing for null. Stops the ants.
    virtual void SetPicture(TBitmap* Bitmap, TPoint TopLeft, TColor TransparentColour);
    // Puts the picture on the program's clipboard (tagged with the transparent colour when masked).
    // False on any failure; never raises.
    virtual bool CopyToClipboard();

    // Empties the picture, outline and mask and stops the ants.
    void ClearSelection();

    // ---- State ----------------------------------------------------------------------------------
    TBitmap* ParentBitmap() const { return FParentBitmap; }
    TEffectsBitmap& Picture() { return *FPicture; }
    const TEffectsBitmap& Picture() const { return *FPicture; }
    // In parent pixels, right and bottom exclusive; always the size of Picture.
    const TRect& Bounds() const { return FBounds; }
    bool Irregular() const { return FIrregular; }
    bool Transparent() const { return FTransparent; }
    TColor TransparentColour() const { return FTransparentColour; }
    // Stores a new transparent colour and repaints the masked pixels in it.
    void SetTransparentColour(TColor Colour);
    bool HasMask() const { return FMask != nullptr; }
    // True items are not part of the selection; null without a mask.
    const TBool2DArray* Mask() const { return FMask.get(); }
    const TPicSelectionPoints& Outline() const { return *FOutline; }
    int32_t OutlineZoom() const { return FOutlineZoom; }
    int32_t AntsPhase() const { return FAntsPhase; }
    bool AntsRunning() const { return FAntsTimer != nullptr; }

    std::function<void(TPictureSelection* Sender)> OnChange;
    // Kept for the owning window (it marks a selection being dragged); cleared by ClearSelection.
    bool Moving = false;

    // ---- Placement --------------------------------------------------------------------------------
    void MoveTo(int32_t X, int32_t Y);
    void MoveBy(int32_t DX, int32_t DY);
    // Whether parent pixel (X, Y) belongs to the selection; below zoom 3 a masked pixel next to a
    // selected one counts too.
    bool PointInSelection(int32_t X, int32_t Y) const;

    // ---- Drawing and pasting ----------------------------------------------------------------------
    // Draws the selection into Target, whose pixel (0, 0) stands for parent pixel (Clip.Left, Clip.Top).
    void DrawOnto(TBitmap& Target, const TRect& Clip);
    // Draws the marching ants into a zoomed view image: R is the selection's rectangle in zoomed
    // view pixels and Origin the view pixel at the image's (0, 0).
    void DrawOutline(TBitmap& Target, TPoint Origin, TRect R, int32_t Zoom);
    void DrawOutline(QImage& Target, TPoint Origin, TRect R, int32_t Zoom);
    // Fits the outline to Zoom (rebuilding it when the zoom changed) and places it at R's top-left.
    void UpdateOutline(const TRect& R, int32_t Zoom);
    // Draws the selection at Bounds into Target (only its unmasked pixels).
    void PasteInto(TBitmap* Target);
    void PasteIntoParent() { PasteInto(FParentBitmap); }

    // ---- Marching ants ----------------------------------------------------------------------------
    // A new timer of kAntsInterval; with Immediately one tick runs at once.
    void StartMarchingAnts(bool Immediately);
    void StopMarchingAnts();

    // ---- Effects on the lifted pixels -------------------------------------------------------------
    void GreyScale();
    void Negative();
    void Flip();
    void Mirror();
    void Brighten(int Percent);
    void GammaCorrect(double Gamma);
    void Blur(double Radius);
    void AdjustRGB(int RedPercent, int GreenPercent, int BluePercent);
    // Any angle above 0: the selection becomes irregular and masked and keeps its top-left corner
    // (moved by the trim).
    void Rotate(int Degrees);

    // ---- Used by the kinds and the effects --------------------------------------------------------
    // The lowest colour no unmasked pixel has becomes the transparent colour.
    void PickTransparentColour();
    // Mask := the pixels of the transparent colour. Raises "Error creating selection MaskArray"
    // for an empty picture.
    void BuildMask();
    // Crops the picture to its pixels that differ from the transparent colour; Bounds follows.
    void TrimTransparentEdges();
    // Sets the parent pixel under every unmasked pixel to Colour.
    void FillParentHole(TColor Colour);

protected:
    void CreateMask();
    void FreeMask() { FMask.reset(); }
    // The effects' common tail: a new transparent colour when masked.
    void AfterToneEffect();
    void AntsTick();

    bool FIrregular = false;
    TBitmap* FParentBitmap = nullptr;
    std::unique_ptr<TEffectsBitmap> FPicture;
    bool FTransparent = false;
    TColor FTransparentColour = -1;
    TRect FBounds;
    std::unique_ptr<TPicSelectionPoints> FOutline;
    int32_t FOutlineZoom = -1;
    std::unique_ptr<TBool2DArray> FMask;
    std::unique_ptr<IAntsTimer> FAntsTimer;
    int32_t FAntsPhase = 0;

private:
    // Expires when the selection is destroyed (an ants tick may destroy it).
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};
