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
class TCVBrowserChildWn;
struct TFileActionRecord;
enum class TFileOutcome;
class TCVClipboard;
class TCollapsingPanel;
class TColourShow;
class TColourSpectrum;
class TRecentColorsGrid;
class TRecentFilesPicPopupMenu;
class TToolPanel;
class TCbViewerForm;
class TDockingPanel;
class TViewerForm;
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

    // ---- Browser windows (CVMain_Browser.cpp) -------------------------------------------------------------
    bool GetActiveBrowserChild(TCVBrowserChildWn*& Child) const;
    // Opens a browser window on Folder; false when it could not be made (the error was shown).
    bool OpenBrowser(const std::string& Folder, bool Maximized);
    void SetupBrowserChild(TCVBrowserChildWn* Child);
    // Delivers a file action to every child window in order, at once.
    void BroadcastToChildren(const TFileActionRecord& Record);
    // What picture windows and the recent files learn of a file operation of the program: the file
    // at From now lives at To (windows showing it follow; a window showing To lost its file), or
    // the file at Path is gone (windows showing it keep their pixels and count as modified).
    void FollowMovedFile(const std::string& From, const std::string& To);
    void FileGone(const std::string& Path);
    // The picture windows showing the file at Path (paths compared as they name a file).
    std::vector<TCVPicChildWin*> PicChildrenOfFile(const std::string& Path) const;
    // Copies or moves a picture file and tells every child; false when it was not done, and how it
    // ended in Outcome when that is given (a No to a question is not an error).
    bool CopyFileAction(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir,
                        TFileOutcome* Outcome = nullptr);
    bool MoveFileAction(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir,
                        TFileOutcome* Outcome = nullptr);

    // ---- Browse commands (CVMain_Browse.cpp) --------------------------------------------------------------
    // Sorting needs two pictures, the commands on the selection one; -1 disables them all.
    void BrowserActionsFor(int Count);
    // Rename Dir + OldName (exact names: a change of letter case is a rename) or move Dir + FileName to
    // the trash, and tell every child; false when it was not done.
    bool RenameFileAction(const std::string& OldName, const std::string& NewName, const std::string& Dir);
    bool DeleteFileAction(const std::string& FileName, const std::string& Dir, TFileOutcome* Outcome = nullptr);
    // Renames OldNames[i] to NewNames[i] in Dir, in an order in which no file of the run lands on
    // another still to move; stops at the first failure and says which files were renamed.
    bool RenameFiles(const std::vector<std::string>& OldNames, const std::vector<std::string>& NewNames,
                     const std::string& Dir);
    // Asks for a folder, starting at Folder, which takes the choice; false when cancelled.
    bool ChooseFolder(const std::string& Caption, std::string& Folder);

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
    TToolPanel* ToolPanel() const { return FToolPanel; }
    // The action of an object name ("ActOpenPic"...), or null.
    QAction* Action(const std::string& Name) const;

    // ---- Settings (CVSettings.cpp) ----------------------------------------------------------------------
    // The stored placement, fitted onto the screens of now.
    void ReadPlacement();
    // ReadRecentFiles: the recent files' names too (when the thumbnail file gave none).
    void LoadSettings(bool ReadRecentFiles);
    // WriteRecentFiles: the recent files' names too (when the thumbnail file could not be written).
    void SaveSettings(bool WriteRecentFiles);
    bool BrowserTreeVisible() const;
    void SetBrowserTreeVisible(bool Value);
    // The text tool's recent texts, newest first, and how many are kept.
    std::vector<std::string> RecentTexts;
    uint8_t MaxRecentList = 10;

    // ---- Viewers (CVMain_Viewers.cpp) ---------------------------------------------------------------------
    TViewerForm* Viewer() const { return FViewer; }
    TCbViewerForm* CbViewer() const { return FCbViewer; }
    TDockingPanel* DockingPanel() const { return FSideBarDockingPanel; }
    bool ViewerShown() const;
    bool CbViewerShown() const;
    void ShowViewer(bool Show);
    void ShowCbViewer(bool Show);
    // Feeds the picture viewer from Child (null: clears it); only while it is shown unless Force.
    void UpdateViewer(TCVPicChildWin* Child, bool Force);
    void UpdatePinnedWindows();
    // A change of the desktop's style, palette, font or theme: reads the caption metrics again and
    // has every picture window place its caption button and frame size by them.
    void SettingChanged();

protected:
    // Also the program's own messages: the clipboard's change notice.
    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void moveEvent(QMoveEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    // The tool panel drives the settings pages and the colour panel built here.
    friend class TToolPanel;
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
    void ActSelectAllExecute();
    // Presses and clicks the rectangle selection tool unless it is down already, so that a picture
    // just pasted or selected as a whole can be moved at once.
    void PressSelectRect();
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
    void ActPrintPicExecute();
    bool PasteAsNewPicture(TBitmap* Bitmap, TColor Tag);
    // Browse commands (CVMain_Browse.cpp).
    void CreateBrowseActions();
    void CreateBrowseMenu();
    // The browse part of UpdateActionsForChild; KindChanged: the kind of the active child changed.
    void UpdateBrowseActions(TBasicCVChild* Child, bool KindChanged);
    void BrowserContentsChange(TCVBrowserChildWn* Sender);
    void ActBrowseDirExecute();
    void ActBrwsrOpenImageExecute(TCVBrowserChildWn* Browser);
    void CopyOrMoveSelected(TCVBrowserChildWn* Browser, bool Move);
    void ActBrwsrDeleteImageExecute(TCVBrowserChildWn* Browser);
    void ActBrwsrRenameImageExecute(TCVBrowserChildWn* Browser);
    void ActBrwsrRenameImagesExecute(TCVBrowserChildWn* Browser);
    // The browser window a drag comes from (its grid dragging thumbnails), or null.
    TCVBrowserChildWn* DragFromBrowser(QObject* Source) const;
    // The viewers (CVMain_Viewers.cpp).
    void CreatePinnedViewers();
    // Frees the viewers; they write their settings as they go.
    void DestroyPinnedViewers();
    void ViewerClosed();
    void CbViewerClosed();
    void ViewerPosition(int X, int Y);
    void CbViewerPasteImage(TBitmap* Bitmap, bool AsNew, TColor Tag);
    void DockChanged();
    void ZoomComboSelect(int Index);

    QMdiArea* FMdiArea = nullptr;
    TXStatusBar* FMainStatusBar = nullptr;
    TCollapsingPanel* FSideBarPanel = nullptr;
    QWidget* FSettingsPanel = nullptr;
    QStackedWidget* FSettingsPages = nullptr;
    TDockingPanel* FSideBarDockingPanel = nullptr;
    TViewerForm* FViewer = nullptr;
    TCbViewerForm* FCbViewer = nullptr;
    bool FBrowserTreeVisible = true;
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
    TToolPanel* FToolPanel = nullptr;
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
