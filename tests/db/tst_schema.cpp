// The layout of a new database, the defaults of new rows, and the record types bound to it.
#include "common/cliprocess.h"
#include "core/db/addressrecord.h"
#include "core/db/bpchargejoin.h"
#include "core/db/bprecord.h"
#include "core/db/chargechargejoinrecord.h"
#include "core/db/chargerecord.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/dbinfo.h"
#include "core/db/eventrecord.h"
#include "core/db/fixedunitsjoin.h"
#include "core/db/invoiceplanrecord.h"
#include "core/db/invoicerecord.h"
#include "core/db/lantemprecord.h"
#include "core/db/phonerecord.h"
#include "core/db/schema.h"
#include "core/db/serverrecord.h"
#include "core/db/usergroupjoin.h"
#include "core/db/userrecord.h"
#include "core/db/userrecordold.h"

#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using K = FieldKind;

// A table as the record types see it: the fields in their order, and whether the table's record
// type exchanges each one (the order of the bound ones is the record type's order).
struct ExpField {
    QString name;
    K kind;
    bool bound = true;
};
struct ExpTable {
    QString name;
    QList<ExpField> fields;
};

// The table as the database reports it; the keys of Events are not read by its record type.
ExpTable actualTable(Database& db, const QString& name) {
    ExpTable t{name, {}};
    for (const FieldDef& f : db.fields(name))
        t.fields.append({f.name, f.kind, !(name == QLatin1String("Events") && f.name == "Id")});
    return t;
}

// The earlier Users layout that CUserRecordOld reads.
const ExpTable& oldUsersLayout() {
    static const ExpTable t = {"Users",
                               {{"Username", K::Text},
                                {"HRate", K::Currency},
                                {"MRate", K::Currency},
                                {"Minimum", K::Currency},
                                {"Tax1", K::YesNo},
                                {"Tax2", K::YesNo},
                                {"HDay", K::Single},
                                {"HMonth", K::Single},
                                {"ORate", K::Currency},
                                {"Premium1", K::Currency},
                                {"Premium2", K::Currency},
                                {"Prepay", K::YesNo}}};
    return t;
}

QString kindName(K k) {
    static const char* const names[] = {"Long",   "AutoNumber", "Integer",   "Single",
                                        "Double", "Currency",   "DateTime",  "YesNo",
                                        "Text",   "Memo",       "LongBinary"};
    return QString::fromLatin1(names[int(k)]);
}

// ---------------------------------------------------------------------------------------------
// Distinct test values: the field at position i of its table gets a value derived from i, so a
// member bound to the wrong field shows up as a wrong value in that field.
QVariant distinctValue(K kind, int i) {
    switch (kind) {
    case K::Long:
        return 100000 + 37 * i;
    case K::Integer:
        return 300 + i;
    case K::Single:
        return QVariant(float(i) + 0.5f);
    case K::Double:
        return QVariant(double(i) + 0.125);
    case K::Currency:
        return QVariant::fromValue(Currency::fromUnits(1234567 + 10001 * i));
    case K::DateTime:
        return QVariant::fromValue(DbDateTime(36526.0 + i + 0.75));
    case K::YesNo:
        return true;
    case K::Text:
    case K::Memo:
        return QStringLiteral("v%1 \"q\" 'é'").arg(i);
    case K::LongBinary:
        return QByteArray("\0\x01\xff", 3) + QByteArray::number(i);
    case K::AutoNumber:
        break;
    }
    return {};
}

bool sameValue(K kind, const QVariant& actual, const QVariant& expected) {
    switch (kind) {
    case K::Long:
    case K::Integer:
    case K::AutoNumber:
        return !actual.isNull() && actual.toInt() == expected.toInt();
    case K::Single:
        return actual.toFloat() == expected.toFloat();
    case K::Double:
        return actual.toDouble() == expected.toDouble();
    case K::Currency:
        return actual.value<Currency>().isValid() &&
               actual.value<Currency>().units() == expected.value<Currency>().units();
    case K::DateTime:
        return actual.value<DbDateTime>() == expected.value<DbDateTime>();
    case K::YesNo:
        return !actual.isNull() && actual.toBool() == expected.toBool();
    case K::Text:
    case K::Memo:
        return actual.toString() == expected.toString();
    case K::LongBinary:
        return actual.toByteArray() == expected.toByteArray();
    }
    return false;
}

