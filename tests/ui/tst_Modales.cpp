#include "support/TestSupport.h"
#include "ui/Mensaje.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace TestSupport;

// The helpers the GUI tests rely on: the modal-window helper must act on the window it waits for, and must
// give up rather than leave a test waiting; a control is found by its name, or the test fails saying which.
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

    void aControlIsFoundByNameOrTheTestFails_data() {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<bool>("hallado");
        QTest::newRow("inside a frame") << QStringLiteral("Command1") << true;
        QTest::newRow("missing") << QStringLiteral("Command2") << false;
        QTest::newRow("two of that name") << QStringLiteral("txtDoble") << false;
        QTest::newRow("of another class") << QStringLiteral("lblTexto") << false;
    }
    void aControlIsFoundByNameOrTheTestFails() {
        QFETCH(QString, nombre);
        QFETCH(bool, hallado);
        QDialog d;
        d.setObjectName(QStringLiteral("panPrueba"));
        auto *marco = new QWidget(&d);
        auto *boton = new QPushButton(marco);
        boton->setObjectName(QStringLiteral("Command1"));
        new QLineEdit(&d);
        d.findChild<QLineEdit *>()->setObjectName(QStringLiteral("txtDoble"));
        (new QLineEdit(marco))->setObjectName(QStringLiteral("txtDoble"));
        (new QLabel(marco))->setObjectName(QStringLiteral("lblTexto"));
        if (!hallado)
            QEXPECT_FAIL("", "the test fails naming the control and the window", Continue);
        QPushButton *c = control<QPushButton>(&d, nombre);
        // Never a null to crash on: a failed look-up gives a stand-in outside the window.
        QVERIFY(c);
        QCOMPARE(c == boton, hallado);
        QCOMPARE(c->window() == &d, hallado);
    }
};

MIRABEL_TEST_MAIN(tst_Modales)
#include "tst_Modales.moc"
