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

    Data1 = new DataControl(QStringLiteral("Data1"), this);
    Data1->setRecordSource(Cuentas::recordSource());
    Data1->setEditTarget(QStringLiteral("Cuentas"), QStringLiteral("idCuenta"));
    // A new name must be a name, and not another account's.
    Data1->setEscritor([](const QVariant &key, const QString &, const QVariant &value) {
        return Cuentas::renombrar(key.toLongLong(), value.toString());
    });
    DBGrid1 = new DataGrid(QStringLiteral("DBGrid1"), Data1, this);
    DBGrid1->setColumns({
        {QStringLiteral("idCuenta"), QStringLiteral("idCuenta"), Formato::Tipo::Entero, true},
        {QStringLiteral("Descripcion"), QStringLiteral("Descripcion"), Formato::Tipo::General, false},
    });
    DBGrid1->setAccessibleName(QStringLiteral("Cuentas"));
    DBGrid1->setNombreLista(QStringLiteral("Cuentas"));
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Nueva..."));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Borrar"));
    Command3 = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Salir"));
    cmdExportar = Controles::botonExportar(this, DBGrid1);
    // As wide as the push buttons above it.
    cmdExportar->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(Command1, &QPushButton::clicked, this, &panCuentas::nueva);
    connect(Command2, &QPushButton::clicked, this, &panCuentas::borrar);
    connect(Command3, &QPushButton::clicked, this, &QDialog::reject);

    auto *botones = new QVBoxLayout;
    botones->addWidget(Command1);
    botones->addWidget(Command2);
    botones->addWidget(cmdExportar);
    botones->addStretch();
    botones->addWidget(Command3);
    auto *cuerpo = new QHBoxLayout;
    cuerpo->addWidget(DBGrid1, 1);
    cuerpo->addLayout(botones);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new PanelEncabezado(QStringLiteral("Plan de Cuentas"), 4, this));
    layout->addLayout(cuerpo, 1);
    resize(460, 380);
    Data1->refresh();
    DBGrid1->setFocus();
}

void panCuentas::nueva() {
    DBGrid1->tomarEdicion();
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
    Data1->refresh();
    DBGrid1->viewport()->update();
}

void panCuentas::borrar() {
    DBGrid1->tomarEdicion();
    if (!Data1->hasCurrent())
        return;
    const qint64 id = Data1->value(QStringLiteral("idCuenta")).toLongLong();
    if (!Cuentas::borrable(id))
        return;
    if (!Module1::Confirma(QStringLiteral("Borra esta cuenta del plan")))
        return;
    const int fila = Data1->currentRow();
    if (const Result r = Cuentas::borrar(id); !r) {
        Mensaje::error(QStringLiteral("Error, no se pudo borrar la cuenta: ") + r.message(), this);
        return;
    }
    Data1->refresh();
    Data1->setCurrentRow(qMin(fila, Data1->recordCount() - 1));
}

void panCuentas::done(int r) {
    DBGrid1->tomarEdicion();
    Ventana::done(r);
}
