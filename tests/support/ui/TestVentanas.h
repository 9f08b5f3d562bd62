#pragma once

#include "support/TestSupport.h"

#include <QApplication>
#include <QWidget>
#include <functional>
#include <source_location>
#include <stdexcept>
#include <type_traits>

// Helpers for tests of windows: message boxes answered from a queue, modal windows acted on, pictures.
namespace TestSupport {

// Message boxes in test mode (answered from the queue, recorded); run by MIRABEL_TEST_MAIN.
void prepararVentanas();

// With MIRABEL_CAPTURAS=folder set, saves a picture of the window there (nombre.png), to look at it as a
// user would.
void captura(QWidget *ventana, const QString &nombre);
// Runs accion on the next modal window once it appears. When plazoMs runs out first, the test that armed
// it fails with a message and a modal window in its way is closed; a window left open by an action whose
// check failed is closed too, so a test never hangs. Prefer the form below that takes the trigger: it
// reports a window that never opened as soon as the trigger returns.
void alAbrirModal(std::function<void(QWidget *)> accion, int plazoMs = 5000);
// The same, waiting for a modal window of the given class (objectName or class name).
void alAbrirModalDe(const QString &nombre, std::function<void(QWidget *)> accion, int plazoMs = 8000);
// Runs disparador (the click that opens the window) and accion on the window it opens. Returns false, with a
// message, as soon as disparador has returned without the window having appeared; another modal window
// still in the way after plazoMs is closed so the test does not hang. Use: QVERIFY(alAbrirModalDe(...)).
bool alAbrirModalDe(const QString &nombre, const std::function<void()> &disparador,
                    std::function<void(QWidget *)> accion, int plazoMs = 8000);

// The control named nombre (its objectName) among the descendants of ventana, of class T. A control that is
// missing, repeated or of another class fails the current test, naming the control and the window; the test
// then goes on with a stand-in control (its later checks fail too) instead of crashing on a null pointer. A
// class with no default constructor (a grid, a panel) has no stand-in: the failure ends the test run there.
template <class T>
T *control(const QObject *ventana, const QString &nombre,
           std::source_location llamada = std::source_location::current());

namespace detalle {
// The only descendant named nombre if it is a T (by its meta-object); else why not, in *falla.
QObject *buscarControl(const QObject *ventana, const QString &nombre, const QMetaObject &tipo,
                       QString *falla);
void fallarControl(const QString &falla, const std::source_location &llamada);
} // namespace detalle

template <class T> T *control(const QObject *ventana, const QString &nombre, std::source_location llamada) {
    QString falla;
    if (QObject *c = detalle::buscarControl(ventana, nombre, T::staticMetaObject, &falla))
        return static_cast<T *>(c);
    detalle::fallarControl(falla, llamada);
    if constexpr (std::is_default_constructible_v<T>) {
        static T *suplente = new T;
        return suplente;
    } else {
        throw std::runtime_error(falla.toStdString());
    }
}

} // namespace TestSupport
