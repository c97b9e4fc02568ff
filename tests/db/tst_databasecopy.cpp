// The copy of a whole database into an empty one, on real database files: every kind of
// value, the layout and the AutoNumber sequence arrive as they were; an interrupted copy
// leaves the target without tables. (The command's tests cover refusal and a full disk.)
#include "common/testdatabase.h"
#include "common/testfolders.h"
#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/databasecopy.h"
#include "core/db/dbdatetime.h"
#include "core/db/dbexception.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestDatabaseCopy : public QObject {
    Q_OBJECT

    std::unique_ptr<CTestFolders> m_folders;
    Database m_source;
    Database m_target;

    // Fields, indexes and rows of every table as one list.
    static QVariantList contents(Database& db) {
        QVariantList all;
        for (const QString& table : db.tableNames()) {
            all << table;
            for (const FieldDef& f : db.fields(table))
                all << QVariantList{f.name,     int(f.kind),       f.size,
                                    f.required, f.allowZeroLength, f.defaultValue};
            for (const IndexDef& ix : db.indexes(table))
                all << ix.name + ix.field;
            Statement rows = db.prepare(u"SELECT * FROM [%1] ORDER BY 1"_s.arg(table));
            while (rows.next())
                for (int c = 0; c < rows.columnCount(); ++c)
                    all << rows.value(c);
        }
        return all;
    }

private slots:
    void init() {
        m_folders = std::make_unique<CTestFolders>();
        m_source.open(m_folders->filePath(u"source.db"_s), Database::OpenMode::Exclusive, true);
        m_target.open(TestDatabaseName(m_folders->filePath(u"target.db"_s)),
                      Database::OpenMode::Exclusive, true);
        using K = FieldKind;
        m_source.createTable(u"Mixed"_s,
                             {FieldDef(u"Id"_s, K::AutoNumber),
                              FieldDef(u"L"_s, K::Long).req().def(u"0"_s),
                              FieldDef(u"I"_s, K::Integer), FieldDef(u"S"_s, K::Single),
                              FieldDef(u"D"_s, K::Double), FieldDef(u"C"_s, K::Currency),
                              FieldDef(u"T"_s, K::DateTime), FieldDef(u"Y"_s, K::YesNo),
                              FieldDef(u"Name"_s, K::Text, 20).zeroLength().def(u"x y"_s),
                              FieldDef(u"M"_s, K::Memo), FieldDef(u"B"_s, K::LongBinary)});
        m_source.createIndex(u"Mixed"_s, u"Name"_s);
        const QString insert = u"INSERT INTO Mixed (L, I, S, D, C, T, Y, Name, M, B) "
                               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s;
        m_source.execute(insert, {5000000000LL, -32768, 0.1f, 1e300,
                                  QVariant::fromValue(Currency::fromUnits(922337203685477LL)),
                                  QVariant::fromValue(DbDateTime(46357.7506944)), true, u""_s,
                                  u"Grüße\n\t\"quoted\""_s, QByteArray("\0\1\377", 3)});
        m_source.execute(u"INSERT INTO Mixed (L) VALUES (-7)"_s);
        m_source.execute(u"INSERT INTO Mixed (L) VALUES (3)"_s);
        m_source.execute(u"DELETE FROM Mixed WHERE L = 3"_s); // its number is not to come back
    }
    void cleanup() {
        m_source.close();
        m_target.close();
    }

    void copiesValuesLayoutAndNextNumber() {
        // A table numbered without gaps: the rows' own numbers still move the target on.
        m_source.createTable(u"Plain"_s, {FieldDef(u"Id"_s, FieldKind::AutoNumber),
                                          FieldDef(u"L"_s, FieldKind::Long)});
        m_source.execute(u"INSERT INTO Plain (L) VALUES (1), (2)"_s);
        QCOMPARE(CopyDatabase(m_source, m_target).value(0).rows, 2);
        QCOMPARE(contents(m_target), contents(m_source));
        QCOMPARE(m_target.nextAutoNumber(u"Mixed"_s), 4);
        m_target.execute(u"INSERT INTO Mixed (L) VALUES (9)"_s);
        QCOMPARE(m_target.lastInsertId(), 4);
        m_target.execute(u"INSERT INTO Plain (L) VALUES (3)"_s);
        QCOMPARE(m_target.lastInsertId(), 3);
    }

    void interruptionLeavesNoTables() {
        QVERIFY_THROWS_EXCEPTION(DbException,
                                 CopyDatabase(m_source, m_target, [](auto&) { return false; }));
        QVERIFY(m_target.tableNames().isEmpty());
        QVERIFY(m_target.transactionDepth() == 0);
    }
};

QTEST_GUILESS_MAIN(TestDatabaseCopy)
#include "tst_databasecopy.moc"
