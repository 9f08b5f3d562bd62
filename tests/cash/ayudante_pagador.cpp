// Started by the crash test: pays dues through the payment code, one after another, until it is killed.
// Says "listo" once the database is open and "pagada" after each payment.
//   ayudante_pagador BASE.db      (or the server's address, postgresql://...: the child is then another desk)

#include "cash/Cobranza.h"
#include "db/Database.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    if (const Result opened = Database::open(QString::fromLocal8Bit(argv[1]), Database::Mode::MustExist);
        !opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.message()));
        return 2;
    }
    std::fputs("listo\n", stdout);
    std::fflush(stdout);
    QRandomGenerator rng(quint32(QCoreApplication::applicationPid()));
    for (;;) {
        // Mostly the next unpaid due; now and then one already paid, which must be refused untouched.
        const bool repetir = rng.bounded(8) == 0;
        const QVariant id = Database::buscaValor(
            repetir ? QStringLiteral(
                          R"(SELECT "idCuota" FROM "Cuotas" WHERE "Pagada" <> 0 ORDER BY random() LIMIT 1)")
                    : QStringLiteral(
                          R"(SELECT "idCuota" FROM "Cuotas" WHERE "Pagada" = 0 ORDER BY "idCuota" LIMIT 1)"),
            QStringLiteral("idCuota"));
        if (id.isNull()) {
            if (repetir)
                continue;
            return 3; // no dues left to pay
        }
        if (Cobranza::pagar(id.toLongLong(), QDate(2009, 3, 5), 1 + qint64(rng.bounded(2))).ok()) {
            std::fputs("pagada\n", stdout);
            std::fflush(stdout);
        }
    }
}
