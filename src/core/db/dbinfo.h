#pragma once
#include "core/db/record.h"

// The one row of database-wide data. The table has no key; its row is located by rowid.
struct DBInfoRow {
    qint32 Version = 0;
    QString CompanyName;
    QString LogoURL;
    Currency MinimumPayment;
    bool PrepaidMinimum = false;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Version", Version);
        f("Company Name", CompanyName);
        f("LogoURL", LogoURL);
        f("MinimumPayment", MinimumPayment);
        f("PrepaidMinimum", PrepaidMinimum);
    }

    bool operator==(const DBInfoRow&) const = default;
};

class CDBInfo : public CRecord, public DBInfoRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 5;

    explicit CDBInfo(Database& db);
    CDBInfo& operator=(const DBInfoRow& row) {
        static_cast<DBInfoRow&>(*this) = row;
        return *this;
    }
    const DBInfoRow& row() const { return *this; }

    // Opens the table; true when its row is there (the members then hold it).
    [[nodiscard]] bool read();

protected:
    void bindFields(FieldBinder& b) override;
};
