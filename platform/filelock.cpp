#include "filelock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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
    const QByteArray name = QFile::encodeName(path);
    // A lock file is only ever the regular file at its own name: a symbolic
    // link standing there is not followed (nothing is created or locked
    // where it points), and a FIFO or device is not waited on.
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(name.constData(), O_RDWR | O_CREAT | flags, 0666);
    if (fd < 0 && errno != ELOOP)
        fd = ::open(name.constData(), O_RDONLY | flags);
    if (fd < 0)
        return Result::Unavailable;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Result::Unavailable;
    }
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
