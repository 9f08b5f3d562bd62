#pragma once

#include <QDialog>
#include <QString>

// A modal window of the program: the opener sets its Tag before showing it ("NUEVO" or a record key,
// or "NO" for the login), and it centres itself when shown.
class Ventana : public QDialog {
    Q_OBJECT
public:
    explicit Ventana(QWidget *parent = nullptr);
    QString Tag;
    // Whether the tag names an existing record (a whole number).
    bool tagEsNumerico() const;
    // Centres a window on its screen; the size stays.
    static void centrar(QWidget *ventana);

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    bool m_centred = false;
};
