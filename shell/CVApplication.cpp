// The application object.
#include "shell/CVApplication.h"

#include "globals/CVGlobal.h"

#include <cstdio>
#include <exception>

namespace {
bool Reporting = false;
} // namespace

TCVApplication::TCVApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TCVApplication::notify(QObject* Receiver, QEvent* Event)
{
    return Guarded([&] { return QApplication::notify(Receiver, Event); });
}

void TCVApplication::ReportEscapedException() noexcept
{
    if (Reporting) {
        try {
            throw;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "Canvello: %s\n", e.what());
        } catch (...) {
            std::fprintf(stderr, "Canvello: Unknown error\n");
        }
        return;
    }
    Reporting = true;
    ReportEventException(QApplication::activeWindow());
    Reporting = false;
}
