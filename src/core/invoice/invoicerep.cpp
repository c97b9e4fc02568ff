#include "core/invoice/invoicerep.h"

#include "core/app/cp1252.h"
#include "core/app/userinterface.h"
#include "core/billing/chargetypes.h"
#include "core/db/datetimeutil.h"
#include "core/invoice/logoref.h"
#include "core/invoice/strftimeformat.h"

#include <algorithm>

namespace {

const QByteArray kCrLf = QByteArrayLiteral("\r\n");
const QByteArray kMarker = QByteArrayLiteral("<!--TKP_MARKER-->");

// Width in characters of a text as written (one byte per character).
int width(const QString& text) {
    return int(EncodeCp1252(text).size());
}

// "%u" of a byte count held in a signed field.
QString unsignedText(qint64 value) {
    if (value < 0 && value >= -qint64(0x80000000LL))
        value = qint64(quint32(qint32(value)));
    return QString::number(value);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

} // namespace

// --- writing primitives ---

void CInvoiceRep::put(const QByteArray& textBytes, const QByteArray& htmlBytes, int column) {
    if (column != 0 && column > m_col) {
        const QByteArray fill(column - m_col, ' ');
        m_html += fill;
        m_text += fill;
        m_col = column;
    }
    m_html += htmlBytes;
    m_text += textBytes;
    m_col += int(textBytes.size());
}

void CInvoiceRep::Text(const QString& text, int column) {
    const QByteArray bytes = EncodeCp1252(text);
    put(bytes, bytes, column);
}

void CInvoiceRep::CustomerText(const QString& text, int column) {
    const QByteArray bytes = EncodeCp1252(text);
    put(bytes, EscapeHtml(bytes), column);
}

void CInvoiceRep::NewLine(int n) {
    for (int i = 0; i < n; ++i) {
        m_text += kCrLf;
        if (m_pre)
            m_html += kCrLf;
    }
    m_col = 0;
}

void CInvoiceRep::Pre(bool on) {
    if (on != m_pre) {
        m_html += on ? QByteArrayLiteral("<PRE>") : QByteArrayLiteral("</PRE>\r\n");
        m_pre = on;
    }
    m_col = 0;
}

void CInvoiceRep::HeadingStart(int level) {
    m_html += "<H" + QByteArray::number(level) + '>';
}

void CInvoiceRep::HeadingEnd(int level) {
    m_html += "</H" + QByteArray::number(level) + ">\r\n";
    NewLine(2);
}

void CInvoiceRep::ParaStart() {
    m_html += "<P>";
}

void CInvoiceRep::ParaEnd() {
    m_html += "</P>\r\n";
    NewLine(2);
}

void CInvoiceRep::FontStart(const QString& face) {
    m_html +=
        "<FONT FACE=\"" + (face.isEmpty() ? QByteArray(kDefaultFace) : EncodeCp1252(face)) + "\">";
}

void CInvoiceRep::FontEnd() {
    m_html += "</FONT>";
}

void CInvoiceRep::Break() {
    m_html += "<BR>\r\n";
    NewLine(1);
}

QByteArray CInvoiceRep::EscapeHtml(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
            break;
        }
    }
    return out;
}

QByteArray CInvoiceRep::MessageToHtml(const QByteArray& message) {
    // CR LF pairs, and the bare LF (or CR) of text typed elsewhere, become "<BR>".
    QByteArray out = message;
    out.replace("\r\n", "<BR>");
    out.replace('\n', "<BR>");
    out.replace('\r', "<BR>");
    return out;
}

