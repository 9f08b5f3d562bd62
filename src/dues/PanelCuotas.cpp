#include "dues/PanelCuotas.h"

#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

QString PanelCuotas::recordSourceDiseno() {
    // Every due, by plan name, month, year and member, in Spanish order. Written so that the database walks
    // the plans in order and sorts one plan-month at a time: the first rows of a club with a million dues
    // arrive at once. Dues whose plan no longer exists come last.
    return QStringLiteral(R"(SELECT * FROM (
        SELECT c."idCuota", c."idAfiliado", c."idPlan", c."Mes", c."Año", c."Vencimiento", c."Factura", c."Monto",
               c."Pagada", c."Fecha de Pago", a."Apellido", a."Nombres", p."Descripcion"
        FROM "Planes" p CROSS JOIN "Cuotas" c ON c."idPlan" = p."idPlan"
        LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
        ORDER BY p."ClaveOrden", p."idPlan", c."Mes", c."Año", a."ClaveOrden")
      UNION ALL
      SELECT * FROM (
        SELECT c."idCuota", c."idAfiliado", c."idPlan", c."Mes", c."Año", c."Vencimiento", c."Factura", c."Monto",
               c."Pagada", c."Fecha de Pago", a."Apellido", a."Nombres", NULL
        FROM "Cuotas" c LEFT JOIN "Afiliados" a ON a."idAfiliado" = c."idAfiliado"
        WHERE NOT EXISTS (SELECT 1 FROM "Planes" p WHERE p."idPlan" = c."idPlan")
        ORDER BY c."Mes", c."Año", a."ClaveOrden"))");
}

PanelCuotas::PanelCuotas(DataControl *data2, QWidget *parent) : QWidget(parent), Data2(data2) {
    setObjectName(QStringLiteral("panelProceso_1"));
    DBGrid2 = new DataGrid(QStringLiteral("DBGrid2"), Data2, this);
    using T = Formato::Tipo;
    DBGrid2->setColumns({
        {QStringLiteral("Mes"), QStringLiteral("Mes"), T::Entero},
        {QStringLiteral("Año"), QStringLiteral("Año"), T::Entero},
        {QStringLiteral("F.Vencim."), QStringLiteral("Vencimiento"), T::Fecha},
        {QStringLiteral("Apellido"), QStringLiteral("Apellido"), T::General},
        {QStringLiteral("Nombres"), QStringLiteral("Nombres"), T::General},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), T::General},
        {QStringLiteral("Monto"), QStringLiteral("Monto"), T::Moneda},
        {QStringLiteral("idPlan"), QStringLiteral("idPlan"), T::Entero},
        {QStringLiteral("Pagada"), QStringLiteral("Pagada"), T::SiNo},
        {QStringLiteral("Fecha de Pago"), QStringLiteral("Fecha de Pago"), T::Fecha},
        {QStringLiteral("idCuota"), QStringLiteral("idCuota"), T::Entero},
    });
    DBGrid2->setColumnWidth(3, 140);
    DBGrid2->setColumnWidth(4, 140);
    DBGrid2->setColumnWidth(5, 140);
    DBGrid2->setColumnWidth(6, 110);
    Data2->setEditTarget(QStringLiteral("ConsultaCuotas"), QStringLiteral("idCuota"));

    auto *lbl = Controles::etiqueta(this, QString(), QStringLiteral("Mes y Año :"));
    txtSelMes = Controles::campo(this, QStringLiteral("txtSelMes"), 2, lbl);
    txtSelAnio = Controles::campo(this, QStringLiteral("txtSelAnio"), 4);
    txtSelAnio->setAccessibleName(QStringLiteral("Año"));
    txtSelMes->setMaximumWidth(50);
    txtSelAnio->setMaximumWidth(70);
    Command11 = Controles::boton(this, QStringLiteral("Command11"), QStringLiteral("Buscar"));
    Command33 = Controles::boton(this, QStringLiteral("Command33"), QStringLiteral("Mostrar Todas"));
    Command13 = Controles::boton(this, QStringLiteral("Command13"), QStringLiteral("Borrar"));
    Command29 = Controles::boton(this, QStringLiteral("Command29"), QStringLiteral("Emitir Cuotas..."));

    auto *filter = new QHBoxLayout;
    filter->addWidget(lbl);
    filter->addWidget(txtSelMes);
    filter->addWidget(txtSelAnio);
    filter->addWidget(Command11);
    filter->addWidget(Command33);
    filter->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command13);
    buttons->addWidget(Command29);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filter);
    layout->addWidget(DBGrid2, 1);
    layout->addLayout(buttons);
}
