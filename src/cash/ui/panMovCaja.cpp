#include "cash/ui/panMovCaja.h"

#include "cash/Caja.h"
#include "core/Clock.h"
#include "core/Formato.h"
#include "ui/Controles.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/PanelEncabezado.h"

#include <QComboBox>
#include <QCompleter>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

panMovCaja::panMovCaja(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panMovCaja"));
    setWindowTitle(QStringLiteral("Movimiento de caja"));
    auto *encabezado = new PanelEncabezado(QStringLiteral("Asiento de Caja"), 4, this);

    auto *form = new QFormLayout;
    auto *lblFecha = Controles::etiqueta(this, QString(), QStringLiteral("&Fecha :"));
    m_dtFechaCaja = new DatePicker(this);
    m_dtFechaCaja->setObjectName(QStringLiteral("dtFechaCaja"));
    Controles::asociar(lblFecha, m_dtFechaCaja);
    form->addRow(lblFecha, m_dtFechaCaja);
    auto *lblTipo = Controles::etiqueta(this, QString(), QStringLiteral("&Tipo de Movimiento :"));
    m_botTipoCaja = Controles::boton(this, QStringLiteral("botTipoCaja"), QString());
    m_botTipoCaja->setMinimumWidth(200);
    Controles::asociar(lblTipo, m_botTipoCaja);
    form->addRow(lblTipo, m_botTipoCaja);
    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("C&uenta :"));
    m_cbCuenta = Controles::comboEditable(this, QStringLiteral("cbCuenta"), Caja::nombresCuentas());
    Controles::asociar(lblCuenta, m_cbCuenta);
    form->addRow(lblCuenta, m_cbCuenta);
    auto *lblDetalle = Controles::etiqueta(this, QString(), QStringLiteral("&Detalles :"));
    m_txtDetalle = Controles::campo(this, QStringLiteral("txtDetalle"), 100, lblDetalle);
    form->addRow(lblDetalle, m_txtDetalle);
    auto *lblImporte = Controles::etiqueta(this, QString(), QStringLiteral("&Importe $ :"));
    m_txtImporte = Controles::campo(this, QStringLiteral("txtImporte"), 20, lblImporte);
    m_txtImporte->setAlignment(Qt::AlignRight);
    form->addRow(lblImporte, m_txtImporte);
    auto *lblDivisa = Controles::etiqueta(this, QString(), QStringLiteral("Forma de &Pago :"));
    m_cbDivisa = Controles::comboEditable(this, QStringLiteral("cbDivisa"), Caja::nombresTiposDivisa());
    Controles::asociar(lblDivisa, m_cbDivisa);
    form->addRow(lblDivisa, m_cbDivisa);

    m_cmdAceptar = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    m_cmdCancelar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));
    connect(m_botTipoCaja, &QPushButton::clicked, this, &panMovCaja::cambiarTipo);
    connect(m_cmdAceptar, &QPushButton::clicked, this, &panMovCaja::aceptar);
    connect(m_cmdCancelar, &QPushButton::clicked, this, &QDialog::reject);
    Controles::disponerFormulario(this, encabezado, form, {m_cmdAceptar, m_cmdCancelar});

    // Load: today, an income, empty fields.
    m_dtFechaCaja->setDate(Clock::today());
    ponerTipo(true);
    resize(500, sizeHint().height());
}

void panMovCaja::ponerTipo(bool ingreso) {
    m_color = ingreso ? colorIngreso() : colorEgreso();
    m_botTipoCaja->setText(ingreso ? QStringLiteral(">> I n g r e s o s")
                                   : QStringLiteral("<< E g r e s o s"));
    m_botTipoCaja->setStyleSheet(
        QStringLiteral("QPushButton#botTipoCaja { background-color: %1; color: black; "
                       "border: 1px solid #777; border-radius: 3px; padding: 4px; }")
            .arg(m_color.name()));
}

