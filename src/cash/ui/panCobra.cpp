#include "cash/ui/panCobra.h"

#include "cash/Cobranza.h"
#include "cash/Cuentas.h"
#include "cash/ui/panInfCaja.h"
#include "core/Clock.h"
#include "core/Formato.h"
#include "ui/Controles.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/PanelEncabezado.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

panCobra::panCobra(ReportControl *cr, QWidget *parent) : Ventana(parent), m_cr(cr) {
    setObjectName(QStringLiteral("panCobra"));
    setWindowTitle(QStringLiteral("Cobranza de Cuota"));
    auto *encabezado = new PanelEncabezado(QStringLiteral("Cobranza"), 4, this);

    auto *form = new QFormLayout;
    auto campo = [&](const QString &nombre, const QString &etiqueta) {
        auto *l = Controles::etiqueta(this, QString(), etiqueta);
        QLineEdit *e = Controles::campo(this, nombre, 0, l);
        e->setReadOnly(true);
        form->addRow(l, e);
        return e;
    };
    txtSocio = campo(QStringLiteral("txtSocio"), QStringLiteral("Cliente/ Socio :"));
    txtMesyAnio = campo(QStringLiteral("txtMesyAnio"), QStringLiteral("Mes y Año :"));
    txtVencimiento = campo(QStringLiteral("txtVencimiento"), QStringLiteral("F. Vencimiento :"));
    txtConcepto = campo(QStringLiteral("txtConcepto"), QStringLiteral("Concepto :"));
    txtImporte = campo(QStringLiteral("txtImporte"), QStringLiteral("Importe :"));
    txtImporte->setAlignment(Qt::AlignRight);

    auto *lblFecha = Controles::etiqueta(this, QString(), QStringLiteral("&Fecha de Pago :"));
    cdFechaPago = new DatePicker(this);
    cdFechaPago->setObjectName(QStringLiteral("cdFechaPago"));
    Controles::asociar(lblFecha, cdFechaPago);
    form->addRow(lblFecha, cdFechaPago);
    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("C&uenta :"));
    cboCuenta = new QComboBox(this);
    cboCuenta->setObjectName(QStringLiteral("cboCuenta"));
    cboCuenta->setEditable(false);
    Controles::asociar(lblCuenta, cboCuenta);
    form->addRow(lblCuenta, cboCuenta);

    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Cobrar"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Imprimir Recibo"));
    Command3 = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Salir"));
    connect(Command1, &QPushButton::clicked, this, &panCobra::cobrar);
    connect(Command2, &QPushButton::clicked, this, &panCobra::imprimirRecibo);
    connect(Command3, &QPushButton::clicked, this, &QDialog::reject);
    Controles::disponerFormulario(this, encabezado, form, {Command1, Command2, Command3});

    // Load: today, and every account with none chosen.
    cdFechaPago->setDate(Clock::today());
    Module1::LlenaComboId(cboCuenta, Cuentas::recordSourceFiltro(), QStringLiteral("Descripcion"),
                          QStringLiteral("idCuenta"));
    cboCuenta->setCurrentIndex(-1);
    resize(480, sizeHint().height());
}

void panCobra::cerrarConError() {
    Mensaje::error(QStringLiteral("Error !"), this);
    QTimer::singleShot(0, this, &QDialog::reject);
}

void panCobra::showEvent(QShowEvent *e) {
    Ventana::showEvent(e);
    if (m_mostrado)
        return;
    m_mostrado = true;
    if (!mostrar())
        cerrarConError();
    else
        cdFechaPago->setFocus();
}

bool panCobra::mostrar() {
    if (!tagEsNumerico())
        return false;
    const auto c = Cobranza::leerCuota(Tag.trimmed().toLongLong());
    if (!c)
        return false;
    txtSocio->setText(c->apellido + QStringLiteral(", ") + c->nombres);
    txtMesyAnio->setText(QString::number(c->mes) + QLatin1Char('/') + QString::number(c->anio));
    txtConcepto->setText(c->factura);
    txtVencimiento->setText(Formato::fecha(c->vencimiento));
    txtImporte->setText(Formato::moneda(c->monto));
    return true;
}

void panCobra::cobrar() {
    if (!Command1->isEnabled())
        return;
    if (!Module1::Confirma(QStringLiteral("Asienta el pago de esta cuota")))
        return;
    if (cboCuenta->currentIndex() < 0) {
        Mensaje::error(QStringLiteral("Error, seleccione una cuenta!"), this);
        cboCuenta->setFocus();
        return;
    }
    if (!tagEsNumerico()) {
        cerrarConError();
        return;
    }
    const Result r = Cobranza::pagar(Tag.trimmed().toLongLong(), cdFechaPago->date(),
                                     cboCuenta->currentData().toLongLong());
    switch (r.code()) {
    case Result::Code::Ok:
        break;
    case Result::Code::NotFound:
        cerrarConError();
        return;
    case Result::Code::Conflict: // paid meanwhile
        Mensaje::error(r.message(), this);
        Command1->setEnabled(false);
        return;
    default:
        // Nothing was kept: the user may try again.
        Mensaje::error(QStringLiteral("No se pudo registrar el pago; no se guardó nada.\n") + r.message(),
                       this);
        return;
    }
    Command1->setEnabled(false);
    Command2->setDefault(true);
    Command2->setFocus();
}

void panCobra::imprimirRecibo() {
    if (!tagEsNumerico())
        return;
    panInfCaja::imprimir(m_cr, QStringLiteral("recibo.rpt"),
                         Cobranza::formulaRecibo(Tag.trimmed().toLongLong()));
}
