// The picture browser window.
#include "browser/CVBrwsrChildWn.h"

#include "browser/DirTreeView.h"
#include "controls/AdvSelectGrid.h"
#include "controls/AdvancedCombos.h"
#include "controls/XGraphicCtrls.h"
#include "controls/XStatusbar.h"
#include "globals/CVGlobal.h"
#include "globals/UIServicesIntf.h"
#include "image/KTGenUtils.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"

#include <QAction>
#include <QDir>
#include <QFontMetrics>
#include <QFrame>
#include <QMdiArea>
#include <QMenu>
#include <QPainter>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Path shortened from the middle so that it fits Width pixels in the font of Metrics.
std::string MinimizeName(const std::string& Path, const QFontMetrics& Metrics, int Width)
{
    const QString Text = QString::fromStdString(Path);
    if (Metrics.horizontalAdvance(Text) <= Width)
        return Path;
    return Metrics.elidedText(Text, Qt::ElideMiddle, std::max(Width, 0)).toStdString();
}

} // namespace

// ---- Construction -----------------------------------------------------------------------------------
TCVBrowserChildWn::TCVBrowserChildWn(QWidget* AOwner, const std::string& Directory, bool ShowTree, bool Maximized)
    : TBasicCVChild(AOwner, ckBrowser), FStartDir(Directory)
{
    setWindowTitle("Picture Browser");
    CreateComponents();
    LoadSettings();
    PictureDB = std::make_unique<TBrowserPictureDB>(FThumbnailGrid->DefaultColWidth(),
                                                    FThumbnailGrid->DefaultRowHeight(), 8, FSelectColour, clBlack,
                                                    FSelTextColour);
    PictureDB->OnProgressStart = [this](TCustomPictureDB*, int Max) { DoProgressStart(Max); };
    PictureDB->OnProgress = [this](TCustomPictureDB*) { DoProgressStep(); };
    PictureDB->OnProgressEnd = [this](TCustomPictureDB*) { DoProgressEnd(); };
    PictureDB->OnLoadStep = [this](TBrowserPictureDB*, int) { LoadStep(); };
    PictureDB->SetFileTypes(FDirTreeView->FileTypes());
    SetTreeVisible(ShowTree);
    // Maximized once shown, when the window knows the area it fills.
    FStartMaximized = Maximized;
    connect(this, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates Old, Qt::WindowStates New) {
        if ((New & Qt::WindowActive) && !(Old & Qt::WindowActive))
            GuardEvent(this, [this] { FormActivate(); });
    });
}

TCVBrowserChildWn::~TCVBrowserChildWn()
{
    // Closing the main window ends its children without asking each: the recent folders are kept
    // all the same.
    if (FShown && !FSettingsSaved) {
        try {
            SaveSettings();
        } catch (...) {
            // Nothing may leave a destructor; the settings are best effort here.
        }
    }
    FCanDraw = false;
    FThumbnailGrid->OnDrawCell = nullptr;
    FDirTreeView->OnNodeChange = nullptr;
    // The main window may be going too: a load still running ends without reporting to it.
    PictureDB->OnProgressStart = nullptr;
    PictureDB->OnProgress = nullptr;
    PictureDB->OnProgressEnd = nullptr;
    PictureDB->OnLoadStep = nullptr;
    // The database saves the folder's cache as it goes.
    PictureDB.reset();
}

