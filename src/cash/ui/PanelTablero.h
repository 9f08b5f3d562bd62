#pragma once

#include "cash/Tablero.h"

#include <QWidget>
#include <memory>
#include <optional>

class QChartView;
class QLabel;
class QTableWidget;
class QThread;

// The "Tablero" option of the main window: four charts of the club's money and members, each with its
// numbers in a table beside it and its own commands (print, save as PNG or PDF, export as CSV). The figures
// are read on a thread of their own, with its own connection, and kept until they may have changed:
// "Actualizar Tablas" or a write marks them stale, and they are read again when the panel is next shown.
class PanelTablero : public QWidget {
    Q_OBJECT
public:
    explicit PanelTablero(QWidget *parent = nullptr);
    ~PanelTablero() override;

    // The figures may have changed: read again now if shown, else when next shown.
    void invalidar();
    // Reads the figures again now (on the reading thread), whether shown or not.
    void actualizar();
    // Waits for a reading under way to end (before the database it reads is closed).
    void esperar();
    // The figures shown, when there are any.
    const std::optional<Tablero::Cifras> &cifras() const { return m_cifras; }

    void imprimir(int grafico);
    void guardarImagen(int grafico);
    void exportarCsv(int grafico);

signals:
    // The charts and tables show the figures just read (or the reason they could not be read).
    void cifrasMostradas();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void mostrar(const Expected<Tablero::Cifras> &leidas);

    QLabel *m_lblEstado;
    QChartView *m_vista[Tablero::CantidadGraficos];
    QTableWidget *m_tabla[Tablero::CantidadGraficos];
    QWidget *m_bloque[Tablero::CantidadGraficos];
    std::optional<Tablero::Cifras> m_cifras;
    QThread *m_hilo = nullptr;
    std::shared_ptr<Tablero::Parada> m_parada; // of the reading under way
    bool m_vigentes = false;                   // the figures shown are still those of the database
    bool m_otraVez = false;                    // marked stale while being read: read again when done
    bool m_programada = false;
};
