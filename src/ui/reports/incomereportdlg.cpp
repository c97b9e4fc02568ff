#include "ui/reports/incomereportdlg.h"

#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/datetimeutil.h"
#include "ui/app/datefield.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QString remembered(int id) {
    const qint32 seconds = RegNumber(id);
    const QDateTime when =
        seconds > 0 ? SecondsToDateTime(seconds) : QDateTime(QDate::currentDate(), QTime(0, 0));
    return FormatLocalDateTime(when);
}

} // namespace

CIncomeReportDlg::CIncomeReportDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("IncomeReportDlg"));
    setWindowTitle(QStringLiteral("Income Report"));
    auto* layout = new QVBoxLayout(this);
    auto* startLabel = new QLabel(QStringLiteral(
        "&Show charges and payments for all invoices whose closing date is on or after:"));
    m_startEdit = new QLineEdit(remembered(Reg::IncomeReportStartDate));
    m_startEdit->setObjectName(QStringLiteral("StartEdit"));
    startLabel->setBuddy(m_startEdit);
    auto* endLabel = new QLabel(QStringLiteral("&and before:"));
    m_endEdit = new QLineEdit(remembered(Reg::IncomeReportEndDate));
    m_endEdit->setObjectName(QStringLiteral("EndEdit"));
    endLabel->setBuddy(m_endEdit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QWidget* w : {static_cast<QWidget*>(startLabel), static_cast<QWidget*>(m_startEdit),
                       static_cast<QWidget*>(endLabel), static_cast<QWidget*>(m_endEdit),
                       static_cast<QWidget*>(buttons)})
        layout->addWidget(w);
}

QString CIncomeReportDlg::startText() const {
    return m_startEdit->text().trimmed();
}

QString CIncomeReportDlg::endText() const {
    return m_endEdit->text().trimmed();
}

void CIncomeReportDlg::accept() {
    const QDateTime start = ReadDateField(m_startEdit);
    if (!start.isValid())
        return;
    const QDateTime end = ReadDateField(m_endEdit);
    if (!end.isValid())
        return;
    if (end <= start) {
        ui().showMessage(QStringLiteral("The end time must proceed the start time."),
                         MessageIcon::Exclamation);
        m_endEdit->setFocus();
        return;
    }
    m_start = start;
    m_end = end;
    if (!RegWriteNumber(Reg::IncomeReportStartDate, qint32(start.toSecsSinceEpoch())) ||
        !RegWriteNumber(Reg::IncomeReportEndDate, qint32(end.toSecsSinceEpoch())))
        qWarning("Unable to store the income report's dates");
    QDialog::accept();
}
