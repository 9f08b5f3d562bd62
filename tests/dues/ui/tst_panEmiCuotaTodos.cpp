#include "db/Database.h"
#include "dues/ui/panEmiCuotaTodos.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/ReportControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QWidget>

using namespace TestSupport;

namespace {

int cuotas(const QString &donde = QStringLiteral("1 = 1")) {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE )") + donde);
}

// Chooses entry i of the plans box with the keyboard, as a user does.
void elegir(panEmiCuotaTodos &w, int i) {
    control<QComboBox>(&w, "txtPlan")->setFocus();
    while (control<QComboBox>(&w, "txtPlan")->currentIndex() < i)
        QTest::keyClick(control<QComboBox>(&w, "txtPlan"), Qt::Key_Down);
    while (control<QComboBox>(&w, "txtPlan")->currentIndex() > i)
        QTest::keyClick(control<QComboBox>(&w, "txtPlan"), Qt::Key_Up);
}

Mensaje::Mostrado ultimo() {
    return Mensaje::mostrados().isEmpty() ? Mensaje::Mostrado{} : Mensaje::mostrados().last();
}

} // namespace

class tst_panEmiCuotaTodos : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void issuesTheChosenPlanWithAnEditedAmount() {
        BaseTemporal db;
        const int otro = nuevoPlan(QStringLiteral("Anual"), 990000, 1);
        const int p = nuevoPlan(QStringLiteral("Anual"), 250000, 4, 800000); // same name, another plan
        nuevoAfiliado(QStringLiteral("Otro"), QStringLiteral("Plan"), otro);
        const int a = nuevoAfiliado(QStringLiteral("Sosa"), QStringLiteral("Ana"), p);
        const int b = nuevoAfiliado(QStringLiteral("Álvarez"), QStringLiteral("Eva"), p);
        QWidget owner;
        ReportControl cr(&owner);
        int refrescos = 0;
        panEmiCuotaTodos w(&cr, [&] { ++refrescos; });
        w.show();
        QCOMPARE(control<QComboBox>(&w, "txtPlan")->count(), 2);
        QCOMPARE(control<QComboBox>(&w, "txtPlan")->currentIndex(), -1);
        QCOMPARE(control<QLineEdit>(&w, "txMes")->text(), QStringLiteral("3"));
        QCOMPARE(control<QLineEdit>(&w, "txAno")->text(), QStringLiteral("2009"));
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 0);

        // The second "Anual": its number, its members, its amounts.
        elegir(w, 1);
        QCOMPARE(control<QLineEdit>(&w, "txtNoPlan")->text(), QString::number(p));
        QCOMPARE(control<QListWidget>(&w, "List1")->count(), 2);
        QCOMPARE(control<QListWidget>(&w, "List1")->item(0)->text(), QStringLiteral("Álvarez, Eva"));
        QCOMPARE(control<QListWidget>(&w, "List1")->selectedItems().size(), 0);
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 4);

        QVERIFY(!control<QWidget>(&w, "Picture1")->isVisible());
        QTest::mouseClick(control<QPushButton>(&w, "Command5"), Qt::LeftButton);
        QVERIFY(control<QWidget>(&w, "Picture1")->isVisible());
        QCOMPARE(control<QPushButton>(&w, "Command5")->text(), QStringLiteral("Editar cuotas <<<"));
        // Amount 3 typed into the grid.
        const QModelIndex celda = control<DataGrid>(&w, "DBGrid1")->model()->index(2, 1);
        control<DataGrid>(&w, "DBGrid1")->setFocus();
        control<DataGrid>(&w, "DBGrid1")->setCurrentIndex(celda);
        QTest::keyClick(control<DataGrid>(&w, "DBGrid1"), Qt::Key_F2);
        QTRY_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("99,50"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(control<DataGrid>(&w, "DBGrid1")->model()->index(2, 1).data().toString(),
                     QStringLiteral("$ 99,50"));

        // The inscription date sets the run's month and year.
        control<DatePicker>(&w, "fecInscripcion")->setDate(QDate(2008, 11, 1));
        QCOMPARE(control<QLineEdit>(&w, "txMes")->text(), QStringLiteral("11"));
        QCOMPARE(control<QLineEdit>(&w, "txAno")->text(), QStringLiteral("2008"));
        control<DatePicker>(&w, "dtFechaPrimVen")->setDate(QDate(2008, 11, 15));
        QTest::mouseClick(control<QPushButton>(&w, "Command4"), Qt::LeftButton);
        QCOMPARE(control<QListWidget>(&w, "List1")->selectedItems().size(), 2);
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(refrescos, 1);
        QVERIFY(!control<QPushButton>(&w, "Command1")->isEnabled());
        QCOMPARE(cuotas(), 10);
        QCOMPARE(cuotas(QStringLiteral(R"("idPlan" = %1 AND "Año" = 2008)").arg(p)), 10);
        QCOMPARE(cuotas(QStringLiteral(R"("Factura" = 'MES 1 AÑO 2009' AND "Monto" = 995000)")), 2);
        QCOMPARE(cuotas(QStringLiteral(R"("Monto" = 250000)")), 6);
        for (int s : {a, b})
            QCOMPARE(cuotas(QStringLiteral(R"("idAfiliado" = %1 AND "Factura" = 'INSCRIPCION')").arg(s)), 1);

        // Printing: the plan's unpaid dues of the run's year.
        QTemporaryDir dir;
        ReportControl::setPdfDestinationForTests(dir.filePath(QStringLiteral("c.pdf")));
        QTest::mouseClick(control<QPushButton>(&w, "Command3"), Qt::LeftButton);
        ReportControl::setPdfDestinationForTests(QString());
        QCOMPARE(cr.selectionFormula(),
                 QStringLiteral("{cuotas.idplan} = %1 and {cuotas.Año} = 2008 and {cuotas.Pagada} = False")
                     .arg(p));

        // A fresh window: choosing the plan again re-reads its amounts; re-issuing replaces amounts only,
        // and not that of a paid due, which the window tells.
        QVERIFY(Database::exec(QStringLiteral(R"(UPDATE "Cuotas" SET "Pagada" = 1
                                                 WHERE "idAfiliado" = ? AND "Factura" = 'MES 12 AÑO 2008')"),
                               {a}));
        panEmiCuotaTodos w2(&cr, {});
        w2.show();
        QCOMPARE(control<DataGrid>(&w2, "DBGrid1")->dataControl()->recordCount(), 0);
        elegir(w2, 1);
        control<DatePicker>(&w2, "fecInscripcion")->setDate(QDate(2008, 11, 1));
        control<DatePicker>(&w2, "dtFechaPrimVen")->setDate(QDate(2008, 11, 15));
        control<QListWidget>(&w2, "List1")->item(1)->setSelected(true);
        QTest::mouseClick(control<QPushButton>(&w2, "Command1"), Qt::LeftButton);
        QCOMPARE(ultimo().texto,
                 QStringLiteral("Una cuota ya pagada quedó como estaba: su monto no se cambió."));
        QCOMPARE(ultimo().titulo, QStringLiteral("Emisión"));
        QCOMPARE(cuotas(), 10);
        QCOMPARE(cuotas(QStringLiteral(R"("Factura" = 'MES 1 AÑO 2009' AND "Monto" = 995000)")), 1);
        QCOMPARE(cuotas(QStringLiteral(R"("idAfiliado" = %1 AND "Monto" = 250000)").arg(a)), 4);
    }

    void refusalsLeaveTheWindowReady() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 2);
        const int vacio = nuevoPlan(QStringLiteral("Vacío"), 250000, 2);
        Q_UNUSED(vacio);
        nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        int refrescos = 0;
        panEmiCuotaTodos w(nullptr, [&] { ++refrescos; });
        w.show();
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("Plan no localizado !"));
        elegir(w, 1);
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("No hay afiliados a emitir cuota !"));
        elegir(w, 0);
        control<QLineEdit>(&w, "txMes")->setText(QStringLiteral("x"));
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("Error, ingrese el mes y año correctamente!"));
        QCOMPARE(ultimo().titulo, QStringLiteral("Error"));
        QCOMPARE(w.focusWidget(), control<QLineEdit>(&w, "txMes"));
        QVERIFY(control<QPushButton>(&w, "Command1")->isEnabled());
        QCOMPARE(refrescos, 0);
        // Nobody selected: nothing written, yet the run counts as done.
        control<QLineEdit>(&w, "txMes")->setText(QStringLiteral("1"));
        Mensaje::limpiar();
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(cuotas(), 0);
        QCOMPARE(refrescos, 1);
        QVERIFY(!control<QPushButton>(&w, "Command1")->isEnabled());
    }

    // Issuing by its shortcut while an amount is still being typed in the grid takes that amount; a text
    // that is no amount stops the issue with the cell still open.
    void aShortcutTakesTheAmountBeingTyped() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 3);
        nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        panEmiCuotaTodos w(nullptr, {});
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        elegir(w, 0);
        QTest::mouseClick(control<QPushButton>(&w, "Command4"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>(&w, "Command5"), Qt::LeftButton);
        control<DataGrid>(&w, "DBGrid1")->setFocus();
        control<DataGrid>(&w, "DBGrid1")
            ->setCurrentIndex(control<DataGrid>(&w, "DBGrid1")->model()->index(1, 1));
        QTest::keyClick(control<DataGrid>(&w, "DBGrid1"), Qt::Key_F2);
        QTRY_VERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        for (const QString &texto : {QStringLiteral("abc"), QStringLiteral("77,25")}) {
            editor->selectAll();
            QTest::keyClicks(editor, texto);
            QTest::keyClick(editor, Qt::Key_E, Qt::AltModifier);
            if (texto == QLatin1String("abc")) {
                QTRY_COMPARE(ultimo().texto,
                             QStringLiteral("Error, el monto \"abc\" no es un importe válido."));
                QCOMPARE(control<DataGrid>(&w, "DBGrid1")
                             ->indexWidget(control<DataGrid>(&w, "DBGrid1")->currentIndex()),
                         editor);
                QCOMPARE(QApplication::focusWidget(), editor);
            }
        }
        QTRY_VERIFY(!control<QPushButton>(&w, "Command1")->isEnabled());
        QCOMPARE(cuotas(QStringLiteral(R"("Monto" = 772500)")), 1);
        QCOMPARE(cuotas(QStringLiteral(R"("Monto" = 250000)")), 2);
    }

    void aVanishedMemberOrCancelUndoesTheRun() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 12, 500000);
        for (int i = 0; i < 30; ++i)
            nuevoAfiliado(QStringLiteral("S%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("X"), p);
        int refrescos = 0;
        panEmiCuotaTodos w(nullptr, [&] { ++refrescos; });
        w.show();
        elegir(w, 0);
        QTest::mouseClick(control<QPushButton>(&w, "Command4"), Qt::LeftButton);
        // Cancelled from the progress dialog after the second member.
        QString etiqueta;
        auto c = connect(&w, &panEmiCuotaTodos::avance, &w, [&](int hechos, int) {
            auto *d = w.findChild<QProgressDialog *>(QStringLiteral("progresoEmision"));
            QVERIFY(d);
            if (hechos == 1) {
                // Neither a second click nor closing the window interferes with the run.
                control<QPushButton>(&w, "Command1")->click();
                QTest::keyClick(&w, Qt::Key_Escape);
                QVERIFY(w.isVisible());
            }
            if (hechos == 2) {
                etiqueta = d->labelText();
                d->cancel();
            }
        });
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        disconnect(c);
        QCOMPARE(etiqueta, QStringLiteral("Emitiendo cuotas: socio 3 de 30"));
        QCOMPARE(ultimo().texto, QStringLiteral("Emisión cancelada: no se guardó ninguna cuota."));
        QCOMPARE(cuotas(), 0);
        QVERIFY(control<QPushButton>(&w, "Command1")->isEnabled());

        // A member deleted after the list was read: the whole run goes back.
        QVERIFY_HECHO(Database::exec(QStringLiteral(R"(DELETE FROM "Afiliados" WHERE "idAfiliado" = ?)"),
                                     {control<QListWidget>(&w, "List1")->item(20)->data(Qt::UserRole)}));
        Mensaje::limpiar();
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        const auto m = Mensaje::mostrados();
        QCOMPARE(m.size(), 2);
        QCOMPARE(m.at(0).texto, QStringLiteral("Socio no localizado !"));
        QCOMPARE(m.at(0).icono, QMessageBox::Critical);
        QVERIFY(m.at(1).texto.contains(QStringLiteral("no se guardó ninguna cuota")));
        QCOMPARE(cuotas(), 0);
        QCOMPARE(refrescos, 0);
        QVERIFY(control<QPushButton>(&w, "Command1")->isEnabled());
    }
};

MIRABEL_TEST_MAIN(tst_panEmiCuotaTodos)
#include "tst_panEmiCuotaTodos.moc"
