#include "app/panPrin.h"
#include "db/Database.h"
#include "members/Afiliados.h"
#include "members/ui/PanelAfiliados.h"
#include "members/ui/panAfiliado.h"
#include "members/ui/panCategorias.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/ReportControl.h"
#include "ui/Ventana.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace TestSupport;

namespace {

QString actual(PanelAfiliados *c) {
    return control<DataGrid>(c, "DBGrid1")->dataControl()->value(QStringLiteral("Apellido")).toString();
}

// The commands that act on the current member (the sub-panel's sit beside the list in the main window).
QList<QPushButton *> porSocio(const panPrin &w) {
    return {control<QPushButton>(&w, "Command4"), control<QPushButton>(&w, "Command3"),
            control<QPushButton>(&w, "Command7"), control<QPushButton>(&w, "Command8"),
            control<QPushButton>(&w, "Command9")};
}

// Alba and Bravo on the plan "Mensual" (plan 1), with reports written to pdf; Bravo's number.
int dosSociosConInformesEn(const QString &pdf) {
    ReportControl::setPdfDestinationForTests(pdf);
    const int p = nuevoPlan(QStringLiteral("Mensual"));
    nuevoAfiliado(QStringLiteral("Alba"), QStringLiteral("Ana"), p);
    return nuevoAfiliado(QStringLiteral("Bravo"), QStringLiteral("Beto"), p);
}

} // namespace

