#include "session.h"

#include "database.h"

namespace zil::store {

Session &Session::instance()
{
    static Session session;
    return session;
}

void Session::addPassword(const QString &password)
{
    QMutexLocker lock(&m_passwordsMutex);
    if (!m_passwords.contains(password))
        m_passwords << password;
}

void Session::removeAllPasswords()
{
    QMutexLocker lock(&m_passwordsMutex);
    m_passwords.clear();
}

QStringList Session::passwords() const
{
    QMutexLocker lock(&m_passwordsMutex);
    return m_passwords;
}

Database *Session::findDatabase(const QString &name) const
{
    for (Database *db : m_databases) {
        if (db->databaseName().compare(name, Qt::CaseInsensitive) == 0)
            return db;
    }
    return nullptr;
}

void Session::registerDatabase(Database *db)
{
    m_databases << db;
}

void Session::unregisterDatabase(Database *db)
{
    m_databases.removeAll(db);
}

} // namespace zil::store
