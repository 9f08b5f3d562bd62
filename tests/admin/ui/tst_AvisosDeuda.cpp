#include "admin/ui/PanelUtilidades.h"
#include "core/Clock.h"
#include "core/Configuracion.h"
#include "core/Log.h"
#include "db/Database.h"
#include "db/Transaction.h"
#include "mail/AvisosDeuda.h"
#include "support/ServidorSmtp.h"
#include "support/TestSupport.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QJsonArray>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>

using namespace TestSupport;

// Runs against a real SMTP server on the loopback address; "today" is 5 March 2009.
class tst_AvisosDeuda : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static void configurar(const QString &servidor, const QString &autentica = QStringLiteral("NO"),
                           const QString &usuario = QString(), const QString &clave = QString(),
                           const QString &diasEntreAvisos = QString()) {
        Configuracion::Ajustes a;
        a.nombreEmpresa = QStringLiteral("Club Atlético Ñandú");
        a.cuitEmpresa = QStringLiteral("30-1");
        a.email = QStringLiteral("socios@club.org");
        a.serverSMTP = servidor;
        a.autentica = autentica;
        a.nombreUsuarioAUT = usuario;
        a.contrasenaAUT = clave;
        a.diasEntreAvisos = diasEntreAvisos;
        QVERIFY(Configuracion::guardarTodo(a));
    }

    static bool leerPendientes(QVector<AvisosDeuda::Aviso> *avisos) {
        const auto leidos = AvisosDeuda::pendientes();
        if (leidos)
            *avisos = *leidos;
        return leidos.ok();
    }

    // Two members, three overdue dues (one due today), one due tomorrow, one paid.
    static void clubConDeudas() {
        const int plan = nuevoPlan(QStringLiteral("Plan Anual"));
        const int juan = nuevoAfiliado(QStringLiteral("Pérez"), QStringLiteral("Juan"), plan, QVariant(),
                                       QStringLiteral("juan@example.org"));
        const int ana = nuevoAfiliado(QStringLiteral("Gómez"), QStringLiteral("Ana"), plan, QVariant(),
                                      QStringLiteral("ana@example.org"));
        nuevaCuota(juan, plan, QDate(2009, 1, 10), 250000);
        nuevaCuota(juan, plan, QDate(2009, 2, 10), 12345000);
        nuevaCuota(ana, plan, QDate(2009, 3, 5), 250000);                            // today: overdue
        nuevaCuota(ana, plan, QDate(2009, 3, 6), 250000);                            // tomorrow: not yet
        nuevaCuota(ana, plan, QDate(2009, 1, 10), 250000, true, QDate(2009, 1, 12)); // paid
    }

    static QStringList destinatarios(const QVector<QJsonObject> &m) {
        QStringList out;
        for (const QJsonObject &o : m)
            out << o.value(QStringLiteral("rcpt_tos")).toArray().at(0).toString();
        return out;
    }

    // The reminder record, in order: result and the server's reply code.
    static QStringList registrados() {
        QStringList out;
        QSqlQuery q(Database::db());
        if (!q.exec(QStringLiteral(
                R"(SELECT "Resultado", "CodigoSMTP", "Fecha" = date() FROM "Avisos" ORDER BY "idAviso")")))
            return {q.lastError().text()};
        while (q.next())
            out << QStringLiteral("%1 %2%3").arg(q.value(0).toString(), q.value(1).toString(),
                                                 q.value(2).toBool() ? QString()
                                                                     : QStringLiteral(" otro día"));
        return out;
    }

    static QString ejecutarPrograma(const QStringList &args, int *estado,
                                    const QString &ajustesEnEntorno = {}) {
        QProcess p;
        if (!ajustesEnEntorno.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("MIRABEL_SETTINGS"), ajustesEnEntorno);
            p.setProcessEnvironment(env);
        }
        p.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/../mirabel"));
        p.setArguments(args);
        p.start();
        if (!p.waitForFinished(120000)) {
            *estado = -1;
            return {};
        }
        *estado = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    }

