#include "admin/ui/PanelUtilidades.h"
#include "app/panPrin.h"
#include "db/Backup.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "support/TestSupport.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

using namespace TestSupport;

// "Copia de seguridad..." and "Restaurar copia..." in Utilidades, driven as a user does.
class tst_Copias : public QObject {
    Q_OBJECT

    // Answers the next file dialog with file, or cancels it when file is empty. *filtro gets the kind of
    // file it offered first.
    static void elegir(const QString &file, bool *visto = nullptr, QString *filtro = nullptr) {
        alAbrirModalDe(QStringLiteral("dlgArchivoCopia"), [file, visto, filtro](QWidget *w) {
            if (visto)
                *visto = true;
            auto *d = static_cast<QFileDialog *>(w);
            if (filtro)
                *filtro = d->selectedNameFilter();
            if (file.isEmpty()) {
                d->reject();
                return;
            }
            // Typed whole into the name box, as a user may: the folder the dialog shows does not matter.
            auto *nombre = d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(nombre);
            nombre->setText(file);
            QMetaObject::invokeMethod(d, "accept");
        });
    }

private slots:
    void init() {
        Mensaje::limpiar();
        Module1::NivelUsuario = 1;
    }

    void backupForLevelsOneAndTwo() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        panPrin w;
        w.show();
        for (int nivel : {1, 2}) {
            Module1::NivelUsuario = qint16(nivel);
            Mensaje::limpiar();
            // A folder of its own: the dialog has no other file to offer in place of the one typed.
            QDir(dir.path()).mkdir(QString::number(nivel));
            // The open database's kind: a file's copy, or a server's archive.
            const QString destino =
                dir.filePath(QStringLiteral("%1/copia.%2").arg(nivel).arg(Backup::extension()));
            bool visto = false;
            elegir(destino, &visto);
            control<QPushButton>(&w, "cmdCopiaSeguridad")->click();
            QVERIFY(visto);
            QVERIFY2(QFile::exists(destino), qPrintable(destino));
            Backup::Contents c;
            QString error;
            QVERIFY2(TestSupport::hecho(Backup::inspect(destino), &c, &error), qPrintable(error));
            QCOMPARE(c.members, 1);
            QCOMPARE(Mensaje::mostrados().size(), 1);
            QCOMPARE(
                Mensaje::mostrados().at(0).texto,
                QStringLiteral("Copia de seguridad escrita en %1").arg(QDir::toNativeSeparators(destino)));
        }
        // Cancelling the dialog writes nothing and says nothing.
        Mensaje::limpiar();
        elegir(QString());
        control<QPushButton>(&w, "cmdCopiaSeguridad")->click();
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
        // Level 3: nothing at all.
        Module1::NivelUsuario = 3;
        control<QPushButton>(&w, "cmdCopiaSeguridad")->click();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
    }

    void restoreForTheSupervisorAlone() {
        BaseTemporal base;
        const int plan = nuevoPlan(QStringLiteral("General"));
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        QTemporaryDir dir;
        const QString copia = dir.filePath(QStringLiteral("Mirabel-20090301-093000.") + Backup::extension());
        QString error;
        QVERIFY_HECHO(Backup::copyTo(copia));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"), plan);
        panPrin w;
        w.show();
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->model()->rowCount(), 2);

        // Level 2: nothing.
        Module1::NivelUsuario = 2;
        control<QPushButton>(&w, "cmdRestaurarCopia")->click();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);

        // The supervisor sees what the copy holds, and a No keeps everything.
        Module1::NivelUsuario = 1;
        elegir(copia);
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(&w, "cmdRestaurarCopia")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        const Mensaje::Mostrado pregunta = Mensaje::mostrados().at(0);
        QCOMPARE(pregunta.titulo, QStringLiteral("Atención"));
        QVERIFY2(
            pregunta.texto.contains(QStringLiteral("es del 01/03/2009 09:30 y tiene 1 socio, 0 cuotas y 0 "
                                                   "movimientos de caja")),
            qPrintable(pregunta.texto));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
        QVERIFY(!QDir(base.copias()).exists() || QDir(base.copias()).isEmpty());

        // A Yes keeps the current file in copias/, restores, reopens and refreshes the lists.
        Mensaje::limpiar();
        elegir(copia);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(&w, "cmdRestaurarCopia")->click();
        QCOMPARE(Mensaje::mostrados().size(), 2);
        QVERIFY2(Mensaje::mostrados().at(1).texto.startsWith(
                     QStringLiteral("Copia restaurada. Los datos anteriores quedaron guardados en ")),
                 qPrintable(Mensaje::mostrados().at(1).texto));
        QVERIFY(Database::db().isOpen());
        QCOMPARE(Database::path(), enServidor() ? base.path() : QFileInfo(base.path()).absoluteFilePath());
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QCOMPARE(control<DataGrid>(&w, "DBGrid1")->dataControl()->model()->rowCount(), 1);
        const QString guardada = Backup::latest();
        QVERIFY(!guardada.isEmpty());
        Backup::Contents c;
        QVERIFY(TestSupport::hecho(Backup::inspect(guardada), &c, &error));
        QCOMPARE(c.members, 2);
    }

    void restoreOffersThisDatabasesCopiesAndAsksBeforeAnothers() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        const QString propia = Schema::identity(Database::db());
        // Another club's copy, in the same folder as this one's.
        QTemporaryDir dir;
        const QString path = Database::path();
        Database::close();
        QString nombre, error;
        const QString otra =
            enServidor() ? nuevaBaseServidorVacia(&nombre) : dir.filePath(QStringLiteral("otra.db"));
        QVERIFY_HECHO(Database::open(otra, Database::Mode::CreateIfMissing));
        nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Luz"));
        nuevoAfiliado(QStringLiteral("Núñez"), QStringLiteral("Eva"));
        QString copia;
        QVERIFY2(TestSupport::hecho(Backup::automatic(), &copia, &error), qPrintable(error));
        Database::close();
        borrarBaseServidor(nombre);
        QVERIFY_HECHO(Database::open(path, Database::Mode::MustExist));
        panPrin w;
        w.show();

        // The dialog offers this database's copies; the other one, picked anyway, is named as another's
        // and a No leaves everything as it was.
        QString filtro;
        elegir(copia, nullptr, &filtro);
        Mensaje::encolarRespuesta(QMessageBox::No);
        control<QPushButton>(&w, "cmdRestaurarCopia")->click();
        QCOMPARE(
            filtro,
            QStringLiteral("Copias de esta base (Mirabel-%1-*.%2)").arg(propia.left(8), Backup::extension()));
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QVERIFY2(Mensaje::mostrados().at(0).texto.contains(QStringLiteral("es de otra base de datos")),
                 qPrintable(Mensaje::mostrados().at(0).texto));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);

        // Yes to both questions: restored, and the database is still this one.
        Mensaje::limpiar();
        elegir(copia);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(&w, "cmdRestaurarCopia")->click();
        QCOMPARE(Mensaje::mostrados().size(), 3);
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 2);
        QCOMPARE(Schema::identity(Database::db()), propia);
    }

    void restoreRefusesAFileThatIsNotACopy() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        QFile texto(dir.filePath(QStringLiteral("notas.db")));
        QVERIFY(texto.open(QIODevice::WriteOnly));
        texto.write("no es una copia");
        texto.close();
        panPrin w;
        w.show();
        elegir(texto.fileName());
        control<QPushButton>(&w, "cmdRestaurarCopia")->click();
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Error"));
        QVERIFY(Mensaje::mostrados().at(0).texto.contains(QStringLiteral("no es una copia de Mirabel")));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
    }

    void restoreRefusesACopyOfTheOtherKindBeforeAsking() {
        BaseTemporal base;
        nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"));
        QTemporaryDir dir;
        // On a server, a file's copy; on a file, the start of a server's archive.
        QString otra;
        if (enServidor()) {
            otra = dir.filePath(QStringLiteral("Mirabel-20090301-093000.db"));
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("otra"));
            db.setDatabaseName(otra);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral(R"(CREATE TABLE "Afiliados" ("idAfiliado" INTEGER PRIMARY KEY))")));
            QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = 2")));
            q = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("otra"));
        } else {
            otra = dir.filePath(QStringLiteral("Mirabel-20090301-093000.dump"));
            QFile f(otra);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray("PGDMP\x01\x0e\x00", 8) + QByteArray(200, 'x'));
        }
        panPrin w;
        w.show();
        elegir(otra);
        control<QPushButton>(&w, "cmdRestaurarCopia")->click();
        // One message, the error: no question is asked about a copy that cannot go there.
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Error"));
        QVERIFY2(Mensaje::mostrados().at(0).texto.contains(QStringLiteral("no se puede restaurar")),
                 qPrintable(Mensaje::mostrados().at(0).texto));
        QCOMPARE(contar(QStringLiteral(R"(SELECT COUNT(*) FROM "Afiliados")")), 1);
        QVERIFY(!QDir(base.copias()).exists() || QDir(base.copias()).isEmpty());
    }
};

MIRABEL_TEST_MAIN(tst_Copias)
#include "tst_Copias.moc"
