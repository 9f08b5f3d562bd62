#include "dues/ui/panEmiCuotaTodos.h"

#include "core/Clock.h"
#include "dues/Emision.h"
#include "dues/ui/PanelEmision.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/ReportControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kMostrar = QStringLiteral("Editar cuotas >>>");
const QString kOcultar = QStringLiteral("Editar cuotas <<<");
} // namespace

panEmiCuotaTodos::panEmiCuotaTodos(ReportControl *cr, std::function<void()> refrescarCuotas, QWidget *parent)
    : Ventana(parent), m_cr(cr), m_refrescar(std::move(refrescarCuotas)) {
    setObjectName(QStringLiteral("panEmiCuotaTodos"));
    setWindowTitle(QStringLiteral("Emision de Cuotas Grupal"));

    auto *lblPlan = Controles::etiqueta(this, QString(), QStringLiteral("Seleccione el &plan a emitir :"));
    m_txtPlan = new QComboBox(this);
    m_txtPlan->setObjectName(QStringLiteral("txtPlan"));
    Controles::asociar(lblPlan, m_txtPlan);
    m_txtNoPlan = PanelEmision::numeroDePlan(this);

    auto *lblSocios =
        Controles::etiqueta(this, QString(), QStringLiteral("Seleccione los &socios a emitir la cuota :"));
    m_lstSocios = new QListWidget(this);
    m_lstSocios->setObjectName(QStringLiteral("List1"));
    m_lstSocios->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lstSocios->setUniformItemSizes(true);
    Controles::asociar(lblSocios, m_lstSocios);
    m_cmdSeleccionarTodos =
        Controles::boton(this, QStringLiteral("Command4"), QStringLiteral("Seleccionar Todos"));

    auto *lblMes = Controles::etiqueta(this, QString(), QStringLiteral("&Mes y Año Inicial :"));
    m_txMes = Controles::campo(this, QStringLiteral("txMes"), 2, lblMes);
    m_txAno = Controles::campo(this, QStringLiteral("txAno"), 4);
    m_txAno->setAccessibleName(QStringLiteral("Año inicial"));
    m_txMes->setText(QStringLiteral("1"));
    m_txAno->setText(QStringLiteral("2008"));
    m_txMes->setMaximumWidth(50);
    m_txAno->setMaximumWidth(70);

    auto *lblPrim = Controles::etiqueta(this, QString(), QStringLiteral("Fecha Primer &Vencimiento :"));
    m_dtFechaPrimVen = new DatePicker(this);
    m_dtFechaPrimVen->setObjectName(QStringLiteral("dtFechaPrimVen"));
    Controles::asociar(lblPrim, m_dtFechaPrimVen);
    const auto insc = PanelEmision::inscripcion(this);
    m_chkInscripcion = insc.cobra;
    m_fecInscripcion = insc.vencimiento;
    // The run's initial month and year follow the inscription date.
    connect(m_fecInscripcion, &QDateEdit::dateChanged, this, [this](const QDate &d) {
        m_txMes->setText(QString::number(d.month()));
        m_txAno->setText(QString::number(d.year()));
    });

    // The amounts list, hidden until asked for.
    m_picMontos = new QFrame(this);
    m_picMontos->setObjectName(QStringLiteral("Picture1"));
    static_cast<QFrame *>(m_picMontos)->setFrameShape(QFrame::StyledPanel);
    auto *lblMontos = new QLabel(QStringLiteral("Edite los importes de las cuotas"), m_picMontos);
    m_datMontos = new DataControl(QStringLiteral("Data1"), this);
    m_datMontos->setEditTarget(QStringLiteral("TmpCuotas"), QStringLiteral("nro"));
    m_datMontos->setRecordSource(Emision::recordSourceMontos());
    m_grdMontos = new DataGrid(QStringLiteral("DBGrid1"), m_datMontos, m_picMontos);
    using T = Formato::Tipo;
    m_grdMontos->setColumns({
        {QStringLiteral("Nro de Cuota"), QStringLiteral("nro"), T::Entero, true},
        {QStringLiteral("Monto / Importe"), QStringLiteral("monto"), T::Moneda, false},
    });
    m_grdMontos->horizontalHeader()->setStretchLastSection(true);
    auto *lPicture = new QVBoxLayout(m_picMontos);
    lPicture->addWidget(lblMontos);
    lPicture->addWidget(m_grdMontos, 1);
    m_picMontos->setMinimumWidth(260);
    m_picMontos->hide();
    m_cmdEditarCuotas = Controles::boton(this, QStringLiteral("Command5"), kMostrar);

    const auto botones = PanelEmision::botones(this);
    m_cmdEmitir = botones.emitir;
    m_cmdImprimir = botones.imprimir;
    m_cmdCerrar = botones.cerrar;
    m_cmdEmitir->setAutoDefault(false);

    connect(m_txtPlan, &QComboBox::activated, this, &panEmiCuotaTodos::elegirPlan);
    connect(m_cmdSeleccionarTodos, &QPushButton::clicked, this, &panEmiCuotaTodos::seleccionarTodos);
    connect(m_cmdEditarCuotas, &QPushButton::clicked, this, &panEmiCuotaTodos::editarCuotas);
    connect(m_cmdEmitir, &QPushButton::clicked, this, &panEmiCuotaTodos::emitir);
    connect(m_cmdImprimir, &QPushButton::clicked, this, &panEmiCuotaTodos::imprimir);

    auto *planRow = new QHBoxLayout;
    planRow->addWidget(m_txtPlan, 1);
    planRow->addWidget(m_txtNoPlan);
    auto *mesRow = new QHBoxLayout;
    mesRow->addWidget(m_txMes);
    mesRow->addWidget(m_txAno);
    mesRow->addStretch();
    auto *form = new QFormLayout;
    form->addRow(lblMes, mesRow);
    form->addRow(lblPrim, m_dtFechaPrimVen);
    form->addRow(insc.fila);

    auto *left = new QVBoxLayout;
    left->addWidget(lblPlan);
    left->addLayout(planRow);
    left->addWidget(lblSocios);
    left->addWidget(m_lstSocios, 1);
    auto *selRow = new QHBoxLayout;
    selRow->addWidget(m_cmdSeleccionarTodos);
    selRow->addStretch();
    selRow->addWidget(m_cmdEditarCuotas);
    left->addLayout(selRow);
    left->addLayout(form);
    auto *body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addWidget(m_picMontos);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(botones.fila);

    // Load: dates today, the plans, an empty amounts list.
    const QDate hoy = Clock::today();
    m_dtFechaPrimVen->setDate(hoy);
    m_fecInscripcion->setDate(hoy);
    m_txMes->setText(QString::number(hoy.month()));
    m_txAno->setText(QString::number(hoy.year()));
    for (const Emision::Item &p : Emision::planes())
        m_txtPlan->addItem(p.texto, p.id);
    m_txtPlan->setCurrentIndex(-1);
    // A list that could not be emptied (logged) shows what the table holds.
    static_cast<void>(Emision::vaciarMontos());
    m_datMontos->refresh();
    resize(560, 520);
}

