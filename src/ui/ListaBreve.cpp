#include "ui/ListaBreve.h"

#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ListaBreve::ListaBreve(const QString &nombre, const QString &titulo, const QVector<Columna> &columnas,
                       const QString &vacia, QWidget *parent)
    : Ventana(parent), m_vacia(vacia) {
    setObjectName(nombre);
    setWindowTitle(titulo);
    setSizeGripEnabled(true);
    m_datos = new DataControl(QStringLiteral("Data1"), this);
    auto *grilla = new DataGrid(QStringLiteral("DBGrid1"), m_datos, this);
    grilla->setColumns(columnas);
    grilla->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grilla->setAccessibleName(titulo);
    grilla->horizontalHeader()->setStretchLastSection(true);
    grilla->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_lblInfo = Controles::etiqueta(this, QStringLiteral("lblInfo"), QString());
    auto *cerrar = Controles::boton(this, QStringLiteral("cmdCerrar"), QStringLiteral("&Cerrar"));
    cerrar->setDefault(true);
    connect(cerrar, &QPushButton::clicked, this, &QDialog::accept);
    auto *pie = new QHBoxLayout;
    pie->addWidget(m_lblInfo, 1);
    pie->addWidget(cerrar);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(grilla, 1);
    layout->addLayout(pie);
    resize(760, 320);
}

bool ListaBreve::mostrar(const QString &sql, const QVariantList &params) {
    m_datos->setRecordSource(sql, params);
    if (!m_datos->refresh()) {
        Mensaje::error(QStringLiteral("No se pudo leer la lista: %1").arg(m_datos->lastError()), this);
        return false;
    }
    m_lblInfo->setText(m_datos->model()->rowCount() == 0 ? m_vacia : QString());
    return true;
}

void ListaBreve::abrir(const QString &nombre, const QString &titulo, const QVector<Columna> &columnas,
                       const QString &vacia, const QString &sql, const QVariantList &params,
                       QWidget *parent) {
    ListaBreve w(nombre, titulo, columnas, vacia, parent);
    if (w.mostrar(sql, params))
        w.exec();
}
