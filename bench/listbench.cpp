// The material list of a started main window on synthetic databases: one
// keystroke in the search field, one paint of the visible rows, and a
// criteria run with a flavour criterion, each beside plain SQLite doing the
// same lookup or test, and the criteria run also beside a bare scan of the
// same texts held in memory.
#include "benchutil.h"

#include "browser/Search.h"
#include "browser/searchclass.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <algorithm>
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

// A criteria run: the dialog's fields, and the same test as one LIKE query.
struct Criteria
{
    QString name;
    const char *material;
    const char *occurrence;
    const char *flavour;
    const char *application;
};

const Criteria kFlavourOnly {
    QStringLiteral("ApplyCriteria, flavour criterion"), "", "", "caramellic", ""};
const Criteria kAllFour {QStringLiteral("ApplyCriteria, criteria on all four fields"), "ethyl",
    "found", "sweet", "flavours"};

// The texts of the criteria as they sit in memory, upper-cased once: the
// name and synonyms of each material and its three tested memos.
struct Texts
{
    std::vector<QByteArray> names, occur, flavor, applic;
    std::vector<std::vector<QByteArray>> synonyms;
};

QByteArray column(sqlite3_stmt *s, int c)
{
    return QByteArray(
        static_cast<const char *>(sqlite3_column_blob(s, c)), sqlite3_column_bytes(s, c))
        .toUpper();
}

