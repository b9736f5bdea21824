// The database directory that zil-makedb writes. The new tables are made in a
// working directory of the maker's own inside it and then moved in together:
// either all four replace the earlier ones or, when any step fails, the
// earlier ones are put back. Nothing else in the directory is touched apart
// from the table files being replaced, their SQLite side files (journal, WAL,
// shared memory) and the store's index files, each recognised safely.
#pragma once

#include "framework/platform/files.h"
#include "store/fileformat.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace zil::makedb {

// The marks of the maker's working directories (store/fileformat.h), by
// the names this tool has always used.
inline constexpr const char *workDirPrefix = store::makerWorkDirPrefix;
inline constexpr const char *workMarkerName = store::makerWorkMarkerName;
inline constexpr const char *workMarkerText = store::makerWorkMarkerText;
inline constexpr const char *committingName = store::makerCommittingName;

// The generation that a new database gets, given the generations found in the
// tables it replaces: one more than the highest, never 0 and never one of
// those found. When a table could not be read, a value from the clock (`now`,
// seconds) is taken if it is higher, so that it still most likely differs.
std::int32_t nextGeneration(
    const std::vector<std::int32_t> &found, bool unreadable, std::int64_t now);

class OutputDir
{
public:
    enum class Outcome {
        Replaced, // the new tables are in place
        Unchanged, // a step failed and the earlier tables are in place again
        Mixed, // a step failed and the earlier tables could not all be put back
    };

    // `tables` are the file names of the tables, in the order they are moved.
    OutputDir(const QString &path, const QStringList &tables);
    // Removes the working directory, unless a failed roll-back left earlier
    // tables in it.
    ~OutputDir();
    OutputDir(const OutputDir &) = delete;
    OutputDir &operator=(const OutputDir &) = delete;

    // Makes the directory when missing, waits for any other run writing into
    // it, removes working directories left by runs that were stopped, and
    // makes this run's own. False with error set when it cannot.
    bool open(QString *error);

    // Where the new table file `table` is to be written.
    QString newTablePath(const QString &table) const;

    // The generation for the tables being written: see nextGeneration.
    std::int32_t generation() const { return m_generation; }

    // Moves the new tables into place. On failure error says what failed and
    // what became of the earlier tables.
    Outcome replaceTables(QString *error);

    // After Replaced: deletes the store's index files of the replaced tables
    // (regular files beginning with the index-file header), which describe
    // the earlier tables. Index files that cannot be deleted are noted.
    void removeIndexFiles();

    // Things worth telling the user that did not make the run fail.
    QStringList notes() const { return m_notes; }

private:
    struct Move
    {
        bool exchange; // swapped with the file at the target, not moved there
        const platform::Directory *fromDir;
        QString from;
        const platform::Directory *toDir;
        QString to;
    };

    bool lockDirectory(QString *error);
    void removeStaleWorkDirs(const QStringList &entries);
    bool makeWorkDir(QString *error);
    void readGeneration(const QStringList &entries);
    bool moveTable(const QString &table, const QStringList &entries, QString *error);
    bool moveAside(const QString &name, QString *error);
    bool rollBack(QString *failures);
    QString describe(const QString &name) const;

    QString m_path;
    QStringList m_tables;
    platform::Directory m_dir;
    QString m_workName; // the working directory's name in the directory
    platform::Directory m_work;
    platform::Directory m_old; // "old" in the working directory: side files moved aside
    platform::File m_marker;
    bool m_keepWork = false;
    std::int32_t m_generation = 1;
    std::vector<Move> m_done;
    QStringList m_notes;
};

} // namespace zil::makedb
