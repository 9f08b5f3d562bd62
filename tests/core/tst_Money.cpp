#include "core/Money.h"
#include "support/TestSupport.h"

class tst_Money : public QObject {
    Q_OBJECT
private slots:
    void parsesWhatUsersType_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qlonglong>("units");
        QTest::newRow("grouped with symbol") << "$ 1.234,50" << 12345000LL;
        QTest::newRow("one decimal") << "1234,5" << 12345000LL;
        QTest::newRow("whole") << "25" << 250000LL;
        QTest::newRow("zero") << "0" << 0LL;
        QTest::newRow("four decimals") << "0,1234" << 1234LL;
        QTest::newRow("fifth decimal rounds") << "0,00005" << 1LL;
        QTest::newRow("negative") << "-3,25" << -32500LL;
        QTest::newRow("negative with symbol") << "-$ 3,25" << -32500LL;
        QTest::newRow("parenthesised") << "($ 3,00)" << -30000LL;
        QTest::newRow("symbol after") << "12,00 $" << 120000LL;
        QTest::newRow("surrounding blanks") << "  7  " << 70000LL;
    }
    void parsesWhatUsersType() {
        QFETCH(QString, text);
        QFETCH(qlonglong, units);
        const auto m = Money::parse(text, QLocale(QLocale::Spanish, QLocale::Argentina));
        QVERIFY2(m.has_value(), qPrintable(text));
        QCOMPARE(m->units(), units);
    }

    void refusesWhatIsNotAnAmount() {
        const QLocale es(QLocale::Spanish, QLocale::Argentina);
        for (const QString &bad :
             {QString(), QStringLiteral("abc"), QStringLiteral("12a"), QStringLiteral("$"),
              QStringLiteral("1,2,3"), QStringLiteral("99999999999999999999")})
            QVERIFY2(!Money::parse(bad, es).has_value(), qPrintable(bad));
    }

    void groupSeparatorOnlyBetweenGroupsOfThree() {
        const QLocale es(QLocale::Spanish, QLocale::Argentina);
        // In es_AR the point groups thousands: a point anywhere else is a mistyped decimal, refused
        // rather than read as a hundred times the amount.
        for (const QString &bad :
             {QStringLiteral("12.50"), QStringLiteral("0.5"), QStringLiteral("1.2.3"), QStringLiteral(".500"),
              QStringLiteral("1234.567"), QStringLiteral("1.23"), QStringLiteral("1.2345"),
              QStringLiteral("1..234"), QStringLiteral("1.234.5"), QStringLiteral("1.")})
            QVERIFY2(!Money::parse(bad, es).has_value(), qPrintable(bad));
        QCOMPARE(Money::parse(QStringLiteral("1.234"), es)->units(), 12340000LL);
        QCOMPARE(Money::parse(QStringLiteral("12.345.678,9"), es)->units(), 123456789000LL);
        QCOMPARE(Money::parse(QStringLiteral("-1.000,50"), es)->units(), -10005000LL);
        // Digits of other scripts are not amounts.
        QVERIFY(!Money::parse(QString::fromUtf8("\u0665"), es).has_value());
    }

    void extremeStoredValuesNeitherWrapNorCrash() {
        const Money max = Money::fromUnits(Money::Max);
        const Money min = Money::fromUnits(Money::Min);
        QCOMPARE((max + Money::fromUnits(1)).units(), Money::Max);
        QCOMPARE((min - Money::fromUnits(1)).units(), Money::Min);
        QCOMPARE((min + Money::fromUnits(-5)).units(), Money::Min);
        QCOMPARE((max - Money::fromUnits(-5)).units(), Money::Max);
        QCOMPARE((-min).units(), Money::Max);
        QCOMPARE((-max).units(), -Money::Max);
        Money total = max;
        total += max;
        QCOMPARE(total.units(), Money::Max);
        total = min;
        total -= max;
        QCOMPARE(total.units(), Money::Min);
        QCOMPARE(Money::fromWhole(Money::Max / 10).units(), Money::Max);
        QCOMPARE(Money::fromWhole(Money::Min / 10).units(), Money::Min);
        // Shown whole, however large.
        const QLocale es(QLocale::Spanish, QLocale::Argentina);
        QCOMPARE(min.toPlainString(es), QStringLiteral("-922337203685477,5808"));
        QVERIFY(min.toCurrencyString(es).startsWith(QStringLiteral("-$ 922.337.203.685.477,5808")));
        QVERIFY(min.toSpanishWords().startsWith(QStringLiteral("menos ")));
    }

    void displayReadsBackExactly() {
        const QLocale es(QLocale::Spanish, QLocale::Argentina);
        for (qint64 units : {0LL, 250000LL, 12345000LL, 1LL, 1234LL, -32500LL, 123456789012LL}) {
            const Money m = Money::fromUnits(units);
            const QString shown = m.toCurrencyString(es);
            const auto back = Money::parse(shown, es);
            QVERIFY2(back.has_value(), qPrintable(shown));
            QCOMPARE(back->units(), units);
        }
        QCOMPARE(Money::fromUnits(12345000).toCurrencyString(es), QStringLiteral("$ 1.234,50"));
        QCOMPARE(Money::fromWhole(25).toCurrencyString(es), QStringLiteral("$ 25,00"));
    }

    void sumsAreExact() {
        // A tenth of a peso added ten times is exactly one peso (a double would drift).
        Money total;
        for (int i = 0; i < 10; ++i)
            total += *Money::parse(QStringLiteral("0,1"), QLocale(QLocale::Spanish, QLocale::Argentina));
        QCOMPARE(total, Money::fromWhole(1));
    }

    void spanishWords() {
        QCOMPARE(Money::fromWhole(1234).toSpanishWords(),
                 QStringLiteral("mil doscientos treinta y cuatro con 00/100"));
        QCOMPARE(Money::fromUnits(250000 + 5000).toSpanishWords(), QStringLiteral("veinticinco con 50/100"));
        QCOMPARE(Money::fromWhole(100).toSpanishWords(), QStringLiteral("cien con 00/100"));
        QCOMPARE(Money::fromWhole(21000).toSpanishWords(), QStringLiteral("veintiún mil con 00/100"));
        QCOMPARE(Money::fromWhole(1000000).toSpanishWords(), QStringLiteral("un millón con 00/100"));
        // Exactly the amount of the figure beside them, a fraction of a cent included.
        QCOMPARE(Money::fromUnits(91234567).toSpanishWords(),
                 QStringLiteral("nueve mil ciento veintitrés con 45,67/100"));
        QCOMPARE(Money::fromUnits(91234560).toSpanishWords(),
                 QStringLiteral("nueve mil ciento veintitrés con 45,6/100"));
        QCOMPARE(Money::fromUnits(5).toSpanishWords(), QStringLiteral("cero con 00,05/100"));
        QCOMPARE(
            Money::fromUnits(Money::Max).toSpanishWords(),
            QStringLiteral("novecientos veintidós billones trescientos treinta y siete mil doscientos tres "
                           "millones seiscientos ochenta y cinco mil cuatrocientos setenta y siete con "
                           "58,07/100"));
        QCOMPARE(Money::fromWhole(21000000000000).toSpanishWords(),
                 QStringLiteral("veintiún billones con 00/100"));
    }
};

MIRABEL_TEST_MAIN(tst_Money)
#include "tst_Money.moc"
