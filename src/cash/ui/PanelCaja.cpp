#include "cash/ui/PanelCaja.h"

#include "cash/Caja.h"
#include "cash/Cuentas.h"
#include "cash/ui/panCuentas.h"
#include "cash/ui/panInfCaja.h"
#include "cash/ui/panMovCaja.h"
#include "ui/Comandos.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PanelCaja::PanelCaja(DataControl *data4, ReportControl *cr, std::function<void()> actualizarTablas,
                     QWidget *parent)
    : QWidget(parent), m_datCaja(data4), m_cr(cr), m_actualizarTablas(std::move(actualizarTablas)) {
    setObjectName(QStringLiteral("panelProceso_4"));
    m_grdCaja = new DataGrid(QStringLiteral("DBGrid4"), m_datCaja, this);
    m_grdCaja->setNombreLista(QStringLiteral("Caja"));
    m_grdCaja->setColumns(Caja::columnas());
    m_grdCaja->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdCaja->setAccessibleName(QStringLiteral("Movimientos de caja"));
    m_grdCaja->setColumnWidth(1, 120);
    m_grdCaja->setColumnWidth(2, 320);
    m_grdCaja->setColumnWidth(3, 110);
    m_grdCaja->setColumnWidth(4, 110);
    // The whole book can be long: rows are read a page at a time where they are shown, and counted only
    // when asked.
    m_datCaja->setPagedFetching(true, QStringLiteral("idCaja"), PagedQueryModel::Count::AsRead);

    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("Cuenta :"));
    m_cboCuenta = new QComboBox(this);
    m_cboCuenta->setObjectName(QStringLiteral("Combo1"));
    m_cboCuenta->setEditable(false);
    m_cboCuenta->setMinimumWidth(160);
    Controles::asociar(lblCuenta, m_cboCuenta);
    auto *lblFecha = Controles::etiqueta(this, QString(), QStringLiteral("Fecha :"));
    m_dtFechaCaja = new DatePicker(this);
    m_dtFechaCaja->setObjectName(QStringLiteral("dtFechaCaja"));
    Controles::asociar(lblFecha, m_dtFechaCaja);

    m_cmdNuevo = Controles::boton(this, QStringLiteral("Command24"), QStringLiteral("Nuevo Mov."));
    m_cmdModificar = Controles::boton(this, QStringLiteral("Command22"), QStringLiteral("Modificar"));
    m_cmdBorrar = Controles::boton(this, QStringLiteral("Command23"), QStringLiteral("Borrar"));
    m_cmdListar = Controles::boton(this, QStringLiteral("Command20"), QStringLiteral("Listar"));
    m_cmdTodo = Controles::boton(this, QStringLiteral("Command21"), QStringLiteral("Todo"));
    m_cmdCuentas = Controles::boton(this, QStringLiteral("Command28"), QStringLiteral("Cuentas..."));

    auto *filter = new QHBoxLayout;
    filter->addWidget(lblCuenta);
    filter->addWidget(m_cboCuenta);
    filter->addSpacing(12);
    filter->addWidget(lblFecha);
    filter->addWidget(m_dtFechaCaja);
    filter->addWidget(m_cmdTodo);
    filter->addStretch();
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_cmdNuevo, m_cmdModificar, m_cmdBorrar, m_cmdListar, m_cmdCuentas})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filter);
    layout->addWidget(m_grdCaja, 1);
    layout->addLayout(buttons);

    // The filter runs when the day changes, when the picker is clicked or left, and on a choice of account.
    connect(m_dtFechaCaja, &QDateEdit::dateChanged, this, [this] { filtrar(); });
    m_dtFechaCaja->installEventFilter(this);
    connect(m_cboCuenta, &QComboBox::activated, this, [this] { filtrar(); });
    connect(m_datCaja, &DataControl::reposition, this, &PanelCaja::alCambiarFila);
    connect(m_grdCaja, &QAbstractItemView::doubleClicked, this, [this] { m_cmdModificar->click(); });

    Niveles::conectar(m_cmdNuevo, [this] { nuevo(); });
    Niveles::conectar(m_cmdModificar, [this] { modificar(); });
    Niveles::conectar(m_cmdBorrar, [this] { borrar(); });
    Niveles::conectar(m_cmdListar, [this] { listar(); });
    Niveles::conectar(m_cmdTodo, [this] { todo(); });
    Niveles::conectar(m_cmdCuentas, [this] { cuentas(); });
    alCambiarFila();
}

