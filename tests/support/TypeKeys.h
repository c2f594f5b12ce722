#pragma once
// Typing as the user does: the keys go to the edit one by one, so it sees an edit of its text (not a
// text the program set).
#include <QLineEdit>
#include <QTest>

// Selects the whole of Edit's text and types Text over it; an empty Text deletes it.
inline void TypeOver(QLineEdit* Edit, const char* Text)
{
    Edit->selectAll();
    if (*Text)
        QTest::keyClicks(Edit, Text);
    else
        QTest::keyClick(Edit, Qt::Key_Delete);
}
