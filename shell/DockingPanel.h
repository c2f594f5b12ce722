#pragma once
// The dock site of the side panel and the forms that dock into it. The site is a QMainWindow used as
// an ordinary child widget, so that its clients are QDockWidgets: floating, they are tool windows of
// their own; dragged onto the site (or docked by the program) they stack in it, one below the other.
// The dock manager notices every client that docks or leaves and tells it.
#include <QDockWidget>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TDockingPanel;
class TDockingPanelClient;

// The clients docked in a site, in the order they docked.
class TDockingPanelDockTree {
public:
    explicit TDockingPanelDockTree(TDockingPanel& Site) : FSite(Site) {}

    // A client docked into the site: it is told (SetDocked(true)).
    void InsertControl(QWidget* Control);
    // A client that left the site: it is told (SetDocked(false)) unless it is being destroyed.
    void RemoveControl(QWidget* Control);
    std::vector<TDockingPanelClient*> Controls() const;
    // The site's layout (which clients are docked, where and how large) as bytes.
    QByteArray SaveToStream() const;

private:
    TDockingPanel& FSite;
    std::vector<QPointer<TDockingPanelClient>> FControls;
};

class TDockingPanel : public QMainWindow {
public:
    explicit TDockingPanel(QWidget* Parent = nullptr);
    ~TDockingPanel() override;

    // The dock manager, made at the first demand (Create); null before that without Create.
    TDockingPanelDockTree* DockManager(bool Create = true);
    // Writes the dock manager's layout to FileName whole (or leaves the old file); false without a
    // dock manager or when the file could not be written.
    bool SaveDockLayout(const std::string& FileName);
    // Takes a client into the site, floating and hidden.
    void AddClient(TDockingPanelClient* Client);
    // Whether some client is docked here and shown.
    bool HasDockedClients() const;

    // After a client docked or left.
    std::function<void(TDockingPanel* Sender)> OnDockChange;

private:
    std::unique_ptr<TDockingPanelDockTree> FDockManager;
};

class TDockingPanelClient : public QDockWidget {
public:
    // DockPanel (not owned) is the site the form docks into; it also becomes the form's parent.
    TDockingPanelClient(TDockingPanel* DockPanel);
    ~TDockingPanelClient() override;

    TDockingPanel* DockPanel() const { return FDockPanel; }
    bool Docked() const { return FDocked; }
    bool Destroying() const { return FDestroying; }
    virtual void SetDocked(bool Value);
    // Into the dock site (nothing without one) and out of it again.
    virtual void Dock();
    virtual void Undock();

protected:
    bool FDestroying = false;

private:
    void FloatingChanged(bool Floating);

    TDockingPanel* FDockPanel = nullptr;
    bool FDocked = false;
};
