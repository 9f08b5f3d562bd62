#include "members/PanelPlanes.h"

#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

QString PanelPlanes::recordSourceDiseno() {
    return QStringLiteral(R"(Select * from "Planes" order by "Descripcion" COLLATE es)");
}

PanelPlanes::PanelPlanes(DataControl *data3, QWidget *parent) : QWidget(parent), Data3(data3) {
    setObjectName(QStringLiteral("panelProceso_2"));
    DBGrid3 = new DataGrid(QStringLiteral("DBGrid3"), Data3, this);
    using T = Formato::Tipo;
    DBGrid3->setColumns({
        {QStringLiteral("idPlan"), QStringLiteral("idPlan"), T::Entero},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), T::General},
        {QStringLiteral("Detalles"), QStringLiteral("Detalles"), T::General},
        {QStringLiteral("CuotaMensual"), QStringLiteral("CuotaMensual"), T::Moneda},
        {QStringLiteral("MesComienzo"), QStringLiteral("MesComienzo"), T::General},
        {QStringLiteral("MesFinal"), QStringLiteral("MesFinal"), T::General},
        {QStringLiteral("Inscripcion"), QStringLiteral("Inscripcion"), T::Moneda},
    });
    DBGrid3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid3->setColumnWidth(1, 180);
    DBGrid3->setColumnWidth(2, 240);
    DBGrid3->setColumnWidth(3, 110);
    Data3->setEditTarget(QStringLiteral("Planes"), QStringLiteral("idPlan"));

    Command15 = Controles::boton(this, QStringLiteral("Command15"), QStringLiteral("Nuevo Plan"));
    Command17 = Controles::boton(this, QStringLiteral("Command17"), QStringLiteral("Modificar"));
    Command16 = Controles::boton(this, QStringLiteral("Command16"), QStringLiteral("Borrar"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {Command15, Command17, Command16})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGrid3, 1);
    layout->addLayout(buttons);
}