// Fills the bound members of a row with the distinct values of their fields (keys stay 0) and
// records the names in the order visited. Members are declared in the order of their fields, so
// a member visited out of place (two members bound to each other's fields) shows up as an
// address that does not increase.
struct Filler {
    const ExpTable& table;
    QStringList visited;
    QStringList problems;
    const char* lastMember = nullptr;

    const ExpField* find(const char* name, int* pos) {
        visited << QString::fromLatin1(name);
        for (int i = 0; i < table.fields.size(); ++i) {
            if (table.fields[i].name == QLatin1String(name)) {
                *pos = i;
                return &table.fields[i];
            }
        }
        problems << QStringLiteral("unknown field %1").arg(QLatin1String(name));
        return nullptr;
    }
    template <class T> void set(const char* name, T& member, K memberKind) {
        const char* address = reinterpret_cast<const char*>(&member);
        if (lastMember && address <= lastMember)
            problems << QStringLiteral("%1: member out of declaration order").arg(name);
        lastMember = address;
        int pos = 0;
        const ExpField* f = find(name, &pos);
        if (!f)
            return;
        if (f->kind == K::AutoNumber) {
            if (memberKind != K::Long)
                problems << QStringLiteral("%1: key bound as %2").arg(name, kindName(memberKind));
            return;
        }
        const bool textKinds = (f->kind == K::Text || f->kind == K::Memo) && memberKind == K::Text;
        if (f->kind != memberKind && !textKinds) {
            problems << QStringLiteral("%1: member of kind %2, field of kind %3")
                            .arg(name, kindName(memberKind), kindName(f->kind));
            return;
        }
        member = distinctValue(f->kind, pos).template value<T>();
    }
    void operator()(const char* n, qint32& v) { set(n, v, K::Long); }
    void operator()(const char* n, qint64& v) { set(n, v, K::Long); } // byte counts
    void operator()(const char* n, qint16& v) { set(n, v, K::Integer); }
    void operator()(const char* n, float& v) { set(n, v, K::Single); }
    void operator()(const char* n, double& v) { set(n, v, K::Double); }
    void operator()(const char* n, Currency& v) { set(n, v, K::Currency); }
    void operator()(const char* n, DbDateTime& v) { set(n, v, K::DateTime); }
    void operator()(const char* n, bool& v) { set(n, v, K::YesNo); }
    void operator()(const char* n, QString& v) { set(n, v, K::Text); }
    void operator()(const char* n, QByteArray& v) { set(n, v, K::LongBinary); }
};

QString keyFieldOf(const ExpTable& t) {
    for (const ExpField& f : t.fields) {
        if (f.kind == K::AutoNumber)
            return f.name;
    }
    return {};
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layout();
    void dbInfoHasOneRow();
    void schemaIsCreatedAtomically();
    void createNewDatabaseRefusesExistingFile();

    void newUserDefaults_data();
    void newUserDefaults();
    void newChargeDefaults_data();
    void newChargeDefaults();
    void longUserNameStoredWhole();

    void roundTrip_data();
    void roundTrip();
    void roundTripOldUsers();
    void invoiceBinaryKeptWhole();

    void lookups();
    void userNameWithQuotesIsData();

private:
    // Writes distinct values through record type Rec (a new row, or the one existing row when
    // editExisting), then checks the table's columns and a fresh read through Rec.
    template <class Rec> void checkRoundTrip(Database& db, const ExpTable& t, bool editExisting);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    Database m_db;
    QHash<QString, std::function<void()>> m_roundTrips;
};

