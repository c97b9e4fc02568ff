#pragma once
#include "record.h"

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
    bool findByOwner(qint32 idOwner, qint32 type);

protected:
    void bindFields(FieldBinder& b) override;
};
