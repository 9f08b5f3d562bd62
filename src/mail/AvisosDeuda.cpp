#include "mail/AvisosDeuda.h"

#include "core/Clock.h"
#include "core/Log.h"
#include "db/Actividad.h"
#include "db/Database.h"
#include "db/Transaction.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>
#include <QUuid>
#include <utility>

const QString AvisosDeuda::kAsunto = QStringLiteral("Aviso de Deuda de Cuota");
const QString AvisosDeuda::kFaltaConfiguracion = QStringLiteral("Ingrese las configuraciones correctamente!");

namespace {
QString html(const QString &s) {
    return s.toHtmlEscaped();
}

// Header text never carries a line break or another control character from the data.
QString sinControles(const QString &s) {
    QString out;
    out.reserve(s.size());
    for (const QChar c : s)
        out += (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
                c == QChar::ParagraphSeparator)
                   ? QLatin1Char(' ')
                   : c;
    return out.simplified();
}

QByteArray base64Lineas(const QByteArray &datos) {
    const QByteArray b = datos.toBase64();
    QByteArray out;
    out.reserve(b.size() + b.size() / 76 * 2 + 2);
    for (qsizetype i = 0; i < b.size(); i += 76)
        out += b.mid(i, 76) + "\r\n";
    return out;
}

QString dominio(const QString &email) {
    const qsizetype at = email.lastIndexOf(QLatin1Char('@'));
    return at >= 0 ? email.mid(at + 1) : QStringLiteral("localhost");
}
} // namespace

bool AvisosDeuda::direccionValida(const QString &email) {
    static const QRegularExpression re(
        QStringLiteral(R"(^[A-Za-z0-9.!#$%&'*+/=?^_`{|}~\-]+@[A-Za-z0-9](?:[A-Za-z0-9\-]*[A-Za-z0-9])?)"
                       R"((?:\.[A-Za-z0-9](?:[A-Za-z0-9\-]*[A-Za-z0-9])?)*$)"));
    return email.size() <= 254 && re.match(email).hasMatch();
}

bool AvisosDeuda::configuracionCompleta(const Configuracion::Ajustes &a) {
    return !a.nombreEmpresa.isEmpty() && !a.email.isEmpty() && !a.serverSMTP.trimmed().isEmpty() &&
           direccionValida(a.email.trimmed());
}

bool AvisosDeuda::autentica(const Configuracion::Ajustes &a) {
    return a.autentica.compare(QLatin1String("SI"), Qt::CaseInsensitive) == 0;
}

QString AvisosDeuda::destinatario(const Aviso &aviso) {
    return QStringLiteral("%1, %2 <%3>").arg(aviso.apellido, aviso.nombres, aviso.email);
}

namespace {
const QString kVencidas = QStringLiteral(R"(c."Vencimiento" <= date() AND c."Pagada" = 0)");
}

Expected<int> AvisosDeuda::contarPendientes() {
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q, QStringLiteral(R"(
            SELECT COUNT(*) FROM "Planes" p
            INNER JOIN "Cuotas" c ON p."idPlan" = c."idPlan"
            INNER JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
            WHERE )") + kVencidas,
                       {}, QStringLiteral("Aviso de deuda")) ||
        !q.next())
        return Database::failure(q);
    return q.value(0).toInt();
}

AvisosDeuda::Lector AvisosDeuda::lectorPendientes(int diasEntreAvisos) {
    return [ultima = qint64(0), diasEntreAvisos]() mutable -> Expected<QVector<Aviso>> {
        auto lote = pendientes(ultima, kLote, diasEntreAvisos);
        if (lote && !lote->isEmpty())
            ultima = lote->constLast().idCuota;
        return lote;
    };
}

