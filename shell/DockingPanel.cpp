// The side panel's dock site, its dock manager and the dockable form.
#include "shell/DockingPanel.h"

#include "platform/Classes.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

// ---- Dock manager --------------------------------------------------------------------------------------

void TDockingPanelDockTree::InsertControl(QWidget* Control)
{
    auto* client = dynamic_cast<TDockingPanelClient*>(Control);
    if (!client)
        return;
    if (std::find(FControls.begin(), FControls.end(), client) == FControls.end())
        FControls.emplace_back(client);
    // Told also while hidden: a docked form must never act as a floating one when it shows.
    client->SetDocked(true);
}

void TDockingPanelDockTree::RemoveControl(QWidget* Control)
{
    auto* client = dynamic_cast<TDockingPanelClient*>(Control);
    FControls.erase(std::remove_if(FControls.begin(), FControls.end(),
                                   [&](const QPointer<TDockingPanelClient>& C) { return !C || C == client; }),
                    FControls.end());
    if (client && !client->Destroying())
        client->SetDocked(false);
}

std::vector<TDockingPanelClient*> TDockingPanelDockTree::Controls() const
{
    std::vector<TDockingPanelClient*> controls;
    for (const QPointer<TDockingPanelClient>& c : FControls)
        if (c)
            controls.push_back(c);
    return controls;
}

QByteArray TDockingPanelDockTree::SaveToStream() const
{
    return FSite.saveState();
}

// ---- Dock site -------------------------------------------------------------------------------------------

TDockingPanel::TDockingPanel(QWidget* Parent) : QMainWindow(Parent)
{
    // A main window is a window of its own whatever flags it is made with: this one is a child.
    if (Parent)
        setWindowFlags(Qt::Widget);
    setDockNestingEnabled(false);
    setDockOptions(QMainWindow::AnimatedDocks);
}

TDockingPanel::~TDockingPanel() = default;

TDockingPanelDockTree* TDockingPanel::DockManager(bool Create)
{
    if (!FDockManager && Create)
        FDockManager = std::make_unique<TDockingPanelDockTree>(*this);
    return FDockManager.get();
}

bool TDockingPanel::SaveDockLayout(const std::string& FileName)
{
    if (!FDockManager || FileName.empty())
        return false;
    const QByteArray layout = FDockManager->SaveToStream();
    QDir().mkpath(QFileInfo(QFile::decodeName(QByteArray::fromStdString(FileName))).path());
    // Through a temporary that replaces the old layout only once every byte is written and flushed:
    // a full disk keeps the previous layout.
    try {
        WriteFileAtomically(FileName, [&](TStream& Stream) { Stream.WriteBuffer(layout.constData(), layout.size()); });
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void TDockingPanel::AddClient(TDockingPanelClient* Client)
{
    Client->hide();
    addDockWidget(Qt::LeftDockWidgetArea, Client, Qt::Vertical);
    Client->setFloating(true);
}

bool TDockingPanel::HasDockedClients() const
{
    if (!FDockManager)
        return false;
    for (TDockingPanelClient* c : FDockManager->Controls())
        if (c->Docked() && !c->isHidden())
            return true;
    return false;
}

// ---- Dockable form ---------------------------------------------------------------------------------------

TDockingPanelClient::TDockingPanelClient(TDockingPanel* DockPanel) : QDockWidget(DockPanel), FDockPanel(DockPanel)
{
    setAllowedAreas(Qt::LeftDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    if (FDockPanel) {
        FDockPanel->DockManager(true);
        FDockPanel->AddClient(this);
    }
    connect(this, &QDockWidget::topLevelChanged, this, [this](bool Floating) { FloatingChanged(Floating); });
}

TDockingPanelClient::~TDockingPanelClient()
{
    FDestroying = true;
    if (FDockPanel)
        if (TDockingPanelDockTree* tree = FDockPanel->DockManager(false))
            tree->RemoveControl(this);
}

void TDockingPanelClient::FloatingChanged(bool Floating)
{
    if (!FDockPanel)
        return;
    TDockingPanelDockTree* tree = FDockPanel->DockManager(true);
    if (Floating)
        tree->RemoveControl(this);
    else
        tree->InsertControl(this);
    if (FDockPanel->OnDockChange)
        FDockPanel->OnDockChange(FDockPanel);
}

void TDockingPanelClient::SetDocked(bool Value)
{
    FDocked = Value;
}

void TDockingPanelClient::Dock()
{
    if (FDockPanel && isFloating())
        setFloating(false);
}

void TDockingPanelClient::Undock()
{
    if (FDocked)
        setFloating(true);
}
