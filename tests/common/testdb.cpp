#include "testdb.h"

#include "store/indexfile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <sqlcipher/sqlite3.h>

namespace zil::test {

bool runMakeDb(const QStringList &args, QString *output)
{
    const QString maker = qEnvironmentVariable("ZIL_MAKEDB");
    if (maker.isEmpty()) {
        qWarning("ZIL_MAKEDB is not set");
        return false;
    }
    QProcess p;
    p.start(maker, args);
    if (!p.waitForFinished(300000)) {
        qWarning("zil-makedb did not finish");
        return false;
    }
    const QString all = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    if (output)
        *output = all;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("zil-makedb %s failed: %s", qPrintable(args.join(' ')), qPrintable(all));
        return false;
    }
    return true;
}

bool makeSynthetic(const QString &dir, int n, bool protect)
{
    QStringList args;
    if (protect)
        args << QStringLiteral("--protect");
    args << QStringLiteral("--synthetic") << QString::number(n) << dir;
    return runMakeDb(args);
}

QString scrollingDatabase()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString db = dir.filePath(QStringLiteral("scrolling"));
        return dir.isValid() && makeSynthetic(db, kScrollingMaterials) ? db : QString();
    }();
    return path;
}

bool copyDatabase(const QString &from, const QString &to)
{
    if (!QDir().mkpath(to))
        return false;
    const QFileInfoList files = QDir(from).entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo &file : files) {
        if (!QFile::copy(file.filePath(), QDir(to).filePath(file.fileName())))
            return false;
    }
    return !files.isEmpty();
}

bool execSql(const QString &path, const QString &sql)
{
    sqlite3 *db = nullptr;
    const bool ok = sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK
        && sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

void writeCsv(const QString &path, const QList<QStringList> &rows)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    for (const QStringList &row : rows) {
        QStringList quoted;
        for (QString field : row)
            quoted << QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\""))
                    + QLatin1Char('"');
        f.write(quoted.join(QLatin1Char(',')).toUtf8() + "\n");
    }
}

bool indexesCompleteWithin(const QString &dir, int ms)
{
    const QDeadlineTimer deadline(ms);
    while (!store::indexesComplete(dir)) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

QList<QByteArray> straceLines(const QString &log)
{
    static const QRegularExpression resumed(QStringLiteral("^(\\d+)\\s+<\\.\\.\\. \\w+ resumed>"));
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QHash<QByteArray, QByteArray> unfinished;
    QList<QByteArray> lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QByteArray pid = line.left(line.indexOf(' '));
        if (line.endsWith(" <unfinished ...>")) {
            unfinished[pid] = line.chopped(int(sizeof " <unfinished ...>") - 1);
        } else if (const auto m = resumed.match(QString::fromUtf8(line)); m.hasMatch()) {
            lines << unfinished.take(pid) + line.mid(m.capturedLength());
        } else {
            lines << line;
        }
    }
    return lines;
}

QString sourceDir()
{
    return qEnvironmentVariable("ZIL_SOURCE_DIR");
}

} // namespace zil::test
