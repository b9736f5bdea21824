// The process-wide state of the table store: the passwords that open protected
// tables, the shared directory that holds the inter-process lock files, and the
// named database connections that cursors refer to.
#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

namespace zil::store {

class Database;

class Session
{
public:
    static Session &instance();

    // Registers a password; protected tables opened afterwards try it.
    void addPassword(const QString &password);
    void removeAllPasswords();
    // A copy: the search data are written by a thread of their own, which
    // opens the tables with these too.
    QStringList passwords() const;

    // The directory of the lock files through which several workstations
    // share one database. Empty means: beside each table.
    void setNetFileDir(const QString &dir) { m_netFileDir = dir; }
    const QString &netFileDir() const { return m_netFileDir; }

    Database *findDatabase(const QString &name) const;
    // Every connection, named or not, in the order of creation.
    const QList<Database *> &databases() const { return m_databases; }

private:
    friend class Database;
    void registerDatabase(Database *db);
    void unregisterDatabase(Database *db);

    mutable QMutex m_passwordsMutex;
    QStringList m_passwords;
    QString m_netFileDir;
    QList<Database *> m_databases;
};

} // namespace zil::store
