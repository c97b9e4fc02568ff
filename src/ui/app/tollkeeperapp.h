#pragma once
#include "ui/app/mainframe.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>

class CDatabaseSession;
class CGuiUserInterface;
class CSingleInstance;

// The application object of the desktop program: runs the start-up steps in order (single
// instance, settings store, database, main window, welcome dialog) and owns what they create
// for the life of the process.
class CTollkeeperApp : public QObject {
    Q_OBJECT
public:
    explicit CTollkeeperApp(QObject* parent = nullptr);
    ~CTollkeeperApp() override;

    // Runs the start-up. False ends the process without a main window, with exitCode().
    bool initInstance(const QStringList& arguments);
    int exitCode() const { return m_exitCode; }

    CMainFrame* mainFrame() const { return m_frame; }
    CGuiUserInterface* gui() const { return m_gui.get(); }
    CDatabaseSession* session() const { return m_session.get(); }
    // Whether the welcome dialog is due for this start (set by initInstance).
    bool welcomeDue() const { return m_welcomeDue; }

    // The database file named on the command line (first argument that is not an option).
    static QString commandLineFile(const QStringList& arguments);
    // True for a database layout version found before the upgrade whose release is below
    // 2.00 (the welcome dialog is shown after such an upgrade).
    static bool isEarlyRelease(int version);

    // Shows the welcome dialog modally.
    void showWelcome();

private:
    void bringMainWindowToFront();

    std::unique_ptr<CGuiUserInterface> m_gui;
    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CDatabaseSession> m_session;
    QPointer<CMainFrame> m_frame;
    int m_exitCode = 0;
    bool m_welcomeDue = false;
};
