#include "db/Database.h"
#include "db/SqlEngine.h"
#include "members/Categorias.h"
#include "members/ui/panAfiliado.h"
#include "support/TestSupport.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>

using namespace TestSupport;

namespace {

QSqlRecord fila(int id) {
    QSqlQuery q(Database::db());
    q.prepare(QStringLiteral(R"(SELECT * FROM "Afiliados" WHERE "idAfiliado" = ?)"));
    q.addBindValue(id);
    return q.exec() && q.next() ? q.record() : QSqlRecord();
}

// The six required boxes, a plan and a category.
void completar(panAfiliado &w, const QString &plan = QStringLiteral("Mensual"),
               const QString &categoria = QStringLiteral("Activo")) {
    const char *const valores[] = {"Pérez", "Ana",      "DNI", "12345678", "Calle 1", "",
                                   "",      "555-1234", "",    "",         "",        ""};
    for (int i = 0; i < Afiliado::NumCampos; ++i)
        control<QLineEdit>(&w, QStringLiteral("txtCampo_%1").arg(i))->setText(QString::fromUtf8(valores[i]));
    control<QComboBox>(&w, "cbPlan")->setCurrentText(plan);
    control<QComboBox>(&w, "cboCategoria")->setCurrentText(categoria);
}

QStringList textos() {
    QStringList out;
    for (const auto &m : Mensaje::mostrados())
        out << m.texto;
    return out;
}

int socios() {
    return contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")"));
}

} // namespace

