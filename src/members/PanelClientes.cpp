#include "members/PanelClientes.h"

#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"

#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using Controles::boton;
using Controles::etiqueta;

QString PanelClientes::recordSourceDiseno() {
    // Surname order is Spanish dictionary order without regard to case, read from the stored key.
    return QStringLiteral(R"(Select * from "Afiliados" order by "ClaveOrden", "idAfiliado")");
}

PanelClientes::PanelClientes(DataControl *data1, QWidget *parent) : QWidget(parent), Data1(data1) {
    setObjectName(QStringLiteral("panelProceso_0"));
    DBGrid1 = new DataGrid(QStringLiteral("DBGrid1"), Data1, this);
    using T = Formato::Tipo;
    DBGrid1->setColumns({
        {QStringLiteral("idSocio"), QStringLiteral("idAfiliado"), T::General},
        {QStringLiteral("Nombres"), QStringLiteral("Nombres"), T::General},
        {QStringLiteral("Apellido"), QStringLiteral("Apellido"), T::General},
        {QStringLiteral("TipoDocumento"), QStringLiteral("TipoDocumento"), T::General},
        {QStringLiteral("Documento"), QStringLiteral("Documento"), T::General},
        {QStringLiteral("Domicilio"), QStringLiteral("Domicilio"), T::General},
        {QStringLiteral("Padre"), QStringLiteral("Barrio"), T::General},
        {QStringLiteral("Madre"), QStringLiteral("Localidad"), T::General},
        {QStringLiteral("Telefono"), QStringLiteral("Telefono"), T::General},
        {QStringLiteral("Tel. Alternativo"), QStringLiteral("Telefono Trabajo"), T::General},
        {QStringLiteral("Escuela"), QStringLiteral("Ocupacion"), T::General},
        {QStringLiteral("Fecha Nacimiento"), QStringLiteral("Fecha Nacimiento"), T::Fecha},
        {QStringLiteral("Estado Civil"), QStringLiteral("Estado Civil"), T::General},
        {QStringLiteral("Sexo"), QStringLiteral("Sexo"), T::General},
        {QStringLiteral("Afecciones"), QStringLiteral("Afecciones"), T::General},
        {QStringLiteral("Oficio de Riesgo"), QStringLiteral("Oficio de Riesgo"), T::General},
        {QStringLiteral("Fecha Afiliacion"), QStringLiteral("Fecha Afiliacion"), T::Fecha},
        {QStringLiteral("idPlan"), QStringLiteral("idPlan"), T::Entero},
    });
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->setColumnWidth(1, 150);
    DBGrid1->setColumnWidth(2, 150);
    DBGrid1->setColumnWidth(5, 180);

    auto *lblBusca = etiqueta(this, QString(), QStringLiteral("Buscar por apellido :"));
    txtBuscaAfiliado = Controles::campo(this, QStringLiteral("txtBuscaAfiliado"), 50, lblBusca);
    txtBuscaAfiliado->setPlaceholderText(QStringLiteral("Escriba el comienzo del apellido"));
    txtBuscaAfiliado->setClearButtonEnabled(true);

    Command2 = boton(this, QStringLiteral("Command2"), QStringLiteral("Nuevo"));
    Command4 = boton(this, QStringLiteral("Command4"), QStringLiteral("Modificar"));
    Command3 = boton(this, QStringLiteral("Command3"), QStringLiteral("Borrar"));
    Command5 = boton(this, QStringLiteral("Command5"), QStringLiteral("Buscar"));
    Command6 = boton(this, QStringLiteral("Command6"), QStringLiteral("Listar"));
    Command18 = boton(this, QStringLiteral("Command18"), QStringLiteral("Categ."));

    auto *search = new QHBoxLayout;
    search->addWidget(lblBusca);
    search->addWidget(txtBuscaAfiliado, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {Command2, Command4, Command3, Command5, Command6, Command18})
        buttons->addWidget(b);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(search);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(buttons);

    crearSubPanel();
    connect(Data1, &DataControl::reposition, this, &PanelClientes::mostrarPlanActual);
}

void PanelClientes::crearSubPanel() {
    panelCuotasClientesParticular = new QFrame;
    panelCuotasClientesParticular->setObjectName(QStringLiteral("panelCuotasClientesParticular"));
    auto *p = static_cast<QFrame *>(panelCuotasClientesParticular);
    p->setFrameShape(QFrame::StyledPanel);
    lblAfiliado = etiqueta(p, QStringLiteral("lblAfiliado"), QStringLiteral("No hay un afiliado seleccionado"));
    QFont f = lblAfiliado->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.15);
    lblAfiliado->setFont(f);
    lblAfiliado->setWordWrap(true);
    lblNroCuotasAdeudadas = etiqueta(p, QStringLiteral("lblNroCuotasAdeudadas"), QStringLiteral("0"));
    lblMontoAdeudaSocio = etiqueta(p, QStringLiteral("lblMontoAdeudaSocio"), QStringLiteral("0"));
    lblFechaUPago = etiqueta(p, QStringLiteral("lblFechaUPago"), QStringLiteral("0"));
    lblNumeroPlan = etiqueta(p, QStringLiteral("lblNumeroPlan"), QString());
    for (QLabel *l : {lblNroCuotasAdeudadas, lblMontoAdeudaSocio, lblFechaUPago, lblNumeroPlan}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    Command7 = boton(p, QStringLiteral("Command7"), QStringLiteral("Emitir Cuotas..."));
    Command8 = boton(p, QStringLiteral("Command8"), QStringLiteral("Cobrar Cuotas..."));
    Command9 = boton(p, QStringLiteral("Command9"), QStringLiteral("Ver Cuenta Corriente..."));

    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    form->addRow(QStringLiteral("Nº de Cuotas adeudadas :"), lblNroCuotasAdeudadas);
    form->addRow(QStringLiteral("Monto Adeudado :"), lblMontoAdeudaSocio);
    form->addRow(QStringLiteral("Fecha de Ultimo Pago :"), lblFechaUPago);
    form->addRow(QStringLiteral("Numero de Plan :"), lblNumeroPlan);

    auto *layout = new QVBoxLayout(p);
    layout->addWidget(lblAfiliado);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addWidget(Command7);
    layout->addWidget(Command8);
    layout->addWidget(Command9);
    layout->addStretch();
}

void PanelClientes::mostrarPlanActual() {
    const QVariant plan = Data1->value(QStringLiteral("idPlan"));
    lblNumeroPlan->setText(plan.isNull() ? QString() : plan.toString());
}
