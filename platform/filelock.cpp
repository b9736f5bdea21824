#include "filelock.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zil::platform {

LockResult lockDescriptor(int fd, bool exclusive, bool wait, int *error)
{
    const int operation = (exclusive ? LOCK_EX : LOCK_SH) | (wait ? 0 : LOCK_NB);
    for (;;) {
        if (::flock(fd, operation) == 0)
            return LockResult::Locked;
        if (errno == EINTR)
            continue;
        if (error)
            *error = errno;
        return errno == EWOULDBLOCK ? LockResult::Busy : LockResult::Unavailable;
    }
}

FileLock::~FileLock()
{
    unlock();
}

LockResult FileLock::lockShared(const QString &path)
{
    return lock(path, false);
}

LockResult FileLock::lockExclusive(const QString &path)
{
    return lock(path, true);
}

LockResult FileLock::lock(const QString &path, bool exclusive)
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
        return LockResult::Unavailable;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return LockResult::Unavailable;
    }
    // Two cursors of one process that each hold a lock file open conflict
    // just as two processes would.
    const LockResult result = lockDescriptor(fd, exclusive, false);
    if (result != LockResult::Locked) {
        ::close(fd);
        return result;
    }
    m_fd = fd;
    return result;
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
