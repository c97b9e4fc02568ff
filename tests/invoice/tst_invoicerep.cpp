// The invoice page and its plain-text twin: golden pages in two languages, the parts that
// appear or not, the column and markup rules, escaping of customer data, the HTML decision,
// the temporary page files.
#include "common/recordingui.h"
#include "common/testfolders.h"
#include "core/app/cp1252.h"
#include "core/billing/chargetypes.h"
#include "core/db/datetimeutil.h"
#include "core/invoice/invoicerep.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

qint64 at(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    return LocalToSeconds(QDate(y, m, d), QTime(h, mi, s));
}

Currency money(double v) {
    return Currency::fromDouble(v);
}

ChargeRow charge(qint32 id, qint32 type, const QString& name, double price, qint32 quantity,
                 double amount, qint32 idUser, qint32 applyTo = 0,
                 const QString& unitName = QString()) {
    ChargeRow c;
    c.Id = id;
    c.Type = type;
    c.Name = name;
    c.ChargeAmount = money(price);
    c.InvoicedQuantity = quantity;
    c.InvoicedAmount = money(amount);
    c.IdUser = idUser;
    c.SGIdApplyTo = applyTo;
    c.UnitName = unitName;
    return c;
}

ChargeRow percentCharge(qint32 id, qint32 type, const QString& name, double percent, double base,
                        double amount, qint32 idUser, qint32 applyTo) {
    ChargeRow c = charge(id, type, name, base, 0, amount, idUser, applyTo);
    c.SGPercentage = percent;
    return c;
}

InvoiceRepOptions usOptions() {
    InvoiceRepOptions o;
    o.numbers.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    o.numbers.currencyDecimals = 2;
    o.now = QDateTime(QDate(2024, 4, 2), QTime(10, 0));
    return o;
}

// An English invoice with every part: logo, heading, message, address, invoice number,
// session details, charges of every kind, a plan-level tax, balance and payments.
InvoiceRepData englishInvoice() {
    InvoiceRepData d;
    d.customer.Id = 7;
    d.customer.Username = u"jsmith"_s;
    d.customer.FullName = u"John Smith"_s;
    AddressRow a;
    a.Address1 = u"12 Main Street"_s;
    a.Address2 = u"Suite 4"_s;
    a.City = u"Springfield"_s;
    a.Province = u"IL"_s;
    a.PostalCode = u"62701"_s;
    d.address = a;

    InvoicePlanRow& p = d.plan;
    p.ShowDetails = true;
    p.ShowAddress = true;
    p.ShowInvoiceNum = true;
    p.DateFormat = u"%m/%d/%Y %H:%M"_s;
    p.Language = 0;
    p.Heading = u"Example Net Services"_s;
    p.Footer = u"Please pay within 30 days."_s;
    p.Bitmap = u"/opt/tk/logo files/logo.gif"_s;
    p.Message = QStringLiteral(
        "Thank you for choosing Example Net Services. Our new modem pool in Springfield "
        "is now open, with faster lines for every customer.\r\nQuestions? Call us any day.");

    d.billingPlanId = 500;
    d.periodStart = at(2024, 3, 1);
    d.periodEnd = at(2024, 4, 1);
    d.billingDate = DbFromDate(2024, 4, 2);
    d.sessions = {
        {at(2024, 3, 4, 9, 15), at(2024, 3, 4, 10, 45, 30), 5430, 1234567, 7654321, 7},
        {at(2024, 3, 12, 20, 0), at(2024, 3, 12, 20, 30, 15), 1815, 22222, 333333, 7},
        {at(2024, 3, 28, 23, 50), at(2024, 3, 29, 1, 5), 4500, 9876543, 12345678, 7},
    };
    d.charges = {
        charge(100, ChargeType::Fixed, u"Monthly fee"_s, 19.95, 1, 19.95, 7, 0, u"month"_s),
        charge(101, ChargeType::Online, u"Connect time"_s, 2.00, 11745, 6.53, 7, 0, u"Hour"_s),
        percentCharge(102, ChargeType::Surcharge, u"Peak surcharge"_s, 10.0, 6.53, 0.65, 7, 101),
        charge(103, ChargeType::ByteTraffic, u"Traffic"_s, 0.10, 31466664, 3.15, 7, 0, u"MB"_s),
        percentCharge(104, ChargeType::Tax, u"Sales tax"_s, 7.0, 30.28, 2.12, 7, 500),
    };
    InvoiceRow& i = d.invoice;
    i.InvoiceNum = 42;
    i.IdUser = 7;
    i.Version = 1;
    i.TotalTimeHH = 3;
    i.TotalTimeMM = 15;
    i.TotalTimeSS = 45;
    i.Sent = 11133332;
    i.Received = 20333332;
    i.Charge = money(30.28);
    i.TaxableGross = money(30.28);
    i.Taxes = money(2.12);
    i.NewCharges = money(32.40);
    i.PrevBalance = money(1250.00);
    i.Payments = money(1250.00);
    i.TotalDue = money(32.40);
    d.memberNames = {{7, u"jsmith"_s}};
    return d;
}

