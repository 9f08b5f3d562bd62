#include "cash/ui/panCobraCuota.h"

#include "cash/Cobranza.h"
#include "cash/ui/panCobra.h"
#include "core/Formato.h"
#include "mail/HistorialAvisos.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/ListaBreve.h"
#include "ui/Mensaje.h"
#include "ui/PanelEncabezado.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// The due was paid or deleted from elsewhere since the list was read.
bool cambioAjeno(const Result &r) {
    return r.code() == Result::Code::Conflict || r.code() == Result::Code::NotFound;
}
} // namespace

panCobraCuota::panCobraCuota(ReportControl *cr, QWidget *parent) : Ventana(parent), m_cr(cr) {
    setObjectName(QStringLiteral("panCobraCuota"));
    setWindowTitle(QStringLiteral("Cobranza"));

    auto *encabezado = new PanelEncabezado(QStringLiteral("Cobrar Cuotas"), 4, this);
    m_lblSocio = encabezado->titulo();
    m_lblSocio->setObjectName(QStringLiteral("Label1"));

    m_datCuotas = new DataControl(QStringLiteral("Data1"), this);
    m_datCuotas->setEditTarget(QStringLiteral("ConsultaCuotas"), QStringLiteral("idCuota"));
    // The list may be stale: a due paid meanwhile (another window, another desk) keeps its amount.
    m_datCuotas->setEscritor([this](const QVariant &key, const QString &field, const QVariant &value) {
        const Result r = Cobranza::corregirCuota(key.toLongLong(), field, value);
        if (!cambioAjeno(r))
            return r;
        // Inside the grid's edit: the list is read again once the editor has closed.
        Mensaje::error(r.message(), this);
        QTimer::singleShot(0, this, &panCobraCuota::mostrar);
        return Result::failure(r.message(), Result::Code::Cancelled);
    });
    m_grdCuotas = new DataGrid(QStringLiteral("DBGrid1"), m_datCuotas, this);
    using T = Formato::Tipo;
    // The plan's name is shown, not typed over: a change there would rename the plan of every member.
    m_grdCuotas->setColumns({
        {QStringLiteral("Mes"), QStringLiteral("Mes"), T::Entero, true},
        {QStringLiteral("Año"), QStringLiteral("Año"), T::Entero, true},
        {QStringLiteral("Vencimiento"), QStringLiteral("Vencimiento"), T::Fecha, false},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), T::General, true},
        {QStringLiteral("Factura"), QStringLiteral("Factura"), T::General, false},
        {QStringLiteral("Monto"), QStringLiteral("Monto"), T::Moneda, false},
        {QStringLiteral("Pagada"), QStringLiteral("Pagada"), T::SiNo, true},
    });
    m_grdCuotas->setAccessibleName(QStringLiteral("Cuotas impagas"));
    m_grdCuotas->setNombreLista(QStringLiteral("Cuotas impagas"));
    for (int col : {0, 1})
        m_grdCuotas->setColumnWidth(col, 56);
    m_grdCuotas->setColumnWidth(3, 130);
    m_grdCuotas->setColumnWidth(4, 150);

    m_chkSoloVencidas = new QCheckBox(QStringLiteral("Mostrar solamente cuotas vencidas"), this);
    m_chkSoloVencidas->setObjectName(QStringLiteral("Check1"));
    auto *lblDeuda = Controles::etiqueta(this, QString(), QStringLiteral("Deuda total :"));
    m_txtDeudaTotal = Controles::campo(this, QStringLiteral("txtDeudaTotal"), 0, lblDeuda);
    m_txtDeudaTotal->setReadOnly(true);
    m_txtDeudaTotal->setAlignment(Qt::AlignRight);
    m_txtDeudaTotal->setStyleSheet(QStringLiteral("color: #c62828; font-weight: bold;"));
    m_txtDeudaTotal->setText(QStringLiteral("0,00"));
    m_txtDeudaTotal->setMaximumWidth(180);

    m_cmdCobrar =
        Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Cobrar cuota seleccionada..."));
    m_cmdEliminar = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Eliminar..."));
    m_cmdSalir = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Salir"));
    // "&Eliminar..." already takes the E.
    m_cmdExportar = Controles::botonExportar(this, m_grdCuotas, QStringLiteral("E&xportar"));
    m_cmdCobrar->setDefault(true);
    connect(m_cmdCobrar, &QPushButton::clicked, this, &panCobraCuota::cobrarCuota);
    connect(m_cmdEliminar, &QPushButton::clicked, this, &panCobraCuota::eliminar);
    connect(m_cmdSalir, &QPushButton::clicked, this, &QDialog::reject);
    m_cmdAvisos =
        Controles::boton(this, QStringLiteral("cmdAvisosEnviados"), QStringLiteral("A&visos enviados..."));
    m_cmdAvisos->setAutoDefault(false);
    connect(m_cmdAvisos, &QPushButton::clicked, this, &panCobraCuota::avisosEnviados);
    connect(m_chkSoloVencidas, &QCheckBox::clicked, this, &panCobraCuota::cambiarFiltro);
    connect(m_datCuotas, &DataControl::reposition, this, &panCobraCuota::alCambiarFila);
    // A typed amount changes the total at once.
    connect(m_datCuotas, &DataControl::rowChanged, this, &panCobraCuota::alCambiarFila);

    auto *filtro = new QHBoxLayout;
    filtro->addWidget(m_chkSoloVencidas);
    filtro->addStretch();
    filtro->addWidget(lblDeuda);
    filtro->addWidget(m_txtDeudaTotal);
    auto *botones = new QHBoxLayout;
    botones->addWidget(m_cmdCobrar);
    botones->addWidget(m_cmdEliminar);
    botones->addWidget(m_cmdExportar);
    botones->addWidget(m_cmdAvisos);
    botones->addStretch();
    botones->addWidget(m_cmdSalir);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(encabezado);
    layout->addWidget(m_grdCuotas, 1);
    layout->addLayout(filtro);
    layout->addLayout(botones);
    resize(720, 440);
}

