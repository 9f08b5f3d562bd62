#include "members/ui/PanelClientes.h"

#include "core/Formato.h"
#include "members/Afiliados.h"
#include "members/ui/panAfiliado.h"
#include "members/ui/panCategorias.h"
#include "ui/Comandos.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/ReportControl.h"

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

PanelClientes::PanelClientes(DataControl *data1, ReportControl *cr,
                             std::function<void(const QString &)> mostrarInfo, QWidget *parent)
    : QWidget(parent), Data1(data1), m_cr(cr), m_mostrarInfo(std::move(mostrarInfo)) {
    setObjectName(QStringLiteral("panelProceso_0"));
    DBGrid1 = new DataGrid(QStringLiteral("DBGrid1"), Data1, this);
    DBGrid1->setColumns(Afiliados::columnas());
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
    // A club may have a hundred thousand members: the list reads the rows it shows, not all above them.
    Data1->setPagedFetching(true, QStringLiteral("idAfiliado"));
    connect(Data1, &DataControl::reposition, this, &PanelClientes::mostrarPlanActual);
    connect(Data1, &DataControl::reposition, this, &PanelClientes::alCambiarFila);
    connect(txtBuscaAfiliado, &QLineEdit::textChanged, this, &PanelClientes::buscar);

    Niveles::conectar(Command2, [this] { nuevo(); });
    Niveles::conectar(Command4, [this] { modificar(); });
    Niveles::conectar(Command3, [this] { borrar(); });
    Niveles::conectar(Command5, [this] { enfocarBusqueda(); });
    Niveles::conectar(Command6, [this] { listar(); });
    Niveles::conectar(Command18, [this] { categorias(); });
    Niveles::conectar(Command7, [this] {
        if (Data1->hasCurrent())
            emit emitirCuotas(tagActual());
    });
    Niveles::conectar(Command8, [this] {
        if (Data1->hasCurrent())
            emit cobrarCuotas(tagActual());
    });
    Niveles::conectar(Command9, [this] { verCuentaCorriente(); });
}

void PanelClientes::crearSubPanel() {
    panelCuotasClientesParticular = new QFrame;
    panelCuotasClientesParticular->setObjectName(QStringLiteral("panelCuotasClientesParticular"));
    auto *p = static_cast<QFrame *>(panelCuotasClientesParticular);
    p->setFrameShape(QFrame::StyledPanel);
    lblAfiliado =
        etiqueta(p, QStringLiteral("lblAfiliado"), QStringLiteral("No hay un afiliado seleccionado"));
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

QString PanelClientes::tagActual() const {
    return QString::number(Data1->value(QStringLiteral("idAfiliado")).toLongLong());
}

void PanelClientes::alCambiarFila() {
    const bool hay = Data1->hasCurrent();
    if (hay) {
        const auto r = Afiliados::resumenDeuda(Data1->value(QStringLiteral("idAfiliado")).toLongLong());
        lblMontoAdeudaSocio->setText(Formato::monedaDe(r.sumaDeMonto));
        lblNroCuotasAdeudadas->setText(Formato::entero(r.nroCuotas));
        lblFechaUPago->setText(Formato::fecha(Formato::leerFecha(r.maxFecha)));
    }
    for (QPushButton *b : {Command4, Command3, Command7, Command8, Command9})
        b->setEnabled(hay);
    if (!hay) {
        lblAfiliado->setText(QStringLiteral("No hay un afiliado seleccionado"));
        if (m_mostrarInfo)
            m_mostrarInfo(QStringLiteral("No hay registros activos"));
        return;
    }
    lblAfiliado->setText(Data1->value(QStringLiteral("Apellido")).toString() + QStringLiteral(", ") +
                         Data1->value(QStringLiteral("Nombres")).toString());
    if (m_mostrarInfo)
        m_mostrarInfo(
            QStringLiteral("Registro %1 de %2").arg(Data1->currentRow() + 1).arg(Data1->recordCount()));
}

void PanelClientes::buscar(const QString &texto) {
    if (const auto fila = Afiliados::posicionPorApellido(texto)) {
        Data1->setCurrentRow(*fila);
        return;
    }
    // Nothing starts so: back to the whole list from its top, and an empty box (which searches again).
    Data1->refresh();
    txtBuscaAfiliado->setText(QString());
}

void PanelClientes::enfocarBusqueda() {
    txtBuscaAfiliado->raise();
    txtBuscaAfiliado->setSelection(0, qMin(100, int(txtBuscaAfiliado->text().size())));
    txtBuscaAfiliado->setFocus();
}

void PanelClientes::nuevo() {
    panAfiliado editor(window());
    editor.Tag = QStringLiteral("NUEVO");
    editor.exec();
    Data1->refresh();
}

void PanelClientes::modificar() {
    if (!Data1->hasCurrent())
        return;
    const qint64 id = Data1->value(QStringLiteral("idAfiliado")).toLongLong();
    panAfiliado editor(window());
    editor.Tag = QString::number(id);
    if (editor.exec() != QDialog::Accepted)
        return;
    // Show the stored values at once, on the same member (a changed surname moves it in the list).
    const int antes = Data1->currentRow();
    Data1->refresh();
    Data1->setCurrentRow(Afiliados::posicionDe(id).value_or(antes));
}

void PanelClientes::borrar() {
    if (!Data1->hasCurrent()) {
        Mensaje::error(QStringLiteral("Error, registro no localizado!!"), window());
        return;
    }
    if (!Module1::Confirma(QStringLiteral("Borra este socio de la lista")))
        return;
    const int fila = Data1->currentRow();
    if (const Result r = Afiliados::borrar(Data1->value(QStringLiteral("idAfiliado")).toLongLong()); !r) {
        Mensaje::error(QStringLiteral("Error, no se pudo borrar el socio: ") + r.message(), window());
        return;
    }
    // The next member takes the deleted one's place.
    Data1->refresh();
    Data1->setCurrentRow(qMin(fila, Data1->recordCount() - 1));
}

void PanelClientes::imprimir(const QString &informe, const QString &formula) {
    if (!m_cr)
        return;
    m_cr->setReportFileName(informe);
    m_cr->setConnect(QStringLiteral(";pwd=kR4wZp8N"));
    m_cr->setSelectionFormula(formula);
    m_cr->printReport();
}

void PanelClientes::listar() {
    imprimir(QStringLiteral("Socios.rpt"), QStringLiteral("{Afiliados.idAfiliado} <> 0"));
}

void PanelClientes::verCuentaCorriente() {
    if (Data1->hasCurrent())
        imprimir(QStringLiteral("ctacuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = ") + tagActual());
}

void PanelClientes::categorias() {
    panCategorias ventana(window());
    ventana.exec();
}
