#pragma once
// The picture viewer: a 1:1 piece of the active picture around the part its window shows, with the
// selection's outline and, on demand, a frame around that visible part. A click or drag in it tells
// the main window which picture point to bring into view. The viewer keeps the picture it is given
// (the main window clears it before the picture goes) but never the selection: it asks for the
// current one each time it draws.
#include "platform/Graphics.h"
#include "shell/CVPinnedForm.h"

#include <functional>
#include <memory>

class QFrame;
class TPicSelectionPoints;
class TPictureSelection;
class TViewerBox;

class TViewerForm : public TCVBasePinnedForm {
public:
    static constexpr int kDesignHeight = 237;
    static constexpr int kPanelBorder = 3;

    TViewerForm(TDockingPanel* DockPanel, const std::string& RegKey, QWidget* MainForm);
    ~TViewerForm() override;

    // The picture shown (not owned; null for none).
    TBitmap* Picture() const { return FPicture; }
    void SetPicture(TBitmap* Bitmap);
    // Where the current selection comes from at each drawing (empty or null answer: none).
    void SetSelection(std::function<TPictureSelection*()> Source) { FSelectionSource = std::move(Source); }
    // The part of the picture its window shows, in picture pixels.
    void SetViewRect(const TRect& R);
    const TRect& ViewRect() const { return FViewRect; }
    void Clear(bool Repaint);
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    void LayoutViewBox();
    void RenderView();

    int OffsetX() const { return FOffsetX; }
    int OffsetY() const { return FOffsetY; }
    const TRect& DestRect() const { return FDestRect; }
    // What the view shows, the size of the view box.
    const TBitmap& ViewBitmap() const { return *FViewBitmap; }
    QWidget* ViewBox() const;
    QFrame* ViewerPanel() const { return FViewerPanel; }
    QToolButton* FrameSB() const { return FFrameSB; }
    // Whether the frame around the visible part is drawn.
    void SetDisplayFrame(bool Value);

    // A picture point was clicked (or dragged over) in the view.
    std::function<void(TViewerForm* Sender, int X, int Y)> OnViewPosition;
    virtual void DoViewPosition(int X, int Y);

    void LoadSettings() override;
    void SaveSettings() override;

protected:
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TViewerBox;
    void UpdateFrameHint();
    void DrawSelectionOutline(TPictureSelection& Selection);

    TBitmap* FPicture = nullptr;
    std::unique_ptr<TBitmap> FViewBitmap;
    std::function<TPictureSelection*()> FSelectionSource;
    std::unique_ptr<TPicSelectionPoints> FOutline;
    QFrame* FViewerPanel = nullptr;
    TViewerBox* FViewBox = nullptr;
    QToolButton* FFrameSB = nullptr;
    int FOffsetX = 0;
    int FOffsetY = 0;
    TRect FDestRect;
    TRect FViewRect;
    int FUpdateCount = 0;
};
