// The main window's commands that work so far: New, Open, Save, Save As, Close, Close All, Exit and
// Undo, and the enabling of the commands by the kind of the active child.
#include "shell/CVMain.h"

#include "controls/RFPicPopupMenu.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QMenu>

#include <algorithm>

void TCanvelloMain::ActNewPicExecute()
{
    NewPicture(kDefaultNewPictureWidth, kDefaultNewPictureHeight, clWhite);
}

void TCanvelloMain::ActOpenPicExecute()
{
    std::vector<std::string> names;
    if (UIServices().OpenPictureFiles(this, names))
        for (const std::string& name : names)
            OpenPictureFile(name);
}

bool TCanvelloMain::SavePicture(TCVPicChildWin* Child, bool AskName)
{
    if (!Child)
        return false;
    std::string name = Child->FileName();
    const bool noName = std::all_of(name.begin(), name.end(), [](unsigned char c) { return c <= ' '; });
    if (AskName || noName) {
        std::string chosen = noName ? Child->DisplayName() : name;
        if (!UIServices().SavePictureFile(this, chosen))
            return false;
        name = chosen;
    }
    if (!Child->SaveToFile(name)) {
        UIServices().MessageDlg(this, Format(SErrorSavingPicture, name), mtError, mbOK);
        return false;
    }
    FRecentFilesPopupMenu->AddFile(Child->FileName());
    return true;
}

void TCanvelloMain::ActPicSaveExecute()
{
    SavePicture(ActivePicChild(), false);
}

void TCanvelloMain::ActPicSaveAsExecute()
{
    SavePicture(ActivePicChild(), true);
}

void TCanvelloMain::ActCloseChildExecute()
{
    if (QMdiSubWindow* w = FMdiArea->activeSubWindow())
        w->close();
}

void TCanvelloMain::ActCloseAllChildrenExecute()
{
    const QList<QMdiSubWindow*> windows = FMdiArea->subWindowList();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        (*it)->close();
        QCoreApplication::processEvents();
    }
}

void TCanvelloMain::ActFileExitExecute()
{
    close();
}

void TCanvelloMain::ActUndoExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild())
        pic->Undo();
}

void TCanvelloMain::ZoomComboSelect(int Index)
{
    TCVPicChildWin* pic = ActivePicChild();
    if (pic && Index + 1 != pic->ZoomFactor())
        pic->SetZoom(Index + 1, -1, -1);
}

void TCanvelloMain::SetCropEnabled(bool Value)
{
    // Crop follows the selection once it has its handler; until then it stays disabled.
    FCropWanted = Value;
}

void TCanvelloMain::UpdatePasteActions()
{
    // The clipboard commands come with the clipboard's own commands.
    FClipboardHasPicture = false;
}

void TCanvelloMain::UpdateActionsForChild(TBasicCVChild* Child)
{
    const uint8_t kind = Child ? Child->ChildKind() : 0;
    auto* pic = dynamic_cast<TCVPicChildWin*>(Child);
    SetCropEnabled(pic && pic->Selection());
    Action("ActUndo")->setEnabled(pic && pic->CanUndo());
    if (Child && kind == LastChildKind)
        return;
    for (const char* name : {"ActCloseChild", "ActCloseAllChildren"})
        Action(name)->setEnabled(kind != 0);
    for (const char* name : {"ActPicSave", "ActPicSaveAs"})
        Action(name)->setEnabled(kind == ckPicture);
    if (FImageMenu) {
        FImageMenu->menuAction()->setVisible(kind == ckPicture);
        FColourMenu->menuAction()->setVisible(kind == ckPicture);
        FBrowseMenu->menuAction()->setVisible(kind == ckBrowser);
    }
    LastChildKind = kind;
}
