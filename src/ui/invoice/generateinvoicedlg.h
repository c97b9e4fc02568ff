#pragma once
#include "core/db/dbdatetime.h"
#include "core/db/userrecord.h"

#include <QDialog>

class Database;
class QCheckBox;
class QComboBox;
class QLineEdit;

// "Generate Invoice": the invoice date (today at 00:00 to begin with), the billing and the
// invoicing plan (starting on the customer's own; another choice is used for this invoice
// only) and "&Send upon completion". OK refuses a missing plan, an invalid date and a customer
// that no longer exists, each with its message.
class CGenerateInvoiceDlg : public QDialog {
    Q_OBJECT
public:
    CGenerateInvoiceDlg(Database& db, const UserRow& customer, QWidget* parent = nullptr);

    // The choices once accepted (the customer as stored when OK was pressed).
    const UserRow& customer() const { return m_customer; }
    const DbDateTime& invoiceDate() const { return m_date; }
    qint32 billingPlanId() const;
    qint32 invoicePlanId() const;
    bool sendUponCompletion() const;

    QLineEdit* dateEdit() const { return m_dateEdit; }
    QComboBox* billingPlanList() const { return m_billing; }
    QComboBox* invoicePlanList() const { return m_invoicing; }
    QCheckBox* sendBox() const { return m_send; }

    void accept() override;

private:
    Database& m_db;
    UserRow m_customer;
    DbDateTime m_date;
    QLineEdit* m_dateEdit;
    QComboBox* m_billing;
    QComboBox* m_invoicing;
    QCheckBox* m_send;
};

// The dialog for customer `idCust` of the process's database, then the run of its invoice
// ("Customer record not found." when the row is gone).
void GenerateInvoiceDialog(QWidget* parent, long idCust);
