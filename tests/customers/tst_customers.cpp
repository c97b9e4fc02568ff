// Customers and groups on real database files: creation with the defaults, the page save
// rules, membership without cycles, the tree over a stored cycle, and deletion as a whole.
#include "common/testdatabase.h"
#include "common/billingfixture.h"
#include "common/testfolders.h"
#include "core/billing/invoicedoc.h"
#include "core/customers/customercreate.h"
#include "core/customers/customerdelete.h"
#include "core/customers/customergroups.h"
#include "core/customers/customerimport.h"
#include "core/customers/customernames.h"
#include "core/customers/customerpages.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/schema.h"

#include <QBuffer>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

class TestCustomers : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void createAppliesDefaultsAndRefusesTakenNames();
    void pagesSaveByTheirRules();
    void expirySplit_data();
    void expirySplit();
    void membershipRefusesCyclesAndTurnsRows();
    void storedCycleIsListedOnce();
    void deleteRemovesEverythingOrNothing();
    void csvImportIsAllOrNothing();

private:
    qint32 add(const QString& name, bool group = false) {
        qint32 id = 0;
        const EditResult r = CreateCustomer(*db, name, group, {}, QDate(2026, 3, 17), &id);
        if (!r.ok())
            qWarning() << r.text();
        return id;
    }
    int count(const QString& sql, const QVariantList& params = {}) {
        return db->scalar(sql, params).toInt();
    }
    QStringList names(const QList<MemberEntry>& entries) {
        QStringList out;
        for (const MemberEntry& e : entries)
            out.append(e.display());
        return out;
    }

    std::unique_ptr<CTestFolders> folders;
    std::unique_ptr<Database> db;
    std::unique_ptr<CBillingFixture> fx;
};

void TestCustomers::init() {
    folders = std::make_unique<CTestFolders>();
    const QString path = TestDatabaseName(folders->filePath(u"customers.db"_s));
    CreateNewDatabase(path);
    db = std::make_unique<Database>();
    db->open(path);
    fx = std::make_unique<CBillingFixture>(*db);
}

void TestCustomers::cleanup() {
    fx.reset();
    db.reset();
    folders.reset();
}

void TestCustomers::createAppliesDefaultsAndRefusesTakenNames() {
    const qint32 bp = fx->addPlan(u"Basic"_s, QDate(2026, 1, 1), QDate(2027, 1, 1));
    const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
    CustomerDefaults d{bp, ip, 0, u"kestrel.example"_s};
    qint32 id = 0;
    QVERIFY(CreateCustomer(*db, u"Alice"_s, false, d, QDate(2026, 3, 17), &id).ok());
    const UserRow u = fx->customer(id);
    QCOMPARE(u.IdBillingPlan, bp);
    QCOMPARE(u.IdInvoicePlan, ip);
    QCOMPARE(u.AnniversaryDay, 17); // default 0: the day of the start date
    QCOMPARE(DbToDate(u.StartDate), QDate(2026, 3, 17));
    QCOMPARE(u.ActiveStatus, qint16(UserStatus::Active));
    QCOMPARE(LoadAddressPage(*db, id, AddressType::Billing).email, u"Alice@kestrel.example"_s);

    d.anniversaryDay = 5;
    QVERIFY(CreateCustomer(*db, u"Sales"_s, true, d, QDate(2026, 3, 17), &id).ok());
    QCOMPARE(fx->customer(id).AnniversaryDay, 5);
    QVERIFY(fx->customer(id).IsGroup);

    // Taken ignoring case (ASCII and beyond), empty, too long: refused, nothing written.
    const int before = count(u"SELECT COUNT(*) FROM Users"_s);
    add(u"Ærø"_s);
    for (const QString& name : {u"ALICE"_s, u"ærØ"_s, QString(), QString(41, QLatin1Char('x'))})
        QVERIFY(!CreateCustomer(*db, name, false, d, QDate(2026, 3, 17)).ok());
    QCOMPARE(CreateCustomer(*db, u"alice"_s, false, d, QDate(2026, 3, 17)).message,
             u"A customer with the logon name of 'alice' already exists."_s);
    QCOMPARE(count(u"SELECT COUNT(*) FROM Users"_s), before + 1);
    QVERIFY(CreateCustomer(*db, QString(40, QLatin1Char('x')), false, d, QDate(2026, 3, 17)).ok());
}

