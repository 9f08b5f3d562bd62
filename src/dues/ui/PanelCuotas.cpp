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
    : QWidget(parent), Data2(data2), m_cr(cr) {
    setObjectName(QStringLiteral("panelProceso_1"));
    DBGrid2 = new DataGrid(QStringLiteral("DBGrid2"), Data2, this);
    DBGrid2->setColumns(Cuotas::columnas());
    DBGrid2->setColumnWidth(3, 140);
    DBGrid2->setColumnWidth(4, 140);
    DBGrid2->setColumnWidth(5, 140);
    DBGrid2->setColumnWidth(6, 110);
    Data2->setEditTarget(QStringLiteral("ConsultaCuotas"), QStringLiteral("idCuota"));
    // A supervisor's amount typed into a stale list never reaches a due paid meanwhile: it keeps the amount
    // of its cash movement.
    Data2->setEscritor([this](const QVariant &key, const QString &field, const QVariant &value) {
        const Result r = Cobranza::corregirCuota(key.toLongLong(), field, value);
        if (r.code() != Result::Code::Conflict && r.code() != Result::Code::NotFound)
            return r;
        Mensaje::error(r.code() == Result::Code::Conflict ? r.message() // paid meanwhile
                                                          : QStringLiteral("Registro no localizado!!"),
                       window());
        // Inside the grid's edit: the list is read again once the editor has closed.
        QTimer::singleShot(0, this, [this] {
            const int fila = Data2->currentRow();
            Data2->refresh();
            Data2->setCurrentRow(qMin(fila, Data2->recordCount() - 1));
        });
        return Result::failure(r.message(), Result::Code::Cancelled);
    });

    auto *lbl = Controles::etiqueta(this, QString(), QStringLiteral("Mes y Año :"));
    txtSelMes = Controles::campo(this, QStringLiteral("txtSelMes"), 2, lbl);
    txtSelAnio = Controles::campo(this, QStringLiteral("txtSelAnio"), 4);
    txtSelAnio->setAccessibleName(QStringLiteral("Año"));
    txtSelMes->setMaximumWidth(50);
    txtSelAnio->setMaximumWidth(70);
    Command11 = Controles::boton(this, QStringLiteral("Command11"), QStringLiteral("Buscar"));
    Command33 = Controles::boton(this, QStringLiteral("Command33"), QStringLiteral("Mostrar Todas"));
    Command13 = Controles::boton(this, QStringLiteral("Command13"), QStringLiteral("Borrar"));
    Command29 = Controles::boton(this, QStringLiteral("Command29"), QStringLiteral("Emitir Cuotas..."));
    Command13->setEnabled(false);

    auto *filter = new QHBoxLayout;
    filter->addWidget(lbl);
    filter->addWidget(txtSelMes);
    filter->addWidget(txtSelAnio);
    filter->addWidget(Command11);
    filter->addWidget(Command33);
    filter->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Command13);
    buttons->addWidget(Command29);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(filter);
    layout->addWidget(DBGrid2, 1);
    layout->addLayout(buttons);

    // Enter in the month or year box runs the filter.
    for (QLineEdit *e : {txtSelMes, txtSelAnio})
        connect(e, &QLineEdit::returnPressed, Command11, &QPushButton::click);
    connect(Data2, &DataControl::reposition, this, [this] { Command13->setEnabled(Data2->hasCurrent()); });
    Niveles::conectar(Command11, [this] { buscar(); });
    Niveles::conectar(Command33, [this] { mostrarTodas(); });
    Niveles::conectar(Command13, [this] { borrar(); });
    Niveles::conectar(Command29, [this] { emitirGrupal(); });
}

void PanelCuotas::usarRecordSourceDiseno() {
    const Cuotas::Fuente f = Cuotas::recordSourceDiseno();
    Data2->setRecordSource(f.sql, f.params);
}

void PanelCuotas::setRefrescar(std::function<void()> refrescar) {
    m_refrescar = std::move(refrescar);
}

void PanelCuotas::refrescar() {
    if (m_refrescar)
        m_refrescar();
    else
        Data2->refresh();
}

void PanelCuotas::buscar() {
    if (!DBGrid2->tomarEdicion())
        return;
    const auto f = Cuotas::recordSourceMesAnio(txtSelMes->text(), txtSelAnio->text());
    if (!f)
        return;
    Data2->setRecordSource(f->sql, f->params);
    Data2->refresh();
}

void PanelCuotas::mostrarTodas() {
    if (!DBGrid2->tomarEdicion())
        return;
    const Cuotas::Fuente f = Cuotas::recordSourceTodas();
    Data2->setRecordSource(f.sql, f.params);
    Data2->refresh();
}

void PanelCuotas::borrar() {
    if (!DBGrid2->tomarEdicion())
        return;
    if (!Module1::Confirma(QStringLiteral("Borra este registro de Cuota")))
        return;
    if (!Data2->hasCurrent()) {
        Mensaje::error(QStringLiteral("Registro no localizado!!"), window());
        return;
    }
    // A paid due stays with its cash movement; only an unpaid one is deleted.
    const Result r = Cobranza::borrarCuota(Data2->value(QStringLiteral("idCuota")).toLongLong());
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
    const int fila = Data2->currentRow();
    Data2->refresh();
    Data2->setCurrentRow(qMin(fila, Data2->recordCount() - 1));
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
