#include "app/Main.h"
#include "app/Module1.h"
#include "app/panIngreso.h"
#include "app/panPrimerUsuario.h"
#include "app/panPrin.h"
#include "data/Backup.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "support/TestSupport.h"
#include "ui/Mensaje.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

using namespace TestSupport;

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
        QElapsedTimer clock;
        qint64 splashClosedAt = -1;
        alAbrirModalDe(QStringLiteral("portada"), [&](QWidget *) {
            // The splash closes by itself; the next window only comes after it.
            alAbrirModalDe(QStringLiteral("panPrimerUsuario"), [&](QWidget *w) {
                splashClosedAt = clock.elapsed();
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
        });
        clock.start();
        int salida = -1;
        panPrin *w = Main::arrancar(path, &salida);
        QVERIFY(w);
        QVERIFY(splashClosedAt >= 1900);
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
