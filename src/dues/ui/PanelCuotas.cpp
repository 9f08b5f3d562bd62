#include "dues/ui/PanelCuotas.h"

#include "cash/Cobranza.h"
#include "dues/Cuotas.h"
#include "dues/ui/panEmiCuota.h"
#include "dues/ui/panEmiCuotaTodos.h"
#include "ui/Comandos.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"
#include "ui/Module1.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

PanelCuotas::PanelCuotas(DataControl *data2, ReportControl *cr, QWidget *parent)
    : QWidget(parent), m_datCuotas(data2), m_cr(cr) {
    setObjectName(QStringLiteral("panelProceso_1"));
    m_grdCuotas = new DataGrid(QStringLiteral("DBGrid2"), m_datCuotas, this);
    m_grdCuotas->setNombreLista(QStringLiteral("Cuotas"));
    m_grdCuotas->setColumns(Cuotas::columnas());
    m_grdCuotas->setColumnWidth(3, 140);
    m_grdCuotas->setColumnWidth(4, 140);
    m_grdCuotas->setColumnWidth(5, 140);
    m_grdCuotas->setColumnWidth(6, 110);
    m_datCuotas->setEditTarget(QStringLiteral("ConsultaCuotas"), QStringLiteral("idCuota"));
    // A million dues: a page at a time, counted only when asked.
    m_datCuotas->setPagedFetching(true, QStringLiteral("idCuota"), PagedQueryModel::Count::AsRead);
    // A supervisor's amount typed into a stale list never reaches a due paid meanwhile: it keeps the amount
    // of its cash movement.
    m_datCuotas->setEscritor([this](const QVariant &key, const QString &field, const QVariant &value) {
        const Result r = Cobranza::corregirCuota(key.toLongLong(), field, value);
        if (r.code() != Result::Code::Conflict && r.code() != Result::Code::NotFound)
            return r;
        Mensaje::error(r.code() == Result::Code::Conflict ? r.message() // paid meanwhile
                                                          : QStringLiteral("Registro no localizado!!"),
                       window());
        // Inside the grid's edit: the list is read again once the editor has closed.
        QTimer::singleShot(0, this, [this] {
            const int fila = m_datCuotas->currentRow();
            m_datCuotas->refresh();
            m_datCuotas->setCurrentRow(qMin(fila, m_datCuotas->recordCount() - 1));
        });
        return Result::failure(r.message(), Result::Code::Cancelled);
    });

    auto *lbl = Controles::etiqueta(this, QString(), QStringLiteral("Mes y Año :"));
    m_txtSelMes = Controles::campo(this, QStringLiteral("txtSelMes"), 2, lbl);
    m_txtSelAnio = Controles::campo(this, QStringLiteral("txtSelAnio"), 4);
    m_txtSelAnio->setAccessibleName(QStringLiteral("Año"));
    m_txtSelMes->setMaximumWidth(50);
    m_txtSelAnio->setMaximumWidth(70);
    m_cmdBuscar = Controles::boton(this, QStringLiteral("Command11"), QStringLiteral("Buscar"));
    m_cmdMostrarTodas = Controles::boton(this, QStringLiteral("Command33"), QStringLiteral("Mostrar Todas"));
    m_cmdBorrar = Controles::boton(this, QStringLiteral("Command13"), QStringLiteral("Borrar"));
    m_cmdEmitir = Controles::boton(this, QStringLiteral("Command29"), QStringLiteral("Emitir Cuotas..."));
    m_cmdBorrar->setEnabled(false);

    auto *filter = new QHBoxLayout;
    filter->addWidget(lbl);
    filter->addWidget(m_txtSelMes);
    filter->addWidget(m_txtSelAnio);
    filter->addWidget(m_cmdBuscar);
    filter->addWidget(m_cmdMostrarTodas);
    filter->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdBorrar);
    buttons->addWidget(m_cmdEmitir);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filter);
    layout->addWidget(m_grdCuotas, 1);
    layout->addLayout(buttons);

    // Enter in the month or year box runs the filter.
    for (QLineEdit *e : {m_txtSelMes, m_txtSelAnio})
        connect(e, &QLineEdit::returnPressed, m_cmdBuscar, &QPushButton::click);
    connect(m_datCuotas, &DataControl::reposition, this,
            [this] { m_cmdBorrar->setEnabled(m_datCuotas->hasCurrent()); });
    Niveles::conectar(m_cmdBuscar, [this] { buscar(); });
    Niveles::conectar(m_cmdMostrarTodas, [this] { mostrarTodas(); });
    Niveles::conectar(m_cmdBorrar, [this] { borrar(); });
    Niveles::conectar(m_cmdEmitir, [this] { emitirGrupal(); });
}

