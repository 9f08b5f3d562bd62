#include "admin/Usuarios.h"
#include "app/panIngreso.h"
#include "support/TestSupport.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace TestSupport;

class tst_panIngreso : public QObject {
    Q_OBJECT

    static void intentar(panIngreso &w, const QString &u, const QString &p) {
        control<QLineEdit>(&w, "Text1")->setText(u);
        control<QLineEdit>(&w, "Text2")->setText(p);
        control<QPushButton>(&w, "Command1")->click();
    }

private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 0;
    }

    void captionsAndLimits() {
        BaseTemporal db;
        panIngreso w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Ingreso al sistema"));
        QCOMPARE(control<QLabel>(&w, "Label1")->text(), QStringLiteral("Usuario :"));
        QCOMPARE(control<QLabel>(&w, "Label2")->text(), QStringLiteral("Contraseña :"));
        QCOMPARE(control<QPushButton>(&w, "Command1")->text(), QStringLiteral("&Aceptar"));
        QCOMPARE(control<QPushButton>(&w, "Command2")->text(), QStringLiteral("&Cancelar"));
        QCOMPARE(control<QLineEdit>(&w, "Text1")->maxLength(), 15);
        QCOMPARE(control<QLineEdit>(&w, "Text2")->maxLength(), 15);
        QCOMPARE(control<QLineEdit>(&w, "Text2")->echoMode(), QLineEdit::Password);
        QCOMPARE(control<QLineEdit>(&w, "Text1")->accessibleName(), QStringLiteral("Usuario"));
        QCOMPARE(w.Tag, QStringLiteral("NO"));
    }

    void levelsFromTheFlags() {
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("ambos"), QStringLiteral("1"), true, true);
        nuevoUsuario(QStringLiteral("admin"), QStringLiteral("2"), false, true);
        nuevoUsuario(QStringLiteral("carga"), QStringLiteral("3"), false, false, true);
        nuevoUsuario(QStringLiteral("nada"), QStringLiteral("4"), false, false, false);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("ambos"), QStringLiteral("1")).nivel, 1);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("admin"), QStringLiteral("2")).nivel, 2);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("carga"), QStringLiteral("3")).nivel, 3);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("nada"), QStringLiteral("4")).nivel, 3);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("admin"), QStringLiteral("1")).nivel, 0);
        // Letter case does not matter, for accented capitals too.
        nuevoUsuario(QStringLiteral("ñandú"), QStringLiteral("Pingüino"), false, true);
        QCOMPARE(Usuarios::ingresar(QStringLiteral("ÑANDÚ"), QStringLiteral("PINGÜINO")).nivel, 2);
    }

    void rightLoginSetsTagAndLevel() {
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("ana"), QStringLiteral("secreta"), false, true);
        panIngreso w;
        w.show();
        intentar(w, QStringLiteral("Ana"), QStringLiteral("SECRETA"));
        QCOMPARE(w.Tag, QStringLiteral("SI"));
        QVERIFY(!w.isVisible());
        QCOMPARE(Module1::NivelUsuario, qint16(2));
        QVERIFY(Mensaje::mostrados().isEmpty());
    }

    void threeWrongThenRightLetsIn() {
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("ana"), QStringLiteral("secreta"), true, false);
        panIngreso w;
        w.show();
        intentar(w, QString(), QString()); // empty name and password: an ordinary refusal
        intentar(w, QStringLiteral("ana"), QStringLiteral("mala"));
        intentar(w, QStringLiteral("O'Brien"), QStringLiteral("' or '1'='1")); // just a wrong entry
        QCOMPARE(Mensaje::mostrados().size(), 3);
        for (const auto &m : Mensaje::mostrados()) {
            QCOMPARE(m.texto, QStringLiteral("Error, usuario inexistente!"));
            QCOMPARE(m.titulo, QStringLiteral("Error"));
            QCOMPARE(m.icono, QMessageBox::Critical);
            QCOMPARE(m.botones, QMessageBox::StandardButtons(QMessageBox::Ok));
        }
        QVERIFY(w.isVisible());
        QCOMPARE(control<QLineEdit>(&w, "Text1")->text(), QStringLiteral("O'Brien")); // what was typed stays
        QVERIFY(!w.programaTerminado());
        intentar(w, QStringLiteral("ana"), QStringLiteral("secreta"));
        QCOMPARE(w.Tag, QStringLiteral("SI"));
        QCOMPARE(Module1::NivelUsuario, qint16(1));
    }

    void fourthWrongEndsTheProgram() {
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("ana"), QStringLiteral("secreta"), true, false);
        panIngreso w;
        w.show();
        for (int i = 0; i < 4; ++i)
            intentar(w, QStringLiteral("ana"), QStringLiteral("mal%1").arg(i));
        QCOMPARE(Mensaje::mostrados().size(), 4);
        QVERIFY(w.programaTerminado());
        QCOMPARE(w.Tag, QStringLiteral("NO"));
        QVERIFY(!w.isVisible());
        QCOMPARE(Module1::NivelUsuario, qint16(0));
    }

    void cancelClosesWithoutLogin() {
        BaseTemporal db;
        panIngreso w;
        w.show();
        control<QPushButton>(&w, "Command2")->click();
        QVERIFY(!w.isVisible());
        QCOMPARE(w.Tag, QStringLiteral("NO"));
    }
};

MIRABEL_TEST_MAIN(tst_panIngreso)
#include "tst_panIngreso.moc"
