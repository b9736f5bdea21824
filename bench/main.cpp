// zil-bench: measures ZIL against baselines doing the same work, on synthetic
// databases it makes itself, and prints one table.
#include "benchutil.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

namespace zil::bench {
void runStore(const QString &work, const QList<int> &sizes);
void runStartUp(const QString &work, const QList<int> &sizes);
void runList(const QString &work, const QList<int> &sizes);
void runReport(const QString &work);
void runDetails(const QString &work, const QList<int> &sizes);
} // namespace zil::bench

int main(int argc, char **argv)
{
    // The windows of start-up are measured without a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString what = args.value(0, QStringLiteral("all"));
    const QStringList parts {QStringLiteral("store"), QStringLiteral("startup"),
        QStringLiteral("list"), QStringLiteral("report"), QStringLiteral("details")};
    auto usage = [&parts] {
        std::fprintf(stderr, "usage: zil-bench [all|%s] [[--synthetic] SIZE...]\n",
            qPrintable(parts.join(QLatin1Char('|'))));
        return 2;
    };
    if (what != QLatin1String("all") && !parts.contains(what))
        return usage();
    // Sizes of the synthetic databases; "--synthetic" before a size, as the
    // maker spells it, is taken too.
    QList<int> sizes;
    for (const QString &a : args.mid(1)) {
        if (a == QLatin1String("--synthetic"))
            continue;
        bool ok = false;
        const int n = a.toInt(&ok);
        if (!ok || n < 1)
            return usage();
        sizes << n;
    }
    if (sizes.isEmpty())
        sizes = {8000, 200000};

    QTemporaryDir work;
    if (!work.isValid()) {
        std::fprintf(stderr, "zil-bench: no temporary directory\n");
        return 1;
    }
    zil::bench::printHeader();
    zil::bench::printTableHeader();
    auto wanted = [&what](const char *part) {
        return what == QLatin1String("all") || what == QLatin1String(part);
    };
    if (wanted("store"))
        zil::bench::runStore(work.path(), sizes);
    if (wanted("startup"))
        zil::bench::runStartUp(work.path(), sizes);
    if (wanted("list"))
        zil::bench::runList(work.path(), sizes);
    if (wanted("report"))
        zil::bench::runReport(work.path());
    if (wanted("details"))
        zil::bench::runDetails(work.path(), sizes);
    return 0;
}