bool PanelCaja::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_dtFechaCaja &&
        (event->type() == QEvent::FocusOut || event->type() == QEvent::MouseButtonRelease))
        filtrar();
    return QWidget::eventFilter(watched, event);
}

void PanelCaja::llenarCuentas() {
    m_cboCuenta->clear();
    Module1::LlenaComboId(m_cboCuenta, Cuentas::recordSourceFiltro(), QStringLiteral("Descripcion"),
                          QStringLiteral("idCuenta"));
    m_cboCuenta->setCurrentIndex(-1);
}

void PanelCaja::filtrar(bool releer) {
    const QVariant idCuenta = m_cboCuenta->currentIndex() >= 0 ? m_cboCuenta->currentData() : QVariant();
    const Caja::Fuente f = Caja::delDia(m_dtFechaCaja->date(), idCuenta);
    m_datCaja->setRecordSource(f.sql, f.params);
    if (releer)
        m_datCaja->refresh();
}

void PanelCaja::todo() {
    const Caja::Fuente f = Caja::todo();
    m_datCaja->setRecordSource(f.sql, f.params);
    m_datCaja->refresh();
}

void PanelCaja::alCambiarFila() {
    const bool hay = m_datCaja->hasCurrent();
    m_cmdModificar->setEnabled(hay);
    m_cmdBorrar->setEnabled(hay);
}

void PanelCaja::nuevo() {
    {
        panMovCaja w(this);
        w.Tag = QStringLiteral("NUEVO");
        w.exec();
    }
    m_datCaja->refresh();
    const int n = m_datCaja->recordCount();
    if (n > 0)
        m_datCaja->setCurrentRow(n - 1);
}

void PanelCaja::modificar() {
    if (!m_datCaja->hasCurrent())
        return;
    panMovCaja w(this);
    w.Tag = m_datCaja->value(QStringLiteral("idCaja")).toString();
    const int fila = m_datCaja->currentRow();
    w.exec();
    // The row keeps its place in the list and shows what is now stored.
    m_datCaja->refresh();
    m_datCaja->setCurrentRow(qMin(fila, m_datCaja->recordCount() - 1));
}

void PanelCaja::borrar() {
    if (!Module1::Confirma(QStringLiteral("Borra este movimiento de Caja")))
        return;
    if (!m_datCaja->hasCurrent()) {
        Mensaje::error(QStringLiteral("Error, registro no localizado!!"), this);
        return;
    }
    const int fila = m_datCaja->currentRow();
    const Result r = Caja::borrar(m_datCaja->value(QStringLiteral("idCaja")).toLongLong());
    switch (r.code()) {
    case Result::Code::Ok:
        break;
    case Result::Code::Conflict: // the payment of a paid due stays
        Mensaje::error(r.message(), this);
        return;
    case Result::Code::NotFound: // gone meanwhile: the list is read again
        Mensaje::error(QStringLiteral("Error, registro no localizado!!"), this);
        break;
    default:
        Mensaje::error(QStringLiteral("Error, no se pudo borrar el movimiento: ") + r.message(), this);
        return;
    }
    m_datCaja->refresh();
    m_datCaja->setCurrentRow(qMin(fila, m_datCaja->recordCount() - 1));
}

void PanelCaja::listar() {
    panInfCaja w(m_cr, this);
    w.exec();
}

void PanelCaja::cuentas() {
    {
        panCuentas w(this);
        w.exec();
    }
    llenarCuentas();
}

void PanelCaja::limpiarRegistro() {
    if (!Module1::Confirma(QStringLiteral("Borra TODA la información de caja?")))
        return;
    // Copying a large file and deleting a long book take some seconds.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const Expected<QString> copia = Caja::limpiar();
    QApplication::restoreOverrideCursor();
    if (!copia) {
        Mensaje::error(copia.message(), this);
        return;
    }
    Mensaje::informacion(
        QStringLiteral("Se borró el registro de caja. Antes se guardó una copia de la base de "
                       "datos en:\n") +
            *copia,
        QStringLiteral("Limpiar Registro de Caja"), this);
    if (m_actualizarTablas)
        m_actualizarTablas();
}

void PanelCaja::setFecha(const QDate &dia) {
    m_dtFechaCaja->setDate(dia);
}
