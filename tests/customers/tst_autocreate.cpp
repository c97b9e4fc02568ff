// Customers created from the logon names of imported sessions and from the login accounts of
// the system's user database (the test's own account list, served through nss_wrapper).
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/appcontext.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/customers/autocreate.h"
#include "core/customers/customercreate.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <unistd.h>

namespace {

const QString kAccounts = QStringLiteral(TK_TEST_DATA_DIR "/accounts/");

// A recording interface that presses Esc once the named customer has been created.
class CEscAfter : public CRecordingUi {
public:
    QString after;
    void setStatusText(const QString& text) override {
        CRecordingUi::setStatusText(text);
        if (text == after + QStringLiteral("..."))
            pressEsc();
    }
};

QStringList customers(Database& db) {
    QStringList names;
    Statement s = db.prepare(QStringLiteral("SELECT Username FROM Users ORDER BY Id"));
    while (s.next())
        names.append(s.value(0).toString());
    return names;
}

} // namespace

class TestAutoCreate : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sessionsAfterTheDateMakeOneCustomerPerName();
    void anInterruptedScanKeepsWhatItCreated();
    void accountsOfTheLoginRangeBySource();

private:
    void addSession(const QString& name, const QDateTime& connect);
    std::unique_ptr<CTestFolders> m_folders;
    Database m_db;
};

void TestAutoCreate::init() {
    m_folders = std::make_unique<CTestFolders>();
    App().reset();
    QVERIFY(theRegistry().open());
    QVERIFY(RegWriteText(Reg::DefaultEmailDomain, QStringLiteral("isp.example")));
    const QString path = m_folders->filePath(QStringLiteral("a.db"));
    CreateNewDatabase(path);
    m_db.open(path);
}

void TestAutoCreate::cleanup() {
    m_db.close();
    App().reset();
    m_folders.reset();
}

void TestAutoCreate::addSession(const QString& name, const QDateTime& connect) {
    m_db.execute(QStringLiteral("INSERT INTO Events (Username, ConnectDate, DisconnectDate) "
                                "VALUES (?, ?, ?)"),
                 {name, DateTimeToDb(connect).days(), DateTimeToDb(connect.addSecs(60)).days()});
}

void TestAutoCreate::sessionsAfterTheDateMakeOneCustomerPerName() {
    const QDateTime since(QDate(2026, 11, 1), QTime(0, 0));
    addSession(QStringLiteral("early"), since);             // at the date: not after it
    addSession(QStringLiteral("early"), since.addDays(-3)); // before it
    addSession(QStringLiteral("zoe"), since.addSecs(1));
    addSession(QStringLiteral("bob"), since.addDays(2));
    addSession(QStringLiteral("BOB"), since.addDays(3));  // one name in two spellings
    addSession(QStringLiteral("carl"), since.addDays(4)); // a group of that name exists
    QVERIFY(CreateCustomer(m_db, QStringLiteral("Carl"), true, {}, QDate(2026, 1, 1)).ok());
    CRecordingUi rec;
    const AutoCreateOutcome first = CreateCustomersFromSessions(m_db, since);
    QCOMPARE(first.result, int(SystemResult::Ok));
    QCOMPARE(first.names.size(), 2);
    QCOMPARE(first.names.at(0).toLower(), QStringLiteral("bob"));
    QCOMPARE(first.names.at(1), QStringLiteral("zoe"));
    QVERIFY(rec.hasMessage(
        QStringLiteral("Automated customer setup is complete.  Added 2 new customers.")));
    QCOMPARE(m_db.scalar(QStringLiteral("SELECT EMail FROM Address a JOIN Users u ON "
                                        "u.Id = a.IdOwner WHERE u.Username = 'zoe'"))
                 .toString(),
             QStringLiteral("zoe@isp.example"));
    QCOMPARE(AutoCreateSessionsDefaultStart(), since);
    // A second scan finds every name taken.
    const AutoCreateOutcome second = CreateCustomersFromSessions(m_db, since);
    QCOMPARE(second.added, 0);
    QCOMPARE(customers(m_db).size(), 3);
}

