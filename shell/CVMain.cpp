// The main window's frame: actions and menus, tool bars with their own drawn faces, the tool
// settings pages, the side panel with the colour panel, the status bar and the tool cursors.
#include "shell/CVMain.h"

#include "controls/ColourSpectrum.h"
#include "controls/RFPicPopupMenu.h"
#include "controls/RecentColorsGrd.h"
#include "controls/XGraphicCtrls.h"
#include "controls/AdvancedCombos.h"
#include "controls/XPanels.h"
#include "controls/XSpinEdits.h"
#include "controls/XStatusbar.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "shell/CVClipbrd.h"
#include "shell/CVToolSettings.h"
#include "shell/CVSettings.h"
#include "shell/DockingPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QSpinBox>
#include <QStackedWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Draws one of the program's small pictures into a square of side S.
void PaintGlyph(QPainter& P, const std::string& G, int S)
{
    P.setRenderHint(QPainter::Antialiasing, true);
    const double u = S / 16.0;
    P.scale(u, u);
    const QColor ink(40, 40, 40), paper(250, 250, 245), blue(40, 90, 200), yellow(235, 190, 60),
        red(210, 50, 40), green(40, 150, 60);
    QPen pen(ink, 1.0);
    pen.setJoinStyle(Qt::RoundJoin);
    P.setPen(pen);
    auto page = [&](double x, double y, double w, double h) {
        QPainterPath p;
        p.moveTo(x, y);
        p.lineTo(x + w - 3, y);
        p.lineTo(x + w, y + 3);
        p.lineTo(x + w, y + h);
        p.lineTo(x, y + h);
        p.closeSubpath();
        P.setBrush(paper);
        P.drawPath(p);
    };
    auto folder = [&] {
        P.setBrush(yellow);
        P.drawPolygon(QPolygonF({{1.5, 4}, {6, 4}, {7.5, 5.5}, {14.5, 5.5}, {14.5, 13.5}, {1.5, 13.5}}));
    };
    auto magnifier = [&](double cx, double cy, double r) {
        P.setBrush(QColor(200, 225, 255));
        P.drawEllipse(QPointF(cx, cy), r, r);
        P.setPen(QPen(ink, 2.0, Qt::SolidLine, Qt::RoundCap));
        P.drawLine(QPointF(cx + r * 0.7, cy + r * 0.7), QPointF(cx + r * 1.8, cy + r * 1.8));
        P.setPen(pen);
    };
    auto dashedRect = [&](double x, double y, double w, double h) {
        P.setBrush(Qt::NoBrush);
        P.setPen(QPen(ink, 1.0, Qt::DashLine));
        P.drawRect(QRectF(x, y, w, h));
        P.setPen(pen);
    };
    auto arrow = [&](QPointF a, QPointF b) {
        P.setPen(QPen(blue, 1.6, Qt::SolidLine, Qt::RoundCap));
        P.drawLine(a, b);
        const QPointF d = (b - a) / std::hypot(b.x() - a.x(), b.y() - a.y());
        const QPointF n(-d.y(), d.x());
        P.drawLine(b, b - d * 3 + n * 2);
        P.drawLine(b, b - d * 3 - n * 2);
        P.setPen(pen);
    };
    auto picture = [&](double x, double y, double w, double h) {
        P.setBrush(QColor(150, 200, 240));
        P.drawRect(QRectF(x, y, w, h));
        P.setBrush(green);
        P.drawPolygon(QPolygonF({{x, y + h}, {x + w * 0.4, y + h * 0.45}, {x + w * 0.7, y + h * 0.75}, {x + w, y + h * 0.5}, {x + w, y + h}}));
    };
    if (G == "new") {
        page(3, 1.5, 10, 13);
    } else if (G == "open") {
        folder();
    } else if (G == "save" || G == "saveas") {
        P.setBrush(blue);
        P.drawRect(QRectF(2, 2, 12, 12));
        P.setBrush(paper);
        P.drawRect(QRectF(4.5, 2, 7, 5));
        P.setBrush(QColor(200, 200, 200));
        P.drawRect(QRectF(5, 9.5, 6, 4.5));
        if (G == "saveas") {
            P.setPen(QPen(red, 1.5));
            P.drawLine(QPointF(10, 15), QPointF(15, 10));
        }
    } else if (G == "close") {
        P.setPen(QPen(red, 2.2, Qt::SolidLine, Qt::RoundCap));
        P.drawLine(QPointF(4, 4), QPointF(12, 12));
        P.drawLine(QPointF(12, 4), QPointF(4, 12));
    } else if (G == "print") {
        page(4, 1.5, 8, 6);
        P.setBrush(QColor(170, 170, 170));
        P.drawRoundedRect(QRectF(1.5, 6.5, 13, 6), 1, 1);
        page(4, 10, 8, 4.5);
    } else if (G == "undo") {
        P.setPen(QPen(blue, 1.8, Qt::SolidLine, Qt::RoundCap));
        P.setBrush(Qt::NoBrush);
        P.drawArc(QRectF(3, 4, 10, 9), 90 * 16, -200 * 16);
        P.drawLine(QPointF(8, 4), QPointF(5, 2));
        P.drawLine(QPointF(8, 4), QPointF(5.5, 6.5));
    } else if (G == "cut") {
        P.setBrush(Qt::NoBrush);
        P.drawEllipse(QPointF(4.5, 12), 2.3, 2.3);
        P.drawEllipse(QPointF(11.5, 12), 2.3, 2.3);
        P.setPen(QPen(ink, 1.3));
        P.drawLine(QPointF(6, 10.5), QPointF(11, 1.5));
        P.drawLine(QPointF(10, 10.5), QPointF(5, 1.5));
    } else if (G == "copy") {
        page(1.5, 1.5, 8, 10);
        page(6.5, 4.5, 8, 10);
    } else if (G == "paste") {
        P.setBrush(QColor(190, 140, 80));
        P.drawRoundedRect(QRectF(2, 2.5, 11, 12.5), 1, 1);
        P.setBrush(QColor(200, 200, 200));
        P.drawRect(QRectF(5, 1, 5, 3));
        page(7, 6, 7.5, 9);
    } else if (G == "viewer" || G == "cbviewer") {
        P.setBrush(paper);
        P.drawRect(QRectF(1.5, 2.5, 13, 11));
        P.setBrush(blue);
        P.drawRect(QRectF(1.5, 2.5, 13, 2.5));
        if (G == "viewer")
            picture(3.5, 6.5, 9, 5.5);
        else
            page(5, 6.5, 6, 6);
    } else if (G == "grid") {
        P.setBrush(paper);
        P.drawRect(QRectF(1.5, 1.5, 13, 13));
        for (double v = 4.75; v < 14; v += 3.25) {
            P.drawLine(QPointF(v, 1.5), QPointF(v, 14.5));
            P.drawLine(QPointF(1.5, v), QPointF(14.5, v));
        }
    } else if (G == "flip") {
        picture(2, 1.5, 12, 5);
        P.setOpacity(0.5);
        P.save();
        P.translate(0, 16);
        P.scale(1, -1);
        picture(2, 1.5, 12, 5);
        P.restore();
        P.setOpacity(1);
    } else if (G == "mirror") {
        P.save();
        P.translate(16, 0);
        P.rotate(90);
        picture(2, 1.5, 12, 5);
        P.restore();
        P.setOpacity(0.5);
        P.save();
        P.rotate(90);
        P.translate(0, -16);
        picture(2, 9.5, 12, 5);
        P.restore();
        P.setOpacity(1);
    } else if (G == "rotate") {
        P.save();
        P.translate(8, 8);
        P.rotate(-20);
        picture(-5, -4, 10, 8);
        P.restore();
        arrow(QPointF(12, 14.5), QPointF(15, 10));
    } else if (G == "crop") {
        P.setPen(QPen(ink, 1.8));
        P.drawLine(QPointF(4, 1), QPointF(4, 12));
        P.drawLine(QPointF(4, 12), QPointF(15, 12));
        P.drawLine(QPointF(1, 4), QPointF(12, 4));
        P.drawLine(QPointF(12, 4), QPointF(12, 15));
    } else if (G == "clear") {
        P.setBrush(paper);
        P.drawRect(QRectF(1.5, 1.5, 13, 13));
        P.setBrush(QColor(240, 150, 170));
        P.drawRoundedRect(QRectF(5, 6, 8, 5), 1, 1);
    } else if (G == "enlarge") {
        dashedRect(1.5, 1.5, 13, 13);
        picture(4.5, 4.5, 7, 7);
    } else if (G == "resize" || G == "resample") {
        picture(1.5, 6.5, 8, 8);
        arrow(QPointF(8, 8), QPointF(14.5, 1.5));
        if (G == "resample") {
            P.setBrush(Qt::NoBrush);
            P.drawRect(QRectF(1.5, 1.5, 13, 13));
        }
    } else if (G == "blur") {
        for (int i = 3; i >= 1; --i) {
            P.setPen(Qt::NoPen);
            P.setBrush(QColor(40, 90, 200, 70 * (4 - i)));
            P.drawEllipse(QPointF(8, 8), 2.0 * i + 1, 2.0 * i + 1);
        }
    } else if (G == "bright") {
        P.setBrush(yellow);
        P.drawEllipse(QPointF(8, 8), 3.5, 3.5);
        P.setPen(QPen(yellow.darker(130), 1.3, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 8; ++i) {
            const double a = i * M_PI / 4;
            P.drawLine(QPointF(8 + 5 * std::cos(a), 8 + 5 * std::sin(a)), QPointF(8 + 7 * std::cos(a), 8 + 7 * std::sin(a)));
        }
    } else if (G == "gamma") {
        P.setBrush(Qt::NoBrush);
        P.drawRect(QRectF(1.5, 1.5, 13, 13));
        P.setPen(QPen(red, 1.6));
        QPainterPath c;
        c.moveTo(1.5, 14.5);
        c.cubicTo(3, 5, 8, 2, 14.5, 1.5);
        P.drawPath(c);
    } else if (G == "rgb") {
        P.setPen(Qt::NoPen);
        P.setOpacity(0.8);
        P.setBrush(red);
        P.drawEllipse(QPointF(6, 6), 4, 4);
        P.setBrush(green);
        P.drawEllipse(QPointF(10, 6), 4, 4);
        P.setBrush(blue);
        P.drawEllipse(QPointF(8, 10), 4, 4);
        P.setOpacity(1);
    } else if (G == "grey") {
        for (int i = 0; i < 4; ++i) {
            P.setBrush(QColor(60 * i + 40, 60 * i + 40, 60 * i + 40));
            P.drawRect(QRectF(1.5 + i * 3.25, 2, 3.25, 12));
        }
    } else if (G == "negative") {
        P.setBrush(Qt::white);
        P.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        P.setBrush(ink);
        P.drawPie(QRectF(1.5, 1.5, 13, 13), 90 * 16, 180 * 16);
    } else if (G == "browse") {
        folder();
        magnifier(10, 9.5, 2.8);
    } else if (G == "pen") {
        P.setBrush(yellow);
        P.drawPolygon(QPolygonF({{3, 13}, {4, 10}, {12, 2}, {14, 4}, {6, 12}}));
        P.setBrush(ink);
        P.drawPolygon(QPolygonF({{3, 13}, {4, 10}, {6, 12}}));
    } else if (G == "fill") {
        P.setBrush(QColor(190, 190, 200));
        P.drawPolygon(QPolygonF({{2, 7}, {7, 2}, {13, 8}, {8, 13}}));
        P.setBrush(blue);
        P.drawEllipse(QPointF(13.5, 12.5), 1.6, 2.2);
    } else if (G == "specialpen") {
        P.setBrush(QColor(180, 120, 220));
        P.drawPolygon(QPolygonF({{3, 13}, {4, 10}, {12, 2}, {14, 4}, {6, 12}}));
        P.setPen(QPen(red, 1.4));
        P.drawLine(QPointF(9, 14), QPointF(15, 14));
    } else if (G == "spray") {
        P.setBrush(QColor(120, 170, 120));
        P.drawRoundedRect(QRectF(6, 6, 6, 9), 1.5, 1.5);
        P.setBrush(ink);
        P.drawRect(QRectF(7.5, 3.5, 3, 2.5));
        P.setPen(Qt::NoPen);
        for (QPointF d : {QPointF(3, 2), QPointF(2, 4.5), QPointF(4, 5.5), QPointF(1.5, 7), QPointF(4.5, 3)})
            P.drawEllipse(d, 0.6, 0.6);
    } else if (G == "shapes") {
        P.setBrush(QColor(150, 200, 240));
        P.drawRect(QRectF(1.5, 1.5, 8, 8));
        P.setBrush(QColor(240, 160, 120));
        P.drawEllipse(QRectF(6.5, 6.5, 8, 8));
    } else if (G == "text") {
        QFont f("Serif");
        f.setPixelSize(14);
        f.setBold(true);
        P.setFont(f);
        P.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, "A");
    } else if (G == "dropper") {
        P.setBrush(QColor(200, 225, 255));
        P.drawPolygon(QPolygonF({{2, 14}, {2.5, 11.5}, {9, 5}, {11, 7}, {4.5, 13.5}}));
        P.setBrush(ink);
        P.drawEllipse(QPointF(12, 4), 2.6, 2.6);
    } else if (G == "drag") {
        arrow(QPointF(8, 8), QPointF(8, 1.5));
        arrow(QPointF(8, 8), QPointF(8, 14.5));
        arrow(QPointF(8, 8), QPointF(1.5, 8));
        arrow(QPointF(8, 8), QPointF(14.5, 8));
    } else if (G == "zoom") {
        magnifier(6.5, 6.5, 4.5);
    } else if (G == "selectrect") {
        dashedRect(2, 3, 12, 10);
    } else if (G == "selectfreehand") {
        P.setBrush(Qt::NoBrush);
        P.setPen(QPen(ink, 1.0, Qt::DashLine));
        QPainterPath p;
        p.moveTo(3, 8);
        p.cubicTo(2, 1, 13, 1, 14, 6);
        p.cubicTo(15, 12, 9, 10, 8, 14);
        p.cubicTo(6, 15, 3, 12, 3, 8);
        P.drawPath(p);
    } else if (G == "magicwand") {
        P.setPen(QPen(ink, 1.8, Qt::SolidLine, Qt::RoundCap));
        P.drawLine(QPointF(2, 14), QPointF(10, 6));
        P.setPen(pen);
        P.setBrush(yellow);
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double a = i * M_PI / 5 - M_PI / 2, r = i % 2 ? 1.6 : 4;
            star << QPointF(11.5 + r * std::cos(a), 4.5 + r * std::sin(a));
        }
        P.drawPolygon(star);
    } else if (G == "swap") {
        arrow(QPointF(3, 5), QPointF(13, 5));
        arrow(QPointF(13, 11), QPointF(3, 11));
    }
}

