#include "support/ServidorSmtp.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {
const char *const kScript = R"PY(
import asyncio, json, socket, ssl, sys, argparse, email, email.policy
from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

ap = argparse.ArgumentParser()
ap.add_argument('--port', type=int, default=0)
ap.add_argument('--out', required=True)
ap.add_argument('--user')
ap.add_argument('--password')
ap.add_argument('--cert')
ap.add_argument('--key')
ap.add_argument('--refuse', action='append', default=[])
ap.add_argument('--implicit', action='store_true')
ap.add_argument('--per-connection', type=int, default=0)
ap.add_argument('--stall-after', type=int, default=0)
a = ap.parse_args()

port = a.port
if port == 0:
    s = socket.socket()
    s.bind(('127.0.0.1', 0))
    port = s.getsockname()[1]
    s.close()

accepted = 0

class Handler:
    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        # Like a real server's per-connection limit: 421 and the connection closed.
        if a.per_connection and getattr(session, 'sent', 0) >= a.per_connection:
            asyncio.get_running_loop().call_later(0.05, server.transport.close)
            return '421 4.7.0 too many messages on this connection'
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return '250 OK'

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() in [r.lower() for r in a.refuse]:
            return '550 5.1.1 mailbox unavailable'
        envelope.rcpt_tos.append(address)
        return '250 OK'

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content or envelope.content
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        body = msg.get_body(('html', 'plain'))
        rec = {
            'mail_from': envelope.mail_from,
            'rcpt_tos': envelope.rcpt_tos,
            'from': str(msg['From']), 'to': str(msg['To']), 'subject': str(msg['Subject']),
            'date': str(msg['Date']), 'message_id': str(msg['Message-ID']),
            'content_type': msg.get_content_type(), 'charset': msg.get_content_charset() or '',
            'body': body.get_content() if body is not None else '',
            'raw': raw.decode('utf-8', 'replace'),
            'tls': session.ssl is not None or server.transport.get_extra_info('ssl_object') is not None,
            'auth_login': (session.auth_data.login.decode()
                           if session.authenticated and getattr(session, 'auth_data', None) else ''),
        }
        with open(a.out, 'a', encoding='utf-8') as f:
            f.write(json.dumps(rec) + '\n')
        global accepted
        accepted += 1
        session.sent = getattr(session, 'sent', 0) + 1
        if accepted == a.stall_after:
            await asyncio.sleep(3600)  # taken, and never answered
        return '250 OK'

def authenticator(server, session, envelope, mechanism, auth_data):
    with open(a.out + '.auth', 'a') as f:
        tls = session.ssl is not None or server.transport.get_extra_info('ssl_object') is not None
        f.write('tls\n' if tls else 'clear\n')
    ok = auth_data.login.decode() == a.user and auth_data.password.decode() == a.password
    return AuthResult(success=ok, handled=False, auth_data=auth_data)

kw = {}
if a.user:
    kw.update(authenticator=authenticator, auth_required=True, auth_require_tls=bool(a.cert) and not a.implicit)
ckw = {}
if a.cert and a.implicit:
    # Usable on both sides: the controller checks that the server is up through it.
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS)
    ctx.load_cert_chain(a.cert, a.key)
    ckw['ssl_context'] = ctx
elif a.cert:
    ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    ctx.load_cert_chain(a.cert, a.key)
    kw.update(tls_context=ctx, require_starttls=True)
c = Controller(Handler(), hostname='127.0.0.1', port=port, **ckw, **kw)
c.start()
print('LISTO', port, flush=True)
try:
    sys.stdin.read()
finally:
    c.stop()
)PY";
} // namespace

ServidorSmtp::ServidorSmtp() : ServidorSmtp(Opciones()) {}

ServidorSmtp::ServidorSmtp(Opciones opciones) : m_op(std::move(opciones)) {
    QFile f(m_dir.filePath(QStringLiteral("servidor.py")));
    if (f.open(QIODevice::WriteOnly))
        f.write(kScript);
}

ServidorSmtp::~ServidorSmtp() {
    detener();
}

bool ServidorSmtp::iniciar() {
    if ((m_op.starttls || m_op.tlsImplicito) && !QFile::exists(caFile())) {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                       m_dir.filePath(QStringLiteral("key.pem")), QStringLiteral("-out"), caFile(),
                       QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                       QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
                       QStringLiteral("subjectAltName=DNS:localhost,IP:127.0.0.1")});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
            m_error = QStringLiteral("openssl: ") + QString::fromUtf8(openssl.readAllStandardError());
            return false;
        }
    }
    QStringList args = {m_dir.filePath(QStringLiteral("servidor.py")), QStringLiteral("--out"),
                        m_dir.filePath(QStringLiteral("recibidos.jsonl")), QStringLiteral("--port"),
                        QString::number(m_puerto)};
    if (!m_op.usuario.isEmpty())
        args << QStringLiteral("--user") << m_op.usuario << QStringLiteral("--password") << m_op.contrasena;
    if (m_op.starttls || m_op.tlsImplicito)
        args << QStringLiteral("--cert") << caFile() << QStringLiteral("--key")
             << m_dir.filePath(QStringLiteral("key.pem"));
    if (m_op.tlsImplicito)
        args << QStringLiteral("--implicit");
    if (m_op.mensajesPorConexion > 0)
        args << QStringLiteral("--per-connection") << QString::number(m_op.mensajesPorConexion);
    if (m_op.estancarTrasMensaje > 0)
        args << QStringLiteral("--stall-after") << QString::number(m_op.estancarTrasMensaje);
    for (const QString &r : m_op.rechazar)
        args << QStringLiteral("--refuse") << r;
    m_proceso.setProcessChannelMode(QProcess::SeparateChannels);
    m_proceso.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_proceso.waitForStarted(20000)) {
        m_error = m_proceso.errorString();
        return false;
    }
    QDeadlineTimer plazo(30000);
    QByteArray salida;
    static const QRegularExpression listo(QStringLiteral("LISTO (\\d+)"));
    while (!plazo.hasExpired()) {
        if (!m_proceso.waitForReadyRead(int(qMax<qint64>(1, plazo.remainingTime()))))
            break;
        salida += m_proceso.readAllStandardOutput();
        const auto m = listo.match(QString::fromUtf8(salida));
        if (m.hasMatch()) {
            m_puerto = m.captured(1).toInt();
            return true;
        }
    }
    m_error = QStringLiteral("el servidor SMTP de prueba no arrancó: ") +
              QString::fromUtf8(m_proceso.readAllStandardError());
    detener();
    return false;
}

void ServidorSmtp::detener() {
    if (m_proceso.state() == QProcess::NotRunning)
        return;
    m_proceso.kill();
    m_proceso.waitForFinished(10000);
}

QString ServidorSmtp::servidor() const {
    if (m_op.tlsImplicito)
        return QStringLiteral("smtps://localhost:") + QString::number(m_puerto);
    return (m_op.starttls ? QStringLiteral("localhost:") : QStringLiteral("127.0.0.1:")) +
           QString::number(m_puerto);
}

QStringList ServidorSmtp::logins() const {
    QFile f(m_dir.filePath(QStringLiteral("recibidos.jsonl.auth")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QVector<QJsonObject> ServidorSmtp::recibidos() const {
    QVector<QJsonObject> out;
    QFile f(m_dir.filePath(QStringLiteral("recibidos.jsonl")));
    if (!f.open(QIODevice::ReadOnly))
        return out;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (!line.isEmpty())
            out << QJsonDocument::fromJson(line).object();
    }
    return out;
}
