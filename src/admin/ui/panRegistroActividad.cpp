#include "admin/ui/panRegistroActividad.h"

#include "core/Clock.h"
#include "db/Database.h"
#include "reports/ReportFormula.h"
#include "ui/Controles.h"
#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/DatePicker.h"
#include "ui/Mensaje.h"
#include "ui/ReportControl.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
const QString kTodos = QStringLiteral("(Todos)");
const QString kTodas = QStringLiteral("(Todas)");
} // namespace

panRegistroActividad::panRegistroActividad(QWidget *parent) : Ventana(parent) {
    setObjectName(QStringLiteral("panRegistroActividad"));
    setWindowTitle(QStringLiteral("Registro de actividad"));
    setSizeGripEnabled(true);

    auto *lblDesde = Controles::etiqueta(this, QString(), QStringLiteral("&Desde :"));
    m_dtDesde = new DatePicker(this);
    m_dtDesde->setObjectName(QStringLiteral("dtDesde"));
    Controles::asociar(lblDesde, m_dtDesde);
    auto *lblHasta = Controles::etiqueta(this, QString(), QStringLiteral("&Hasta :"));
    m_dtHasta = new DatePicker(this);
    m_dtHasta->setObjectName(QStringLiteral("dtHasta"));
    Controles::asociar(lblHasta, m_dtHasta);
    const QDate hoy = Clock::today();
    m_dtDesde->setDate(hoy.addDays(-30));
    m_dtHasta->setDate(hoy);

    // Typed names too: the command line acts as "consola:CUENTA", which no user of the list is called.
    auto *lblUsuario = Controles::etiqueta(this, QString(), QStringLiteral("&Usuario :"));
    m_cboUsuario = Controles::comboEditable(this, QStringLiteral("cboUsuario"),
                                            QStringList{kTodos} + Actividad::usuarios(Database::db()));
    m_cboUsuario->setCurrentIndex(0);
    m_cboUsuario->setMinimumWidth(140);
    Controles::asociar(lblUsuario, m_cboUsuario);
    auto *lblAccion = Controles::etiqueta(this, QString(), QStringLiteral("&Acción :"));
    m_cboAccion = new QComboBox(this);
    m_cboAccion->setObjectName(QStringLiteral("cboAccion"));
    m_cboAccion->addItem(kTodas);
    for (const Actividad::Accion a : Actividad::todas())
        m_cboAccion->addItem(Actividad::nombre(a), int(a));
    Controles::asociar(lblAccion, m_cboAccion);
    m_cmdBuscar = Controles::boton(this, QStringLiteral("cmdBuscar"), QStringLiteral("&Buscar"));

    m_datRegistro = new DataControl(QStringLiteral("Data1"), this);
    // Years of entries: read a page at a time where they are shown, never counted whole.
    m_datRegistro->setPagedFetching(true, QStringLiteral("idRegistro"), PagedQueryModel::Count::AsRead);
    m_grdRegistro = new DataGrid(QStringLiteral("DBGrid1"), m_datRegistro, this);
    m_grdRegistro->setNombreLista(QStringLiteral("Registro de actividad"));
    m_grdRegistro->setColumns(Actividad::columnas());
    m_grdRegistro->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grdRegistro->setAccessibleName(QStringLiteral("Registro de actividad"));
    m_grdRegistro->horizontalHeader()->setStretchLastSection(true);
    m_grdRegistro->setColumnWidth(0, 90);
    m_grdRegistro->setColumnWidth(1, 70);
    m_grdRegistro->setColumnWidth(2, 120);
    m_grdRegistro->setColumnWidth(3, 45);
    m_grdRegistro->setColumnWidth(5, 190);

    auto *exportar = Controles::botonExportar(this, m_grdRegistro);
    m_cmdImprimir = Controles::boton(this, QStringLiteral("cmdImprimir"), QStringLiteral("&Imprimir..."));
    m_cmdCerrar = Controles::boton(this, QStringLiteral("cmdCerrar"), QStringLiteral("&Cerrar"));

    auto *filtros = new QHBoxLayout;
    filtros->addWidget(lblDesde);
    filtros->addWidget(m_dtDesde);
    filtros->addWidget(lblHasta);
    filtros->addWidget(m_dtHasta);
    filtros->addSpacing(8);
    filtros->addWidget(lblUsuario);
    filtros->addWidget(m_cboUsuario, 1);
    filtros->addWidget(lblAccion);
    filtros->addWidget(m_cboAccion, 1);
    filtros->addWidget(m_cmdBuscar);
    auto *botones = new QHBoxLayout;
    botones->addWidget(exportar);
    botones->addWidget(m_cmdImprimir);
    botones->addStretch();
    botones->addWidget(m_cmdCerrar);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filtros);
    layout->addWidget(m_grdRegistro, 1);
    layout->addLayout(botones);

    // Enter anywhere in the filter searches; Esc closes (the dialog's own).
    m_cmdBuscar->setDefault(true);
    m_cmdBuscar->setAutoDefault(true);
    for (QPushButton *b : {m_cmdImprimir, m_cmdCerrar})
        b->setAutoDefault(false);
    connect(m_cmdBuscar, &QPushButton::clicked, this, [this] { buscar(); });
    connect(m_cmdImprimir, &QPushButton::clicked, this, &panRegistroActividad::imprimir);
    connect(m_cmdCerrar, &QPushButton::clicked, this, &QDialog::reject);
    resize(980, 560);
    buscar();
}

std::optional<Actividad::Filtro> panRegistroActividad::filtro() {
    Actividad::Filtro f;
    f.desde = m_dtDesde->date();
    f.hasta = m_dtHasta->date();
    if (f.desde > f.hasta) {
        Mensaje::error(QStringLiteral("La fecha \"Desde\" es posterior a la fecha \"Hasta\"."), this);
        m_dtDesde->setFocus();
        return std::nullopt;
    }
    const QString usuario = m_cboUsuario->currentText().trimmed();
    if (usuario != kTodos)
        f.usuario = usuario;
    if (m_cboAccion->currentIndex() > 0)
        f.accion = Actividad::Accion(m_cboAccion->currentData().toInt());
    return f;
}

bool panRegistroActividad::buscar() {
    const auto f = filtro();
    if (!f)
        return false;
    m_datRegistro->setRecordSource(Actividad::consulta(*f), Actividad::parametros(*f));
    if (!m_datRegistro->refresh()) {
        Mensaje::error(
            QStringLiteral("No se pudo leer el registro de actividad: %1").arg(m_datRegistro->lastError()),
            this);
        return false;
    }
    return true;
}

QString panRegistroActividad::formula(const Actividad::Filtro &f) {
    QStringList partes;
    if (f.desde.isValid())
        partes << QStringLiteral("{RegistroActividad.Fecha} >= ") + ReportFormula::dateTerm(f.desde);
    if (f.hasta.isValid())
        partes << QStringLiteral("{RegistroActividad.Fecha} <= ") + ReportFormula::dateTerm(f.hasta);
    if (!f.usuario.isEmpty())
        partes << QStringLiteral("{RegistroActividad.Usuario} = ") + ReportFormula::textLiteral(f.usuario);
    if (f.accion)
        partes << QStringLiteral("{RegistroActividad.Accion} = %1").arg(int(*f.accion));
    return partes.join(QStringLiteral(" and "));
}

void panRegistroActividad::imprimir() {
    const auto f = filtro();
    if (!f)
        return;
    ReportControl cr(this);
    cr.setReportFileName(QStringLiteral("actividad.rpt"));
    cr.setSelectionFormula(formula(*f));
    cr.printReport();
}