void TCVBrowserChildWn::CreateComponents()
{
    auto* Form = new QWidget;
    auto* FormLayout = new QVBoxLayout(Form);
    FormLayout->setContentsMargins(0, 0, 0, 0);
    MainSplitter = new QSplitter(Qt::Horizontal, Form);
    MainSplitter->setObjectName("MainSplitter");
    MainSplitter->setOpaqueResize(false);
    MainSplitter->setChildrenCollapsible(false);
    FormLayout->addWidget(MainSplitter);

    TreeViewPanel = new QFrame(MainSplitter);
    TreeViewPanel->setObjectName("TreeViewPanel");
    TreeViewPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    TreeViewPanel->setMinimumWidth(200);
    auto* PanelLayout = new QVBoxLayout(TreeViewPanel);
    PanelLayout->setContentsMargins(1, 1, 1, 1);
    PanelLayout->setSpacing(0);
    FDirTreeView = new TDirTreeView(TreeViewPanel);
    FDirTreeView->setObjectName("DirTreeView");
    FDirTreeView->SetFileTypes(SBrowserFileTypes);
    FDirTreeView->SetExpandOnDragOver(true);
    FDirTreeView->SetExpandOnDragOverTime(1000);
    FDirTreeView->SetScrollOnDragOver(true);
    FDirTreeView->SetScrollOnDragOverTime(500);
    PanelLayout->addWidget(FDirTreeView, 1);
    RecentDirPanel = new QFrame(TreeViewPanel);
    RecentDirPanel->setObjectName("RecentDirPanel");
    RecentDirPanel->setFixedHeight(24);
    auto* ComboLayout = new QVBoxLayout(RecentDirPanel);
    ComboLayout->setContentsMargins(0, 0, 0, 0);
    FRecentDirsCombo = new TAdvancedComboBox(RecentDirPanel);
    FRecentDirsCombo->setObjectName("RecentDirsCombo");
    FRecentDirsCombo->SetItemHeight(16);
    FRecentDirsCombo->SetImagesLeft(true);
    FRecentDirsCombo->SetSelectedColour(clHighlight);
    FRecentDirsCombo->SetSelectedTextColour(clWhite);
    ComboLayout->addWidget(FRecentDirsCombo);
    PanelLayout->addWidget(RecentDirPanel);

    FThumbnailGrid = new TAdvSelectDrawGrid(MainSplitter);
    FThumbnailGrid->setObjectName("ThumbnailGrid");
    FThumbnailGrid->SetColor(clBtnFace);
    FThumbnailGrid->SetDefaultColWidth(110);
    FThumbnailGrid->SetDefaultRowHeight(130);
    FThumbnailGrid->SetGridOptions(agMultiSelect);
    FThumbnailGrid->SetScrollBars(TScrollStyle::ssVertical);
    FThumbnailGrid->SetDefaultDrawing(false);
    FThumbnailGrid->SetWrapCells(true);
    FThumbnailGrid->SetNumOfCells(1);
    FThumbnailGrid->setMinimumWidth(200);
    MainSplitter->addWidget(TreeViewPanel);
    MainSplitter->addWidget(FThumbnailGrid);
    MainSplitter->setStretchFactor(0, 0);
    MainSplitter->setStretchFactor(1, 1);
    MainSplitter->setSizes({249, 600});

    FFileOptionsMenu = new QMenu(this);
    FFileOptionsMenu->setObjectName("FileOptionsMenu");
    FCopyImage = FFileOptionsMenu->addAction("Copy here");
    FCopyImage->setObjectName("CopyImage");
    FMoveImage = FFileOptionsMenu->addAction("Move here");
    FMoveImage->setObjectName("MoveImage");
    FFileOptionsMenu->addSeparator();
    FFileOptionsMenu->addAction("Cancel")->setObjectName("FileOptionsMenu_Cancel");
    connect(FCopyImage, &QAction::triggered, this, [this] { GuardEvent(this, [this] { CopyImageExecute(); }); });
    connect(FMoveImage, &QAction::triggered, this, [this] { GuardEvent(this, [this] { MoveImageExecute(); }); });

    setWidget(Form);
    resize(760, 520);

    // Events of the tree.
    FDirTreeView->OnNodeChange = [this](TCustomDirTreeView* Tree, TDirTreeNode*, TDirTreeNode* ToNode) {
        GuardEvent(this, [&] { ChangeDirectory(Tree->GetNodePath(ToNode)); });
    };
    FDirTreeView->OnDragOver = [this](TCustomDirTreeView*, QObject* Source, int, int, bool& Accept) {
        Accept = Source == FThumbnailGrid;
    };
    FDirTreeView->OnFileDragDrop = [this](TCustomDirTreeView* Tree, QObject* Source, int X, int Y) {
        if (Source == FThumbnailGrid)
            FFileOptionsMenu->popup(Tree->viewport()->mapToGlobal(QPoint(X, Y)));
    };

    // Events of the combo box.
    FRecentDirsCombo->OnDrawItem = [this](QWidget*, QPainter& Canvas, int Index, const QRect& Rect,
                                          TOwnerDrawState State) {
        if (State & odSelected) {
            Canvas.setBrush(ColorToQColor(clHighlight));
            Canvas.setPen(ColorToQColor(clWhite));
        }
        Canvas.fillRect(Rect, Canvas.brush());
        const std::string Text = FRecentDirsCombo->itemText(Index).toStdString();
        Canvas.drawText(Rect, Qt::AlignLeft | Qt::AlignVCenter,
                        QString::fromStdString(MinimizeName(Text, Canvas.fontMetrics(), Rect.width())));
    };
    connect(FRecentDirsCombo, qOverload<int>(&QComboBox::activated), this,
            [this](int Index) { GuardEvent(this, [&] { RecentDirsComboChange(Index); }); });

    // Events of the grid.
    FThumbnailGrid->OnDrawCell = [this](QWidget*, QPainter& Canvas, int ACol, int ARow, const QRect& Rect,
                                        TGridDrawState State) {
        if (!FCanDraw || !PictureDB) {
            Canvas.fillRect(Rect, Canvas.brush());
            return;
        }
        const int64_t Index = FThumbnailGrid->CellIndex(ACol, ARow);
        if (Index < PictureDB->Count()) {
            const bool Selected = State & gdSelected;
            PictureDB->DrawCell(static_cast<int>(Index), Selected, Canvas, TPoint{Rect.left(), Rect.top()});
            if (Selected && mdiArea() && mdiArea()->activeSubWindow() == this)
                UpdateStatusBar(static_cast<int>(Index));
        } else {
            Canvas.fillRect(Rect, Canvas.brush());
        }
    };
    // The grid draws a placeholder and reports once per folder load, after painting.
    FThumbnailGrid->OnDrawCellError = [this](QWidget*, int, int, const std::string&) {
        ShowMessageDlg(this, SCanNotDisplayImage, mtError, mbOK);
    };
    FThumbnailGrid->OnSelectCell = [this](QWidget*, int ACol, int ARow, bool& CanSelect) {
        CanSelect = PictureDB && ACol < FThumbnailGrid->ColCount() && ARow < FThumbnailGrid->RowCount() &&
                    FThumbnailGrid->CellIndex(ACol, ARow) < PictureDB->Count();
    };
    FThumbnailGrid->OnMouseDown = [this](QWidget*, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
        FPressIndex = IndexAt(X, Y);
        if (Button == Qt::RightButton && FPressIndex >= 0)
            FocusIndex(FPressIndex);
    };
    FThumbnailGrid->OnMouseMove = [this](QWidget*, Qt::MouseButtons Buttons, Qt::KeyboardModifiers, int, int) {
        // The drag carries the picture the button went down on.
        if ((Buttons & (Qt::LeftButton | Qt::RightButton)) && FPressIndex >= 0) {
            DragIndex = FPressIndex;
            FThumbnailGrid->BeginDragCells(false, -1);
        }
    };
    FThumbnailGrid->OnDragOver = [this](QWidget*, QObject* Source, int X, int Y, bool& Accept) {
        // Reordering: only the grid's own thumbnails.
        Accept = Source == FThumbnailGrid && IndexAt(X, Y) >= 0;
    };
    FThumbnailGrid->OnDragDrop = [this](QWidget*, QObject* Source, int X, int Y) {
        GuardEvent(this, [&] {
            const int Target = IndexAt(X, Y);
            if (Source != FThumbnailGrid || Target < 0 || Target == DragIndex || !PictureDB->IsValidIndex(DragIndex))
                return;
            if (PictureDB->MovePicture(DragIndex, Target)) {
                FocusIndex(Target);
                for (int I = std::min(DragIndex, Target); I <= std::max(DragIndex, Target); ++I)
                    RedrawCell(I);
                DragIndex = Target;
            }
        });
    };
    FThumbnailGrid->OnDblClick = [this](QWidget*) {
        GuardEvent(this, [this] {
            const std::vector<std::string> Paths = GetSelectedPaths();
            for (const std::string& Path : Paths)
                DoOpenFile(Path);
        });
    };
}

