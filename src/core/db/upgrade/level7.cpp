#include "core/app/resultcodes.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbdatetime.h"
#include "core/db/schema.h"
#include "core/db/upgrade/billingplanfile.h"
#include "core/db/upgrade/fieldconversion.h"
#include "core/db/upgrade/upgradecontext.h"
#include "core/db/upgrade/upgradelevels.h"

#include <QDate>

namespace {

const QString kUsers = QStringLiteral("Users");
const QString kInvoices = QStringLiteral("Invoices");
const QString kCharges = QStringLiteral("Charges");

// The first layout kept each customer's address in Users; it becomes the customer's main
// address (type 0). A customer with no address text at all gets no Address row.
void moveAddresses(UpgradeContext& ctx) {
    Database& db = ctx.db();
    Statement read = db.prepare(
        QStringLiteral("SELECT DISTINCTROW Users.Id, Users.Address1, Users.Address2, Users.City, "
                       "Users.Province, Users.PostalCode, Users.EMail FROM Users"));
    Statement insert = db.prepare(QStringLiteral(
        "INSERT INTO Address (IdOwner, Type, Address1, Address2, City, Province, PostalCode, "
        "EMail) VALUES (?, 0, ?, ?, ?, ?, ?, ?)"));
    int moved = 0;
    while (read.next()) {
        QVariantList values{read.value(0)};
        bool empty = true;
        for (int i = 1; i <= 6; ++i) {
            const QString text = read.value(i).toString();
            empty = empty && text.isEmpty();
            values << text;
        }
        if (empty)
            continue;
        insert.bindAll(values);
        insert.exec();
        ++moved;
    }
    ctx.note(QStringLiteral("move %1 customer addresses to Address").arg(moved));
}

// The day of the month of the last bill becomes the anniversary day. A zero date, a Null and
// a value that is no date at all give 0, which the billing reads as the start day.
void setAnniversaryDays(UpgradeContext& ctx) {
    Database& db = ctx.db();
    QList<QPair<QVariant, int>> days;
    {
        Statement read =
            db.prepare(QStringLiteral("SELECT DISTINCTROW Users.Id, Users.LastBill FROM Users"));
        while (read.next()) {
            const QVariant value = read.value(1);
            int day = 0;
            if (value.canConvert<DbDateTime>()) {
                const DbDateTime lastBill = value.value<DbDateTime>();
                if (lastBill.isValid() && lastBill.days() != 0) {
                    const QDate date = DbToDate(lastBill);
                    day = date.isValid() ? date.day() : 0;
                }
            }
            days.append({read.value(0), day});
        }
    }
    Statement update =
        db.prepare(QStringLiteral("UPDATE Users SET AnniversaryDay = ? WHERE Id = ?"));
    for (const auto& [id, day] : days) {
        update.bindAll({day, id});
        update.exec();
    }
    ctx.note(QStringLiteral("set Users.AnniversaryDay from Users.LastBill"));
}

void createTableIfMissing(UpgradeContext& ctx, int step, const QString& table) {
    ctx.mark(7, step);
    if (!ctx.tableExists(table))
        ctx.createCurrentTable(table);
}

} // namespace

