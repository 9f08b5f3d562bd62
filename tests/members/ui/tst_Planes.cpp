#include "app/panPrin.h"
#include "core/Money.h"
#include "db/Database.h"
#include "members/Planes.h"
#include "members/ui/PanelPlanes.h"
#include "members/ui/panPlan.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QToolButton>

using namespace TestSupport;

namespace {

QVariantList filaPlan(int id) {
    QSqlQuery q(Database::db());
    q.prepare(
        QStringLiteral(R"(SELECT "Descripcion", "Detalles", "CuotaMensual", "CantidadCuotas", "Inscripcion"
                                FROM "Planes" WHERE "idPlan" = ?)"));
    q.addBindValue(id);
    QVariantList out;
    if (q.exec() && q.next())
        for (int i = 0; i < 5; ++i)
            out << q.value(i);
    return out;
}

// A new-plan editor, shown, with its boxes typed.
void escribir(panPlan &w, const QString &nombre, const QString &cuota, const QString &inscripcion,
              const QString &cantidad) {
    w.Tag = QStringLiteral("NUEVO");
    w.show();
    control<QLineEdit>(&w, "txtNombre")->setText(nombre);
    control<QLineEdit>(&w, "txtCuota")->setText(cuota);
    control<QLineEdit>(&w, "txtInscripcion")->setText(inscripcion);
    control<QLineEdit>(&w, "txCantCuotas")->setText(cantidad);
}

QStringList textos() {
    QStringList out;
    for (const auto &m : Mensaje::mostrados())
        out << m.texto;
    return out;
}

int planes() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Planes")"));
}

} // namespace

