#include "finddatawriter.h"

#include "filenames.h"
#include "finddata.h"
#include "platform/filelock.h"
#include "storeerror.h"
#include "tablefile.h"

#include <QElapsedTimer>
#include <QThread>

namespace zil::store {

namespace {

// How long the file waits for the rebuild lock once it is made: the maker
// holds it while the files of a new database move in, a rebuild while it
// makes the indexes.
constexpr qint64 kLockWaitMs = 120000;

} // namespace

FindDataWriter::~FindDataWriter()
{
    stop();
}

void FindDataWriter::stop()
{
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    m_stop.store(false);
}

bool FindDataWriter::wait(int ms) const
{
    QElapsedTimer waited;
    waited.start();
    while (m_running.load()) {
        if (waited.elapsed() >= ms)
            return false;
        QThread::msleep(10);
    }
    return true;
}

void FindDataWriter::start(const QString &dir)
{
    stop();
    m_running.store(true);
    // The lock's path is taken here: its directory is state of the process
    // that the thread does not read.
    m_thread = std::thread([this, dir, lockPath = rebuildLockFile(dir)] {
        write(dir, lockPath, &m_stop);
        m_running.store(false);
    });
}

void FindDataWriter::write(QString dir, QString lockPath, std::atomic<bool> *stop)
{
    try {
        if (findDataComplete(dir))
            return;
        const std::optional<MadeFindData> made = makeFindData(dir, stop);
        if (!made)
            return;
        // Placed under the rebuild lock, so that the file put in is of the
        // tables as they are at that moment, never of tables that a new
        // database replaced meanwhile.
        platform::FileLock lock;
        QElapsedTimer waited;
        waited.start();
        while (lock.lockExclusive(lockPath) == platform::LockResult::Busy) {
            if (stop->load() || waited.elapsed() >= kLockWaitMs)
                return;
            QThread::msleep(100);
        }
        // Another workstation may have written the file meanwhile.
        if (stop->load() || findDataComplete(dir))
            return;
        const QString materials = findFileNoCase(dir, QStringLiteral("MATERIAL.DB"));
        const QString synonyms = findFileNoCase(dir, QStringLiteral("SYNON.DB"));
        if (TableFile::readIdentity(materials) != made->materials
            || TableFile::readIdentity(synonyms) != made->synonyms)
            return;
        placeFindData(dir, made->bytes);
    } catch (const std::exception &) {
        // The tables could not be read whole, or the file not made or
        // written: it stays wanting, Find makes its data in memory, and the
        // next start tries again.
    }
}

} // namespace zil::store
