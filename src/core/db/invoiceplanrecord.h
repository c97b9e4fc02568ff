#pragma once
#include "core/db/record.h"

// InvoicePlans.Language: the language of the invoice page.
namespace InvoiceLanguage {
enum : qint32 { English = 0, French = 1, Spanish = 2, Portuguese = 3 };
}

// InvoicePlans.Options bits.
namespace InvoicePlanOption {
enum : qint32 {
    Html = 0x01,          // the invoice is mailed (and first shown) as HTML
    PdfAttachment = 0x10, // the e-mail carries the printed page as a PDF file
};
}

// An invoicing plan: a live plan (IdInvoice 0) or the copy frozen into invoice IdInvoice.
struct InvoicePlanRow {
    qint32 Id = 0;
    QString Name;
    bool ShowDetails = false;
    bool ShowAddress = false;
    QString DateFormat;
    qint32 Language = 0;
    QString Message;
    QString EmailServer;
    QString EmailSender;
    QString EmailSubject;
    bool CreateIfZero = false;
    bool EmailOnCreate = false;
    bool PrintOnCreate = false;
    bool ViewOnCreate = false;
    qint32 IdInvoice = 0;
    qint32 IdUser = 0;
    QString Footer;
    QString Heading;
    qint32 Options = 0;
    QString Bitmap;
    bool ShowInvoiceNum = false;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Id", Id);
        f("Name", Name);
        f("ShowDetails", ShowDetails);
        f("ShowAddress", ShowAddress);
        f("DateFormat", DateFormat);
        f("Language", Language);
        f("Message", Message);
        f("EmailServer", EmailServer);
        f("EmailSender", EmailSender);
        f("EmailSubject", EmailSubject);
        f("CreateIfZero", CreateIfZero);
        f("EmailOnCreate", EmailOnCreate);
        f("PrintOnCreate", PrintOnCreate);
        f("ViewOnCreate", ViewOnCreate);
        f("IdInvoice", IdInvoice);
        f("IdUser", IdUser);
        f("Footer", Footer);
        f("Heading", Heading);
        f("Options", Options);
        f("Bitmap", Bitmap);
        f("ShowInvoiceNum", ShowInvoiceNum);
    }

    bool operator==(const InvoicePlanRow&) const = default;
};

class CInvoicePlanRecord : public CRecord, public InvoicePlanRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 21;

    explicit CInvoicePlanRecord(Database& db);
    CInvoicePlanRecord& operator=(const InvoicePlanRow& row) {
        static_cast<InvoicePlanRow&>(*this) = row;
        return *this;
    }
    const InvoicePlanRow& row() const { return *this; }

    // The frozen copy of invoice n ("[IdInvoice] = ?").
    [[nodiscard]] bool findByInvoice(qint32 invoiceNum);
    // The live plan of this name ("[Name] = ? AND [IdInvoice] = 0").
    [[nodiscard]] bool findLiveByName(const QString& name);

protected:
    void bindFields(FieldBinder& b) override;
};
