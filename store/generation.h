// The bookkeeping of database generations, directory by directory. One
// database, one generation: the four table files of a directory are read as
// one database, and a table file stamped with another generation is taken up
// only together with the other three, once that generation is adopted for
// the directory. Here are the state kept for each directory, the table files
// that cursors of the process have open there, and the telling of the
// directory's connections when another program changed its tables.
#pragma once

#include "platform/filestamp.h"

#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace zil::store {

class TableFile;

// What the store keeps of the database in use in a directory.
struct DirectoryGenerations
{
    // The generation its tables may be re-read to.
    std::optional<qint64> adopted;
    // The stamps of the four table files when a change was last told of.
    std::vector<platform::FileStamp> announced;
    // The stamps of the four table files at the last look for a new
    // database, and those of a state found not to be one sound database,
    // with the reason.
    std::vector<platform::FileStamp> lastLook;
    std::vector<platform::FileStamp> refused;
    QString refusedReason;
    // Those of a state found to hold tables of two databases.
    std::vector<platform::FileStamp> underWay;
    // Those of the database last accepted whole, not checked again.
    std::vector<platform::FileStamp> accepted;
};

// The name under which the bookkeeping knows a directory: its canonical path
// when it exists, so that two spellings of one directory are one.
QString directoryKey(const QString &dir);

DirectoryGenerations &directoryGenerations(const QString &dir);

// The stamps of the four table files of dir at their names, in the schema's
// order.
std::vector<platform::FileStamp> tableStamps(const QString &dir);

// The table files of dir that cursors of this process have open.
std::vector<std::shared_ptr<TableFile>> openTablesIn(const QString &dir);

// Whether a table file of dir, opened at openGeneration and now stamped with
// fileGeneration, belongs to another database than the one in use there
// (openTablesAgree, awaitNewDatabase): it is then not re-read until that
// database is adopted. A directory without a database in use keeps to no
// generation.
bool ofAnotherDatabase(const QString &dir, qint64 openGeneration, qint64 fileGeneration);

// Tells the connections of dir (Database::changedByAnotherProgram) that
// another program changed a table file of it: replaced it by one of another
// database, or wrote into it while it was open. Told once for each state of
// the four table files, so that an update still under way is told of again
// when it has moved on.
void announceDatabaseChange(const QString &dir);

} // namespace zil::store
