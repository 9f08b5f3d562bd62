#include "cash/ui/panCuentas.h"

#include "cash/Cuentas.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/InputBox.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"
#include "ui/PanelEncabezado.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

panCuentas::panCuentas(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panCuentas"));
    setWindowTitle(QStringLiteral("Plan de Cuentas"));

    m_datCuentas = new DataControl(QStringLiteral("Data1"), this);
    m_datCuentas->setRecordSource(Cuentas::recordSource());
    m_datCuentas->setEditTarget(QStringLiteral("Cuentas"), QStringLiteral("idCuenta"));
    // A new name must be a name, and not another account's.
    m_datCuentas->setEscritor([](const QVariant &key, const QString &, const QVariant &value) {
        return Cuentas::renombrar(key.toLongLong(), value.toString());
    });
    m_grdCuentas = new DataGrid(QStringLiteral("DBGrid1"), m_datCuentas, this);
    m_grdCuentas->setColumns({
        {QStringLiteral("idCuenta"), QStringLiteral("idCuenta"), Formato::Tipo::Entero, true},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), Formato::Tipo::General, false},
    });
    m_grdCuentas->setAccessibleName(QStringLiteral("Cuentas"));
    m_grdCuentas->setNombreLista(QStringLiteral("Cuentas"));
    m_grdCuentas->horizontalHeader()->setStretchLastSection(true);

    m_cmdNueva = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Nueva..."));
    m_cmdBorrar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Borrar"));
    m_cmdSalir = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Salir"));
    m_cmdExportar = Controles::botonExportar(this, m_grdCuentas);
    // As wide as the push buttons above it.
    m_cmdExportar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(m_cmdNueva, &QPushButton::clicked, this, &panCuentas::nueva);
    connect(m_cmdBorrar, &QPushButton::clicked, this, &panCuentas::borrar);
    connect(m_cmdSalir, &QPushButton::clicked, this, &QDialog::reject);

    auto *botones = new QVBoxLayout;
    botones->addWidget(m_cmdNueva);
    botones->addWidget(m_cmdBorrar);
    botones->addWidget(m_cmdExportar);
    botones->addStretch();
    botones->addWidget(m_cmdSalir);
    auto *cuerpo = new QHBoxLayout;
    cuerpo->addWidget(m_grdCuentas, 1);
    cuerpo->addLayout(botones);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new PanelEncabezado(QStringLiteral("Plan de Cuentas"), 4, this));
    layout->addLayout(cuerpo, 1);
    resize(460, 380);
    m_datCuentas->refresh();
    m_grdCuentas->setFocus();
}

void panCuentas::nueva() {
    m_grdCuentas->tomarEdicion();
    const auto nombre = InputBox::pedir(QStringLiteral("Ingrese el nombre de la cuenta"),
                                        QStringLiteral("Nueva Cuenta"), QString(), this);
    if (!nombre || nombre->isEmpty())
        return;
    const Result r = Cuentas::nueva(*nombre);
    switch (r.code()) {
    case Result::Code::Ok:
        break;
    case Result::Code::Conflict: // another account has the name
        Mensaje::mostrar(QStringLiteral("Error , la cuenta ya existe !!"), QString(), QMessageBox::Critical,
                         QMessageBox::Ok, QMessageBox::Ok, this);
        break;
    case Result::Code::Invalid: // no name
        Mensaje::error(QStringLiteral("Error, la cuenta debe tener un nombre !"), this);
        break;
    default:
        Mensaje::error(QStringLiteral("Error, no se pudo agregar la cuenta: ") + r.message(), this);
        break;
    }
    m_datCuentas->refresh();
    m_grdCuentas->viewport()->update();
}

void panCuentas::borrar() {
    m_grdCuentas->tomarEdicion();
    if (!m_datCuentas->hasCurrent())
        return;
    const qint64 id = m_datCuentas->value(QStringLiteral("idCuenta")).toLongLong();
    if (!Cuentas::borrable(id))
        return;
    if (!Module1::Confirma(QStringLiteral("Borra esta cuenta del plan")))
        return;
    const int fila = m_datCuentas->currentRow();
    if (const Result r = Cuentas::borrar(id); !r) {
        Mensaje::error(QStringLiteral("Error, no se pudo borrar la cuenta: ") + r.message(), this);
        return;
    }
    m_datCuentas->refresh();
    m_datCuentas->setCurrentRow(qMin(fila, m_datCuentas->recordCount() - 1));
}

void panCuentas::done(int r) {
    m_grdCuentas->tomarEdicion();
    Ventana::done(r);
}
