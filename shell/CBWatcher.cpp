#include "shell/CBWatcher.h"
#include "globals/CVGlobal.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

// ---- Desktop clipboard ------------------------------------------------------------------------------
TQtSystemClipboard::TQtSystemClipboard() : FClipboard(QGuiApplication::clipboard())
{
    connect(FClipboard, &QClipboard::dataChanged, this, &TSystemClipboard::Changed);
}

const QMimeData* TQtSystemClipboard::MimeData() const
{
    return FClipboard->mimeData(QClipboard::Clipboard);
}

void TQtSystemClipboard::SetMimeData(std::unique_ptr<QMimeData> Data)
{
    FClipboard->setMimeData(Data.release(), QClipboard::Clipboard);
}

void TQtSystemClipboard::Clear()
{
    FClipboard->clear(QClipboard::Clipboard);
}

// ---- Clipboard in memory ----------------------------------------------------------------------------
TMemorySystemClipboard::TMemorySystemClipboard() = default;
TMemorySystemClipboard::~TMemorySystemClipboard() = default;

void TMemorySystemClipboard::SetMimeData(std::unique_ptr<QMimeData> Data)
{
    FData = std::move(Data);
    emit Changed();
}

void TMemorySystemClipboard::Clear()
{
    FData.reset();
    emit Changed();
}

// ---- Watcher ------------------------------------------------------------------------------------------
TCustomClipboardWatcher::TCustomClipboardWatcher(TSystemClipboard& Clipboard, QObject* AOwner)
    : QObject(AOwner)
{
    connect(&Clipboard, &TSystemClipboard::Changed, this, &TCustomClipboardWatcher::ClipboardChanged);
}

void TCustomClipboardWatcher::ClipboardChanged()
{
    // Reached from Qt's signal dispatch: nothing may escape.
    try {
        if (Active && OnChange)
            OnChange(this);
    } catch (...) {
        ReportEventException(nullptr);
    }
}
