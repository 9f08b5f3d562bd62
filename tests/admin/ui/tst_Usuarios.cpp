#include "admin/Usuarios.h"
#include "admin/ui/PanelUtilidades.h"
#include "admin/ui/panConfUs.h"
#include "core/PasswordHash.h"
#include "db/Database.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace TestSupport;

class tst_Usuarios : public QObject {
    Q_OBJECT

    static QString contrasenaGuardada(int id) {
        return Database::buscaValor(
                   QStringLiteral(R"(SELECT "Contrasena" FROM "Usuarios" WHERE "idUsuario" = ?)"),
                   QStringLiteral("Contrasena"), {id})
            .toString();
    }
    static QVariant campo(int id, const QString &f) {
        return Database::buscaValor(QStringLiteral(R"(SELECT * FROM "Usuarios" WHERE "idUsuario" = ?)"), f,
                                    {id});
    }
    static void escribir(QLineEdit *e, const QString &texto) {
        e->setFocus();
        e->selectAll();
        // textEdited, as typing gives; accented letters cannot go through keyClicks.
        e->insert(texto);
    }
    static int filaDe(panConfUs &w, int id) {
        control<DataGrid>(&w, "DBGrid1")->dataControl()->fetchAll();
        for (int r = 0; r < control<DataGrid>(&w, "DBGrid1")->dataControl()->recordCount(); ++r)
            if (control<DataGrid>(&w, "DBGrid1")
                    ->dataControl()
                    ->valueAt(r, QStringLiteral("idUsuario"))
                    .toInt() == id)
                return r;
        return -1;
    }

private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
        Module1::IdUsuario = 0;
    }

    void hashedPasswordLogsInWithoutRegardToCase() {
        BaseTemporal db;
        Usuarios::Datos d;
        d.nombreUsuario = QStringLiteral("  Peña ");
        d.nombreCompleto = QStringLiteral(" Ana Peña ");
        d.contrasenaNueva = QStringLiteral("Pingüino");
        d.esAdministrativo = true;
        const auto agregado = Usuarios::agregar(d);
        QVERIFY2(agregado && *agregado > 0, qPrintable(agregado.message()));
        const int id = *agregado;
        const QString h = contrasenaGuardada(id);
        QVERIFY(h.startsWith(QStringLiteral("$argon2id$")));
        QVERIFY(!h.contains(QStringLiteral("ing"), Qt::CaseInsensitive));
        QCOMPARE(campo(id, QStringLiteral("NombreUsuario")).toString(), QStringLiteral("Peña"));
        QCOMPARE(campo(id, QStringLiteral("NombreCompleto")).toString(), QStringLiteral("Ana Peña"));
        const Usuarios::Ingreso i = Usuarios::ingresar(QStringLiteral("PEÑA "), QStringLiteral("PINGÜINO"));
        QCOMPARE(i.nivel, 2);
        QCOMPARE(i.idUsuario, id);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("pena"), QStringLiteral("pingüino")).nivel,
                 0); // ñ is not n
        QCOMPARE(Usuarios::ingresar(QStringLiteral("peña"), QStringLiteral("pinguino")).nivel, 0);
        QCOMPARE(Usuarios::ingresar(QString(), QString()).nivel, 0);
    }

    void everyRefusedLoginChecksOneHash_data() {
        QTest::addColumn<QString>("usuario");
        QTest::addColumn<QString>("contrasena");
        QTest::newRow("usuario inexistente") << QStringLiteral("nadie") << QStringLiteral("x");
        QTest::newRow("contraseña equivocada") << QStringLiteral("ana") << QStringLiteral("x");
        QTest::newRow("contraseña legible equivocada") << QStringLiteral("viejo") << QStringLiteral("x");
        QTest::newRow("sin usuario") << QString() << QString();
    }

    void everyRefusedLoginChecksOneHash() {
        // The answer takes as long whether the name exists or not: it does not tell which names do.
        QFETCH(QString, usuario);
        QFETCH(QString, contrasena);
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("ana"), Usuarios::hash(QStringLiteral("secreta")), true, false);
        nuevoUsuario(QStringLiteral("viejo"), QStringLiteral("clave"), true, false);
        const int antes = PasswordHash::checksMade();
        QCOMPARE(Usuarios::ingresar(usuario, contrasena).nivel, 0);
        QCOMPARE(PasswordHash::checksMade() - antes, 1);
    }

    void readablePasswordIsUpgradedAtFirstLogin() {
        BaseTemporal db;
        const int id = nuevoUsuario(QStringLiteral("viejo"), QStringLiteral("Clave'1"), true, false);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("viejo"), QStringLiteral("otra")).nivel, 0);
        QCOMPARE(contrasenaGuardada(id), QStringLiteral("Clave'1")); // a wrong attempt changes nothing
        QCOMPARE(Usuarios::ingresar(QStringLiteral("VIEJO"), QStringLiteral("clave'1")).nivel, 1);
        QVERIFY(Usuarios::esHash(contrasenaGuardada(id)));
        QCOMPARE(Usuarios::ingresar(QStringLiteral("viejo"), QStringLiteral("CLAVE'1")).nivel, 1);
    }

    void firstSupervisorOnlyOnceAndHashed() {
        BaseTemporal db;
        QVERIFY(Usuarios::crearPrimerSupervisor(QStringLiteral("Ana Ríos"), QStringLiteral("ana"),
                                                QStringLiteral("secreta")));
        QVERIFY(
            Usuarios::esHash(Database::buscaValor(QStringLiteral(R"(SELECT "Contrasena" FROM "Usuarios")"),
                                                  QStringLiteral("Contrasena"))
                                 .toString()));
        QCOMPARE(Usuarios::crearPrimerSupervisor(QStringLiteral("Otro"), QStringLiteral("otro"),
                                                 QStringLiteral("x"))
                     .code(),
                 Result::Code::Conflict);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 1);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("Ana"), QStringLiteral("SECRETA")).nivel, 1);
    }

    void duplicateNamesAreRefusedWhateverCaseOrAccents() {
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("José"), QStringLiteral("x"), true, false);
        const int otro = nuevoUsuario(QStringLiteral("otro"), QStringLiteral("y"), false, true);
        Usuarios::Datos d;
        d.nombreUsuario = QStringLiteral(" JOSE");
        d.nombreCompleto = QStringLiteral("Cambiado");
        const Result r = Usuarios::guardar(otro, d);
        QCOMPARE(r.code(), Result::Code::Conflict);
        QCOMPARE(r.message(), QStringLiteral("Error, el usuario ya existe!"));
        QCOMPARE(campo(otro, QStringLiteral("NombreCompleto")).toString(), QStringLiteral("Prueba"));
        d.contrasenaNueva = QStringLiteral("z");
        QCOMPARE(Usuarios::agregar(d).code(), Result::Code::Conflict);
    }

    void lastSupervisorAndLoggedInUserStay() {
        BaseTemporal db;
        const int jefe = nuevoUsuario(QStringLiteral("jefe"), QStringLiteral("1"), true, false);
        const int admin = nuevoUsuario(QStringLiteral("admin"), QStringLiteral("2"), false, true);
        QCOMPARE(Usuarios::borrar(jefe, admin).message(), Usuarios::kUltimoSupervisor);
        Usuarios::Datos d;
        d.nombreUsuario = QStringLiteral("jefe");
        d.esAdministrativo = true;
        QVERIFY(!Usuarios::guardar(jefe, d)); // demoting the last one is the same loss
        QCOMPARE(campo(jefe, QStringLiteral("EsSupervisor")).toInt(), 1);
        QCOMPARE(Usuarios::borrar(admin, admin).message(), Usuarios::kUsuarioActual);
        const int segundo = nuevoUsuario(QStringLiteral("segundo"), QStringLiteral("3"), true, false);
        const Result borrado = Usuarios::borrar(jefe, segundo);
        QVERIFY2(borrado, qPrintable(borrado.message()));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 2);
    }

    void windowOptionButtonsToFlagsAndPasswordBox() {
        BaseTemporal db;
        const int jefe = nuevoUsuario(QStringLiteral("jefe"), QStringLiteral("1"), true, false);
        const int ninguno = nuevoUsuario(QStringLiteral("nadie"), QStringLiteral("viejo"), false, false);
        Module1::IdUsuario = jefe;
        panConfUs w;
        w.show();
        QCOMPARE(w.windowTitle(), QStringLiteral("Usuarios del sistema"));
        QCOMPARE(control<QLineEdit>(&w, "txUsuario")->maxLength(), 15);
        QCOMPARE(control<QLineEdit>(&w, "txContrasena")->maxLength(), 15);
        QCOMPARE(control<QLineEdit>(&w, "txNombre")->maxLength(), 50);
        QCOMPARE(control<QLineEdit>(&w, "txContrasena")->echoMode(), QLineEdit::Password);
        QVERIFY(control<QRadioButton>(&w, "optSupervisor")->isChecked());
        QVERIFY(control<QLineEdit>(&w, "txContrasena")->text().isEmpty()); // never shown

        control<DataGrid>(&w, "DBGrid1")->dataControl()->setCurrentRow(filaDe(w, ninguno));
        QVERIFY(!control<QRadioButton>(&w, "optSupervisor")->isChecked() &&
                !control<QRadioButton>(&w, "optAdmin")->isChecked() &&
                !control<QRadioButton>(&w, "optDataEntry")->isChecked());
        control<QPushButton>(&w, "Command3")->click(); // all three stay False
        QCOMPARE(campo(ninguno, QStringLiteral("EsDataEntry")).toInt(), 0);
        QCOMPARE(campo(ninguno, QStringLiteral("EsSupervisor")).toInt(), 0);
        QCOMPARE(contrasenaGuardada(ninguno), QStringLiteral("viejo")); // an empty box keeps it

        control<QRadioButton>(&w, "optDataEntry")->click();
        escribir(control<QLineEdit>(&w, "txContrasena"), QStringLiteral("Nueva"));
        control<QPushButton>(&w, "Command3")->click();
        QCOMPARE(campo(ninguno, QStringLiteral("EsDataEntry")).toInt(), 1);
        QCOMPARE(campo(ninguno, QStringLiteral("EsSupervisor")).toInt(), 0);
        QCOMPARE(campo(ninguno, QStringLiteral("EsAdministrativo")).toInt(), 0);
        QVERIFY(!control<QPushButton>(&w, "Command3")->isEnabled());
        QVERIFY(control<QLineEdit>(&w, "txContrasena")->text().isEmpty());
        QCOMPARE(Usuarios::ingresar(QStringLiteral("nadie"), QStringLiteral("NUEVA")).nivel, 3);
        QVERIFY(Mensaje::mostrados().isEmpty());
    }

    void newUserThenDuplicateKeepsWhatWasTyped() {
        BaseTemporal db;
        const int jefe = nuevoUsuario(QStringLiteral("jefe"), QStringLiteral("1"), true, false);
        Module1::IdUsuario = jefe;
        panConfUs w;
        w.show();
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(control<QLineEdit>(&w, "txNombre")->text(), QStringLiteral("<Nuevo>"));
        QCOMPARE(control<QLineEdit>(&w, "txNombre")->selectedText(), QStringLiteral("<Nuevo>"));
        QVERIFY(!control<QPushButton>(&w, "Command1")->isEnabled());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 2);
        const int nuevo =
            Database::buscaValor(QStringLiteral(R"(SELECT MAX("idUsuario") AS m FROM "Usuarios")"),
                                 QStringLiteral("m"))
                .toInt();
        // Saved without a name it cannot log in, not even with empty texts.
        control<QPushButton>(&w, "Command3")->click();
        QCOMPARE(Usuarios::ingresar(QString(), QString()).nivel, 0);

        escribir(control<QLineEdit>(&w, "txNombre"), QStringLiteral("Otro Jefe"));
        escribir(control<QLineEdit>(&w, "txUsuario"), QStringLiteral("JEFE "));
        escribir(control<QLineEdit>(&w, "txContrasena"), QStringLiteral("abc"));
        control<QRadioButton>(&w, "optAdmin")->click();
        control<QPushButton>(&w, "Command3")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).texto, QStringLiteral("Error, el usuario ya existe!"));
        QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Error"));
        QCOMPARE(control<QLineEdit>(&w, "txUsuario")->text(), QStringLiteral("JEFE "));
        QCOMPARE(control<QLineEdit>(&w, "txNombre")->text(), QStringLiteral("Otro Jefe"));
        QVERIFY(campo(nuevo, QStringLiteral("NombreUsuario")).isNull());

        escribir(control<QLineEdit>(&w, "txUsuario"), QStringLiteral(" segundo "));
        control<QPushButton>(&w, "Command3")->click();
        QCOMPARE(campo(nuevo, QStringLiteral("NombreUsuario")).toString(), QStringLiteral("segundo"));
        QVERIFY(control<QPushButton>(&w, "Command1")->isEnabled());
        QCOMPARE(Usuarios::ingresar(QStringLiteral("segundo "), QStringLiteral("ABC")).nivel, 2);
    }

    void leavingARecordSavesItOrStaysOnIt() {
        BaseTemporal db;
        const int jefe = nuevoUsuario(QStringLiteral("jefe"), QStringLiteral("1"), true, false);
        const int otro = nuevoUsuario(QStringLiteral("otro"), QStringLiteral("2"), false, true);
        Module1::IdUsuario = jefe;
        panConfUs w;
        w.show();
        control<DataGrid>(&w, "DBGrid1")->dataControl()->setCurrentRow(filaDe(w, otro));
        escribir(control<QLineEdit>(&w, "txUsuario"), QStringLiteral("Jefe"));
        control<DataGrid>(&w, "DBGrid1")->selectRow(filaDe(w, jefe)); // the user clicks another row
        QTRY_COMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->currentRow(), filaDe(w, otro));
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).texto, QStringLiteral("Error, el usuario ya existe!"));
        QCOMPARE(control<QLineEdit>(&w, "txUsuario")->text(), QStringLiteral("Jefe"));
        QVERIFY(w.cambiosPendientes());

        escribir(control<QLineEdit>(&w, "txUsuario"), QStringLiteral("Oscar"));
        control<DataGrid>(&w, "DBGrid1")->selectRow(filaDe(w, jefe));
        QCOMPARE(control<QLineEdit>(&w, "txUsuario")->text(), QStringLiteral("jefe"));
        QCOMPARE(campo(otro, QStringLiteral("NombreUsuario")).toString(), QStringLiteral("Oscar"));

        // Escape keeps what was typed too.
        escribir(control<QLineEdit>(&w, "txNombre"), QStringLiteral("Ana Jefa"));
        QTest::keyClick(&w, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QCOMPARE(campo(jefe, QStringLiteral("NombreCompleto")).toString(), QStringLiteral("Ana Jefa"));
    }

    void deleteAsksAndRefusesTheLastSupervisor() {
        BaseTemporal db;
        const int jefe = nuevoUsuario(QStringLiteral("jefe"), QStringLiteral("1"), true, false);
        const int carga = nuevoUsuario(QStringLiteral("carga"), QStringLiteral("2"), false, false, true);
        Module1::IdUsuario = carga;
        panConfUs w;
        w.show();
        control<QPushButton>(&w, "Command2")->click(); // the last supervisor: refused before any question
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).texto, Usuarios::kUltimoSupervisor);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 2);

        Module1::IdUsuario = jefe;
        control<DataGrid>(&w, "DBGrid1")->dataControl()->setCurrentRow(filaDe(w, carga));
        Mensaje::limpiar();
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(Mensaje::mostrados().at(0).texto,
                 QStringLiteral("Atención: Elimina el usuario seleccionado?"));
        QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Eliminar"));
        QCOMPARE(Mensaje::mostrados().at(0).icono, QMessageBox::Critical);
        QCOMPARE(Mensaje::mostrados().at(0).botones, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 2);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Usuarios")")), 1);
        QCOMPARE(control<QLineEdit>(&w, "txUsuario")->text(), QStringLiteral("jefe"));
    }

    void commandOpensForSupervisorOnly() {
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("jefe"), QStringLiteral("1"), true, false);
        PanelUtilidades panel;
        Module1::NivelUsuario = 2;
        control<QPushButton>(&panel, "Command30")->click(); // nothing opens
        Module1::NivelUsuario = 1;
        bool abierta = false;
        alAbrirModalDe(QStringLiteral("panConfUs"), [&](QWidget *w) {
            abierta = true;
            control<QPushButton>(w, "Command4")->click();
        });
        control<QPushButton>(&panel, "Command30")->click();
        QVERIFY(abierta);
    }
};

MIRABEL_TEST_MAIN(tst_Usuarios)
#include "tst_Usuarios.moc"
