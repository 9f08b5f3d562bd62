// The two largest print-outs of a large club to PDF: the member list and the debt report. Each is measured
// beside its bare query (the same SQL, every row and column read) in the same run, with pages per second
// and the peak memory, which must stay flat however many pages the report has.
// Usage: bench_reports [LARGE.db|postgresql://user@host/db]   (without either, a 100,000-member club is made
// in a temporary folder)

#include "BenchUtil.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportData.h"
#include "reports/ReportDocument.h"
#include "reports/ReportFormula.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void line(const QString &text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A stand-in club when the shared sample generator is not at hand: members with a year of dues, some overdue.
bool quickClub(const QString &path, int members) {
    QString err;
    if (!hecho(Database::open(path, Database::Mode::CreateIfMissing), &err)) {
        std::fprintf(stderr, "%s\n", qPrintable(err));
        return false;
    }
    const QStringList surnames = {"García",  "González", "Pérez",    "Álvarez",
                                  "Benítez", "Núñez",    "D'Angelo", "Zárate"};
    const QStringList names = {"Juan Carlos", "María", "Ana Sofía", "Pedro"};
    Transaction t;
    (void)Database::exec(
        QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion", "CuotaMensual", "CantidadCuotas")
                                     VALUES ('Socio Activo', 150000, 12))"));
    QSqlQuery a(Database::db());
    a.prepare(QStringLiteral(R"(INSERT INTO "Afiliados" ("Apellido", "Nombres", "TipoDocumento", "Documento",
        "Domicilio", "Localidad", "Telefono", "e-mail", "idPlan", "Fecha Afiliacion", "ClaveOrden")
        VALUES (?, ?, 'DNI', ?, 'Av. San Martín 1234', 'Pergamino', '(02477) 15-123456', ?, 1, '2015-03-01',
                clave_orden(?, ?)))"));
    QSqlQuery c(Database::db());
    c.prepare(QStringLiteral(
        R"(INSERT INTO "Cuotas" ("idAfiliado", "idPlan", "Mes", "Año", "Vencimiento", "Factura",
        "Monto", "Pagada") VALUES (?, 1, ?, 2024, ?, ?, 150000, ?))"));
    QRandomGenerator rng(7);
    for (int i = 0; i < members; ++i) {
        const QString s = surnames.at(int(rng.bounded(surnames.size()))) + QString::number(rng.bounded(900));
        const QString n = names.at(int(rng.bounded(names.size())));
        for (const QVariant &v :
             {QVariant(s), QVariant(n), QVariant(QString::number(20000000 + i)),
              QVariant(QStringLiteral("socio%1@example.com").arg(i)), QVariant(s), QVariant(n)})
            a.addBindValue(v);
        a.exec();
        const QVariant id = a.lastInsertId();
        const int paidUpTo = int(rng.bounded(13));
        for (int m = 1; m <= 12; ++m) {
            for (const QVariant &v :
                 {id, QVariant(m), QVariant(QDate(2024, m, 10).toString(Qt::ISODate)),
                  QVariant(QStringLiteral("CUOTA MES %1").arg(m)), QVariant(int(m <= paidUpTo))})
                c.addBindValue(v);
            c.exec();
        }
    }
    (void)t.commit();
    Database::close();
    return true;
}

// The report's own SQL, run bare: every row stepped, every column read.
double bareQuery(const ReportDefinition &def, const QString &formula, qint64 *rows) {
    const auto sql = ReportFormula::parse(formula).toSql(def.fields);
    QElapsedTimer t;
    t.start();
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    q.prepare(def.select + QStringLiteral(" WHERE ") + sql->where + QLatin1Char(' ') + def.tail);
    for (const QVariant &v : sql->params)
        q.addBindValue(v);
    q.exec();
    *rows = 0;
    const int columns = q.record().count();
    qint64 sink = 0;
    while (q.next()) {
        ++*rows;
        for (int c = 0; c < columns; ++c)
            sink += q.value(c).toString().size();
    }
    Q_UNUSED(sink);
    return double(t.nsecsElapsed()) / 1e6;
}

bool measure(const QString &key, const QString &file, const QString &formula, const QString &out) {
    const ReportDefinition *def = ReportCatalog::find(file);
    qint64 rows = 0;
    // Warm the file cache once so neither side pays for the first read from disk.
    bareQuery(*def, formula, &rows);
    const double base = bareQuery(*def, formula, &rows);

    QElapsedTimer t;
    t.start();
    ReportDocument doc;
    ReportError error;
    if (!doc.build(file, formula, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message));
        return false;
    }
    const double layout = double(t.nsecsElapsed()) / 1e6;
    if (const Result r = doc.writePdf(out); !r) {
        std::fprintf(stderr, "%s\n", qPrintable(r.message()));
        return false;
    }
    const double total = double(t.nsecsElapsed()) / 1e6;
    const double size = double(QFileInfo(out).size()) / (1024 * 1024);
    QFile::remove(out);

    line(
        QStringLiteral("report_%1_query: %2 ms (%3 rows, baseline)").arg(key).arg(base, 0, 'f', 0).arg(rows));
    line(QStringLiteral("report_%1_pdf: %2 ms (%3x vs baseline)")
             .arg(key)
             .arg(total, 0, 'f', 0)
             .arg(total / base, 0, 'f', 1));
    line(QStringLiteral("report_%1_layout: %2 ms (%3x vs baseline)")
             .arg(key)
             .arg(layout, 0, 'f', 0)
             .arg(layout / base, 0, 'f', 1));
    line(QStringLiteral("report_%1_pages: %2 pages (%3 MB of PDF)")
             .arg(key)
             .arg(doc.pageCount())
             .arg(size, 0, 'f', 1));
    line(QStringLiteral("report_%1_pages_per_s: %2 pages/s")
             .arg(key)
             .arg(doc.pageCount() / (total / 1000), 0, 'f', 0));
    line(QStringLiteral("report_%1_peak_rss: %2 MB")
             .arg(key)
             .arg(double(peakResidentKiB()) / 1024, 0, 'f', 0));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    }
    QGuiApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    QTemporaryDir tmp;
    QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (path.isEmpty() || (!BenchServidor::es(path) && !QFileInfo::exists(path))) {
        path = tmp.filePath(QStringLiteral("club.db"));
        const QString sample = QCoreApplication::applicationDirPath() + QStringLiteral("/mirabel-sample");
        line(QStringLiteral("(sin club grande: se genera uno de 100.000 socios en %1)").arg(path));
        if (QFileInfo::exists(sample)) {
            if (QProcess::execute(sample, {QStringLiteral("--out"), path, QStringLiteral("--members"),
                                           QStringLiteral("100000"), QStringLiteral("--seed"),
                                           QStringLiteral("7")}) != 0)
                return 1;
        } else if (!quickClub(path, 100000)) {
            return 1;
        }
    }
    QString error;
    if (!hecho(Database::open(path, Database::Mode::MustExist), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString out = tmp.filePath(QStringLiteral("informe.pdf"));
    bool ok = measure(QStringLiteral("socios"), QStringLiteral("Socios.rpt"),
                      QStringLiteral("{Afiliados.idAfiliado} <> 0"), out);
    ok = measure(QStringLiteral("infdeuda"), QStringLiteral("infDeuda.rpt"),
                 QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0"), out) &&
         ok;
    Database::close();
    return ok ? 0 : 1;
}
