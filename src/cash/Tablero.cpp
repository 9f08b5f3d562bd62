#include "cash/Tablero.h"

#include "db/Database.h"
#include "db/Engine.h"

#include <QHash>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <atomic>
#include <functional>
#include <numeric>

namespace {

QVariant iso(const QDate &d) {
    return d.toString(Qt::ISODate);
}

QDate fecha(const QVariant &v) {
    return QDate::fromString(v.toString().left(10), Qt::ISODate);
}

Money monto(const QVariant &v) {
    return Money::fromVariant(v).value_or(Money());
}

Result fallo(const QSqlQuery &q) {
    return Result::failure(
        QStringLiteral("No se pudieron leer las cifras del tablero: %1").arg(q.lastError().text()));
}

bool leer(QSqlQuery &q, const QString &sql, const QVariantList &params) {
    q.setForwardOnly(true);
    return Database::run(q, sql, params, QStringLiteral("Tablero"));
}

// Overdue dues as the debt report counts them (unpaid, due today or earlier) of one age: one range of the
// index on ("Pagada", "Vencimiento", "Monto", "idAfiliado"), read by itself so that the ages are counted
// side by side. Age 3 is everything older than 90 days.
Result leerTramo(const QSqlDatabase &db, const QDate &hoy, int tramo, Tablero::Tramo &t) {
    static const int desde[] = {30, 60, 90};
    QString donde = QStringLiteral(R"("Pagada" = 0 AND "Vencimiento" <= ?)");
    QVariantList params{iso(tramo == 0 ? hoy : hoy.addDays(-desde[tramo - 1] - 1))};
    if (tramo < 3) {
        donde += QStringLiteral(R"( AND "Vencimiento" >= ?)");
        params << iso(hoy.addDays(-desde[tramo]));
    }
    QSqlQuery q(db);
    if (!leer(q,
              QStringLiteral(
                  R"(SELECT SUM("Monto"), COUNT(*), COUNT(DISTINCT "idAfiliado") FROM "Cuotas" WHERE )") +
                  donde,
              params))
        return fallo(q);
    if (q.next()) {
        t.monto = monto(q.value(0));
        t.cuotas = q.value(1).toInt();
        t.socios = q.value(2).toInt();
    }
    return Result::done();
}

// The members owing any overdue due: one of them owing dues of two ages counts once.
Result leerDeudores(const QSqlDatabase &db, const QDate &hoy, Tablero::Cifras &c) {
    QSqlQuery q(db);
    if (!leer(
            q,
            QStringLiteral(
                R"(SELECT COUNT(DISTINCT "idAfiliado") FROM "Cuotas" WHERE "Pagada" = 0 AND "Vencimiento" <= ?)"),
            {iso(hoy)}))
        return fallo(q);
    c.sociosConDeuda = q.next() ? q.value(0).toInt() : 0;
    return Result::done();
}

int indiceMes(const Tablero::Cifras &c, const QDate &d) {
    const QDate primero = c.meses.constFirst();
    const int i = (d.year() - primero.year()) * 12 + d.month() - primero.month();
    return i < c.meses.size() ? i : -1; // before the first month: negative
}

// Income and balance of every account, from the day totals the database keeps of the cash book (by
// account and day, as the cash reports' view sums its movements) up to the end of the current month.
Result leerCaja(const QSqlDatabase &db, const QDate &fin, Tablero::Cifras &c) {
    QSqlQuery q(db);
    if (!leer(q, QStringLiteral(R"(SELECT "idCuenta", "Descripcion" FROM "Cuentas"
                  ORDER BY "Descripcion" COLLATE es, "idCuenta")"),
              {}))
        return fallo(q);
    QHash<int, int> fila;
    auto cuenta = [&](int id, const QString &nombre) -> Tablero::Cuenta & {
        auto it = fila.constFind(id);
        if (it == fila.constEnd()) {
            it = fila.insert(id, int(c.cuentas.size()));
            c.cuentas.append({id, nombre, QVector<Money>(c.meses.size()), QVector<Money>(c.meses.size())});
        }
        return c.cuentas[*it];
    };
    while (q.next())
        cuenta(q.value(0).toInt(), q.value(1).toString());

    if (!leer(q, QStringLiteral(R"(SELECT "idCuenta", "Fecha", "Ingresos", "Egresos"
                  FROM "TotalesCaja" WHERE "Fecha" <= ?)"),
              {iso(fin)}))
        return fallo(q);
    // Movements before the first month only carry into its balance.
    QHash<int, Money> arrastre;
    while (q.next()) {
        const int id = q.value(0).toInt();
        Tablero::Cuenta &k = cuenta(id, QStringLiteral("(cuenta borrada)"));
        const Money ingreso = monto(q.value(2));
        const Money neto = ingreso - monto(q.value(3));
        const int m = indiceMes(c, fecha(q.value(1)));
        if (m < 0) {
            arrastre[id] += neto;
            continue;
        }
        k.ingresos[m] += ingreso;
        k.saldo[m] += neto;
    }
    for (Tablero::Cuenta &k : c.cuentas) {
        Money saldo = arrastre.value(k.id);
        for (Money &s : k.saldo)
            s = saldo += s;
    }
    return Result::done();
}

// The dues falling due in each month, whether paid or not.
Result leerEmitido(const QSqlDatabase &db, const QDate &fin, Tablero::Cifras &c) {
    c.emitido = QVector<Money>(c.meses.size());
    QSqlQuery q(db);
    if (!leer(q, QStringLiteral(R"(SELECT "Vencimiento", SUM("Monto") FROM "Cuotas"
                  WHERE "Vencimiento" >= ? AND "Vencimiento" <= ? GROUP BY "Vencimiento")"),
              {iso(c.meses.constFirst()), iso(fin)}))
        return fallo(q);
    while (q.next())
        if (const int m = indiceMes(c, fecha(q.value(0))); m >= 0)
            c.emitido[m] += monto(q.value(1));
    return Result::done();
}

// Members by plan and category: counted on the index on ("idPlan", "idCategoria").
Result leerSocios(const QSqlDatabase &db, Tablero::Cifras &c) {
    QSqlQuery q(db);
    QHash<int, int> plan, categoria;
    auto catalogo = [&](const QString &tabla, const QString &clave, QStringList &nombres,
                        QHash<int, int> &indice) -> bool {
        if (!leer(q,
                  QStringLiteral(
                      R"(SELECT "%1", "Descripcion" FROM "%2" ORDER BY "Descripcion" COLLATE es, "%1")")
                      .arg(clave, tabla),
                  {}))
            return false;
        while (q.next()) {
            indice.insert(q.value(0).toInt(), int(nombres.size()));
            nombres << q.value(1).toString();
        }
        return true;
    };
    if (!catalogo(QStringLiteral("Planes"), QStringLiteral("idPlan"), c.planes, plan) ||
        !catalogo(QStringLiteral("Categorias"), QStringLiteral("idCategoria"), c.categorias, categoria))
        return fallo(q);
    if (!leer(q, QStringLiteral(R"(SELECT "idPlan", "idCategoria", COUNT(*) FROM "Afiliados"
                  GROUP BY "idPlan", "idCategoria")"),
              {}))
        return fallo(q);
    struct Cuenta {
        int plan, categoria, socios;
    };
    QVector<Cuenta> filas;
    bool sinPlan = false, sinCategoria = false;
    while (q.next()) {
        const auto p = plan.constFind(q.value(0).toInt());
        const auto k = categoria.constFind(q.value(1).toInt());
        const bool planConocido = !q.value(0).isNull() && p != plan.constEnd();
        const bool categoriaConocida = !q.value(1).isNull() && k != categoria.constEnd();
        sinPlan |= !planConocido;
        sinCategoria |= !categoriaConocida;
        filas.append({planConocido ? *p : -1, categoriaConocida ? *k : -1, q.value(2).toInt()});
    }
    if (sinPlan)
        c.planes << QStringLiteral("(sin plan)");
    if (sinCategoria)
        c.categorias << QStringLiteral("(sin categoría)");
    c.socios = QVector<QVector<int>>(c.planes.size(), QVector<int>(c.categorias.size()));
    for (const Cuenta &f : std::as_const(filas)) {
        const int p = f.plan < 0 ? int(c.planes.size()) - 1 : f.plan;
        const int k = f.categoria < 0 ? int(c.categorias.size()) - 1 : f.categoria;
        c.socios[p][k] += f.socios;
        c.totalSocios += f.socios;
    }
    return Result::done();
}

using Parte = std::function<Result(const QSqlDatabase &)>;

Tablero::Cifras vacias(const QDate &hoy) {
    Tablero::Cifras c;
    c.hoy = hoy;
    const QDate esteMes(hoy.year(), hoy.month(), 1);
    for (int i = 11; i >= 0; --i)
        c.meses << esteMes.addMonths(-i);
    for (const QString &n : Tablero::nombresTramos())
        c.deuda.append({n, Money(), 0, 0});
    return c;
}

// The readings; each fills its own figures of c, so that they may run at once. The longest come first:
// readers that take them in turn end together.
QVector<Parte> partes(Tablero::Cifras &c) {
    const QDate fin = c.meses.constLast().addMonths(1).addDays(-1);
    Tablero::Tramo *tramos = c.deuda.data(); // not through the vector: no reader may detach it
    QVector<Parte> todas{[&c, fin](const QSqlDatabase &db) { return leerEmitido(db, fin, c); },
                         [&c](const QSqlDatabase &db) { return leerDeudores(db, c.hoy, c); }};
    for (int t = 3; t >= 0; --t)
        todas << [&c, tramos, t](const QSqlDatabase &db) { return leerTramo(db, c.hoy, t, tramos[t]); };
    todas << [&c, fin](const QSqlDatabase &db) { return leerCaja(db, fin, c); }
          << [&c](const QSqlDatabase &db) { return leerSocios(db, c); };
    return todas;
}

} // namespace

