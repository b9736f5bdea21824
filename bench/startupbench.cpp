// Start-up of the main window on synthetic databases: the time StartUp takes
// from its start to its return, with and without the index rebuild of a first
// start, and the resident memory afterwards.
#include "benchutil.h"

#include "framework/platform/files.h"
#include "framework/platform/messagebox.h"
#include "shell/Zil0.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QWidget>
#include <cstdio>

namespace zil::bench {

namespace {

qint64 residentKiB(const QString &pid = QStringLiteral("self"))
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The resident memory of a real zil process on the database, once start-up
// is over: the program is copied beside a settings file of its own, run on
// the offscreen platform, and read when its memory has stayed the same for a
// second.
qint64 residentOfProgram(const QString &programDir)
{
    const QString program = programDir + QStringLiteral("/zil");
    QFile::remove(program);
    if (!QFile::copy(QStringLiteral(ZIL_PROGRAM_PATH), program))
        return -1;
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    QProcess zil;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    zil.setProcessEnvironment(env);
    zil.start(program, {});
    if (!zil.waitForStarted())
        return -1;
    const QString pid = QString::number(zil.processId());
    qint64 last = -1;
    int steady = 0;
    for (int i = 0; i < 1200 && steady < 20 && zil.state() == QProcess::Running; ++i) {
        QThread::msleep(50);
        const qint64 now = residentKiB(pid);
        steady = now == last ? steady + 1 : 0;
        last = now;
    }
    zil.kill();
    zil.waitForFinished();
    return last;
}

double timeStartUp(bool &ok)
{
    TMainForm form;
    QElapsedTimer timer;
    timer.start();
    ok = form.StartUp();
    return double(timer.nsecsElapsed()) / 1e9;
}

} // namespace

void runStartUp(const QString &work, const QList<int> &sizes)
{
    platform::setMessageBoxHook([](platform::MessageKind, const QString &, const QString &text) {
        std::fprintf(stderr, "zil-bench: message: %s\n", qPrintable(text));
    });
    for (int n : sizes) {
        const QString dir = QDir(work).filePath(QStringLiteral("startup-%1").arg(n));
        const QString program = QDir(work).filePath(QStringLiteral("prog-%1").arg(n));
        QDir().mkpath(dir);
        if (!makeDatabase(dir, n, false))
            qFatal("bench: cannot make a database of %d materials", n);
        pointProgramAt(program, dir);

        bool ok = false;
        const Sample first {timeStartUp(ok), 0};
        if (!ok)
            qFatal("bench: start-up failed on %d materials", n);
        const int runs = n > 50000 ? 5 : 9;
        const Sample later = measure(runs, [&] { timeStartUp(ok); });
        printRow(QStringLiteral("StartUp, first start (index rebuild)"), QString::number(n),
            {first.median, first.median}, {}, QStringLiteral("(one run)"));
        printRow(
            QStringLiteral("StartUp, indexes present"), QString::number(n), later, {}, QString());
        std::printf("%-44s %8d %12s\n", "resident memory of zil after start-up", n,
            qPrintable(
                QStringLiteral("%1 MiB").arg(residentOfProgram(program) / 1024.0, 0, 'f', 1)));
        platform::setProgramFilePathHook({});
    }
}

} // namespace zil::bench
