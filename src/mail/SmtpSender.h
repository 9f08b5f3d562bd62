#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

// Sends mail through one SMTP server with libcurl. The connection opened for the first message is reused
// for the next ones while it stays in good order; after any failure it is dropped and the next message
// opens a new one. STARTTLS is used whenever the server offers it, with the certificate checked, and is
// required when a password is sent; "smtps://host[:port]" asks for TLS from the start.
class SmtpSender {
public:
    // Every wait on the server is bounded.
    struct Limites {
        int conexionMs = 20000; // connecting: TCP, TLS, greeting and login
        int respuestaS = 30;    // each reply of the server
        int mensajeMs = 120000; // one whole message, connecting included
        int despedidaMs = 3000; // the goodbye (QUIT) at the end of the run
    };

    struct Opciones {
        QString servidor; // "host", "host:port", "smtp://host:port" or "smtps://host:port"
        bool autenticar = false;
        QString usuario;
        QString contrasena;
        // Certificates to trust instead of the system's (a private CA); empty: SSL_CERT_FILE if set.
        QString caFile;
        bool reusarConexion = true;
        Limites limites;
        std::function<void()> alEsperar; // called while waiting on the server (keeps a window painted)
    };

    enum class Resultado {
        Enviado,
        Rechazado,   // the server refused this message or recipient for good; the next one may still go
        Transitorio, // a temporary refusal (4xx) or a lost connection before the message was handed over:
                     // it may be tried again on a new connection
        Dudoso,      // the whole message was handed over and no verdict came back: it may have been accepted
        Conexion,    // the server could not be reached, or TLS or the login failed
        SinCifrado,  // a password would have gone without encryption: nothing was sent
    };

    explicit SmtpSender(Opciones opciones);
    // Says goodbye to the server without keeping the caller waiting longer than the goodbye limit.
    ~SmtpSender();
    SmtpSender(const SmtpSender &) = delete;
    SmtpSender &operator=(const SmtpSender &) = delete;

    // Sends one message (headers and body, CRLF line ends) from the envelope sender to one recipient.
    Resultado enviar(const QString &remitente, const QString &destinatario, const QByteArray &mensaje);
    // After a failure: libcurl's error number and a readable description.
    int codigoError() const { return m_codigo; }
    QString descripcionError() const { return m_descripcion; }
    // The server's last reply code to the message (250 when sent; 0 when none came).
    int codigoSmtp() const { return m_codigoSmtp; }
    // The URL libcurl is given for the configured server.
    static QString url(const QString &servidor);

    struct Conexion; // libcurl's handle and its sockets

private:
    void descartar();
    Opciones m_op;
    std::shared_ptr<Conexion> m_con;
    int m_codigo = 0;
    int m_codigoSmtp = 0;
    QString m_descripcion;
};
