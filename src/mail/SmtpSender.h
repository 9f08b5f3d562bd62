#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Sends mail through one SMTP server with libcurl. The connection opened for the first message is reused
// for the next ones (one easy handle for the whole run). STARTTLS is used whenever the server offers it,
// with the certificate checked; "smtps://host[:port]" asks for TLS from the start.
class SmtpSender {
public:
    struct Opciones {
        QString servidor; // "host", "host:port", "smtp://host:port" or "smtps://host:port"
        bool autenticar = false;
        QString usuario;
        QString contrasena;
        QString caFile; // certificates to trust instead of the system's (tests, private CAs)
        bool reusarConexion = true;
        int esperaConexionS = 20;
        std::function<void()> alEsperar; // called while a message is in transit (keeps a window painted)
    };

    enum class Resultado {
        Enviado,
        Rechazado, // the server refused this message or recipient; the next one may still go
        Conexion,  // the server could not be reached, or the connection or the login failed
    };

    explicit SmtpSender(Opciones opciones);
    ~SmtpSender();
    SmtpSender(const SmtpSender &) = delete;
    SmtpSender &operator=(const SmtpSender &) = delete;

    // Sends one message (headers and body, CRLF line ends) from the envelope sender to one recipient.
    Resultado enviar(const QString &remitente, const QString &destinatario, const QByteArray &mensaje);
    // After a failure: libcurl's error number and a readable description.
    int codigoError() const { return m_codigo; }
    QString descripcionError() const { return m_descripcion; }
    // The URL libcurl is given for the configured server.
    static QString url(const QString &servidor);

private:
    Opciones m_op;
    void *m_curl = nullptr;
    int m_codigo = 0;
    QString m_descripcion;
};
