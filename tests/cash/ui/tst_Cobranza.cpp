#include "cash/Cobranza.h"
#include "cash/Textos.h"
#include "cash/ui/panCobra.h"
#include "cash/ui/panCobraCuota.h"
#include "db/Database.h"
#include "support/Puestos.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/ReportControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using namespace TestSupport;

// Collecting dues: the payment with its cash movement, the payment window and the collection window.
class tst_Cobranza : public QObject {
    Q_OBJECT

    QWidget m_owner;
    int plan = 0, perez = 0;

    static QVariant campo(const QString &sql, const QVariantList &p = {}) {
        return Database::buscaValor(sql, QStringLiteral("v"), p);
    }
    static int movimientos() { return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")); }
    static bool pagada(int idCuota) {
        return campo(QStringLiteral(R"(SELECT "Pagada" AS v FROM "Cuotas" WHERE "idCuota" = ?)"), {idCuota})
                   .toInt() != 0;
    }
    // Runs the window modally; true when it closed by itself (the guard only keeps a broken window from
    // hanging the test).
    static bool seCierraSola(QDialog &w) {
        bool forzada = false;
        QTimer::singleShot(5000, &w, [&] {
            forzada = true;
            w.reject();
        });
        w.exec();
        return !forzada;
    }
    void datos() {
        plan = nuevoPlan(QStringLiteral("Mensual"));
        perez = nuevoAfiliado(QStringLiteral("Perez"), QStringLiteral("Juan"), plan);
    }
    // Opens panCobra for the due, lets act run on it while it is shown, then closes it.
    void conPago(int idCuota, ReportControl *cr, const std::function<void(panCobra *)> &act) {
        panCobra w(cr);
        w.Tag = QString::number(idCuota);
        w.show();
        act(&w);
        w.close();
    }

private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void paymentBooksBothRowsOnTheChosenDate() {
        BaseTemporal db(QDate(2009, 3, 5));
        datos();
        const int c = nuevaCuota(perez, plan, QDate(2009, 3, 10), 251234, false, QDate(), 3, 2009,
                                 QStringLiteral("CUOTA MES 3"));
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES ('Banco'))")));
        ReportControl cr(&m_owner);
        conPago(c, &cr, [&](panCobra *w) {
            QCOMPARE(control<QLineEdit>(w, "txtSocio")->text(), QStringLiteral("Perez, Juan"));
            QCOMPARE(control<QLineEdit>(w, "txtMesyAnio")->text(), QStringLiteral("3/2009"));
            QCOMPARE(control<QLineEdit>(w, "txtVencimiento")->text(), QStringLiteral("10/03/2009"));
            QCOMPARE(control<QLineEdit>(w, "txtConcepto")->text(), QStringLiteral("CUOTA MES 3"));
            QCOMPARE(control<QLineEdit>(w, "txtImporte")->text(), QStringLiteral("$ 25,1234"));
            QCOMPARE(control<DatePicker>(w, "cdFechaPago")->date(), QDate(2009, 3, 5));
            QCOMPARE(control<QComboBox>(w, "cboCuenta")->currentIndex(), -1);
            QCOMPARE(control<QComboBox>(w, "cboCuenta")->count(), 2);
            control<DatePicker>(w, "cdFechaPago")->setDate(QDate(2009, 2, 27));
            control<QComboBox>(w, "cboCuenta")->setCurrentIndex(1);
            captura(w, QStringLiteral("panCobra"));
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            control<QPushButton>(w, "Command1")->click();
            QVERIFY(!control<QPushButton>(w, "Command1")->isEnabled());
            QVERIFY(control<QPushButton>(w, "Command2")->isDefault());
        });
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).texto, QStringLiteral("Asienta el pago de esta cuota ??"));
        QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Pregunta"));
        QVERIFY(pagada(c));
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Fecha de Pago" AS v FROM "Cuotas")")).toString(),
                 QStringLiteral("2009-02-27"));
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral(R"(SELECT "Fecha", "idCuenta", "Detalles", "Ingresos", "Egresos",
                                         "idCuota", "idTipoDivisa" FROM "Caja")")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("2009-02-27"));
        QCOMPARE(q.value(1).toInt(), 2);
        QCOMPARE(q.value(2).toString(), QStringLiteral("Cobro de CUOTA MES 3 a Perez"));
        QCOMPARE(q.value(3).toLongLong(), 251234);
        QCOMPARE(q.value(4).toLongLong(), 0);
        QCOMPARE(q.value(5).toInt(), c);
        QCOMPARE(q.value(6).toInt(), 1);
        QVERIFY(!q.next());
    }

    void noAnswerOrNoAccountWritesNothing() {
        BaseTemporal db;
        datos();
        const int c = nuevaCuota(perez, plan, QDate(2009, 3, 10), 250000);
        ReportControl cr(&m_owner);
        conPago(c, &cr, [&](panCobra *w) {
            Mensaje::encolarRespuesta(QMessageBox::No);
            control<QPushButton>(w, "Command1")->click();
            Mensaje::encolarRespuesta(QMessageBox::Cancel);
            control<QPushButton>(w, "Command1")->click();
            QCOMPARE(Mensaje::mostrados().size(), 2);
            // Yes first, then the account is missing.
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            control<QPushButton>(w, "Command1")->click();
            QCOMPARE(Mensaje::mostrados().size(), 4);
            QCOMPARE(Mensaje::mostrados().last().texto, QStringLiteral("Error, seleccione una cuenta!"));
            QCOMPARE(Mensaje::mostrados().last().titulo, QStringLiteral("Error"));
            QCOMPARE(Mensaje::mostrados().last().icono, QMessageBox::Critical);
            QVERIFY(control<QPushButton>(w, "Command1")->isEnabled());
        });
        QVERIFY(!pagada(c));
        QCOMPARE(movimientos(), 0);
    }

    void aDueAlreadyPaidIsNeverPaidTwice() {
        BaseTemporal db;
        datos();
        const int c = nuevaCuota(perez, plan, QDate(2009, 3, 10), 250000);
        QCOMPARE(Cobranza::pagar(c, QDate(2009, 3, 5), 1).code(), Result::Code::Ok);
        // A stale window (or another program on the file) tries again.
        ReportControl cr(&m_owner);
        conPago(c, &cr, [&](panCobra *w) {
            control<QComboBox>(w, "cboCuenta")->setCurrentIndex(0);
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            control<QPushButton>(w, "Command1")->click();
        });
        QCOMPARE(Mensaje::mostrados().last().texto, QStringLiteral("Error, la cuota ya fue cobrada!"));
        QCOMPARE(movimientos(), 1);
        QCOMPARE(Cobranza::pagar(c, QDate(2009, 3, 6), 1).code(), Result::Code::Conflict);
        QCOMPARE(movimientos(), 1);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Fecha de Pago" AS v FROM "Cuotas")")).toString(),
                 QStringLiteral("2009-03-05"));
        QCOMPARE(Cobranza::pagar(c + 100, QDate(2009, 3, 6), 1).code(), Result::Code::NotFound);
    }

    void aRefusedMovementUndoesTheDueAndCanBeRetried() {
        BaseTemporal db;
        datos();
        const int c = nuevaCuota(perez, plan, QDate(2009, 3, 10), 250000);
        // The database refuses the second write.
        QVERIFY(crearFalla(QStringLiteral("rechazo"), QStringLiteral("BEFORE INSERT"), QStringLiteral("Caja"),
                           QStringLiteral("disco lleno")));
        ReportControl cr(&m_owner);
        conPago(c, &cr, [&](panCobra *w) {
            control<QComboBox>(w, "cboCuenta")->setCurrentIndex(0);
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            control<QPushButton>(w, "Command1")->click();
            QVERIFY(
                Mensaje::mostrados().last().texto.startsWith(QStringLiteral("No se pudo registrar el pago")));
            QVERIFY(Mensaje::mostrados().last().texto.contains(QStringLiteral("disco lleno")));
            QVERIFY(control<QPushButton>(w, "Command1")->isEnabled());
            QVERIFY(!pagada(c));
            QCOMPARE(movimientos(), 0);
            // The trouble goes away; the same window pays.
            QVERIFY(quitarFalla(QStringLiteral("rechazo"), QStringLiteral("Caja")));
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            control<QPushButton>(w, "Command1")->click();
            QVERIFY(!control<QPushButton>(w, "Command1")->isEnabled());
        });
        QVERIFY(pagada(c));
        QCOMPARE(movimientos(), 1);
    }

    void detailsAreCutAtACharacterBoundary() {
        BaseTemporal db;
        datos();
        const QString largo = QString(60, QChar(0x00E9)) + QString(60, QLatin1Char('n')); // é…
        const QString ap = QStringLiteral("Ñúñez") + QString(30, QChar(0x00E1));
        QVERIFY_HECHO(Database::exec(QStringLiteral(R"(UPDATE "Afiliados" SET "Apellido" = ?)"), {ap}));
        const int c = nuevaCuota(perez, plan, QDate(2009, 3, 10), 10000, false, QDate(), 1, 2009, largo);
        QCOMPARE(Cobranza::pagar(c, QDate(2009, 3, 5), 1).code(), Result::Code::Ok);
        const QString d = campo(QStringLiteral(R"(SELECT "Detalles" AS v FROM "Caja")")).toString();
        QCOMPARE(d.size(), 100);
        QCOMPARE(d, (QStringLiteral("Cobro de ") + largo + QStringLiteral(" a ") + ap).left(100));
        // A character outside the basic plane or a combining accent is never split.
        const QString emoji = QString(99, QLatin1Char('x')) + QString::fromUtf8("😀") + QStringLiteral("z");
        QCOMPARE(Textos::cortar(emoji, 100), QString(99, QLatin1Char('x')));
        const QString combinada = QString(99, QLatin1Char('x')) + QStringLiteral("e\u0301z");
        QCOMPARE(Textos::cortar(combinada, 100), QString(99, QLatin1Char('x')));
        QCOMPARE(Textos::cortar(QStringLiteral("corto"), 100), QStringLiteral("corto"));
        // Without a surname the text ends with " a ".
        QCOMPARE(Cobranza::detalleCobro(QStringLiteral("INSCRIPCION"), QString()),
                 QStringLiteral("Cobro de INSCRIPCION a "));
    }

    void receiptBeforeAndAfterPaying() {
        BaseTemporal db;
        datos();
        const int c = nuevaCuota(perez, plan, QDate(2009, 3, 10), 250000);
        QTemporaryDir out;
        ReportControl cr(&m_owner);
        conPago(c, &cr, [&](panCobra *w) {
            const QString antes = out.filePath(QStringLiteral("antes.pdf"));
            ReportControl::setPdfDestinationForTests(antes);
            control<QPushButton>(w, "Command2")->click();
            QVERIFY(QFile::exists(antes));
            QCOMPARE(cr.reportFileName(), QStringLiteral("recibo.rpt"));
            QCOMPARE(cr.connect(), QStringLiteral(";pwd=kR4wZp8N"));
            QCOMPARE(cr.selectionFormula(), QStringLiteral("{ConsultaCuotas.IdCuota} = %1").arg(c));
            control<QComboBox>(w, "cboCuenta")->setCurrentIndex(0);
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            control<QPushButton>(w, "Command1")->click();
            const QString despues = out.filePath(QStringLiteral("despues.pdf"));
            ReportControl::setPdfDestinationForTests(despues);
            // Enter now prints the receipt.
            QTest::keyClick(w, Qt::Key_Return);
            QVERIFY(QFile::exists(despues));
            ReportControl::setPdfDestinationForTests(QString());
        });
        QCOMPARE(Mensaje::mostrados().size(), 1); // only the question
    }

    void unknownDueClosesWithAnError() {
        BaseTemporal db;
        ReportControl cr(&m_owner);
        for (const QString &tag : {QStringLiteral("NUEVO"), QStringLiteral("999")}) {
            Mensaje::limpiar();
            panCobra w(&cr);
            w.Tag = tag;
            QVERIFY(seCierraSola(w));
            QCOMPARE(Mensaje::mostrados().size(), 1);
            QCOMPARE(Mensaje::mostrados().at(0).texto, QStringLiteral("Error !"));
        }
        QCOMPARE(movimientos(), 0);
    }

    void collectionListTotalFilterAndDeletion() {
        BaseTemporal db(QDate(2009, 3, 5));
        datos();
        const int vencida = nuevaCuota(perez, plan, QDate(2009, 2, 10), 100000, false, QDate(), 2);
        const int hoy = nuevaCuota(perez, plan, QDate(2009, 3, 5), 20000, false, QDate(), 3);
        nuevaCuota(perez, plan, QDate(2009, 3, 6), 3000, false, QDate(), 4);          // due tomorrow
        nuevaCuota(perez, plan, QDate(2009, 1, 10), 400, true, QDate(2009, 1, 9), 1); // paid
        const int otro = nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Ana"), plan);
        nuevaCuota(otro, plan, QDate(2009, 1, 10), 7);
        ReportControl cr(&m_owner);
        panCobraCuota w(&cr);
        w.Tag = QString::number(perez);
        w.show();
        QCOMPARE(control<QLabel>(&w, "Label1")->text(), QStringLiteral("Cobranza de cuotas a Perez"));
        captura(&w, QStringLiteral("panCobraCuota"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Cobranza"));
        QVERIFY(!control<QCheckBox>(&w, "Check1")->isChecked());
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 3);
        QCOMPARE(control<QLineEdit>(&w, "txtDeudaTotal")->text(), QStringLiteral("$ 12,30"));
        QVERIFY(control<QPushButton>(&w, "Command1")->isEnabled());
        // Only the dues already due: today's stays, tomorrow's goes.
        control<QCheckBox>(&w, "Check1")->click();
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 2);
        QCOMPARE(control<QLineEdit>(&w, "txtDeudaTotal")->text(), QStringLiteral("$ 12,00"));
        QList<int> ids;
        for (int r = 0; r < 2; ++r)
            ids << control<DataGrid>(&w, "DBGrid1")
                       ->dataControl()
                       ->valueAt(r, QStringLiteral("idCuota"))
                       .toInt();
        QVERIFY(ids.contains(vencida) && ids.contains(hoy));
        control<QCheckBox>(&w, "Check1")->click();
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 3);
        // A typed amount is stored and counted.
        int fila = -1;
        for (int r = 0; r < 3; ++r)
            if (control<DataGrid>(&w, "DBGrid1")
                    ->dataControl()
                    ->valueAt(r, QStringLiteral("idCuota"))
                    .toInt() == hoy)
                fila = r;
        QVERIFY(fila >= 0);
        QVERIFY(
            control<DataGrid>(&w, "DBGrid1")
                ->model()
                ->setData(control<DataGrid>(&w, "DBGrid1")->model()->index(fila, panCobraCuota::ColumnaMonto),
                          QStringLiteral("5,5"), Qt::EditRole));
        QCOMPARE(control<QLineEdit>(&w, "txtDeudaTotal")->text(), QStringLiteral("$ 15,80"));
        // The plan's name and whether it is paid are not typed over.
        QVERIFY(!(control<DataGrid>(&w, "DBGrid1")
                      ->model()
                      ->flags(control<DataGrid>(&w, "DBGrid1")->model()->index(0, 3)) &
                  Qt::ItemIsEditable));
        QVERIFY(!(control<DataGrid>(&w, "DBGrid1")
                      ->model()
                      ->flags(control<DataGrid>(&w, "DBGrid1")->model()->index(0, 6)) &
                  Qt::ItemIsEditable));
        // Deleting asks nothing.
        control<DataGrid>(&w, "DBGrid1")->dataControl()->setCurrentRow(fila);
        control<QPushButton>(&w, "Command3")->click();
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "idCuota" = %1)").arg(hoy)), 0);
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 2);
        QCOMPARE(control<QLineEdit>(&w, "txtDeudaTotal")->text(), QStringLiteral("$ 10,30"));
        w.close();
    }

    // A due paid from elsewhere after the list was read keeps its one movement and its amount: every write
    // of the list is refused, and the list is read again.
    void aStaleListNeverWritesAPaidDue_data() {
        QTest::addColumn<int>("columna"); // -1: "&Eliminar..."
        QTest::addColumn<QString>("texto");
        QTest::newRow("Vencimiento") << 2 << QStringLiteral("10/04/2009");
        QTest::newRow("Factura") << 4 << QStringLiteral("OTRA");
        QTest::newRow("Monto") << int(panCobraCuota::ColumnaMonto) << QStringLiteral("1,00");
        QTest::newRow("Eliminar") << -1 << QString();
    }
    void aStaleListNeverWritesAPaidDue() {
        QFETCH(int, columna);
        QFETCH(QString, texto);
        BaseTemporal db(QDate(2009, 3, 5));
        datos();
        const int c = nuevaCuota(perez, plan, QDate(2009, 3, 1), 90000000);
        const auto fila = [c] {
            return campo(QStringLiteral(R"(SELECT "Vencimiento" || '|' || "Factura" || '|' || "Monto" AS v
                                           FROM "Cuotas" WHERE "idCuota" = ?)"),
                         {c})
                .toString();
        };
        ReportControl cr(&m_owner);
        panCobraCuota w(&cr);
        w.Tag = QString::number(perez);
        w.show();
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 1);
        QCOMPARE(Cobranza::pagar(c, QDate(2009, 3, 5), 1).code(), Result::Code::Ok); // another window
        const QString pagada = fila();
        if (columna < 0)
            control<QPushButton>(&w, "Command3")->click();
        else
            QVERIFY(!control<DataGrid>(&w, "DBGrid1")
                         ->model()
                         ->setData(control<DataGrid>(&w, "DBGrid1")->model()->index(0, columna), texto,
                                   Qt::EditRole));
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().last().texto, QStringLiteral("Error, la cuota ya fue cobrada!"));
        QCOMPARE(fila(), pagada);
        QCOMPARE(movimientos(), 1);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Ingresos" AS v FROM "Caja" WHERE "idCuota" = ?)"), {c})
                     .toLongLong(),
                 90000000);
        QTRY_COMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 0);
        QCOMPARE(control<QLineEdit>(&w, "txtDeudaTotal")->text(), QStringLiteral("0"));
        w.close();
    }

    void payingFromTheListBooksTheCorrectedAmountAndDropsTheDue() {
        BaseTemporal db(QDate(2009, 3, 5));
        datos();
        const int c = nuevaCuota(perez, plan, QDate(2009, 3, 1), 250000);
        ReportControl cr(&m_owner);
        panCobraCuota w(&cr);
        w.Tag = QString::number(perez);
        w.show();
        QVERIFY(
            control<DataGrid>(&w, "DBGrid1")
                ->model()
                ->setData(control<DataGrid>(&w, "DBGrid1")->model()->index(0, panCobraCuota::ColumnaMonto),
                          QStringLiteral("$ 30,00"), Qt::EditRole));
        bool visto = false;
        alAbrirModalDe(QStringLiteral("panCobra"), [&visto](QWidget *m) {
            auto *p = qobject_cast<panCobra *>(m);
            visto = p != nullptr;
            if (!p) {
                m->close();
                return;
            }
            QCOMPARE(control<QLineEdit>(p, "txtImporte")->text(), QStringLiteral("$ 30,00"));
            control<QComboBox>(p, "cboCuenta")->setCurrentIndex(0);
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            control<QPushButton>(p, "Command1")->click();
            control<QPushButton>(p, "Command3")->click();
        });
        control<QPushButton>(&w, "Command1")->click();
        QVERIFY(visto);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Ingresos" AS v FROM "Caja" WHERE "idCuota" = ?)"), {c})
                     .toLongLong(),
                 300000);
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 0);
        QCOMPARE(control<QLineEdit>(&w, "txtDeudaTotal")->text(), QStringLiteral("0"));
        QVERIFY(!control<QPushButton>(&w, "Command1")->isEnabled());
        // Nothing to delete: nothing happens.
        control<QPushButton>(&w, "Command3")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        w.close();
    }

    void unknownMemberTagClosesTheCollection() {
        BaseTemporal db;
        ReportControl cr(&m_owner);
        panCobraCuota w(&cr);
        w.Tag = QStringLiteral("x");
        QVERIFY(seCierraSola(w));
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).texto, QStringLiteral("Socio/Afiliado no encontrado !"));
        // A member that does not exist leaves the header alone and lists nothing.
        Mensaje::limpiar();
        panCobraCuota v(&cr);
        v.Tag = QStringLiteral("4711");
        v.show();
        QCOMPARE(control<QLabel>(&v, "Label1")->text(), QStringLiteral("Cobrar Cuotas"));
        QCOMPARE(control<QLineEdit>(&v, "txtDeudaTotal")->text(), QStringLiteral("0"));
        QVERIFY(!control<QPushButton>(&v, "Command1")->isEnabled());
        QVERIFY(Mensaje::mostrados().isEmpty());
        v.close();
    }
};

MIRABEL_TEST_MAIN(tst_Cobranza)
#include "tst_Cobranza.moc"
