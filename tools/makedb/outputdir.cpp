#include "outputdir.h"

#include "store/fileformat.h"
#include "store/filenames.h"
#include "store/schema.h"
#include "store/tablekey.h"
#include "tablewriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sqlcipher/sqlite3.h>

namespace zil::makedb {

namespace {

using platform::EntryKind;

const char *const sideFileSuffixes[] = {"-journal", "-wal", "-shm"};

} // namespace

std::int32_t nextGeneration(
    const std::vector<std::int32_t> &found, bool unreadable, std::int64_t now)
{
    std::int64_t next = 1;
    for (const std::int32_t g : found)
        next = std::max<std::int64_t>(next, std::int64_t(g) + 1);
    if (unreadable)
        next = std::max<std::int64_t>(next, now & 0x7fffffff);
    if (next > INT32_MAX)
        next = 1;
    while (next == 0 || std::find(found.begin(), found.end(), std::int32_t(next)) != found.end())
        next = next == INT32_MAX ? 1 : next + 1;
    return std::int32_t(next);
}

OutputDir::OutputDir(const QString &path, const QStringList &tables)
    : m_path(path)
    , m_tables(tables)
{ }

OutputDir::~OutputDir()
{
    m_old.close();
    if (m_work.isOpen()) {
        m_work.close();
        if (!m_keepWork)
            m_dir.removeTree(m_workName);
    }
    // Closing the marker ends the lock that kept other runs from removing it.
    m_marker.close();
    m_dir.close();
}

bool OutputDir::open(QString *error)
{
    if (!QDir().mkpath(m_path)) {
        *error = QStringLiteral("cannot create directory %1").arg(m_path);
        return false;
    }
    if (!m_dir.open(m_path)) {
        *error = QStringLiteral("cannot open directory %1: %2")
                     .arg(m_path, platform::systemErrorText(m_dir.error()));
        return false;
    }
    if (!lockDirectory(error))
        return false;
    // Listed once: a crowded directory costs one pass. No other run changes
    // its tables meanwhile.
    const QStringList names = m_dir.entries();
    removeStaleWorkDirs(names);
    if (!makeWorkDir(error))
        return false;
    readGeneration(names);
    return true;
}

bool OutputDir::lockDirectory(QString *error)
{
    // One run at a time writes a directory: two runs moving tables at once
    // could leave tables of both. Where the file system has no such locks,
    // the run goes on without.
    if (m_dir.lock(true, false) != platform::LockResult::Busy)
        return true;
    std::fprintf(stderr, "zil-makedb: waiting for another zil-makedb writing into %s\n",
        qPrintable(QDir::toNativeSeparators(m_path)));
    if (m_dir.lock(true, true) != platform::LockResult::Locked) {
        *error = QStringLiteral("cannot lock directory %1: %2")
                     .arg(m_path, platform::systemErrorText(m_dir.error()));
        return false;
    }
    return true;
}

QString OutputDir::describe(const QString &name) const
{
    return QDir(m_path).filePath(name);
}

void OutputDir::removeStaleWorkDirs(const QStringList &entries)
{
    const QString prefix = QLatin1String(workDirPrefix);
    for (const QString &name : entries) {
        if (!name.startsWith(prefix) || name.size() != prefix.size() + 6)
            continue;
        if (m_dir.kind(name, false) != EntryKind::Directory)
            continue;
        platform::Directory work;
        if (!work.openIn(m_dir, name))
            continue;
        platform::File marker = work.openRegular(QLatin1String(workMarkerName), false);
        const bool ours = marker.isOpen()
            && marker.read(qsizetype(sizeof store::makerWorkMarkerText))
                == QByteArray(workMarkerText);
        // A run that still lives holds the lock on its marker.
        const bool stopped = ours && marker.lock(false, false) == platform::LockResult::Locked;
        const auto committingKind
            = stopped ? work.kind(QLatin1String(committingName), false) : EntryKind::Missing;
        const bool committing
            = committingKind != EntryKind::Missing && committingKind != EntryKind::Unknown;
        work.close();
        if (committing) {
            // Stopped while it moved tables: some of the earlier ones may lie
            // only there, so the directory is left for a person to look at.
            m_notes << QStringLiteral("%1 was left by a run stopped while it replaced the "
                                      "tables and may hold earlier tables; it is kept")
                           .arg(describe(name));
        } else if (stopped) {
            if (m_dir.removeTree(name))
                m_notes << QStringLiteral("removed %1, left by a stopped run").arg(describe(name));
            else
                m_notes << QStringLiteral("cannot remove %1, left by a stopped run")
                               .arg(describe(name));
        }
    }
}

bool OutputDir::makeWorkDir(QString *error)
{
    int made = 0;
    m_workName
        = platform::Directory::makeUniqueDirectory(m_path, QLatin1String(workDirPrefix), &made);
    if (m_workName.isEmpty()) {
        *error = QStringLiteral("cannot create a working directory in %1: %2")
                     .arg(m_path, platform::systemErrorText(made));
        return false;
    }
    const QString old = QStringLiteral("old");
    // Each step's error is the one told when it fails.
    int failed = 0;
    if (!m_work.openIn(m_dir, m_workName)) {
        failed = m_work.error();
    } else if (m_marker = m_work.createExclusive(QLatin1String(workMarkerName));
               !m_marker.isOpen()) {
        failed = m_work.error();
    } else if (m_marker.lock(true, true) != platform::LockResult::Locked
        // Locked before it says what it is, so that no other run ever finds
        // it marked and unlocked while this one lives.
        || !m_marker.write(QByteArray(workMarkerText))) {
        failed = m_marker.error();
    } else if (!m_work.makeDirectory(old)) {
        failed = m_work.error();
    } else if (!m_old.openIn(m_work, old)) {
        failed = m_old.error();
    } else {
        return true;
    }
    *error = QStringLiteral("cannot create a working directory in %1: %2")
                 .arg(m_path, platform::systemErrorText(failed));
    return false;
}

QString OutputDir::newTablePath(const QString &table) const
{
    return QDir(QDir(m_path).filePath(m_workName)).filePath(table);
}

void OutputDir::readGeneration(const QStringList &entries)
{
    std::vector<std::int32_t> found;
    bool unreadable = false;
    for (const QString &entry : entries) {
        if (!m_tables.contains(entry, Qt::CaseInsensitive))
            continue;
        // Through a link too: the program reads the table it points at.
        if (m_dir.kind(entry, true) != EntryKind::Regular)
            continue;
        platform::File file = m_dir.openRegular(entry, true);
        if (!file.isOpen()) {
            unreadable = true;
            continue;
        }
        const QByteArray head = file.read(100);
        file.close();
        // A plain table keeps user_version in its header, big-endian at 60.
        if (head.startsWith(QByteArray("SQLite format 3\0", 16))) {
            if (head.size() == 100) {
                const auto *b = reinterpret_cast<const unsigned char *>(head.constData()) + 60;
                found.push_back(std::int32_t(quint32(b[0]) << 24 | quint32(b[1]) << 16
                    | quint32(b[2]) << 8 | quint32(b[3])));
            }
            continue;
        }
        if (head.isEmpty())
            continue;
        // A protected table hides its header: it is read with the key,
        // immutable so that nothing is written beside it.
        const QByteArray uri = QUrl::fromLocalFile(QDir(m_path).filePath(entry)).toEncoded()
            + "?mode=ro&immutable=1";
        sqlite3 *db = nullptr;
        sqlite3_stmt *stmt = nullptr;
        bool read = false;
        if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr)
                == SQLITE_OK
            && sqlite3_exec(db, store::tableKeyPragma(schema::programPassword()).constData(),
                   nullptr, nullptr, nullptr)
                == SQLITE_OK
            && sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW) {
            found.push_back(std::int32_t(sqlite3_column_int(stmt, 0)));
            read = true;
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        unreadable = unreadable || !read;
    }
    m_generation = nextGeneration(found, unreadable, QDateTime::currentSecsSinceEpoch());
}

