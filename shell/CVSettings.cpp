// The main window's settings: its placement, the recent files and texts, the view flags, the colour
// panel and the recent colours, read at start-up and written at shut-down. What is read is outside
// data: a missing key or value keeps the default, and every count is limited before a loop uses it.
#include "shell/CVSettings.h"

#include "controls/RFPicPopupMenu.h"
#include "controls/RecentColorsGrd.h"
#include "controls/XPanels.h"
#include "platform/Registry.h"
#include "shell/CVMain.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include <algorithm>

namespace {

// The most entries a recent list can hold (its length is a byte).
constexpr int32_t kMaxListLength = 255;

int64_t Area(const QRect& R)
{
    return R.isValid() ? int64_t(R.width()) * R.height() : 0;
}

} // namespace

// ---- Helpers -----------------------------------------------------------------------------------------

std::string DockLayoutFilePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty())
        return {};
    return QFile::encodeName(folder + u'/' + QString::fromUtf8(kDockLayoutFileName)).toStdString();
}

std::vector<QRect> AvailableScreenRects()
{
    std::vector<QRect> rects;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        rects.push_back(primary->availableGeometry());
    for (const QScreen* s : QGuiApplication::screens())
        if (s != QGuiApplication::primaryScreen())
            rects.push_back(s->availableGeometry());
    return rects;
}

int32_t ClampCount(int32_t Value, int32_t Low, int32_t High)
{
    return std::max(Low, std::min(Value, High));
}

QRect FitWindowRect(const QRect& Stored, const std::vector<QRect>& Screens, const QSize& Usable, const QSize& Default)
{
    const QRect first = Screens.empty() ? QRect(0, 0, Default.width(), Default.height()) : Screens.front();
    QRect best;
    for (const QRect& s : Screens) {
        const QRect part = Stored.intersected(s);
        if (Area(part) > Area(best))
            best = part;
    }
    if (best.width() >= Usable.width() && best.height() >= Usable.height())
        return best;
    // Too little of it is on any screen: centred on the first one at a usable size.
    QSize size = Stored.width() > 0 && Stored.height() > 0 ? Stored.size() : Default;
    size = size.expandedTo(Usable).boundedTo(first.size()).expandedTo(QSize(1, 1));
    QRect r(QPoint(0, 0), size);
    r.moveCenter(first.center());
    return r;
}

QRect ScreenRectAt(const QPoint& Pos, const std::vector<QRect>& Screens)
{
    if (Screens.empty())
        return QRect();
    const QRect* nearest = &Screens.front();
    int64_t bestDistance = -1;
    for (const QRect& s : Screens) {
        if (s.contains(Pos))
            return s;
        const int64_t dx = Pos.x() < s.left() ? s.left() - Pos.x() : Pos.x() > s.right() ? Pos.x() - s.right() : 0;
        const int64_t dy = Pos.y() < s.top() ? s.top() - Pos.y() : Pos.y() > s.bottom() ? Pos.y() - s.bottom() : 0;
        const int64_t d = dx * dx + dy * dy;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            nearest = &s;
        }
    }
    return *nearest;
}

QPoint ClampWindowPos(const QPoint& Pos, const QSize& Size, const QRect& Screen)
{
    if (!Screen.isValid())
        return Pos;
    // The far edge first, so that a window larger than the screen keeps its left and top edge on it.
    int x = std::min(Pos.x(), Screen.left() + Screen.width() - Size.width());
    int y = std::min(Pos.y(), Screen.top() + Screen.height() - Size.height());
    x = std::max(x, Screen.left());
    y = std::max(y, Screen.top());
    return {x, y};
}

uint8_t StoredMaxFileList()
{
    TRegistry reg;
    int32_t n = 0;
    if (reg.OpenKey(kRecentFilesKey, false) && reg.TryReadInteger("MaxFileList", n))
        return uint8_t(ClampCount(n, 0, kMaxListLength));
    return 5;
}

// ---- The main window ---------------------------------------------------------------------------------