// A French summary invoice of a group with two members: sessions and charges per member, a
// minimum, a prepaid credit, a plan-level discount and tax, and a credit balance.
InvoiceRepData frenchSummary() {
    InvoiceRepData d;
    d.summary = true;
    d.customer.Id = 10;
    d.customer.Username = u"famille"_s;
    d.customer.FullName = u"Famille Dupont"_s;
    d.customer.IsGroup = true;
    InvoicePlanRow& p = d.plan;
    p.ShowDetails = true;
    p.DateFormat = u"%#d/%#m/%Y %H:%M"_s;
    p.Language = 1;
    d.billingPlanId = 600;
    d.periodStart = at(2024, 3, 1);
    d.periodEnd = at(2024, 4, 1);
    d.billingDate = DbFromDate(2024, 4, 2);
    d.sessions = {
        {at(2024, 3, 2, 8, 0), at(2024, 3, 2, 9, 0), 3600, 1000, 2000, 11},
        {at(2024, 3, 9, 10, 0), at(2024, 3, 9, 10, 10), 600, 300, 400, 11},
        {at(2024, 3, 5, 22, 0), at(2024, 3, 5, 23, 30), 5400, 5000, 6000, 12},
    };
    const QString connect = u"Temps de connexion"_s;
    d.charges = {
        charge(200, ChargeType::Fixed, u"Abonnement"_s, 10.00, 1, 10.00, 11),
        charge(201, ChargeType::Online, connect, 1.50, 4200, 1.75, 11, 0, u"Heure"_s),
        charge(202, ChargeType::Fixed, u"Abonnement"_s, 10.00, 1, 10.00, 12),
        charge(203, ChargeType::Online, connect, 1.50, 5400, 2.25, 12, 0, u"Heure"_s),
        percentCharge(204, ChargeType::Surcharge, u"Remise fid\u00e9lit\u00e9"_s, -5.0, 9.00, -0.45,
                      10, 600),
        percentCharge(205, ChargeType::Tax, u"TVA"_s, 20.0, 8.55, 1.71, 10, 600),
    };
    InvoiceRow& i = d.invoice;
    i.InvoiceNum = 77;
    i.IdUser = 10;
    i.Version = 1;
    i.Flags = 1;
    i.TotalTimeHH = 2;
    i.TotalTimeMM = 40;
    i.TotalTimeSS = 0;
    i.Sent = 6300;
    i.Received = 8400;
    i.Charge = money(24.00);
    i.Minimum = money(20.00);
    i.Prepaid = money(-15.00);
    i.TaxableGross = money(8.55);
    i.Taxes = money(1.71);
    i.NewCharges = money(10.26);
    i.PrevBalance = money(-1234.56);
    i.TotalDue = money(-1224.30);
    d.memberNames = {{10, u"famille"_s}, {11, u"alice"_s}, {12, u"bob"_s}};
    return d;
}

// Only a fixed charge, a surcharge on it and a plan-level tax.
InvoiceRepData fixedOnly() {
    InvoiceRepData d = englishInvoice();
    d.plan.ShowDetails = false;
    d.sessions.clear();
    d.charges = {
        charge(100, ChargeType::Fixed, u"Monthly fee"_s, 19.95, 1, 19.95, 7),
        percentCharge(102, ChargeType::Surcharge, u"Service surcharge"_s, 10.0, 19.95, 2.00, 7,
                      100),
        percentCharge(104, ChargeType::Tax, u"Sales tax"_s, 7.0, 21.95, 1.54, 7, 500),
    };
    return d;
}

