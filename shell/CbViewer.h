#pragma once
// The clipboard viewer: one tab per picture of the program's clipboard, newest first, showing the
// selected picture, with paste, paste as new picture, promote, delete and clear. While shown it hears
// every clipboard change and rebuilds its tabs. A rebuild reads only the items' headers: a tab's
// picture is read when it is first needed, and a picture already read stays with its item.
#include "platform/Graphics.h"
#include "shell/CVPinnedForm.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QLabel;
class QScrollArea;
class QTabBar;
class TCVClipboard;
class TCbItemImage;

// One tab's picture (shared with the clipboard, which does not change it), with its transparent colour
// (-1 for none) and the clipboard item's id. Until Loaded the picture has not been read yet.
struct TCbTabData {
    std::shared_ptr<const TBitmap> Bitmap;
    TColor Tag = -1;
    uint32_t ItemID = 0;
    uint64_t Fingerprint = 0;
    bool Loaded = true;
};

class TCbTabDataList {
public:
    // A record for ItemID and Tag; with Source its pixels are copied, and a Tag >= 0 makes the copy
    // transparent in that colour.
    void Add(uint32_t ItemID, const TBitmap* Source, TColor Tag);
    // A record whose picture is read later, or one moved over from an earlier list.
    void AddPending(uint32_t ItemID, TColor Tag, uint64_t Fingerprint);
    void Append(TCbTabData&& Data) { FItems.push_back(std::move(Data)); }
    // Takes the records out, leaving the list empty.
    std::vector<TCbTabData> Release() { return std::exchange(FItems, {}); }
    // Raises Exception "Item index %d out of bounds" outside 0 .. Count - 1.
    TCbTabData& Get(int Index);
    int Count() const { return static_cast<int>(FItems.size()); }
    void Clear() { FItems.clear(); }

private:
    std::vector<TCbTabData> FItems;
};

class TCbViewerForm : public TCVBasePinnedForm {
public:
    static constexpr int kDesignHeight = 249;
    static constexpr int kTabWidth = 40;

    // AClipboard: the clipboard shown (null: the program's one, CVClipboard, when it is shown).
    TCbViewerForm(TDockingPanel* DockPanel, const std::string& RegKey, QWidget* MainForm,
                  TCVClipboard* AClipboard = nullptr);
    ~TCbViewerForm() override;

    void RefreshTabs();
    // The record of tab Index with its picture read, or null.
    TCbTabData* GetTabData(int Index);
    TCbTabDataList& TabData() { return FTabData; }
    int TabIndex() const;
    void SetTabIndex(int Index);
    QTabBar* ClipboardPages() const { return FTabs; }
    QLabel* CBIsEmptyLabel() const { return FEmptyLabel; }
    QScrollArea* ImageScrollBox() const { return FScrollBox; }
    QWidget* CbItemImage() const;
    // The action of a name ("PasteCbImage", "PasteCbImageAsNew", "PromoteCbImage", "DeleteCbImage",
    // "ClearCb"), or null.
    QAction* Action(const char* Name) const;

    // Sender, the picture (a copy of the tab's, the handler's to change), AsNew, its transparent colour.
    std::function<void(TCbViewerForm* Sender, TBitmap* Bitmap, bool AsNew, TColor Tag)> OnPasteImage;
    void DoPasteImage(TBitmap* Bitmap, TColor Tag, bool AsNew);
    void PaintSelectedImage();

protected:
    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    TCVClipboard* Clipboard() const;
    void UpdateActions();
    // The tab bar, the empty label and the actions made to match the records.
    void SyncTabs() noexcept;
    void Listen(bool On);

    TCVClipboard* FClipboard;
    TCVClipboard* FListeningTo = nullptr;
    TCbTabDataList FTabData;
    QTabBar* FTabs = nullptr;
    QLabel* FEmptyLabel = nullptr;
    QScrollArea* FScrollBox = nullptr;
    TCbItemImage* FItemImage = nullptr;
    std::vector<QAction*> FActions;
};
