#include "ui/invoice/customercombo.h"

#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

CCustomerCombo::CCustomerCombo(Database& db, Kind kind, bool allEntry, QWidget* parent)
    : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    completer()->setCaseSensitivity(Qt::CaseInsensitive);
    if (allEntry)
        addItem(QString(), 0);
    try {
        const QString where = kind == Kind::Groups      ? QStringLiteral(" WHERE IsGroup <> 0")
                              : kind == Kind::Customers ? QStringLiteral(" WHERE IsGroup = 0")
                                                        : QString();
        Statement st = db.prepare(QStringLiteral("SELECT Id, Username FROM Users") + where +
                                  QStringLiteral(" ORDER BY Username"));
        while (st.next())
            addItem(st.value(1).toString(), st.value(0).toInt());
    } catch (const DbException& e) {
        m_loaded = false;
        ui().showMessage(QStringLiteral("Unable to read the customers. %1").arg(e.message()),
                         MessageIcon::Exclamation);
    }
}

qint32 CCustomerCombo::customerId() const {
    const QString text = currentText().trimmed();
    if (text.isEmpty())
        return 0;
    const int at = findText(text, Qt::MatchFixedString); // ignores case
    return at >= 0 ? itemData(at).toInt() : -1;
}

bool CCustomerCombo::setCustomerId(qint32 id) {
    const int at = findData(id);
    if (at < 0)
        return false;
    setCurrentIndex(at);
    return true;
}

bool PickCustomer(QWidget* parent, Database& db, CCustomerCombo::Kind kind, qint32& id) {
    const bool groups = kind == CCustomerCombo::Kind::Groups;
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("PickCustomerDlg"));
    dlg.setWindowTitle(groups ? QStringLiteral("Choose Group") : QStringLiteral("Choose Customer"));
    auto* layout = new QVBoxLayout(&dlg);
    auto* label = new QLabel(groups ? QStringLiteral("&Group:") : QStringLiteral("&Login Name:"));
    auto* combo = new CCustomerCombo(db, kind, false);
    combo->setObjectName(QStringLiteral("CustomerCombo"));
    if (id > 0)
        (void)combo->setCustomerId(id); // a preselection of another kind is simply not shown
    label->setBuddy(combo);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(label);
    layout->addWidget(combo);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, [&] {
        if (combo->customerId() > 0) {
            dlg.accept();
            return;
        }
        ui().showMessage(groups ? QStringLiteral("Customer group record not found.")
                                : QStringLiteral("Customer record not found."),
                         MessageIcon::Exclamation);
        combo->setFocus();
    });
    if (dlg.exec() != QDialog::Accepted)
        return false;
    id = combo->customerId();
    return true;
}
