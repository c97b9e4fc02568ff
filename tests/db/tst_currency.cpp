#include "core/db/currency.h"
#include "core/db/database.h"
#include "core/db/record.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestCurrency : public QObject {
    Q_OBJECT

private slots:
    void multiplyTruncatesTowardZero_data() {
        QTest::addColumn<qint64>("units");
        QTest::addColumn<double>("factor");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("exact") << qint64(10000) << 2.5 << qint64(25000);
        QTest::newRow("truncated") << qint64(10001) << 0.5 << qint64(5000);
        QTest::newRow("negative truncated") << qint64(-10001) << 0.5 << qint64(-5000);
        QTest::newRow("negative factor") << qint64(10001) << -0.5 << qint64(-5000);
        QTest::newRow("tax 7.75%") << qint64(123456) << 0.0775 << qint64(9567);
        QTest::newRow("zero factor") << qint64(99999) << 0.0 << qint64(0);
        QTest::newRow("zero amount") << qint64(0) << 3.3 << qint64(0);
        // 0.1 * 3 in binary floating point is just below 0.3; extended precision keeps 3000.
        QTest::newRow("binary fraction") << qint64(30000) << 0.1 << qint64(3000);
        QTest::newRow("hours") << qint64(15000) << 1.0 / 3600 * 7200 << qint64(30000);
    }
    void multiplyTruncatesTowardZero() {
        QFETCH(qint64, units);
        QFETCH(double, factor);
        QFETCH(qint64, expected);
        QCOMPARE((Currency::fromUnits(units) * factor).units(), expected);
    }

    void roundHalfAwayFromZero_data() {
        QTest::addColumn<qint64>("units");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("1.005 to 2") << qint64(10050) << 2 << qint64(10100);
        QTest::newRow("-1.005 to 2") << qint64(-10050) << 2 << qint64(-10100);
        QTest::newRow("1.0049 to 2") << qint64(10049) << 2 << qint64(10000);
        QTest::newRow("-1.0049 to 2") << qint64(-10049) << 2 << qint64(-10000);
        QTest::newRow("2.5 to 0") << qint64(25000) << 0 << qint64(30000);
        QTest::newRow("-2.5 to 0") << qint64(-25000) << 0 << qint64(-30000);
        QTest::newRow("-2.4999 to 0") << qint64(-24999) << 0 << qint64(-20000);
        QTest::newRow("4 decimals unchanged") << qint64(-12345) << 4 << qint64(-12345);
        QTest::newRow("1 decimal") << qint64(12500) << 1 << qint64(13000);
        QTest::newRow("large") << qint64(9000000000000005000) << 0 << qint64(9000000000000010000);
    }
    void roundHalfAwayFromZero() {
        QFETCH(qint64, units);
        QFETCH(int, decimals);
        QFETCH(qint64, expected);
        QCOMPARE(RoundCurrency(Currency::fromUnits(units), decimals).units(), expected);
    }

    void format_data() {
        QTest::addColumn<qint64>("units");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << qint64(12345) << 2 << u"1.23"_s;
        QTest::newRow("half up") << qint64(12350) << 2 << u"1.24"_s;
        QTest::newRow("negative half") << qint64(-10050) << 2 << u"-1.01"_s;
        QTest::newRow("no decimals") << qint64(25000) << 0 << u"3"_s;
        QTest::newRow("six decimals") << qint64(-5) << 6 << u"-0.000500"_s;
        QTest::newRow("small negative") << qint64(-1) << 2 << u"0.00"_s;
        QTest::newRow("zero") << qint64(0) << 2 << u"0.00"_s;
        QTest::newRow("big") << qint64(1234567890123456789) << 4 << u"123456789012345.6789"_s;
    }
    void format() {
        QFETCH(qint64, units);
        QFETCH(int, decimals);
        QFETCH(QString, expected);
        QCOMPARE(Currency::fromUnits(units).format(decimals), expected);
    }

    void fromDoubleRoundsToTenThousandths() {
        QCOMPARE(Currency::fromDouble(1.23455).units(), qint64(12346));
        QCOMPARE(Currency::fromDouble(-1.23455).units(), qint64(-12346));
        QCOMPARE(Currency::fromDouble(0.1 + 0.2).units(), qint64(3000));
        QVERIFY(!Currency::fromDouble(qInf()).isValid());
    }

    void nullAndInvalid() {
        const Currency n = Currency::null();
        QVERIFY(n.isNull());
        QCOMPARE(n.units(), qint64(0));
        QCOMPARE((n + Currency::fromUnits(5)).units(), qint64(5));
        QVERIFY((n + Currency::fromUnits(5)).isValid());
        QCOMPARE(n.format(2), u"0.00"_s);
        QVERIFY(!(Currency::invalid() + Currency::fromUnits(1)).isValid());
        QVERIFY(!(Currency::invalid() * 2.0).isValid());
        QCOMPARE(RoundCurrency(n, 2).units(), qint64(0));
    }

    void nullAmountReadFromRecordCountsAsZero() {
        QTemporaryDir dir;
        Database db;
        db.open(dir.filePath(u"c.mdb"_s), Database::OpenMode::Exclusive, true);
        db.createTable(u"Money"_s, {FieldDef(u"Id"_s, FieldKind::AutoNumber),
                                    FieldDef(u"Amount"_s, FieldKind::Currency)});
        db.execute(u"INSERT INTO Money (Amount) VALUES (NULL)"_s);
        struct MoneyRecord : CRecord {
            explicit MoneyRecord(Database& d) : CRecord(d, u"Money"_s) {}
            Currency Amount = Currency::fromUnits(99);
            void bindFields(FieldBinder& b) override { b("Amount", Amount); }
        } rec(db);
        QVERIFY(rec.findById(1));
        QVERIFY(rec.Amount.isNull());
        QCOMPARE((rec.Amount + Currency::fromUnits(10)).units(), qint64(10));
        // Storing a null amount keeps it null.
        rec.edit();
        rec.update();
        QVERIFY(!db.scalar(u"SELECT Amount FROM Money"_s).isValid());
    }
};

QTEST_GUILESS_MAIN(TestCurrency)
#include "tst_currency.moc"
