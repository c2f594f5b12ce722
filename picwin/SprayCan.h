#pragma once
// The spray can of a picture window: while its button is held, a timer sprays one dab of the
// picture's current brush at the can's point on every tick. The window creates it on the press,
// moves its point with the mouse and frees it on the release, which stops the spraying.
#include <cstdint>
#include <memory>

class QTimer;
class TCVPicChildWin;

class TSprayCan {
public:
    // Starts the timer at Interval milliseconds; the first spray comes with the first tick.
    TSprayCan(TCVPicChildWin* Window, int32_t X, int32_t Y, int32_t Interval, int32_t Opacity, int32_t Diffusion);
    ~TSprayCan();
    TSprayCan(const TSprayCan&) = delete;
    TSprayCan& operator=(const TSprayCan&) = delete;

    TCVPicChildWin* Window() const { return FWindow; }
    int32_t Interval() const { return FInterval; }
    // A new value also becomes the timer's interval.
    void SetInterval(int32_t Value);
    int32_t Opacity() const { return FOpacity; }
    // Kept within 0..100.
    void SetOpacity(int32_t Value);
    const QTimer& Timer() const { return *FTimer; }

    // The tick: one spray dab at (X, Y) with the picture's pen, its patch repainted, the change
    // reported.
    void Spray();

    // Current point in picture pixels.
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Diffusion = 0;

private:
    std::unique_ptr<QTimer> FTimer;
    TCVPicChildWin* FWindow;
    int32_t FInterval = 0;
    int32_t FOpacity = 0;
};