void TestAutoCreate::anInterruptedScanKeepsWhatItCreated() {
    for (const char* name : {"c1", "c2", "c3", "c4", "c5"})
        addSession(QString::fromLatin1(name), QDateTime(QDate(2026, 11, 2), QTime(8, 0)));
    const QDateTime since(QDate(2026, 11, 1), QTime(0, 0));
    CEscAfter rec;
    rec.after = QStringLiteral("c3");
    rec.defaultAnswer = true; // "Interrupt process?"
    const AutoCreateOutcome out = CreateCustomersFromSessions(m_db, since);
    QCOMPARE(out.result, int(SystemResult::Cancelled));
    QCOMPARE(customers(m_db), (QStringList{"c1", "c2", "c3"}));
    QVERIFY(rec.hasMessage(
        QStringLiteral("Automated customer setup aborted.  Added 3 new customers.")));
    // The interrupted scan's date is not kept: the next one looks again from the old date.
    QCOMPARE(RegNumber(Reg::AutoCreateELastDate), 0);
}

void TestAutoCreate::accountsOfTheLoginRangeBySource() {
    QVERIFY2(qgetenv("NSS_WRAPPER_PASSWD").endsWith("accounts/passwd"),
             "the test runs under nss_wrapper (Debian package libnss-wrapper)");
    QVERIFY(CreateCustomer(m_db, QStringLiteral("BOB"), false, {}, QDate(2026, 1, 1)).ok());
    AccountSources sources;
    sources.localFile = kAccounts + QStringLiteral("local");
    sources.loginDefs = kAccounts + QStringLiteral("login.defs");
    CRecordingUi rec;
    sources.global = false;
    QCOMPARE(CreateCustomersFromAccounts(m_db, sources).names, QStringList{"alice"});
    sources.local = false;
    sources.global = true;
    QCOMPARE(CreateCustomersFromAccounts(m_db, sources).names, (QStringList{"carol", "erin"}));
    // Names taken (alice, carol, erin, BOB as bob) and the one too long for a customer stay
    // out; the long one is named in the operation log.
    sources.local = true;
    QCOMPARE(CreateCustomersFromAccounts(m_db, sources).added, 0);
    QCOMPARE(m_db.scalar(QStringLiteral("SELECT FullName || '|' || Comment FROM Users WHERE "
                                        "Username = 'alice'"))
                 .toString(),
             QStringLiteral("Alice Smith|Room 4,555-1234"));
    QCOMPARE(m_db.scalar(QStringLiteral("SELECT FullName || '|' || Comment FROM Users WHERE "
                                        "Username = 'carol'"))
                 .toString(),
             QStringLiteral("Carol|"));
    // Another server than this computer is refused before anything is read.
    AccountScanChoice choice;
    choice.server = QStringLiteral("pdc1");
    QVERIFY(!choice.problem().isEmpty());
}

// The account test needs the process to start under nss_wrapper, with the test's own account
// list in place of the machine's: the test starts itself again that way.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("NSS_WRAPPER_PASSWD")) {
        for (const char* lib : {"/usr/lib/x86_64-linux-gnu/libnss_wrapper.so",
                                "/usr/lib/aarch64-linux-gnu/libnss_wrapper.so",
                                "/usr/lib64/libnss_wrapper.so", "/usr/lib/libnss_wrapper.so"}) {
            if (!QFileInfo::exists(QString::fromLatin1(lib)))
                continue;
            const QByteArray accounts = QByteArray(TK_TEST_DATA_DIR) + "/accounts/";
            QByteArray preload = lib;
            if (!qgetenv("LD_PRELOAD").isEmpty())
                preload += ':' + qgetenv("LD_PRELOAD");
            qputenv("LD_PRELOAD", preload);
            qputenv("NSS_WRAPPER_PASSWD", accounts + "passwd");
            qputenv("NSS_WRAPPER_GROUP", accounts + "group");
            execv("/proc/self/exe", argv);
            break; // the accounts test says what is missing
        }
    }
    QCoreApplication app(argc, argv);
    TestAutoCreate test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_autocreate.moc"
