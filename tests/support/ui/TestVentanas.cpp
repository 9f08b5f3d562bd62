#include "support/ui/TestVentanas.h"

#include "ui/Mensaje.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

namespace TestSupport {

void prepararVentanas() {
    Mensaje::habilitarPrueba(true);
    // Each test database starts with no message shown and none queued.
    alCrearBase = [] { Mensaje::limpiar(); };
}

void captura(QWidget *ventana, const QString &nombre) {
    if (!qEnvironmentVariableIsSet("MIRABEL_CAPTURAS") || !ventana)
        return;
    QCoreApplication::processEvents();
    ventana->grab().save(qEnvironmentVariable("MIRABEL_CAPTURAS") + QLatin1Char('/') + nombre +
                         QStringLiteral(".png"));
}

namespace {
bool esLaBuscada(QWidget *w, const QString &nombre) {
    return w && (nombre.isEmpty() || w->objectName() == nombre ||
                 QString::fromLatin1(w->metaObject()->className()) == nombre);
}

QString descripcion(const QString &nombre) {
    return nombre.isEmpty() ? QStringLiteral("modal") : nombre;
}

// Closes a modal window that stands in the test's way, so the call that opened it returns.
void cerrar(QWidget *w) {
    if (auto *d = qobject_cast<QDialog *>(w))
        d->reject();
    else
        w->close();
}

// Once a test has failed waiting for a window, the windows that the code under test opens after it would
// wait for actions that never come: close each of them until that test is over.
void barrerModales(const QByteArray &prueba) {
    auto *barredor = new QTimer;
    barredor->setInterval(50);
    QObject::connect(barredor, &QTimer::timeout, [barredor, prueba] {
        const char *actual = QTest::currentTestFunction();
        if (!actual || prueba != actual) {
            barredor->stop();
            barredor->deleteLater();
            return;
        }
        if (QWidget *w = QApplication::activeModalWidget())
            cerrar(w);
    });
    barredor->start();
}

// Polls for the window; runs accion on it once, or gives up after plazoMs. A window left open by an action
// that failed a check is closed, so the test ends instead of waiting forever.
struct Vigia {
    QString nombre;
    std::function<void(QWidget *)> accion;
    int plazoMs;
    bool *aparecio = nullptr; // set when the window appeared
    bool cerrarAjenaAlVencer = false;
    QByteArray prueba = QTest::currentTestFunction(); // the test that armed the watch
    QTimer timer;
    QElapsedTimer desde;

    void revisar() {
        QWidget *w = QApplication::activeModalWidget();
        if (esLaBuscada(w, nombre)) {
            timer.stop();
            if (aparecio)
                *aparecio = true;
            QPointer<QWidget> abierta(w);
            accion(w);
            if (abierta && abierta->isVisible() && QTest::currentTestFailed())
                cerrar(abierta);
            terminar();
        } else if (desde.elapsed() > plazoMs) {
            timer.stop();
            const QString texto = QStringLiteral("no apareció la ventana %1").arg(descripcion(nombre));
            // Still in the test that armed the watch: that test fails here, and a window in the way is
            // closed. A watch left over from a finished test only says so.
            const char *actual = QTest::currentTestFunction();
            if (cerrarAjenaAlVencer || (actual && prueba == actual)) {
                if (w)
                    cerrar(w);
                if (!cerrarAjenaAlVencer) {
                    QTest::qFail(qPrintable(texto), __FILE__, __LINE__);
                    barrerModales(prueba);
                }
            } else {
                qWarning("%s", qPrintable(texto));
            }
            terminar();
        }
    }
    std::function<void()> terminar;
};
} // namespace

void alAbrirModal(std::function<void(QWidget *)> accion, int plazoMs) {
    alAbrirModalDe(QString(), std::move(accion), plazoMs);
}

void alAbrirModalDe(const QString &nombre, std::function<void(QWidget *)> accion, int plazoMs) {
    auto *v = new Vigia;
    v->nombre = nombre;
    v->accion = std::move(accion);
    v->plazoMs = plazoMs;
    v->terminar = [v] { QTimer::singleShot(0, [v] { delete v; }); };
    v->timer.setInterval(20);
    QObject::connect(&v->timer, &QTimer::timeout, [v] { v->revisar(); });
    v->desde.start();
    v->timer.start();
}

bool alAbrirModalDe(const QString &nombre, const std::function<void()> &disparador,
                    std::function<void(QWidget *)> accion, int plazoMs) {
    bool aparecio = false;
    bool terminado = false;
    Vigia v;
    v.nombre = nombre;
    v.accion = std::move(accion);
    v.plazoMs = plazoMs;
    v.aparecio = &aparecio;
    // Another window in the way would keep the trigger from returning: it is closed when time is up.
    v.cerrarAjenaAlVencer = true;
    v.terminar = [&terminado] { terminado = true; };
    v.timer.setInterval(10);
    QObject::connect(&v.timer, &QTimer::timeout, [&v] { v.revisar(); });
    v.desde.start();
    v.timer.start();
    disparador();
    v.timer.stop();
    if (!aparecio)
        qWarning("no apareció la ventana %s", qPrintable(descripcion(nombre)));
    return aparecio;
}

namespace detalle {

QObject *buscarControl(const QObject *ventana, const QString &nombre, const QMetaObject &tipo,
                       QString *falla) {
    const QString donde = !ventana ? QStringLiteral("(ninguna)")
                          : ventana->objectName().isEmpty()
                              ? QString::fromLatin1(ventana->metaObject()->className())
                              : ventana->objectName();
    const QList<QObject *> hallados = ventana ? ventana->findChildren<QObject *>(nombre) : QList<QObject *>();
    if (hallados.size() != 1) {
        *falla = hallados.isEmpty()
                     ? QStringLiteral("la ventana %1 no tiene el control %2").arg(donde, nombre)
                     : QStringLiteral("la ventana %1 tiene %2 controles %3")
                           .arg(donde)
                           .arg(hallados.size())
                           .arg(nombre);
        return nullptr;
    }
    if (!tipo.cast(hallados.first())) {
        *falla = QStringLiteral("el control %1 de la ventana %2 es un %3, no un %4")
                     .arg(nombre, donde, QString::fromLatin1(hallados.first()->metaObject()->className()),
                          QString::fromLatin1(tipo.className()));
        return nullptr;
    }
    return hallados.first();
}

void fallarControl(const QString &falla, const std::source_location &llamada) {
    QTest::qFail(qPrintable(falla), llamada.file_name(), int(llamada.line()));
}

} // namespace detalle

} // namespace TestSupport
