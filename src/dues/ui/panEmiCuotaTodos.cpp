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
    txtPlan = new QComboBox(this);
    txtPlan->setObjectName(QStringLiteral("txtPlan"));
    Controles::asociar(lblPlan, txtPlan);
    txtNoPlan = PanelEmision::numeroDePlan(this);

    auto *lblSocios =
        Controles::etiqueta(this, QString(), QStringLiteral("Seleccione los &socios a emitir la cuota :"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setUniformItemSizes(true);
    Controles::asociar(lblSocios, List1);
    Command4 = Controles::boton(this, QStringLiteral("Command4"), QStringLiteral("Seleccionar Todos"));

    auto *lblMes = Controles::etiqueta(this, QString(), QStringLiteral("&Mes y Año Inicial :"));
    txMes = Controles::campo(this, QStringLiteral("txMes"), 2, lblMes);
    txAno = Controles::campo(this, QStringLiteral("txAno"), 4);
    txAno->setAccessibleName(QStringLiteral("Año inicial"));
    txMes->setText(QStringLiteral("1"));
    txAno->setText(QStringLiteral("2008"));
    txMes->setMaximumWidth(50);
    txAno->setMaximumWidth(70);

    auto *lblPrim = Controles::etiqueta(this, QString(), QStringLiteral("Fecha Primer &Vencimiento :"));
    dtFechaPrimVen = new DatePicker(this);
    dtFechaPrimVen->setObjectName(QStringLiteral("dtFechaPrimVen"));
    Controles::asociar(lblPrim, dtFechaPrimVen);
    const auto insc = PanelEmision::inscripcion(this);
    Check2 = insc.Check2;
    fecInscripcion = insc.fecInscripcion;
    // The run's initial month and year follow the inscription date.
    connect(fecInscripcion, &QDateEdit::dateChanged, this, [this](const QDate &d) {
        txMes->setText(QString::number(d.month()));
        txAno->setText(QString::number(d.year()));
    });

    // The amounts list, hidden until asked for.
    Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    static_cast<QFrame *>(Picture1)->setFrameShape(QFrame::StyledPanel);
    auto *lblMontos = new QLabel(QStringLiteral("Edite los importes de las cuotas"), Picture1);
    Data1 = new DataControl(QStringLiteral("Data1"), this);
    Data1->setEditTarget(QStringLiteral("TmpCuotas"), QStringLiteral("nro"));
    Data1->setRecordSource(Emision::recordSourceMontos());
    DBGrid1 = new DataGrid(QStringLiteral("DBGrid1"), Data1, Picture1);
    using T = Formato::Tipo;
    DBGrid1->setColumns({
        {QStringLiteral("Nro de Cuota"), QStringLiteral("nro"), T::Entero, true},
        {QStringLiteral("Monto / Importe"), QStringLiteral("monto"), T::Moneda, false},
    });
    DBGrid1->horizontalHeader()->setStretchLastSection(true);
    auto *lPicture = new QVBoxLayout(Picture1);
    lPicture->addWidget(lblMontos);
    lPicture->addWidget(DBGrid1, 1);
    Picture1->setMinimumWidth(260);
    Picture1->hide();
    Command5 = Controles::boton(this, QStringLiteral("Command5"), kMostrar);

    const auto botones = PanelEmision::botones(this);
    Command1 = botones.Command1;
    Command3 = botones.Command3;
    Command2 = botones.Command2;
    Command1->setAutoDefault(false);

    connect(txtPlan, &QComboBox::activated, this, &panEmiCuotaTodos::elegirPlan);
    connect(Command4, &QPushButton::clicked, this, &panEmiCuotaTodos::seleccionarTodos);
    connect(Command5, &QPushButton::clicked, this, &panEmiCuotaTodos::editarCuotas);
    connect(Command1, &QPushButton::clicked, this, &panEmiCuotaTodos::emitir);
    connect(Command3, &QPushButton::clicked, this, &panEmiCuotaTodos::imprimir);

    auto *planRow = new QHBoxLayout;
    planRow->addWidget(txtPlan, 1);
    planRow->addWidget(txtNoPlan);
    auto *mesRow = new QHBoxLayout;
    mesRow->addWidget(txMes);
    mesRow->addWidget(txAno);
    mesRow->addStretch();
    auto *form = new QFormLayout;
    form->addRow(lblMes, mesRow);
    form->addRow(lblPrim, dtFechaPrimVen);
    form->addRow(insc.fila);

    auto *left = new QVBoxLayout;
    left->addWidget(lblPlan);
    left->addLayout(planRow);
    left->addWidget(lblSocios);
    left->addWidget(List1, 1);
    auto *selRow = new QHBoxLayout;
    selRow->addWidget(Command4);
    selRow->addStretch();
    selRow->addWidget(Command5);
    left->addLayout(selRow);
    left->addLayout(form);
    auto *body = new QHBoxLayout;
    body->addLayout(left, 1);
    body->addWidget(Picture1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(botones.fila);

    // Load: dates today, the plans, an empty amounts list.
    const QDate hoy = Clock::today();
    dtFechaPrimVen->setDate(hoy);
    fecInscripcion->setDate(hoy);
    txMes->setText(QString::number(hoy.month()));
    txAno->setText(QString::number(hoy.year()));
    for (const Emision::Item &p : Emision::planes())
        txtPlan->addItem(p.texto, p.id);
    txtPlan->setCurrentIndex(-1);
    // A list that could not be emptied (logged) shows what the table holds.
    static_cast<void>(Emision::vaciarMontos());
    Data1->refresh();
    resize(560, 520);
}

void panEmiCuotaTodos::elegirPlan(int indice) {
    List1->clear();
    if (indice < 0 || indice >= txtPlan->count()) {
        static_cast<void>(Emision::vaciarMontos());
        txtNoPlan->clear();
        Data1->refresh();
        return;
    }
    // Everything follows the chosen entry's own number, also when two plans share a name.
    const qint64 idPlan = txtPlan->itemData(indice).toLongLong();
    txtNoPlan->setText(QString::number(idPlan));
    for (const Emision::Item &a : Emision::afiliadosDelPlan(idPlan)) {
        auto *item = new QListWidgetItem(a.texto, List1);
        item->setData(Qt::UserRole, a.id);
    }
    Emision::prepararMontos(idPlan);
    Data1->refresh();
}

void panEmiCuotaTodos::seleccionarTodos() {
    List1->selectAll();
    List1->setFocus();
}

void panEmiCuotaTodos::editarCuotas() {
    if (!DBGrid1->tomarEdicion())
        return;
    Picture1->setVisible(!Picture1->isVisible());
    Data1->refresh();
    Command5->setText(Command5->text() == kMostrar ? kOcultar : kMostrar);
}

void panEmiCuotaTodos::reject() {
    if (!m_emitiendo)
        Ventana::reject();
}

void panEmiCuotaTodos::emitir() {
    // The progress keeps the window painted; nothing else of it may run meanwhile.
    if (m_emitiendo || !DBGrid1->tomarEdicion())
        return;
    Emision::Grupal e;
    e.noPlan = txtNoPlan->text();
    e.mes = txMes->text();
    e.anio = txAno->text();
    e.hayAfiliados = List1->count() > 0;
    for (int i = 0; i < List1->count(); ++i)
        if (List1->item(i)->isSelected())
            e.afiliados << List1->item(i)->data(Qt::UserRole).toLongLong();
    e.primerVencimiento = dtFechaPrimVen->date();
    e.inscripcion = Check2->isChecked();
    e.fechaInscripcion = fecInscripcion->date();
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
        Command1->setEnabled(false);
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
            txMes->setFocus();
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
    const qint64 idPlan = txtNoPlan->text().toLongLong(&ok);
    if (!ok) {
        Mensaje::error(QStringLiteral("Plan no localizado !"), this);
        return;
    }
    // The year goes into the formula as a number, never as the typed text.
    const auto anio = Emision::leerEntero(txAno->text());
    if (!anio) {
        Mensaje::error(QStringLiteral("Error, ingrese el mes y año correctamente!"), this);
        return;
    }
    PanelEmision::imprimirCuotas(
        m_cr, QStringLiteral("{cuotas.idplan} = %1 and {cuotas.Año} = %2 and {cuotas.Pagada} = False")
                  .arg(idPlan)
                  .arg(*anio));
}
