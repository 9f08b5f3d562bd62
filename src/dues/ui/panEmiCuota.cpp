#include "dues/ui/panEmiCuota.h"

#include "core/Clock.h"
#include "dues/Emision.h"
#include "dues/ui/PanelEmision.h"
#include "ui/Controles.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/ReportControl.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

panEmiCuota::panEmiCuota(ReportControl *cr, std::function<void()> refrescarCuotas, QWidget *parent)
    : Ventana(parent), m_cr(cr), m_refrescar(std::move(refrescarCuotas)) {
    setObjectName(QStringLiteral("panEmiCuota"));
    setWindowTitle(QStringLiteral("Emision de Cuotas Individual"));
    const QDate hoy = Clock::today();

    auto *lblPlan = Controles::etiqueta(this, QString(), QStringLiteral("Plan :"));
    m_txtPlan = Controles::campo(this, QStringLiteral("txtPlan"), 0, lblPlan);
    m_txtNoPlan = PanelEmision::numeroDePlan(this);
    m_txtPlan->setReadOnly(true);
    m_txtPlan->setFocusPolicy(Qt::NoFocus);

    auto *lblAnio = Controles::etiqueta(this, QString(), QStringLiteral("&Año de emisión :"));
    m_txtAnio = Controles::campo(this, QStringLiteral("txtAnio"), 6, lblAnio);
    m_txtAnio->setText(QString::number(hoy.year()));
    auto *lblDia = Controles::etiqueta(this, QString(), QStringLiteral("&Día de vencimiento :"));
    m_txtDia = Controles::campo(this, QStringLiteral("txtDia"), 2, lblDia);
    m_txtDia->setText(QString::number(qMin(hoy.day(), 30)));
    for (QLineEdit *e : {m_txtAnio, m_txtDia}) {
        e->setMaximumWidth(70);
        e->setAlignment(Qt::AlignRight);
    }

    auto *lblInic = Controles::etiqueta(this, QString(), QStringLiteral("Día del primer &Vencimiento :"));
    m_fecInic = new DatePicker(this);
    m_fecInic->setObjectName(QStringLiteral("fecInic"));
    Controles::asociar(lblInic, m_fecInic);
    const auto insc = PanelEmision::inscripcion(this);
    m_chkInscripcion = insc.cobra;
    m_fecInscripcion = insc.vencimiento;
    // Load: both dates today.
    m_fecInic->setDate(hoy);
    m_fecInscripcion->setDate(hoy);

    const auto botones = PanelEmision::botones(this);
    m_cmdEmitir = botones.emitir;
    m_cmdImprimir = botones.imprimir;
    m_cmdCerrar = botones.cerrar;
    m_cmdEmitir->setDefault(true);
    connect(m_cmdEmitir, &QPushButton::clicked, this, &panEmiCuota::emitir);
    connect(m_cmdImprimir, &QPushButton::clicked, this, &panEmiCuota::imprimir);

    auto *planRow = new QHBoxLayout;
    planRow->addWidget(m_txtPlan, 1);
    planRow->addWidget(m_txtNoPlan);
    auto *form = new QFormLayout;
    form->addRow(lblPlan, planRow);
    form->addRow(lblAnio, m_txtAnio);
    form->addRow(lblDia, m_txtDia);
    form->addRow(lblInic, m_fecInic);
    form->addRow(insc.fila);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(botones.fila);
    resize(520, sizeHint().height());
}

void panEmiCuota::showEvent(QShowEvent *e) {
    Ventana::showEvent(e);
    if (m_mostrado)
        return;
    m_mostrado = true;
    // After the window is on screen, so a refusal shows over it.
    QTimer::singleShot(0, this, [this] {
        if (!mostrarSocio() && !tagEsNumerico())
            reject();
    });
}

bool panEmiCuota::mostrarSocio() {
    if (!tagEsNumerico()) {
        Mensaje::error(QStringLiteral("Debe seleccionar un socio/afiliado para este proceso !"), this);
        return false;
    }
    const auto s = Emision::socio(Tag);
    if (!s) {
        Mensaje::error(QStringLiteral("Error, seguramente asignación de planes inexistentes!"), this);
        return false;
    }
    setWindowTitle(QStringLiteral("Emisión de cuotas de ") + s->apellido + QStringLiteral(", ") + s->nombres);
    m_txtNoPlan->setText(QString::number(s->idPlan));
    m_txtPlan->setText(s->descripcionPlan);
    m_txtAnio->setFocus();
    m_txtAnio->selectAll();
    return true;
}

void panEmiCuota::emitir() {
    Emision::Individual e;
    e.tag = Tag;
    e.noPlan = m_txtNoPlan->text();
    e.anio = m_txtAnio->text();
    e.dia = m_txtDia->text();
    e.primerVencimiento = m_fecInic->date();
    e.inscripcion = m_chkInscripcion->isChecked();
    e.fechaInscripcion = m_fecInscripcion->date();
    const Emision::Resultado r = Emision::emitirIndividual(e);
    for (const QString &aviso : r.avisos)
        Mensaje::informacion(aviso, QStringLiteral("Emisión"), this);
    if (!r.ok()) {
        Mensaje::error(r.mensaje, this);
        // The refused box, ready to be typed again.
        QLineEdit *campo = r.causa == Emision::Resultado::Causa::Anio  ? m_txtAnio
                           : r.causa == Emision::Resultado::Causa::Dia ? m_txtDia
                                                                       : nullptr;
        if (campo) {
            campo->setFocus();
            campo->selectAll();
        }
        return;
    }
    if (m_refrescar)
        m_refrescar();
    // A window issues once; to issue again the user opens it again.
    m_cmdEmitir->setEnabled(false);
    m_cmdImprimir->setFocus();
}

void panEmiCuota::imprimir() {
    if (!m_cr)
        return;
    if (!tagEsNumerico() || m_txtNoPlan->text().isEmpty()) {
        Mensaje::error(QStringLiteral("Plan no localizado !"), this);
        return;
    }
    PanelEmision::imprimirCuotas(m_cr, QStringLiteral("{cuotas.idAfiliado} = %1 and {cuotas.idplan} = %2 and "
                                                      "{cuotas.Pagada} = False")
                                           .arg(Tag.trimmed().toLongLong())
                                           .arg(m_txtNoPlan->text().toLongLong()));
}
