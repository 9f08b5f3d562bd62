#include "db/Database.h"
#include "db/SqlEngine.h"
#include "support/TestSupport.h"

#include <QSqlQuery>

using namespace TestSupport;

// LIKE as the program's connections read it: case-insensitive for every letter, and in time that grows
// with the length of pattern and text, never exponentially.
class tst_SqlEngine : public QObject {
    Q_OBJECT
private slots:
    void likeMatchesAsTheOriginalDatabase_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        QTest::newRow("prefix, accents and case") << QStringLiteral("pé%") << QStringLiteral("PÉREZ") << true;
        QTest::newRow("whole") << QStringLiteral("núñez") << QStringLiteral("NÚÑEZ") << true;
        QTest::newRow("one character") << QStringLiteral("p_rez") << QStringLiteral("Pérez") << true;
        QTest::newRow("one is exactly one") << QStringLiteral("p_rez") << QStringLiteral("Prez") << false;
        QTest::newRow("inner") << QStringLiteral("%re%") << QStringLiteral("Pérez") << true;
        QTest::newRow("suffix") << QStringLiteral("%ez") << QStringLiteral("Pérez") << true;
        QTest::newRow("suffix not there") << QStringLiteral("%ez") << QStringLiteral("Péreza") << false;
        QTest::newRow("only percent") << QStringLiteral("%") << QString() << true;
        QTest::newRow("empty pattern") << QString() << QStringLiteral("a") << false;
        QTest::newRow("retry after a false start")
            << QStringLiteral("%aab") << QStringLiteral("aaab") << true;
        QTest::newRow("two stars") << QStringLiteral("a%b%c") << QStringLiteral("axxbyyc") << true;
        QTest::newRow("two stars, order") << QStringLiteral("a%c%b") << QStringLiteral("axxbyyc") << false;
        QTest::newRow("star then one") << QStringLiteral("%_") << QString() << false;
    }
    void likeMatchesAsTheOriginalDatabase() {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(bool, matches);
        QCOMPARE(SqlEngine::like(pattern, text), matches);
    }

    void escapeMakesWildcardsLiteral() {
        QVERIFY(SqlEngine::like(QStringLiteral("100!%"), QStringLiteral("100%"), QLatin1Char('!')));
        QVERIFY(!SqlEngine::like(QStringLiteral("100!%"), QStringLiteral("1000"), QLatin1Char('!')));
        QVERIFY(SqlEngine::like(QStringLiteral("a!_%"), QStringLiteral("a_b"), QLatin1Char('!')));
        QVERIFY(!SqlEngine::like(QStringLiteral("a!_%"), QStringLiteral("ab"), QLatin1Char('!')));

        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez 100%"), QStringLiteral("Ana"));
        nuevoAfiliado(QStringLiteral("Pérez 1000"), QStringLiteral("Ana"));
        const QSqlDatabase db = Database::db();
        const QString apellido = QStringLiteral(R"("Apellido")");
        const QString cuenta = QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados" WHERE %1)");
        QCOMPARE(contar(cuenta.arg(
                     Engine::of(db).likeCondition(apellido, QStringLiteral("'%100!%'"), QLatin1Char('!')))),
                 1);
        QCOMPARE(contar(cuenta.arg(Engine::of(db).likeCondition(apellido, QStringLiteral("'PÉ%'")))), 2);
        // Without an escape character a backslash is a letter like any other, on both engines.
        nuevoAfiliado(QStringLiteral("A\\_B"), QStringLiteral("Ana"));
        QCOMPARE(contar(cuenta.arg(Engine::of(db).likeCondition(apellido, QStringLiteral("'a\\_b'")))), 1);
        QCOMPARE(contar(cuenta.arg(Engine::of(db).likeCondition(apellido, QStringLiteral("'a\\%'")))), 1);
    }

    void manyWildcardsDoNotBacktrackExponentially() {
        // With backtracking at every '%' this pair takes longer than the test's time limit: C(200, 24)
        // ways to place the wildcards. The linear matcher answers at once.
        const QString pattern = QStringLiteral("%a").repeated(24) + QStringLiteral("%b");
        const QString text = QString(200, QLatin1Char('a'));
        QVERIFY(!SqlEngine::like(pattern, text));
        QVERIFY(SqlEngine::like(pattern, text + QLatin1Char('b')));

        BaseTemporal base;
        for (int i = 0; i < 50; ++i)
            nuevoAfiliado(text, QStringLiteral("Ana"));
        QSqlQuery q(Database::db());
        QVERIFY(
            q.prepare(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados" WHERE %1)")
                          .arg(Engine::of(Database::db())
                                   .likeCondition(QStringLiteral(R"("Apellido")"), QStringLiteral("?")))));
        q.addBindValue(pattern);
        QVERIFY(q.exec() && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }
};

MIRABEL_TEST_MAIN(tst_SqlEngine)
#include "tst_SqlEngine.moc"