Expected<QVector<AvisosDeuda::Aviso>> AvisosDeuda::pendientes(qint64 despuesDe, int cuantos,
                                                              int diasEntreAvisos) {
    // Reminded after this day: too recent to remind again (with 0 days, a day that has not come).
    const QString desde = Clock::today().addDays(-qMax(0, diasEntreAvisos)).toString(Qt::ISODate);
    QVector<Aviso> avisos;
    QSqlQuery q(Database::db());
    q.setForwardOnly(true);
    if (!Database::run(q,
                       QStringLiteral(R"(
            SELECT a."e-mail", a."Nombres", a."Apellido", c."Vencimiento", c."Factura", c."idPlan", c."Mes",
                   c."Año", c."Monto", c."Pagada", c."Recargo", p."Descripcion", c."idCuota", c."idAfiliado",
                   EXISTS (SELECT 1 FROM "Avisos" v
                           WHERE v."idCuota" = c."idCuota" AND v."Fecha" = date() AND v."Resultado" IN (?, ?)),
                   EXISTS (SELECT 1 FROM "Avisos" v
                           WHERE v."idCuota" = c."idCuota" AND v."Fecha" > ? AND v."Resultado" IN (?, ?))
            FROM "Planes" p
            INNER JOIN "Cuotas" c ON p."idPlan" = c."idPlan"
            INNER JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
            WHERE c."idCuota" > ? AND )") +
                           kVencidas + QStringLiteral(R"(
            ORDER BY c."idCuota" LIMIT ?)"),
                       {int(Estado::Enviado), int(Estado::Dudoso), desde, int(Estado::Enviado),
                        int(Estado::Dudoso), despuesDe, cuantos},
                       QStringLiteral("Aviso de deuda")))
        return Database::failure(q);
    while (q.next()) {
        Aviso a;
        a.email = q.value(0).toString().trimmed();
        a.nombres = q.value(1).toString();
        a.apellido = q.value(2).toString();
        a.vencimiento = QDate::fromString(q.value(3).toString().left(10), Qt::ISODate);
        a.monto = Money::fromVariant(q.value(8)).value_or(Money());
        a.descripcion = q.value(11).toString();
        a.idCuota = q.value(12).toLongLong();
        a.idAfiliado = q.value(13).toLongLong();
        a.enviadoHoy = q.value(14).toBool();
        a.avisadoReciente = diasEntreAvisos > 0 && q.value(15).toBool();
        avisos.push_back(a);
    }
    return avisos;
}

Result AvisosDeuda::registrar(const Aviso &aviso, Estado estado, int codigoSmtp) {
    return Transaction::run(Database::db(), [&](Transaction &t) {
        QSqlQuery q(Database::db());
        if (!Database::run(q, QStringLiteral(R"(
                    INSERT INTO "Avisos" ("idCuota", "idAfiliado", "e-mail", "Fecha", "Hora", "Resultado",
                                          "CodigoSMTP")
                    VALUES (?, ?, ?, date(), ?, ?, ?))"),
                           {aviso.idCuota, aviso.idAfiliado, aviso.email,
                            QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), int(estado),
                            codigoSmtp > 0 ? QVariant(codigoSmtp) : QVariant()},
                           QStringLiteral("Aviso de deuda")))
            return t.fail(q.lastError());
        return true;
    });
}

QString AvisosDeuda::Resultado::resumen() const {
    QString texto =
        QStringLiteral("%1 enviados, %2 fallidos, %3 dudosos, %4 sin dirección, %5 ya enviados hoy")
            .arg(enviados)
            .arg(fallidos)
            .arg(dudosos)
            .arg(sinDireccion)
            .arg(yaEnviados);
    // Only when the club keeps days between reminders: the line stays as it was otherwise.
    if (recientes > 0)
        texto += QStringLiteral(", %1 avisados hace pocos días").arg(recientes);
    return texto;
}

QString AvisosDeuda::cuerpo(const Configuracion::Ajustes &a, const Aviso &v, const QLocale &locale) {
    return QStringLiteral("<b>Estimado ") + html(v.apellido) + QStringLiteral(", ") + html(v.nombres) +
           QStringLiteral(" </b><br><br>") +
           QStringLiteral("Le recordamos que ud. posee en nuestros registros una deuda pendiente de pago, ") +
           QStringLiteral(" con vencimiento el dia ") + v.vencimiento.toString(QStringLiteral("dd/MM/yyyy")) +
           QStringLiteral(" correspondiente al plan ") + html(v.descripcion) + QStringLiteral("<br>") +
           QStringLiteral(" por un importe de <b>") + html(v.monto.toCurrencyString(locale)) +
           QStringLiteral(".</b><br>") +
           QStringLiteral("Por favor le pedimos tenga a bien acercarse a nuestros establecimientos o bien "
                          "comunicarse con nuestro") +
           QStringLiteral(
               " departamento de cobranzas a la brevedad a fin de regularizar su situación.<br><br>") +
           QStringLiteral("Muchas Gracias!<br>") + html(a.nombreEmpresa) + QStringLiteral("<br>") +
           html(a.email.trimmed());
}

namespace {
bool esAscii(const QString &s) {
    for (const QChar c : s)
        if (c.unicode() > 126)
            return false;
    return true;
}

// RFC 2047 encoded words of at most 75 characters, cut between characters, never inside one.
QByteArray palabrasCodificadas(const QString &texto) {
    QByteArray out;
    QByteArray trozo;
    const auto cerrar = [&] {
        if (trozo.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\r\n ";
        out += "=?UTF-8?B?" + trozo.toBase64() + "?=";
        trozo.clear();
    };
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const qsizetype n = (texto.at(i).isHighSurrogate() && i + 1 < texto.size()) ? 2 : 1;
        const QByteArray ch = texto.mid(i, n).toUtf8();
        if ((trozo.size() + ch.size() + 2) / 3 * 4 > 60)
            cerrar();
        trozo += ch;
        i += n - 1;
    }
    cerrar();
    return out;
}

QByteArray textoEncabezado(const QString &texto) {
    const QString limpio = sinControles(texto);
    return esAscii(limpio) ? limpio.toLatin1() : palabrasCodificadas(limpio);
}
} // namespace