Texts readTexts(const QString &dir)
{
    Texts t;
    sqlite3 *db = openCopy(QDir(dir).filePath(QStringLiteral("MATERIAL.DB")));
    sqlite3_stmt *s = prepare(db, "SELECT id, name, occur, flavor, applic FROM material");
    std::vector<int> ids;
    while (sqlite3_step(s) == SQLITE_ROW) {
        ids.push_back(sqlite3_column_int(s, 0));
        t.names.push_back(column(s, 1));
        t.occur.push_back(column(s, 2));
        t.flavor.push_back(column(s, 3));
        t.applic.push_back(column(s, 4));
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    // Synonyms by the place of their material.
    int maxId = 0;
    for (int id : ids)
        maxId = std::max(maxId, id);
    std::vector<int> place(size_t(maxId) + 1, -1);
    for (size_t i = 0; i < ids.size(); ++i)
        place[size_t(ids[i])] = int(i);
    t.synonyms.resize(ids.size());
    db = openCopy(QDir(dir).filePath(QStringLiteral("SYNON.DB")));
    s = prepare(db, "SELECT materialid, name FROM synon ORDER BY materialid, pos");
    while (sqlite3_step(s) == SQLITE_ROW) {
        const int id = sqlite3_column_int(s, 0);
        if (id >= 0 && id <= maxId && place[size_t(id)] >= 0)
            t.synonyms[size_t(place[size_t(id)])].push_back(column(s, 1));
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return t;
}

bool holds(const QByteArray &text, const QByteArray &needle)
{
    return needle.isEmpty()
        || memmem(text.constData(), size_t(text.size()), needle.constData(), size_t(needle.size()));
}

// The floor: the same test over the texts in memory with nothing but memmem,
// in the order the program tests them.
int scanTexts(const Texts &t, const Criteria &c)
{
    const QByteArray material = QByteArray(c.material).toUpper();
    const QByteArray occurrence = QByteArray(c.occurrence).toUpper();
    const QByteArray flavour = QByteArray(c.flavour).toUpper();
    const QByteArray application = QByteArray(c.application).toUpper();
    int found = 0;
    for (size_t i = 0; i < t.names.size(); ++i) {
        bool r = holds(t.names[i], material);
        for (size_t k = 0; !r && k < t.synonyms[i].size(); ++k)
            r = holds(t.synonyms[i][k], material);
        r = r && (occurrence.isEmpty() || (!t.occur[i].isEmpty() && holds(t.occur[i], occurrence)));
        r = r
            && (application.isEmpty()
                || (!t.applic[i].isEmpty() && holds(t.applic[i], application)));
        r = r && (flavour.isEmpty() || (!t.flavor[i].isEmpty() && holds(t.flavor[i], flavour)));
        found += r;
    }
    return found;
}

// The same test as one query; the synonyms come from a copy of SYNON.DB
// with an SQL index on the material, so that the query pays no scan per
// material.
QByteArray likeQuery(const Criteria &c)
{
    QStringList where;
    auto like = [](const char *column, const char *word) {
        return QStringLiteral("%1 LIKE '%%2%'").arg(QLatin1String(column), QLatin1String(word));
    };
    if (*c.occurrence)
        where << like("m.occur", c.occurrence);
    if (*c.application)
        where << like("m.applic", c.application);
    if (*c.flavour)
        where << like("m.flavor", c.flavour);
    if (*c.material)
        where << QStringLiteral("(%1 OR EXISTS (SELECT 1 FROM syn.synon s WHERE s.materialid = "
                                "m.id AND %2))")
                     .arg(like("m.name", c.material), like("s.name", c.material));
    return QStringLiteral("SELECT m.id FROM material m WHERE %1 ORDER BY m.sf, m.id")
        .arg(where.join(QStringLiteral(" AND ")))
        .toUtf8();
}

void setCriteria(TMainForm &form, const Criteria &c)
{
    form.SearchWindow->Material->setText(QString::fromUtf8(c.material));
    form.SearchWindow->Occurence->setText(QString::fromUtf8(c.occurrence));
    form.SearchWindow->Flavour->setText(QString::fromUtf8(c.flavour));
    form.SearchWindow->Application->setText(QString::fromUtf8(c.application));
}

} // namespace

void runList(const QString &work, std::vector<Database> &databases)
{
    reportMessages();
    for (Database &db : databases) {
        ensureIndexed(db);
        const int n = db.size;
        const QString dir = db.dir;
        const InstalledProgram program(work, QStringLiteral("list-prog-%1").arg(n), dir);
        const QString size = QString::number(n);

        TMainForm form;
        startMainWindow(form, QStringLiteral("%1 materials").arg(n));

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
        // current material with the detail pane's notices, the grid's row,
        // and the repaint of the rows in view.
        const Sample keystroke = measureEach(int(prefixes.size()), [&](int i) {
            form.SearchField->setText(prefixes[i]);
            form.MaterialGrid->repaint();
        });
        const Sample lookup = measureEach(int(prefixes.size()), [&](int i) {
            const QByteArray key = prefixes[i].toUpper().toUtf8();
            sqlite3_reset(nearest);
            sqlite3_bind_text(nearest, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(nearest) == SQLITE_ROW)
                sqlite3_column_int(nearest, 0);
        });
        sqlite3_finalize(nearest);
        sqlite3_close(indexed);
        printRow(QStringLiteral("keystroke in the search field, with repaint"), size, keystroke,
            lookup, QStringLiteral("indexed sqlite3 lookup of the prefix"));

        // On a kept database, only the flavour criterion and its query.
        if (!db.kept) {
            const Sample paint = measure(50, [&] { form.MaterialGrid->repaint(); });
            printRow(QStringLiteral("paint of the visible rows (%1)")
                         .arg(form.MaterialGrid->visibleRowCount()),
                size, paint, {}, QString());
        }

        const QString synonyms = QDir(work).filePath(QStringLiteral("list-synonyms-%1.db").arg(n));
        QFile::remove(synonyms);
        QFile::copy(QDir(dir).filePath(QStringLiteral("SYNON.DB")), synonyms);
        {
            sqlite3 *s = openCopy(synonyms);
            sqlite3_exec(
                s, "CREATE INDEX s_material ON synon(materialid)", nullptr, nullptr, nullptr);
            sqlite3_close(s);
        }
        const Texts texts = db.kept ? Texts() : readTexts(dir);
        sqlite3 *plain = openCopy(QDir(dir).filePath(QStringLiteral("MATERIAL.DB")));
        sqlite3_exec(plain, QStringLiteral("ATTACH '%1' AS syn").arg(synonyms).toUtf8().constData(),
            nullptr, nullptr, nullptr);
        const int runs = n > 50000 ? 5 : 11;
        for (const Criteria &c : {kFlavourOnly, kAllFour}) {
            if (db.kept && c.name != kFlavourOnly.name)
                continue;
            setCriteria(form, c);
            const Sample criteria = measure(runs, [&] { form.SearchClass->ApplyCriteria(); });
            const int selected = form.SearchClass->SelectedCount;
            int liked = 0;
            const QByteArray query = likeQuery(c);
            const Sample like = measure(runs, [&] {
                sqlite3_stmt *s = prepare(plain, query.constData());
                liked = 0;
                while (sqlite3_step(s) == SQLITE_ROW)
                    ++liked;
                sqlite3_finalize(s);
            });
            printRow(c.name, size, criteria, like,
                QStringLiteral("sqlite3 LIKE query on the same files"));
            if (db.kept) {
                std::fprintf(stderr, "zil-bench: %s selected %d, LIKE %d%s\n", qPrintable(c.name),
                    selected, liked, selected != liked ? " (they differ)" : "");
                continue;
            }
            int found = 0;
            const Sample scan = measure(runs, [&] { found = scanTexts(texts, c); });
            std::fprintf(stderr, "zil-bench: %s selected %d, LIKE %d, scan %d%s\n",
                qPrintable(c.name), selected, liked, found,
                selected != liked || selected != found ? " (they differ)" : "");
            printRow(c.name, size, criteria, scan,
                QStringLiteral("memmem over the texts in memory (floor)"));
        }
        sqlite3_close(plain);
    }
}

} // namespace zil::bench
