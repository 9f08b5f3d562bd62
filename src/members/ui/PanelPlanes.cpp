#include "members/ui/PanelPlanes.h"

#include "members/Planes.h"
#include "members/ui/panPlan.h"
#include "ui/Comandos.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

PanelPlanes::PanelPlanes(DataControl *data3, QWidget *parent) : QWidget(parent), m_datPlanes(data3) {
    setObjectName(QStringLiteral("panelProceso_2"));
    m_grdPlanes = new DataGrid(QStringLiteral("DBGrid3"), m_datPlanes, this);
    m_grdPlanes->setNombreLista(QStringLiteral("Planes"));
    m_grdPlanes->setColumns(Planes::columnas());
    m_grdPlanes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdPlanes->setColumnWidth(1, 180);
    m_grdPlanes->setColumnWidth(2, 240);
    m_grdPlanes->setColumnWidth(3, 110);
    m_datPlanes->setEditTarget(QStringLiteral("Planes"), QStringLiteral("idPlan"));
    m_datPlanes->setPagedFetching(true, QStringLiteral("idPlan"), PagedQueryModel::Count::AsRead);

    m_cmdNuevo = Controles::boton(this, QStringLiteral("Command15"), QStringLiteral("Nuevo Plan"));
    m_cmdModificar = Controles::boton(this, QStringLiteral("Command17"), QStringLiteral("Modificar"));
    m_cmdBorrar = Controles::boton(this, QStringLiteral("Command16"), QStringLiteral("Borrar"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_cmdNuevo, m_cmdModificar, m_cmdBorrar})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grdPlanes, 1);
    layout->addLayout(buttons);

    connect(m_datPlanes, &DataControl::reposition, this, &PanelPlanes::alCambiarFila);
    Niveles::conectar(m_cmdNuevo, [this] { nuevoPlan(); });
    Niveles::conectar(m_cmdModificar, [this] { modificar(); });
    // Double-click on the list runs "Modificar", which applies its own level rule.
    connect(m_grdPlanes, &QAbstractItemView::doubleClicked, this, [this] { m_cmdModificar->click(); });
    Niveles::conectar(m_cmdBorrar, [this] { borrar(); });
}

void PanelPlanes::alCambiarFila() {
    const bool hay = m_datPlanes->hasCurrent();
    m_cmdBorrar->setEnabled(hay);
    m_cmdModificar->setEnabled(hay);
}

void PanelPlanes::nuevoPlan() {
    panPlan editor(window());
    editor.Tag = QStringLiteral("NUEVO");
    editor.exec();
    m_datPlanes->refresh();
}

void PanelPlanes::modificar() {
    if (!m_datPlanes->hasCurrent())
        return;
    const QVariant id = m_datPlanes->value(QStringLiteral("idPlan"));
    panPlan editor(window());
    editor.Tag = QString::number(id.toLongLong());
    if (editor.exec() != QDialog::Accepted)
        return;
    // Show the stored values at once, on the same plan (a new name moves it in the list).
    const int antes = m_datPlanes->currentRow();
    m_datPlanes->refresh();
    m_datPlanes->fetchAll();
    int fila = antes;
    for (int r = 0; r < m_datPlanes->model()->rowCount(); ++r)
        if (m_datPlanes->valueAt(r, QStringLiteral("idPlan")) == id)
            fila = r;
    m_datPlanes->setCurrentRow(fila);
}

void PanelPlanes::borrar() {
    const QString nombre = m_datPlanes->value(QStringLiteral("Descripcion")).toString();
    if (!Module1::Confirma(nombre.isEmpty() ? QStringLiteral("Borra este plan")
                                            : QStringLiteral("Borra el plan ") + nombre))
        return;
    if (!m_datPlanes->hasCurrent()) {
        Mensaje::error(QStringLiteral("Registro no localizado!!"), window());
        return;
    }
    const int fila = m_datPlanes->currentRow();
    if (const Result r = Planes::borrar(m_datPlanes->value(QStringLiteral("idPlan")).toLongLong()); !r) {
        Mensaje::error(QStringLiteral("Error, no se pudo borrar el plan: ") + r.message(), window());
        return;
    }
    m_datPlanes->refresh();
    m_datPlanes->setCurrentRow(qMin(fila, m_datPlanes->recordCount() - 1));
}
