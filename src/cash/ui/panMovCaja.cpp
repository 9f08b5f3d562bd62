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
    dtFechaCaja = new DatePicker(this);
    dtFechaCaja->setObjectName(QStringLiteral("dtFechaCaja"));
    Controles::asociar(lblFecha, dtFechaCaja);
    form->addRow(lblFecha, dtFechaCaja);
    auto *lblTipo = Controles::etiqueta(this, QString(), QStringLiteral("&Tipo de Movimiento :"));
    botTipoCaja = Controles::boton(this, QStringLiteral("botTipoCaja"), QString());
    botTipoCaja->setMinimumWidth(200);
    Controles::asociar(lblTipo, botTipoCaja);
    form->addRow(lblTipo, botTipoCaja);
    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("C&uenta :"));
    cbCuenta = Controles::comboEditable(this, QStringLiteral("cbCuenta"), Caja::nombresCuentas());
    Controles::asociar(lblCuenta, cbCuenta);
    form->addRow(lblCuenta, cbCuenta);
    auto *lblDetalle = Controles::etiqueta(this, QString(), QStringLiteral("&Detalles :"));
    txtDetalle = Controles::campo(this, QStringLiteral("txtDetalle"), 100, lblDetalle);
    form->addRow(lblDetalle, txtDetalle);
    auto *lblImporte = Controles::etiqueta(this, QString(), QStringLiteral("&Importe $ :"));
    txtImporte = Controles::campo(this, QStringLiteral("txtImporte"), 20, lblImporte);
    txtImporte->setAlignment(Qt::AlignRight);
    form->addRow(lblImporte, txtImporte);
    auto *lblDivisa = Controles::etiqueta(this, QString(), QStringLiteral("Forma de &Pago :"));
    cbDivisa = Controles::comboEditable(this, QStringLiteral("cbDivisa"), Caja::nombresTiposDivisa());
    Controles::asociar(lblDivisa, cbDivisa);
    form->addRow(lblDivisa, cbDivisa);

    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Aceptar"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Cancelar"));
    connect(botTipoCaja, &QPushButton::clicked, this, &panMovCaja::cambiarTipo);
    connect(Command1, &QPushButton::clicked, this, &panMovCaja::aceptar);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    Controles::disponerFormulario(this, encabezado, form, {Command1, Command2});

    // Load: today, an income, empty fields.
    dtFechaCaja->setDate(Clock::today());
    ponerTipo(true);
    resize(500, sizeHint().height());
}

void panMovCaja::ponerTipo(bool ingreso) {
    m_color = ingreso ? colorIngreso() : colorEgreso();
    botTipoCaja->setText(ingreso ? QStringLiteral(">> I n g r e s o s") : QStringLiteral("<< E g r e s o s"));
    botTipoCaja->setStyleSheet(QStringLiteral("QPushButton#botTipoCaja { background-color: %1; color: black; "
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
    dtFechaCaja->setFocus();
}

void panMovCaja::mostrar() {
    if (!tagEsNumerico())
        return;
    const auto m = Caja::leer(Tag.trimmed().toLongLong());
    if (!m) {
        Mensaje::error(QStringLiteral("Error, registro no localizado!!"), this);
        return;
    }
    dtFechaCaja->setDate(m->fecha);
    cbCuenta->setEditText(m->cuenta);
    txtDetalle->setText(m->detalles);
    const bool ingreso = !m->ingresos.isZero();
    // Shown in the locale's plain form, which reads back to the same amount.
    m_importeGuardado = ingreso ? m->ingresos : m->egresos;
    txtImporte->setText(m_importeGuardado.toPlainString(QLocale()));
    cbDivisa->setEditText(m->tipoDivisa);
    ponerTipo(ingreso);
}

void panMovCaja::aceptar() {
    const auto importe = Money::parse(txtImporte->text(), QLocale());
    if (!importe) {
        Mensaje::error(QStringLiteral("Error, ingrese un importe correcto !"), this);
        txtImporte->clear();
        txtImporte->setFocus();
        return;
    }
    // A stored amount beyond the limit (brought from elsewhere) is saved again as it is.
    if (!importe->fitsEntry() && *importe != m_importeGuardado) {
        Mensaje::error(Formato::importeExcedido(), this);
        txtImporte->setFocus();
        return;
    }
    const auto errorCuenta = [this] {
        Mensaje::error(QStringLiteral("Error, ingrese una cuenta correcta !"), this);
        cbCuenta->setFocus();
    };
    const auto errorDivisa = [this] {
        Mensaje::error(QStringLiteral("Error, ingrese una forma de pago correcta !"), this);
        cbDivisa->setFocus();
    };
    if (cbCuenta->currentText().isEmpty())
        return errorCuenta();
    if (cbDivisa->currentText().isEmpty())
        return errorDivisa();
    const QVariant idCuenta = Caja::idCuentaPorNombre(cbCuenta->currentText());
    if (idCuenta.isNull())
        return errorCuenta();
    const QVariant idTipoDivisa = Caja::idTipoDivisaPorNombre(cbDivisa->currentText());
    if (idTipoDivisa.isNull())
        return errorDivisa();

    Caja::Datos d;
    d.fecha = dtFechaCaja->date();
    d.idCuenta = idCuenta.toLongLong();
    d.detalles = txtDetalle->text();
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
            txtImporte->setFocus();
            return;
        default:
            Mensaje::error(noGuardado + r.message(), this);
            return;
        }
    }
    accept();
}
