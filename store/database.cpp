#include "database.h"

#include "session.h"
#include "storeerror.h"
#include "table.h"

namespace zil::store {

Database::Database(QObject *parent)
    : QObject(parent)
{
    Session::instance().registerDatabase(this);
}

Database::~Database()
{
    close();
    Session::instance().unregisterDatabase(this);
}

QString Database::directory() const
{
    if (m_driver.compare(standardDriver(), Qt::CaseInsensitive) != 0)
        throw StoreError(StoreError::Kind::Usage,
            QStringLiteral("Database %1: unknown driver \"%2\"").arg(m_name, m_driver));
    for (const QString &p : m_params) {
        if (p.startsWith(QLatin1String("Path="), Qt::CaseInsensitive))
            return p.mid(5);
    }
    throw StoreError(
        StoreError::Kind::Usage, QStringLiteral("Database %1 has no path").arg(m_name));
}

void Database::open()
{
    directory(); // raises when the connection is not configured
    m_connected = true;
}

void Database::close()
{
    // Closing a cursor may close others (none do today), so work on a copy.
    const QList<Table *> open = m_tables;
    for (Table *t : open)
        t->closeFromDatabase();
    m_tables.clear();
    m_connected = false;
}

void Database::attach(Table *table)
{
    if (!m_tables.contains(table))
        m_tables << table;
}

void Database::detach(Table *table)
{
    m_tables.removeAll(table);
}

} // namespace zil::store
