// Writing a catalogue as a database directory: one SQLite (or, protected,
// SQLCipher) file per table, made in a temporary directory beside the target
// and moved into place only when all four are complete.
#pragma once

#include "catalogue.h"

#include <QString>

namespace zil::makedb {

// The raw SQLCipher key of a password: x'<SHA-256 of its UTF-8 bytes in hex>'.
QByteArray rawKey(const QString &password);

// Writes MATERIAL.DB, SYNON.DB, SUPPLIER.DB and MATSUPP.DB of an arranged
// catalogue into dir (made when missing), replacing existing table files and
// deleting their index files, which the program rebuilds at its next start.
// On failure the directory keeps its previous tables and error says why.
bool writeDatabase(const Catalogue &catalogue, const QString &dir, bool protect, QString *error);

} // namespace zil::makedb
