// The layout of a new database, the defaults of new rows, and the record types bound to it.
#include "common/cliprocess.h"
#include "common/testfolders.h"
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

#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

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
        t.fields.append({f.name, f.kind, !(name == u"Events"_s && f.name == "Id")});
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
        return u"v%1 \"q\" 'é'"_s.arg(i);
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
        problems << u"unknown field %1"_s.arg(QLatin1String(name));
        return nullptr;
    }
    template <class T> void set(const char* name, T& member, K memberKind) {
        const char* address = reinterpret_cast<const char*>(&member);
        if (lastMember && address <= lastMember)
            problems << u"%1: member out of declaration order"_s.arg(name);
        lastMember = address;
        int pos = 0;
        const ExpField* f = find(name, &pos);
        if (!f)
            return;
        if (f->kind == K::AutoNumber) {
            if (memberKind != K::Long)
                problems << u"%1: key bound as %2"_s.arg(name, kindName(memberKind));
            return;
        }
        const bool textKinds = (f->kind == K::Text || f->kind == K::Memo) && memberKind == K::Text;
        if (f->kind != memberKind && !textKinds) {
            problems << u"%1: member of kind %2, field of kind %3"_s.arg(name, kindName(memberKind),
                                                                         kindName(f->kind));
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

    void newUserDefaults();

    void roundTrip_data();
    void roundTrip();

    void lookups();

private:
    // Writes distinct values through record type Rec (a new row, or the one existing row when
    // editExisting), then checks the table's columns and a fresh read through Rec.
    template <class Rec> void checkRoundTrip(Database& db, const ExpTable& t, bool editExisting);
    template <class Rec> void addRoundTrip(const QString& table, bool editExisting = false) {
        m_roundTrips.insert(table, [this, table, editExisting] {
            checkRoundTrip<Rec>(m_db, actualTable(m_db, table), editExisting);
        });
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    Database m_db;
    QHash<QString, std::function<void()>> m_roundTrips;
};

void TestSchema::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    addRoundTrip<CUserRecord>(u"Users"_s);
    addRoundTrip<CUserGroupJoin>(u"UserGroupJoin"_s);
    addRoundTrip<CAddressRecord>(u"Address"_s);
    addRoundTrip<CPhoneRecord>(u"Phone"_s);
    addRoundTrip<CBPRecord>(u"BillingPlans"_s);
    addRoundTrip<CBPChargeJoin>(u"BPChargeJoin"_s);
    addRoundTrip<CChargeChargeJoinRecord>(u"ChargeChargeJoin"_s);
    addRoundTrip<CFixedUnitsJoin>(u"FixedUnitsJoin"_s);
    addRoundTrip<CInvoicePlanRecord>(u"InvoicePlans"_s);
    addRoundTrip<CInvoiceRecord>(u"Invoices"_s);
    addRoundTrip<CEventRecord>(u"Events"_s);
    addRoundTrip<CServerRecord>(u"Servers"_s);
    addRoundTrip<CLANTempRecord>(u"LANTemp"_s);
    addRoundTrip<CDBInfo>(u"DBInfo"_s, true);
}

void TestSchema::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(u"tollk.db"_s);
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
    const CliResult file = RunCliOn(m_dir->path(), m_path, {u"schema"_s, u"--file"_s});
    QCOMPARE(file.code, 0);
    QCOMPARE(file.out, expected);
    // The definitions list the tables in creation order, the file by name.
    const CliResult defs = RunCli(m_dir->path(), {u"schema"_s});
    QCOMPARE(defs.code, 0);
    QStringList tables = defs.out.split(u"\n\n"_s, Qt::SkipEmptyParts);
    std::sort(tables.begin(), tables.end());
    QCOMPARE(tables.join(u"\n\n"_s) + u"\n\n"_s, expected);
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
    QCOMPARE(m_db.scalar(u"SELECT COUNT(*) FROM DBInfo"_s).toInt(), 1);
    CDBInfo info(m_db);
    QVERIFY(info.read());
    QCOMPARE(info.Version, kCurrentDbVersion);
    // A new database needs no upgrade: release 2.05 or later in the low 16 bits.
    QVERIFY((info.Version & 0xffff) >= 205);
}

void TestSchema::schemaIsCreatedAtomically() {
    // A file that already holds one of the tables: creation fails and leaves only that table.
    const QString path = m_dir->filePath(u"partial.db"_s);
    Database db;
    db.open(path, Database::OpenMode::Exclusive, true);
    db.createTable(u"Servers"_s, {FieldDef(u"ServerName"_s, K::Text)});
    QVERIFY_THROWS_EXCEPTION(DbException, CreateCurrentSchema(db));
    QCOMPARE(db.transactionDepth(), 0);
    QStringList tables = db.tableNames();
    tables.removeAll(u"sqlite_sequence"_s);
    QCOMPARE(tables, QStringList{u"Servers"_s});
}

