#include "core/Money.h"

#include <QStringList>

std::optional<Money> Money::fromVariant(const QVariant &v) {
    if (v.isNull() || !v.isValid())
        return std::nullopt;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return Money(n);
}

std::optional<Money> Money::parse(const QString &text, const QLocale &locale) {
    QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (s.startsWith(QLatin1Char('(')) && s.endsWith(QLatin1Char(')'))) {
        negative = true;
        s = s.mid(1, s.size() - 2).trimmed();
    }
    // The currency symbol may stand before or after the number.
    const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    for (const QString &sym : {symbol, QStringLiteral("$")}) {
        if (sym.isEmpty())
            continue;
        if (s.startsWith(sym))
            s = s.mid(sym.size()).trimmed();
        if (s.endsWith(sym))
            s.chop(sym.size()), s = s.trimmed();
    }
    const QString minus = locale.negativeSign();
    if (s.startsWith(minus) || s.startsWith(QLatin1Char('-'))) {
        negative = !negative;
        s = s.mid(1).trimmed();
        // "-$ 5" as well as "$ -5"
        if (!symbol.isEmpty() && s.startsWith(symbol))
            s = s.mid(symbol.size()).trimmed();
    } else if (s.startsWith(QLatin1Char('+'))) {
        s = s.mid(1).trimmed();
    }
    if (s.isEmpty())
        return std::nullopt;

    const QString dec = locale.decimalPoint();
    const QString group = locale.groupSeparator();
    QString intPart = s;
    QString fracPart;
    const int decAt = s.lastIndexOf(dec);
    if (decAt >= 0) {
        intPart = s.left(decAt);
        fracPart = s.mid(decAt + dec.size());
    }
    // Group separators only in the whole part, and only between groups of three digits: in es_AR
    // "12.50" or "0.5" is a mistyped decimal, not twelve hundred and fifty. A plain or non-breaking
    // blank is also accepted as grouping.
    QString digits;
    int groupDigits = 0;  // digits since the last separator
    bool grouped = false; // a separator has been seen
    for (int i = 0; i < intPart.size(); ++i) {
        const QChar c = intPart.at(i);
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            digits += c;
            ++groupDigits;
        } else if (QString(c) == group || c == QChar(0x00A0) || c == QChar(0x202F) ||
                   (group == QStringLiteral("\u00a0") && c == QLatin1Char(' '))) {
            if (groupDigits == 0 || groupDigits > 3 || (grouped && groupDigits != 3))
                return std::nullopt;
            grouped = true;
            groupDigits = 0;
        } else {
            return std::nullopt;
        }
    }
    if (grouped && groupDigits != 3)
        return std::nullopt;
    for (const QChar c : fracPart)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    if (digits.isEmpty() && fracPart.isEmpty())
        return std::nullopt;
    if (digits.size() > 14)
        return std::nullopt; // beyond any amount a club handles; avoids overflow
    qint64 whole = digits.isEmpty() ? 0 : digits.toLongLong();
    // Four decimals are kept; a fifth and later round half away from zero.
    qint64 frac = 0;
    for (int i = 0; i < 4; ++i)
        frac = frac * 10 + (i < fracPart.size() ? fracPart.at(i).digitValue() : 0);
    if (fracPart.size() > 4 && fracPart.at(4).digitValue() >= 5)
        frac += 1;
    qint64 units = whole * Scale + frac;
    return Money(negative ? -units : units);
}

QString Money::toPlainString(const QLocale &locale) const {
    // Unsigned, so that the most negative stored value has a magnitude too.
    const quint64 a = m_units < 0 ? 0 - quint64(m_units) : quint64(m_units);
    const quint64 whole = a / Scale;
    const quint64 frac = a % Scale;
    QString f = QStringLiteral("%1").arg(frac, 4, 10, QLatin1Char('0'));
    while (f.size() > 2 && f.endsWith(QLatin1Char('0')))
        f.chop(1);
    QString s = QString::number(whole) + locale.decimalPoint() + f;
    return m_units < 0 ? locale.negativeSign() + s : s;
}

QString Money::toCurrencyString(const QLocale &locale) const {
    // Unsigned, so that the most negative stored value has a magnitude too.
    const quint64 a = m_units < 0 ? 0 - quint64(m_units) : quint64(m_units);
    const quint64 whole = a / Scale;
    const quint64 frac = a % Scale;
    QString f = QStringLiteral("%1").arg(frac, 4, 10, QLatin1Char('0'));
    while (f.size() > 2 && f.endsWith(QLatin1Char('0')))
        f.chop(1);
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    const QString number = grouped.toString(whole) + locale.decimalPoint() + f;
    QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
    if (symbol.isEmpty())
        symbol = QStringLiteral("$");
    const QString body = symbol + QLatin1Char(' ') + number;
    return m_units < 0 ? locale.negativeSign() + body : body;
}

