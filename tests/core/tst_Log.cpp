#include "core/Log.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QFileInfo>

// The log names members in its messages: it is its owner's alone, and it does not grow without bound.
class tst_Log : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { Log::setFile(QString()); }

    void fileIsReadableByItsOwnerAlone() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("registro/mirabel.log"));
        Log::setFile(path);
        Log::error(QStringLiteral("Prueba"), QStringLiteral("Pérez, Juan"));
        QVERIFY(QFileInfo::exists(path));
        QCOMPARE(TestSupport::ajenos(path), QFileDevice::Permissions());
        // A file left wider by an older version is narrowed at the next line.
        QFile::setPermissions(path, QFileDevice::Permissions(0x6644));
        Log::write(QStringLiteral("otra línea"));
        QCOMPARE(TestSupport::ajenos(path), QFileDevice::Permissions());
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY(text.contains(QStringLiteral("Prueba: Pérez, Juan")));
        QVERIFY(text.contains(QStringLiteral("otra línea")));
    }

    void rotatesAtItsSize() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("mirabel.log"));
        Log::setFile(path);
        const QString line(1000, QLatin1Char('x'));
        for (int i = 0; i < int(Log::MaxSize / 1000) * 2 + 10; ++i)
            Log::write(line);
        QVERIFY(QFileInfo(path).size() <= Log::MaxSize + 1100);
        QVERIFY(QFileInfo::exists(path + QStringLiteral(".1")));
        QVERIFY(QFileInfo(path + QStringLiteral(".1")).size() <= Log::MaxSize + 1100);
        QCOMPARE(TestSupport::ajenos(path + QStringLiteral(".1")), QFileDevice::Permissions());
    }
};

MIRABEL_TEST_MAIN(tst_Log)
#include "tst_Log.moc"