void TestCustomers::pagesSaveByTheirRules() {
    const qint32 id = add(u"bob"_s);
    // Addresses: clearing every field of Home deletes only that row.
    AddressPage home;
    home.address1 = u"1 Main St"_s;
    QVERIFY(SaveAddressPage(*db, id, AddressType::Home, home).ok());
    QCOMPARE(count(u"SELECT COUNT(*) FROM Address WHERE IdOwner = ?"_s, {id}), 2);
    QVERIFY(SaveAddressPage(*db, id, AddressType::Home, {}).ok());
    QCOMPARE(count(u"SELECT Type FROM Address WHERE IdOwner = ?"_s, {id}),
             int(AddressType::Billing));
    QVERIFY(SavePhonePage(*db, id, PhoneType::Fax, u"555"_s).ok());
    QVERIFY(SavePhonePage(*db, id, PhoneType::Fax, QString()).ok());
    QCOMPARE(count(u"SELECT COUNT(*) FROM Phone"_s), 0);

    // General: a bad date refuses the whole page.
    GeneralPage g = *LoadGeneralPage(*db, id);
    g.fullName = u"Bob B"_s;
    g.endDate = u"2026-13-40"_s;
    QVERIFY(!SaveGeneralPage(*db, id, g).ok());
    QCOMPARE(fx->customer(id).FullName, QString());
    g.endDate.clear();
    QVERIFY(SaveGeneralPage(*db, id, g).ok());
    QCOMPARE(fx->customer(id).EndDate, ZeroDate());

    // Card: both expiry fields empty store "/"; a bad month or year stores nothing.
    CardPage card{u"B"_s, u"4111111111111111"_s, {}, {}, {}};
    QVERIFY(SaveCardPage(*db, id, card).ok());
    QCOMPARE(fx->customer(id).ExpiryDate, u"/"_s);
    for (const auto& [m, y] :
         {std::pair{"13", "2030"}, std::pair{"7", "1996"}, std::pair{"", "2030"}}) {
        card.month = QLatin1String(m);
        card.year = QLatin1String(y);
        QVERIFY(!SaveCardPage(*db, id, card).ok());
    }
    QCOMPARE(fx->customer(id).ExpiryDate, u"/"_s);

    // Billing: Options rebuilt from the two bits alone; day out of range refused.
    UserRow u = fx->customer(id);
    u.Options = 0x40;
    fx->updateCustomer(u);
    QVERIFY(SaveBillingPage(*db, id, {0, 0, false, true, 31, false}).ok());
    QCOMPARE(fx->customer(id).Options, qint32(UserOption::Html));
    QVERIFY(!SaveBillingPage(*db, id, {0, 0, false, false, 32, false}).ok());
    QVERIFY(!SaveBillingPage(*db, id, {999, 0, false, false, 1, false}).ok());

    // Group: a cleared override clears its plan.
    const qint32 bp = fx->addPlan(u"Basic"_s, QDate(2026, 1, 1), QDate(2027, 1, 1));
    QVERIFY(SaveGroupPage(*db, id, {true, bp, false, 0, true, false}).ok());
    QCOMPARE(fx->customer(id).GroupOptions,
             qint32(GroupOption::OverrideBillingPlan | GroupOption::SummaryInvoice));
    QVERIFY(SaveGroupPage(*db, id, {false, bp, false, 0, false, false}).ok());
    QCOMPARE(fx->customer(id).IdBPOverride, 0);

    // Units: a row only while the count differs from the charge's default.
    ChargeRow fixed = CBillingFixture::fixed(u"Static IP"_s, "5");
    fixed.DefUnitQuantity = 1;
    const qint32 charge = fx->addCharge(fixed);
    fx->attach(bp, charge);
    QVERIFY(SaveBillingPage(*db, id, {bp, 0, false, false, 0, false}).ok());
    QVERIFY(SaveUnitCount(*db, id, charge, 1).ok());
    QCOMPARE(count(u"SELECT COUNT(*) FROM FixedUnitsJoin"_s), 0);
    QVERIFY(SaveUnitCount(*db, id, charge, 3).ok());
    QCOMPARE(LoadUnitCounts(*db, id).value(0).units, 3);
    QVERIFY(SaveUnitCount(*db, id, charge, 1).ok());
    QCOMPARE(count(u"SELECT COUNT(*) FROM FixedUnitsJoin"_s), 0);
}

void TestCustomers::expirySplit_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("year");
    QTest::newRow("7/98") << u"7/98"_s << u"07"_s << u"1998"_s;
    QTest::newRow("7/05") << u"7/05"_s << u"07"_s << u"2005"_s;
    QTest::newRow("12/2031") << u"12/2031"_s << u"12"_s << u"2031"_s;
    QTest::newRow("empty") << u"/"_s << u""_s << u""_s;
}

