#include "ui/PanelEncabezado.h"

#include "ui/Artwork.h"

#include <QHBoxLayout>
#include <QLabel>

PanelEncabezado::PanelEncabezado(const QString &texto, int opcion, QWidget *parent) : QFrame(parent) {
    setObjectName(QStringLiteral("encabezado"));
    setStyleSheet(QStringLiteral("#encabezado { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, "
                                 "stop:0 #0d47a1, stop:1 #00838f); border-radius: 6px; }"
                                 "#encabezado QLabel { color: white; }"));
    auto *icono = new QLabel(this);
    icono->setPixmap(Artwork::iconoOpcion(opcion, 36));
    m_lblTitulo = new QLabel(texto, this);
    m_lblTitulo->setObjectName(QStringLiteral("lblTitulo"));
    QFont f = m_lblTitulo->font();
    f.setPointSizeF(f.pointSizeF() * 1.5);
    f.setBold(true);
    m_lblTitulo->setFont(f);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(icono);
    layout->addWidget(m_lblTitulo, 1);
}
