#include "cash/Textos.h"

#include <QTextBoundaryFinder>

namespace Textos {

QString cortar(const QString &texto, int maximo) {
    if (texto.size() <= maximo)
        return texto;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, texto);
    finder.setPosition(maximo);
    if (!finder.isAtBoundary())
        finder.toPreviousBoundary();
    return texto.left(qMax(0, finder.position()));
}

} // namespace Textos
