#include "admin/ui/PanelUtilidades.h"
#include "app/Main.h"
#include "app/panPrin.h"
#include "cash/ui/PanelCaja.h"
#include "cash/ui/PanelInformes.h"
#include "core/Niveles.h"
#include "db/Database.h"
#include "dues/ui/PanelCuotas.h"
#include "members/ui/PanelAfiliados.h"
#include "members/ui/PanelPlanes.h"
#include "support/ServidorPropio.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QWidget>

using namespace TestSupport;

class tst_panPrin : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void lostServerIsSaidOnceListsKeepTheirRowsAndTheDeskComesBack() {
        if (!enServidor())
            QSKIP("Solo en el servidor: un archivo no se pierde");
        ServidorPropio servidor;
        QVERIFY2(servidor.listo(), qPrintable(servidor.motivo()));
        QString error;
        QVERIFY_HECHO(
            Database::open(servidor.nuevaBase(QStringLiteral("club")), Database::Mode::CreateIfMissing));
        const auto cerrar = qScopeGuard([] { Database::close(); });
        nuevoPlan(QStringLiteral("Mensual"));
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        Main::avisarConexionPerdida();
        panPrin w;
        const auto socios = [&] {
            QStringList out;
            for (int i = 0; i < control<DataGrid>(&w, "DBGrid1")->dataControl()->model()->rowCount(); ++i)
                out << control<DataGrid>(&w, "DBGrid1")
                           ->dataControl()
                           ->valueAt(i, QStringLiteral("Apellido"))
                           .toString();
            return out;
        };
        QCOMPARE(socios(), QStringList{QStringLiteral("Pérez")});

        QVERIFY2(servidor.detener(), qPrintable(servidor.motivo()));
        for (int vez = 0; vez < 2; ++vez) {
            control<QPushButton>(&w, "Command10")->click();
            QCoreApplication::processEvents();
            QCOMPARE(socios(), QStringList{QStringLiteral("Pérez")});
        }
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QVERIFY2(Mensaje::mostrados().first().texto.startsWith(
                     QStringLiteral("Se perdió la conexión con el servidor de la base de datos: ")),
                 qPrintable(Mensaje::mostrados().first().texto));

