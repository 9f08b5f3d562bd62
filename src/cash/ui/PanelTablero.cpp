#include "cash/ui/PanelTablero.h"

#include "cash/ui/GraficosTablero.h"
#include "core/Clock.h"
#include "core/Log.h"
#include "ui/ListExportDialog.h"
#include "ui/Mensaje.h"

#ifndef MIRABEL_SIN_GRAFICOS
#include <QChart>
#include <QChartView>
#endif
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardPaths>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The connection the reading thread opens for itself.
const QString kConexion = QStringLiteral("tablero");

QString carpetaDocumentos() {
    const QString c = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return c.isEmpty() ? QDir::homePath() : c;
}

QString nombreArchivo(int g) {
    static const char *const nombres[] = {"deuda-por-antiguedad", "cobranzas-por-cuenta", "socios-por-plan",
                                          "saldos-por-cuenta"};
    return QString::fromLatin1(nombres[g]);
}

} // namespace

PanelTablero::PanelTablero(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("panelProceso_6"));
    m_lblEstado = new QLabel(QStringLiteral("Calculando las cifras..."), this);
    m_lblEstado->setObjectName(QStringLiteral("lblTableroEstado"));

    auto *contenido = new QWidget;
    auto *grilla = new QGridLayout(contenido);
    grilla->setContentsMargins(0, 0, 0, 0);
    for (int g = 0; g < Tablero::CantidadGraficos; ++g) {
        auto *bloque = new QGroupBox(contenido);
        bloque->setObjectName(QStringLiteral("bloqueGrafico_%1").arg(g));
        m_bloque[g] = bloque;
#ifndef MIRABEL_SIN_GRAFICOS
        m_vista[g] = new QChartView(bloque);
        m_vista[g]->setObjectName(QStringLiteral("graficoTablero_%1").arg(g));
        m_vista[g]->setRenderHint(QPainter::Antialiasing);
        m_vista[g]->setMinimumSize(300, 260);
#endif
        m_tabla[g] = new QTableWidget(bloque);
        m_tabla[g]->setObjectName(QStringLiteral("tablaTablero_%1").arg(g));
        m_tabla[g]->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_tabla[g]->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_tabla[g]->verticalHeader()->hide();
        m_tabla[g]->verticalHeader()->setDefaultSectionSize(m_tabla[g]->fontMetrics().height() + 4);
        m_tabla[g]->setMinimumWidth(200);
        auto *cmdImprimir = new QPushButton(QStringLiteral("&Imprimir..."), bloque);
        cmdImprimir->setObjectName(QStringLiteral("cmdImprimirGrafico_%1").arg(g));
        auto *imagen = new QPushButton(QStringLiteral("&Guardar PNG/PDF..."), bloque);
        imagen->setObjectName(QStringLiteral("cmdGuardarGrafico_%1").arg(g));
        auto *csv = new QPushButton(QStringLiteral("Exportar &CSV..."), bloque);
        csv->setObjectName(QStringLiteral("cmdCsvGrafico_%1").arg(g));
        connect(cmdImprimir, &QPushButton::clicked, this, [this, g] { imprimir(g); });
        connect(imagen, &QPushButton::clicked, this, [this, g] { guardarImagen(g); });
        connect(csv, &QPushButton::clicked, this, [this, g] { exportarCsv(g); });

        auto *datos = new QHBoxLayout;
#ifndef MIRABEL_SIN_GRAFICOS
        datos->addWidget(m_vista[g], 3);
#endif
        datos->addWidget(m_tabla[g], 2);
        auto *comandos = new QHBoxLayout;
        comandos->addStretch();
        comandos->addWidget(cmdImprimir);
        comandos->addWidget(imagen);
        comandos->addWidget(csv);
        auto *capa = new QVBoxLayout(bloque);
        capa->addLayout(datos, 1);
        capa->addLayout(comandos);
        grilla->addWidget(bloque, g / 2, g % 2);
    }
    auto *desplazable = new QScrollArea(this);
    desplazable->setObjectName(QStringLiteral("areaTablero"));
    desplazable->setWidgetResizable(true);
    desplazable->setFrameShape(QFrame::NoFrame);
    desplazable->setWidget(contenido);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_lblEstado);
    layout->addWidget(desplazable, 1);
}

PanelTablero::~PanelTablero() {
    if (m_hilo) {
        m_parada->pedir();
        disconnect(m_hilo, nullptr, this, nullptr);
        m_hilo->wait();
        delete m_hilo;
    }
}

void PanelTablero::esperar() {
    // The thread's end is told through the event loop; take it now (it may start the next reading).
    while (m_hilo) {
        m_hilo->wait();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

void PanelTablero::invalidar() {
    m_vigentes = false;
    if (m_hilo)
        m_otraVez = true;
    // A command that refreshes several lists marks the figures stale once per list: one reading serves.
    if (!m_programada && isVisible()) {
        m_programada = true;
        QTimer::singleShot(0, this, [this] {
            m_programada = false;
            if (!m_vigentes && isVisible())
                actualizar();
        });
    }
}

void PanelTablero::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!m_vigentes)
        actualizar();
}

// A reading nobody waits for any more would take the processors from the window now in front: it stops,
// and the figures are read again when the dashboard is shown.
void PanelTablero::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    if (m_hilo) {
        m_parada->pedir();
        m_vigentes = false;
    }
}

