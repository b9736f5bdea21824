// The material list of a started main window on synthetic databases: one
// keystroke in the search field, one paint of the visible rows, and a
// criteria run with a flavour criterion, each beside plain SQLite doing the
// same lookup or test, and the criteria run also beside a bare scan of the
// same texts held in memory.
#include "benchutil.h"

#include "browser/Search.h"
#include "browser/searchclass.h"
#include "framework/platform/files.h"
#include "framework/platform/messagebox.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <cstring>
#include <sqlcipher/sqlite3.h>

namespace zil::bench {

namespace {

sqlite3 *openCopy(const QString &path)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK)
        qFatal("bench: cannot open %s", qPrintable(path));
    return db;
}

sqlite3_stmt *prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
        qFatal("bench: %s: %s", sql, sqlite3_errmsg(db));
    return s;
}

const char *const kFlavour = "caramellic";

} // namespace

void runList(const QString &work, const QList<int> &sizes)
{
    reportMessages();
    for (int n : sizes) {
        const QString dir = QDir(work).filePath(QStringLiteral("list-%1").arg(n));
        QDir().mkpath(dir);
        if (!makeDatabase(dir, n))
            qFatal("bench: cannot make a database of %d materials", n);
        installProgram(work, QStringLiteral("list-prog-%1").arg(n), dir);
        const QString size = QString::number(n);

        TMainForm form;
        if (!form.StartUp())
            qFatal("bench: start-up failed on %d materials", n);
        form.show();
        QApplication::processEvents();

        // Prefixes as a user types them, from real names.
        QStringList prefixes;
        {
            store::Table names;
            names.setDatabaseName(dir);
            names.setTableName(QStringLiteral("MATERIAL.DB"));
            names.open();
            QRandomGenerator rng(7);
            for (int i = 0; i < 400; ++i) {
                names.setRecNo(int(rng.bounded(names.recordCount())) + 1);
                prefixes << names.fieldByName(QStringLiteral("name"))
                                .asString()
                                .left(1 + int(rng.bounded(6)))
                                .toLower();
            }
        }
        const QString copy = QDir(work).filePath(QStringLiteral("list-indexed-%1.db").arg(n));
        QFile::remove(copy);
        QFile::copy(QDir(dir).filePath(QStringLiteral("MATERIAL.DB")), copy);
        sqlite3 *indexed = openCopy(copy);
        sqlite3_exec(indexed, "CREATE INDEX nameorder ON material(sf COLLATE NOCASE, id)", nullptr,
            nullptr, nullptr);
        sqlite3_stmt *nearest = prepare(indexed,
            "SELECT id FROM material WHERE sf >= ?1 COLLATE NOCASE "
            "ORDER BY sf COLLATE NOCASE, id LIMIT 1");

        // Each keystroke is the whole reaction: the search, the move of the
        // current material with the detail pane, and the grid's row.
        const Sample keystroke = measureEach(
            int(prefixes.size()), [&](int i) { form.SearchField->setText(prefixes[i]); });
        const Sample lookup = measureEach(int(prefixes.size()), [&](int i) {
            const QByteArray key = prefixes[i].toUpper().toUtf8();
            sqlite3_reset(nearest);
            sqlite3_bind_text(nearest, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(nearest) == SQLITE_ROW)
                sqlite3_column_int(nearest, 0);
        });
        sqlite3_finalize(nearest);
        sqlite3_close(indexed);
        printRow(QStringLiteral("keystroke in the search field"), size, keystroke, lookup,
            QStringLiteral("indexed sqlite3 lookup of the prefix"));

        const Sample paint = measure(50, [&] { form.MaterialGrid->repaint(); });
        printRow(QStringLiteral("paint of the visible rows (%1)")
                     .arg(form.MaterialGrid->visibleRowCount()),
            size, paint, {}, QString());

        // A criteria run with a flavour criterion.
        form.SearchWindow->Flavour->setText(QString::fromLatin1(kFlavour));
        const int runs = n > 50000 ? 5 : 11;
        const Sample criteria = measure(runs, [&] { form.SearchClass->ApplyCriteria(); });
        const int selected = form.SearchClass->SelectedCount;

        sqlite3 *plain = openCopy(QDir(dir).filePath(QStringLiteral("MATERIAL.DB")));
        int liked = 0;
        const Sample like = measure(runs, [&] {
            sqlite3_stmt *s = prepare(
                plain, "SELECT id FROM material WHERE flavor LIKE '%caramellic%' ORDER BY sf, id");
            liked = 0;
            while (sqlite3_step(s) == SQLITE_ROW)
                ++liked;
            sqlite3_finalize(s);
        });
        // The floor: the same texts already in memory and upper-cased, and
        // nothing but a substring search over them.
        std::vector<QByteArray> texts;
        {
            sqlite3_stmt *s = prepare(plain, "SELECT flavor FROM material");
            while (sqlite3_step(s) == SQLITE_ROW) {
                QByteArray t(static_cast<const char *>(sqlite3_column_blob(s, 0)),
                    sqlite3_column_bytes(s, 0));
                texts.push_back(t.toUpper());
            }
            sqlite3_finalize(s);
        }
        sqlite3_close(plain);
        const QByteArray needle = QByteArray(kFlavour).toUpper();
        int found = 0;
        const Sample scan = measure(runs, [&] {
            found = 0;
            for (const QByteArray &t : texts)
                if (memmem(
                        t.constData(), size_t(t.size()), needle.constData(), size_t(needle.size())))
                    ++found;
        });
        if (selected != liked || selected != found)
            std::fprintf(stderr, "zil-bench: criteria run selected %d, LIKE %d, scan %d\n",
                selected, liked, found);
        printRow(QStringLiteral("ApplyCriteria, flavour criterion"), size, criteria, like,
            QStringLiteral("sqlite3 LIKE query on the same file"));
        printRow(QStringLiteral("ApplyCriteria, flavour criterion"), size, criteria, scan,
            QStringLiteral("memmem over the texts in memory (floor)"));
        platform::setProgramFilePathHook({});
    }
}

} // namespace zil::bench
