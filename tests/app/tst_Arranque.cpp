#include "app/Main.h"
#include "app/Module1.h"
#include "app/panIngreso.h"
#include "app/panPrimerUsuario.h"
#include "app/panPrin.h"
#include "app/portada.h"
#include "data/Backup.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "support/TestSupport.h"
#include "ui/Mensaje.h"

#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using namespace TestSupport;

namespace {
// Ends the splash through its own timer, so these tests do not sit through two seconds of real time.
void saltarPortada() {
    alAbrirModalDe(QStringLiteral("portada"), [](QWidget *w) {
        QMetaObject::invokeMethod(static_cast<portada *>(w)->Timer1, "timeout", Qt::QueuedConnection);
    });
}
} // namespace

// The whole start: splash, database, first supervisor, login, main window.
class tst_Arranque : public QObject {
    Q_OBJECT
    QTemporaryDir m_copias;
private slots:
    void init() {
        // The day's first start writes a copy: into this run's own folder.
        Backup::setFolder(m_copias.path());
        Mensaje::limpiar();
        Module1::NivelUsuario = 0;
        Clock::setFixed(QDate(2009, 3, 5));
    }
    void cleanup() { Database::close(); }

    void newDatabaseAsksForTheFirstSupervisorThenLogsIn() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nuevo/BASE.db"));
        bool splashClosedFirst = false;
        alAbrirModalDe(QStringLiteral("portada"), [&](QWidget *splash) {
            // The splash stays for its two-second timer; the next window comes only once it has run out.
            auto *s = static_cast<portada *>(splash);
            QVERIFY(s->Timer1->isActive());
            QVERIFY(s->Timer1->isSingleShot());
            QCOMPARE(s->Timer1->interval(), 2000);
            QCoreApplication::processEvents();
            QCOMPARE(QApplication::activeModalWidget(), splash);
            QPointer<QWidget> abierta(splash);
            alAbrirModalDe(QStringLiteral("panPrimerUsuario"), [&splashClosedFirst, abierta](QWidget *w) {
                splashClosedFirst = !abierta || !abierta->isVisible();
                auto *f = static_cast<panPrimerUsuario *>(w);
                f->txtNombreCompleto->setText(QStringLiteral("Marta Núñez"));
                f->txtUsuario->setText(QStringLiteral("marta"));
                f->txtContrasena->setText(QStringLiteral("clave1"));
                f->txtRepetir->setText(QStringLiteral("clave2"));
                f->Command1->click(); // mismatch: refused, window stays
                QCOMPARE(Mensaje::mostrados().size(), 1);
                QCOMPARE(Mensaje::mostrados().at(0).texto,
                         QStringLiteral("Error, las contraseñas no coinciden!"));
                QVERIFY(f->isVisible());
                f->txtRepetir->setText(QStringLiteral("clave1"));
                alAbrirModalDe(QStringLiteral("panIngreso"), [](QWidget *w) {
                    auto *l = static_cast<panIngreso *>(w);
                    l->Text1->setText(QStringLiteral("MARTA")); // other capitals still match
                    l->Text2->setText(QStringLiteral("clave1"));
                    l->Command1->click();
                });
                f->Command1->click();
            });
            // The timer's own timeout, now rather than in two seconds, from the splash's event loop.
            QVERIFY(QMetaObject::invokeMethod(s->Timer1, "timeout", Qt::QueuedConnection));
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
            QVERIFY(Database::open(path, Database::Mode::CreateIfMissing, &err));
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
                 QStringLiteral("No existe el archivo %1. ¿Crear una base nueva?").arg(path));
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
            QVERIFY(Database::open(path, Database::Mode::CreateIfMissing, &err));
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
};

MIRABEL_TEST_MAIN(tst_Arranque)
#include "tst_Arranque.moc"
