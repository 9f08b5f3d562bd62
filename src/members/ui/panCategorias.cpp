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

    m_datCategorias = new DataControl(QStringLiteral("Data1"), this);
    m_datCategorias->setRecordSource(Categorias::recordSource());
    m_datCategorias->setEditTarget(QStringLiteral("Categorias"), QStringLiteral("idCategoria"));
    // The one editable column is the name.
    m_datCategorias->setEscritor([](const QVariant &key, const QString &, const QVariant &value) {
        return Categorias::renombrar(key.toLongLong(), value.toString());
    });
    m_grdCategorias = new DataGrid(QStringLiteral("DBGrid1"), m_datCategorias, this);
    m_grdCategorias->setColumns({
        {QStringLiteral("Nº Cat."), QStringLiteral("idCategoria"), Formato::Tipo::Entero, true},
        {QStringLiteral("Descripción"), QStringLiteral("Descripcion"), Formato::Tipo::General, false},
    });
    m_grdCategorias->setAccessibleName(QStringLiteral("Categorías"));
    m_grdCategorias->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                     QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    m_grdCategorias->horizontalHeader()->setStretchLastSection(true);

    m_cmdNueva = Controles::boton(this, QStringLiteral("Command1"), QStringLiteral("&Nueva"));
    m_cmdTomarCambios = Controles::boton(this, QStringLiteral("Command4"), QStringLiteral("&Tomar Cambios"));
    m_cmdEliminar = Controles::boton(this, QStringLiteral("Command2"), QStringLiteral("&Eliminar"));
    m_cmdSalir = Controles::boton(this, QStringLiteral("Command3"), QStringLiteral("&Salir"));
    connect(m_cmdNueva, &QPushButton::clicked, this, &panCategorias::nueva);
    connect(m_cmdTomarCambios, &QPushButton::clicked, this, &panCategorias::tomarCambios);
    connect(m_cmdEliminar, &QPushButton::clicked, this, &panCategorias::eliminar);
    connect(m_cmdSalir, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QVBoxLayout;
    for (QPushButton *b : {m_cmdNueva, m_cmdTomarCambios, m_cmdEliminar})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(m_cmdSalir);
    auto *body = new QHBoxLayout;
    body->addWidget(m_grdCategorias, 1);
    body->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new PanelEncabezado(QStringLiteral("Categorías de Socios"), 0, this));
    layout->addLayout(body, 1);

    setTabOrder(m_grdCategorias, m_cmdNueva);
    setTabOrder(m_cmdNueva, m_cmdTomarCambios);
    setTabOrder(m_cmdTomarCambios, m_cmdEliminar);
    setTabOrder(m_cmdEliminar, m_cmdSalir);
    resize(460, 380);
    m_datCategorias->refresh();
    m_grdCategorias->setFocus();
}

void panCategorias::guardarPendiente() {
    m_grdCategorias->tomarEdicion();
}

void panCategorias::nueva() {
    // As before: a refused row leaves the list as the database has it, without a message.
    if (const auto nueva = Categorias::nueva(); !nueva)
        Log::error(QStringLiteral("Categorías"), nueva.message());
    m_grdCategorias->viewport()->update();
    m_datCategorias->refresh();
    const int ultima = m_datCategorias->recordCount() - 1;
    m_datCategorias->setCurrentRow(ultima);
    if (ultima >= 0)
        m_grdCategorias->setCurrentIndex(m_grdCategorias->model()->index(ultima, 1));
    m_grdCategorias->setFocus();
}

void panCategorias::tomarCambios() {
    guardarPendiente();
    const int row = m_datCategorias->currentRow();
    m_datCategorias->refresh();
    if (row > 0)
        m_datCategorias->setCurrentRow(qMin(row, m_datCategorias->recordCount() - 1));
    m_grdCategorias->viewport()->update();
}

void panCategorias::eliminar() {
    if (!m_datCategorias->hasCurrent())
        return;
    guardarPendiente();
    if (!Mensaje::preguntaSiNo(QStringLiteral("Está seguro de eliminar esta categoría ??"),
                               QStringLiteral("Atención"), this))
        return;
    const int row = m_datCategorias->currentRow();
    if (const Result r =
            Categorias::borrar(m_datCategorias->value(QStringLiteral("idCategoria")).toLongLong());
        !r) {
        // A member still in the category is said as it is; a database failure with its cause.
        Mensaje::error(r.code() == Result::Code::Conflict
                           ? r.message()
                           : QStringLiteral("Error, no se pudo eliminar la categoría: ") + r.message(),
                       this);
        return;
    }
    m_datCategorias->refresh();
    m_datCategorias->setCurrentRow(qMin(row, m_datCategorias->recordCount() - 1));
}

void panCategorias::done(int r) {
    guardarPendiente();
    Ventana::done(r);
}
