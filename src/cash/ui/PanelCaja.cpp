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
    : QWidget(parent), Data4(data4), m_cr(cr), m_actualizarTablas(std::move(actualizarTablas)) {
    setObjectName(QStringLiteral("panelProceso_4"));
    DBGrid4 = new DataGrid(QStringLiteral("DBGrid4"), Data4, this);
    DBGrid4->setColumns(Caja::columnas());
    DBGrid4->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid4->setAccessibleName(QStringLiteral("Movimientos de caja"));
    DBGrid4->setColumnWidth(1, 120);
    DBGrid4->setColumnWidth(2, 320);
    DBGrid4->setColumnWidth(3, 110);
    DBGrid4->setColumnWidth(4, 110);
    // The whole book can be long: rows are read a page at a time where they are shown.
    Data4->setPagedFetching(true);

    auto *lblCuenta = Controles::etiqueta(this, QString(), QStringLiteral("Cuenta :"));
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(false);
    Combo1->setMinimumWidth(160);
    Controles::asociar(lblCuenta, Combo1);
    auto *lblFecha = Controles::etiqueta(this, QString(), QStringLiteral("Fecha :"));
    dtFechaCaja = new DatePicker(this);
    dtFechaCaja->setObjectName(QStringLiteral("dtFechaCaja"));
    Controles::asociar(lblFecha, dtFechaCaja);

    Command24 = Controles::boton(this, QStringLiteral("Command24"), QStringLiteral("Nuevo Mov."));
    Command22 = Controles::boton(this, QStringLiteral("Command22"), QStringLiteral("Modificar"));
    Command23 = Controles::boton(this, QStringLiteral("Command23"), QStringLiteral("Borrar"));
    Command20 = Controles::boton(this, QStringLiteral("Command20"), QStringLiteral("Listar"));
    Command21 = Controles::boton(this, QStringLiteral("Command21"), QStringLiteral("Todo"));
    Command28 = Controles::boton(this, QStringLiteral("Command28"), QStringLiteral("Cuentas..."));

    auto *filter = new QHBoxLayout;
    filter->addWidget(lblCuenta);
    filter->addWidget(Combo1);
    filter->addSpacing(12);
    filter->addWidget(lblFecha);
    filter->addWidget(dtFechaCaja);
    filter->addWidget(Command21);
    filter->addStretch();
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {Command24, Command22, Command23, Command20, Command28})
        buttons->addWidget(b);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filter);
    layout->addWidget(DBGrid4, 1);
    layout->addLayout(buttons);

    // The filter runs when the day changes, when the picker is clicked or left, and on a choice of account.
    connect(dtFechaCaja, &QDateEdit::dateChanged, this, [this] { filtrar(); });
    dtFechaCaja->installEventFilter(this);
    connect(Combo1, &QComboBox::activated, this, [this] { filtrar(); });
    connect(Data4, &DataControl::reposition, this, &PanelCaja::alCambiarFila);
    connect(DBGrid4, &QAbstractItemView::doubleClicked, this, [this] { Command22->click(); });

    Niveles::conectar(Command24, [this] { nuevo(); });
    Niveles::conectar(Command22, [this] { modificar(); });
    Niveles::conectar(Command23, [this] { borrar(); });
    Niveles::conectar(Command20, [this] { listar(); });
    Niveles::conectar(Command21, [this] { todo(); });
    Niveles::conectar(Command28, [this] { cuentas(); });
    alCambiarFila();
}

bool PanelCaja::eventFilter(QObject *watched, QEvent *event) {
    if (watched == dtFechaCaja &&
        (event->type() == QEvent::FocusOut || event->type() == QEvent::MouseButtonRelease))
        filtrar();
    return QWidget::eventFilter(watched, event);
}

void PanelCaja::llenarCuentas() {
    Combo1->clear();
    Module1::LlenaComboId(Combo1, Cuentas::recordSourceFiltro(), QStringLiteral("Descripcion"),
                          QStringLiteral("idCuenta"));
    Combo1->setCurrentIndex(-1);
}

void PanelCaja::filtrar(bool releer) {
    const QVariant idCuenta = Combo1->currentIndex() >= 0 ? Combo1->currentData() : QVariant();
    const Caja::Fuente f = Caja::delDia(dtFechaCaja->date(), idCuenta);
    Data4->setRecordSource(f.sql, f.params);
    if (releer)
        Data4->refresh();
}

void PanelCaja::todo() {
    const Caja::Fuente f = Caja::todo();
    Data4->setRecordSource(f.sql, f.params);
    Data4->refresh();
}

void PanelCaja::alCambiarFila() {
    const bool hay = Data4->hasCurrent();
    Command22->setEnabled(hay);
    Command23->setEnabled(hay);
}

void PanelCaja::nuevo() {
    {
        panMovCaja w(this);
        w.Tag = QStringLiteral("NUEVO");
        w.exec();
    }
    Data4->refresh();
    const int n = Data4->recordCount();
    if (n > 0)
        Data4->setCurrentRow(n - 1);
}

void PanelCaja::modificar() {
    if (!Data4->hasCurrent())
        return;
    panMovCaja w(this);
    w.Tag = Data4->value(QStringLiteral("idCaja")).toString();
    const int fila = Data4->currentRow();
    w.exec();
    // The row keeps its place in the list and shows what is now stored.
    Data4->refresh();
    Data4->setCurrentRow(qMin(fila, Data4->recordCount() - 1));
}

void PanelCaja::borrar() {
    if (!Module1::Confirma(QStringLiteral("Borra este movimiento de Caja")))
        return;
    if (!Data4->hasCurrent()) {
        Mensaje::error(QStringLiteral("Error, registro no localizado!!"), this);
        return;
    }
    const int fila = Data4->currentRow();
    const Result r = Caja::borrar(Data4->value(QStringLiteral("idCaja")).toLongLong());
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
    Data4->refresh();
    Data4->setCurrentRow(qMin(fila, Data4->recordCount() - 1));
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