void TestCustomers::expirySplit() {
    QFETCH(QString, stored);
    QFETCH(QString, month);
    QFETCH(QString, year);
    QString m, y;
    SplitExpiry(stored, &m, &y);
    QCOMPARE(m, month);
    QCOMPARE(y, year);
}

void TestCustomers::membershipRefusesCyclesAndTurnsRows() {
    const qint32 a = add(u"A"_s);
    const qint32 b = add(u"B"_s);
    const qint32 c = add(u"C"_s);
    const qint32 x = add(u"x"_s);
    GroupTurn turn = GroupTurn::None;
    // A customer given members becomes a group: A > C > B.
    QVERIFY(SaveGroupMembers(*db, c, {b}, &turn).ok());
    QCOMPARE(turn, GroupTurn::BecameGroup);
    QVERIFY(SaveGroupMembers(*db, a, {c, x}).ok());
    QVERIFY(ContainsGroup(*db, a, b));
    QVERIFY(!ContainsGroup(*db, b, a));

    // B may not take A (A reaches B through C), nor itself; nothing changes.
    const EditResult refused = SaveGroupMembers(*db, b, {x, a});
    QCOMPARE(refused.message, u"Group 'A' contains group 'B'.  'A' cannot be added to 'B'."_s);
    QVERIFY(!SaveGroupMembers(*db, c, {c}).ok());
    QCOMPARE(names(GroupMembers(*db, c)), QStringList{u"B"_s});
    QVERIFY(!fx->customer(b).IsGroup);

    // A group is never among its own non-members; its members are not listed there either.
    QCOMPARE(names(GroupNonMembers(*db, a)), QStringList{u"B"_s});
    QCOMPARE(names(GroupMembers(*db, a)), (QStringList{u"(+)C"_s, u"x"_s}));

    // Emptying a group turns it back into a customer with its options cleared.
    UserRow cRow = fx->customer(c);
    cRow.GroupOptions = GroupOption::SummaryInvoice;
    fx->updateCustomer(cRow);
    QVERIFY(SaveGroupMembers(*db, c, {}, &turn).ok());
    QCOMPARE(turn, GroupTurn::BecameCustomer);
    QVERIFY(!fx->customer(c).IsGroup);
    QCOMPARE(fx->customer(c).GroupOptions, 0);
}

void TestCustomers::storedCycleIsListedOnce() {
    const qint32 a = add(u"A"_s, true);
    const qint32 b = add(u"B"_s, true);
    // Written by other means: A > B > A.
    db->execute(u"INSERT INTO UserGroupJoin (GroupId, UserLinkId) VALUES (?, ?)"_s, {a, b});
    db->execute(u"INSERT INTO UserGroupJoin (GroupId, UserLinkId) VALUES (?, ?)"_s, {b, a});
    const CustomerTree tree = BuildCustomerTree(*db);
    QCOMPARE(tree.groups.size(), 2);
    const CustomerTreeNode& top = tree.groups.at(0);
    QCOMPARE(top.entry.name, u"A"_s);
    QCOMPARE(top.children.size(), 1);
    QCOMPARE(top.children.at(0).children.size(), 1); // B > A, shown once without members
    QVERIFY(top.children.at(0).children.at(0).children.isEmpty());
    QVERIFY(!tree.warnings.isEmpty());
    QVERIFY(!ContainsGroup(*db, a, add(u"outsider"_s)));
}

