// The names of the files the store keeps in a database directory, made and
// recognised in one place: the table files, their index files ("<table>.px"
// for the primary index, "<table>.xg0", "<table>.xg1", ... for the secondary
// ones), the patterns under which the rebuild looks for old index files, and
// the lock files through which workstations share the tables. Names are
// matched without regard to case on every file system.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace zil::store {

// "material" for "MATERIAL.DB" or ".../Material.db": the part of a table's
// file name before the first dot, in lower case, which its index and lock
// files carry.
QString tableBaseName(const QString &tableFileOrPath);

// The file name of the table whose index and lock files carry `base`:
// "material.db" for "material".
QString tableFileName(const QString &base);

// "material.px": the primary index file of a table.
QString primaryIndexFileName(const QString &base);

// "material.xg1": secondary index file `number` of a table (0 to 35, written
// as one base-36 digit).
QString secondaryIndexFileName(const QString &base, int number);

// How many secondary index files a table can have.
inline constexpr int maxSecondaryIndexes = 36;

// What the name of a directory entry says about an index file of the table
// `base`: -1 for its primary index file, the number of a secondary one, and
// nullopt when the name is no index file name of that table. Only the name is
// looked at; an index file is recognised as such by its content.
std::optional<int> indexFileNumber(const QString &entryName, const QString &base);

// The patterns that cover the index files of every table the store has ever
// kept, in the order in which the rebuild clears them.
QStringList oldIndexFilePatterns();

// The path of the entry `name` in `dir`, the case of the name ignored; empty
// when there is none.
QString findFileNoCase(const QString &dir, const QString &name);

// The lock file through which processes share the table at tablePath:
// "<table>.lck" in the shared directory when the session names one, beside
// the table otherwise.
QString lockFileFor(const QString &tablePath);

// The lock that lets one workstation rebuild the indexes of the database in
// dir while the others wait; it lies with the table lock files of dir.
QString rebuildLockFile(const QString &dir);

} // namespace zil::store
