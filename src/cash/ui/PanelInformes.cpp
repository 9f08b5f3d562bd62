#include "cash/ui/PanelInformes.h"

#include "cash/InformesCaja.h"
#include "cash/ui/panInfCaja.h"
#include "ui/Comandos.h"
#include "ui/Controles.h"
#include "ui/DatePicker.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PanelInformes::PanelInformes(ReportControl *cr, QWidget *parent) : QWidget(parent), m_cr(cr) {
    setObjectName(QStringLiteral("panelProceso_3"));
    m_dtDesdeCaja = new DatePicker(this);
    m_dtDesdeCaja->setObjectName(QStringLiteral("dtDesdeCaja"));
    m_dtHastaCaja = new DatePicker(this);
    m_dtHastaCaja->setObjectName(QStringLiteral("dtHastaCaja"));
    auto *lblEntre = Controles::etiqueta(this, QString(), QStringLiteral("Entre :"));
    Controles::asociar(lblEntre, m_dtDesdeCaja);
    m_dtHastaCaja->setAccessibleName(QStringLiteral("Hasta"));

    m_cmdResumen =
        Controles::boton(this, QStringLiteral("Command27"), QStringLiteral("Resumen Sumas y Saldos Caja"));
    m_cmdInformeDeuda =
        Controles::boton(this, QStringLiteral("Command25"), QStringLiteral("Informe de Deudas socios"));
    auto *txt27 =
        new QLabel(QStringLiteral("Este informe muestra un resumen de ingresos y/o egresos por cuenta dentro "
                                  "del período de fechas abajo especificado."),
                   this);
    auto *txt25 =
        new QLabel(QStringLiteral("Este informe muestra la deuda de socios al día de hoy, teniendo en cuenta "
                                  "la fecha de vencimiento según el plan de cuota de cada socio."),
                   this);
    for (QLabel *l : {txt27, txt25})
        l->setWordWrap(true);

    auto *g1 = new QGroupBox(this);
    auto *l1 = new QVBoxLayout(g1);
    l1->addWidget(txt27);
    auto *range = new QHBoxLayout;
    range->addWidget(lblEntre);
    range->addWidget(m_dtDesdeCaja);
    range->addWidget(new QLabel(QStringLiteral("y"), this));
    range->addWidget(m_dtHastaCaja);
    range->addStretch();
    l1->addLayout(range);
    l1->addWidget(m_cmdResumen, 0, Qt::AlignLeft);

    auto *g2 = new QGroupBox(this);
    auto *l2 = new QVBoxLayout(g2);
    l2->addWidget(txt25);
    l2->addWidget(m_cmdInformeDeuda, 0, Qt::AlignLeft);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(g1);
    layout->addWidget(g2);
    layout->addStretch();

    Niveles::conectar(m_cmdResumen, [this] { resumen(); });
    Niveles::conectar(m_cmdInformeDeuda, [this] { informeDeuda(); });
}

void PanelInformes::resumen() {
    panInfCaja::imprimir(m_cr, QStringLiteral("resctas.rpt"),
                         InformesCaja::formulaResumen(m_dtDesdeCaja->date(), m_dtHastaCaja->date()));
}

void PanelInformes::informeDeuda() {
    panInfCaja::imprimir(m_cr, QStringLiteral("infDeuda.rpt"), InformesCaja::formulaDeuda());
}

void PanelInformes::setRango(const QDate &desde, const QDate &hasta) {
    m_dtDesdeCaja->setDate(desde);
    m_dtHastaCaja->setDate(hasta);
}
