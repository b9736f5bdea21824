// The Find window of a started main window on synthetic databases: taking up
// its search data on first use, the first keystroke, the memory they hold
// after typing, and one keystroke in its field with the list made anew,
// beside plain SQLite answering the same text with a LIKE query over names
// and synonyms.
#include "benchutil.h"

#include "browser/findindex.h"
#include "browser/findwindow.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTreeView>
#include <sqlcipher/sqlite3.h>
#include <unistd.h>

namespace zil::bench {

namespace {

// The resident memory of this process in MiB.
double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Texts as a user types them, one character at a time: the start of a word
// of a real name (one to six characters), a FEMA number and the digits of a
// CAS number.
QStringList typedTexts(const QString &dir)
{
    store::Table names;
    names.setDatabaseName(dir);
    names.setTableName(QStringLiteral("MATERIAL.DB"));
    names.open();
    QRandomGenerator rng(11);
    QStringList texts;
    while (texts.size() < 400) {
        names.setRecNo(int(rng.bounded(names.recordCount())) + 1);
        const QStringList words = names.fieldByName(QStringLiteral("name"))
                                      .asString()
                                      .split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QString word = words.value(int(rng.bounded(qMax(1, int(words.size())))));
        if (rng.bounded(4) == 0)
            word = names.fieldByName(QStringLiteral("fema")).asString();
        else if (rng.bounded(4) == 0)
            word = names.fieldByName(QStringLiteral("cas")).asString().remove(QLatin1Char('-'));
        word = word.left(6).toLower();
        for (int k = 1; k <= word.size(); ++k)
            texts << word.left(k);
    }
    return texts;
}

} // namespace

void runFind(const QString &work, std::vector<Database> &databases)
{
    reportMessages();
    for (Database &db : databases) {
        ensureIndexed(db);
        const int n = db.size;
        const QString dir = db.dir;
        const InstalledProgram program(work, QStringLiteral("find-prog-%1").arg(n), dir);
        const QString size = QString::number(n);

        TMainForm form;
        startMainWindow(form, QStringLiteral("%1 materials").arg(n));

        // The baseline of the reading: the same columns read with SQLite.
        const QString materialFile = QDir(dir).filePath(QStringLiteral("MATERIAL.DB"));
        const QString synonymFile = QDir(dir).filePath(QStringLiteral("SYNON.DB"));
        sqlite3 *db3 = nullptr;
        if (sqlite3_open_v2(materialFile.toUtf8().constData(), &db3, SQLITE_OPEN_READONLY, nullptr)
            != SQLITE_OK)
            qFatal("bench: cannot open %s", qPrintable(materialFile));
        sqlite3_exec(db3, QStringLiteral("ATTACH '%1' AS s").arg(synonymFile).toUtf8().constData(),
            nullptr, nullptr, nullptr);
        double textBytes = 0;
        auto readAll = [&] {
            textBytes = 0;
            for (const char *sql : {"SELECT name, cas, fema, ce, sf FROM material",
                     "SELECT name, sf, materialid FROM s.synon"}) {
                sqlite3_stmt *s = nullptr;
                sqlite3_prepare_v2(db3, sql, -1, &s, nullptr);
                while (sqlite3_step(s) == SQLITE_ROW) {
                    for (int c = 0; c < sqlite3_column_count(s); ++c)
                        textBytes += sqlite3_column_bytes(s, c);
                }
                sqlite3_finalize(s);
            }
        };

        // First use: the search data taken up from their file beside the
        // tables, as the window does; built from the tables only when the
        // file is missing.
        const double before = residentMiB();
        browser::FindIndex index;
        bool fromFile = false;
        const double taken = seconds([&] {
            fromFile = index.open(*form.TableMaterialSelect, *form.TableSinonSelect);
            if (!fromFile)
                index.build(*form.TableMaterialSelect, *form.TableSinonSelect);
        });
        const double read = seconds(readAll);
        printRow(QStringLiteral("find: search data taken up on first use"), size, {taken, taken},
            {read, read},
            fromFile ? QStringLiteral("sqlite3 read of the same columns")
                     : QStringLiteral("sqlite3 read of the same columns (NO FILE: BUILT)"));

        // Each keystroke is the whole reaction: the search, the list made
        // anew with its first row current, and the repaint of the rows in
        // view. The first one takes up the window's own data.
        form.MenuFind->trigger();
        auto *field = form.FindWindow->findChild<QLineEdit *>(QStringLiteral("FindField"));
        auto *results = form.FindWindow->findChild<QTreeView *>(QStringLiteral("FindResults"));
        const double first = seconds([&] {
            field->setText(QStringLiteral("a"));
            results->viewport()->repaint();
        });
        const QStringList texts = typedTexts(dir);
        const Sample keystroke = measureEach(int(texts.size()), [&](int i) {
            field->setText(texts[i]);
            results->viewport()->repaint();
        });
        const Sample core = measureEach(
            int(texts.size()), [&](int i) { index.find(texts[i], browser::FindWindow::kMaxRows); });
        printRow(QStringLiteral("find: first keystroke, data taken up"), size, {first, first},
            {keystroke.median, keystroke.worst},
            QStringLiteral("later keystrokes (median, worst)"));

        // What the data hold after the typing: the window's and the
        // bench's own index, and how much the process grew meanwhile.
        const double held = double(index.memoryBytes() + form.FindWindow->index().memoryBytes())
            / (1024.0 * 1024.0);
        const double grown = residentMiB() - before;
        printRow(QStringLiteral("find: memory of the search data, 400 texts"), size, {held, grown},
            {textBytes / (1024.0 * 1024.0), textBytes / (1024.0 * 1024.0)},
            QStringLiteral("bytes of the texts read (worst: resident growth)"), Unit::MiB);
        std::fprintf(stderr,
            "zil-bench: find data of %d materials: %s in %.2f ms, %.1f MiB held by the two "
            "indexes after %d texts, resident memory grew by %.1f MiB\n",
            n, fromFile ? "taken up from the file" : "built", taken * 1e3, held, int(texts.size()),
            grown);
        std::fprintf(stderr,
            "zil-bench: find keystroke at %d materials: %.2f ms median, %.2f ms worst "
            "(search alone %.2f ms, %.2f ms)\n",
            n, keystroke.median * 1e3, keystroke.worst * 1e3, core.median * 1e3, core.worst * 1e3);

        // The baseline scans every record per query, so it is timed on every
        // eighth text only.
        sqlite3_stmt *like = nullptr;
        sqlite3_prepare_v2(db3,
            "SELECT id FROM material WHERE name LIKE ?1 OR cas LIKE ?2 OR fema LIKE ?2 "
            "OR ce LIKE ?2 UNION SELECT materialid FROM s.synon WHERE name LIKE ?1",
            -1, &like, nullptr);
        const Sample baseline = measureEach(int(texts.size() + 7) / 8, [&](int i) {
            const QString &text = texts[8 * i];
            const QByteArray contains = (QStringLiteral("%") + text + QStringLiteral("%")).toUtf8();
            const QByteArray begins = (text + QStringLiteral("%")).toUtf8();
            sqlite3_reset(like);
            sqlite3_bind_text(like, 1, contains.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(like, 2, begins.constData(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(like) == SQLITE_ROW)
                sqlite3_column_int(like, 0);
        });
        sqlite3_finalize(like);
        sqlite3_close(db3);
        printRow(QStringLiteral("find keystroke, with list and repaint"), size, keystroke, baseline,
            QStringLiteral("sqlite3 LIKE over names and synonyms"));
        printRow(QStringLiteral("find keystroke, search alone"), size, core, baseline,
            QStringLiteral("sqlite3 LIKE over names and synonyms"));
        form.FindWindow->close();
    }
}

} // namespace zil::bench
