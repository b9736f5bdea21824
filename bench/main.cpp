// zil-bench: measures ZIL against baselines doing the same work, on synthetic
// databases it makes itself, and prints one table.
#include "benchutil.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

namespace zil::bench {
void runStore(const QString &work, const QList<int> &sizes);
void runStartUp(const QString &work, const QList<int> &sizes);
void runReport(const QString &work);
} // namespace zil::bench

int main(int argc, char **argv)
{
    // The windows of start-up are measured without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString what = args.value(0, QStringLiteral("all"));
    if (what != QLatin1String("all") && what != QLatin1String("store")
        && what != QLatin1String("startup") && what != QLatin1String("report")) {
        std::fprintf(stderr, "usage: zil-bench [all|store|startup|report] [SIZE...]\n");
        return 2;
    }
    QList<int> sizes;
    for (const QString &a : args.mid(1))
        sizes << a.toInt();
    if (sizes.isEmpty())
        sizes = {8000, 200000};

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "zil-bench: no temporary directory\n");
        return 1;
    }
    zil::bench::printHeader();
    zil::bench::printTableHeader();
    const bool all = what == QLatin1String("all");
    if (all || what == QLatin1String("store"))
        zil::bench::runStore(work.path(), sizes);
    if (all || what == QLatin1String("startup"))
        zil::bench::runStartUp(work.path(), sizes);
    if (all || what == QLatin1String("report"))
        zil::bench::runReport(work.path());
    return 0;
}