        // Back: the next piece of work opens the connection again, prepared as at the start.
        QVERIFY2(servidor.iniciar(), qPrintable(servidor.motivo()));
        QString motivo;
        QVERIFY_HECHO(Database::exec(
            QStringLiteral(R"(INSERT INTO "Afiliados" ("Apellido", "Nombres", "idPlan", "ClaveOrden")
                                                  VALUES ('Gómez', 'Luis', 1, clave_orden('Gómez', 'Luis')))"),
            {}));
        control<QPushButton>(&w, "Command10")->click();
        QCOMPARE(socios(), QStringList({QStringLiteral("Gómez"), QStringLiteral("Pérez")}));
        QCOMPARE(Database::buscaValor(QStringLiteral("SELECT current_setting('lock_timeout') AS t"),
                                      QStringLiteral("t"))
                     .toString(),
                 QStringLiteral("5s"));
        QCOMPARE(Mensaje::mostrados().size(), 1);
    }

    void startStateOnFifthOfMarch() {
        BaseTemporal db(QDate(2009, 3, 5));
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES ('Banco'))")));
        panPrin w;
        QCOMPARE(control<DatePicker>(&w, "dtDesdeCaja")->date(), QDate(2008, 3, 5));
        QCOMPARE(control<DatePicker>(&w, "dtHastaCaja")->date(), QDate(2009, 3, 5));
        QCOMPARE(control<DatePicker>(&w, "dtFechaCaja")->date(), QDate(2009, 3, 5));
        QCOMPARE(control<QLineEdit>(&w, "txtSelMes")->text(), QStringLiteral("3"));
        QCOMPARE(control<QLineEdit>(&w, "txtSelAnio")->text(), QStringLiteral("2009"));
        QCOMPARE(control<QComboBox>(&w, "Combo1")->count(), 2);
        QCOMPARE(control<QComboBox>(&w, "Combo1")->itemText(0), QStringLiteral("Caja"));
        QCOMPARE(control<QComboBox>(&w, "Combo1")->itemData(1).toInt(), 2);
        QCOMPARE(control<QComboBox>(&w, "Combo1")->currentIndex(), -1);
        QCOMPARE(control<QLabel>(&w, "lblTablaSeleccionada")->text(), QStringLiteral("Tablero"));
        QCOMPARE(w.opcionActual(), int(panPrin::OpcionTablero));
        // Four-digit year in every date picker.
        QCOMPARE(control<DatePicker>(&w, "dtDesdeCaja")->text(), QStringLiteral("05/03/2008"));
    }

    void leapYearRangeIs365DaysBack() {
        BaseTemporal db(QDate(2012, 3, 5));
        panPrin w;
        QCOMPARE(control<DatePicker>(&w, "dtDesdeCaja")->date(), QDate(2011, 3, 6));
        QCOMPARE(control<QLineEdit>(&w, "txtSelMes")->text(), QStringLiteral("3"));
        QCOMPARE(control<QLineEdit>(&w, "txtSelAnio")->text(), QStringLiteral("2012"));
    }

    void firstOptionAfterLoginByLevel_data() {
        QTest::addColumn<int>("nivel");
        QTest::addColumn<QString>("opcion");
        QTest::newRow("supervisor") << 1 << QStringLiteral("Tablero");
        QTest::newRow("administrativo") << 2 << QStringLiteral("Tablero");
        QTest::newRow("otro usuario") << 3 << QStringLiteral("Clientes");
    }

    void firstOptionAfterLoginByLevel() {
        QFETCH(int, nivel);
        QFETCH(QString, opcion);
        BaseTemporal db;
        Module1::NivelUsuario = qint16(nivel);
        panPrin w;
        w.show();
        QCOMPARE(control<QLabel>(&w, "lblTablaSeleccionada")->text(), opcion);
        const int shown = opcion == QStringLiteral("Tablero") ? panPrin::OpcionTablero : 0;
        QVERIFY(control<QWidget>(&w, QStringLiteral("panelProceso_%1").arg(shown))->isVisible());
        QCOMPARE(control<QWidget>(&w, "panelCuotasClientesParticular")->isVisible(), shown == 0);
    }

    void optionsSwitchPanelsAndTheMembersSubPanel() {
        BaseTemporal db;
        Module1::NivelUsuario = 3; // starts on Clientes
        panPrin w;
        w.show();
        const char *names[] = {"Clientes", "Cuotas", "Planes", "Informes", "Caja", "Utilidades"};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(control<QLabel>(&w, QStringLiteral("lblOpcion_%1").arg(i))->text(),
                     QString::fromUtf8(names[i]));
        QVERIFY(control<QWidget>(&w, "panelCuotasClientesParticular")->isVisible());
        QVERIFY(control<QLabel>(&w, "lblInfo")->isVisible());
        for (int i : {1, 2, 3, 4, 5, 0, 4}) {
            w.HaceClickOpcion(i);
            QCOMPARE(control<QLabel>(&w, "lblTablaSeleccionada")->text(), QString::fromUtf8(names[i]));
            for (int j = 0; j < 6; ++j)
                QCOMPARE(control<QWidget>(&w, QStringLiteral("panelProceso_%1").arg(j))->isVisible(), i == j);
            QCOMPARE(control<QWidget>(&w, "panelCuotasClientesParticular")->isVisible(), i == 0);
            QCOMPARE(control<QLabel>(&w, "lblInfo")->isVisible(), i == 0);
        }
        // A click on the label of an option works as on its icon.
        QTest::mouseClick(control<QLabel>(&w, "lblOpcion_2"), Qt::LeftButton);
        QCOMPARE(w.opcionActual(), 2);
        QTest::mouseClick(control<QLabel>(&w, "btnIconSelect_0"), Qt::LeftButton);
        QCOMPARE(w.opcionActual(), 0);
    }

    void gridsShowStoredDataWithTheirColumns() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 12, 0);
        const int a = nuevoAfiliado(QStringLiteral("Zárate"), QStringLiteral("Ana"), p);
        nuevoAfiliado(QStringLiteral("álvarez"), QStringLiteral("Juan"), p);
        nuevaCuota(a, p, QDate(2009, 3, 10), 250000, true, QDate(2009, 3, 5), 3, 2009);
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("Cobro de CUOTA MES 1 a Zárate"), 250000, 0);
        panPrin w;
        auto *g1 = control<DataGrid>(&w, "DBGrid1");
        QCOMPARE(g1->model()->columnCount(), 18);
        QCOMPARE(g1->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("idSocio"));
        QCOMPARE(g1->model()->headerData(6, Qt::Horizontal).toString(), QStringLiteral("Padre"));
        QCOMPARE(g1->model()->rowCount(), 2);
        QCOMPARE(g1->model()->index(0, 2).data().toString(), QStringLiteral("álvarez")); // Spanish order
        auto *g2 = control<DataGrid>(&w, "DBGrid2");
        QCOMPARE(g2->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("F.Vencim."));
        QCOMPARE(g2->model()->index(0, 2).data().toString(), QStringLiteral("10/03/2009"));
        QCOMPARE(g2->model()->index(0, 6).data().toString(), QStringLiteral("$ 25,00"));
        QCOMPARE(g2->model()->index(0, 8).data().toString(), QStringLiteral("Sí"));
        auto *g3 = control<DataGrid>(&w, "DBGrid3");
        QCOMPARE(g3->model()->index(0, 3).data().toString(), QStringLiteral("$ 25,00"));
        auto *g4 = control<DataGrid>(&w, "DBGrid4");
        QCOMPARE(g4->model()->index(0, 1).data().toString(), QStringLiteral("Caja"));
        QCOMPARE(g4->model()->index(0, 3).data().toString(), QStringLiteral("$ 25,00"));
        QCOMPARE(g4->model()->index(0, 5).data().toString(), QStringLiteral("Efectivo"));
    }

    void duesListInPlanMonthYearMemberOrder() {
        BaseTemporal db;
        const int zona = nuevoPlan(QStringLiteral("Zona sur"));
        const int anual = nuevoPlan(QString::fromUtf8("Ánual"));
        const int borrado = nuevoPlan(QStringLiteral("Borrado"));
        const int a = nuevoAfiliado(QStringLiteral("Zárate"), QStringLiteral("Ana"), zona);
        const int b = nuevoAfiliado(QStringLiteral("álvarez"), QStringLiteral("Juan"), zona);
        nuevaCuota(a, zona, QDate(2009, 2, 10), 1, false, QDate(), 2, 2009);
        nuevaCuota(a, zona, QDate(2009, 1, 10), 2, false, QDate(), 1, 2009);
        nuevaCuota(b, zona, QDate(2009, 1, 10), 3, false, QDate(), 1, 2009);
        nuevaCuota(a, borrado, QDate(2009, 1, 10), 4, false, QDate(), 1, 2009);
        nuevaCuota(a, anual, QDate(2009, 3, 10), 5, false, QDate(), 3, 2009);
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(DELETE FROM "Planes" WHERE "idPlan" = ?)"), {borrado}));
        panPrin w;
        control<DataGrid>(&w, "DBGrid2")->dataControl()->fetchAll();
        QStringList order;
        for (int r = 0; r < control<DataGrid>(&w, "DBGrid2")->dataControl()->model()->rowCount(); ++r)
            order << control<DataGrid>(&w, "DBGrid2")
                         ->dataControl()
                         ->valueAt(r, QStringLiteral("Monto"))
                         .toString();
        // Ánual before Zona sur; month 1 before 2; álvarez before Zárate; the orphan due last.
        QCOMPARE(order, QStringList({"5", "3", "2", "1", "4"}));
    }

    void actualizarTablasRereadsTheCurrentRecordSources() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        panPrin w;
        QCOMPARE(control<DataGrid>(&w, "DBGrid3")->model()->rowCount(), 1);
        nuevoPlan(QStringLiteral("Anual"));
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        nuevaCuota(a, p, QDate(2009, 1, 10), 1000, false, QDate(), 1);
        nuevaCuota(a, p, QDate(2009, 2, 10), 1000, false, QDate(), 2);
        // Another command narrowed the dues list: the refresh keeps that source.
        control<DataGrid>(&w, "DBGrid2")
            ->dataControl()
            ->setRecordSource(QStringLiteral(R"(Select * from "ConsultaCuotas" where "Mes" = ?)"), {2});
        control<QPushButton>(&w, "Command10")->click();
        QCOMPARE(control<DataGrid>(&w, "DBGrid3")->model()->rowCount(), 2);
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->model()->rowCount(), 1);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->model()->rowCount(), 1);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->value(QStringLiteral("Mes")).toInt(), 2);
    }

    void supervisorAloneEditsTheAmountOfADue() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        const int c = nuevaCuota(a, p, QDate(2009, 1, 10), 250000);
        for (int nivel : {2, 3}) {
            Module1::NivelUsuario = qint16(nivel);
            panPrin w;
            QVERIFY(control<DataGrid>(&w, "DBGrid2")->isColumnLocked(PanelCuotas::ColumnaMonto));
            QVERIFY(!control<DataGrid>(&w, "DBGrid2")
                         ->model()
                         ->setData(control<DataGrid>(&w, "DBGrid2")->model()->index(0, 6),
                                   QStringLiteral("30"), Qt::EditRole));
        }
        Module1::NivelUsuario = 1;
        panPrin w;
        auto *m = control<DataGrid>(&w, "DBGrid2")->model();
        QVERIFY(!control<DataGrid>(&w, "DBGrid2")->isColumnLocked(PanelCuotas::ColumnaMonto));
        QVERIFY(control<DataGrid>(&w, "DBGrid2")->isColumnLocked(0));
        QCOMPARE(m->index(0, 6).data(Qt::EditRole).toString(), QStringLiteral("25,00"));
        QVERIFY(m->setData(m->index(0, 6), QStringLiteral("$ 1.234,56"), Qt::EditRole));
        QCOMPARE(Database::buscaValor(QStringLiteral(R"(SELECT "Monto" FROM "Cuotas" WHERE "idCuota" = ?)"),
                                      QStringLiteral("Monto"), {c})
                     .toLongLong(),
                 12345600LL);
        QCOMPARE(m->index(0, 6).data().toString(), QStringLiteral("$ 1.234,56"));
        // A typing slip is refused with a message and nothing is stored.
        QVERIFY(!m->setData(m->index(0, 6), QStringLiteral("doce"), Qt::EditRole));
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Database::buscaValor(QStringLiteral(R"(SELECT "Monto" FROM "Cuotas" WHERE "idCuota" = ?)"),
                                      QStringLiteral("Monto"), {c})
                     .toLongLong(),
                 12345600LL);
    }

    void levelMatrix() {
        // Every command of the window, and the levels that may run it.
        const QList<QPair<QString, QList<int>>> table = {
            {"Command10", {1, 2, 3}},   {"Command2", {1, 2, 3}},  {"Command4", {1, 2}},
            {"Command3", {1, 2}},       {"Command5", {1, 2, 3}},  {"Command6", {1, 2, 3}},
            {"Command18", {1, 2}},      {"Command7", {1, 2, 3}},  {"Command8", {1, 2, 3}},
            {"Command9", {1, 2, 3}},    {"Command11", {1, 2, 3}}, {"Command33", {1, 2, 3}},
            {"Command13", {1, 2}},      {"Command29", {1, 2, 3}}, {"DBGrid2.Monto", {1}},
            {"Command15", {1, 2}},      {"Command17", {1, 2}},    {"Command16", {1, 2}},
            {"Command27", {1, 2}},      {"Command25", {1, 2}},    {"Command24", {1, 2, 3}},
            {"Command22", {1, 2}},      {"Command23", {1, 2}},    {"Command20", {1, 2}},
            {"Command21", {1, 2, 3}},   {"Command28", {1, 2}},    {"Combo1", {1, 2, 3}},
            {"dtFechaCaja", {1, 2, 3}}, {"Command31", {1, 2, 3}}, {"Command32", {1, 2, 3}},
            {"Command30", {1}},         {"Command26", {1}},       {"Command19", {1, 2}},
            {"Command14", {1}},         {"Command12", {1}},       {"cmdCopiaSeguridad", {1, 2}},
            {"cmdRestaurarCopia", {1}}, {"cmdImportarMdb", {1}},
        };
        for (const auto &[cmd, levels] : table)
            for (int nivel = 0; nivel <= 4; ++nivel)
                QVERIFY2(Niveles::permite(cmd, nivel) == levels.contains(nivel),
                         qPrintable(QStringLiteral("%1 nivel %2").arg(cmd).arg(nivel)));
        // A name the table does not know is refused, even to a supervisor.
        for (const char *desconocido : {"Command99", "command4", "", "Command1"})
            QVERIFY2(!Niveles::permite(QString::fromLatin1(desconocido), 1), desconocido);
    }

    // Each restricted command of the members and plans options, at a level where it acts and at one where
    // it does nothing at all.
    void restrictedMembersAndPlansCommandsActOnlyForTheirLevels() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        panPrin w;
        w.show();
        auto *grid1 = control<DataGrid>(&w, "DBGrid1");
        auto *grid3 = control<DataGrid>(&w, "DBGrid3");
        struct Caso {
            const char *ventana;
            std::function<void()> disparar;
        };
        const QList<Caso> conVentana = {
            {"panAfiliado", [&] { control<QPushButton>(&w, "Command4")->click(); }},
            {"panAfiliado", [&] { emit grid1->doubleClicked(grid1->model()->index(0, 1)); }},
            {"panCategorias", [&] { control<QPushButton>(&w, "Command18")->click(); }},
            {"panPlan", [&] { control<QPushButton>(&w, "Command15")->click(); }},
            {"panPlan", [&] { control<QPushButton>(&w, "Command17")->click(); }},
            {"panPlan", [&] { emit grid3->doubleClicked(grid3->model()->index(0, 1)); }},
        };
        const QList<QPushButton *> conPregunta = {control<QPushButton>(&w, "Command3"),
                                                  control<QPushButton>(&w, "Command16")};
        auto cerrar = [](QWidget *m) { static_cast<QDialog *>(m)->reject(); };

        Module1::NivelUsuario = 3;
        for (const Caso &c : conVentana)
            QVERIFY2(!alAbrirModalDe(QString::fromLatin1(c.ventana), c.disparar, cerrar, 2000), c.ventana);
        for (QPushButton *b : conPregunta)
            b->click();
        QVERIFY(Mensaje::mostrados().isEmpty());

        Module1::NivelUsuario = 2;
        for (const Caso &c : conVentana)
            QVERIFY2(alAbrirModalDe(QString::fromLatin1(c.ventana), c.disparar, cerrar), c.ventana);
        // "Borrar" asks first; answered No, nothing goes.
        for (QPushButton *b : conPregunta) {
            Mensaje::limpiar();
            Mensaje::encolarRespuesta(QMessageBox::No);
            b->click();
            QCOMPARE(Mensaje::mostrados().size(), 1);
            QCOMPARE(Mensaje::mostrados().first().titulo, QStringLiteral("Pregunta"));
        }
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")")), 1);
    }
};

MIRABEL_TEST_MAIN(tst_panPrin)
#include "tst_panPrin.moc"
