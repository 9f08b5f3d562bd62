#include "app/Main.h"
#include "app/panIngreso.h"
#include "app/panPrimerUsuario.h"
#include "app/panPrin.h"
#include "app/portada.h"
#include "core/Clock.h"
#include "core/Configuracion.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/SqlEngine.h"
#include "support/TestSupport.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/PedirContrasena.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTimer>
#include <memory>

using namespace TestSupport;

namespace {
// Ends the splash through its own timer, so these tests do not sit through two seconds of real time.
void saltarPortada() {
    alAbrirModalDe(QStringLiteral("portada"), [](QWidget *w) {
        QMetaObject::invokeMethod(control<QTimer>(w, "Timer1"), "timeout", Qt::QueuedConnection);
    });
}

// Answers the next login window as ana, the user the server tests create.
void entrarComoAna() {
    alAbrirModalDe(QStringLiteral("panIngreso"), [](QWidget *w) {
        auto *l = static_cast<panIngreso *>(w);
        control<QLineEdit>(l, "Text1")->setText(QStringLiteral("ana"));
        control<QLineEdit>(l, "Text2")->setText(QStringLiteral("x"));
        control<QPushButton>(l, "Command1")->click();
    });
}

} // namespace

// The whole start: splash, database, first supervisor, login, main window.
class tst_Arranque : public QObject {
    Q_OBJECT
    QTemporaryDir m_copias;
private slots:
    void init() {
        // Each test starts with settings of its own: nothing remembered.
        Configuracion::setArchivo(m_copias.filePath(
            QStringLiteral("ajustes-%1.ini").arg(QString::fromLatin1(QTest::currentTestFunction()))));
        // The day's first start writes a copy: into this run's own folder.
        Backup::setFolder(m_copias.path());
        Mensaje::limpiar();
        Module1::NivelUsuario = 0;
        Clock::setFixed(QDate(2009, 3, 5));
    }
    void cleanup() {
        Database::close();
        Configuracion::setArchivo(QString());
    }

