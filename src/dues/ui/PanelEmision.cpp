#include "dues/ui/PanelEmision.h"

#include "ui/Controles.h"
#include "ui/DatePicker.h"
#include "ui/ReportControl.h"

#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace PanelEmision {

QLineEdit *numeroDePlan(QWidget *ventana) {
    QLineEdit *e = Controles::campo(ventana, QStringLiteral("txtNoPlan"), 0);
    e->setReadOnly(true);
    e->setFocusPolicy(Qt::NoFocus);
    e->setAccessibleName(QStringLiteral("Número de plan"));
    e->setMaximumWidth(70);
    e->setAlignment(Qt::AlignRight);
    return e;
}

Inscripcion inscripcion(QWidget *ventana) {
    Inscripcion i;
    i.Check2 = new QCheckBox(QStringLiteral("Cobra Inscripción ?"), ventana);
    i.Check2->setObjectName(QStringLiteral("Check2"));
    i.Check2->setChecked(true);
    i.fecInscripcion = new DatePicker(ventana);
    i.fecInscripcion->setObjectName(QStringLiteral("fecInscripcion"));
    i.fecInscripcion->setAccessibleName(QStringLiteral("Vencimiento de la inscripción"));
    QObject::connect(i.Check2, &QCheckBox::toggled, i.fecInscripcion, &QWidget::setEnabled);
    i.fila = new QHBoxLayout;
    i.fila->addWidget(i.Check2);
    i.fila->addWidget(i.fecInscripcion);
    i.fila->addStretch();
    return i;
}

Botones botones(QWidget *ventana) {
    Botones b;
    b.Command1 =
        Controles::boton(ventana, QStringLiteral("Command1"), QStringLiteral("1. &Emitir y Generar Cuotas"));
    b.Command3 = Controles::boton(ventana, QStringLiteral("Command3"), QStringLiteral("2. &Imprimir..."));
    b.Command2 = Controles::boton(ventana, QStringLiteral("Command2"), QStringLiteral("&Cerrar"));
    if (auto *d = qobject_cast<QDialog *>(ventana))
        QObject::connect(b.Command2, &QPushButton::clicked, d, &QDialog::reject);
    b.fila = new QHBoxLayout;
    b.fila->addWidget(b.Command1);
    b.fila->addWidget(b.Command3);
    b.fila->addStretch();
    b.fila->addWidget(b.Command2);
    return b;
}

void imprimirCuotas(ReportControl *cr, const QString &formula) {
    cr->setReportFileName(QStringLiteral("cuotas.rpt"));
    cr->setConnect(QStringLiteral(";pwd=kR4wZp8N"));
    cr->setSelectionFormula(formula);
    cr->printReport();
}

} // namespace PanelEmision