void TestCustomers::deleteRemovesEverythingOrNothing() {
    const qint32 plan = fx->addPlan(u"April"_s, QDate(2024, 4, 1), QDate(2024, 5, 1));
    fx->attach(plan, fx->addCharge(CBillingFixture::fixed(u"Fee"_s, "10")));
    const qint32 ip = fx->addInvoicePlan(u"Plain"_s);
    const qint32 group = add(u"G"_s);
    const qint32 id = fx->addCustomer(u"carol"_s, plan, ip);
    fx->addCustomer(u"dave"_s, plan, ip);
    QVERIFY(SaveGroupMembers(*db, group, {id}).ok());
    AddressPage work;
    work.email = u"c@w"_s;
    QVERIFY(SaveAddressPage(*db, id, AddressType::Work, work).ok());
    QVERIFY(SavePhonePage(*db, id, PhoneType::Home, u"1"_s).ok());
    fx->setFixedUnits(fx->addCharge(CBillingFixture::fixed(u"IP"_s, "1")), id, 4);
    for (const char* who : {"carol", "dave"})
        fx->addSession(QLatin1String(who), CBillingFixture::at(2024, 4, 10, 12), 600);
    QList<qint32> invoices;
    for (int i = 0; i < 2; ++i) {
        CInvoiceDoc doc(*db);
        QCOMPARE(doc.Create(id, plan, ip, DbFromDate(2024, 5, 2), true, false), 39);
        invoices.append(doc.InvoiceNum());
    }
    const auto remaining = [&] {
        return count(u"SELECT COUNT(*) FROM Users WHERE Id = ?"_s, {id}) +
               count(u"SELECT COUNT(*) FROM Invoices"_s) +
               count(u"SELECT COUNT(*) FROM BillingPlans WHERE IdInvoice <> 0"_s) +
               count(u"SELECT COUNT(*) FROM Events WHERE Username = 'carol'"_s) +
               count(u"SELECT COUNT(*) FROM UserGroupJoin"_s) +
               count(u"SELECT COUNT(*) FROM Address WHERE IdOwner = ?"_s, {id}) +
               count(u"SELECT COUNT(*) FROM Phone"_s) +
               count(u"SELECT COUNT(*) FROM FixedUnitsJoin"_s);
    };
    const int before = remaining();

    // The second invoice's deletion fails: the customer and all that hangs off it stay.
    RefuseDeletes(*db, u"Invoices"_s, u"old.InvoiceNum = %1"_s.arg(invoices.at(1)), u"kept"_s);
    const EditResult failed = DeleteCustomer(*db, id);
    QCOMPARE(failed.message, u"Error deleting user records"_s);
    QVERIFY(failed.detail.contains(u"kept"_s));
    QCOMPARE(remaining(), before);

    AllowDeletes(*db, u"Invoices"_s);
    QVERIFY(DeleteCustomer(*db, id).ok());
    QCOMPARE(remaining(), 0);
    QCOMPARE(count(u"SELECT COUNT(*) FROM Events WHERE Username = 'dave'"_s), 1);
    QCOMPARE(DeleteCustomer(*db, id).message, u"User not found."_s);
}

void TestCustomers::csvImportIsAllOrNothing() {
    fx->addPlan(u"Basic"_s, QDate(2026, 1, 1), QDate(2027, 1, 1));
    add(u"taken"_s);
    const auto import = [&](const QByteArray& text) {
        QBuffer buffer;
        buffer.setData(text);
        buffer.open(QIODevice::ReadOnly);
        return ImportCustomersCsv(*db, buffer, {0, 0, 0, u"isp.example"_s}, QDate(2026, 3, 17));
    };
    const int users = count(u"SELECT COUNT(*) FROM Users"_s);
    // Bad rows in the middle (line 4 spans two lines): each reported, nothing stored.
    const CsvImportResult bad = import("Username,FullName,BillingPlan,Billing.City\r\n"
                                       "ann,\"Ann, A.\",basic,Kiel\r\n"
                                       "bob,Bob,Gold,\r\n"
                                       "cyd,\"two\nlines\",,\r\n"
                                       "ANN,again,,\r\n"
                                       "Taken,x,,\r\n"
                                       "eve,Eve,,\r\n");
    QCOMPARE(bad.stored, 0);
    QCOMPARE(bad.problems.size(), 3);
    QCOMPARE(bad.problems.at(0).line, 3);
    QCOMPARE(bad.problems.at(1).line, 6);
    QCOMPARE(bad.problems.at(2).line, 7);
    QCOMPARE(count(u"SELECT COUNT(*) FROM Users"_s), users);
    QCOMPARE(count(u"SELECT COUNT(*) FROM Address"_s), users);

    // Windows-1252 text, all rows good: stored with their Billing addresses.
    const QByteArray good = "Username,FullName,Billing.City,Phone.Fax\n"
                            "ren\xe9,Ren\xe9,K\xf6ln,\n"
                            "zoe,Zo\xeb,,42\n";
    const CsvImportResult ok = import(good);
    QVERIFY2(ok.ok(), qPrintable(ok.problems.value(0).reason + ok.failure));
    QCOMPARE(ok.stored, 2);
    const qint32 rene = FindCustomerByName(*db, u"RENÉ"_s);
    QVERIFY(rene != 0);
    QCOMPARE(LoadAddressPage(*db, rene, AddressType::Billing).city, u"Köln"_s);
    QCOMPARE(LoadAddressPage(*db, rene, AddressType::Billing).email, u"rené@isp.example"_s);
    // The same file again: every name refused, nothing stored.
    QCOMPARE(import(good).problems.size(), 2);
    QCOMPARE(count(u"SELECT COUNT(*) FROM Users"_s), users + 2);
}

QTEST_GUILESS_MAIN(TestCustomers)
#include "tst_customers.moc"
