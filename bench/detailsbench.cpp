// The detail pane and the tab switch of a started main window on synthetic
// databases: one change of the current material with every notice, memo and
// title it causes, beside plain SQLite reading the same record, synonyms and
// links through indexes; and one switch of tabs with its cross-positioning,
// in each direction, without and with the repaint of the window.
#include "benchutil.h"

#include "browser/searchclass.h"
#include "platform/files.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTabWidget>
#include <algorithm>
#include <sqlcipher/sqlite3.h>

namespace zil::bench {

namespace {

// The four tables copied into one SQLite file with the indexes that the
// same reads want, so that the baseline pays no scans.
class Baseline
{
public:
    Baseline(const QString &dir, const QString &copy)
    {
        QFile::remove(copy);
        QFile::copy(QDir(dir).filePath(QStringLiteral("MATERIAL.DB")), copy);
        if (sqlite3_open_v2(copy.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr)
            != SQLITE_OK)
            qFatal("bench: cannot open %s", qPrintable(copy));
        for (const char *table : {"SYNON.DB", "MATSUPP.DB", "SUPPLIER.DB"}) {
            const QString name = QString::fromLatin1(table).section(QLatin1Char('.'), 0, 0);
            exec(QStringLiteral("ATTACH '%1' AS src%2; CREATE TABLE %2 AS SELECT * FROM src%2.%2; "
                                "DETACH src%2;")
                     .arg(QDir(dir).filePath(QString::fromLatin1(table)), name.toLower()));
        }
        exec(QStringLiteral("CREATE INDEX m_id ON material(id); "
                            "CREATE INDEX s_link ON synon(materialid, pos); "
                            "CREATE INDEX l_link ON matsupp(materialid, supplierid); "
                            "CREATE INDEX p_id ON supplier(id);"));
        m_material = prepare("SELECT name, cas, fema, ce, occur, flavor, applic, liter "
                             "FROM material WHERE id = ?1");
        m_synonyms = prepare("SELECT name FROM synon WHERE materialid = ?1 ORDER BY pos");
        m_links = prepare("SELECT count(*) FROM matsupp WHERE materialid = ?1");
        m_supplier = prepare("SELECT s.name, s.address, s.city, s.country, s.phone "
                             "FROM matsupp l JOIN supplier s ON s.id = l.supplierid "
                             "WHERE l.materialid = ?1 ORDER BY l.supplierid LIMIT 1");
    }
    ~Baseline()
    {
        for (sqlite3_stmt *s : {m_material, m_synonyms, m_links, m_supplier})
            sqlite3_finalize(s);
        sqlite3_close(m_db);
    }

    // What a change of material shows: the record with its memos, the
    // synonyms in order, the number of links and the first link's supplier.
    void read(int id)
    {
        for (sqlite3_stmt *s : {m_material, m_synonyms, m_links, m_supplier}) {
            sqlite3_reset(s);
            sqlite3_bind_int(s, 1, id);
            while (sqlite3_step(s) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(s); ++c)
                    sqlite3_column_text(s, c);
            }
        }
    }

private:
    void exec(const QString &sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK)
            qFatal("bench: %s", error);
    }
    sqlite3_stmt *prepare(const char *sql)
    {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &s, nullptr) != SQLITE_OK)
            qFatal("bench: %s: %s", sql, sqlite3_errmsg(m_db));
        return s;
    }

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_material = nullptr;
    sqlite3_stmt *m_synonyms = nullptr;
    sqlite3_stmt *m_links = nullptr;
    sqlite3_stmt *m_supplier = nullptr;
};

// Picks a random record of a non-empty cursor as a click in its grid would.
bool pickRow(store::Table &table, QRandomGenerator &rng)
{
    const int count = table.recordCount();
    if (count == 0)
        return false;
    table.setRecNo(int(rng.bounded(count)) + 1);
    return true;
}

} // namespace

void runDetails(const QString &work, std::vector<Database> &databases)
{
    reportMessages();
    for (Database &db : databases) {
        if (db.kept)
            continue;
        ensureIndexed(db);
        const int n = db.size;
        const QString dir = db.dir;
        const InstalledProgram program(work, QStringLiteral("details-prog-%1").arg(n), dir);
        const QString size = QString::number(n);

        TMainForm form;
        startMainWindow(form, QStringLiteral("%1 materials").arg(n));
        form.DetailTabNotebook->setCurrentIndex(1);
        form.SuppliersDetailTabNotebook->setCurrentIndex(1);
        QApplication::processEvents();

        QRandomGenerator rng(11);
        const int changes = 400;
        std::vector<int> ids;
        for (int i = 0; i < changes; ++i)
            ids.push_back(1 + int(rng.bounded(form.MaterialCount)));

        const Sample change
            = measureEach(changes, [&](int i) { form.SearchClass->GotoMaterial(ids[size_t(i)]); });
        Baseline baseline(dir, QDir(work).filePath(QStringLiteral("details-base-%1.db").arg(n)));
        const Sample read = measureEach(changes, [&](int i) { baseline.read(ids[size_t(i)]); });
        printRow(QStringLiteral("change of material (notices, memo, title)"), size, change, read,
            QStringLiteral("indexed sqlite3 reads of the same"));
        const Sample painted = measureEach(changes / 4, [&](int i) {
            form.SearchClass->GotoMaterial(ids[size_t(i)]);
            form.DetailTabNotebook->repaint();
        });
        printRow(QStringLiteral("change of material and repaint of the pane"), size, painted, {},
            QString());

        // Tab switches, each after picking the item to carry across.
        const int switches = 100;
        std::vector<double> toSuppliers, toMaterials, toSuppliersPainted, toMaterialsPainted;
        for (int i = 0; i < switches; ++i) {
            const bool paint = i % 2 == 1;
            do {
                form.SearchClass->GotoMaterial(1 + int(rng.bounded(form.MaterialCount)));
                form.SearchClass->ShowCurrent();
            } while (!pickRow(*form.TableSupLink, rng));
            (paint ? toSuppliersPainted : toSuppliers).push_back(seconds([&] {
                form.Suppliers1Click();
                if (paint)
                    form.repaint();
            }));
            do {
                pickRow(*form.TableSupplierName, rng);
            } while (!pickRow(*form.TableSupLink2, rng));
            (paint ? toMaterialsPainted : toMaterials).push_back(seconds([&] {
                form.Materials1Click();
                if (paint)
                    form.repaint();
            }));
        }
        printRow(QStringLiteral("tab switch to Suppliers, cross-positioned"), size,
            summary(toSuppliers), {}, QString());
        printRow(QStringLiteral("tab switch to Materials, cross-positioned"), size,
            summary(toMaterials), {}, QString());
        printRow(QStringLiteral("tab switch to Suppliers, with repaint"), size,
            summary(toSuppliersPainted), {}, QString());
        printRow(QStringLiteral("tab switch to Materials, with repaint"), size,
            summary(toMaterialsPainted), {}, QString());
    }
}

} // namespace zil::bench
