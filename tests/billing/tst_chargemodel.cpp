// The charge model on real database files: eligibility and carry-over, pricing by blocks,
// fixed and periodic charges, prorating and linked taxes, surcharges and discounts.
#include "common/testdatabase.h"
#include "common/testfolders.h"
#include "core/billing/billingtime.h"
#include "core/billing/chargemodel.h"
#include "core/billing/chargetypes.h"
#include "core/billing/usagerating.h"
#include "core/db/chargerecord.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

qint64 at(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    return LocalToSeconds(QDate(y, m, d), QTime(h, mi, s));
}

Currency money(const char* text) {
    return Currency::fromDouble(QByteArray(text).toDouble());
}

ChargeRow charge(qint32 type, const char* amount, qint32 unitQuantity = 1) {
    ChargeRow c;
    c.Type = type;
    c.Name = u"Charge %1"_s.arg(type);
    c.ChargeAmount = money(amount);
    c.UnitQuantity = unitQuantity;
    return c;
}

} // namespace

class TestChargeModel : public QObject {
    Q_OBJECT
private slots:
    void init() {
        folders = std::make_unique<CTestFolders>();
        const QString path = TestDatabaseName(folders->filePath(u"billing.db"_s));
        CreateNewDatabase(path);
        db = std::make_unique<Database>();
        db->open(path);
        reports.clear();
    }

    void cleanup() {
        db.reset();
        folders.reset();
    }

    void eligibility_data() {
        QTest::addColumn<qint32>("type");
        QTest::addColumn<qint32>("options");
        QTest::addColumn<bool>("firstOnly");
        QTest::addColumn<bool>("gotFirst");
        QTest::addColumn<qint64>("expiry");  // 0: none
        QTest::addColumn<qint64>("endDate"); // 0: none
        QTest::addColumn<bool>("applies");

        const qint64 none = 0;
        QTest::newRow("plain") << qint32(ChargeType::Fixed) << 0 << false << true << none << none
                               << true;
        QTest::newRow("expired at period start")
            << qint32(ChargeType::Fixed) << 0 << false << true << at(2024, 4, 1) << none << false;
        QTest::newRow("expires inside period")
            << qint32(ChargeType::Fixed) << 0 << false << true << at(2024, 4, 2) << none << true;
        QTest::newRow("first invoice only, already had it")
            << qint32(ChargeType::Fixed) << 0 << true << true << none << none << false;
        QTest::newRow("first invoice only, first invoice")
            << qint32(ChargeType::Fixed) << 0 << true << false << none << none << true;
        QTest::newRow("skip first invoice, first invoice")
            << qint32(ChargeType::Online) << 0x02 << false << false << none << none << false;
        QTest::newRow("skip first invoice, later invoice")
            << qint32(ChargeType::Online) << 0x02 << false << true << none << none << true;
        // Byte traffic: 0x02 counts received bytes and must not hide the first invoice.
        QTest::newRow("bytes received, first invoice")
            << qint32(ChargeType::ByteTraffic) << 0x03 << false << false << none << none << true;
        QTest::newRow("bytes, skip first invoice")
            << qint32(ChargeType::ByteTraffic) << 0x13 << false << false << none << none << false;
        QTest::newRow("skip last invoice, ends in period")
            << qint32(ChargeType::Fixed) << 0x08 << false << true << none << at(2024, 4, 20)
            << false;
        QTest::newRow("skip last invoice, ends after period")
            << qint32(ChargeType::Fixed) << 0x08 << false << true << none << at(2024, 5, 1) << true;
    }
    void eligibility() {
        QFETCH(qint32, type);
        QFETCH(qint32, options);
        QFETCH(bool, firstOnly);
        QFETCH(bool, gotFirst);
        QFETCH(qint64, expiry);
        QFETCH(qint64, endDate);
        QFETCH(bool, applies);

        ChargeRow t = charge(type, "1");
        t.Options = options;
        t.FirstInvoiceOnly = firstOnly;
        if (expiry)
            t.ExpiryDate = SecondsToDb(expiry);
        t = saveTemplate(t);
        RatingContext ctx = context();
        ctx.Customer.GotFirstInvoice = gotFirst;
        if (endDate)
            ctx.Customer.EndDate = SecondsToDb(endDate);
        ChargeRow copy = MakeInvoiceCopy(ctx, t);
        QCOMPARE(ChargeApplies(*db, ctx, copy), applies);
        QVERIFY(reports.isEmpty());
    }

