#pragma once
// Lets closed windows go and the events they left behind run.
#include <QCoreApplication>
#include <QEvent>

inline void Settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
