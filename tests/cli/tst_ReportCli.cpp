#include "cli/ReportCli.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "reports/ReportFormula.h"
#include "support/TestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <sqlite3.h>

using namespace TestSupport;

// "mirabel report ..." as a scheduled job runs it: the real program, no display, exit status and
// messages on standard error.
class tst_ReportCli : public QObject {
    Q_OBJECT

    QString m_program;
    bool m_staleDisplay = false;
    QTemporaryDir m_dir;

    using Result = Salida;

    Result mirabel(const QStringList &args) {
        return ejecutarMirabel(
            QStringList{QStringLiteral("report")} + args, m_dir.path(), [this](QProcessEnvironment &env) {
                if (m_staleDisplay)
                    env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":97")); // no such display
            });
    }

private slots:
    void initTestCase() {
        m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/../mirabel");
        if (!QFile::exists(m_program))
            QSKIP("el programa mirabel no está compilado junto a las pruebas");
        QDir().mkpath(m_dir.filePath(QStringLiteral("config/Mirabel!")));
        QFile conf(m_dir.filePath(QStringLiteral("config/Mirabel!/Mirabel!.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("[Configuracion]\nNombreEmpresa=Club de la Terminal\nCUITEmpresa=30-1\n");
    }

    void exportsEveryReportWithoutADisplay() {
        BaseTemporal tmp;
        const int plan = nuevoPlan(QStringLiteral("General"));
        const int a = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan);
        const int due = nuevaCuota(a, plan, QDate(2009, 1, 10), 250000, true, QDate(2009, 1, 12));
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("Cobro"), 250000, 0, 1, due);
        Database::close(); // the last connection folds the journal into the file
        // A closed file of its own, or the server's database as it is.
        QString db = tmp.path();
        if (!enServidor()) {
            db = m_dir.filePath(QStringLiteral("club.db"));
            QVERIFY(QFile::copy(tmp.path(), db));
        }
        const QVector<QPair<QString, QString>> runs = {
            {QStringLiteral("Socios.rpt"), QString()},
            {QStringLiteral("CTACUOTAS.RPT"), QStringLiteral("{cuotas.idAfiliado} = 1")},
            {QStringLiteral("cuotas.rpt"), QStringLiteral("{cuotas.idplan} = 1 and {cuotas.Año} = 2009")},
            {QStringLiteral("recibo.rpt"), QStringLiteral("{ConsultaCuotas.IdCuota} = 1")},
            {QStringLiteral("caja.rpt"),
             QStringLiteral(
                 "{consultaCaja.Fecha} >= date(2009, 3, 5) and {consultaCaja.Fecha} <= date(2009, 3, 5)")},
            {QStringLiteral("resctas.rpt"), QString()},
            {QStringLiteral("infDeuda.rpt"), QString()},
        };
        for (const auto &r : runs) {
            const QString out = QStringLiteral("salida/%1.pdf").arg(r.first);
            QDir(m_dir.path()).mkpath(QStringLiteral("salida"));
            QStringList args{r.first, QStringLiteral("--database"), db, QStringLiteral("--pdf"), out};
            if (!r.second.isEmpty())
                args << QStringLiteral("--formula") << r.second;
            const Result res = mirabel(args);
            QVERIFY2(res.status == 0, qPrintable(r.first + QLatin1Char(' ') + res.err));
            QVERIFY2(res.err.isEmpty(), qPrintable(res.err)); // nothing on standard error when all is well
            QVERIFY(res.out.contains(QStringLiteral("página")));
            QFile pdf(m_dir.filePath(out));
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QVERIFY(pdf.read(5) == "%PDF-");
        }
        // Settings of the user running the job give the header.
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   {m_dir.filePath(QStringLiteral("salida/Socios.rpt.pdf")), QStringLiteral("-")});
        if (text.waitForFinished(30000) && text.exitCode() == 0) {
            const QString t = QString::fromUtf8(text.readAllStandardOutput());
            QVERIFY(t.contains(QStringLiteral("Club de la Terminal")));
            QVERIFY(t.contains(QStringLiteral("Pérez, Juan")));
        }
    }

    void readingNeverChangesAFile() {
        // Another program's SQLite file, and a file of a newer Mirabel: refused, byte for byte unchanged,
        // nothing created beside them. The program's own file is read without a byte written.
        SOLO_ARCHIVO("compara los bytes de archivos SQLite");
        QTemporaryDir dir;
        const QString ajena = dir.filePath(QStringLiteral("ajena.db"));
        const QString nueva = dir.filePath(QStringLiteral("nueva.db"));
        const QString propia = dir.filePath(QStringLiteral("propia.db"));
        {
            BaseTemporal tmp;
            nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"),
                          nuevoPlan(QStringLiteral("General")));
            QString error;
            QVERIFY_HECHO(Backup::copyTo(propia));
            QVERIFY_HECHO(Backup::copyTo(nueva));
        }
        {
            sqlite3 *h = nullptr;
            QCOMPARE(sqlite3_open(QFile::encodeName(ajena).constData(), &h), SQLITE_OK);
            QCOMPARE(
                sqlite3_exec(
                    h, "PRAGMA journal_mode=WAL; CREATE TABLE notas (t TEXT); INSERT INTO notas VALUES ('x')",
                    nullptr, nullptr, nullptr),
                SQLITE_OK);
            sqlite3_close(h);
            QCOMPARE(sqlite3_open(QFile::encodeName(nueva).constData(), &h), SQLITE_OK);
            QCOMPARE(sqlite3_exec(h, "PRAGMA user_version = 99", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(h);
        }
        const auto huella = [](const QString &file) {
            QFile f(file);
            return f.open(QIODevice::ReadOnly)
                       ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                       : QByteArray();
        };
        const QByteArray antesAjena = huella(ajena), antesNueva = huella(nueva), antesPropia = huella(propia);
        const QStringList antes = QDir(dir.path()).entryList(QDir::Files);
        const QString out = dir.filePath(QStringLiteral("informe.pdf"));
        Result r = mirabel({QStringLiteral("Socios.rpt"), QStringLiteral("--database"), ajena,
                            QStringLiteral("--pdf"), out});
        QCOMPARE(r.status, int(ReportCli::DatabaseError));
        QVERIFY2(r.err.contains(QStringLiteral("no es una base de datos de Mirabel")), qPrintable(r.err));
        r = mirabel({QStringLiteral("Socios.rpt"), QStringLiteral("--database"), nueva,
                     QStringLiteral("--pdf"), out});
        QCOMPARE(r.status, int(ReportCli::DatabaseError));
        QVERIFY2(r.err.contains(QStringLiteral("versión más nueva")), qPrintable(r.err));
        QVERIFY(!QFile::exists(out));
        r = mirabel({QStringLiteral("Socios.rpt"), QStringLiteral("--database"), propia,
                     QStringLiteral("--pdf"), out});
        QCOMPARE(r.status, int(ReportCli::Ok));
        QVERIFY(QFile::remove(out));
        QCOMPARE(huella(ajena), antesAjena);
        QCOMPARE(huella(nueva), antesNueva);
        QCOMPARE(huella(propia), antesPropia);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), antes);
    }

    void failuresExitWithAStatusAndAMessage() {
        BaseTemporal tmp;
        const QString db = tmp.path();
        const QString out = m_dir.filePath(QStringLiteral("no.pdf"));

        Result r = mirabel(
            {QStringLiteral("balance.rpt"), QStringLiteral("--database"), db, QStringLiteral("--pdf"), out});
        QCOMPARE(r.status, int(ReportCli::UnknownReport));
        QVERIFY2(r.err.contains(QStringLiteral("no existe el informe \"balance.rpt\"")), qPrintable(r.err));

        r = mirabel({QStringLiteral("caja.rpt"), QStringLiteral("--database"), db,
                     QStringLiteral("--formula"), QStringLiteral("{ConsultaCaja.Fecha} >= date(2009, 2, 30)"),
                     QStringLiteral("--pdf"), out});
        QCOMPARE(r.status, int(ReportCli::BadFormula));
        QVERIFY2(r.err.contains(QStringLiteral("no existe")) && r.err.contains(QStringLiteral("fórmula")),
                 qPrintable(r.err));

        // A formula beyond the documented size is a formula error, not an unreadable database.
        QStringList muchas;
        for (int i = 0; i <= ReportFormula::MaxConditions; ++i)
            muchas << QStringLiteral("{cuotas.idAfiliado} = %1").arg(i);
        r = mirabel({QStringLiteral("ctacuotas.rpt"), QStringLiteral("--database"), db,
                     QStringLiteral("--formula"), muchas.join(QStringLiteral(" or ")),
                     QStringLiteral("--pdf"), out});
        QCOMPARE(r.status, int(ReportCli::BadFormula));
        QVERIFY2(r.err.contains(QStringLiteral("más de %1 condiciones").arg(ReportFormula::MaxConditions)),
                 qPrintable(r.err));

        r = mirabel({QStringLiteral("Socios.rpt"), QStringLiteral("--database"),
                     m_dir.filePath(QStringLiteral("falta.db")), QStringLiteral("--pdf"), out});
        QCOMPARE(r.status, int(ReportCli::DatabaseError));
        QVERIFY2(r.err.contains(QStringLiteral("No existe el archivo de base de datos")), qPrintable(r.err));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("falta.db")))); // never created

        r = mirabel({QStringLiteral("Socios.rpt"), QStringLiteral("--database"), db, QStringLiteral("--pdf"),
                     m_dir.filePath(QStringLiteral("no/existe/la/carpeta.pdf"))});
        QCOMPARE(r.status, int(ReportCli::OutputError));
        QVERIFY(!r.err.isEmpty());

        r = mirabel({QStringLiteral("Socios.rpt"), QStringLiteral("--database"), db});
        QCOMPARE(r.status, int(ReportCli::Usage));
        QVERIFY(r.err.contains(QStringLiteral("--pdf")));

        QVERIFY(!QFile::exists(out));
        // A display that is gone does not stop the job.
        m_staleDisplay = true;
        r = mirabel(
            {QStringLiteral("Socios.rpt"), QStringLiteral("--database"), db, QStringLiteral("--pdf"), out});
        m_staleDisplay = false;
        QCOMPARE(r.status, 0);
        QVERIFY(QFile::remove(out));

        r = mirabel({QStringLiteral("--list")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral("infDeuda.rpt")));
    }
};

MIRABEL_TEST_MAIN(tst_ReportCli)
#include "tst_ReportCli.moc"
