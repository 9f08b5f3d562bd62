#include "admin/ui/PanelUtilidades.h"
#include "app/panPrin.h"
#include "cash/Caja.h"
#include "cash/InformesCaja.h"
#include "cash/ui/PanelCaja.h"
#include "cash/ui/PanelInformes.h"
#include "cash/ui/panCobraCuota.h"
#include "cash/ui/panCuentas.h"
#include "cash/ui/panInfCaja.h"
#include "cash/ui/panMovCaja.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "members/ui/PanelAfiliados.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/InputBox.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/ReportControl.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace TestSupport;

// The cash book: the movement editor, the accounts, the cash panel with its filter and commands, and the
// cash and debt reports.
class tst_Caja : public QObject {
    Q_OBJECT

    static QVariant campo(const QString &sql, const QVariantList &p = {}) {
        return Database::buscaValor(sql, QStringLiteral("v"), p);
    }
    static int cuenta(const QString &nombre) {
        QSqlQuery q(Database::db());
        q.prepare(QStringLiteral(R"(INSERT INTO "Cuentas" ("Descripcion") VALUES (?))"));
        q.addBindValue(nombre);
        q.exec();
        return q.lastInsertId().toInt();
    }
    static QString ultimoMensaje() {
        return Mensaje::mostrados().isEmpty() ? QString() : Mensaje::mostrados().last().texto;
    }
    // Runs the editor for tag, lets act fill it, and reports whether it closed by itself.
    static bool editar(const QString &tag, const std::function<void(panMovCaja *)> &act) {
        panMovCaja w;
        w.Tag = tag;
        w.show();
        act(&w);
        const bool cerrada = !w.isVisible();
        w.close();
        return cerrada;
    }
    static QString pdfText(const QString &pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            return QStringLiteral("<pdftotext falló>");
        return QString::fromUtf8(p.readAllStandardOutput())
            .replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    }

private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    // ---- movement editor

    void newMovementIsIncomeAndKindToggles() {
        BaseTemporal db(QDate(2009, 3, 5));
        QVERIFY(editar(QStringLiteral("NUEVO"), [](panMovCaja *w) {
            QCOMPARE(w->windowTitle(), QStringLiteral("Movimiento de caja"));
            QCOMPARE(control<DatePicker>(w, "dtFechaCaja")->date(), QDate(2009, 3, 5));
            QVERIFY(w->esIngreso());
            QCOMPARE(control<QPushButton>(w, "botTipoCaja")->text(), QStringLiteral(">> I n g r e s o s"));
            control<QPushButton>(w, "botTipoCaja")->click();
            QCOMPARE(control<QPushButton>(w, "botTipoCaja")->text(), QStringLiteral("<< E g r e s o s"));
            QCOMPARE(w->colorTipo(), QColor(255, 192, 192));
            control<QPushButton>(w, "botTipoCaja")->click();
            QCOMPARE(w->colorTipo(), QColor(192, 192, 255));
            QCOMPARE(control<QComboBox>(w, "cbDivisa")->count(), 5);
            control<QComboBox>(w, "cbCuenta")->setEditText(QStringLiteral("CAJA")); // letter case set aside
            control<QComboBox>(w, "cbDivisa")->setEditText(QStringLiteral("efectivo"));
            control<QLineEdit>(w, "txtDetalle")->setText(QStringLiteral("Venta de rifas"));
            control<QLineEdit>(w, "txtImporte")->setText(QStringLiteral("1.234,5678"));
            captura(w, QStringLiteral("panMovCaja"));
            control<QPushButton>(w, "Command1")->click();
        }));
        QSqlQuery q(Database::db());
        QVERIFY(q.exec(QStringLiteral(R"(SELECT "Fecha", "idCuenta", "Detalles", "Ingresos", "Egresos",
                                         "idTipoDivisa", "idCuota" FROM "Caja")")) &&
                q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("2009-03-05"));
        QCOMPARE(q.value(1).toInt(), 1);
        QCOMPARE(q.value(2).toString(), QStringLiteral("Venta de rifas"));
        QCOMPARE(q.value(3).toLongLong(), 12345678);
        QCOMPARE(q.value(4).toLongLong(), 0);
        QCOMPARE(q.value(5).toInt(), 1);
        QVERIFY(q.value(6).isNull());
        QVERIFY(Mensaje::mostrados().isEmpty());
    }

    void checksRunInOrderAndWriteNothing() {
        BaseTemporal db;
        QVERIFY(!editar(QStringLiteral("NUEVO"), [](panMovCaja *w) {
            control<QLineEdit>(w, "txtImporte")->setText(QStringLiteral("diez"));
            control<QPushButton>(w, "Command1")->click();
            QCOMPARE(ultimoMensaje(), QStringLiteral("Error, ingrese un importe correcto !"));
            QCOMPARE(Mensaje::mostrados().last().titulo, QStringLiteral("Error"));
            QVERIFY(control<QLineEdit>(w, "txtImporte")->text().isEmpty());
            control<QLineEdit>(w, "txtImporte")->setText(QStringLiteral("10"));
            control<QPushButton>(w, "Command1")->click();
            QCOMPARE(ultimoMensaje(), QStringLiteral("Error, ingrese una cuenta correcta !"));
            control<QComboBox>(w, "cbCuenta")->setEditText(QStringLiteral("Caja"));
            control<QPushButton>(w, "Command1")->click();
            QCOMPARE(ultimoMensaje(), QStringLiteral("Error, ingrese una forma de pago correcta !"));
            // Names that match no row.
            control<QComboBox>(w, "cbCuenta")->setEditText(QStringLiteral("Cajita"));
            control<QComboBox>(w, "cbDivisa")->setEditText(QStringLiteral("Efectivo"));
            control<QPushButton>(w, "Command1")->click();
            QCOMPARE(ultimoMensaje(), QStringLiteral("Error, ingrese una cuenta correcta !"));
            control<QComboBox>(w, "cbCuenta")->setEditText(QStringLiteral("Caja"));
            control<QComboBox>(w, "cbDivisa")->setEditText(QStringLiteral("Bitcoin"));
            control<QPushButton>(w, "Command1")->click();
            QCOMPARE(ultimoMensaje(), QStringLiteral("Error, ingrese una forma de pago correcta !"));
            QCOMPARE(Mensaje::mostrados().size(), 5);
        }));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 0);
    }

