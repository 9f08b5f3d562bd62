// Import of the old program's BASE.mdb: every fixture is imported and compared with its expected counts,
// totals and chosen rows; damaged sources, occupied targets and cancels leave nothing behind.

#include "cli/ImportMdbCli.h"
#include "core/Log.h"
#include "core/PasswordHash.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "support/TestSupport.h"
#include "transfer/MdbImport.h"
#include "transfer/MdbReader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

// "1234.5678" (the expected files' form of a Currency) to ten-thousandths, without floating point.
qint64 units(const QString &text) {
    const bool negative = text.startsWith(QLatin1Char('-'));
    const QStringList parts = text.mid(negative ? 1 : 0).split(QLatin1Char('.'));
    const qint64 v =
        parts.value(0).toLongLong() * 10000 + parts.value(1).leftJustified(4, QLatin1Char('0')).toLongLong();
    return negative ? -v : v;
}

// A plain reading connection on an imported file, as any SQLite tool would open it; on a server, a
// connection of the program's own.
class Reading {
public:
    explicit Reading(const QString &path) {
        if (SqlEngine::isServerUrl(path)) {
            QString error;
            m_db = TestSupport::valor(
                Database::openOther(QStringLiteral("lectura"), path, Database::Mode::MustExist), &error);
            if (!m_db.isValid())
                qFatal("no se puede abrir %s: %s", qPrintable(path), qPrintable(error));
            return;
        }
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lectura"));
        m_db.setDatabaseName(path);
        if (!m_db.open())
            qFatal("no se puede abrir %s", qPrintable(path));
    }
    ~Reading() {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("lectura"));
    }
    QVariant value(const QString &sql, const QVariantList &params = {}) {
        QSqlQuery q(m_db);
        q.prepare(sql);
        for (const QVariant &p : params)
            q.addBindValue(p);
        if (!q.exec())
            qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
        return q.next() ? q.value(0) : QVariant();
    }
    QSqlDatabase &db() { return m_db; }

private:
    QSqlDatabase m_db;
};

