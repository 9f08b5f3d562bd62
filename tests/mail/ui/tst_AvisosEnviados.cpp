#include "cash/ui/panCobraCuota.h"
#include "db/Database.h"
#include "members/ui/panAfiliado.h"
#include "support/TestSupport.h"
#include "ui/DataGrid.h"

#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>

using namespace TestSupport;

// The member editor and the collection window show the member's reminders, newest first, with the due and
// the result in words; nobody else's.
class tst_AvisosEnviados : public QObject {
    Q_OBJECT

    static void aviso(int cuota, int socio, const QString &fecha, int resultado) {
        QSqlQuery q(Database::db());
        q.prepare(QStringLiteral(R"(INSERT INTO "Avisos" ("idCuota", "idAfiliado", "e-mail", "Fecha", "Hora",
                                    "Resultado") VALUES (?, ?, 'socio@club.org', ?, '09:30:00', ?))"));
        for (const QVariant &v : QVariantList{cuota, socio, fecha, resultado})
            q.addBindValue(v);
        QVERIFY(q.exec());
    }

private slots:
    void muestraLosAvisosDelSocio_data() {
        QTest::addColumn<QString>("ventana");
        QTest::addColumn<bool>("conAvisos");
        QTest::newRow("editor del socio") << QStringLiteral("panAfiliado") << true;
        QTest::newRow("cobranza") << QStringLiteral("panCobraCuota") << true;
        QTest::newRow("cobranza, ninguno") << QStringLiteral("panCobraCuota") << false;
    }
    void muestraLosAvisosDelSocio() {
        QFETCH(QString, ventana);
        QFETCH(bool, conAvisos);
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("Mensual"));
        const int socio = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Ana"), plan);
        const int otro = nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Luis"), plan);
        const int enero = nuevaCuota(socio, plan, QDate(2009, 1, 10), 250000, false, {}, 1, 2009,
                                     QStringLiteral("CUOTA MES 1"));
        const int febrero = nuevaCuota(socio, plan, QDate(2009, 2, 10), 250000, false, {}, 2, 2009,
                                       QStringLiteral("CUOTA MES 2"));
        const int ajena = nuevaCuota(otro, plan, QDate(2009, 2, 10), 250000);
        if (conAvisos) {
            aviso(enero, socio, QStringLiteral("2009-03-01"), 1);
            aviso(febrero, socio, QStringLiteral("2009-03-05"), 2);
            aviso(enero, socio, QStringLiteral("2009-03-05"), 3);
        }
        aviso(ajena, otro, QStringLiteral("2009-03-04"), 1);

        std::unique_ptr<Ventana> w;
        if (ventana == QLatin1String("panAfiliado"))
            w = std::make_unique<panAfiliado>();
        else
            w = std::make_unique<panCobraCuota>(nullptr);
        w->Tag = QString::number(socio);
        w->show();
        captura(w.get(), ventana);
        QStringList filas;
        QString info;
        QVERIFY(alAbrirModalDe(
            QStringLiteral("panAvisosEnviados"),
            [&] { control<QPushButton>(w.get(), "cmdAvisosEnviados")->click(); },
            [&](QWidget *lista) {
                auto *m = control<DataGrid>(lista, "DBGrid1")->model();
                for (int r = 0; r < m->rowCount(); ++r)
                    filas << QStringList{m->index(r, 0).data().toString(), m->index(r, 3).data().toString(),
                                         m->index(r, 6).data().toString()}
                                 .join(QLatin1Char('|'));
                info = control<QLabel>(lista, "lblInfo")->text();
                captura(lista, QStringLiteral("panAvisosEnviados"));
                control<QPushButton>(lista, "cmdCerrar")->click();
            }));
        const QStringList esperadas =
            conAvisos ? QStringList{QStringLiteral("05/03/2009|CUOTA MES 1|Sin confirmación del servidor"),
                                    QStringLiteral("05/03/2009|CUOTA MES 2|Rechazado por el servidor"),
                                    QStringLiteral("01/03/2009|CUOTA MES 1|Enviado")}
                      : QStringList();
        QCOMPARE(filas, esperadas);
        QCOMPARE(info.isEmpty(), conAvisos);
    }
};

MIRABEL_TEST_MAIN(tst_AvisosEnviados)
#include "tst_AvisosEnviados.moc"
