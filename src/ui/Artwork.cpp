#include "ui/Artwork.h"

#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {
const QColor kColors[] = {QColor(0x2e, 0x7d, 0x32), QColor(0x15, 0x65, 0xc0), QColor(0x6a, 0x1b, 0x9a),
                          QColor(0xef, 0x6c, 0x00), QColor(0x00, 0x83, 0x8f), QColor(0x54, 0x6e, 0x7a),
                          QColor(0xc6, 0x28, 0x28)};

void person(QPainter &p, QPointF c, qreal s) {
    p.drawEllipse(QRectF(c.x() - s * 0.16, c.y() - s * 0.36, s * 0.32, s * 0.32));
    QPainterPath body;
    body.moveTo(c.x() - s * 0.3, c.y() + s * 0.32);
    body.quadTo(c.x() - s * 0.3, c.y() - s * 0.02, c.x(), c.y() - s * 0.02);
    body.quadTo(c.x() + s * 0.3, c.y() - s * 0.02, c.x() + s * 0.3, c.y() + s * 0.32);
    body.closeSubpath();
    p.drawPath(body);
}
} // namespace

namespace Artwork {

QPixmap iconoOpcion(int indice, int lado) {
    const qreal dpr = 2.0;
    QPixmap pm(QSize(lado, lado) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = lado;
    QLinearGradient g(0, 0, 0, s);
    const QColor base = kColors[qBound(0, indice, 6)];
    g.setColorAt(0, base.lighter(135));
    g.setColorAt(1, base);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(1, 1, s - 2, s - 2), s * 0.22, s * 0.22);
    p.setBrush(Qt::white);
    p.setPen(QPen(Qt::white, s * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (indice) {
    case 0: // members: two people
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 170));
        person(p, QPointF(s * 0.64, s * 0.52), s * 0.8);
        p.setBrush(Qt::white);
        person(p, QPointF(s * 0.4, s * 0.58), s * 0.85);
        break;
    case 1: { // dues: a calendar page
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(s * 0.22, s * 0.26, s * 0.56, s * 0.52), s * 0.06, s * 0.06);
        p.drawLine(QPointF(s * 0.22, s * 0.4), QPointF(s * 0.78, s * 0.4));
        p.drawLine(QPointF(s * 0.36, s * 0.2), QPointF(s * 0.36, s * 0.3));
        p.drawLine(QPointF(s * 0.64, s * 0.2), QPointF(s * 0.64, s * 0.3));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 3; ++c)
                p.drawEllipse(QPointF(s * (0.34 + c * 0.16), s * (0.52 + r * 0.14)), s * 0.035, s * 0.035);
        break;
    }
    case 2: // plans: a list
        for (int i = 0; i < 3; ++i) {
            const qreal y = s * (0.32 + i * 0.18);
            p.drawPoint(QPointF(s * 0.28, y));
            p.drawLine(QPointF(s * 0.4, y), QPointF(s * 0.74, y));
        }
        break;
    case 3: // reports: bar chart
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(s * 0.24, s * 0.5, s * 0.12, s * 0.26));
        p.drawRect(QRectF(s * 0.44, s * 0.32, s * 0.12, s * 0.44));
        p.drawRect(QRectF(s * 0.64, s * 0.42, s * 0.12, s * 0.34));
        break;
    case 4: { // cash: a coin
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(s * 0.5, s * 0.5), s * 0.26, s * 0.26);
        QFont f;
        f.setPixelSize(int(s * 0.34));
        f.setBold(true);
        p.setFont(f);
        p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter, QStringLiteral("$"));
        break;
    }
    case 6: // dashboard: a pie with one slice drawn out
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 170));
        p.drawPie(QRectF(s * 0.2, s * 0.24, s * 0.56, s * 0.56), 90 * 16, 270 * 16);
        p.setBrush(Qt::white);
        p.drawPie(QRectF(s * 0.26, s * 0.18, s * 0.56, s * 0.56), 0, 90 * 16);
        break;
    default: { // utilities: a gear
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(s * 0.5, s * 0.5), s * 0.17, s * 0.17);
        for (int i = 0; i < 8; ++i) {
            p.save();
            p.translate(s * 0.5, s * 0.5);
            p.rotate(i * 45);
            p.drawLine(QPointF(0, -s * 0.2), QPointF(0, -s * 0.3));
            p.restore();
        }
        break;
    }
    }
    return pm;
}

QPixmap logo(int lado) {
    const qreal dpr = 2.0;
    QPixmap pm(QSize(lado, lado) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = lado;
    QRadialGradient g(QPointF(s * 0.35, s * 0.3), s * 0.8);
    g.setColorAt(0, QColor(0x4f, 0xc3, 0xf7));
    g.setColorAt(1, QColor(0x0d, 0x47, 0xa1));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(QRectF(2, 2, s - 4, s - 4));
    // A stylised "M" made of two figures holding hands.
    p.setPen(QPen(Qt::white, s * 0.08, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath m;
    m.moveTo(s * 0.26, s * 0.72);
    m.lineTo(s * 0.26, s * 0.34);
    m.lineTo(s * 0.5, s * 0.58);
    m.lineTo(s * 0.74, s * 0.34);
    m.lineTo(s * 0.74, s * 0.72);
    p.setBrush(Qt::NoBrush);
    p.drawPath(m);
    p.setBrush(QColor(0xff, 0xd5, 0x4f));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(s * 0.5, s * 0.3), s * 0.07, s * 0.07);
    return pm;
}

QIcon iconoPrograma() {
    QIcon icon;
    for (int side : {16, 32, 48, 64, 128})
        icon.addPixmap(logo(side));
    return icon;
}

QPixmap portada(const QSize &size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(0x0d, 0x47, 0xa1));
    g.setColorAt(1, QColor(0x00, 0x83, 0x8f));
    p.fillRect(pm.rect(), g);
    // Soft circles as background decoration.
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor(255, 255, 255, 14 + i * 4));
        const qreal r = size.height() * (0.9 - i * 0.12);
        p.drawEllipse(QPointF(size.width() * 0.85, size.height() * 0.2), r, r);
    }
    const int l = size.height() / 3;
    p.drawPixmap(40, (size.height() - l) / 2 - 20, logo(l));
    QFont title;
    title.setPixelSize(size.height() / 6);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    const QRectF textArea(60 + l, 0, size.width() - l - 80, size.height() * 0.62);
    p.drawText(textArea, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("Mirabel"));
    QFont sub;
    sub.setPixelSize(size.height() / 20);
    p.setFont(sub);
    p.setPen(QColor(255, 255, 255, 220));
    p.drawText(QRectF(62 + l, size.height() * 0.64, size.width() - l - 80, size.height() * 0.2),
               Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Socios, cuotas y caja de su institución"));
    QFont small;
    small.setPixelSize(size.height() / 24);
    p.setFont(small);
    p.setPen(QColor(255, 255, 255, 180));
    p.drawText(QRectF(0, 0, size.width() - 16, size.height() - 12), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("Cargando…"));
    return pm;
}

} // namespace Artwork
