// "Importar base anterior (.mdb)..." driven as a user would: from the Utilidades panel of the main window,
// through the import window, to the main window working on the new database.

#include "admin/ui/PanelUtilidades.h"
#include "admin/ui/panImportarMdb.h"
#include "app/panIngreso.h"
#include "app/panPrin.h"
#include "cash/ui/PanelCaja.h"
#include "db/Database.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace TestSupport;

namespace {
// What Database::path() says of a base: a file's full path, a server's address as it is.
QString ruta(const QString &base) {
    return enServidor() ? base : QFileInfo(base).absoluteFilePath();
}

// What the user types into the window: the old file and the new database's name.
panImportarMdb *elegir(QWidget *ventana, const QString &origen, const QString &destino) {
    auto *v = static_cast<panImportarMdb *>(ventana);
    control<QLineEdit>(v, "txtOrigen")->setText(baseAnterior(origen));
    control<QLineEdit>(v, "txtDestino")->setText(destino);
    return v;
}
} // namespace

class tst_panImportarMdb : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (const QString falta = TestSupport::faltanBasesAnteriores(); !falta.isEmpty())
            QFAIL(qPrintable(falta));
    }

    void init() { Mensaje::limpiar(); }

    void soloUnSupervisorLoAbre() {
        BaseTemporal base;
        Module1::NivelUsuario = 2;
        panPrin w;
        w.HaceClickOpcion(5);
        control<QPushButton>(&w, "cmdImportarMdb")->click(); // an administrative user: nothing at all happens
        QCoreApplication::processEvents();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(Mensaje::mostrados().isEmpty());

        Module1::NivelUsuario = 1;
        bool abierta = false;
        alAbrirModalDe(QStringLiteral("panImportarMdb"), [&](QWidget *v) {
            abierta = true;
            control<QPushButton>(v, "cmdCerrar")->click();
        });
        control<QPushButton>(&w, "cmdImportarMdb")->click();
        QVERIFY(abierta);
        QCOMPARE(Database::path(), ruta(base.path()));
    }

    void importaMuestraElResumenYAbreLaBaseNueva() {
        // A list still holding the old connection would stop reading once it closes.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use")));
        // On a server, the new club goes into a database the administrator has just made, by its address;
        // dropped once the window and the bases are gone.
        QString vacia;
        const auto borrar = qScopeGuard([&] { borrarBaseServidor(vacia); });
        BaseTemporal base;
        Module1::NivelUsuario = 1;
        QTemporaryDir dir;
        const QString nueva =
            enServidor() ? nuevaBaseServidorVacia(&vacia) : dir.filePath(QStringLiteral("club.db"));
        panPrin w;
        w.show();
        w.HaceClickOpcion(5);

        int filas = -1;
        QString cuotas, estado;
        alAbrirModalDe(QStringLiteral("panImportarMdb"), [&](QWidget *v) {
            auto *ventana = elegir(v, QStringLiteral("BASE-small.mdb"), nueva);
            Mensaje::encolarRespuesta(QMessageBox::No); // not yet: the summary stays on screen
            control<QPushButton>(ventana, "cmdImportar")->click();
            filas = control<QTableWidget>(ventana, "grdResumen")->rowCount();
            for (int i = 0; i < filas; ++i)
                if (control<QTableWidget>(ventana, "grdResumen")->item(i, 0)->text() ==
                    QLatin1String("Cuotas"))
                    cuotas =
                        control<QTableWidget>(ventana, "grdResumen")->item(i, 1)->text() + QLatin1Char('/') +
                        control<QTableWidget>(ventana, "grdResumen")->item(i, 2)->text() + QLatin1Char('/') +
                        control<QTableWidget>(ventana, "grdResumen")->item(i, 3)->text();
            estado = control<QLabel>(ventana, "lblEstado")->text();
            QVERIFY(control<QPushButton>(ventana, "cmdAbrir")->isEnabled());
            alAbrirModalDe(QStringLiteral("panIngreso"), [](QWidget *l) {
                auto *login = static_cast<panIngreso *>(l);
                control<QLineEdit>(login, "Text1")->setText(QStringLiteral("mgarcia"));
                control<QLineEdit>(login, "Text2")->setText(QStringLiteral("Caja2024"));
                control<QPushButton>(login, "Command1")->click();
            });
            control<QPushButton>(ventana, "cmdAbrir")->click();
        });
        control<QPushButton>(&w, "cmdImportarMdb")->click();

        QCOMPARE(filas, 9);
        QCOMPARE(cuotas, QStringLiteral("441/441/Monto: $ 909.408,3178; Recargo: $ 15.623,11"));
        QVERIFY2(estado.contains(QStringLiteral("terminada")), qPrintable(estado));
        const QVector<Mensaje::Mostrado> vistos = Mensaje::mostrados();
        QCOMPARE(vistos.size(), 1);
        QVERIFY(vistos.first().texto.contains(QStringLiteral("¿Abrir la base nueva ahora?")));

        // The main window now works on the imported club, as the user who logged in to it.
        QCOMPARE(Database::path(), ruta(nueva));
        QCOMPARE(Module1::NivelUsuario, qint16(2));
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 25);
        control<QPushButton>(&w, "Command21")->click(); // the whole cash book, not only today's
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 348);
        QCOMPARE(control<QComboBox>(&w, "Combo1")->count(), 4);
    }

    void unIngresoFallidoDejaAbiertaLaBaseAnterior() {
        BaseTemporal base;
        Module1::NivelUsuario = 1;
        QTemporaryDir dir;
        const QString nueva = dir.filePath(QStringLiteral("club.db"));
        panPrin w;
        alAbrirModalDe(QStringLiteral("panImportarMdb"), [&](QWidget *v) {
            auto *ventana = elegir(v, QStringLiteral("BASE-small.mdb"), nueva);
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            alAbrirModalDe(QStringLiteral("panIngreso"), [](QWidget *l) {
                control<QPushButton>(l, "Command2")->click(); // gives up
            });
            control<QPushButton>(ventana, "cmdImportar")->click();
        });
        control<QPushButton>(&w, "cmdImportarMdb")->click();
        QVERIFY(QFileInfo::exists(nueva));
        QCOMPARE(Database::path(), ruta(base.path()));
        QCOMPARE(Module1::NivelUsuario, qint16(1));
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 0);
    }

    void cancelarYErroresNoDejanBase() {
        BaseTemporal base;
        Module1::NivelUsuario = 1;
        QTemporaryDir dir;
        const QString nueva = dir.filePath(QStringLiteral("club.db"));
        panImportarMdb ventana;
        ventana.show();
        elegir(&ventana, QStringLiteral("BASE-large.mdb"), nueva);
        // The user presses Cancelar as soon as the import shows its progress.
        bool cancelado = false;
        QTimer::singleShot(0, &ventana, [&] {
            cancelado = ventana.importando();
            control<QPushButton>(&ventana, "cmdCerrar")->click();
        });
        ventana.importar();
        QVERIFY(cancelado);
        QVERIFY(ventana.isVisible());
        QVERIFY2(control<QLabel>(&ventana, "lblEstado")->text().contains(QStringLiteral("cancelada")),
                 qPrintable(control<QLabel>(&ventana, "lblEstado")->text()));
        QVERIFY(!QFileInfo::exists(nueva));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        // A file that is not an Access database: said in Spanish, nothing written.
        const QString texto = dir.filePath(QStringLiteral("BASE.mdb"));
        QFile f(texto);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("no es una base");
        f.close();
        control<QLineEdit>(&ventana, "txtOrigen")->setText(texto);
        ventana.importar();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().first().titulo, QStringLiteral("Error"));
        QVERIFY(
            Mensaje::mostrados().first().texto.contains(QStringLiteral("no es una base de datos de Access")));
        QVERIFY(!QFileInfo::exists(nueva));
        QVERIFY(ventana.baseParaAbrir().isEmpty());
    }
};

MIRABEL_TEST_MAIN(tst_panImportarMdb)
#include "tst_panImportarMdb.moc"