// ---- Form events --------------------------------------------------------------------------------------
void TCVBrowserChildWn::showEvent(QShowEvent* Event)
{
    TBasicCVChild::showEvent(Event);
    if (FShown)
        return;
    FShown = true;
    if (FStartMaximized && !isMaximized())
        setWindowState(windowState() | Qt::WindowMaximized);
    GuardEvent(this, [this] { FormShow(); });
}

void TCVBrowserChildWn::FormShow()
{
    FDirTreeView->Initialize();
    std::string Start;
    if (!FStartDir.empty() && DirectoryExists(FStartDir))
        Start = FStartDir;
    else if (FRecentDirsCombo->count() > 0)
        Start = FRecentDirsCombo->itemText(0).toStdString();
    else
        Start = QDir::currentPath().toStdString();
    FDirTreeView->SelectPath(Start);
    if (FThumbnailGrid->focusPolicy() != Qt::NoFocus)
        FThumbnailGrid->setFocus();
}

void TCVBrowserChildWn::FormActivate()
{
    UpdateStatusBar(CurrentIndex());
}

bool TCVBrowserChildWn::CloseQuery()
{
    if (!TBasicCVChild::CloseQuery())
        return false;
    SaveSettings();
    FSettingsSaved = true;
    // The window goes: its thumbnails still to be made are not (the status bar's progress ends).
    PictureDB->CancelLoad();
    return true;
}

