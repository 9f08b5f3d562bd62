#pragma once

#include <QMessageBox>
#include <QString>
#include <QVector>
#include <memory>

// The one place where the program shows a message box. Tests queue answers and read what was shown.
namespace Mensaje {

struct Mostrado {
    QString texto;
    QString titulo;
    QMessageBox::Icon icono;
    QMessageBox::StandardButtons botones;
};

// Shows a modal box; a missing title shows the program's title "Mirabel!".
QMessageBox::StandardButton mostrar(const QString &texto, const QString &titulo, QMessageBox::Icon icono,
                                    QMessageBox::StandardButtons botones,
                                    QMessageBox::StandardButton porDefecto = QMessageBox::NoButton,
                                    QWidget *padre = nullptr);

// The box that mostrar() shows, not yet shown: the text is plain text, never markup.
std::unique_ptr<QMessageBox> construir(const QString &texto, const QString &titulo, QMessageBox::Icon icono,
                                       QMessageBox::StandardButtons botones,
                                       QMessageBox::StandardButton porDefecto = QMessageBox::NoButton,
                                       QWidget *padre = nullptr);

// "texto" with the title "Error", the critical icon and an OK button.
void error(const QString &texto, QWidget *padre = nullptr);
void informacion(const QString &texto, const QString &titulo, QWidget *padre = nullptr);
// Yes/No question with the question icon; true only for Yes.
bool preguntaSiNo(const QString &texto, const QString &titulo, QWidget *padre = nullptr);

// Test seam. While enabled no box is shown: each call takes the next queued answer (or, with none queued,
// the default button, else the first of the buttons offered) and is recorded.
void habilitarPrueba(bool enabled);
bool enPrueba();
void encolarRespuesta(QMessageBox::StandardButton respuesta);
QVector<Mostrado> mostrados();
void limpiar();

} // namespace Mensaje