QByteArray AvisosDeuda::nombreEnEncabezado(const QString &nombre) {
    const QString limpio = sinControles(nombre);
    if (!esAscii(limpio))
        return palabrasCodificadas(limpio);
    QString q = limpio;
    q.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return '"' + q.toLatin1() + '"';
}

QByteArray AvisosDeuda::mensaje(const Configuracion::Ajustes &a, const Aviso &v, const QDateTime &ahora,
                                const QLocale &locale) {
    const QString remitente = a.email.trimmed();
    QByteArray m;
    m += "Date: " + ahora.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    m += "From: " + nombreEnEncabezado(a.nombreEmpresa) + " <" + remitente.toUtf8() + ">\r\n";
    m += "To: " + nombreEnEncabezado(v.apellido + QStringLiteral(", ") + v.nombres) + " <" +
         v.email.toUtf8() + ">\r\n";
    m += "Subject: " + textoEncabezado(kAsunto) + "\r\n";
    m += "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + '@' +
         dominio(remitente).toUtf8() + ">\r\n";
    m += "MIME-Version: 1.0\r\n";
    m += "Content-Type: text/html; charset=UTF-8\r\n";
    m += "Content-Transfer-Encoding: base64\r\n";
    m += "\r\n";
    m += base64Lineas(cuerpo(a, v, locale).toUtf8());
    return m;
}

AvisosDeuda::Resultado AvisosDeuda::Envio::ejecutar(const Configuracion::Ajustes &a,
                                                    const QVector<Aviso> &avisos) {
    return ejecutar(a, int(avisos.size()),
                    [lote = avisos]() mutable { return Expected<QVector<Aviso>>(std::exchange(lote, {})); });
}

AvisosDeuda::Resultado AvisosDeuda::Envio::ejecutar(const Configuracion::Ajustes &a, int total,
                                                    const Lector &lector) {
    Resultado r = enviarTodos(a, total, lector);
    if (!registrarEnBase)
        return r;
    // The messages are gone by now: an entry that cannot be stored is reported as a database failure.
    if (const Result anotado = Actividad::anotarAparte(
            Database::db(), {Actividad::Accion::Avisos, QStringLiteral("%1 cuotas vencidas").arg(total),
                             std::nullopt, std::nullopt, r.resumen()});
        !anotado) {
        Log::error(QStringLiteral("Aviso de deuda"), anotado.message());
        r.errorDeBase = true;
        if (r.detenido.isEmpty())
            r.detenido = anotado.message();
    }
    return r;
}