void TCanvelloMain::ReadPlacement()
{
    TRegistry reg;
    if (!reg.OpenKey(kMainWindowKey, false))
        return;
    int32_t l = 0, t = 0, r = 0, b = 0;
    if (reg.TryReadInteger("WinNormLeft", l) && reg.TryReadInteger("WinNormTop", t) &&
        reg.TryReadInteger("WinNormRight", r) && reg.TryReadInteger("WinNormBottom", b)) {
        // 64-bit sizes: stored corners far apart must not overflow.
        const int64_t w = int64_t(r) - l, h = int64_t(b) - t;
        const QRect stored = w > 0 && h > 0 && w <= INT32_MAX && h <= INT32_MAX ? QRect(l, t, int(w), int(h)) : QRect();
        setGeometry(FitWindowRect(stored, AvailableScreenRects(), QSize(kMinUsableWindowWidth, kMinUsableWindowHeight),
                                  QSize(kDefaultWindowWidth, kDefaultWindowHeight)));
    }
    bool maximized = false;
    if (reg.TryReadBool("WinMaximized", maximized) && maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TCanvelloMain::LoadSettings(bool ReadRecentFiles)
{
    TRegistry reg;
    int32_t n = 0;
    // Recent files: the list length, then (only when the thumbnail file gave none) the names.
    // The length is set once: a shorter one on the way would drop files the thumbnail file gave.
    FRecentFilesPopupMenu->SetMaxFileList(StoredMaxFileList());
    if (reg.OpenKey(kRecentFilesKey, false) && ReadRecentFiles)
        for (const std::string& name : reg.ReadNumberedStrings("FileName", FRecentFilesPopupMenu->MaxFileList()))
            FRecentFilesPopupMenu->AppendFile(name);
    MaxRecentList = 10;
    if (reg.OpenKey(kRecentTextKey, false) && reg.TryReadInteger("MaxRecentList", n)) {
        MaxRecentList = uint8_t(ClampCount(n, 0, kMaxListLength));
        RecentTexts = reg.ReadNumberedStrings("RecentText", MaxRecentList);
    }
    if (reg.OpenKey(kMainWindowKey, false)) {
        bool v = false;
        if (reg.TryReadBool("ShowZoomGrid", v))
            Action("ActShowHideZoomGrid")->setChecked(v);
        reg.TryReadBool("ViewerIsVisible", ViewerWasVisible);
        reg.TryReadBool("CbViewerIsVisible", CbViewerWasVisible);
        if (reg.TryReadBool("BrowserTreeVisible", v))
            SetBrowserTreeVisible(v);
    }
    if (reg.OpenKey(kColourPanelKey, false)) {
        bool v = false;
        if (reg.TryReadBool("Expanded", v))
            FSideBarPanel->SetExpanded(v);
        if (reg.TryReadBool("Locked", v))
            FSideBarPanel->SetLocked(v);
    }
    if (reg.OpenKey(kRecentColoursKey, false))
        for (int i = 0; i < FRecentColorsGrid->ColourCount(); ++i) {
            int32_t c = 0;
            // Only colour values: anything else in the file keeps the cell.
            if (reg.TryReadInteger("Colour" + std::to_string(i), c) && c >= 0 && c <= 0xFFFFFF)
                FRecentColorsGrid->SetColour(i, c);
        }
    reg.CloseKey();
}

void TCanvelloMain::SaveSettings(bool WriteRecentFiles)
{
    TRegistry reg;
    if (reg.OpenKey(kRecentFilesKey, true)) {
        reg.WriteInteger("MaxFileList", FRecentFilesPopupMenu->MaxFileList());
        if (WriteRecentFiles) {
            std::vector<std::string> names;
            for (int i = 0; i < FRecentFilesPopupMenu->Count(); ++i)
                names.push_back(FRecentFilesPopupMenu->GetFileName(i));
            reg.WriteNumberedStrings("FileName", names);
        }
    }
    if (reg.OpenKey(kRecentTextKey, true)) {
        reg.WriteInteger("MaxRecentList", MaxRecentList);
        reg.WriteNumberedStrings("RecentText", RecentTexts);
    }
    if (reg.OpenKey(kMainWindowKey, true)) {
        reg.WriteBool("ShowZoomGrid", Action("ActShowHideZoomGrid")->isChecked());
        reg.WriteBool("ViewerIsVisible", ViewerShown());
        reg.WriteBool("CbViewerIsVisible", CbViewerShown());
        reg.WriteBool("BrowserTreeVisible", BrowserTreeVisible());
        reg.WriteBool("WinMaximized", isMaximized());
        // The restored rectangle, also while maximized.
        QRect normal = normalGeometry();
        if (!normal.isValid())
            normal = geometry();
        reg.WriteInteger("WinNormLeft", normal.left());
        reg.WriteInteger("WinNormTop", normal.top());
        reg.WriteInteger("WinNormRight", normal.left() + normal.width());
        reg.WriteInteger("WinNormBottom", normal.top() + normal.height());
    }
    if (reg.OpenKey(kColourPanelKey, true)) {
        reg.WriteBool("Expanded", FSideBarPanel->Expanded());
        reg.WriteBool("Locked", FSideBarPanel->Locked());
    }
    if (reg.OpenKey(kRecentColoursKey, true))
        for (int i = 0; i < FRecentColorsGrid->ColourCount(); ++i)
            reg.WriteInteger("Colour" + std::to_string(i), FRecentColorsGrid->GetColour(i));
    reg.CloseKey();
}

void TCanvelloMain::SetBrowserTreeVisible(bool Value)
{
    FBrowserTreeVisible = Value;
    if (QAction* tree = Action("ActBrwsrShowTV"))
        tree->setChecked(Value);
}

bool TCanvelloMain::BrowserTreeVisible() const
{
    const QAction* tree = Action("ActBrwsrShowTV");
    return tree ? tree->isChecked() : FBrowserTreeVisible;
}