QByteArray CInvoiceRep::WrapMessage(const QByteArray& message, int width) {
    QByteArray out;
    out.reserve(message.size() + message.size() / width * 2 + 2);
    qsizetype lineLength = 0; // characters on the current output line
    qsizetype i = 0;
    const qsizetype n = message.size();
    while (i < n) {
        // A chunk: a run of non-blanks and the blanks after it; leading blanks alone.
        qsizetype end = i;
        while (end < n && !isBlank(message[end]))
            ++end;
        while (end < n && isBlank(message[end]))
            ++end;
        const QByteArray chunk = message.mid(i, end - i);
        i = end;

        // The part that stays on the current line is what comes before a line break.
        qsizetype onLine = chunk.size();
        for (qsizetype k = 0; k < chunk.size(); ++k) {
            if (chunk[k] == '\r' || chunk[k] == '\n') {
                onLine = k;
                break;
            }
        }
        if (lineLength > 0 && lineLength + onLine > width) {
            out += kCrLf;
            lineLength = 0;
        }
        out += chunk;
        const qsizetype lastBreak = std::max(chunk.lastIndexOf('\n'), chunk.lastIndexOf('\r'));
        lineLength = lastBreak < 0 ? lineLength + chunk.size() : chunk.size() - lastBreak - 1;
    }
    return out;
}

// --- rendering ---

QByteArray CInvoiceRep::PlainText() const {
    if (m_textEnd < m_textStart)
        return {};
    return m_text.mid(m_textStart, m_textEnd - m_textStart + 1);
}

QString CInvoiceRep::amountText(const Currency& amount) const {
    return FormatCurrencyNumber(amount, m_numbers);
}

QString CInvoiceRep::connectionDate(qint64 localSeconds) const {
    if (localSeconds == 0)
        return {};
    return FormatStrftime(m_dateFormat, SecondsToDateTime(localSeconds));
}

void CInvoiceRep::computeStops(const InvoiceRepData& d, const QString& sampleDate) {
    const InvoiceLabels& l = *m_labels;
    const int s = kIndent;
    const bool details = d.plan.ShowDetails;
    const int D = width(sampleDate);

    const int w1 = details ? std::max(D, width(l.connectDate)) + s : width(l.totals) + s;
    const int w2 = details ? std::max(D, width(l.disconnectDate)) + s : 0;
    const int T =
        width(FormatHms(d.invoice.TotalTimeHH, d.invoice.TotalTimeMM, d.invoice.TotalTimeSS));
    const int t = std::max(width(l.timeOn) + s, T + s) - s;
    const int w3 = t + s;
    int w4 = std::max(width(l.sent), width(unsignedText(d.invoice.Sent))) + s;
    int w5 = std::max(width(l.received), width(unsignedText(d.invoice.Received)));
    if (details) {
        for (const InvoiceSession& session : d.sessions) {
            w4 = std::max(w4, width(unsignedText(session.Sent)) + s);
            w5 = std::max(w5, width(unsignedText(session.Received)));
        }
    }
    m_stops.disconnect = w1;
    m_stops.timeEdge = w1 + w2 + t;
    m_stops.sent = w1 + w2 + w3;
    m_stops.received = m_stops.sent + w4;
    m_stops.tableWidth = m_stops.received + w5;

    // The amount column: the widest label of the charges section, found by a dry run.
    const QByteArray html = m_html, text = m_text;
    const int col = m_col;
    const bool pre = m_pre;
    m_measuring = true;
    m_widestLabel = 0;
    m_stops.amount = 0;
    writeCharges(d);
    m_measuring = false;
    m_html = html;
    m_text = text;
    m_col = col;
    m_pre = pre;
    m_stops.amount = m_widestLabel + 10; // + the width of "7777777.77"
    m_stops.rule = std::max(m_stops.tableWidth, m_stops.amount);
}