AvisosDeuda::Resultado AvisosDeuda::Envio::enviarTodos(const Configuracion::Ajustes &a, int total,
                                                       const Lector &lector) {
    Resultado r;
    SmtpSender::Opciones op;
    op.servidor = a.serverSMTP;
    op.autenticar = autentica(a);
    if (op.autenticar) {
        op.usuario = a.nombreUsuarioAUT;
        op.contrasena = a.contrasenaAUT;
    }
    op.caFile = caFile.isEmpty() ? a.certificadoSMTP.trimmed() : caFile;
    op.reusarConexion = reusarConexion;
    op.limites = limites;
    op.alEsperar = alEsperar;
    SmtpSender sender(op);
    const QString remitente = a.email.trimmed();
    QVector<Aviso> avisos; // the batch in hand
    int hechos = 0;        // the messages of the batches before it
    const QString donde = QStringLiteral("Aviso de deuda");
    const auto anotar = [&](const QString &linea, bool enviado) {
        if (!enviado)
            Log::error(donde, linea);
        if (informe)
            informe(linea, enviado);
    };
    // What was not tried when the run ends early, each in its own count.
    const auto sinIntentar = [&](int desde) {
        int fallan = 0;
        const auto contar = [&](const Aviso &v) {
            if (v.email.isEmpty())
                ++r.sinDireccion;
            else if (v.enviadoHoy)
                ++r.yaEnviados;
            else if (v.avisadoReciente)
                ++r.recientes;
            else
                ++fallan;
        };
        for (int j = desde; j < avisos.size(); ++j)
            contar(avisos.at(j));
        // The batches not read yet, read only to be counted.
        for (auto lote = lector(); lote && !lote->isEmpty(); lote = lector())
            for (const Aviso &v : std::as_const(*lote))
                contar(v);
        r.fallidos += fallan;
        const QString linea = QStringLiteral("Envío interrumpido: %1 mensajes sin enviar").arg(fallan);
        r.fallas << linea;
        Log::error(donde, linea);
    };

    for (;; hechos += int(avisos.size())) {
        auto lote = lector();
        if (!lote) {
            r.abortado = true;
            r.errorDeBase = true;
            r.detenido = QStringLiteral("No se pudieron leer las cuotas vencidas: %1").arg(lote.message());
            Log::error(donde, r.detenido);
            return r;
        }
        if (lote->isEmpty())
            break;
        avisos = std::move(*lote);
        for (int i = 0; i < avisos.size(); ++i) {
            const Aviso &v = avisos.at(i);
            // Dues that fell due or were added since the count add to it.
            if (progreso)
                progreso(hechos + i + 1, qMax(total, hechos + i + 1));
            const auto fallo = [&](const QString &motivo) {
                ++r.fallidos;
                const QString linea = QStringLiteral("No enviado a %1: %2").arg(destinatario(v), motivo);
                r.fallas << linea;
                anotar(linea, false);
            };
            if (v.email.isEmpty()) {
                ++r.sinDireccion;
                anotar(QStringLiteral("Sin dirección de e-mail: %1, %2").arg(v.apellido, v.nombres), false);
                continue;
            }
            if (v.enviadoHoy) {
                ++r.yaEnviados;
                if (informe)
                    informe(QStringLiteral("Ya enviado hoy a %1").arg(destinatario(v)), false);
                continue;
            }
            if (v.avisadoReciente) {
                ++r.recientes;
                if (informe)
                    informe(QStringLiteral("Avisado hace pocos días a %1").arg(destinatario(v)), false);
                continue;
            }
            if (!direccionValida(v.email)) {
                fallo(QStringLiteral("dirección de e-mail inválida"));
                continue;
            }
            const QByteArray m = mensaje(a, v, QDateTime::currentDateTime(), locale);
            // Recorded at once: a run stopped after this message does not send it again today.
            const auto registrado = [&](Estado estado) {
                if (!registrarEnBase)
                    return true;
                const Result registro = AvisosDeuda::registrar(v, estado, sender.codigoSmtp());
                if (registro)
                    return true;
                r.abortado = true;
                r.errorDeBase = true;
                r.detenido = QStringLiteral("No se pudo registrar el envío a %1 en la base de datos: %2")
                                 .arg(destinatario(v), registro.message());
                Log::error(donde, r.detenido);
                sinIntentar(i + 1);
                return false;
            };
            int transitorios = 0;
            for (;;) {
                SmtpSender::Resultado s = sender.enviar(remitente, v.email, m);
                if (s == SmtpSender::Resultado::Transitorio) {
                    Log::error(donde, QStringLiteral("%1: %2 (%3); se reintenta con una conexión nueva")
                                          .arg(destinatario(v), sender.descripcionError())
                                          .arg(sender.codigoSmtp()));
                    if (++transitorios < kIntentosTransitorios)
                        continue;
                    s = SmtpSender::Resultado::Conexion;
                }
                if (s == SmtpSender::Resultado::Enviado) {
                    ++r.enviados;
                    anotar(QStringLiteral("Enviado a %1: vencimiento %2, %3")
                               .arg(destinatario(v), v.vencimiento.toString(QStringLiteral("dd/MM/yyyy")),
                                    v.monto.toCurrencyString(locale)),
                           true);
                    if (!registrado(Estado::Enviado))
                        return r;
                    break;
                }
                if (s == SmtpSender::Resultado::Dudoso) {
                    ++r.dudosos;
                    anotar(QStringLiteral("Dudoso (puede haber llegado; no se repite hoy) a %1: %2")
                               .arg(destinatario(v), sender.descripcionError()),
                           false);
                    if (!registrado(Estado::Dudoso))
                        return r;
                    break;
                }
                if (s == SmtpSender::Resultado::Rechazado) {
                    fallo(sender.descripcionError());
                    if (!registrado(Estado::Rechazado))
                        return r;
                    break;
                }
                if (s == SmtpSender::Resultado::SinCifrado) {
                    r.abortado = true;
                    r.detenido = sender.descripcionError();
                    Log::error(donde, r.detenido);
                    sinIntentar(i);
                    return r;
                }
                Log::error(
                    donde,
                    QStringLiteral("%1 - %2").arg(sender.codigoError()).arg(sender.descripcionError()));
                const Decision d = alFallarConexion
                                       ? alFallarConexion(sender.codigoError(), sender.descripcionError())
                                       : Decision::Abortar;
                if (d == Decision::Reintentar) {
                    transitorios = 0;
                    continue;
                }
                if (d == Decision::Ignorar) {
                    fallo(sender.descripcionError());
                    break;
                }
                r.abortado = true;
                sinIntentar(i);
                return r;
            }
        }
    }
    return r;
}
