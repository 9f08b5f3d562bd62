#include "cash/ui/panCobraCuota.h"

#include "cash/Cobranza.h"
#include "cash/ui/panCobra.h"
#include "core/Formato.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
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
    Label1 = encabezado->lblTitulo;
    Label1->setObjectName(QStringLiteral("Label1"));

    Data1 = new DataControl(QStringLiteral("Data1"), this);
    Data1->setEditTarget(QStringLiteral("ConsultaCuotas"), QStringLiteral("idCuota"));
    // The list may be stale: a due paid meanwhile (another window, another desk) keeps its amount.
    Data1->setEscritor([this](const QVariant &key, const QString &field, const QVariant &value) {
        const Result r = Cobranza::corregirCuota(key.toLongLong(), field, value);
        if (!cambioAjeno(r))
            return r;
        // Inside the grid's edit: the list is read again once the editor has closed.
        Mensaje::error(r.message(), this);
        QTimer::singleShot(0, this, &panCobraCuota::mostrar);
        return Result::failure(r.message(), Result::Code::Cancelled);
    });
    DBGrid1 = new DataGrid(QStringLiteral("DBGrid1"), Data1, this);
    using T = Formato::Tipo;
    // The plan's name is shown, not typed over: a change there would rename the plan of every member.
    DBGrid1->setColumns({
        {QStringLiteral("Mes"), QStringLiteral("Mes"), T::Entero, true},
        {QStringLiteral("Año"), QStringLiteral("Año"), T::Entero, true},
        {QStringLiteral("Vencimiento"), QStringLiteral("Vencimiento"), T::Fecha, false},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), T::General, true},
        {QStringLiteral("Factura"), QStringLiteral("Factura"), T::General, false},
        {QStringLiteral("Monto"), QStringLiteral("Monto"), T::Moneda, false},
        {QStringLiteral("Pagada"), QStringLiteral("Pagada"), T::SiNo, true},
    });
    DBGrid1->setAccessibleName(QStringLiteral("Cuotas impagas"));
    DBGrid1->setNombreLista(QStringLiteral("Cuotas impagas"));
    for (int col : {0, 1})
        DBGrid1->setColumnWidth(col, 56);
    DBGrid1->setColumnWidth(3, 130);
    DBGrid1->setColumnWidth(4, 150);

    Check1 = new QCheckBox(QStringLiteral("Mostrar solamente cuotas vencidas"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    auto *lblDeuda = Controles::etiqueta(this, QString(), QStringLiteral("Deuda total :"));
    txtDeudaTotal = Controles::campo(this, QStringLiteral("txtDeudaTotal"), 0, lblDeuda);
    txtDeudaTotal->setReadOnly(true);
    txtDeudaTotal->setAlignment(Qt::AlignRight);
    txtDeudaTotal->setStyleSheet(QStringLiteral("color: #c62828; font-weight: bold;"));
    txtDeudaTotal->setText(QStringLiteral("0,00"));
    txtDeudaTotal->setMaximumWidth(180);

    Command1 =
        Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Cobrar cuota seleccionada..."));
    Command3 = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Eliminar..."));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Salir"));
    // "&Eliminar..." already takes the E.
    cmdExportar = Controles::botonExportar(this, DBGrid1, QStringLiteral("E&xportar"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &panCobraCuota::cobrarCuota);
    connect(Command3, &QPushButton::clicked, this, &panCobraCuota::eliminar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Check1, &QCheckBox::clicked, this, &panCobraCuota::cambiarFiltro);
    connect(Data1, &DataControl::reposition, this, &panCobraCuota::alCambiarFila);
    // A typed amount changes the total at once.
    connect(Data1, &DataControl::rowChanged, this, &panCobraCuota::alCambiarFila);

    auto *filtro = new QHBoxLayout;
    filtro->addWidget(Check1);
    filtro->addStretch();
    filtro->addWidget(lblDeuda);
    filtro->addWidget(txtDeudaTotal);
    auto *botones = new QHBoxLayout;
    botones->addWidget(Command1);
    botones->addWidget(Command3);
    botones->addWidget(cmdExportar);
    botones->addStretch();
    botones->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(encabezado);
    layout->addWidget(DBGrid1, 1);
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
    DBGrid1->setFocus();
}

void panCobraCuota::mostrar() {
    if (!tagEsNumerico())
        return;
    const QVariant apellido = Cobranza::apellido(idAfiliado());
    if (!apellido.isNull())
        Label1->setText(QStringLiteral("Cobranza de cuotas a ") + apellido.toString());
    cambiarFiltro();
}

void panCobraCuota::cambiarFiltro() {
    DBGrid1->tomarEdicion();
    Data1->setRecordSource(Cobranza::recordSource(Check1->isChecked()),
                           Cobranza::recordSourceParams(idAfiliado()));
    Data1->refresh();
}

void panCobraCuota::alCambiarFila() {
    if (!tagEsNumerico())
        return;
    txtDeudaTotal->setText(QStringLiteral("0"));
    if (!Data1->hasCurrent()) {
        Command1->setEnabled(false);
        return;
    }
    Command1->setEnabled(true);
    txtDeudaTotal->setText(Formato::moneda(Cobranza::deudaTotal(idAfiliado(), Check1->isChecked())));
}

void panCobraCuota::cobrarCuota() {
    if (!Data1->hasCurrent() || !DBGrid1->tomarEdicion())
        return;
    const QString idCuota = Data1->value(QStringLiteral("idCuota")).toString();
    const int fila = Data1->currentRow();
    {
        panCobra pago(m_cr, this);
        pago.Tag = idCuota;
        pago.exec();
    }
    // Back from the payment the list is read again: a paid due leaves it and the total drops.
    mostrar();
    if (fila > 0)
        Data1->setCurrentRow(qMin(fila, Data1->recordCount() - 1));
}

void panCobraCuota::eliminar() {
    if (!Data1->hasCurrent())
        return;
    DBGrid1->tomarEdicion();
    const int fila = Data1->currentRow();
    const Result r = Cobranza::borrarCuota(Data1->value(QStringLiteral("idCuota")).toLongLong());
    if (cambioAjeno(r)) {
        Mensaje::error(r.message(), this);
    } else if (!r) {
        Mensaje::error(QStringLiteral("Error, no se pudo eliminar la cuota: ") + r.message(), this);
        return;
    }
    Data1->refresh();
    Data1->setCurrentRow(qMin(fila, Data1->recordCount() - 1));
    alCambiarFila();
}
