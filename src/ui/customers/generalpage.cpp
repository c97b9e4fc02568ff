#include "ui/customers/generalpage.h"

#include "core/customers/customerpages.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

CGeneralPage::CGeneralPage(QWidget* parent) : CUserPage(QStringLiteral("General"), parent) {
    m_fullName = new QLineEdit;
    m_fullName->setObjectName(QStringLiteral("FullNameEdit"));
    m_active = new QCheckBox(QStringLiteral("&Active"));
    m_active->setObjectName(QStringLiteral("ActiveCheck"));
    m_start = new QLineEdit;
    m_start->setObjectName(QStringLiteral("StartDateEdit"));
    m_end = new QLineEdit;
    m_end->setObjectName(QStringLiteral("EndDateEdit"));
    m_comment = new QPlainTextEdit;
    m_comment->setObjectName(QStringLiteral("CommentEdit"));
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Full name:"), m_fullName);
    form->addRow(QString(), m_active);
    form->addRow(QStringLiteral("&Start of service:"), m_start);
    form->addRow(QStringLiteral("&End of service:"), m_end);
    form->addRow(QStringLiteral("C&omments:"), m_comment);
    watch(m_fullName);
    watch(m_active);
    watch(m_start);
    watch(m_end);
    watch(m_comment);
}

void CGeneralPage::loadFields(Database& db, qint32 id) {
    const GeneralPage page = LoadGeneralPage(db, id).value_or(GeneralPage{{}, false, {}, {}, {}});
    m_fullName->setText(page.fullName);
    m_active->setChecked(page.active);
    m_start->setText(page.startDate);
    m_end->setText(page.endDate);
    m_comment->setPlainText(page.comment);
}

EditResult CGeneralPage::saveFields(Database& db, qint32 id) {
    return SaveGeneralPage(db, id,
                           {m_fullName->text(), m_active->isChecked(), m_start->text(),
                            m_end->text(), m_comment->toPlainText()});
}

QWidget* CGeneralPage::fieldAtFault(const EditResult& result) {
    // The date checks name the field they refused.
    if (result.message.startsWith(QStringLiteral("Start date")))
        return m_start;
    if (result.message.startsWith(QStringLiteral("End date")))
        return m_end;
    return nullptr;
}
