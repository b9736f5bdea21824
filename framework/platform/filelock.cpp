#include "filelock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zil::platform {

FileLock::~FileLock()
{
    unlock();
}

FileLock::Result FileLock::lockShared(const QString &path)
{
    return lock(path, false);
}

FileLock::Result FileLock::lockExclusive(const QString &path)
{
    return lock(path, true);
}

FileLock::Result FileLock::lock(const QString &path, bool exclusive)
{
    unlock();
    const QByteArray name = path.toLocal8Bit();
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Result::Unavailable;
    // flock locks belong to the open file, so two cursors of one process that
    // each hold a lock file open conflict just as two processes would.
    int rc;
    do {
        rc = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? Result::Busy : Result::Unavailable;
    }
    m_fd = fd;
    return Result::Locked;
}

void FileLock::unlock()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}

} // namespace zil::platform