void TestSchema::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    m_roundTrips = {
        {"Users", [this] { checkRoundTrip<CUserRecord>(m_db, actualTable(m_db, "Users"), false); }},
        {"UserGroupJoin",
         [this] {
             checkRoundTrip<CUserGroupJoin>(m_db, actualTable(m_db, "UserGroupJoin"), false);
         }},
        {"Address",
         [this] { checkRoundTrip<CAddressRecord>(m_db, actualTable(m_db, "Address"), false); }},
        {"Phone",
         [this] { checkRoundTrip<CPhoneRecord>(m_db, actualTable(m_db, "Phone"), false); }},
        {"BillingPlans",
         [this] { checkRoundTrip<CBPRecord>(m_db, actualTable(m_db, "BillingPlans"), false); }},
        {"BPChargeJoin",
         [this] { checkRoundTrip<CBPChargeJoin>(m_db, actualTable(m_db, "BPChargeJoin"), false); }},
        {"ChargeChargeJoin",
         [this] {
             checkRoundTrip<CChargeChargeJoinRecord>(m_db, actualTable(m_db, "ChargeChargeJoin"),
                                                     false);
         }},
        {"FixedUnitsJoin",
         [this] {
             checkRoundTrip<CFixedUnitsJoin>(m_db, actualTable(m_db, "FixedUnitsJoin"), false);
         }},
        {"InvoicePlans",
         [this] {
             checkRoundTrip<CInvoicePlanRecord>(m_db, actualTable(m_db, "InvoicePlans"), false);
         }},
        {"Invoices",
         [this] { checkRoundTrip<CInvoiceRecord>(m_db, actualTable(m_db, "Invoices"), false); }},
        {"Events",
         [this] { checkRoundTrip<CEventRecord>(m_db, actualTable(m_db, "Events"), false); }},
        {"Servers",
         [this] { checkRoundTrip<CServerRecord>(m_db, actualTable(m_db, "Servers"), false); }},
        {"LANTemp",
         [this] { checkRoundTrip<CLANTempRecord>(m_db, actualTable(m_db, "LANTemp"), false); }},
        {"DBInfo", [this] { checkRoundTrip<CDBInfo>(m_db, actualTable(m_db, "DBInfo"), true); }},
    };
}

void TestSchema::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("tollk.db"));
    CreateNewDatabase(m_path);
    m_db.open(m_path);
}

void TestSchema::cleanup() {
    m_db.close();
    m_dir.reset();
}

void TestSchema::layout() {
    // The layout is kept as the reviewed printout of `tollkeeper-cli schema --file` on a new
    // database; the schema definitions print the same tables.
    QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
    QFile golden(QStringLiteral(TK_TEST_DATA_DIR "/schema.txt"));
    QVERIFY(golden.open(QIODevice::ReadOnly));
    const QString expected = QString::fromUtf8(golden.readAll());
    m_db.close();
    const CliResult file =
        RunCliOn(m_dir->path(), m_path, {QStringLiteral("schema"), QStringLiteral("--file")});
    QCOMPARE(file.code, 0);
    QCOMPARE(file.out, expected);
    // The definitions list the tables in creation order, the file by name.
    const CliResult defs = RunCli(m_dir->path(), {QStringLiteral("schema")});
    QCOMPARE(defs.code, 0);
    QStringList tables = defs.out.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
    std::sort(tables.begin(), tables.end());
    QCOMPARE(tables.join(QStringLiteral("\n\n")) + QStringLiteral("\n\n"), expected);
    m_db.open(m_path);
    // The engine's report of a single field agrees with the field list.
    for (const QString& table : m_db.tableNames()) {
        for (const FieldDef& a : m_db.fields(table)) {
            const FieldDef one = m_db.fieldInfo(table, a.name);
            QVERIFY2(one.kind == a.kind && one.size == a.size && one.required == a.required,
                     qPrintable(table + '.' + a.name));
        }
    }
}

