#include "core/billing/invoiceplanpage.h"

#include "core/billing/plancatalog.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

namespace {
const char* const kSaveError = "Error saving invoicing plan properties";
}

InvoicingPlanPage InvoicingPlanPage::fromRow(const InvoicePlanRow& row) {
    InvoicingPlanPage p;
    p.name = row.Name;
    p.language = row.Language;
    p.dateFormat = row.DateFormat;
    p.html = (row.Options & InvoicePlanOption::Html) != 0;
    p.showDetails = row.ShowDetails;
    p.showAddress = row.ShowAddress;
    p.showInvoiceNum = row.ShowInvoiceNum;
    p.heading = row.Heading;
    p.message = row.Message;
    p.footer = row.Footer;
    p.bitmap = row.Bitmap;
    p.createIfZero = row.CreateIfZero;
    p.viewOnCreate = row.ViewOnCreate;
    p.printOnCreate = row.PrintOnCreate;
    p.emailOnCreate = row.EmailOnCreate;
    p.emailServer = row.EmailServer;
    p.emailSender = row.EmailSender;
    p.emailSubject = row.EmailSubject;
    return p;
}

QString InvoicingPlanPage::validate(Field* field) const {
    if (field)
        *field = NameField;
    return name.trimmed().isEmpty() ? QStringLiteral("Please enter a name.") : QString();
}

void InvoicingPlanPage::toRow(InvoicePlanRow& row) const {
    row.Name = name.trimmed();
    row.Language = language;
    row.DateFormat = dateFormat;
    // Option bits this page does not know are kept.
    row.Options = html ? (row.Options | InvoicePlanOption::Html)
                       : (row.Options & ~qint32(InvoicePlanOption::Html));
    row.ShowDetails = showDetails;
    row.ShowAddress = showAddress;
    row.ShowInvoiceNum = showInvoiceNum;
    row.Heading = heading;
    row.Message = message;
    row.Footer = footer;
    row.Bitmap = bitmap;
    row.CreateIfZero = createIfZero;
    row.ViewOnCreate = viewOnCreate;
    row.PrintOnCreate = printOnCreate;
    row.EmailOnCreate = emailOnCreate;
    row.EmailServer = emailServer;
    row.EmailSender = emailSender;
    row.EmailSubject = emailSubject;
}

EditResult InvoicingPlanPage::save(Database& db, qint32 planId) const {
    if (const QString problem = validate(); !problem.isEmpty())
        return EditResult::failed(problem);
    try {
        if (const QString problem = InvoicingPlanNameProblem(db, name.trimmed(), planId);
            !problem.isEmpty())
            return EditResult::failed(problem);
        Transaction transaction(db);
        CInvoicePlanRecord rec(db);
        rec.openWhere(QStringLiteral("[Id] = ? AND [IdInvoice] = 0"), {planId});
        if (rec.isEOF())
            return EditResult::failed(QLatin1String(kSaveError),
                                      QStringLiteral("The invoicing plan no longer exists."));
        rec.edit();
        toRow(rec);
        rec.update();
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(QLatin1String(kSaveError), e.message());
    }
    return {};
}
