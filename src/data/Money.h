#pragma once

#include <QLocale>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <compare>
#include <optional>

// An exact amount of money: an integer count of ten-thousandths (four decimals), as stored in the database.
class Money {
public:
    static constexpr qint64 Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(qint64 tenThousandths) { return Money(tenThousandths); }
    static constexpr Money fromWhole(qint64 whole) { return Money(whole * Scale); }
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
    // Spanish words for the amount, as on a receipt: "un mil doscientos treinta y cuatro con 50/100".
    QString toSpanishWords() const;

    constexpr Money operator+(Money o) const { return Money(m_units + o.m_units); }
    constexpr Money operator-(Money o) const { return Money(m_units - o.m_units); }
    constexpr Money operator-() const { return Money(-m_units); }
    Money &operator+=(Money o) {
        m_units += o.m_units;
        return *this;
    }
    Money &operator-=(Money o) {
        m_units -= o.m_units;
        return *this;
    }
    constexpr auto operator<=>(const Money &) const = default;
    constexpr bool isZero() const { return m_units == 0; }

private:
    constexpr explicit Money(qint64 u) : m_units(u) {}
    qint64 m_units = 0;
};

Q_DECLARE_METATYPE(Money)
