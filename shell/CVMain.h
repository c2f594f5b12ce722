#pragma once
// The main window: the MDI frame with the tool bars, the tool settings pages, the status bar with its
// four panels and the side panel with the colour panel and the dock site. It creates and wires the
// picture windows, numbers new pictures, relays their progress and status, asks before a modified
// picture is closed and opens what the command line and the file manager give it.
#include "picwin/CVPicChildWn.h"
#include "shell/CVMainArrange.h"

#include <QMainWindow>

#include <map>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QStackedWidget;
class QToolBar;
class QToolButton;
class TBasicCVChild;
class TCVClipboard;
class TCollapsingPanel;
class TColourShow;
class TColourSpectrum;
class TRecentColorsGrid;
class TRecentFilesPicPopupMenu;
class TXStatusBar;

// Size and colour of the picture the New command makes.
inline constexpr int kDefaultNewPictureWidth = 640;
inline constexpr int kDefaultNewPictureHeight = 480;
inline constexpr const char* SCannotCopyToClipboard = "The picture could not be put on the clipboard";

class TCanvelloMain : public QMainWindow, public IPicChildHost {
public:
    // ThumbnailFile: the recent-files thumbnail file (empty: the program's own one).
    explicit TCanvelloMain(QWidget* Parent = nullptr, const std::string& ThumbnailFile = std::string());
    ~TCanvelloMain() override;

    // ---- Children --------------------------------------------------------------------------------------
    bool GetActivePicChild(TCVPicChildWin*& Child) const;
    TCVPicChildWin* ActivePicChild() const;
    TCVPicChildWin* FindPicChildByFileName(const std::string& Name) const;
    std::vector<TBasicCVChild*> Children() const;
    bool NewPicture(int Width, int Height, TColor Colour);
    bool NewPictureFromBitmap(TBitmap* Bitmap);
    bool OpenPictureFile(const std::string& FileName);
    void SetupPicChild(TCVPicChildWin* Child);
    void BeginWait();
    void EndWait();
    void ClearStatusPanels();
    int NewPictureCount() const { return FNewPictureCount; }
    // The Window menu's arrangements of the children (minimising all is the menu's own).
    void ArrangeChildren(TWindowArrangement How);
    // Brings Window to the front as the active child, restoring it first when it is minimised.
    void ActivateChild(QMdiSubWindow* Window);

    // ---- Commands that work now ---------------------------------------------------------------------
    // Saves the active picture under its own name (asking for one when it has none) or, with AskName,
    // under a chosen name. False when it failed (the error was shown) or the dialog was cancelled.
    bool SavePicture(TCVPicChildWin* Child, bool AskName);
    void UpdateActionsForChild(TBasicCVChild* Child);
    void SetCropEnabled(bool Value);
    bool CropWanted() const { return FCropWanted; }
    // The paste commands and Clear Clipboard follow whether the clipboard holds a picture.
    void UpdatePasteActions();
    bool ClipboardHasPicture() const { return FClipboardHasPicture; }

    // ---- What picture windows ask (IPicChildHost) -------------------------------------------------------
    void GetMaxChildClientSize(int& Width, int& Height) override;
    void SetForegroundColour(TColor Colour, bool MoveMarker) override;
    void SetBackgroundColour(TColor Colour, bool MoveMarker) override;
    void ShowColourRGB(TColor Colour) override;
    void HideColourRGB() override;
    bool IsSelectionTool() override;
    bool QueryAddText() override;

