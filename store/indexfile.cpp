#include "indexfile.h"

#include "fileformat.h"
#include "filenames.h"
#include "finddata.h"
#include "platform/filelock.h"
#include "platform/files.h"
#include "schema.h"
#include "session.h"
#include "storeerror.h"
#include "tablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <thread>

namespace zil::store {

namespace {

std::optional<IndexInfo> parseIndexFile(const QString &path, const QString &base)
{
    // Only a regular file at the name itself is read: never a link's target,
    // never a FIFO or device that could block or feed data without end.
    std::shared_ptr<const IndexImage> image = IndexImage::open(path);
    if (!image)
        return std::nullopt;
    const IndexHeader &h = image->header();
    if (h.table.compare(base, Qt::CaseInsensitive) != 0 || h.fields.isEmpty())
        return std::nullopt;
    IndexInfo info;
    info.name = h.name;
    info.fields = h.fields;
    info.primary = h.primary;
    info.caseInsensitive = h.caseInsensitive;
    info.identity = h.identity;
    info.fileName = QFileInfo(path).fileName();
    info.image = std::move(image);
    return info;
}

// The index files of a table: entries "<base>.px" and "<base>.xg?" in its
// directory, the case of their names ignored.
QStringList indexFileNames(const QString &tablePath)
{
    const QString base = tableBaseName(tablePath);
    QStringList names;
    const QStringList entries = platform::directoryEntries(QFileInfo(tablePath).absolutePath());
    for (const QString &e : entries) {
        if (indexFileNumber(e, base))
            names << e;
    }
    return names;
}

} // namespace

QByteArray indexFileMagic()
{
    return QByteArray(indexFileMagicText);
}

bool isIndexFile(const QString &path)
{
    const std::optional<QByteArray> start
        = platform::readRegularFile(path, indexFileMagic().size() + 1, false);
    return start && *start == indexFileMagic() + '\n';
}

bool mayWriteIndexFileAt(const QString &path)
{
    return isIndexFile(path) || platform::readRegularFile(path, 1, false) == QByteArray();
}

namespace {

// Whether an index file agrees with the index of that name that the schema
// declares for the table, when it declares one. The indexes of the database
// are always made as declared, so one that differs is damaged: its checksum
// only happens to match, and it would order the records otherwise.
bool fitsSchema(const IndexInfo &info, const QString &tablePath)
{
    const schema::TableDef *table = schema::findTable(QFileInfo(tablePath).fileName());
    if (!table)
        return true;
    for (const schema::IndexDef &def : table->indexes) {
        if (def.name.compare(info.name, Qt::CaseInsensitive) != 0)
            continue;
        if (def.primary != info.primary || (!def.primary && !info.caseInsensitive)
            || def.fields.size() != info.fields.size())
            return false;
        for (qsizetype i = 0; i < def.fields.size(); ++i) {
            if (def.fields[i].compare(info.fields[i].trimmed(), Qt::CaseInsensitive) != 0)
                return false;
        }
    }
    return true;
}

} // namespace

std::vector<IndexInfo> readIndexes(const QString &tablePath)
{
    const QString base = tableBaseName(tablePath);
    const QDir dir = QFileInfo(tablePath).absoluteDir();
    std::vector<std::pair<int, IndexInfo>> found;
    for (const QString &name : indexFileNames(tablePath)) {
        auto info = parseIndexFile(dir.filePath(name), base);
        if (!info)
            continue;
        const int number = *indexFileNumber(name, base);
        const bool isPx = number < 0;
        // A primary index lives only in the .px file, a secondary one only in
        // an .xg file; anything else is damage.
        if (isPx != info->primary || !fitsSchema(*info, tablePath))
            continue;
        found.emplace_back(number, std::move(*info));
    }
    std::sort(
        found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::vector<IndexInfo> result;
    for (auto &entry : found) {
        IndexInfo &info = entry.second;
        const bool duplicate = std::any_of(result.begin(), result.end(), [&](const IndexInfo &i) {
            return i.name.compare(info.name, Qt::CaseInsensitive) == 0;
        });
        if (!duplicate)
            result.push_back(std::move(info));
    }
    return result;
}

QStringList indexFilePaths(const QString &tablePath)
{
    const QDir dir = QFileInfo(tablePath).absoluteDir();
    QStringList paths;
    for (const QString &name : indexFileNames(tablePath))
        paths << dir.filePath(name);
    return paths;
}

void createIndex(const QString &dir, const QString &fileName, const QString &indexName,
    const QString &fields, IndexOption option)
{
    const QString tablePath = findFileNoCase(dir, fileName);
    if (tablePath.isEmpty())
        throw StoreError(
            StoreError::Kind::Missing, QStringLiteral("Table does not exist: %1").arg(fileName));
    const QString base = tableBaseName(tablePath);

    // The table is only read, and the index file is written beside its name
    // and renamed into place, so a workstation that has the table open meanwhile
    // goes on reading the file it opened: adding an index takes no lock, and
    // rebuilders are kept apart by the rebuild lock alone.
    std::shared_ptr<TableFile> table
        = TableFile::acquire(tablePath, QString(), TableFile::Lock::None);

    const bool primary = option == IndexOption::Primary;
    QStringList fieldList = fields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    std::vector<int> columns;
    for (QString &f : fieldList) {
        f = f.trimmed();
        const int c = table->columnIndex(f);
        if (c < 0)
            throw StoreError(StoreError::Kind::Missing,
                QStringLiteral("Field %1 not found in %2").arg(f, fileName));
        if (table->columns()[c].kind == schema::FieldKind::Memo)
            throw StoreError(StoreError::Kind::Usage,
                QStringLiteral("Field %1 of %2 cannot be indexed").arg(f, fileName));
        f = table->columns()[c].name;
        columns.push_back(c);
    }
    if (fieldList.isEmpty())
        throw StoreError(
            StoreError::Kind::Usage, QStringLiteral("No fields given for index %1").arg(indexName));

    // Where another entry stands at the name the index needs, it cannot be
    // created.
    const auto ownFile
        = [&](const QString &name) { return mayWriteIndexFileAt(QDir(dir).filePath(name)); };
    const QStringList existing = indexFileNames(tablePath);
    QString target;
    if (primary) {
        target = primaryIndexFileName(base);
        for (const QString &name : existing) {
            if (*indexFileNumber(name, base) < 0)
                target = name;
        }
    } else {
        int highest = -1;
        for (const QString &name : existing) {
            const int n = *indexFileNumber(name, base);
            if (n < 0 || !ownFile(name))
                continue;
            highest = std::max(highest, n);
            const auto found = parseIndexFile(QDir(dir).filePath(name), base);
            if (found && found->name.compare(indexName, Qt::CaseInsensitive) == 0)
                target = name;
        }
        if (target.isEmpty()) {
            if (highest + 1 >= maxSecondaryIndexes)
                throw StoreError(StoreError::Kind::Usage,
                    QStringLiteral("Too many indexes on %1").arg(fileName));
            target = secondaryIndexFileName(base, highest + 1);
            for (const QString &name : existing) {
                if (name.compare(target, Qt::CaseInsensitive) == 0)
                    target = name;
            }
        }
    }
    if (!platform::findEntryNoCase(dir, target).isEmpty() && !ownFile(target))
        throw StoreError(StoreError::Kind::IO,
            QStringLiteral("Cannot write index file %1: a file of another program is there")
                .arg(target));

    IndexInfo info;
    info.name = indexName;
    info.fields = fieldList;
    info.primary = primary;
    info.caseInsensitive = !primary;
    bool unique = true;
    const QByteArray image = table->indexImage(info, columns, primary ? &unique : nullptr);
    if (!unique)
        throw StoreError(StoreError::Kind::Corrupt,
            QStringLiteral("Key violation: the primary key of %1 is not unique").arg(fileName));
    if (!platform::replaceFileContent(dir, target, image))
        throw StoreError(
            StoreError::Kind::IO, QStringLiteral("Cannot write index file %1").arg(target));
}

bool indexesComplete(const QString &dir, QString *why, SearchData searchData)
{
    const auto missing = [why](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    for (const schema::TableDef &t : schema::tables()) {
        const QString tablePath = findFileNoCase(dir, t.fileName);
        if (tablePath.isEmpty())
            continue;
        // A table that is missing, no regular file or unreadable is not for a
        // rebuild to mend; opening reports it.
        const std::optional<TableIdentity> identity = TableFile::readIdentity(tablePath);
        if (!identity)
            continue;
        const std::vector<IndexInfo> present = readIndexes(tablePath);
        for (const schema::IndexDef &i : t.indexes) {
            const auto found = std::find_if(
                present.begin(), present.end(), [&](const IndexInfo &p) {
                    return i.primary ? p.primary : p.name.compare(i.name, Qt::CaseInsensitive) == 0;
                });
            if (found == present.end())
                return missing(
                    QStringLiteral("index %1 of %2 is missing or damaged")
                        .arg(i.primary ? QStringLiteral("primary") : i.name, t.fileName));
            if (found->identity.generation != identity->generation)
                return missing(
                    QStringLiteral("index %1 of %2 belongs to another database")
                        .arg(i.primary ? QStringLiteral("primary") : i.name, t.fileName));
            if (found->identity != *identity)
                return missing(
                    QStringLiteral("index %1 of %2 was made from the table as it was before")
                        .arg(i.primary ? QStringLiteral("primary") : i.name, t.fileName));
        }
    }
    return searchData == SearchData::Leave || findDataComplete(dir, why);
}

void deleteOldIndexFiles(const QString &dir, const RebuildProgress &progress)
{
    for (const QString &pattern : oldIndexFilePatterns()) {
        if (progress)
            progress(RebuildStep::Pattern, pattern);
        QStringList names;
        try {
            names = platform::findFiles(dir, pattern);
        } catch (const platform::PlatformError &e) {
            throw StoreError(StoreError::Kind::IO, e.message());
        }
        for (const QString &name : names) {
            const QString path = QDir(dir).filePath(name);
            // Only the content tells: a regular file (a link never counts,
            // whatever it points to) that begins with the store's index
            // header. A user's file that happens to match a pattern
            // ("MATERIAL.XLS", "synon.val") is not the rebuild's.
            if (!isIndexFile(path))
                continue;
            // A workstation that has the file open goes on reading it after
            // its name is gone. A file that cannot be deleted stays; creating
            // its index writes a new file over the name.
            platform::deleteFile(path);
        }
    }
}

void indexTables(const QString &dir, const RebuildProgress &progress, SearchData searchData)
{
    // Find's search data are made from the tables as the indexes are, but
    // read them straight from the table files: they are made meanwhile, on
    // a thread of their own, and written after the indexes, so that the
    // files take their names in the same order every time.
    std::optional<MadeFindData> made;
    std::exception_ptr searchDataFailed;
    std::thread searchDataMaker;
    if (searchData == SearchData::Include)
        searchDataMaker = std::thread([&dir, &made, &searchDataFailed] {
            try {
                made = makeFindData(dir);
            } catch (...) {
                searchDataFailed = std::current_exception();
            }
        });
    struct Joined
    {
        std::thread &thread;
        ~Joined()
        {
            if (thread.joinable())
                thread.join();
        }
    } joined {searchDataMaker};
    for (const schema::TableDef &t : schema::tables()) {
        const QString fileName = t.fileName.toLower();
        if (progress)
            progress(RebuildStep::Table, fileName);
        for (const schema::IndexDef &i : t.indexes) {
            if (progress)
                progress(RebuildStep::Index, i.label);
            createIndex(dir, fileName, i.name, i.fields.join(QLatin1Char(';')),
                i.primary ? IndexOption::Primary : IndexOption::CaseInsensitive);
        }
    }
    if (searchDataMaker.joinable())
        searchDataMaker.join();
    if (searchDataFailed)
        std::rethrow_exception(searchDataFailed);
    if (made)
        placeFindData(dir, made->bytes);
}

void indexDatabase(const QString &dir)
{
    indexTables(dir);
}

} // namespace zil::store
