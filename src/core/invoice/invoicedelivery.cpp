#include "core/invoice/invoicedelivery.h"

#include "core/app/busystate.h"
#include "core/app/operationlog.h"
#include "core/app/oplog.h"
#include "core/app/userinterface.h"
#include "core/db/addressrecord.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"
#include "core/db/invoiceplanrecord.h"
#include "core/db/userrecord.h"

#include <QBuffer>
#include <QFileInfo>
#include <exception>

namespace {
// The invoice's own frozen invoicing plan; false when it cannot be read.
bool readOwnPlan(Database& db, qint32 invoiceNum, InvoicePlanRow& out) {
    try {
        CInvoicePlanRecord plan(db);
        if (!plan.findByInvoice(invoiceNum))
            return false;
        out = plan.row();
        return true;
    } catch (const DbException&) {
        return false;
    }
}

// A template invoicing plan by id; false when it cannot be read or is a frozen copy.
bool readTemplatePlan(Database& db, qint32 id, InvoicePlanRow& out) {
    try {
        CInvoicePlanRecord plan(db);
        if (!plan.findById(id) || plan.IdInvoice != 0)
            return false;
        out = plan.row();
        return true;
    } catch (const DbException&) {
        return false;
    }
}

// The billing e-mail address of customer `id`; false when the address row cannot be read.
bool readBillingEmail(Database& db, qint32 id, QString& email) {
    try {
        CAddressRecord address(db);
        if (!address.findByOwner(id, 0))
            return false;
        email = address.EMail;
        return true;
    } catch (const DbException&) {
        return false;
    }
}
} // namespace

std::unique_ptr<DeliveryInvoice> LoadInvoiceForDelivery(Database& db, qint32 invoiceNum,
                                                        const InvoicePlanRow* plan) {
    auto inv = std::make_unique<DeliveryInvoice>(db);
    if (inv->doc.Load(invoiceNum, plan) != 0)
        return nullptr;
    inv->data = InvoiceRepDataFromDoc(inv->doc, db);
    inv->rep.Render(inv->data);
    ui().setStatusText(QString());
    return inv;
}

InvoicePrintJob PrintJobFor(const DeliveryInvoice& inv, const InvoicePlanRow& plan) {
    InvoicePrintJob job;
    job.invoiceNum = inv.doc.InvoiceNum();
    job.logonName = inv.data.customer.Username;
    job.title = inv.rep.Title();
    job.html = InvoiceUsesHtml(plan.Options, inv.data.customer.Options);
    job.page = job.html ? inv.rep.Html() : inv.rep.TextPage();
    return job;
}

bool PrintInvoice(const DeliveryInvoice& inv, const InvoicePlanRow& plan, IInvoicePrinter* printer,
                  QString* error) {
    IInvoicePrinter& target = printer ? *printer : DefaultInvoicePrinter();
    ui().setStatusText(
        QStringLiteral("Printing invoice for %1...").arg(inv.data.customer.Username));
    QString reason;
    const bool failed = target.printPage(PrintJobFor(inv, plan), &reason);
    ui().setStatusText(QString());
    if (error)
        *error = reason;
    return failed;
}

MailRequest MailRequestFor(Database& db, const DeliveryInvoice& inv, const InvoicePlanRow& plan) {
    const UserRow& customer = inv.data.customer;
    MailRequest r;
    r.server = plan.EmailServer;
    r.sender = plan.EmailSender;
    r.subject = plan.EmailSubject;
    r.logonName = customer.Username;
    r.fullName = customer.FullName;
    r.billingAddressRead = readBillingEmail(db, customer.Id, r.billingEmail);
    r.textPart = inv.rep.PlainText();
    r.html = InvoiceUsesHtml(plan.Options, customer.Options);
    r.htmlPage = inv.rep.Html();
    // The page names the logo by its absolute path; the image part must carry the same name.
    if (!plan.Bitmap.isEmpty())
        r.logoPath = QFileInfo(plan.Bitmap).absoluteFilePath();

    if (plan.Options & InvoicePlanOption::PdfAttachment) {
        // The same page printing produces. A page that cannot be rendered leaves the PDF
        // empty; EmailInvoice then refuses to send a message without its promised file.
        QBuffer pdf(&r.pdf);
        QString reason;
        if (!pdf.open(QIODevice::WriteOnly) ||
            RenderInvoicePdf(PrintJobFor(inv, plan), pdf, &reason)) {
            r.pdf.clear();
            r.pdfFailure =
                reason.isEmpty() ? QStringLiteral("The PDF could not be written.") : reason;
        }
        r.pdfName = QStringLiteral("Invoice %1.pdf").arg(inv.doc.InvoiceNum());
    }

    const InvoiceRow& invoice = inv.doc.Invoice();
    r.sendToMembers =
        (invoice.Flags & InvoiceFlag::Summary) && (invoice.Flags & InvoiceFlag::SendToMembers);
    if (r.sendToMembers) {
        for (qint32 id : inv.doc.Members()) {
            MailMember m;
            m.logonName = inv.data.memberName(id);
            if (m.logonName.isEmpty()) {
                try {
                    CUserRecord user(db);
                    if (user.findById(id))
                        m.logonName = user.Username;
                } catch (const DbException&) {
                }
            }
            if (!readBillingEmail(db, id, m.email))
                m.email.clear();
            r.members.append(m);
        }
    }
    return r;
}

