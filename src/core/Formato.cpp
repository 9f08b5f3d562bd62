#include "core/Formato.h"

#include <QLocale>

namespace Formato {

QLocale localePrograma() {
    const QLocale sys = QLocale::system();
    if (sys.language() == QLocale::Spanish)
        return sys;
    return QLocale(QLocale::Spanish, QLocale::Argentina);
}

QString fecha(const QDate &d) {
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QDate leerFecha(const QVariant &stored) {
    if (stored.isNull())
        return {};
    if (stored.metaType().id() == QMetaType::QDate)
        return stored.toDate();
    const QString s = stored.toString();
    QDate d = QDate::fromString(s.left(10), Qt::ISODate);
    return d;
}

QString moneda(const Money &m) {
    return m.toCurrencyString(QLocale());
}

QString importeExcedido() {
    return QStringLiteral("Error, el importe no puede pasar de %1 (ni ser menor que su negativo) !")
        .arg(moneda(Money::fromUnits(Money::MaxEntry)));
}

QString monedaDe(const QVariant &stored) {
    const auto m = Money::fromVariant(stored);
    return m ? moneda(*m) : QString();
}

QString entero(const QVariant &stored) {
    if (stored.isNull())
        return {};
    bool ok = false;
    const qlonglong n = stored.toLongLong(&ok);
    return ok ? QString::number(n) : stored.toString();
}

QString siNo(const QVariant &stored) {
    if (stored.isNull())
        return {};
    return stored.toLongLong() != 0 ? QStringLiteral("Sí") : QStringLiteral("No");
}

QString mostrar(const QVariant &stored, Tipo tipo) {
    switch (tipo) {
    case Tipo::Moneda:
        return monedaDe(stored);
    case Tipo::Fecha: {
        const QDate d = leerFecha(stored);
        return d.isValid() ? fecha(d) : stored.toString();
    }
    case Tipo::Entero:
        return entero(stored);
    case Tipo::SiNo:
        return siNo(stored);
    case Tipo::General:
        break;
    }
    return stored.isNull() ? QString() : stored.toString();
}

} // namespace Formato
