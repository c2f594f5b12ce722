#pragma once
// Runs the event loop until a condition holds: for windows whose work finishes on worker threads or
// timers (folder listings, thumbnails).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

// False when Done still does not hold after TimeoutMs.
inline bool WaitFor(const std::function<bool()>& Done, int TimeoutMs = 10000)
{
    QElapsedTimer Clock;
    Clock.start();
    while (!Done()) {
        if (Clock.elapsed() > TimeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}
