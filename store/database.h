// A named database connection. Cursors name it in DatabaseName; it points them
// at a directory given by the parameter "Path=<dir>" and the driver "STANDARD".
#pragma once

#include <QObject>
#include <QStringList>

namespace zil::store {

class Table;

class Database : public QObject
{
    Q_OBJECT
public:
    explicit Database(QObject *parent = nullptr);
    ~Database() override;

    static QString standardDriver() { return QStringLiteral("STANDARD"); }

    void setDatabaseName(const QString &name) { m_name = name; }
    const QString &databaseName() const { return m_name; }

    QStringList &params() { return m_params; }
    const QStringList &params() const { return m_params; }

    void setDriverName(const QString &driver) { m_driver = driver; }
    const QString &driverName() const { return m_driver; }

    // The directory that "Path=" names; raises when the connection is not
    // configured for the standard driver.
    QString directory() const;

    bool connected() const { return m_connected; }
    // Connecting happens when the first cursor opens through the connection;
    // disconnecting closes every cursor that is open on it.
    void open();
    void close();

signals:
    // Another program changed a table file of the directory: a refresh found
    // it replaced by one of another database, or a read found it written
    // into while it was open. Told to every connection whose directory that
    // is, once for each state of the four table files; awaitNewDatabase
    // tells when the new database can be taken up.
    void changedByAnotherProgram(const QString &directory);

private:
    friend class Table;
    void attach(Table *table);
    void detach(Table *table);

    QString m_name;
    QStringList m_params;
    QString m_driver;
    bool m_connected = false;
    QList<Table *> m_tables;
};

} // namespace zil::store
