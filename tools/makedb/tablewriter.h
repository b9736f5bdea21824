// Writing a catalogue as a database directory: one SQLite (or, protected,
// SQLCipher) file per table, made in a working directory beside the target
// and moved into place only when all four are complete.
#pragma once

#include "catalogue.h"

#include <QString>
#include <QStringList>

namespace zil::makedb {

struct WriteResult
{
    enum Outcome {
        Written, // the new tables are in place
        NothingWritten, // failed before the directory was changed
        PutBack, // failed while moving the tables; the earlier ones are back
        Mixed, // failed while moving the tables and could not put all back
    };
    Outcome outcome = NothingWritten;
    QString error; // what failed, and what became of the earlier tables
    QStringList notes; // things worth telling that did not make it fail
    qint32 generation = 0; // stamped into the four tables
};

// Writes MATERIAL.DB, SYNON.DB, SUPPLIER.DB and MATSUPP.DB of an arranged
// catalogue into dir (made when missing), all stamped with one new
// generation, and moves them in place of the existing tables all together or
// not at all. The store's index files of the earlier tables are then deleted;
// the program rebuilds them at its next start.
WriteResult writeDatabase(const Catalogue &catalogue, const QString &dir, bool protect);

} // namespace zil::makedb