    void carryOverFromLatestCopy() {
        const ChargeRow t = saveTemplate(charge(ChargeType::Online, "1", 3600));
        RatingContext ctx = context();
        // Earlier copies of the same template: the latest one (highest Id) gives its carry-over;
        // another customer's copy and another template's copy are not looked at.
        auto saveCopy = [&](qint32 user, qint32 templ, qint32 limitAccum, qint32 unitAccum) {
            ChargeRow c = t;
            c.IdInvoice = 99;
            c.IdUser = user;
            c.IdTemplate = templ;
            c.LimitAccum = limitAccum;
            c.UnitAccum = unitAccum;
            SaveChargeCopy(*db, c);
        };
        saveCopy(7, t.Id, 100, 10);
        saveCopy(7, t.Id, 200, 20);
        saveCopy(8, t.Id, 300, 30);
        saveCopy(7, t.Id + 100, 400, 40);

        ChargeRow copy = MakeInvoiceCopy(ctx, t);
        QCOMPARE(copy.IdTemplate, t.Id);
        QCOMPARE(copy.IdInvoice, 1);
        QCOMPARE(copy.IdUser, 7);
        QCOMPARE(copy.Id, 0);
        QVERIFY(ChargeApplies(*db, ctx, copy));
        QCOMPARE(copy.LimitAccum, 200);
        QCOMPARE(copy.UnitAccum, 20);

        // Read once for all templates of the customer: the same answer; a copy saved and noted
        // meanwhile is the latest from then on.
        RatingContext once = context();
        once.LatestCopiesCached = true;
        ChargeRow first = MakeInvoiceCopy(once, t);
        QVERIFY(ChargeApplies(*db, once, first));
        QCOMPARE(first.LimitAccum, 200);
        QCOMPARE(first.UnitAccum, 20);
        first.LimitAccum = 600;
        SaveChargeCopy(*db, first);
        once.noteSaved(first);
        ChargeRow second = MakeInvoiceCopy(once, t);
        QVERIFY(ChargeApplies(*db, once, second));
        QCOMPARE(second.LimitAccum, 600);

        // A failing read reports 9 and leaves the charge out.
        db->execute(u"DROP TABLE Charges"_s);
        ChargeRow other = MakeInvoiceCopy(ctx, t);
        QVERIFY(!ChargeApplies(*db, ctx, other));
        QCOMPARE(codes(), QList<int>{9});
        QVERIFY(!reports.first().exceptionText.isEmpty());
    }

    void pricing_data() {
        QTest::addColumn<QString>("price");
        QTest::addColumn<qint32>("unitQuantity");
        QTest::addColumn<bool>("block");
        QTest::addColumn<qint32>("unitAccum");
        QTest::addColumn<qint64>("quantity");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<qint32>("billed");
        QTest::addColumn<qint32>("remainder");

        QTest::newRow("pro rata hour")
            << "1.00" << 3600 << false << 0 << qint64(5400) << "1.50" << 5400 << 0;
        QTest::newRow("pro rata rounds to cents")
            << "1.00" << 3600 << false << 0 << qint64(100) << "0.03" << 100 << 0; // 0.0277
        QTest::newRow("unit quantity 0 reads as 1")
            << "0.25" << 0 << false << 0 << qint64(3) << "0.75" << 3 << 0;
        QTest::newRow("block below one unit")
            << "2.00" << 3600 << true << 0 << qint64(3599) << "0.00" << 0 << 3599;
        QTest::newRow("block with carried remainder")
            << "2.00" << 3600 << true << 3000 << qint64(4300) << "4.00" << 7200 << 100;
        QTest::newRow("bytes beyond 32 bits, block of a megabyte")
            << "0.01" << 1000000 << true << 0 << qint64(5000000000LL) << "50.00" << 2147483647 << 0;
    }
    void pricing() {
        QFETCH(QString, price);
        QFETCH(qint32, unitQuantity);
        QFETCH(bool, block);
        QFETCH(qint32, unitAccum);
        QFETCH(qint64, quantity);
        QFETCH(QString, amount);
        QFETCH(qint32, billed);
        QFETCH(qint32, remainder);
        QCOMPARE(CurrencyDecimals(), 2);

        ChargeRow c = charge(ChargeType::Online, price.toLatin1().constData(), unitQuantity);
        c.Block = block;
        c.UnitAccum = unitAccum;
        QVERIFY(!AddUnits(c, quantity));
        QCOMPARE(c.InvoicedAmount.format(2), amount);
        QCOMPARE(c.InvoicedQuantity, billed);
        QCOMPARE(c.UnitAccum, remainder);
        QVERIFY(c.UnitQuantity != 0);
    }