class tst_PanelAfiliados : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void emptyTable() {
        BaseTemporal db;
        panPrin w;
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");
        for (QPushButton *b : porSocio(w))
            QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
        for (QPushButton *b : {control<QPushButton>(c, "Command2"), control<QPushButton>(c, "Command5"),
                               control<QPushButton>(c, "Command6"), control<QPushButton>(c, "Command18")})
            QVERIFY(b->isEnabled());
        QCOMPARE(control<QLabel>(&w, "lblAfiliado")->text(),
                 QStringLiteral("No hay un afiliado seleccionado"));
        QCOMPARE(control<QLabel>(&w, "lblInfo")->text(), QStringLiteral("No hay registros activos"));
        // The summary keeps its design values until a member is shown.
        QCOMPARE(control<QLabel>(&w, "lblMontoAdeudaSocio")->text(), QStringLiteral("0"));
        // Whatever is typed is cleared at once, and the search stops there.
        QTest::keyClicks(control<QLineEdit>(c, "txtBuscaAfiliado"), QStringLiteral("Ga"));
        QCOMPARE(control<QLineEdit>(c, "txtBuscaAfiliado")->text(), QString());
        QVERIFY(Mensaje::mostrados().isEmpty());
        // Borrar with no member: the refusal, nothing else.
        c->borrar();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().first().texto, QStringLiteral("Error, registro no localizado!!"));
        QCOMPARE(Mensaje::mostrados().first().titulo, QStringLiteral("Error"));
    }

    void searchAsYouType() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        nuevoAfiliado(QStringLiteral("Perez"), QStringLiteral("Ana"), p);
        nuevoAfiliado(QStringLiteral("Gonzalez"), QStringLiteral("Eva"), p);
        nuevoAfiliado(QStringLiteral("Garcia"), QStringLiteral("Juan"), p);
        nuevoAfiliado(QStringLiteral("D'Angelo"), QStringLiteral("Ciro"), p);
        panPrin w;
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");
        QCOMPARE(actual(c), QStringLiteral("D'Angelo"));
        QTest::keyClicks(control<QLineEdit>(c, "txtBuscaAfiliado"), QStringLiteral("G"));
        QCOMPARE(actual(c), QStringLiteral("Garcia"));
        QTest::keyClicks(control<QLineEdit>(c, "txtBuscaAfiliado"), QStringLiteral("on"));
        QCOMPARE(actual(c), QStringLiteral("Gonzalez"));
        QCOMPARE(control<QLabel>(&w, "lblInfo")->text(), QStringLiteral("Registro 3 de 4"));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->currentIndex().row(), 2);
        // Gx finds nothing: the list is re-read, the box cleared and the first member current again.
        control<QLineEdit>(c, "txtBuscaAfiliado")->clear();
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(3);
        QSignalSpy relecturas(control<DataGrid>(c, "DBGrid1")->dataControl(), &DataControl::refreshed);
        QTest::keyClicks(control<QLineEdit>(c, "txtBuscaAfiliado"), QStringLiteral("Gx"));
        QCOMPARE(control<QLineEdit>(c, "txtBuscaAfiliado")->text(), QString());
        QCOMPARE(relecturas.size(), 1);
        QCOMPARE(actual(c), QStringLiteral("D'Angelo"));
        // Letters without regard to case, and an apostrophe is plain text.
        control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QStringLiteral("pe"));
        QCOMPARE(actual(c), QStringLiteral("Perez"));
        control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QStringLiteral("d'a"));
        QCOMPARE(actual(c), QStringLiteral("D'Angelo"));
        control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QStringLiteral("'; DROP TABLE \"Afiliados\"; --"));
        QCOMPARE(control<QLineEdit>(c, "txtBuscaAfiliado")->text(), QString());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 4);
        QVERIFY(Mensaje::mostrados().isEmpty());
        // "Buscar" selects the box's text and gives it the focus; it does not search.
        control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QStringLiteral("Per"));
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(0);
        control<QPushButton>(c, "Command5")->click();
        QCOMPARE(control<QLineEdit>(c, "txtBuscaAfiliado")->selectedText(), QStringLiteral("Per"));
        QCOMPARE(w.focusWidget(), control<QLineEdit>(c, "txtBuscaAfiliado"));
        QCOMPARE(actual(c), QStringLiteral("D'Angelo"));
    }

    void anEmptySearchFindsTheFirstMemberWithASurname() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(INSERT INTO "Afiliados" ("Nombres", "idPlan", "ClaveOrden")
                                         VALUES ('Sin apellido', ?, clave_orden(NULL, 'Sin apellido')))"),
                           {p}));
        nuevoAfiliado(QStringLiteral("Zárate"), QStringLiteral("Ana"), p);
        panPrin w;
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->value(QStringLiteral("Nombres")).toString(),
                 QStringLiteral("Sin apellido"));
        QTest::keyClicks(control<QLineEdit>(c, "txtBuscaAfiliado"), QStringLiteral("x"));
        QCOMPARE(actual(c), QStringLiteral("Zárate"));
        QCOMPARE(control<QLabel>(&w, "lblInfo")->text(), QStringLiteral("Registro 2 de 2"));
        // A Null name adds nothing to the title line.
        QCOMPARE(control<QLabel>(&w, "lblAfiliado")->text(), QStringLiteral("Zárate, Ana"));
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(0);
        QCOMPARE(control<QLabel>(&w, "lblAfiliado")->text(), QStringLiteral(", Sin apellido"));
    }

    void debtSummaryFollowsTheCurrentRow() {
        BaseTemporal db(QDate(2009, 3, 5));
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        const int a = nuevoAfiliado(QStringLiteral("Alba"), QStringLiteral("Ana"), p);
        const int b = nuevoAfiliado(QStringLiteral("Bravo"), QStringLiteral("Beto"), p);
        for (const char *s : {"Cota", "Diaz", "Eche"})
            nuevoAfiliado(QString::fromLatin1(s), QStringLiteral("X"), p);
        nuevaCuota(a, p, QDate(2009, 1, 10), 250000);
        nuevaCuota(a, p, QDate(2009, 3, 5), 12345000); // due today: overdue
        nuevaCuota(a, p, QDate(2009, 3, 6), 990000);   // tomorrow: not yet
        nuevaCuota(a, p, QDate(2008, 12, 10), 250000, true, QDate(2009, 2, 14));
        nuevaCuota(a, p, QDate(2008, 11, 10), 250000, true, QDate(2008, 11, 9));
        nuevaCuota(b, p, QDate(2008, 12, 10), 250000, true, QDate(2009, 1, 2));
        panPrin w;
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");
        QCOMPARE(control<QLabel>(&w, "lblAfiliado")->text(), QStringLiteral("Alba, Ana"));
        QCOMPARE(control<QLabel>(&w, "lblNroCuotasAdeudadas")->text(), QStringLiteral("2"));
        QCOMPARE(control<QLabel>(&w, "lblMontoAdeudaSocio")->text(), QStringLiteral("$ 1.259,50"));
        QCOMPARE(control<QLabel>(&w, "lblFechaUPago")->text(), QStringLiteral("14/02/2009"));
        QCOMPARE(control<QLabel>(&w, "lblNumeroPlan")->text(), QString::number(p));
        QCOMPARE(control<QLabel>(&w, "lblInfo")->text(), QStringLiteral("Registro 1 de 5"));
        // No overdue dues: empty amount and count, not "0".
        control<DataGrid>(c, "DBGrid1")
            ->setCurrentIndex(control<DataGrid>(c, "DBGrid1")->model()->index(1, 0));
        QCOMPARE(control<QLabel>(&w, "lblNroCuotasAdeudadas")->text(), QString());
        QCOMPARE(control<QLabel>(&w, "lblMontoAdeudaSocio")->text(), QString());
        QCOMPARE(control<QLabel>(&w, "lblFechaUPago")->text(), QStringLiteral("02/01/2009"));
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(2);
        QCOMPARE(control<QLabel>(&w, "lblFechaUPago")->text(), QString());
        QCOMPARE(control<QLabel>(&w, "lblInfo")->text(), QStringLiteral("Registro 3 de 5"));
        // Off the list: no member; the summary keeps what it showed.
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(99);
        QCOMPARE(control<QLabel>(&w, "lblAfiliado")->text(),
                 QStringLiteral("No hay un afiliado seleccionado"));
        QCOMPARE(control<QLabel>(&w, "lblInfo")->text(), QStringLiteral("No hay registros activos"));
        for (QPushButton *b : porSocio(w))
            QVERIFY(!b->isEnabled());
        QVERIFY(control<QPushButton>(c, "Command2")->isEnabled());
    }

    void deletingAMemberTakesItsDuesAndKeepsTheCash() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        nuevoAfiliado(QStringLiteral("Alba"), QStringLiteral("Ana"), p);
        const int b = nuevoAfiliado(QStringLiteral("Bravo"), QStringLiteral("Beto"), p);
        nuevoAfiliado(QStringLiteral("Cota"), QStringLiteral("Ciro"), p);
        int pagada = 0;
        for (int i = 0; i < 24; ++i)
            pagada = nuevaCuota(b, p, QDate(2008, 1, 10).addMonths(i), 250000, i < 3,
                                QDate(2008, 1, 5).addMonths(i));
        nuevoMovimiento(QDate(2008, 3, 5), 1, QStringLiteral("Cobro de CUOTA MES 3 a Bravo"), 250000, 0, 1,
                        pagada);
        panPrin w;
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(1);
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(c, "Command3")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().first().texto, QStringLiteral("Borra este socio de la lista ??"));
        QCOMPARE(Mensaje::mostrados().first().titulo, QStringLiteral("Pregunta"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 24);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(c, "Command3")->click();
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 0);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Caja")")), 1);
        // The next member takes its place.
        QCOMPARE(actual(c), QStringLiteral("Cota"));
        QCOMPARE(control<QLabel>(&w, "lblInfo")->text(), QStringLiteral("Registro 2 de 2"));
        // The last one: the place moves up.
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(c, "Command3")->click();
        QCOMPARE(actual(c), QStringLiteral("Alba"));
    }

    void newAndChangeThroughTheEditor() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        nuevaCategoria(QStringLiteral("Activo"));
        nuevoAfiliado(QStringLiteral("Alba"), QStringLiteral("Ana"), p, 1);
        const int b = nuevoAfiliado(QStringLiteral("Bravo"), QStringLiteral("Beto"), p, 1);
        nuevoAfiliado(QStringLiteral("Cota"), QStringLiteral("Ciro"), p, 1);
        panPrin w;
        w.show();
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");

        // "Modificar" then "Cancelar": the row stays.
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(1);
        QString tag;
        QVERIFY(alAbrirModalDe(
            QStringLiteral("panAfiliado"), [&] { control<QPushButton>(c, "Command4")->click(); },
            [&tag](QWidget *m) {
                auto *e = qobject_cast<panAfiliado *>(m);
                QVERIFY(e);
                tag = e->Tag;
                control<QPushButton>(e, "Command2")->click();
            }));
        QCOMPARE(tag, QString::number(b));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->currentRow(), 1);

        // A double-click on the grid is "Modificar"; the change shows at once, on the same member.
        QVERIFY(alAbrirModalDe(
            QStringLiteral("panAfiliado"),
            [&] {
                emit control<DataGrid>(c, "DBGrid1")
                    ->doubleClicked(control<DataGrid>(c, "DBGrid1")->model()->index(1, 2));
            },
            [](QWidget *m) {
                auto *e = qobject_cast<panAfiliado *>(m);
                control<QLineEdit>(e, "txtCampo_0")->setText(QStringLiteral("Zeta"));
                control<QPushButton>(e, "Command1")->click();
            }));
        QCOMPARE(actual(c), QStringLiteral("Zeta"));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->value(QStringLiteral("idAfiliado")).toInt(),
                 b);
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->currentRow(), 2);
        QCOMPARE(control<QLabel>(&w, "lblAfiliado")->text(), QStringLiteral("Zeta, Beto"));

        // "Nuevo" always returns the list to its first member.
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(2);
        QVERIFY(alAbrirModalDe(
            QStringLiteral("panAfiliado"), [&] { control<QPushButton>(c, "Command2")->click(); },
            [](QWidget *m) {
                auto *e = qobject_cast<panAfiliado *>(m);
                const char *const v[] = {"Abad", "Luz", "DNI", "1", "Calle", "", "", "555", "", "", "", ""};
                for (int i = 0; i < Afiliado::NumCampos; ++i)
                    control<QLineEdit>(e, QStringLiteral("txtCampo_%1").arg(i))
                        ->setText(QString::fromLatin1(v[i]));
                control<QComboBox>(e, "cbPlan")->setCurrentText(QStringLiteral("Mensual"));
                control<QComboBox>(e, "cboCategoria")->setCurrentText(QStringLiteral("Activo"));
                control<QPushButton>(e, "Command1")->click();
            }));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->currentRow(), 0);
        QCOMPARE(actual(c), QStringLiteral("Abad"));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->recordCount(), 4);

        // "Categ." opens the categories window.
        QVERIFY(alAbrirModalDe(
            QStringLiteral("panCategorias"), [&] { control<QPushButton>(c, "Command18")->click(); },
            [](QWidget *m) {
                QVERIFY(qobject_cast<panCategorias *>(m));
                static_cast<QDialog *>(m)->reject();
            }));
    }

    void levelThreeListsButDoesNotChange() {
        BaseTemporal db;
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("informe.pdf"));
        const int b = dosSociosConInformesEn(pdf);
        nuevaCuota(b, 1, QDate(2009, 1, 10), 250000);
        panPrin w;
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");
        Module1::NivelUsuario = 3;
        // The restricted commands and the double-click get no reaction at all.
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        for (QPushButton *boton : {control<QPushButton>(c, "Command4"), control<QPushButton>(c, "Command3"),
                                   control<QPushButton>(c, "Command18")})
            boton->click();
        emit control<DataGrid>(c, "DBGrid1")
            ->doubleClicked(control<DataGrid>(c, "DBGrid1")->model()->index(0, 2));
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Cuotas")")), 1);
        // The lists print through the main window's report object.
        control<QPushButton>(c, "Command6")->click();
        QCOMPARE(control<ReportControl>(&w, "CR")->reportFileName(), QStringLiteral("Socios.rpt"));
        QCOMPARE(control<ReportControl>(&w, "CR")->connect(), QStringLiteral(";pwd=kR4wZp8N"));
        QCOMPARE(control<ReportControl>(&w, "CR")->selectionFormula(),
                 QStringLiteral("{Afiliados.idAfiliado} <> 0"));
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(1);
        control<QPushButton>(&w, "Command9")->click();
        QCOMPARE(control<ReportControl>(&w, "CR")->reportFileName(), QStringLiteral("ctacuotas.rpt"));
        QCOMPARE(control<ReportControl>(&w, "CR")->selectionFormula(),
                 QStringLiteral("{cuotas.idAfiliado} = %1").arg(b));
        QVERIFY(QFile::exists(pdf));
        ReportControl::setPdfDestinationForTests(QString());
        // The dues and collection windows are opened through the panel's requests, with the member as Tag.
        QSignalSpy emitir(c, &PanelAfiliados::emitirCuotas);
        QSignalSpy cobrar(c, &PanelAfiliados::cobrarCuotas);
        // The main window answers "Emitir Cuotas..." with the dues issuance for that member.
        QString tagEmision;
        alAbrirModalDe(QStringLiteral("panEmiCuota"), [&tagEmision](QWidget *m) {
            tagEmision = static_cast<Ventana *>(m)->Tag;
            static_cast<QDialog *>(m)->reject();
        });
        control<QPushButton>(&w, "Command7")->click();
        QCOMPARE(tagEmision, QString::number(b));
        // The main window answers the collection request with the collection window for that member.
        QString tagCobranza;
        alAbrirModalDe(QStringLiteral("panCobraCuota"), [&tagCobranza](QWidget *m) {
            tagCobranza = qobject_cast<Ventana *>(m)->Tag;
            m->close();
        });
        control<QPushButton>(&w, "Command8")->click();
        QCOMPARE(tagCobranza, QString::number(b));
        QCOMPARE(emitir.size(), 1);
        QCOMPARE(emitir.first().first().toString(), QString::number(b));
        QCOMPARE(cobrar.first().first().toString(), QString::number(b));
    }

    void namesChangedByAnotherToolAreReorderedWhenTheFileOpens() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        nuevoAfiliado(QStringLiteral("Bravo"), QStringLiteral("Ana"), p);
        const int z = nuevoAfiliado(QStringLiteral("Zapata"), QStringLiteral("Eva"), p);
        nuevoAfiliado(QStringLiteral("Nadal"), QStringLiteral("Luis"), p);
        // Renamed by another program, which knows nothing of the sort key.
        QVERIFY_HECHO(Database::exec(
            QStringLiteral(R"(UPDATE "Afiliados" SET "Apellido" = 'Álvarez' WHERE "idAfiliado" = ?)"), {z}));
        const QString ruta = db.path();
        Database::close();
        QString error;
        QVERIFY_HECHO(Database::open(ruta, Database::Mode::MustExist));
        panPrin w;
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");
        QCOMPARE(actual(c), QStringLiteral("Álvarez"));
        QTest::keyClicks(control<QLineEdit>(c, "txtBuscaAfiliado"), QStringLiteral("Al"));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->value(QStringLiteral("idAfiliado")).toInt(),
                 z);
        // A surname search does not tell n from ñ: "Na" finds Ñandú as "N" does.
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(DELETE FROM "Afiliados" WHERE "Apellido" = 'Nadal')")));
        nuevoAfiliado(QStringLiteral("Ñandú"), QStringLiteral("Ana"), p);
        nuevoAfiliado(QStringLiteral("Nuñez"), QStringLiteral("Ana"), p);
        control<DataGrid>(c, "DBGrid1")->dataControl()->refresh();
        control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QStringLiteral("N"));
        QCOMPARE(actual(c), QStringLiteral("Nuñez"));
        for (const char *texto : {"Na", "ÑA", "ñand"}) {
            control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QString::fromUtf8(texto));
            QCOMPARE(actual(c), QStringLiteral("Ñandú"));
        }
        control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QStringLiteral("nuñ"));
        QCOMPARE(actual(c), QStringLiteral("Nuñez"));
        control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QStringLiteral("Ñu"));
        QCOMPARE(actual(c), QStringLiteral("Nuñez"));
    }

    void storedTextIsShownAsTextNotMarkup() {
        BaseTemporal db;
        nuevoAfiliado(QStringLiteral("<b>Paz</b>"), QStringLiteral("<i>Eva</i>"),
                      nuevoPlan(QStringLiteral("M")));
        panPrin w;
        QCOMPARE(control<QLabel>(&w, "lblAfiliado")->text(), QStringLiteral("<b>Paz</b>, <i>Eva</i>"));
        for (QLabel *l : {control<QLabel>(&w, "lblAfiliado"), control<QLabel>(&w, "lblNumeroPlan"),
                          control<QLabel>(&w, "lblMontoAdeudaSocio"), control<QLabel>(&w, "lblFechaUPago"),
                          control<QLabel>(&w, "lblNroCuotasAdeudadas"), control<QLabel>(&w, "lblInfo")})
            QCOMPARE(l->textFormat(), Qt::PlainText);
        // Message boxes too: a surname in a refusal reads as typed.
        const auto box = Mensaje::construir(QStringLiteral("Error, el plan <b>X</b> ya existe !"),
                                            QStringLiteral("Error"), QMessageBox::Critical, QMessageBox::Ok);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->text(), QStringLiteral("Error, el plan <b>X</b> ya existe !"));
    }

    void thePanelWorksWithWhatItsHostHandsIn() {
        BaseTemporal db;
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("socios.pdf"));
        dosSociosConInformesEn(pdf);
        // No main window: the list, the report object and the status line come from the host.
        QWidget host;
        DataControl data(QStringLiteral("Data1"));
        data.setRecordSource(Afiliados::recordSource());
        ReportControl cr(&host);
        QStringList estado;
        PanelAfiliados c(
            &data, &cr, [&estado](const QString &t) { estado << t; }, &host);
        data.refresh();
        QCOMPARE(estado.last(), QStringLiteral("Registro 1 de 2"));
        data.setCurrentRow(1);
        QCOMPARE(estado.last(), QStringLiteral("Registro 2 de 2"));
        control<QPushButton>(&c, "Command6")->click();
        QCOMPARE(cr.reportFileName(), QStringLiteral("Socios.rpt"));
        QVERIFY(QFile::exists(pdf));
        ReportControl::setPdfDestinationForTests(QString());
    }

    void longListsMoveWithoutReadingEveryRow() {
        BaseTemporal db;
        const int p = nuevoPlan(QStringLiteral("Mensual"));
        // 3,000 members, surnames "S0000".."S2999" with one accented "Ñandú" among them.
        QVERIFY(Database::exec(QStringLiteral(R"(WITH RECURSIVE n(i, s) AS (SELECT 0, 'S0000' UNION ALL
                                  SELECT i + 1, 'S' || CASE WHEN i < 9 THEN '000' WHEN i < 99 THEN '00'
                                                            WHEN i < 999 THEN '0' ELSE '' END || (i + 1)
                                  FROM n WHERE i < 2999)
                              INSERT INTO "Afiliados" ("Apellido", "Nombres", "idPlan", "ClaveOrden")
                              SELECT s, 'X', ?, clave_orden(s, 'X') FROM n)"),
                               {p}));
        nuevoAfiliado(QStringLiteral("Ñandú"), QStringLiteral("Ana"), p);
        panPrin w;
        auto *c = control<PanelAfiliados>(&w, "panelProceso_0");
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->recordCount(), 3001);
        QTest::keyClicks(control<QLineEdit>(c, "txtBuscaAfiliado"), QStringLiteral("S2717"));
        QCOMPARE(actual(c), QStringLiteral("S2717"));
        // Ñandú comes first: Ñ sorts after N, before S.
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->currentRow(), 2718);
        QCOMPARE(control<QLabel>(&w, "lblInfo")->text(), QStringLiteral("Registro 2719 de 3001"));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->model()->index(2718, 2).data().toString(),
                 QStringLiteral("S2717"));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->model()->index(3000, 2).data().toString(),
                 QStringLiteral("S2999"));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->model()->index(0, 2).data().toString(),
                 QStringLiteral("Ñandú"));
        control<QLineEdit>(c, "txtBuscaAfiliado")->setText(QStringLiteral("ñ"));
        QCOMPARE(actual(c), QStringLiteral("Ñandú"));
        QCOMPARE(control<DataGrid>(c, "DBGrid1")->dataControl()->currentRow(), 0);
        control<DataGrid>(c, "DBGrid1")->dataControl()->setCurrentRow(3000);
        QCOMPARE(actual(c), QStringLiteral("S2999"));
    }
};

MIRABEL_TEST_MAIN(tst_PanelAfiliados)
#include "tst_PanelAfiliados.moc"
