#include "ui/billing/propsheet.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

CPropPage::CPropPage(const QString& title, QWidget* parent) : QWidget(parent), m_title(title) {}

CPropSheet::CPropSheet(const QString& title, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PropSheet"));
    setWindowTitle(title);
    m_tabs = new QTabWidget(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
}

void CPropSheet::addPage(CPropPage* page) {
    m_pages.append(page);
    m_tabs->addTab(page, page->title());
}

void CPropSheet::accept() {
    for (CPropPage* page : m_pages) {
        QWidget* focus = nullptr;
        const QString message = page->check(&focus);
        if (message.isEmpty())
            continue;
        m_tabs->setCurrentWidget(page);
        ui().showMessage(message, MessageIcon::Exclamation);
        if (focus)
            focus->setFocus();
        return;
    }
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    for (CPropPage* page : m_pages) {
        const EditResult r = page->save(*db);
        if (!r.ok()) {
            m_tabs->setCurrentWidget(page);
            ui().showMessage(r.text(), MessageIcon::Exclamation);
            return;
        }
        m_saved = true;
    }
    QDialog::accept();
}
