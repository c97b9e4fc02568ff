#include "ui/customers/userprops.h"

#include "core/app/userinterface.h"
#include "core/db/dbexception.h"
#include "core/db/userrecord.h"
#include "ui/customers/addresspage.h"
#include "ui/customers/billingpage.h"
#include "ui/customers/cardpage.h"
#include "ui/customers/chargespage.h"
#include "ui/customers/generalpage.h"
#include "ui/customers/grouppage.h"
#include "ui/customers/phonepage.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

CUserProps::CUserProps(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("UserProps"));
    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("UserPropsTabs"));
    m_groupPage = new CGroupPage;
    m_pages = {new CGeneralPage, new CAddressPage, new CCardPage, new CPhonePage,
               new CChargesPage, new CBillingPage, m_groupPage};
    for (CUserPage* p : m_pages) {
        if (p != m_groupPage)
            m_tabs->addTab(p, p->title());
        connect(p, &CUserPage::modifiedChanged, this, &CUserProps::updateButtons);
    }
    m_groupPage->setParent(this);
    m_groupPage->hide();

    auto* buttons = new QDialogButtonBox;
    m_apply = buttons->addButton(QDialogButtonBox::Apply);
    m_apply->setObjectName(QStringLiteral("ApplyButton"));
    m_discard = buttons->addButton(QStringLiteral("&Discard changes"), QDialogButtonBox::ResetRole);
    m_discard->setObjectName(QStringLiteral("DiscardButton"));
    connect(m_apply, &QPushButton::clicked, this, [this] { (void)applyAll(); }); // shown
    connect(m_discard, &QPushButton::clicked, this, [this] { (void)reload(); }); // shown
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    updateButtons();
}

CUserPage* CUserProps::page(const QString& title) const {
    for (CUserPage* p : m_pages)
        if (p->title() == title)
            return p;
    return nullptr;
}

bool CUserProps::isModified() const {
    for (const CUserPage* p : m_pages)
        if (p->isModified())
            return true;
    return false;
}

void CUserProps::updateButtons() {
    const bool modified = isModified();
    m_apply->setEnabled(modified);
    m_discard->setEnabled(modified);
}

bool CUserProps::select(Database* db, qint32 id) {
    if (db == m_db && id == m_id)
        return true;
    m_db = db;
    m_id = id;
    return load();
}

bool CUserProps::reload() {
    return load();
}

bool CUserProps::load() {
    bool isGroup = false;
    bool ok = true;
    try {
        if (m_db && m_id) {
            CUserRecord rec(*m_db);
            isGroup = rec.findById(m_id) && rec.IsGroup;
        }
        if (m_db)
            for (CUserPage* p : m_pages)
                p->load(*m_db, m_id);
    } catch (const DbException& e) {
        ui().showMessage(
            QStringLiteral("The customer's properties could not be read: %1").arg(e.message()),
            MessageIcon::Exclamation);
        ok = false;
    }
    // The Group page comes and goes without moving the user off the page being read.
    QWidget* active = m_tabs->currentWidget();
    const int at = m_tabs->indexOf(m_groupPage);
    if (isGroup && at < 0)
        m_tabs->addTab(m_groupPage, m_groupPage->title());
    else if (!isGroup && at >= 0)
        m_tabs->removeTab(at);
    if (m_tabs->indexOf(active) >= 0)
        m_tabs->setCurrentWidget(active);
    setEnabled(m_db && m_id);
    updateButtons();
    return ok;
}

bool CUserProps::applyAll() {
    if (!m_db || !m_id)
        return true;
    for (CUserPage* p : m_pages) {
        if (!p->isModified())
            continue;
        if (!p->apply(*m_db, m_id)) {
            if (m_tabs->indexOf(p) >= 0)
                m_tabs->setCurrentWidget(p);
            updateButtons();
            return false;
        }
    }
    // A new billing plan changes the charges offered; a saved page shows what was stored.
    (void)reload(); // a read failure has been shown
    emit applied(m_id);
    return true;
}