void TestSchema::dbInfoHasOneRow() {
    QCOMPARE(m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM DBInfo")).toInt(), 1);
    CDBInfo info(m_db);
    QVERIFY(info.read());
    QCOMPARE(info.Version, kCurrentDbVersion);
    // A new database needs no upgrade: release 2.05 or later in the low 16 bits.
    QVERIFY((info.Version & 0xffff) >= 205);
    QCOMPARE(info.CompanyName, QString());
    QCOMPARE(info.LogoURL, QString());
    QVERIFY(info.MinimumPayment.isValid());
    QCOMPARE(info.MinimumPayment.units(), qint64(0));
    QCOMPARE(info.PrepaidMinimum, false);
}

void TestSchema::schemaIsCreatedAtomically() {
    // A file that already holds one of the tables: creation fails and leaves only that table.
    const QString path = m_dir->filePath(QStringLiteral("partial.db"));
    Database db;
    db.open(path, Database::OpenMode::Exclusive, true);
    db.createTable(QStringLiteral("Servers"), {FieldDef(QStringLiteral("ServerName"), K::Text)});
    QVERIFY_THROWS_EXCEPTION(DbException, CreateCurrentSchema(db));
    QCOMPARE(db.transactionDepth(), 0);
    QStringList tables = db.tableNames();
    tables.removeAll(QStringLiteral("sqlite_sequence"));
    QCOMPARE(tables, QStringList{QStringLiteral("Servers")});
}

void TestSchema::createNewDatabaseRefusesExistingFile() {
    const QString path = m_dir->filePath(QStringLiteral("existing.db"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    QVERIFY_THROWS_EXCEPTION(DbException, CreateNewDatabase(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
    // The database of init() exists too.
    QVERIFY_THROWS_EXCEPTION(DbException, CreateNewDatabase(m_path));
}

void TestSchema::newUserDefaults_data() {
    QTest::addColumn<bool>("throughRecord");
    QTest::newRow("raw INSERT") << false;
    QTest::newRow("CUserRecord addNew") << true;
}

void TestSchema::newUserDefaults() {
    QFETCH(bool, throughRecord);
    if (throughRecord) {
        // Start from a row with other values, so that defaults cannot come from the members.
        CUserRecord rec(m_db);
        rec.open();
        rec.addNew();
        rec.Username = QStringLiteral("other");
        rec.ActiveStatus = 0;
        rec.IdBillingPlan = rec.IdInvoicePlan = rec.GroupOptions = rec.AnniversaryDay = 7;
        rec.IdBPOverride = rec.IdIPOverride = rec.Options = 7;
        rec.GotFirstInvoice = rec.IsGroup = true;
        rec.update();
        QVERIFY(rec.findByName(QStringLiteral("other")));
        rec.addNew();
        rec.Username = QStringLiteral("fresh");
        rec.update();
    } else {
        m_db.execute(QStringLiteral("INSERT INTO Users (Username) VALUES (?)"),
                     {QStringLiteral("fresh")});
    }
    Recordset rs(m_db);
    rs.openFilter(QStringLiteral("Users"), QStringLiteral("[Username] = ?"),
                  {QStringLiteral("fresh")});
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.value(QStringLiteral("ActiveStatus")).toInt(), 1);
    for (const char* f : {"IdBillingPlan", "IdInvoicePlan", "GotFirstInvoice", "GroupOptions",
                          "IsGroup", "AnniversaryDay", "IdBPOverride", "IdIPOverride", "Options"}) {
        const QVariant v = rs.value(QString::fromLatin1(f));
        QVERIFY2(!v.isNull() && v.toInt() == 0, f);
    }
    QVERIFY(rs.value(QStringLiteral("Id")).toInt() > 0);

    CUserRecord back(m_db);
    QVERIFY(back.findByName(QStringLiteral("fresh")));
    QCOMPARE(back.ActiveStatus, qint16(1));
    QCOMPARE(back.IsGroup, false);
    QCOMPARE(back.Comment, QString());
}

void TestSchema::newChargeDefaults_data() {
    QTest::addColumn<bool>("throughRecord");
    QTest::newRow("raw INSERT") << false;
    QTest::newRow("CChargeRecord addNew") << true;
}

void TestSchema::newChargeDefaults() {
    QFETCH(bool, throughRecord);
    qint64 id = 0;
    if (throughRecord) {
        CChargeRecord rec(m_db);
        rec.open();
        rec.addNew();
        rec.Name = QStringLiteral("Monthly fee");
        rec.update();
        id = rec.lastAddedKey();
    } else {
        m_db.execute(QStringLiteral("INSERT INTO Charges (Name) VALUES (?)"),
                     {QStringLiteral("Monthly fee")});
        id = m_db.lastInsertId();
    }
    QVERIFY(id > 0);
    Recordset rs(m_db);
    rs.openFilter(QStringLiteral("Charges"), QStringLiteral("[Id] = ?"), {id});
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.value(QStringLiteral("DefUnitQuantity")).toInt(), 1);
    for (const char* f : {"ChargeAmount", "InvoicedAmount"}) {
        const Currency c = rs.value(QString::fromLatin1(f)).value<Currency>();
        QVERIFY2(c.isValid() && c.units() == 0, f);
    }
    for (const char* f : {"IdInvoice", "IdTemplate", "IdUser", "SGIdApplyTo", "InvoicedQuantity",
                          "LimitAccum", "UnitAccum", "Options", "FilterValue"}) {
        const QVariant v = rs.value(QString::fromLatin1(f));
        QVERIFY2(!v.isNull() && v.toInt() == 0, f);
    }
    QCOMPARE(rs.value(QStringLiteral("UnitName")).toString(), QString());
    QCOMPARE(rs.value(QStringLiteral("FilterString")).toString(), QString());

    CChargeRecord back(m_db);
    QVERIFY(back.findById(qint32(id)));
    QCOMPARE(back.DefUnitQuantity, 1);
    QCOMPARE(back.Name, QStringLiteral("Monthly fee"));
}

void TestSchema::longUserNameStoredWhole() {
    const QString name = QStringLiteral("abcdefghij") + QStringLiteral("ABCDEFGHIJ") +
                         QStringLiteral("0123456789") + QStringLiteral("klmnopqrst");
    QCOMPARE(name.size(), 40);

    CUserRecord user(m_db);
    user.open();
    user.addNew();
    user.Username = name;
    user.update();

    CEventRecord ev(m_db);
    ev.open();
    ev.addNew();
    ev.Username = name;
    ev.update();

    CLANTempRecord lan(m_db);
    lan.open();
    lan.addNew();
    lan.UserName = name;
    lan.update();

    for (const char* sql : {"SELECT Username FROM Users", "SELECT Username FROM Events",
                            "SELECT UserName FROM LANTemp"}) {
        QCOMPARE(m_db.scalar(QString::fromLatin1(sql)).toString(), name);
    }
    QVERIFY(user.findByName(name));
}

void TestSchema::roundTrip_data() {
    QTest::addColumn<QString>("table");
    QStringList tables = m_roundTrips.keys(); // the charge type keeps its own tests
    tables.sort();
    for (const QString& t : tables)
        QTest::newRow(qPrintable(t)) << t;
}

void TestSchema::roundTrip() {
    QFETCH(QString, table);
    QVERIFY(m_roundTrips.contains(table));
    m_roundTrips.value(table)();
}

template <class Rec>
void TestSchema::checkRoundTrip(Database& db, const ExpTable& t, bool editExisting) {
    const QString table = t.name;
    const QString key = keyFieldOf(t);

    // The record type binds exactly the bound fields, in their order.
    QStringList expectedBound;
    for (const ExpField& f : t.fields) {
        if (f.bound)
            expectedBound << f.name;
    }
    Rec rec(db);
    QCOMPARE(Rec::kFieldCount, int(expectedBound.size()));

    if (editExisting) {
        rec.open();
        QCOMPARE(rec.recordCount(), 1);
        rec.edit();
    } else {
        rec.open();
        rec.addNew();
    }
    Filler fill{t, {}, {}, nullptr};
    rec.forEachField(fill);
    QVERIFY2(fill.problems.isEmpty(), qPrintable(fill.problems.join(QStringLiteral("; "))));
    QCOMPARE(fill.visited, expectedBound);
    rec.update();
    const qint64 keyValue = key.isEmpty() ? 0 : rec.lastAddedKey();
    if (!key.isEmpty() && !editExisting)
        QVERIFY(keyValue > 0);

    // Every column holds the value meant for it.
    Recordset rs(db);
    if (key.isEmpty())
        rs.openTable(table);
    else
        rs.openFilter(table, QStringLiteral("[%1] = ?").arg(key), {keyValue});
    QCOMPARE(rs.recordCount(), 1);
    for (int i = 0; i < t.fields.size(); ++i) {
        const ExpField& f = t.fields[i];
        const QVariant actual = rs.value(f.name);
        if (f.kind == K::AutoNumber) {
            QCOMPARE(actual.toLongLong(), keyValue);
            continue;
        }
        QVERIFY2(
            sameValue(f.kind, actual, distinctValue(f.kind, i)),
            qPrintable(QStringLiteral("%1.%2 holds '%3'").arg(table, f.name, actual.toString())));
    }

    // A fresh read through the record type gives the same members.
    Rec back(db);
    if (key.isEmpty())
        back.open();
    else
        back.openWhere(QStringLiteral("[%1] = ?").arg(key), {keyValue});
    QVERIFY(!back.isEOF());
    // Keys were left 0 when writing; the engine's value is expected back.
    auto expected = rec.row();
    expected.forEachField([&](const char* name, auto& member) {
        if constexpr (std::is_same_v<std::decay_t<decltype(member)>, qint32>) {
            if (QLatin1String(name) == key)
                member = qint32(keyValue);
        }
    });
    QVERIFY(back.row() == expected);
}

void TestSchema::roundTripOldUsers() {
    // A database of the earlier layout: Users carries the per-customer rates.
    const QString path = m_dir->filePath(QStringLiteral("old.db"));
    Database db;
    db.open(path, Database::OpenMode::Exclusive, true);
    FieldList fields;
    for (const ExpField& f : oldUsersLayout().fields)
        fields << FieldDef(f.name, f.kind, f.kind == K::Text ? 16 : 0);
    db.createTable(QStringLiteral("Users"), fields);
    checkRoundTrip<CUserRecordOld>(db, oldUsersLayout(), false);
}

void TestSchema::invoiceBinaryKeptWhole() {
    // Larger than the 2048 bytes reserved for it, with zero bytes inside.
    QByteArray data(5000, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    CInvoiceRecord inv(m_db);
    inv.open();
    inv.addNew();
    inv.IdUser = 1;
    inv.Users = data;
    inv.update();
    CInvoiceRecord back(m_db);
    QVERIFY(back.findByNumber(qint32(inv.lastAddedKey())));
    QCOMPARE(back.Users.size(), data.size());
    QCOMPARE(back.Users, data);
}

void TestSchema::lookups() {
    CUserRecord user(m_db);
    QVERIFY(!user.findById(1));
    QVERIFY(!user.findByName(QStringLiteral("alice")));
    m_db.execute(QStringLiteral("INSERT INTO Users (Username, FullName) VALUES (?, ?)"),
                 {QStringLiteral("alice"), QStringLiteral("Alice A.")});
    const qint32 userId = qint32(m_db.lastInsertId());
    QVERIFY(user.findByName(QStringLiteral("alice")));
    QCOMPARE(user.FullName, QStringLiteral("Alice A."));
    QVERIFY(user.findById(userId));
    QCOMPARE(user.Username, QStringLiteral("alice"));
    QVERIFY(!user.findById(userId + 1));
    QVERIFY(!user.findByName(QStringLiteral("alic")));

    CInvoiceRecord inv(m_db);
    QVERIFY(!inv.findByNumber(1));
    m_db.execute(QStringLiteral("INSERT INTO Invoices (IdUser) VALUES (?)"), {userId});
    const qint32 invNum = qint32(m_db.lastInsertId());
    QVERIFY(inv.findByNumber(invNum));
    QCOMPARE(inv.IdUser, userId);
    QVERIFY(inv.findById(invNum));
    QVERIFY(!inv.findByNumber(invNum + 1));

    CBPRecord bp(m_db);
    CInvoicePlanRecord ip(m_db);
    CChargeRecord charge(m_db);
    QVERIFY(!bp.findByInvoice(invNum));
    QVERIFY(!ip.findByInvoice(invNum));
    QVERIFY(!charge.findByInvoice(invNum));
    QVERIFY(!bp.findLiveByName(QStringLiteral("Basic")));
    for (const char* t : {"BillingPlans", "InvoicePlans"}) {
        // a live plan and its frozen copy under the same name
        m_db.execute(
            QStringLiteral("INSERT INTO %1 (Name, IdInvoice) VALUES (?, 0)").arg(QLatin1String(t)),
            {QStringLiteral("Basic")});
        m_db.execute(QStringLiteral("INSERT INTO %1 (Name, IdInvoice, IdUser) VALUES (?, ?, ?)")
                         .arg(QLatin1String(t)),
                     {QStringLiteral("Basic"), invNum, userId});
    }
    QVERIFY(bp.findByInvoice(invNum));
    QCOMPARE(bp.IdUser, userId);
    QVERIFY(ip.findByInvoice(invNum));
    QCOMPARE(ip.IdUser, userId);
    QVERIFY(bp.findLiveByName(QStringLiteral("Basic")));
    QCOMPARE(bp.IdInvoice, 0);
    QVERIFY(ip.findLiveByName(QStringLiteral("Basic")));
    QCOMPARE(ip.IdInvoice, 0);
    QVERIFY(!ip.findLiveByName(QStringLiteral("basic plan")));

    QVERIFY(!charge.findFrozen(userId, 5));
    m_db.execute(QStringLiteral("INSERT INTO Charges (Name, IdInvoice, IdUser, IdTemplate) "
                                "VALUES (?, ?, ?, ?)"),
                 {QStringLiteral("Fee"), invNum, userId, 5});
    QVERIFY(charge.findFrozen(userId, 5));
    QVERIFY(charge.findByInvoice(invNum));
    QVERIFY(!charge.findFrozen(userId, 6));

    CAddressRecord addr(m_db);
    CPhoneRecord phone(m_db);
    QVERIFY(!addr.findByOwner(userId, 0));
    QVERIFY(!phone.findByOwner(userId, 1));
    m_db.execute(QStringLiteral("INSERT INTO Address (IdOwner, Type, City) VALUES (?, 0, ?)"),
                 {userId, QStringLiteral("Lyon")});
    m_db.execute(QStringLiteral("INSERT INTO Phone (IdOwner, Type, Number) VALUES (?, 1, ?)"),
                 {userId, QStringLiteral("555-0100")});
    QVERIFY(addr.findByOwner(userId, 0));
    QCOMPARE(addr.City, QStringLiteral("Lyon"));
    QVERIFY(!addr.findByOwner(userId, 1));
    QVERIFY(phone.findByOwner(userId, 1));
    QCOMPARE(phone.Number, QStringLiteral("555-0100"));
    QVERIFY(!phone.findByOwner(userId + 1, 1));

    CFixedUnitsJoin units(m_db);
    QVERIFY(!units.findUnits(3, userId));
    m_db.execute(QStringLiteral("INSERT INTO FixedUnitsJoin (IdCharge, IdUser, NumUnits) "
                                "VALUES (3, ?, 12)"),
                 {userId});
    QVERIFY(units.findUnits(3, userId));
    QCOMPARE(units.NumUnits, 12);
    QVERIFY(!units.findUnits(userId, 3)); // charge and customer are not interchangeable

    CServerRecord server(m_db);
    QVERIFY(!server.findByName(QStringLiteral("ras1")));
    m_db.execute(QStringLiteral("INSERT INTO Servers (ServerName) VALUES (?)"),
                 {QStringLiteral("ras1")});
    QVERIFY(server.findByName(QStringLiteral("ras1")));
    QVERIFY(server.findById(server.Id));

    // A look-up that the engine cannot make is an error, never "not found" (a caller would
    // otherwise create a second row, or take a customer for unknown).
    m_db.deleteTable(QStringLiteral("Phone"));
    QVERIFY_THROWS_EXCEPTION(DbException, phone.findByOwner(userId, 1));
}

void TestSchema::userNameWithQuotesIsData() {
    const QStringList names = {
        QStringLiteral("o'brien"),
        QStringLiteral("say \"hi\""),
        QStringLiteral("[Username] = [Username]"),
        QStringLiteral("x\" OR \"\"=\""),
        QStringLiteral("a'; DROP TABLE Users; --"),
        QStringLiteral("%_*?#"),
    };
    CUserRecord rec(m_db);
    for (const QString& n : names) {
        QVERIFY2(!rec.findByName(n), qPrintable(n));
        rec.open();
        rec.addNew();
        rec.Username = n;
        rec.update();
    }
    QCOMPARE(m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM Users")).toInt(), names.size());
    for (const QString& n : names) {
        QVERIFY2(rec.findByName(n), qPrintable(n));
        QCOMPARE(rec.recordCount(), 1);
        QCOMPARE(rec.Username, n);
    }
    QVERIFY(!rec.findByName(QStringLiteral("x")));
    QVERIFY(m_db.tableExists(QStringLiteral("Users")));
    QCOMPARE(m_db.scalar(QStringLiteral("SELECT COUNT(*) FROM Users")).toInt(), names.size());
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
