#pragma once

#include "support/TestSupport.h"

#include <QApplication>
#include <QWidget>
#include <functional>

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

} // namespace TestSupport