// Compares with a golden file; TK_UPDATE_GOLDEN=1 rewrites it instead.
void compareGolden(const QByteArray& actual, const QString& name) {
    const QString path = QStringLiteral(TK_TEST_DATA_DIR "/invoice/") + name;
    if (qEnvironmentVariableIntValue("TK_UPDATE_GOLDEN")) {
        QVERIFY(WriteFileBytes(path, actual));
        return;
    }
    const QByteArray expected = FileBytes(path);
    QVERIFY2(!expected.isEmpty(), qPrintable(u"missing golden file "_s + path));
    if (actual == expected)
        return;
    const QList<QByteArray> a = actual.split('\n');
    const QList<QByteArray> e = expected.split('\n');
    for (qsizetype i = 0; i < std::max(a.size(), e.size()); ++i) {
        const QByteArray al = a.value(i), el = e.value(i);
        if (al != el)
            QFAIL(qPrintable(
                u"%1 line %2:\n  actual:   %3\n  expected: %4"_s.arg(name).arg(i + 1).arg(
                    QString::fromLatin1(al.toPercentEncoding(" :/()%-=<>\"!.,")),
                    QString::fromLatin1(el.toPercentEncoding(" :/()%-=<>\"!.,")))));
    }
    QFAIL("differs in length only");
}

QByteArray textHead(const QByteArray& title) {
    return "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
           "charset=ISO-8859-1\">\r\n<TITLE>" +
           title + "</TITLE>\r\n</HEAD>\r\n<BODY BGCOLOR=WHITE>\r\n\r\n<!--TKP_MARKER-->\r\n<PRE>";
}
const QByteArray kTextTail = "</PRE>\r\n<!--TKP_MARKER-->\r\n</BODY>\r\n</HTML>";

// Lines of the plain text, without their CR LF.
QList<QByteArray> plainLines(const CInvoiceRep& rep) {
    return rep.PlainText().split('\n');
}

} // namespace

Q_DECLARE_METATYPE(InvoiceRepData)

