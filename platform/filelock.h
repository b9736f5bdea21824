// Inter-process locks on files: many holders may share a lock, one holder
// may take it exclusively. Locks belong to the open file (flock), so two
// holders in one process conflict just as two processes would.
#pragma once

#include <QString>

namespace zil::platform {

// How taking a lock turned out.
enum class LockResult {
    Locked, // the lock is held
    Busy, // another holder has a conflicting lock
    Unavailable, // the file cannot be opened as a lock file, or its file
                 // system cannot lock it
};

// Locks the open descriptor fd, shared or exclusive, taken at once or waited
// for; *error, when given, takes the system's error number of a failure. The
// lock lasts until the descriptor is closed or unlocked.
LockResult lockDescriptor(int fd, bool exclusive, bool wait, int *error = nullptr);

// A lock on a lock file at its path, never waited for: taking it either
// succeeds at once or fails.
class FileLock
{
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Creates the lock file when missing. A lock file that is a symbolic
    // link or no regular file is Unavailable.
    LockResult lockShared(const QString &path);
    LockResult lockExclusive(const QString &path);
    void unlock();
    bool locked() const { return m_fd >= 0; }

private:
    LockResult lock(const QString &path, bool exclusive);
    int m_fd = -1;
};

} // namespace zil::platform
