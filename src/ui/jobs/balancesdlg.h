#pragma once
#include "core/jobs/balances.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// "Current Balances": a customer's invoices with what is due and paid on each, the unpaid
// balance, and the commands that pay the selected invoices, mark them unpaid or delete them.
// Every command works on the database at once and the list is read again afterwards, so it
// always shows what is stored.
class CBalancesDlg : public QDialog {
    Q_OBJECT
public:
    // customerId: the customer chosen when the dialog opens (0: none).
    explicit CBalancesDlg(QWidget* parent = nullptr, qint32 customerId = 0);

    // The customer whose invoices are listed, 0 when the name matches none.
    qint32 customerId() const { return m_customerId; }
    // The listed lines, in list order.
    const QList<BalanceLine>& lines() const { return m_lines; }

    void pay();
    void unpay();
    void deleteInvoices();

private:
    void fillCustomers();
    // The name in the combo box chose a customer (or none).
    void chooseCustomer(const QString& name);
    void reload();
    void selectionChanged();
    QList<qint32> selectedInvoices() const;
    // Each change is followed by the new list and by the refresh of the other views.
    void changed(const BalanceChange& result);

    QComboBox* m_customer;
    QTreeWidget* m_list;
    QLineEdit* m_amount;
    QLineEdit* m_balance;
    QPushButton* m_pay;
    QPushButton* m_unpay;
    QPushButton* m_delete;
    qint32 m_customerId = 0;
    QList<BalanceLine> m_lines;
};
