#include "support/TestSupport.h"
#include "ui/Mensaje.h"

#include <QDialog>

using namespace TestSupport;

// The modal-window helper the GUI tests rely on: it must act on the window it waits for, and must give up
// rather than leave a test waiting.
class tst_Modales : public QObject {
    Q_OBJECT
private slots:
    void actsOnTheWindowTheTriggerOpens() {
        QDialog d;
        d.setObjectName(QStringLiteral("panPrueba"));
        int resultado = -1;
        QVERIFY(alAbrirModalDe(
            QStringLiteral("panPrueba"), [&] { resultado = d.exec(); },
            [](QWidget *w) { static_cast<QDialog *>(w)->accept(); }));
        QCOMPARE(resultado, int(QDialog::Accepted));
    }

    void aWindowThatNeverOpensIsReportedWhenTheTriggerReturns() {
        bool actuo = false;
        QVERIFY(!alAbrirModalDe(
            QStringLiteral("panPrueba"), [] {}, [&actuo](QWidget *) { actuo = true; }, 60000));
        // Nothing is left waiting to act on a later window.
        QDialog d;
        d.setObjectName(QStringLiteral("panPrueba"));
        QTimer::singleShot(0, &d, [&d] { d.reject(); });
        d.exec();
        QVERIFY(!actuo);
    }

    void anotherWindowInTheWayIsClosedSoTheTestGoesOn() {
        QDialog otra;
        otra.setObjectName(QStringLiteral("otra"));
        bool actuo = false;
        int resultado = -1;
        QVERIFY(!alAbrirModalDe(
            QStringLiteral("panPrueba"), [&] { resultado = otra.exec(); },
            [&actuo](QWidget *) { actuo = true; }, 100));
        QCOMPARE(resultado, int(QDialog::Rejected));
        QVERIFY(!actuo);
    }
};

MIRABEL_TEST_MAIN(tst_Modales)
#include "tst_Modales.moc"