private slots:
    void init() {
        Configuracion::setArchivo(m_dir.filePath(
            QStringLiteral("ajustes-%1.ini").arg(QString::fromLatin1(QTest::currentTestFunction()))));
        Mensaje::limpiar();
        Module1::NivelUsuario = 2;
    }
    void cleanup() { Configuracion::setArchivo(QString()); }

    void threeOverdueDuesGiveThreeMessages() {
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        configurar(smtp.servidor());
        PanelUtilidades panel;
        Mensaje::encolarRespuesta(QMessageBox::Yes);
        control<QPushButton>(&panel, "Command19")->click();
        const auto &q = Mensaje::mostrados();
        QCOMPARE(q.size(), 1);
        QCOMPARE(q.at(0).texto, QStringLiteral("Desea enviar mensajes de cuotas vencidas por e-mail?"));
        QCOMPARE(q.at(0).titulo, QStringLiteral("Atención"));
        QCOMPARE(q.at(0).icono, QMessageBox::Warning);
        QCOMPARE(q.at(0).botones, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), QStringLiteral("Listo!"));
        QVERIFY(control<QPushButton>(&panel, "Command19")->isEnabled());

        const QVector<QJsonObject> m = smtp.recibidos();
        QCOMPARE(m.size(), 3);
        QCOMPARE(destinatarios(m),
                 (QStringList{QStringLiteral("juan@example.org"), QStringLiteral("juan@example.org"),
                              QStringLiteral("ana@example.org")}));
        const QJsonObject &primero = m.at(0);
        QCOMPARE(primero.value(QStringLiteral("mail_from")).toString(), QStringLiteral("socios@club.org"));
        QCOMPARE(primero.value(QStringLiteral("subject")).toString(),
                 QStringLiteral("Aviso de Deuda de Cuota"));
        QCOMPARE(primero.value(QStringLiteral("to")).toString(),
                 QStringLiteral("\"Pérez, Juan\" <juan@example.org>"));
        QCOMPARE(primero.value(QStringLiteral("from")).toString(),
                 QStringLiteral("Club Atlético Ñandú <socios@club.org>"));
        QVERIFY(!primero.value(QStringLiteral("date")).toString().isEmpty());
        QVERIFY(
            primero.value(QStringLiteral("message_id")).toString().endsWith(QStringLiteral("@club.org>")));
        QCOMPARE(primero.value(QStringLiteral("content_type")).toString(), QStringLiteral("text/html"));
        QCOMPARE(primero.value(QStringLiteral("charset")).toString(), QStringLiteral("utf-8"));
        QVERIFY(!primero.value(QStringLiteral("tls")).toBool());
        QCOMPARE(
            primero.value(QStringLiteral("body")).toString().trimmed(),
            QStringLiteral("<b>Estimado Pérez, Juan </b><br><br>Le recordamos que ud. posee en nuestros "
                           "registros una deuda pendiente de pago,  con vencimiento el dia 10/01/2009 "
                           "correspondiente al plan Plan Anual<br> por un importe de <b>$ 25,00.</b><br>"
                           "Por favor le pedimos tenga a bien acercarse a nuestros establecimientos o bien "
                           "comunicarse con nuestro departamento de cobranzas a la brevedad a fin de "
                           "regularizar su situación.<br><br>Muchas Gracias!<br>Club Atlético Ñandú<br>"
                           "socios@club.org"));
        QVERIFY(m.at(1)
                    .value(QStringLiteral("body"))
                    .toString()
                    .contains(QStringLiteral("el dia 10/02/2009 correspondiente al plan Plan Anual<br> por "
                                             "un importe de <b>$ 1.234,50.")));
        QVERIFY(m.at(2).value(QStringLiteral("body")).toString().contains(QStringLiteral("05/03/2009")));
        QVERIFY(m.at(0).value(QStringLiteral("message_id")) != m.at(1).value(QStringLiteral("message_id")));
    }

    void progressTextAndOneConnection() {
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        configurar(smtp.servidor());
        PanelUtilidades panel;
        QStringList vistos;
        // The label is read between messages, when the run lets the window paint.
        auto *espia = new QTimer(&panel);
        connect(espia, &QTimer::timeout, &panel, [&] {
            if (vistos.isEmpty() || vistos.last() != control<QLabel>(&panel, "lblTime")->text())
                vistos << control<QLabel>(&panel, "lblTime")->text();
        });
        espia->start(0);
        panel.enviaMailDeudores();
        espia->stop();
        QVERIFY2(vistos.contains(QStringLiteral("Enviando Mensaje  1 de  3.")), qPrintable(vistos.join('|')));
        QVERIFY(vistos.contains(QStringLiteral("Enviando Mensaje  3 de  3.")));
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), QStringLiteral("Listo!"));
    }

    void levelThreeDoesNothing() {
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        configurar(smtp.servidor());
        Module1::NivelUsuario = 3;
        PanelUtilidades panel;
        const QString antes = control<QLabel>(&panel, "lblTime")->text();
        control<QPushButton>(&panel, "Command19")->click();
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), antes);
        QCOMPARE(smtp.recibidos().size(), 0);
    }

    void missingSettingsShowTheErrorAndSendNothing() {
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        for (int falta = 0; falta < 3; ++falta) {
            configurar(falta == 2 ? QString() : smtp.servidor());
            if (falta == 0)
                QVERIFY(Configuracion::escribir(QStringLiteral("NombreEmpresa"), QString()));
            if (falta == 1)
                QVERIFY(Configuracion::escribir(QStringLiteral("email"), QString()));
            Mensaje::limpiar();
            PanelUtilidades panel;
            panel.enviaMailDeudores();
            QCOMPARE(Mensaje::mostrados().size(), 1);
            QCOMPARE(Mensaje::mostrados().at(0).texto,
                     QStringLiteral("Ingrese las configuraciones correctamente!"));
            QCOMPARE(Mensaje::mostrados().at(0).titulo, QStringLiteral("Error"));
            QCOMPARE(Mensaje::mostrados().at(0).icono, QMessageBox::Critical);
        }
        QCOMPARE(smtp.recibidos().size(), 0);
    }

    // A run holds one batch of overdue dues at a time, and the batches cover each of them once, in order.
    void overdueDuesAreReadInBatches() {
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("General"));
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Luis"), plan);
        const int deudas = 2 * AvisosDeuda::kLote + 1;
        {
            Transaction t;
            for (int i = 0; i < deudas; ++i)
                nuevaCuota(a, plan, QDate(2009, 1, 10), 250000);
            nuevaCuota(a, plan, QDate(2009, 3, 6), 250000); // tomorrow: not yet
            QVERIFY(t.commit());
        }
        QCOMPARE(*AvisosDeuda::contarPendientes(), deudas);
        const AvisosDeuda::Lector lector = AvisosDeuda::lectorPendientes();
        qint64 anterior = 0;
        int leidas = 0;
        for (auto lote = lector(); lote && !lote->isEmpty(); lote = lector()) {
            QVERIFY(lote->size() <= AvisosDeuda::kLote);
            for (const AvisosDeuda::Aviso &v : std::as_const(*lote)) {
                QVERIFY(v.idCuota > anterior);
                anterior = v.idCuota;
                ++leidas;
            }
        }
        QCOMPARE(leidas, deudas);
    }

    void noOverdueDuesIsSilent() {
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("General"));
        const int a = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Luis"), plan, QVariant(),
                                    QStringLiteral("luis@example.org"));
        nuevaCuota(a, plan, QDate(2009, 3, 6), 250000);
        configurar(smtp.servidor());
        PanelUtilidades panel;
        const QString antes = control<QLabel>(&panel, "lblTime")->text();
        panel.enviaMailDeudores();
        QVERIFY(Mensaje::mostrados().isEmpty());
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), antes);
        QCOMPARE(smtp.recibidos().size(), 0);
    }

    void authenticationFollowsAutentica() {
        ServidorSmtp::Opciones op;
        op.usuario = QStringLiteral("tesoreria");
        op.contrasena = QStringLiteral("clave-smtp");
        op.starttls = true;
        ServidorSmtp smtp(op);
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        PanelUtilidades panel;
        const auto configurarConCa = [&](const QString &autentica, const QString &clave) {
            configurar(smtp.servidor(), autentica, op.usuario, clave);
            QVERIFY(Configuracion::escribir(QStringLiteral("CertificadoSMTP"), smtp.caFile()));
        };

        // A wrong password: the A/R/I box; Ignore goes on to the next message, Abort ends the run.
        configurarConCa(QStringLiteral("SI"), QStringLiteral("mala"));
        Mensaje::encolarRespuesta(QMessageBox::Ignore);
        Mensaje::encolarRespuesta(QMessageBox::Abort);
        panel.enviaMailDeudores();
        QCOMPARE(smtp.recibidos().size(), 0);
        auto q = Mensaje::mostrados();
        QCOMPARE(q.size(), 3);
        QVERIFY2(q.at(0).texto.startsWith(QStringLiteral("Error detectado: ")), qPrintable(q.at(0).texto));
        QVERIFY(q.at(0).texto.endsWith(QStringLiteral("\nQue desea hacer?")));
        QCOMPARE(q.at(0).titulo, QStringLiteral("Atención"));
        QCOMPARE(q.at(0).icono, QMessageBox::Critical);
        QCOMPARE(q.at(0).botones, QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        QCOMPARE(q.at(1).texto, q.at(0).texto);
        QVERIFY(q.at(2).texto.startsWith(QStringLiteral("Se enviaron 0 mensajes; 3 no se pudieron enviar.")));
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), QStringLiteral("Envío interrumpido."));

        // "NO": no login is offered, and this server refuses the message.
        Mensaje::limpiar();
        configurarConCa(QStringLiteral("NO"), op.contrasena);
        Mensaje::encolarRespuesta(QMessageBox::Abort);
        panel.enviaMailDeudores();
        QCOMPARE(smtp.recibidos().size(), 0);
        QVERIFY(Mensaje::mostrados().at(0).texto.startsWith(QStringLiteral("Error detectado: ")));

        // "si" in lower case turns it on.
        Mensaje::limpiar();
        configurarConCa(QStringLiteral("si"), op.contrasena);
        panel.enviaMailDeudores();
        QVERIFY(Mensaje::mostrados().isEmpty());
        const auto m = smtp.recibidos();
        QCOMPARE(m.size(), 3);
        QCOMPARE(m.at(0).value(QStringLiteral("auth_login")).toString(), QStringLiteral("tesoreria"));
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), QStringLiteral("Listo!"));
    }

    // A server that offers no STARTTLS (or has it stripped on the way) never sees the password.
    void passwordNeverTravelsInClear() {
        ServidorSmtp::Opciones op;
        op.usuario = QStringLiteral("tesoreria");
        op.contrasena = QStringLiteral("clave-smtp");
        ServidorSmtp smtp(op);
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        configurar(smtp.servidor(), QStringLiteral("SI"), op.usuario, op.contrasena);
        PanelUtilidades panel;
        panel.enviaMailDeudores();
        QCOMPARE(smtp.logins(), QStringList());
        QCOMPARE(smtp.recibidos().size(), 0);
        const auto q = Mensaje::mostrados();
        QVERIFY(!q.isEmpty());
        QCOMPARE(q.at(0).titulo, QStringLiteral("Error"));
        QVERIFY2(q.at(0).texto.startsWith(QStringLiteral("El servidor SMTP no ofrece una conexión cifrada")),
                 qPrintable(q.at(0).texto));
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), QStringLiteral("Envío interrumpido."));
    }

    void tlsWithTheCertificateChecked_data() {
        QTest::addColumn<bool>("implicito");
        QTest::newRow("STARTTLS, servidor:puerto") << false;
        QTest::newRow("smtps://servidor:puerto") << true;
    }

    void tlsWithTheCertificateChecked() {
        QFETCH(bool, implicito);
        ServidorSmtp::Opciones op;
        op.starttls = !implicito;
        op.tlsImplicito = implicito;
        op.usuario = QStringLiteral("tesoreria");
        op.contrasena = QStringLiteral("clave");
        ServidorSmtp smtp(op);
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        configurar(smtp.servidor(), QStringLiteral("SI"), op.usuario, op.contrasena);
        QVector<AvisosDeuda::Aviso> avisos;
        QVERIFY(leerPendientes(&avisos));
        QCOMPARE(avisos.size(), 3);

        AvisosDeuda::Envio sinConfianza; // the system's certificates do not vouch for the test's
        int errores = 0;
        sinConfianza.alFallarConexion = [&](int, const QString &) {
            ++errores;
            return AvisosDeuda::Decision::Abortar;
        };
        AvisosDeuda::Resultado r = sinConfianza.ejecutar(Configuracion::leerTodo(), avisos);
        QVERIFY(r.abortado);
        QCOMPARE(errores, 1);
        QCOMPARE(smtp.recibidos().size(), 0);

        AvisosDeuda::Envio envio;
        envio.caFile = smtp.caFile();
        r = envio.ejecutar(Configuracion::leerTodo(), avisos);
        QCOMPARE(r.enviados, 3);
        QCOMPARE(r.fallidos, 0);
        const auto m = smtp.recibidos();
        QCOMPARE(m.size(), 3);
        for (const QJsonObject &o : m) {
            QVERIFY(o.value(QStringLiteral("tls")).toBool());
            QCOMPARE(o.value(QStringLiteral("auth_login")).toString(), QStringLiteral("tesoreria"));
        }
    }

    void refusedAndMalformedRecipientsAreSkipped() {
        ServidorSmtp::Opciones op;
        op.rechazar = {QStringLiteral("nadie@example.org")};
        ServidorSmtp smtp(op);
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("General"));
        const QStringList correos = {QStringLiteral("uno@example.org"),
                                     QStringLiteral("nadie@example.org"),
                                     QString(),
                                     QStringLiteral("roto@"),
                                     QStringLiteral("a@b.org>\r\nRCPT TO:<x@y.org"),
                                     QStringLiteral("dos@example.org")};
        for (int i = 0; i < correos.size(); ++i) {
            const int a = nuevoAfiliado(QStringLiteral("Socio%1").arg(i), QStringLiteral("N"), plan,
                                        QVariant(), correos.at(i));
            nuevaCuota(a, plan, QDate(2009, 2, 1), 10000);
        }
        configurar(smtp.servidor());
        PanelUtilidades panel;
        panel.enviaMailDeudores();
        QCOMPARE(destinatarios(smtp.recibidos()),
                 (QStringList{QStringLiteral("uno@example.org"), QStringLiteral("dos@example.org")}));
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), QStringLiteral("Listo!"));
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QVERIFY2(Mensaje::mostrados().at(0).texto.startsWith(
                     QStringLiteral("Se enviaron 2 mensajes; 3 no se pudieron enviar. 1 sin dirección de "
                                    "e-mail.")),
                 qPrintable(Mensaje::mostrados().at(0).texto));
    }

    void serverGoneThenRetrySendsEachOnce() {
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        configurar(smtp.servidor());
        QVector<AvisosDeuda::Aviso> avisos;
        QVERIFY(leerPendientes(&avisos));
        AvisosDeuda::Envio envio;
        envio.progreso = [&](int n, int) {
            if (n == 2)
                smtp.detener(); // gone after the first message
        };
        int preguntas = 0;
        envio.alFallarConexion = [&](int, const QString &) {
            ++preguntas;
            if (preguntas == 1)
                return AvisosDeuda::Decision::Reintentar; // still down: asked again
            if (!smtp.iniciar())
                return AvisosDeuda::Decision::Abortar;
            return AvisosDeuda::Decision::Reintentar;
        };
        const AvisosDeuda::Resultado r = envio.ejecutar(Configuracion::leerTodo(), avisos);
        QCOMPARE(preguntas, 2);
        QVERIFY(!r.abortado);
        QCOMPARE(r.enviados, 3);
        const auto m = smtp.recibidos();
        QCOMPARE(destinatarios(m),
                 (QStringList{QStringLiteral("juan@example.org"), QStringLiteral("juan@example.org"),
                              QStringLiteral("ana@example.org")}));
        QVERIFY(m.at(0).value(QStringLiteral("body")) != m.at(1).value(QStringLiteral("body")));
    }

    // A server that takes two messages per connection (then 421 and closes it): the run goes on over new
    // connections, records each message, and the same day's second run sends none again.
    void connectionLimitAndSameDayRerun() {
        ServidorSmtp::Opciones op;
        op.mensajesPorConexion = 2;
        ServidorSmtp smtp(op);
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        const int plan = nuevoPlan(QStringLiteral("Plan Social"));
        const int luis = nuevoAfiliado(QStringLiteral("Paz"), QStringLiteral("Luis"), plan, QVariant(),
                                       QStringLiteral("luis@example.org"));
        nuevaCuota(luis, plan, QDate(2009, 1, 1), 10000);
        nuevaCuota(luis, plan, QDate(2009, 2, 1), 10000);
        configurar(smtp.servidor());
        PanelUtilidades panel;
        panel.enviaMailDeudores();
        QCOMPARE(Mensaje::mostrados().size(), 0);
        QCOMPARE(control<QLabel>(&panel, "lblTime")->text(), QStringLiteral("Listo!"));
        QCOMPARE(destinatarios(smtp.recibidos()),
                 (QStringList{QStringLiteral("juan@example.org"), QStringLiteral("juan@example.org"),
                              QStringLiteral("ana@example.org"), QStringLiteral("luis@example.org"),
                              QStringLiteral("luis@example.org")}));
        QCOMPARE(registrados(),
                 (QStringList{QStringLiteral("1 250"), QStringLiteral("1 250"), QStringLiteral("1 250"),
                              QStringLiteral("1 250"), QStringLiteral("1 250")}));

        panel.enviaMailDeudores();
        QCOMPARE(smtp.recibidos().size(), 5);
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(Mensaje::mostrados().at(0).texto,
                 QStringLiteral("Se enviaron 0 mensajes; 0 no se pudieron enviar. 5 ya enviados hoy, no se "
                                "repitieron."));
        QCOMPARE(registrados().size(), 5);
    }

    // With 30 days between reminders, a run ten days later reminds only the due that fell due meanwhile,
    // and says how many it skipped.
    void daysBetweenRemindersSkipRecentOnes() {
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        configurar(smtp.servidor(), QStringLiteral("NO"), QString(), QString(), QStringLiteral("30"));
        PanelUtilidades panel;
        panel.enviaMailDeudores();
        QCOMPARE(smtp.recibidos().size(), 3);
        Clock::setFixed(QDate(2009, 3, 15));
        panel.enviaMailDeudores();
        QCOMPARE(destinatarios(smtp.recibidos()).mid(3), QStringList{QStringLiteral("ana@example.org")});
        QCOMPARE(Mensaje::mostrados().size(), 1);
        QCOMPARE(
            Mensaje::mostrados().at(0).texto,
            QStringLiteral("Se enviaron 1 mensajes; 0 no se pudieron enviar. 3 avisados hace menos de 30 "
                           "días, no se repitieron."));
    }

    // A server that takes a message and never answers its end: the message is reported and recorded as
    // doubtful, the run goes on over a new connection, and the same day it is not sent again.
    void stalledAfterDataIsDoubtfulAndNotResent() {
        ServidorSmtp::Opciones op;
        op.estancarTrasMensaje = 2;
        ServidorSmtp smtp(op);
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        clubConDeudas();
        configurar(smtp.servidor());
        QVector<AvisosDeuda::Aviso> avisos;
        QVERIFY(leerPendientes(&avisos));
        AvisosDeuda::Envio envio;
        envio.limites.respuestaS = 1;
        int preguntas = 0;
        envio.alFallarConexion = [&](int, const QString &) {
            ++preguntas;
            return AvisosDeuda::Decision::Abortar;
        };
        AvisosDeuda::Resultado r = envio.ejecutar(Configuracion::leerTodo(), avisos);
        QCOMPARE(preguntas, 0);
        QCOMPARE(r.enviados, 2);
        QCOMPARE(r.dudosos, 1);
        QCOMPARE(r.fallidos, 0);
        QCOMPARE(smtp.recibidos().size(), 3);
        QCOMPARE(registrados(),
                 (QStringList{QStringLiteral("1 250"), QStringLiteral("3 354"), QStringLiteral("1 250")}));

        QVERIFY(leerPendientes(&avisos));
        r = envio.ejecutar(Configuracion::leerTodo(), avisos);
        QCOMPARE(r.enviados, 0);
        QCOMPARE(r.yaEnviados, 3);
        QCOMPARE(smtp.recibidos().size(), 3);
    }

    void memberDataCannotInjectHtmlOrHeaders() {
        Log::setFile(m_dir.filePath(QStringLiteral("inyeccion.log")));
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        BaseTemporal db;
        const int plan = nuevoPlan(QStringLiteral("<script>alert(1)</script>"));
        const int a =
            nuevoAfiliado(QStringLiteral("<b>O'Neil & Co"), QStringLiteral("Ana\r\nBcc: espia@example.org"),
                          plan, QVariant(), QStringLiteral("ana@example.org"));
        nuevaCuota(a, plan, QDate(2009, 2, 1), 10000);
        configurar(smtp.servidor());
        PanelUtilidades panel;
        panel.enviaMailDeudores();
        const auto m = smtp.recibidos();
        QCOMPARE(m.size(), 1);
        const QString body = m.at(0).value(QStringLiteral("body")).toString();
        QVERIFY2(body.startsWith(QStringLiteral("<b>Estimado &lt;b&gt;O'Neil &amp; Co, Ana")),
                 qPrintable(body));
        QVERIFY(body.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")));
        QVERIFY(!body.contains(QStringLiteral("<script>")));
        QCOMPARE(destinatarios(m), QStringList{QStringLiteral("ana@example.org")});
        const QString raw = m.at(0).value(QStringLiteral("raw")).toString();
        QVERIFY(!raw.contains(QStringLiteral("\nBcc:"), Qt::CaseInsensitive));
        QCOMPARE(m.at(0).value(QStringLiteral("to")).toString(),
                 QStringLiteral("\"<b>O'Neil & Co, Ana Bcc: espia@example.org\" <ana@example.org>"));
        // The program's log keeps one line per entry: the line break is written escaped.
        QFile log(Log::file());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString registro = QString::fromUtf8(log.readAll());
        QVERIFY2(
            registro.contains(QStringLiteral("Enviado a <b>O'Neil & Co, Ana\\r\\nBcc: espia@example.org")),
            qPrintable(registro));
        QVERIFY(!registro.contains(QStringLiteral("\nBcc:")));
        Log::setFile(QString());
    }

    void commandLineRun() {
        ServidorSmtp smtp;
        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        // The program works on a copy of the file; a server database is named by its address.
        BaseTemporal db;
        clubConDeudas();
        // No address, and a name that tries to write a line of its own.
        const int social = nuevoPlan(QStringLiteral("Plan Social"));
        const int sinCorreo = nuevoAfiliado(QStringLiteral("Ruiz\nEnviado a falso@example.org"),
                                            QStringLiteral("Eva"), social, QVariant(), QString());
        nuevaCuota(sinCorreo, social, QDate(2009, 2, 1), 10000);
        Database::close();
        QString base = db.path();
        if (!TestSupport::enServidor()) {
            base = m_dir.filePath(QStringLiteral("cli.db"));
            QVERIFY(QFile::copy(db.path(), base));
        }
        // The program's clock is the real one: the dues of 2009 are all overdue, four with an address.
        configurar(smtp.servidor());
        const QString ajustes = Configuracion::archivo();
        const QStringList args = {QStringLiteral("send-reminders"), QStringLiteral("--database"), base,
                                  QStringLiteral("--settings"), ajustes};
        int estado = 0;

        smtp.detener();
        QString out = ejecutarPrograma(args, &estado);
        QCOMPARE(estado, 3);
        QVERIFY2(
            out.contains(QStringLiteral("0 enviados, 4 fallidos, 0 dudosos, 1 sin dirección, 0 ya enviados "
                                        "hoy")),
            qPrintable(out));

        QVERIFY2(smtp.iniciar(), qPrintable(smtp.error()));
        out = ejecutarPrograma(args, &estado);
        QVERIFY2(estado == 0, qPrintable(out));
        QVERIFY2(
            out.contains(QStringLiteral("4 enviados, 0 fallidos, 0 dudosos, 1 sin dirección, 0 ya enviados "
                                        "hoy")),
            qPrintable(out));
        QVERIFY(
            out.contains(QStringLiteral("Enviado a Pérez, Juan <juan@example.org>: vencimiento 10/01/2009")));
        QVERIFY2(
            out.contains(QStringLiteral("Sin dirección de e-mail: Ruiz\\nEnviado a falso@example.org, Eva")),
            qPrintable(out));
        QVERIFY(!out.contains(QStringLiteral("\nEnviado a falso")));
        QCOMPARE(smtp.recibidos().size(), 4);

        // Again the same day: nothing is sent twice.
        out = ejecutarPrograma(args, &estado);
        QVERIFY2(estado == 0, qPrintable(out));
        QVERIFY2(
            out.contains(QStringLiteral("0 enviados, 0 fallidos, 0 dudosos, 1 sin dirección, 4 ya enviados "
                                        "hoy")),
            qPrintable(out));
        QCOMPARE(smtp.recibidos().size(), 4);

        QVERIFY(Configuracion::escribir(QStringLiteral("ServerSMTP"), QString()));
        out =
            ejecutarPrograma({QStringLiteral("send-reminders"), QStringLiteral("--database"), base}, &estado,
                             ajustes); // the file named by MIRABEL_SETTINGS
        QCOMPARE(estado, 2);
        QVERIFY2(out.contains(ajustes), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("Ingrese las configuraciones correctamente!")), qPrintable(out));
    }
};

MIRABEL_TEST_MAIN(tst_AvisosDeuda)
#include "tst_AvisosDeuda.moc"
