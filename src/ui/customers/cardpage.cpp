#include "ui/customers/cardpage.h"

#include "core/customers/customerpages.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

CCardPage::CCardPage(QWidget* parent) : CUserPage(QStringLiteral("Credit Card"), parent) {
    auto edit = [this](const char* name, int maxLength) {
        auto* e = new QLineEdit;
        e->setObjectName(QString::fromLatin1(name));
        if (maxLength > 0)
            e->setMaxLength(maxLength);
        watch(e);
        return e;
    };
    m_name = edit("NameOnCardEdit", 0);
    m_number = edit("CardNumberEdit", 19);
    m_company = edit("CardCompanyEdit", 0);
    m_month = edit("ExpiryMonthEdit", 2);
    m_year = edit("ExpiryYearEdit", 4);
    auto* expiry = new QHBoxLayout;
    expiry->addWidget(m_month);
    expiry->addWidget(new QLabel(QStringLiteral("/")));
    expiry->addWidget(m_year);
    expiry->addStretch();
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("E&xact name on card:"), m_name);
    form->addRow(QStringLiteral("Card &number:"), m_number);
    form->addRow(QStringLiteral("Credit card &company:"), m_company);
    form->addRow(QStringLiteral("E&xpires (MM/YYYY):"), expiry);
}

void CCardPage::loadFields(Database& db, qint32 id) {
    const CardPage page = LoadCardPage(db, id).value_or(CardPage{});
    m_name->setText(page.nameOnCard);
    m_number->setText(page.number);
    m_company->setText(page.company);
    m_month->setText(page.month);
    m_year->setText(page.year);
}

EditResult CCardPage::saveFields(Database& db, qint32 id) {
    return SaveCardPage(
        db, id,
        {m_name->text(), m_number->text(), m_company->text(), m_month->text(), m_year->text()});
}

QWidget* CCardPage::fieldAtFault(const EditResult& result) {
    if (result.message.contains(QStringLiteral("month")))
        return m_month;
    if (result.message.contains(QStringLiteral("year")))
        return m_year;
    if (result.message.contains(QStringLiteral("card number")))
        return m_number;
    return nullptr;
}
