#include "controls/Memo.h"

#include <QMimeData>

namespace {
// Text the memo can take from a clipboard or a drop; false for no data or data without text.
bool HasText(const QMimeData* Source)
{
    return Source && !Source->formats().isEmpty() && Source->hasText();
}
} // namespace

TMemo::TMemo(QWidget* Parent) : QPlainTextEdit(Parent) {}

bool TMemo::canInsertFromMimeData(const QMimeData* Source) const { return HasText(Source); }

void TMemo::insertFromMimeData(const QMimeData* Source)
{
    if (HasText(Source))
        insertPlainText(Source->text());
}
