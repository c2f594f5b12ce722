// The main window's commands that work so far (the file commands, undo, cut, copy, the pastes, the
// picture commands without a dialog, the zoom grid and About), and the enabling of the commands by the
// kind of the active child and by the clipboard.
#include "shell/CVMain.h"

#include "dialogs/AdjustDlgs.h"
#include "dialogs/PrintPreviewDlg.h"
#include "dialogs/RotateDlg.h"
#include "dialogs/SaveOptionsDlg.h"
#include "dialogs/SizeDlgs.h"
#include "shell/AboutDlg.h"

#include "controls/RFPicPopupMenu.h"
#include "controls/XOpenPictureDlg.h"
#include "image/BitmapUtils.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "shell/CVClipbrd.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QPointer>

#include <algorithm>

void TCanvelloMain::ActNewPicExecute()
{
    TNewPicForm dialog(this, -1, -1);
    if (UIServices().ExecuteDialog(dialog))
        NewPicture(dialog.PicWidth, dialog.PicHeight, dialog.SelectedColour());
}

namespace {

// The folder the picture dialogs showed last (its bytes): the next one opens there, as the desktop's
// dialogs do.
std::string& LastPictureFolder()
{
    static std::string folder;
    return folder;
}

void OpenInLastPictureFolder(TXCustomOpenPictureDialog& Dialog)
{
    Dialog.ShowFolder(LastPictureFolder());
}

} // namespace

void TCanvelloMain::ActOpenPicExecute()
{
    TXOpenPictureDialog dialog(this);
    OpenInLastPictureFolder(dialog);
    const bool chosen = UIServices().ExecuteDialog(dialog);
    LastPictureFolder() = dialog.Folder();
    if (chosen) {
        for (const std::string& name : dialog.FileNames())
            OpenPictureFile(name);
    } else if (dialog.BrowseClicked()) {
        OpenBrowser(dialog.CurrentFolder(), false);
    }
}

bool TCanvelloMain::SavePicture(TCVPicChildWin* Child, bool AskName)
{
    if (!Child)
        return false;
    std::string name = Child->FileName();
    const bool noName = std::all_of(name.begin(), name.end(), [](unsigned char c) { return c <= ' '; });
    if (AskName || noName) {
        // The dialog opens on the picture's own name and type; a new picture proposes its title.
        TXSavePictureDialog dialog(this);
        dialog.SetExtraButtons(ebPreview | ebOptions);
        dialog.OnOptionsClick = [&dialog](QWidget*) {
            TSaveOptionsForm options(&dialog);
            UIServices().ExecuteDialog(options);
        };
        OpenInLastPictureFolder(dialog);
        dialog.SetPictureFileName(noName ? Child->DisplayName() : name);
        const bool chosen = UIServices().ExecuteDialog(dialog);
        LastPictureFolder() = dialog.Folder();
        if (!chosen || dialog.FileName().empty())
            return false;
        name = dialog.FileName();
    }
    std::string reason;
    if (!Child->SaveToFile(name, &reason)) {
        // The file the user asked for, and why it could not be written on a line of its own.
        std::string text = Format(SErrorSavingPicture, name);
        if (!reason.empty())
            text += "\n" + reason;
        UIServices().MessageDlg(this, text, mtError, mbOK);
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
    // A close question runs an event loop, in which other windows may close and be freed: each
    // window is reached through a guarded pointer, and a freed one is passed over.
    std::vector<QPointer<QMdiSubWindow>> windows;
    for (QMdiSubWindow* w : FMdiArea->subWindowList())
        windows.emplace_back(w);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (QMdiSubWindow* w = *it)
            w->close();
}

void TCanvelloMain::ActFileExitExecute()
{
    close();
}

void TCanvelloMain::ActClearClipboardExecute()
{
    if (CVClipboard)
        CVClipboard->Clear();
}

void TCanvelloMain::ActPasteIntoPicExecute()
{
    // The pasted picture becomes a floating selection at the visible rectangle's top left.
    TCVPicChildWin* pic = ActivePicChild();
    if (!pic || !CVClipboard || !CVClipboard->HasPicture())
        return;
    TBitmap bitmap;
    TColor tag = -1;
    CVClipboard->PasteBitmap(&bitmap, tag);
    if (pic->PasteBitmap(&bitmap, tag))
        PressSelectRect();
}

void TCanvelloMain::ActSelectAllExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        pic->SelectAll();
        PressSelectRect();
    }
}

