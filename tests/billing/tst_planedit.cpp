// Plan and charge editing on real database files: template names against frozen copies, the
// online units in whole hours, pages and assignments that replace only their own links,
// deletes that keep issued invoices (and stay whole when killed half-way), and a price list
// carried to another database billing the same invoice.
#include "common/testdatabase.h"
#include "common/billingfixture.h"
#include "common/cliprocess.h"
#include "common/testfolders.h"
#include "core/db/insertrecord.h"
#include "core/app/registrystore.h"
#include "core/app/settingsvalues.h"
#include "core/billing/chargepages.h"
#include "core/billing/invoicedoc.h"
#include "core/billing/planassign.h"
#include "core/billing/plancreate.h"
#include "core/billing/plandelete.h"
#include "core/billing/planexport.h"
#include "core/billing/planpages.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"
#include "core/db/serverrecord.h"

#include <QFile>
#include <QTest>

#include <memory>

namespace {

using F = CBillingFixture;

QString invoiceDate() {
    return QStringLiteral("2024-05-02");
}

} // namespace

class TestPlanEdit : public QObject {
    Q_OBJECT
private slots:
    void init() {
        folders = std::make_unique<CTestFolders>();
        QVERIFY(theRegistry().open());
        db = openNew(QStringLiteral("plans.db"));
        fx = std::make_unique<F>(*db);
    }
    void cleanup() {
        fx.reset();
        db.reset();
        theRegistry().close();
        folders.reset();
    }

    void namesAreUniqueAmongTemplatesOnly() {
        QVERIFY(CreateCharge(*db, QStringLiteral("Dial"), ChargeType::Online).ok());
        QCOMPARE(CreateCharge(*db, QStringLiteral("dial"), ChargeType::Fixed).message,
                 QStringLiteral("A charge with the name of 'dial' already exists."));
        // A copy frozen into invoice 7 does not hold its name.
        ChargeRow frozen = F::fixed(QStringLiteral("Retired"), "5");
        frozen.IdInvoice = 7;
        insertRecord<CChargeRecord>(*db, frozen);
        qint32 id = 0;
        QVERIFY(CreateCharge(*db, QStringLiteral("Retired"), ChargeType::Fixed, &id).ok());
        // Renaming through a page is held to the same rule.
        ChargeGeneralPage page = ChargeGeneralPage::fromRow(*LoadTemplateCharge(*db, id), 2);
        page.name = QStringLiteral("DIAL");
        QCOMPARE(SaveChargePage(*db, id, page).message,
                 QStringLiteral("A charge with the name of 'DIAL' already exists."));
        QVERIFY(CreateBillingPlan(*db, QStringLiteral("Basic"), QDate(2026, 1, 31)).ok());
        QVERIFY(!CreateBillingPlan(*db, QStringLiteral("basic"), QDate(2026, 1, 31)).ok());
        // A plan made on 31 January runs to 3 March (the missing 31 February rolls on).
        QCOMPARE(DbToDate(NewBillingPlanRow({}, QDate(2026, 1, 31)).EndDate), QDate(2026, 3, 3));
    }

    void onlineUnitsAreWholeHours() {
        qint32 id = 0;
        QVERIFY(CreateCharge(*db, QStringLiteral("Time"), ChargeType::Online, &id).ok());
        ChargeGeneralPage page = ChargeGeneralPage::fromRow(*LoadTemplateCharge(*db, id), 2);
        QCOMPARE(page.units, QStringLiteral("1"));
        page.units = QStringLiteral("1.5");
        ChargeGeneralPage::Field field = ChargeGeneralPage::NameField;
        QVERIFY(!page.validate(&field).isEmpty());
        QCOMPARE(field, ChargeGeneralPage::UnitsField);
        page.amount = QStringLiteral("2.50"); // refused with it: nothing of the page is stored
        QVERIFY(!SaveChargePage(*db, id, page).ok());
        QCOMPARE(LoadTemplateCharge(*db, id)->ChargeAmount, Currency());
        page.units = QStringLiteral("2");
        page.expiryDate = QStringLiteral("2026-02-30");
        QVERIFY(!SaveChargePage(*db, id, page).ok());
        page.expiryDate = QStringLiteral("2026-12-31");
        QVERIFY(SaveChargePage(*db, id, page).ok());
        // The date comes back in the user's format, and saving it unchanged keeps it.
        page = ChargeGeneralPage::fromRow(*LoadTemplateCharge(*db, id), 2);
        QVERIFY(SaveChargePage(*db, id, page).ok());
        QCOMPARE(DbToDate(LoadTemplateCharge(*db, id)->ExpiryDate), QDate(2026, 12, 31));
        QCOMPARE(LoadTemplateCharge(*db, id)->UnitQuantity, 7200);
        QCOMPARE(LoadTemplateCharge(*db, id)->ChargeAmount, F::money("2.50"));
    }