    void newDatabaseAsksForTheFirstSupervisorThenLogsIn() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nuevo/BASE.db"));
        bool splashClosedFirst = false;
        alAbrirModalDe(QStringLiteral("portada"), [&](QWidget *splash) {
            // The splash stays for its two-second timer; the next window comes only once it has run out.
            auto *s = static_cast<portada *>(splash);
            QVERIFY(control<QTimer>(s, "Timer1")->isActive());
            QVERIFY(control<QTimer>(s, "Timer1")->isSingleShot());
            QCOMPARE(control<QTimer>(s, "Timer1")->interval(), 2000);
            QCoreApplication::processEvents();
            QCOMPARE(QApplication::activeModalWidget(), splash);
            QPointer<QWidget> abierta(splash);
            alAbrirModalDe(QStringLiteral("panPrimerUsuario"), [&splashClosedFirst, abierta](QWidget *w) {
                splashClosedFirst = !abierta || !abierta->isVisible();
                auto *f = static_cast<panPrimerUsuario *>(w);
                control<QLineEdit>(f, "txtNombreCompleto")->setText(QStringLiteral("Marta Núñez"));
                control<QLineEdit>(f, "txtUsuario")->setText(QStringLiteral("marta"));
                control<QLineEdit>(f, "txtContrasena")->setText(QStringLiteral("clave1"));
                control<QLineEdit>(f, "txtRepetir")->setText(QStringLiteral("clave2"));
                control<QPushButton>(f, "Command1")->click(); // mismatch: refused, window stays
                QCOMPARE(Mensaje::mostrados().size(), 1);
                QCOMPARE(Mensaje::mostrados().at(0).texto,
                         QStringLiteral("Error, las contraseñas no coinciden!"));
                QVERIFY(f->isVisible());
                control<QLineEdit>(f, "txtRepetir")->setText(QStringLiteral("clave1"));
                alAbrirModalDe(QStringLiteral("panIngreso"), [](QWidget *w) {
                    auto *l = static_cast<panIngreso *>(w);
                    control<QLineEdit>(l, "Text1")
                        ->setText(QStringLiteral("MARTA")); // other capitals still match
                    control<QLineEdit>(l, "Text2")->setText(QStringLiteral("clave1"));
                    control<QPushButton>(l, "Command1")->click();
                });
                control<QPushButton>(f, "Command1")->click();
            });
            // The timer's own timeout, now rather than in two seconds, from the splash's event loop.
            QVERIFY(QMetaObject::invokeMethod(control<QTimer>(s, "Timer1"), "timeout", Qt::QueuedConnection));
        });
        int salida = -1;
        panPrin *w = Main::arrancar(path, &salida);
        QVERIFY(w);
        QVERIFY(splashClosedFirst);
        QCOMPARE(Module1::NivelUsuario, qint16(1));
        QVERIFY(w->isVisible());
        delete w;
    }

    void onlyTheExactAnswerLetsIn() {
        QVERIFY(Main::ingresoAceptado(QStringLiteral("SI")));
        QVERIFY(!Main::ingresoAceptado(QStringLiteral("si")));
        QVERIFY(!Main::ingresoAceptado(QStringLiteral("SI ")));
        QVERIFY(!Main::ingresoAceptado(QStringLiteral("NO")));
    }

    void closingTheLoginEndsTheProgram() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("BASE.db"));
        {
            QString err;
            QVERIFY_HECHO(Database::open(path, Database::Mode::CreateIfMissing));
            nuevoUsuario(QStringLiteral("ana"), QStringLiteral("x"), true, false);
            Database::close();
        }
        saltarPortada();
        alAbrirModalDe(QStringLiteral("panIngreso"),
                       [](QWidget *w) { static_cast<panIngreso *>(w)->close(); });
        int salida = -1;
        QVERIFY(!Main::arrancar(path, &salida));
        QCOMPARE(salida, 0);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(Module1::NivelUsuario, qint16(0));
    }

    void unreadableDatabaseStopsAfterTheSplash() {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("BASE.db")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("no soy una base de datos, solo texto");
        f.close();
        int salida = 0;
        saltarPortada();
        QVERIFY(!Main::arrancar(f.fileName(), &salida));
        QCOMPARE(salida, 1);
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Error"));
    }
    void namedFileThatDoesNotExistIsCreatedOnlyWhenTheUserAgrees() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("BASE-mal-escrito.db"));
        Mensaje::encolarRespuesta(QMessageBox::No);
        int salida = -1;
        saltarPortada();
        QVERIFY(!Main::arrancar(path, &salida, true));
        QCOMPARE(salida, 0);
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).texto,
                 QStringLiteral("No existe el archivo %1. ¿Crear una base nueva?")
                     .arg(QDir::toNativeSeparators(path)));
        QCOMPARE(Mensaje::mostrados().at(0).botones, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(!QFile::exists(path));
        QVERIFY(Database::path().isEmpty());

        // A Yes creates it and goes on to the first supervisor.
        Mensaje::limpiar();
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        saltarPortada();
        alAbrirModalDe(QStringLiteral("panPrimerUsuario"), [](QWidget *w) { w->close(); });
        QVERIFY(!Main::arrancar(path, &salida, true));
        QVERIFY(QFile::exists(path));
        QCOMPARE(Database::path(), path);
    }

    void dayFirstStartKeepsACopy() {
        QTemporaryDir dir, copias;
        Backup::setFolder(copias.path());
        const QString path = dir.filePath(QStringLiteral("BASE.db"));
        {
            QString err;
            QVERIFY_HECHO(Database::open(path, Database::Mode::CreateIfMissing));
            nuevoUsuario(QStringLiteral("ana"), QStringLiteral("x"), true, false);
            Database::close();
        }
        for (int vez = 0; vez < 2; ++vez) {
            saltarPortada();
            alAbrirModalDe(QStringLiteral("panIngreso"),
                           [](QWidget *w) { static_cast<panIngreso *>(w)->close(); });
            int salida = -1;
            QVERIFY(!Main::arrancar(path, &salida));
            Database::close();
        }
        QCOMPARE(QDir(copias.path()).entryList({QStringLiteral("Mirabel-*.db")}, QDir::Files).size(), 1);
    }

    void theDatabaseToOpenIsTheNamedOneElseTheServerLastUsed() {
        const QString servidor = QStringLiteral("postgresql://ana@club.example:5433/socios");
        QCOMPARE(Main::baseAAbrir(QString()), Database::defaultPath());
        QCOMPARE(Main::baseAAbrir(servidor), servidor);
        QCOMPARE(Main::baseAAbrir(QStringLiteral("club/BASE.db")),
                 QDir::current().absoluteFilePath("club/BASE.db"));
        // Files are not remembered; a server is, and a start without a name opens it.
        Main::recordarBase(QDir::current().absoluteFilePath("club/BASE.db"));
        QCOMPARE(Main::baseAAbrir(QString()), Database::defaultPath());
        Main::recordarBase(servidor);
        QCOMPARE(Configuracion::leer(QStringLiteral("BaseServidor")), servidor);
        QCOMPARE(Main::baseAAbrir(QString()), servidor);
        // A file named explicitly is opened that time; the server stays remembered.
        const QString otro = QDir::temp().absoluteFilePath(QStringLiteral("otro.db"));
        QCOMPARE(Main::baseAAbrir(otro), otro);
        QCOMPARE(Main::baseAAbrir(QString()), servidor);
        // What a hand-edited settings file holds there is only used when it is a server's address.
        QVERIFY(Configuracion::escribir(QStringLiteral("BaseServidor"), QStringLiteral("BASE.db")));
        QCOMPARE(Main::baseAAbrir(QString()), Database::defaultPath());
    }

    void serverDatabaseStartsWithoutFileChecksAndIsRemembered() {
        if (!enServidor())
            QSKIP("necesita el servidor de pruebas");
        QTemporaryDir dir;
        const QString archivo = dir.filePath(QStringLiteral("BASE.db"));
        {
            QString err;
            QVERIFY_HECHO(Database::open(archivo, Database::Mode::CreateIfMissing));
            nuevoUsuario(QStringLiteral("ana"), QStringLiteral("x"), true, false);
            Database::close();
        }
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("ana"), QStringLiteral("x"), true, false);
        Database::close();
        const QString url = db.path();
        saltarPortada();
        entrarComoAna();
        int salida = -1;
        // Named as the user named it: no question about a missing file, no file made in the working folder.
        std::unique_ptr<panPrin> w(Main::arrancar(url, &salida, true));
        QVERIFY(w);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(Database::path(), url);
        QVERIFY(!QFile::exists(QDir::current().absoluteFilePath(url)));
        QCOMPARE(Configuracion::leer(QStringLiteral("BaseServidor")), url);
        QCOMPARE(Main::baseAAbrir(QString()), url);

        // The main window's opening of a file uses it and forgets nothing; opening the server again from
        // there keeps it remembered.
        QVERIFY(Configuracion::escribir(QStringLiteral("BaseServidor"), QString()));
        entrarComoAna();
        QVERIFY(w->abrirBase(archivo));
        QCOMPARE(Database::path(), archivo);
        QCOMPARE(Configuracion::leer(QStringLiteral("BaseServidor")), QString());
        entrarComoAna();
        QVERIFY(w->abrirBase(url));
        QCOMPARE(Database::path(), url);
        QCOMPARE(Configuracion::leer(QStringLiteral("BaseServidor")), url);
        // A server the user did not get into is not remembered.
        QVERIFY(Configuracion::escribir(QStringLiteral("BaseServidor"), QString()));
        alAbrirModalDe(QStringLiteral("panIngreso"), [](QWidget *l) { l->close(); });
        QVERIFY(!w->abrirBase(url));
        QCOMPARE(Configuracion::leer(QStringLiteral("BaseServidor")), QString());
        QCOMPARE(Database::path(), url); // the one open before, again
    }

    void serverPasswordIsAskedForAndNeverStored() {
        if (!enServidor())
            QSKIP("necesita el servidor de pruebas");
        QTemporaryDir dir;
        const QString archivo = dir.filePath(QStringLiteral("BASE.db"));
        {
            QString err;
            QVERIFY_HECHO(Database::open(archivo, Database::Mode::CreateIfMissing));
            nuevoUsuario(QStringLiteral("ana"), QStringLiteral("x"), true, false);
            Database::close();
        }
        BaseTemporal db;
        nuevoUsuario(QStringLiteral("ana"), QStringLiteral("x"), true, false);
        // A user of the server with a password of its own, allowed into this database only.
        const QString rol = QStringLiteral("mirabel_clave_%1").arg(QCoreApplication::applicationPid());
        const QString clave = QStringLiteral("s3creta-del-club");
        for (const QString &sql :
             {QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(rol, clave),
              QStringLiteral("GRANT ALL ON ALL TABLES IN SCHEMA public TO %1").arg(rol),
              QStringLiteral("GRANT ALL ON ALL SEQUENCES IN SCHEMA public TO %1").arg(rol)})
            QVERIFY2(QSqlQuery(Database::db()).exec(sql), qPrintable(sql)); // not preparable statements
        auto direccion = SqlEngine::parseServerUrl(db.path());
        QVERIFY(direccion);
        direccion->user = rol;
        const QString url = direccion->display();
        const auto borrarRol = qScopeGuard([&] {
            QString err;
            Database::close();
            if (TestSupport::hecho(Database::open(db.path(), Database::Mode::MustExist), &err)) {
                QSqlQuery(Database::db()).exec(QStringLiteral("DROP OWNED BY %1").arg(rol));
                QSqlQuery(Database::db()).exec(QStringLiteral("DROP ROLE %1").arg(rol));
            }
        });
        Database::close();
        // libpq has no password to give: none in the environment, no password file.
        const Entorno sinClave("PGPASSWORD", QByteArray());
        const Entorno sinArchivo("PGPASSFILE",
                                 m_copias.filePath(QStringLiteral("no-hay.pgpass")).toLocal8Bit());

        // A wrong answer is refused and asked again, saying so; cancelling then ends the start quietly.
        QStringList pedidos;
        saltarPortada();
        alAbrirModalDe(QStringLiteral("PedirContrasena"), [&](QWidget *w) {
            auto *p = static_cast<PedirContrasena *>(w);
            pedidos << control<QLabel>(p, "lblMensaje")->text();
            QCOMPARE(p->windowTitle(), QStringLiteral("Contraseña del servidor"));
            QCOMPARE(control<QLineEdit>(p, "txtContrasena")->echoMode(), QLineEdit::Password);
            alAbrirModalDe(QStringLiteral("PedirContrasena"), [&](QWidget *w2) {
                auto *p2 = static_cast<PedirContrasena *>(w2);
                pedidos << control<QLabel>(p2, "lblMensaje")->text();
                control<QPushButton>(p2, "Command2")->click();
            });
            control<QLineEdit>(p, "txtContrasena")->setText(QStringLiteral("equivocada"));
            control<QPushButton>(p, "Command1")->click();
        });
        int salida = -1;
        QVERIFY(!Main::arrancar(url, &salida, true));
        QCOMPARE(salida, 0);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QVERIFY(Database::path().isEmpty());
        QCOMPARE(pedidos,
                 QStringList({QStringLiteral("El servidor pide una contraseña para abrir %1.").arg(url),
                              QStringLiteral("El servidor no aceptó la contraseña para %1. Escríbala de "
                                             "nuevo.")
                                  .arg(url)}));
        QCOMPARE(Configuracion::leer(QStringLiteral("BaseServidor")), QString());

        // The right one opens the database and the program goes on to the login.
        saltarPortada();
        alAbrirModalDe(QStringLiteral("PedirContrasena"), [&](QWidget *w) {
            auto *p = static_cast<PedirContrasena *>(w);
            control<QLineEdit>(p, "txtContrasena")->setText(clave);
            control<QPushButton>(p, "Command1")->click();
        });
        entrarComoAna();
        std::unique_ptr<panPrin> w(Main::arrancar(url, &salida, true));
        QVERIFY(w);
        QCOMPARE(Database::path(), url);
        // Only the address is remembered: the password is nowhere in the settings.
        QCOMPARE(Configuracion::leer(QStringLiteral("BaseServidor")), url);
        QFile ajustes(Configuracion::archivo());
        QVERIFY(ajustes.open(QIODevice::ReadOnly));
        QVERIFY(!ajustes.readAll().contains(clave.toUtf8()));

        // The main window's opening of another server asks too; cancelling there keeps the database that
        // was open, without a message.
        entrarComoAna();
        QVERIFY(w->abrirBase(archivo));
        direccion->host = QStringLiteral("127.0.0.1");
        bool preguntado = false;
        alAbrirModalDe(QStringLiteral("PedirContrasena"), [&](QWidget *p) {
            preguntado = true;
            control<QPushButton>(p, "Command2")->click();
        });
        QVERIFY(!w->abrirBase(direccion->display()));
        QVERIFY(preguntado);
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(Database::path(), archivo);
        QCOMPARE(Configuracion::leer(QStringLiteral("BaseServidor")), url);
    }

    void rememberedServerOutOfReachSaysHowToOpenAFile() {
        // Nothing listens on port 1: the refusal is immediate.
        const QString servidor = QStringLiteral("postgresql://ana@127.0.0.1:1/club");
        QVERIFY(Configuracion::escribir(QStringLiteral("BaseServidor"), servidor));
        saltarPortada();
        int salida = -1;
        QVERIFY(!Main::arrancar(Main::baseAAbrir(QString()), &salida));
        QCOMPARE(salida, 1);
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QVERIFY2(Mensaje::mostrados().at(0).texto.contains(servidor),
                 qPrintable(Mensaje::mostrados().at(0).texto));
        QVERIFY(Mensaje::mostrados().at(0).texto.contains(QStringLiteral("--database ARCHIVO")));
        // It stays remembered: the server may just be down for a while.
        QCOMPARE(Main::baseAAbrir(QString()), servidor);
        QVERIFY(Database::path().isEmpty());
    }
};

MIRABEL_TEST_MAIN(tst_Arranque)
#include "tst_Arranque.moc"
