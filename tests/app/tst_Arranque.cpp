#include "app/Main.h"
#include "app/Module1.h"
#include "app/panIngreso.h"
#include "app/panPrimerUsuario.h"
#include "app/panPrin.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "support/TestSupport.h"
#include "ui/Mensaje.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>

using namespace TestSupport;

// The whole start: splash, database, first supervisor, login, main window.
class tst_Arranque : public QObject {
    Q_OBJECT
private slots:
    void init() {
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
};

MIRABEL_TEST_MAIN(tst_Arranque)
#include "tst_Arranque.moc"
