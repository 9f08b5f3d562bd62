#include "members/ui/panCategorias.h"

#include "core/Log.h"
#include "members/Categorias.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/PanelEncabezado.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

panCategorias::panCategorias(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panCategorias"));
    setWindowTitle(QStringLiteral("Tabla de Categorías de Socios"));

    Data1 = new DataControl(QStringLiteral("Data1"), this);
    Data1->setRecordSource(Categorias::recordSource());
    Data1->setEditTarget(QStringLiteral("Categorias"), QStringLiteral("idCategoria"));
    DBGrid1 = new DataGrid(QStringLiteral("DBGrid1"), Data1, this);
    DBGrid1->setColumns({
        {QStringLiteral("Nº Cat."), QStringLiteral("idCategoria"), Formato::Tipo::Entero, true},
        {QStringLiteral("Descripción"), QStringLiteral("Descripcion"), Formato::Tipo::General, false},
    });
    DBGrid1->setAccessibleName(QStringLiteral("Categorías"));
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    DBGrid1->horizontalHeader()->setStretchLastSection(true);

    Command1 = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Nueva"));
    Command4 = Controles::boton(this, QStringLiteral("Command4"), QStringLiteral("&Tomar Cambios"));
    Command2 = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Eliminar"));
    Command3 = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Salir"));
    connect(Command1, &QPushButton::clicked, this, &panCategorias::nueva);
    connect(Command4, &QPushButton::clicked, this, &panCategorias::tomarCambios);
    connect(Command2, &QPushButton::clicked, this, &panCategorias::eliminar);
    connect(Command3, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {Command1, Command4, Command2})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(Command3);
    auto *body = new QHBoxLayout;
    body->addWidget(DBGrid1, 1);
    body->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new PanelEncabezado(QStringLiteral("Categorías de Socios"), 0, this));
    layout->addLayout(body, 1);

    setTabOrder(DBGrid1, Command1);
    setTabOrder(Command1, Command4);
    setTabOrder(Command4, Command2);
    setTabOrder(Command2, Command3);
    resize(460, 380);
    Data1->refresh();
    DBGrid1->setFocus();
}

void panCategorias::guardarPendiente() {
    DBGrid1->tomarEdicion();
}

void panCategorias::nueva() {
    // As before: a refused row leaves the list as the database has it, without a message.
    if (const auto nueva = Categorias::nueva(); !nueva)
        Log::error(QStringLiteral("Categorías"), nueva.message());
    DBGrid1->viewport()->update();
    Data1->refresh();
    const int ultima = Data1->recordCount() - 1;
    Data1->setCurrentRow(ultima);
    if (ultima >= 0)
        DBGrid1->setCurrentIndex(DBGrid1->model()->index(ultima, 1));
    DBGrid1->setFocus();
}

void panCategorias::tomarCambios() {
    guardarPendiente();
    const int row = Data1->currentRow();
    Data1->refresh();
    if (row > 0)
        Data1->setCurrentRow(qMin(row, Data1->recordCount() - 1));
    DBGrid1->viewport()->update();
}

void panCategorias::eliminar() {
    if (!Data1->hasCurrent())
        return;
    guardarPendiente();
    if (!Mensaje::preguntaSiNo(QStringLiteral("Está seguro de eliminar esta categoría ??"),
                               QStringLiteral("Atención"), this))
        return;
    const int row = Data1->currentRow();
    if (const Result r = Categorias::borrar(Data1->value(QStringLiteral("idCategoria")).toLongLong()); !r) {
        // A member still in the category is said as it is; a database failure with its cause.
        Mensaje::error(r.code() == Result::Code::Conflict
                           ? r.message()
                           : QStringLiteral("Error, no se pudo eliminar la categoría: ") + r.message(),
                       this);
        return;
    }
    Data1->refresh();
    Data1->setCurrentRow(qMin(row, Data1->recordCount() - 1));
}

void panCategorias::done(int r) {
    guardarPendiente();
    Ventana::done(r);
}