bool OutputDir::moveAside(const QString &name, QString *error)
{
    const EntryKind kind = m_dir.kind(name, false);
    if (kind == EntryKind::Missing)
        return true;
    if (kind == EntryKind::Unknown) {
        *error = QStringLiteral("cannot look at %1: %2")
                     .arg(describe(name), platform::systemErrorText(m_dir.error()));
        return false;
    }
    if (kind != EntryKind::Regular && kind != EntryKind::Link) {
        *error = QStringLiteral("%1 is %2, where only a table file or its journal may stand")
                     .arg(describe(name), platform::entryKindText(kind));
        return false;
    }
    if (!m_dir.moveNoReplace(name, m_old, name)) {
        *error = QStringLiteral("cannot move %1 aside: %2")
                     .arg(describe(name), platform::systemErrorText(m_dir.error()));
        return false;
    }
    m_done.push_back({false, &m_dir, name, &m_old, name});
    return true;
}

bool OutputDir::moveTable(const QString &table, const QStringList &entries, QString *error)
{
    // What belongs to the earlier table goes aside with it: the same name in
    // another case, which the program would take for the table, and the
    // journal, WAL and shared-memory files of SQLite, which would otherwise
    // be played into the new table.
    for (const QString &entry : entries) {
        if (entry == table)
            continue;
        bool belongs = entry.compare(table, Qt::CaseInsensitive) == 0;
        for (const char *suffix : sideFileSuffixes)
            belongs
                = belongs || entry.compare(table + QLatin1String(suffix), Qt::CaseInsensitive) == 0;
        if (belongs && !moveAside(entry, error))
            return false;
    }

    const QString &name = table;
    const EntryKind kind = m_dir.kind(name, false);
    if (kind == EntryKind::Unknown) {
        *error = QStringLiteral("cannot look at %1: %2")
                     .arg(describe(name), platform::systemErrorText(m_dir.error()));
        return false;
    }
    if (kind != EntryKind::Missing) {
        if (kind != EntryKind::Regular && kind != EntryKind::Link) {
            *error = QStringLiteral("%1 is %2, not a table file")
                         .arg(describe(name), platform::entryKindText(kind));
            return false;
        }
        switch (m_work.exchange(name, m_dir, name)) {
        case platform::Directory::Exchange::Done:
            // Swapped in one step: the directory never lacks the table, and
            // the earlier one now lies where the new one was made.
            m_done.push_back({true, &m_work, name, &m_dir, name});
            return true;
        case platform::Directory::Exchange::Failed:
            *error = QStringLiteral("cannot move %1 into %2: %3")
                         .arg(table, m_path, platform::systemErrorText(m_work.error()));
            return false;
        case platform::Directory::Exchange::Unsupported:
            // The file system cannot swap two names: the earlier table is to
            // go aside first.
            if (!moveAside(name, error))
                return false;
            break;
        }
    }
    if (!m_work.moveNoReplace(name, m_dir, name)) {
        *error = QStringLiteral("cannot move %1 into %2: %3")
                     .arg(table, m_path, platform::systemErrorText(m_work.error()));
        return false;
    }
    m_done.push_back({false, &m_work, name, &m_dir, name});
    return true;
}

