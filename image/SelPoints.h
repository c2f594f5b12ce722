#pragma once
// Point lists of selections: growable point arrays (outline polygons and freehand paths), the set of
// outline polygons of a selection, the tracing of a mask's outline at a zoom, and the marching-ants
// dashes drawn into a 24 or 32-bit image.
#include "image/ArrayObjects.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

#include <cstdint>
#include <memory>
#include <vector>

class QImage;
class TBitmap;

CANVELLO_EXCEPTION(EPicSelectionError, Exception)

// A growable array of points, at most kMaxPicPoints of them.
class TPicPointArray {
public:
    static constexpr int32_t kMaxPicPoints = 0x7FFFFFF;

    TPicPointArray() = default;
    virtual ~TPicPointArray() = default;
    TPicPointArray(const TPicPointArray&) = delete; // copies go through Assign
    TPicPointArray& operator=(const TPicPointArray&) = delete;
    TPicPointArray(TPicPointArray&&) = default;
    TPicPointArray& operator=(TPicPointArray&&) = default;

    // Raises "Add Error - Can not exceed maximum index" when the array is full.
    void Add(const TPoint& P);
    // Appends P and returns its index.
    int32_t AddPoint(const TPoint& P);
    // Raises "Get Point - Point index invalid" unless 0 <= Index < Count.
    void GetPoint(int32_t Index, TPoint& P) const;
    int32_t Count() const { return static_cast<int32_t>(FPoints.size()); }
    // Raise "Can not get first point" / "Can not get last point" when empty.
    void FirstPoint(TPoint& P) const;
    void LastPoint(TPoint& P) const;
    void SetLastPoint(const TPoint& P);
    void SetLastX(int32_t X);
    void SetLastY(int32_t Y);
    // Null leaves the points as they are.
    void Assign(const TPicPointArray* Source);
    // The five corners of R's border, right and bottom edges one pixel inside, back to the first.
    void SetFromRect(const TRect& R);
    void Offset(int32_t DX, int32_t DY);
    // Least and greatest X and Y, all inclusive; (0, 0, 0, 0) when empty.
    void GetBounds(TRect& R) const;
    // Some point after the first differs from the first in both X and Y.
    bool HasArea() const;

    const std::vector<TPoint>& Points() const { return FPoints; }

private:
    std::vector<TPoint> FPoints;
};

// The type of a freehand selection's path.
class TFreehandPoints : public TPicPointArray {};

// The outline polygons of a selection and the point by which they were last placed. The drawing of
// the marching ants keeps a spatial index of the polygons, so that a repaint of a small area visits
// only the part of the outline near it.
class TPicSelectionPoints {
public:
    TPicSelectionPoints();
    virtual ~TPicSelectionPoints();
    TPicSelectionPoints(const TPicSelectionPoints&) = delete;
    TPicSelectionPoints& operator=(const TPicSelectionPoints&) = delete;

    // Frees every polygon; Origin := (0, 0).
    void Clear();
    TPicPointArray* AddPolygon();
    int32_t Count() const { return static_cast<int32_t>(FPolygons.size()); }
    // Raise "Get Point - index invalid" unless 0 <= Index < Count. The writable version drops the
    // drawing index, since the caller may change the polygon.
    TPicPointArray* GetPolygon(int32_t Index);
    const TPicPointArray* GetPolygon(int32_t Index) const;
    // Clear, then a copy of Source's origin and polygons (nothing more for null).
    void Assign(const TPicSelectionPoints* Source);
    // Moves every polygon by P - Origin; Origin := P.
    void SetOrigin(const TPoint& P);
    TPoint Origin() const { return FOrigin; }

    // Draws every polygon as marching ants into a 24-bit bitmap (other formats go through its
    // pixel access) or a 24/32-bit QImage (other formats through setPixel). Pixels outside the
    // target are skipped while the dash counter runs on.
    void DrawDashes(TBitmap& Target, int32_t AntsPhase) const;
    void DrawDashes(QImage& Target, int32_t AntsPhase) const;

private:
    struct TIndex;
    const TIndex& Index() const;
    template <typename TWriter> void Draw(TWriter& Writer, int32_t Width, int32_t Height, int32_t AntsPhase) const;

    std::vector<std::unique_ptr<TPicPointArray>> FPolygons;
    TPoint FOrigin;
    mutable std::unique_ptr<TIndex> FIndex; // built at the first drawing; in Origin-relative space
};

// Traces the outline of the selected (False) items of Mask into Outline as polygons in the mask's
// own coordinates: at Zoom 1 as chains of edge pixels, at other zooms along the innermost zoomed
// pixels of the selected area. Outline is cleared first.
void TraceMaskOutline(const TBool2DArray& Mask, int32_t Zoom, TPicSelectionPoints& Outline);
