#pragma once

#include <QLocale>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <compare>
#include <limits>
#include <optional>

// An exact amount of money: an integer count of ten-thousandths (four decimals), as stored in the database.
class Money {
public:
    static constexpr qint64 Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(qint64 tenThousandths) { return Money(tenThousandths); }
    // Whole currency units; beyond the range of the stored type the amount saturates.
    static constexpr Money fromWhole(qint64 whole) {
        qint64 u = 0;
        return __builtin_mul_overflow(whole, Scale, &u) ? Money(whole < 0 ? Min : Max) : Money(u);
    }
    // The extremes a stored value can hold; arithmetic saturates there instead of wrapping around.
    static constexpr qint64 Max = std::numeric_limits<qint64>::max();
    static constexpr qint64 Min = std::numeric_limits<qint64>::min();
    // The largest amount, either sign, that a user may type (999.999.999,9999): far beyond any club's
    // figure, and sums of millions of them still fit the stored type. Larger stored values (brought from
    // elsewhere) are still shown and printed whole.
    static constexpr qint64 MaxEntry = 1000000000LL * Scale - 1;
    constexpr bool fitsEntry() const { return m_units >= -MaxEntry && m_units <= MaxEntry; }
    // Reads a stored value (integer ten-thousandths); Null or non-numeric gives nothing.
    static std::optional<Money> fromVariant(const QVariant &v);

    // Reads what a user typed, in the given locale: "$ 1.234,50", "1234,5", "25", "-3", "(3,00)".
    // The program's own display format always reads back. Returns nothing when the text is not an amount.
    static std::optional<Money> parse(const QString &text, const QLocale &locale = QLocale());

    constexpr qint64 units() const { return m_units; }
    QVariant toVariant() const { return QVariant::fromValue<qlonglong>(m_units); }

    // The locale's currency form, two decimals at least, more only when the amount carries them:
    // es_AR gives "$ 1.234,50".
    QString toCurrencyString(const QLocale &locale = QLocale()) const;
    // Plain number without symbol or grouping, in the locale's decimal sign: "1234,50".
    QString toPlainString(const QLocale &locale = QLocale()) const;
    // Spanish words for exactly the amount, as on a receipt: "mil doscientos treinta y cuatro con 50/100";
    // a fraction of a cent is written after the cents: "con 45,67/100".
    QString toSpanishWords() const;

    // Values another tool stored may sit at the type's limits: sums saturate rather than wrap.
    constexpr Money operator+(Money o) const {
        qint64 u = 0;
        return __builtin_add_overflow(m_units, o.m_units, &u) ? Money(o.m_units < 0 ? Min : Max) : Money(u);
    }
    constexpr Money operator-(Money o) const {
        qint64 u = 0;
        return __builtin_sub_overflow(m_units, o.m_units, &u) ? Money(o.m_units < 0 ? Max : Min) : Money(u);
    }
    constexpr Money operator-() const { return Money(m_units == Min ? Max : -m_units); }
    Money &operator+=(Money o) { return *this = *this + o; }
    Money &operator-=(Money o) { return *this = *this - o; }
    constexpr auto operator<=>(const Money &) const = default;
    constexpr bool isZero() const { return m_units == 0; }

private:
    constexpr explicit Money(qint64 u) : m_units(u) {}
    qint64 m_units = 0;
};

Q_DECLARE_METATYPE(Money)
