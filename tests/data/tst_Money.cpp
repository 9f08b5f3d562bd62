#include "data/Money.h"
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
    }
};

MIRABEL_TEST_MAIN(tst_Money)
#include "tst_Money.moc"
