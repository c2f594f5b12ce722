#pragma once
// The picture open and save dialogs: Qt's own (non-native) file dialogs with a picture panel at their
// right (a caption with the picture's size, a preview area and up to three small buttons: full-size
// preview, browse the folder, picture options), and the preview area's panel that shows
// "Invalid image" instead of failing.
#include "controls/XPanels.h"

#include <QFileDialog>
#include <QFutureWatcher>
#include <QImage>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QToolButton;
class TGIFImage;
class TPreviewAnimation;

// ---- Preview pictures, free of widgets ---------------------------------------------------------------

// The size a W x H picture shows at in a MaxW x MaxH area, proportions kept: a picture taller than the
// area's proportion gets the area's height, any other larger picture the area's width; one that fits
// keeps its size. No side drops below 1.
void FitPreviewSize(int W, int H, int MaxW, int MaxH, int& NewW, int& NewH);

// A picture prepared for a preview area.
struct TFilePreview {
    bool Valid = false;  // a regular file that loaded as a picture
    int Width = 0;       // the picture's own size, before shrinking
    int Height = 0;
    QImage Image;        // the picture fitted to the area (FitPreviewSize); a GIF's first frame
    // A GIF of two frames or more, whole, to be played in the area (never with Resample).
    std::shared_ptr<TGIFImage> Animation;
};

// Loads FileName by its content (BMP, JPEG, GIF) for a MaxW x MaxH preview area: only a regular file
// is opened; a JPEG is decoded at the smallest library scale that still holds twice the shown size.
// Resample shrinks by area averaging, otherwise by dropping pixels; without Resample an animated GIF
// comes whole as well. Never raises: anything that is no readable picture gives an invalid preview.
// Safe on any thread.
TFilePreview LoadPicturePreview(const std::string& FileName, int MaxW, int MaxH, bool Resample) noexcept;

// ---- The preview area ------------------------------------------------------------------------------------

// A panel whose painting may fail: OnPaintContents draws inside the bevels; when it raises, the panel
// shows the caption "Invalid image" instead.
class TXSilentPaintPanel : public TXCustomPanel {
public:
    explicit TXSilentPaintPanel(QWidget* Parent = nullptr);
    // (Sender, Canvas, the area inside the bevels and the border)
    std::function<void(QWidget* Sender, QPainter& Canvas, const QRect& Area)> OnPaintContents;
    TNotifyEvent OnDblClick;

protected:
    void Paint(QPainter& Canvas) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
};

// ---- The dialogs ------------------------------------------------------------------------------------------

enum TPictureDialogExtraButton : unsigned { ebPreview = 1, ebBrowse = 2, ebOptions = 4 };
using TPictureDialogExtraButtons = unsigned; // TPictureDialogExtraButton bits

// Left edges of the present buttons (preview, browse, options; 0 for an absent one): the first
// present button at PanelWidth - 30, each next one 26 further left.
struct TExtraButtonLefts {
    int Preview = 0, Browse = 0, Options = 0;
};
TExtraButtonLefts ExtraButtonLefts(TPictureDialogExtraButtons Buttons, int PanelWidth);

class TXCustomOpenPictureDialog : public QFileDialog {
public:
    explicit TXCustomOpenPictureDialog(QWidget* Parent = nullptr);
    ~TXCustomOpenPictureDialog() override;

    TPictureDialogExtraButtons ExtraButtons() const { return FExtraButtons; }
    void SetExtraButtons(TPictureDialogExtraButtons Value);
    // Shrink previews by area averaging rather than by dropping pixels.
    bool ResampleSmlPreview() const { return FResampleSmlPreview; }
    void SetResampleSmlPreview(bool Value) { FResampleSmlPreview = Value; }
    TNotifyEvent OnOptionsClick;

    // The chosen files (after the dialog ended with OK) and the first of them.
    std::vector<std::string> FileNames() const;
    std::string FileName() const;
    // True when the dialog was ended by its browse button (it then answers Cancel); the folder it
    // showed. Both keep their values after the dialog closed, until it shows again.
    bool BrowseClicked() const { return FBrowseClicked; }
    const std::string& CurrentFolder() const { return FCurrentFolder; }
    // Shows Folder (its bytes as the file system has them); nothing when it is no folder. Qt names
    // files with Unicode text only, so a folder whose name is not UTF-8 is shown through the link
    // "/proc/self/fd/N" to a handle of it, and the names chosen in it come back with its own bytes.
    void ShowFolder(const std::string& Folder);
    // The folder the dialog shows, as bytes.
    std::string Folder() const;

