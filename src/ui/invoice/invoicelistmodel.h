#pragma once
#include "core/invoice/invoicelistdoc.h"

#include <QAbstractTableModel>
#include <QList>

// The stored invoices as a table for the invoices browser: number, customer, invoice date,
// period, new charges, total due, paid. Rows come in pages as the view scrolls towards the
// end (canFetchMore / fetchMore), so opening, sorting and filtering cost one page whatever the
// number of invoices. Sorting and filtering start again from the first page.
class CInvoiceListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Rows of the first page, and of each further page. A sort that no index serves costs a
    // pass over every invoice per page whatever its size, so the pages after the first, read
    // only when the user scrolls on, are larger.
    static constexpr int kFirstPage = 200;
    static constexpr int kNextPage = 2000;

    explicit CInvoiceListModel(Database& db, QObject* parent = nullptr);

    void setFilter(const InvoiceListFilter& filter);
    const InvoiceListFilter& filter() const { return m_doc.filter(); }
    // Reads the first page again (after invoices were added, changed or deleted).
    void reload();

    const InvoiceListRow& rowAt(int row) const { return m_rows.at(row); }
    // The row of an invoice among those loaded, -1 when not loaded.
    int rowOf(qint32 invoiceNum) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

signals:
    // The engine refused a page: the list holds what was read before.
    void loadFailed(const QString& message);

private:
    void appendPage();

    CInvoiceListDoc m_doc;
    QList<InvoiceListRow> m_rows;
    bool m_failed = false; // no more pages after a failure, until the next reload
    int m_decimals;
};
