#pragma once
#include "core/billing/invoicedoc.h"
#include "core/db/addressrecord.h"
#include "core/db/chargerecord.h"
#include "core/db/invoiceplanrecord.h"
#include "core/db/invoicerecord.h"
#include "core/db/userrecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

class Database;

// Everything the invoice page shows of one loaded invoice: the invoice row, its frozen plan
// copies and charges, the sessions listed, the customer of record with its billing address,
// and the logon names of the customers the sessions and charges belong to.
struct InvoiceRepData {
    UserRow customer;                  // customer of record (the group of a summary invoice)
    std::optional<AddressRow> address; // its billing address (Type 0), when it could be read
    InvoiceRow invoice;
    qint32 billingPlanId = 0; // Id of the invoice's frozen billing plan copy
    InvoicePlanRow plan;      // the invoicing plan the page is written with
    QList<ChargeRow> charges; // frozen charge copies in stored order
    QList<InvoiceSession> sessions;
    QHash<qint32, QString> memberNames; // logon names by Users.Id
    qint64 periodStart = 0;             // local seconds since 1970
    qint64 periodEnd = 0;
    DbDateTime billingDate;
    bool summary = false;

    // The logon name of customer `id`; empty when unknown.
    QString memberName(qint32 id) const { return memberNames.value(id); }
    // Whether the customer gets the HTML page (see InvoiceUsesHtml).
    bool usesHtml() const;
};

// Whether an invoice is mailed (and first shown) as HTML: the customer's choice when the
// customer overrides the plan, else the plan's.
bool InvoiceUsesHtml(qint32 planOptions, qint32 customerOptions);

// Fills the page data from a loaded invoice document, reading the customer's billing address
// and the logon names of the members and of every customer its sessions and charges name.
// An address or a name that cannot be read is left out.
InvoiceRepData InvoiceRepDataFromDoc(const CInvoiceDoc& doc, Database& db);
