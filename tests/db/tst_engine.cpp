#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/record.h"
#include "core/db/transaction.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A record type over the test table "Things", binding one field of each kind.
struct CThingRecord : CRecord {
    explicit CThingRecord(Database& db) : CRecord(db, QStringLiteral("Things")) {}
    qint32 Id = 0;
    qint32 Count = 0;
    qint16 Small = 0;
    float Ratio = 0;
    double Precise = 0;
    Currency Amount;
    DbDateTime When;
    bool Flag = false;
    QString Name;
    QString Notes;
    QByteArray Blob;
    qint32 NotInTable = 7;

protected:
    void bindFields(FieldBinder& b) override {
        b("Id", Id);
        b("Count", Count);
        b("Small", Small);
        b("Ratio", Ratio);
        b("Precise", Precise);
        b("Amount", Amount);
        b("When", When);
        b("Flag", Flag);
        b("Name", Name);
        b("Notes", Notes);
        b("Blob", Blob);
        b("NotInTable", NotInTable);
    }
};

FieldList thingFields() {
    return {FieldDef(QStringLiteral("Id"), FieldKind::AutoNumber),
            FieldDef(QStringLiteral("Count"), FieldKind::Long).req().def(QStringLiteral("0")),
            FieldDef(QStringLiteral("Small"), FieldKind::Integer).req().def(QStringLiteral("1")),
            FieldDef(QStringLiteral("Ratio"), FieldKind::Single),
            FieldDef(QStringLiteral("Precise"), FieldKind::Double),
            FieldDef(QStringLiteral("Amount"), FieldKind::Currency).def(QStringLiteral("0")),
            FieldDef(QStringLiteral("When"), FieldKind::DateTime),
            FieldDef(QStringLiteral("Flag"), FieldKind::YesNo).req().def(QStringLiteral("0")),
            FieldDef(QStringLiteral("Name"), FieldKind::Text, 40),
            FieldDef(QStringLiteral("Notes"), FieldKind::Memo).zeroLength().def(QString()),
            FieldDef(QStringLiteral("Blob"), FieldKind::LongBinary)};
}

QStringList column(Database& db, const QString& sql) {
    QStringList out;
    Statement st = db.prepare(sql);
    while (st.next())
        out << st.value(0).toString();
    return out;
}

} // namespace

class TestEngine : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Database m_db;
    int m_n = 0;

    QString newPath() { return m_dir.filePath(QStringLiteral("db%1.mdb").arg(++m_n)); }