void PanelTablero::actualizar() {
    if (m_hilo) {
        m_otraVez = true;
        return;
    }
    m_vigentes = true;
    m_otraVez = false;
    if (!m_cifras)
        m_lblEstado->setText(QStringLiteral("Calculando las cifras..."));
    auto leidas = std::make_shared<std::optional<Expected<Tablero::Cifras>>>();
    const QDate hoy = Clock::today();
    auto parada = std::make_shared<Tablero::Parada>();
    m_parada = parada;
    m_hilo = QThread::create(
        [leidas, hoy, parada] { leidas->emplace(Tablero::calcularAparte(kConexion, hoy, parada.get())); });
    connect(m_hilo, &QThread::finished, this, [this, leidas] {
        m_hilo->deleteLater();
        m_hilo = nullptr;
        if (leidas->has_value() && (**leidas || (*leidas)->code() != Result::Code::Cancelled))
            mostrar(**leidas);
        else
            m_vigentes = false;
        if (m_otraVez) {
            m_vigentes = false;
            if (isVisible())
                actualizar();
        }
    });
    m_hilo->start();
}

void PanelTablero::mostrar(const Expected<Tablero::Cifras> &leidas) {
    if (!leidas) {
        Log::error(QStringLiteral("Tablero"), leidas.message());
        m_lblEstado->setText(leidas.message());
        m_vigentes = false;
        emit cifrasMostradas();
        return;
    }
    m_cifras = *leidas;
#ifdef MIRABEL_SIN_GRAFICOS
    m_lblEstado->setText(
        QStringLiteral("Cifras al %1.").arg(QLocale().toString(m_cifras->hoy, QStringLiteral("dd/MM/yyyy"))));
#else
    m_lblEstado->setText(
        QStringLiteral("Cifras al %1. Pase el puntero sobre un gráfico para ver sus valores.")
            .arg(QLocale().toString(m_cifras->hoy, QStringLiteral("dd/MM/yyyy"))));
#endif
    for (int g = 0; g < Tablero::CantidadGraficos; ++g) {
        const Tablero::Tabla t = Tablero::tabla(*m_cifras, Tablero::Grafico(g));
        static_cast<QGroupBox *>(m_bloque[g])->setTitle(t.titulo);
#ifndef MIRABEL_SIN_GRAFICOS
        QChart *anterior = m_vista[g]->chart();
        QChart *nuevo = GraficosTablero::grafico(*m_cifras, Tablero::Grafico(g));
        nuevo->setTitle(QString()); // the frame around it says it
        m_vista[g]->setChart(nuevo);
        delete anterior;
#endif

        QTableWidget *tabla = m_tabla[g];
        tabla->clear();
        tabla->setColumnCount(int(t.columnas.size()));
        tabla->setRowCount(int(t.filas.size()));
        tabla->setHorizontalHeaderLabels(t.columnas);
        for (int f = 0; f < t.filas.size(); ++f) {
            const auto &fila = t.filas[f];
            bool titulo = fila.size() > 1;
            for (int k = 1; k < fila.size(); ++k)
                titulo = titulo && fila[k].isNull();
            titulo = titulo || (f == t.filas.size() - 1 && fila.value(0) == QStringLiteral("Total"));
            for (int k = 0; k < fila.size(); ++k) {
                auto *item = new QTableWidgetItem(GraficosTablero::texto(fila[k]));
                if (GraficosTablero::esNumero(fila[k]))
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                if (titulo) {
                    QFont fuente = item->font();
                    fuente.setBold(true);
                    item->setFont(fuente);
                }
                tabla->setItem(f, k, item);
            }
        }
        tabla->resizeColumnsToContents();
    }
    emit cifrasMostradas();
}

void PanelTablero::imprimir(int g) {
    if (!m_cifras || g < 0 || g >= Tablero::CantidadGraficos)
        return;
    QPrinter impresora(QPrinter::HighResolution);
    impresora.setPageOrientation(QPageLayout::Landscape);
    QPrintDialog dialogo(&impresora, this);
    dialogo.setWindowTitle(QStringLiteral("Imprimir gráfico"));
    if (dialogo.exec() != QDialog::Accepted)
        return;
    QPainter p(&impresora);
    GraficosTablero::dibujar(p, QRectF(QPointF(0, 0), impresora.pageRect(QPrinter::DevicePixel).size()),
                             *m_cifras, Tablero::Grafico(g));
}

void PanelTablero::guardarImagen(int g) {
    if (!m_cifras || g < 0 || g >= Tablero::CantidadGraficos)
        return;
    QString ruta =
        ListExportDialog::pedirArchivo(this, QStringLiteral("Guardar gráfico"),
                                       QDir(carpetaDocumentos()).filePath(nombreArchivo(g) + ".png"),
                                       QStringLiteral("Imagen PNG (*.png);;Documento PDF (*.pdf)"));
    if (ruta.isEmpty())
        return;
    if (!ruta.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive) &&
        !ruta.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        ruta += QStringLiteral(".png");
    if (const Result r = GraficosTablero::guardar(*m_cifras, Tablero::Grafico(g), ruta); !r)
        Mensaje::error(r.message(), this);
}

void PanelTablero::exportarCsv(int g) {
    if (!m_cifras || g < 0 || g >= Tablero::CantidadGraficos)
        return;
    QString ruta = ListExportDialog::pedirArchivo(
        this, QStringLiteral("Exportar a CSV"), QDir(carpetaDocumentos()).filePath(nombreArchivo(g) + ".csv"),
        QStringLiteral("Texto separado por punto y coma (*.csv)"));
    if (ruta.isEmpty())
        return;
    if (!ruta.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        ruta += QStringLiteral(".csv");
    if (const Result r = GraficosTablero::guardarCsv(*m_cifras, Tablero::Grafico(g), ruta); !r)
        Mensaje::error(r.message(), this);
}
