#include "ui/invoice/plancombo.h"

#include "core/app/userinterface.h"
#include "core/db/database.h"
#include "core/db/dbexception.h"

#include <QComboBox>

namespace {

bool fill(QComboBox* combo, Database& db, const QString& sql, qint32 selectId,
          const QString& what) {
    combo->clear();
    combo->addItem(QStringLiteral("None"), 0);
    bool ok = true;
    try {
        Statement st = db.prepare(sql);
        while (st.next())
            combo->addItem(st.value(1).toString(), st.value(0).toInt());
    } catch (const DbException& e) {
        ui().showMessage(QStringLiteral("Unable to read the %1. %2").arg(what, e.message()),
                         MessageIcon::Exclamation);
        ok = false;
    }
    const int at = combo->findData(selectId);
    combo->setCurrentIndex(at >= 0 ? at : 0);
    return ok;
}

} // namespace

bool FillBillingPlanCombo(QComboBox* combo, Database& db, qint32 selectId) {
    return fill(
        combo, db,
        QStringLiteral("SELECT Id, Name FROM BillingPlans WHERE IdInvoice = 0 ORDER BY Name"),
        selectId, QStringLiteral("billing plans"));
}

bool FillInvoicePlanCombo(QComboBox* combo, Database& db, qint32 selectId) {
    return fill(
        combo, db,
        QStringLiteral("SELECT Id, Name FROM InvoicePlans WHERE IdInvoice = 0 ORDER BY Name"),
        selectId, QStringLiteral("invoicing plans"));
}
