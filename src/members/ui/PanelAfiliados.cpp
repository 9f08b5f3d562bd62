#include "members/ui/PanelAfiliados.h"

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

PanelAfiliados::PanelAfiliados(DataControl *data1, ReportControl *cr,
                               std::function<void(const QString &)> mostrarInfo, QWidget *parent)
    : QWidget(parent), m_datSocios(data1), m_cr(cr), m_mostrarInfo(std::move(mostrarInfo)) {
    setObjectName(QStringLiteral("panelProceso_0"));
    m_grdSocios = new DataGrid(QStringLiteral("DBGrid1"), m_datSocios, this);
    m_grdSocios->setNombreLista(QStringLiteral("Socios"));
    m_grdSocios->setColumns(Afiliados::columnas());
    m_grdSocios->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdSocios->setColumnWidth(1, 150);
    m_grdSocios->setColumnWidth(2, 150);
    m_grdSocios->setColumnWidth(5, 180);

    auto *lblBusca = etiqueta(this, QString(), QStringLiteral("Buscar por apellido :"));
    m_txtBuscaAfiliado = Controles::campo(this, QStringLiteral("txtBuscaAfiliado"), 50, lblBusca);
    m_txtBuscaAfiliado->setPlaceholderText(QStringLiteral("Escriba el comienzo del apellido"));
    m_txtBuscaAfiliado->setClearButtonEnabled(true);

    m_cmdNuevo = boton(this, QStringLiteral("Command2"), QStringLiteral("Nuevo"));
    m_cmdModificar = boton(this, QStringLiteral("Command4"), QStringLiteral("Modificar"));
    m_cmdBorrar = boton(this, QStringLiteral("Command3"), QStringLiteral("Borrar"));
    m_cmdBuscar = boton(this, QStringLiteral("Command5"), QStringLiteral("Buscar"));
    m_cmdListar = boton(this, QStringLiteral("Command6"), QStringLiteral("Listar"));
    m_cmdCategorias = boton(this, QStringLiteral("Command18"), QStringLiteral("Categ."));

    auto *search = new QHBoxLayout;
    search->addWidget(lblBusca);
    search->addWidget(m_txtBuscaAfiliado, 1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b :
         {m_cmdNuevo, m_cmdModificar, m_cmdBorrar, m_cmdBuscar, m_cmdListar, m_cmdCategorias})
        buttons->addWidget(b);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(search);
    layout->addWidget(m_grdSocios, 1);
    layout->addLayout(buttons);

    crearSubPanel();
    // A club may have a hundred thousand members: the list reads the rows it shows, not all above them.
    m_datSocios->setPagedFetching(true, QStringLiteral("idAfiliado"));
    // Counted from the counts the database keeps: counting them all took a server tens of milliseconds.
    m_datSocios->setCountSql(Afiliados::cantidadSql());
    connect(m_datSocios, &DataControl::reposition, this, &PanelAfiliados::mostrarPlanActual);
    connect(m_datSocios, &DataControl::reposition, this, &PanelAfiliados::alCambiarFila);
    connect(m_txtBuscaAfiliado, &QLineEdit::textChanged, this, &PanelAfiliados::buscar);

    Niveles::conectar(m_cmdNuevo, [this] { nuevo(); });
    Niveles::conectar(m_cmdModificar, [this] { modificar(); });
    // Double-click on the list runs "Modificar", which applies its own level rule.
    connect(m_grdSocios, &QAbstractItemView::doubleClicked, this, [this] { m_cmdModificar->click(); });
    Niveles::conectar(m_cmdBorrar, [this] { borrar(); });
    Niveles::conectar(m_cmdBuscar, [this] { enfocarBusqueda(); });
    Niveles::conectar(m_cmdListar, [this] { listar(); });
    Niveles::conectar(m_cmdCategorias, [this] { categorias(); });
    Niveles::conectar(m_cmdEmitirCuotas, [this] {
        if (m_datSocios->hasCurrent())
            emit emitirCuotas(tagActual());
    });
    Niveles::conectar(m_cmdCobrarCuotas, [this] {
        if (m_datSocios->hasCurrent())
            emit cobrarCuotas(tagActual());
    });
    Niveles::conectar(m_cmdCuentaCorriente, [this] { verCuentaCorriente(); });
}