    // ---- Parts ------------------------------------------------------------------------------------------
    QMdiArea* MdiArea() const { return FMdiArea; }
    TXStatusBar* MainStatusBar() const { return FMainStatusBar; }
    TRecentFilesPicPopupMenu* RecentFilesPopupMenu() const { return FRecentFilesPopupMenu; }
    TCollapsingPanel* SideBarPanel() const { return FSideBarPanel; }
    QComboBox* ZoomCombo() const { return FZoomCombo; }
    // The action of an object name ("ActOpenPic"...), or null.
    QAction* Action(const std::string& Name) const;

protected:
    // Also the program's own messages: the clipboard's change notice.
    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    // Frame building (CVMain.cpp).
    void FormCreate();
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    QWidget* CreateSettingsPanel();
    void CreateSidePanel();
    void CreateStatusBar();
    void RegisterCursors();
    QAction* AddAction(const char* Name, const char* Caption, const char* Hint, const char* Glyph = nullptr,
                       const QKeySequence& Shortcut = QKeySequence());
    // Child events (CVMain_Children.cpp).
    void FormShow();
    void FormClose();
    void ChildActivated(QMdiSubWindow* Window);
    void ChildCloseQuery(TBasicCVChild* Sender, bool& CanClose);
    void PictureChanged(TCVPicChildWin* Sender, TPictureChanges Flags);
    void ChildUndoCountChange(TCVPicChildWin* Sender, int Count);
    void ChildProgressStart(TBasicCVChild* Sender, int Max);
    void ChildProgressStep(TBasicCVChild* Sender);
    void ChildProgressEnd(TBasicCVChild* Sender);
    void MainStatusBarResize();
    // Shows the error of the exception being handled; returns false for the caller's result.
    bool ShowCreateError();
    // Puts a new picture window into the frame and wires it.
    void AddPicChild(TCVPicChildWin* Child);
    // Command handlers (CVMain_Commands.cpp).
    void ActNewPicExecute();
    void ActOpenPicExecute();
    void ActPicSaveExecute();
    void ActPicSaveAsExecute();
    void ActCloseChildExecute();
    void ActCloseAllChildrenExecute();
    void ActFileExitExecute();
    void ActUndoExecute();
    void ActClearClipboardExecute();
    void ActPasteIntoPicExecute();
    void ActPasteAsNewExecute();
    void ActPasteCleverExecute();
    void ActCopyPicExecute();
    void ActCutPicExecute();
    void ActShowHideZoomGridExecute();
    void ActAboutExecute();
    void ActRotatePicExecute();
    void ActEnlargePicCanvasExecute();
    void ActResizePicExecute();
    void ActResamplePicExecute();
    void ActBrightenPicExecute();
    void ActGammaCorrectPicExecute();
    void ActBlurPicExecute();
    void ActAdjustRGBPicExecute();
    bool PasteAsNewPicture(TBitmap* Bitmap, TColor Tag);
    void ZoomComboSelect(int Index);

    QMdiArea* FMdiArea = nullptr;
    TXStatusBar* FMainStatusBar = nullptr;
    TCollapsingPanel* FSideBarPanel = nullptr;
    QWidget* FSettingsPanel = nullptr;
    QStackedWidget* FSettingsPages = nullptr;
    QWidget* FSideBarDockingPanel = nullptr;
    QWidget* FColourPanel = nullptr;
    TRecentColorsGrid* FRecentColorsGrid = nullptr;
    TColourShow* FFGColourShow = nullptr;
    TColourShow* FBGColourShow = nullptr;
    TColourSpectrum* FColourSpectrum = nullptr;
    QWidget* FRGBPanel = nullptr;
    QLabel* FRedLabel = nullptr;
    QLabel* FGreenLabel = nullptr;
    QLabel* FBlueLabel = nullptr;
    TColourShow* FColourShow = nullptr;
    QComboBox* FZoomCombo = nullptr;
    TRecentFilesPicPopupMenu* FRecentFilesPopupMenu = nullptr;
    QMenu* FFileMenu = nullptr;
    QMenu* FImageMenu = nullptr;
    QMenu* FColourMenu = nullptr;
    QMenu* FBrowseMenu = nullptr;
    QMenu* FWindowMenu = nullptr;
    std::map<std::string, QAction*> FActions;
    std::map<std::string, QToolBar*> FToolBars;
    std::string FThumbnailFile;
    TCVClipboard* FClipboard = nullptr; // the clipboard this window listens to

    bool ViewerWasVisible = false;
    bool CbViewerWasVisible = false;
    int FNewPictureCount = 0;
    int ChildBorderWidth = 0;
    int ChildBorderHeight = 0;
    uint8_t LastChildKind = 0;
    bool FShown = false;
    bool FClipboardHasPicture = false;
    bool FCropWanted = false;
    bool FClosingAll = false; // every modified picture was asked about already
};
