// Index files: one file per index beside its table, "<table>.px" for the
// primary index and "<table>.xg0", "<table>.xg1", ... for the secondary ones in
// the order they were created. A file holds its index's order (indeximage.h)
// and names the table file it was made from: an index file that does not
// match its table as it is now, or is damaged, counts as missing.
#pragma once

#include "indeximage.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zil::store {

enum class IndexOption { Primary, CaseInsensitive };

struct IndexInfo
{
    QString name; // "primary" for the primary index
    QStringList fields;
    bool primary = false;
    bool caseInsensitive = false;
    QString fileName; // the index file it was read from
    TableIdentity identity; // the table file it was made from
    // The order the file holds, open for reading; null for an index whose file is
    // gone or no longer matches its table.
    std::shared_ptr<const IndexImage> image;
};

// The first line of every index file; it identifies the store's own index
// files among others in a directory.
QByteArray indexFileMagic();

// True when the file at path starts with the store's index-file header.
bool isIndexFile(const QString &path);

// Whether an index file may be written over the entry at path: an index file
// of this store, or an empty regular file, which holds nothing (a power cut
// during an earlier write, a peer's truncation). Any other entry (a user's
// file, a link, a FIFO) is left as it is.
bool mayWriteIndexFileAt(const QString &path);

// Reads the index files of a table (by its file path) and checks them;
// damaged ones are skipped, whatever table state they were made for. The primary index comes first,
// then the secondary ones in the order of their file numbers.
std::vector<IndexInfo> readIndexes(const QString &tablePath);

// The paths of the files that may hold a table's indexes (by its file path):
// "<base>.px" and "<base>.xg<n>", whatever their case.
QStringList indexFilePaths(const QString &tablePath);

// Adds an index to a closed table: the table file `fileName` in `dir`, case of
// the name ignored. `fields` are joined by ";". The table is taken for
// exclusive use while the index is added; raises StoreError when another
// process has it open, when a field is unknown, when a primary key is not
// unique, or when the file cannot be written.
void createIndex(const QString &dir, const QString &fileName, const QString &indexName,
    const QString &fields, IndexOption option);

// Whether every index of the four tables in dir has its index file, with a
// sound header, made from the table file as it is now (the same size,
// modification time, stamp generation and change counter). The body is not
// read here: it is checked block by block as it is used, so a start reads no
// more of it than it shows. A table file
// that is missing or cannot be read is not counted: opening reports it. When
// an index is wanting, *why says which.
//
// Find's search data file is made from the tables as the indexes are; it
// counts with them unless searchData says to leave it to a writer of its own
// (finddatawriter.h).
enum class SearchData { Include, Leave };
bool indexesComplete(
    const QString &dir, QString *why = nullptr, SearchData searchData = SearchData::Include);

// What the index rebuild reports while it works, before each step.
enum class RebuildStep {
    Pattern, // the pattern of old index files about to be cleared: "*.px"
    Table, // the table file about to be indexed: "supplier.db"
    Index, // the label of the index about to be created
};
using RebuildProgress = std::function<void(RebuildStep step, const QString &text)>;

// Deletes the old index files of dir, pattern by pattern in the order of
// oldIndexFilePatterns: each entry matching that is an index file of this
// store by its content (a regular file, never through a link) and whose table
// no other program has open. An entry that cannot be deleted stays. Raises
// StoreError when dir cannot be searched; the last pattern reported is the
// one that failed.
void deleteOldIndexFiles(const QString &dir, const RebuildProgress &progress = {});

// Creates every index of the four tables in dir, table by table in the
// schema's order and each table's indexes in order, reporting the table
// before its indexes and each index before it is made. Raises StoreError when
// one cannot be created; the last table reported is the one that failed.
// Then, unless searchData leaves it, the search data file is made.
void indexTables(const QString &dir, const RebuildProgress &progress = {},
    SearchData searchData = SearchData::Include);

// Creates every index of the four tables in dir, as indexTables does, with
// nothing to report to.
void indexDatabase(const QString &dir);

} // namespace zil::store