void TCanvelloMain::PressSelectRect()
{
    if (QAction* select = Action("ActSelectRect"); select && !select->isChecked())
        select->trigger();
}

void TCanvelloMain::ActPasteAsNewExecute()
{
    if (!CVClipboard || !CVClipboard->HasPicture()) {
        UIServices().MessageDlg(this, "There is not a bitmap on the Clipboard", mtInformation, mbOK);
        return;
    }
    TBitmap bitmap;
    TColor tag = -1;
    CVClipboard->PasteBitmap(&bitmap, tag);
    PasteAsNewPicture(&bitmap, tag);
}

void TCanvelloMain::ActPasteCleverExecute()
{
    if (ActivePicChild())
        ActPasteIntoPicExecute();
    else
        ActPasteAsNewExecute();
}

bool TCanvelloMain::PasteAsNewPicture(TBitmap* Bitmap, TColor Tag)
{
    if (!Bitmap)
        return false;
    // A transparent colour of the clipboard item shows as the current background in a new picture.
    if (Tag >= 0)
        ReplaceBitmapColour(*Bitmap, Tag, BackgroundColour, 0);
    return NewPictureFromBitmap(Bitmap);
}

void TCanvelloMain::ActCopyPicExecute()
{
    TCVPicChildWin* pic = ActivePicChild();
    if (pic && !pic->CopyToClipboard())
        UIServices().MessageDlg(this, SCannotCopyToClipboard, mtError, mbOK);
}

void TCanvelloMain::ActCutPicExecute()
{
    // A cut that could not reach the clipboard leaves the picture as it was.
    TCVPicChildWin* pic = ActivePicChild();
    if (pic && !pic->CutToClipboard())
        UIServices().MessageDlg(this, SCannotCopyToClipboard, mtError, mbOK);
}

void TCanvelloMain::ActShowHideZoomGridExecute()
{
    const bool show = Action("ActShowHideZoomGrid")->isChecked();
    for (QMdiSubWindow* w : FMdiArea->subWindowList())
        if (auto* pic = dynamic_cast<TCVPicChildWin*>(w))
            pic->PictureScrollBox().SetShowZoomGrid(show);
}

void TCanvelloMain::ActAboutExecute()
{
    TAboutDialog about(this);
    about.exec();
}

namespace {

// Runs a dialog made for Pic: on OK Apply commits its values; otherwise a preview it showed on the
// picture is undone.
template <class D, class A>
void RunPictureDialog(TCVPicChildWin* Pic, D& Dialog, A&& Apply)
{
    if (UIServices().ExecuteDialog(Dialog))
        Apply(Dialog);
    else if (Pic->IsPreviewing())
        Pic->EndPreview();
}

} // namespace

void TCanvelloMain::ActRotatePicExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TRotateDialog dialog(this, pic, BackgroundColour);
        RunPictureDialog(pic, dialog, [pic](TRotateDialog& D) { pic->RotatePicture(D.Angle, BackgroundColour, false); });
    }
}

void TCanvelloMain::ActEnlargePicCanvasExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TEnlargeCanvasForm dialog(this, pic->Picture().Width(), pic->Picture().Height());
        RunPictureDialog(pic, dialog, [pic](TEnlargeCanvasForm& D) {
            pic->EnlargeCanvas(D.NewWidth, D.NewHeight, D.CenterPicture(), BackgroundColour);
        });
    }
}

void TCanvelloMain::ActResizePicExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TResizePicForm dialog(this, pic);
        dialog.setWindowTitle("Resize Picture");
        RunPictureDialog(pic, dialog, [pic](TResizePicForm& D) { pic->ResizePicture(D.PicWidth, D.PicHeight); });
    }
}

