#include "core/app/schemaupgrade.h"

#include "core/app/busystate.h"
#include "core/app/cp1252.h"
#include "core/app/exclusiveoperation.h"
#include "core/app/settingsvalues.h"
#include "core/app/userinterface.h"
#include "core/db/currency.h"
#include "core/db/dbexception.h"

#include <optional>

namespace {

class AppUpgradeHost : public UpgradeHost {
public:
    bool askConsent(const QString& text) override {
        return ui().askYesNo(text, MessageIcon::Exclamation);
    }
    void showMessage(const QString& text, bool warning) override {
        ui().showMessage(text, warning ? MessageIcon::Exclamation : MessageIcon::Information);
    }
    void progress() override {
        // The upgrade cannot be interrupted; the call only keeps the windows painted.
        (void)ui().pollInterruptRequest(0);
    }
    bool prepaySetting() override { return RegYesNo(Reg::Prepay); }
    QString minimumSetting() override { return RegText(Reg::Minimum); }
    LegacySettings legacySettings() override {
        LegacySettings s;
        s.emailSubject = RegText(Reg::EmailSubject);
        s.emailProfile = RegText(Reg::EmailProfile);
        s.smtpName = RegText(Reg::SMTPName);
        s.language = RegNumber(Reg::Language);
        s.showDetails = RegYesNo(Reg::ShowDetails);
        s.showAddress = RegYesNo(Reg::ShowAddress);
        s.billAlways = RegYesNo(Reg::BillAlways);
        s.tax1Name = RegText(Reg::Tax1Name);
        s.tax1Rate = RegText(Reg::Tax1Rate);
        s.tax2Name = RegText(Reg::Tax2Name);
        s.tax2Rate = RegText(Reg::Tax2Rate);
        s.roundTax1 = RegYesNo(Reg::RoundTax1);
        s.roundTax2 = RegYesNo(Reg::RoundTax2);
        s.overrideOvertime1 = RegYesNo(Reg::OverrideOvertime1);
        s.overrideOvertime2 = RegYesNo(Reg::OverrideOvertime2);
        const int times1[] = {Reg::TimeFromHH1, Reg::TimeFromMM1, Reg::TimeToHH1, Reg::TimeToMM1};
        const int times2[] = {Reg::TimeFromHH2, Reg::TimeFromMM2, Reg::TimeToHH2, Reg::TimeToMM2};
        for (int i = 0; i < 4; ++i) {
            s.premium1[i] = RegNumber(times1[i]);
            s.premium2[i] = RegNumber(times2[i]);
        }
        return s;
    }
    int currencyDecimals() override { return CurrencyDecimals(); }
    QByteArray encodeText(const QString& text) override { return EncodeCp1252(text); }
};

} // namespace

int UpgradeDatabase(Database& db, const UpgradeOptions& options) {
    // Workstations that open a database of an earlier layout at once upgrade it one after the
    // other; the later ones then find it current.
    std::optional<CExclusiveOperation> upgrading;
    try {
        upgrading.emplace(db, OperationKind::Upgrade);
    } catch (const DbException& e) {
        ui().showMessage(e.message(), MessageIcon::Exclamation);
        return SystemResult::Failed;
    }
    CProcessScope busy(QString(), 0);
    AppUpgradeHost host;
    return RunSchemaUpgrade(db, host, options);
}
