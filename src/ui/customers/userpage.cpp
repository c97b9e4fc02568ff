#include "ui/customers/userpage.h"

#include "core/app/userinterface.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>

CUserPage::CUserPage(const QString& title, QWidget* parent) : QWidget(parent), m_title(title) {}

void CUserPage::load(Database& db, qint32 id) {
    m_loading = true;
    try {
        loadFields(db, id);
    } catch (...) {
        m_loading = false;
        throw;
    }
    m_loading = false;
    setModified(false);
}

bool CUserPage::apply(Database& db, qint32 id) {
    if (!m_modified || id == 0)
        return true;
    const EditResult r = saveFields(db, id);
    if (!r.ok()) {
        ui().showMessage(r.text(), MessageIcon::Exclamation);
        if (QWidget* field = fieldAtFault(r))
            field->setFocus();
        return false;
    }
    setModified(false);
    return true;
}

void CUserPage::setModified(bool modified) {
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void CUserPage::watch(QLineEdit* edit) {
    connect(edit, &QLineEdit::textEdited, this, [this] { setModified(true); });
}

void CUserPage::watch(QCheckBox* box) {
    connect(box, &QCheckBox::toggled, this, [this] {
        if (!m_loading)
            setModified(true);
    });
}

void CUserPage::watch(QComboBox* box) {
    connect(box, &QComboBox::activated, this, [this] { setModified(true); });
}

void CUserPage::watch(QPlainTextEdit* edit) {
    connect(edit, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading)
            setModified(true);
    });
}

void CUserPage::watch(QSpinBox* box) {
    connect(box, &QSpinBox::valueChanged, this, [this] {
        if (!m_loading)
            setModified(true);
    });
}