    void apostrophesAndAccentsReachSqlAsValues() {
        BaseTemporal db;
        const int ohiggins = cuenta(QStringLiteral("O'Higgins"));
        cuenta(QStringLiteral("Banco Nación"));
        QVERIFY(editar(QStringLiteral("NUEVO"), [](panMovCaja *w) {
            control<QComboBox>(w, "cbCuenta")->setEditText(QStringLiteral("o'higgins"));
            control<QComboBox>(w, "cbDivisa")
                ->setEditText(QStringLiteral("TARJETA DE DEBITO")); // accents set aside
            control<QLineEdit>(w, "txtImporte")->setText(QStringLiteral("5"));
            control<QPushButton>(w, "Command1")->click();
        }));
        QCOMPARE(campo(QStringLiteral(R"(SELECT "idCuenta" AS v FROM "Caja")")).toInt(), ohiggins);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "idTipoDivisa" AS v FROM "Caja")")).toInt(), 4);
        QCOMPARE(Caja::idCuentaPorNombre(QStringLiteral("banco nacion")).toInt(), ohiggins + 1);
    }

    void changingAnExpenseKeepsItsNumberAndDue() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int cuota = nuevaCuota(socio, plan, QDate(2009, 3, 1), 12345678, true, QDate(2009, 3, 2));
        const int id = nuevoMovimiento(QDate(2009, 3, 2), 1, QStringLiteral("Cobro"), 0, 12345678, 2, cuota);
        QVERIFY(editar(QString::number(id), [](panMovCaja *w) {
            QVERIFY(!w->esIngreso());
            QCOMPARE(control<QPushButton>(w, "botTipoCaja")->text(), QStringLiteral("<< E g r e s o s"));
            QCOMPARE(control<DatePicker>(w, "dtFechaCaja")->date(), QDate(2009, 3, 2));
            QCOMPARE(control<QComboBox>(w, "cbCuenta")->currentText(), QStringLiteral("Caja"));
            QCOMPARE(control<QComboBox>(w, "cbDivisa")->currentText(), QStringLiteral("Cheque"));
            // What the editor shows reads back to the same amount.
            QCOMPARE(control<QLineEdit>(w, "txtImporte")->text(), QStringLiteral("1234,5678"));
            control<QPushButton>(w, "botTipoCaja")->click();
            control<QPushButton>(w, "Command1")->click();
        }));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 1);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Ingresos" AS v FROM "Caja" WHERE "idCaja" = ?)"), {id})
                     .toLongLong(),
                 12345678);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Egresos" AS v FROM "Caja")")).toLongLong(), 0);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "idCuota" AS v FROM "Caja")")).toInt(), cuota);
    }

    // The movement of a paid due is that due's one movement of its amount: its date, account, details and
    // form of payment change, its amount and kind do not, and it is not deleted.
    void aPaidDuesMovementKeepsItsAmountAndStays() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int cuota = nuevaCuota(socio, plan, QDate(2009, 3, 1), 90000000, true, QDate(2009, 3, 5));
        const int id = nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("Cobro"), 90000000, 0, 1, cuota);
        const auto importes = [id] {
            return campo(QStringLiteral(R"(SELECT "Ingresos" || '/' || "Egresos" AS v FROM "Caja"
                                           WHERE "idCaja" = ?)"),
                         {id})
                .toString();
        };
        const QString msg = QStringLiteral("Error, el movimiento es el cobro de una cuota pagada: su importe "
                                           "es el de la cuota y va como ingreso !");
        QVERIFY(!editar(QString::number(id), [](panMovCaja *w) {
            control<QLineEdit>(w, "txtImporte")->setText(QStringLiteral("1"));
            control<QPushButton>(w, "Command1")->click();
        }));
        QCOMPARE(ultimoMensaje(), msg);
        QVERIFY(!editar(QString::number(id), [](panMovCaja *w) {
            control<QPushButton>(w, "botTipoCaja")->click();
            control<QPushButton>(w, "Command1")->click();
        }));
        QCOMPARE(Mensaje::mostrados().size(), 2);
        QCOMPARE(importes(), QStringLiteral("90000000/0"));
        QVERIFY(editar(QString::number(id), [](panMovCaja *w) {
            control<QLineEdit>(w, "txtDetalle")->setText(QStringLiteral("Cobro de marzo"));
            control<QPushButton>(w, "Command1")->click();
        }));
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Detalles" AS v FROM "Caja")")).toString(),
                 QStringLiteral("Cobro de marzo"));
        panPrin w;
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 1);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(&w, "Command23")->click();
        QCOMPARE(
            ultimoMensaje(),
            QStringLiteral("Error, el movimiento es el cobro de una cuota pagada: no se puede borrar !"));
        QCOMPARE(importes(), QStringLiteral("90000000/0"));
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 1);
    }

    // Amounts are typed with up to four decimals and up to 999.999.999,9999 either way, in the collection
    // list and in the movement editor alike.
    void typedAmountsKeepFourDecimalsUpToTheMaximum_data() {
        QTest::addColumn<QString>("texto");
        QTest::addColumn<qlonglong>("guardado"); // what is stored: 70000, as before, when refused
        QTest::newRow("cents") << QStringLiteral("9.123,45") << 91234500LL;
        QTest::newRow("fraction of a cent") << QStringLiteral("9123,4567") << 91234567LL;
        QTest::newRow("maximum") << QStringLiteral("999.999.999,9999") << 9999999999999LL;
        QTest::newRow("negative maximum") << QStringLiteral("-999999999,9999") << -9999999999999LL;
        QTest::newRow("beyond") << QStringLiteral("1.000.000.000") << 70000LL;
        QTest::newRow("fourteen digits") << QStringLiteral("45636042579834") << 70000LL;
    }
    void typedAmountsKeepFourDecimalsUpToTheMaximum() {
        QFETCH(QString, texto);
        QFETCH(qlonglong, guardado);
        const bool aceptado = guardado != 70000;
        BaseTemporal db(QDate(2009, 3, 5));
        const QString excedido = QStringLiteral(
            "Error, el importe no puede pasar de $ 999.999.999,9999 (ni ser menor que su negativo) !");
        // The movement editor.
        const int id = nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("x"), 70000, 0);
        const bool cerrada = editar(QString::number(id), [&](panMovCaja *w) {
            control<QLineEdit>(w, "txtImporte")->setText(texto);
            control<QPushButton>(w, "Command1")->click();
        });
        QCOMPARE(cerrada, aceptado);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Ingresos" AS v FROM "Caja")")).toLongLong(), guardado);
        if (!aceptado)
            QCOMPARE(ultimoMensaje(), excedido);
        // The collection list, shown as the program shows money.
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int c = nuevaCuota(socio, plan, QDate(2009, 3, 1), 70000);
        QWidget owner;
        ReportControl cr(&owner);
        panCobraCuota w(&cr);
        w.Tag = QString::number(socio);
        w.show();
        QAbstractItemModel *m = control<DataGrid>(&w, "DBGrid1")->model();
        const QModelIndex monto = m->index(0, panCobraCuota::ColumnaMonto);
        QCOMPARE(m->setData(monto, texto, Qt::EditRole), aceptado);
        QCOMPARE(campo(QStringLiteral(R"(SELECT "Monto" AS v FROM "Cuotas" WHERE "idCuota" = ?)"), {c})
                     .toLongLong(),
                 guardado);
        if (!aceptado) {
            QCOMPARE(ultimoMensaje(), excedido);
        } else {
            QCOMPARE(m->data(monto).toString(), Money::fromUnits(guardado).toCurrencyString());
            QCOMPARE(Money::parse(m->data(monto, Qt::EditRole).toString())->units(), guardado);
        }
        w.close();
    }

    void zeroMovementOpensAsExpenseAndGoneOnesAreSaid() {
        BaseTemporal db;
        const int id = nuevoMovimiento(QDate(2009, 3, 2), 1, QString(), 0, 0);
        editar(QString::number(id), [](panMovCaja *w) {
            QVERIFY(!w->esIngreso());
            QCOMPARE(control<QLineEdit>(w, "txtImporte")->text(), QStringLiteral("0,00"));
        });
        QVERIFY(Mensaje::mostrados().isEmpty());
        QVERIFY(!editar(QStringLiteral("777"), [&](panMovCaja *w) {
            QCOMPARE(ultimoMensaje(), QStringLiteral("Error, registro no localizado!!"));
            control<QComboBox>(w, "cbCuenta")->setEditText(QStringLiteral("Caja"));
            control<QComboBox>(w, "cbDivisa")->setEditText(QStringLiteral("Efectivo"));
            control<QLineEdit>(w, "txtImporte")->setText(QStringLiteral("1"));
            control<QPushButton>(w, "Command1")->click();
            QCOMPARE(ultimoMensaje(), QStringLiteral("Movimiento de Caja no localizado !!"));
        }));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 1);
    }

    // ---- accounts

    void accountsAddRefuseDuplicatesAndKeepAccountOne() {
        BaseTemporal db;
        cuenta(QStringLiteral("BANCO"));
        panCuentas w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Plan de Cuentas"));
        InputBox::encolarRespuesta(QStringLiteral("Banco"));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(ultimoMensaje(), QStringLiteral("Error , la cuenta ya existe !!"));
        QCOMPARE(Mensaje::mostrados().last().titulo, QStringLiteral("Mirabel!"));
        QCOMPARE(Mensaje::mostrados().last().icono, QMessageBox::Critical);
        InputBox::encolarRespuesta(std::nullopt); // Cancelar
        control<QPushButton>(&w, "Command1")->click();
        InputBox::encolarRespuesta(QString());
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        InputBox::encolarRespuesta(QStringLiteral("Ahorro O'Brien"));
        control<QPushButton>(&w, "Command1")->click();
        captura(&w, QStringLiteral("panCuentas"));
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 3);
        // In its place by name.
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")
                     ->dataControl()
                     ->valueAt(0, QStringLiteral("Descripcion"))
                     .toString(),
                 QStringLiteral("Ahorro O'Brien"));
        // Account 1 stays, without a question.
        for (int r = 0; r < 3; ++r)
            if (control<DataGrid>(&w, "DBGrid1")
                    ->dataControl()
                    ->valueAt(r, QStringLiteral("idCuenta"))
                    .toInt() == 1)
                control<DataGrid>(&w, "DBGrid1")->dataControl()->setCurrentRow(r);
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 3);
        // Another is deleted after Yes only.
        control<DataGrid>(&w, "DBGrid1")->dataControl()->setCurrentRow(0);
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(ultimoMensaje(), QStringLiteral("Borra esta cuenta del plan ??"));
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 3);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 2);
        QCOMPARE(contar(QStringLiteral(
                     R"(SELECT COUNT(*) FROM "Cuentas" WHERE "Descripcion" = 'Ahorro O''Brien')")),
                 0);
        w.close();
    }

    void newAccountNamesAreTrimmedAndNeverBlank() {
        BaseTemporal db;
        panCuentas w;
        w.show();
        InputBox::encolarRespuesta(QStringLiteral("   "));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(ultimoMensaje(), QStringLiteral("Error, la cuenta debe tener un nombre !"));
        InputBox::encolarRespuesta(QStringLiteral(" caja "));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(ultimoMensaje(), QStringLiteral("Error , la cuenta ya existe !!"));
        InputBox::encolarRespuesta(QStringLiteral(" Banco "));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(Mensaje::mostrados().size(), 2);
        QCOMPARE(Caja::nombresCuentas(), (QStringList{QStringLiteral("Banco"), QStringLiteral("Caja")}));
        w.close();
    }

    void renamingInTheListRefusesEmptyAndTakenNames() {
        BaseTemporal db;
        const int banco = cuenta(QStringLiteral("Banco Nación"));
        panCuentas w;
        w.show();
        auto *m = control<DataGrid>(&w, "DBGrid1")->model();
        const int fila =
            control<DataGrid>(&w, "DBGrid1")->dataControl()->valueAt(0, QStringLiteral("idCuenta")).toInt() ==
                    banco
                ? 0
                : 1;
        QVERIFY(!m->setData(m->index(fila, 1), QStringLiteral("   "), Qt::EditRole));
        QVERIFY(ultimoMensaje().contains(QStringLiteral("la cuenta debe tener un nombre")));
        QVERIFY(!m->setData(m->index(fila, 1), QStringLiteral("CAJA"), Qt::EditRole));
        QVERIFY(ultimoMensaje().contains(QStringLiteral("ya existe otra cuenta con ese nombre")));
        QCOMPARE(m->index(fila, 1).data().toString(), QStringLiteral("Banco Nación"));
        QCOMPARE(
            campo(QStringLiteral(R"(SELECT "Descripcion" AS v FROM "Cuentas" WHERE "idCuenta" = ?)"), {banco})
                .toString(),
            QStringLiteral("Banco Nación"));
        // Its own name in other letters is fine.
        QVERIFY(m->setData(m->index(fila, 1), QStringLiteral("BANCO NACIÓN"), Qt::EditRole));
        QCOMPARE(
            campo(QStringLiteral(R"(SELECT "Descripcion" AS v FROM "Cuentas" WHERE "idCuenta" = ?)"), {banco})
                .toString(),
            QStringLiteral("BANCO NACIÓN"));
        QVERIFY(!(m->flags(m->index(0, 0)) & Qt::ItemIsEditable));
        w.close();
    }

    // ---- cash panel

    void dayAndAccountFilterUsesTheDateValue() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int banco = cuenta(QStringLiteral("O'Higgins"));
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("hoy caja"), 10000, 0);
        nuevoMovimiento(QDate(2009, 3, 5), banco, QStringLiteral("hoy banco"), 20000, 0);
        nuevoMovimiento(QDate(2009, 3, 4), 1, QStringLiteral("ayer"), 0, 30000);
        // Another locale's short date must not change the day found.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        panPrin w;
        QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
        PanelCaja *c = control<PanelCaja>(&w, "panelProceso_4");
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 2); // today's, every account
        control<QComboBox>(c, "Combo1")->setCurrentIndex(control<QComboBox>(c, "Combo1")->findData(banco));
        emit control<QComboBox>(c, "Combo1")->activated(control<QComboBox>(c, "Combo1")->currentIndex());
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 1);
        QCOMPARE(
            control<DataGrid>(&w, "DBGrid4")->dataControl()->value(QStringLiteral("Detalles")).toString(),
            QStringLiteral("hoy banco"));
        QVERIFY(control<DataGrid>(&w, "DBGrid4")
                    ->dataControl()
                    ->recordSourceParams()
                    .contains(QStringLiteral("2009-03-05")));
        control<DatePicker>(c, "dtFechaCaja")->setDate(QDate(2009, 3, 4));
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 0);
        QVERIFY(!control<QPushButton>(c, "Command22")->isEnabled());
        QVERIFY(!control<QPushButton>(c, "Command23")->isEnabled());
        QVERIFY(control<QPushButton>(c, "Command24")->isEnabled());
        // "Todo", open to every level: every day and account, in date order; the choice of account stays.
        Module1::NivelUsuario = 3;
        control<QPushButton>(c, "Command21")->click();
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 3);
        w.HaceClickOpcion(4);
        w.show();
        captura(&w, QStringLiteral("panPrin-caja"));
        w.HaceClickOpcion(3);
        captura(&w, QStringLiteral("panPrin-informes"));
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")
                     ->dataControl()
                     ->valueAt(0, QStringLiteral("Detalles"))
                     .toString(),
                 QStringLiteral("ayer"));
        QCOMPARE(control<QComboBox>(c, "Combo1")->currentData().toInt(), banco);
        QVERIFY(control<QPushButton>(c, "Command22")->isEnabled());
    }

    // A movement stored with a time of day (old cash books) belongs to its day.
    void aDayListsMovementsWithATimeOfDay() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int banco = cuenta(QStringLiteral("Banco"));
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("a la mañana"), 10000, 0);
        nuevoMovimiento(QDate(2009, 3, 5), banco, QStringLiteral("en el banco"), 20000, 0);
        nuevoMovimiento(QDate(2009, 3, 6), 1, QStringLiteral("mañana"), 30000, 0);
        if (!enServidor()) // a server's date column holds no time of day
            QVERIFY(Database::exec(QStringLiteral(
                R"(UPDATE "Caja" SET "Fecha" = "Fecha" || ' 10:30:00' WHERE "Detalles" <> 'mañana')")));
        for (const QVariant &idCuenta : {QVariant(), QVariant(banco)}) {
            QSqlQuery q(Database::db());
            const Caja::Fuente f = Caja::delDia(QDate(2009, 3, 5), idCuenta);
            QVERIFY(Database::run(q, f.sql, f.params, QStringLiteral("prueba")));
            QStringList detalles;
            while (q.next())
                detalles << q.value(QStringLiteral("Detalles")).toString();
            QCOMPARE(detalles, idCuenta.isNull() ? (QStringList{QStringLiteral("a la mañana"),
                                                                QStringLiteral("en el banco")})
                                                 : QStringList{QStringLiteral("en el banco")});
        }
    }

    void newMovementOnAnotherDayIsNotListedAndDeleteAsks() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int id = nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("hoy"), 10000, 0);
        panPrin w;
        w.show();
        PanelCaja *c = control<PanelCaja>(&w, "panelProceso_4");
        Module1::NivelUsuario = 3;
        bool visto = false;
        alAbrirModalDe(QStringLiteral("panMovCaja"), [&visto](QWidget *m) {
            auto *e = qobject_cast<panMovCaja *>(m);
            visto = e && e->Tag == QStringLiteral("NUEVO");
            if (!e) {
                m->close();
                return;
            }
            control<DatePicker>(e, "dtFechaCaja")->setDate(QDate(2009, 3, 6));
            control<QComboBox>(e, "cbCuenta")->setEditText(QStringLiteral("Caja"));
            control<QComboBox>(e, "cbDivisa")->setEditText(QStringLiteral("Efectivo"));
            control<QLineEdit>(e, "txtImporte")->setText(QStringLiteral("7"));
            control<QPushButton>(e, "Command1")->click();
        });
        control<QPushButton>(c, "Command24")->click(); // open to every level
        QVERIFY(visto);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 2);
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 1);
        // Level 3 may not delete.
        control<QPushButton>(c, "Command23")->click();
        QVERIFY(Mensaje::mostrados().isEmpty());
        Module1::NivelUsuario = 2;
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(c, "Command23")->click();
        QCOMPARE(ultimoMensaje(), QStringLiteral("Borra este movimiento de Caja ??"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 2);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(c, "Command23")->click();
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja" WHERE "idCaja" = %1)").arg(id)), 0);
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 0);
        // Nothing left to delete: the button is off, and the command itself says so.
        QVERIFY(!control<QPushButton>(c, "Command23")->isEnabled());
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        c->borrar();
        QCOMPARE(ultimoMensaje(), QStringLiteral("Error, registro no localizado!!"));
    }

    void modifyAccountsAndReportWindowOpenForLevelTwo() {
        // Level 3 is refused these (with the other restricted commands) in the main window's own test.
        BaseTemporal db(QDate(2009, 3, 5));
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("hoy"), 10000, 0);
        panPrin w;
        w.show();
        PanelCaja *c = control<PanelCaja>(&w, "panelProceso_4");
        QStringList abiertas;
        auto cerrarLaProxima = [&abiertas] {
            alAbrirModal(
                [&abiertas](QWidget *m) {
                    abiertas << m->objectName();
                    m->close();
                },
                1500);
        };
        Module1::NivelUsuario = 2;
        for (QPushButton *b : {control<QPushButton>(c, "Command22"), control<QPushButton>(c, "Command28"),
                               control<QPushButton>(c, "Command20")}) {
            cerrarLaProxima();
            b->click();
        }
        QCOMPARE(abiertas, QStringList({"panMovCaja", "panCuentas", "panInfCaja"}));
    }

    void accountsWindowRefillsTheFilterAndDeletedAccountsAreSaid() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int banco = cuenta(QStringLiteral("Banco"));
        const int id = nuevoMovimiento(QDate(2009, 3, 5), banco, QStringLiteral("depósito"), 10000, 0);
        panPrin w;
        w.show();
        PanelCaja *c = control<PanelCaja>(&w, "panelProceso_4");
        control<QComboBox>(c, "Combo1")->setCurrentIndex(1);
        alAbrirModalDe(QStringLiteral("panCuentas"), [](QWidget *m) {
            auto *p = qobject_cast<panCuentas *>(m);
            if (!p) {
                m->close();
                return;
            }
            for (int r = 0; r < control<DataGrid>(p, "DBGrid1")->dataControl()->recordCount(); ++r)
                if (control<DataGrid>(p, "DBGrid1")
                        ->dataControl()
                        ->valueAt(r, QStringLiteral("Descripcion"))
                        .toString() == QStringLiteral("Banco"))
                    control<DataGrid>(p, "DBGrid1")->dataControl()->setCurrentRow(r);
            Mensaje::encolarRespuesta(QMessageBox::Yes);
            control<QPushButton>(p, "Command2")->click();
            control<QPushButton>(p, "Command3")->click();
        });
        control<QPushButton>(c, "Command28")->click();
        QCOMPARE(control<QComboBox>(c, "Combo1")->count(), 1);
        QCOMPARE(control<QComboBox>(c, "Combo1")->currentIndex(), -1);
        // The movement stays, under "(cuenta borrada)", in the list and in the editor.
        w.actualizarTablas();
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 1);
        QCOMPARE(control<DataGrid>(c, "DBGrid4")->model()->index(0, 1).data().toString(),
                 QStringLiteral("(cuenta borrada)"));
        editar(QString::number(id), [](panMovCaja *e) {
            QCOMPARE(control<QComboBox>(e, "cbCuenta")->currentText(), QStringLiteral("(cuenta borrada)"));
            control<QPushButton>(e, "Command1")->click(); // no such account to save to
            QCOMPARE(ultimoMensaje(), QStringLiteral("Error, ingrese una cuenta correcta !"));
        });
        QCOMPARE(campo(QStringLiteral(R"(SELECT "idCuenta" AS v FROM "Caja")")).toInt(), banco);
    }

    void clearingCopiesFirstAndOnlyForTheSupervisor() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        const int cuota = nuevaCuota(socio, plan, QDate(2009, 3, 1), 250000, true, QDate(2009, 3, 2));
        nuevoMovimiento(QDate(2009, 3, 5), 1, QStringLiteral("Cobro"), 250000, 0, 1, cuota);
        panPrin w;
        auto *limpiar = control<QPushButton>(&w, "Command14");
        Module1::NivelUsuario = 2;
        limpiar->click();
        QVERIFY(Mensaje::mostrados().isEmpty());
        Module1::NivelUsuario = 1;
        Mensaje::encolarRespuesta(QMessageBox::No);
        limpiar->click();
        QCOMPARE(ultimoMensaje(), QStringLiteral("Borra TODA la información de caja? ??"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 1);
        // A copy that cannot be written stops the clearing.
        QTemporaryDir tmp;
        QFile bloqueo(tmp.filePath(QStringLiteral("archivo")));
        QVERIFY(bloqueo.open(QIODevice::WriteOnly));
        bloqueo.close();
        Backup::setFolder(bloqueo.fileName() + QStringLiteral("/copias"));
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        limpiar->click();
        QVERIFY(ultimoMensaje().startsWith(
            QStringLiteral("No se pudo hacer la copia de seguridad; no se borró nada.")));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 1);
        Backup::setFolder(db.copias());
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        limpiar->click();
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 0);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas" WHERE "Pagada" <> 0)")), 1);
        const QStringList copias = QDir(db.copias()).entryList({QStringLiteral("Mirabel-*")}, QDir::Files);
        QCOMPARE(copias.size(), 1);
        QVERIFY(ultimoMensaje().contains(QDir(db.copias()).filePath(copias.at(0))));
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 0);
        // The copy holds the book as it was.
        QCOMPARE(contarEnCopia(QDir(db.copias()).filePath(copias.at(0)),
                               QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")),
                 1);
    }

    void collectingShowsAtOnceInCashListAndDebtSummary() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan);
        nuevaCuota(socio, plan, QDate(2009, 3, 1), 250000);
        nuevaCuota(socio, plan, QDate(2009, 2, 1), 250000);
        panPrin w;
        w.show();
        QCOMPARE(control<QLabel>(&w, "lblNroCuotasAdeudadas")->text(), QStringLiteral("2"));
        Module1::NivelUsuario = 3;
        alAbrirModalDe(QStringLiteral("panCobraCuota"), [](QWidget *m) {
            alAbrirModalDe(QStringLiteral("panCobra"), [](QWidget *p) {
                p->findChild<QComboBox *>(QStringLiteral("cboCuenta"))->setCurrentIndex(0);
                Mensaje::encolarRespuesta(QMessageBox::Yes);
                p->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
                p->close();
            });
            m->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
            m->close();
        });
        control<QPushButton>(&w, "Command8")->click();
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 1);
        QCOMPARE(control<DataGrid>(&w, "DBGrid4")->dataControl()->recordCount(), 1);
        QCOMPARE(control<QLabel>(&w, "lblNroCuotasAdeudadas")->text(), QStringLiteral("1"));
    }

    // ---- reports

    void cashReportFormulasAndPrintOuts() {
        BaseTemporal db(QDate(2009, 4, 5));
        const int oh = cuenta(QStringLiteral("O'Higgins"));
        nuevoMovimiento(QDate(2009, 3, 5), oh, QStringLiteral("primer día"), 10000, 0);
        nuevoMovimiento(QDate(2009, 4, 5), 1, QStringLiteral("último día"), 0, 20000);
        nuevoMovimiento(QDate(2009, 4, 6), 1, QStringLiteral("fuera"), 30000, 0);
        QCOMPARE(
            InformesCaja::formulaCaja(QDate(2009, 3, 5), QDate(2009, 4, 5), QString()),
            QStringLiteral(
                "{consultaCaja.Fecha} >= date(2009, 3, 5) and {consultaCaja.Fecha} <= date(2009, 4, 5)"));
        QCOMPARE(
            InformesCaja::formulaResumen(QDate(2009, 3, 5), QDate(2009, 4, 5)),
            QStringLiteral(
                "{ConsultaCaja.fecha} >= date(2009, 3, 5) and {ConsultaCaja.fecha} <= date(2009, 4, 5)"));
        QWidget owner;
        ReportControl cr(&owner);
        panInfCaja w(&cr);
        QCOMPARE(w.windowTitle(), QStringLiteral("Informes de Caja"));
        QCOMPARE(control<DatePicker>(&w, "dtInicio")->date(), QDate(2009, 3, 6));
        QCOMPARE(control<DatePicker>(&w, "dtFin")->date(), QDate(2009, 4, 5));
        QCOMPARE(control<QComboBox>(&w, "cboCuentas")->count(), 3);
        QCOMPARE(control<QComboBox>(&w, "cboCuentas")->itemText(2), QStringLiteral("<Todas>"));
        QCOMPARE(control<QComboBox>(&w, "cboCuentas")->currentIndex(), -1);
        w.show();
        captura(&w, QStringLiteral("panInfCaja"));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(ultimoMensaje(), QStringLiteral("Error, Seleccione una cuenta !"));
        control<DatePicker>(&w, "dtInicio")->setDate(QDate(2009, 3, 5));
        control<QComboBox>(&w, "cboCuentas")
            ->setCurrentIndex(control<QComboBox>(&w, "cboCuentas")->findText(QStringLiteral("O'Higgins")));
        QTemporaryDir out;
        ReportControl::setPdfDestinationForTests(out.filePath(QStringLiteral("a.pdf")));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(cr.reportFileName(), QStringLiteral("caja.rpt"));
        QVERIFY(
            cr.selectionFormula().endsWith(QStringLiteral(" and {ConsultaCaja.Descripcion} = 'O''Higgins'")));
        const bool pdf = !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
        if (pdf) {
            const QString t = pdfText(out.filePath(QStringLiteral("a.pdf")));
            QVERIFY2(t.contains(QStringLiteral("primer día")), qPrintable(t));
            QVERIFY(!t.contains(QStringLiteral("último día")));
        }
        ReportControl::setPdfDestinationForTests(out.filePath(QStringLiteral("b.pdf")));
        control<QComboBox>(&w, "cboCuentas")->setCurrentIndex(2);
        control<QPushButton>(&w, "Command1")->click();
        QVERIFY(!cr.selectionFormula().contains(QStringLiteral("Descripcion")));
        if (pdf) {
            const QString t = pdfText(out.filePath(QStringLiteral("b.pdf")));
            QVERIFY(t.contains(QStringLiteral("primer día")) && t.contains(QStringLiteral("último día")));
            QVERIFY(!t.contains(QStringLiteral("fuera")));
        }
        // A range whose first day is after the last gives an empty report, not an error.
        ReportControl::setPdfDestinationForTests(out.filePath(QStringLiteral("c.pdf")));
        control<DatePicker>(&w, "dtInicio")->setDate(QDate(2009, 4, 6));
        control<DatePicker>(&w, "dtFin")->setDate(QDate(2009, 3, 1));
        control<QPushButton>(&w, "Command1")->click();
        QVERIFY(QFile::exists(out.filePath(QStringLiteral("c.pdf"))));
        if (pdf)
            QVERIFY(!pdfText(out.filePath(QStringLiteral("c.pdf"))).contains(QStringLiteral("día")));
        ReportControl::setPdfDestinationForTests(QString());
        QCOMPARE(Mensaje::mostrados().size(), 1);
    }

    void summaryAndDebtReportsFollowLevels() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int banco = cuenta(QStringLiteral("Banco"));
        nuevoMovimiento(QDate(2009, 3, 1), banco, QStringLiteral("a"), 10000, 0);
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(DELETE FROM "Cuentas" WHERE "idCuenta" = ?)"), {banco}));
        panPrin w;
        QTemporaryDir out;
        const QString pdf = out.filePath(QStringLiteral("r.pdf"));
        ReportControl::setPdfDestinationForTests(pdf);
        Module1::NivelUsuario = 3;
        control<QPushButton>(&w, "Command27")->click();
        control<QPushButton>(&w, "Command25")->click();
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(control<ReportControl>(&w, "CR")->reportFileName().isEmpty());
        Module1::NivelUsuario = 2;
        control<QPushButton>(&w, "Command27")->click();
        QCOMPARE(control<ReportControl>(&w, "CR")->reportFileName(), QStringLiteral("resctas.rpt"));
        QCOMPARE(
            control<ReportControl>(&w, "CR")->selectionFormula(),
            QStringLiteral(
                "{ConsultaCaja.fecha} >= date(2008, 3, 5) and {ConsultaCaja.fecha} <= date(2009, 3, 5)"));
        QVERIFY(QFile::exists(pdf));
        if (!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QVERIFY(pdfText(pdf).contains(QStringLiteral("(cuenta borrada)")));
        control<QPushButton>(&w, "Command25")->click();
        QCOMPARE(control<ReportControl>(&w, "CR")->reportFileName(), QStringLiteral("infDeuda.rpt"));
        QCOMPARE(control<ReportControl>(&w, "CR")->selectionFormula(),
                 QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0"));
        ReportControl::setPdfDestinationForTests(QString());
        QVERIFY(Mensaje::mostrados().isEmpty());
    }
};

MIRABEL_TEST_MAIN(tst_Caja)
#include "tst_Caja.moc"
