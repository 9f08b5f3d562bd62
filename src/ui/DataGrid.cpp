#include "ui/DataGrid.h"

#include "core/Money.h"
#include "ui/DataControl.h"
#include "ui/EstadoVentanas.h"
#include "ui/ListExportDialog.h"
#include "ui/Mensaje.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSqlQueryModel>

GridModel::GridModel(DataControl *data, QObject *parent) : QAbstractTableModel(parent), m_data(data) {
    QSqlQueryModel *src = data->model();
    connect(src, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(src, &QAbstractItemModel::modelReset, this, [this] {
        m_edited.clear();
        endResetModel();
    });
    connect(src, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) { beginInsertRows({}, first, last); });
    connect(src, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
}

void GridModel::setColumns(const QVector<Columna> &cols) {
    beginResetModel();
    m_cols = cols;
    endResetModel();
}

void GridModel::setLocked(int column, bool locked) {
    if (column >= 0 && column < m_cols.size())
        m_cols[column].locked = locked;
}

int GridModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : m_data->model()->rowCount();
}

int GridModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_cols.size());
}

QVariant GridModel::stored(int row, int col) const {
    const auto it = m_edited.constFind({row, col});
    if (it != m_edited.constEnd())
        return *it;
    return m_data->valueAt(row, m_cols.at(col).field);
}

QVariant GridModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.column() >= m_cols.size())
        return {};
    const Columna &c = m_cols.at(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return Formato::mostrar(stored(index.row(), index.column()), c.formato);
    case Qt::EditRole: {
        const QVariant v = stored(index.row(), index.column());
        if (c.formato == Formato::Tipo::Moneda) {
            const auto m = Money::fromVariant(v);
            return m ? m->toPlainString() : QString();
        }
        return Formato::mostrar(v, c.formato);
    }
    case StoredRole:
        return stored(index.row(), index.column());
    case Qt::TextAlignmentRole:
        if (c.formato == Formato::Tipo::Moneda || c.formato == Formato::Tipo::Entero)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (role != Qt::EditRole || !index.isValid() || m_cols.at(index.column()).locked)
        return false;
    const Columna &c = m_cols.at(index.column());
    QVariant toStore = value;
    const QString text = value.toString();
    // An editor closed without a change writes nothing: an untouched empty cell stays Null, and a value
    // the box shows rounded is not overwritten.
    if (text == data(index, Qt::EditRole).toString())
        return true;
    if (c.formato == Formato::Tipo::Moneda) {
        const auto m = Money::parse(text);
        if (!m) {
            ++m_rechazos;
            Mensaje::error(QStringLiteral("Error, el monto \"%1\" no es un importe válido.").arg(text));
            return false;
        }
        if (!m->fitsEntry()) {
            ++m_rechazos;
            Mensaje::error(Formato::importeExcedido());
            return false;
        }
        toStore = m->toVariant();
    } else if (c.formato == Formato::Tipo::Fecha) {
        const QDate d = QDate::fromString(text, QStringLiteral("d/M/yyyy"));
        if (!d.isValid()) {
            ++m_rechazos;
            Mensaje::error(QStringLiteral("Error, la fecha \"%1\" no es válida (día/mes/año).").arg(text));
            return false;
        }
        toStore = d.toString(Qt::ISODate);
    } else if (c.formato == Formato::Tipo::Entero) {
        bool ok = false;
        const int n = text.trimmed().toInt(&ok);
        if (!ok) {
            ++m_rechazos;
            Mensaje::error(QStringLiteral("Error, \"%1\" no es un número entero.").arg(text));
            return false;
        }
        toStore = n;
    }
    if (const Result r = m_data->writeField(index.row(), c.field, toStore); !r) {
        ++m_rechazos;
        if (r.code() != Result::Code::Cancelled) // an escritor that refused has told the user itself
            Mensaje::error(QStringLiteral("Error, no se pudo guardar el cambio: %1").arg(r.message()));
        return false;
    }
    m_edited.insert({index.row(), index.column()}, toStore);
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.isValid() && !m_cols.at(index.column()).locked)
        f |= Qt::ItemIsEditable;
    return f;
}