bool TCVBrowserChildWn::event(QEvent* Event)
{
    if (Event->type() == TFileActionEvent::EventType()) {
        const auto* Action = static_cast<TFileActionEvent*>(Event);
        GuardEvent(this, [&] { WMFileAction(Action->Record, Action->LParam); });
        return true;
    }
    return TBasicCVChild::event(Event);
}

// ---- Folders ------------------------------------------------------------------------------------------
void TCVBrowserChildWn::ChangeDirectory(std::string Dir)
{
    AddTrailingBackslash(Dir);
    if (Dir == FDirectory)
        return;
    FDirectory = Dir;
    if (FDirectory.empty()) {
        ClearView();
        return;
    }
    BeginWait();
    try {
        AddRecentDir();
        LoadDirectory(0, 0);
    } catch (...) {
        EndWait();
        throw;
    }
    EndWait();
}

void TCVBrowserChildWn::LoadDirectory(int Row, int Col)
{
    FCanDraw = false;
    FThumbnailGrid->ResetDrawErrorReport();
    FFocusWanted = -1;
    PictureDB->BeginLoad(FDirectory);
    DoContentsChange();
    setWindowTitle(QString::fromStdString(Format(SBrowsingCaption, FDirectory)));
    const int64_t Wanted = int64_t(Row) * std::max(FThumbnailGrid->ColCount(), 1) + Col;
    if (PictureDB->Count() == 0) {
        ArrangeEmpty();
        UpdateStatusBar(-1);
    } else {
        FThumbnailGrid->SetNumOfCells(PictureDB->Count());
        if (Row < FThumbnailGrid->RowCount() && Col < FThumbnailGrid->ColCount())
            FThumbnailGrid->FocusCell(Col, Row, true);
    }
    // The cell asked for comes into view once its picture is there.
    if (PictureDB->Loading() && Wanted >= PictureDB->Count() && Wanted <= INT32_MAX)
        FFocusWanted = static_cast<int>(Wanted);
    else
        SelectCurrentWhenNone();
    FCanDraw = true;
    FThumbnailGrid->Invalidate();
}

