#include "ui/panVistaPrevia.h"

#include "core/Clock.h"
#include "reports/ReportDocument.h"
#include "ui/Controles.h"
#include "ui/Mensaje.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>

namespace {
const int kZooms[] = {50, 75, 100, 125, 150, 200, 300};
constexpr int kFitWidth = -1;
constexpr int kFitPage = -2;

// Progress for long work (thousands of pages): appears only when the work lasts, and can be cancelled.
class Avance {
public:
    Avance(QWidget *parent, const QString &text, int total)
        : m_dialog(text, QStringLiteral("Cancelar"), 0, total, parent) {
        m_dialog.setWindowTitle(QStringLiteral("Mirabel!"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(600);
        m_dialog.setAutoClose(false);
    }
    bool operator()(int done) {
        m_dialog.setValue(std::min(done, m_dialog.maximum()));
        QCoreApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
};
} // namespace

panVistaPrevia::panVistaPrevia(const ReportDocument &doc, QWidget *parent) : QDialog(parent), m_doc(doc) {
    setObjectName(QStringLiteral("panVistaPrevia"));
    setWindowTitle(QStringLiteral("Vista previa - %1").arg(doc.title()));
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *root = new QVBoxLayout(this);
    auto *bar = new QHBoxLayout;
    const auto icon = [this](QStyle::StandardPixmap sp) { return style()->standardIcon(sp); };

    m_cmdPrimera = Controles::boton(this, QStringLiteral("cmdPrimera"), QStringLiteral("&Primera"));
    m_cmdPrimera->setIcon(icon(QStyle::SP_MediaSkipBackward));
    m_cmdAnterior = Controles::boton(this, QStringLiteral("cmdAnterior"), QStringLiteral("&Anterior"));
    m_cmdAnterior->setIcon(icon(QStyle::SP_ArrowBack));
    auto *lblPagina = Controles::etiqueta(this, QStringLiteral("lblPagina"), QStringLiteral("Pá&gina"));
    m_txtPagina = new QSpinBox(this);
    m_txtPagina->setObjectName(QStringLiteral("txtPagina"));
    m_txtPagina->setRange(1, std::max(1, doc.pageCount()));
    m_txtPagina->setKeyboardTracking(false);
    Controles::asociar(lblPagina, m_txtPagina);
    m_lblPaginas =
        Controles::etiqueta(this, QStringLiteral("lblPaginas"), QStringLiteral("de %1").arg(doc.pageCount()));
    m_cmdSiguiente = Controles::boton(this, QStringLiteral("cmdSiguiente"), QStringLiteral("&Siguiente"));
    m_cmdSiguiente->setIcon(icon(QStyle::SP_ArrowForward));
    m_cmdUltima = Controles::boton(this, QStringLiteral("cmdUltima"), QStringLiteral("Ú&ltima"));
    m_cmdUltima->setIcon(icon(QStyle::SP_MediaSkipForward));

    auto *lblZoom = Controles::etiqueta(this, QStringLiteral("lblZoom"), QStringLiteral("&Zoom:"));
    m_cboZoom = new QComboBox(this);
    m_cboZoom->setObjectName(QStringLiteral("cboZoom"));
    m_cboZoom->addItem(QStringLiteral("Ajustar al ancho"), kFitWidth);
    m_cboZoom->addItem(QStringLiteral("Página completa"), kFitPage);
    for (int z : kZooms)
        m_cboZoom->addItem(QStringLiteral("%1 %").arg(z), z);
    Controles::asociar(lblZoom, m_cboZoom);

    m_cmdImprimir = Controles::boton(this, QStringLiteral("cmdImprimir"), QStringLiteral("&Imprimir..."));
    m_cmdImprimir->setIcon(QIcon::fromTheme(QStringLiteral("document-print")));
    m_cmdGuardarPdf =
        Controles::boton(this, QStringLiteral("cmdGuardarPdf"), QStringLiteral("G&uardar como PDF..."));
    m_cmdGuardarPdf->setIcon(icon(QStyle::SP_DialogSaveButton));
    m_cmdCerrar = Controles::boton(this, QStringLiteral("cmdCerrar"), QStringLiteral("&Cerrar"));
    m_cmdCerrar->setIcon(icon(QStyle::SP_DialogCloseButton));
    for (QPushButton *b : {m_cmdPrimera, m_cmdAnterior, m_cmdSiguiente, m_cmdUltima, m_cmdImprimir,
                           m_cmdGuardarPdf, m_cmdCerrar})
        b->setAutoDefault(false);

    bar->addWidget(m_cmdPrimera);
    bar->addWidget(m_cmdAnterior);
    bar->addSpacing(6);
    bar->addWidget(lblPagina);
    bar->addWidget(m_txtPagina);
    bar->addWidget(m_lblPaginas);
    bar->addSpacing(6);
    bar->addWidget(m_cmdSiguiente);
    bar->addWidget(m_cmdUltima);
    bar->addSpacing(18);
    bar->addWidget(lblZoom);
    bar->addWidget(m_cboZoom);
    bar->addStretch(1);
    bar->addWidget(m_cmdImprimir);
    bar->addWidget(m_cmdGuardarPdf);
    bar->addWidget(m_cmdCerrar);
    root->addLayout(bar);

    m_areaPagina = new QScrollArea(this);
    m_areaPagina->setObjectName(QStringLiteral("areaPagina"));
    m_areaPagina->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    // The sheet on a dark desk, as print previews show it.
    auto *desk = new QWidget;
    desk->setObjectName(QStringLiteral("escritorio"));
    QPalette dark = desk->palette();
    dark.setColor(QPalette::Window, QColor(0x5b, 0x64, 0x70));
    desk->setPalette(dark);
    desk->setAutoFillBackground(true);
    auto *deskLayout = new QVBoxLayout(desk);
    deskLayout->setContentsMargins(16, 16, 16, 16);
    m_imgPagina = new QLabel(desk);
    m_imgPagina->setObjectName(QStringLiteral("imgPagina"));
    m_imgPagina->setAccessibleName(QStringLiteral("Página del informe"));
    m_imgPagina->setStyleSheet(
        QStringLiteral("QLabel#imgPagina { background: white; border: 1px solid #2b3038; }"));
    deskLayout->addWidget(m_imgPagina, 0, Qt::AlignHCenter | Qt::AlignTop);
    m_areaPagina->setWidget(desk);
    m_areaPagina->setWidgetResizable(true);
    root->addWidget(m_areaPagina, 1);

    connect(m_cmdPrimera, &QPushButton::clicked, this, [this] { irAPagina(0); });
    connect(m_cmdAnterior, &QPushButton::clicked, this, [this] { irAPagina(m_page - 1); });
    connect(m_cmdSiguiente, &QPushButton::clicked, this, [this] { irAPagina(m_page + 1); });
    connect(m_cmdUltima, &QPushButton::clicked, this, [this] { irAPagina(m_doc.pageCount() - 1); });
    connect(m_txtPagina, &QSpinBox::valueChanged, this, [this](int v) {
        if (!m_updating)
            irAPagina(v - 1);
    });
    connect(m_cboZoom, &QComboBox::currentIndexChanged, this, [this](int) {
        if (m_updating)
            return;
        const int z = m_cboZoom->currentData().toInt();
        if (z == kFitWidth)
            ajustarAncho();
        else if (z == kFitPage)
            paginaCompleta();
        else
            setZoom(z);
    });
    connect(m_cmdImprimir, &QPushButton::clicked, this, &panVistaPrevia::imprimir);
    connect(m_cmdGuardarPdf, &QPushButton::clicked, this, &panVistaPrevia::guardarComoPdf);
    connect(m_cmdCerrar, &QPushButton::clicked, this, &QDialog::reject);

    const auto atajo = [this](const QKeySequence &k, auto fn) {
        auto *s = new QShortcut(k, this);
        connect(s, &QShortcut::activated, this, fn);
    };
    atajo(QKeySequence(Qt::Key_PageDown), [this] { irAPagina(m_page + 1); });
    atajo(QKeySequence(Qt::Key_PageUp), [this] { irAPagina(m_page - 1); });
    atajo(QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { irAPagina(0); });
    atajo(QKeySequence(Qt::CTRL | Qt::Key_End), [this] { irAPagina(m_doc.pageCount() - 1); });
    atajo(QKeySequence::ZoomIn, [this] { zoomPaso(+1); });
    atajo(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { zoomPaso(+1); });
    atajo(QKeySequence::ZoomOut, [this] { zoomPaso(-1); });
    atajo(QKeySequence::Print, [this] { imprimir(); });
    atajo(QKeySequence::Save, [this] { guardarComoPdf(); });

    // Most of the screen: a page should be readable without zooming.
    QRect avail(0, 0, 1200, 900);
    if (const QScreen *s = (parent ? parent->screen() : QGuiApplication::primaryScreen()))
        avail = s->availableGeometry();
    resize(std::min(avail.width() * 9 / 10, 1100), avail.height() * 9 / 10);
    m_updating = true;
    m_cboZoom->setCurrentIndex(0);
    m_updating = false;
    irAPagina(0);
}

void panVistaPrevia::irAPagina(int index) {
    const int last = std::max(0, m_doc.pageCount() - 1);
    m_page = std::clamp(index, 0, last);
    m_updating = true;
    m_txtPagina->setValue(m_page + 1);
    m_updating = false;
    m_cmdPrimera->setEnabled(m_page > 0);
    m_cmdAnterior->setEnabled(m_page > 0);
    m_cmdSiguiente->setEnabled(m_page < last);
    m_cmdUltima->setEnabled(m_page < last);
    mostrar();
    m_areaPagina->verticalScrollBar()->setValue(0);
}

void panVistaPrevia::setZoom(int percent) {
    m_ajuste = Ajuste::Fijo;
    m_percent = std::clamp(percent, 25, 400);
    m_updating = true;
    const int i = m_cboZoom->findData(m_percent);
    if (i >= 0)
        m_cboZoom->setCurrentIndex(i);
    m_updating = false;
    mostrar();
}

void panVistaPrevia::ajustarAncho() {
    m_ajuste = Ajuste::Ancho;
    m_updating = true;
    m_cboZoom->setCurrentIndex(m_cboZoom->findData(kFitWidth));
    m_updating = false;
    mostrar();
}

void panVistaPrevia::paginaCompleta() {
    m_ajuste = Ajuste::Pagina;
    m_updating = true;
    m_cboZoom->setCurrentIndex(m_cboZoom->findData(kFitPage));
    m_updating = false;
    mostrar();
}

void panVistaPrevia::zoomPaso(int direction) {
    const int current = zoomEfectivo();
    int next = current;
    if (direction > 0) {
        for (int z : kZooms)
            if (z > current) {
                next = z;
                break;
            }
    } else {
        for (int z : kZooms)
            if (z < current)
                next = z;
    }
    setZoom(next);
}

double panVistaPrevia::pixelsPorPunto() const {
    // 100 % is the printed size on this screen.
    const double real = logicalDpiX() / 72.0;
    const QSizeF page = m_doc.pageSize();
    const QSize room = m_areaPagina->viewport()->size() - QSize(2 * 16 + 4, 2 * 16 + 4);
    switch (m_ajuste) {
    case Ajuste::Ancho:
        return std::max(0.2, room.width() / page.width());
    case Ajuste::Pagina:
        return std::max(0.2, std::min(room.width() / page.width(), room.height() / page.height()));
    case Ajuste::Fijo:
        break;
    }
    return real * m_percent / 100.0;
}

int panVistaPrevia::zoomEfectivo() const {
    return qRound(pixelsPorPunto() / (logicalDpiX() / 72.0) * 100);
}

void panVistaPrevia::mostrar() {
    if (m_doc.pageCount() == 0)
        return;
    const double dpr = devicePixelRatioF();
    QImage img = m_doc.pageImage(m_page, pixelsPorPunto() * dpr);
    img.setDevicePixelRatio(dpr);
    m_imgPagina->setPixmap(QPixmap::fromImage(img));
    m_imgPagina->setFixedSize(m_imgPagina->sizeHint());
}

void panVistaPrevia::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    if (m_ajuste != Ajuste::Fijo)
        mostrar();
}

void panVistaPrevia::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    mostrar();
    // The page has the focus, so Page Up / Page Down turn pages rather than step the page number box.
    m_areaPagina->setFocus();
}

void panVistaPrevia::imprimir() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(m_doc.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setDocName(m_doc.title());
    printer.setFromTo(1, m_doc.pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Imprimir"));
    dialog.setMinMax(1, m_doc.pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (printer.printRange() == QPrinter::CurrentPage) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(m_page + 1, m_page + 1);
    }
    Avance avance(this, QStringLiteral("Imprimiendo..."), m_doc.pageCount());
    if (const Result r = imprimirDocumento(m_doc, &printer, std::ref(avance)); !r)
        Mensaje::error(r.message(), this);
}

Result panVistaPrevia::imprimirDocumento(const ReportDocument &doc, QPrinter *printer,
                                         const std::function<bool(int)> &progress) {
    printer->setFullPage(true);
    printer->setPageOrientation(doc.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait);
    int from = 0, to = doc.pageCount() - 1;
    if (printer->printRange() == QPrinter::PageRange && printer->fromPage() > 0) {
        from = printer->fromPage() - 1;
        to = printer->toPage() > 0 ? printer->toPage() - 1 : to;
    }
    return doc.paintPages(printer, from, to, progress);
}

bool panVistaPrevia::guardarPdf(const QString &path) {
    Avance avance(this, QStringLiteral("Guardando el PDF..."), m_doc.pageCount());
    if (const Result r = m_doc.writePdf(path, std::ref(avance)); !r) {
        Mensaje::error(r.message(), this);
        return false;
    }
    return true;
}

void panVistaPrevia::guardarComoPdf() {
    QString base = QFileInfo(m_doc.reportFile()).completeBaseName();
    if (base.isEmpty())
        base = QStringLiteral("informe");
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString suggested = folder + QLatin1Char('/') + base + QLatin1Char('-') +
                              Clock::today().toString(Qt::ISODate) + QStringLiteral(".pdf");
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Guardar como PDF"), suggested,
                                                QStringLiteral("Documentos PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        path += QStringLiteral(".pdf");
    guardarPdf(path);
}
