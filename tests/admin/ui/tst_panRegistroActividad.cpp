#include "admin/ui/PanelUtilidades.h"
#include "admin/ui/panRegistroActividad.h"
#include "core/Sesion.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "reports/ReportData.h"
#include "reports/ReportDocument.h"
#include "support/TestSupport.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Module1.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>

using namespace TestSupport;
using A = Actividad::Accion;

// The activity log's window: for the supervisor only; the list and its print-out show the same entries,
// newest first, for the days, user and action chosen.
class tst_panRegistroActividad : public QObject {
    Q_OBJECT

    static void entrada(const QDate &fecha, const QString &usuario, A accion, const QString &objeto) {
        QSqlQuery q(Database::db());
        q.prepare(QStringLiteral(R"(INSERT INTO "RegistroActividad" ("Fecha", "Hora", "Usuario", "Nivel",
                                    "Accion", "Objeto") VALUES (?, '10:00:00', ?, 1, ?, ?))"));
        for (const QVariant &v : QVariantList{fecha.toString(Qt::ISODate), usuario, int(accion), objeto})
            q.addBindValue(v);
        QVERIFY(q.exec());
    }

    static QStringList objetos(DataGrid *grilla) {
        QStringList out;
        auto *m = grilla->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 6).data().toString();
        return out;
    }

private slots:
    void soloElSupervisorLoAbre_data() {
        QTest::addColumn<int>("nivel");
        QTest::addColumn<bool>("abre");
        QTest::newRow("supervisor") << 1 << true;
        QTest::newRow("administrativo") << 2 << false;
        QTest::newRow("otro") << 3 << false;
    }
    void soloElSupervisorLoAbre() {
        QFETCH(int, nivel);
        QFETCH(bool, abre);
        BaseTemporal db;
        PanelUtilidades panel;
        Module1::NivelUsuario = qint16(nivel);
        bool abierta = false;
        QTimer::singleShot(0, this, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                abierta = w->objectName() == QLatin1String("panRegistroActividad");
                w->close();
            }
        });
        control<QPushButton>(&panel, "cmdRegistroActividad")->click();
        QCoreApplication::processEvents();
        QCOMPARE(abierta, abre);
    }

    void listaEImprimeLoElegido_data() {
        QTest::addColumn<QDate>("desde"); // invalid: as the window opens (the last 30 days)
        QTest::addColumn<QDate>("hasta");
        QTest::addColumn<QString>("usuario"); // chosen from the list; empty: "(Todos)"
        QTest::addColumn<int>("accion");      // 0: "(Todas)"
        QTest::addColumn<QStringList>("esperados");
        QTest::newRow("al abrir") << QDate() << QDate() << QString() << 0
                                  << QStringList{"e5", "e4", "e3", "e2"};
        QTest::newRow("un usuario") << QDate() << QDate() << QStringLiteral("ana") << 0
                                    << QStringList{"e5", "e2"};
        // Only in the log: the command line's name is offered too.
        QTest::newRow("la consola") << QDate() << QDate() << QStringLiteral("consola:root") << 0
                                    << QStringList{"e4"};
        QTest::newRow("una acción") << QDate() << QDate() << QString() << int(A::AfiliadoAlta)
                                    << QStringList{"e5", "e3"};
        QTest::newRow("otros días") << QDate(2009, 1, 1) << QDate(2009, 2, 20) << QString() << 0
                                    << QStringList{"e2", "e1"};
    }
    void listaEImprimeLoElegido() {
        QFETCH(QDate, desde);
        QFETCH(QDate, hasta);
        QFETCH(QString, usuario);
        QFETCH(int, accion);
        QFETCH(QStringList, esperados);
        BaseTemporal db; // today: 5 March 2009
        entrada(QDate(2009, 1, 10), QStringLiteral("ana"), A::Pago, QStringLiteral("e1"));
        entrada(QDate(2009, 2, 20), QStringLiteral("ana"), A::Pago, QStringLiteral("e2"));
        entrada(QDate(2009, 3, 1), QStringLiteral("luis"), A::AfiliadoAlta, QStringLiteral("e3"));
        entrada(QDate(2009, 3, 1), QStringLiteral("consola:root"), A::Emision, QStringLiteral("e4"));
        entrada(QDate(2009, 3, 5), QStringLiteral("ana"), A::AfiliadoAlta, QStringLiteral("e5"));

        panRegistroActividad w;
        if (desde.isValid()) {
            control<DatePicker>(&w, "dtDesde")->setDate(desde);
            control<DatePicker>(&w, "dtHasta")->setDate(hasta);
        }
        auto *usuarios = control<QComboBox>(&w, "cboUsuario");
        if (!usuario.isEmpty()) {
            QVERIFY2(usuarios->findText(usuario) > 0, qPrintable(usuario));
            usuarios->setCurrentIndex(usuarios->findText(usuario));
        }
        auto *acciones = control<QComboBox>(&w, "cboAccion");
        if (accion)
            acciones->setCurrentText(Actividad::nombre(A(accion)));
        w.show();
        // Enter searches.
        QTest::keyClick(usuarios->lineEdit(), Qt::Key_Return);
        QCOMPARE(objetos(control<DataGrid>(&w, "DBGrid1")), esperados);
        captura(&w, QStringLiteral("panRegistroActividad"));

        Actividad::Filtro f{desde.isValid() ? desde : QDate(2009, 2, 3),
                            hasta.isValid() ? hasta : QDate(2009, 3, 5), usuario,
                            accion ? std::optional(A(accion)) : std::nullopt};
        ReportDocument doc;
        ReportError error;
        QVERIFY2(doc.build(QStringLiteral("actividad.rpt"), panRegistroActividad::formula(f), &error),
                 qPrintable(error.message));
        QStringList impresos;
        for (const QString &t : doc.pageTexts(0))
            if (esperados.contains(t) || QStringList{"e1", "e2", "e3", "e4", "e5"}.contains(t))
                impresos << t;
        QCOMPARE(impresos, esperados);
    }
};

MIRABEL_TEST_MAIN(tst_panRegistroActividad)
#include "tst_panRegistroActividad.moc"
