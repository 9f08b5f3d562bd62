#include "mail/SmtpSender.h"

#include <QDeadlineTimer>
#include <QThread>
#include <atomic>
#include <cstring>
#include <curl/curl.h>
#include <mutex>
#include <set>
#include <thread>
#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#include <unistd.h>
#endif

// One libcurl handle and the sockets it has open. The sockets are known so that a connection can be cut
// from outside libcurl: a goodbye that is not answered in time, or a connection dropped after a failure
// without waiting for anything.
struct SmtpSender::Conexion {
    CURL *curl = nullptr;
    std::mutex mutex;
    std::set<curl_socket_t> sockets;

    void cortar() {
        std::lock_guard<std::mutex> lock(mutex);
        for (curl_socket_t s : sockets)
#ifdef _WIN32
            ::shutdown(s, SD_BOTH);
#else
            ::shutdown(s, SHUT_RDWR);
#endif
    }
};

namespace {
struct Lectura {
    const QByteArray *datos;
    qsizetype pos = 0;
};

size_t leer(char *buffer, size_t size, size_t nitems, void *userdata) {
    auto *l = static_cast<Lectura *>(userdata);
    const qsizetype quedan = l->datos->size() - l->pos;
    const qsizetype n = qMin<qsizetype>(quedan, qsizetype(size * nitems));
    std::memcpy(buffer, l->datos->constData() + l->pos, size_t(n));
    l->pos += n;
    return size_t(n);
}

int progreso(void *userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto *f = static_cast<std::function<void()> *>(userdata);
    if (*f)
        (*f)();
    return 0;
}

curl_socket_t abrirSocket(void *userdata, curlsocktype, curl_sockaddr *address) {
    auto *c = static_cast<SmtpSender::Conexion *>(userdata);
    // Not inherited by programs started meanwhile.
#ifdef _WIN32
    const curl_socket_t s = WSASocketW(address->family, address->socktype, address->protocol, nullptr, 0,
                                       WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
#else
    const curl_socket_t s = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
#endif
    if (s != CURL_SOCKET_BAD) {
        std::lock_guard<std::mutex> lock(c->mutex);
        c->sockets.insert(s);
    }
    return s;
}

int cerrarSocket(void *userdata, curl_socket_t s) {
    auto *c = static_cast<SmtpSender::Conexion *>(userdata);
    std::lock_guard<std::mutex> lock(c->mutex);
    c->sockets.erase(s);
#ifdef _WIN32
    return closesocket(s);
#else
    return ::close(s);
#endif
}

bool curlListo() {
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
}

bool fallaDeConexion(CURLcode r) {
    switch (r) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_LOGIN_DENIED:
    case CURLE_AUTH_ERROR:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_USE_SSL_FAILED:
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_FAILED_INIT:
        return true;
    default:
        return false;
    }
}
} // namespace

QString SmtpSender::url(const QString &servidor) {
    const QString s = servidor.trimmed();
    if (s.startsWith(QLatin1String("smtp://"), Qt::CaseInsensitive) ||
        s.startsWith(QLatin1String("smtps://"), Qt::CaseInsensitive))
        return s;
    return QStringLiteral("smtp://") + s;
}

SmtpSender::SmtpSender(Opciones opciones) : m_op(std::move(opciones)) {
    if (m_op.caFile.isEmpty())
        m_op.caFile = qEnvironmentVariable("SSL_CERT_FILE");
}

SmtpSender::~SmtpSender() {
    if (!m_con)
        return;
    // The goodbye runs beside the caller, which keeps its window painted and cuts the connection when
    // the server has not answered within the limit.
    std::shared_ptr<Conexion> con = std::move(m_con);
    // Only this thread touches the window.
    curl_easy_setopt(con->curl, CURLOPT_NOPROGRESS, 1L);
    curl_easy_setopt(con->curl, CURLOPT_XFERINFOFUNCTION, nullptr);
    std::atomic_bool hecho = false;
    std::thread despedida([con, &hecho] {
        curl_easy_cleanup(con->curl);
        hecho = true;
    });
    const QDeadlineTimer plazo(m_op.limites.despedidaMs);
    while (!hecho && !plazo.hasExpired()) {
        if (m_op.alEsperar)
            m_op.alEsperar();
        QThread::msleep(10);
    }
    if (!hecho)
        con->cortar();
    despedida.join();
}

