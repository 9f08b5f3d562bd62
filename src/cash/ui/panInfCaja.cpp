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
    dtInicio = new DatePicker(this);
    dtInicio->setObjectName(QStringLiteral("dtInicio"));
    Controles::asociar(lblInicio, dtInicio);
    auto *lblFin = Controles::etiqueta(this, QString(), QStringLiteral("Fecha de &Fin :"));
    dtFin = new DatePicker(this);
    dtFin->setObjectName(QStringLiteral("dtFin"));
    Controles::asociar(lblFin, dtFin);
    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("C&uenta :"));
    cboCuentas = new QComboBox(this);
    cboCuentas->setObjectName(QStringLiteral("cboCuentas"));
    cboCuentas->setEditable(false);
    Controles::asociar(lblCuenta, cboCuentas);
    auto *form = new QFormLayout;
    form->addRow(lblInicio, dtInicio);
    form->addRow(lblFin, dtFin);
    form->addRow(lblCuenta, cboCuentas);

    Command1 =
        Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Vista Previa / Impresión..."));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Salir"));
    connect(Command1, &QPushButton::clicked, this, &panInfCaja::vistaPrevia);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    Controles::disponerFormulario(this, encabezado, form, {Command1, Command2});

    const QDate hoy = Clock::today();
    dtInicio->setDate(hoy.addDays(-30));
    dtFin->setDate(hoy);
    Module1::LlenaCombo(cboCuentas, Cuentas::recordSource(), QStringLiteral("Descripcion"));
    cboCuentas->addItem(InformesCaja::todas());
    cboCuentas->setCurrentIndex(-1);
    resize(420, sizeHint().height());
}

void panInfCaja::vistaPrevia() {
    if (cboCuentas->currentText().isEmpty()) {
        Mensaje::error(QStringLiteral("Error, Seleccione una cuenta !"), this);
        cboCuentas->setFocus();
        return;
    }
    // "<Todas>" is the last entry; an account that happens to carry that name is still one account.
    const bool todas = cboCuentas->currentIndex() == cboCuentas->count() - 1;
    imprimir(m_cr, QStringLiteral("caja.rpt"),
             InformesCaja::formulaCaja(dtInicio->date(), dtFin->date(),
                                       todas ? QString() : cboCuentas->currentText()));
}
