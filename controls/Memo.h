// TMemo: the program's multi-line text box, a QPlainTextEdit that pastes through our own hands.
#pragma once

#include <QPlainTextEdit>

// Qt 6.4's own paste crashes when an X11 clipboard has no owner (no formats at all: after the
// clipboard was cleared, or when no program holds it). The memo takes every paste route (Ctrl+V,
// Shift+Insert, the context menu, a drop) itself: plain text is inserted as text, anything else -
// an empty clipboard included - inserts nothing.
class TMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TMemo(QWidget* Parent = nullptr);

protected:
    bool canInsertFromMimeData(const QMimeData* Source) const override;
    void insertFromMimeData(const QMimeData* Source) override;
};
