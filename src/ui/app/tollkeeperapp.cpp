#include "ui/app/tollkeeperapp.h"

#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/registrystore.h"
#include "core/app/schemaupgrade.h"
#include "core/app/userinterface.h"
#include "ui/app/guiuserinterface.h"
#include "ui/app/mainframe.h"
#include "ui/app/sampleopen.h"
#include "ui/app/singleinstance.h"
#include "ui/app/welcomedlg.h"
#include "ui/billing/billingcommands.h"
#include "ui/customers/customercommands.h"

#include <QApplication>

CTollkeeperApp::CTollkeeperApp(QObject* parent) : QObject(parent) {}

CTollkeeperApp::~CTollkeeperApp() {
    delete m_frame;
    m_session.reset();
    setUi(nullptr);
    m_gui.reset();
}

QString CTollkeeperApp::commandLineFile(const QStringList& arguments) {
    bool optionsDone = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!optionsDone && arg == QLatin1String("--")) {
            optionsDone = true;
            continue;
        }
        if (!optionsDone && arg.startsWith(u'-'))
            continue;
        if (!arg.isEmpty())
            return CDatabaseSession::commandLinePath(arg);
    }
    return {};
}

bool CTollkeeperApp::isEarlyRelease(int version) {
    return version >= 0 && (version & 0xFFFF) < 200;
}

bool CTollkeeperApp::initInstance(const QStringList& arguments) {
    // 1. Framework: names under which settings and the data folder are kept.
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Tollkeeper"));
    m_gui = std::make_unique<CGuiUserInterface>();
    setUi(m_gui.get());

    // 2. Single instance: a running instance comes to the front and this one ends quietly.
    m_instance = std::make_unique<CSingleInstance>();
    if (m_instance->handOverToRunning()) {
        m_exitCode = 0;
        return false;
    }
    if (m_instance->listen())
        connect(m_instance.get(), &CSingleInstance::activationRequested, this,
                &CTollkeeperApp::bringMainWindowToFront);

    // 3. The settings store.
    if (!theRegistry().open(QStringLiteral("Tollkeeper"), QStringLiteral("Corvane"))) {
        ui().showMessage(QStringLiteral("Unable to access the registry.  Please ensure that you "
                                        "have sufficient permissions to read and write to the "
                                        "registry."),
                         MessageIcon::Exclamation);
        m_exitCode = 1;
        return false;
    }
    const bool firstRun = theRegistry().created();

    // 4. Networking needs no initialisation here.
    // 5.-10. Command line, database choice, exclusive open, upgrade, start-up settings.
    m_session = std::make_unique<CDatabaseSession>();
    if (!m_session->openAtStartup(commandLineFile(arguments))) {
        m_exitCode = 1;
        return false;
    }

    // 12.-13. The main window.
    m_frame = new CMainFrame(m_gui.get());
    m_frame->restorePlacement();
    m_frame->show();
    ReopenCustomerBrowserAtStart(m_frame->mdiArea());
    ReopenBillingPlansBrowser(m_frame);

    // 14. Welcome on the first run and after an upgrade from an early layout.
    m_welcomeDue = firstRun || isEarlyRelease(VersionFoundBeforeUpgrade());
    if (m_welcomeDue)
        showWelcome();
    return true;
}

void CTollkeeperApp::showWelcome() {
    CWelcomeDlg dialog(m_frame);
    connect(&dialog, &CWelcomeDlg::openSampleRequested, this, [this] {
        if (m_session && OpenSampleDatabase(*m_session) == 0)
            RefreshViews();
    });
    dialog.exec();
}

void CTollkeeperApp::bringMainWindowToFront() {
    if (m_frame) {
        bringToFront(m_frame);
        return;
    }
    // Still starting (a question is open): show what is there.
    if (QWidget* w = QApplication::activeModalWidget())
        bringToFront(w);
}