class TestInvoiceRep : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_folders.isValid()); }

    void goldenEnglishWithDetails() {
        CInvoiceRep rep;
        rep.Render(englishInvoice(), usOptions());
        compareGolden(rep.Html(), u"english_details.htm"_s);
        compareGolden(rep.TextPage(), u"english_details_text.htm"_s);
        QCOMPARE(rep.TextPage().left(rep.TextStart()),
                 textHead("Invoice for jsmith dated 4/2/2024"));
        QCOMPARE(rep.TextPage().mid(rep.TextEnd() + 1), kTextTail);
        QVERIFY(rep.PlainText().endsWith("\r\nPlease pay within 30 days."));
    }

    void goldenFrenchSummary() {
        CInvoiceRep rep;
        InvoiceRepOptions o = usOptions();
        o.numbers.locale = QLocale(QLocale::French, QLocale::France);
        rep.Render(frenchSummary(), o);
        compareGolden(rep.Html(), u"french_summary.htm"_s);
        compareGolden(rep.TextPage(), u"french_summary_text.htm"_s);
        // Windows-1252 bytes of the labels, the no-break space grouping the digits.
        QVERIFY(rep.PlainText().contains("Minimum d\xfb:"));
        QVERIFY(rep.PlainText().contains("-1\xa0"
                                         "224,30"));
        QVERIFY(rep.PlainText().endsWith("Il vous reste du cr\xe9"
                                         "dit, donc aucun paiement n'est requis. Merci."));
    }

    // A language code outside 0..3 writes English.
    void unknownLanguageIsEnglish() {
        InvoiceRepData d = englishInvoice();
        d.plan.Language = 9;
        CInvoiceRep rep;
        rep.Render(d, usOptions());
        QVERIFY(rep.PlainText().contains("To:  jsmith"));
    }

    void connectionTablePresence_data() {
        QTest::addColumn<InvoiceRepData>("data");
        QTest::addColumn<bool>("table");
        QTest::addColumn<bool>("details");

        QTest::newRow("fixed, surcharge and tax only") << fixedOnly() << false << false;
        InvoiceRepData summaryOnly = englishInvoice();
        summaryOnly.plan.ShowDetails = false;
        summaryOnly.sessions.clear();
        QTest::newRow("online charge without details") << summaryOnly << true << false;
        InvoiceRepData bytesOnly = fixedOnly();
        bytesOnly.charges.append(
            charge(103, ChargeType::ByteTraffic, u"Traffic"_s, 0.1, 5, 0, 7, 0, u"MB"_s));
        QTest::newRow("byte charge of zero amount") << bytesOnly << true << false;
        QTest::newRow("with details") << englishInvoice() << true << true;
    }
    void connectionTablePresence() {
        QFETCH(InvoiceRepData, data);
        QFETCH(bool, table);
        QFETCH(bool, details);
        CInvoiceRep rep;
        rep.Render(data, usOptions());
        const QList<QByteArray> lines = plainLines(rep);
        const QByteArray rule = QByteArray(rep.ColumnStops().rule, '-') + '\r';
        QCOMPARE(lines.count(rule), table ? (details ? 2 : 1) : 0);
        const bool header = std::any_of(lines.begin(), lines.end(), [](const QByteArray& l) {
            return l.contains("Time On") && l.contains("Sent") && l.contains("Received");
        });
        QCOMPARE(header, table);
        const bool totals = std::any_of(lines.begin(), lines.end(), [](const QByteArray& l) {
            return l.startsWith("Totals ") && l.contains("03:15:45");
        });
        QCOMPARE(totals, table);
        QCOMPARE(rep.PlainText().contains("Connect Date"), details);
        QCOMPARE(rep.PlainText().contains("03/04/2024 09:15"), details);
        // The charges and totals are there in every case.
        QVERIFY(rep.PlainText().contains("Monthly fee:\r\n"));
        QVERIFY(rep.PlainText().contains("\r\nNew Balance:"));
        if (table && !details) {
            // Header, rule, totals: "Totals" is the first column, the others keep their stops.
            const qsizetype h = lines.indexOf(rule) - 1;
            QVERIFY(lines.at(h).startsWith(QByteArray(CInvoiceRep::kIndent + 6, ' ') + "Time On"));
            QCOMPARE(lines.at(h + 2).indexOf("03:15:45"), qsizetype(9));
        }
    }

    // The text page holds only plain text; the page breaks lines only in <PRE> and after tags.
    void pageMarkupRules() {
        for (const InvoiceRepData& d : {englishInvoice(), frenchSummary(), fixedOnly()}) {
            CInvoiceRep rep;
            rep.Render(d, usOptions());
            const QByteArray page = rep.TextPage();
            const QByteArray plain = rep.PlainText();
            QVERIFY(!plain.contains('<'));
            QVERIFY(!plain.contains('>'));
            QCOMPARE(page.mid(rep.TextEnd() + 1), kTextTail);
            QVERIFY(page.left(rep.TextStart()).endsWith("\r\n\r\n<!--TKP_MARKER-->\r\n<PRE>"));
            QCOMPARE(page.count("<!--TKP_MARKER-->"), qsizetype(2));
            QCOMPARE(page.size(), rep.TextStart() + plain.size() + kTextTail.size());
            // The only markup: the head, the markers and the <PRE> pair.
            QCOMPARE(page.count('<'), page.left(rep.TextStart()).count('<') + 4);

            // The page: line breaks only inside <PRE> and after tags.
            const QByteArray html = rep.Html();
            QCOMPARE(html.count("<PRE>"), qsizetype(1));
            const qsizetype preStart = html.indexOf("<PRE>");
            const qsizetype preEnd = html.indexOf("</PRE>");
            QVERIFY(preStart > 0 && preEnd > preStart);
            // No lone CR or LF anywhere.
            QCOMPARE(html.count('\r'), html.count("\r\n"));
            QCOMPARE(html.count('\n'), html.count("\r\n"));
            for (qsizetype at = html.indexOf("\r\n"); at >= 0; at = html.indexOf("\r\n", at + 2)) {
                if (at > preStart && at < preEnd)
                    continue;
                QVERIFY2(
                    html.at(at - 1) == '>',
                    qPrintable(QString::fromLatin1(html.mid(std::max<qsizetype>(0, at - 30), 30))));
            }
            // The message lines are joined by <BR>, not by line ends.
            if (!d.plan.Message.isEmpty())
                QVERIFY(html.contains("customer.<BR>Questions? Call us any day.</FONT></P>\r\n"));
        }
    }

    void customerDataEscapedInHtmlOnly() {
        InvoiceRepData d = englishInvoice();
        const QString name = u"<b>&\"x\""_s;
        d.customer.Username = name;
        d.customer.FullName = name + u" Sr."_s;
        d.address->City = u"A&B"_s;
        d.plan.Heading = u"<I>Example</I> Net"_s;
        d.summary = true;
        d.memberNames = {{7, name}};
        CInvoiceRep rep;
        rep.Render(d, usOptions());

        const QByteArray escaped = "&lt;b&gt;&amp;&quot;x&quot;";
        const QByteArray html = rep.Html();
        QVERIFY(html.contains("<TITLE>Invoice for " + escaped + " dated 4/2/2024</TITLE>"));
        QVERIFY(html.contains("To:  " + escaped + "<BR>\r\n" + escaped + " Sr.<BR>\r\n"));
        QVERIFY(html.contains("A&amp;B, IL"));
        QVERIFY(html.contains("\r\n" + escaped + ":\r\n"));        // session group
        QVERIFY(html.contains("\r\n=== " + escaped + " ===\r\n")); // charge group
        QVERIFY(!html.contains("<b>"));
        // The operator's heading keeps its markup.
        QVERIFY(html.contains("<H1><FONT FACE=\"Arial\"><I>Example</I> Net</FONT></H1>"));

        const QByteArray raw = EncodeCp1252(name);
        const QByteArray text = rep.PlainText();
        QVERIFY(text.contains("To:  " + raw + "\r\n" + raw + " Sr.\r\n"));
        QVERIFY(text.contains("\r\nA&B, IL\r\n"));
        QVERIFY(text.contains("\r\n" + raw + ":\r\n"));
        QVERIFY(text.contains("\r\n=== " + raw + " ===\r\n"));
        QVERIFY(!text.contains("&lt;"));
        QCOMPARE(rep.Title(), u"Invoice for <b>&\"x\" dated 4/2/2024"_s);
    }

    void addressLines_data() {
        QTest::addColumn<QStringList>("fields"); // Address1, Address2, City, Province, PostalCode
        QTest::addColumn<bool>("show");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("all") << QStringList{"1 Rue", "Bat. B", "Lyon", "Rhone", "69001"} << true
                             << QByteArray("\r\n1 Rue\r\nBat. B\r\nLyon, Rhone\r\n69001\r\n");
        QTest::newRow("city alone")
            << QStringList{"", "", "Lyon", "", ""} << true << QByteArray("\r\nLyon\r\n");
        QTest::newRow("province alone") << QStringList{"1 Rue", "", "", "Rhone", "69001"} << true
                                        << QByteArray("\r\n1 Rue\r\nRhone\r\n69001\r\n");
        QTest::newRow("not shown")
            << QStringList{"1 Rue", "", "Lyon", "", ""} << false << QByteArray("\r\n");
    }
    void addressLines() {
        QFETCH(QStringList, fields);
        QFETCH(bool, show);
        QFETCH(QByteArray, expected);
        InvoiceRepData d = fixedOnly();
        d.customer.FullName.clear();
        d.plan.ShowAddress = show;
        d.address = AddressRow{0, 0, fields[0], fields[1], fields[2], fields[3], fields[4], {}, 7};
        CInvoiceRep rep;
        rep.Render(d, usOptions());
        const QByteArray text = rep.PlainText();
        const qsizetype from = text.indexOf("To:  jsmith") + 11;
        const qsizetype to = text.indexOf("\r\n\r\n", from);
        QCOMPARE(text.mid(from, to - from + 2), expected);
    }

    void columnsFollowWidestValues() {
        InvoiceRepData d = englishInvoice();
        d.sessions[1].Received = -1; // a 32-bit count past 2^31 reads back negative
        d.charges[0].UnitName = u"monthly subscription units"_s;
        d.charges[0].InvoicedQuantity = 1234567;
        const int widest =
            int(QByteArray("   1234567 at 19.95 per monthly subscription units").size());
        CInvoiceRep rep;
        rep.Render(d, usOptions());
        const CInvoiceRep::Stops& s = rep.ColumnStops();
        // "%m/%d/%Y %H:%M" is 16 wide, wider than "Connect Date"; "Disconnect Date" is 15.
        QCOMPARE(s.disconnect, 19);
        QCOMPARE(s.timeEdge, 19 + 19 + 8);
        QCOMPARE(s.sent, 19 + 19 + 11);
        QCOMPARE(s.received, s.sent + 11);       // "11133332" + 3
        QCOMPARE(s.tableWidth, s.received + 10); // "4294967295"
        QVERIFY(rep.PlainText().contains("     4294967295\r\n"));
        // The widest detail text + the width of "7777777.77".
        QCOMPARE(s.amount, widest + 10);
        QCOMPARE(s.rule, std::max(s.tableWidth, s.amount));
        // Every amount ends at the amount column.
        const QList<QByteArray> lines = plainLines(rep);
        const qsizetype gross =
            std::find_if(lines.begin(), lines.end(),
                         [](const QByteArray& l) { return l.startsWith("Gross:"); }) -
            lines.begin();
        QCOMPARE(lines.at(gross),
                 QByteArray("Gross:") + QByteArray(s.amount - 6 - 5, ' ') + "30.28\r");
        QCOMPARE(lines.at(gross - 1), QByteArray("\r"));
        QVERIFY(lines.at(gross - 2).startsWith("Subtotal:"));
        QCOMPARE(lines.at(gross - 3), QByteArray(s.amount - 5, ' ') + "-----\r");
    }

    void htmlDecision_data() {
        QTest::addColumn<qint32>("planOptions");
        QTest::addColumn<qint32>("userOptions");
        QTest::addColumn<bool>("html");
        QTest::newRow("plan text") << 0 << 0 << false;
        QTest::newRow("plan html") << 1 << 0 << true;
        QTest::newRow("plan html, customer bit 2 alone") << 0 << 2 << false;
        QTest::newRow("customer overrides to text") << 1 << 1 << false;
        QTest::newRow("customer overrides to html") << 0 << 3 << true;
        QTest::newRow("other bits ignored") << 0x7e << 0x7c << false;
    }
    void htmlDecision() {
        QFETCH(qint32, planOptions);
        QFETCH(qint32, userOptions);
        QFETCH(bool, html);
        QCOMPARE(InvoiceUsesHtml(planOptions, userOptions), html);
        InvoiceRepData d = fixedOnly();
        d.plan.Options = planOptions;
        d.customer.Options = userOptions;
        CInvoiceRep rep;
        rep.SetHtmlView(!html);
        rep.Render(d, usOptions());
        QCOMPARE(rep.HtmlView(), html);
    }

    // A billing date with a time shows it in the title.
    void titleWithTime() {
        CRecordingUi recording;
        InvoiceRepData d = fixedOnly();
        d.billingDate = DbFromLocal(QDate(2024, 4, 2), QTime(14, 5, 9));
        CInvoiceRep rep;
        rep.Render(d, usOptions());
        QVERIFY2(rep.Title().startsWith(u"Invoice for jsmith dated 4/2/2024 2:05:09"_s),
                 qPrintable(rep.Title()));
    }

    void temporaryFiles() {
        QString first, firstText;
        {
            CInvoiceRep rep;
            QString error;
            InvoiceRepData html = englishInvoice();
            html.plan.Options = 1;
            QVERIFY2(rep.RenderToFiles(html, &error, usOptions()), qPrintable(error));
            first = rep.Files().HtmlPath();
            firstText = rep.Files().TextPath();
            for (const QString& path : {first, firstText}) {
                const QFileInfo info(path);
                QVERIFY(info.fileName().startsWith(u"TKP"_s));
                QVERIFY(info.fileName().endsWith(u".HTM"_s));
                QCOMPARE(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
            }
            QVERIFY(first != firstText);
            QCOMPARE(FileBytes(first), rep.Html());
            QCOMPARE(FileBytes(firstText), rep.TextPage());
            QCOMPARE(rep.CurrentPagePath(), first); // the plan asks for HTML
            rep.SetHtmlView(false);
            QCOMPARE(rep.CurrentPagePath(), firstText);

            // The next rendering replaces both files.
            QVERIFY(rep.RenderToFiles(fixedOnly(), &error, usOptions()));
            QVERIFY(!QFile::exists(first));
            QVERIFY(!QFile::exists(firstText));
            first = rep.Files().HtmlPath();
            firstText = rep.Files().TextPath();
            QCOMPARE(FileBytes(firstText), rep.TextPage());
        }
        // And the view going deletes them.
        QVERIFY(!QFile::exists(first));
        QVERIFY(!QFile::exists(firstText));
    }

private:
    CTestFolders m_folders;
};

QTEST_GUILESS_MAIN(TestInvoiceRep)
#include "tst_invoicerep.moc"
