// The database of a directory as a whole: opening its tables as one
// database, checking that its four tables make one database that the material
// list can be built on, telling an update that the database maker left
// half-done, and taking up a new database once another program has replaced
// or written into the tables.
#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace zil::store {

class Table;

// Whether the table files open in dir all carry one stamp generation (given in
// *generation). When they do, that generation is the one in use for dir: a
// refresh re-reads its tables only to it.
bool openTablesAgree(const QString &dir, qint64 *generation = nullptr);

// Whether a table file of dir that cursors have open was replaced at its
// name or written into since it was opened: a few status reads, cheap enough
// before every input of the user.
bool databaseChanged(const QString &dir);

// Whether a read since the tables were opened found a table file, of any
// directory, written into by another program: what was read since may lack
// its records. Nothing is looked at again, so it costs nothing.
bool tableFoundWrittenInto();

// Checks that the four tables of dir make one database: each opens, all four
// carry one generation, and MATERIAL.DB holds materials whose ids run from 1
// in name order without gaps, as the material list relies on. With inUse the
// table files that cursors of this process have open are checked; otherwise
// each is opened anew for the check. Raises StoreError saying what is wrong;
// returns the generation of the database.
qint64 checkDatabase(const QString &dir, bool inUse);

// Opens the cursors on the tables of dir, in their order, as one database.
// While an update replaces the tables one by one, they are opened again after
// a moment, up to 50 times, until the tables open agree on one generation
// (openTablesAgree); then the database is checked as it is in use
// (checkDatabase). A table found written into while it was read is waited
// for in the same way. An update that the database maker left half-done is
// not waited for: *interrupted, when given, tells that the failure was one,
// and the error's message says how to finish it. Raises StoreError; the
// cursors are closed again only while the tables disagree or change.
void openDatabaseTables(
    const QString &dir, const QList<Table *> &cursors, bool *interrupted = nullptr);

// The working directory of an update of dir that the database maker began
// and did not end: stopped while it moved the new files into place, so the
// tables may be of two databases. Empty when there is none.
QString interruptedUpdate(const QString &dir);

// What an update left half-done means for the user, and how to finish it.
QString interruptedUpdateText(const QString &dir);

struct NewDatabase
{
    enum class Outcome {
        InUse, // the tables open are the files at their names, as they were read
        Ready, // a new database is whole and sound: a refresh of the cursors takes it up
        Changing, // the tables are still being replaced or written
        Refused, // the tables stand still but are not one sound database
    };
    Outcome outcome = Outcome::InUse;
    QString reason; // why, when refused
};

// Looks at the four table files of dir after another program changed them.
// While they are still being written or replaced it waits, up to waitMs, for
// them to stand still (the same stamps at two looks a tenth of a second
// apart, or since the previous call), each whole and all of one generation;
// then checks them as a start does (checkDatabase on the files anew). A sound
// database is accepted: its generation becomes the one in use, and each table
// re-reads its new file at its next refresh. Tables of two generations are an
// update still under way (Changing), unless the maker that made it was
// stopped (interruptedUpdate). A state found unsound is remembered with its
// reason and not checked again until a file changes. `waiting` is called once
// when the wait has lasted a quarter of a second.
NewDatabase awaitNewDatabase(
    const QString &dir, int waitMs, const std::function<void()> &waiting = {});

} // namespace zil::store
