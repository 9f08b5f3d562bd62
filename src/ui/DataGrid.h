#pragma once

#include "core/Columna.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QTableView>
#include <QVector>

class DataControl;
class QMenu;

// Shows a data control's rows through a fixed list of columns, formatting values and writing edits of
// unlocked columns back through the data control.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum { StoredRole = Qt::UserRole + 1 }; // the raw stored value (money in ten-thousandths)
    GridModel(DataControl *data, QObject *parent = nullptr);

    void setColumns(const QVector<Columna> &cols);
    const QVector<Columna> &columns() const { return m_cols; }
    void setLocked(int column, bool locked);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    // How many typed values were refused (not valid, or not stored) so far.
    int rechazos() const { return m_rechazos; }

private:
    QVariant stored(int row, int col) const;
    DataControl *m_data;
    QVector<Columna> m_cols;
    QHash<QPair<int, int>, QVariant> m_edited; // values written since the last refresh
    int m_rechazos = 0;
};

class DataGrid : public QTableView {
    Q_OBJECT
public:
    DataGrid(const QString &objectName, DataControl *data, QWidget *parent = nullptr);
    ~DataGrid() override;
    void setColumns(const QVector<Columna> &cols);
    void setColumnLocked(int column, bool locked);
    bool isColumnLocked(int column) const;
    // Stores a value still being typed in a cell. Every command that reads a grid calls this (or
    // tomarEdiciones) first: a command run by its shortcut leaves the editor open, and would act on the value
    // from before. False when the value was refused (the user has been told): the command stops.
    bool tomarEdicion();
    // The same for every grid of w's window.
    static bool tomarEdiciones(QWidget *w);
    GridModel *gridModel() { return m_model; }
    DataControl *dataControl() { return m_data; }

    // The list's name for exports (the Excel sheet, the suggested file name); the objectName by default.
    void setNombreLista(const QString &nombre) { m_nombreLista = nombre; }
    QString nombreLista() const { return m_nombreLista.isEmpty() ? objectName() : m_nombreLista; }
    // "Exportar a Excel..." and "Exportar a CSV...", for the grid's context menu and a window's button.
    QMenu *menuExportar();

protected:
    void contextMenuEvent(QContextMenuEvent *e) override;

private:
    void followDataControl(int row);
    DataControl *m_data;
    GridModel *m_model;
    bool m_syncing = false;
    QString m_nombreLista;
    QMenu *m_menuExportar = nullptr;
};