QIcon GlyphIcon(const std::string& Glyph)
{
    QIcon icon;
    for (int s : {16, 24, 32}) {
        QPixmap pm(s, s);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        PaintGlyph(p, Glyph, s);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

// A tool cursor: a cross hair with the tool's picture beside it; the hot spot is the cross's centre.
QCursor MakeToolCursor(const std::string& Glyph, bool CrossHair)
{
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    if (CrossHair) {
        p.setPen(QPen(Qt::white, 3));
        p.drawLine(1, 8, 15, 8);
        p.drawLine(8, 1, 8, 15);
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(1, 8, 15, 8);
        p.drawLine(8, 1, 8, 15);
        p.translate(14, 14);
    }
    PaintGlyph(p, Glyph, CrossHair ? 16 : 20);
    p.end();
    return CrossHair ? QCursor(pm, 8, 8) : QCursor(pm, 2, 2);
}

} // namespace

TCanvelloMain::TCanvelloMain(QWidget* Parent, const std::string& ThumbnailFile)
    : QMainWindow(Parent), FThumbnailFile(ThumbnailFile.empty() ? rfpic::ThumbnailFilePath() : ThumbnailFile)
{
    FormCreate();
}

TCanvelloMain::~TCanvelloMain()
{
    // The children refer to this window as their host: they go first.
    FClosingAll = true;
    DestroyPinnedViewers();
    if (FClipboard && FClipboard == CVClipboard)
        FClipboard->RemoveListener(this);
    // Every child window, also one the area no longer lists (taken out while closing): its end
    // still reaches this window's members through its connections.
    while (QMdiSubWindow* w = FMdiArea->findChild<QMdiSubWindow*>())
        delete w;
}

QAction* TCanvelloMain::Action(const std::string& Name) const
{
    const auto it = FActions.find(Name);
    return it == FActions.end() ? nullptr : it->second;
}

QAction* TCanvelloMain::AddAction(const char* Name, const char* Caption, const char* Hint, const char* Glyph,
                                  const QKeySequence& Shortcut)
{
    auto* action = new QAction(QString::fromUtf8(Caption), this);
    action->setObjectName(Name);
    if (Hint) {
        // Hints are a short and a long text separated by a bar.
        const QString hint = QString::fromUtf8(Hint);
        const int bar = hint.indexOf('|');
        action->setToolTip(bar < 0 ? hint : hint.left(bar));
        action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
    }
    if (Glyph)
        action->setIcon(GlyphIcon(Glyph));
    if (!Shortcut.isEmpty())
        action->setShortcut(Shortcut);
    // Commands without a handler yet stay disabled.
    action->setEnabled(false);
    // A command run with the mouse still held ends the stroke first (connected before the
    // command's own handler), so that it never meets a shape's rubber-band outline in the pixels.
    connect(action, &QAction::triggered, this, [this] {
        GuardEvent(this, [&] {
            if (TCVPicChildWin* pic = ActivePicChild())
                pic->EndStroke();
        });
    });
    FActions[Name] = action;
    return action;
}

void TCanvelloMain::CreateActions()
{
    AddAction("ActNewPic", "&New", "New|Create a new file", "new", QKeySequence("Ctrl+N"));
    AddAction("ActOpenPic", "&Open", "Open|Open a file", "open", QKeySequence("Ctrl+O"));
    AddAction("ActBrowseDir", "Browse...", "Browse|Browse a folder of pictures", "browse", QKeySequence("Ctrl+B"));
    AddAction("ActPicSave", "&Save", "Save|Save current file", "save", QKeySequence("Ctrl+S"));
    AddAction("ActPicSaveAs", "Save &As...", "Save As|Save current file with different name", "saveas",
              QKeySequence("Shift+Ctrl+S"));
    AddAction("ActCloseChild", "&Close", "Close|Close current picture", "close");
    AddAction("ActCloseAllChildren", "Close All", "Close All|Close all pictures");
    AddAction("ActPrintPic", "&Print", "Print|Print picture", "print", QKeySequence("Ctrl+P"));
    AddAction("ActFileExit", "E&xit", "Exit|Exit Canvello");
    AddAction("ActUndo", "Undo", "Undo|Undo last action", "undo", QKeySequence("Ctrl+Z"));
    AddAction("ActCutPic", "Cu&t", "Cut|Cut to the Clipboard", "cut", QKeySequence("Ctrl+X"));
    AddAction("ActCopyPic", "&Copy", "Copy|Copy to the Clipboard", "copy", QKeySequence("Ctrl+C"));
    AddAction("ActPasteIntoPic", "&Paste into Picture", "Paste|Pastes the Clipboard", "paste", QKeySequence("Ctrl+V"));
    AddAction("ActPasteAsNew", "Paste as &New Picture", "Paste|Pastes the Clipboard");
    AddAction("ActPasteClever", "Paste Clever", "Paste|Pastes the Clipboard", "paste");
    AddAction("ActClearClipboard", "Clear Clipboard", "Clear Clipboard|Removes any picture from the clipboard");
    AddAction("ActSelectAll", "Select All", "Select All|Select everything", nullptr, QKeySequence("Ctrl+A"));
    AddAction("ActViewerStartStop", "Viewer", "Viewer|Display the Viewer", "viewer")->setCheckable(true);
    AddAction("ActCbViewerStartStop", "Clipboard Viewer", "Clipboard Viewer|Display the Clipboard Viewer", "cbviewer")
        ->setCheckable(true);
    AddAction("ActShowHideZoomGrid", "Zoom grid", "Show zoom grid|Show grid when picture is zoomed in by a large amount", "grid")->setCheckable(true);
    FActions["ActShowHideZoomGrid"]->setChecked(true);
    AddAction("ActFlipPic", "Flip", "Flip Picture|Flip Picture Vertically", "flip");
    AddAction("ActMirrorPic", "Mirror", "Mirror Picture|Flip Picture Horizontally", "mirror");
    AddAction("ActRotatePic", "Rotate", "Rotate|Rotate picture", "rotate");
    AddAction("ActCropPic", "Crop Picture", "Crop|Crop picture", "crop");
    AddAction("ActClearPic", "Clear", "Clear|Clear current selection or whole picture canvas", "clear",
              QKeySequence(Qt::Key_Delete));
    AddAction("ActEnlargePicCanvas", "Enlarge canvas", "Enlarge canvas|Increase the size of the picture canvas", "enlarge");
    AddAction("ActResizePic", "Resize", "Resize|Resize picture", "resize");
    AddAction("ActResamplePic", "Resample", "Resample|Resample picture", "resample");
    AddAction("ActBlurPic", "Blur Picture", "Blur|Blur picture", "blur");
    AddAction("ActBrightenPic", "Adjust Brightness", "Brighten|Adjust the brightness of the picture", "bright");
    AddAction("ActGammaCorrectPic", "Gamma Correct", "Gamma Correct|Gamma correct the picture", "gamma");
    AddAction("ActAdjustRGBPic", "Adjust RGB", "Adjust RGB|Adjust the RGB values of the picture", "rgb");
    AddAction("ActGreyScalePic", "Grey Scale", "Grey Scale|Set the picture to greyscale", "grey");
    AddAction("ActNegativePic", "Negative Image", "Negative Image|Set the picture to a negative image", "negative");
    AddAction("ActAbout", "About...", "About|About Canvello");
    static const char* const windowActs[][2] = {{"ActWindowCascade", "&Cascade"},
                                                 {"ActWindowTileHorizontal", "Tile &Horizontally"},
                                                 {"ActWindowTileVertical", "Tile &Vertically"},
                                                 {"ActWindowMinimizeAll", "&Minimize All"},
                                                 {"ActWindowArrangeAll", "&Arrange All"}};
    for (const auto& a : windowActs)
        AddAction(a[0], a[1], nullptr);
    static const char* const barActs[][2] = {{"ActFileToolbar", "File Toolbar"},   {"ActEditToolbar", "Edit Toolbar"},
                                              {"ActViewToolbar", "View Toolbar"},   {"ActImageToolbar", "Image Toolbar"},
                                              {"ActColourToolbar", "Colour Toolbar"}, {"ActBrowseToolbar", "Browse Toolbar"},
                                              {"ActToolsToolbar", "Tools Toolbar"}};
    for (const auto& a : barActs)
        AddAction(a[0], a[1], nullptr)->setCheckable(true);

    // The twelve tools: one of them is checked.
    static const char* const toolActs[][4] = {
        {"ActPen", "Pen", "Pen|Draw freehand", "pen"},
        {"ActFill", "Fill", "Fill|Fill an area with colour", "fill"},
        {"ActSpecialPen", "Special Pen", "Special Pen|Replace colours or smudge", "specialpen"},
        {"ActSprayCan", "Spray Can", "Spray Can|Spray colour", "spray"},
        {"ActShapes", "Shapes", "Shapes|Draw lines, rectangles and ellipses", "shapes"},
        {"ActAddText", "Add Text", "Add Text|Add text to the picture", "text"},
        {"ActDropper", "Dropper", "Dropper|Pick a colour from the picture", "dropper"},
        {"ActDrag", "Drag", "Drag|Drag the picture in its window", "drag"},
        {"ActZoom", "Zoom", "Zoom|Zoom in or out", "zoom"},
        {"ActSelectRect", "Select Rectangle", "Select Rectangle|Select a rectangle", "selectrect"},
        {"ActSelectFreehand", "Select Freehand", "Select Freehand|Select a freehand area", "selectfreehand"},
        {"ActMagicWand", "Magic Wand", "Magic Wand|Select an area of similar colour", "magicwand"}};
    auto* tools = new QActionGroup(this);
    for (const auto& a : toolActs) {
        QAction* act = AddAction(a[0], a[1], a[2], a[3]);
        act->setCheckable(true);
        tools->addAction(act);
    }
    FActions["ActPen"]->setEnabled(true);
    FActions["ActPen"]->setChecked(true);

    // The commands that work now.
    auto on = [this](const char* Name, void (TCanvelloMain::*Handler)()) {
        QAction* act = FActions.at(Name);
        connect(act, &QAction::triggered, this, [this, Handler] { GuardEvent(this, [&] { (this->*Handler)(); }); });
    };
    on("ActNewPic", &TCanvelloMain::ActNewPicExecute);
    on("ActOpenPic", &TCanvelloMain::ActOpenPicExecute);
    on("ActPicSave", &TCanvelloMain::ActPicSaveExecute);
    on("ActPicSaveAs", &TCanvelloMain::ActPicSaveAsExecute);
    on("ActCloseChild", &TCanvelloMain::ActCloseChildExecute);
    on("ActCloseAllChildren", &TCanvelloMain::ActCloseAllChildrenExecute);
    on("ActFileExit", &TCanvelloMain::ActFileExitExecute);
    on("ActUndo", &TCanvelloMain::ActUndoExecute);
    for (const char* name : {"ActNewPic", "ActOpenPic", "ActFileExit"})
        FActions[name]->setEnabled(true);
    // The standard window arrangements.
    auto arrange = [this](const char* Name, TWindowArrangement How) {
        connect(FActions.at(Name), &QAction::triggered, this, [this, How] { GuardEvent(this, [&] { ArrangeChildren(How); }); });
    };
    arrange("ActWindowCascade", waCascade);
    arrange("ActWindowTileHorizontal", waTileHorizontal);
    arrange("ActWindowTileVertical", waTileVertical);
    arrange("ActWindowArrangeAll", waArrangeIcons);
    connect(FActions["ActWindowMinimizeAll"], &QAction::triggered, this, [this] {
        for (QMdiSubWindow* w : FMdiArea->subWindowList())
            w->showMinimized();
    });
    on("ActClearClipboard", &TCanvelloMain::ActClearClipboardExecute);
    on("ActPasteIntoPic", &TCanvelloMain::ActPasteIntoPicExecute);
    on("ActPasteAsNew", &TCanvelloMain::ActPasteAsNewExecute);
    on("ActPasteClever", &TCanvelloMain::ActPasteCleverExecute);
    // The picture commands without a dialog: each works on the active picture window.
    auto picCommand = [this](const char* Name, void (TCVPicChildWin::*Op)()) {
        connect(FActions.at(Name), &QAction::triggered, this, [this, Op] {
            GuardEvent(this, [&] {
                if (TCVPicChildWin* pic = ActivePicChild())
                    (pic->*Op)();
            });
        });
    };
    picCommand("ActFlipPic", &TCVPicChildWin::Flip);
    picCommand("ActMirrorPic", &TCVPicChildWin::Mirror);
    picCommand("ActCropPic", &TCVPicChildWin::Crop);
    picCommand("ActClearPic", &TCVPicChildWin::ClearPicture);
    picCommand("ActGreyScalePic", &TCVPicChildWin::GreyScale);
    picCommand("ActNegativePic", &TCVPicChildWin::Negative);
    on("ActSelectAll", &TCanvelloMain::ActSelectAllExecute);
    on("ActCopyPic", &TCanvelloMain::ActCopyPicExecute);
    on("ActCutPic", &TCanvelloMain::ActCutPicExecute);
    on("ActShowHideZoomGrid", &TCanvelloMain::ActShowHideZoomGridExecute);
    on("ActAbout", &TCanvelloMain::ActAboutExecute);
    on("ActRotatePic", &TCanvelloMain::ActRotatePicExecute);
    on("ActEnlargePicCanvas", &TCanvelloMain::ActEnlargePicCanvasExecute);
    on("ActResizePic", &TCanvelloMain::ActResizePicExecute);
    on("ActResamplePic", &TCanvelloMain::ActResamplePicExecute);
    on("ActBrightenPic", &TCanvelloMain::ActBrightenPicExecute);
    on("ActGammaCorrectPic", &TCanvelloMain::ActGammaCorrectPicExecute);
    on("ActBlurPic", &TCanvelloMain::ActBlurPicExecute);
    on("ActAdjustRGBPic", &TCanvelloMain::ActAdjustRGBPicExecute);
    on("ActPrintPic", &TCanvelloMain::ActPrintPicExecute);
    for (const char* name : {"ActShowHideZoomGrid", "ActAbout"})
        FActions[name]->setEnabled(true);
    for (const auto& a : windowActs)
        FActions[a[0]]->setEnabled(true);
    CreateBrowseActions();
}

void TCanvelloMain::CreateMenus()
{
    QMenuBar* bar = menuBar();
    auto add = [this](QMenu* Menu, std::initializer_list<const char*> Names) {
        for (const char* n : Names) {
            if (!*n)
                Menu->addSeparator();
            else
                Menu->addAction(FActions.at(n));
        }
    };
    FFileMenu = bar->addMenu("&File");
    add(FFileMenu, {"ActNewPic", "ActOpenPic", "ActBrowseDir", "", "ActPicSave", "ActPicSaveAs", "ActCloseChild",
                    "ActCloseAllChildren", "", "ActPrintPic", "", "ActFileExit"});
    QMenu* edit = bar->addMenu("&Edit");
    add(edit, {"ActUndo", "", "ActCutPic", "ActCopyPic"});
    QMenu* paste = edit->addMenu("Paste");
    add(paste, {"ActPasteIntoPic", "ActPasteAsNew"});
    add(edit, {"ActClearClipboard", "", "ActSelectAll"});
    QMenu* view = bar->addMenu("&View");
    add(view, {"ActViewerStartStop", "ActCbViewerStartStop", "ActShowHideZoomGrid", ""});
    QMenu* bars = view->addMenu("Toolbars");
    add(bars, {"ActFileToolbar", "ActEditToolbar", "ActViewToolbar", "ActImageToolbar", "ActColourToolbar",
               "ActBrowseToolbar", "ActToolsToolbar"});
    FImageMenu = bar->addMenu("&Image");
    add(FImageMenu, {"ActFlipPic", "ActMirrorPic", "ActRotatePic", "", "ActCropPic", "ActClearPic",
                     "ActEnlargePicCanvas", "ActResizePic", "ActResamplePic", ""});
    QMenu* effects = FImageMenu->addMenu("Effects");
    add(effects, {"ActBlurPic"});
    FColourMenu = bar->addMenu("&Colour");
    add(FColourMenu, {"ActBrightenPic", "ActGammaCorrectPic", "ActAdjustRGBPic", "ActGreyScalePic", "ActNegativePic"});
    FBrowseMenu = bar->addMenu("&Browse");
    FBrowseMenu->menuAction()->setVisible(false);
    CreateBrowseMenu();
    FWindowMenu = bar->addMenu("&Window");
    connect(FWindowMenu, &QMenu::aboutToShow, this, [this, add] {
        // The five arrangements, then the open windows.
        FWindowMenu->clear();
        add(FWindowMenu, {"ActWindowCascade", "ActWindowTileHorizontal", "ActWindowTileVertical",
                          "ActWindowMinimizeAll", "ActWindowArrangeAll"});
        const QList<QMdiSubWindow*> windows = FMdiArea->subWindowList();
        if (!windows.isEmpty())
            FWindowMenu->addSeparator();
        int n = 0;
        for (QMdiSubWindow* w : windows) {
            QAction* item = FWindowMenu->addAction(QString("&%1 %2").arg(++n).arg(w->windowTitle()));
            item->setCheckable(true);
            item->setChecked(w == FMdiArea->activeSubWindow());
            const QPointer<QMdiSubWindow> target(w);
            connect(item, &QAction::triggered, this, [this, target] {
                if (target)
                    GuardEvent(this, [&] { ActivateChild(target); });
            });
        }
    });
    QMenu* help = bar->addMenu("&Help");
    add(help, {"ActAbout"});
}

void TCanvelloMain::CreateToolBars()
{
    auto bar = [this](const char* Name, const char* Title, const char* Toggle, std::initializer_list<const char*> Acts) {
        auto* tb = new TXToolBar(Title, this);
        tb->setObjectName(Name);
        tb->setIconSize(QSize(20, 20));
        for (const char* a : Acts) {
            if (!*a)
                tb->addSeparator();
            else
                tb->addAction(FActions.at(a));
        }
        addToolBar(Qt::TopToolBarArea, tb);
        QAction* toggle = FActions.at(Toggle);
        toggle->setChecked(true);
        toggle->setEnabled(true);
        connect(toggle, &QAction::toggled, tb, &QToolBar::setVisible);
        tb->OnVisibleChange = [tb, toggle](QWidget*) { toggle->setChecked(tb->isVisible()); };
        FToolBars[Name] = tb;
        return tb;
    };
    bar("FileToolBar", "File", "ActFileToolbar", {"ActNewPic", "ActOpenPic", "ActPicSave", "ActPrintPic"});
    bar("EditToolBar", "Edit", "ActEditToolbar", {"ActUndo", "ActCutPic", "ActCopyPic", "ActPasteClever"});
    bar("ViewToolBar", "View", "ActViewToolbar", {"ActViewerStartStop", "ActCbViewerStartStop", "ActShowHideZoomGrid"});
    bar("ImageToolbar", "Image", "ActImageToolbar",
        {"ActFlipPic", "ActMirrorPic", "ActRotatePic", "", "ActCropPic", "ActClearPic", "ActEnlargePicCanvas",
         "ActResizePic", "ActResamplePic", "ActBlurPic"});
    bar("ColourToolBar", "Colour", "ActColourToolbar",
        {"ActBrightenPic", "ActGammaCorrectPic", "ActAdjustRGBPic", "ActGreyScalePic", "ActNegativePic"});
    bar("BrowseToolBar", "Browser", "ActBrowseToolbar",
        {"ActBrowseDir", "", "ActBrwsrRefresh", "ActBrwsrShowTV", "", "ActBrwsrSortByName", "ActBrwsrSortByDate",
         "ActBrwsrSortByType", "ActBrwsrSortBySize", "ActBrwsrSortAsc", "ActBrwsrSortDesc", "", "ActBrwsrOpenImage"});
    addToolBarBreak(Qt::TopToolBarArea);
    bar("ToolsToolBar", "Tools", "ActToolsToolbar",
        {"ActPen", "ActSpecialPen", "ActFill", "ActSprayCan", "ActShapes", "ActAddText", "", "ActDropper", "ActDrag",
         "ActZoom", "", "ActSelectRect", "ActSelectFreehand", "ActMagicWand"});
}

QWidget* TCanvelloMain::CreateSettingsPanel()
{
    FSettingsPanel = new QFrame(this);
    FSettingsPanel->setObjectName("SettingsPanel");
    static_cast<QFrame*>(FSettingsPanel)->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QHBoxLayout(FSettingsPanel);
    layout->setContentsMargins(4, 2, 4, 2);
    FSettingsPages = new QStackedWidget(FSettingsPanel);
    FSettingsPages->setObjectName("SettingsPages");
    layout->addWidget(FSettingsPages);
    layout->addStretch();

    QWidget* page = nullptr;
    QHBoxLayout* row = nullptr;
    auto newPage = [&](const char* Name) {
        if (row)
            row->addStretch();
        page = new QWidget(FSettingsPages);
        page->setObjectName(Name);
        row = new QHBoxLayout(page);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(12);
        FSettingsPages->addWidget(page);
    };
    // Each control carries its label above it.
    auto labelled = [&](const char* Caption, QWidget* Control) {
        auto* box = new QVBoxLayout;
        box->setSpacing(1);
        auto* label = new QLabel(Caption, page);
        label->setObjectName(Control->objectName() + "Label");
        label->setAlignment(Qt::AlignHCenter);
        box->addWidget(label);
        box->addWidget(Control);
        row->addLayout(box);
    };
    auto spin = [&](const char* Name, const char* Caption, int Min, int Max, int Value) {
        auto* s = new TXSpinEdit(page);
        s->setObjectName(Name);
        s->SetMinValue(Min);
        s->SetMaxValue(Max);
        s->SetValue(Value);
        s->setFixedWidth(64);
        s->setEnabled(false);
        labelled(Caption, s);
    };
    auto combo = [&](const char* Name, const char* Caption, std::initializer_list<const char*> Items,
                     QComboBox* Box = nullptr) {
        QComboBox* c = Box ? Box : new QComboBox(page);
        c->setObjectName(Name);
        for (const char* i : Items)
            c->addItem(i);
        c->setEnabled(false);
        c->setMinimumWidth(110);
        c->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        labelled(Caption, c);
        return c;
    };
    const std::initializer_list<const char*> tips = {"Round", "Square", "Triangle", "Left Slash", "Right Slash"};
    newPage("PenSheet");
    spin("PenWidthSpin", "Width", 1, 500, 1);
    combo("PenShapeCombo", "Shape", tips, new TAdvancedComboBox(page));
    newPage("FillSheet");
    spin("FillTolerSpin", "Tolerance", 0, 255, 0);
    newPage("SpecialPenSheet");
    combo("SpecPenActionCombo", "Action", {"Colour Replace", "Smudge", "Brighten", "Darken"});
    spin("SpecPenWidthSpin", "Width", 1, 500, 1);
    combo("SpecPenShapeCombo", "Shape", tips, new TAdvancedComboBox(page));
    spin("SpecPenSetting1Spin", "Tolerance", 0, 255, 0);
    newPage("SprayCanSheet");
    spin("SprayCanWidthSpin", "Width", 1, 500, 60);
    spin("SprayCanOpacitySpin", "Opacity", 0, 100, 60);
    spin("SprayCanDiffusionSpin", "Diffusion", 0, 100, 0);
    newPage("ShapesSheet");
    spin("ShapeWidthSpin", "Border", 1, 500, 1);
    combo("ShapeShapeCombo", "Shape", {"Line", "Square", "Rectangle", "Circle", "Ellipse"});
    combo("ShapeStyleCombo", "Style", {"Outlined", "Filled"}, new TAdvancedCustomComboBox(page));
    newPage("AddTextSheet");
    newPage("ZoomSheet");
    FZoomCombo = combo("ZoomCombo", "Zoom", {});
    for (int z = 1; z <= 15; ++z)
        FZoomCombo->addItem(QString("%1:1").arg(z));
    FZoomCombo->setEnabled(true);
    connect(FZoomCombo, qOverload<int>(&QComboBox::activated), this,
            [this](int Index) { GuardEvent(this, [&] { ZoomComboSelect(Index); }); });
    newPage("SelectionSheet");
    auto* trans = new QToolButton(page);
    trans->setObjectName("TransSelBtn");
    trans->setCheckable(true);
    trans->setToolTip("Transparent selection");
    trans->setIcon(GlyphIcon("selectrect"));
    trans->setEnabled(false);
    row->addWidget(trans);
    combo("TransColCombo", "Transparent colour", {}, new TColourComboSel(page))
        ->setToolTip("Transparent selection colour");
    newPage("MagicWandSheet");
    spin("MagicWandTolerSpin", "Tolerance", 0, 255, 0);
    row->addStretch();
    FSettingsPages->setCurrentIndex(0);
    return FSettingsPanel;
}

void TCanvelloMain::CreateSidePanel()
{
    FSideBarPanel = new TCollapsingPanel(this);
    FSideBarPanel->setObjectName("SideBarPanel");
    FSideBarPanel->SetAlign(alRight);
    FSideBarPanel->setFixedWidth(89);
    FSideBarPanel->SetExpandedSize(89);
    FSideBarPanel->SetDelay(400);
    FSideBarPanel->SetAutoHideControls(true);
    auto* layout = new QVBoxLayout(FSideBarPanel);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(4);

    FColourPanel = new QWidget(FSideBarPanel);
    FColourPanel->setObjectName("ColourPanel");
    auto* colours = new QVBoxLayout(FColourPanel);
    colours->setContentsMargins(0, 0, 0, 0);
    colours->setSpacing(4);
    FRecentColorsGrid = new TRecentColorsGrid(FColourPanel);
    FRecentColorsGrid->setObjectName("RecentColorsGrid");
    FRecentColorsGrid->SetColorColCount(5);
    FRecentColorsGrid->SetColorRowCount(3);
    FRecentColorsGrid->SetColorColWidth(12);
    FRecentColorsGrid->SetColorRowHeight(12);
    FRecentColorsGrid->SetDefaultColor(clWhite);
    FRecentColorsGrid->setToolTip("Select a recently used colour");
    FRecentColorsGrid->setCursor(ToolCursor(crCVSmallDropper));
    colours->addWidget(FRecentColorsGrid, 0, Qt::AlignHCenter);

    auto* swatches = new QHBoxLayout;
    auto swatch = [&](const char* Name, TColor Colour) {
        auto* frame = new TXPanel(FColourPanel);
        frame->SetBevelOuter(bvRaised);
        frame->SetBevelInner(bvRaised);
        frame->setFixedSize(30, 30);
        auto* show = new TColourShow(frame);
        show->setObjectName(Name);
        show->setGeometry(3, 3, 24, 24);
        show->SetColour(Colour);
        swatches->addWidget(frame);
        return show;
    };
    FFGColourShow = swatch("FGColourShow", ForegroundColour);
    FBGColourShow = swatch("BGColourShow", BackgroundColour);
    colours->addLayout(swatches);
    auto* swap = new QToolButton(FColourPanel);
    swap->setObjectName("SwapColoursBut");
    swap->setIcon(GlyphIcon("swap"));
    swap->setToolTip("Swap colours");
    swap->setEnabled(false);
    colours->addWidget(swap, 0, Qt::AlignHCenter);
    FColourSpectrum = new TColourSpectrum(FColourPanel);
    FColourSpectrum->setObjectName("ColourSpectrum");
    FColourSpectrum->setFixedSize(64, 80);
    FColourSpectrum->setCursor(ToolCursor(crCVSmallDropper));
    colours->addWidget(FColourSpectrum, 0, Qt::AlignHCenter);

    FRGBPanel = new QWidget(FColourPanel);
    FRGBPanel->setObjectName("RGBPanel");
    auto* rgb = new QVBoxLayout(FRGBPanel);
    rgb->setContentsMargins(0, 0, 0, 0);
    rgb->setSpacing(0);
    FRedLabel = new QLabel(FRGBPanel);
    FGreenLabel = new QLabel(FRGBPanel);
    FBlueLabel = new QLabel(FRGBPanel);
    FColourShow = new TColourShow(FRGBPanel);
    FRedLabel->setObjectName("RedLabel");
    FGreenLabel->setObjectName("GreenLabel");
    FBlueLabel->setObjectName("BlueLabel");
    FColourShow->setObjectName("ColourShow");
    FColourShow->setFixedSize(24, 12);
    for (QWidget* w : std::initializer_list<QWidget*>{FRedLabel, FGreenLabel, FBlueLabel, FColourShow})
        rgb->addWidget(w);
    FRGBPanel->hide();
    colours->addWidget(FRGBPanel);
    // The colour controls keep together at the top when the panel has room to spare.
    colours->addStretch(1);
    layout->addWidget(FColourPanel);

    FSideBarDockingPanel = new TDockingPanel(FSideBarPanel);
    FSideBarDockingPanel->setObjectName("SideBarDockingPanel");
    layout->addWidget(FSideBarDockingPanel, 1);
}

void TCanvelloMain::CreateStatusBar()
{
    FMainStatusBar = new TXStatusBar(this);
    FMainStatusBar->setObjectName("MainStatusBar");
    const int widths[] = {150, 120, 200, 50};
    for (int i = 0; i < 4; ++i) {
        TXStatusPanel* panel = FMainStatusBar->AddPanel();
        panel->SetWidth(widths[i]);
        if (i > 0)
            panel->SetAlignment(taCenter);
    }
    FMainStatusBar->Panels(2)->ProgressBarOptions().SetSmooth(true);
    FMainStatusBar->SetAutoHint(true);
    FMainStatusBar->installEventFilter(this);
    setStatusBar(FMainStatusBar);
}

void TCanvelloMain::RegisterCursors()
{
    static const struct {
        int16_t Id;
        const char* Glyph;
        bool Cross;
    } cursors[] = {{crCVSmallDropper, "dropper", false}, {crCVPen, "pen", true},       {crCVFill, "fill", true},
                   {crCVDropper, "dropper", true},       {crCVDrag, "drag", false},    {crCVZoom, "zoom", false},
                   {crCVLine, "shapes", true},           {crCVCircleFill, "shapes", true}, {crCVCircleLine, "shapes", true},
                   {crCVRectFill, "shapes", true},       {crCVRectLine, "shapes", true}, {crCVSelectRect, "selectrect", true},
                   {crCVSelectFreehand, "selectfreehand", true}, {crCVMagicWand, "magicwand", true},
                   {crCVMove, "drag", false},            {crCVText, "text", true},     {crCVSprayCan, "spray", true}};
    for (const auto& c : cursors)
        RegisterToolCursor(c.Id, MakeToolCursor(c.Glyph, c.Cross));
}

void TCanvelloMain::FormCreate()
{
    setObjectName("CanvelloMain");
    setWindowTitle("Canvello");
    setWindowIcon(GlyphIcon("pen"));
    resize(1024, 720);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    ReadPlacement();
    setAcceptDrops(true);
    InitCVGlobal();
    RegisterCursors();

    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateSidePanel();
    CreateStatusBar();

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(CreateSettingsPanel());
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    FMdiArea = new QMdiArea(central);
    FMdiArea->setObjectName("MdiArea");
    FMdiArea->setBackground(QColor(128, 128, 128));
    row->addWidget(FMdiArea, 1);
    row->addWidget(FSideBarPanel);
    column->addLayout(row, 1);
    setCentralWidget(central);
    connect(FMdiArea, &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* W) { GuardEvent(this, [&] { ChildActivated(W); }); });
    FToolPanel = new TToolPanel(*this);

    UpdateActionsForChild(nullptr);
    ViewerWasVisible = false;
    CbViewerWasVisible = false;
    CurrentCursor = crCVPen;
    ChildBorderWidth = 2 * SM_CXEDGE;
    ChildBorderHeight = 2 * SM_CYEDGE;

    FRecentFilesPopupMenu = new TRecentFilesPicPopupMenu(this);
    FRecentFilesPopupMenu->setObjectName("RecentFilesPopupMenu");
    FRecentFilesPopupMenu->setTitle("Recent Files");
    FRecentFilesPopupMenu->FileNamePath = FThumbnailFile;
    FRecentFilesPopupMenu->SetFileHeaderName("Canvello RFP");
    FRecentFilesPopupMenu->DoubleBuffered = true;
    // The stored length first: the thumbnail file brings no more files than the list may hold.
    FRecentFilesPopupMenu->SetMaxFileList(StoredMaxFileList());
    const bool thumbnailsLoaded = FRecentFilesPopupMenu->LoadFromFile();
    FRecentFilesPopupMenu->DefaultOnItemClick = [this](TRecentFileItem* Item) {
        const std::string name = Item->FileName();
        GuardEvent(this, [&] { OpenPictureFile(name); });
    };
    // The recent files' names come from the settings only when the thumbnail file gave none.
    LoadSettings(!thumbnailsLoaded);
    CreatePinnedViewers();
    // The clipboard tells this window of every change from now on.
    if (CVClipboard) {
        FClipboard = CVClipboard;
        FClipboard->AddListener(this);
    }
    UpdatePasteActions();
}
