#pragma once
// The OK/Cancel form every dialog of the program derives from. Descendants put their controls on
// ClientArea; OKButtonClick closes with mrOk, Esc and Cancel close with mrCancel (exec answers the
// TModalResult). Edits registered with SetExitHandler get an exit handler that runs when the edit
// loses focus, and CommitActiveEdit runs the focused edit's handler on demand (an OK reached with
// Enter processes the value typed as if the edit had been left). Either runs only when the user
// edited the text since the dialog last set it: tabbing through an edit applies nothing, so a value
// shown rounded is never read back in place of the exact one.
#include "globals/UIServicesIntf.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>

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

    // Edit may be the line edit inside a spin box.
    void SetExitHandler(QLineEdit* Edit, std::function<void()> Handler);
    void CommitActiveEdit();
    // Tab goes through Fields in this order (the order they stand on the form), then OK and Cancel.
    void SetFieldOrder(std::initializer_list<QWidget*> Fields);

    void reject() override { CancelActionExecute(); }

protected:
    // What the OK button runs: OKButtonClick unless a descendant that validates replaces it.
    void SetOKHandler(std::function<void()> Handler) { FOKHandler = std::move(Handler); }

    bool eventFilter(QObject* Watched, QEvent* Event) override;
    // A dialog border: the size it opens with is the size it keeps.
    void showEvent(QShowEvent* Event) override;

private:
    std::function<void()> FOKHandler;
    struct TExitEdit {
        std::function<void()> Handler;
        bool Edited = false;
        QString UserText;
    };
    // Keyed by the edit and by the widget that takes its focus (a spin box holding it).
    std::map<QObject*, std::shared_ptr<TExitEdit>> FExitHandlers;
    void RunExitHandler(QObject* FocusWidget, bool Guarded);
};
