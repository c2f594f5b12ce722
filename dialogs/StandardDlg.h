#pragma once
// The OK/Cancel form every dialog of the program derives from. Descendants put their controls on
// ClientArea; OKButtonClick closes with mrOk, Esc and Cancel close with mrCancel (exec answers the
// TModalResult). Edits registered with SetExitHandler get an exit handler that runs when the edit
// loses focus, and CommitActiveEdit runs the focused edit's handler on demand (an OK reached with
// Enter processes the value typed as if the edit had been left).
#include "globals/UIServicesIntf.h"

#include <QDialog>

#include <functional>
#include <map>

class QAction;
class QFrame;
class QLineEdit;
class QPushButton;

class TStandardDialog : public QDialog {
public:
    explicit TStandardDialog(QWidget* AOwner);

    QWidget* ClientArea;
    QFrame* ButtonPanel;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QAction* CancelAction;

    void OKButtonClick();
    void CancelActionExecute();
    // The result the dialog was closed with (mrNone while open).
    TModalResult ModalResult() const { return static_cast<TModalResult>(result()); }

    void SetExitHandler(QLineEdit* Edit, std::function<void()> Handler);
    void CommitActiveEdit();

    void reject() override { CancelActionExecute(); }

protected:
    // What the OK button runs: OKButtonClick unless a descendant that validates replaces it.
    void SetOKHandler(std::function<void()> Handler) { FOKHandler = std::move(Handler); }

    bool eventFilter(QObject* Watched, QEvent* Event) override;
    // A dialog border: the size it opens with is the size it keeps.
    void showEvent(QShowEvent* Event) override;

private:
    std::function<void()> FOKHandler;
    std::map<QObject*, std::function<void()>> FExitHandlers;
};
