// The database directory that zil-makedb writes. The new tables and their
// index files are made in a working directory of the maker's own inside it
// and then moved in together. Before the first move the working directory
// receives a journal of every move to be made, so that a run stopped half-way
// is completed by the next one; a step that fails while the run lives puts
// the earlier files back instead. Nothing else in the directory is touched
// apart from the table files being replaced, their SQLite side files
// (journal, WAL, shared memory) and the store's index files, each recognised
// by what it holds; a file of another program at one of those names stops the
// run before anything is moved.
#pragma once

#include "platform/filelock.h"
#include "platform/files.h"
#include "store/fileformat.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace zil::makedb {

// How long a run waits for a workstation that rebuilds the index files before
// it moves its files in without the rebuild lock.
inline constexpr int kRebuildWaitMs = 60000;

// The marks of the maker's working directories (store/fileformat.h), by
// the names this tool has always used.
inline constexpr const char *workDirPrefix = store::makerWorkDirPrefix;
inline constexpr const char *workMarkerName = store::makerWorkMarkerName;
inline constexpr const char *workMarkerText = store::makerWorkMarkerText;
inline constexpr const char *committingName = store::makerCommittingName;

// The generation that a new database gets: a value of `draw` cut to 31 bits,
// drawn again until it is neither 0 nor one of the generations found in the
// tables it replaces. Drawn at random, two databases made anywhere hardly
// ever share one, which a count from the earlier generation cannot promise.
std::int32_t nextGeneration(
    const std::vector<std::int32_t> &found, const std::function<quint32()> &draw);

// What the commit of an update does, in order: the journal kept in the
// working directory while files move. Every step can be taken again, and
// finds for itself whether it was taken already, so a stopped commit is
// completed by running its steps once more.
struct CommitStep
{
    enum class Kind {
        // Moves the entry `name` of the directory into the working
        // directory's "old", from where it is deleted with the working
        // directory: a side file of a table, a table under another case of
        // its name, or an index file that the new set does not replace.
        // Taken once nothing stands at the name.
        Aside,
        // Moves the new index file `name` into the directory, moving aside
        // the index file that stands at its name. Taken once the working
        // directory no longer holds it.
        Index,
        // Renames the table `name`, which stands under another case of its
        // name, to `to`, so that the table is never missing while it is
        // replaced. Taken once nothing stands at `name`.
        Rename,
        // Puts the new table `name` in place of the earlier one, swapped in
        // one step where the file system can. Taken once the table at its
        // name carries the new generation, which no earlier table has.
        Table,
    };
    // For Aside: what the entry was found to be; it is moved only while it
    // is still that.
    enum class Found { SideFile, TableFile, IndexFile };

    Kind kind = Kind::Aside;
    Found found = Found::SideFile;
    QString name;
    QString to;
};

struct CommitJournal
{
    std::int32_t generation = 0; // of the new tables
    std::vector<CommitStep> steps;

    // One line per step, names percent-encoded, between a heading line and
    // "end", so that a journal cut short is never taken for a whole one.
    QByteArray encode() const;
    static std::optional<CommitJournal> decode(const QByteArray &text);
};

class OutputDir
{
public:
    enum class Outcome {
        Replaced, // the new tables are in place
        Refused, // nothing was moved: error says what stands in the way
        Unchanged, // a step failed and the earlier files are in place again
        Mixed, // a step failed and the earlier files could not all be put back
    };

    // `tables` are the file names of the tables, in the order they are moved.
    OutputDir(const QString &path, const QStringList &tables);
    // Removes the working directory, unless a failed roll-back left earlier
    // files in it.
    ~OutputDir();
    OutputDir(const OutputDir &) = delete;
    OutputDir &operator=(const OutputDir &) = delete;

    // Makes the directory when missing, waits for any other run writing into
    // it, completes the updates of runs that were stopped while they moved
    // files and removes the working directories of the others, makes this
    // run's own and checks that no file of another program stands where the
    // new files go. False with error set when it cannot.
    bool open(QString *error);

    // Only completes or removes what stopped runs left in the existing
    // directory; notes() says what was done. False with error set when the
    // directory cannot be opened or a stopped update cannot be completed.
    bool finishOnly(QString *error);

    // The working directory, where the new tables are to be written and
    // indexed.
    QString workPath() const;
    QString newTablePath(const QString &table) const;

    // The generation for the tables being written: see nextGeneration.
    std::int32_t generation() const { return m_generation; }

    // Moves the new tables and the index files made beside them into place,
    // holding the index rebuild lock of the directory meanwhile. On failure
    // error says what failed and what became of the earlier files.
    Outcome replaceTables(QString *error);

    // Things worth telling the user that did not make the run fail.
    QStringList notes() const { return m_notes; }

private:
    bool openDirectory(bool make, QString *error);
    bool lockDirectory(QString *error);
    void lockRebuild();
    bool finishStoppedRuns(QString *error);
    bool finishUpdate(const QString &workName, QString *error);
    bool makeWorkDir(QString *error);
    void readGeneration(const QStringList &entries);
    QStringList newIndexNames() const;
    bool plan(const QStringList &entries, const QStringList &newIndexes,
        std::vector<CommitStep> *steps, QString *error) const;
    QString describe(const QString &name) const;

    QString m_path;
    QStringList m_tables;
    platform::Directory m_dir;
    QString m_workName; // the working directory's name in the directory
    platform::Directory m_work;
    platform::Directory m_old; // "old" in the working directory: files moved aside
    platform::File m_marker;
    platform::FileLock m_rebuildLock;
    bool m_keepWork = false;
    std::int32_t m_generation = 1;
    QStringList m_notes;
    // Working directories of stopped updates that cannot be completed.
    QStringList m_unfinished;
};

} // namespace zil::makedb
