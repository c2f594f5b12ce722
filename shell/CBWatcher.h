#pragma once
// The system clipboard as the program sees it, and the watcher that reports its changes.
#include <QObject>

#include <functional>
#include <memory>

class QClipboard;
class QMimeData;

// One set of data in several formats (MIME types), replaced whole, and a signal for every change,
// whoever made it (this program or another one).
class TSystemClipboard : public QObject {
    Q_OBJECT
public:
    // The current data, or null; valid until the next change.
    virtual const QMimeData* MimeData() const = 0;
    // Replaces the contents with Data.
    virtual void SetMimeData(std::unique_ptr<QMimeData> Data) = 0;
    virtual void Clear() = 0;

signals:
    void Changed();
};

// The desktop's clipboard (QGuiApplication::clipboard(), its main selection mode). Needs the
// application object, and must be freed before it.
class TQtSystemClipboard : public TSystemClipboard {
    Q_OBJECT
public:
    TQtSystemClipboard();
    const QMimeData* MimeData() const override;
    void SetMimeData(std::unique_ptr<QMimeData> Data) override;
    void Clear() override;

private:
    QClipboard* FClipboard;
};

// A clipboard in memory for tests: every SetMimeData and Clear signals a change at once, as the
// desktop's clipboard does for changes made by this program.
class TMemorySystemClipboard : public TSystemClipboard {
    Q_OBJECT
public:
    TMemorySystemClipboard();
    ~TMemorySystemClipboard() override;
    const QMimeData* MimeData() const override { return FData.get(); }
    void SetMimeData(std::unique_ptr<QMimeData> Data) override;
    void Clear() override;

private:
    std::unique_ptr<QMimeData> FData;
};

// Calls OnChange for every change of the clipboard while Active. It watches from its creation to
// its destruction.
class TCustomClipboardWatcher : public QObject {
    Q_OBJECT
public:
    explicit TCustomClipboardWatcher(TSystemClipboard& Clipboard, QObject* AOwner = nullptr);

    std::function<void(TCustomClipboardWatcher* Sender)> OnChange;
    bool Active = true;

private:
    void ClipboardChanged();
};

class TClipBoardWatcher : public TCustomClipboardWatcher {
    Q_OBJECT
public:
    using TCustomClipboardWatcher::TCustomClipboardWatcher;
};