bool EmailInvoice(Database& db, const DeliveryInvoice& inv, const InvoicePlanRow& plan) {
    const MailRequest request = MailRequestFor(db, inv, plan);
    if (!request.billingAddressRead) {
        LogText(request.logonName,
                QStringLiteral("The customer's billing address could not be read."),
                ResultCode::Emailing);
        return true;
    }
    if (!request.pdfFailure.isEmpty()) {
        LogText(request.logonName,
                QStringLiteral("E-mail not sent: the invoice's PDF could not be made. ") +
                    request.pdfFailure,
                ResultCode::MailError);
        return true;
    }
    return BuildMailParts(request);
}

bool RefuseSending(const InvoicePlanRow& plan, bool ownPlanCreateIfZero, const Currency& totalDue) {
    if (!plan.EmailOnCreate && !plan.PrintOnCreate) {
        ui().showMessage(QString::fromLatin1(plan.ViewOnCreate ? SendOptionsText::ViewOnly
                                                               : SendOptionsText::NoSendOptions),
                         MessageIcon::Exclamation);
        return true;
    }
    if (totalDue.units() == 0 && !ownPlanCreateIfZero) {
        ui().showMessage(QString::fromLatin1(SendOptionsText::ZeroDue), MessageIcon::Exclamation);
        return true;
    }
    return false;
}

SendResult SendLoadedInvoice(Database& db, const DeliveryInvoice& inv, IInvoicePrinter* printer) {
    const InvoicePlanRow& plan = inv.doc.InvoicePlan();
    const QString name = inv.data.customer.Username;

    // The invoice's own plan decides whether a zero amount is sent, whatever plan sends it.
    InvoicePlanRow own;
    if (!readOwnPlan(db, inv.doc.InvoiceNum(), own)) {
        LogResult(name, ResultCode::LoadingInvoice);
        ui().showMessage(QString::fromLatin1(SendOptionsText::Failed), MessageIcon::Exclamation);
        return SendResult::Failed;
    }
    if (RefuseSending(plan, own.CreateIfZero, inv.doc.Invoice().TotalDue))
        return SendResult::Refused;

    const bool ownsProcess = !IsProcessRunning();
    SendResult result = SendResult::Done;
    bool logged = false;
    try {
        CProcessScope busy(QString(), PROC_DEFAULT);
        if (plan.EmailOnCreate && EmailInvoice(db, inv, plan)) {
            LogResult(name, ResultCode::Emailing);
            logged = true;
            result = SendResult::Failed;
        }
        if (CheckInterrupt()) {
            LogResult(name, ResultCode::Aborted);
            logged = true;
            result = SendResult::Aborted;
        } else if (plan.PrintOnCreate) {
            QString reason;
            if (PrintInvoice(inv, plan, printer, &reason)) {
                LogText(name,
                        reason.isEmpty()
                            ? ResultText(ResultCode::Printing)
                            : ResultText(ResultCode::Printing) + QLatin1Char(' ') + reason,
                        ResultCode::Printing);
                logged = true;
                result = SendResult::Failed;
            }
        }
    } catch (const std::exception& e) {
        if (!logged)
            LogText(name,
                    ResultText(ResultCode::SendOptions) + QLatin1Char(' ') +
                        QString::fromUtf8(e.what()),
                    ResultCode::SendOptions);
        ui().showMessage(QString::fromLatin1(SendOptionsText::Failed), MessageIcon::Exclamation);
        result = SendResult::Failed;
    }
    if (ownsProcess)
        ReportLogOutcome(true, -1, false);
    return result;
}

namespace {
SendResult sendByNumber(Database& db, qint32 invoiceNum, qint32 overridePlanId,
                        IInvoicePrinter* printer, bool tellFailedLoad) {
    InvoicePlanRow overridePlan;
    if (overridePlanId != 0 && !readTemplatePlan(db, overridePlanId, overridePlan)) {
        ui().showMessage(QString::fromLatin1(SendOptionsText::OverridePlanUnreadable),
                         MessageIcon::Exclamation);
        return SendResult::Failed;
    }
    // A failed load has logged its code under the customer.
    auto inv = LoadInvoiceForDelivery(db, invoiceNum, overridePlanId ? &overridePlan : nullptr);
    if (!inv) {
        if (tellFailedLoad)
            ui().showMessage(QString::fromLatin1(SendOptionsText::Failed),
                             MessageIcon::Exclamation);
        return SendResult::Failed;
    }
    return SendLoadedInvoice(db, *inv, printer);
}
} // namespace

bool SendInvoice(Database& db, qint32 invoiceNum, qint32 overridePlanId, IInvoicePrinter* printer,
                 SendResult* result) {
    const SendResult r = sendByNumber(db, invoiceNum, overridePlanId, printer, false);
    if (result)
        *result = r;
    return r == SendResult::Failed || r == SendResult::Aborted;
}

SendResult ExecuteSendOptions(Database& db, qint32 invoiceNum, const SendPlanChooser& chooser,
                              IInvoicePrinter* printer) {
    qint32 overridePlanId = 0;
    if (chooser && !chooser(overridePlanId))
        return SendResult::Refused;
    return sendByNumber(db, invoiceNum, overridePlanId, printer, true);
}
