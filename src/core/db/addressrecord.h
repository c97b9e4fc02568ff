#pragma once
#include "core/db/record.h"

// A postal and e-mail address of a customer or group; Type 0 is the main address.
struct AddressRow {
    qint32 Id = 0;
    qint32 Type = 0;
    QString Address1;
    QString Address2;
    QString City;
    QString Province;
    QString PostalCode;
    QString EMail;
    qint32 IdOwner = 0;

    // Visits every bound field as (field name, member), in the record type's order.
    template <class F> void forEachField(F&& f) {
        f("Id", Id);
        f("Type", Type);
        f("Address1", Address1);
        f("Address2", Address2);
        f("City", City);
        f("Province", Province);
        f("PostalCode", PostalCode);
        f("EMail", EMail);
        f("IdOwner", IdOwner);
    }

    bool operator==(const AddressRow&) const = default;
};

class CAddressRecord : public CRecord, public AddressRow {
public:
    // Bound fields, in the order the record type exchanges them.
    static constexpr int kFieldCount = 9;

    explicit CAddressRecord(Database& db);
    CAddressRecord& operator=(const AddressRow& row) {
        static_cast<AddressRow&>(*this) = row;
        return *this;
    }
    const AddressRow& row() const { return *this; }

    // Address `type` of owner `idOwner` ("[IdOwner] = ? AND [Type] = ?").
    [[nodiscard]] bool findByOwner(qint32 idOwner, qint32 type);

protected:
    void bindFields(FieldBinder& b) override;
};
