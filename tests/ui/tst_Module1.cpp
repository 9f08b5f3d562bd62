#include "support/TestSupport.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include "db/Database.h"
#include <QAbstractButton>
#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>

using namespace TestSupport;

class tst_Module1 : public QObject {
    Q_OBJECT
private slots:
    void init() { Mensaje::limpiar(); }

    void confirmaAsksWithQuestionMarks() {
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        Mensaje::encolarRespuesta(QMessageBox::No);
        Mensaje::encolarRespuesta(QMessageBox::Cancel);
        QVERIFY(Module1::Confirma(QStringLiteral("Borra este registro de Cuota")));
        QVERIFY(!Module1::Confirma(QStringLiteral("Borra este registro de Cuota")));
        QVERIFY(!Module1::Confirma(QStringLiteral("Borra este registro de Cuota")));
        const auto shown = Mensaje::mostrados();
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].texto, QStringLiteral("Borra este registro de Cuota ??"));
        QCOMPARE(shown[0].titulo, QStringLiteral("Pregunta"));
        QCOMPARE(shown[0].icono, QMessageBox::Question);
        QCOMPARE(shown[0].botones, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }

    void untitledBoxShowsTheProgramTitle() {
        Mensaje::mostrar(QStringLiteral("Hola"), QString(), QMessageBox::Information, QMessageBox::Ok);
        QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Mirabel!"));
    }

    void standardButtonsAreSpanish() {
        // Qt's own translations are loaded, so the standard buttons read in Spanish.
        QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("x"),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("Sí"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("No"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')),
                 QStringLiteral("Cancelar"));
    }

    void llenaComboAppendsInQueryOrder() {
        BaseTemporal db;
        nuevaCategoria(QStringLiteral("Activo"));
        nuevaCategoria(QStringLiteral("Cadete"));
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(INSERT INTO "Categorias" ("Descripcion") VALUES (NULL))")));
        QComboBox combo;
        const QString sql = QStringLiteral(R"(Select * from "Categorias" order by "Descripcion" COLLATE es)");
        Module1::LlenaCombo(&combo, sql, QStringLiteral("Descripcion"));
        Module1::LlenaCombo(&combo, sql, QStringLiteral("Descripcion")); // not cleared: listed twice
        QCOMPARE(combo.count(), 4);
        QCOMPARE(combo.itemText(0), QStringLiteral("Activo"));
        QCOMPARE(combo.itemText(3), QStringLiteral("Cadete"));
        // A bad query adds nothing and shows nothing.
        Module1::LlenaCombo(&combo, QStringLiteral("Select * from Nada"), QStringLiteral("x"));
        QCOMPARE(combo.count(), 4);
        QVERIFY(Mensaje::mostrados().isEmpty());
    }

    void llenaComboIdSkipsNullTextKeepingIds() {
        BaseTemporal db;
        const int a = nuevaCategoria(QStringLiteral("Activo"));
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(INSERT INTO "Categorias" ("Descripcion") VALUES (NULL))")));
        const int c = nuevaCategoria(QStringLiteral("Vitalicio"));
        QComboBox combo;
        Module1::LlenaComboId(&combo, QStringLiteral(R"(Select * from "Categorias" order by "idCategoria")"),
                              QStringLiteral("Descripcion"), QStringLiteral("idCategoria"));
        QCOMPARE(combo.count(), 2);
        QCOMPARE(combo.itemData(0).toInt(), a);
        QCOMPARE(combo.itemText(1), QStringLiteral("Vitalicio"));
        QCOMPARE(combo.itemData(1).toInt(), c);
    }

    void buscaValorBindsValues() {
        BaseTemporal db;
        nuevoAfiliado(QStringLiteral("D'Angelo"), QStringLiteral("Lucía"));
        QCOMPARE(Module1::BuscaValor(QStringLiteral(R"(Select * from "Afiliados" where "Apellido" = ?)"),
                                     QStringLiteral("Nombres"), {QStringLiteral("D'Angelo")})
                     .toString(),
                 QStringLiteral("Lucía"));
    }

    void centraFormCentresKeepingTheSize() {
        QWidget w;
        w.resize(300, 200);
        w.show();
        Module1::CentraForm(&w);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(w.size(), QSize(300, 200));
        QVERIFY(qAbs(w.frameGeometry().center().x() - area.center().x()) <= 2);
        QVERIFY(qAbs(w.frameGeometry().center().y() - area.center().y()) <= 2);
    }
};

MIRABEL_TEST_MAIN(tst_Module1)
#include "tst_Module1.moc"