bool OutputDir::rollBack(QString *failures)
{
    QStringList failed;
    for (auto it = m_done.rbegin(); it != m_done.rend(); ++it) {
        const bool back = it->exchange ? it->toDir->exchange(it->to, *it->fromDir, it->from)
                == platform::Directory::Exchange::Done
                                       : it->toDir->moveNoReplace(it->to, *it->fromDir, it->from);
        if (!back)
            failed << QStringLiteral("%1 (%2)").arg(
                it->from, platform::systemErrorText(it->toDir->error()));
    }
    m_done.clear();
    *failures = failed.join(QStringLiteral(", "));
    return failed.isEmpty();
}

OutputDir::Outcome OutputDir::replaceTables(QString *error)
{
    // Stands in the working directory while tables move, so that a run
    // stopped meanwhile leaves it for a person instead of for removal.
    const QString committing = QLatin1String(committingName);
    if (!m_work.createExclusive(committing).isOpen()) {
        *error = QStringLiteral("cannot write in the working directory %1: %2")
                     .arg(describe(m_workName), platform::systemErrorText(m_work.error()));
        return Outcome::Unchanged;
    }
    m_work.sync();

    bool ok = true;
    const QStringList names = m_dir.entries();
    for (const QString &table : m_tables) {
        if (!moveTable(table, names, error)) {
            ok = false;
            break;
        }
    }
    if (ok) {
        m_dir.sync();
        m_done.clear();
        m_work.removeFile(committing);
        return Outcome::Replaced;
    }

    QString failures;
    if (rollBack(&failures)) {
        m_dir.sync();
        m_work.removeFile(committing);
        *error += QStringLiteral("; the earlier tables were put back and %1 is unchanged")
                      .arg(QDir::toNativeSeparators(m_path));
        return Outcome::Unchanged;
    }
    m_keepWork = true;
    *error += QStringLiteral("; putting the earlier files back failed for %1: they are kept in %2, "
                             "and %3 holds some of the new tables")
                  .arg(failures, describe(m_workName), QDir::toNativeSeparators(m_path));
    return Outcome::Mixed;
}

void OutputDir::removeIndexFiles()
{
    const QByteArray magic = QByteArray(store::indexFileMagicText) + '\n';
    for (const QString &entry : m_dir.entries()) {
        bool ofTable = false;
        for (const QString &table : m_tables)
            ofTable = ofTable || store::indexFileNumber(entry, store::tableBaseName(table));
        if (!ofTable)
            continue;
        // A file is an index only by what it holds, never by its name alone.
        platform::File file = m_dir.openRegular(entry, false);
        if (!file.isOpen())
            continue;
        const bool index = file.read(magic.size()) == magic;
        file.close();
        if (index && !m_dir.removeFile(entry))
            m_notes << QStringLiteral("cannot delete the earlier index file %1: %2")
                           .arg(describe(entry), platform::systemErrorText(m_dir.error()));
    }
}

} // namespace zil::makedb
