#include "benchutil.h"

#include "framework/platform/files.h"
#include "framework/platform/messagebox.h"
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

Sample measureEach(int count, const std::function<void(int)> &work)
{
    std::vector<double> times;
    times.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        work(i);
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

Sample summary(std::vector<double> figures)
{
    std::sort(figures.begin(), figures.end());
    return {figures[figures.size() / 2], figures.back()};
}

double seconds(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
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

namespace {

struct Row
{
    QString operation;
    QString size;
    Sample ours;
    Sample baseline;
    QString baselineName;
    Unit unit;
};

std::vector<Row> &rows()
{
    static std::vector<Row> all;
    return all;
}

QString figure(double value, Unit unit)
{
    return unit == Unit::MiB ? QStringLiteral("%1 MiB").arg(value, 0, 'f', 1) : human(value);
}

QString line(const Row &r, const QString &growth)
{
    const bool based = r.baseline.median > 0;
    return QString::asprintf("%-44s %7s %11s %11s %11s %11s %7s %-13s %s", qPrintable(r.operation),
        qPrintable(r.size), qPrintable(figure(r.ours.median, r.unit)),
        qPrintable(figure(r.ours.worst, r.unit)),
        based ? qPrintable(figure(r.baseline.median, r.unit)) : "-",
        based ? qPrintable(figure(r.baseline.worst, r.unit)) : "-",
        based ? qPrintable(QString::number(r.ours.median / r.baseline.median, 'f', 2)) : "-",
        qPrintable(growth), qPrintable(r.baselineName));
}

} // namespace

void printRow(const QString &operation, const QString &size, const Sample &ours,
    const Sample &baseline, const QString &baselineName, Unit unit)
{
    rows().push_back({operation, size, ours, baseline, baselineName, unit});
    std::fprintf(stderr, "zil-bench: %s\n", qPrintable(line(rows().back(), QString())));
}

void printTable()
{
    std::printf("\n%-44s %7s %11s %11s %11s %11s %7s %-13s %s\n", "operation", "size", "median",
        "worst", "base median", "base worst", "ratio", "growth", "baseline");
    // Growth: the median of a row over the median of the same operation and
    // baseline at the smallest size, beside the growth of the size itself.
    for (const Row &r : rows()) {
        QString growth = QStringLiteral("-");
        bool ok = false;
        const int n = r.size.toInt(&ok);
        if (ok) {
            const Row *smallest = nullptr;
            for (const Row &s : rows()) {
                bool sizeOk = false;
                const int m = s.size.toInt(&sizeOk);
                if (sizeOk && m < n && s.operation == r.operation
                    && s.baselineName == r.baselineName
                    && (!smallest || m < smallest->size.toInt()))
                    smallest = &s;
            }
            if (smallest && smallest->ours.median > 0) {
                growth = QStringLiteral("x%1 (n x%2)")
                             .arg(r.ours.median / smallest->ours.median, 0, 'f', 1)
                             .arg(double(n) / smallest->size.toInt(), 0, 'f', 0);
            }
        }
        std::printf("%s\n", qPrintable(line(r, growth)));
    }
    std::fflush(stdout);
}

void reportMessages()
{
    platform::setMessageBoxHook([](platform::MessageKind, const QString &, const QString &text) {
        std::fprintf(stderr, "zil-bench: message: %s\n", qPrintable(text));
    });
}

namespace {

// Writes the settings file of the program directory name under work; the
// directory.
QString writeProgramDir(const QString &work, const QString &name, const QString &db)
{
    const QString program = QDir(work).filePath(name);
    QDir().mkpath(program);
    QFile ini(program + QStringLiteral("/zil.INI"));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("bench: cannot write %s", qPrintable(ini.fileName()));
    ini.write("[Database]\nPath=" + db.toUtf8() + "/\n");
    ini.close();
    return program;
}

} // namespace

InstalledProgram::InstalledProgram(const QString &work, const QString &name, const QString &db)
    : dir(writeProgramDir(work, name, db))
    , m_programFile([programFile = dir + QStringLiteral("/zil")] { return programFile; })
{ }

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

void ensureIndexed(Database &db)
{
    if (db.indexed)
        return;
    store::indexDatabase(db.dir);
    db.indexed = true;
}

} // namespace zil::bench