    void pagesAndAssignmentReplaceOnlyTheirOwnLinks() {
        const qint32 a = fx->addPlan(QStringLiteral("A"), QDate(2024, 4, 1), QDate(2024, 5, 1));
        const qint32 b = fx->addPlan(QStringLiteral("B"), QDate(2024, 4, 1), QDate(2024, 5, 1));
        const qint32 vat = fx->addCharge(F::tax(QStringLiteral("VAT"), 19));
        const qint32 levy = fx->addCharge(F::surcharge(QStringLiteral("Levy"), 2));
        const qint32 fee = fx->addCharge(F::fixed(QStringLiteral("Fee"), "10"));
        const qint32 time = fx->addCharge(F::online(QStringLiteral("Time"), "1"));
        for (qint32 plan : {a, b}) {
            fx->attach(plan, fee);
            fx->attach(plan, vat);
        }
        ApplyPage apply = ApplyPage::forPlan(*db, a);
        QVERIFY(apply.setChecked(vat, false) && apply.setChecked(levy, true));
        QVERIFY(apply.saveForPlan(*db, a).ok());
        PlanChargeAssignment assign = PlanChargeAssignment::load(*db, a);
        QVERIFY(assign.add(time) && assign.moveUp(1));
        QVERIFY(assign.save(*db).ok());
        QCOMPARE(links(a), QStringLiteral("Time@0 Fee@1 Levy@0"));
        QCOMPARE(links(b), QStringLiteral("Fee@0 VAT@1"));
        // A charge's own Apply page touches only the links to that charge.
        fx->link(vat, time);
        ApplyPage own = ApplyPage::forCharge(*db, fee);
        QVERIFY(own.setChecked(levy, true));
        QVERIFY(own.saveForCharge(*db, fee).ok());
        QCOMPARE(count("SELECT COUNT(*) FROM ChargeChargeJoin WHERE IdChargeTo = ?", time), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM ChargeChargeJoin WHERE IdChargeTo = ?", fee), 1);
    }

    void deletesKeepIssuedInvoices() {
        const qint32 plan = fx->addPlan(QStringLiteral("A"), QDate(2024, 4, 1), QDate(2024, 5, 1));
        const qint32 ip = fx->addInvoicePlan(QStringLiteral("Plain"));
        const qint32 fee = fx->addCharge(F::fixed(QStringLiteral("Fee"), "10"));
        const qint32 vat = fx->addCharge(F::tax(QStringLiteral("VAT"), 19));
        fx->attach(plan, fee);
        fx->link(vat, fee);
        const qint32 ann = fx->addCustomer(QStringLiteral("ann"), plan, ip);
        fx->setFixedUnits(fee, ann, 2);
        UserRow group = fx->customer(fx->addCustomer(QStringLiteral("team")));
        group.IsGroup = true;
        group.GroupOptions = GroupOption::OverrideBillingPlan | GroupOption::SummaryInvoice;
        group.IdBPOverride = plan;
        fx->updateCustomer(group);
        const qint32 invoice = bill(*db, ann, plan, ip);
        const int copies = count("SELECT COUNT(*) FROM Charges WHERE IdInvoice = ?", invoice);
        QCOMPARE(copies, 2);
        QVERIFY(RegWriteNumber(Reg::DefBillingPlan, plan));

        QVERIFY(DeleteCharge(*db, fee).ok());
        QString note;
        QVERIFY(DeleteBillingPlan(*db, plan, &note).ok());
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice = ?", invoice), copies);
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice = ?", invoice), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice = 0"), 0);
        QCOMPARE(count("SELECT COUNT(*) FROM BPChargeJoin") +
                     count("SELECT COUNT(*) FROM ChargeChargeJoin") +
                     count("SELECT COUNT(*) FROM FixedUnitsJoin"),
                 0);
        QCOMPARE(fx->customer(ann).IdBillingPlan, 0);
        // The group no longer overrides with a plan that is gone; it still sums up.
        QCOMPARE(fx->customer(group.Id).IdBPOverride, 0);
        QCOMPARE(fx->customer(group.Id).GroupOptions, qint32(GroupOption::SummaryInvoice));
        QVERIFY(note.contains(QStringLiteral("customer default billing plan")));
        QCOMPARE(RegNumber(Reg::DefBillingPlan), 0);
        // A frozen copy is no template to delete.
        const qint32 frozen =
            db->scalar(QStringLiteral("SELECT Id FROM Charges WHERE IdInvoice = ?"), {invoice})
                .toInt();
        QVERIFY(!DeleteCharge(*db, frozen).ok());
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE IdInvoice = ?", invoice), copies);
    }

    void deleteKilledHalfWayLeavesEveryLink() {
        QVERIFY2(CliMissing().isEmpty(), qPrintable(CliMissing()));
        const qint32 plan = fx->addPlan(QStringLiteral("A"), QDate(2024, 4, 1), QDate(2024, 5, 1));
        const qint32 fee = fx->addCharge(F::fixed(QStringLiteral("Fee"), "10"));
        const qint32 vat = fx->addCharge(F::tax(QStringLiteral("VAT"), 19));
        fx->attach(plan, fee);
        fx->link(vat, fee);
        fx->setFixedUnits(fee, fx->addCustomer(QStringLiteral("ann"), plan), 2);
        const QString path = db->path();
        fx.reset();
        db.reset();

        const QString marker = folders->filePath(QStringLiteral("marker"));
        qputenv("TK_FAULT_POINT", "charge-delete");
        qputenv("TK_FAULT_MARKER", marker.toUtf8());
        const CliResult r = RunCliOn(folders->path(), path,
                                     {QStringLiteral("--yes"), QStringLiteral("charge"),
                                      QStringLiteral("delete"), QStringLiteral("Fee")});
        qunsetenv("TK_FAULT_POINT");
        qunsetenv("TK_FAULT_MARKER");
        QVERIFY2(QFile::exists(marker), qPrintable(r.err));
        QVERIFY(r.code != 0);

        db = std::make_unique<Database>();
        db->open(path);
        QCOMPARE(count("SELECT COUNT(*) FROM Charges WHERE Id = ?", fee), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM BPChargeJoin WHERE IdCharge = ?", fee), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM ChargeChargeJoin WHERE IdChargeTo = ?", fee), 1);
        QCOMPARE(count("SELECT COUNT(*) FROM FixedUnitsJoin WHERE IdCharge = ?", fee), 1);
    }

    void exportedPlanBillsTheSameInAnotherDatabase() {
        insertRecord<CServerRecord>(*db, ServerRow{QStringLiteral("radius1"), 0});
        const qint32 radius = db->scalar(QStringLiteral("SELECT Id FROM Servers")).toInt();
        const qint32 plan =
            fx->addPlan(QStringLiteral("Mixed"), QDate(2024, 4, 1), QDate(2024, 5, 1), "15");
        const qint32 ip = fx->addInvoicePlan(QStringLiteral("Plain"));
        ChargeRow day = F::online(QStringLiteral("Day"), "1.20");
        day.FilterType = PremiumFilter::Daily;
        day.FilterStart = 8 * 3600;
        day.FilterEnd = 18 * 3600;
        day.LimitEnd = 3 * 3600;
        ChargeRow traffic = F::bytes(QStringLiteral("Traffic"), "0.05", 1048576);
        traffic.FilterValue = radius;
        traffic.Block = true;
        const qint32 fee = fx->addCharge(F::fixed(QStringLiteral("Fee"), "9.95"));
        for (const ChargeRow& c : {day, F::online(QStringLiteral("Other"), "0.80"), traffic})
            fx->attach(plan, fx->addCharge(c));
        fx->attach(plan, fee);
        fx->link(fx->addCharge(F::surcharge(QStringLiteral("Promo"), -10)), fee);
        fx->attach(plan, fx->addCharge(F::tax(QStringLiteral("VAT"), 19)));
        const auto sessions = [](F& f, qint32 server) {
            f.addSession(QStringLiteral("ann"), F::at(2024, 4, 3, 19), 5 * 3600, 0, 0, {}, server);
            f.addSession(QStringLiteral("ann"), F::at(2024, 4, 9, 12), 2 * 3600, 3000000, 9000000,
                         {}, server);
            f.addSession(QStringLiteral("ann"), F::at(2024, 4, 20, 23), 1800, 0, 7000000);
        };
        sessions(*fx, radius);
        const qint32 here = bill(*db, fx->addCustomer(QStringLiteral("ann"), plan, ip), plan, ip);
        QByteArray json;
        QVERIFY(ExportPlans(*db, {QStringLiteral("Mixed"), QStringLiteral("Plain")}, &json).ok());

        auto other = openNew(QStringLiteral("other.db"));
        F ofx(*other);
        insertRecord<CServerRecord>(*other, ServerRow{QStringLiteral("nas2"), 0}); // other Ids here
        PlanImportSummary summary;
        const EditResult imported = ImportPlans(*other, json, false, &summary);
        QVERIFY2(imported.ok(), qPrintable(imported.text()));
        QCOMPARE(summary.charges, 6);
        QVERIFY(!ImportPlans(*other, json, false).ok()); // the names exist now
        // One bad reference refuses the whole file: its good charge is not stored either.
        const QByteArray bad = R"({"Format": "tollkeeper-plans", "Version": 1,
            "Charges": [{"Name": "X", "Kind": "Fixed"}], "BillingPlans": [{"Name": "P",
            "StartDate": "2024-04-01", "EndDate": "2024-05-01", "Charges": ["X", "Gone"]}]})";
        QVERIFY(ImportPlans(*other, bad, true).message.contains(QStringLiteral("'Gone'")));
        QVERIFY(!other->scalar(QStringLiteral("SELECT 1 FROM Charges WHERE Name = 'X'")).isValid());
        const auto idOf = [&](const char* sql) {
            return other->scalar(QLatin1String(sql)).toInt();
        };
        sessions(ofx, idOf("SELECT Id FROM Servers WHERE ServerName = 'radius1'"));
        const qint32 newPlan = idOf("SELECT Id FROM BillingPlans WHERE Name = 'Mixed'");
        const qint32 newIp = idOf("SELECT Id FROM InvoicePlans WHERE Name = 'Plain'");
        const qint32 there =
            bill(*other, ofx.addCustomer(QStringLiteral("ann"), newPlan, newIp), newPlan, newIp);
        const QStringList lines = chargeLines(*db, here);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(chargeLines(*other, there), lines);
        QCOMPARE(totals(*other, there), totals(*db, here));
    }

