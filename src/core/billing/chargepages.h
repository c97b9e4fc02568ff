#pragma once
// The property pages of a charge. Which pages a kind has, in order:
//   fixed:               General, Frequency, Apply
//   online:              General, Overtime, Premium, Origin, Apply
//   byte traffic:        General, Direction, Origin, Apply
//   tax, surcharge/disc: Rate
// (Apply is ApplyPage of planpages.h.) Each page is a plain struct made from the stored row
// (fromRow), checked (validate: the message to show, empty when fine, and which control it is
// about) and written into a row (toRow: only the page's own fields). SaveChargePage reads the
// template, applies one page and writes it in one transaction; "Error saving charge
// properties" with the engine's words on a database failure. Frozen copies are never written.
#include "core/app/editresult.h"
#include "core/db/chargerecord.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class Database;

enum class ChargePage { General, Frequency, Overtime, Premium, Origin, Direction, Rate, Apply };
// The pages of a charge of that type, in the order the property sheet shows them.
QList<ChargePage> ChargePagesOf(qint32 type);

// The template charge of that Id (frozen copies are not found); throws DbException.
std::optional<ChargeRow> LoadTemplateCharge(Database& db, qint32 chargeId);

// General page (fixed, online, byte traffic).
struct ChargeGeneralPage {
    enum Field { NameField, AmountField, UnitsField, UnitNameField, ExpiryField, DefUnitsField };

    qint32 type = 0; // not edited: tells how the units are shown and which boxes are enabled
    QString name;
    QString amount; // as typed; shown with the currency decimals
    QString units;  // units per price: hours for an online charge, else native units; whole
    QString unitName;
    QString expiryDate; // as typed in the user's date format; empty for no expiry
    bool firstInvoiceOnly = false;
    bool skipFirstInvoice = false;
    bool creditNextInvoice = false;
    bool skipLastInvoice = false;
    bool block = false;
    bool prepaid = false;
    bool prorate = false; // only when prorateEnabled()
    QString defaultUnits; // fixed charges only: 0 or more

    bool unitsInHours() const;        // online: units shown and typed in hours
    bool prorateEnabled() const;      // not for online and byte traffic
    bool defaultUnitsEnabled() const; // fixed only

    static ChargeGeneralPage fromRow(const ChargeRow& row, int decimals);
    QString validate(Field* field = nullptr) const;
    void toRow(ChargeRow& row) const;
};

// Fixed charge, Frequency page.
struct FrequencyPage {
    enum Field { CountField, OtherDateField };
    enum Frequency { BillingPeriod = 0, EveryNDays = 1, EveryNMonths = 2 };

    int frequency = BillingPeriod; // LimitType
    int count = 1;                 // N of every N days/months, at least 1
    int anchor = 0;                // LimitAnchor; forced to the period start for BillingPeriod
    QString otherDate;             // when anchor is LimitAnchor::FixedDate, as typed

    static FrequencyPage fromRow(const ChargeRow& row);
    QString validate(Field* field = nullptr) const;
    void toRow(ChargeRow& row) const; // also LimitStart and LimitEnd 0
};

// Online charge, Overtime page: the band of accumulated time inside which time is charged.
struct OvertimePage {
    enum Field { StartField, StopField, CountField, OtherDateField };

    bool startSet = false; // unchecked writes 0
    int startHours = 0, startMinutes = 0;
    bool stopSet = false;
    int stopHours = 0, stopMinutes = 0;
    int window = 0; // LimitWindow: billing period, N days, N months, forever
    int count = 1;  // N
    int anchor = 0; // LimitAnchor
    QString otherDate;
    bool premiumOnly = false; // "&Applies only to Premium hours"

    static OvertimePage fromRow(const ChargeRow& row);
    // "Stop must be greater than start." when both are set and stop is not greater.
    QString validate(Field* field = nullptr) const;
    void toRow(ChargeRow& row) const;
};

// Online charge, Premium page.
struct PremiumPage {
    enum Field { FromField, ToField };
    enum Mode { AllHours = 0, Daily = 1, Weekly = 2 };
    // Weekly choices: 0..6 Sunday..Saturday, 7 Monday-Friday, 8 Saturday-Sunday.
    static const QStringList& dayChoices();

    int mode = AllHours;
    int fromHour = 0, fromMinute = 0, toHour = 0, toMinute = 0; // daily range, 24-hour clock
    int day = 0;                                                // weekly choice

    // A stored weekly range that is none of the choices reads as Sunday.
    static PremiumPage fromRow(const ChargeRow& row);
    QString validate(Field* field = nullptr) const;
    void toRow(ChargeRow& row) const;
};

// A server offered on the Origin page.
struct ServerChoice {
    qint32 id = 0;
    QString name;
};

// Online and byte-traffic charge, Origin page.
struct OriginPage {
    enum Field { PortField, ServerField };

    bool portSet = false;
    QString port;
    bool serverSet = false;
    qint32 serverId = 0; // 0: no choice

    static OriginPage fromRow(const ChargeRow& row);
    // The servers by name; "Error accessing server table" (with the engine's words) when the
    // table cannot be read.
    static EditResult servers(Database& db, QList<ServerChoice>* list);
    // "Error finding server record." when the stored server is no longer there (the choice is
    // then shown empty); empty otherwise.
    QString serverProblem(const QList<ServerChoice>& list) const;
    // "Please enter a port id.", "Please select a server."
    QString validate(Field* field = nullptr) const;
    void toRow(ChargeRow& row) const; // an unchecked box writes an empty text or 0
};

// Byte-traffic charge, Direction page.
struct DirectionPage {
    bool sent = true;
    bool received = true;

    static DirectionPage fromRow(const ChargeRow& row);
    // "Choose either 'Sent' or 'Received' or both"
    QString validate() const;
    void toRow(ChargeRow& row) const;
};

// Tax and surcharge/discount page (its tab reads "Surcharge/Discount" for type 8).
struct RatePage {
    enum Field { NameField, RateField };

    qint32 type = 0; // not edited; the discount choice exists for type 8 only
    QString name;
    QString rate; // percent as typed, shown "%.2f" of the absolute value
    bool discount = false;
    bool round = false; // "&Round to nearest non-fractional currency value"

    QString tabTitle() const; // "Tax" or "Surcharge/Discount"
    static RatePage fromRow(const ChargeRow& row);
    // "Please enter a name.", "Enter a positive value for a rate."
    QString validate(Field* field = nullptr) const;
    void toRow(ChargeRow& row) const; // a discount stores the rate negative
};

// Saves one page of template charge `chargeId`: checks the page (and for General and Rate that
// no other template charge has the name), then writes only its fields.
EditResult SaveChargePage(Database& db, qint32 chargeId, const ChargeGeneralPage& page);
EditResult SaveChargePage(Database& db, qint32 chargeId, const FrequencyPage& page);
EditResult SaveChargePage(Database& db, qint32 chargeId, const OvertimePage& page);
EditResult SaveChargePage(Database& db, qint32 chargeId, const PremiumPage& page);
EditResult SaveChargePage(Database& db, qint32 chargeId, const OriginPage& page);
EditResult SaveChargePage(Database& db, qint32 chargeId, const DirectionPage& page);
EditResult SaveChargePage(Database& db, qint32 chargeId, const RatePage& page);