    void monthlyFromThirtyFirstJanuary() {
        QCOMPARE(SecondsToDateTime(AddMonthsLocal(at(2023, 1, 31, 10), 1)),
                 SecondsToDateTime(at(2023, 3, 3, 10)));
        QCOMPARE(SecondsToDateTime(AddMonthsLocal(at(2024, 1, 31, 10), 1)),
                 SecondsToDateTime(at(2024, 3, 2, 10)));

        ChargeRow t = charge(ChargeType::Fixed, "5.00");
        t.LimitType = LimitWindow::EveryNMonths;
        t.LimitFilterEnd = 1;
        t.LimitFilterType = LimitAnchor::StartDate;
        t = saveTemplate(t);

        RatingContext ctx = context();
        ctx.Customer.StartDate = SecondsToDb(at(2023, 1, 31));
        ctx.PeriodStart = at(2023, 2, 1);
        ctx.PeriodEnd = at(2023, 3, 1);
        ChargeRow feb = MakeInvoiceCopy(ctx, t);
        QCOMPARE(RateFixed(*db, ctx, feb), 0);
        QCOMPARE(feb.InvoicedQuantity, 0); // 31 January rolls to 3 March
        QCOMPARE(feb.InvoicedAmount, Currency());

        ctx.PeriodStart = at(2023, 3, 1);
        ctx.PeriodEnd = at(2023, 4, 1);
        ChargeRow mar = MakeInvoiceCopy(ctx, t);
        QCOMPARE(RateFixed(*db, ctx, mar), 0);
        QCOMPARE(mar.InvoicedQuantity, 1);
        QCOMPARE(mar.InvoicedAmount, money("5.00"));
    }

    void weeklyKeepsTimeOfDayAcrossDaylightSaving() {
        // Every Sunday at 09:00 from 7 January 2024; summer time starts on 31 March,
        // winter time on 27 October.
        QCOMPARE(SecondsToDateTime(AddDaysLocal(at(2024, 3, 24, 9), 7)).time(), QTime(9, 0));
        QCOMPARE(AddDaysLocal(at(2024, 3, 24, 9), 7) - at(2024, 3, 24, 9), 7 * 86400 - 3600);

        ChargeRow t = charge(ChargeType::Fixed, "1.00");
        t.LimitType = LimitWindow::EveryNDays;
        t.LimitFilterEnd = 7;
        t.LimitFilterType = LimitAnchor::FixedDate;
        t.LimitFilterStart = qint32(at(2024, 1, 7, 9));
        t = saveTemplate(t);

        struct Case {
            qint64 start, end;
            qint32 occurrences;
        };
        const Case cases[] = {
            {at(2024, 3, 1), at(2024, 3, 31, 9, 30), 5},      // 3, 10, 17, 24, 31 March
            {at(2024, 3, 31, 9, 30), at(2024, 4, 14, 9), 1},  // 7 April only
            {at(2024, 10, 27, 9, 30), at(2024, 11, 3, 9), 0}, // none: both at 09:00 are outside
            {at(2024, 10, 27, 8, 30), at(2024, 11, 3, 9, 1), 2},
        };
        for (const Case& c : cases) {
            RatingContext ctx = context();
            ctx.PeriodStart = c.start;
            ctx.PeriodEnd = c.end;
            ChargeRow copy = MakeInvoiceCopy(ctx, t);
            QCOMPARE(RateFixed(*db, ctx, copy), 0);
            QCOMPARE(copy.InvoicedQuantity, c.occurrences);
            QCOMPARE(copy.InvoicedAmount, Currency::fromUnits(qint64(c.occurrences) * 10000));
        }

        // The expiry stops the occurrences.
        t.ExpiryDate = SecondsToDb(at(2024, 3, 17, 9));
        RatingContext ctx = context();
        ctx.PeriodStart = at(2024, 3, 1);
        ctx.PeriodEnd = at(2024, 4, 1);
        ChargeRow copy = MakeInvoiceCopy(ctx, t);
        QCOMPARE(RateFixed(*db, ctx, copy), 0);
        QCOMPARE(copy.InvoicedQuantity, 2); // 3 and 10 March
    }

