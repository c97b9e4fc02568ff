#include "ui/invoice/invoicelistmodel.h"

#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"

#include <QLocale>

namespace {

QString dateText(const DbDateTime& value) {
    const QDate d = DbToDate(value);
    return d.isValid() ? QLocale().toString(
                             d, WithFourDigitYear(QLocale().dateFormat(QLocale::ShortFormat)))
                       : QString();
}

} // namespace

CInvoiceListModel::CInvoiceListModel(Database& db, QObject* parent)
    : QAbstractTableModel(parent), m_doc(db), m_decimals(CurrencyDecimals()) {}

void CInvoiceListModel::setFilter(const InvoiceListFilter& filter) {
    beginResetModel();
    m_doc.setFilter(filter);
    m_rows.clear();
    m_failed = false;
    appendPage();
    endResetModel();
}

void CInvoiceListModel::reload() {
    setFilter(m_doc.filter());
}

void CInvoiceListModel::sort(int column, Qt::SortOrder order) {
    beginResetModel();
    m_doc.setSort(column, order == Qt::DescendingOrder);
    m_rows.clear();
    m_failed = false;
    appendPage();
    endResetModel();
}

int CInvoiceListModel::rowOf(qint32 invoiceNum) const {
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].invoiceNum == invoiceNum)
            return i;
    return -1;
}

int CInvoiceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CInvoiceListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : InvoiceListColumn::Count;
}

QVariant CInvoiceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const InvoiceListRow& r = m_rows[index.row()];
    const int col = index.column();
    if (role == Qt::TextAlignmentRole) {
        const bool number =
            col == InvoiceListColumn::Number || col >= InvoiceListColumn::NewCharges;
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role == Qt::UserRole)
        return r.invoiceNum;
    if (role != Qt::DisplayRole)
        return {};
    switch (col) {
    case InvoiceListColumn::Number:
        return QString::number(r.invoiceNum);
    case InvoiceListColumn::Customer:
        return r.username.isEmpty() ? QStringLiteral("Unknown customer") : r.username;
    case InvoiceListColumn::InvoiceDate:
        return dateText(r.billingDate);
    case InvoiceListColumn::Period:
        return QStringLiteral("%1 - %2").arg(dateText(r.openingDate), dateText(r.closingDate));
    case InvoiceListColumn::NewCharges:
        return r.newCharges.format(m_decimals);
    case InvoiceListColumn::TotalDue:
        return r.totalDue.format(m_decimals);
    case InvoiceListColumn::Paid:
        return r.totalPaid.format(m_decimals);
    default:
        return {};
    }
}

QVariant CInvoiceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case InvoiceListColumn::Number:
        return QStringLiteral("Number");
    case InvoiceListColumn::Customer:
        return QStringLiteral("Customer");
    case InvoiceListColumn::InvoiceDate:
        return QStringLiteral("Invoice Date");
    case InvoiceListColumn::Period:
        return QStringLiteral("Period");
    case InvoiceListColumn::NewCharges:
        return QStringLiteral("New Charges");
    case InvoiceListColumn::TotalDue:
        return QStringLiteral("Total Due");
    case InvoiceListColumn::Paid:
        return QStringLiteral("Paid");
    default:
        return {};
    }
}

bool CInvoiceListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !m_failed && !m_doc.atEnd();
}

void CInvoiceListModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent))
        return;
    QList<InvoiceListRow> page;
    try {
        page = m_doc.fetch(m_rows.isEmpty() ? kFirstPage : kNextPage);
    } catch (const DbException& e) {
        m_failed = true;
        emit loadFailed(e.message());
        return;
    }
    if (page.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + page.size() - 1));
    m_rows.append(page);
    endInsertRows();
}

void CInvoiceListModel::appendPage() {
    // Inside a model reset: no row notifications.
    try {
        m_rows.append(m_doc.fetch(kFirstPage));
    } catch (const DbException& e) {
        m_failed = true;
        emit loadFailed(e.message());
    }
}
