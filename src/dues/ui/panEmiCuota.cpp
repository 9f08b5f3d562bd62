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
    txtPlan = Controles::campo(this, QStringLiteral("txtPlan"), 0, lblPlan);
    txtNoPlan = PanelEmision::numeroDePlan(this);
    txtPlan->setReadOnly(true);
    txtPlan->setFocusPolicy(Qt::NoFocus);

    auto *lblAnio = Controles::etiqueta(this, QString(), QStringLiteral("&Año de emisión :"));
    txtAnio = Controles::campo(this, QStringLiteral("txtAnio"), 6, lblAnio);
    txtAnio->setText(QString::number(hoy.year()));
    auto *lblDia = Controles::etiqueta(this, QString(), QStringLiteral("&Día de vencimiento :"));
    txtDia = Controles::campo(this, QStringLiteral("txtDia"), 2, lblDia);
    txtDia->setText(QString::number(qMin(hoy.day(), 30)));
    for (QLineEdit *e : {txtAnio, txtDia}) {
        e->setMaximumWidth(70);
        e->setAlignment(Qt::AlignRight);
    }

    auto *lblInic = Controles::etiqueta(this, QString(), QStringLiteral("Día del primer &Vencimiento :"));
    fecInic = new DatePicker(this);
    fecInic->setObjectName(QStringLiteral("fecInic"));
    Controles::asociar(lblInic, fecInic);
    const auto insc = PanelEmision::inscripcion(this);
    Check2 = insc.Check2;
    fecInscripcion = insc.fecInscripcion;
    // Load: both dates today.
    fecInic->setDate(hoy);
    fecInscripcion->setDate(hoy);

    const auto botones = PanelEmision::botones(this);
    Command1 = botones.Command1;
    Command3 = botones.Command3;
    Command2 = botones.Command2;
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &panEmiCuota::emitir);
    connect(Command3, &QPushButton::clicked, this, &panEmiCuota::imprimir);

    auto *planRow = new QHBoxLayout;
    planRow->addWidget(txtPlan, 1);
    planRow->addWidget(txtNoPlan);
    auto *form = new QFormLayout;
    form->addRow(lblPlan, planRow);
    form->addRow(lblAnio, txtAnio);
    form->addRow(lblDia, txtDia);
    form->addRow(lblInic, fecInic);
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
    txtNoPlan->setText(QString::number(s->idPlan));
    txtPlan->setText(s->descripcionPlan);
    txtAnio->setFocus();
    txtAnio->selectAll();
    return true;
}

void panEmiCuota::emitir() {
    Emision::Individual e;
    e.tag = Tag;
    e.noPlan = txtNoPlan->text();
    e.anio = txtAnio->text();
    e.dia = txtDia->text();
    e.primerVencimiento = fecInic->date();
    e.inscripcion = Check2->isChecked();
    e.fechaInscripcion = fecInscripcion->date();
    const Emision::Resultado r = Emision::emitirIndividual(e);
    for (const QString &aviso : r.avisos)
        Mensaje::informacion(aviso, QStringLiteral("Emisión"), this);
    if (!r.ok()) {
        Mensaje::error(r.mensaje, this);
        // The refused box, ready to be typed again.
        QLineEdit *campo = r.causa == Emision::Resultado::Causa::Anio  ? txtAnio
                           : r.causa == Emision::Resultado::Causa::Dia ? txtDia
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
    Command1->setEnabled(false);
    Command3->setFocus();
}

void panEmiCuota::imprimir() {
    if (!m_cr)
        return;
    if (!tagEsNumerico() || txtNoPlan->text().isEmpty()) {
        Mensaje::error(QStringLiteral("Plan no localizado !"), this);
        return;
    }
    PanelEmision::imprimirCuotas(m_cr, QStringLiteral("{cuotas.idAfiliado} = %1 and {cuotas.idplan} = %2 and "
                                                      "{cuotas.Pagada} = False")
                                           .arg(Tag.trimmed().toLongLong())
                                           .arg(txtNoPlan->text().toLongLong()));
}
