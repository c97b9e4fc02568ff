#pragma once
#include <QMetaType>
#include <QString>
#include <cstdint>

// Money: a signed 64-bit count of ten-thousandths of a currency unit, with a status.
// A null amount counts as 0 in arithmetic; an invalid one stays invalid.
class Currency {
public:
    enum Status { Valid, Invalid, Null };
    static constexpr std::int64_t Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromUnits(std::int64_t tenThousandths) {
        Currency c;
        c.m_units = tenThousandths;
        return c;
    }
    static Currency fromDouble(double amount); // rounds half away from zero to 1/10000
    static constexpr Currency null() {
        Currency c;
        c.m_status = Null;
        return c;
    }
    static constexpr Currency invalid() {
        Currency c;
        c.m_status = Invalid;
        return c;
    }

    Status status() const { return m_status; }
    bool isNull() const { return m_status == Null; }
    bool isValid() const { return m_status == Valid; }
    // Ten-thousandths; a null amount reads as 0.
    std::int64_t units() const { return m_status == Null ? 0 : m_units; }
    double toDouble() const { return double(units()) / Scale; }

    Currency operator+(const Currency& o) const { return combine(o, units() + o.units()); }
    Currency operator-(const Currency& o) const { return combine(o, units() - o.units()); }
    Currency operator-() const { return fromUnits(-units()).withStatusOf(*this); }
    Currency& operator+=(const Currency& o) { return *this = *this + o; }
    Currency& operator-=(const Currency& o) { return *this = *this - o; }
    // Multiplication by a factor truncates toward zero.
    Currency operator*(double factor) const;
    Currency& operator*=(double factor) { return *this = *this * factor; }

    bool operator==(const Currency& o) const { return units() == o.units(); }
    auto operator<=>(const Currency& o) const { return units() <=> o.units(); }

    // "%.*f" form with the given number of decimals, rounded half away from zero.
    QString format(int decimals) const;

private:
    Currency combine(const Currency& o, std::int64_t v) const {
        Currency c = fromUnits(v);
        if (m_status == Invalid || o.m_status == Invalid)
            c.m_status = Invalid;
        return c;
    }
    Currency withStatusOf(const Currency& o) const {
        Currency c = *this;
        if (o.m_status == Invalid)
            c.m_status = Invalid;
        return c;
    }

    std::int64_t m_units = 0;
    Status m_status = Valid;
};
Q_DECLARE_METATYPE(Currency)

// Rounds to the given number of decimals, half away from zero.
Currency RoundCurrency(const Currency& amount, int decimals);
// Number of decimals of the user's locale currency format.
int CurrencyDecimals();