int UpgradeLevel7(UpgradeContext& ctx) {
    if (ctx.fieldExists(kUsers, QStringLiteral("HRate")) && !ctx.consent(3))
        return SystemResult::Cancelled;

    createTableIfMissing(ctx, 0, QStringLiteral("UserGroupJoin"));
    createTableIfMissing(ctx, 2, QStringLiteral("Address"));
    createTableIfMissing(ctx, 6, QStringLiteral("Phone"));

    ctx.mark(7, 8);
    if (!ctx.fieldExists(kUsers, QStringLiteral("StartDate"))) {
        for (const char* f :
             {"EndDate", "StartDate", "CCCompany", "CCNameOnCard", "GotFirstInvoice"})
            ctx.addCurrentField(kUsers, QString::fromLatin1(f));
        ctx.mark(7, 9);
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Users SET Users.GotFirstInvoice = 1"));
        ctx.mark(7, 10);
        moveAddresses(ctx);
        ctx.mark(7, 11);
        for (const char* f :
             {"Address1", "Address2", "City", "Province", "PostalCode", "EMail", "CommentId"})
            ctx.dropField(kUsers, QString::fromLatin1(f));
    }

    createTableIfMissing(ctx, 12, QStringLiteral("BillingPlans"));
    createTableIfMissing(ctx, 14, QStringLiteral("Charges"));
    createTableIfMissing(ctx, 16, QStringLiteral("BPChargeJoin"));

    ctx.mark(7, 18);
    if (!ctx.fieldExists(kUsers, QStringLiteral("IdBillingPlan"))) {
        ctx.addCurrentField(kUsers, QStringLiteral("IdBillingPlan"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Users SET Users.IdBillingPlan = 0"));
        ctx.addCurrentField(kUsers, QStringLiteral("IdInvoicePlan"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Users SET Users.IdInvoicePlan = 0"));
        for (const char* f : {"Megabyte", "AmountDue", "PastDue", "ServiceExpiry"})
            ctx.dropField(kUsers, QString::fromLatin1(f));
    }

    createTableIfMissing(ctx, 19, QStringLiteral("InvoicePlans"));

    ctx.mark(7, 22);
    if (ctx.fieldExists(kInvoices, QStringLiteral("Username"))) {
        ctx.addCurrentField(kInvoices, QStringLiteral("Taxes"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Invoices SET Invoices.Taxes = "
                                "[Invoices].[Tax1]+[Invoices].[Tax2]"));
        ctx.mark(7, 23);
        for (const char* f :
             {"PrevBalance", "Prepaying", "TaxableGross", "IdUser", "OpeningDate", "BillingDate"})
            ctx.addCurrentField(kInvoices, QString::fromLatin1(f));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Invoices INNER JOIN Users ON "
                                "Invoices.Username = Users.Username SET Invoices.IdUser = "
                                "[Users].[Id]"));
        // Invoices of customers that no longer exist.
        ctx.exec(QStringLiteral("DELETE FROM Invoices WHERE Invoices.InvoiceNum NOT IN (SELECT "
                                "DISTINCTROW Invoices.InvoiceNum FROM Invoices INNER JOIN Users "
                                "ON Invoices.IdUser = Users.Id)"));
        ctx.createIndex(kInvoices, QStringLiteral("IdUser"));
        ctx.dropField(kInvoices, QStringLiteral("Username"));
    }

    createTableIfMissing(ctx, 24, QStringLiteral("ChargeChargeJoin"));

    ctx.mark(7, 26);
    if (!ctx.fieldExists(kInvoices, QStringLiteral("Version"))) {
        ctx.dropField(kInvoices, QStringLiteral("PayCredit"));
        ctx.addCurrentField(kInvoices, QStringLiteral("Version"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Invoices SET Invoices.Version = %1").arg(0));
    }

    ctx.mark(7, 27);
    if (!ctx.fieldExists(kUsers, QStringLiteral("GroupOptions"))) {
        for (const char* f : {"GroupOptions", "IsGroup", "Comment"})
            ctx.addCurrentField(kUsers, QString::fromLatin1(f));
        ctx.mark(7, 28);
        if (ctx.tableExists(QStringLiteral("Comments"))) {
            ctx.db().deleteTable(QStringLiteral("Comments"));
            ctx.note(QStringLiteral("delete table Comments"));
        }
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Users SET Users.GroupOptions = 0"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Users SET Users.IsGroup = 0"));
    }

    ctx.mark(7, 29);
    ctx.addCurrentField(kCharges, QStringLiteral("Options"));

    createTableIfMissing(ctx, 30, QStringLiteral("FixedUnitsJoin"));

    ctx.mark(7, 32);
    if (ctx.fieldExists(kUsers, QStringLiteral("HRate")))
        WriteBillingPlansAndDropRates(ctx);

    ctx.mark(7, 33);
    if (!ctx.fieldExists(kInvoices, QStringLiteral("NewCharges"))) {
        ctx.addCurrentField(kInvoices, QStringLiteral("NewCharges"));
        ctx.mark(7, 34);
        ctx.exec(QStringLiteral(
            "UPDATE DISTINCTROW Invoices SET Invoices.NewCharges = Invoices.TotalDue"));
    }

    ctx.mark(7, 35);
    if (!ctx.fieldExists(kUsers, QStringLiteral("AnniversaryDay"))) {
        ctx.addCurrentField(kUsers, QStringLiteral("AnniversaryDay"));
        ctx.mark(7, 36);
        if (ctx.fieldExists(kUsers, QStringLiteral("LastBill")))
            setAnniversaryDays(ctx);
        ctx.mark(7, 37);
        ctx.dropField(kUsers, QStringLiteral("LastBill"));
    }

    ctx.mark(7, 38);
    if (!ctx.fieldExists(kInvoices, QStringLiteral("Flags"))) {
        ctx.addCurrentField(kInvoices, QStringLiteral("Flags"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Invoices SET Invoices.Flags = 0"));
    }

    ctx.mark(7, 39);
    if (!ctx.fieldExists(kUsers, QStringLiteral("IdIPOverride"))) {
        ctx.addCurrentField(kUsers, QStringLiteral("IdIPOverride"));
        ctx.addCurrentField(kUsers, QStringLiteral("IdBPOverride"));
        ctx.exec(QStringLiteral(
            "UPDATE DISTINCTROW Users SET Users.IdIPOverride = 0, Users.IdBPOverride = 0"));
    }

    ctx.mark(7, 40);
    ctx.addCurrentField(kInvoices, QStringLiteral("Users"));

    ctx.mark(7, 41);
    if (!ctx.fieldExists(QStringLiteral("BillingPlans"), QStringLiteral("Options"))) {
        ctx.addCurrentField(QStringLiteral("BillingPlans"), QStringLiteral("Options"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW BillingPlans SET BillingPlans.Options = 0"));
    }

    ctx.mark(7, 42);
    if (!ctx.fieldExists(kInvoices, QStringLiteral("Payments"))) {
        ctx.addCurrentField(kInvoices, QStringLiteral("Payments"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Invoices SET Invoices.Payments = 0"));
    }

    ctx.mark(7, 43);
    if (!ctx.fieldExists(kCharges, QStringLiteral("FilterString"))) {
        ctx.addCurrentField(kCharges, QStringLiteral("FilterString"));
        ctx.addCurrentField(kCharges, QStringLiteral("FilterValue"));
        ctx.mark(7, 44);
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Charges SET Charges.FilterValue = 0"));
    }

    ctx.mark(7, 45);
    if (!ctx.fieldExists(kCharges, QStringLiteral("DefUnitQuantity"))) {
        ctx.addCurrentField(kCharges, QStringLiteral("DefUnitQuantity"));
        ctx.exec(QStringLiteral("UPDATE DISTINCTROW Charges SET Charges.DefUnitQuantity = 1"));
    }

    ctx.mark(7, 46);
    ctx.exec(QStringLiteral("UPDATE DISTINCTROW Invoices SET Invoices.TotalDue = "
                            "Invoices.NewCharges + Invoices.PrevBalance - Invoices.Payments "
                            "WHERE Invoices.TotalDue = 0"));

    ctx.mark(7, 47);
    if (!ctx.fieldExists(kInvoices, QStringLiteral("Tax1"))) {
        ctx.addCurrentField(kInvoices, QStringLiteral("Tax1"));
        ctx.addCurrentField(kInvoices, QStringLiteral("Tax2"));
        ctx.exec(
            QStringLiteral("UPDATE DISTINCTROW Invoices SET Invoices.Tax1 = 0, Invoices.Tax2 = 0"));
    }

    ctx.mark(7, 48);
    const QString events = QStringLiteral("Events");
    const FieldDef port = ctx.db().fieldInfo(events, QStringLiteral("Port"));
    if (port.kind == FieldKind::Text && port.size == 10)
        ConvertField(ctx, events, CurrentField(events, QStringLiteral("Port")));
    return 0;
}