void CInvoiceRep::Render(const InvoiceRepData& d, const InvoiceRepOptions& options) {
    const QString logon = d.customer.Username;
    ui().setStatusText(QStringLiteral("Formatting invoice for %1...").arg(logon));

    m_html.clear();
    m_text.clear();
    m_col = 0;
    m_pre = false;
    m_textStart = 0;
    m_textEnd = -1;
    m_labels = &InvoiceLabelsFor(d.plan.Language);
    m_numbers = options.numbers;
    m_dateFormat = d.plan.DateFormat;
    m_htmlView = d.usesHtml();
    const InvoiceLabels& l = *m_labels;
    const QDateTime now = options.now.isValid() ? options.now : QDateTime::currentDateTime();
    computeStops(d, FormatStrftime(m_dateFormat, now));

    // Head.
    const QLocale& locale = m_numbers.locale;
    const QString billingDate = FormatInvoiceHeadDate(DbToDateTime(d.billingDate), locale);
    m_title = l.title.arg(logon, billingDate);
    const QString htmlTitle =
        l.title.arg(DecodeCp1252(EscapeHtml(EncodeCp1252(logon))), billingDate);
    const QByteArray head =
        "<HTML>\r\n<HEAD>\r\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
        "charset=ISO-8859-1\">\r\n<TITLE>" +
        EncodeCp1252(htmlTitle) + "</TITLE>\r\n</HEAD>\r\n<BODY BGCOLOR=WHITE>\r\n";
    m_html += head;
    m_text += head + kCrLf + kMarker + kCrLf + "<PRE>";
    m_textStart = m_text.size();

    const InvoicePlanRow& plan = d.plan;
    if (!plan.Bitmap.isEmpty()) {
        ParaStart();
        m_html += "<IMG SRC=file://" + EncodeCp1252(LogoReference(plan.Bitmap)) + ">\r\n";
        ParaEnd();
    }
    if (!plan.Heading.isEmpty()) {
        HeadingStart(1);
        FontStart();
        Text(plan.Heading);
        FontEnd();
        HeadingEnd(1);
    }

    // Dates.
    ParaStart();
    FontStart();
    Text(l.period.arg(FormatInvoiceHeadDate(SecondsToDateTime(d.periodStart), locale),
                      FormatInvoiceHeadDate(SecondsToDateTime(d.periodEnd), locale)));
    Break();
    Text(l.invoiceDate.arg(billingDate));
    if (plan.ShowInvoiceNum) {
        Break();
        Text(l.invoiceNumber.arg(d.invoice.InvoiceNum));
    }
    FontEnd();
    ParaEnd();

    writeAddressee(d);

    if (!plan.Message.isEmpty()) {
        ParaStart();
        FontStart();
        const QByteArray message = EncodeCp1252(plan.Message);
        m_html += MessageToHtml(message);
        m_text += WrapMessage(message);
        FontEnd();
        ParaEnd();
    }

    m_html += "<HR SIZE=3 NOSHADE>\r\n";
    Pre(true);
    writeConnectionTable(d);
    NewLine(1);
    writeCharges(d);
    Pre(false);

    // Foot.
    const QByteArray footer = EncodeCp1252(plan.Footer);
    if (!footer.isEmpty()) {
        m_html += "<B>" + footer + "</B>\r\n";
        m_text += kCrLf + footer;
    }
    m_html += "</BODY>\r\n</HTML>";
    m_textEnd = m_text.size() - 1;
    m_text += "</PRE>\r\n" + kMarker + kCrLf + "</BODY>\r\n</HTML>";

    ui().setStatusText(QString());
}

bool CInvoiceRep::RenderToFiles(const InvoiceRepData& data, QString* error,
                                const InvoiceRepOptions& options) {
    m_files.Remove();
    Render(data, options);
    return m_files.Write(m_html, m_text, error);
}

