#include "admin/ui/PanelUtilidades.h"
#include "app/panPrin.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "dues/ui/PanelCuotas.h"
#include "dues/ui/panEmiCuotaTodos.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace TestSupport;

namespace {

int cuotas() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")"));
}

QString vencimiento(int idCuota) {
    return Database::buscaValor(QStringLiteral(R"(SELECT "Vencimiento" FROM "Cuotas" WHERE "idCuota" = ?)"),
                                QStringLiteral("Vencimiento"), {idCuota})
        .toString();
}

Mensaje::Mostrado ultimo() {
    return Mensaje::mostrados().isEmpty() ? Mensaje::Mostrado{} : Mensaje::mostrados().last();
}

struct Club {
    int plan, paz, sosa;
    int marzo, abril, pagada;
};

Club club() {
    Club c;
    c.plan = nuevoPlan(QStringLiteral("Mensual"));
    c.paz = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), c.plan);
    c.sosa = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Ana"), c.plan);
    c.abril = nuevaCuota(c.sosa, c.plan, QDate(2009, 4, 30), 250000, false, {}, 4, 2009);
    c.marzo = nuevaCuota(c.sosa, c.plan, QDate(2009, 3, 31), 250000, false, {}, 3, 2009);
    c.pagada = nuevaCuota(c.paz, c.plan, QDate(2009, 3, 31), 250000, true, QDate(2009, 3, 1), 3, 2009);
    return c;
}

} // namespace

