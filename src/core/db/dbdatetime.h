#pragma once
#include <QMetaType>

// The engine's date-time value: days since 30 December 1899 with the time of day as the
// fraction, in local time, plus a status (a Date/Time field may be Null).
class DbDateTime {
public:
    enum Status { Valid, Invalid, Null };
    DbDateTime() = default;
    explicit DbDateTime(double days) : m_days(days), m_status(Valid) {}
    static DbDateTime null() { return DbDateTime(); }

    bool isNull() const { return m_status == Null; }
    bool isValid() const { return m_status == Valid; }
    Status status() const { return m_status; }
    double days() const { return m_days; }

    bool operator==(const DbDateTime& o) const {
        return m_status == o.m_status && (m_status != Valid || m_days == o.m_days);
    }

private:
    double m_days = 0;
    Status m_status = Null;
};
Q_DECLARE_METATYPE(DbDateTime)
