#include "ui/import/createfromeventsdlg.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/customers/autocreate.h"
#include "core/db/datetimeutil.h"
#include "ui/app/datefield.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CCreateFromEventsDlg::CCreateFromEventsDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("CreateFromEventsDlg"));
    setWindowTitle(QStringLiteral("Create Customer Records"));
    auto* layout = new QVBoxLayout(this);
    auto* explanation = new QLabel(QStringLiteral(
        "This will scan the imported events for new customers who have logged on after the date "
        "shown below.  It will initialize new records for each new customer using the customer "
        "default settings."));
    explanation->setWordWrap(true);
    auto* label = new QLabel(QStringLiteral("Starting &date:"));
    m_dateEdit = new QLineEdit(FormatLocalDateTime(AutoCreateSessionsDefaultStart()));
    m_dateEdit->setObjectName(QStringLiteral("StartDateEdit"));
    label->setBuddy(m_dateEdit);
    auto* question = new QLabel(QStringLiteral("Do you wish to create new customer records now?"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No);
    connect(buttons->button(QDialogButtonBox::Yes), &QPushButton::clicked, this, &QDialog::accept);
    connect(buttons->button(QDialogButtonBox::No), &QPushButton::clicked, this, &QDialog::reject);
    for (QWidget* w : {static_cast<QWidget*>(explanation), static_cast<QWidget*>(label),
                       static_cast<QWidget*>(m_dateEdit), static_cast<QWidget*>(question),
                       static_cast<QWidget*>(buttons)})
        layout->addWidget(w);
}

void CCreateFromEventsDlg::accept() {
    const QDateTime since = ReadDateField(m_dateEdit);
    if (!since.isValid())
        return;
    m_since = since;
    QDialog::accept();
}

void RunCreateFromEvents(QWidget* parent) {
    Database* db = theDatabase();
    if (!db) {
        ui().showMessage(QStringLiteral("No database is open."), MessageIcon::Exclamation);
        return;
    }
    CCreateFromEventsDlg dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return;
    (void)CreateCustomersFromSessions(*db, dlg.since()); // the outcome was shown and logged
}