    void fixedUnitsOfCustomer() {
        ChargeRow t = charge(ChargeType::Fixed, "1.50");
        t.DefUnitQuantity = 2;
        t = saveTemplate(t);
        RatingContext ctx = context();

        ChargeRow byDefault = MakeInvoiceCopy(ctx, t);
        QCOMPARE(RateFixed(*db, ctx, byDefault), 0);
        QCOMPARE(byDefault.InvoicedAmount, money("3.00"));

        db->execute(QStringLiteral("INSERT INTO FixedUnitsJoin (IdUser, IdCharge, NumUnits) "
                                   "VALUES (?, ?, ?)"),
                    {7, t.Id, 5});
        ChargeRow own = MakeInvoiceCopy(ctx, t);
        QCOMPARE(RateFixed(*db, ctx, own), 0);
        QCOMPARE(own.InvoicedQuantity, 5);
        QCOMPARE(own.InvoicedAmount, money("7.50"));

        // A charge that does not apply is skipped with 36.
        t.FirstInvoiceOnly = true;
        ChargeRow skipped = MakeInvoiceCopy(ctx, t);
        QCOMPARE(RateFixed(*db, ctx, skipped), 36);
    }

    void proratesPartialService_data() {
        QTest::addColumn<qint64>("start"); // 0: not set
        QTest::addColumn<qint64>("end");   // 0: not set
        QTest::addColumn<qint32>("type");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<bool>("warns");

        // April 2024 has 30 days and no clock change.
        QTest::newRow("started on 11 April")
            << at(2024, 4, 11) << qint64(0) << qint32(ChargeType::Fixed) << "19.99" << false;
        QTest::newRow("ended on 11 April")
            << at(2023, 1, 1) << at(2024, 4, 11) << qint32(ChargeType::Fixed) << "10.00" << false;
        QTest::newRow("whole period")
            << at(2023, 1, 1) << qint64(0) << qint32(ChargeType::Fixed) << "29.99" << false;
        QTest::newRow("no start date counts from 1970")
            << qint64(0) << qint64(0) << qint32(ChargeType::Fixed) << "29.99" << false;
        QTest::newRow("online charge prorated, with warning")
            << at(2024, 4, 16) << qint64(0) << qint32(ChargeType::Online) << "15.00" << true;
    }
    void proratesPartialService() {
        QFETCH(qint64, start);
        QFETCH(qint64, end);
        QFETCH(qint32, type);
        QFETCH(QString, amount);
        QFETCH(bool, warns);

        RatingContext ctx = context();
        if (start)
            ctx.Customer.StartDate = SecondsToDb(start);
        if (end)
            ctx.Customer.EndDate = SecondsToDb(end);
        ChargeRow c = charge(type, "29.99");
        c.Prorate = true;
        c.InvoicedAmount = money("29.99");
        QVERIFY(ProrateCharge(ctx, c));
        QCOMPARE(c.InvoicedAmount.format(4), money(amount.toLatin1().constData()).format(4));
        QCOMPARE(codes(), warns ? QList<int>{27} : QList<int>{});
    }