void SmtpSender::descartar() {
    if (!m_con)
        return;
    // A connection out of step with the server is never used again, nor is its goodbye waited for.
    m_con->cortar();
    curl_easy_cleanup(m_con->curl);
    m_con.reset();
}

SmtpSender::Resultado SmtpSender::enviar(const QString &remitente, const QString &destinatario,
                                         const QByteArray &mensaje) {
    m_codigo = 0;
    m_codigoSmtp = 0;
    m_descripcion.clear();
    if (!m_con && curlListo()) {
        auto con = std::make_shared<Conexion>();
        con->curl = curl_easy_init();
        if (con->curl)
            m_con = std::move(con);
    }
    if (!m_con) {
        m_codigo = CURLE_FAILED_INIT;
        m_descripcion = QStringLiteral("No se pudo iniciar el envío de correo.");
        return Resultado::Conexion;
    }
    CURL *c = m_con->curl;
    // The same handle for every message keeps the connection; options are set anew each time.
    curl_easy_reset(c);
    const QByteArray u = url(m_op.servidor).toUtf8();
    const QByteArray de = QByteArray("<") + remitente.toUtf8() + '>';
    const QByteArray para = QByteArray("<") + destinatario.toUtf8() + '>';
    const QByteArray usuario = m_op.usuario.toUtf8();
    const QByteArray clave = m_op.contrasena.toUtf8();
    const QByteArray ca = m_op.caFile.toLocal8Bit();
    char error[CURL_ERROR_SIZE] = {0};
    curl_slist *rcpt = curl_slist_append(nullptr, para.constData());
    Lectura lectura{&mensaje};

    curl_easy_setopt(c, CURLOPT_URL, u.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, de.constData());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, leer);
    curl_easy_setopt(c, CURLOPT_READDATA, &lectura);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(mensaje.size()));
    // A password never travels in clear: without TLS the login is not even tried.
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(m_op.autenticar ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ca.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, ca.constData());
    if (m_op.autenticar) {
        curl_easy_setopt(c, CURLOPT_USERNAME, usuario.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, clave.constData());
    }
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(m_op.limites.conexionMs));
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(m_op.limites.respuestaS));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(m_op.limites.mensajeMs));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, abrirSocket);
    curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, m_con.get());
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, cerrarSocket);
    curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, m_con.get());
    if (!m_op.reusarConexion)
        curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    if (m_op.alEsperar) {
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progreso);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &m_op.alEsperar);
    }

    const CURLcode r = curl_easy_perform(c);
    curl_slist_free_all(rcpt);
    long respuesta = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &respuesta);
    m_codigoSmtp = int(respuesta);
    if (r == CURLE_OK)
        return Resultado::Enviado;

    m_codigo = int(r);
    m_descripcion = QString::fromUtf8(error[0] ? error : curl_easy_strerror(r)).trimmed();
    // Whatever failed, the connection may be out of step: the next try starts on a new one.
    descartar();
    if (r == CURLE_USE_SSL_FAILED && m_op.autenticar) {
        m_descripcion = QStringLiteral("El servidor SMTP no ofrece una conexión cifrada (STARTTLS) y la "
                                       "configuración pide autenticación: la contraseña no se envía sin "
                                       "cifrar. Use un servidor con STARTTLS, o smtps://servidor:puerto.");
        return Resultado::SinCifrado;
    }
    if (fallaDeConexion(r) || respuesta == 530 || respuesta == 535)
        return Resultado::Conexion;
    // The end of the data went out and no final reply came: the server may well have taken the message.
    const bool datosEntregados = lectura.pos == mensaje.size();
    if (datosEntregados && respuesta < 400) {
        m_descripcion = QStringLiteral("sin respuesta del servidor después de entregar el mensaje (%1)")
                            .arg(m_descripcion);
        return Resultado::Dudoso;
    }
    if (respuesta >= 500)
        return Resultado::Rechazado;
    // A 4xx reply, or the connection lost or silent before the message was complete.
    return Resultado::Transitorio;
}