QString quoted(const QString &name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QStringList entries(const QString &dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Where an import's new club goes: a file in dir, or on the server a database of its own (new, from the
// tests' template: a Mirabel database with nothing of a club in it yet), dropped at the end.
class Destino {
public:
    Destino(const QTemporaryDir &dir, const QString &file)
        : m_path(TestSupport::enServidor() ? TestSupport::nuevaBaseServidor(&m_server) : dir.filePath(file)) {
    }
    ~Destino() { TestSupport::borrarBaseServidor(m_server); }
    QString path() const { return m_path; }

private:
    QString m_server;
    QString m_path;
};

} // namespace

class tst_MdbImport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (const QString falta = TestSupport::faltanBasesAnteriores(); !falta.isEmpty())
            QFAIL(qPrintable(falta));
    }

    void importaCadaBaseComoLaEsperada_data() {
        QTest::addColumn<QString>("mdb");
        QTest::addColumn<QString>("expected");
        QTest::newRow("small") << "BASE-small.mdb"
                               << "BASE-small.expected.json";
        // The same club with the database password set: the data read must not change.
        QTest::newRow("password") << "BASE-password.mdb"
                                  << "BASE-small.expected.json";
        QTest::newRow("large") << "BASE-large.mdb"
                               << "BASE-large.expected.json";
    }

    void importaCadaBaseComoLaEsperada() {
        QFETCH(QString, mdb);
        QFETCH(QString, expected);
        QFile f(TestSupport::baseAnterior(expected));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QJsonObject exp = QJsonDocument::fromJson(f.readAll()).object();
        QVERIFY(!exp.isEmpty());

        QTemporaryDir dir;
        const Destino destino(dir, QStringLiteral("nueva.db"));
        const QString target = destino.path();
        qint64 lastDone = -1, total = 0;
        const MdbImport::Result r = MdbImport::run(TestSupport::baseAnterior(mdb), target,
                                                   [&](qint64 done, qint64 all, const QString &) {
                                                       lastDone = done;
                                                       total = all;
                                                       return true;
                                                   });
        QVERIFY2(r.ok(), qPrintable(r.error));
        QVERIFY(lastDone > 0);
        QVERIFY(lastDone <= total);
        if (!TestSupport::enServidor()) {
            QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("nueva.db")}); // no temporary left over
            QCOMPARE(TestSupport::ajenos(target) & (QFile::ReadOther | QFile::ReadGroup),
                     QFile::Permissions());
        }

        Reading db(target);
        const QJsonObject tables = exp.value(QStringLiteral("tables")).toObject();
        QCOMPARE(r.tables.size(), tables.size());
        for (const MdbImport::TableSummary &s : r.tables) {
            const qint64 rows = tables.value(s.table).toObject().value(QStringLiteral("rows")).toInteger();
            QCOMPARE(s.read, rows);
            QCOMPARE(s.written, rows);
            QCOMPARE(db.value(QStringLiteral("SELECT COUNT(*) FROM %1").arg(quoted(s.table))).toLongLong(),
                     rows);
        }

        // Aggregates: "Table.Field.sum", ".true", ".null", ".not_null" and "Table.Field=value (note)".
        const QJsonObject aggregates = exp.value(QStringLiteral("aggregates")).toObject();
        for (auto it = aggregates.begin(); it != aggregates.end(); ++it) {
            QString key = it.key();
            if (const int note = key.indexOf(QStringLiteral(" (")); note >= 0)
                key.truncate(note);
            const int dot = key.indexOf(QLatin1Char('.'));
            const QString table = key.left(dot);
            const QString rest = key.mid(dot + 1);
            QVariant got;
            qint64 want = 0;
            if (rest.contains(QLatin1Char('='))) {
                const QString field = rest.section(QLatin1Char('='), 0, 0);
                const QString value = rest.section(QLatin1Char('='), 1);
                bool numeric = false;
                const qint64 n = value.toLongLong(&numeric);
                got = db.value(
                    QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(quoted(table), quoted(field)),
                    {numeric ? QVariant(n) : QVariant(value)});
                want = it.value().toInteger();
            } else {
                const int last = rest.lastIndexOf(QLatin1Char('.'));
                const QString field = quoted(rest.left(last));
                const QString op = rest.mid(last + 1);
                if (op == QLatin1String("sum")) {
                    got = db.value(QStringLiteral("SELECT SUM(%1) FROM %2").arg(field, quoted(table)));
                    want = units(it.value().toString());
                } else {
                    const QString where = op == QLatin1String("true")   ? QStringLiteral("%1 <> 0")
                                          : op == QLatin1String("null") ? QStringLiteral("%1 IS NULL")
                                                                        : QStringLiteral("%1 IS NOT NULL");
                    got = db.value(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2")
                                       .arg(quoted(table), where.arg(field)));
                    want = it.value().toInteger();
                }
            }
            QVERIFY2(
                got.toLongLong() == want,
                qPrintable(
                    QStringLiteral("%1: %2 en vez de %3").arg(it.key()).arg(got.toLongLong()).arg(want)));
        }
        // The summary's money sums are the written ones.
        for (const MdbImport::TableSummary &s : r.tables)
            for (const auto &sum : s.sums)
                QCOMPARE(sum.second.units(), db.value(QStringLiteral("SELECT COALESCE(SUM(%1), 0) FROM %2")
                                                          .arg(quoted(sum.first), quoted(s.table)))
                                                 .toLongLong());

        // Chosen rows, value by value, as the column's type is stored here.
        const QJsonObject rows = exp.value(QStringLiteral("rows")).toObject();
        for (auto it = rows.begin(); it != rows.end(); ++it) {
            const QJsonObject row = it.value().toObject();
            const QString table = row.value(QStringLiteral("table")).toString();
            const QJsonObject def = tables.value(table).toObject();
            const QString key = def.value(QStringLiteral("primary_key")).toString();
            const QJsonObject values = row.value(QStringLiteral("values")).toObject();
            QSqlQuery q(db.db());
            q.prepare(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?").arg(quoted(table), quoted(key)));
            q.addBindValue(values.value(key).toInteger());
            QVERIFY(q.exec());
            QVERIFY2(q.next(), qPrintable(it.key()));
            for (const QJsonValue &c : def.value(QStringLiteral("columns")).toArray()) {
                const QString name = c.toObject().value(QStringLiteral("name")).toString();
                const QString type = c.toObject().value(QStringLiteral("type")).toString();
                const QJsonValue want = values.value(name);
                const QVariant got = q.value(name);
                const QString where = QStringLiteral("%1.%2").arg(it.key(), name);
                if (want.isNull()) {
                    QVERIFY2(got.isNull(), qPrintable(where));
                    continue;
                }
                QVERIFY2(!got.isNull(), qPrintable(where));
                if (type == QLatin1String("Currency")) {
                    QCOMPARE(got.toLongLong(), units(want.toString()));
                } else if (type == QLatin1String("Date/Time")) {
                    QString w = want.toString();
                    if (w.endsWith(QLatin1String(" 00:00:00")))
                        w.chop(9);
                    if (TestSupport::enServidor())
                        w.truncate(10); // a server's date column keeps the day alone
                    QCOMPARE(got.toString(), w);
                } else if (type == QLatin1String("Yes/No")) {
                    if (name == QLatin1String("Oficio de Riesgo"))
                        QCOMPARE(got.toString(), want.toBool() ? QStringLiteral("Sí") : QStringLiteral("No"));
                    else
                        QCOMPARE(got.toLongLong(), want.toBool() ? 1 : 0);
                } else if (name == QLatin1String("Contrasena")) {
                    // Stored as its hash; the old password still matches it.
                    QVERIFY2(PasswordHash::matches(got.toString(), want.toString()), qPrintable(where));
                } else if (type == QLatin1String("Text")) {
                    QCOMPARE(got.toString(), want.toString());
                } else {
                    QCOMPARE(got.toLongLong(), want.toInteger());
                }
            }
        }

        // Rows the old file marked deleted stay gone, and their numbers are never handed out again:
        // the links that still name them must not come to point at a new row.
        const QJsonObject deleted = exp.value(QStringLiteral("deleted")).toObject();
        for (auto it = deleted.begin(); it != deleted.end(); ++it) {
            const QString table = it.key().section(QLatin1Char('.'), 0, 0);
            const QString key = it.key().section(QLatin1Char('.'), 1);
            QCOMPARE(
                db.value(
                      QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(quoted(table), quoted(key)),
                      {it.value().toInteger()})
                    .toLongLong(),
                0);
            QVERIFY(TestSupport::valor(Engine::of(db.db()).keyCounter(db.db(), table), nullptr, qint64(-1)) >=
                    it.value().toInteger());
        }
    }

    void laBaseImportadaAbreEnElProgramaConSusUsuarios() {
        QTemporaryDir dir;
        const Destino destino(dir, QStringLiteral("club.db"));
        const QString target = destino.path();
        Log::setFile(dir.filePath(QStringLiteral("mirabel.log")));
        QVERIFY(MdbImport::run(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")), target).ok());
        Log::setFile(QString());
        // The summary stays in the log.
        QFile log(dir.filePath(QStringLiteral("mirabel.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(log.readAll())
                    .contains(QStringLiteral("Cuotas: 441 leídos, 441 escritos; Monto = 909408.3178")));
        QString error;
        QVERIFY_HECHO(Database::open(target, Database::Mode::MustExist));
        // Passwords arrive hashed, and the old one still logs in (without regard to case).
        const QString guardada =
            Database::buscaValor(
                QStringLiteral(R"(SELECT "Contrasena" FROM "Usuarios" WHERE "NombreUsuario" = ?)"),
                QStringLiteral("Contrasena"), {QStringLiteral("admin")})
                .toString();
        QVERIFY(PasswordHash::isHash(guardada));
        QVERIFY(PasswordHash::matches(guardada, QStringLiteral("ADMIN")));
        QVERIFY(!PasswordHash::matches(guardada, QStringLiteral("admin2")));
        // The list order of members holds without another pass over them.
        QCOMPARE(Database::buscaValor(
                     QStringLiteral(R"(SELECT COUNT(*) AS n FROM "Afiliados" WHERE "ClaveOrden" IS NULL)"),
                     QStringLiteral("n"))
                     .toInt(),
                 0);
        // Each due carries its member's key for the dues list's order; dues of absent members carry none.
        QCOMPARE(Database::buscaValor(QStringLiteral(R"(SELECT COUNT(*) AS n FROM "Cuotas" c
                                          LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
                                          WHERE c."ClaveSocio" IS DISTINCT FROM a."ClaveOrden")"),
                                      QStringLiteral("n"))
                     .toInt(),
                 0);
        QVERIFY(Database::exec(QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES ('Nueva'))")));
        QVERIFY(Database::buscaValor(QStringLiteral(R"(SELECT MAX("idCuenta") AS m FROM "Cuentas")"),
                                     QStringLiteral("m"))
                    .toInt() > 4);
        // Tables no link points into take the next number too.
        QVERIFY(Database::exec(QStringLiteral(R"(INSERT INTO "Caja" ("Fecha", "idCuenta", "Ingresos") VALUES
                                                 ('2024-01-02', 1, 10000))")));
        QCOMPARE(
            Database::buscaValor(QStringLiteral(R"(SELECT COUNT(*) AS n FROM "Caja")"), QStringLiteral("n"))
                .toInt(),
            349);
        Database::close();
    }

    void unaBaseCortadaONoAccessNoDejaNada_data() {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("message");
        QTest::newRow("cortada en una página") << qint64(73 * 4096) << "incompleto o dañado";
        QTest::newRow("cortada a media página") << qint64(300000) << "incompleto o dañado";
        QTest::newRow("solo la cabecera") << qint64(4096) << "incompleto o dañado";
        QTest::newRow("texto") << qint64(-1) << "no es una base de datos de Access";
        QTest::newRow("vacío") << qint64(0) << "no es una base de datos de Access";
    }

    void unaBaseCortadaONoAccessNoDejaNada() {
        QFETCH(qint64, bytes);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString source = dir.filePath(QStringLiteral("BASE.mdb"));
        {
            QFile in(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")));
            QVERIFY(in.open(QIODevice::ReadOnly));
            QFile out(source);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes < 0 ? QByteArray("Socio;Cuota\nPérez;100\n") : in.read(bytes));
        }
        const QString target = dir.filePath(QStringLiteral("nueva.db"));
        const MdbImport::Result r = MdbImport::run(source, target);
        QCOMPARE(r.status, MdbImport::Status::SourceError);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("BASE.mdb")});
    }

    void noEscribeEnUnaBaseConDatosNiEnUnArchivoAjeno() {
        TestSupport::BaseTemporal base;
        const int plan = TestSupport::nuevoPlan(QStringLiteral("Mensual"));
        TestSupport::nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        const MdbImport::Result r =
            MdbImport::run(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")), base.path());
        QCOMPARE(r.status, MdbImport::Status::TargetHasData);
        QVERIFY(r.error.contains(QStringLiteral("ya tiene socios")));
        QCOMPARE(TestSupport::contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QCOMPARE(TestSupport::contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")), 1);

        QTemporaryDir dir;
        const QString ajeno = dir.filePath(QStringLiteral("notas.db"));
        QFile f(ajeno);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("notas del club");
        f.close();
        const MdbImport::Result r2 =
            MdbImport::run(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")), ajeno);
        QCOMPARE(r2.status, MdbImport::Status::TargetError);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("notas del club"));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("notas.db")});
    }

    void unArchivoVacioSeLlena_data() {
        QTest::addColumn<bool>("sqlite");
        QTest::newRow("0 bytes") << false;
        QTest::newRow("SQLite sin tablas") << true;
    }

    void unArchivoVacioSeLlena() {
        QFETCH(bool, sqlite);
        if (TestSupport::enServidor()) {
            // A database the administrator has just made, with nothing in it: the import gives it the
            // schema. One that holds another program's tables is left alone.
            QString nombre;
            const QString target = TestSupport::nuevaBaseServidorVacia(&nombre);
            if (sqlite) {
                QSqlDatabase otra =
                    QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("ajena"));
                otra.setDatabaseName(nombre);
                QVERIFY2(otra.open(), qPrintable(otra.lastError().text()));
                QVERIFY(!otra.exec(QStringLiteral("CREATE TABLE notas (texto TEXT)")).lastError().isValid());
                otra.close();
                otra = QSqlDatabase();
                QSqlDatabase::removeDatabase(QStringLiteral("ajena"));
            }
            const MdbImport::Result r =
                MdbImport::run(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")), target);
            if (sqlite) {
                QCOMPARE(r.status, MdbImport::Status::TargetError);
                QVERIFY2(r.error.contains(QStringLiteral("otro programa")), qPrintable(r.error));
            } else {
                QVERIFY2(r.ok(), qPrintable(r.error));
                Reading db(target);
                QCOMPARE(db.value(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")).toInt(), 25);
            }
            TestSupport::borrarBaseServidor(nombre);
            return;
        }
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("vacia.db"));
        QFile(target).open(QIODevice::WriteOnly);
        if (sqlite) {
            Reading empty(target);
            QVERIFY(empty.db().exec(QStringLiteral("VACUUM")).lastError().type() == QSqlError::NoError);
        }
        const MdbImport::Result r =
            MdbImport::run(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")), target);
        QVERIFY2(r.ok(), qPrintable(r.error));
        Reading db(target);
        QCOMPARE(db.value(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")).toInt(), 25);
    }

    void enUnaBaseVaciaDeMirabelReemplazaUsuariosYCuentasTrasUnaCopia() {
        TestSupport::BaseTemporal base;
        TestSupport::nuevoUsuario(QStringLiteral("primero"), QStringLiteral("x"), true, false);
        // Another desk on the same database (the program's own connection here) cannot write while the
        // import runs; it can once the import is done.
        Database::setBusyTimeout(200);
        int rechazadas = 0, intentos = 0;
        const MdbImport::Result r = MdbImport::run(
            TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")), base.path(),
            [&](qint64, qint64, const QString &tabla) {
                if (tabla == QLatin1String("Cuotas")) {
                    ++intentos;
                    QString error;
                    // A table the import has not reached yet: only the lock keeps the row out.
                    if (!TestSupport::hecho(
                            Database::exec(
                                QStringLiteral(R"(INSERT INTO "Usuarios" ("NombreUsuario") VALUES ('X'))"),
                                {}),
                            &error))
                        ++rechazadas;
                }
                return true;
            });
        Database::setBusyTimeout(5000);
        QVERIFY2(r.ok(), qPrintable(r.error));
        QVERIFY(intentos > 0);
        QCOMPARE(rechazadas, intentos);
        QVERIFY(Database::exec(QStringLiteral(R"(INSERT INTO "Usuarios" ("NombreUsuario") VALUES ('X'))")));
        QCOMPARE(TestSupport::contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 4);
        QCOMPARE(TestSupport::contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 25);
        QCOMPARE(TestSupport::contar(
                     QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios" WHERE "NombreUsuario" = 'primero')")),
                 0);
        QCOMPARE(TestSupport::contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuentas")")), 4);
        QCOMPARE(entries(base.copias()).size(), 1);
    }

    void cancelarNoDejaArchivoNiCambiaLaBaseDestino() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("nueva.db"));
        const auto cancelInCuotas = [](qint64, qint64, const QString &table) {
            return table != QLatin1String("Caja");
        };
        MdbImport::Result r = MdbImport::run(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")),
                                             target, cancelInCuotas);
        QCOMPARE(r.status, MdbImport::Status::Cancelled);
        QVERIFY(entries(dir.path()).isEmpty());

        TestSupport::BaseTemporal base;
        TestSupport::nuevoUsuario(QStringLiteral("primero"), QStringLiteral("x"), true, false);
        r = MdbImport::run(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")), base.path(),
                           cancelInCuotas);
        QCOMPARE(r.status, MdbImport::Status::Cancelled);
        QCOMPARE(TestSupport::contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 1);
        QCOMPARE(TestSupport::contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 0);
        QCOMPARE(TestSupport::contar(QStringLiteral(R"(SELECT COUNT(*) FROM "TipoDivisas")")), 5);
    }

    void fechasDeJet() {
        bool ok = false;
        QCOMPARE(MdbReader::jetDateTime(0.0, &ok), QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC));
        QCOMPARE(MdbReader::jetDateTime(-1.25, &ok), QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC));
        // 17:45 is not exact in binary; the stored second is.
        QCOMPARE(MdbReader::jetDateTime(45369.0 + 17.75 / 24.0, &ok),
                 QDateTime(QDate(2024, 3, 18), QTime(17, 45), Qt::UTC));
        QCOMPARE(MdbReader::jetDateTime(1.0 - 1e-9, &ok),
                 QDateTime(QDate(1899, 12, 31), QTime(0, 0), Qt::UTC));
        MdbReader::jetDateTime(std::numeric_limits<double>::quiet_NaN(), &ok);
        QVERIFY(!ok);
    }

    void lineaDeComandos() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("cli.db"));
        const QByteArray src = QFile::encodeName(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb")));
        const QByteArray dst = QFile::encodeName(target);
        const auto call = [](QList<QByteArray> args) {
            std::vector<char *> argv;
            for (QByteArray &a : args)
                argv.push_back(a.data());
            return ImportMdbCli::run(int(argv.size()), argv.data());
        };
        QCOMPARE(call({"mirabel", "import-mdb", src, "--database", dst}), int(ImportMdbCli::Ok));
        QVERIFY(QFileInfo::exists(target));
        QCOMPARE(call({"mirabel", "import-mdb", src, "--database", dst}), int(ImportMdbCli::TargetHasData));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("cli.db")}); // nothing left beside it
        QCOMPARE(call({"mirabel", "import-mdb", dst, "--database",
                       QFile::encodeName(dir.filePath(QStringLiteral("x.db")))}),
                 int(ImportMdbCli::SourceError));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("x.db"))));
        QCOMPARE(call({"mirabel", "import-mdb", "--database", dst}), int(ImportMdbCli::Usage));

        // Ctrl+C while the club is being written: the import stops and takes its file away.
        const QString cortada = dir.filePath(QStringLiteral("cortada.db"));
        bool enCurso = false, sent = false;
        QList<QByteArray> args{"mirabel", "import-mdb",
                               QFile::encodeName(TestSupport::baseAnterior(QStringLiteral("BASE-small.mdb"))),
                               "--database", QFile::encodeName(cortada)};
        std::vector<char *> argv;
        for (QByteArray &a : args)
            argv.push_back(a.data());
        const int status =
            ImportMdbCli::run(int(argv.size()), argv.data(), [&](qint64, qint64, const QString &table) {
                if (!sent && table == QLatin1String("Cuotas")) {
                    for (const QString &f : entries(dir.path()))
                        enCurso = enCurso || f.startsWith(QLatin1String(".cortada.db.importando-"));
                    sent = true;
                    std::raise(SIGINT);
                }
                return true;
            });
        QVERIFY(sent);
        QVERIFY(enCurso);
        QCOMPARE(status, int(ImportMdbCli::Interrupted));
        QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("cli.db")});
    }
};

MIRABEL_TEST_MAIN(tst_MdbImport)
#include "tst_MdbImport.moc"
