#pragma once
// The application object: the last line of defence that keeps exceptions out of Qt's event dispatch.
#include <QApplication>

class TCVApplication : public QApplication {
    Q_OBJECT
public:
    TCVApplication(int& argc, char** argv);

    // Delivers the event; an exception escaping a handler is shown in a message box and the event
    // counts as handled.
    bool notify(QObject* Receiver, QEvent* Event) override;

    // Runs Deliver and reports an exception it raises (returning true). Only one report is shown at a
    // time: an exception raised while a message box is up (by an event that box dispatches) is written
    // to the error output instead, so a failing paint handler cannot stack up message boxes.
    template <typename F>
    static bool Guarded(F&& Deliver) noexcept
    {
        try {
            return Deliver();
        } catch (...) {
            ReportEscapedException();
            return true;
        }
    }

private:
    // Called from a catch block.
    static void ReportEscapedException() noexcept;
};
