// The Import Logon Events dialog offscreen: its refusals, the server register as it shows it,
// the options kept between runs, and the rules that tie the options to the system.
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/appservices.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/db/database.h"
#include "core/db/schema.h"
#include "core/import/serverregister.h"
#include "ui/import/createfromaccountsdlg.h"
#include "ui/import/importcommands.h"
#include "ui/import/importeventsdlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

class TestImportDialog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void refusesUntilCompleteThenKeepsTheOptions();
    void aNewServerIsAddedOnlyAfterBothQuestions();
    void textLogSystemsDropTheEventLogOptions();
    void refusedWhileADocumentWindowIsOpen();
    void renamedServerKeepsItsIdDeletedOneItsSessions();
    void accountsDialogNeedsAKindAndThisComputer();
    void commandsJoinACustomersMenuMadeBeforeThem();

private:
    template <class W> W* child(QObject& parent, const char* name) {
        return parent.findChild<W*>(QString::fromLatin1(name));
    }
    std::unique_ptr<CTestFolders> m_folders;
    Database m_db;
    qint32 m_alpha = 0;
};

void TestImportDialog::init() {
    m_folders = std::make_unique<CTestFolders>();
    App().reset();
    QVERIFY(theRegistry().open());
    const QString path = m_folders->filePath(QStringLiteral("i.db"));
    CreateNewDatabase(path);
    m_db.open(path);
    QCOMPARE(AddServer(m_db, QStringLiteral("Alpha"), &m_alpha), int(IMPORT_OK));
}

void TestImportDialog::cleanup() {
    m_db.close();
    App().reset();
    m_folders.reset();
}

void TestImportDialog::refusesUntilCompleteThenKeepsTheOptions() {
    CRecordingUi rec;
    CImportEventsDlg dlg(m_db);
    auto* server = child<QComboBox>(dlg, "ServerCombo");
    child<QComboBox>(dlg, "SystemCombo")->setCurrentIndex(AUTH_RADIUS);
    server->setEditText(QString());
    QVERIFY(!child<QPushButton>(dlg, "RenameButton")->isEnabled());
    dlg.accept();
    QVERIFY(rec.hasMessage(QStringLiteral("Please supply the host name of the server that "
                                          "generates the event log information.")));
    server->setEditText(QStringLiteral("ALPHA")); // a known server in another letter case
    QVERIFY(child<QPushButton>(dlg, "DeleteButton")->isEnabled());
    child<QCheckBox>(dlg, "UseFileCheck")->setChecked(true);
    dlg.accept();
    QVERIFY(rec.hasMessage(QStringLiteral("Please enter a log file name.")));
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    const QString log = m_folders->filePath(QStringLiteral("detail"));
    child<QLineEdit>(dlg, "LogFileEdit")->setText(log);
    rec.queueAnswers({true}); // the confirmation
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(rec.questions.size(), 1); // no new-server question for a known name
    QCOMPARE(dlg.request().serverId, m_alpha);
    QVERIFY(CImportDialogModel::save(dlg.request()));

    CImportEventsDlg again(m_db);
    QCOMPARE(again.request().authSystem, int(AUTH_RADIUS));
    QCOMPARE(again.request().logFile, log);
    QVERIFY(again.request().readFromFile);
    QCOMPARE(again.request().serverId, m_alpha);
    QCOMPARE(ListServers(m_db).size(), 1);
}

void TestImportDialog::aNewServerIsAddedOnlyAfterBothQuestions() {
    CRecordingUi rec;
    CImportEventsDlg dlg(m_db);
    child<QComboBox>(dlg, "SystemCombo")->setCurrentIndex(AUTH_CITRIX_LAN);
    child<QComboBox>(dlg, "ServerCombo")->setEditText(QStringLiteral("beta"));
    child<QLineEdit>(dlg, "LogFileEdit")->setText(QStringLiteral("security.evt"));
    dlg.accept(); // the live log of a server cannot be read here
    QCOMPARE(rec.messages.size(), 1);
    QCOMPARE(rec.questions.size(), 0);
    child<QCheckBox>(dlg, "UseFileCheck")->setChecked(true);
    rec.queueAnswers({true}); // stop and rename the server instead
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(ListServers(m_db).size(), 1);
    rec.queueAnswers({false, true}); // no rename; proceed
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    const auto beta = FindServerByName(m_db, QStringLiteral("BETA"));
    QVERIFY(beta);
    QCOMPARE(dlg.request().serverId, beta->Id);
}

