#include "dbupdate.h"

#include "fileformat.h"
#include "filenames.h"
#include "generation.h"
#include "platform/files.h"
#include "schema.h"
#include "storeerror.h"
#include "table.h"
#include "tablefile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <memory>
#include <vector>

namespace zil::store {

namespace {

// The ids of MATERIAL.DB in name order must be 1, 2, ... N.
void checkMaterialIds(TableFile &materials)
{
    const int index = materials.findIndex(QStringLiteral("NameOrder"));
    const int idColumn = materials.columnIndex(QStringLiteral("id"));
    if (index < 0 || idColumn < 0)
        throw StoreError(StoreError::Kind::Missing,
            QStringLiteral("MATERIAL.DB has no index NameOrder on the material ids"));
    const IndexOrder &order = materials.order(index);
    const qsizetype count = order.size();
    if (count <= 0)
        throw StoreError(
            StoreError::Kind::Corrupt, QStringLiteral("MATERIAL.DB holds no materials"));
    // Read a stretch at a time, so that a large table costs no large buffer.
    constexpr qsizetype stretch = 4096;
    std::vector<qint64> ids(size_t(std::min(count, stretch)));
    for (qsizetype first = 0; first < count; first += stretch) {
        const qsizetype n = std::min(stretch, count - first);
        if (!order.integers(first, n, idColumn, ids.data()))
            throw StoreError(StoreError::Kind::Corrupt,
                QStringLiteral("MATERIAL.DB: the ids cannot be read in name order"));
        for (qsizetype i = 0; i < n; ++i) {
            if (ids[size_t(i)] != first + i + 1)
                throw StoreError(StoreError::Kind::Corrupt,
                    QStringLiteral("MATERIAL.DB: material number %1 in name order has id %2; ids "
                                   "must run from 1 in name order without gaps")
                        .arg(first + i + 1)
                        .arg(ids[size_t(i)]));
        }
    }
}

// The four tables of dir, each opened anew or as cursors have it open.
std::vector<std::shared_ptr<TableFile>> tablesOf(const QString &dir, bool inUse)
{
    const std::vector<std::shared_ptr<TableFile>> open
        = inUse ? openTablesIn(dir) : std::vector<std::shared_ptr<TableFile>>();
    std::vector<std::shared_ptr<TableFile>> tables;
    for (const schema::TableDef &t : schema::tables()) {
        const QString path = findFileNoCase(dir, t.fileName);
        if (path.isEmpty())
            throw StoreError(StoreError::Kind::Missing,
                QStringLiteral("Table does not exist: %1").arg(QDir(dir).filePath(t.fileName)));
        if (inUse) {
            const auto found = std::find_if(open.begin(), open.end(), [&](const auto &f) {
                return QFileInfo(f->path()).fileName().compare(t.fileName, Qt::CaseInsensitive)
                    == 0;
            });
            if (found == open.end())
                throw StoreError(StoreError::Kind::Usage,
                    QStringLiteral("Table %1 is not open").arg(t.fileName));
            tables.push_back(*found);
        } else {
            // A new database may come without its index files: its orders are
            // then made from the tables, as the tables in use make theirs.
            tables.push_back(TableFile::acquire(path, QString(), TableFile::Lock::None));
            tables.back()->declareIndexes();
        }
    }
    return tables;
}

// Tables of two databases: an update still under way, or one left half-done.
struct TwoDatabases : StoreError
{
    TwoDatabases()
        : StoreError(
            Kind::Corrupt, QStringLiteral("The tables of the database belong to different updates"))
    { }
};

} // namespace

qint64 checkDatabase(const QString &dir, bool inUse)
{
    const std::vector<std::shared_ptr<TableFile>> tables = tablesOf(dir, inUse);
    const qint64 generation = tables.front()->stampGeneration();
    for (const auto &t : tables) {
        if (t->stampGeneration() != generation)
            throw TwoDatabases();
    }
    for (const auto &t : tables) {
        if (QFileInfo(t->path()).fileName().compare(
                QStringLiteral("MATERIAL.DB"), Qt::CaseInsensitive)
            == 0)
            checkMaterialIds(*t);
    }
    for (const auto &t : tables) {
        if (t->changedUnder())
            throw StoreError(StoreError::Kind::Changing,
                QStringLiteral("Table %1 is being changed by another program")
                    .arg(QFileInfo(t->path()).fileName()));
    }
    return generation;
}

namespace {

// Whether every table that cursors have open is still the file at its name,
// as it was read.
bool openTablesIntact(const QString &dir)
{
    for (const std::shared_ptr<TableFile> &f : openTablesIn(dir)) {
        if (f->changedUnder() || platform::fileStamp(f->path()) != f->stamp())
            return false;
    }
    return true;
}

bool allWhole(const QString &dir)
{
    for (const schema::TableDef &t : schema::tables()) {
        const QString path = findFileNoCase(dir, t.fileName);
        if (path.isEmpty() || !TableFile::looksWhole(path))
            return false;
    }
    return true;
}

} // namespace

bool databaseChanged(const QString &dir)
{
    return !openTablesIntact(dir);
}

bool tableFoundWrittenInto()
{
    for (const std::shared_ptr<TableFile> &file : TableFile::openFiles()) {
        if (file->foundChangedUnder())
            return true;
    }
    return false;
}

QString interruptedUpdate(const QString &dir)
{
    platform::Directory d;
    if (!d.open(dir))
        return QString();
    const QString prefix = QLatin1String(makerWorkDirPrefix);
    const QByteArray markerText(makerWorkMarkerText);
    for (const QString &name : d.entries()) {
        if (!name.startsWith(prefix) || name.size() != prefix.size() + 6
            || d.kind(name, false) != platform::EntryKind::Directory)
            continue;
        platform::Directory work;
        if (!work.openIn(d, name))
            continue;
        platform::File marker = work.openRegular(QLatin1String(makerWorkMarkerName), false);
        if (!marker.isOpen() || marker.read(markerText.size() + 1) != markerText)
            continue;
        const platform::EntryKind committing = work.kind(QLatin1String(makerCommittingName), false);
        if (committing == platform::EntryKind::Missing)
            continue;
        // A run that lives holds the lock on its marker; where the file
        // system cannot lock, nothing can be told and nothing is claimed.
        if (marker.lock(false, false) != platform::LockResult::Locked)
            continue;
        return QDir(dir).filePath(name);
    }
    return QString();
}

void openDatabaseTables(const QString &dir, const QList<Table *> &cursors, bool *interrupted)
{
    if (interrupted)
        *interrupted = false;
    for (int attempt = 1;; ++attempt) {
        try {
            for (Table *t : cursors)
                t->open();
            if (openTablesAgree(dir)) {
                checkDatabase(dir, true);
                return;
            }
        } catch (const StoreError &e) {
            // A table written into while it was read: the other program is
            // still at work, and the start waits for it as for tables of
            // two updates.
            if (e.kind() != StoreError::Kind::Changing || attempt == 50)
                throw;
        }
        for (Table *t : cursors)
            t->close();
        // Nobody is finishing an update left half-done.
        if (!interruptedUpdate(dir).isEmpty()) {
            if (interrupted)
                *interrupted = true;
            throw StoreError(StoreError::Kind::Corrupt, interruptedUpdateText(dir));
        }
        if (attempt == 50)
            throw TwoDatabases();
        QThread::msleep(200);
    }
}

QString interruptedUpdateText(const QString &dir)
{
    const QString where = QDir::toNativeSeparators(dir);
    return QStringLiteral("The update of %1 is incomplete: finish it with zil-makedb --finish %1")
        .arg(where);
}

NewDatabase awaitNewDatabase(const QString &dir, int waitMs, const std::function<void()> &waiting)
{
    DirectoryGenerations &state = directoryGenerations(dir);
    QElapsedTimer waited;
    waited.start();
    bool told = false;
    for (;;) {
        if (openTablesIntact(dir)) {
            state.lastLook.clear();
            return {NewDatabase::Outcome::InUse, QString()};
        }
        std::vector<platform::FileStamp> stamps = tableStamps(dir);
        const bool still = stamps == state.lastLook;
        state.lastLook = stamps;
        if (still && !state.refused.empty() && stamps == state.refused)
            return {NewDatabase::Outcome::Refused, state.refusedReason};
        // Accepted already, and not yet taken up (an export holds it off).
        if (still && stamps == state.accepted)
            return {NewDatabase::Outcome::Ready, QString()};
        // Tables found of two databases are not opened again while they stay
        // so; the maker that wrote them may have been stopped meanwhile.
        if (still && stamps == state.underWay) {
            if (!interruptedUpdate(dir).isEmpty()) {
                state.refused = stamps;
                state.refusedReason = interruptedUpdateText(dir);
                return {NewDatabase::Outcome::Refused, state.refusedReason};
            }
            if (waited.elapsed() >= waitMs)
                return {NewDatabase::Outcome::Changing, QString()};
        }
        if (still && stamps != state.underWay && allWhole(dir)) {
            QString reason;
            try {
                const qint64 generation = checkDatabase(dir, false);
                if (tableStamps(dir) == stamps) {
                    state.adopted = generation;
                    state.announced.clear();
                    state.refused.clear();
                    state.accepted = stamps;
                    return {NewDatabase::Outcome::Ready, QString()};
                }
            } catch (const TwoDatabases &) {
                // Tables of two databases are an update under way, unless the
                // maker that made it was stopped: nobody finishes that one.
                if (!interruptedUpdate(dir).isEmpty())
                    reason = interruptedUpdateText(dir);
                else
                    state.underWay = stamps;
            } catch (const StoreError &e) {
                if (e.kind() != StoreError::Kind::Changing)
                    reason = e.message();
            }
            if (!reason.isEmpty() && tableStamps(dir) == stamps) {
                state.refused = stamps;
                state.refusedReason = reason;
                return {NewDatabase::Outcome::Refused, state.refusedReason};
            }
        }
        if (waited.elapsed() >= waitMs)
            return {NewDatabase::Outcome::Changing, QString()};
        if (!told && waiting && waited.elapsed() >= 250) {
            told = true;
            waiting();
        }
        QThread::msleep(100);
    }
}

} // namespace zil::store