void PanelAfiliados::crearSubPanel() {
    m_panelCuotasClientesParticular = new QFrame;
    m_panelCuotasClientesParticular->setObjectName(QStringLiteral("panelCuotasClientesParticular"));
    auto *p = static_cast<QFrame *>(m_panelCuotasClientesParticular);
    p->setFrameShape(QFrame::StyledPanel);
    m_lblAfiliado =
        etiqueta(p, QStringLiteral("lblAfiliado"), QStringLiteral("No hay un afiliado seleccionado"));
    QFont f = m_lblAfiliado->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.15);
    m_lblAfiliado->setFont(f);
    m_lblAfiliado->setWordWrap(true);
    m_lblNroCuotasAdeudadas = etiqueta(p, QStringLiteral("lblNroCuotasAdeudadas"), QStringLiteral("0"));
    m_lblMontoAdeudaSocio = etiqueta(p, QStringLiteral("lblMontoAdeudaSocio"), QStringLiteral("0"));
    m_lblFechaUPago = etiqueta(p, QStringLiteral("lblFechaUPago"), QStringLiteral("0"));
    m_lblNumeroPlan = etiqueta(p, QStringLiteral("lblNumeroPlan"), QString());
    for (QLabel *l : {m_lblNroCuotasAdeudadas, m_lblMontoAdeudaSocio, m_lblFechaUPago, m_lblNumeroPlan}) {
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_cmdEmitirCuotas = boton(p, QStringLiteral("Command7"), QStringLiteral("Emitir Cuotas..."));
    m_cmdCobrarCuotas = boton(p, QStringLiteral("Command8"), QStringLiteral("Cobrar Cuotas..."));
    m_cmdCuentaCorriente = boton(p, QStringLiteral("Command9"), QStringLiteral("Ver Cuenta Corriente..."));

    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignLeft);
    form->addRow(QStringLiteral("Nº de Cuotas adeudadas :"), m_lblNroCuotasAdeudadas);
    form->addRow(QStringLiteral("Monto Adeudado :"), m_lblMontoAdeudaSocio);
    form->addRow(QStringLiteral("Fecha de Ultimo Pago :"), m_lblFechaUPago);
    form->addRow(QStringLiteral("Numero de Plan :"), m_lblNumeroPlan);

    auto *layout = new QVBoxLayout(p);
    layout->addWidget(m_lblAfiliado);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addWidget(m_cmdEmitirCuotas);
    layout->addWidget(m_cmdCobrarCuotas);
    layout->addWidget(m_cmdCuentaCorriente);
    layout->addStretch();
}

void PanelAfiliados::mostrarPlanActual() {
    const QVariant plan = m_datSocios->value(QStringLiteral("idPlan"));
    m_lblNumeroPlan->setText(plan.isNull() ? QString() : plan.toString());
}

QString PanelAfiliados::tagActual() const {
    return QString::number(m_datSocios->value(QStringLiteral("idAfiliado")).toLongLong());
}

