#include "benchutil.h"

#include "framework/platform/files.h"
#include "store/indexfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <cstdio>

namespace zil::bench {

Sample measure(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

static QString cpuModel()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : f.readAll().split('\n')) {
            if (line.startsWith("model name"))
                return QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
        }
    }
    return QStringLiteral("unknown CPU");
}

void printHeader()
{
    std::printf("machine: %s, %d cores\n", qPrintable(cpuModel()), QThread::idealThreadCount());
    std::printf("build: %s\n", ZIL_BUILD_TYPE);
}

static QString human(double seconds)
{
    if (seconds < 1e-3)
        return QStringLiteral("%1 us").arg(seconds * 1e6, 0, 'f', 2);
    if (seconds < 1)
        return QStringLiteral("%1 ms").arg(seconds * 1e3, 0, 'f', 2);
    return QStringLiteral("%1 s").arg(seconds, 0, 'f', 3);
}

void printTableHeader()
{
    std::printf("\n%-44s %8s %12s %12s %12s %12s %7s  %s\n", "operation", "size", "median", "worst",
        "base median", "base worst", "ratio", "baseline");
}

void printRow(const QString &operation, const QString &size, const Sample &ours,
    const Sample &baseline, const QString &baselineName)
{
    if (baseline.median <= 0) {
        // A figure without a baseline in this run.
        std::printf("%-44s %8s %12s %12s %12s %12s %7s  %s\n", qPrintable(operation),
            qPrintable(size), qPrintable(human(ours.median)), qPrintable(human(ours.worst)), "-",
            "-", "-", qPrintable(baselineName));
    } else {
        std::printf("%-44s %8s %12s %12s %12s %12s %7.2f  %s\n", qPrintable(operation),
            qPrintable(size), qPrintable(human(ours.median)), qPrintable(human(ours.worst)),
            qPrintable(human(baseline.median)), qPrintable(human(baseline.worst)),
            ours.median / baseline.median, qPrintable(baselineName));
    }
    std::fflush(stdout);
}

bool makeDatabase(const QString &dir, int n, bool indexed)
{
    QProcess maker;
    maker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    maker.start(
        QStringLiteral(ZIL_MAKEDB_PATH), {QStringLiteral("--synthetic"), QString::number(n), dir});
    if (!maker.waitForFinished(-1) || maker.exitCode() != 0)
        return false;
    if (!indexed)
        return true;
    store::indexDatabase(dir);
    return true;
}

void pointProgramAt(const QString &programDir, const QString &dbDir)
{
    QDir().mkpath(programDir);
    QFile ini(programDir + QStringLiteral("/zil.INI"));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("bench: cannot write %s", qPrintable(ini.fileName()));
    ini.write("[Database]\nPath=" + dbDir.toUtf8() + "/\n");
    ini.close();
    const QString programFile = programDir + QStringLiteral("/zil");
    platform::setProgramFilePathHook([programFile] { return programFile; });
}

} // namespace zil::bench
