#pragma once

#include "core/Result.h"

#include <functional>

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;
class ReportDocument;

// The report preview: one page at a time with zoom and page navigation, printing through the system's
// print dialog and saving as PDF. Shown modally over the window that ran the report.
class QPrinter;

class panVistaPrevia : public QDialog {
    Q_OBJECT
public:
    explicit panVistaPrevia(const ReportDocument &doc, QWidget *parent = nullptr);

    // Prints the pages the printer's range asks for (all when none was chosen).
    static Result imprimirDocumento(const ReportDocument &doc, QPrinter *printer,
                                    const std::function<bool(int)> &progress = {});

    int paginaActual() const { return m_page; } // 0-based
    void irAPagina(int index);
    // Zoom in percent of the printed size; fit modes follow the window's size.
    void setZoom(int percent);
    void ajustarAncho();
    void paginaCompleta();
    int zoomEfectivo() const; // percent currently shown

    // Writes the report to path (what "Guardar como PDF..." does after asking where); errors are shown.
    bool guardarPdf(const QString &path);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QPushButton *m_cmdPrimera;
    QPushButton *m_cmdAnterior;
    QPushButton *m_cmdSiguiente;
    QPushButton *m_cmdUltima;
    QPushButton *m_cmdImprimir;
    QPushButton *m_cmdGuardarPdf;
    QPushButton *m_cmdCerrar;
    QSpinBox *m_txtPagina;
    QLabel *m_lblPaginas;
    QComboBox *m_cboZoom;
    QScrollArea *m_areaPagina;
    QLabel *m_imgPagina;

    enum class Ajuste { Fijo, Ancho, Pagina };
    void imprimir();
    void guardarComoPdf();
    void zoomPaso(int direction);
    void mostrar();
    double pixelsPorPunto() const;

    const ReportDocument &m_doc;
    int m_page = 0;
    int m_percent = 100;
    Ajuste m_ajuste = Ajuste::Ancho;
    bool m_updating = false;
};
