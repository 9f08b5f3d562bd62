#include "cash/Caja.h"
#include "cash/Cuentas.h"
#include "cash/ui/PanelCaja.h"
#include "cli/ExportCli.h"
#include "db/Database.h"
#include "dues/ui/PanelCuotas.h"
#include "members/ui/PanelAfiliados.h"
#include "members/ui/PanelPlanes.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <memory>

using namespace TestSupport;

// "mirabel export ..." as a scheduled job runs it: the real program, no display; the file read back.
class tst_ExportCli : public QObject {
    Q_OBJECT

    QString m_program;
    QTemporaryDir m_dir;
    QString m_db;
    std::unique_ptr<BaseTemporal> m_base; // on the server: the club's database, kept for every test

    using Result = Salida;

    Result mirabel(const QStringList &args) {
        return ejecutarMirabel(QStringList{QStringLiteral("export")} + args, m_dir.path());
    }

    // The CSV's lines split into fields (the test's texts need no quoting); empty when it cannot be read.
    QVector<QStringList> leerCsv(const QString &archivo) {
        QFile f(m_dir.filePath(archivo));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QByteArray bytes = f.readAll();
        if (!bytes.startsWith("\xEF\xBB\xBF"))
            return {};
        QVector<QStringList> filas;
        const QStringList lineas = QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"));
        for (const QString &l : lineas)
            if (!l.isEmpty())
                filas.append(l.split(QLatin1Char(';')));
        return filas;
    }

    static QStringList titulos(DataGrid *grilla) {
        QStringList t;
        for (const Columna &c : grilla->gridModel()->columns())
            t << c.caption;
        return t;
    }