void TCVBrowserChildWn::LoadStep()
{
    FCanDraw = false;
    FThumbnailGrid->SetNumOfCells(std::max(PictureDB->Count(), 1));
    FCanDraw = true;
    if (FFocusWanted >= 0 && FFocusWanted < PictureDB->Count()) {
        FocusIndex(FFocusWanted);
        FFocusWanted = -1;
    }
    if (!PictureDB->Loading())
        FFocusWanted = -1;
    if (FFocusWanted < 0)
        SelectCurrentWhenNone();
    DoContentsChange();
    FThumbnailGrid->Invalidate();
}

void TCVBrowserChildWn::ArrangeEmpty()
{
    FThumbnailGrid->SetNumOfCells(0);
    FThumbnailGrid->SetColCount(1);
    FThumbnailGrid->SetRowCount(1);
}

void TCVBrowserChildWn::ClearView()
{
    FThumbnailGrid->FocusCell(0, 0, true);
    UpdateStatusBar(-1);
    FCanDraw = false;
    PictureDB->CloseFolder(false);
    ArrangeEmpty();
    FCanDraw = true;
    FThumbnailGrid->Invalidate();
    DoContentsChange();
}

void TCVBrowserChildWn::RefreshView()
{
    if (Refreshing)
        return;
    Refreshing = true;
    BeginWait();
    try {
        FDirTreeView->RefreshTree();
        if (!FDirectory.empty())
            LoadDirectory(FThumbnailGrid->Row(), FThumbnailGrid->Col());
    } catch (...) {
        EndWait();
        Refreshing = false;
        throw;
    }
    EndWait();
    Refreshing = false;
}

// ---- Selection, counts, sorting ------------------------------------------------------------------------
void TCVBrowserChildWn::SelectedFiles(std::vector<std::string>& List, const std::string& Prefix)
{
    List.clear();
    const int Cells = FThumbnailGrid->SelectedCount();
    for (int I = 0; I < Cells; ++I) {
        TGridCoord Cell;
        if (!FThumbnailGrid->GetSelectedCell(I, Cell))
            continue;
        if (Cell.X >= FThumbnailGrid->ColCount() || Cell.Y >= FThumbnailGrid->RowCount())
            continue;
        const int64_t Index = FThumbnailGrid->CellIndex(Cell.X, Cell.Y);
        if (Index < PictureDB->Count())
            List.push_back(Prefix + PictureDB->GetFileName(static_cast<int>(Index)));
    }
}

const std::vector<std::string>& TCVBrowserChildWn::GetSelectedNames()
{
    SelectedFiles(FileList, "");
    return FileList;
}

const std::vector<std::string>& TCVBrowserChildWn::GetSelectedPaths()
{
    SelectedFiles(FileList, FDirectory);
    return FileList;
}

int TCVBrowserChildWn::PictureCount() const
{
    return PictureDB->Count();
}

bool TCVBrowserChildWn::GetTreeVisible() const
{
    return !TreeViewPanel->isHidden();
}

void TCVBrowserChildWn::SetTreeVisible(bool Value)
{
    TreeViewPanel->setVisible(Value);
}

void TCVBrowserChildWn::SelectAll()
{
    FThumbnailGrid->SelectAll();
}

void TCVBrowserChildWn::SetSortAscending(bool Ascending)
{
    SortPictures(PictureDB->SortKind(), Ascending);
}

void TCVBrowserChildWn::SortPictures(int Kind, bool Ascending)
{
    try {
        FCanDraw = false;
        const TFileRecord* Current = PictureDB->Records(CurrentIndex());
        if (!PictureDB->SortPictures(Kind, Ascending))
            throw Exception(SErrorSortingData);
        if (Current) {
            const int Index = PictureDB->IndexOf(Current);
            if (Index >= 0)
                FocusIndex(Index);
        }
        FCanDraw = true;
        FThumbnailGrid->Invalidate();
    } catch (...) {
        FCanDraw = true;
        FThumbnailGrid->Invalidate();
        ShowMessageDlg(this, SErrorSortingData, mtError, mbOK);
    }
}

int TCVBrowserChildWn::CurrentIndex() const
{
    const int64_t Index = FThumbnailGrid->CellIndex(FThumbnailGrid->Col(), FThumbnailGrid->Row());
    return Index < PictureDB->Count() ? static_cast<int>(Index) : -1;
}

