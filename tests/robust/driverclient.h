// The driver program (zil-driver) on a database, one command at a time, as a
// test's workstation. Every wait is bounded, so a hang turns into a failure.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace zil::test {

// Makes dir a program directory whose settings file names the database db;
// with copyProgram the program (ZIL_PROGRAM) is copied there as well, so that
// it finds that settings file beside itself. dir, or empty on failure.
inline QString installProgram(const QString &dir, const QString &db, bool copyProgram)
{
    QDir().mkpath(dir);
    if (copyProgram && !QFile::copy(qEnvironmentVariable("ZIL_PROGRAM"), dir + "/zil"))
        return QString();
    QFile ini(dir + "/zil.INI");
    if (!ini.open(QIODevice::WriteOnly))
        return QString();
    ini.write("[Database]\nPath=" + db.toUtf8() + "\n");
    return dir;
}

class DriverClient
{
public:
    // The longest any single answer may take; it only turns a hang into a
    // failure, it measures nothing.
    static constexpr int answerBoundMs = 90000;

    // Starts the driver on the program in programDir; returns its first
    // answer ("started" or "failed").
    QString start(const QString &programDir)
    {
        m_process.setProgram(qEnvironmentVariable("ZIL_DRIVER"));
        m_process.setArguments({programDir + "/zil"});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        return readLine();
    }

    QString command(const QString &line)
    {
        m_process.write(line.toUtf8() + '\n');
        return readLine();
    }

    // The messages the program showed on the way, one line each.
    QStringList messages;

    ~DriverClient()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(answerBoundMs))
            m_process.kill();
        m_process.waitForFinished(-1);
    }

private:
    // The next answer; messages shown on the way are kept apart.
    QString readLine()
    {
        for (;;) {
            while (!m_process.canReadLine()) {
                if (m_process.state() == QProcess::NotRunning)
                    return QStringLiteral("(ended)");
                if (!m_process.waitForReadyRead(answerBoundMs))
                    return QStringLiteral("(no answer)");
            }
            const QString line = QString::fromUtf8(m_process.readLine()).chopped(1);
            if (!line.startsWith(QLatin1String("message ")))
                return line;
            messages << line.mid(8);
        }
    }

    QProcess m_process;
};

} // namespace zil::test