void CInvoiceRep::writeAddressee(const InvoiceRepData& d) {
    const UserRow& c = d.customer;
    ParaStart();
    FontStart();
    Text(m_labels->to + QStringLiteral("  "));
    CustomerText(c.Username);
    if (!c.FullName.isEmpty()) {
        Break();
        CustomerText(c.FullName);
    }
    if (d.plan.ShowAddress && d.address) {
        const AddressRow& a = *d.address;
        for (const QString* line : {&a.Address1, &a.Address2}) {
            if (!line->isEmpty()) {
                Break();
                CustomerText(*line);
            }
        }
        if (!a.City.isEmpty()) {
            Break();
            CustomerText(a.City);
            if (!a.Province.isEmpty()) {
                Text(QStringLiteral(", "));
                CustomerText(a.Province);
            }
        } else if (!a.Province.isEmpty()) {
            Break();
            CustomerText(a.Province);
        }
        if (!a.PostalCode.isEmpty()) {
            Break();
            CustomerText(a.PostalCode);
        }
    }
    FontEnd();
    ParaEnd();
}

void CInvoiceRep::writeConnectionTable(const InvoiceRepData& d) {
    const bool usage = std::any_of(d.charges.begin(), d.charges.end(), [](const ChargeRow& c) {
        return c.Type == ChargeType::Online || c.Type == ChargeType::ByteTraffic;
    });
    if (!usage)
        return;
    const InvoiceLabels& l = *m_labels;
    const bool details = d.plan.ShowDetails;
    const InvoiceRow& inv = d.invoice;
    const QString totalTime = FormatHms(inv.TotalTimeHH, inv.TotalTimeMM, inv.TotalTimeSS);
    const QString dashes(m_stops.rule, QLatin1Char('-'));

    if (details) {
        Text(l.connectDate, 0);
        Text(l.disconnectDate, m_stops.disconnect);
    }
    Text(l.timeOn, m_stops.timeEdge - std::max(width(l.timeOn), width(totalTime)));
    Text(l.sent, m_stops.sent);
    Text(l.received, m_stops.received);
    NewLine(1);
    Text(dashes, 0);
    NewLine(1);

    if (details) {
        bool first = true;
        qint32 previousMember = 0;
        for (const InvoiceSession& s : d.sessions) {
            if (d.summary && (first || s.MemberId != previousMember)) {
                if (!first)
                    NewLine(1);
                CustomerText(d.memberName(s.MemberId) + QLatin1Char(':'), 0);
                NewLine(1);
            }
            first = false;
            previousMember = s.MemberId;
            Text(connectionDate(s.Connect), 0);
            Text(connectionDate(s.Disconnect), m_stops.disconnect);
            const QString duration = FormatSecondsHms(s.Duration);
            Text(duration, m_stops.timeEdge - width(duration));
            Text(unsignedText(s.Sent), m_stops.sent);
            Text(unsignedText(s.Received), m_stops.received);
            NewLine(1);
        }
        Text(dashes, 0);
        NewLine(1);
    }

    Text(l.totals, 0);
    Text(totalTime, m_stops.timeEdge - width(totalTime));
    Text(unsignedText(inv.Sent), m_stops.sent);
    Text(unsignedText(inv.Received), m_stops.received);
}

bool CInvoiceRep::amountLine(const QString& label, const Currency& amount, bool unlessZero) {
    if (unlessZero && amount.units() == 0)
        return false;
    if (m_measuring)
        m_widestLabel = std::max(m_widestLabel, width(label));
    Text(label, 0);
    const QString value = amountText(amount);
    Text(value, m_stops.amount - width(value));
    NewLine(1);
    return true;
}

void CInvoiceRep::rule(const Currency& amount) {
    const int w = width(amountText(amount));
    Text(QString(w, QLatin1Char('-')), m_stops.amount - w);
    NewLine(1);
}

