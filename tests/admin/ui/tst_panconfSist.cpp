#include "admin/ui/PanelUtilidades.h"
#include "admin/ui/panconfSist.h"
#include "core/Configuracion.h"
#include "support/TestSupport.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>

using namespace TestSupport;

class tst_panconfSist : public QObject {
    Q_OBJECT

    // The per-user store as any program reads it (on Windows, the registry).
    static QString guardado(const QString &clave) {
        return Configuracion::almacen(QString())->value(QStringLiteral("Configuracion/") + clave).toString();
    }
    static bool existe(const QString &clave) {
        return Configuracion::almacen(QString())->contains(QStringLiteral("Configuracion/") + clave);
    }

private slots:
    void init() {
        Configuracion::setArchivo(QString());
        Configuracion::almacen(QString())->remove(QStringLiteral("Configuracion"));
        QFile::remove(Configuracion::archivo());
        Mensaje::limpiar();
    }

    void neverSavedOpensEmptyAndAcceptWritesAllSeven() {
        panconfSist w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Configurar el sistema"));
        for (QLineEdit *e :
             {control<QLineEdit>(&w, "txNombreEmpresa"), control<QLineEdit>(&w, "txClaveTributaria"),
              control<QLineEdit>(&w, "txEmail"), control<QLineEdit>(&w, "txServerFTP"),
              control<QLineEdit>(&w, "txUserSMTP"), control<QLineEdit>(&w, "txPassSMTP")}) {
            QVERIFY(e->text().isEmpty());
            QCOMPARE(e->maxLength(), 100);
        }
        QVERIFY(!control<QCheckBox>(&w, "Check1")->isChecked());
        QCOMPARE(control<QLineEdit>(&w, "txPassSMTP")->echoMode(), QLineEdit::Password);
        QCOMPARE(control<QCheckBox>(&w, "Check1")->text(), QStringLiteral("Requiere Autenticación ?"));
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(w.result(), int(QDialog::Accepted));
        for (const char *k :
             {"NombreEmpresa", "CUITEmpresa", "email", "ServerSMTP", "NombreUsuarioAUT", "ContrasenaAUT"}) {
            QVERIFY2(existe(QLatin1String(k)), k);
            QCOMPARE(guardado(QLatin1String(k)), QString());
        }
        QCOMPARE(guardado(QStringLiteral("Autentica")), QStringLiteral("NO"));
#ifndef Q_OS_WIN // the registry keeps each user's keys to that user
        const QFile::Permissions p = QFile::permissions(Configuracion::archivo());
        QVERIFY(p.testFlag(QFile::ReadOwner) && p.testFlag(QFile::WriteOwner));
        QVERIFY(!(p & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)));
#endif
    }

    // On Windows the store is the registry key in which the old program kept its settings: what it left there
    // is read, and what is saved goes there.
    void windowsStoreIsTheOldProgramsKey() {
#ifndef Q_OS_WIN
        QSKIP("solo en Windows");
#else
        QSettings viejo(
            QStringLiteral(
                "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Mirabel!\\Configuracion"),
            QSettings::NativeFormat);
        viejo.setValue(QStringLiteral("NombreEmpresa"), QStringLiteral("Club Atlético Ñandú"));
        viejo.sync();
        QCOMPARE(Configuracion::nombreEmpresa(), QStringLiteral("Club Atlético Ñandú"));
        QVERIFY(Configuracion::escribir(QStringLiteral("email"), QStringLiteral("avisos@ñandú.org")));
        viejo.sync();
        QCOMPARE(viejo.value(QStringLiteral("email")).toString(), QStringLiteral("avisos@ñandú.org"));
#endif
    }

    void roundTripAndEmptiedFieldClears() {
        {
            panconfSist w;
            control<QLineEdit>(&w, "txNombreEmpresa")->setText(QStringLiteral("Club Atlético O'Higgins"));
            control<QLineEdit>(&w, "txClaveTributaria")->setText(QStringLiteral("30-12345678-9"));
            control<QLineEdit>(&w, "txEmail")->setText(QStringLiteral("socios@club.org"));
            control<QLineEdit>(&w, "txServerFTP")->setText(QStringLiteral("smtp.club.org:587"));
            control<QCheckBox>(&w, "Check1")->setChecked(true);
            control<QLineEdit>(&w, "txUserSMTP")->setText(QStringLiteral("socios, tesorería"));
            control<QLineEdit>(&w, "txPassSMTP")->setText(QStringLiteral("clave=secreta;#1"));
            control<QPushButton>(&w, "Command1")->click();
        }
        QCOMPARE(guardado(QStringLiteral("Autentica")), QStringLiteral("SI"));
        QCOMPARE(Configuracion::nombreEmpresa(), QStringLiteral("Club Atlético O'Higgins"));
        {
            panconfSist w;
            QCOMPARE(control<QLineEdit>(&w, "txNombreEmpresa")->text(),
                     QStringLiteral("Club Atlético O'Higgins"));
            QCOMPARE(control<QLineEdit>(&w, "txClaveTributaria")->text(), QStringLiteral("30-12345678-9"));
            QCOMPARE(control<QLineEdit>(&w, "txServerFTP")->text(), QStringLiteral("smtp.club.org:587"));
            QVERIFY(control<QCheckBox>(&w, "Check1")->isChecked());
            QCOMPARE(control<QLineEdit>(&w, "txUserSMTP")->text(), QStringLiteral("socios, tesorería"));
            QCOMPARE(control<QLineEdit>(&w, "txPassSMTP")->text(), QStringLiteral("clave=secreta;#1"));
            control<QLineEdit>(&w, "txClaveTributaria")->clear();
            control<QPushButton>(&w, "Command1")->click();
        }
        QVERIFY(existe(QStringLiteral("CUITEmpresa")));
        QCOMPARE(Configuracion::cuitEmpresa(), QString());
    }

    void lowerCaseSiStaysUncheckedAndIsStoredNo() {
        QVERIFY(Configuracion::escribir(QStringLiteral("Autentica"), QStringLiteral("si")));
        panconfSist w;
        QVERIFY(!control<QCheckBox>(&w, "Check1")->isChecked());
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(guardado(QStringLiteral("Autentica")), QStringLiteral("NO"));
    }

    void cancelWritesNothing() {
        QVERIFY(Configuracion::escribir(QStringLiteral("NombreEmpresa"), QStringLiteral("Antes")));
        panconfSist w;
        control<QLineEdit>(&w, "txNombreEmpresa")->setText(QStringLiteral("Después"));
        control<QLineEdit>(&w, "txEmail")->setText(QStringLiteral("x@y.z"));
        control<QPushButton>(&w, "Command2")->click();
        QCOMPARE(Configuracion::nombreEmpresa(), QStringLiteral("Antes"));
        QVERIFY(!existe(QStringLiteral("email")));
    }

    void longStoredValueIsKeptWhole() {
        const QString largo(140, QLatin1Char('x'));
        QVERIFY(Configuracion::escribir(QStringLiteral("NombreEmpresa"), largo));
        panconfSist w;
        control<QPushButton>(&w, "Command1")->click();
        QCOMPARE(Configuracion::nombreEmpresa(), largo);
    }

    void widerFileIsMadePrivate() {
#ifdef Q_OS_WIN
        QSKIP("en Windows la configuración está en el registro, no en un archivo");
#endif
        QVERIFY(Configuracion::escribir(QStringLiteral("email"), QStringLiteral("a@b.c")));
        QFile::setPermissions(Configuracion::archivo(), QFile::ReadOwner | QFile::WriteOwner |
                                                            QFile::ReadGroup | QFile::ReadOther |
                                                            QFile::ReadUser | QFile::WriteUser);
        panconfSist w;
        control<QPushButton>(&w, "Command1")->click();
        QVERIFY(!(QFile::permissions(Configuracion::archivo()) & (QFile::ReadGroup | QFile::ReadOther)));
    }

    void otherFileInIniFormat() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mirabel.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Configuracion]\nNombreEmpresa=Club del Sur, filial Norte\nemail=avisos@sur.org\n"
                "Autentica=si\n");
        f.close();
        Configuracion::setArchivo(path);
        const Configuracion::Ajustes a = Configuracion::leerTodo();
        Configuracion::setArchivo(QString());
        QCOMPARE(a.nombreEmpresa, QStringLiteral("Club del Sur, filial Norte"));
        QCOMPARE(a.email, QStringLiteral("avisos@sur.org"));
        QCOMPARE(a.autentica, QStringLiteral("si"));
        QCOMPARE(a.serverSMTP, QString());
    }

    // A hand-written file: what follows '=' is the value, commas, ';' and '#' included; a backslash escapes;
    // double quotes around the whole value keep its blanks. It stays so when the program saves the file.
    void handWrittenValuesSurvive_data() {
        QTest::addColumn<QByteArray>("escrito");
        QTest::addColumn<QString>("valor");
        QTest::newRow("coma") << QByteArray("abc,def") << QStringLiteral("abc,def");
        QTest::newRow("punto y coma, numeral") << QByteArray("abc;def#1") << QStringLiteral("abc;def#1");
        QTest::newRow("comienza con #") << QByteArray("#1 ; x") << QStringLiteral("#1 ; x");
        QTest::newRow("barra invertida") << QByteArray(R"(a\\b)") << QStringLiteral(R"(a\b)");
        QTest::newRow("comillas") << QByteArray(R"(\"q\")") << QStringLiteral(R"("q")");
        QTest::newRow("blancos entre comillas") << QByteArray(R"(" a,b ")") << QStringLiteral(" a,b ");
        QTest::newRow("arroba") << QByteArray("@@x") << QStringLiteral("@x");
        QTest::newRow("igual y acentos") << QByteArray("ñandú=€") << QStringLiteral("ñandú=€");
    }

    void handWrittenValuesSurvive() {
        QFETCH(QByteArray, escrito);
        QFETCH(QString, valor);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mirabel.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Configuracion]\nContrasenaAUT=" + escrito + "\nemail=a@b.org\n");
        f.close();
        Configuracion::setArchivo(path);
        QCOMPARE(Configuracion::leer(QStringLiteral("ContrasenaAUT")), valor);
        // Another key saved: the file is rewritten, the hand-written value is not changed.
        QVERIFY(Configuracion::escribir(QStringLiteral("NombreEmpresa"), QStringLiteral("Club")));
        QCOMPARE(Configuracion::leerTodo().contrasenaAUT, valor);
        // Written by the program and read back.
        Configuracion::Ajustes a = Configuracion::leerTodo();
        a.contrasenaAUT = QString();
        QVERIFY(Configuracion::guardarTodo(a));
        a.contrasenaAUT = valor;
        QVERIFY(Configuracion::guardarTodo(a));
        QCOMPARE(Configuracion::leerTodo().contrasenaAUT, valor);
        Configuracion::setArchivo(QString());
    }

    void commandOpensForSupervisorOnly() {
        BaseTemporal db;
        PanelUtilidades panel;
        Module1::NivelUsuario = 2;
        control<QPushButton>(&panel, "Command26")->click(); // a window would block here; nothing opens
        Module1::NivelUsuario = 1;
        bool abierta = false;
        alAbrirModalDe(QStringLiteral("panconfSist"), [&](QWidget *w) {
            abierta = true;
            control<QLineEdit>(w, "txNombreEmpresa")->setText(QStringLiteral("Club Norte"));
            control<QPushButton>(w, "Command1")->click();
        });
        control<QPushButton>(&panel, "Command26")->click();
        QVERIFY(abierta);
        QCOMPARE(Configuracion::nombreEmpresa(), QStringLiteral("Club Norte"));
        Module1::NivelUsuario = 0;
    }
};

MIRABEL_TEST_MAIN(tst_panconfSist)
#include "tst_panconfSist.moc"
