#include "ui/billing/invoiceplanpage.h"

#include "ui/billing/pagewidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

CInvoicePlanPage::CInvoicePlanPage(qint32 planId, const InvoicePlanRow& row, QWidget* parent)
    : CPropPage(QStringLiteral("Invoicing Plan"), parent), m_planId(planId) {
    const InvoicingPlanPage v = InvoicingPlanPage::fromRow(row);
    m_name = MakeLineEdit(this, "NameEdit", v.name);
    m_language = new QComboBox(this);
    m_language->setObjectName(QStringLiteral("LanguageCombo"));
    // In InvoiceLanguage order; a code this release has no language for stays as it is.
    const QStringList languages{QStringLiteral("English"), QStringLiteral("French"),
                                QStringLiteral("Spanish"), QStringLiteral("Portuguese")};
    for (int code = 0; code < languages.size(); ++code)
        m_language->addItem(languages[code], code);
    if (m_language->findData(v.language) < 0)
        m_language->addItem(QString::number(v.language), v.language);
    m_language->setCurrentIndex(m_language->findData(v.language));
    m_dateFormat = MakeLineEdit(this, "DateFormatEdit", v.dateFormat);
    m_heading = MakeLineEdit(this, "HeadingEdit", v.heading);
    m_message = new QPlainTextEdit(v.message, this);
    m_message->setObjectName(QStringLiteral("MessageEdit"));
    m_footer = MakeLineEdit(this, "FooterEdit", v.footer);
    m_bitmap = MakeLineEdit(this, "LogoEdit", v.bitmap);
    m_html = MakeCheckBox(this, "Html", QStringLiteral("&HTML invoices"), v.html);
    m_details =
        MakeCheckBox(this, "ShowDetails", QStringLiteral("Show session &details"), v.showDetails);
    m_address =
        MakeCheckBox(this, "ShowAddress", QStringLiteral("Show customer &address"), v.showAddress);
    m_number = MakeCheckBox(this, "ShowInvoiceNum", QStringLiteral("Show invoice n&umber"),
                            v.showInvoiceNum);
    m_createIfZero =
        MakeCheckBox(this, "CreateIfZero", QStringLiteral("&Create invoices with no balance due"),
                     v.createIfZero);
    m_view = MakeCheckBox(this, "ViewOnCreate", QStringLiteral("&View"), v.viewOnCreate);
    m_print = MakeCheckBox(this, "PrintOnCreate", QStringLiteral("&Print"), v.printOnCreate);
    m_email = MakeCheckBox(this, "EmailOnCreate", QStringLiteral("&E-mail"), v.emailOnCreate);
    m_server = MakeLineEdit(this, "ServerEdit", v.emailServer);
    m_sender = MakeLineEdit(this, "SenderEdit", v.emailSender);
    m_subject = MakeLineEdit(this, "SubjectEdit", v.emailSubject);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Name:"), m_name);
    form->addRow(QStringLiteral("&Language:"), m_language);
    form->addRow(QStringLiteral("Date &format:"), m_dateFormat);
    form->addRow(QStringLiteral("Heading:"), m_heading);
    form->addRow(QStringLiteral("&Message:"), m_message);
    form->addRow(QStringLiteral("Footer:"), m_footer);
    form->addRow(QStringLiteral("Logo file:"), m_bitmap);
    for (QCheckBox* box : {m_html, m_details, m_address, m_number, m_createIfZero})
        form->addRow(box);
    auto* send = new QWidget(this);
    auto* h = new QHBoxLayout(send);
    h->setContentsMargins(0, 0, 0, 0);
    for (QCheckBox* box : {m_view, m_print, m_email})
        h->addWidget(box);
    form->addRow(QStringLiteral("When created:"), send);
    form->addRow(QStringLiteral("E-mail &server:"), m_server);
    form->addRow(QStringLiteral("Sender address:"), m_sender);
    form->addRow(QStringLiteral("Subject:"), m_subject);
}

InvoicingPlanPage CInvoicePlanPage::values() const {
    InvoicingPlanPage v;
    v.name = m_name->text();
    v.language = m_language->currentData().toInt();
    v.dateFormat = m_dateFormat->text();
    v.html = m_html->isChecked();
    v.showDetails = m_details->isChecked();
    v.showAddress = m_address->isChecked();
    v.showInvoiceNum = m_number->isChecked();
    v.heading = m_heading->text();
    v.message = m_message->toPlainText();
    v.footer = m_footer->text();
    v.bitmap = m_bitmap->text();
    v.createIfZero = m_createIfZero->isChecked();
    v.viewOnCreate = m_view->isChecked();
    v.printOnCreate = m_print->isChecked();
    v.emailOnCreate = m_email->isChecked();
    v.emailServer = m_server->text();
    v.emailSender = m_sender->text();
    v.emailSubject = m_subject->text();
    return v;
}

QString CInvoicePlanPage::check(QWidget** focus) {
    *focus = m_name;
    return values().validate();
}

EditResult CInvoicePlanPage::save(Database& db) {
    return values().save(db, m_planId);
}
