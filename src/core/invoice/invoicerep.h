#pragma once
#include "core/invoice/invoiceformat.h"
#include "core/invoice/invoicelabels.h"
#include "core/invoice/invoicerepdata.h"
#include "core/invoice/invoicetempfiles.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>

// How a rendering formats numbers and dates. `now` is the sample date-time whose width sizes
// the date columns of the connection table (invalid: the current time).
struct InvoiceRepOptions {
    InvoiceNumberFormat numbers;
    QDateTime now;
};

// Writes one invoice as two documents at once: the formatted HTML page and the plain text
// wrapped in a minimal HTML page (a head, a marker line, the text inside <PRE>, a marker
// line). Both are Windows-1252 bytes. The text between TextStart() and TextEnd() (inclusive)
// is the plain text alone, which the e-mail takes.
//
// Text that comes from customer records (logon names, full name, address lines) is
// HTML-escaped in the HTML page and written as it is in the text; the operator's own heading,
// message and footer are written as they are in both (they may carry markup on purpose).
class CInvoiceRep {
public:
    static constexpr int kIndent = 3; // the indent, also the spacing of the tables
    static constexpr int kWrapWidth = 76;
    static constexpr const char* kDefaultFace = "Arial";

    CInvoiceRep() = default;
    CInvoiceRep(const CInvoiceRep&) = delete;
    CInvoiceRep& operator=(const CInvoiceRep&) = delete;

    // Writes both documents; shows "Formatting invoice for %s..." meanwhile. Sets the view
    // flag from the customer's HTML decision. Leaves the files alone.
    void Render(const InvoiceRepData& data, const InvoiceRepOptions& options = {});
    // Deletes the previous files, renders, and writes the two pages to new temporary files.
    // False when a file could not be written (the reason in `error`; no file is left).
    [[nodiscard]] bool RenderToFiles(const InvoiceRepData& data, QString* error = nullptr,
                                     const InvoiceRepOptions& options = {});

    const QByteArray& Html() const { return m_html; }
    const QByteArray& TextPage() const { return m_text; }
    qsizetype TextStart() const { return m_textStart; }
    qsizetype TextEnd() const { return m_textEnd; }
    // The bytes of the text page from TextStart to TextEnd inclusive.
    QByteArray PlainText() const;
    // "Invoice for <logon name> dated <billing date>" in the invoice's language: the window title.
    const QString& Title() const { return m_title; }

    // Which page the window shows: HTML (true) or text (false).
    bool HtmlView() const { return m_htmlView; }
    void SetHtmlView(bool html) { m_htmlView = html; }
    const CInvoiceTempFiles& Files() const { return m_files; }
    // The file of the page the view flag chooses; empty before RenderToFiles.
    QString CurrentPagePath() const { return m_htmlView ? m_files.HtmlPath() : m_files.TextPath(); }

    // --- column stops of the last rendering ---
    struct Stops {
        int disconnect = 0; // start of the disconnect-date column
        int timeEdge = 0;   // right edge of the time column
        int sent = 0;       // start of the sent column
        int received = 0;   // start of the received column
        int tableWidth = 0;
        int amount = 0; // right edge of every amount of the charges section
        int rule = 0;   // width of the "-" lines of the connection table
    };
    const Stops& ColumnStops() const { return m_stops; }

    // --- writing primitives ---
    // Fills with blanks up to `column` (when it is not 0 and lies ahead), then writes the text
    // to both streams; the column advances by what was written.
    void Text(const QString& text, int column = 0);
    // The same for customer data: HTML-escaped in the HTML stream, as written in the text.
    void CustomerText(const QString& text, int column = 0);
    // CR LF n times to the text stream, and to the HTML stream inside <PRE>; column 0.
    void NewLine(int n = 1);
    // Enters or leaves the preformatted block of the HTML stream; column 0.
    void Pre(bool on);
    void HeadingStart(int level);
    void HeadingEnd(int level);
    void ParaStart();
    void ParaEnd();
    void FontStart(const QString& face = {});
    void FontEnd();
    void Break();
    int Column() const { return m_col; }
    bool InPre() const { return m_pre; }

    // The text-stream form of a message: wrapped at `width` characters between words, line
    // breaks of the message kept; a word longer than a line is not split.
    static QByteArray WrapMessage(const QByteArray& message, int width = kWrapWidth);
    // The HTML form of a message: each line break becomes "<BR>".
    static QByteArray MessageToHtml(const QByteArray& message);
    static QByteArray EscapeHtml(const QByteArray& bytes);

private:
    void put(const QByteArray& textBytes, const QByteArray& htmlBytes, int column);
    void computeStops(const InvoiceRepData& d, const QString& sampleDate);
    void writeHead();
    void writeAddressee(const InvoiceRepData& d);
    void writeConnectionTable(const InvoiceRepData& d);
    void writeCharges(const InvoiceRepData& d);
    // The labelled amount line; with `unlessZero` nothing is written for a zero amount.
    // Returns whether the line was written.
    bool amountLine(const QString& label, const Currency& amount, bool unlessZero = false);
    void rule(const Currency& amount);
    // The charges of one group with their rule; true when any was written; adds the amounts.
    bool chargeGroup(const InvoiceRepData& d, const std::function<bool(qint32)>& typeMatches,
                     bool planLevel, Currency& sum);
    QString detailText(const ChargeRow& c) const;
    QString amountText(const Currency& amount) const;
    QString connectionDate(qint64 localSeconds) const;

    QByteArray m_html;
    QByteArray m_text;
    int m_col = 0;
    bool m_pre = false;
    qsizetype m_textStart = 0;
    qsizetype m_textEnd = -1;
    QString m_title;
    bool m_htmlView = true;
    Stops m_stops;
    const InvoiceLabels* m_labels = &InvoiceLabelsFor(0);
    InvoiceNumberFormat m_numbers;
    QString m_dateFormat;
    // While the charges section is measured: the widest label written.
    bool m_measuring = false;
    int m_widestLabel = 0;
    CInvoiceTempFiles m_files;
};
