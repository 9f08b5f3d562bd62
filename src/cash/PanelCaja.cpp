#include "cash/PanelCaja.h"

#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QString PanelCaja::recordSourceDiseno() {
    return QStringLiteral(R"(Select * from "ConsultaCaja" order by "Fecha", "idCaja")");
}

PanelCaja::PanelCaja(DataControl *data4, QWidget *parent) : QWidget(parent), Data4(data4) {
    setObjectName(QStringLiteral("panelProceso_4"));
    DBGrid4 = new DataGrid(QStringLiteral("DBGrid4"), Data4, this);
    using T = Formato::Tipo;
    DBGrid4->setColumns({
        {QStringLiteral("Fecha"), QStringLiteral("Fecha"), T::Fecha},
        {QStringLiteral("Cuenta"), QStringLiteral("Descripcion"), T::General},
        {QStringLiteral("Detalles"), QStringLiteral("Detalles"), T::General},
        {QStringLiteral("Ingresos"), QStringLiteral("Ingresos"), T::Moneda},
        {QStringLiteral("Egresos"), QStringLiteral("Egresos"), T::Moneda},
        {QStringLiteral("TipoDivisa"), QStringLiteral("TipoDivisa"), T::General},
    });
    DBGrid4->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid4->setColumnWidth(1, 120);
    DBGrid4->setColumnWidth(2, 320);
    DBGrid4->setColumnWidth(3, 110);
    DBGrid4->setColumnWidth(4, 110);
    Data4->setEditTarget(QStringLiteral("ConsultaCaja"), QStringLiteral("idCaja"));

    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("Cuenta :"));
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->setMinimumWidth(160);
    Controles::asociar(lblCuenta, Combo1);
    auto *lblFecha = Controles::etiqueta(this, QString(), QStringLiteral("Fecha :"));
    dtFechaCaja = new DatePicker(this);
    dtFechaCaja->setObjectName(QStringLiteral("dtFechaCaja"));
    Controles::asociar(lblFecha, dtFechaCaja);

    Command24 = Controles::boton(this, QStringLiteral("Command24"), QStringLiteral("Nuevo Mov."));
    Command22 = Controles::boton(this, QStringLiteral("Command22"), QStringLiteral("Modificar"));
    Command23 = Controles::boton(this, QStringLiteral("Command23"), QStringLiteral("Borrar"));
    Command20 = Controles::boton(this, QStringLiteral("Command20"), QStringLiteral("Listar"));
    Command21 = Controles::boton(this, QStringLiteral("Command21"), QStringLiteral("Todo"));
    Command28 = Controles::boton(this, QStringLiteral("Command28"), QStringLiteral("Cuentas..."));

    auto *filter = new QHBoxLayout;
    filter->addWidget(lblCuenta);
    filter->addWidget(Combo1);
    filter->addSpacing(12);
    filter->addWidget(lblFecha);
    filter->addWidget(dtFechaCaja);
    filter->addWidget(Command21);
    filter->addStretch();
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {Command24, Command22, Command23, Command20, Command28})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filter);
    layout->addWidget(DBGrid4, 1);
    layout->addLayout(buttons);
}
