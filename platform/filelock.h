// Inter-process locks on lock files: many holders may share a lock, one holder
// may take it exclusively. A lock is never waited for: taking it either
// succeeds at once or fails.
#pragma once

#include <QString>

namespace zil::platform {

class FileLock
{
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    enum class Result {
        Locked, // the lock is held
        Busy, // another holder has a conflicting lock
        Unavailable // the lock file cannot be created or opened
    };

    // Creates the lock file when missing. A lock file that is a symbolic
    // link or no regular file is Unavailable.
    Result lockShared(const QString &path);
    Result lockExclusive(const QString &path);
    void unlock();
    bool locked() const { return m_fd >= 0; }

private:
    Result lock(const QString &path, bool exclusive);
    int m_fd = -1;
};

} // namespace zil::platform
