#pragma once
#include "core/billing/invoiceplanpage.h"
#include "ui/billing/propsheet.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// The page of an invoicing plan: the look of its invoices and its send options.
class CInvoicePlanPage : public CPropPage {
    Q_OBJECT
public:
    CInvoicePlanPage(qint32 planId, const InvoicePlanRow& row, QWidget* parent = nullptr);
    InvoicingPlanPage values() const;
    QString check(QWidget** focus) override;
    EditResult save(Database& db) override;

private:
    qint32 m_planId;
    QLineEdit *m_name, *m_dateFormat, *m_heading, *m_footer, *m_bitmap;
    QLineEdit *m_server, *m_sender, *m_subject;
    QComboBox* m_language;
    QPlainTextEdit* m_message;
    QCheckBox *m_html, *m_details, *m_address, *m_number;
    QCheckBox *m_createIfZero, *m_view, *m_print, *m_email;
};