class tst_panAfiliado : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void newMemberIsAddedWithTheKeyboard() {
        BaseTemporal db(QDate(2009, 3, 5));
        nuevoPlan(QStringLiteral("Anual"));
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int cat = nuevaCategoria(QStringLiteral("Activo"));
        panAfiliado w;
        w.Tag = QStringLiteral("NUEVO");
        w.show();
        QCOMPARE(control<DatePicker>(&w, "dtFecNac")->date(), QDate(2002, 3, 24));
        QCOMPARE(control<DatePicker>(&w, "dtFecAf")->date(), QDate(2009, 3, 5));
        QCOMPARE(control<QComboBox>(&w, "cbPlan")->currentText(), QString());
        QCOMPARE(control<QComboBox>(&w, "cbPlan")->itemText(0), QStringLiteral("Anual"));
        QCOMPARE(control<QComboBox>(&w, "cboCategoria")->accessibleName(), QStringLiteral("Categoría"));
        QCOMPARE(control<QLineEdit>(&w, "txtCampo_5")->accessibleName(), QStringLiteral("Nombre del padre"));
        // Tab order: down the window (the category between e-mail and school), then Aceptar and Cancelar.
        QList<QWidget *> orden;
        for (int i = 0; i < 11; ++i)
            orden << control<QLineEdit>(&w, QStringLiteral("txtCampo_%1").arg(i));
        orden << control<QComboBox>(&w, "cboCategoria") << control<QLineEdit>(&w, "txtCampo_11")
              << control<DatePicker>(&w, "dtFecNac") << control<DatePicker>(&w, "dtFecAf")
              << control<QComboBox>(&w, "cbPlan") << control<QPushButton>(&w, "Command1")
              << control<QPushButton>(&w, "Command2");
        QWidget *actual = orden.first();
        for (int i = 1; i < orden.size(); ++i) {
            do
                actual = actual->nextInFocusChain();
            while (!orden.contains(actual));
            QCOMPARE(actual, orden.at(i));
        }
        // Names match without regard to case; Enter in the plan box accepts and adds nothing to its list.
        completar(w, QStringLiteral("mensual"), QStringLiteral("ACTIVO"));
        control<QLineEdit>(&w, "txtCampo_0")->setText(QStringLiteral("D'Angelo"));
        QTest::keyClick(control<QComboBox>(&w, "cbPlan")->lineEdit(), Qt::Key_Return);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(w.result(), int(QDialog::Accepted));
        QCOMPARE(control<QComboBox>(&w, "cbPlan")->count(), 2);
        const QSqlRecord r = fila(1);
        QCOMPARE(r.value("Apellido").toString(), QStringLiteral("D'Angelo"));
        QCOMPARE(r.value("idPlan").toInt(), plan);
        QCOMPARE(r.value("idCategoria").toInt(), cat);
        QCOMPARE(r.value("Fecha Nacimiento").toString(), QStringLiteral("2002-03-24"));
        QCOMPARE(r.value("Fecha Afiliacion").toString(), QStringLiteral("2009-03-05"));
        QVERIFY(!r.value("Barrio").isNull()); // an empty optional box is a zero-length text
        QCOMPARE(r.value("ClaveOrden").toString(),
                 SqlEngine::memberSortKey(QStringLiteral("D'Angelo"), QStringLiteral("Ana")));
        // Escape cancels: nothing written.
        panAfiliado otra;
        otra.Tag = QStringLiteral("NUEVO");
        otra.show();
        completar(otra);
        QTest::keyClick(control<QLineEdit>(&otra, "txtCampo_3"), Qt::Key_Escape);
        QCOMPARE(otra.result(), int(QDialog::Rejected));
        QCOMPARE(socios(), 1);
    }

    void checksRunInIndexOrderThenPlanThenCategory() {
        BaseTemporal db;
        nuevoPlan(QStringLiteral("Mensual"));
        nuevaCategoria(QStringLiteral("Activo"));
        panAfiliado w;
        w.Tag = QStringLiteral("NUEVO");
        w.show();
        auto probar = [&](const QString &mensaje) {
            Mensaje::limpiar();
            control<QPushButton>(&w, "Command1")->click();
            QCOMPARE(textos(), QStringList{mensaje});
            QCOMPARE(Mensaje::mostrados().first().icono, QMessageBox::Critical);
            QVERIFY(w.isVisible());
        };
        completar(w);
        control<QLineEdit>(&w, "txtCampo_7")->clear();
        control<QLineEdit>(&w, "txtCampo_0")->clear();
        probar(QStringLiteral("El campo : Apellido no puede estar vacío. "));
        QCOMPARE(w.focusWidget(), control<QLineEdit>(&w, "txtCampo_0"));
        control<QLineEdit>(&w, "txtCampo_0")->setText(QStringLiteral("  ")); // blanks count as content
        probar(QStringLiteral("El campo : Telefono Particular no puede estar vacío. "));
        const char *const titulos[] = {"Apellido", "Nombres", "Tipo Documento", "Documento", "Domicilio"};
        for (int i = 0; i < 5; ++i) {
            completar(w);
            control<QLineEdit>(&w, QStringLiteral("txtCampo_%1").arg(i))->clear();
            probar(QStringLiteral("El campo : %1 no puede estar vacío. ").arg(QString::fromUtf8(titulos[i])));
        }
        // The plan is checked before the category.
        completar(w, QStringLiteral("Quincenal"), QStringLiteral("Nadie"));
        probar(QStringLiteral("Ingrese un plan válido !"));
        completar(w, QStringLiteral("Mensual"), QString());
        probar(QStringLiteral("Ingrese una categoria válida !"));
        QCOMPARE(socios(), 0);
        completar(w);
        control<QLineEdit>(&w, "txtCampo_0")->setText(QStringLiteral("  "));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados" WHERE "Apellido" = '  ')")), 1);
    }

    void typedPlanAndCategoryMustMatchAWholeName() {
        BaseTemporal db;
        const int anual = nuevoPlan(QStringLiteral("Anual 2024"));
        nuevoPlan(QStringLiteral(""));
        const int activo = nuevaCategoria(QStringLiteral("Activo Ñandú"));
        panAfiliado w;
        w.Tag = QStringLiteral("NUEVO");
        w.show();
        completar(w, QString(), QStringLiteral("Activo Ñandú"));
        // Typing the start of a name leaves it as typed: it names no plan.
        QTest::keyClicks(control<QComboBox>(&w, "cbPlan")->lineEdit(), QStringLiteral("Anual"));
        QCOMPARE(control<QComboBox>(&w, "cbPlan")->currentText(), QStringLiteral("Anual"));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(textos(), QStringList{QStringLiteral("Ingrese un plan válido !")});
        // An empty box names no plan either, not even one stored without a name.
        Mensaje::limpiar();
        control<QComboBox>(&w, "cbPlan")->setCurrentText(QString());
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(textos(), QStringList{QStringLiteral("Ingrese un plan válido !")});
        QCOMPARE(socios(), 0);
        // The whole name matches without regard to letter case or accents.
        Mensaje::limpiar();
        control<QComboBox>(&w, "cbPlan")->setCurrentText(QStringLiteral("ANUAL 2024"));
        control<QComboBox>(&w, "cboCategoria")->setCurrentText(QStringLiteral("activo ñandu"));
        control<QPushButton>(&w, "Command1")->click();
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(fila(1).value(QStringLiteral("idPlan")).toInt(), anual);
        QCOMPARE(fila(1).value(QStringLiteral("idCategoria")).toInt(), activo);
        // The ñ is a letter of its own: "Nandu" is another name.
        QVERIFY(Categorias::idPorDescripcion(QStringLiteral("Activo Nandu")).isNull());
    }

    void everyBoxMapsToItsFieldAndBack() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Plan D'Oro"));
        const int id = nuevoAfiliado(QStringLiteral("Viejo"), QStringLiteral("N"), plan,
                                     nuevaCategoria(QStringLiteral("Socio 'A'")));
        QVERIFY_HECHO(Database::exec(QStringLiteral(R"(UPDATE "Afiliados" SET "Sexo" = 'F')")));
        const char *const campos[] = {"Apellido",         "Nombres", "TipoDocumento", "Documento",
                                      "Domicilio",        "Barrio",  "Localidad",     "Telefono",
                                      "Telefono Trabajo", "Fax",     "e-mail",        "Ocupacion"};
        {
            panAfiliado w;
            w.Tag = QString::number(id);
            w.show();
            QCOMPARE(control<QComboBox>(&w, "cbPlan")->currentText(), QStringLiteral("Plan D'Oro"));
            QCOMPARE(control<QComboBox>(&w, "cboCategoria")->currentText(), QStringLiteral("Socio 'A'"));
            for (int i = 0; i < Afiliado::NumCampos; ++i)
                control<QLineEdit>(&w, QStringLiteral("txtCampo_%1").arg(i))
                    ->setText(QStringLiteral("v%1'").arg(i));
            control<DatePicker>(&w, "dtFecNac")->setDate(QDate(1990, 7, 9));
            control<QPushButton>(&w, "Command1")->click();
            QCOMPARE(w.result(), int(QDialog::Accepted));
        }
        const QSqlRecord r = fila(id);
        for (int i = 0; i < Afiliado::NumCampos; ++i)
            QCOMPARE(r.value(QString::fromUtf8(campos[i])).toString(), QStringLiteral("v%1'").arg(i));
        QCOMPARE(r.value("Fecha Nacimiento").toString(), QStringLiteral("1990-07-09"));
        QCOMPARE(r.value("Sexo").toString(), QStringLiteral("F")); // not the editor's: left alone
        QCOMPARE(socios(), 1);
        panAfiliado w;
        w.Tag = QString::number(id);
        w.show();
        for (int i = 0; i < Afiliado::NumCampos; ++i)
            QCOMPARE(control<QLineEdit>(&w, QStringLiteral("txtCampo_%1").arg(i))->text(),
                     QStringLiteral("v%1'").arg(i));
        QCOMPARE(control<DatePicker>(&w, "dtFecNac")->date(), QDate(1990, 7, 9));
    }

    void membersWithoutCategoryWithADeletedPlanOrGone() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        nuevaCategoria(QStringLiteral("Activo"));
        {
            panAfiliado w;
            w.Tag = QString::number(nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), plan));
            w.show();
            QCOMPARE(control<QComboBox>(&w, "cboCategoria")->currentText(), QString());
            control<QLineEdit>(&w, "txtCampo_0")->setText(QStringLiteral("Otra"));
            control<QPushButton>(&w, "Command1")->click();
            QCOMPARE(textos(), QStringList{QStringLiteral("Ingrese una categoria válida !")});
            control<QPushButton>(&w, "Command2")->click(); // Cancelar leaves the stored member as it was
            QCOMPARE(fila(1).value("Apellido").toString(), QStringLiteral("Paz"));
        }
        Mensaje::limpiar();
        const int huerfano = nuevoAfiliado(QStringLiteral("Luna"), QStringLiteral("Juan"), 77, 1);
        {
            panAfiliado w;
            w.Tag = QString::number(huerfano);
            w.show();
            QCOMPARE(textos(),
                     QStringList{QStringLiteral("Error, seguramente asignación de planes inexistentes!")});
            QCOMPARE(control<QLineEdit>(&w, "txtCampo_0")->text(), QStringLiteral("Luna"));
            QCOMPARE(control<DatePicker>(&w, "dtFecAf")->date(), QDate(2008, 1, 1));
            QCOMPARE(control<QComboBox>(&w, "cbPlan")->currentText(), QString());
            QCOMPARE(control<QComboBox>(&w, "cboCategoria")->currentText(), QString());
            // Still usable.
            Mensaje::limpiar();
            control<QComboBox>(&w, "cbPlan")->setCurrentText(QStringLiteral("Mensual"));
            control<QComboBox>(&w, "cboCategoria")->setCurrentText(QStringLiteral("Activo"));
            control<QPushButton>(&w, "Command1")->click();
            QVERIFY(Mensaje::mostrados().isEmpty());
            QCOMPARE(fila(huerfano).value("idPlan").toInt(), plan);
        }
        // A member that is gone: nothing filled; saving reports the failure and writes nothing.
        panAfiliado w;
        w.Tag = QStringLiteral("4242");
        w.show();
        QVERIFY(control<QLineEdit>(&w, "txtCampo_0")->text().isEmpty());
        completar(w);
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QVERIFY(textos().first().startsWith(QStringLiteral("Error Detectado: ")));
        QVERIFY(w.isVisible());
        QCOMPARE(socios(), 2);
    }
};

MIRABEL_TEST_MAIN(tst_panAfiliado)
#include "tst_panAfiliado.moc"