class tst_Planes : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void roundTripStoresExactlyAndSavesUnchanged() {
        BaseTemporal db;
        {
            panPlan w;
            escribir(w, QStringLiteral("Mensual"), QStringLiteral("25"), QStringLiteral("0"),
                     QStringLiteral("12"));
            control<QPushButton>(&w, "Command1")->click();
            QCOMPARE(w.result(), int(QDialog::Accepted));
        }
        const QVariantList stored = filaPlan(1);
        QCOMPARE(stored, (QVariantList{QStringLiteral("Mensual"), QString(), 250000, 12, 0}));
        panPlan w;
        w.Tag = QStringLiteral("1");
        w.show();
        QCOMPARE(control<QLineEdit>(&w, "txtCuota")->text(), QStringLiteral("$ 25,00"));
        QCOMPARE(control<QLineEdit>(&w, "txtInscripcion")->text(), QStringLiteral("$ 0,00"));
        QCOMPARE(control<QLineEdit>(&w, "txCantCuotas")->text(), QStringLiteral("12"));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(filaPlan(1), stored);
        QVERIFY(Mensaje::mostrados().isEmpty());
        // The stored sort key follows the name, so the dues list orders the plan at once.
        QCOMPARE(
            Database::buscaValor(QStringLiteral(R"(SELECT "ClaveOrden" FROM "Planes" WHERE "idPlan" = 1)"),
                                 QStringLiteral("ClaveOrden"))
                .toString(),
            QStringLiteral("mensual"));
    }

    void amountsInTheLocaleFormatAreReadExactly() {
        BaseTemporal db;
        const QList<QPair<QString, qlonglong>> casos = {
            {"$ 1.234,50", 12345000}, {"1234,5", 12345000}, {"25", 250000}, {"0,3333", 3333}};
        for (const auto &[typed, units] : casos) {
            QVERIFY_HECHO(Database::exec(QStringLiteral(R"(DELETE FROM "Planes")")));
            panPlan w;
            escribir(w, QStringLiteral("Plan"), typed, typed, QStringLiteral("1"));
            w.aceptar();
            const int id = contar(QStringLiteral(R"(SELECT MAX("idPlan") FROM "Planes")"));
            // What the editor then shows reads back to the same amount.
            panPlan otra;
            otra.Tag = QString::number(id);
            QVERIFY(otra.cargar());
            otra.aceptar();
            QCOMPARE(filaPlan(id).value(2).toLongLong(), units);
            QCOMPARE(filaPlan(id).value(4).toLongLong(), units);
        }
    }

    void checksRunInOrderAndKeepTheWindowOpen() {
        BaseTemporal db;
        const QString cantidad = QStringLiteral("Error, debe seleccionar la cantidad de cuotas!");
        const QList<QStringList> casos = {
            // name, monthly, inscription, count, message, box with the focus
            {"", "abc", "", "", "Error, debe colocar un nombre!", "txtNombre"},
            {"Plan", "abc", "", "", "Error, debe colocar un monto de cuota correcto!", "txtCuota"},
            {"Plan", "25", "", "",
             "Error, debe colocar un monto de inscripción correcto, de lo contrario ingrese 0 !",
             "txtInscripcion"},
            {"Plan", "25", "0", "", cantidad, "txCantCuotas"},
            {"Plan", "25", "0", "doce", cantidad, "txCantCuotas"},
            // Beyond a 16-bit count: refused, never stored wrapped around.
            {"Plan", "25", "0", "32768", cantidad, "txCantCuotas"},
            {"Plan", "25", "0", "-40000", cantidad, "txCantCuotas"},
        };
        for (const QStringList &c : casos) {
            Mensaje::limpiar();
            panPlan w;
            escribir(w, c[0], c[1], c[2], c[3]);
            control<QPushButton>(&w, "Command1")->click();
            QVERIFY(w.isVisible());
            QCOMPARE(textos(), QStringList{c[4]});
            QCOMPARE(Mensaje::mostrados().first().titulo, QStringLiteral("Error"));
            QCOMPARE(Mensaje::mostrados().first().icono, QMessageBox::Critical);
            QCOMPARE(w.focusWidget()->objectName(), c[5]);
        }
        QCOMPARE(planes(), 0);
        // Halves of a count go to the even neighbour; the edges of a 16-bit count pass.
        QCOMPARE(Planes::leerCantidad(QStringLiteral("12,5")), std::optional<qint16>(12));
        QCOMPARE(Planes::leerCantidad(QStringLiteral("13,5")), std::optional<qint16>(14));
        QCOMPARE(Planes::leerCantidad(QStringLiteral("-32768")), std::optional<qint16>(-32768));
        QVERIFY(!Planes::leerCantidad(QStringLiteral("32767,5")));
    }

    void arrowsStartFromTheLeadingNumber() {
        BaseTemporal db;
        panPlan w;
        escribir(w, QStringLiteral("Raro"), QStringLiteral("1"), QStringLiteral("0"), QString());
        control<QToolButton>(&w, "UpDown1_arriba")->click();
        QCOMPARE(control<QLineEdit>(&w, "txCantCuotas")->text(), QStringLiteral("1"));
        control<QLineEdit>(&w, "txCantCuotas")->clear();
        control<QToolButton>(&w, "UpDown1_abajo")->click();
        QCOMPARE(control<QLineEdit>(&w, "txCantCuotas")->text(), QStringLiteral("-1"));
        control<QLineEdit>(&w, "txCantCuotas")->setText(QStringLiteral("12 cuotas"));
        QTest::keyClick(control<QLineEdit>(&w, "txCantCuotas"), Qt::Key_Up); // the keyboard's arrows too
        QCOMPARE(control<QLineEdit>(&w, "txCantCuotas")->text(), QStringLiteral("13"));
        control<QLineEdit>(&w, "txCantCuotas")->setText(QStringLiteral("doce"));
        control<QToolButton>(&w, "UpDown1_abajo")->click();
        QCOMPARE(control<QLineEdit>(&w, "txCantCuotas")->text(), QStringLiteral("-1"));
        // -1 passes and is stored.
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(filaPlan(1).value(3).toInt(), -1);
    }

    void namesAreUniqueOnCreationWithoutRegardToCase() {
        const QList<QPair<QString, QString>> casos = {
            {"Mensual", "MENSUAL"}, {"ÑANDÚ", "ñandú"}, {"Plan D'Angelo", "plan d'angelo"}};
        for (const auto &[existente, nuevo] : casos) {
            BaseTemporal db;
            Mensaje::limpiar();
            const int p = nuevoPlan(existente);
            panPlan w;
            escribir(w, nuevo, QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("6"));
            control<QPushButton>(&w, "Command1")->click();
            QVERIFY(w.isVisible());
            QCOMPARE(textos(), QStringList{QStringLiteral("Error, el plan %1 ya existe !").arg(nuevo)});
            QCOMPARE(planes(), 1);
            // Changing a plan does not test its name: renaming another plan to it is accepted.
            const int otro = nuevoPlan(QStringLiteral("Anual"));
            panPlan cambio;
            cambio.Tag = QString::number(otro);
            QVERIFY(cambio.cargar());
            control<QLineEdit>(&cambio, "txtNombre")->setText(existente);
            cambio.aceptar();
            QCOMPARE(cambio.result(), int(QDialog::Accepted));
            QCOMPARE(filaPlan(otro).value(0), filaPlan(p).value(0));
        }
        // An accent makes another name.
        BaseTemporal db;
        nuevoPlan(QStringLiteral("ÑANDÚ"));
        panPlan w;
        escribir(w, QStringLiteral("Nandu"), QStringLiteral("10"), QStringLiteral("0"), QStringLiteral("6"));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(planes(), 2);
    }

    void aPlanThatDisappearedClosesTheEditor() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        {
            panPlan w;
            w.Tag = QStringLiteral("999");
            QCOMPARE(w.exec(), int(QDialog::Rejected)); // closes by itself after the message
            QCOMPARE(textos(), QStringList{QStringLiteral("Error, el plan no se puede localizar !")});
        }
        Mensaje::limpiar();
        panPlan w;
        w.Tag = QString::number(p);
        QVERIFY(w.cargar());
        QVERIFY_HECHO(Database::exec(QStringLiteral(R"(DELETE FROM "Planes")")));
        w.aceptar();
        QCOMPARE(textos(), QStringList{QStringLiteral("Error, el plan no se puede localizar !")});
        QCOMPARE(w.result(), int(QDialog::Rejected));
        QCOMPARE(planes(), 0);
    }

    void valuesStoredBeyondTheBoxesAreShownWholeAndNeverChanged() {
        BaseTemporal db;
        const QString nombre = QString(60, QLatin1Char('N'));
        const QString detalles = QString(250, QLatin1Char('d'));
        const qlonglong cuota = 123456789012345LL; // "$ 12.345.678.901,2345": more than the box takes
        const int p = nuevoPlan(nombre, cuota, 12, 5);
        QVERIFY_HECHO(Database::exec(
            QStringLiteral(R"(UPDATE "Planes" SET "Detalles" = ?, "CantidadCuotas" = 40000)"), {detalles}));
        const QVariantList antes = filaPlan(p);
        {
            panPlan w;
            w.Tag = QString::number(p);
            w.show();
            QCOMPARE(control<QLineEdit>(&w, "txtNombre")->text(), nombre);
            QCOMPARE(control<QPlainTextEdit>(&w, "txtDetalles")->toPlainText(), detalles);
            QCOMPARE(control<QLineEdit>(&w, "txtCuota")->text(), Money::fromUnits(cuota).toCurrencyString());
            QCOMPARE(control<QLineEdit>(&w, "txtInscripcion")->text(), QStringLiteral("$ 0,0005"));
            QCOMPARE(control<QLineEdit>(&w, "txCantCuotas")->text(), QStringLiteral("40000"));
            // A count that a plan cannot hold is refused, not wrapped round, and nothing is written.
            control<QPushButton>(&w, "Command1")->click();
            QCOMPARE(textos(), QStringList{QStringLiteral("Error, debe seleccionar la cantidad de cuotas!")});
            QCOMPARE(filaPlan(p), antes);
            // With a count that fits, the other values go back exactly as they were.
            control<QLineEdit>(&w, "txCantCuotas")->setText(QStringLiteral("24"));
            control<QPushButton>(&w, "Command1")->click();
            QCOMPARE(w.result(), int(QDialog::Accepted));
        }
        QVariantList despues = antes;
        despues[3] = 24;
        QCOMPARE(filaPlan(p), despues);

        // An amount another tool stored as text is shown as it is and refused. A server's column takes
        // no text at all.
        Mensaje::limpiar();
        const bool escrito =
            Database::exec(QStringLiteral(R"(UPDATE "Planes" SET "CuotaMensual" = 'doce')")).ok();
        if (TestSupport::enServidor()) {
            QVERIFY(!escrito);
            QCOMPARE(filaPlan(p), despues);
            return;
        }
        panPlan w;
        w.Tag = QString::number(p);
        w.show();
        QCOMPARE(control<QLineEdit>(&w, "txtCuota")->text(), QStringLiteral("doce"));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(textos(), QStringList{QStringLiteral("Error, debe colocar un monto de cuota correcto!")});
        QCOMPARE(filaPlan(p).at(2).toString(), QStringLiteral("doce"));
    }

    void editorKeyboard() {
        BaseTemporal db;
        panPlan w;
        escribir(w, QStringLiteral("Mensual"), QStringLiteral("25"), QStringLiteral("0"),
                 QStringLiteral("12"));
        QCOMPARE(control<QLineEdit>(&w, "txtNombre")->accessibleName(), QStringLiteral("Nombre/Descripción"));
        QCOMPARE(control<QLineEdit>(&w, "txCantCuotas")->accessibleName(),
                 QStringLiteral("Cantidad de cuotas"));
        const QList<QWidget *> orden = {
            control<QLineEdit>(&w, "txtNombre"),      control<QPlainTextEdit>(&w, "txtDetalles"),
            control<QLineEdit>(&w, "txtInscripcion"), control<QLineEdit>(&w, "txtCuota"),
            control<QLineEdit>(&w, "txCantCuotas"),   control<QPushButton>(&w, "Command1"),
            control<QPushButton>(&w, "Command2")};
        QWidget *actual = orden.first();
        for (int i = 1; i < orden.size(); ++i) {
            do
                actual = actual->nextInFocusChain();
            while (!orden.contains(actual));
            QCOMPARE(actual, orden.at(i));
        }
        control<QPlainTextEdit>(&w, "txtDetalles")->setPlainText(QString(250, QLatin1Char('x')));
        QCOMPARE(control<QPlainTextEdit>(&w, "txtDetalles")->toPlainText().size(), 200);
        QTest::keyClick(control<QLineEdit>(&w, "txCantCuotas"), Qt::Key_Return);
        QCOMPARE(w.result(), int(QDialog::Accepted));
        panPlan otra;
        escribir(otra, QStringLiteral("Anual"), QStringLiteral("25"), QStringLiteral("0"),
                 QStringLiteral("12"));
        QTest::keyClick(control<QLineEdit>(&otra, "txtNombre"), Qt::Key_Escape);
        QCOMPARE(otra.result(), int(QDialog::Rejected));
        QCOMPARE(planes(), 1);
    }

    void plansPanelCommands() {
        BaseTemporal db;
        const int mensual = nuevoPlan(QStringLiteral("Mensual"));
        nuevoPlan(QStringLiteral("Anual"));
        nuevaCuota(nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), mensual), mensual,
                   QDate(2009, 1, 10), 250000);
        panPrin principal;
        PanelPlanes *p = control<PanelPlanes>(&principal, "panelProceso_2");

        // "Modificar": the new amount is in the list when the editor closes, on the same plan.
        control<DataGrid>(p, "DBGrid3")->dataControl()->setCurrentRow(1);
        QVERIFY(alAbrirModalDe(
            QStringLiteral("panPlan"), [&] { control<QPushButton>(p, "Command17")->click(); },
            [](QWidget *w) {
                auto *e = qobject_cast<panPlan *>(w);
                QCOMPARE(control<QLineEdit>(e, "txtNombre")->text(), QStringLiteral("Mensual"));
                control<QLineEdit>(e, "txtCuota")->setText(QStringLiteral("30,50"));
                control<QPushButton>(e, "Command1")->click();
            }));
        QCOMPARE(filaPlan(mensual).value(2).toLongLong(), 305000LL);
        QCOMPARE(control<DataGrid>(p, "DBGrid3")->dataControl()->currentRow(), 1);
        QCOMPARE(control<DataGrid>(p, "DBGrid3")->model()->index(1, 3).data().toString(),
                 QStringLiteral("$ 30,50"));

        // Level 3: none of the three commands reacts, nor the double-click.
        Module1::NivelUsuario = 3;
        for (QPushButton *b : {control<QPushButton>(p, "Command15"), control<QPushButton>(p, "Command17"),
                               control<QPushButton>(p, "Command16")})
            b->click();
        emit control<DataGrid>(p, "DBGrid3")
            ->doubleClicked(control<DataGrid>(p, "DBGrid3")->model()->index(0, 1));
        QVERIFY(Mensaje::mostrados().isEmpty());

        // "Borrar" of a plan with members asks only the question; members and dues stay.
        Module1::NivelUsuario = 2;
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(p, "Command16")->click();
        QCOMPARE(planes(), 2);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(p, "Command16")->click();
        QCOMPARE(Mensaje::mostrados().size(), 2);
        QCOMPARE(Mensaje::mostrados().at(1).titulo, QStringLiteral("Pregunta"));
        QVERIFY(filaPlan(mensual).isEmpty());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 1);

        // The last plan gone: no current plan, Borrar and Modificar disabled; run anyway, the refusal.
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(p, "Command16")->click();
        QVERIFY(!control<QPushButton>(p, "Command16")->isEnabled() &&
                !control<QPushButton>(p, "Command17")->isEnabled() &&
                control<QPushButton>(p, "Command15")->isEnabled());
        Mensaje::limpiar();
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        p->borrar();
        QCOMPARE(textos().last(), QStringLiteral("Registro no localizado!!"));

        // "Nuevo Plan" re-reads the list whether or not a plan was added.
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(INSERT INTO "Planes" ("Descripcion") VALUES ('Otro'))")));
        QVERIFY(alAbrirModalDe(
            QStringLiteral("panPlan"), [&] { control<QPushButton>(p, "Command15")->click(); },
            [](QWidget *w) { control<QPushButton>(w, "Command2")->click(); }));
        QCOMPARE(control<DataGrid>(p, "DBGrid3")->dataControl()->recordCount(), 1);
        QVERIFY(control<QPushButton>(p, "Command16")->isEnabled());
    }
};

MIRABEL_TEST_MAIN(tst_Planes)
#include "tst_Planes.moc"
