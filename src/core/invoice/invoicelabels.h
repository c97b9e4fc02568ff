#pragma once
#include <QString>
#include <QtGlobal>

// The fixed texts of an invoice in one language. "%1"/"%2" stand where values are filled in.
struct InvoiceLabels {
    QString title;         // "Invoice for %1 dated %2": logon name, billing date
    QString period;        // period start, period end
    QString invoiceDate;   // billing date
    QString invoiceNumber; // invoice number
    QString to;            // addressee
    QString connectDate;   // connection table headers
    QString disconnectDate;
    QString timeOn;
    QString sent;
    QString received;
    QString totals;
    QString minimum; // charges section
    QString prepaid;
    QString previousBalance;
    QString newBalance;
    QString subtotal;
    QString gross;
    QString prepaying; // written with ":" after it
    QString newCharges;
    QString at; // words of the charge detail lines
    QString per;
    QString of;
    QString payments;
    QString credit; // sentence shown when the new balance is a credit
};

// The label set of a language code; any unknown code gives English.
const InvoiceLabels& InvoiceLabelsFor(qint32 language);