    void missingAnchorsFail_data() {
        QTest::addColumn<qint32>("anchor");
        QTest::addColumn<int>("result");
        QTest::newRow("anniversary day missing") << qint32(LimitAnchor::AnniversaryDay) << 12;
        QTest::newRow("start date missing") << qint32(LimitAnchor::StartDate) << 11;
    }
    void missingAnchorsFail() {
        QFETCH(qint32, anchor);
        QFETCH(int, result);
        ChargeRow t = charge(ChargeType::Fixed, "1.00");
        t.LimitType = LimitWindow::EveryNDays;
        t.LimitFilterEnd = 7;
        t.LimitFilterType = anchor;
        t = saveTemplate(t);
        RatingContext ctx = context();
        ctx.Customer.AnniversaryDay = 0;
        ChargeRow copy = MakeInvoiceCopy(ctx, t);
        QCOMPARE(RateFixed(*db, ctx, copy), result);
        QCOMPARE(copy.InvoicedAmount, Currency());

        // With the anchor present the charge rates.
        ctx.Customer.AnniversaryDay = 15;
        ctx.Customer.StartDate = SecondsToDb(at(2024, 3, 15));
        ChargeRow ok = MakeInvoiceCopy(ctx, t);
        QCOMPARE(RateFixed(*db, ctx, ok), 0);
        QCOMPARE(ok.InvoicedQuantity, 4); // weekly from 15 March: 5, 12, 19 and 26 April
    }

    void linkedDiscountsAndTaxes() {
        QCOMPARE(CurrencyDecimals(), 2);
        const ChargeRow base = saveTemplate(charge(ChargeType::Fixed, "12.34"));
        ChargeRow discount = charge(ChargeType::Surcharge, "0");
        discount.SGPercentage = -10.0;
        discount = saveTemplate(discount);
        ChargeRow roundedDiscount = discount;
        roundedDiscount.SGRound = true;
        roundedDiscount = saveTemplate(roundedDiscount);
        ChargeRow tiny = charge(ChargeType::Tax, "0");
        tiny.SGPercentage = 0.000009;
        tiny = saveTemplate(tiny);
        for (const ChargeRow& from : {discount, roundedDiscount, tiny})
            db->execute(QStringLiteral("INSERT INTO ChargeChargeJoin (IdChargeFrom, IdChargeTo) "
                                       "VALUES (?, ?)"),
                        {from.Id, base.Id});

        RatingContext ctx = context();
        Currency total = money("99");
        QVERIFY(
            !ApplyLinked(*db, ctx, money("12.34"), base.Id, 4711, false, ChargeType::All, total));
        QCOMPARE(total, money("-2.23"));
        QCOMPARE(ctx.Charges.size(), 3);
        QMap<qint32, ChargeRow> byTemplate;
        for (const ChargeRow& c : ctx.Charges) {
            byTemplate.insert(c.IdTemplate, c);
            QVERIFY(c.Id > 0);
            QCOMPARE(c.IdInvoice, 1);
            QCOMPARE(c.IdUser, 7);
            QCOMPARE(c.SGIdApplyTo, 4711);
            QCOMPARE(c.ChargeAmount, money("12.34"));
        }
        QCOMPARE(byTemplate.value(discount.Id).InvoicedAmount, money("-1.23"));
        QCOMPARE(byTemplate.value(roundedDiscount.Id).InvoicedAmount, money("-1"));
        QCOMPARE(byTemplate.value(tiny.Id).InvoicedAmount, Currency());

        // The copies are in the database as frozen copies of invoice 1.
        CChargeRecord rec(*db);
        QVERIFY(rec.findByInvoice(1));
        QCOMPARE(rec.recordCount(), 3);

        // A type mask that matches none of them adds nothing.
        RatingContext other = context();
        QVERIFY(
            !ApplyLinked(*db, other, money("12.34"), base.Id, 1, false, ChargeType::Online, total));
        QCOMPARE(total, Currency());
        QVERIFY(other.Charges.isEmpty());

        // An engine failure is reported, not hidden.
        db->execute(u"DROP TABLE ChargeChargeJoin"_s);
        QVERIFY(ApplyLinked(*db, other, money("12.34"), base.Id, 1, false, ChargeType::All, total));
        QVERIFY(!other.LastError.isEmpty());
    }