private:
    std::unique_ptr<Database> openNew(const QString& name) {
        const QString path = TestDatabaseName(folders->filePath(name));
        CreateNewDatabase(path);
        auto d = std::make_unique<Database>();
        d->open(path);
        return d;
    }
    int count(const char* sql, qint32 param = 0) {
        return db
            ->scalar(QLatin1String(sql),
                     QString::fromLatin1(sql).contains('?') ? QVariantList{param} : QVariantList{})
            .toInt();
    }
    // A plan's links in OrdinalPosition order, "Name@position".
    QString links(qint32 plan) {
        QStringList list;
        Statement st = db->prepare(QStringLiteral(
            "SELECT Charges.Name, OrdinalPosition FROM BPChargeJoin INNER JOIN Charges ON "
            "IdCharge = Charges.Id WHERE IdBillingPlan = ? ORDER BY Charges.Type IN (1, 8), "
            "OrdinalPosition"));
        st.bind(1, plan);
        while (st.next())
            list << st.value(0).toString() + '@' + st.value(1).toString();
        return list.join(' ');
    }
    static qint32 bill(Database& d, qint32 customer, qint32 plan, qint32 ip) {
        CInvoiceDoc doc(d);
        doc.SetReporter([](const RatingReport&) {});
        const auto date = DbFromLocal(QDate::fromString(invoiceDate(), Qt::ISODate));
        if (doc.Create(customer, plan, ip, date, true, false) != 39)
            return 0;
        return doc.InvoiceNum();
    }
    // The invoice's charge copies as "name quantity amount", in the order they were made.
    static QStringList chargeLines(Database& d, qint32 invoice) {
        QStringList list;
        Statement st = d.prepare(QStringLiteral("SELECT Name, InvoicedQuantity, InvoicedAmount "
                                                "FROM Charges WHERE IdInvoice = ? ORDER BY Id"));
        st.bind(1, invoice);
        while (st.next())
            list << QStringLiteral("%1 %2 %3")
                        .arg(st.value(0).toString(), st.value(1).toString(),
                             st.value(2).value<Currency>().format(4));
        return list;
    }
    static QString totals(Database& d, qint32 invoice) {
        return d
            .scalar(QStringLiteral("SELECT Minimum || ' ' || Taxes || ' ' || TotalDue FROM "
                                   "Invoices WHERE InvoiceNum = ?"),
                    {invoice})
            .toString();
    }

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<Database> db;
    std::unique_ptr<F> fx;
};

QTEST_GUILESS_MAIN(TestPlanEdit)
#include "tst_planedit.moc"