void panCobraCuota::cobrar(const QString &tag, ReportControl *cr, QWidget *parent) {
    panCobraCuota w(cr, parent);
    w.Tag = tag;
    w.exec();
}

qint64 panCobraCuota::idAfiliado() const {
    return Tag.trimmed().toLongLong();
}

void panCobraCuota::showEvent(QShowEvent *e) {
    Ventana::showEvent(e);
    if (m_mostrado)
        return;
    m_mostrado = true;
    if (!tagEsNumerico()) {
        Mensaje::error(QStringLiteral("Socio/Afiliado no encontrado !"), this);
        QTimer::singleShot(0, this, &QDialog::reject);
        return;
    }
    mostrar();
    m_grdCuotas->setFocus();
}

void panCobraCuota::mostrar() {
    if (!tagEsNumerico())
        return;
    const QVariant apellido = Cobranza::apellido(idAfiliado());
    if (!apellido.isNull())
        m_lblSocio->setText(QStringLiteral("Cobranza de cuotas a ") + apellido.toString());
    cambiarFiltro();
}

void panCobraCuota::cambiarFiltro() {
    m_grdCuotas->tomarEdicion();
    m_datCuotas->setRecordSource(Cobranza::recordSource(m_chkSoloVencidas->isChecked()),
                                 Cobranza::recordSourceParams(idAfiliado()));
    m_datCuotas->refresh();
}

void panCobraCuota::alCambiarFila() {
    if (!tagEsNumerico())
        return;
    m_txtDeudaTotal->setText(QStringLiteral("0"));
    if (!m_datCuotas->hasCurrent()) {
        m_cmdCobrar->setEnabled(false);
        return;
    }
    m_cmdCobrar->setEnabled(true);
    m_txtDeudaTotal->setText(
        Formato::moneda(Cobranza::deudaTotal(idAfiliado(), m_chkSoloVencidas->isChecked())));
}

void panCobraCuota::cobrarCuota() {
    if (!m_datCuotas->hasCurrent() || !m_grdCuotas->tomarEdicion())
        return;
    const QString idCuota = m_datCuotas->value(QStringLiteral("idCuota")).toString();
    const int fila = m_datCuotas->currentRow();
    {
        panCobra pago(m_cr, this);
        pago.Tag = idCuota;
        pago.exec();
    }
    // Back from the payment the list is read again: a paid due leaves it and the total drops.
    mostrar();
    if (fila > 0)
        m_datCuotas->setCurrentRow(qMin(fila, m_datCuotas->recordCount() - 1));
}

void panCobraCuota::eliminar() {
    if (!m_datCuotas->hasCurrent())
        return;
    m_grdCuotas->tomarEdicion();
    const int fila = m_datCuotas->currentRow();
    const Result r = Cobranza::borrarCuota(m_datCuotas->value(QStringLiteral("idCuota")).toLongLong());
    if (cambioAjeno(r)) {
        Mensaje::error(r.message(), this);
    } else if (!r) {
        Mensaje::error(QStringLiteral("Error, no se pudo eliminar la cuota: ") + r.message(), this);
        return;
    }
    m_datCuotas->refresh();
    m_datCuotas->setCurrentRow(qMin(fila, m_datCuotas->recordCount() - 1));
    alCambiarFila();
}

void panCobraCuota::avisosEnviados() {
    const HistorialAvisos::Fuente f = HistorialAvisos::delSocio(idAfiliado());
    ListaBreve::abrir(QStringLiteral("panAvisosEnviados"), HistorialAvisos::titulo(),
                      HistorialAvisos::columnas(), HistorialAvisos::sinAvisos(), f.sql, f.params, this);
}
