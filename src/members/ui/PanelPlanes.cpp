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

PanelPlanes::PanelPlanes(DataControl *data3, QWidget *parent) : QWidget(parent), Data3(data3) {
    setObjectName(QStringLiteral("panelProceso_2"));
    DBGrid3 = new DataGrid(QStringLiteral("DBGrid3"), Data3, this);
    DBGrid3->setColumns(Planes::columnas());
    DBGrid3->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid3->setColumnWidth(1, 180);
    DBGrid3->setColumnWidth(2, 240);
    DBGrid3->setColumnWidth(3, 110);
    Data3->setEditTarget(QStringLiteral("Planes"), QStringLiteral("idPlan"));

    Command15 = Controles::boton(this, QStringLiteral("Command15"), QStringLiteral("Nuevo Plan"));
    Command17 = Controles::boton(this, QStringLiteral("Command17"), QStringLiteral("Modificar"));
    Command16 = Controles::boton(this, QStringLiteral("Command16"), QStringLiteral("Borrar"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {Command15, Command17, Command16})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(DBGrid3, 1);
    layout->addLayout(buttons);

    connect(Data3, &DataControl::reposition, this, &PanelPlanes::alCambiarFila);
    Niveles::conectar(Command15, [this] { nuevoPlan(); });
    Niveles::conectar(Command17, [this] { modificar(); });
    Niveles::conectar(Command16, [this] { borrar(); });
}

void PanelPlanes::alCambiarFila() {
    const bool hay = Data3->hasCurrent();
    Command16->setEnabled(hay);
    Command17->setEnabled(hay);
}

void PanelPlanes::nuevoPlan() {
    panPlan editor(window());
    editor.Tag = QStringLiteral("NUEVO");
    editor.exec();
    Data3->refresh();
}

void PanelPlanes::modificar() {
    if (!Data3->hasCurrent())
        return;
    const QVariant id = Data3->value(QStringLiteral("idPlan"));
    panPlan editor(window());
    editor.Tag = QString::number(id.toLongLong());
    if (editor.exec() != QDialog::Accepted)
        return;
    // Show the stored values at once, on the same plan (a new name moves it in the list).
    const int antes = Data3->currentRow();
    Data3->refresh();
    Data3->fetchAll();
    int fila = antes;
    for (int r = 0; r < Data3->model()->rowCount(); ++r)
        if (Data3->valueAt(r, QStringLiteral("idPlan")) == id)
            fila = r;
    Data3->setCurrentRow(fila);
}

void PanelPlanes::borrar() {
    const QString nombre = Data3->value(QStringLiteral("Descripcion")).toString();
    if (!Module1::Confirma(nombre.isEmpty() ? QStringLiteral("Borra este plan")
                                            : QStringLiteral("Borra el plan ") + nombre))
        return;
    if (!Data3->hasCurrent()) {
        Mensaje::error(QStringLiteral("Registro no localizado!!"), window());
        return;
    }
    const int fila = Data3->currentRow();
    if (const Result r = Planes::borrar(Data3->value(QStringLiteral("idPlan")).toLongLong()); !r) {
        Mensaje::error(QStringLiteral("Error, no se pudo borrar el plan: ") + r.message(), window());
        return;
    }
    Data3->refresh();
    Data3->setCurrentRow(qMin(fila, Data3->recordCount() - 1));
}