private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        m_db.open(newPath(), Database::OpenMode::Exclusive, true);
    }
    void cleanup() { m_db.close(); }

    void fieldDefinitionsRoundTrip() {
        FieldList defs = thingFields();
        defs << FieldDef(QStringLiteral("Plain"), FieldKind::Text)
             << FieldDef(QStringLiteral("Empty Ok"), FieldKind::Text, 255)
                    .zeroLength()
                    .def(QStringLiteral("it's"));
        m_db.createTable(QStringLiteral("Things"), defs);
        QVERIFY(m_db.tableExists(QStringLiteral("things")));
        QCOMPARE(m_db.tableNames(), QStringList{QStringLiteral("Things")});

        const FieldList back = m_db.fields(QStringLiteral("Things"));
        QCOMPARE(back.size(), defs.size());
        for (int i = 0; i < defs.size(); ++i) {
            const FieldDef& want = defs.at(i);
            const FieldDef& got = back.at(i);
            QCOMPARE(got.name, want.name);
            QCOMPARE(int(got.kind), int(want.kind));
            QCOMPARE(got.size, want.kind == FieldKind::Text ? (want.size ? want.size : 255) : 0);
            QCOMPARE(got.required, want.required);
            QCOMPARE(got.allowZeroLength, want.allowZeroLength);
            QCOMPARE(got.hasDefault, want.hasDefault);
            QCOMPARE(got.defaultValue, want.defaultValue);
        }
        QCOMPARE(m_db.fieldInfo(QStringLiteral("Things"), QStringLiteral("name")).size, 40);
        QVERIFY(m_db.fieldExists(QStringLiteral("Things"), QStringLiteral("EMPTY OK")));
        QVERIFY(!m_db.fieldExists(QStringLiteral("Things"), QStringLiteral("Nope")));
        QVERIFY(!m_db.fieldExists(QStringLiteral("Nope"), QStringLiteral("Id")));
        QVERIFY_THROWS_EXCEPTION(DbException,
                                 m_db.fieldInfo(QStringLiteral("Things"), QStringLiteral("Nope")));
        QVERIFY_THROWS_EXCEPTION(DbException, m_db.fields(QStringLiteral("Nope")));
        QVERIFY_THROWS_EXCEPTION(DbException, m_db.createTable(QStringLiteral("Things"), defs));

        // Declared forms convert both ways.
        for (const FieldDef& f : defs) {
            int size = -1;
            bool zl = false;
            const FieldKind k = fieldKindFromDeclared(declaredTypeFor(f), &size, &zl);
            QCOMPARE(int(k), int(f.kind));
            QCOMPARE(zl, f.allowZeroLength);
        }
    }

    void indexesAreReported() {
        m_db.createTable(QStringLiteral("Things"), thingFields());
        m_db.createIndex(QStringLiteral("Things"), QStringLiteral("Name"));
        m_db.createIndex(QStringLiteral("Things"), QStringLiteral("Id"), true); // already the key
        m_db.createTable(QStringLiteral("Other"),
                         {FieldDef(QStringLiteral("Name"), FieldKind::Text, 20)});
        m_db.createIndex(QStringLiteral("Other"), QStringLiteral("Name")); // same name, other table
        QVERIFY_THROWS_EXCEPTION(
            DbException, m_db.createIndex(QStringLiteral("Things"), QStringLiteral("Name")));

        const QList<IndexDef> ix = m_db.indexes(QStringLiteral("Things"));
        QCOMPARE(ix.size(), 2);
        QCOMPARE(ix.at(0).name, QStringLiteral("PrimaryKey"));
        QCOMPARE(ix.at(0).field, QStringLiteral("Id"));
        QVERIFY(ix.at(0).primary && ix.at(0).unique);
        QCOMPARE(ix.at(1).name, QStringLiteral("Name_index"));
        QCOMPARE(ix.at(1).field, QStringLiteral("Name"));
        QVERIFY(!ix.at(1).primary && !ix.at(1).unique);

        // A primary index on a table without AutoNumber is a unique index named "PrimaryKey".
        m_db.createIndex(QStringLiteral("Other"), QStringLiteral("Name"), true);
        const QList<IndexDef> other = m_db.indexes(QStringLiteral("Other"));
        QCOMPARE(other.size(), 2);
        QVERIFY(other.at(1).primary && other.at(1).unique);
        m_db.deleteIndex(QStringLiteral("Other"), QStringLiteral("PrimaryKey"));
        m_db.deleteIndex(QStringLiteral("Things"), QStringLiteral("Name_index"));
        QCOMPARE(m_db.indexes(QStringLiteral("Things")).size(), 1);
        QCOMPARE(m_db.indexes(QStringLiteral("Other")).size(), 1);
        QVERIFY_THROWS_EXCEPTION(
            DbException, m_db.deleteIndex(QStringLiteral("Things"), QStringLiteral("Name_index")));
    }

    void valuesKeepTheirKind() {
        m_db.createTable(QStringLiteral("Things"), thingFields());
        const QByteArray bytes("a\0b\xff", 4);
        m_db.execute(
            QStringLiteral("INSERT INTO Things (Count, Small, Ratio, Precise, Amount, [When], "
                           "Flag, Name, Notes, Blob) VALUES (?,?,?,?,?,?,?,?,?,?)"),
            {-5, 300, 1.5f, 2.25, QVariant::fromValue(Currency::fromUnits(-123456)),
             QVariant::fromValue(DbDateTime(36526.75)), true, QStringLiteral("Zoë"), QString(),
             bytes});
        m_db.execute(
            QStringLiteral("INSERT INTO Things (Amount, [When]) VALUES (?, ?)"),
            {QVariant::fromValue(Currency::null()), QVariant::fromValue(DbDateTime::null())});
        Recordset rs(m_db);
        rs.openFilter(QStringLiteral("Things"), QStringLiteral("ORDER BY Id"));
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.value(QStringLiteral("count")).metaType().id(), int(QMetaType::Int));
        QCOMPARE(rs.value(QStringLiteral("Count")).toInt(), -5);
        QCOMPARE(rs.value(QStringLiteral("Small")).toInt(), 300);
        QCOMPARE(rs.value(QStringLiteral("Ratio")).metaType().id(), int(QMetaType::Float));
        QCOMPARE(rs.value(QStringLiteral("Ratio")).toFloat(), 1.5f);
        QCOMPARE(rs.value(QStringLiteral("Precise")).metaType().id(), int(QMetaType::Double));
        QCOMPARE(rs.value(QStringLiteral("Amount")).value<Currency>().units(), Q_INT64_C(-123456));
        QCOMPARE(rs.value(QStringLiteral("When")).value<DbDateTime>().days(), 36526.75);
        QCOMPARE(rs.value(QStringLiteral("Flag")).metaType().id(), int(QMetaType::Bool));
        QCOMPARE(rs.value(QStringLiteral("Flag")).toBool(), true);
        QCOMPARE(rs.value(QStringLiteral("Name")).toString(), QStringLiteral("Zoë"));
        QCOMPARE(rs.value(QStringLiteral("Notes")).metaType().id(), int(QMetaType::QString));
        QCOMPARE(rs.value(QStringLiteral("Blob")).toByteArray(), bytes);
        rs.moveNext();
        QVERIFY(!rs.value(QStringLiteral("Amount")).isValid());
        QVERIFY(!rs.value(QStringLiteral("When")).isValid());
        QCOMPARE(rs.value(QStringLiteral("Count")).toInt(), 0); // default

        // Values without a declared type come back in the engine's own kind.
        const QVariant sum = m_db.scalar(QStringLiteral("SELECT sum(Amount) FROM Things"));
        QCOMPARE(sum.metaType().id(), int(QMetaType::LongLong));
        QCOMPARE(sum.toLongLong(), Q_INT64_C(-123456));
        QVERIFY(!m_db.scalar(QStringLiteral("SELECT Id FROM Things WHERE Id = 99")).isValid());
    }

    void schemaChangesKeepData() {
        m_db.createTable(QStringLiteral("T"),
                         {FieldDef(QStringLiteral("Id"), FieldKind::AutoNumber),
                          FieldDef(QStringLiteral("Num"), FieldKind::Long),
                          FieldDef(QStringLiteral("Word"), FieldKind::Text, 40),
                          FieldDef(QStringLiteral("Rate"), FieldKind::Single),
                          FieldDef(QStringLiteral("Cash"), FieldKind::Currency)});
        m_db.createIndex(QStringLiteral("T"), QStringLiteral("Word"));
        m_db.createIndex(QStringLiteral("T"), QStringLiteral("Num"));
        for (int i = 1; i <= 3; ++i)
            m_db.execute(
                QStringLiteral("INSERT INTO T (Num, Word, Rate, Cash) VALUES (?, ?, ?, ?)"),
                {i * 10, QStringLiteral("w%1").arg(i), 0.5f * i,
                 QVariant::fromValue(Currency::fromUnits(12345 * i))});

        m_db.addField(
            QStringLiteral("T"),
            FieldDef(QStringLiteral("Active"), FieldKind::Integer).req().def(QStringLiteral("1")));
        m_db.addField(QStringLiteral("T"), FieldDef(QStringLiteral("Must"), FieldKind::Long).req());
        QVERIFY_THROWS_EXCEPTION(
            DbException,
            m_db.addField(QStringLiteral("T"), FieldDef(QStringLiteral("word"), FieldKind::Long)));
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT sum(Active) FROM T")).toInt(), 3);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM T WHERE Must = 0")).toInt(), 3);
        QVERIFY(m_db.fieldInfo(QStringLiteral("T"), QStringLiteral("Must")).required);
        m_db.deleteField(QStringLiteral("T"), QStringLiteral("Must"));

        m_db.convertField(QStringLiteral("T"),
                          FieldDef(QStringLiteral("Num"), FieldKind::Text, 10));
        m_db.convertField(QStringLiteral("T"),
                          FieldDef(QStringLiteral("Word"), FieldKind::Text, 255));
        m_db.convertField(QStringLiteral("T"), FieldDef(QStringLiteral("Rate"), FieldKind::Double));
        m_db.convertField(QStringLiteral("T"), FieldDef(QStringLiteral("Cash"), FieldKind::Double));
        QCOMPARE(int(m_db.fieldInfo(QStringLiteral("T"), QStringLiteral("Num")).kind),
                 int(FieldKind::Text));
        QCOMPARE(m_db.fieldInfo(QStringLiteral("T"), QStringLiteral("Word")).size, 255);
        QCOMPARE(column(m_db, QStringLiteral("SELECT Num FROM T ORDER BY Id")),
                 (QStringList{QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("30")}));
        QCOMPARE(column(m_db, QStringLiteral("SELECT Word FROM T ORDER BY Id")),
                 (QStringList{QStringLiteral("w1"), QStringLiteral("w2"), QStringLiteral("w3")}));
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT Rate FROM T WHERE Id = 3")).toDouble(), 1.5);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT Cash FROM T WHERE Id = 2")).toDouble(), 2.469);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT Active FROM T WHERE Id = 2")).toInt(), 1);
        // Indexes survive the rebuilds.
        QStringList names;
        for (const IndexDef& ix : m_db.indexes(QStringLiteral("T")))
            names << ix.name;
        QCOMPARE(names, (QStringList{QStringLiteral("PrimaryKey"), QStringLiteral("Word_index"),
                                     QStringLiteral("Num_index")}));

        // Dropping an indexed field drops its index.
        m_db.deleteField(QStringLiteral("T"), QStringLiteral("Word"));
        QVERIFY(!m_db.fieldExists(QStringLiteral("T"), QStringLiteral("Word")));
        QCOMPARE(m_db.indexes(QStringLiteral("T")).size(), 2);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM T")).toInt(), 3);
    }

    void autoNumberKeyAndSequence() {
        m_db.createTable(QStringLiteral("Log"),
                         {FieldDef(QStringLiteral("Text"), FieldKind::Text, 20)});
        for (const char* t : {"c", "a", "b"})
            m_db.execute(QStringLiteral("INSERT INTO Log (Text) VALUES (?)"),
                         {QString::fromLatin1(t)});
        m_db.addAutoNumberKey(QStringLiteral("Log"));
        QCOMPARE(column(m_db, QStringLiteral("SELECT Id || Text FROM Log ORDER BY Id")),
                 (QStringList{QStringLiteral("1c"), QStringLiteral("2a"), QStringLiteral("3b")}));
        QCOMPARE(m_db.indexes(QStringLiteral("Log")).value(0).name, QStringLiteral("PrimaryKey"));
        QVERIFY_THROWS_EXCEPTION(
            DbException, m_db.addAutoNumberKey(QStringLiteral("Log"), QStringLiteral("Other")));

        // A deleted last number is not given again, also not after a rebuild.
        m_db.execute(QStringLiteral("DELETE FROM Log WHERE Id = 3"));
        m_db.execute(QStringLiteral("INSERT INTO Log (Text) VALUES ('d')"));
        QCOMPARE(m_db.lastInsertId(), Q_INT64_C(4));
        m_db.execute(QStringLiteral("DELETE FROM Log WHERE Id = 4"));
        m_db.convertField(QStringLiteral("Log"),
                          FieldDef(QStringLiteral("Text"), FieldKind::Text, 50));
        m_db.addField(QStringLiteral("Log"),
                      FieldDef(QStringLiteral("Req"), FieldKind::Long).req());
        m_db.execute(QStringLiteral("INSERT INTO Log (Text, Req) VALUES ('e', 0)"));
        QCOMPARE(m_db.lastInsertId(), Q_INT64_C(5));
    }

    void nestedTransactions() {
        m_db.createTable(QStringLiteral("T"),
                         {FieldDef(QStringLiteral("Id"), FieldKind::AutoNumber),
                          FieldDef(QStringLiteral("V"), FieldKind::Long)});
        auto count = [&] { return m_db.scalar(QStringLiteral("SELECT count(*) FROM T")).toInt(); };
        m_db.beginTrans();
        m_db.execute(QStringLiteral("INSERT INTO T (V) VALUES (1)"));
        m_db.beginTrans();
        m_db.execute(QStringLiteral("INSERT INTO T (V) VALUES (2)"));
        QCOMPARE(m_db.transactionDepth(), 2);
        m_db.rollback(); // inner only
        QCOMPARE(count(), 1);
        m_db.beginTrans();
        m_db.execute(QStringLiteral("INSERT INTO T (V) VALUES (3)"));
        m_db.commitTrans();
        m_db.rollback(); // outer: everything
        QCOMPARE(m_db.transactionDepth(), 0);
        QCOMPARE(count(), 0);

        m_db.beginTrans();
        m_db.execute(QStringLiteral("INSERT INTO T (V) VALUES (4)"));
        m_db.beginTrans();
        m_db.execute(QStringLiteral("INSERT INTO T (V) VALUES (5)"));
        m_db.commitTrans();
        m_db.commitTrans();
        QCOMPARE(count(), 2);
        QVERIFY_THROWS_EXCEPTION(DbException, m_db.commitTrans());
        QVERIFY_THROWS_EXCEPTION(DbException, m_db.rollback());

        // A schema rebuild inside a transaction that is rolled back leaves nothing behind.
        m_db.beginTrans();
        m_db.convertField(QStringLiteral("T"), FieldDef(QStringLiteral("V"), FieldKind::Text, 10));
        m_db.rollback();
        QCOMPARE(int(m_db.fieldInfo(QStringLiteral("T"), QStringLiteral("V")).kind),
                 int(FieldKind::Long));
        QCOMPARE(count(), 2);
    }

    void transactionGuard() {
        m_db.createTable(QStringLiteral("T"), {FieldDef(QStringLiteral("V"), FieldKind::Long)});
        auto values = [&] { return column(m_db, QStringLiteral("SELECT V FROM T ORDER BY V")); };
        auto add = [&](int v) {
            m_db.execute(QStringLiteral("INSERT INTO T (V) VALUES (?)"), {v});
        };
        {
            Transaction t(m_db);
            add(1);
            t.commit();
            QVERIFY(!t.isActive());
        }
        QVERIFY_THROWS_EXCEPTION(DbException, [&] {
            Transaction t(m_db);
            add(2);
            m_db.execute(QStringLiteral("INSERT INTO Missing (V) VALUES (1)"));
            t.commit();
        }());
        const auto earlyReturn = [&](bool stop) {
            Transaction t(m_db);
            add(3);
            if (stop)
                return;
            t.commit();
        };
        earlyReturn(true);
        QCOMPARE(values(), QStringList{QStringLiteral("1")});
        QCOMPARE(m_db.transactionDepth(), 0);

        // An inner guard undoes only its own level; the outer one still commits.
        {
            Transaction outer(m_db);
            add(4);
            {
                Transaction inner(m_db);
                add(5);
                QCOMPARE(m_db.transactionDepth(), 2);
            }
            {
                Transaction inner(m_db);
                add(6);
                inner.commit();
            }
            outer.commit();
        }
        QCOMPARE(values(),
                 (QStringList{QStringLiteral("1"), QStringLiteral("4"), QStringLiteral("6")}));
        // Closing the connection ends the transaction; the guard leaves quietly afterwards.
        {
            Transaction t(m_db);
            add(7);
            m_db.close();
        }
        m_db.open(m_dir.filePath(QStringLiteral("db%1.mdb").arg(m_n)));
        QCOMPARE(values().size(), 3);
    }

    void hostileTextIsData() {
        m_db.createTable(QStringLiteral("Things"), thingFields());
        const QString evil = QStringLiteral("O'Brien \"x\" [y]; '); DROP TABLE Things; --");
        CThingRecord rec(m_db);
        rec.open();
        rec.addNew();
        rec.Name = evil;
        rec.Notes = evil;
        rec.update();
        QVERIFY(rec.lookup(QStringLiteral("[Name] = ?"), {evil}));
        QCOMPARE(rec.Notes, evil);
        QVERIFY(!rec.lookup(QStringLiteral("[Name] = ?"), {QStringLiteral("O'Brien")}));
        QVERIFY(m_db.tableExists(QStringLiteral("Things")));
        QCOMPARE(m_db.execute(QStringLiteral("UPDATE Things SET Notes = ? WHERE Name = ?"),
                              {QStringLiteral("ok"), evil}),
                 1);
        // Two statements in one text are refused, not half-run.
        QVERIFY_THROWS_EXCEPTION(
            DbException, m_db.execute(QStringLiteral("DELETE FROM Things; DROP TABLE Things")));
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM Things")).toInt(), 1);
        // A look-up the engine cannot make throws (it is not "not found") and leaves the
        // record closed.
        QVERIFY_THROWS_EXCEPTION(DbException,
                                 rec.lookup(QStringLiteral("[NoSuchField] = ?"), {1}));
        QVERIFY(!rec.isOpen());
    }

    void recordsetEditing() {
        m_db.createTable(QStringLiteral("Things"), thingFields());
        CThingRecord rec(m_db);
        rec.open();
        QVERIFY(rec.isEOF());
        rec.addNew();
        QCOMPARE(rec.Small, qint16(1)); // defaults of the table
        QVERIFY(rec.Amount.isValid() && rec.Amount.units() == 0);
        QVERIFY(rec.When.isNull());
        QCOMPARE(rec.NotInTable, 0);
        rec.Count = 42;
        rec.Amount = Currency::fromUnits(15000);
        rec.When = DbDateTime(40000.5);
        rec.Flag = true;
        rec.Name = QStringLiteral("first");
        rec.Ratio = 0.25f;
        rec.update();
        QCOMPARE(rec.lastAddedKey(), Q_INT64_C(1));
        QCOMPARE(rec.Id, 1);
        QVERIFY(!rec.isEditing());

        for (int i = 2; i <= 4; ++i) {
            rec.addNew();
            rec.Count = i;
            rec.Name = QStringLiteral("row%1").arg(i);
            rec.update();
            QCOMPARE(rec.Id, i);
        }
        QCOMPARE(rec.recordCount(), 4);

        QVERIFY(rec.findById(1));
        QCOMPARE(rec.Count, 42);
        QCOMPARE(rec.Amount.units(), Q_INT64_C(15000));
        QCOMPARE(rec.When.days(), 40000.5);
        QVERIFY(rec.Flag);
        QCOMPARE(rec.Ratio, 0.25f);
        QCOMPARE(rec.Notes, QString()); // zero-length default

        rec.edit();
        rec.Name = QStringLiteral("changed");
        rec.update();
        rec.edit();
        rec.Name = QStringLiteral("dropped");
        rec.cancelUpdate();
        QCOMPARE(rec.Name, QStringLiteral("changed"));
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT Name FROM Things WHERE Id = 1")).toString(),
                 QStringLiteral("changed"));

        // setValue brings plain numbers to the field's kind.
        rec.edit();
        rec.setValue(QStringLiteral("amount"), 2.5);
        QCOMPARE(rec.value(QStringLiteral("Amount")).value<Currency>().units(), Q_INT64_C(25000));
        rec.cancelUpdate();

        rec.openWhere(QStringLiteral("[Id] > ? ORDER BY Id DESC"), {1});
        QCOMPARE(rec.recordCount(), 3);
        QCOMPARE(rec.Id, 4);
        rec.moveLast();
        QCOMPARE(rec.Id, 2);
        rec.moveFirst();
        rec.moveNext();
        QCOMPARE(rec.Id, 3);
        rec.deleteCurrent();
        QCOMPARE(rec.Id, 2); // the next row became current
        QCOMPARE(rec.recordCount(), 2);
        rec.moveNext();
        QVERIFY(rec.isEOF());
        QVERIFY_THROWS_EXCEPTION(DbException, rec.moveNext());
        QVERIFY_THROWS_EXCEPTION(DbException, rec.edit());

        m_db.execute(QStringLiteral("INSERT INTO Things (Count, Name) VALUES (9, 'late')"));
        rec.requery();
        QCOMPARE(rec.recordCount(), 3);
        QCOMPARE(rec.Id, 5);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM Things")).toInt(), 4);
        QVERIFY_THROWS_EXCEPTION(DbException,
                                 rec.setValue(QStringLiteral("Name"), QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(DbException, rec.value(QStringLiteral("NoSuchField")));
    }

    void tableWithoutKey() {
        m_db.createTable(QStringLiteral("Info"),
                         {FieldDef(QStringLiteral("Version"), FieldKind::Long),
                          FieldDef(QStringLiteral("Company Name"), FieldKind::Text)
                              .zeroLength()
                              .def(QString())});
        Recordset rs(m_db);
        rs.openTable(QStringLiteral("Info"));
        QCOMPARE(rs.fieldNames(),
                 (QStringList{QStringLiteral("Version"), QStringLiteral("Company Name")}));
        rs.addNew();
        rs.setValue(QStringLiteral("Version"), 3);
        rs.update();
        rs.addNew();
        rs.setValue(QStringLiteral("Version"), 4);
        rs.update();
        rs.moveFirst();
        rs.edit();
        rs.setValue(QStringLiteral("company name"), QStringLiteral("ACME"));
        rs.update();
        QCOMPARE(column(m_db, QStringLiteral(
                                  "SELECT Version || [Company Name] FROM Info ORDER BY rowid")),
                 (QStringList{QStringLiteral("3ACME"), QStringLiteral("4")}));
        rs.deleteCurrent();
        QCOMPARE(rs.value(QStringLiteral("Version")).toInt(), 4);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM Info")).toInt(), 1);
    }

    void jetQueriesOverJoins() {
        m_db.createTable(QStringLiteral("Users"),
                         {FieldDef(QStringLiteral("Id"), FieldKind::AutoNumber),
                          FieldDef(QStringLiteral("Username"), FieldKind::Text, 40),
                          FieldDef(QStringLiteral("Got"), FieldKind::YesNo)});
        m_db.createTable(QStringLiteral("Joins"),
                         {FieldDef(QStringLiteral("Id"), FieldKind::AutoNumber),
                          FieldDef(QStringLiteral("GroupId"), FieldKind::Long),
                          FieldDef(QStringLiteral("UserLinkId"), FieldKind::Long)});
        for (const char* u : {"ann", "bob", "cy"})
            m_db.execute(QStringLiteral("INSERT INTO Users (Username, Got) VALUES (?, 0)"),
                         {QString::fromLatin1(u)});
        // ann is linked twice to group 9, bob once, cy to another group.
        for (auto [g, u] : {std::pair{9, 1}, {9, 1}, {9, 2}, {8, 3}})
            m_db.execute(QStringLiteral("INSERT INTO Joins (GroupId, UserLinkId) VALUES (?, ?)"),
                         {g, u});

        Recordset rs(m_db);
        rs.openSql(
            QStringLiteral("SELECT DISTINCTROW Users.* FROM Users INNER JOIN Joins ON Users.Id = "
                           "Joins.UserLinkId WHERE (((Joins.GroupId)=?)) ORDER BY Users.Username"),
            {9}, QStringLiteral("Users"));
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.value(QStringLiteral("Username")).toString(), QStringLiteral("ann"));
        rs.edit(); // editable through the named table
        rs.setValue(QStringLiteral("Username"), QStringLiteral("anne"));
        rs.update();
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT Username FROM Users WHERE Id = 1")).toString(),
                 QStringLiteral("anne"));

        QCOMPARE(m_db.execute(QStringLiteral(
                                  "UPDATE DISTINCTROW Joins INNER JOIN Users ON Joins.UserLinkId = "
                                  "Users.Id SET Users.Got = 1 WHERE (((Joins.GroupId)=?))"),
                              {9}),
                 2);
        QCOMPARE(column(m_db, QStringLiteral("SELECT Got + 0 FROM Users ORDER BY Id")),
                 (QStringList{QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("0")}));
        m_db.execute(QStringLiteral("UPDATE DISTINCTROW Users SET Users.Got = [Users].[Id] - 1"));
        QCOMPARE(column(m_db, QStringLiteral("SELECT Got + 0 FROM Users ORDER BY Id")),
                 (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(
            m_db.execute(QStringLiteral("DELETE DISTINCTROW Joins.* FROM Joins INNER JOIN Users ON "
                                        "Joins.UserLinkId = Users.Id WHERE Users.Username = ?"),
                         {QStringLiteral("anne")}),
            2);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM Joins")).toInt(), 2);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM Users")).toInt(), 3);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM Users WHERE Id NOT IN "
                                            "(SELECT DISTINCTROW UserLinkId FROM Joins)"))
                     .toInt(),
                 1);
    }

    void distinctRowKeepsDistinctUnderlyingRows() {
        m_db.createTable(QStringLiteral("Users"),
                         {FieldDef(QStringLiteral("Id"), FieldKind::AutoNumber),
                          FieldDef(QStringLiteral("Username"), FieldKind::Text, 40)});
        m_db.createTable(QStringLiteral("Invoices"),
                         {FieldDef(QStringLiteral("InvoiceNum"), FieldKind::AutoNumber),
                          FieldDef(QStringLiteral("IdUser"), FieldKind::Long),
                          FieldDef(QStringLiteral("TotalDue"), FieldKind::Currency)});
        m_db.execute(QStringLiteral("INSERT INTO Users (Username) VALUES ('ann'), ('bob')"));
        // Two invoices of ann with the same amount: two rows in every reading of them.
        m_db.execute(QStringLiteral(
            "INSERT INTO Invoices (IdUser, TotalDue) VALUES (1, 50000), (1, 50000), (2, 70000)"));
        const QString join = QStringLiteral(
            " FROM Invoices INNER JOIN Users ON Invoices.IdUser = Users.Id WHERE Users.Id = 1");
        QCOMPARE(column(m_db, QStringLiteral("SELECT DISTINCTROW Users.Username, "
                                             "Invoices.TotalDue") +
                                  join),
                 (QStringList{QStringLiteral("ann"), QStringLiteral("ann")}));
        QCOMPARE(column(m_db, QStringLiteral("SELECT DISTINCTROW Invoices.TotalDue") + join).size(),
                 2);
        QCOMPARE(m_db.scalar(QStringLiteral("SELECT count(*) FROM (SELECT DISTINCTROW "
                                            "[Invoices].[IdUser], Invoices.TotalDue AS Due") +
                             join + QStringLiteral(")"))
                     .toInt(),
                 2);
        // Fields of one side only: each of its rows once, however many rows it joins.
        QCOMPARE(column(m_db, QStringLiteral("SELECT DISTINCTROW Users.Username FROM Users "
                                             "INNER JOIN Invoices I ON I.IdUser = Users.Id "
                                             "ORDER BY Users.Username")),
                 (QStringList{QStringLiteral("ann"), QStringLiteral("bob")}));
    }

    void translateSql_data() {
        QTest::addColumn<QString>("jet");
        QTest::addColumn<QString>("sqlite");
        QTest::newRow("select") << "SELECT DISTINCTROW Users.* FROM Users"
                                << "SELECT Users.* FROM Users";
        QTest::newRow("select one side of a join")
            << "SELECT DISTINCTROW U.* FROM U INNER JOIN J ON U.Id = J.UId WHERE J.G = ? "
               "ORDER BY U.Name"
            << "SELECT U.* FROM U INNER JOIN J ON U.Id = J.UId WHERE J.G = ? GROUP BY U.rowid "
               "ORDER BY U.Name";
        QTest::newRow("inside literal") << "SELECT 'SELECT DISTINCTROW' FROM T"
                                        << "SELECT 'SELECT DISTINCTROW' FROM T";
        QTest::newRow("subquery") << "DELETE FROM I WHERE N NOT IN (SELECT DISTINCTROW N FROM I)"
                                  << "DELETE FROM I WHERE N NOT IN (SELECT N FROM I)";
        QTest::newRow("update left join")
            << "UPDATE A LEFT JOIN B ON A.k = B.k SET A.v = B.v WHERE B.v > 0"
            << "UPDATE A SET v = B.v FROM B WHERE (A.k = B.k) AND (B.v > 0)";
        QTest::newRow("update one table") << "UPDATE DISTINCTROW Users SET Users.Prepay = 1"
                                          << "UPDATE Users SET Prepay = 1";
        QTest::newRow("date literal") << "SELECT * FROM T WHERE D = #1/5/99 3:04:05 PM#"
                                      << "SELECT * FROM T WHERE D = 36165.627835648149";
        QTest::newRow("date in text") << "SELECT '#1/5/99#'"
                                      << "SELECT '#1/5/99#'";
        QTest::newRow("four-digit year") << "SELECT #12/31/2035#"
                                         << "SELECT 49674";
    }
    void translateSql() {
        QFETCH(QString, jet);
        QFETCH(QString, sqlite);
        QCOMPARE(Database::translateSql(jet), sqlite);
    }

    void openFailures() {
        m_db.close();
        const QString missing = m_dir.filePath(QStringLiteral("missing.mdb"));
        QVERIFY_THROWS_EXCEPTION(DbException, m_db.open(missing));
        QVERIFY(!QFile::exists(missing));

        const QString text = m_dir.filePath(QStringLiteral("notes.mdb"));
        QByteArray content(4096, 'x');
        {
            QFile f(text);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        try {
            m_db.open(text, Database::OpenMode::Exclusive, true);
            QFAIL("a file that is not a database was opened");
        } catch (const DbException& e) {
            QVERIFY2(e.message().contains(QStringLiteral("not a")), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(DbException, Database::repair(text));
        QVERIFY_THROWS_EXCEPTION(DbException,
                                 Database::compact(text, m_dir.filePath(QStringLiteral("c.mdb"))));
        QFile f(text);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), content);
        QVERIFY(!m_db.isOpen());
    }

    void exclusiveOpenLocksOthersOut() {
        const QString path = m_db.path();
        m_db.createTable(QStringLiteral("T"), {FieldDef(QStringLiteral("V"), FieldKind::Long)});
        m_db.execute(QStringLiteral("INSERT INTO T (V) VALUES (7)"));

        for (auto mode : {Database::OpenMode::Exclusive, Database::OpenMode::Shared}) {
            Database second;
            try {
                second.open(path, mode);
                QFAIL("a second connection opened a file held exclusively");
            } catch (const DbException& e) {
                QVERIFY2(e.message().contains(QStringLiteral("in use by another program")),
                         qPrintable(e.message()));
            }
        }
        // Another process is refused the same way.
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open-db"), path});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 2);
        QVERIFY2(child.readAllStandardOutput().contains("in use"), "no in-use message");

        m_db.close();
        Database again;
        again.open(path, Database::OpenMode::Shared);
        QCOMPARE(again.scalar(QStringLiteral("SELECT V FROM T")).toInt(), 7);
        again.close();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--open-db"), path});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        m_db.open(path);
    }

    void compactAndRepairKeepData() {
        const QString path = m_db.path();
        m_db.createTable(QStringLiteral("Things"), thingFields());
        m_db.createIndex(QStringLiteral("Things"), QStringLiteral("Name"));
        m_db.beginTrans();
        for (int i = 0; i < 500; ++i)
            m_db.execute(
                QStringLiteral("INSERT INTO Things (Count, Name, Amount) VALUES (?, ?, ?)"),
                {i, QStringLiteral("name %1").arg(i), QVariant::fromValue(Currency::fromUnits(i))});
        m_db.commitTrans();
        m_db.execute(QStringLiteral("DELETE FROM Things WHERE Id > 400"));
        m_db.close();

        const QString copy = m_dir.filePath(QStringLiteral("compacted.mdb"));
        Database::compact(path, copy);
        QVERIFY_THROWS_EXCEPTION(DbException, Database::compact(path, copy));
        QVERIFY(QFileInfo(copy).size() < QFileInfo(path).size());
        Database::repair(copy);
        for (const QString& p : {path, copy}) {
            Database db;
            db.open(p, Database::OpenMode::Shared);
            QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM Things")).toInt(), 400);
            QCOMPARE(db.scalar(QStringLiteral("SELECT sum(Amount) FROM Things")).toLongLong(),
                     Q_INT64_C(79800));
            QCOMPARE(db.indexes(QStringLiteral("Things")).size(), 2);
            db.execute(QStringLiteral("INSERT INTO Things (Name) VALUES ('next')"));
            QCOMPARE(db.lastInsertId(), Q_INT64_C(501));
        }
        m_db.open(path);
    }

    void repairSalvagesReadableRows() {
        const QString path = m_db.path();
        m_db.createTable(QStringLiteral("Keep"),
                         {FieldDef(QStringLiteral("Id"), FieldKind::AutoNumber),
                          FieldDef(QStringLiteral("V"), FieldKind::Long)});
        m_db.createTable(QStringLiteral("Big"),
                         {FieldDef(QStringLiteral("Id"), FieldKind::AutoNumber),
                          FieldDef(QStringLiteral("Pad"), FieldKind::Memo)});
        m_db.createIndex(QStringLiteral("Big"), QStringLiteral("Pad"));
        m_db.execute(QStringLiteral("INSERT INTO Keep (V) VALUES (11)"));
        m_db.beginTrans();
        for (int i = 0; i < 200; ++i)
            m_db.execute(QStringLiteral("INSERT INTO Big (Pad) VALUES (?)"),
                         {QString(300, QLatin1Char('a' + i % 26))});
        m_db.commitTrans();
        const int pageSize = m_db.scalar(QStringLiteral("PRAGMA page_size")).toInt();
        const int pages = m_db.scalar(QStringLiteral("PRAGMA page_count")).toInt();
        m_db.close();
        // Damage the last pages (the index of Big) with garbage.
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.seek(qint64(pageSize) * (pages - 3));
            f.write(QByteArray(pageSize * 3, '\x5a'));
        }
        QString original;
        (void)Database::repair(path, &original);
        QVERIFY2(QFile::exists(original), qPrintable(original)); // the damaged file is kept
        Database db;
        db.open(path);
        QCOMPARE(db.scalar(QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(db.scalar(QStringLiteral("SELECT V FROM Keep")).toInt(), 11);
        QVERIFY(db.scalar(QStringLiteral("SELECT count(*) FROM Big")).toInt() > 0);
        db.close();
        QVERIFY(!QFile::exists(path + QStringLiteral(".repair")));
        m_db.open(path);
    }
};

int main(int argc, char** argv) {
    // Child mode for the lock test: try to open the file and report.
    if (argc == 3 && qstrcmp(argv[1], "--open-db") == 0) {
        QCoreApplication app(argc, argv);
        Database db;
        try {
            db.open(QString::fromLocal8Bit(argv[2]));
            return 0;
        } catch (const DbException& e) {
            printf("%s\n", qPrintable(e.message()));
            return 2;
        }
    }
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    TestEngine t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_engine.moc"