int TCVBrowserChildWn::IndexAt(int X, int Y) const
{
    const TGridCoord Cell = FThumbnailGrid->MouseToCell(X, Y);
    if (Cell.X < 0 || Cell.Y < 0)
        return -1;
    const int64_t Index = FThumbnailGrid->CellIndex(Cell.X, Cell.Y);
    return Index < PictureDB->Count() ? static_cast<int>(Index) : -1;
}

void TCVBrowserChildWn::FocusIndex(int Index)
{
    const TGridCoord Cell = FThumbnailGrid->IndexCell(Index);
    FThumbnailGrid->FocusCell(Cell.X, Cell.Y, true);
}

void TCVBrowserChildWn::SelectCurrentWhenNone()
{
    const int Count = PictureDB->Count();
    if (Count == 0 || FThumbnailGrid->SelectedCount() > 0)
        return;
    const int64_t Current = FThumbnailGrid->CellIndex(FThumbnailGrid->Col(), FThumbnailGrid->Row());
    FocusIndex(static_cast<int>(std::clamp<int64_t>(Current, 0, Count - 1)));
}

void TCVBrowserChildWn::RedrawCell(int Index)
{
    if (Index < 0)
        return;
    const TGridCoord Cell = FThumbnailGrid->IndexCell(Index);
    FThumbnailGrid->InvalidateCell(Cell.X, Cell.Y);
}

// ---- Status bar ------------------------------------------------------------------------------------------
void TCVBrowserChildWn::UpdateStatusBar(int Index)
{
    TXStatusBar* Bar = StatusBar();
    if (!Bar || Bar->PanelCount() < 4)
        return;
    if (!PictureDB || !PictureDB->IsValidIndex(Index)) {
        for (int I = 0; I < 4; ++I)
            Bar->Panels(I)->SetText("");
        return;
    }
    const std::string Name = PictureDB->GetFileName(Index);
    Bar->Panels(0)->SetText(GetTreeVisible() ? Name
                                             : MinimizeName(FDirectory + Name, Bar->fontMetrics(),
                                                            Bar->Panels(0)->Width()));
    Bar->Panels(1)->SetText(PictureDB->GetDateText(Index));
    Bar->Panels(2)->SetText(PictureDB->GetDimensionsText(Index));
    Bar->Panels(3)->SetText(IntToStr(Index + 1) + " of " + IntToStr(PictureDB->Count()));
}

TColor TCVBrowserChildWn::ContrastColour(TColor Colour)
{
    const int N = (GetRValue(Colour) >= 137 ? 1 : 0) + (GetGValue(Colour) >= 137 ? 1 : 0) -
                  (GetBValue(Colour) >= 137 ? 1 : 0);
    return N >= 1 ? clBlack : clWhite;
}

// ---- Events fired -----------------------------------------------------------------------------------------
void TCVBrowserChildWn::DoCopyFile(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir)
{
    if (OnCopyFile)
        OnCopyFile(this, FileName, SourceDir, DestDir);
}

void TCVBrowserChildWn::DoMoveFile(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir)
{
    if (OnMoveFile)
        OnMoveFile(this, FileName, SourceDir, DestDir);
}

void TCVBrowserChildWn::DoOpenFile(const std::string& FileName)
{
    if (OnOpenFile)
        OnOpenFile(this, FileName);
}

void TCVBrowserChildWn::DoContentsChange()
{
    if (OnContentsChange)
        OnContentsChange(this);
}

void TCVBrowserChildWn::CopyImageExecute()
{
    DropOnFolder(&TCVBrowserChildWn::DoCopyFile);
}

void TCVBrowserChildWn::MoveImageExecute()
{
    DropOnFolder(&TCVBrowserChildWn::DoMoveFile);
}

void TCVBrowserChildWn::DropOnFolder(TFileOperation Operation)
{
    std::string Dest = FDirTreeView->DragDropPath();
    if (Dest.empty())
        return;
    AddTrailingBackslash(Dest);
    // The handlers report back through file actions, which change the selection: take it first.
    const std::vector<std::string> Names = GetSelectedNames();
    const std::string Source = FDirectory;
    for (const std::string& Name : Names)
        (this->*Operation)(Name, Source, Dest);
}

