#include "db/Database.h"
#include "members/Categorias.h"
#include "members/ui/panAfiliado.h"
#include "members/ui/panCategorias.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace TestSupport;

namespace {

QVariant descripcion(int id) {
    return Database::buscaValor(
        QStringLiteral(R"(SELECT "Descripcion" FROM "Categorias" WHERE "idCategoria" = ?)"),
        QStringLiteral("Descripcion"), {id});
}

// Types a name into the current row's description cell, leaving the editor open (a pending edit).
void escribirPendiente(panCategorias &w, const QString &texto) {
    const QModelIndex cell = control<DataGrid>(&w, "DBGrid1")
                                 ->model()
                                 ->index(control<DataGrid>(&w, "DBGrid1")->dataControl()->currentRow(), 1);
    control<DataGrid>(&w, "DBGrid1")->setCurrentIndex(cell);
    control<DataGrid>(&w, "DBGrid1")->edit(cell);
    auto *editor = qobject_cast<QLineEdit *>(control<DataGrid>(&w, "DBGrid1")->indexWidget(cell));
    QVERIFY(editor);
    editor->setText(texto);
}

} // namespace

class tst_Categorias : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void newCategoryIsStoredAtOnceAndNamedInTheGrid() {
        BaseTemporal db;
        nuevaCategoria(QStringLiteral("Activo"));
        const int borrada = nuevaCategoria(QStringLiteral("Vieja"));
        QVERIFY_HECHO(
            Database::exec(QStringLiteral(R"(DELETE FROM "Categorias" WHERE "idCategoria" = ?)"), {borrada}));
        panCategorias w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Tabla de Categorías de Socios"));
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Nº Cat."));
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("Descripción"));
        control<QPushButton>(&w, "Command1")->click();
        // The next number the database gives (never a reused one), no name, and the cursor on it.
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Categorias")")), 2);
        QCOMPARE(contar(QStringLiteral(R"(SELECT MAX("idCategoria") FROM "Categorias")")), borrada + 1);
        QVERIFY(descripcion(borrada + 1).isNull());
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->currentRow(), 1);
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->currentIndex().row(), 1);
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->currentIndex().column(), 1);
        QVERIFY(control<DataGrid>(&w, "DBGrid1")->hasFocus() || !w.isActiveWindow());

        // Typing a name and "Tomar Cambios" stores it; the member editor offers it at its next opening.
        escribirPendiente(w, QStringLiteral("Socio d'honor"));
        control<QPushButton>(&w, "Command4")->click();
        QCOMPARE(descripcion(borrada + 1).toString(), QStringLiteral("Socio d'honor"));
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->model()->index(1, 1).data().toString(),
                 QStringLiteral("Socio d'honor"));
        panAfiliado editor;
        QVERIFY(control<QComboBox>(&editor, "cboCategoria")->findText(QStringLiteral("Socio d'honor")) >= 0);

        // Closing with a name still being typed keeps it.
        control<QPushButton>(&w, "Command1")->click();
        escribirPendiente(w, QStringLiteral("Cadete"));
        control<QPushButton>(&w, "Command3")->click();
        QCOMPARE(descripcion(borrada + 2).toString(), QStringLiteral("Cadete"));
    }

    void deletionAsksAndIsRefusedWhileUsed() {
        BaseTemporal db;
        const int libre = nuevaCategoria(QStringLiteral("Libre"));
        const int usada = nuevaCategoria(QStringLiteral("Usada"));
        nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Eva"), nuevoPlan(QStringLiteral("Mensual")),
                      usada);
        panCategorias w;
        w.show();

        // No keeps it.
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        const auto pregunta = Mensaje::mostrados().first();
        QCOMPARE(pregunta.texto, QStringLiteral("Está seguro de eliminar esta categoría ??"));
        QCOMPARE(pregunta.titulo, QStringLiteral("Atención"));
        QCOMPARE(pregunta.icono, QMessageBox::Question);
        QCOMPARE(pregunta.botones, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(!descripcion(libre).isNull());

        // Used by a member: refused after the question, and it stays.
        Mensaje::limpiar();
        control<DataGrid>(&w, "DBGrid1")->dataControl()->setCurrentRow(1);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(Mensaje::mostrados().size(), 2);
        QCOMPARE(Mensaje::mostrados().at(1).texto,
                 QStringLiteral("Error, aún existen socios con dicha categoría"));
        QCOMPARE(Mensaje::mostrados().at(1).titulo, QStringLiteral("Error"));
        QCOMPARE(Mensaje::mostrados().at(1).icono, QMessageBox::Critical);
        QCOMPARE(descripcion(usada).toString(), QStringLiteral("Usada"));

        // Unused, Yes: removed.
        Mensaje::limpiar();
        control<DataGrid>(&w, "DBGrid1")->dataControl()->setCurrentRow(0);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(&w, "Command2")->click();
        QVERIFY(descripcion(libre).isNull());
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(), 1);
        QCOMPARE(
            control<DataGrid>(&w, "DBGrid1")->dataControl()->value(QStringLiteral("idCategoria")).toInt(),
            usada);
        QCOMPARE(Categorias::borrar(usada).code(), Result::Code::Conflict);
    }

    void pendingNameIsStoredBeforeTheQuestion() {
        BaseTemporal db;
        const int c = nuevaCategoria(QString());
        panCategorias w;
        w.show();
        escribirPendiente(w, QStringLiteral("Vitalicio"));
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(descripcion(c).toString(), QStringLiteral("Vitalicio"));
    }

    void anUntouchedNameStaysUnnamedAndAnEmptyBoxMatchesNoCategory() {
        BaseTemporal db;
        nuevoPlan(QStringLiteral("Mensual"));
        {
            panCategorias w;
            w.show();
            control<QPushButton>(&w, "Command1")->click();
            // The editor opened on the new row and closed without typing writes nothing.
            escribirPendiente(w, QString());
            control<QPushButton>(&w, "Command4")->click();
            QVERIFY(descripcion(1).isNull());
        }
        // Another tool may leave a zero-length name: an empty box still names no category.
        nuevaCategoria(QStringLiteral(""));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Categorias" WHERE "Descripcion" = '')")), 1);
        QVERIFY(Categorias::idPorDescripcion(QString()).isNull());
        panAfiliado editor;
        editor.Tag = QStringLiteral("NUEVO");
        editor.show();
        const char *const v[] = {"Paz", "Eva", "DNI", "1", "Calle", "", "", "555", "", "", "", ""};
        for (int i = 0; i < Afiliado::NumCampos; ++i)
            control<QLineEdit>(&editor, QStringLiteral("txtCampo_%1").arg(i))
                ->setText(QString::fromLatin1(v[i]));
        control<QComboBox>(&editor, "cbPlan")->setCurrentText(QStringLiteral("Mensual"));
        control<QPushButton>(&editor, "Command1")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().first().texto, QStringLiteral("Ingrese una categoria válida !"));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 0);
    }

    void deletingWithNoRowDoesNothing() {
        BaseTemporal db;
        panCategorias w;
        w.show();
        QVERIFY(!control<DataGrid>(&w, "DBGrid1")->dataControl()->hasCurrent());
        control<QPushButton>(&w, "Command2")->click();
        QVERIFY(Mensaje::mostrados().isEmpty());
    }
};

MIRABEL_TEST_MAIN(tst_Categorias)
#include "tst_Categorias.moc"
