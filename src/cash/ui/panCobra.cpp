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
    m_txtSocio = campo(QStringLiteral("txtSocio"), QStringLiteral("Cliente/ Socio :"));
    m_txtMesyAnio = campo(QStringLiteral("txtMesyAnio"), QStringLiteral("Mes y Año :"));
    m_txtVencimiento = campo(QStringLiteral("txtVencimiento"), QStringLiteral("F. Vencimiento :"));
    m_txtConcepto = campo(QStringLiteral("txtConcepto"), QStringLiteral("Concepto :"));
    m_txtImporte = campo(QStringLiteral("txtImporte"), QStringLiteral("Importe :"));
    m_txtImporte->setAlignment(Qt::AlignRight);

    auto *lblFecha = Controles::etiqueta(this, QString(), QStringLiteral("&Fecha de Pago :"));
    m_cdFechaPago = new DatePicker(this);
    m_cdFechaPago->setObjectName(QStringLiteral("cdFechaPago"));
    Controles::asociar(lblFecha, m_cdFechaPago);
    form->addRow(lblFecha, m_cdFechaPago);
    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("C&uenta :"));
    m_cboCuenta = new QComboBox(this);
    m_cboCuenta->setObjectName(QStringLiteral("cboCuenta"));
    m_cboCuenta->setEditable(false);
    Controles::asociar(lblCuenta, m_cboCuenta);
    form->addRow(lblCuenta, m_cboCuenta);

    m_cmdCobrar = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Cobrar"));
    m_cmdImprimirRecibo =
        Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Imprimir Recibo"));
    m_cmdSalir = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Salir"));
    connect(m_cmdCobrar, &QPushButton::clicked, this, &panCobra::cobrar);
    connect(m_cmdImprimirRecibo, &QPushButton::clicked, this, &panCobra::imprimirRecibo);
    connect(m_cmdSalir, &QPushButton::clicked, this, &QDialog::reject);
    Controles::disponerFormulario(this, encabezado, form, {m_cmdCobrar, m_cmdImprimirRecibo, m_cmdSalir});

    // Load: today, and every account with none chosen.
    m_cdFechaPago->setDate(Clock::today());
    Module1::LlenaComboId(m_cboCuenta, Cuentas::recordSourceFiltro(), QStringLiteral("Descripcion"),
                          QStringLiteral("idCuenta"));
    m_cboCuenta->setCurrentIndex(-1);
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
        m_cdFechaPago->setFocus();
}

bool panCobra::mostrar() {
    if (!tagEsNumerico())
        return false;
    const auto c = Cobranza::leerCuota(Tag.trimmed().toLongLong());
    if (!c)
        return false;
    m_txtSocio->setText(c->apellido + QStringLiteral(", ") + c->nombres);
    m_txtMesyAnio->setText(QString::number(c->mes) + QLatin1Char('/') + QString::number(c->anio));
    m_txtConcepto->setText(c->factura);
    m_txtVencimiento->setText(Formato::fecha(c->vencimiento));
    m_txtImporte->setText(Formato::moneda(c->monto));
    return true;
}

void panCobra::cobrar() {
    if (!m_cmdCobrar->isEnabled())
        return;
    if (!Module1::Confirma(QStringLiteral("Asienta el pago de esta cuota")))
        return;
    if (m_cboCuenta->currentIndex() < 0) {
        Mensaje::error(QStringLiteral("Error, seleccione una cuenta!"), this);
        m_cboCuenta->setFocus();
        return;
    }
    if (!tagEsNumerico()) {
        cerrarConError();
        return;
    }
    const Result r = Cobranza::pagar(Tag.trimmed().toLongLong(), m_cdFechaPago->date(),
                                     m_cboCuenta->currentData().toLongLong());
    switch (r.code()) {
    case Result::Code::Ok:
        break;
    case Result::Code::NotFound:
        cerrarConError();
        return;
    case Result::Code::Conflict: // paid meanwhile
        Mensaje::error(r.message(), this);
        m_cmdCobrar->setEnabled(false);
        return;
    default:
        // Nothing was kept: the user may try again.
        Mensaje::error(QStringLiteral("No se pudo registrar el pago; no se guardó nada.\n") + r.message(),
                       this);
        return;
    }
    m_cmdCobrar->setEnabled(false);
    m_cmdImprimirRecibo->setDefault(true);
    m_cmdImprimirRecibo->setFocus();
}

void panCobra::imprimirRecibo() {
    if (!tagEsNumerico())
        return;
    panInfCaja::imprimir(m_cr, QStringLiteral("recibo.rpt"),
                         Cobranza::formulaRecibo(Tag.trimmed().toLongLong()));
}