// ---- Recent folders -----------------------------------------------------------------------------------------
void TCVBrowserChildWn::AddRecentDir()
{
    const QString Dir = QString::fromStdString(FDirectory);
    const int Found = FRecentDirsCombo->findText(Dir, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (Found >= 0) {
        FRecentDirsCombo->removeItem(Found);
    }
    FRecentDirsCombo->insertItem(0, Dir);
    while (FRecentDirsCombo->count() > kMaxRecentDirs)
        FRecentDirsCombo->removeItem(FRecentDirsCombo->count() - 1);
    FRecentDirsCombo->setCurrentIndex(0);
}

void TCVBrowserChildWn::RecentDirsComboChange(int Index)
{
    if (Index < 0 || Index >= FRecentDirsCombo->count())
        return;
    const QString Item = FRecentDirsCombo->itemText(Index);
    const std::string S = Item.toStdString();
    if (S == FDirectory) {
        FRecentDirsCombo->setCurrentIndex(0);
        return;
    }
    if (DirectoryExists(S)) {
        FRecentDirsCombo->removeItem(Index);
        FRecentDirsCombo->insertItem(0, Item);
        FRecentDirsCombo->setCurrentIndex(0);
        FDirTreeView->SelectPath(S);
        FDirTreeView->setFocus();
    } else {
        FRecentDirsCombo->removeItem(Index);
        FRecentDirsCombo->setCurrentIndex(FRecentDirsCombo->count() > 0 ? 0 : -1);
        ShowMessageDlg(this, S + SDoesNotExist, mtError, mbOK);
    }
}

// ---- Settings ----------------------------------------------------------------------------------------------
void TCVBrowserChildWn::LoadSettings()
{
    FSelectColour = clHighlight;
    TRegistry Reg;
    if (Reg.OpenKey(SBrowserKey, false)) {
        int32_t Value = 0;
        if (Reg.TryReadInteger("SelectColour", Value))
            FSelectColour = Value;
        Reg.CloseKey();
    }
    if (Reg.OpenKey(SRecentDirsKey, false)) {
        for (const std::string& Dir : Reg.ReadNumberedStrings("Dir", kMaxRecentDirs)) {
            // Outside data: empty entries and repeats are left out.
            const QString Item = QString::fromStdString(Dir);
            if (!Dir.empty() && FRecentDirsCombo->findText(Item, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
                FRecentDirsCombo->addItem(Item);
        }
        Reg.CloseKey();
    }
    FRecentDirsCombo->setCurrentIndex(FRecentDirsCombo->count() > 0 ? 0 : -1);
    FSelTextColour = ContrastColour(FSelectColour);
}

void TCVBrowserChildWn::SaveSettings()
{
    TRegistry Reg;
    if (Reg.OpenKey(SBrowserKey, true)) {
        Reg.WriteInteger("SelectColour", FSelectColour);
        Reg.CloseKey();
    }
    if (Reg.OpenKey(SRecentDirsKey, true)) {
        std::vector<std::string> Dirs;
        for (int I = 0; I < FRecentDirsCombo->count(); ++I)
            Dirs.push_back(FRecentDirsCombo->itemText(I).toStdString());
        Reg.WriteNumberedStrings("Dir", Dirs);
        Reg.CloseKey();
    }
}

// ---- File actions --------------------------------------------------------------------------------------------
bool TCVBrowserChildWn::SameFolder(const std::string& Dir) const
{
    std::string D = Dir;
    AddTrailingBackslash(D);
    return !FDirectory.empty() && D == FDirectory;
}

void TCVBrowserChildWn::MarkSelectedNode(bool HasPictures)
{
    if (TDirTreeNode* Node = FDirTreeView->Selected())
        FDirTreeView->SetNodeHasPictures(Node, HasPictures);
}

void TCVBrowserChildWn::MarkFolder(const std::string& Dir)
{
    TDirTreeNode* Node = nullptr;
    if (FDirTreeView->FindNode(Dir, Node) && Node)
        FDirTreeView->SetNodeHasPictures(Node, FDirTreeView->DirHasPictures(Dir));
}

void TCVBrowserChildWn::RemovePicture(int Index)
{
    FCanDraw = false;
    PictureDB->DeletePicture(Index);
    DoContentsChange();
    if (PictureDB->Count() == 0)
        MarkSelectedNode(false);
    // The selection follows the pictures: the removed one leaves it, the others keep their state.
    FThumbnailGrid->RemoveCell(Index);
    if (PictureDB->Count() == 0)
        ArrangeEmpty();
    else
        FThumbnailGrid->SetNumOfCells(PictureDB->Count());
    FCanDraw = true;
    FThumbnailGrid->Invalidate();
    UpdateStatusBar(CurrentIndex());
}

void TCVBrowserChildWn::WMFileAction(const TFileActionRecord& Record, intptr_t LParam)
{
    if (LParam != TFileActionEvent::ApplicationToken())
        return;
    const bool OldKnown = PictureDB->IsKnownType(ExtractExtNoDot(Record.FileName));
    const bool Same = SameFolder(Record.Dir);
    TFileActionRecord Rec = Record;
    if (Rec.Action == faNameChanged) {
        // A rename that changes the extension brings a file into the pictures or takes it out.
        const bool NewKnown = PictureDB->IsKnownType(ExtractExtNoDot(Record.NewName));
        if (!OldKnown && !NewKnown)
            return;
        if (!OldKnown) {
            Rec.Action = faAdded;
            Rec.FileName = Record.NewName;
        } else if (!NewKnown) {
            Rec.Action = faRemoved;
        }
    } else if (!OldKnown) {
        return;
    }

    switch (Rec.Action) {
    case faAdded:
        if (!Same) {
            MarkFolder(Rec.Dir);
            break;
        }
        if (const int Index = PictureDB->FindName(Rec.FileName); Index >= 0) {
            if (PictureDB->UpdatePicture(Index))
                RedrawCell(Index);
        } else {
            // A file still waiting for its thumbnail may have been replaced meanwhile.
            PictureDB->DropPending(Rec.FileName);
            FCanDraw = false;
            const bool Added = PictureDB->AddPicture(Rec.FileName);
            if (Added) {
                DoContentsChange();
                MarkSelectedNode(true);
                FThumbnailGrid->SetNumOfCells(PictureDB->Count());
                if (FThumbnailGrid->SelectedCount() == 0)
                    FocusIndex(PictureDB->Count() - 1);
            }
            FCanDraw = true;
            FThumbnailGrid->Invalidate();
        }
        break;
    case faRemoved:
        if (!Same) {
            MarkFolder(Rec.Dir);
            break;
        }
        if (const int Index = PictureDB->FindName(Rec.FileName); Index >= 0)
            RemovePicture(Index);
        else
            PictureDB->DropPending(Rec.FileName);
        break;
    case faNameChanged:
        if (!Same)
            break;
        // A rename onto another picture's name replaced that file: its record goes, so that the
        // folder keeps one record per file.
        if (Rec.NewName != Rec.FileName) {
            if (const int Replaced = PictureDB->FindName(Rec.NewName); Replaced >= 0)
                RemovePicture(Replaced);
            else
                PictureDB->DropPending(Rec.NewName);
        }
        if (const int Index = PictureDB->FindName(Rec.FileName); Index >= 0) {
            if (PictureDB->RenamePicture(Index, Rec.NewName)) {
                RedrawCell(Index);
                UpdateStatusBar(CurrentIndex());
                FThumbnailGrid->setFocus();
            }
        } else {
            PictureDB->RenamePending(Rec.FileName, Rec.NewName);
        }
        break;
    case faUpdated:
        if (!Same)
            break;
        if (const int Index = PictureDB->FindName(Rec.FileName); Index >= 0 && PictureDB->UpdatePicture(Index))
            RedrawCell(Index);
        break;
    default: break;
    }
}
