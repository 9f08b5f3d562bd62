#include "ui/ListExportDialog.h"

#include "ui/DataControl.h"
#include "ui/DataGrid.h"
#include "ui/Mensaje.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QProgressDialog>
#include <QQueue>
#include <QStandardPaths>

namespace {
QQueue<QString> &cola() {
    static QQueue<QString> q;
    return q;
}

} // namespace

namespace ListExportDialog {

void encolarArchivo(const QString &ruta) {
    cola().enqueue(ruta);
}

QString pedirArchivo(QWidget *padre, const QString &titulo, const QString &sugerido, const QString &filtro) {
    if (Mensaje::enPrueba())
        return cola().isEmpty() ? QString() : cola().dequeue();
    return QFileDialog::getSaveFileName(padre, titulo, sugerido, filtro);
}

QVector<ListExport::Column> columnas(DataGrid *grilla) {
    return ListExport::columns(grilla->gridModel()->columns());
}

bool exportar(DataGrid *grilla, ListExport::Format formato, QWidget *padre) {
    if (!grilla || !grilla->tomarEdicion())
        return false;
    if (!padre)
        padre = grilla->window();
    const bool excel = formato == ListExport::Format::Xlsx;
    const QString ext = ListExport::extension(formato);
    const QString nombre = grilla->nombreLista();
    QString carpeta = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (carpeta.isEmpty())
        carpeta = QDir::homePath();
    QString ruta =
        pedirArchivo(padre, excel ? QStringLiteral("Exportar a Excel") : QStringLiteral("Exportar a CSV"),
                     QDir(carpeta).filePath(nombre + QLatin1Char('.') + ext),
                     excel ? QStringLiteral("Libro de Excel (*.xlsx)")
                           : QStringLiteral("Texto separado por punto y coma (*.csv)"));
    if (ruta.isEmpty())
        return false;
    if (!ruta.endsWith(QLatin1Char('.') + ext, Qt::CaseInsensitive))
        ruta += QLatin1Char('.') + ext;

    QProgressDialog progreso(QStringLiteral("Exportando %1...").arg(nombre), QStringLiteral("Cancelar"), 0, 0,
                             padre);
    progreso.setWindowTitle(QStringLiteral("Exportar"));
    progreso.setWindowModality(Qt::WindowModal);
    progreso.setMinimumDuration(400);
    auto avance = [&progreso](qint64 hechas, qint64 total) {
        if (total > 0 && progreso.maximum() != int(qMin<qint64>(total, INT_MAX)))
            progreso.setMaximum(int(qMin<qint64>(total, INT_MAX)));
        progreso.setValue(int(qMin<qint64>(hechas, progreso.maximum())));
        QCoreApplication::processEvents();
        return !progreso.wasCanceled();
    };
    DataControl *datos = grilla->dataControl();
    const Result r = ListExport::write(ruta, formato, datos->recordSource(), datos->recordSourceParams(),
                                       columnas(grilla), nombre, avance);
    progreso.reset();
    if (!r) {
        if (r.code() != Result::Code::Cancelled)
            Mensaje::error(r.message(), padre);
        return false;
    }
    Mensaje::informacion(QStringLiteral("La lista se exportó en %1").arg(QDir::toNativeSeparators(ruta)),
                         QStringLiteral("Exportar"), padre);
    return true;
}

} // namespace ListExportDialog