void TCanvelloMain::ActResamplePicExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TResizePicForm dialog(this, pic);
        dialog.setWindowTitle("Resample Picture");
        RunPictureDialog(pic, dialog, [pic](TResizePicForm& D) { pic->ResamplePicture(D.PicWidth, D.PicHeight); });
    }
}

void TCanvelloMain::ActBrightenPicExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TAdjBrightDialog dialog(this, pic);
        RunPictureDialog(pic, dialog, [pic](TAdjBrightDialog& D) { pic->BrightenPicture(D.Brightness(), false); });
    }
}

void TCanvelloMain::ActGammaCorrectPicExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TAdjGammaDialog dialog(this, pic);
        RunPictureDialog(pic, dialog, [pic](TAdjGammaDialog& D) { pic->GammaCorrectPicture(D.Gamma(), false); });
    }
}

void TCanvelloMain::ActBlurPicExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TBlurDialog dialog(this, pic);
        RunPictureDialog(pic, dialog, [pic](TBlurDialog& D) { pic->BlurPicture(D.BlurRadius(), false); });
    }
}

void TCanvelloMain::ActAdjustRGBPicExecute()
{
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TAdjRGBDialog dialog(this, pic);
        RunPictureDialog(pic, dialog,
                         [pic](TAdjRGBDialog& D) { pic->AdjustRGBPicture(D.Red(), D.Green(), D.Blue(), false); });
    }
}

void TCanvelloMain::ActPrintPicExecute()
{
    // What prints is what Save would write: a floating selection is composed into a copy first.
    if (TCVPicChildWin* pic = ActivePicChild()) {
        TXBitmap merged;
        TPrintPreviewDialog dialog(this, &pic->SavedPicture(merged), pic->FileName());
        UIServices().ExecuteDialog(dialog);
    }
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
    FCropWanted = Value;
    Action("ActCropPic")->setEnabled(Value);
}

void TCanvelloMain::UpdatePasteActions()
{
    FClipboardHasPicture = CVClipboard && CVClipboard->HasPicture();
    for (const char* name : {"ActPasteClever", "ActPasteAsNew", "ActClearClipboard"})
        Action(name)->setEnabled(FClipboardHasPicture);
    // Pasting into a picture needs one.
    Action("ActPasteIntoPic")->setEnabled(FClipboardHasPicture && ActivePicChild());
}

void TCanvelloMain::UpdateActionsForChild(TBasicCVChild* Child)
{
    const uint8_t kind = Child ? Child->ChildKind() : 0;
    auto* pic = dynamic_cast<TCVPicChildWin*>(Child);
    SetCropEnabled(pic && pic->Selection());
    Action("ActUndo")->setEnabled(pic && pic->CanUndo());
    UpdateBrowseActions(Child, !Child || kind != LastChildKind);
    if (Child && kind == LastChildKind)
        return;
    for (const char* name : {"ActCloseChild", "ActCloseAllChildren"})
        Action(name)->setEnabled(kind != 0);
    Action("ActSelectAll")->setEnabled(kind != 0);
    for (const char* name : {"ActPicSave", "ActPicSaveAs", "ActCutPic", "ActCopyPic", "ActFlipPic", "ActMirrorPic",
                             "ActRotatePic", "ActClearPic", "ActEnlargePicCanvas", "ActResizePic", "ActResamplePic",
                             "ActBlurPic", "ActBrightenPic", "ActGammaCorrectPic", "ActAdjustRGBPic",
                             "ActGreyScalePic", "ActNegativePic", "ActPrintPic"})
        Action(name)->setEnabled(kind == ckPicture);
    Action("ActPasteClever")->setEnabled(FClipboardHasPicture);
    Action("ActPasteIntoPic")->setEnabled(FClipboardHasPicture && kind == ckPicture);
    if (FImageMenu) {
        FImageMenu->menuAction()->setVisible(kind == ckPicture);
        FColourMenu->menuAction()->setVisible(kind == ckPicture);
        FBrowseMenu->menuAction()->setVisible(kind == ckBrowser);
    }
    LastChildKind = kind;
}
