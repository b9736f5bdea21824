// Writing a catalogue as a database directory: one SQLite (or, protected,
// SQLCipher) file per table and the store's index files of each, made in a
// working directory inside the target and moved into place only when all are
// complete.
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
// catalogue that holds materials into dir (made when missing), all stamped
// with one new generation, with their index files, and moves them in place of
// the existing tables and index files all together or not at all. An update
// of dir that a stopped run left is completed first.
WriteResult writeDatabase(const Catalogue &catalogue, const QString &dir, bool protect);

struct FinishResult
{
    bool finished = false; // nothing is left half-done
    QString error; // why not
    QStringList notes; // what was done
};

// Only completes the updates of dir that stopped runs left half-done and
// removes their working directories.
FinishResult finishDatabase(const QString &dir);

} // namespace zil::makedb
