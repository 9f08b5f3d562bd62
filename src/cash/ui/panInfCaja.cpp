#include "cash/ui/panInfCaja.h"

#include "cash/Cuentas.h"
#include "cash/InformesCaja.h"
#include "core/Clock.h"
#include "ui/Controles.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/PanelEncabezado.h"
#include "ui/ReportControl.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

void panInfCaja::imprimir(ReportControl *cr, const QString &archivo, const QString &formula) {
    if (!cr)
        return;
    cr->setReportFileName(archivo);
    cr->setConnect(QStringLiteral(";pwd=kR4wZp8N"));
    cr->setSelectionFormula(formula);
    cr->printReport();
}

panInfCaja::panInfCaja(ReportControl *cr, QWidget *parent) : Ventana(parent), m_cr(cr) {
    setObjectName(QStringLiteral("panInfCaja"));
    setWindowTitle(QStringLiteral("Informes de Caja"));
    auto *encabezado = new PanelEncabezado(QStringLiteral("Informes de Caja"), 3, this);

    auto *lblInicio = Controles::etiqueta(this, QString(), QStringLiteral("Fecha de &Inicio :"));
    m_dtInicio = new DatePicker(this);
    m_dtInicio->setObjectName(QStringLiteral("dtInicio"));
    Controles::asociar(lblInicio, m_dtInicio);
    auto *lblFin = Controles::etiqueta(this, QString(), QStringLiteral("Fecha de &Fin :"));
    m_dtFin = new DatePicker(this);
    m_dtFin->setObjectName(QStringLiteral("dtFin"));
    Controles::asociar(lblFin, m_dtFin);
    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("C&uenta :"));
    m_cboCuentas = new QComboBox(this);
    m_cboCuentas->setObjectName(QStringLiteral("cboCuentas"));
    m_cboCuentas->setEditable(false);
    Controles::asociar(lblCuenta, m_cboCuentas);
    auto *form = new QFormLayout;
    form->addRow(lblInicio, m_dtInicio);
    form->addRow(lblFin, m_dtFin);
    form->addRow(lblCuenta, m_cboCuentas);

    m_cmdVistaPrevia =
        Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Vista Previa / Impresión..."));
    m_cmdSalir = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Salir"));
    connect(m_cmdVistaPrevia, &QPushButton::clicked, this, &panInfCaja::vistaPrevia);
    connect(m_cmdSalir, &QPushButton::clicked, this, &QDialog::reject);
    Controles::disponerFormulario(this, encabezado, form, {m_cmdVistaPrevia, m_cmdSalir});

    const QDate hoy = Clock::today();
    m_dtInicio->setDate(hoy.addDays(-30));
    m_dtFin->setDate(hoy);
    Module1::LlenaCombo(m_cboCuentas, Cuentas::recordSource(), QStringLiteral("Descripcion"));
    m_cboCuentas->addItem(InformesCaja::todas());
    m_cboCuentas->setCurrentIndex(-1);
    resize(420, sizeHint().height());
}

void panInfCaja::vistaPrevia() {
    if (m_cboCuentas->currentText().isEmpty()) {
        Mensaje::error(QStringLiteral("Error, Seleccione una cuenta !"), this);
        m_cboCuentas->setFocus();
        return;
    }
    // "<Todas>" is the last entry; an account that happens to carry that name is still one account.
    const bool todas = m_cboCuentas->currentIndex() == m_cboCuentas->count() - 1;
    imprimir(m_cr, QStringLiteral("caja.rpt"),
             InformesCaja::formulaCaja(m_dtInicio->date(), m_dtFin->date(),
                                       todas ? QString() : m_cboCuentas->currentText()));
}
