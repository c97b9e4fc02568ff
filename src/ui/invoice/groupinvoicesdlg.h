#pragma once
#include "core/db/dbdatetime.h"
#include "core/db/userrecord.h"

#include <QDialog>

class CInvoicePlanChoice;
class Database;
class QLineEdit;

// "Generate Group Invoices" and "Send Group Invoices": the invoice date of a group run (today
// at 00:00 to begin with); sending also offers the invoicing plan (each invoice's own, or
// another). OK refuses an invalid date, asks "Are you sure you wish to generate new invoices?"
// or "Are you sure you wish to send invoices?" (No returns to the dialog) and refuses a group
// that no longer exists.
class CGroupInvoicesDlg : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Generate, Send };

    CGroupInvoicesDlg(Database& db, const UserRow& group, Mode mode, QWidget* parent = nullptr);

    // The choices once accepted (the group as stored when OK was pressed).
    const UserRow& group() const { return m_group; }
    const DbDateTime& invoiceDate() const { return m_date; }
    // Sending: the invoicing plan chosen, 0 for each invoice's own.
    qint32 invoicePlanId() const;

    QLineEdit* dateEdit() const { return m_dateEdit; }
    CInvoicePlanChoice* planChoice() const { return m_plans; }

    void accept() override;

private:
    Database& m_db;
    UserRow m_group;
    Mode m_mode;
    DbDateTime m_date;
    QLineEdit* m_dateEdit;
    CInvoicePlanChoice* m_plans = nullptr;
};

// The dialogs for group `idGroup` of the process's database, then the run.
void GenerateGroupInvoicesDialog(QWidget* parent, long idGroup);
void SendGroupInvoicesDialog(QWidget* parent, long idGroup);
