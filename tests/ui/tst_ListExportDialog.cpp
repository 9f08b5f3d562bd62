#include "app/panPrin.h"
#include "cash/ui/panCobraCuota.h"
#include "cash/ui/panCuentas.h"
#include "db/Database.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/EstadoVentanas.h"
#include "ui/ListExportDialog.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/Ventana.h"

#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>

using namespace TestSupport;

namespace {
// The CSV as lines of fields (the fields of these tests hold no separators or line breaks).
QList<QStringList> leerCsv(const QString &ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString texto = QString::fromUtf8(f.readAll());
    if (texto.startsWith(QChar(0xFEFF)))
        texto.remove(0, 1);
    QList<QStringList> out;
    for (const QString &l : texto.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        out << l.split(QLatin1Char(';'));
    return out;
}

QAction *accion(QMenu *menu, const QString &texto) {
    for (QAction *a : menu->actions())
        if (a->text().remove(QLatin1Char('&')) == texto)
            return a;
    return nullptr;
}

class VentanaDePrueba : public Ventana {
    Q_OBJECT
public:
    using Ventana::Ventana;
};
} // namespace

class tst_ListExportDialog : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 3;
    }

    void gridExportsWhatTheListShowsInItsOrder() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        for (const char *apellido : {"Zárate", "Álvarez", "Benítez", "Ñandú"})
            nuevoAfiliado(QString::fromUtf8(apellido), QStringLiteral("Ana"), plan);
        DataControl datos(QStringLiteral("DataPrueba"));
        datos.setRecordSource(QStringLiteral(R"(SELECT "Apellido", "Nombres", "idPlan" FROM "Afiliados"
                                                WHERE "Apellido" <> ? ORDER BY "ClaveOrden" DESC)"),
                              {QStringLiteral("Benítez")});
        QVERIFY(datos.refresh());
        DataGrid grilla(QStringLiteral("DBGridPrueba"), &datos);
        grilla.setColumns({{QStringLiteral("Apellido y nombre"), QStringLiteral("Apellido")},
                           {QStringLiteral("Plan"), QStringLiteral("idPlan"), Formato::Tipo::Entero}});
        QMenu *menu = grilla.menuExportar();
        QVERIFY(accion(menu, QStringLiteral("Exportar a Excel...")));
        QAction *csv = accion(menu, QStringLiteral("Exportar a CSV..."));
        QVERIFY(csv);

        const QString ruta = m_dir.filePath(QStringLiteral("socios")); // the extension is added
        ListExportDialog::encolarArchivo(ruta);
        csv->trigger();
        const auto filas = leerCsv(ruta + QStringLiteral(".csv"));
        QCOMPARE(filas.size(), 4);
        QCOMPARE(filas.at(0), (QStringList{QStringLiteral("Apellido y nombre"), QStringLiteral("Plan")}));
        QCOMPARE(filas.at(1).at(0), QStringLiteral("Zárate"));
        QCOMPARE(filas.at(2).at(0), QStringLiteral("Ñandú"));
        QCOMPARE(filas.at(3).at(0), QStringLiteral("Álvarez"));
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Exportar"));

        // Cancelling the file choice writes nothing and says nothing.
        Mensaje::limpiar();
        csv->trigger();
        QVERIFY(Mensaje::mostrados().isEmpty());
    }

    void mainWindowExportsTheShownList() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        nuevoPlan(QStringLiteral("Anual"));
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        panPrin w;
        QMenu *menu = control<QToolButton>(&w, "cmdExportar")->menu();
        QVERIFY(menu);
        w.HaceClickOpcion(2); // Planes
        QVERIFY(control<QToolButton>(&w, "cmdExportar")->isEnabled());
        const QString ruta = m_dir.filePath(QStringLiteral("planes.csv"));
        ListExportDialog::encolarArchivo(ruta);
        accion(menu, QStringLiteral("Exportar a CSV..."))->trigger();
        const auto filas = leerCsv(ruta);
        QCOMPARE(filas.size(), 3);
        QCOMPARE(filas.at(0).at(1), QStringLiteral("Descripcion"));
        QCOMPARE(filas.at(1).at(1), QStringLiteral("Anual"));
        QCOMPARE(filas.at(2).at(1), QStringLiteral("Mensual"));
        w.HaceClickOpcion(5); // Utilidades has no list
        QVERIFY(!control<QToolButton>(&w, "cmdExportar")->isEnabled());
        w.HaceClickOpcion(0);
        QVERIFY(control<QToolButton>(&w, "cmdExportar")->isEnabled());
    }

    void modalListsHaveAnExportButton() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan);
        nuevaCuota(socio, plan, QDate(2009, 1, 10), 250000, false, QDate(), 1);
        nuevaCuota(socio, plan, QDate(2009, 2, 10), 250000, true, QDate(2009, 2, 11), 2);
        nuevaCuota(socio, plan, QDate(2009, 3, 10), 300000, false, QDate(), 3);

        // Each window's button opens its grid's menu, and the menu writes what the grid shows.
        const auto exportar = [this](QWidget *ventana, DataGrid *grilla, const QString &archivo) {
            auto *boton = ventana->findChild<QToolButton *>(QStringLiteral("cmdExportar"));
            QVERIFY(boton && boton->isVisible());
            QCOMPARE(boton->menu(), grilla->menuExportar());
            QCOMPARE(boton->popupMode(), QToolButton::InstantPopup);
            ListExportDialog::encolarArchivo(m_dir.filePath(archivo));
            accion(boton->menu(), QStringLiteral("Exportar a CSV..."))->trigger();
        };
        {
            panCobraCuota w(nullptr);
            w.Tag = QString::number(socio);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            captura(&w, QStringLiteral("panCobraCuota"));
            exportar(&w, control<DataGrid>(&w, "DBGrid1"), QStringLiteral("impagas.csv"));
            const auto filas = leerCsv(m_dir.filePath(QStringLiteral("impagas.csv")));
            QCOMPARE(filas.size(), 3); // the paid due is not in the list
            QCOMPARE(filas.at(0).at(5), QStringLiteral("Monto"));
            QCOMPARE(filas.at(2).at(5), QStringLiteral("30,00"));
            w.hide();
        }
        {
            panCuentas w;
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            captura(&w, QStringLiteral("panCuentas"));
            exportar(&w, control<DataGrid>(&w, "DBGrid1"), QStringLiteral("cuentas.csv"));
            const auto filas = leerCsv(m_dir.filePath(QStringLiteral("cuentas.csv")));
            QCOMPARE(filas.size(), 2);
            QCOMPARE(filas.at(0), (QStringList{QStringLiteral("idCuenta"), QStringLiteral("Descripcion")}));
            QCOMPARE(filas.at(1).at(0), QStringLiteral("1"));
            w.hide();
        }
    }

    void windowsAndColumnsComeBackAsTheyWereLeft() {
        EstadoVentanas::setArchivo(m_dir.filePath(QStringLiteral("estado.ini")));
        QRect dejada;
        {
            VentanaDePrueba v;
            v.resize(420, 300);
            v.show();
            QVERIFY(QTest::qWaitForWindowExposed(&v));
            v.setGeometry(QRect(37, 41, 510, 333));
            dejada = v.geometry();
            v.hide();
        }
        {
            VentanaDePrueba v;
            v.resize(420, 300);
            v.show();
            QVERIFY(QTest::qWaitForWindowExposed(&v));
            QCOMPARE(v.geometry(), dejada);
            v.hide();
        }

        BaseTemporal base;
        DataControl datos(QStringLiteral("DataPrueba"));
        const QVector<Columna> columnas = {{QStringLiteral("Uno"), QStringLiteral("a")},
                                           {QStringLiteral("Dos"), QStringLiteral("b")}};
        {
            DataGrid g(QStringLiteral("DBGridAnchos"), &datos);
            g.setColumns(columnas);
            g.horizontalHeader()->resizeSection(0, 333);
        }
        {
            DataGrid g(QStringLiteral("DBGridAnchos"), &datos);
            g.setColumns(columnas);
            QCOMPARE(g.horizontalHeader()->sectionSize(0), 333);
            // A grid whose columns changed keeps the program's widths.
            DataGrid otra(QStringLiteral("DBGridAnchos"), &datos);
            otra.setColumns({columnas.at(0)});
            QVERIFY(otra.horizontalHeader()->sectionSize(0) != 333);
        }
        QFile f(m_dir.filePath(QStringLiteral("estado.ini")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray ini = f.readAll();
        QVERIFY(ini.contains("[Ventanas]"));
        QVERIFY(!ini.contains("Configuracion"));
        EstadoVentanas::setArchivo(QString());
    }
};

MIRABEL_TEST_MAIN(tst_ListExportDialog)
#include "tst_ListExportDialog.moc"
