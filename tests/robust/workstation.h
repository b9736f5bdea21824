// What the workstation tests share: the program started as a user starts it,
// and the rows that two versions of one database show, to tell whether a
// workstation ever shows the two mixed.
#pragma once

#include "driverclient.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

namespace zil::test {

// Starts the program in programDir on the offscreen platform; it says "idle"
// once its window is up, and its messages go to the file log.
inline std::unique_ptr<QProcess> startZil(const QString &programDir, const QString &log)
{
    auto p = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("ZIL_ANNOUNCE_IDLE", "1");
    env.insert("ZIL_MESSAGE_LOG", log);
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(programDir + "/zil", {});
    p->waitForStarted(DriverClient::answerBoundMs);
    return p;
}

// The environment of a program run under strace: the leak check of a
// sanitized build stops the world through ptrace, which a traced program
// cannot.
inline QProcessEnvironment tracedEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    return env;
}

// Waits for a program started by startZil to say "idle"; false when it ended
// or said anything else first.
inline bool waitIdle(QProcess &p)
{
    while (!p.canReadLine() && p.state() == QProcess::Running)
        p.waitForReadyRead(DriverClient::answerBoundMs);
    return p.readLine().trimmed() == "idle";
}

// The lines of a message log; none when there is no log.
inline QStringList logOf(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// The answers of a fresh workstation on the program in programDir.
inline QStringList answersOf(const QString &programDir, const QStringList &commands)
{
    DriverClient d;
    if (d.start(programDir) != QLatin1String("started"))
        return {};
    QStringList seen;
    for (const QString &c : commands)
        seen << d.command(c);
    return seen;
}

// The rows of the material list that an old and a new database show, as
// fresh workstations read them; every row differs between the two.
struct TwoVersions
{
    QList<int> rows {1, 2, 700, 1500, 2999};
    QStringList before, after;

    QStringList commands() const
    {
        QStringList c;
        for (int row : rows)
            c << QStringLiteral("row %1").arg(row);
        return c;
    }

    // Reads both versions from programs set up on them; false when a row
    // reads the same in both.
    bool read(const QString &oldProgram, const QString &newProgram)
    {
        before = answersOf(oldProgram, commands());
        after = answersOf(newProgram, commands());
        if (before.size() != rows.size() || after.size() != rows.size())
            return false;
        for (int i = 0; i < rows.size(); ++i)
            if (before[i] == after[i])
                return false;
        return true;
    }

    // The first row the workstation now shows that is neither wholly old
    // nor wholly new, with both versions; empty when there is none.
    QString mixedRow(DriverClient &d) const
    {
        for (int i = 0; i < rows.size(); ++i) {
            const QString seen = d.command(QStringLiteral("row %1").arg(rows[i]));
            if (seen != before[i] && seen != after[i])
                return seen + "\nold: " + before[i] + "\nnew: " + after[i];
        }
        return QString();
    }

    // The first row the workstation now shows with any field that only the
    // new version has: for a directory whose new database is never whole.
    QString newDataShown(DriverClient &d) const
    {
        for (int i = 0; i < rows.size(); ++i) {
            const QString seen = d.command(QStringLiteral("row %1").arg(rows[i]));
            const QStringList fields = seen.split('|'), oldFields = before[i].split('|'),
                              newFields = after[i].split('|');
            for (qsizetype f = 0; f < fields.size() && f < newFields.size(); ++f) {
                if (fields[f] == newFields[f]
                    && (f >= oldFields.size() || fields[f] != oldFields[f]))
                    return seen + "\nold: " + before[i] + "\nnew: " + after[i];
            }
        }
        return QString();
    }

    // The rows the workstation shows once it has looked at the tables again.
    QStringList now(DriverClient &d) const
    {
        d.command("row 5");
        QStringList seen;
        for (int row : rows)
            seen << d.command(QStringLiteral("row %1").arg(row));
        return seen;
    }
};

} // namespace zil::test
