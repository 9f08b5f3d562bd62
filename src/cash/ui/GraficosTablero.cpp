#include "cash/ui/GraficosTablero.h"

#include "transfer/ListExport.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <cmath>
#ifndef MIRABEL_SIN_GRAFICOS
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QCursor>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHorizontalStackedBarSeries>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QValueAxis>
#endif

namespace {

using Tablero::Cifras;

QString pesos(Money m) {
    return m.toCurrencyString(QLocale());
}

#ifndef MIRABEL_SIN_GRAFICOS
double aDibujo(Money m) {
    return double(m.units()) / double(Money::Scale);
}

void mostrarAyuda(const QString &texto) {
    QToolTip::showText(QCursor::pos(), texto);
}

// The value axis from zero (or the lowest value) to a round figure above the highest, its figures grouped
// in thousands as the locale groups them ("1.500.000"): a printf format has no grouping.
QValueAxis *ejeValores(double minimo, double maximo, const QString &titulo, int marcas = 0) {
    QValueAxis redondo;
    if (marcas > 1)
        redondo.setTickCount(marcas);
    redondo.setRange(std::min(0.0, minimo), maximo > 0 ? maximo : 1);
    redondo.applyNiceNumbers();
    auto *eje = new QCategoryAxis;
    eje->setRange(redondo.min(), redondo.max());
    eje->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    eje->setStartValue(redondo.min());
    const int n = std::max(2, redondo.tickCount());
    const double paso = (redondo.max() - redondo.min()) / (n - 1);
    for (int i = 0; i < n; ++i) {
        const double valor = redondo.min() + paso * i;
        eje->append(QLocale().toString(qint64(std::llround(valor))), valor);
    }
    eje->setTitleText(titulo);
    return eje;
}

// The months under a chart, short enough to stand side by side: "ene 26".
QStringList meses(const Cifras &c) {
    QStringList m;
    for (const QDate &d : c.meses) {
        QString mes = QLocale().standaloneMonthName(d.month(), QLocale::ShortFormat);
        mes.remove(QLatin1Char('.'));
        m << QStringLiteral("%1 %2").arg(mes.left(3)).arg(d.year() % 100, 2, 10, QLatin1Char('0'));
    }
    return m;
}

QChart *nuevo(const QString &titulo) {
    auto *chart = new QChart;
    chart->setTitle(titulo);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setAnimationOptions(QChart::NoAnimation);
    // Names of plans and accounts whole beside the plot: a size smaller than the window's.
    QFont chica = chart->legend()->font();
    chica.setPointSizeF(chica.pointSizeF() * 0.85);
    chart->legend()->setFont(chica);
    return chart;
}

// The chart's axes in the legend's size.
void letraChica(QChart *chart) {
    for (QAbstractAxis *eje : chart->axes())
        eje->setLabelsFont(chart->legend()->font());
}

QChart *deuda(const Cifras &c) {
    auto *chart = nuevo(QStringLiteral("Deuda vencida por antigüedad"));
    auto *serie = new QBarSeries;
    auto *monto = new QBarSet(QStringLiteral("Monto adeudado"));
    QStringList tramos;
    double maximo = 0;
    for (const Tablero::Tramo &t : c.deuda) {
        *monto << aDibujo(t.monto);
        maximo = std::max(maximo, aDibujo(t.monto));
        // Short under the bars: the table beside says them whole.
        tramos << QString(t.nombre)
                      .remove(QStringLiteral(" días"))
                      .replace(QStringLiteral("más de "), QStringLiteral("> "));
    }
    serie->append(monto);
    QObject::connect(monto, &QBarSet::hovered, chart, [tramos = c.deuda](bool dentro, int i) {
        if (dentro && i >= 0 && i < tramos.size())
            mostrarAyuda(QStringLiteral("%1: %2 en %3 cuotas de %4 socios")
                             .arg(tramos[i].nombre, pesos(tramos[i].monto),
                                  QLocale().toString(tramos[i].cuotas),
                                  QLocale().toString(tramos[i].socios)));
    });
    chart->addSeries(serie);
    auto *ejeX = new QBarCategoryAxis;
    ejeX->append(tramos);
    ejeX->setTitleText(QStringLiteral("Días de vencida"));
    chart->addAxis(ejeX, Qt::AlignBottom);
    serie->attachAxis(ejeX);
    auto *ejeY = ejeValores(0, maximo, QStringLiteral("$"));
    chart->addAxis(ejeY, Qt::AlignLeft);
    serie->attachAxis(ejeY);
    chart->legend()->hide();
    return chart;
}

QChart *cobranzas(const Cifras &c) {
    auto *chart = nuevo(QStringLiteral("Cobranzas por cuenta y cuotas del mes"));
    auto *barras = new QStackedBarSeries;
    const QStringList nombres = meses(c);
    QVector<double> alto(c.meses.size());
    for (const Tablero::Cuenta &k : c.cuentas) {
        auto *set = new QBarSet(k.nombre);
        for (int m = 0; m < k.ingresos.size(); ++m) {
            *set << aDibujo(k.ingresos[m]);
            alto[m] += std::max(0.0, aDibujo(k.ingresos[m]));
        }
        QObject::connect(set, &QBarSet::hovered, chart, [k, nombres](bool dentro, int i) {
            if (dentro && i >= 0 && i < k.ingresos.size())
                mostrarAyuda(
                    QStringLiteral("%1, %2: %3 cobrado").arg(k.nombre, nombres[i], pesos(k.ingresos[i])));
        });
        barras->append(set);
    }
    chart->addSeries(barras);
    auto *linea = new QLineSeries;
    linea->setName(QStringLiteral("Cuotas del mes"));
    double maximo = alto.isEmpty() ? 0 : *std::max_element(alto.cbegin(), alto.cend());
    for (int m = 0; m < c.emitido.size(); ++m) {
        linea->append(m, aDibujo(c.emitido[m]));
        maximo = std::max(maximo, aDibujo(c.emitido[m]));
    }
    linea->setPointsVisible(true);
    QObject::connect(
        linea, &QLineSeries::hovered, chart,
        [emitido = c.emitido, nombres](const QPointF &punto, bool dentro) {
            const int i = int(std::lround(punto.x()));
            if (dentro && i >= 0 && i < emitido.size())
                mostrarAyuda(QStringLiteral("%1: %2 en cuotas del mes").arg(nombres[i], pesos(emitido[i])));
        });
    chart->addSeries(linea);
    auto *ejeX = new QBarCategoryAxis;
    ejeX->append(nombres);
    ejeX->setLabelsAngle(-90);
    chart->addAxis(ejeX, Qt::AlignBottom);
    barras->attachAxis(ejeX);
    linea->attachAxis(ejeX);
    auto *ejeY = ejeValores(0, maximo, QStringLiteral("$"));
    chart->addAxis(ejeY, Qt::AlignLeft);
    barras->attachAxis(ejeY);
    linea->attachAxis(ejeY);
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QChart *socios(const Cifras &c) {
    auto *chart = nuevo(QStringLiteral("Socios por plan y por categoría"));
    auto *serie = new QHorizontalStackedBarSeries;
    for (int k = 0; k < c.categorias.size(); ++k) {
        auto *set = new QBarSet(c.categorias[k]);
        QVector<int> cuenta;
        for (int p = 0; p < c.planes.size(); ++p) {
            *set << c.socios[p][k];
            cuenta << c.socios[p][k];
        }
        QObject::connect(set, &QBarSet::hovered, chart,
                         [planes = c.planes, categoria = c.categorias[k], cuenta](bool dentro, int i) {
                             if (dentro && i >= 0 && i < cuenta.size())
                                 mostrarAyuda(QStringLiteral("%1, %2: %3 socios")
                                                  .arg(planes[i], categoria, QLocale().toString(cuenta[i])));
                         });
        serie->append(set);
    }
    int maximo = 0;
    for (const auto &fila : c.socios)
        maximo = std::max(maximo, std::accumulate(fila.cbegin(), fila.cend(), 0));
    chart->addSeries(serie);
    auto *ejeY = new QBarCategoryAxis;
    ejeY->append(c.planes);
    chart->addAxis(ejeY, Qt::AlignLeft);
    serie->attachAxis(ejeY);
    auto *ejeX = ejeValores(0, maximo, QStringLiteral("Socios"), 3); // counts of thousands stay apart
    chart->addAxis(ejeX, Qt::AlignBottom);
    serie->attachAxis(ejeX);
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

QChart *saldos(const Cifras &c) {
    auto *chart = nuevo(QStringLiteral("Saldo de caja por cuenta al fin de cada mes"));
    const QStringList nombres = meses(c);
    auto *ejeX = new QBarCategoryAxis;
    ejeX->append(nombres);
    ejeX->setLabelsAngle(-90);
    chart->addAxis(ejeX, Qt::AlignBottom);
    double minimo = 0, maximo = 0;
    for (const Tablero::Cuenta &k : c.cuentas)
        for (Money s : k.saldo) {
            minimo = std::min(minimo, aDibujo(s));
            maximo = std::max(maximo, aDibujo(s));
        }
    auto *ejeY = ejeValores(minimo, maximo, QStringLiteral("$"));
    chart->addAxis(ejeY, Qt::AlignLeft);
    for (const Tablero::Cuenta &k : c.cuentas) {
        auto *linea = new QLineSeries;
        linea->setName(k.nombre);
        for (int m = 0; m < k.saldo.size(); ++m)
            linea->append(m, aDibujo(k.saldo[m]));
        linea->setPointsVisible(true);
        QObject::connect(linea, &QLineSeries::hovered, chart,
                         [k, nombres](const QPointF &punto, bool dentro) {
                             const int i = int(std::lround(punto.x()));
                             if (dentro && i >= 0 && i < k.saldo.size())
                                 mostrarAyuda(QStringLiteral("%1, fin de %2: saldo %3")
                                                  .arg(k.nombre, nombres[i], pesos(k.saldo[i])));
                         });
        chart->addSeries(linea);
        linea->attachAxis(ejeX);
        linea->attachAxis(ejeY);
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

#endif

bool esTitulo(const QVector<QVariant> &fila) {
    for (int i = 1; i < fila.size(); ++i)
        if (!fila[i].isNull())
            return false;
    return fila.size() > 1;
}

// The table in rect, its type made as large as the rows and columns allow (and no larger than a list's).
void dibujarTabla(QPainter &p, const QRectF &r, const Tablero::Tabla &t) {
    const int filas = int(t.filas.size()) + 1;
    const int columnas = int(t.columnas.size());
    if (columnas == 0)
        return;
    const qreal alto = std::min(r.height() / filas, r.width() / (columnas > 4 ? 28.0 : 22.0));
    QFont f = p.font();
    f.setPixelSize(std::max(1, int(alto * 0.62)));
    p.save();
    p.setFont(f);
    const qreal primera = r.width() * (columnas > 4 ? 0.12 : columnas > 2 ? 0.22 : 0.6);
    const qreal resto = columnas > 1 ? (r.width() - primera) / (columnas - 1) : 0;
    // No figure is cut: the type shrinks until the widest figure of every column fits.
    qreal escala = 1;
    for (int col = 1; col < columnas; ++col) {
        QFont negrita = f;
        negrita.setBold(true);
        const QFontMetricsF m(negrita, p.device());
        qreal ancho = m.horizontalAdvance(t.columnas[col]);
        for (const auto &fila : t.filas)
            ancho = std::max(ancho, m.horizontalAdvance(GraficosTablero::texto(fila.value(col))));
        if (ancho > 0)
            escala = std::min(escala, (resto - alto * 0.3) / ancho);
    }
    if (escala < 1) {
        f.setPixelSize(std::max(1, int(f.pixelSize() * escala)));
        p.setFont(f);
    }
    auto celda = [&](int fila, int col, const QString &texto, bool numero, bool negrita) {
        const QRectF c(r.left() + (col == 0 ? 0 : primera + (col - 1) * resto), r.top() + fila * alto,
                       col == 0 ? primera : resto, alto);
        QFont g = f;
        g.setBold(negrita);
        p.setFont(g);
        const QRectF dentro = c.adjusted(alto * 0.15, 0, -alto * 0.15, 0);
        p.drawText(dentro, Qt::AlignVCenter | (numero ? Qt::AlignRight : Qt::AlignLeft),
                   p.fontMetrics().elidedText(texto, Qt::ElideRight, int(dentro.width())));
    };
    p.fillRect(QRectF(r.left(), r.top(), r.width(), alto), QColor(0xe3, 0xf2, 0xfd));
    for (int col = 0; col < columnas; ++col)
        celda(0, col, t.columnas[col], col > 0, true);
    for (int i = 0; i < t.filas.size(); ++i) {
        const auto &fila = t.filas[i];
        const bool titulo =
            esTitulo(fila) || (i == t.filas.size() - 1 && fila.value(0) == QStringLiteral("Total"));
        for (int col = 0; col < columnas && col < fila.size(); ++col)
            celda(i + 1, col, GraficosTablero::texto(fila[col]), GraficosTablero::esNumero(fila[col]),
                  titulo);
        p.setPen(QColor(0xcf, 0xd8, 0xdc));
        p.drawLine(QPointF(r.left(), r.top() + (i + 1) * alto), QPointF(r.right(), r.top() + (i + 1) * alto));
        p.setPen(Qt::black);
    }
    p.restore();
}

#ifndef MIRABEL_SIN_GRAFICOS
// A chart drawn into target at the size it would have on a screen, so that its type keeps its proportion.
void dibujarGrafico(QPainter &p, const QRectF &target, QChart *chart) {
    const qreal escala = std::max(1.0, target.width() / 640.0);
    QGraphicsScene escena;
    escena.addItem(chart);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setGeometry(QRectF(0, 0, target.width() / escala, target.height() / escala));
    escena.setSceneRect(chart->geometry());
    escena.render(&p, target, chart->geometry());
    escena.removeItem(chart);
}

#endif

} // namespace

namespace GraficosTablero {

#ifndef MIRABEL_SIN_GRAFICOS
QChart *grafico(const Tablero::Cifras &c, Tablero::Grafico g) {
    QChart *chart = nullptr;
    switch (g) {
    case Tablero::Deuda:
        chart = deuda(c);
        break;
    case Tablero::Cobranzas:
        chart = cobranzas(c);
        break;
    case Tablero::Socios:
        chart = socios(c);
        break;
    case Tablero::Saldos:
        chart = saldos(c);
        break;
    }
    letraChica(chart);
    return chart;
}

#endif

bool esNumero(const QVariant &celda) {
    return celda.metaType() == QMetaType::fromType<Money>() || celda.typeId() == QMetaType::Int;
}

QString texto(const QVariant &celda) {
    if (celda.metaType() == QMetaType::fromType<Money>())
        return pesos(celda.value<Money>());
    if (celda.typeId() == QMetaType::Int)
        return QLocale().toString(celda.toInt());
    return celda.toString();
}

void dibujar(QPainter &p, const QRectF &rect, const Tablero::Cifras &c, Tablero::Grafico g) {
    const Tablero::Tabla t = Tablero::tabla(c, g);
#ifdef MIRABEL_SIN_GRAFICOS
    dibujarTabla(p, rect, t);
#else
    // A table of a column per account needs the room that its amounts take.
    const qreal parteGrafico = t.columnas.size() > 4 ? 0.42 : 0.6;
    const QRectF izquierda(rect.topLeft(), QSizeF(rect.width() * parteGrafico, rect.height()));
    const QRectF derecha =
        QRectF(izquierda.topRight(), rect.bottomRight()).adjusted(rect.width() * 0.02, 0, 0, 0);
    std::unique_ptr<QChart> chart(grafico(c, g));
    dibujarGrafico(p, izquierda, chart.get());
    dibujarTabla(p, derecha, t);
#endif
}

Result guardar(const Tablero::Cifras &c, Tablero::Grafico g, const QString &ruta) {
    const bool pdf = QFileInfo(ruta).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0;
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        return Result::failure(
            QStringLiteral("No se puede escribir %1: %2").arg(ruta, archivo.errorString()));
    if (pdf) {
        QPdfWriter w(&archivo);
        w.setPageOrientation(QPageLayout::Landscape);
        w.setTitle(Tablero::tabla(c, g).titulo);
        QPainter p(&w);
        dibujar(p, QRectF(0, 0, w.width(), w.height()), c, g);
    } else {
        QImage imagen(1600, 800, QImage::Format_ARGB32);
        imagen.fill(Qt::white);
        QPainter p(&imagen);
        p.setRenderHint(QPainter::Antialiasing);
        dibujar(p, QRectF(16, 16, imagen.width() - 32, imagen.height() - 32), c, g);
        p.end();
        if (!imagen.save(&archivo, "PNG"))
            return Result::failure(QStringLiteral("No se pudo escribir la imagen %1.").arg(ruta));
    }
    if (!archivo.commit())
        return Result::failure(
            QStringLiteral("No se puede escribir %1: %2").arg(ruta, archivo.errorString()));
    return Result::done();
}

Result guardarCsv(const Tablero::Cifras &c, Tablero::Grafico g, const QString &ruta) {
    const Tablero::Tabla t = Tablero::tabla(c, g);
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        return Result::failure(
            QStringLiteral("No se puede escribir %1: %2").arg(ruta, archivo.errorString()));
    QByteArray datos("\xEF\xBB\xBF"); // UTF-8, as the lists' export writes it
    auto linea = [&](const QStringList &campos) {
        QStringList citados;
        for (const QString &campo : campos)
            citados << ListExport::csvField(campo);
        datos += citados.join(QLatin1Char(';')).toUtf8() + "\r\n";
    };
    linea(t.columnas);
    for (const auto &fila : t.filas) {
        QStringList campos;
        for (const QVariant &v : fila)
            campos << (v.metaType() == QMetaType::fromType<Money>()
                           ? v.value<Money>().toPlainString(QLocale())
                           : v.toString());
        linea(campos);
    }
    archivo.write(datos);
    if (!archivo.commit())
        return Result::failure(
            QStringLiteral("No se puede escribir %1: %2").arg(ruta, archivo.errorString()));
    return Result::done();
}

Result escribirPdf(const Tablero::Cifras &c, const QString &ruta, const QString &empresa) {
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly))
        return Result::failure(
            QStringLiteral("No se puede escribir %1: %2").arg(ruta, archivo.errorString()));
    {
        QPdfWriter w(&archivo);
        w.setPageSize(QPageSize(QPageSize::A4));
        w.setPageOrientation(QPageLayout::Landscape);
        w.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        w.setTitle(QStringLiteral("Tablero"));
        w.setCreator(QStringLiteral("Mirabel"));
        QPainter p(&w);
        const QRectF pagina(0, 0, w.width(), w.height());
        const qreal encabezado = pagina.height() * 0.06;
        QFont f = p.font();
        f.setPixelSize(int(encabezado * 0.55));
        f.setBold(true);
        p.setFont(f);
        QString titulo = QStringLiteral("Tablero");
        if (!empresa.isEmpty())
            titulo += QStringLiteral(" — ") + empresa;
        p.drawText(QRectF(pagina.left(), pagina.top(), pagina.width(), encabezado),
                   Qt::AlignLeft | Qt::AlignVCenter, titulo);
        f.setBold(false);
        f.setPixelSize(int(encabezado * 0.4));
        p.setFont(f);
        p.drawText(
            QRectF(pagina.left(), pagina.top(), pagina.width(), encabezado),
            Qt::AlignRight | Qt::AlignVCenter,
            QStringLiteral("Cifras al %1").arg(QLocale().toString(c.hoy, QStringLiteral("dd/MM/yyyy"))));
        const qreal ancho = pagina.width() / 2, alto = (pagina.height() - encabezado) / 2;
        const qreal margen = ancho * 0.02;
        for (int g = 0; g < Tablero::CantidadGraficos; ++g) {
            const QRectF celda(pagina.left() + (g % 2) * ancho, pagina.top() + encabezado + (g / 2) * alto,
                               ancho, alto);
            dibujar(p, celda.adjusted(margen, margen, -margen, -margen), c, Tablero::Grafico(g));
        }
    }
    if (!archivo.commit())
        return Result::failure(
            QStringLiteral("No se puede escribir %1: %2").arg(ruta, archivo.errorString()));
    return Result::done();
}

} // namespace GraficosTablero