QString CInvoiceRep::detailText(const ChargeRow& c) const {
    const InvoiceLabels& l = *m_labels;
    const QString indent(kIndent, QLatin1Char(' '));
    const QString price = amountText(c.ChargeAmount);
    switch (c.Type) {
    case ChargeType::Tax:
    case ChargeType::Surcharge:
        return QStringLiteral("%1%2% %3 %4")
            .arg(indent, QString::number(c.SGPercentage, 'f', 2), l.of, price);
    case ChargeType::ByteTraffic:
        return QStringLiteral("%1%2 %3 %4 %5 %6")
            .arg(indent, unsignedText(c.InvoicedQuantity), l.at, price, l.per, c.UnitName);
    case ChargeType::Online: {
        const qint64 seconds = c.InvoicedQuantity;
        const double hours = double(qint64(double(seconds) / 36.0 + 0.5)) / 100.0;
        return indent + FormatSecondsHms(seconds) + QLatin1Char(' ') +
               QStringLiteral("(%1) %2 %3 %4 %5")
                   .arg(QString::number(hours, 'f', 2), l.at, price, l.per, c.UnitName);
    }
    default: // counted units
        if (!c.UnitName.isEmpty())
            return QStringLiteral("%1%2 %3 %4 %5 %6")
                .arg(indent, QString::number(c.InvoicedQuantity), l.at, price, l.per, c.UnitName);
        return QStringLiteral("%1%2 %3 %4")
            .arg(indent, QString::number(c.InvoicedQuantity), l.at, price);
    }
}

bool CInvoiceRep::chargeGroup(const InvoiceRepData& d,
                              const std::function<bool(qint32)>& typeMatches, bool planLevel,
                              Currency& sum) {
    bool any = false;
    Currency groupSum;
    qint32 previousUser = 0;
    for (const ChargeRow& c : d.charges) {
        if (!typeMatches(c.Type) || c.InvoicedAmount.units() == 0 ||
            (c.SGIdApplyTo == d.billingPlanId) != planLevel)
            continue;
        if (d.summary && !planLevel && c.IdUser != previousUser) {
            const QString name = d.memberName(c.IdUser);
            if (!name.isEmpty()) {
                NewLine(1);
                Text(QStringLiteral("=== "));
                CustomerText(name);
                Text(QStringLiteral(" ==="));
                NewLine(1);
            }
        }
        previousUser = c.IdUser;
        Text(c.Name + QLatin1Char(':'), 0);
        NewLine(1);
        amountLine(detailText(c), c.InvoicedAmount);
        groupSum += c.InvoicedAmount;
        any = true;
    }
    if (any)
        rule(groupSum);
    sum += groupSum;
    return any;
}

void CInvoiceRep::writeCharges(const InvoiceRepData& d) {
    const InvoiceLabels& l = *m_labels;
    const InvoiceRow& inv = d.invoice;
    Currency unused;

    NewLine(1);
    if (chargeGroup(
            d, [](qint32 type) { return type != ChargeType::Tax; }, false, unused)) {
        amountLine(l.subtotal, inv.Charge, true);
        NewLine(1);
    }

    if (amountLine(l.minimum, inv.Minimum, true))
        NewLine(1);

    Currency prepay;
    if (amountLine(l.prepaying + QLatin1Char(':'), inv.Prepaying, true))
        prepay += inv.Prepaying;
    if (amountLine(l.prepaid, inv.Prepaid, true))
        prepay += inv.Prepaid;

    if (!chargeGroup(
            d, [](qint32 type) { return type == ChargeType::Surcharge; }, true, unused) &&
        prepay.units() != 0)
        rule(prepay);

    amountLine(l.gross, inv.TaxableGross);
    NewLine(1);

    chargeGroup(
        d, [](qint32 type) { return type == ChargeType::Tax; }, false, unused);
    chargeGroup(
        d, [](qint32 type) { return type == ChargeType::Tax; }, true, unused);

    amountLine(l.newCharges, inv.NewCharges);
    NewLine(1);

    amountLine(l.previousBalance, inv.PrevBalance);
    amountLine(l.payments, inv.Payments, true);
    amountLine(l.newCharges, inv.NewCharges);
    rule(inv.NewCharges);
    amountLine(l.newBalance, inv.TotalDue);

    if (inv.TotalDue.units() < 0) {
        NewLine(1);
        Text(l.credit, 0);
    }
}