class tst_PanelCuotas : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void filterAndShowAll() {
        BaseTemporal db;
        const Club c = club();
        panPrin w;
        w.show();
        w.HaceClickOpcion(1);
        PanelCuotas *p = control<PanelCuotas>(&w, "panelProceso_1");
        QCOMPARE(control<QLineEdit>(p, "txtSelMes")->text(), QStringLiteral("3"));
        QCOMPARE(control<QLineEdit>(p, "txtSelAnio")->text(), QStringLiteral("2009"));
        // Opening order: plan, month, year, surname.
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(), 3);
        QCOMPARE(
            control<DataGrid>(&w, "DBGrid2")->dataControl()->valueAt(0, QStringLiteral("idCuota")).toInt(),
            c.pagada);
        QCOMPARE(
            control<DataGrid>(&w, "DBGrid2")->dataControl()->valueAt(2, QStringLiteral("idCuota")).toInt(),
            c.abril);
        // Enter in the month box runs "Buscar".
        control<QLineEdit>(p, "txtSelMes")->setFocus();
        QTest::keyClick(control<QLineEdit>(p, "txtSelMes"), Qt::Key_Return);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(), 2);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")
                     ->dataControl()
                     ->valueAt(0, QStringLiteral("Apellido"))
                     .toString(),
                 QStringLiteral("Paz"));
        // A month that is not a number changes nothing.
        control<QLineEdit>(p, "txtSelMes")->setText(QStringLiteral("abc"));
        QTest::mouseClick(control<QPushButton>(p, "Command11"), Qt::LeftButton);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(), 2);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QTest::mouseClick(control<QPushButton>(p, "Command33"), Qt::LeftButton);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(), 3);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")
                     ->dataControl()
                     ->valueAt(0, QStringLiteral("Apellido"))
                     .toString(),
                 QStringLiteral("Paz"));
        QCOMPARE(control<DataGrid>(p, "DBGrid2")->model()->headerData(2, Qt::Horizontal).toString(),
                 QStringLiteral("F.Vencim."));
        // "Actualizar Tablas" keeps the last record source.
        control<QLineEdit>(p, "txtSelMes")->setText(QStringLiteral("4"));
        QTest::mouseClick(control<QPushButton>(p, "Command11"), Qt::LeftButton);
        w.actualizarTablas();
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(), 1);
        // "Emitir Cuotas..." opens the plan-wide issuance.
        bool abierta = false;
        alAbrirModalDe(QStringLiteral("panEmiCuotaTodos"), [&](QWidget *m) {
            abierta = true;
            control<QPushButton>(m, "Command2")->click();
        });
        QTest::mouseClick(control<QPushButton>(p, "Command29"), Qt::LeftButton);
        QVERIFY(abierta);
    }

    void deleteOneDueByLevel() {
        BaseTemporal db;
        const Club c = club();
        panPrin w;
        w.show();
        w.HaceClickOpcion(1);
        PanelCuotas *p = control<PanelCuotas>(&w, "panelProceso_1");
        QVERIFY(control<QPushButton>(p, "Command13")->isEnabled());
        control<DataGrid>(&w, "DBGrid2")->dataControl()->setCurrentRow(1);
        // Level 3: nothing at all.
        Module1::NivelUsuario = 3;
        QTest::mouseClick(control<QPushButton>(p, "Command13"), Qt::LeftButton);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(cuotas(), 3);
        // Level 2: asked, and No keeps it.
        Module1::NivelUsuario = 2;
        Mensaje::encolarRespuesta(QMessageBox::No);
        QTest::mouseClick(control<QPushButton>(p, "Command13"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("Borra este registro de Cuota ??"));
        QCOMPARE(ultimo().titulo, QStringLiteral("Pregunta"));
        QCOMPARE(cuotas(), 3);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        QTest::mouseClick(control<QPushButton>(p, "Command13"), Qt::LeftButton);
        QCOMPARE(cuotas(), 2);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "idCuota" = %1)").arg(c.marzo)),
                 0);
        // An empty list: the button is off, and the command finds no due.
        QVERIFY_HECHO(Database::exec(QStringLiteral(R"(DELETE FROM "Cuotas")")));
        control<DataGrid>(&w, "DBGrid2")->dataControl()->refresh();
        QVERIFY(!control<QPushButton>(p, "Command13")->isEnabled());
        Mensaje::limpiar();
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        p->borrar();
        QCOMPARE(ultimo().texto, QStringLiteral("Registro no localizado!!"));
        QCOMPARE(ultimo().icono, QMessageBox::Critical);
    }

    // A paid due stays with its cash movement: "Borrar" refuses it.
    // Neither "Borrar" nor a supervisor's amount typed into the list touches a paid due.
    void aPaidDueIsNotDeletedNorRewritten() {
        BaseTemporal db;
        const Club c = club();
        panPrin w;
        w.HaceClickOpcion(1);
        int fila = -1;
        for (int r = 0; r < control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(); ++r)
            if (control<DataGrid>(&w, "DBGrid2")
                    ->dataControl()
                    ->valueAt(r, QStringLiteral("idCuota"))
                    .toInt() == c.pagada)
                fila = r;
        QVERIFY(fila >= 0);
        control<DataGrid>(&w, "DBGrid2")->dataControl()->setCurrentRow(fila);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<PanelCuotas>(&w, "panelProceso_1")->borrar();
        QCOMPARE(ultimo().texto, QStringLiteral("Error, la cuota ya fue cobrada!"));
        QCOMPARE(cuotas(), 3);

        Mensaje::limpiar();
        QVERIFY(!control<DataGrid>(&w, "DBGrid2")->isColumnLocked(PanelCuotas::ColumnaMonto));
        auto *m = control<DataGrid>(&w, "DBGrid2")->model();
        QVERIFY(!m->setData(m->index(fila, PanelCuotas::ColumnaMonto), QStringLiteral("1,00"), Qt::EditRole));
        QCOMPARE(ultimo().texto, QStringLiteral("Error, la cuota ya fue cobrada!"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT "Monto" FROM "Cuotas" WHERE "idCuota" = %1)").arg(c.pagada)),
                 250000);
    }

    void clearRegisterByLevelWithCopy() {
        BaseTemporal db;
        club();
        panPrin w;
        w.show();
        w.HaceClickOpcion(5);
        PanelUtilidades *u = control<PanelUtilidades>(&w, "panelProceso_5");
        Module1::NivelUsuario = 2;
        QTest::mouseClick(control<QPushButton>(u, "Command12"), Qt::LeftButton);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(cuotas(), 3);
        Module1::NivelUsuario = 1;
        Mensaje::encolarRespuesta(QMessageBox::No);
        QTest::mouseClick(control<QPushButton>(u, "Command12"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("Borra TODA la información de cuotas? ??"));
        QCOMPARE(cuotas(), 3);

        // The copy cannot be written: nothing is deleted and the user reads why.
        QTemporaryDir otro;
        QFile archivo(otro.filePath(QStringLiteral("archivo")));
        QVERIFY(archivo.open(QIODevice::WriteOnly));
        archivo.close();
        Backup::setFolder(archivo.fileName() + QStringLiteral("/copias"));
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        QTest::mouseClick(control<QPushButton>(u, "Command12"), Qt::LeftButton);
        QCOMPARE(ultimo().icono, QMessageBox::Critical);
        QVERIFY(ultimo().texto.contains(QStringLiteral("no se borró ninguna cuota")));
        QCOMPARE(cuotas(), 3);
        Backup::setFolder(db.copias());

        Mensaje::encolarRespuesta(QMessageBox::Yes);
        QTest::mouseClick(control<QPushButton>(u, "Command12"), Qt::LeftButton);
        QCOMPARE(cuotas(), 0);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(), 0);
        const QStringList copias = QDir(db.copias()).entryList(QDir::Files);
        QCOMPARE(copias.size(), 1);
        QVERIFY2(ultimo().texto.contains(copias.first()), qPrintable(ultimo().texto));
        QCOMPARE(ultimo().icono, QMessageBox::Information);
    }

    void changeTheDueDay() {
        BaseTemporal db;
        const Club c = club();
        const int enero = nuevaCuota(c.paz, c.plan, QDate(2009, 1, 31), 1);
        panPrin w;
        w.show();
        w.HaceClickOpcion(5);
        PanelUtilidades *u = control<PanelUtilidades>(&w, "panelProceso_5");
        Module1::NivelUsuario = 3; // open to every level
        QVERIFY(u->tapaVisible());
        QTest::mouseClick(control<QPushButton>(u, "Command31"), Qt::LeftButton);
        QVERIFY(!u->tapaVisible());
        QCOMPARE(control<QLineEdit>(u, "Text1")->selectedText(), QStringLiteral("10"));
        for (const char *malo : {"abc", "32", "0"}) {
            control<QLineEdit>(u, "Text1")->setText(QString::fromLatin1(malo));
            QTest::mouseClick(control<QPushButton>(u, "Command32"), Qt::LeftButton);
            QCOMPARE(ultimo().texto, QStringLiteral("Dia de vencimiento inválido !"));
            QCOMPARE(ultimo().titulo, QStringLiteral("Error"));
            QCOMPARE(ultimo().icono, QMessageBox::Critical);
        }
        QCOMPARE(vencimiento(enero), QStringLiteral("2009-01-31"));
        QVERIFY(QDir(db.copias()).entryList(QDir::Files).isEmpty());

        control<QLineEdit>(u, "Text1")->setText(QStringLiteral("31"));
        Mensaje::encolarRespuesta(QMessageBox::No);
        QTest::mouseClick(control<QPushButton>(u, "Command32"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("Seguro de cambiar el día de vencimiento a las cuotas?"));
        QCOMPARE(ultimo().titulo, QStringLiteral("Atención"));
        QCOMPARE(ultimo().icono, QMessageBox::Warning);
        QCOMPARE(ultimo().botones, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(vencimiento(c.abril), QStringLiteral("2009-04-30"));
        QVERIFY(!u->tapaVisible());

        control<QLineEdit>(u, "Text1")->setText(QStringLiteral("10"));
        Mensaje::limpiar();
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        QTest::keyClick(control<QLineEdit>(u, "Text1"), Qt::Key_Return);
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(vencimiento(enero), QStringLiteral("2009-01-10"));
        QCOMPARE(vencimiento(c.pagada), QStringLiteral("2009-03-10"));
        QVERIFY(u->tapaVisible());
        QVERIFY(control<QLabel>(u, "Label12")->isVisible());
        QCOMPARE(control<QLabel>(u, "Label12")->text(), QStringLiteral("Listo !"));
        const QStringList copias = QDir(db.copias()).entryList(QDir::Files);
        QCOMPARE(copias.size(), 1);
        QVERIFY(control<QLabel>(u, "lblCopia")->text().contains(copias.first()));
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")
                     ->dataControl()
                     ->valueAt(0, QStringLiteral("Vencimiento"))
                     .toString()
                     .right(2),
                 QStringLiteral("10"));
    }
};

MIRABEL_TEST_MAIN(tst_PanelCuotas)
#include "tst_PanelCuotas.moc"
