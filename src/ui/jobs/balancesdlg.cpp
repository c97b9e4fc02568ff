#include "ui/jobs/balancesdlg.h"

#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/datetimeutil.h"
#include "core/db/dbexception.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

namespace {

QString currencyText(const Currency& amount) {
    const int decimals = CurrencyDecimals();
    return QLocale().toString(RoundCurrency(amount, decimals).toDouble(), 'f', decimals);
}

// An amount typed in the user's format; invalid when it is no number. A currency symbol the
// user copied along is ignored.
Currency readCurrency(QString text) {
    const QLocale locale;
    text.remove(locale.currencySymbol()).remove(u'$');
    bool ok = false;
    const double value = locale.toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(value) ? Currency::fromDouble(value) : Currency::invalid();
}

QString dateText(const DbDateTime& value) {
    const QDate date = DbToDate(value);
    return date.isValid() ? QLocale().toString(
                                date, WithFourDigitYear(QLocale().dateFormat(QLocale::ShortFormat)))
                          : QString();
}

} // namespace

CBalancesDlg::CBalancesDlg(QWidget* parent, qint32 customerId) : QDialog(parent) {
    setObjectName(QStringLiteral("BalancesDlg"));
    setWindowTitle(QStringLiteral("Current Balances"));
    m_customer = new QComboBox;
    m_customer->setObjectName(QStringLiteral("CustomerCombo"));
    m_customer->setEditable(true);
    m_customer->setInsertPolicy(QComboBox::NoInsert);
    m_list = new QTreeWidget;
    m_list->setObjectName(QStringLiteral("BalanceList"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({QStringLiteral("CLOSING DATE"), QStringLiteral("INVOICE #"),
                             QStringLiteral("AMOUNT DUE"), QStringLiteral("AMOUNT PAID")});
    m_amount = new QLineEdit;
    m_amount->setObjectName(QStringLiteral("AmountEdit"));
    m_balance = new QLineEdit;
    m_balance->setObjectName(QStringLiteral("BalanceEdit"));
    m_balance->setReadOnly(true);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Login Name:"), m_customer);
    auto* buttons = new QDialogButtonBox;
    m_pay = buttons->addButton(QStringLiteral("&Pay"), QDialogButtonBox::ActionRole);
    m_unpay = buttons->addButton(QStringLiteral("&UnPay"), QDialogButtonBox::ActionRole);
    m_delete = buttons->addButton(QStringLiteral("&Delete"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    m_pay->setObjectName(QStringLiteral("PayButton"));
    m_unpay->setObjectName(QStringLiteral("UnPayButton"));
    m_delete->setObjectName(QStringLiteral("DeleteButton"));
    // Enter in the amount field must not close the dialog.
    for (QPushButton* b : {m_pay, m_unpay, m_delete, close})
        b->setAutoDefault(false);
    auto* amounts = new QFormLayout;
    amounts->addRow(QStringLiteral("&Amount to pay:"), m_amount);
    amounts->addRow(QStringLiteral("Unpaid Balance:"), m_balance);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_list);
    layout->addLayout(amounts);
    layout->addWidget(buttons);
    resize(560, 420);

    connect(m_pay, &QPushButton::clicked, this, &CBalancesDlg::pay);
    connect(m_unpay, &QPushButton::clicked, this, &CBalancesDlg::unpay);
    connect(m_delete, &QPushButton::clicked, this, &CBalancesDlg::deleteInvoices);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CBalancesDlg::selectionChanged);

    fillCustomers();
    const int preset = m_customer->findData(customerId);
    m_customer->setCurrentIndex(customerId != 0 ? preset : -1);
    chooseCustomer(m_customer->currentText());
    connect(m_customer, &QComboBox::currentTextChanged, this, &CBalancesDlg::chooseCustomer);
}

void CBalancesDlg::fillCustomers() {
    Database* db = theDatabase();
    if (!db)
        return;
    try {
        Statement st = db->prepare(
            QStringLiteral("SELECT DISTINCTROW Username, Id FROM Users ORDER BY Username"));
        while (st.next())
            m_customer->addItem(st.value(0).toString(), st.value(1).toInt());
    } catch (const DbException& e) {
        ui().showMessage(QStringLiteral("Error opening customer table. %1").arg(e.message()),
                         MessageIcon::Exclamation);
    }
}

void CBalancesDlg::chooseCustomer(const QString& name) {
    // Names are unique ignoring case, so a name typed in another case still chooses.
    const int index = m_customer->findText(name, Qt::MatchFixedString);
    m_customerId = index >= 0 && !name.isEmpty() ? m_customer->itemData(index).toInt() : 0;
    reload();
}

void CBalancesDlg::reload() {
    m_list->clear();
    m_lines.clear();
    m_balance->clear();
    Database* db = theDatabase();
    if (m_customerId != 0 && db) {
        try {
            m_lines = LoadBalanceLines(*db, m_customerId);
        } catch (const DbException& e) {
            ui().showMessage(QStringLiteral("Error opening invoice table. %1").arg(e.message()),
                             MessageIcon::Exclamation);
        }
        for (const BalanceLine& l : m_lines) {
            auto* item = new QTreeWidgetItem(
                m_list, {dateText(l.closingDate), QString::number(l.invoiceNum),
                         currencyText(l.newCharges), currencyText(l.totalPaid)});
            for (int column : {1, 2, 3})
                item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
        m_balance->setText(currencyText(UnpaidBalance(m_lines)));
        if (m_list->topLevelItemCount() > 0) {
            QTreeWidgetItem* last = m_list->topLevelItem(m_list->topLevelItemCount() - 1);
            m_list->setCurrentItem(last);
            last->setSelected(true);
        }
    }
    selectionChanged();
}

QList<qint32> CBalancesDlg::selectedInvoices() const {
    QList<qint32> numbers;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->isSelected())
            numbers.append(m_lines.at(i).invoiceNum);
    return numbers;
}

void CBalancesDlg::selectionChanged() {
    QList<BalanceLine> selected;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->isSelected())
            selected.append(m_lines.at(i));
    m_amount->setText(selected.isEmpty() ? QString() : currencyText(OutstandingSum(selected)));
    for (QPushButton* b : {m_pay, m_unpay, m_delete})
        b->setEnabled(!selected.isEmpty());
}

void CBalancesDlg::changed(const BalanceChange& result) {
    if (result.failed())
        ui().showMessage(result.message(), MessageIcon::Exclamation);
    reload();
    RefreshViews();
}

void CBalancesDlg::pay() {
    Database* db = theDatabase();
    const QList<qint32> selected = selectedInvoices();
    if (!db || selected.isEmpty())
        return;
    const Currency amount = readCurrency(m_amount->text());
    if (!amount.isValid() || amount <= Currency()) {
        ui().showMessage(QStringLiteral("Enter an amount paid."), MessageIcon::Exclamation);
        m_amount->setFocus();
        m_amount->selectAll();
        return;
    }
    changed(PayInvoices(*db, m_customerId, selected, amount));
}

void CBalancesDlg::unpay() {
    Database* db = theDatabase();
    const QList<qint32> selected = selectedInvoices();
    if (!db || selected.isEmpty() || !ui().askYesNo(UnpayQuestion(), MessageIcon::Question))
        return;
    changed(UnpayInvoices(*db, selected));
}

void CBalancesDlg::deleteInvoices() {
    Database* db = theDatabase();
    const QList<qint32> selected = selectedInvoices();
    if (!db || selected.isEmpty() ||
        !ui().askYesNo(DeleteInvoicesQuestion(), MessageIcon::Exclamation))
        return;
    changed(DeleteInvoices(*db, selected));
}
