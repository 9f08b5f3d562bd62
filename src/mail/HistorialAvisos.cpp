#include "mail/HistorialAvisos.h"

#include "mail/AvisosDeuda.h"

namespace HistorialAvisos {

Fuente delSocio(qint64 idAfiliado) {
    using E = AvisosDeuda::Estado;
    // A due deleted since (a cleared register) keeps its number; the member's own index gives the order.
    return {QStringLiteral(R"(SELECT v."idAviso", v."Fecha", v."Hora", v."idCuota", c."Factura",
                                     c."Vencimiento", v."e-mail" AS "Email",
                                     CASE v."Resultado" WHEN ? THEN ? WHEN ? THEN ? WHEN ? THEN ? ELSE ? END
                                         AS "Resultado"
                              FROM "Avisos" v LEFT JOIN "Cuotas" c ON c."idCuota" = v."idCuota"
                              WHERE v."idAfiliado" = ?
                              ORDER BY v."Fecha" DESC, v."idAviso" DESC)"),
            {int(E::Enviado), QStringLiteral("Enviado"), int(E::Rechazado),
             QStringLiteral("Rechazado por el servidor"), int(E::Dudoso),
             QStringLiteral("Sin confirmación del servidor"), QStringLiteral("Desconocido"), idAfiliado}};
}

QString titulo() {
    return QStringLiteral("Avisos enviados");
}

QString sinAvisos() {
    return QStringLiteral("No hay avisos de deuda registrados para el socio.");
}

QVector<Columna> columnas() {
    using T = Formato::Tipo;
    return {
        {QStringLiteral("Fecha"), QStringLiteral("Fecha"), T::Fecha},
        {QStringLiteral("Hora"), QStringLiteral("Hora"), T::General},
        {QStringLiteral("Nº cuota"), QStringLiteral("idCuota"), T::Entero},
        {QStringLiteral("Concepto"), QStringLiteral("Factura"), T::General},
        {QStringLiteral("Vencimiento"), QStringLiteral("Vencimiento"), T::Fecha},
        {QStringLiteral("E-mail"), QStringLiteral("Email"), T::General},
        {QStringLiteral("Resultado"), QStringLiteral("Resultado"), T::General},
    };
}

} // namespace HistorialAvisos
