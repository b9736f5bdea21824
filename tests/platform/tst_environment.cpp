// The environment variables the program answers to, and a message written to
// the message log instead of a box while the program runs.
#include "platform/environment.h"
#include "platform/messagebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zil::platform;

class TestEnvironment : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        qunsetenv("ZIL_MESSAGE_LOG");
        qunsetenv("ZIL_ANNOUNCE_IDLE");
    }
    void variablesReadAsTheyAreNow();
    void messagesGoToTheLogWhileItIsNamed();
};

void TestEnvironment::variablesReadAsTheyAreNow()
{
    qunsetenv("ZIL_MESSAGE_LOG");
    qunsetenv("ZIL_ANNOUNCE_IDLE");
    QVERIFY(programEnvironment().messageLog.isEmpty());
    QVERIFY(!programEnvironment().announceIdle);

    // Set without a value still asks for the announcement.
    qputenv("ZIL_ANNOUNCE_IDLE", "");
    QVERIFY(programEnvironment().announceIdle);
    qputenv("ZIL_ANNOUNCE_IDLE", "1");
    QVERIFY(programEnvironment().announceIdle);

    qputenv("ZIL_MESSAGE_LOG", "/tmp/ü messages.log");
    QCOMPARE(programEnvironment().messageLog, QStringLiteral("/tmp/ü messages.log"));
    qputenv("ZIL_MESSAGE_LOG", "");
    QVERIFY(programEnvironment().messageLog.isEmpty());
}

void TestEnvironment::messagesGoToTheLogWhileItIsNamed()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("messages.log"));

    // Any box that does come up is recorded and answered, so that a fault
    // shows as a failed check and not as a test that waits for a click.
    QStringList boxes;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    watcher.start(10);

    qputenv("ZIL_MESSAGE_LOG", QFile::encodeName(log));
    showError(nullptr, QStringLiteral("Cannot open\rMATERIAL.DB"));
    showWarning(nullptr, QStringLiteral("No material matches"));
    QVERIFY(boxes.isEmpty());

    // Once the variable is gone, the next message is a box again.
    qunsetenv("ZIL_MESSAGE_LOG");
    showWarning(nullptr, QStringLiteral("shown"));
    QCOMPARE(boxes, QStringList {QStringLiteral("shown")});

    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
        QByteArray("Error: Cannot open\\nMATERIAL.DB\nWarning: No material matches\n"));
}

QTEST_MAIN(TestEnvironment)
#include "tst_environment.moc"