void TestSchema::createNewDatabaseRefusesExistingFile() {
    const QString path = m_dir->filePath(u"existing.db"_s);
    QVERIFY(WriteFileBytes(path, "keep me"));
    QVERIFY_THROWS_EXCEPTION(DbException, CreateNewDatabase(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
    // The database of init() exists too.
    QVERIFY_THROWS_EXCEPTION(DbException, CreateNewDatabase(m_path));
}

// A new row through a record type takes the table's defaults, not the values its members
// held from the row before.
void TestSchema::newUserDefaults() {
    CUserRecord rec(m_db);
    rec.open();
    rec.addNew();
    rec.Username = u"other"_s;
    rec.ActiveStatus = 0;
    rec.IdBillingPlan = rec.IdInvoicePlan = rec.GroupOptions = rec.AnniversaryDay = 7;
    rec.IdBPOverride = rec.IdIPOverride = rec.Options = 7;
    rec.GotFirstInvoice = rec.IsGroup = true;
    rec.update();
    QVERIFY(rec.findByName(u"other"_s));
    rec.addNew();
    rec.Username = u"fresh"_s;
    rec.update();
    Recordset rs(m_db);
    rs.openFilter(u"Users"_s, u"[Username] = ?"_s, {u"fresh"_s});
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.value(u"ActiveStatus"_s).toInt(), 1);
    for (const char* f : {"IdBillingPlan", "IdInvoicePlan", "GotFirstInvoice", "GroupOptions",
                          "IsGroup", "AnniversaryDay", "IdBPOverride", "IdIPOverride", "Options"}) {
        const QVariant v = rs.value(QString::fromLatin1(f));
        QVERIFY2(!v.isNull() && v.toInt() == 0, f);
    }
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
    QVERIFY2(fill.problems.isEmpty(), qPrintable(fill.problems.join(u"; "_s)));
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
        rs.openFilter(table, u"[%1] = ?"_s.arg(key), {keyValue});
    QCOMPARE(rs.recordCount(), 1);
    for (int i = 0; i < t.fields.size(); ++i) {
        const ExpField& f = t.fields[i];
        const QVariant actual = rs.value(f.name);
        if (f.kind == K::AutoNumber) {
            QCOMPARE(actual.toLongLong(), keyValue);
            continue;
        }
        QVERIFY2(sameValue(f.kind, actual, distinctValue(f.kind, i)),
                 qPrintable(u"%1.%2 holds '%3'"_s.arg(table, f.name, actual.toString())));
    }

    // A fresh read through the record type gives the same members.
    Rec back(db);
    if (key.isEmpty())
        back.open();
    else
        back.openWhere(u"[%1] = ?"_s.arg(key), {keyValue});
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

// The finders that pick one row of several: the live plan, not its frozen copy of the same
// name; the units of a charge for a customer, not the other way round.
void TestSchema::lookups() {
    m_db.execute(u"INSERT INTO Users (Username) VALUES (?)"_s, {u"alice"_s});
    const qint32 userId = qint32(m_db.lastInsertId());
    m_db.execute(u"INSERT INTO Invoices (IdUser) VALUES (?)"_s, {userId});
    const qint32 invNum = qint32(m_db.lastInsertId());
    CBPRecord bp(m_db);
    CInvoicePlanRecord ip(m_db);
    QVERIFY(!bp.findLiveByName(u"Basic"_s));
    for (const char* t : {"BillingPlans", "InvoicePlans"}) {
        // the frozen copy first, then the live plan under the same name
        m_db.execute(
            u"INSERT INTO %1 (Name, IdInvoice, IdUser) VALUES (?, ?, ?)"_s.arg(QLatin1String(t)),
            {u"Basic"_s, invNum, userId});
        m_db.execute(u"INSERT INTO %1 (Name, IdInvoice) VALUES (?, 0)"_s.arg(QLatin1String(t)),
                     {u"Basic"_s});
    }
    QVERIFY(bp.findLiveByName(u"Basic"_s));
    QCOMPARE(bp.IdInvoice, 0);
    QVERIFY(ip.findLiveByName(u"Basic"_s));
    QCOMPARE(ip.IdInvoice, 0);
    QVERIFY(bp.findByInvoice(invNum));
    QCOMPARE(bp.IdUser, userId);
    QVERIFY(ip.findByInvoice(invNum));

    CFixedUnitsJoin units(m_db);
    m_db.execute(u"INSERT INTO FixedUnitsJoin (IdCharge, IdUser, NumUnits) VALUES (3, ?, 12)"_s,
                 {userId});
    QVERIFY(units.findUnits(3, userId));
    QCOMPARE(units.NumUnits, 12);
    QVERIFY(!units.findUnits(userId, 3));

    // A look-up that the engine cannot make is an error, never "not found" (a caller would
    // otherwise create a second row, or take a customer for unknown).
    CPhoneRecord phone(m_db);
    m_db.deleteTable(u"Phone"_s);
    QVERIFY_THROWS_EXCEPTION(DbException, (void)phone.findByOwner(userId, 1));
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