    Result exportar(const QString &lista, const QString &salida, const QStringList &mas = {}) {
        return mirabel(QStringList{lista, QStringLiteral("--database"), m_db, QStringLiteral("--format"),
                                   QStringLiteral("csv"), QStringLiteral("--out"), salida} +
                       mas);
    }

private slots:
    void initTestCase() {
        m_program = QCoreApplication::applicationDirPath() + QStringLiteral("/../mirabel");
        if (!QFile::exists(m_program))
            QSKIP("el programa mirabel no está compilado junto a las pruebas");
        m_base = std::make_unique<BaseTemporal>();
        const int general = nuevoPlan(QStringLiteral("General"), 250000);
        const int cadete = nuevoPlan(QStringLiteral("Cadete"), 125000);
        const int perez = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), general);
        const int alvarez = nuevoAfiliado(QStringLiteral("Álvarez"), QStringLiteral("Ana"), cadete);
        nuevoAfiliado(QStringLiteral("Benítez"), QStringLiteral("Luis"), general);
        nuevaCuota(perez, general, QDate(2009, 1, 10), 250000, true, QDate(2009, 1, 12), 1, 2009);
        nuevaCuota(perez, general, QDate(2009, 2, 10), 250000, false, QDate(), 2, 2009);
        nuevaCuota(alvarez, cadete, QDate(2009, 2, 10), 125000, false, QDate(), 2, 2009);
        QVERIFY(Cuentas::nueva(QStringLiteral("Banco")));
        const int banco = Caja::idCuentaPorNombre(QStringLiteral("Banco")).toInt();
        nuevoMovimiento(QDate(2009, 3, 4), 1, QStringLiteral("Antes"), 10000, 0);
        nuevoMovimiento(QDate(2009, 3, 5), banco, QStringLiteral("Depósito"), 0, 5000);
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("Cobro"), 250000, 0);
        nuevoMovimiento(QDate(2009, 3, 7), 1, QStringLiteral("Después"), 20000, 0);
        // A movement brought from the old program with its time of day still belongs to its day.
        QSqlQuery q(Database::db());
        QVERIFY(q.prepare(QStringLiteral(R"(UPDATE "Caja" SET "Fecha" = ? WHERE "Detalles" = ?)")));
        q.addBindValue(QStringLiteral("2009-03-06 18:30:00"));
        q.addBindValue(QStringLiteral("Cobro"));
        QVERIFY(q.exec());
        Database::close(); // the last connection folds the journal into the file
        if (enServidor()) {
            m_db = m_base->path();
            return;
        }
        m_db = m_dir.filePath(QStringLiteral("club.db"));
        QVERIFY(QFile::copy(m_base->path(), m_db));
        m_base.reset();
    }

    void cleanupTestCase() { m_base.reset(); }

    void everyListWithItsGridsColumnsAndOrder() {
        // The grids as the main window builds them give the header each export must have.
        DataControl d1(QStringLiteral("Data1")), d2(QStringLiteral("Data2")), d3(QStringLiteral("Data3")),
            d4(QStringLiteral("Data4"));
        PanelAfiliados clientes(&d1, nullptr, {});
        PanelCuotas cuotas(&d2, nullptr);
        PanelPlanes planes(&d3);
        PanelCaja caja(&d4, nullptr, {});
        const QList<std::pair<QString, DataGrid *>> listas = {
            {QStringLiteral("socios"), control<DataGrid>(&clientes, "DBGrid1")},
            {QStringLiteral("cuotas"), control<DataGrid>(&cuotas, "DBGrid2")},
            {QStringLiteral("planes"), control<DataGrid>(&planes, "DBGrid3")},
            {QStringLiteral("caja"), control<DataGrid>(&caja, "DBGrid4")}};
        QMap<QString, QVector<QStringList>> leidas;
        for (const auto &[lista, grilla] : listas) {
            const Result r = exportar(lista, lista + QStringLiteral(".csv"));
            QVERIFY2(r.status == ExportCli::Ok, qPrintable(lista + QLatin1Char(' ') + r.err));
            QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
            const QVector<QStringList> filas = leerCsv(lista + QStringLiteral(".csv"));
            QVERIFY2(!filas.isEmpty(), qPrintable(lista));
            QCOMPARE(filas.first(), titulos(grilla));
            leidas.insert(lista, filas.mid(1));
        }
        // The captions are the grid's, not the fields' ("Padre" shows Barrio; "Cuenta" the account's name).
        QVERIFY(titulos(control<DataGrid>(&clientes, "DBGrid1")).contains(QStringLiteral("Padre")));

        // Members in Spanish order of surname.
        const QVector<QStringList> socios = leidas.value(QStringLiteral("socios"));
        QCOMPARE(socios.size(), 3);
        QStringList apellidos;
        for (const QStringList &f : socios)
            apellidos << f.at(2);
        QCOMPARE(apellidos, (QStringList{QStringLiteral("Álvarez"), QStringLiteral("Benítez"),
                                         QStringLiteral("Pérez")}));
        QCOMPARE(socios.first().at(1), QStringLiteral("Ana"));

        // Every due, ordered by plan name first: Cadete before General.
        const QVector<QStringList> dues = leidas.value(QStringLiteral("cuotas"));
        QCOMPARE(dues.size(), 3);
        QCOMPARE(dues.at(0).at(3), QStringLiteral("Álvarez"));
        QCOMPARE(dues.at(0).at(6), QStringLiteral("12,50"));
        QCOMPARE(dues.at(1).mid(0, 4), (QStringList{QStringLiteral("1"), QStringLiteral("2009"),
                                                    QStringLiteral("10/01/2009"), QStringLiteral("Pérez")}));
        QCOMPARE(dues.at(1).at(8), QStringLiteral("Sí"));

        const QVector<QStringList> plans = leidas.value(QStringLiteral("planes"));
        QCOMPARE(plans.size(), 2);
        QCOMPARE(plans.at(0).at(1), QStringLiteral("Cadete"));
        QCOMPARE(plans.at(1).at(3), QStringLiteral("25,00"));

        // The whole book, every account, by date.
        const QVector<QStringList> book = leidas.value(QStringLiteral("caja"));
        QCOMPARE(book.size(), 4);
        QStringList detalles;
        for (const QStringList &f : book)
            detalles << f.at(2);
        QCOMPARE(detalles, (QStringList{QStringLiteral("Antes"), QStringLiteral("Depósito"),
                                        QStringLiteral("Cobro"), QStringLiteral("Después")}));
        QCOMPARE(book.at(1).at(1), QStringLiteral("Banco"));
        QCOMPARE(book.at(1).at(4), QStringLiteral("0,50"));
    }

    void filtersAsTheListsHaveThem() {
        // Dues of February 2009, as "Buscar" shows them.
        Result r = exportar(QStringLiteral("cuotas"), QStringLiteral("febrero.csv"),
                            {QStringLiteral("--mes"), QStringLiteral("2"), QStringLiteral("--anio=2009")});
        QVERIFY2(r.status == ExportCli::Ok, qPrintable(r.err));
        QVector<QStringList> filas = leerCsv(QStringLiteral("febrero.csv"));
        QCOMPARE(filas.size(), 3);
        for (const QStringList &f : filas.mid(1))
            QCOMPARE(f.mid(0, 2), (QStringList{QStringLiteral("2"), QStringLiteral("2009")}));

        // Movements of every account within the two days, both days whole, in either form of date.
        r = exportar(QStringLiteral("caja"), QStringLiteral("marzo.csv"),
                     {QStringLiteral("--desde"), QStringLiteral("05/03/2009"), QStringLiteral("--hasta"),
                      QStringLiteral("2009-03-06")});
        QVERIFY2(r.status == ExportCli::Ok, qPrintable(r.err));
        filas = leerCsv(QStringLiteral("marzo.csv"));
        QCOMPARE(filas.size(), 3);
        QCOMPARE(filas.at(1).at(2), QStringLiteral("Depósito"));
        QCOMPARE(filas.at(2).at(2), QStringLiteral("Cobro"));

        // Only a start: from that day on.
        r = exportar(QStringLiteral("caja"), QStringLiteral("desde.csv"),
                     {QStringLiteral("--desde"), QStringLiteral("6/3/2009")});
        QVERIFY2(r.status == ExportCli::Ok, qPrintable(r.err));
        QCOMPARE(leerCsv(QStringLiteral("desde.csv")).size(), 3);
    }

    void excelIsWrittenAndTheDatabaseOnlyRead() {
        const auto huella = [](const QString &file) {
            QFile f(file);
            return f.open(QIODevice::ReadOnly)
                       ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                       : QByteArray();
        };
        const QByteArray antes = enServidor() ? QByteArray() : huella(m_db);
        const Result r = mirabel({QStringLiteral("planes"), QStringLiteral("--database"), m_db,
                                  QStringLiteral("--out"), QStringLiteral("planes.xlsx")});
        QVERIFY2(r.status == ExportCli::Ok, qPrintable(r.err));
        QFile x(m_dir.filePath(QStringLiteral("planes.xlsx")));
        QVERIFY(x.open(QIODevice::ReadOnly));
        QCOMPARE(x.read(2), QByteArray("PK")); // a zip container, as every .xlsx
        // A file is only read: not a byte of it changes.
        if (!enServidor()) {
            QCOMPARE(huella(m_db), antes);
            QVERIFY(!QFile::exists(m_db + QStringLiteral("-wal")));
        }

        // When Python can read Excel files, the sheet holds the plans as the list shows them.
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, openpyxl\nws = openpyxl.load_workbook(sys.argv[1]).active\n"
                                 "print(ws.title, ws['B1'].value, ws['B2'].value, ws['D3'].value)"),
                  x.fileName()});
        if (py.waitForFinished(60000) && py.exitCode() == 0)
            QCOMPARE(QString::fromUtf8(py.readAllStandardOutput()).trimmed(),
                     QStringLiteral("Planes Descripcion Cadete 25"));
    }

    void failuresExitWithAStatusAndAMessage() {
        const QString out = QStringLiteral("no.csv");
        Result r = exportar(QStringLiteral("deudores"), out);
        QCOMPARE(r.status, int(ExportCli::Usage));
        QVERIFY2(r.err.contains(QStringLiteral("no existe la lista \"deudores\"")), qPrintable(r.err));

        r = mirabel({QStringLiteral("socios"), QStringLiteral("--database"),
                     m_dir.filePath(QStringLiteral("falta.db")), QStringLiteral("--out"), out});
        QCOMPARE(r.status, int(ExportCli::DatabaseError));
        QVERIFY2(r.err.contains(QStringLiteral("No existe el archivo de base de datos")), qPrintable(r.err));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("falta.db")))); // never created

        r = exportar(QStringLiteral("socios"), QStringLiteral("no/existe/la/carpeta.csv"));
        QCOMPARE(r.status, int(ExportCli::OutputError));
        QVERIFY(r.err.startsWith(QStringLiteral("Error: ")));

        // Filters that do not belong to the list, half a filter, and dates that are not dates.
        for (const QStringList &mal :
             {QStringList{QStringLiteral("socios"), QStringLiteral("--mes"), QStringLiteral("2"),
                          QStringLiteral("--anio"), QStringLiteral("2009")},
              QStringList{QStringLiteral("cuotas"), QStringLiteral("--mes"), QStringLiteral("2")},
              QStringList{QStringLiteral("cuotas"), QStringLiteral("--mes"), QStringLiteral("febrero"),
                          QStringLiteral("--anio"), QStringLiteral("2009")},
              QStringList{QStringLiteral("caja"), QStringLiteral("--desde"), QStringLiteral("31/02/2009")},
              QStringList{QStringLiteral("caja"), QStringLiteral("--desde"), QStringLiteral("2009-03-07"),
                          QStringLiteral("--hasta"), QStringLiteral("2009-03-05")}}) {
            r = exportar(mal.first(), out, mal.mid(1));
            QVERIFY2(r.status == ExportCli::Usage, qPrintable(mal.join(QLatin1Char(' '))));
            QVERIFY(r.err.contains(QStringLiteral("Uso: mirabel export")));
        }
        r = mirabel({QStringLiteral("socios"), QStringLiteral("--database"), m_db, QStringLiteral("--out"),
                     QStringLiteral("socios.txt")});
        QCOMPARE(r.status, int(ExportCli::Usage));
        QVERIFY(r.err.contains(QStringLiteral("--format")));
        QVERIFY(!QFile::exists(m_dir.filePath(out)));

        r = mirabel({QStringLiteral("--help")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral("Estado de salida")));
    }
};

MIRABEL_TEST_MAIN(tst_ExportCli)
#include "tst_ExportCli.moc"
