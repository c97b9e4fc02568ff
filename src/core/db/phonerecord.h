#pragma once
#include "core/db/record.h"

// A telephone number of a customer or group.
struct PhoneRow {
    qint32 Id = 0;
    qint32 Type = 0;
    QString Number;
    qint32 IdOwner = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Id", Id);
        f("Type", Type);
        f("Number", Number);
        f("IdOwner", IdOwner);
    }

    bool operator==(const PhoneRow&) const = default;
};

class CPhoneRecord : public CRecord, public PhoneRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 4;

    explicit CPhoneRecord(Database& db);
    CPhoneRecord& operator=(const PhoneRow& row) {
        static_cast<PhoneRow&>(*this) = row;
        return *this;
    }
    const PhoneRow& row() const { return *this; }

    // Number `type` of owner `idOwner` ("[IdOwner] = ? AND [Type] = ?").
    [[nodiscard]] bool findByOwner(qint32 idOwner, qint32 type);

protected:
    void bindFields(FieldBinder& b) override;
};