void TestImportDialog::textLogSystemsDropTheEventLogOptions() {
    CRecordingUi rec;
    CImportEventsDlg dlg(m_db);
    auto* system = child<QComboBox>(dlg, "SystemCombo");
    system->setCurrentIndex(AUTH_REMOTE_ACCESS);
    for (const char* name : {"ClearCheck", "UseNewCheck", "BackupCheck"})
        child<QCheckBox>(dlg, name)->setChecked(true);
    QVERIFY(child<QLineEdit>(dlg, "BackupFileEdit")->isEnabled());
    system->setCurrentIndex(AUTH_UNET);
    for (const char* name : {"ClearCheck", "UseNewCheck", "BackupCheck"}) {
        QVERIFY(!child<QCheckBox>(dlg, name)->isChecked());
        QVERIFY(!child<QCheckBox>(dlg, name)->isEnabled());
    }
    QVERIFY(!child<QLineEdit>(dlg, "BackupFileEdit")->isEnabled());
    auto* prefixes = child<QCheckBox>(dlg, "PrefixesCheck");
    prefixes->setChecked(true);
    system->setCurrentIndex(AUTH_TELEBIT);
    QVERIFY(!prefixes->isChecked() && !prefixes->isEnabled());
    system->setCurrentIndex(AUTH_CITRIX_LAN);
    QVERIFY(child<QCheckBox>(dlg, "ClearCheck")->isEnabled());
    QVERIFY(!child<QCheckBox>(dlg, "ClearCheck")->isChecked());
}

void TestImportDialog::refusedWhileADocumentWindowIsOpen() {
    CRecordingUi rec;
    SetOpenDocumentsProbe([] { return true; });
    RunImportLogonEvents(nullptr);
    SetOpenDocumentsProbe({});
    QVERIFY(rec.hasMessage(
        QStringLiteral("Please close all invoice and report windows before using this feature.")));
}

void TestImportDialog::renamedServerKeepsItsIdDeletedOneItsSessions() {
    CRecordingUi rec;
    m_db.execute(QStringLiteral("INSERT INTO Events (Username, ServerId) VALUES ('a', ?)"),
                 {m_alpha});
    CImportDialogModel model(m_db);
    QVERIFY(model.loadServers());
    QCOMPARE(model.renameServer(m_alpha, QStringLiteral(" ")), int(IMPORT_INTERRUPTED));
    QVERIFY(rec.hasMessage(QStringLiteral("Please enter a name.")));
    QCOMPARE(model.renameServer(m_alpha, QStringLiteral("Gamma")), int(IMPORT_OK));
    QCOMPARE(FindServerByName(m_db, QStringLiteral("gamma"))->Id, m_alpha);
    QCOMPARE(model.findServer(QStringLiteral("GAMMA"))->Id, m_alpha);
    QCOMPARE(model.deleteServer(m_alpha), int(IMPORT_INTERRUPTED)); // answered No
    rec.queueAnswers({true});
    QCOMPARE(model.deleteServer(m_alpha), int(IMPORT_OK));
    QVERIFY(model.servers().isEmpty() && ListServers(m_db).isEmpty());
    QCOMPARE(
        m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM Events WHERE ServerId = ?"), {m_alpha})
            .toInt(),
        1);
}

void TestImportDialog::accountsDialogNeedsAKindAndThisComputer() {
    CRecordingUi rec;
    CCreateFromAccountsDlg dlg;
    child<QCheckBox>(dlg, "LocalCheck")->setChecked(false);
    child<QCheckBox>(dlg, "GlobalCheck")->setChecked(false);
    dlg.accept();
    QVERIFY(rec.hasMessage(QStringLiteral("You must select local and/or global users.")));
    QCOMPARE(RegNumber(Reg::AutoCreateNTLocal), 1); // nothing kept yet
    child<QCheckBox>(dlg, "GlobalCheck")->setChecked(true);
    child<QLineEdit>(dlg, "ServerEdit")->setText(QStringLiteral("pdc1"));
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(rec.messages.size(), 2);
    // The choice is kept once a kind is chosen.
    QCOMPARE(RegNumber(Reg::AutoCreateNTLocal), 0);
    QCOMPARE(RegText(Reg::AutoCreateNTServer), QStringLiteral("pdc1"));
    child<QLineEdit>(dlg, "ServerEdit")->clear();
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
}

void TestImportDialog::commandsJoinACustomersMenuMadeBeforeThem() {
    QMainWindow window;
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("E&xit"))->setObjectName(QStringLiteral("actionExit"));
    QMenu* customers = window.menuBar()->addMenu(QStringLiteral("&Customers"));
    customers->setObjectName(QStringLiteral("CustomersMenu"));
    customers->addAction(QStringLiteral("Browse"));
    AddImportCommands(&window, file, window.menuBar());
    QCOMPARE(window.menuBar()->findChildren<QMenu*>(QStringLiteral("CustomersMenu")).size(), 1);
    QCOMPARE(customers->actions().size(), 4); // its own, a separator and the two of the import
    QCOMPARE(file->actions().first()->objectName(), QStringLiteral("actionImportLogonEvents"));
    QCOMPARE(file->actions().last()->objectName(), QStringLiteral("actionExit"));
}

QTEST_MAIN(TestImportDialog)
#include "tst_importdialog.moc"
