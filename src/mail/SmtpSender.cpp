#include "mail/SmtpSender.h"

#include <cstring>
#include <curl/curl.h>

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

bool curlListo() {
    static const bool ok = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ok;
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
    if (curlListo())
        m_curl = curl_easy_init();
}

SmtpSender::~SmtpSender() {
    if (m_curl)
        curl_easy_cleanup(static_cast<CURL *>(m_curl));
}

SmtpSender::Resultado SmtpSender::enviar(const QString &remitente, const QString &destinatario,
                                         const QByteArray &mensaje) {
    m_codigo = 0;
    m_descripcion.clear();
    if (!m_curl) {
        m_codigo = CURLE_FAILED_INIT;
        m_descripcion = QStringLiteral("No se pudo iniciar el envío de correo.");
        return Resultado::Conexion;
    }
    CURL *c = static_cast<CURL *>(m_curl);
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
    curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ca.isEmpty())
        curl_easy_setopt(c, CURLOPT_CAINFO, ca.constData());
    if (m_op.autenticar) {
        curl_easy_setopt(c, CURLOPT_USERNAME, usuario.constData());
        curl_easy_setopt(c, CURLOPT_PASSWORD, clave.constData());
    }
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, long(m_op.esperaConexionS));
    // A server that stops answering must not hang the run for ever.
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    if (!m_op.reusarConexion)
        curl_easy_setopt(c, CURLOPT_FORBID_REUSE, 1L);
    if (m_op.alEsperar) {
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, progreso);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &m_op.alEsperar);
    }

    const CURLcode r = curl_easy_perform(c);
    curl_slist_free_all(rcpt);
    if (r == CURLE_OK)
        return Resultado::Enviado;

    long respuesta = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &respuesta);
    m_codigo = int(r);
    m_descripcion = QString::fromUtf8(error[0] ? error : curl_easy_strerror(r)).trimmed();
    // The server answered this message with a refusal (a recipient or sender it does not take, a message
    // it will not accept), while the connection and the login were fine: the run goes on with the next.
    const bool fallaDeConexion =
        r == CURLE_COULDNT_RESOLVE_HOST || r == CURLE_COULDNT_CONNECT || r == CURLE_OPERATION_TIMEDOUT ||
        r == CURLE_LOGIN_DENIED || r == CURLE_SSL_CONNECT_ERROR || r == CURLE_PEER_FAILED_VERIFICATION ||
        r == CURLE_SSL_CACERT_BADFILE || r == CURLE_USE_SSL_FAILED || r == CURLE_GOT_NOTHING ||
        r == CURLE_URL_MALFORMAT || r == CURLE_UNSUPPORTED_PROTOCOL || r == CURLE_FAILED_INIT ||
        r == CURLE_AUTH_ERROR || r == CURLE_WEIRD_SERVER_REPLY;
    if (!fallaDeConexion && respuesta >= 400 && respuesta != 421 && respuesta != 530 && respuesta != 535)
        return Resultado::Rechazado;
    return Resultado::Conexion;
}