    // Previews FullName as a selection change does: nothing when it is the name previewed last;
    // else the picture panel shows the picture and its size, or "Picture:" / "(None)" when it is
    // no readable picture. The picture is decoded on a worker thread; a newer selection overrides
    // an older one still being decoded.
    void PreviewFile(const std::string& FullName);
    // A preview is being decoded; WaitForPreview shows it as soon as it is ready.
    bool PreviewPending() const { return FPending.isRunning(); }
    void WaitForPreview();
    // The file of the last picture that previewed well (empty when none did since the dialog showed).
    const std::string& LastGoodPreview() const { return FLastGood; }
    const QImage& PreviewImage() const { return FPreview; }
    // The picture previewed is an animated GIF playing in the preview area. It stops when the
    // selection changes, when the dialog ends or shows again.
    bool PreviewAnimated() const { return FAnimation != nullptr; }
    // The number of previews decoded so far.
    int PreviewLoads() const { return FPreviewLoads; }
    // Called on the decoding thread with the file's name just before a selection's preview is
    // decoded; unset in the program (tests watch what has happened by then).
    static inline std::function<void(const std::string& FileName)> OnPreviewDecode;
    // The full-size preview window of the last picture that previewed well (modal, through the
    // installed user-interface services); an animated GIF plays in it until it closes.
    void ShowFullSizePreview();

    // The parts of the picture panel.
    TXPanel* PicturePanel() const { return FPicturePanel; }
    QLabel* PictureLabel() const { return FPictureLabel; }
    QToolButton* PreviewButton() const { return FPreviewButton; }
    QToolButton* BrowseButton() const { return FBrowseButton; }
    QToolButton* OptionsButton() const { return FOptionsButton; }
    TXSilentPaintPanel* PaintPanel() const { return FPaintPanel; }

protected:
    // Proposes Name (bytes, without a folder) in the file name box; when chosen as it stands it comes
    // back with the same bytes, also when they are not UTF-8.
    void ProposeName(const std::string& Name);
    // The bytes of a path the file dialog gives (folder link and proposed name mapped back).
    std::string LocalName(const QString& Path) const;

    virtual void DoOptionsClick();
    virtual std::string GetOptionsHint() const { return {}; }
    // Places the present buttons and shows each by its member of ExtraButtons.
    void PlaceButtons();
    // Sets the options button's hint; the constructors of the published dialogs call it.
    void UpdateOptionsHint();

    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;

private:
    void ClearPreview();
    void ShowInvalid();
    void StopAnimation();
    void PreviewReady();
    void PaintPreview(QPainter& Canvas, const QRect& Area);
    void BrowseClick();
    // The preview area inside the paint panel's bevels.
    QSize PreviewArea() const;

    TXPanel* FPicturePanel;
    QLabel* FPictureLabel;
    QToolButton* FPreviewButton;
    QToolButton* FBrowseButton;
    QToolButton* FOptionsButton;
    TXSilentPaintPanel* FPaintPanel;
    QImage FPreview;
    std::unique_ptr<TPreviewAnimation> FAnimation;
    std::string FLastPreviewed;
    std::string FLastGood;
    TPictureDialogExtraButtons FExtraButtons = ebPreview | ebBrowse;
    bool FResampleSmlPreview = false;
    bool FBrowseClicked = false;
    std::string FCurrentFolder;
    // A folder shown through its handle's link: the handle (-1 for none), the folder's bytes, the link.
    int FFolderHandle = -1;
    std::string FFolderBytes;
    QString FFolderLink;
    // The name proposed, as bytes and as the text shown for them.
    std::string FProposedName;
    QString FProposedText;
    // The decoding under way and the name it is for; a result for any other name is dropped.
    QFutureWatcher<TFilePreview> FPending;
    std::string FPendingName;
    int FPreviewLoads = 0;
};

// The open dialog: several existing files may be chosen.
class TXOpenPictureDialog : public TXCustomOpenPictureDialog {
public:
    explicit TXOpenPictureDialog(QWidget* Parent = nullptr);

protected:
    std::string GetOptionsHint() const override { return "Open picture options"; }
};

// The picture file types of the save dialog, in the order of its filter list.
struct TSavePictureType {
    const char* Extension; // without the dot, lower case
    const char* Filter;
};
extern const TSavePictureType SavePictureTypes[4];
// The filter index (0-based) for a file name's extension: jpg 1, jpeg 2, gif 3, anything else 0.
int SavePictureTypeIndex(const std::string& FileName);

// The save dialog: a name typed without an extension takes the chosen file type's; replacing an
// existing file is confirmed through the user-interface services' question (No keeps the dialog open
// and the file as it is).
class TXSavePictureDialog : public TXCustomOpenPictureDialog {
public:
    explicit TXSavePictureDialog(QWidget* Parent = nullptr);
    // Opens the dialog on FileName: its folder, its name and the file type of its extension.
    void SetPictureFileName(const std::string& FileName);
    // The chosen file type (index into SavePictureTypes).
    int TypeIndex() const;
    void SetTypeIndex(int Index);

    void accept() override;

protected:
    std::string GetOptionsHint() const override { return "Save picture options"; }
};
