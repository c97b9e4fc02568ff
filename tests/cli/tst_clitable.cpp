// The list output of the command line: aligned columns, CSV as RFC 4180 has it, and JSON that
// a parser reads back with the same texts and numbers.
#include "cli/clitable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCliTable : public QObject {
    Q_OBJECT

    static CCliTable sample() {
        CCliTable t;
        t.addColumn(u"Customer"_s);
        t.addColumn(u"Due"_s, CCliTable::Kind::Number);
        t.addRow({u"Harbor \"HQ\", Ltd"_s, u"1250.50"_s});
        t.addRow({u"al\nice"_s, QString()});
        t.addRow({u"caf\u00e9"_s, u"007"_s});
        return t;
    }

private slots:
    void formats() {
        QCOMPARE(ParseCliTableFormat(QString()), CliTableFormat::Table);
        QCOMPARE(ParseCliTableFormat(u"csv"_s), CliTableFormat::Csv);
        QCOMPARE(ParseCliTableFormat(u"xml"_s), std::nullopt);
    }

    void table() {
        CCliTable t;
        t.addColumn(u"Logon"_s);
        t.addColumn(u"Due"_s, CCliTable::Kind::Number);
        t.addRow({u"ann"_s, u"5.00"_s});
        t.addRow({u"robert"_s, u"125.00"_s});
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
        QCOMPARE(rows[0].toObject()[u"Customer"_s].toString(), u"Harbor \"HQ\", Ltd"_s);
        QCOMPARE(rows[0].toObject()[u"Due"_s].toDouble(), 1250.5);
        QCOMPARE(rows[1].toObject()[u"Customer"_s].toString(), u"al\nice"_s);
        QVERIFY(rows[1].toObject()[u"Due"_s].isNull());
        // Not a JSON number: kept as text rather than written as invalid JSON.
        QCOMPARE(rows[2].toObject()[u"Due"_s].toString(), u"007"_s);
        QCOMPARE(CCliTable().render(CliTableFormat::Json), u"[]\n"_s);
    }
};

QTEST_GUILESS_MAIN(TestCliTable)
#include "tst_clitable.moc"
