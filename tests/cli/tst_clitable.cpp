// The list output of the command line: aligned columns, CSV as RFC 4180 has it, and JSON that
// a parser reads back with the same texts and numbers.
#include "cli/clitable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

class TestCliTable : public QObject {
    Q_OBJECT

    static CCliTable sample() {
        CCliTable t;
        t.addColumn(QStringLiteral("Customer"));
        t.addColumn(QStringLiteral("Due"), CCliTable::Kind::Number);
        t.addRow({QStringLiteral("Harbor \"HQ\", Ltd"), QStringLiteral("1250.50")});
        t.addRow({QStringLiteral("al\nice"), QString()});
        t.addRow({QStringLiteral("caf\u00e9"), QStringLiteral("007")});
        return t;
    }

private slots:
    void formats() {
        QCOMPARE(ParseCliTableFormat(QString()), CliTableFormat::Table);
        QCOMPARE(ParseCliTableFormat(QStringLiteral("csv")), CliTableFormat::Csv);
        QCOMPARE(ParseCliTableFormat(QStringLiteral("xml")), std::nullopt);
    }

    void table() {
        CCliTable t;
        t.addColumn(QStringLiteral("Logon"));
        t.addColumn(QStringLiteral("Due"), CCliTable::Kind::Number);
        t.addRow({QStringLiteral("ann"), QStringLiteral("5.00")});
        t.addRow({QStringLiteral("robert"), QStringLiteral("125.00")});
        QCOMPARE(t.render(CliTableFormat::Table), QStringLiteral("Logon      Due\n"
                                                                 "ann       5.00\n"
                                                                 "robert  125.00\n"));
    }

    void csv() {
        QCOMPARE(sample().render(CliTableFormat::Csv),
                 QStringLiteral("Customer,Due\r\n"
                                "\"Harbor \"\"HQ\"\", Ltd\",1250.50\r\n"
                                "\"al\nice\",\r\n"
                                "caf\u00e9,007\r\n"));
    }

    void jsonReadsBack() {
        const QByteArray text = sample().render(CliTableFormat::Json).toUtf8();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, text.constData());
        const QJsonArray rows = doc.array();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].toObject()[QStringLiteral("Customer")].toString(),
                 QStringLiteral("Harbor \"HQ\", Ltd"));
        QCOMPARE(rows[0].toObject()[QStringLiteral("Due")].toDouble(), 1250.5);
        QCOMPARE(rows[1].toObject()[QStringLiteral("Customer")].toString(),
                 QStringLiteral("al\nice"));
        QVERIFY(rows[1].toObject()[QStringLiteral("Due")].isNull());
        // Not a JSON number: kept as text rather than written as invalid JSON.
        QCOMPARE(rows[2].toObject()[QStringLiteral("Due")].toString(), QStringLiteral("007"));
        QCOMPARE(CCliTable().render(CliTableFormat::Json), QStringLiteral("[]\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliTable)
#include "tst_clitable.moc"
