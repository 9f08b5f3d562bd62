// Another desk, for the tests of several desks on one database: opens it, says "listo", does one thing
// through the program's own code and says how it went on one line ("resultado<TAB>mensaje").
//   ayudante_puesto BASE|postgresql://... espera_ms orden [argumentos]
// espera_ms is how long its writes wait for another desk's lock before giving up. Orders:
//   pagar idCuota                 a due's payment (account 1, paid on 2009-03-05)
//   movimiento detalle            a cash movement of 1 peso, account 1, on 2009-03-05
//   emitir idAfiliado idPlan      the member's individual issuance of 2009 (inscription included)
//   emitirPlan idPlan id,id,...   the plan-wide issuance of 2009 from January for those members
//   cuenta nombre                 a new account of that name

#include "cash/Caja.h"
#include "cash/Cobranza.h"
#include "cash/Cuentas.h"
#include "db/Database.h"
#include "dues/Emision.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {
int decir(const QString &resultado, const QString &mensaje = QString()) {
    const QString linea =
        resultado + QLatin1Char('\t') + QString(mensaje).replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stdout, "%s\n", linea.toUtf8().constData());
    std::fflush(stdout);
    return 0;
}

QString emision(const Emision::Resultado &r) {
    switch (r.estado) {
    case Emision::Resultado::Estado::Emitido:
        return QStringLiteral("Emitido %1 %2").arg(r.agregadas).arg(r.actualizadas);
    case Emision::Resultado::Estado::Rechazado:
        return QStringLiteral("Rechazado");
    case Emision::Resultado::Estado::Cancelado:
        return QStringLiteral("Cancelado");
    case Emision::Resultado::Estado::Fallo:
        break;
    }
    return QStringLiteral("Fallo");
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 4)
        return 2;
    Database::setBusyTimeout(a.at(2).toInt());
    if (const Result opened = Database::open(a.at(1), Database::Mode::MustExist); !opened) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.message()));
        return 2;
    }
    std::fputs("listo\n", stdout);
    std::fflush(stdout);
    const QString orden = a.at(3);
    const QDate dia(2009, 3, 5);
    if (orden == QLatin1String("pagar") && a.size() == 5) {
        const Result r = Cobranza::pagar(a.at(4).toLongLong(), dia, 1);
        switch (r.code()) {
        case Result::Code::Ok:
            return decir(QStringLiteral("Registrado"));
        case Result::Code::Conflict:
            return decir(QStringLiteral("YaCobrada"));
        case Result::Code::NotFound:
            return decir(QStringLiteral("NoEncontrada"));
        default:
            return decir(QStringLiteral("Fallo"), r.message());
        }
    }
    if (orden == QLatin1String("movimiento") && a.size() == 5) {
        Caja::Datos d;
        d.fecha = dia;
        d.idCuenta = 1;
        d.detalles = a.at(4);
        d.ingresos = Money::fromWhole(1);
        d.idTipoDivisa = 1;
        const auto id = Caja::agregar(d);
        return id ? decir(QStringLiteral("Guardado")) : decir(QStringLiteral("Fallo"), id.message());
    }
    if (orden == QLatin1String("emitir") && a.size() == 6) {
        Emision::Individual e;
        e.tag = a.at(4);
        e.noPlan = a.at(5);
        e.anio = QStringLiteral("2009");
        e.dia = QStringLiteral("10");
        e.primerVencimiento = QDate(2009, 1, 10);
        e.fechaInscripcion = dia;
        const auto r = Emision::emitirIndividual(e);
        return decir(emision(r), r.mensaje);
    }
    if (orden == QLatin1String("emitirPlan") && a.size() == 6) {
        Emision::Grupal e;
        e.noPlan = a.at(4);
        e.mes = QStringLiteral("1");
        e.anio = QStringLiteral("2009");
        for (const QString &id : a.at(5).split(QLatin1Char(',')))
            e.afiliados << id.toLongLong();
        e.primerVencimiento = QDate(2009, 1, 10);
        e.fechaInscripcion = dia;
        const auto r = Emision::emitirGrupal(e);
        return decir(emision(r), r.mensaje);
    }
    if (orden == QLatin1String("cuenta") && a.size() == 5) {
        const Result r = Cuentas::nueva(a.at(4));
        switch (r.code()) {
        case Result::Code::Ok:
            return decir(QStringLiteral("Agregada"));
        case Result::Code::Conflict:
            return decir(QStringLiteral("Existe"));
        case Result::Code::Invalid:
            return decir(QStringLiteral("Vacio"));
        default:
            return decir(QStringLiteral("Fallo"), r.message());
        }
    }
    std::fprintf(stderr, "orden desconocida\n");
    return 2;
}
