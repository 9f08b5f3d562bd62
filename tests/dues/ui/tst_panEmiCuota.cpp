#include "app/panPrin.h"
#include "dues/ui/PanelCuotas.h"
#include "dues/ui/panEmiCuota.h"
#include "members/ui/PanelAfiliados.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/ReportControl.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace TestSupport;

namespace {

int cuotas() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")"));
}

void escribir(QLineEdit *e, const QString &texto) {
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, texto);
}

Mensaje::Mostrado ultimo() {
    return Mensaje::mostrados().isEmpty() ? Mensaje::Mostrado{} : Mensaje::mostrados().last();
}

} // namespace

class tst_panEmiCuota : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void issuesAfterTheChecks() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 3, 500000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        QWidget owner;
        ReportControl cr(&owner);
        int refrescos = 0;
        panEmiCuota w(&cr, [&] { ++refrescos; });
        w.Tag = QString::number(a);
        w.show();
        QTRY_COMPARE(w.windowTitle(), QStringLiteral("Emisión de cuotas de Paz, Eva"));
        QCOMPARE(control<QLineEdit>(&w, "txtPlan")->text(), QStringLiteral("Mensual"));
        QCOMPARE(control<QLineEdit>(&w, "txtNoPlan")->text(), QString::number(p));
        QVERIFY(control<QCheckBox>(&w, "Check2")->isChecked());
        QCOMPARE(control<DatePicker>(&w, "fecInic")->date(), QDate(2009, 3, 5));
        QCOMPARE(control<DatePicker>(&w, "fecInscripcion")->date(), QDate(2009, 3, 5));
        QCOMPARE(control<QPushButton>(&w, "Command1")->text(), QStringLiteral("1. &Emitir y Generar Cuotas"));
        QVERIFY(Mensaje::mostrados().isEmpty());

        escribir(control<QLineEdit>(&w, "txtAnio"), QStringLiteral("1994"));
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("Año de emisión inválido !"));
        QCOMPARE(ultimo().titulo, QStringLiteral("Error"));
        QCOMPARE(ultimo().icono, QMessageBox::Critical);
        QCOMPARE(w.focusWidget(), control<QLineEdit>(&w, "txtAnio"));
        escribir(control<QLineEdit>(&w, "txtAnio"), QStringLiteral("2009"));
        escribir(control<QLineEdit>(&w, "txtDia"), QStringLiteral("31"));
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("Dia de vencimiento inválido !"));
        QCOMPARE(w.focusWidget(), control<QLineEdit>(&w, "txtDia"));
        QCOMPARE(cuotas(), 0);
        QVERIFY(control<QPushButton>(&w, "Command1")->isEnabled());
        QCOMPARE(refrescos, 0);

        // Without the inscription its date is off and no inscription due is written.
        QTest::mouseClick(control<QCheckBox>(&w, "Check2"), Qt::LeftButton);
        QVERIFY(!control<DatePicker>(&w, "fecInscripcion")->isEnabled());
        escribir(control<QLineEdit>(&w, "txtDia"), QStringLiteral("30"));
        control<DatePicker>(&w, "fecInic")->setDate(QDate(2009, 1, 31));
        Mensaje::limpiar();
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(cuotas(), 3);
        QCOMPARE(
            contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Vencimiento" = '2009-03-28')")), 1);
        QCOMPARE(refrescos, 1);
        QVERIFY(!control<QPushButton>(&w, "Command1")->isEnabled());

        // Printing: the member's unpaid dues of the plan.
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("cuotas.pdf"));
        ReportControl::setPdfDestinationForTests(pdf);
        QTest::mouseClick(control<QPushButton>(&w, "Command3"), Qt::LeftButton);
        ReportControl::setPdfDestinationForTests(QString());
        QCOMPARE(cr.reportFileName(), QStringLiteral("cuotas.rpt"));
        QCOMPARE(cr.selectionFormula(),
                 QStringLiteral("{cuotas.idAfiliado} = %1 and {cuotas.idplan} = %2 and "
                                "{cuotas.Pagada} = False")
                     .arg(a)
                     .arg(p));
        QVERIFY(QFile::exists(pdf));
        QTest::mouseClick(control<QPushButton>(&w, "Command2"), Qt::LeftButton);
        QVERIFY(!w.isVisible());
    }

    void rerunTellsEachExistingDue() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 2, 500000);
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        for (int vez = 0; vez < 2; ++vez) {
            panEmiCuota w(nullptr, {});
            w.Tag = QString::number(a);
            w.show();
            QTRY_VERIFY(!control<QLineEdit>(&w, "txtNoPlan")->text().isEmpty());
            control<DatePicker>(&w, "fecInic")->setDate(QDate(2009, 1, 10));
            escribir(control<QLineEdit>(&w, "txtAnio"), QStringLiteral("2009"));
            QTest::keyClick(control<QLineEdit>(&w, "txtAnio"), Qt::Key_Return); // the default button
            QVERIFY(!control<QPushButton>(&w, "Command1")->isEnabled());
        }
        QCOMPARE(cuotas(), 3);
        const auto m = Mensaje::mostrados();
        QCOMPARE(m.size(), 3);
        QCOMPARE(m.at(0).texto, QStringLiteral("La inscripción a este Socio ya ha sido emitida."));
        QCOMPARE(m.at(2).texto, QStringLiteral("La cuota del mes 2 a este Socio ya ha sido emitida."));
        QCOMPARE(m.at(2).titulo, QStringLiteral("Emisión"));
        QCOMPARE(m.at(2).icono, QMessageBox::Information);
    }

    void refusesWithoutMemberOrPlan() {
        BaseTemporal db;
        {
            panEmiCuota w(nullptr, {});
            w.Tag = QStringLiteral("abc");
            w.show();
            QTRY_VERIFY(!w.isVisible());
            QCOMPARE(ultimo().texto,
                     QStringLiteral("Debe seleccionar un socio/afiliado para este proceso !"));
        }
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), 77);
        panEmiCuota w(nullptr, {});
        w.Tag = QString::number(a);
        w.show();
        QTRY_COMPARE(ultimo().texto, QStringLiteral("Error, seguramente asignación de planes inexistentes!"));
        QVERIFY(w.isVisible());
        QTest::mouseClick(control<QPushButton>(&w, "Command1"), Qt::LeftButton);
        QCOMPARE(ultimo().texto, QStringLiteral("Plan no localizado !"));
        QCOMPARE(cuotas(), 0);
    }

    void fromTheMembersPanel() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"), 250000, 3, 500000);
        nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), p);
        panPrin w;
        w.show();
        QCOMPARE(control<QLabel>(&w, "lblNroCuotasAdeudadas")->text(), QString());
        bool abierta = false;
        alAbrirModalDe(QStringLiteral("panEmiCuota"), [&](QWidget *m) {
            abierta = true;
            auto *e = static_cast<panEmiCuota *>(m);
            QTRY_VERIFY(!control<QLineEdit>(e, "txtNoPlan")->text().isEmpty());
            control<QLineEdit>(e, "txtAnio")->setText(QStringLiteral("2009"));
            control<QPushButton>(e, "Command1")->click();
            control<QPushButton>(e, "Command2")->click();
        });
        control<QPushButton>(&w, "Command7")->click();
        QVERIFY(abierta);
        // The dues list and the member's summary show the new dues at once (two fall due today).
        QCOMPARE(cuotas(), 4);
        QCOMPARE(control<DataGrid>(&w, "DBGrid2")->dataControl()->recordCount(), 4);
        QCOMPARE(control<QLabel>(&w, "lblNroCuotasAdeudadas")->text(), QStringLiteral("2"));
        QCOMPARE(control<QLabel>(&w, "lblMontoAdeudaSocio")->text(), QStringLiteral("$ 75,00"));
    }
};

MIRABEL_TEST_MAIN(tst_panEmiCuota)
#include "tst_panEmiCuota.moc"
