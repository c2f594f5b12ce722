#include "dialogs/StandardDlg.h"

#include "globals/CVGlobal.h"

#include <QAction>
#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TStandardDialog::TStandardDialog(QWidget* AOwner) : QDialog(AOwner)
{
    setWindowTitle("Standard Dialog");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(0);

    ClientArea = new QWidget(this);
    layout->addWidget(ClientArea, 1);

    ButtonPanel = new QFrame(this);
    ButtonPanel->setFrameShape(QFrame::NoFrame);
    ButtonPanel->setFixedHeight(32);
    auto* buttons = new QHBoxLayout(ButtonPanel);
    buttons->setContentsMargins(0, 7, 0, 0);
    buttons->setSpacing(6);
    buttons->addStretch(1);
    OKButton = new QPushButton("&OK", ButtonPanel);
    OKButton->setFixedSize(75, 25);
    OKButton->setDefault(true);
    CancelButton = new QPushButton("&Cancel", ButtonPanel);
    CancelButton->setFixedSize(75, 25);
    CancelButton->setAutoDefault(false);
    buttons->addWidget(OKButton, 0, Qt::AlignTop);
    buttons->addWidget(CancelButton, 0, Qt::AlignTop);
    layout->addWidget(ButtonPanel);

    CancelAction = new QAction("&Cancel", this);
    CancelAction->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(CancelAction);
    connect(CancelAction, &QAction::triggered, this, [this] { GuardEvent(this, [this] { CancelActionExecute(); }); });
    connect(CancelButton, &QPushButton::clicked, CancelAction, &QAction::trigger);
    FOKHandler = [this] { OKButtonClick(); };
    connect(OKButton, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { FOKHandler(); }); });

    resize(242 + 12, 158 + 12);
}

void TStandardDialog::OKButtonClick() { done(mrOk); }

void TStandardDialog::CancelActionExecute() { done(mrCancel); }

void TStandardDialog::SetExitHandler(QLineEdit* Edit, std::function<void()> Handler)
{
    auto entry = std::make_shared<TExitEdit>();
    entry->Handler = std::move(Handler);
    // Text the program sets is not the user's: only textEdited reports the user's, and a later text
    // the program sets in its place ends the edit.
    connect(Edit, &QLineEdit::textEdited, this, [entry](const QString& Text) {
        entry->UserText = Text;
        entry->Edited = true;
    });
    connect(Edit, &QLineEdit::textChanged, this, [entry](const QString& Text) {
        if (Text != entry->UserText)
            entry->Edited = false;
    });
    FExitHandlers[Edit] = entry;
    Edit->installEventFilter(this);
    // A spin box passes its focus to itself: leaving it is leaving the edit.
    if (QWidget* proxy = Edit->focusProxy()) {
        FExitHandlers[proxy] = entry;
        proxy->installEventFilter(this);
    }
}

void TStandardDialog::RunExitHandler(QObject* FocusWidget, bool Guarded)
{
    auto it = FExitHandlers.find(FocusWidget);
    if (it == FExitHandlers.end() || !it->second->Handler || !it->second->Edited)
        return;
    const std::shared_ptr<TExitEdit> entry = it->second;
    entry->Edited = false;
    if (Guarded)
        GuardEvent(this, entry->Handler);
    else
        entry->Handler();
}

void TStandardDialog::SetFieldOrder(std::initializer_list<QWidget*> Fields)
{
    QWidget* previous = nullptr;
    for (QWidget* field : Fields) {
        if (previous)
            setTabOrder(previous, field);
        previous = field;
    }
    if (previous)
        setTabOrder(previous, OKButton);
    setTabOrder(OKButton, CancelButton);
}

void TStandardDialog::CommitActiveEdit() { RunExitHandler(focusWidget(), false); }

bool TStandardDialog::eventFilter(QObject* Watched, QEvent* Event)
{
    // Leaving an edit for another control runs its exit handler; the window merely losing activation
    // (a message box over it) does not.
    if (Event->type() == QEvent::FocusOut) {
        auto reason = static_cast<QFocusEvent*>(Event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            RunExitHandler(Watched, true);
    }
    return QDialog::eventFilter(Watched, Event);
}

void TStandardDialog::showEvent(QShowEvent* Event)
{
    setFixedSize(size().expandedTo(minimumSizeHint()));
    QDialog::showEvent(Event);
}
