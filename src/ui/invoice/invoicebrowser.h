#pragma once
#include <QMdiSubWindow>

class CCustomerCombo;
class CInvoiceListModel;
class Database;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QTableView;

// The invoices browser: the stored invoices in a sortable list (number, customer, invoice date,
// period, new charges, total due, paid), filtered by customer, by a range of invoice dates
// and to the unpaid ones. Enter (or a double click) opens an invoice window for each selected
// invoice; Send carries out the send options for the selection with one choice of plan;
// Delete removes the selected invoices with everything frozen for them. Rows are read as the
// list scrolls, so the window opens at once on any number of invoices. Its placement is kept
// in "InvBrowserWndPlace".
class CInvoiceBrowserFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    ~CInvoiceBrowserFrame() override;

    // Opens the browser in `area` (or activates the one open), showing the invoices of
    // customer `idCust` (0: of every customer).
    static CInvoiceBrowserFrame* open(QMdiArea* area, Database& db, qint32 idCust = 0);
    // The browser open in `area`, if any.
    static CInvoiceBrowserFrame* find(QMdiArea* area);

    CInvoiceListModel* model() const { return m_model; }
    QTableView* table() const { return m_table; }
    CCustomerCombo* customerCombo() const { return m_customer; }
    QLineEdit* fromEdit() const { return m_from; }
    QLineEdit* toEdit() const { return m_to; }
    QCheckBox* unpaidBox() const { return m_unpaid; }
    // The window's commands by object name ("actionOpenInvoices", "actionSendInvoices",
    // "actionDeleteInvoices", "actionRefreshInvoices").
    QAction* action(const QString& objectName) const;

    // Reads the filter fields and lists what they select; false (message shown, focus on the
    // field) when a field holds no valid entry.
    bool applyFilter();
    // Numbers of the selected invoices, in list order.
    QList<qint32> selectedInvoices() const;

    // --- commands over the selection ---
    void openSelected();
    void sendSelected();
    void deleteSelected();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CInvoiceBrowserFrame(QMdiArea* area, Database& db);
    void createCommands(QWidget* body);
    void updateCount();

    QMdiArea* m_area;
    Database& m_db;
    CInvoiceListModel* m_model;
    QTableView* m_table;
    CCustomerCombo* m_customer;
    QLineEdit* m_from;
    QLineEdit* m_to;
    QCheckBox* m_unpaid;
    QLabel* m_count;
    int m_refreshId = 0;
};

// Opens the invoices browser of the process's database in `mdi` for customer `idCust`
// (0: every customer).
void OpenInvoiceBrowser(QMdiArea* mdi, long idCust = 0);
