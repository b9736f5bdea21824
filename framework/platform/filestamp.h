// What tells that a file changed or was replaced: its identity on its device,
// its size and its modification time to the nanosecond.
#pragma once

#include <QString>
#include <QtGlobal>

namespace zil::platform {

struct FileStamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 modifiedNs = 0;

    bool operator==(const FileStamp &) const = default;
};

// The stamp of the file or directory at path; a path that names nothing
// gives a stamp with exists false. A file renamed over another one has an
// identity of its own even when it is written within the same millisecond
// and has the same size.
FileStamp fileStamp(const QString &path);

} // namespace zil::platform
