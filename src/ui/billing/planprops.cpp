#include "ui/billing/planprops.h"

#include "core/app/appservices.h"
#include "core/app/dbsession.h"
#include "core/app/userinterface.h"
#include "core/billing/chargepages.h"
#include "core/billing/invoiceplanpage.h"
#include "core/billing/plancatalog.h"
#include "core/billing/planpages.h"
#include "core/db/dbexception.h"
#include "ui/billing/applypage.h"
#include "ui/billing/bpgeneralpage.h"
#include "ui/billing/chargegeneralpage.h"
#include "ui/billing/directionpage.h"
#include "ui/billing/frequencypage.h"
#include "ui/billing/invoiceplanpage.h"
#include "ui/billing/originpage.h"
#include "ui/billing/overtimepage.h"
#include "ui/billing/premiumpage.h"
#include "ui/billing/propsheet.h"
#include "ui/billing/ratepage.h"

namespace {

void gone(const QString& what) {
    ui().showMessage(QStringLiteral("The %1 no longer exists.").arg(what),
                     MessageIcon::Exclamation);
}

bool showSheet(std::unique_ptr<CPropSheet> sheet) {
    if (!sheet)
        return false;
    sheet->exec();
    if (sheet->saved())
        RefreshViews();
    return sheet->saved();
}

} // namespace

std::unique_ptr<CPropSheet> BuildBillingPlanProps(Database& db, qint32 planId, QWidget* parent) {
    try {
        const std::optional<BPRow> row = LoadTemplateBillingPlan(db, planId);
        if (!row) {
            gone(QStringLiteral("billing plan"));
            return nullptr;
        }
        auto sheet =
            std::make_unique<CPropSheet>(QStringLiteral("%1 Properties").arg(row->Name), parent);
        sheet->addPage(new CBPGeneralPage(planId, *row));
        sheet->addPage(new CApplyPage(CApplyPage::Plan, planId, ApplyPage::forPlan(db, planId)));
        return sheet;
    } catch (const DbException& e) {
        ui().showMessage(
            QStringLiteral("Error reading billing plan properties: %1").arg(e.message()),
            MessageIcon::Exclamation);
        return nullptr;
    }
}

std::unique_ptr<CPropSheet> BuildChargeProps(Database& db, qint32 chargeId, QWidget* parent) {
    try {
        const std::optional<ChargeRow> row = LoadTemplateCharge(db, chargeId);
        if (!row) {
            gone(QStringLiteral("charge"));
            return nullptr;
        }
        auto sheet =
            std::make_unique<CPropSheet>(QStringLiteral("%1 Properties").arg(row->Name), parent);
        for (ChargePage page : ChargePagesOf(row->Type)) {
            switch (page) {
            case ChargePage::General:
                sheet->addPage(new CChargeGeneralPage(chargeId, *row));
                break;
            case ChargePage::Frequency:
                sheet->addPage(new CFrequencyPage(chargeId, *row));
                break;
            case ChargePage::Overtime:
                sheet->addPage(new COvertimePage(chargeId, *row));
                break;
            case ChargePage::Premium:
                sheet->addPage(new CPremiumPage(chargeId, *row));
                break;
            case ChargePage::Origin: {
                QList<ServerChoice> servers;
                // The page still opens, with no server to choose, when the register is
                // unreadable.
                if (const EditResult r = OriginPage::servers(db, &servers); !r.ok())
                    ui().showMessage(r.text(), MessageIcon::Exclamation);
                sheet->addPage(new COriginPage(chargeId, *row, servers));
                break;
            }
            case ChargePage::Direction:
                sheet->addPage(new CDirectionPage(chargeId, *row));
                break;
            case ChargePage::Rate:
                sheet->addPage(new CRatePage(chargeId, *row));
                break;
            case ChargePage::Apply:
                sheet->addPage(new CApplyPage(CApplyPage::Charge, chargeId,
                                              ApplyPage::forCharge(db, chargeId)));
                break;
            }
        }
        return sheet;
    } catch (const DbException& e) {
        ui().showMessage(QStringLiteral("Error reading charge properties: %1").arg(e.message()),
                         MessageIcon::Exclamation);
        return nullptr;
    }
}

std::unique_ptr<CPropSheet> BuildInvoicingPlanProps(Database& db, qint32 planId, QWidget* parent) {
    try {
        const std::optional<InvoicePlanRow> row = LoadTemplateInvoicingPlan(db, planId);
        if (!row) {
            gone(QStringLiteral("invoicing plan"));
            return nullptr;
        }
        auto sheet =
            std::make_unique<CPropSheet>(QStringLiteral("%1 Properties").arg(row->Name), parent);
        sheet->addPage(new CInvoicePlanPage(planId, *row));
        return sheet;
    } catch (const DbException& e) {
        ui().showMessage(
            QStringLiteral("Error reading invoicing plan properties: %1").arg(e.message()),
            MessageIcon::Exclamation);
        return nullptr;
    }
}

bool ShowBillingPlanProps(qint32 planId, QWidget* parent) {
    Database* db = theDatabase();
    return db && showSheet(BuildBillingPlanProps(*db, planId, parent));
}

bool ShowChargeProps(qint32 chargeId, QWidget* parent) {
    Database* db = theDatabase();
    return db && showSheet(BuildChargeProps(*db, chargeId, parent));
}

bool ShowInvoicingPlanProps(qint32 planId, QWidget* parent) {
    Database* db = theDatabase();
    return db && showSheet(BuildInvoicingPlanProps(*db, planId, parent));
}
