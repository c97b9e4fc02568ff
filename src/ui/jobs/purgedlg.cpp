#include "ui/jobs/purgedlg.h"

#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/jobs/purge.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

QSpinBox* numberField(const char* name, int min, int max, int value) {
    auto* box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(min, max);
    box->setValue(value);
    return box;
}

} // namespace

CPurgeDlg::CPurgeDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("PurgeDlg"));
    setWindowTitle(QStringLiteral("Purge old records"));
    m_sessions = new QCheckBox(QStringLiteral("&Login Events"));
    m_sessions->setObjectName(QStringLiteral("SessionsBox"));
    m_invoices = new QCheckBox(QStringLiteral("Paid &Invoices"));
    m_invoices->setObjectName(QStringLiteral("InvoicesBox"));
    // A year back from today: a date that leaves the current year's records alone.
    const QDate start = QDate::currentDate().addYears(-1);
    m_month = numberField("MonthField", 1, 12, start.month());
    m_day = numberField("DayField", 1, 31, start.day());
    m_year = numberField("YearField", 1970, 2035, start.year());

    auto* date = new QHBoxLayout;
    for (auto [label, field] : {std::pair{"MM", m_month}, {"DD", m_day}, {"YYYY", m_year}}) {
        date->addWidget(new QLabel(QLatin1String(label)));
        date->addWidget(field);
    }
    auto* buttons = new QDialogButtonBox;
    QPushButton* purgeButton =
        buttons->addButton(QStringLiteral("&Purge..."), QDialogButtonBox::ActionRole);
    purgeButton->setObjectName(QStringLiteral("PurgeButton"));
    buttons->addButton(QDialogButtonBox::Close);
    connect(purgeButton, &QPushButton::clicked, this, &CPurgeDlg::purge);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_sessions);
    layout->addWidget(m_invoices);
    layout->addWidget(new QLabel(QStringLiteral("Up to (and including) what date?")));
    layout->addLayout(date);
    layout->addWidget(buttons);
}

int CPurgeDlg::kinds() const {
    return (m_sessions->isChecked() ? PurgeKind::Sessions : 0) |
           (m_invoices->isChecked() ? PurgeKind::Invoices : 0);
}

QDate CPurgeDlg::upTo() const {
    return QDate(m_year->value(), m_month->value(), m_day->value());
}

void CPurgeDlg::purge() {
    if (kinds() == 0) {
        ui().showMessage(QStringLiteral("Please select which types of records you wish to purge."),
                         MessageIcon::Exclamation);
        m_sessions->setFocus();
        return;
    }
    // The fields hold their ranges; a day the month does not have is refused here.
    if (!upTo().isValid()) {
        ui().showMessage(QStringLiteral("There is no day %1 in month %2 of %3.")
                             .arg(m_day->value())
                             .arg(m_month->value())
                             .arg(m_year->value()),
                         MessageIcon::Exclamation);
        m_day->setFocus();
        m_day->selectAll();
        return;
    }
    CDatabaseSession* session = CDatabaseSession::instance();
    if (!session)
        return;
    const int rc = RunPurge(*session, upTo(), kinds());
    if (rc == SystemResult::Cancelled)
        return; // the user said No: back to the dialog
    RefreshViews();
    if (rc == SystemResult::Ok)
        accept();
}