void panEmiCuotaTodos::elegirPlan(int indice) {
    m_lstSocios->clear();
    if (indice < 0 || indice >= m_txtPlan->count()) {
        static_cast<void>(Emision::vaciarMontos());
        m_txtNoPlan->clear();
        m_datMontos->refresh();
        return;
    }
    // Everything follows the chosen entry's own number, also when two plans share a name.
    const qint64 idPlan = m_txtPlan->itemData(indice).toLongLong();
    m_txtNoPlan->setText(QString::number(idPlan));
    for (const Emision::Item &a : Emision::afiliadosDelPlan(idPlan)) {
        auto *item = new QListWidgetItem(a.texto, m_lstSocios);
        item->setData(Qt::UserRole, a.id);
    }
    Emision::prepararMontos(idPlan);
    m_datMontos->refresh();
}

void panEmiCuotaTodos::seleccionarTodos() {
    m_lstSocios->selectAll();
    m_lstSocios->setFocus();
}

void panEmiCuotaTodos::editarCuotas() {
    if (!m_grdMontos->tomarEdicion())
        return;
    m_picMontos->setVisible(!m_picMontos->isVisible());
    m_datMontos->refresh();
    m_cmdEditarCuotas->setText(m_cmdEditarCuotas->text() == kMostrar ? kOcultar : kMostrar);
}

void panEmiCuotaTodos::reject() {
    if (!m_emitiendo)
        Ventana::reject();
}

