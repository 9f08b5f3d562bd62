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
    i.cobra = new QCheckBox(QStringLiteral("Cobra Inscripción ?"), ventana);
    i.cobra->setObjectName(QStringLiteral("Check2"));
    i.cobra->setChecked(true);
    i.vencimiento = new DatePicker(ventana);
    i.vencimiento->setObjectName(QStringLiteral("fecInscripcion"));
    i.vencimiento->setAccessibleName(QStringLiteral("Vencimiento de la inscripción"));
    QObject::connect(i.cobra, &QCheckBox::toggled, i.vencimiento, &QWidget::setEnabled);
    i.fila = new QHBoxLayout;
    i.fila->addWidget(i.cobra);
    i.fila->addWidget(i.vencimiento);
    i.fila->addStretch();
    return i;
}

Botones botones(QWidget *ventana) {
    Botones b;
    b.emitir =
        Controles::boton(ventana, QStringLiteral("Command1"), QStringLiteral("1. &Emitir y Generar Cuotas"));
    b.imprimir = Controles::boton(ventana, QStringLiteral("Command3"), QStringLiteral("2. &Imprimir..."));
    b.cerrar = Controles::boton(ventana, QStringLiteral("Command2"), QStringLiteral("&Cerrar"));
    if (auto *d = qobject_cast<QDialog *>(ventana))
        QObject::connect(b.cerrar, &QPushButton::clicked, d, &QDialog::reject);
    b.fila = new QHBoxLayout;
    b.fila->addWidget(b.emitir);
    b.fila->addWidget(b.imprimir);
    b.fila->addStretch();
    b.fila->addWidget(b.cerrar);
    return b;
}

void imprimirCuotas(ReportControl *cr, const QString &formula) {
    cr->setReportFileName(QStringLiteral("cuotas.rpt"));
    cr->setConnect(QStringLiteral(";pwd=kR4wZp8N"));
    cr->setSelectionFormula(formula);
    cr->printReport();
}

} // namespace PanelEmision
