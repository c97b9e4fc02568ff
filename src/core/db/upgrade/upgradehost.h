#pragma once
#include <QByteArray>
#include <QString>

#include <functional>

// What the upgrade needs from the program around it: the user, the settings of earlier
// releases and a progress window. The data store knows neither the user interface nor the
// settings store; the application passes an implementation of this to UpgradeDatabase.

// Settings of the first billing model, read once before the billing-plan file is written.
struct LegacySettings {
    QString emailSubject;
    QString emailProfile;
    QString smtpName;
    int language = 0; // 0 English, 1 French, 2 Spanish, 3 Portuguese
    bool showDetails = false;
    bool showAddress = false;
    bool billAlways = false;
    QString tax1Name;
    QString tax1Rate;
    QString tax2Name;
    QString tax2Rate;
    bool roundTax1 = false;
    bool roundTax2 = false;
    bool overrideOvertime1 = false;
    bool overrideOvertime2 = false;
    // From hour, from minute, to hour, to minute of premium windows 1 and 2.
    int premium1[4] = {0, 0, 0, 0};
    int premium2[4] = {0, 0, 0, 0};
};

class UpgradeHost {
public:
    virtual ~UpgradeHost() = default;
    // Yes/No with the warning icon; true for Yes.
    virtual bool askConsent(const QString& text) = 0;
    // A modal message; warning or information icon.
    virtual void showMessage(const QString& text, bool warning) = 0;
    // Called after every progress marker, so the windows stay painted.
    virtual void progress() {}
    // The minimum-payment settings of releases that kept them per user.
    virtual bool prepaySetting() { return true; }
    virtual QString minimumSetting() { return QStringLiteral("0.00"); }
    // The settings written into the billing-plan file.
    virtual LegacySettings legacySettings() { return {}; }
    // Number of decimals of the user's currency format.
    virtual int currencyDecimals() { return 2; }
    // The bytes of a text file written for the user (the program's file encoding).
    virtual QByteArray encodeText(const QString& text) { return text.toLatin1(); }
};

struct UpgradeOptions {
    // Runs every step inside the transaction and rolls it back: nothing is asked, written or
    // kept; onStep still lists what would change.
    bool dryRun = false;
    // Folder of "BillingPlans.txt"; empty: the current folder.
    QString planFileFolder;
    // Called for every step that changes something: level, step and what it does.
    std::function<void(int level, int step, const QString& what)> onStep;
    // Makes the step with this level * 65536 + step fail like an engine error (0: none);
    // lets the tests see that a failure half-way leaves the file as it was.
    int failAt = 0;
};
