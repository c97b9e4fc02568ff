#pragma once
// The property page of an invoicing plan: how its invoices look (language, date format,
// heading, message, footer, logo, what is shown) and what is done with them when they are
// created (view, print, e-mail with server, sender and subject; whether an invoice with
// nothing due is made). Saving checks the name first (required, unique among template
// invoicing plans) and writes the page's fields in one transaction; frozen copies are never
// written.
#include "core/app/editresult.h"
#include "core/db/invoiceplanrecord.h"

class Database;

struct InvoicingPlanPage {
    enum Field { NameField };

    QString name;
    qint32 language = InvoiceLanguage::English;
    QString dateFormat;
    bool html = false; // InvoicePlanOption::Html
    bool showDetails = false;
    bool showAddress = false;
    bool showInvoiceNum = false;
    QString heading, message, footer;
    QString bitmap; // logo file
    bool createIfZero = false;
    bool viewOnCreate = false, printOnCreate = false, emailOnCreate = false;
    QString emailServer, emailSender, emailSubject;

    static InvoicingPlanPage fromRow(const InvoicePlanRow& row);
    // "Please enter a name."
    QString validate(Field* field = nullptr) const;
    void toRow(InvoicePlanRow& row) const;
    // "Error saving invoicing plan properties" with the engine's words on a database failure.
    EditResult save(Database& db, qint32 planId) const;
};
