#pragma once

#include "core/Money.h"
#include "core/Result.h"

#include <QDate>
#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <atomic>
#include <functional>

// The dashboard's figures: what the club is owed, what it collected and holds, and who its members are.
// Exact amounts from the same rows as the debt and cash reports; the charts turn them into doubles only to
// draw them.
namespace Tablero {

// Overdue debt (unpaid dues due today or earlier, as the debt report counts it) by how many days ago the
// due fell due: 0 to 30, 31 to 60, 61 to 90, over 90.
struct Tramo {
    QString nombre; // "0 a 30 días"
    Money monto;
    int cuotas = 0;
    int socios = 0; // members with at least one due of this age
};

// One account's last twelve months.
struct Cuenta {
    int id = 0;
    QString nombre;
    QVector<Money> ingresos; // income of each month
    QVector<Money> saldo;    // balance at the end of each month (every movement up to that day)
};

struct Cifras {
    QDate hoy;
    QVector<Tramo> deuda; // four ages, youngest first
    int sociosConDeuda = 0;
    QVector<QDate> meses; // first day of each of the last twelve months, the current one last
    QVector<Cuenta> cuentas;
    QVector<Money> emitido; // amount of the dues falling due in each month
    // Members by plan (rows) and category (columns); a member without a known plan or category counts
    // under "(sin plan)" / "(sin categoría)".
    QStringList planes;
    QStringList categorias;
    QVector<QVector<int>> socios;
    int totalSocios = 0;
};

// What each chart shows, as a table beside it and in its CSV file: cells are text, whole numbers (int) or
// Money. A row whose only filled cell is the first is a section heading.
struct Tabla {
    QString titulo;
    QStringList columnas;
    QVector<QVector<QVariant>> filas;
};
enum Grafico { Deuda, Cobranzas, Socios, Saldos };
constexpr int CantidadGraficos = 4;
Tabla tabla(const Cifras &c, Grafico g);

// The four age bands' names and the months' captions ("ene 2025"), for charts, tables and files alike.
QStringList nombresTramos();
QString nombreMes(const QDate &primerDia);

// Reads the figures on db as of hoy. Every sum is made by the database on its indexes.
Expected<Cifras> calcular(const QSqlDatabase &db, const QDate &hoy);

// A request to stop a reading under way, from another thread: each reader stops before its next reading,
// and a file's statement under way is interrupted at once.
class Parada {
public:
    void pedir();
    bool pedida() const { return m_pedida.load(); }
    // Each reader's way of stopping its connection's statement, while the connection is open.
    void abierta(int lector, std::function<void()> cortar);
    void cerrada(int lector);

private:
    std::atomic<bool> m_pedida{false};
    QMutex m_mutex;
    QHash<int, std::function<void()>> m_cortes;
};

// Reads them on connections of its own to the open database, from worker threads, closed again before
// returning. A reading stopped by parada ends with Result::Code::Cancelled.
Expected<Cifras> calcularAparte(const QString &conexion, const QDate &hoy, Parada *parada = nullptr);

} // namespace Tablero
