#include "outputdir.h"

#include "platform/filestamp.h"
#include "store/fileformat.h"
#include "store/filenames.h"
#include "store/finddata.h"
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/tablekey.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sqlcipher/sqlite3.h>

namespace zil::makedb {

namespace {

using platform::Directory;
using platform::EntryKind;

const char *const sideFileSuffixes[] = {"-journal", "-wal", "-shm"};

const QByteArray sqliteMagic("SQLite format 3\0", 16);

quint32 bigEndian32(const QByteArray &bytes, int at)
{
    const auto *b = reinterpret_cast<const uchar *>(bytes.constData()) + at;
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

// A table file opened to be looked at, whatever the length of its path:
// read-only and immutable, so that no journal beside it is played and nothing
// is written beside it. Protected with the program's key when asked.
class TableLook
{
public:
    TableLook(const QString &path, bool keyed)
    {
        const platform::OpenablePath name(path);
        if (name.name().isEmpty())
            return;
        const QByteArray uri = "file:"
            + QUrl::toPercentEncoding(QFile::decodeName(name.name()), "/") + "?mode=ro&immutable=1";
        if (sqlite3_open_v2(uri.constData(), &m_db,
                SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
            return;
        }
        if (keyed
            && sqlite3_exec(m_db, store::tableKeyPragma(schema::programPassword()).constData(),
                   nullptr, nullptr, nullptr)
                != SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }
    ~TableLook() { sqlite3_close(m_db); }
    TableLook(const TableLook &) = delete;
    TableLook &operator=(const TableLook &) = delete;

    // The one integer a query answers; nullopt when the file cannot be read.
    std::optional<qint64> integer(const char *sql, const QString &argument = QString()) const
    {
        sqlite3_stmt *stmt = nullptr;
        std::optional<qint64> value;
        if (m_db && sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr) == SQLITE_OK) {
            const QByteArray arg = argument.toUtf8();
            if (!argument.isNull())
                sqlite3_bind_text(stmt, 1, arg.constData(), int(arg.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(stmt) == SQLITE_ROW)
                value = sqlite3_column_int64(stmt, 0);
        }
        sqlite3_finalize(stmt);
        return value;
    }

private:
    sqlite3 *m_db = nullptr;
};

// The first 100 bytes of a file that can be a table, links followed as the
// program follows them; nullopt for anything shorter or no regular file.
std::optional<QByteArray> tableHeader(const QString &path)
{
    std::optional<QByteArray> head = platform::readRegularFile(path, 100, true);
    if (!head || head->size() < 100)
        return std::nullopt;
    return head;
}

// The generation (user_version) a table file is stamped with; nullopt when it
// cannot be read, plain or with the program's key.
std::optional<std::int32_t> tableGeneration(const QString &path)
{
    const std::optional<QByteArray> head = tableHeader(path);
    if (!head)
        return std::nullopt;
    // A plain table keeps user_version in its header, big-endian at 60.
    if (head->startsWith(sqliteMagic))
        return std::int32_t(bigEndian32(*head, 60));
    // A protected table hides its header.
    const std::optional<qint64> g = TableLook(path, true).integer("PRAGMA user_version");
    return g ? std::optional<std::int32_t>(std::int32_t(*g)) : std::nullopt;
}

// Whether the file at path is a table of this program of the file name
// `fileName`: stamped as one, holding the table of that name (as the tables of
// earlier makers did, which carry no stamp), or protected with the program's
// key.
bool isZilTable(const QString &path, const QString &fileName)
{
    const std::optional<QByteArray> head = tableHeader(path);
    if (!head)
        return false;
    if (head->startsWith(sqliteMagic)) {
        if (std::int32_t(bigEndian32(*head, 68)) == store::tableApplicationId)
            return true;
        const schema::TableDef *table = schema::findTable(fileName);
        return table
            && TableLook(path, false)
                   .integer("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?1 "
                            "COLLATE NOCASE",
                       table->tableName())
                   .value_or(0)
            > 0;
    }
    return TableLook(path, true).integer("SELECT count(*) FROM sqlite_master").has_value();
}

const char *foundWord(CommitStep::Found found)
{
    switch (found) {
    case CommitStep::Found::SideFile:
        return "side";
    case CommitStep::Found::TableFile:
        return "table";
    case CommitStep::Found::IndexFile:
        return "index";
    }
    return "";
}

const char *kindWord(CommitStep::Kind kind)
{
    switch (kind) {
    case CommitStep::Kind::Aside:
        return "aside";
    case CommitStep::Kind::Index:
        return "index";
    case CommitStep::Kind::Rename:
        return "rename";
    case CommitStep::Kind::Table:
        return "table";
    }
    return "";
}

const QByteArray journalHeading = "zil-makedb commit journal 1";

// The steps of a commit taken between the directory, the working directory
// and its "old", each only where it is not taken already; what was moved is
// remembered so that it can be put back.
class Commit
{
public:
    Commit(const Directory &dir, const QString &dirPath, const Directory &work,
        const QString &workPath, const Directory &old, std::int32_t generation)
        : m_dir(dir)
        , m_dirPath(dirPath)
        , m_work(work)
        , m_workPath(workPath)
        , m_old(old)
        , m_generation(generation)
    { }

    bool take(const CommitStep &step, QString *error)
    {
        switch (step.kind) {
        case CommitStep::Kind::Aside:
            return aside(step, error);
        case CommitStep::Kind::Index:
            return index(step.name, error);
        case CommitStep::Kind::Rename:
            return rename(step.name, step.to, error);
        case CommitStep::Kind::Table:
            return table(step.name, error);
        }
        return false;
    }

    // Undoes the moves made, the last first; false with the files that could
    // not be put back.
    bool rollBack(QString *failures)
    {
        QStringList failed;
        for (auto it = m_done.rbegin(); it != m_done.rend(); ++it) {
            const bool back = it->exchange
                ? it->toDir->exchange(it->to, *it->fromDir, it->from) == Directory::Exchange::Done
                : it->toDir->moveNoReplace(it->to, *it->fromDir, it->from);
            if (!back)
                failed << QStringLiteral("%1 (%2)").arg(
                    it->from, platform::systemErrorText(it->toDir->error()));
        }
        m_done.clear();
        *failures = failed.join(QStringLiteral(", "));
        return failed.isEmpty();
    }

    QStringList notes() const { return m_notes; }

private:
    struct Move
    {
        bool exchange; // swapped with the file at the target, not moved there
        const Directory *fromDir;
        QString from;
        const Directory *toDir;
        QString to;
    };

    QString inDir(const QString &name) const { return QDir(m_dirPath).filePath(name); }
    QString inWork(const QString &name) const { return QDir(m_workPath).filePath(name); }

    bool lookAt(const QString &name, EntryKind *kind, QString *error) const
    {
        *kind = m_dir.kind(name, false);
        if (*kind != EntryKind::Unknown)
            return true;
        *error = QStringLiteral("cannot look at %1: %2")
                     .arg(inDir(name), platform::systemErrorText(m_dir.error()));
        return false;
    }

    bool move(const Directory &from, const QString &fromName, const Directory &to,
        const QString &toName, QString *error)
    {
        if (!from.moveNoReplace(fromName, to, toName)) {
            *error = QStringLiteral("%1 %2: %3")
                         .arg(&to == &m_old ? QStringLiteral("cannot move aside")
                                            : QStringLiteral("cannot move into place"),
                             &from == &m_dir ? inDir(fromName) : inWork(fromName),
                             platform::systemErrorText(from.error()));
            return false;
        }
        m_done.push_back({false, &from, fromName, &to, toName});
        return true;
    }

    bool aside(const CommitStep &step, QString *error)
    {
        EntryKind kind;
        if (!lookAt(step.name, &kind, error))
            return false;
        if (kind == EntryKind::Missing)
            return true;
        if (kind != EntryKind::Regular && kind != EntryKind::Link) {
            *error = QStringLiteral("%1 is %2, where only a table file or its journal may stand")
                         .arg(inDir(step.name), platform::entryKindText(kind));
            return false;
        }
        // Only what it was found to be goes: a file that took its name since
        // stays.
        const QString path = inDir(step.name);
        const bool still = step.found == CommitStep::Found::SideFile
            || (step.found == CommitStep::Found::TableFile && isZilTable(path, step.name))
            || (step.found == CommitStep::Found::IndexFile && store::isIndexFile(path));
        if (!still) {
            m_notes
                << QStringLiteral("%1 is no longer what was to be replaced and is kept").arg(path);
            return true;
        }
        return move(m_dir, step.name, m_old, step.name, error);
    }

    bool index(const QString &name, QString *error)
    {
        // Moved in already when the working directory no longer holds it.
        if (m_work.kind(name, false) == EntryKind::Missing)
            return true;
        EntryKind kind;
        if (!lookAt(name, &kind, error))
            return false;
        if (kind != EntryKind::Missing) {
            if (!store::mayWriteIndexFileAt(inDir(name))) {
                *error = QStringLiteral("%1 is not an index file of ZIL").arg(inDir(name));
                return false;
            }
            // A workstation may have rebuilt the index after an earlier run of
            // this commit set the one before it aside: that one is kept, and
            // the rebuilt one, which the new file replaces, only goes.
            if (m_old.kind(name, false) != EntryKind::Missing) {
                if (!m_dir.removeFile(name)) {
                    *error = QStringLiteral("cannot delete %1: %2")
                                 .arg(inDir(name), platform::systemErrorText(m_dir.error()));
                    return false;
                }
            } else if (!move(m_dir, name, m_old, name, error)) {
                return false;
            }
        }
        return move(m_work, name, m_dir, name, error);
    }

    bool rename(const QString &name, const QString &to, QString *error)
    {
        EntryKind kind;
        if (!lookAt(name, &kind, error))
            return false;
        if (kind == EntryKind::Missing)
            return true;
        if (!isZilTable(inDir(name), name)) {
            m_notes << QStringLiteral("%1 is no longer what was to be replaced and is kept")
                           .arg(inDir(name));
            return true;
        }
        // On a file system that ignores case (a share, a memory stick) the
        // table answers to the other name already.
        const platform::FileStamp from = platform::fileStamp(inDir(name));
        const platform::FileStamp at = platform::fileStamp(inDir(to));
        if (at.exists && at.device == from.device && at.inode == from.inode)
            return true;
        return move(m_dir, name, m_dir, to, error);
    }

    bool table(const QString &name, QString *error)
    {
        // The new table carries a generation that no earlier one had.
        if (tableGeneration(inDir(name)) == m_generation)
            return true;
        if (tableGeneration(inWork(name)) != m_generation) {
            *error = QStringLiteral("the new %1 in %2 cannot be read").arg(name, m_workPath);
            return false;
        }
        EntryKind kind;
        if (!lookAt(name, &kind, error))
            return false;
        if (kind == EntryKind::Missing)
            return move(m_work, name, m_dir, name, error);
        if (kind != EntryKind::Regular && kind != EntryKind::Link) {
            *error = QStringLiteral("%1 is %2, not a table file")
                         .arg(inDir(name), platform::entryKindText(kind));
            return false;
        }
        switch (m_work.exchange(name, m_dir, name)) {
        case Directory::Exchange::Done:
            // Swapped in one step: the directory never lacks the table, and
            // the earlier one now lies where the new one was made.
            m_done.push_back({true, &m_work, name, &m_dir, name});
            return true;
        case Directory::Exchange::Failed:
            *error = QStringLiteral("cannot move %1 into place: %2")
                         .arg(inWork(name), platform::systemErrorText(m_work.error()));
            return false;
        case Directory::Exchange::Unsupported:
            // The file system cannot swap two names: the earlier table goes
            // aside first.
            break;
        }
        return move(m_dir, name, m_old, name, error) && move(m_work, name, m_dir, name, error);
    }

    const Directory &m_dir;
    QString m_dirPath;
    const Directory &m_work;
    QString m_workPath;
    const Directory &m_old;
    std::int32_t m_generation;
    std::vector<Move> m_done;
    QStringList m_notes;
};

} // namespace

std::int32_t nextGeneration(
    const std::vector<std::int32_t> &found, const std::function<quint32()> &draw)
{
    for (;;) {
        const auto g = std::int32_t(draw() & 0x7fffffffu);
        if (g != 0 && std::find(found.begin(), found.end(), g) == found.end())
            return g;
    }
}

QByteArray CommitJournal::encode() const
{
    QByteArray text = journalHeading + '\n';
    text += "generation " + QByteArray::number(generation) + '\n';
    for (const CommitStep &s : steps) {
        text += kindWord(s.kind);
        if (s.kind == CommitStep::Kind::Aside)
            text += QByteArray(" ") + foundWord(s.found);
        text += ' ' + QUrl::toPercentEncoding(s.name);
        if (s.kind == CommitStep::Kind::Rename)
            text += ' ' + QUrl::toPercentEncoding(s.to);
        text += '\n';
    }
    return text + "end\n";
}

std::optional<CommitJournal> CommitJournal::decode(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    // The text ends with a line break, so the last piece is empty.
    if (lines.size() < 4 || lines.takeLast() != QByteArray() || lines.takeLast() != "end"
        || lines.takeFirst() != journalHeading)
        return std::nullopt;
    CommitJournal journal;
    const QList<QByteArray> generation = lines.takeFirst().split(' ');
    bool ok = false;
    if (generation.size() != 2 || generation[0] != "generation")
        return std::nullopt;
    journal.generation = generation[1].toInt(&ok);
    if (!ok || journal.generation == 0)
        return std::nullopt;
    const auto name = [](const QByteArray &encoded) { return QUrl::fromPercentEncoding(encoded); };
    for (const QByteArray &line : lines) {
        const QList<QByteArray> w = line.split(' ');
        CommitStep s;
        if (w.size() == 3 && w[0] == "aside") {
            s.kind = CommitStep::Kind::Aside;
            if (w[1] == "side")
                s.found = CommitStep::Found::SideFile;
            else if (w[1] == "table")
                s.found = CommitStep::Found::TableFile;
            else if (w[1] == "index")
                s.found = CommitStep::Found::IndexFile;
            else
                return std::nullopt;
            s.name = name(w[2]);
        } else if (w.size() == 2 && (w[0] == "index" || w[0] == "table")) {
            s.kind = w[0] == "index" ? CommitStep::Kind::Index : CommitStep::Kind::Table;
            s.name = name(w[1]);
        } else if (w.size() == 3 && w[0] == "rename") {
            s.kind = CommitStep::Kind::Rename;
            s.name = name(w[1]);
            s.to = name(w[2]);
        } else {
            return std::nullopt;
        }
        // Names are entries of one directory, never paths.
        for (const QString &n : {s.name, s.to}) {
            if (n.contains(QLatin1Char('/')) || n == QLatin1String("..") || n == QLatin1String("."))
                return std::nullopt;
        }
        if (s.name.isEmpty() || (s.kind == CommitStep::Kind::Rename && s.to.isEmpty()))
            return std::nullopt;
        journal.steps.push_back(s);
    }
    return journal;
}

OutputDir::OutputDir(const QString &path, const QStringList &tables)
    : m_path(path)
    , m_tables(tables)
{ }

OutputDir::~OutputDir()
{
    m_rebuildLock.unlock();
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

bool OutputDir::openDirectory(bool make, QString *error)
{
    if (make && !QDir().mkpath(m_path)) {
        *error = QStringLiteral("cannot create directory %1").arg(m_path);
        return false;
    }
    if (!m_dir.open(m_path)) {
        *error = QStringLiteral("cannot open directory %1: %2")
                     .arg(m_path, platform::systemErrorText(m_dir.error()));
        return false;
    }
    return lockDirectory(error) && finishStoppedRuns(error);
}

bool OutputDir::open(QString *error)
{
    if (!openDirectory(true, error) || !makeWorkDir(error))
        return false;
    // Listed once more: finishing a stopped update changed the directory. No
    // other run changes its tables meanwhile.
    const QStringList names = m_dir.entries();
    readGeneration(names);
    // Whatever would stop the commit stops the run before the tables are
    // written. The index files will be those the store makes in an empty
    // directory.
    QStringList indexes;
    for (const QString &table : m_tables) {
        const QString base = store::tableBaseName(table);
        int secondary = 0;
        for (const schema::IndexDef &i : schema::findTable(table)->indexes)
            indexes << (i.primary ? store::primaryIndexFileName(base)
                                  : store::secondaryIndexFileName(base, secondary++));
    }
    // Find's search data, which the store makes with the indexes.
    indexes << store::findDataFileName();
    std::vector<CommitStep> steps;
    return plan(names, indexes, &steps, error);
}

bool OutputDir::finishOnly(QString *error)
{
    if (!openDirectory(false, error))
        return false;
    if (m_unfinished.isEmpty())
        return true;
    *error = QStringLiteral("the update left in %1 cannot be completed by zil-makedb")
                 .arg(m_unfinished.join(QStringLiteral(", ")));
    return false;
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

void OutputDir::lockRebuild()
{
    // Held while files move, so that no workstation rebuilds the index files
    // meanwhile: a start that finds them incomplete waits for this lock and
    // then finds the new ones complete.
    const QString path = store::rebuildLockFile(m_path);
    bool told = false;
    // A rebuild takes seconds; a workstation that holds the lock longer is
    // most likely showing a message nobody answers, and is not waited for.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        switch (m_rebuildLock.lockExclusive(path)) {
        case platform::LockResult::Locked:
            return;
        case platform::LockResult::Unavailable:
            m_notes << QStringLiteral("cannot take the index rebuild lock %1; a workstation "
                                      "starting while the files move may rebuild the indexes")
                           .arg(QDir::toNativeSeparators(path));
            return;
        case platform::LockResult::Busy:
            if (waited.elapsed() >= kRebuildWaitMs) {
                m_notes << QStringLiteral("a workstation held the index rebuild lock %1 for %2 "
                                          "seconds; the files were moved without it")
                               .arg(QDir::toNativeSeparators(path))
                               .arg(kRebuildWaitMs / 1000);
                return;
            }
            if (!told)
                std::fprintf(stderr,
                    "zil-makedb: waiting for a workstation rebuilding the indexes of %s\n",
                    qPrintable(QDir::toNativeSeparators(m_path)));
            told = true;
            QThread::msleep(100);
            break;
        }
    }
}

QString OutputDir::describe(const QString &name) const
{
    return QDir(m_path).filePath(name);
}

bool OutputDir::finishStoppedRuns(QString *error)
{
    const QString prefix = QLatin1String(workDirPrefix);
    for (const QString &name : m_dir.entries()) {
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
            if (!finishUpdate(name, error))
                return false;
        } else if (stopped) {
            // Stopped before it moved anything, or after it moved everything.
            if (m_dir.removeTree(name))
                m_notes << QStringLiteral("removed %1, left by a stopped run").arg(describe(name));
            else
                m_notes << QStringLiteral("cannot remove %1, left by a stopped run")
                               .arg(describe(name));
        }
    }
    return true;
}

bool OutputDir::finishUpdate(const QString &workName, QString *error)
{
    platform::Directory work;
    platform::Directory old;
    std::optional<CommitJournal> journal;
    if (work.openIn(m_dir, workName)) {
        platform::File file = work.openRegular(QLatin1String(committingName), false);
        if (file.isOpen())
            journal = CommitJournal::decode(file.read(1 << 20));
    }
    if (!journal) {
        // Stopped while it moved tables without saying which: some of the
        // earlier ones may lie only there, so the directory is left for a
        // person to look at.
        m_notes << QStringLiteral("%1 was left by a run stopped while it replaced the tables and "
                                  "may hold earlier tables; it is kept, as it has no journal that "
                                  "tells how to complete the update")
                       .arg(describe(workName));
        m_unfinished << describe(workName);
        return true;
    }
    if (!old.openIn(work, QStringLiteral("old"))) {
        *error = QStringLiteral("cannot complete the update left in %1: %2")
                     .arg(describe(workName), platform::systemErrorText(old.error()));
        return false;
    }
    // The journal was written once the new files were complete and on the
    // medium, before anything moved: the update is taken to its end.
    lockRebuild();
    Commit commit(m_dir, m_path, work, describe(workName), old, journal->generation);
    for (const CommitStep &step : journal->steps) {
        QString failed;
        if (!commit.take(step, &failed)) {
            m_rebuildLock.unlock();
            *error = QStringLiteral("cannot complete the update left in %1: %2")
                         .arg(describe(workName), failed);
            return false;
        }
    }
    m_dir.sync();
    work.removeFile(QLatin1String(committingName));
    m_rebuildLock.unlock();
    m_notes << commit.notes();
    old.close();
    work.close();
    m_notes << QStringLiteral("completed the update that a stopped run had begun in %1")
                   .arg(QDir::toNativeSeparators(m_path));
    if (!m_dir.removeTree(workName))
        m_notes
            << QStringLiteral("cannot remove %1, left by a stopped run").arg(describe(workName));
    return true;
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

QString OutputDir::workPath() const
{
    return QDir(m_path).filePath(m_workName);
}

QString OutputDir::newTablePath(const QString &table) const
{
    return QDir(workPath()).filePath(table);
}

void OutputDir::readGeneration(const QStringList &entries)
{
    std::vector<std::int32_t> found;
    for (const QString &entry : entries) {
        if (!m_tables.contains(entry, Qt::CaseInsensitive))
            continue;
        // Through a link too: the program reads the table it points at.
        if (const std::optional<std::int32_t> g = tableGeneration(describe(entry)))
            found.push_back(*g);
    }
    m_generation = nextGeneration(found, [] { return QRandomGenerator::system()->generate(); });
}

QStringList OutputDir::newIndexNames() const
{
    QStringList names;
    for (const QString &entry : m_work.entries()) {
        for (const QString &table : m_tables) {
            if (store::indexFileNumber(entry, store::tableBaseName(table)))
                names << entry;
        }
        if (entry.compare(store::findDataFileName(), Qt::CaseInsensitive) == 0)
            names << entry;
    }
    names.sort();
    return names;
}

bool OutputDir::plan(const QStringList &entries, const QStringList &newIndexes,
    std::vector<CommitStep> *steps, QString *error) const
{
    using Kind = CommitStep::Kind;
    using Found = CommitStep::Found;
    const auto refuse = [&](const QString &text) {
        *error = text;
        return false;
    };
    const auto notOurs = [&](const QString &name, const char *what) {
        return refuse(QStringLiteral("%1 is not %2 of ZIL and is left as it is: move it away "
                                     "to replace the database")
                          .arg(describe(name), QLatin1String(what)));
    };
    QStringList sorted = entries;
    sorted.sort();
    steps->clear();

    // The store's index files of the earlier tables that no new one
    // replaces, such as one under another case of its name.
    for (const QString &entry : sorted) {
        if (newIndexes.contains(entry))
            continue;
        for (const QString &table : m_tables) {
            if (store::indexFileNumber(entry, store::tableBaseName(table))
                && store::isIndexFile(describe(entry)))
                steps->push_back({Kind::Aside, Found::IndexFile, entry, {}});
        }
    }
    // The new index files before the tables: from the first move to the last
    // a table stands beside index files that do not describe it, so a
    // workstation starting meanwhile waits for the rebuild lock; a running
    // one takes up the new tables once all four agree, and then finds their
    // index files there.
    for (const QString &name : newIndexes) {
        if (entries.contains(name) && !store::mayWriteIndexFileAt(describe(name)))
            return notOurs(name, "an index file");
        steps->push_back({Kind::Index, Found::IndexFile, name, {}});
    }

    for (const QString &table : m_tables) {
        QStringList twins;
        for (const QString &entry : sorted) {
            bool side = false;
            for (const char *suffix : sideFileSuffixes)
                side = side
                    || entry.compare(table + QLatin1String(suffix), Qt::CaseInsensitive) == 0;
            const bool twin = entry.compare(table, Qt::CaseInsensitive) == 0;
            if (!side && !twin)
                continue;
            const EntryKind kind = m_dir.kind(entry, false);
            if (kind == EntryKind::Missing)
                continue;
            if (kind == EntryKind::Unknown)
                return refuse(QStringLiteral("cannot look at %1: %2")
                                  .arg(describe(entry), platform::systemErrorText(m_dir.error())));
            if (kind != EntryKind::Regular && kind != EntryKind::Link)
                return refuse(side
                        ? QStringLiteral("%1 is %2, where only a table file or its journal may "
                                         "stand")
                              .arg(describe(entry), platform::entryKindText(kind))
                        : QStringLiteral("%1 is %2, not a table file")
                              .arg(describe(entry), platform::entryKindText(kind)));
            // The journal, WAL and shared-memory files of SQLite go aside
            // with the earlier table, or they would be played into the new
            // one.
            if (side)
                steps->push_back({Kind::Aside, Found::SideFile, entry, {}});
            // A table under the same name in another case is what the
            // program would take for the table; anything else there is
            // someone's file.
            else if (!isZilTable(describe(entry), table))
                return notOurs(entry, "a table");
            else if (entry != table)
                twins << entry;
        }
        // Where the table stands only under another case of its name, it is
        // renamed first, so that the name of a table is never missing.
        const bool exact
            = entries.contains(table) && m_dir.kind(table, false) != EntryKind::Missing;
        for (qsizetype i = exact ? 0 : 1; i < twins.size(); ++i)
            steps->push_back({Kind::Aside, Found::TableFile, twins[i], {}});
        if (!exact && !twins.isEmpty())
            steps->push_back({Kind::Rename, Found::TableFile, twins.front(), table});
        steps->push_back({Kind::Table, Found::TableFile, table, {}});
    }
    return true;
}

OutputDir::Outcome OutputDir::replaceTables(QString *error)
{
    lockRebuild();
    CommitJournal journal;
    journal.generation = m_generation;
    if (!plan(m_dir.entries(), newIndexNames(), &journal.steps, error)) {
        m_rebuildLock.unlock();
        return Outcome::Refused;
    }
    // On the medium, with its name in the working directory, before the
    // first move: a run stopped from here on is completed by the next.
    if (!platform::replaceFileContent(
            workPath(), QLatin1String(committingName), journal.encode())) {
        m_rebuildLock.unlock();
        *error
            = QStringLiteral("cannot write in the working directory %1").arg(describe(m_workName));
        return Outcome::Refused;
    }

    Commit commit(m_dir, m_path, m_work, workPath(), m_old, m_generation);
    bool ok = true;
    for (const CommitStep &step : journal.steps) {
        if (!commit.take(step, error)) {
            ok = false;
            break;
        }
    }
    if (ok) {
        if (!m_dir.sync())
            m_notes << QStringLiteral("cannot flush %1 to the medium: %2")
                           .arg(m_path, platform::systemErrorText(m_dir.error()));
        m_work.removeFile(QLatin1String(committingName));
        m_rebuildLock.unlock();
        m_notes << commit.notes();
        return Outcome::Replaced;
    }

    QString failures;
    if (commit.rollBack(&failures)) {
        m_dir.sync();
        m_work.removeFile(QLatin1String(committingName));
        m_rebuildLock.unlock();
        *error += QStringLiteral("; the earlier tables were put back and %1 is unchanged")
                      .arg(QDir::toNativeSeparators(m_path));
        return Outcome::Unchanged;
    }
    m_dir.sync();
    m_rebuildLock.unlock();
    // The journal stays: the next run, or zil-makedb --finish, completes the
    // update from the files kept here.
    m_keepWork = true;
    *error += QStringLiteral("; putting the earlier files back failed for %1, so %2 holds some of "
                             "the new files: run zil-makedb --finish %2 to complete the update")
                  .arg(failures, QDir::toNativeSeparators(m_path));
    return Outcome::Mixed;
}

} // namespace zil::makedb
