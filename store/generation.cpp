#include "generation.h"

#include "database.h"
#include "dbupdate.h"
#include "platform/files.h"
#include "schema.h"
#include "session.h"
#include "storeerror.h"
#include "tablefile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>

namespace zil::store {

namespace {

// The directory a connection points at; empty while it is not configured.
QString directoryOf(const Database &db)
{
    try {
        return db.directory();
    } catch (const StoreError &) {
        return QString();
    }
}

} // namespace

QString directoryKey(const QString &dir)
{
    const QString absolute = QFileInfo(QDir(dir).filePath(QStringLiteral("x"))).absolutePath();
    const QString canonical = QFileInfo(absolute).canonicalFilePath();
    return canonical.isEmpty() ? absolute : canonical;
}

DirectoryGenerations &directoryGenerations(const QString &dir)
{
    static QHash<QString, DirectoryGenerations> dirs;
    return dirs[directoryKey(dir)];
}

std::vector<platform::FileStamp> tableStamps(const QString &dir)
{
    std::vector<platform::FileStamp> stamps;
    for (const schema::TableDef &t : schema::tables())
        stamps.push_back(
            platform::fileStamp(QDir(dir).filePath(platform::findEntryNoCase(dir, t.fileName))));
    return stamps;
}

std::vector<std::shared_ptr<TableFile>> openTablesIn(const QString &dir)
{
    const QString key = directoryKey(dir);
    std::vector<std::shared_ptr<TableFile>> open;
    for (std::shared_ptr<TableFile> &file : TableFile::openFiles()) {
        if (file->directoryKey() == key)
            open.push_back(std::move(file));
    }
    return open;
}

bool openTablesAgree(const QString &dir, qint64 *generation)
{
    std::optional<qint64> seen;
    for (const std::shared_ptr<TableFile> &file : openTablesIn(dir)) {
        if (seen && *seen != file->stampGeneration())
            return false;
        seen = file->stampGeneration();
    }
    if (generation)
        *generation = seen.value_or(0);
    // The tables open now are the database in use: a refresh re-reads them
    // to this generation only.
    DirectoryGenerations &state = directoryGenerations(dir);
    state.adopted = seen.value_or(0);
    state.announced.clear();
    state.accepted = tableStamps(dir);
    return true;
}

bool ofAnotherDatabase(const QString &dir, qint64 openGeneration, qint64 fileGeneration)
{
    const DirectoryGenerations &state = directoryGenerations(dir);
    return fileGeneration != openGeneration && state.adopted && state.adopted != fileGeneration;
}

void announceDatabaseChange(const QString &dir)
{
    DirectoryGenerations &state = directoryGenerations(dir);
    std::vector<platform::FileStamp> stamps = tableStamps(dir);
    if (state.announced == stamps)
        return;
    state.announced = std::move(stamps);
    const QString key = directoryKey(dir);
    // Gathered first: a connection told may close or delete others.
    QList<QPointer<Database>> told;
    for (Database *db : Session::instance().databases()) {
        const QString of = directoryOf(*db);
        if (!of.isEmpty() && directoryKey(of) == key)
            told << db;
    }
    for (const QPointer<Database> &db : std::as_const(told)) {
        if (db)
            emit db->changedByAnotherProgram(dir);
    }
}

} // namespace zil::store