void panMovCaja::cambiarTipo() {
    ponerTipo(!esIngreso());
}

void panMovCaja::showEvent(QShowEvent *e) {
    Ventana::showEvent(e);
    if (m_mostrado)
        return;
    m_mostrado = true;
    mostrar();
    m_dtFechaCaja->setFocus();
}

void panMovCaja::mostrar() {
    if (!tagEsNumerico())
        return;
    const auto m = Caja::leer(Tag.trimmed().toLongLong());
    if (!m) {
        Mensaje::error(QStringLiteral("Error, registro no localizado!!"), this);
        return;
    }
    m_dtFechaCaja->setDate(m->fecha);
    m_cbCuenta->setEditText(m->cuenta);
    m_txtDetalle->setText(m->detalles);
    const bool ingreso = !m->ingresos.isZero();
    // Shown in the locale's plain form, which reads back to the same amount.
    m_importeGuardado = ingreso ? m->ingresos : m->egresos;
    m_txtImporte->setText(m_importeGuardado.toPlainString(QLocale()));
    m_cbDivisa->setEditText(m->tipoDivisa);
    ponerTipo(ingreso);
}

void panMovCaja::aceptar() {
    const auto importe = Money::parse(m_txtImporte->text(), QLocale());
    if (!importe) {
        Mensaje::error(QStringLiteral("Error, ingrese un importe correcto !"), this);
        m_txtImporte->clear();
        m_txtImporte->setFocus();
        return;
    }
    // A stored amount beyond the limit (brought from elsewhere) is saved again as it is.
    if (!importe->fitsEntry() && *importe != m_importeGuardado) {
        Mensaje::error(Formato::importeExcedido(), this);
        m_txtImporte->setFocus();
        return;
    }
    const auto errorCuenta = [this] {
        Mensaje::error(QStringLiteral("Error, ingrese una cuenta correcta !"), this);
        m_cbCuenta->setFocus();
    };
    const auto errorDivisa = [this] {
        Mensaje::error(QStringLiteral("Error, ingrese una forma de pago correcta !"), this);
        m_cbDivisa->setFocus();
    };
    if (m_cbCuenta->currentText().isEmpty())
        return errorCuenta();
    if (m_cbDivisa->currentText().isEmpty())
        return errorDivisa();
    const QVariant idCuenta = Caja::idCuentaPorNombre(m_cbCuenta->currentText());
    if (idCuenta.isNull())
        return errorCuenta();
    const QVariant idTipoDivisa = Caja::idTipoDivisaPorNombre(m_cbDivisa->currentText());
    if (idTipoDivisa.isNull())
        return errorDivisa();

    Caja::Datos d;
    d.fecha = m_dtFechaCaja->date();
    d.idCuenta = idCuenta.toLongLong();
    d.detalles = m_txtDetalle->text();
    (esIngreso() ? d.ingresos : d.egresos) = *importe;
    d.idTipoDivisa = idTipoDivisa.toLongLong();
    const QString noGuardado = QStringLiteral("No se pudo guardar el movimiento; no se guardó nada.\n");
    if (Tag == QLatin1String("NUEVO")) {
        if (const auto id = Caja::agregar(d); !id) {
            Mensaje::error(noGuardado + id.message(), this);
            return;
        }
    } else {
        const Result r = tagEsNumerico()
                             ? Caja::modificar(Tag.trimmed().toLongLong(), d)
                             : Result::failure(QStringLiteral("Movimiento de Caja no localizado !!"),
                                               Result::Code::NotFound);
        switch (r.code()) {
        case Result::Code::Ok:
            break;
        case Result::Code::NotFound:
            Mensaje::error(r.message(), this);
            return;
        case Result::Code::Conflict: // the payment of a paid due keeps the due's amount
            Mensaje::error(r.message(), this);
            m_txtImporte->setFocus();
            return;
        default:
            Mensaje::error(noGuardado + r.message(), this);
            return;
        }
    }
    accept();
}