    void planLevelLinks() {
        ChargeRow surcharge = charge(ChargeType::Surcharge, "0");
        surcharge.SGPercentage = 5.0;
        surcharge = saveTemplate(surcharge);
        ChargeRow tax = charge(ChargeType::Tax, "0");
        tax.SGPercentage = 19.0;
        tax = saveTemplate(tax);
        const ChargeRow fixed = saveTemplate(charge(ChargeType::Fixed, "3"));
        for (const ChargeRow& c : {surcharge, tax, fixed})
            db->execute(QStringLiteral("INSERT INTO BPChargeJoin (IdBillingPlan, IdCharge, "
                                       "OrdinalPosition) VALUES (?, ?, ?)"),
                        {3, c.Id, 0});

        // A summary member's invoice: plan-level copies belong to the group.
        RatingContext ctx = context();
        ctx.RecordCustomerId = 70;
        Currency total;
        QVERIFY(!ApplyLinked(*db, ctx, money("100"), 3, 55, true, ChargeType::Surcharge, total));
        QCOMPARE(total, money("5"));
        QVERIFY(!ApplyLinked(*db, ctx, money("105"), 3, 55, true, ChargeType::Tax, total));
        QCOMPARE(total, money("19.95"));
        QCOMPARE(ctx.Charges.size(), 2);
        for (const ChargeRow& c : ctx.Charges)
            QCOMPARE(c.IdUser, 70);
    }

    void anniversaryAlignment() {
        // Day 31 aligns a period starting 15 March to 29 February in a leap year.
        const auto a = AlignToAnniversary(at(2024, 3, 15, 10), at(2024, 4, 15, 10), 31);
        QCOMPARE(SecondsToDateTime(a.first), SecondsToDateTime(at(2024, 2, 29)));
        QCOMPARE(SecondsToDateTime(a.second), SecondsToDateTime(at(2024, 3, 31)));
        // Both ends already on the day: unchanged, time of day kept.
        const auto b = AlignToAnniversary(at(2024, 3, 5, 10), at(2024, 4, 5, 10), 5);
        QCOMPARE(b.first, at(2024, 3, 5, 10));
        QCOMPARE(b.second, at(2024, 4, 5, 10));
        // Only one end on the day: both move to midnight.
        const auto c = AlignToAnniversary(at(2024, 3, 5, 10), at(2024, 4, 7, 10), 5);
        QCOMPARE(c.first, at(2024, 3, 5));
        QCOMPARE(c.second, at(2024, 4, 5));
    }

private:
    // A template saved in the database; returns it with its Id.
    ChargeRow saveTemplate(ChargeRow c) {
        SaveChargeCopy(*db, c);
        return c;
    }
    RatingContext context() {
        RatingContext ctx;
        ctx.PeriodStart = at(2024, 4, 1);
        ctx.PeriodEnd = at(2024, 5, 1);
        ctx.Customer.Id = 7;
        ctx.Customer.Username = u"alice"_s;
        ctx.Customer.GotFirstInvoice = true;
        ctx.RecordCustomerId = 7;
        ctx.InvoiceNum = 1;
        ctx.Reporter = [this](const RatingReport& r) { reports.append(r); };
        return ctx;
    }
    QList<int> codes() const {
        QList<int> c;
        for (const RatingReport& r : reports)
            c << r.code;
        return c;
    }

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<Database> db;
    QList<RatingReport> reports;
};

QTEST_GUILESS_MAIN(TestChargeModel)
#include "tst_chargemodel.moc"
