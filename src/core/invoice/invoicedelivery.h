#pragma once
#include "core/billing/invoicedoc.h"
#include "core/invoice/invoiceprint.h"
#include "core/invoice/invoicerep.h"
#include "core/invoice/invoicerepdata.h"
#include "core/mail/mimemessage.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class Database;

// Delivery of stored invoices: the send options of an invoicing plan (e-mail, then print),
// unattended printing through a printer interface, and the e-mail of one invoice.

// One invoice loaded and rendered for delivery: the document, the page data and both pages.
struct DeliveryInvoice {
    explicit DeliveryInvoice(Database& db) : doc(db) {}
    CInvoiceDoc doc;
    InvoiceRepData data;
    CInvoiceRep rep;
};

// Loads invoice `invoiceNum` (with `plan` replacing its own invoicing plan when given) and
// renders both pages in memory. Null when the invoice could not be loaded (the load logged
// its code).
std::unique_ptr<DeliveryInvoice> LoadInvoiceForDelivery(Database& db, qint32 invoiceNum,
                                                        const InvoicePlanRow* plan = nullptr);

// --- printing ---

// The page printing chooses for `plan`: the page of the HTML decision for the plan and the
// customer, whatever the window shows.
InvoicePrintJob PrintJobFor(const DeliveryInvoice& inv, const InvoicePlanRow& plan);

// Unattended printing of a rendered invoice with the page the HTML decision of `plan`
// chooses (nullptr printer: DefaultInvoicePrinter()). Shows "Printing invoice for %s..."
// meanwhile. True on failure, with the printer's reason in `error`.
[[nodiscard]] bool PrintInvoice(const DeliveryInvoice& inv, const InvoicePlanRow& plan,
                                IInvoicePrinter* printer = nullptr, QString* error = nullptr);

// --- e-mail ---

// Everything the e-mail of a rendered invoice needs, read from the document, its pages, the
// customer's and the members' billing addresses (for a summary sent to its members).
MailRequest MailRequestFor(Database& db, const DeliveryInvoice& inv, const InvoicePlanRow& plan);
// Builds and sends the e-mail of one invoice with `plan`. True on failure.
[[nodiscard]] bool EmailInvoice(Database& db, const DeliveryInvoice& inv,
                                const InvoicePlanRow& plan);

// --- send options ---

// Messages of the send options, as shown.
namespace SendOptionsText {
inline constexpr const char* OverridePlanUnreadable = "Unable to open override invoicing plan.";
inline constexpr const char* ViewOnly =
    "The invoicing plan has only the 'view' 'send' option selected.";
inline constexpr const char* NoSendOptions = "The invoicing plan has no 'send' options selected.";
inline constexpr const char* ZeroDue =
    "The invoicing plan has no balance due and the invoicing plan says don't send it.";
inline constexpr const char* Failed = "Error executing invoicing plan.";
} // namespace SendOptionsText

// What the send options of one invoice came to.
enum class SendResult {
    Done,    // e-mailed and/or printed as the plan asks
    Refused, // the plan (or the zero-due rule) says nothing is to be sent; message shown
    Failed,  // the invoice or the override plan could not be read, or e-mail / print failed
    Aborted, // Esc (logged with 40)
};

// Steps of the send options after the plan has been chosen, for an invoice already loaded
// and rendered: the refusals (shown as messages), then, inside the busy state (flags 29;
// joins a run's busy state when one is running), e-mail (failure logged 20) and, unless
// interrupted (40), print (failure logged 21). An unexpected error logs 16 and shows
// "Error executing invoicing plan.". The end-of-operation report is made only when this
// call began the busy state.
SendResult SendLoadedInvoice(Database& db, const DeliveryInvoice& inv,
                             const InvoicePlanRow* overridePlan,
                             IInvoicePrinter* printer = nullptr);

// Sends one stored invoice by number without any dialog: overridePlanId 0 uses the invoice's
// own frozen invoicing plan, another id the template plan with that id ("Unable to open
// override invoicing plan." when it cannot be read). Used by the invoice runs and the command
// line. Returns true on failure (Failed or Aborted); a refusal is not a failure.
[[nodiscard]] bool SendInvoice(Database& db, qint32 invoiceNum, qint32 overridePlanId = 0,
                               IInvoicePrinter* printer = nullptr, SendResult* result = nullptr);

// The send dialog: offers an override invoicing plan (templates only, "None" = 0). False on
// Cancel; otherwise overridePlanId holds the choice.
using SendPlanChooser = std::function<bool(qint32& overridePlanId)>;

// The View/print/send command of an invoice window: the send dialog, then SendInvoice's
// steps. Cancel in the dialog gives Refused.
SendResult ExecuteSendOptions(Database& db, qint32 invoiceNum, const SendPlanChooser& chooser,
                              IInvoicePrinter* printer = nullptr);
