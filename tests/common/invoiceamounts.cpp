#include "common/invoiceamounts.h"

#include <QStringList>

using namespace Qt::StringLiterals;

QString InvoiceAmountMismatches(const InvoiceRow& invoice, const QString& expected) {
    const QList<std::pair<const char*, const Currency*>> fields = {
        {"Charge", &invoice.Charge},
        {"Prepaid", &invoice.Prepaid},
        {"Minimum", &invoice.Minimum},
        {"TotalDue", &invoice.TotalDue},
        {"TotalPaid", &invoice.TotalPaid},
        {"Prepaying", &invoice.Prepaying},
        {"PrevBalance", &invoice.PrevBalance},
        {"TaxableGross", &invoice.TaxableGross},
        {"Taxes", &invoice.Taxes},
        {"NewCharges", &invoice.NewCharges},
        {"Tax1", &invoice.Tax1},
        {"Tax2", &invoice.Tax2},
        {"Payments", &invoice.Payments}};
    QStringList out;
    for (const QString& pair : expected.split(u' ', Qt::SkipEmptyParts)) {
        const QString name = pair.section(u'=', 0, 0);
        const QString text = pair.section(u'=', 1);
        const Currency want = Currency::fromDouble(text.toDouble());
        const Currency* have = nullptr;
        for (const auto& [fieldName, field] : fields)
            if (name == QLatin1String(fieldName))
                have = field;
        if (!have)
            out << name + u" is no money field"_s;
        else if (!(*have == want))
            out << u"%1 is %2, expected %3"_s.arg(name, have->format(4), text);
    }
    return out.join(u"; "_s);
}