void PanelAfiliados::alCambiarFila() {
    const bool hay = m_datSocios->hasCurrent();
    if (hay) {
        const auto r = Afiliados::resumenDeuda(m_datSocios->value(QStringLiteral("idAfiliado")).toLongLong());
        m_lblMontoAdeudaSocio->setText(Formato::monedaDe(r.sumaDeMonto));
        m_lblNroCuotasAdeudadas->setText(Formato::entero(r.nroCuotas));
        m_lblFechaUPago->setText(Formato::fecha(Formato::leerFecha(r.maxFecha)));
    }
    for (QPushButton *b :
         {m_cmdModificar, m_cmdBorrar, m_cmdEmitirCuotas, m_cmdCobrarCuotas, m_cmdCuentaCorriente})
        b->setEnabled(hay);
    if (!hay) {
        m_lblAfiliado->setText(QStringLiteral("No hay un afiliado seleccionado"));
        if (m_mostrarInfo)
            m_mostrarInfo(QStringLiteral("No hay registros activos"));
        return;
    }
    m_lblAfiliado->setText(m_datSocios->value(QStringLiteral("Apellido")).toString() + QStringLiteral(", ") +
                           m_datSocios->value(QStringLiteral("Nombres")).toString());
    if (m_mostrarInfo)
        m_mostrarInfo(QStringLiteral("Registro %1 de %2")
                          .arg(m_datSocios->currentRow() + 1)
                          .arg(m_datSocios->recordCount()));
}

void PanelAfiliados::buscar(const QString &texto) {
    QVariantList claves;
    if (const auto fila = Afiliados::posicionPorApellido(texto, &claves, PagedQueryModel::PageRows)) {
        m_datSocios->setPageKeys(*fila / PagedQueryModel::PageRows, claves);
        m_datSocios->setCurrentRow(*fila);
        return;
    }
    // Nothing starts so: back to the whole list from its top, and an empty box (which searches again).
    m_datSocios->refresh();
    m_txtBuscaAfiliado->setText(QString());
}

void PanelAfiliados::enfocarBusqueda() {
    m_txtBuscaAfiliado->raise();
    m_txtBuscaAfiliado->setSelection(0, qMin(100, int(m_txtBuscaAfiliado->text().size())));
    m_txtBuscaAfiliado->setFocus();
}

void PanelAfiliados::nuevo() {
    panAfiliado editor(window());
    editor.Tag = QStringLiteral("NUEVO");
    editor.exec();
    m_datSocios->refresh();
}

void PanelAfiliados::modificar() {
    if (!m_datSocios->hasCurrent())
        return;
    const qint64 id = m_datSocios->value(QStringLiteral("idAfiliado")).toLongLong();
    panAfiliado editor(window());
    editor.Tag = QString::number(id);
    if (editor.exec() != QDialog::Accepted)
        return;
    // Show the stored values at once, on the same member (a changed surname moves it in the list).
    const int antes = m_datSocios->currentRow();
    m_datSocios->refresh();
    m_datSocios->setCurrentRow(Afiliados::posicionDe(id).value_or(antes));
}

void PanelAfiliados::borrar() {
    if (!m_datSocios->hasCurrent()) {
        Mensaje::error(QStringLiteral("Error, registro no localizado!!"), window());
        return;
    }
    if (!Module1::Confirma(QStringLiteral("Borra este socio de la lista")))
        return;
    const int fila = m_datSocios->currentRow();
    if (const Result r = Afiliados::borrar(m_datSocios->value(QStringLiteral("idAfiliado")).toLongLong());
        !r) {
        Mensaje::error(QStringLiteral("Error, no se pudo borrar el socio: ") + r.message(), window());
        return;
    }
    // The next member takes the deleted one's place.
    m_datSocios->refresh();
    m_datSocios->setCurrentRow(qMin(fila, m_datSocios->recordCount() - 1));
}

void PanelAfiliados::imprimir(const QString &informe, const QString &formula) {
    if (!m_cr)
        return;
    m_cr->setReportFileName(informe);
    m_cr->setConnect(QStringLiteral(";pwd=kR4wZp8N"));
    m_cr->setSelectionFormula(formula);
    m_cr->printReport();
}

void PanelAfiliados::listar() {
    imprimir(QStringLiteral("Socios.rpt"), QStringLiteral("{Afiliados.idAfiliado} <> 0"));
}

void PanelAfiliados::verCuentaCorriente() {
    if (m_datSocios->hasCurrent())
        imprimir(QStringLiteral("ctacuotas.rpt"), QStringLiteral("{cuotas.idAfiliado} = ") + tagActual());
}

void PanelAfiliados::categorias() {
    panCategorias ventana(window());
    ventana.exec();
}
