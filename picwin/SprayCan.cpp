// The spray can's timer and tick.
#include "picwin/SprayCan.h"

#include "globals/CVGlobal.h"
#include "picwin/CVPicChildWn.h"

#include <QTimer>

#include <algorithm>

TSprayCan::TSprayCan(TCVPicChildWin* Window, int32_t AX, int32_t AY, int32_t Interval, int32_t Opacity,
                     int32_t ADiffusion)
    : X(AX), Y(AY), Diffusion(ADiffusion), FTimer(std::make_unique<QTimer>()), FWindow(Window)
{
    SetOpacity(Opacity);
    SetInterval(Interval);
    QObject::connect(FTimer.get(), &QTimer::timeout, [this] { GuardEvent(FWindow, [this] { Spray(); }); });
    FTimer->start();
}

TSprayCan::~TSprayCan()
{
    FTimer->stop();
}

void TSprayCan::SetInterval(int32_t Value)
{
    if (Value == FInterval && FTimer->interval() == std::max(Value, 1))
        return;
    FInterval = Value;
    // A zero interval would spray whenever the event loop is idle and starve it.
    FTimer->setInterval(std::max(Value, 1));
}

void TSprayCan::SetOpacity(int32_t Value)
{
    FOpacity = std::clamp(Value, 0, 100);
}

void TSprayCan::Spray()
{
    TEffectsBitmap& picture = FWindow->Picture();
    picture.SprayLine(X, Y, X, Y, FOpacity, Diffusion);
    FWindow->PictureScrollBox().InvalidateSegment(X, Y, X, Y, picture.Canvas().Pen.Width / 2);
    FWindow->Changed(pcPixels, true);
}
