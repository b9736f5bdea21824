// The raw key of a protected table file. A table is encrypted with the
// SHA-256 of the password's bytes as its raw key, so that opening it pays no
// key-derivation cost and a maintainer can open it with `PRAGMA key`. The
// store, the database maker and the tests all key tables through this one
// function.
#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QString>

namespace zil::store {

// "x'<hex>'": the raw key of a table protected by password, as PRAGMA key
// takes it between double quotes.
inline QByteArray tableKey(const QString &password)
{
    return "x'" + QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha256).toHex()
        + "'";
}

// The statement that keys a connection to a table protected by password.
inline QByteArray tableKeyPragma(const QString &password)
{
    return "PRAGMA key = \"" + tableKey(password) + "\"";
}

} // namespace zil::store