void PanelCuotas::usarRecordSourceDiseno() {
    const Cuotas::Fuente f = Cuotas::recordSourceDiseno();
    m_datCuotas->setRecordSource(f.sql, f.params, f.tramos);
}

void PanelCuotas::setRefrescar(std::function<void()> refrescar) {
    m_refrescar = std::move(refrescar);
}

void PanelCuotas::refrescar() {
    if (m_refrescar)
        m_refrescar();
    else
        m_datCuotas->refresh();
}

void PanelCuotas::buscar() {
    if (!m_grdCuotas->tomarEdicion())
        return;
    const auto f = Cuotas::recordSourceMesAnio(m_txtSelMes->text(), m_txtSelAnio->text());
    if (!f)
        return;
    m_datCuotas->setRecordSource(f->sql, f->params, f->tramos);
    m_datCuotas->refresh();
}

void PanelCuotas::mostrarTodas() {
    if (!m_grdCuotas->tomarEdicion())
        return;
    const Cuotas::Fuente f = Cuotas::recordSourceTodas();
    m_datCuotas->setRecordSource(f.sql, f.params, f.tramos);
    m_datCuotas->refresh();
}

void PanelCuotas::borrar() {
    if (!m_grdCuotas->tomarEdicion())
        return;
    if (!Module1::Confirma(QStringLiteral("Borra este registro de Cuota")))
        return;
    if (!m_datCuotas->hasCurrent()) {
        Mensaje::error(QStringLiteral("Registro no localizado!!"), window());
        return;
    }
    // A paid due stays with its cash movement; only an unpaid one is deleted.
    const Result r = Cobranza::borrarCuota(m_datCuotas->value(QStringLiteral("idCuota")).toLongLong());
    switch (r.code()) {
    case Result::Code::Ok:
        break;
    case Result::Code::Conflict: // paid meanwhile
        Mensaje::error(r.message(), window());
        break;
    case Result::Code::NotFound:
        Mensaje::error(QStringLiteral("Registro no localizado!!"), window());
        break;
    default:
        Mensaje::error(QStringLiteral("Error, no se pudo borrar la cuota: ") + r.message(), window());
        return;
    }
    const int fila = m_datCuotas->currentRow();
    m_datCuotas->refresh();
    m_datCuotas->setCurrentRow(qMin(fila, m_datCuotas->recordCount() - 1));
}

void PanelCuotas::emitirGrupal() {
    panEmiCuotaTodos ventana(
        m_cr, [this] { refrescar(); }, window());
    ventana.exec();
}

void PanelCuotas::emitirIndividual(const QString &tag) {
    panEmiCuota ventana(
        m_cr, [this] { refrescar(); }, window());
    ventana.Tag = tag;
    ventana.exec();
}

void PanelCuotas::setMesAnio(int mes, int anio) {
    m_txtSelMes->setText(QString::number(mes));
    m_txtSelAnio->setText(QString::number(anio));
}

void PanelCuotas::setMontoEditable(bool editable) {
    m_grdCuotas->setColumnLocked(ColumnaMonto, !editable);
}