QVariant GridModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (o == Qt::Horizontal)
        return section < m_cols.size() ? m_cols.at(section).caption : QVariant();
    return {};
}

bool GridModel::canFetchMore(const QModelIndex &parent) const {
    return !parent.isValid() && m_data->model()->canFetchMore();
}

void GridModel::fetchMore(const QModelIndex &parent) {
    if (!parent.isValid())
        m_data->model()->fetchMore();
}

DataGrid::DataGrid(const QString &objectName, DataControl *data, QWidget *parent)
    : QTableView(parent), m_data(data), m_model(new GridModel(data, this)) {
    setObjectName(objectName);
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAlternatingRowColors(true);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    setWordWrap(false);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_syncing)
                    m_data->setCurrentRow(current.isValid() ? current.row() : -1);
            });
    connect(m_data, &DataControl::reposition, this, &DataGrid::followDataControl);
}

DataGrid::~DataGrid() {
    EstadoVentanas::guardarColumnas(horizontalHeader(), objectName());
}

QMenu *DataGrid::menuExportar() {
    if (!m_menuExportar) {
        m_menuExportar = new QMenu(QStringLiteral("Exportar"), this);
        m_menuExportar->setObjectName(objectName() + QStringLiteral("_exportar"));
        m_menuExportar->addAction(QStringLiteral("Exportar a E&xcel..."), this,
                                  [this] { ListExportDialog::exportar(this, ListExport::Format::Xlsx); });
        m_menuExportar->addAction(QStringLiteral("Exportar a &CSV..."), this,
                                  [this] { ListExportDialog::exportar(this, ListExport::Format::Csv); });
    }
    return m_menuExportar;
}

void DataGrid::contextMenuEvent(QContextMenuEvent *e) {
    menuExportar()->popup(e->globalPos());
    e->accept();
}

void DataGrid::followDataControl(int row) {
    if (m_syncing)
        return;
    m_syncing = true;
    if (row < 0) {
        selectionModel()->clearCurrentIndex();
        clearSelection();
    } else if (currentIndex().row() != row) {
        const QModelIndex idx = m_model->index(row, qMax(0, currentIndex().column()));
        selectionModel()->setCurrentIndex(idx,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    }
    m_syncing = false;
}

void DataGrid::setColumns(const QVector<Columna> &cols) {
    m_model->setColumns(cols);
    // Wide enough for the caption and for a typical value of the column's format.
    for (int i = 0; i < cols.size(); ++i) {
        QString sample;
        switch (cols[i].formato) {
        case Formato::Tipo::Fecha:
            sample = QStringLiteral("00/00/00000");
            break;
        case Formato::Tipo::Moneda:
            sample = QStringLiteral("$ 000.000,000");
            break;
        default:
            break;
        }
        const int w =
            qMax(fontMetrics().horizontalAdvance(cols[i].caption), fontMetrics().horizontalAdvance(sample)) +
            24;
        setColumnWidth(i, qMax(w, 70));
    }
    EstadoVentanas::restaurarColumnas(horizontalHeader(), objectName());
}

void DataGrid::setColumnLocked(int column, bool locked) {
    m_model->setLocked(column, locked);
}

bool DataGrid::isColumnLocked(int column) const {
    return column < 0 || column >= m_model->columns().size() || m_model->columns().at(column).locked;
}

bool DataGrid::tomarEdicion() {
    if (state() != QAbstractItemView::EditingState)
        return true;
    QWidget *editor = indexWidget(currentIndex());
    if (!editor)
        return true;
    const int antes = m_model->rechazos();
    commitData(editor);
    if (m_model->rechazos() != antes) {
        // Left open with what was typed, to be put right.
        if (indexWidget(currentIndex()) == editor)
            editor->setFocus();
        return false;
    }
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

bool DataGrid::tomarEdiciones(QWidget *w) {
    bool ok = true;
    for (DataGrid *g : w->window()->findChildren<DataGrid *>())
        ok = g->tomarEdicion() && ok;
    return ok;
}
