#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

// A real SMTP server on the loopback address for mail tests (aiosmtpd run by Debian's python3). Every
// message it accepts is kept, decoded: envelope, headers and the HTML body.
class ServidorSmtp {
public:
    struct Opciones {
        QString usuario; // with a user, AUTH is required
        QString contrasena;
        bool starttls = false;       // STARTTLS required, on a certificate made for the test (localhost)
        bool tlsImplicito = false;   // TLS from the first byte ("smtps://")
        QStringList rechazar;        // recipients refused with 550
        int mensajesPorConexion = 0; // after so many messages a connection's next MAIL gets 421 and is closed
        int estancarTrasMensaje = 0; // that message (from 1) is taken and its end of data never answered
    };

    ServidorSmtp();
    explicit ServidorSmtp(Opciones opciones);
    ~ServidorSmtp();

    // Starts (again, on the same port after detener()); false when the server did not come up.
    bool iniciar();
    void detener();
    int puerto() const { return m_puerto; }
    // "host:port" as the settings hold it.
    QString servidor() const;
    // The certificate to trust for STARTTLS.
    QString caFile() const { return m_dir.filePath(QStringLiteral("cert.pem")); }
    // Every message accepted so far, in order: mail_from, rcpt_tos, from, to, subject, date, message_id,
    // content_type, body, raw, tls, auth_login.
    QVector<QJsonObject> recibidos() const;
    QString error() const { return m_error; }
    // Every login attempt, in order: "tls" or "clear" (how the password travelled).
    QStringList logins() const;

private:
    Opciones m_op;
    QTemporaryDir m_dir;
    QProcess m_proceso;
    int m_puerto = 0;
    QString m_error;
};