void panEmiCuotaTodos::emitir() {
    // The progress keeps the window painted; nothing else of it may run meanwhile.
    if (m_emitiendo || !m_grdMontos->tomarEdicion())
        return;
    Emision::Grupal e;
    e.noPlan = m_txtNoPlan->text();
    e.mes = m_txMes->text();
    e.anio = m_txAno->text();
    e.hayAfiliados = m_lstSocios->count() > 0;
    for (int i = 0; i < m_lstSocios->count(); ++i)
        if (m_lstSocios->item(i)->isSelected())
            e.afiliados << m_lstSocios->item(i)->data(Qt::UserRole).toLongLong();
    e.primerVencimiento = m_dtFechaPrimVen->date();
    e.inscripcion = m_chkInscripcion->isChecked();
    e.fechaInscripcion = m_fecInscripcion->date();
    e.montos = Emision::montos();

    QProgressDialog progreso(this);
    progreso.setObjectName(QStringLiteral("progresoEmision"));
    progreso.setWindowTitle(QStringLiteral("Emisión"));
    progreso.setCancelButtonText(QStringLiteral("Cancelar"));
    progreso.setWindowModality(Qt::WindowModal);
    progreso.setAutoReset(false);
    progreso.setAutoClose(false);
    progreso.setMinimumDuration(400);
    progreso.setRange(0, qMax(1, int(e.afiliados.size())));
    m_emitiendo = true;
    const Emision::Resultado r = Emision::emitirGrupal(e, [&](int hechos, int total) {
        progreso.setLabelText(
            QStringLiteral("Emitiendo cuotas: socio %1 de %2").arg(qMin(hechos + 1, total)).arg(total));
        progreso.setValue(hechos);
        emit avance(hechos, total);
        QCoreApplication::processEvents();
        return !progreso.wasCanceled();
    });
    progreso.close();
    m_emitiendo = false;

    for (const QString &aviso : r.avisos)
        Mensaje::informacion(aviso, QStringLiteral("Emisión"), this);
    switch (r.estado) {
    case Emision::Resultado::Estado::Emitido:
        if (m_refrescar)
            m_refrescar();
        m_cmdEmitir->setEnabled(false);
        if (r.pagadasSinCambio == 1)
            Mensaje::informacion(
                QStringLiteral("Una cuota ya pagada quedó como estaba: su monto no se cambió."),
                QStringLiteral("Emisión"), this);
        else if (r.pagadasSinCambio > 1)
            Mensaje::informacion(
                QStringLiteral("%1 cuotas ya pagadas quedaron como estaban: sus montos no se cambiaron.")
                    .arg(r.pagadasSinCambio),
                QStringLiteral("Emisión"), this);
        return;
    case Emision::Resultado::Estado::Cancelado:
        Mensaje::informacion(r.mensaje, QStringLiteral("Emisión"), this);
        return;
    case Emision::Resultado::Estado::Rechazado:
        Mensaje::error(r.mensaje, this);
        if (r.causa == Emision::Resultado::Causa::MesAnio)
            m_txMes->setFocus();
        return;
    case Emision::Resultado::Estado::Fallo:
        Mensaje::error(r.mensaje, this);
        if (r.causa == Emision::Resultado::Causa::Socio)
            Mensaje::informacion(QStringLiteral("La emisión se deshizo entera: no se guardó ninguna cuota."),
                                 QStringLiteral("Emisión"), this);
        return;
    }
}

void panEmiCuotaTodos::imprimir() {
    if (!m_cr)
        return;
    bool ok = false;
    const qint64 idPlan = m_txtNoPlan->text().toLongLong(&ok);
    if (!ok) {
        Mensaje::error(QStringLiteral("Plan no localizado !"), this);
        return;
    }
    // The year goes into the formula as a number, never as the typed text.
    const auto anio = Emision::leerEntero(m_txAno->text());
    if (!anio) {
        Mensaje::error(QStringLiteral("Error, ingrese el mes y año correctamente!"), this);
        return;
    }
    PanelEmision::imprimirCuotas(
        m_cr, QStringLiteral("{cuotas.idplan} = %1 and {cuotas.Año} = %2 and {cuotas.Pagada} = False")
                  .arg(idPlan)
                  .arg(*anio));
}
