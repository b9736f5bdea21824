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
#include <QWidget>
#include <cstdio>

namespace zil::bench {

namespace {

qint64 residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
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
        QDir().mkpath(program);
        if (!makeDatabase(dir, n, false))
            qFatal("bench: cannot make a database of %d materials", n);
        QFile ini(program + QStringLiteral("/zil.INI"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Database]\nPath=" + dir.toUtf8() + "/\n");
        ini.close();
        const QString programFile = program + QStringLiteral("/zil");
        platform::setProgramFilePathHook([programFile] { return programFile; });

        bool ok = false;
        const Sample first {timeStartUp(ok), 0};
        if (!ok)
            qFatal("bench: start-up failed on %d materials", n);
        const int runs = n > 50000 ? 5 : 9;
        const Sample later = measure(runs, [&] { timeStartUp(ok); });
        const qint64 before = residentKiB();
        {
            TMainForm form;
            form.StartUp();
            const qint64 after = residentKiB();
            std::printf("%-44s %8d %12s %12s\n", "resident memory after StartUp (KiB)", n,
                qPrintable(QString::number(after)),
                qPrintable(QStringLiteral("+%1").arg(after - before)));
        }
        const Sample base = measure(runs, [&] {
            QWidget w;
            w.resize(590, 450);
            w.show();
            w.repaint();
        });
        printRow(QStringLiteral("StartUp, first start (index rebuild)"), QString::number(n), first,
            base, QStringLiteral("show and paint one empty 590x450 window"));
        printRow(QStringLiteral("StartUp, indexes present"), QString::number(n), later, base,
            QStringLiteral("show and paint one empty 590x450 window"));
        platform::setProgramFilePathHook({});
    }
}

} // namespace zil::bench
