#pragma once
#include "core/billing/invoicerun.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <memory>

class Database;
class QCheckBox;
class QTextBrowser;
class QTreeWidget;
struct DeliveryInvoice;

// "Commit Invoices": the decision over the invoices a group run has just made. The new
// invoices and the run's log lie side by side; the invoice selected in the list is shown
// below them, formatted or as plain text. "Keep" and "Send" give the decision (CommitChoice
// bits); Send can be checked only while Keep is. OK asks the question that goes with the
// boxes, Cancel (or closing) asks whether to throw the invoices away; No keeps the dialog
// open.
class CCommitInvoicesDlg : public QDialog {
    Q_OBJECT
public:
    // `logLines`: "<name>\t<severity>\t<message>" per line, as CRunLogReporter keeps them.
    CCommitInvoicesDlg(Database& db, const QList<qint32>& invoiceNums, const QStringList& logLines,
                       QWidget* parent = nullptr);
    ~CCommitInvoicesDlg() override;

    // The decision once the dialog has closed (Discard after Cancel).
    int choice() const { return m_choice; }

    QTreeWidget* invoiceList() const { return m_invoices; }
    QTreeWidget* logList() const { return m_log; }
    QTextBrowser* invoiceView() const { return m_view; }
    QCheckBox* keepBox() const { return m_keep; }
    QCheckBox* sendBox() const { return m_send; }
    QCheckBox* plainTextBox() const { return m_plain; }

    void accept() override;
    void reject() override;

private:
    int boxes() const;
    void showSelected();

    Database& m_db;
    QTreeWidget* m_invoices;
    QTreeWidget* m_log;
    QTextBrowser* m_view;
    QCheckBox* m_plain;
    QCheckBox* m_keep;
    QCheckBox* m_send;
    std::unique_ptr<DeliveryInvoice> m_shown;
    int m_choice = CommitChoice::Discard;
};

// The commit decision of a run in the desktop program: the dialog above over the run's new
// invoices and the lines `log` has kept by the time it is asked.
class CRunLogReporter;
CommitDecider CommitInvoicesDecider(Database& db, QWidget* parent, const CRunLogReporter& log);