namespace Tablero {

QStringList nombresTramos() {
    return {QStringLiteral("0 a 30 días"), QStringLiteral("31 a 60 días"), QStringLiteral("61 a 90 días"),
            QStringLiteral("más de 90 días")};
}

QString nombreMes(const QDate &primerDia) {
    QString mes = QLocale().standaloneMonthName(primerDia.month(), QLocale::ShortFormat);
    mes.remove(QLatin1Char('.'));
    return QStringLiteral("%1 %2").arg(mes).arg(primerDia.year());
}

Tabla tabla(const Cifras &c, Grafico g) {
    Tabla t;
    auto porMes = [&](const std::function<Money(const Cuenta &, int)> &cifra) {
        t.columnas << QStringLiteral("Mes");
        for (const Cuenta &k : c.cuentas)
            t.columnas << k.nombre;
        t.columnas << QStringLiteral("Total");
        for (int m = 0; m < c.meses.size(); ++m) {
            QVector<QVariant> fila{nombreMes(c.meses[m])};
            Money total;
            for (const Cuenta &k : c.cuentas) {
                fila << QVariant::fromValue(cifra(k, m));
                total += cifra(k, m);
            }
            fila << QVariant::fromValue(total);
            t.filas << fila;
        }
    };
    switch (g) {
    case Deuda: {
        t.titulo = QStringLiteral("Deuda vencida por antigüedad");
        t.columnas = {QStringLiteral("Antigüedad"), QStringLiteral("Monto"), QStringLiteral("Cuotas"),
                      QStringLiteral("Socios")};
        Money total;
        int cuotas = 0;
        for (const Tramo &r : c.deuda) {
            t.filas.append({r.nombre, QVariant::fromValue(r.monto), r.cuotas, r.socios});
            total += r.monto;
            cuotas += r.cuotas;
        }
        // A member owing dues of two ages counts once in the total.
        t.filas.append({QStringLiteral("Total"), QVariant::fromValue(total), cuotas, c.sociosConDeuda});
        break;
    }
    case Cobranzas:
        t.titulo = QStringLiteral("Cobranzas por cuenta y cuotas del mes");
        porMes([](const Cuenta &k, int m) { return k.ingresos[m]; });
        t.columnas.last() = QStringLiteral("Total cobrado");
        t.columnas << QStringLiteral("Cuotas del mes");
        for (int m = 0; m < c.meses.size(); ++m)
            t.filas[m] << QVariant::fromValue(c.emitido.value(m));
        break;
    case Socios: {
        t.titulo = QStringLiteral("Socios por plan y por categoría");
        t.columnas = {QStringLiteral("Plan o categoría"), QStringLiteral("Socios")};
        t.filas.append({QStringLiteral("Por plan"), QVariant()});
        for (int p = 0; p < c.planes.size(); ++p)
            t.filas.append({c.planes[p], std::accumulate(c.socios[p].cbegin(), c.socios[p].cend(), 0)});
        t.filas.append({QStringLiteral("Por categoría"), QVariant()});
        for (int k = 0; k < c.categorias.size(); ++k) {
            int n = 0;
            for (const auto &fila : c.socios)
                n += fila[k];
            t.filas.append({c.categorias[k], n});
        }
        t.filas.append({QStringLiteral("Total"), c.totalSocios});
        break;
    }
    case Saldos:
        t.titulo = QStringLiteral("Saldo de caja por cuenta al fin de cada mes");
        porMes([](const Cuenta &k, int m) { return k.saldo[m]; });
        break;
    }
    return t;
}

Expected<Cifras> calcular(const QSqlDatabase &db, const QDate &hoy) {
    Cifras c = vacias(hoy);
    for (const Parte &parte : partes(c)) {
        if (const Result r = parte(db); !r)
            return r;
    }
    return c;
}

void Parada::pedir() {
    m_pedida = true;
    QMutexLocker cerrojo(&m_mutex);
    for (const auto &cortar : std::as_const(m_cortes))
        if (cortar)
            cortar();
}

void Parada::abierta(int lector, std::function<void()> cortar) {
    QMutexLocker cerrojo(&m_mutex);
    m_cortes.insert(lector, std::move(cortar));
}

void Parada::cerrada(int lector) {
    QMutexLocker cerrojo(&m_mutex);
    m_cortes.remove(lector);
}

Expected<Cifras> calcularAparte(const QString &conexion, const QDate &hoy, Parada *parada) {
    // As many readers as the machine runs at once, each on a connection of its own, taking the next
    // reading as it ends one.
    Cifras c = vacias(hoy);
    const QVector<Parte> todas = partes(c);
    QVector<Result> resultados(todas.size());
    Result *salida = resultados.data(); // each reader writes its own elements, never through the vector
    std::atomic<int> siguiente{0};
    const int lectores = int(qBound(2, QThread::idealThreadCount(), int(todas.size())));
    QVector<QThread *> hilos;
    for (int i = 0; i < lectores; ++i) {
        hilos << QThread::create([&, i] {
            const QString nombre = QStringLiteral("%1-%2").arg(conexion).arg(i);
            {
                const Expected<QSqlDatabase> abierta = Database::openExtra(nombre);
                if (!abierta) {
                    // The readings not taken yet are left; the first of them carries the failure.
                    const int k = siguiente.fetch_add(int(todas.size()));
                    if (k < todas.size())
                        salida[k] =
                            Result::failure(QStringLiteral("No se pudo abrir la base para el tablero: %1")
                                                .arg(abierta.message()),
                                            abierta.code());
                } else {
                    if (parada)
                        parada->abierta(i, Engine::of(*abierta).interrupter(*abierta));
                    for (int k = siguiente++; k < todas.size() && !(parada && parada->pedida());
                         k = siguiente++)
                        salida[k] = todas[k](*abierta);
                    if (parada)
                        parada->cerrada(i);
                }
            }
            Database::closeExtra(nombre);
        });
        hilos.last()->start();
    }
    for (QThread *h : std::as_const(hilos)) {
        h->wait();
        delete h;
    }
    if (parada && parada->pedida())
        return Result::failure(QStringLiteral("Se dejaron de leer las cifras del tablero."),
                               Result::Code::Cancelled);
    for (const Result &r : std::as_const(resultados))
        if (!r)
            return r;
    return c;
}

} // namespace Tablero
