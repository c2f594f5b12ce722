#pragma once
// The file-action message: after every copy, move, rename or delete of a picture file the main
// window tells each of its child windows what changed in which folder, so that browser windows keep
// their lists current. The record travels inside the event by value.
#include <QCoreApplication>
#include <QEvent>

#include <cstdint>
#include <string>

// The program's message number for a file action.
constexpr int WM_FILE_ACTION = 0x464;

// What happened to the file.
enum : uint8_t { faAdded = 0, faRemoved = 1, faNameChanged = 2, faUpdated = 3 };

struct TFileActionRecord {
    uint8_t Action = faAdded;
    std::string Dir;      // the folder the action happened in, with a trailing '/'
    std::string FileName; // the file's name without folder
    std::string NewName;  // the new name (faNameChanged only)
};

// The event of the message. LParam names the sender: ApplicationToken() for the program's own
// windows; a receiver ignores any other.
class TFileActionEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType() { return static_cast<QEvent::Type>(QEvent::User + WM_FILE_ACTION); }
    static intptr_t ApplicationToken() { return reinterpret_cast<intptr_t>(QCoreApplication::instance()); }

    explicit TFileActionEvent(TFileActionRecord Rec, intptr_t Sender = ApplicationToken())
        : QEvent(EventType()), Record(std::move(Rec)), LParam(Sender)
    {
    }

    TFileActionRecord Record;
    intptr_t LParam;
};

// Delivers a file action to Target at once (the record is valid while the receiver runs).
inline bool SendFileAction(QObject* Target, const TFileActionRecord& Record)
{
    TFileActionEvent Event(Record);
    return Target && QCoreApplication::sendEvent(Target, &Event);
}
