#pragma once

#include "core/Configuracion.h"
#include "core/Money.h"
#include "core/Result.h"
#include "mail/SmtpSender.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>
#include <limits>

// The debt reminder run: one HTML e-mail for every overdue unpaid due, to its member. No widgets: the
// "Utilidades" panel and the command line drive the same run.
class AvisosDeuda {
public:
    // One overdue unpaid due with what its message needs.
    struct Aviso {
        QString email;
        QString apellido;
        QString nombres;
        QDate vencimiento;
        Money monto;
        QString descripcion; // the plan's name
        qint64 idCuota = 0;
        qint64 idAfiliado = 0;
        bool enviadoHoy = false; // a reminder for this due was already handed over today (or may have been)
        bool avisadoReciente = false; // ... or within the days the setting "DiasEntreAvisos" leaves between
    };

    static const QString kAsunto;             // "Aviso de Deuda de Cuota"
    static const QString kFaltaConfiguracion; // "Ingrese las configuraciones correctamente!"

    // Whether the settings let a run start: company name, sender address and SMTP host given, and the
    // sender a usable address.
    static bool configuracionCompleta(const Configuracion::Ajustes &a);
    // Authentication is on when "Autentica" is "SI", in any case.
    static bool autentica(const Configuracion::Ajustes &a);
    // The overdue unpaid dues (due date not later than today) in due order, those after the due despuesDe
    // and at most cuantos of them; a database error's message.
    // A due reminded (handed over, or perhaps) fewer than diasEntreAvisos days ago is marked avisadoReciente;
    // 0 marks none.
    static Expected<QVector<Aviso>> pendientes(qint64 despuesDe = 0, int cuantos = kTodas,
                                               int diasEntreAvisos = 0);
    static Expected<int> contarPendientes();
    static constexpr int kTodas = std::numeric_limits<int>::max();
    // A run reads the overdue dues this many at a time: it holds one batch, however many members owe.
    static constexpr int kLote = 500;
    // The next batch of a run, empty at the end.
    using Lector = std::function<Expected<QVector<Aviso>>()>;
    // The overdue dues a batch at a time, each batch after the last due read.
    static Lector lectorPendientes(int diasEntreAvisos = 0);

    // What became of one message, as the reminder record keeps it ("Avisos"."Resultado").
    enum class Estado { Enviado = 1, Rechazado = 2, Dudoso = 3 };
    // Records one message at once, in its own transaction: due, member, address, today and now, result and
    // the server's reply code. The reason when it could not be stored.
    static Result registrar(const Aviso &aviso, Estado estado, int codigoSmtp);
    // Whether text is one plain address (local@domain, no blanks, brackets or line breaks).
    static bool direccionValida(const QString &email);

    // The HTML body: every value from the database escaped.
    static QString cuerpo(const Configuracion::Ajustes &a, const Aviso &aviso, const QLocale &locale);
    // The whole message: headers (display names encoded when not plain ASCII) and the base64 UTF-8 body.
    static QByteArray mensaje(const Configuracion::Ajustes &a, const Aviso &aviso, const QDateTime &ahora,
                              const QLocale &locale);
    // A display name as a header may carry it: quoted, or RFC 2047 encoded when not plain ASCII.
    static QByteArray nombreEnEncabezado(const QString &nombre);

    enum class Decision { Abortar, Reintentar, Ignorar };

    struct Resultado {
        int enviados = 0;
        int fallidos = 0;
        int sinDireccion = 0; // members without an e-mail address: no message, no failure
        int yaEnviados = 0;   // skipped: already handed over today
        int recientes = 0;    // skipped: reminded fewer than "DiasEntreAvisos" days ago
        int dudosos = 0;      // handed over without a verdict from the server
        bool abortado = false;
        QString detenido; // why the run stopped by itself (no encryption for the password, record lost)
        bool errorDeBase = false; // it stopped because a message could not be recorded
        QStringList fallas;       // one line per message not sent, naming the member
        // "N enviados, M fallidos, ..." as the last line of a run says it.
        QString resumen() const;
    };

    // The run over an already read working set.
    class Envio {
    public:
        // Before each message: its number (from 1) and the total.
        std::function<void(int numero, int total)> progreso;
        // The server could not be reached or the login failed (also after a few automatic tries on new
        // connections): abort, retry the message on a new connection or skip it.
        std::function<Decision(int codigo, const QString &descripcion)> alFallarConexion;
        // After each message: a line for the log or the console.
        std::function<void(const QString &linea, bool enviado)> informe;
        // Called while a message is in transit.
        std::function<void()> alEsperar;
        QString caFile; // empty: the setting "CertificadoSMTP", or SSL_CERT_FILE
        bool reusarConexion = true;
        bool registrarEnBase = true; // every message recorded as it goes (the same-day rule reads it)
        SmtpSender::Limites limites;
        QLocale locale;

        Resultado ejecutar(const Configuracion::Ajustes &a, const QVector<Aviso> &avisos);
        // The run over batches read as it goes; total (for progreso) as counted before it starts.
        // Sends, then stores the run's entry in the activity log (when recording in the database).
        Resultado ejecutar(const Configuracion::Ajustes &a, int total, const Lector &lector);

    private:
        Resultado enviarTodos(const Configuracion::Ajustes &a, int total, const Lector &lector);
    };

    // Temporary refusals of one message met by a new connection before the user is asked.
    static constexpr int kIntentosTransitorios = 3;

    // "Apellido, Nombres <email>" for lines and logs.
    static QString destinatario(const Aviso &aviso);
};