namespace {
const char *const kUnits[] = {"cero",        "uno",        "dos",         "tres",       "cuatro",
                              "cinco",       "seis",       "siete",       "ocho",       "nueve",
                              "diez",        "once",       "doce",        "trece",      "catorce",
                              "quince",      "dieciséis",  "diecisiete",  "dieciocho",  "diecinueve",
                              "veinte",      "veintiuno",  "veintidós",   "veintitrés", "veinticuatro",
                              "veinticinco", "veintiséis", "veintisiete", "veintiocho", "veintinueve"};
const char *const kTens[] = {"",          "",        "",        "treinta", "cuarenta",
                             "cincuenta", "sesenta", "setenta", "ochenta", "noventa"};
const char *const kHundreds[] = {"",           "ciento",      "doscientos",  "trescientos", "cuatrocientos",
                                 "quinientos", "seiscientos", "setecientos", "ochocientos", "novecientos"};

QString below1000(int n) {
    if (n == 100)
        return QStringLiteral("cien");
    QStringList parts;
    if (n >= 100)
        parts << QString::fromUtf8(kHundreds[n / 100]);
    const int r = n % 100;
    if (r > 0) {
        if (r < 30)
            parts << QString::fromUtf8(kUnits[r]);
        else if (r % 10 == 0)
            parts << QString::fromUtf8(kTens[r / 10]);
        else
            parts << QString::fromUtf8(kTens[r / 10]) + QStringLiteral(" y ") +
                         QString::fromUtf8(kUnits[r % 10]);
    }
    return parts.join(QLatin1Char(' '));
}

QString wholeWords(qint64 n) {
    if (n == 0)
        return QStringLiteral("cero");
    QStringList parts;
    // Spanish counts millions of millions as billones: 2.000.000.000.000 is "dos billones".
    const qint64 billions = n / 1000000000000;
    const qint64 millions = (n / 1000000) % 1000000;
    const int thousands = int((n / 1000) % 1000);
    const int rest = int(n % 1000);
    if (billions > 0)
        parts << (billions == 1 ? QStringLiteral("un billón")
                                : wholeWords(billions) + QStringLiteral(" billones"));
    if (millions > 0)
        parts << (millions == 1 ? QStringLiteral("un millón")
                                : wholeWords(millions) + QStringLiteral(" millones"));
    if (thousands > 0)
        parts << (thousands == 1 ? QStringLiteral("mil") : below1000(thousands) + QStringLiteral(" mil"));
    if (rest > 0)
        parts << below1000(rest);
    QString s = parts.join(QLatin1Char(' '));
    // "veintiuno mil" and "uno mil" read "veintiún mil" and "un mil" before a noun.
    s.replace(QStringLiteral("veintiuno mil"), QStringLiteral("veintiún mil"));
    s.replace(QStringLiteral("veintiuno millones"), QStringLiteral("veintiún millones"));
    s.replace(QStringLiteral(" uno mil"), QStringLiteral(" un mil"));
    s.replace(QStringLiteral(" uno millones"), QStringLiteral(" un millones"));
    s.replace(QStringLiteral("veintiuno billones"), QStringLiteral("veintiún billones"));
    s.replace(QStringLiteral(" uno billones"), QStringLiteral(" un billones"));
    return s;
}
} // namespace

QString Money::toSpanishWords() const {
    // Unsigned, so that the most negative stored value has a magnitude too.
    const quint64 a = m_units < 0 ? 0 - quint64(m_units) : quint64(m_units);
    // Exactly the amount the figure shows: the cents over 100, and a fraction of a cent, when the amount
    // carries one, after a decimal comma ("con 45,67/100" beside "$ 9.123,4567").
    const qint64 whole = qint64(a / Scale);
    const int frac = int(a % Scale);
    QString cents = QStringLiteral("%1").arg(frac / 100, 2, 10, QLatin1Char('0'));
    if (frac % 100 != 0) {
        QString part = QStringLiteral("%1").arg(frac % 100, 2, 10, QLatin1Char('0'));
        if (part.endsWith(QLatin1Char('0')))
            part.chop(1);
        cents += QLatin1Char(',') + part;
    }
    QString s = wholeWords(whole) + QStringLiteral(" con %1/100").arg(cents);
    return m_units < 0 ? QStringLiteral("menos ") + s : s;
}
