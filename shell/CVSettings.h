#pragma once
// The settings keys of the main window and its viewers, the dock layout file, and the helpers that
// make stored values safe to use: a window rectangle fitted onto the screens that exist now, a
// position kept on a screen, counts limited to what their list can hold.
#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* kMainWindowKey = "software\\Brenick_Labs\\Canvello_New\\Main_Window";
inline constexpr const char* kRecentFilesKey = "software\\Brenick_Labs\\Canvello_New\\Main_Window\\Recent_Files";
inline constexpr const char* kRecentTextKey = "software\\Brenick_Labs\\Canvello_New\\Main_Window\\Recent_Text";
inline constexpr const char* kColourPanelKey = "software\\Brenick_Labs\\Canvello_New\\Main_Window\\Colour_Panel";
inline constexpr const char* kRecentColoursKey = "software\\Brenick_Labs\\Canvello_New\\Main_Window\\Recent_Colours";
inline constexpr const char* kViewerKey = "software\\Brenick_Labs\\Canvello_New\\Viewer";
inline constexpr const char* kCbViewerKey = "software\\Brenick_Labs\\Canvello_New\\CbViewer";

inline constexpr const char* kDockLayoutFileName = "Canvello.sbd";
// The dock layout file in the per-user data folder (empty when there is none).
std::string DockLayoutFilePath();

// The smallest main window worth restoring, and the size it gets when nothing usable is stored.
inline constexpr int kMinUsableWindowWidth = 320;
inline constexpr int kMinUsableWindowHeight = 240;
inline constexpr int kDefaultWindowWidth = 1024;
inline constexpr int kDefaultWindowHeight = 720;

// The available geometry of every screen, the primary one first (empty without screens).
std::vector<QRect> AvailableScreenRects();

// The stored rectangle cut to the available area of the screen that shows most of it. When no
// screen shows at least Usable of it (a monitor that is gone, a rectangle of no size), the window
// is centred on the first screen at the stored size, limited to Usable .. the screen's size, or at
// Default when the stored size is not positive. The result never has a zero or negative size.
QRect FitWindowRect(const QRect& Stored, const std::vector<QRect>& Screens, const QSize& Usable,
                    const QSize& Default);

// Top-left Pos moved so that a window of Size lies inside Screen where it fits (its left and top
// edge win where it does not).
QPoint ClampWindowPos(const QPoint& Pos, const QSize& Size, const QRect& Screen);
// The available area of the screen holding Pos (or the nearest one; the first when none).
QRect ScreenRectAt(const QPoint& Pos, const std::vector<QRect>& Screens);

// The stored length of the recent-files list (5 when none), limited to what the list holds.
uint8_t StoredMaxFileList();

// Value limited to Low .. High.
int32_t ClampCount(int32_t Value, int32_t Low, int32_t High);
