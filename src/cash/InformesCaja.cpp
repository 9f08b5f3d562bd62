#include "cash/InformesCaja.h"

#include "reports/ReportFormula.h"

namespace InformesCaja {

QString todas() {
    return QStringLiteral("<Todas>");
}

QString formulaCaja(const QDate &desde, const QDate &hasta, const QString &cuenta) {
    QString f = QStringLiteral("{consultaCaja.Fecha} >= ") + ReportFormula::dateTerm(desde) +
                QStringLiteral(" and {consultaCaja.Fecha} <= ") + ReportFormula::dateTerm(hasta);
    if (!cuenta.isEmpty())
        f += QStringLiteral(" and {ConsultaCaja.Descripcion} = ") + ReportFormula::textLiteral(cuenta);
    return f;
}

QString formulaResumen(const QDate &desde, const QDate &hasta) {
    return QStringLiteral("{ConsultaCaja.fecha} >= ") + ReportFormula::dateTerm(desde) +
           QStringLiteral(" and {ConsultaCaja.fecha} <= ") + ReportFormula::dateTerm(hasta);
}

QString formulaDeuda() {
    return QStringLiteral("{ConsultaDeuda.SumaDeMonto} <> 0");
}

} // namespace InformesCaja
