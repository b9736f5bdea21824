// The Find window of the started program: materials found by number, name,
// synonym, accented name and name typed with blanks for its hyphens as the
// user types, the order of the groups and the cap on the list, and Enter or a
// double click making the material found current, from a narrowed list, from
// the Suppliers tab and on a database large enough to scroll.
#include "browser/Search.h"
#include "browser/findindex.h"
#include "browser/findwindow.h"
#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "common/testdb.h"
#include "framework/stringgrid.h"
#include "platform/filelock.h"
#include "shell/Zil0.h"
#include "store/filenames.h"
#include "store/finddata.h"
#include "store/finddatawriter.h"
#include "store/indexfile.h"
#include "store/table.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

using namespace zil;

namespace {

// Ids follow the sort keys: prefixes such as "gamma-" and "p-" are dropped
// from them, so gamma-Undecalactone files under U.
QList<test::SourceMaterial> materials()
{
    QList<test::SourceMaterial> list {
        {.key = "1",
            .name = "Vanillin",
            .cas = "121-33",
            .fema = "3107",
            .ce = "107",
            .synonyms = {"4-Hydroxy-3-methoxybenzaldehyde", "Vanillic aldehyde"}},
        {.key = "2",
            .name = "gamma-Undecalactone",
            .cas = "104-67",
            .fema = "3091",
            .synonyms = {"Aldehyde C-14 (so-called)", "Peach aldehyde"}},
        {.key = "3", .name = "delta-Undecalactone", .cas = "710-04", .fema = "3294"},
        {.key = "4", .name = "Cédrol", .cas = "77-53", .fema = "4530"},
        {.key = "5", .name = "Anisole", .cas = "100-66", .fema = "2097"},
        {.key = "6", .name = "p-Anisaldehyde", .cas = "123-11", .fema = "2670"},
        {.key = "7",
            .name = "Anethole",
            .cas = "4180-23",
            .fema = "2086",
            .synonyms = {"Anise camphor"}},
        {.key = "8", .name = "Star anise oil", .cas = "8007-70", .fema = "2096"},
        {.key = "9", .name = "Allyl hexanoate", .cas = "123-68", .fema = "2032", .ce = "10712"},
        {.key = "10", .name = "Pyrazine", .cas = "290-37"},
    };
    // Names that hold "pyrazine" and sort before the one that begins with it.
    for (int i = 1; i <= 230; ++i)
        list.append({.key = QString::number(100 + i),
            .name = QStringLiteral("Acetylpyrazine %1").arg(i, 3, 10, QLatin1Char('0'))});
    return list;
}

// Every hit of a search and the count, as one list to compare.
QStringList described(const browser::FindIndex &index, const QString &text, int limit)
{
    const browser::FindResult r = index.find(text, limit);
    QStringList out {QString::number(r.total)};
    for (const browser::FindHit &h : r.hits)
        out << QStringLiteral("%1|%2|%3|%4|%5|%6")
                   .arg(h.id)
                   .arg(int(h.group))
                   .arg(int(h.field))
                   .arg(index.name(h.id), index.cas(h.id))
                   .arg(h.synonym < 0 ? QString() : index.synonym(h.synonym));
    return out;
}

// Texts of every kind: letters, runs of one to three bytes and longer ones
// of one word, two and more, blanks and hyphens, numbers typed with and
// without their hyphens.
const char *const queries[] = {"a", "e", "q", "-", " ", "ol", "yl ", "m", "me", "met", "meth",
    "methy", "methyl", "methyl b", "methyl-b", "2-meth", "acetyl-3", "ethyl", "acetate", "ine",
    "xx", "ö", "1", "12", "100", "2001", "3107", "121-33", "12133", "5-", "(e)-2", "c-1", "fema 3",
    "oil", "zzz"};

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestFind : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_db;
    std::unique_ptr<test::RunningApp> m_app;

    TMainForm &form() { return *m_app->form(); }
    browser::FindWindow *window() { return form().findChild<browser::FindWindow *>("FindWindow"); }
    QLineEdit *field() { return window()->findChild<QLineEdit *>("FindField"); }
    QTreeView *results() { return window()->findChild<QTreeView *>("FindResults"); }
    QString currentName() { return form().TableMaterial->fieldByName("name").asString(); }

    // Opens Find from the Edit menu and types text into a field left empty.
    void find(const QString &text)
    {
        form().MenuFind->trigger();
        QVERIFY(window()->isVisible());
        // The cursor waits in the field (the offscreen platform keeps the
        // main window active, so the window's own focus is what tells).
        QCOMPARE(window()->focusWidget(), static_cast<QWidget *>(field()));
        field()->clear();
        // Keys are typed one by one; a letter no key makes is pasted in.
        for (QChar c : text) {
            if (c.unicode() < 128)
                QTest::keyClick(field(), c.toLatin1());
            else
                field()->insert(c);
        }
    }

    // The rows of the result list, their cells joined by "|"; a line that
    // spans the row shows its first cell only.
    QStringList rows()
    {
        QStringList out;
        const QAbstractItemModel *m = results()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c)
                cells << m->index(r, c).data().toString();
            out << (results()->isFirstColumnSpanned(r, {}) ? cells[0] : cells.join('|'));
        }
        return out;
    }
    QStringList names()
    {
        QStringList out;
        const QAbstractItemModel *m = results()->model();
        for (int r = 0; r < m->rowCount(); ++r)
            out << m->index(r, 0).data().toString();
        return out;
    }

    // Narrows the list through the criteria test, as "&Select" does.
    void narrowTo(const QString &material)
    {
        form().SearchWindow->Material->setText(material);
        form().ApplySelection();
        form().UpdateListCaption();
        form().UpdateSearchEnabled();
    }

private slots:
    void initTestCase()
    {
        m_db = m_tmp.filePath("db");
        QVERIFY(test::makeDatabase(m_tmp.filePath("src"), m_db, materials()));
        QVERIFY(!test::scrollingDatabase().isEmpty());
    }

    void init()
    {
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(m_db));
        m_app->show();
    }

    void cleanup() { m_app.reset(); }

    void menuAndShortcut()
    {
        QCOMPARE(form().EditMenu->title(), QStringLiteral("&Edit"));
        QCOMPARE(form().MenuFind->text(), QStringLiteral("&Find..."));
        QCOMPARE(form().MenuFind->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
        QVERIFY(!window()->isVisible());
        form().activateWindow();
        QTest::keyClick(&form(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window()->isVisible());
        // Placed over the middle of the main window.
        const QPoint offset = window()->frameGeometry().center() - form().frameGeometry().center();
        QVERIFY2(offset.manhattanLength() < 20, qPrintable(QString::number(offset.x())));
    }

    void altEStillReachesTheSearchField()
    {
        // The Edit menu's letter must not take the search label's: each press
        // of Alt+E puts the cursor into the search field and opens no menu.
        QApplication::setActiveWindow(&form());
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        for (int i = 0; i < 3; ++i) {
            form().MaterialGrid->setFocus();
            QTest::keyClick(&form(), Qt::Key_E, Qt::AltModifier);
            QVERIFY(form().SearchField->hasFocus());
            QVERIFY(!form().EditMenu->isVisible());
        }
    }

    void findsByNumbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("first");
        QTest::newRow("FEMA") << "3107"
                              << "Vanillin|121-33-5|3107|107|FEMA";
        QTest::newRow("CAS with hyphens") << "121-33-5"
                                          << "Vanillin|121-33-5|3107|107|CAS";
        QTest::newRow("CAS without hyphens") << "121335"
                                             << "Vanillin|121-33-5|3107|107|CAS";
        QTest::newRow("CAS begun") << " 121-33"
                                   << "Vanillin|121-33-5|3107|107|CAS";
        QTest::newRow("CE") << "107"
                            << "Vanillin|121-33-5|3107|107|CE";
    }
    void findsByNumbers()
    {
        QFETCH(QString, text);
        QFETCH(QString, first);
        find(text);
        QVERIFY(!rows().isEmpty());
        QCOMPARE(rows().first(), first);
    }

    void findsByNamesAndSynonyms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("prefix typed")
            << "Gamma-undecalactone" << QStringList {"gamma-Undecalactone|104-67-6|3091||Name"};
        QTest::newRow("blanks for hyphens")
            << "gamma undecalactone" << QStringList {"gamma-Undecalactone|104-67-6|3091||Name"};
        QTest::newRow("prefix left out") << "undecalactone"
                                         << QStringList {"delta-Undecalactone|710-04-3|3294||Name",
                                                "gamma-Undecalactone|104-67-6|3091||Name"};
        QTest::newRow("synonym")
            << "peach ald"
            << QStringList {"gamma-Undecalactone|104-67-6|3091||Synonym: Peach aldehyde"};
        QTest::newRow("accents left out") << "CEDROL" << QStringList {"Cédrol|77-53-2|4530||Name"};
        QTest::newRow("accents typed") << "cédr" << QStringList {"Cédrol|77-53-2|4530||Name"};
        QTest::newRow("nothing") << "xylitol" << QStringList {"No material found"};
    }
    void findsByNamesAndSynonyms()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        find(text);
        QCOMPARE(rows(), expected);
    }

    void groupsInOrder()
    {
        // Exact numbers, then those that begin with the text, each in name
        // order; Vanillin's CE is the text, Allyl hexanoate's begins with it.
        find("107");
        QCOMPARE(names().mid(0, 2), (QStringList {"Vanillin", "Allyl hexanoate"}));
        // Begins, by name, sort key or synonym, then contains.
        find("anis");
        QCOMPARE(rows(),
            (QStringList {"Anethole|4180-23-8|2086||Synonym: Anise camphor",
                "p-Anisaldehyde|123-11-5|2670||Name", "Anisole|100-66-3|2097||Name",
                "Star anise oil|8007-70-3|2096||Name"}));
    }

    void singleCharacter()
    {
        // Those that begin with it by name, sort key or synonym, then the rest.
        find("p");
        QCOMPARE(rows().mid(0, 4),
            (QStringList {"p-Anisaldehyde|123-11-5|2670||Name", "Pyrazine|290-37-9|||Name",
                "gamma-Undecalactone|104-67-6|3091||Synonym: Peach aldehyde",
                "Acetylpyrazine 001||||Name"}));
        QCOMPARE(rows().last(), QStringLiteral("\u2026and 34 more"));
    }

    // The search passes over materials by filters of their characters and
    // pairs of characters, and a text typed on from the last one is searched
    // among the materials that one found; on thousands of synthetic
    // materials it finds exactly the materials a plain scan of their folded
    // texts finds.
    void agreesWithAPlainScan()
    {
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(test::scrollingDatabase()));
        browser::FindIndex index;
        index.build(*form().TableMaterialSelect, *form().TableSinonSelect);
        const qint32 n = form().MaterialCount;
        QCOMPARE(index.materialCount(), n);

        std::vector<QByteArray> texts(size_t(n) + 1);
        store::Table materials, synonyms;
        for (store::Table *t : {&materials, &synonyms}) {
            t->setDatabaseName(form().TableMaterialSelect->databaseName());
            t->setReadOnly(true);
        }
        materials.setTableName("MATERIAL.DB");
        synonyms.setTableName("SYNON.DB");
        materials.open();
        synonyms.open();
        const int name = materials.fieldByName("name").column();
        const std::vector<qint64> ids
            = materials.integersInView(materials.fieldByName("id").column());
        for (int r = 1; r <= materials.recordCount(); ++r)
            texts[size_t(ids[size_t(r) - 1])]
                += browser::foldForFind(materials.valueAt(r, name).toString()) + '\n';
        const int synName = synonyms.fieldByName("name").column();
        const std::vector<qint64> links
            = synonyms.integersInView(synonyms.fieldByName("materialid").column());
        for (int r = 1; r <= synonyms.recordCount(); ++r)
            texts[size_t(links[size_t(r) - 1])]
                += browser::foldForFind(synonyms.valueAt(r, synName).toString()) + '\n';

        for (const char *query : {"a", "e", "q", "2-m", "ol", "yl ", "m", "me", "met", "meth",
                 "methy", "methyl", "methyl-b", "ethyl", "acetate", "ine", "xx", "ö"}) {
            const QByteArray folded = browser::foldForFind(QString::fromUtf8(query));
            qint32 expected = 0;
            for (qint32 i = 1; i <= n; ++i)
                expected += texts[size_t(i)].contains(folded);
            const browser::FindResult found = index.find(QString::fromUtf8(query), 50);
            QVERIFY2(found.total == expected,
                qPrintable(QStringLiteral("%1: %2 found, %3 expected")
                               .arg(QString::fromUtf8(query))
                               .arg(found.total)
                               .arg(expected)));
            for (const browser::FindHit &hit : found.hits) {
                QVERIFY(hit.group == browser::FindGroup::Begins
                    || hit.group == browser::FindGroup::Contains);
                const QString text = hit.field == browser::FindField::Name
                    ? index.name(hit.id)
                    : index.synonym(hit.synonym);
                QVERIFY2(browser::foldForFind(text).contains(folded), qPrintable(text));
            }
        }
    }

    // The search data file that the maker wrote beside the tables gives
    // what the data built from the tables give, hit by hit, texts included.
    void searchDataFileAgreesWithTheTables()
    {
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(test::scrollingDatabase()));
        browser::FindIndex built, file;
        built.build(*form().TableMaterialSelect, *form().TableSinonSelect);
        QVERIFY(file.open(*form().TableMaterialSelect, *form().TableSinonSelect));
        QVERIFY(file.readsFile());
        QCOMPARE(file.materialCount(), built.materialCount());
        for (const char *query : queries) {
            for (int limit : {20, 5000})
                QCOMPARE(described(file, QString::fromUtf8(query), limit),
                    described(built, QString::fromUtf8(query), limit));
        }
        QVERIFY(file.readsFile());
    }

    // A search data file that does not fit its tables, or is damaged, is
    // not used: Find gives what the tables give, and the start-up check
    // counts it as missing, so that the next start makes it again.
    void damagedSearchDataFile_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("foundAtStart");
        for (const char *d : {"truncated to half", "truncated by 8", "header changed", "stale",
                 "an index file", "another database's", "an earlier format"})
            QTest::newRow(d) << QString::fromLatin1(d) << true;
        // A damaged body is found block by block as it is read.
        QTest::newRow("every block of the body changed") << "body" << false;
    }
    void damagedSearchDataFile()
    {
        QFETCH(QString, damage);
        QFETCH(bool, foundAtStart);
        QTemporaryDir tmp;
        const QString db = tmp.filePath("db");
        QVERIFY(test::copyDatabase(test::scrollingDatabase(), db));
        // With their times to the nanosecond, so that the index files still
        // name the tables.
        for (const QString &f : QDir(test::scrollingDatabase()).entryList(QDir::Files)) {
            struct stat st;
            QVERIFY(::stat(QFile::encodeName(test::scrollingDatabase() + "/" + f), &st) == 0);
            const struct timespec times[2] = {st.st_atim, st.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(db + "/" + f), times, 0) == 0);
        }
        const QString path = QDir(db).filePath(store::findDataFileName());
        const QByteArray sound = readBytes(path);
        QVERIFY(sound.size() > 3 * 4096);
        QVERIFY(store::indexesComplete(db));

        auto apply = [&] {
            QByteArray bytes = sound;
            if (damage == "truncated to half")
                bytes.truncate(bytes.size() / 2);
            else if (damage == "truncated by 8")
                bytes.chop(8);
            else if (damage == "header changed")
                bytes[60] = char(bytes[60] ^ 1);
            else if (damage == "an earlier format") {
                // As a release that kept the hyphens of the folded texts
                // wrote it: format 2, with a header checksum of its own.
                const quint32 earlier = 2;
                std::memcpy(bytes.data() + 24, &earlier, 4);
                quint32 headerBytes = 0;
                std::memcpy(&headerBytes, bytes.constData() + 32, 4);
                const quint64 sum = store::blockChecksum(
                    reinterpret_cast<const uchar *>(bytes.constData()), headerBytes - 8);
                std::memcpy(bytes.data() + headerBytes - 8, &sum, 8);
            } else if (damage == "an index file")
                bytes = readBytes(QDir(db).filePath("material.xg1"));
            else if (damage == "another database's")
                bytes = readBytes(QDir(m_db).filePath(store::findDataFileName()));
            else if (damage == "body") {
                // Past the header, which is smaller than one block here.
                for (qsizetype at = bytes.size() - 1; at > 4096; at -= 4096)
                    bytes[at] = char(bytes[at] ^ 0x20);
            } else if (damage == "stale") {
                // Made from the tables of the same database before a
                // synonym was changed.
                const QString before = tmp.filePath("before");
                if (!test::copyDatabase(db, before)
                    || !test::execSql(QDir(before).filePath("SYNON.DB"),
                        "UPDATE synon SET name = 'Quixotic zest' WHERE rowid = 5"))
                    return false;
                store::writeFindData(before);
                bytes = readBytes(QDir(before).filePath(store::findDataFileName()));
            }
            return !bytes.isEmpty() && bytes != sound && writeBytes(path, bytes);
        };

        // Damaged while the program runs, before Find is first used.
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(db));
        m_app->show();
        QVERIFY(apply());
        QCOMPARE(store::indexesComplete(db), !foundAtStart);
        find("meth");
        QVERIFY(!window()->index().readsFile());
        browser::FindIndex built;
        built.build(*form().TableMaterialSelect, *form().TableSinonSelect);
        for (const char *query : queries)
            QCOMPARE(described(window()->index(), QString::fromUtf8(query), 300),
                described(built, QString::fromUtf8(query), 300));
        QCOMPARE(names().value(0), built.name(built.find("meth", 1).hits.at(0).id));
        QVERIFY(m_app->messages.isEmpty());

        // The next start makes the file again, while its window is open, and
        // Find reads it.
        if (!foundAtStart)
            return;
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(db));
        m_app->show();
        QVERIFY(form().SearchDataWriter.wait(60000));
        QVERIFY(store::indexesComplete(db));
        find("meth");
        QVERIFY(window()->index().readsFile());
        QVERIFY(!names().isEmpty());
    }

    // The file a start writes while its window is open is put in under the
    // rebuild lock, which the maker holds while a new database moves in: a
    // file made from the tables before never takes the place of the new one.
    void writtenSearchDataNeverReplaceANewDatabases()
    {
        QTemporaryDir tmp;
        const QString db = tmp.filePath("db"), next = tmp.filePath("next");
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "3", db}));
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", "4", next}));
        QVERIFY(QFile::remove(QDir(db).filePath(store::findDataFileName())));
        platform::FileLock maker;
        QCOMPARE(maker.lockExclusive(store::rebuildLockFile(db)), platform::LockResult::Locked);

        store::FindDataWriter writer;
        writer.start(db);
        // Made by then, the file waits for the lock.
        QTest::qWait(1500);
        QVERIFY(writer.running());
        for (const QString &f : QDir(next).entryList(QDir::Files)) {
            QVERIFY(::rename(QFile::encodeName(QDir(next).filePath(f)),
                        QFile::encodeName(QDir(db).filePath(f)))
                == 0);
        }
        const QByteArray fresh = readBytes(QDir(db).filePath(store::findDataFileName()));
        maker.unlock();
        QVERIFY(writer.wait(60000));
        QCOMPARE(readBytes(QDir(db).filePath(store::findDataFileName())), fresh);
        QVERIFY(store::indexesComplete(db));

        // A file that went missing later is made again, of the new tables.
        QVERIFY(QFile::remove(QDir(db).filePath(store::findDataFileName())));
        writer.start(db);
        QVERIFY(writer.wait(60000));
        QCOMPARE(readBytes(QDir(db).filePath(store::findDataFileName())), fresh);
    }

    void atMost200RowsAndACount()
    {
        find("pyrazine");
        const QStringList n = names();
        QCOMPARE(n.size(), browser::FindWindow::kMaxRows + 1);
        QCOMPARE(n.first(), QStringLiteral("Pyrazine"));
        QCOMPARE(n[1], QStringLiteral("Acetylpyrazine 001"));
        QCOMPARE(n[199], QStringLiteral("Acetylpyrazine 199"));
        QCOMPARE(n.last(), QStringLiteral("\u2026and 31 more"));
        QVERIFY(results()->isFirstColumnSpanned(200, {}));
        // The count line is not a material: Enter on it opens nothing.
        QVERIFY(!window()->OpenRow(200));
        QVERIFY(window()->isVisible());
    }

    // The list cut at 200 rows lists every material on demand, by its
    // button or by a click on the line that counts the others; a text typed
    // anew is listed to 200 rows again.
    void everyMaterialOnDemand()
    {
        find("pyrazine");
        auto *showAll = window()->findChild<QPushButton *>("FindShowAll");
        QVERIFY(showAll);
        QVERIFY(showAll->isVisible());
        QTest::mouseClick(showAll, Qt::LeftButton);
        QCOMPARE(names().size(), 231);
        QCOMPARE(names().last(), QStringLiteral("Acetylpyrazine 230"));
        QVERIFY(!showAll->isVisible());

        QTest::keyClick(field(), Qt::Key_Backspace);
        QCOMPARE(names().size(), browser::FindWindow::kMaxRows + 1);
        QVERIFY(showAll->isVisible());
        const QModelIndex count = results()->model()->index(200, 0);
        results()->scrollTo(count);
        const QRect note = results()->visualRect(count);
        QTest::mouseClick(results()->viewport(), Qt::LeftButton, {}, note.center());
        QCOMPARE(names().size(), 231);
        QVERIFY(window()->isVisible());
    }

    // Columns fit what they show (scrollingDatabase), until the user drags
    // a column's edge; a click on a title sorts by the column
    // (numbers by their value, those without one last), a second click
    // the other way, a third gives back the order found in. The order holds
    // while typing on, and Enter opens the material of the row shown.
    void columnsFitSortAndResize()
    {
        QHeaderView *header = results()->header();
        find("o");
        const QStringList found = rows();

        auto clickTitle = [&](int column) {
            const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
        };
        clickTitle(1);
        QTest::keyClick(field(), 'l');
        QCOMPARE(rows(),
            (QStringList {"Cédrol|77-53-2|4530||Name", "Anisole|100-66-3|2097||Name",
                "Anethole|4180-23-8|2086||Name"}));
        clickTitle(2);
        QCOMPARE(names(), (QStringList {"Anethole", "Anisole", "Cédrol"}));
        clickTitle(2);
        QCOMPARE(names(), (QStringList {"Cédrol", "Anisole", "Anethole"}));
        QTest::keyClick(field(), Qt::Key_Down);
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(currentName(), QStringLiteral("Anisole"));

        form().MenuFind->trigger();
        clickTitle(2);
        QTest::keyClick(field(), Qt::Key_End);
        QTest::keyClick(field(), Qt::Key_Backspace);
        QCOMPARE(rows(), found);
        // Those without a CAS number come last, in either order, and the
        // line that counts the others stays after them.
        field()->clear();
        find("pyrazine");
        clickTitle(1);
        clickTitle(1);
        QCOMPARE(names().mid(0, 3),
            (QStringList {"Pyrazine", "Acetylpyrazine 001", "Acetylpyrazine 002"}));
        QCOMPARE(names().last(), QStringLiteral("\u2026and 31 more"));

        // The edge between CAS and FEMA dragged to the left.
        const int before = results()->columnWidth(1);
        const int edge = header->sectionViewportPosition(1) + before - 1;
        const int y = header->height() / 2;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(edge, y));
        QTest::mouseMove(header->viewport(), QPoint(edge - 30, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(edge - 30, y));
        QCOMPARE(results()->columnWidth(1), before - 30);
        QTest::keyClick(field(), Qt::Key_Backspace);
        QCOMPARE(results()->columnWidth(1), before - 30);
    }

    void enterOutsideTheSelectionRestoresTheList()
    {
        narrowTo("pyrazine");
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("231 materials selected"));
        // Text left in the list's search field.
        QTest::keyClicks(form().SearchField, "Acetylpyrazine 1");

        find("3107");
        QTest::keyClick(field(), Qt::Key_Return);
        QVERIFY(!window()->isVisible());
        QCOMPARE(form().SearchField->text(), QStringLiteral("Acetylpyrazine 1"));
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (240)"));
        QCOMPARE(currentName(), QStringLiteral("Vanillin"));
        QCOMPARE(form().DBName->text(), QStringLiteral("Vanillin"));
        const TSearchClass &list = *form().SearchClass;
        QCOMPARE(list.IdOfRow(form().MaterialGrid->row()), list.CurrentId);
        QCOMPARE(list.CurrentId, form().TableMaterial->fieldByName("id").asInteger());
    }

    void insideTheSelectionKeepsIt()
    {
        narrowTo("anis");
        // From the Suppliers tab, Find brings the Materials tab into view.
        form().Suppliers1->trigger();
        QCOMPARE(form().MainTabNotebook->currentIndex(), 1);
        find("star");
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(form().MainTabNotebook->currentIndex(), 0);
        QCOMPARE(currentName(), QStringLiteral("Star anise oil"));
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("4 materials selected"));
    }

    void arrowsAndDoubleClickPickARow()
    {
        find("undecalactone");
        // Down in the field moves through the list; Enter takes that row.
        QTest::keyClick(field(), Qt::Key_Down);
        QCOMPARE(results()->currentIndex().row(), 1);
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(currentName(), QStringLiteral("gamma-Undecalactone"));

        find("undecalactone");
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        const QRect cell = results()->visualRect(results()->model()->index(0, 0));
        QVERIFY(!cell.isEmpty());
        QTest::mouseClick(results()->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(results()->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(currentName(), QStringLiteral("delta-Undecalactone"));
        QVERIFY(!window()->isVisible());
        // Opened again, the text is kept and selected, ready to be typed over.
        form().MenuFind->trigger();
        QCOMPARE(field()->selectedText(), QStringLiteral("undecalactone"));
    }

    // The maker replaces the database while the list is narrowed and Find
    // shows a material, whose id is shifted in the new database by a
    // material filed first. The old list's id must not open whichever
    // material now has it: the key the user presses next first takes up the
    // new database, Find searches again in it, and Enter opens the material
    // by its new id.
    void databaseReplacedBeforeEnter()
    {
        const QString live = m_tmp.filePath("live");
        QVERIFY(test::makeDatabase(m_tmp.filePath("live-src"), live, materials()));
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(live));
        m_app->show();
        narrowTo("pyrazine");
        find("3107");
        QCOMPARE(names().value(0), QStringLiteral("Vanillin"));

        QList<test::SourceMaterial> newer = materials();
        newer.prepend({.key = "99", .name = "Aardvark test oil", .cas = "8000-01"});
        QVERIFY(test::makeDatabase(m_tmp.filePath("newer-src"), live, newer));
        QTest::keyClick(field(), Qt::Key_Return);
        QTRY_COMPARE(
            form().MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (241)"));
        QCOMPARE(currentName(), QStringLiteral("Vanillin"));
        QCOMPARE(form().DBFema->text(), QStringLiteral("3107"));
        QVERIFY(m_app->messages.isEmpty());
    }

    // Search data that cannot be read are reported once, not at each
    // keystroke; once the database changes, they are read again.
    void unreadableDataReportedOnce()
    {
        const QString live = m_tmp.filePath("unreadable");
        QVERIFY(test::makeDatabase(m_tmp.filePath("unreadable-src"), live, materials()));
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(live));
        m_app->show();
        const QString synonyms = QDir(live).filePath("SYNON.DB");
        QVERIFY(QFile::rename(synonyms, synonyms + ".away"));
        find("vanil");
        QCOMPARE(m_app->messages.size(), 1);
        QVERIFY2(m_app->messages[0].startsWith("Error: "), qPrintable(m_app->messages[0]));
        QVERIFY(names().isEmpty());

        QVERIFY(QFile::rename(synonyms + ".away", synonyms));
        window()->DatabaseChanged();
        QTest::keyClick(field(), 'l');
        QCOMPARE(m_app->messages.size(), 1);
        QCOMPARE(names().value(0), QStringLiteral("Vanillin"));
    }

    void scrollingDatabase()
    {
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(test::scrollingDatabase()));
        m_app->show();
        // A material far down the list, found by its CAS number typed bare,
        // one of the longest, which its column shows whole.
        store::Table &lookup = *form().TableMaterialSearch;
        qint32 id = 2765;
        while (lookup.findKey({id}) && lookup.fieldByName("cas").asString().size() < 12)
            ++id;
        QVERIFY(lookup.findKey({id}));
        const QString name = lookup.fieldByName("name").asString();
        const QString cas = lookup.fieldByName("cas").asString();
        find(QString(cas).remove('-'));
        const int row = names().indexOf(name);
        QVERIFY(row >= 0);
        QCOMPARE(rows()[row].section('|', 4), QStringLiteral("CAS"));
        const QAbstractItemView *view = results();
        for (int column = 1; column <= 3; ++column)
            QVERIFY2(results()->columnWidth(column) >= view->sizeHintForColumn(column),
                qPrintable(QString::number(column)));
        for (int r = 0; r < row; ++r)
            QTest::keyClick(field(), Qt::Key_Down);
        QTest::keyClick(field(), Qt::Key_Return);
        QCOMPARE(form().SearchClass->CurrentId, id);
        QCOMPARE(form().SearchClass->IdOfRow(form().MaterialGrid->row()), id);
        QVERIFY(form().MaterialGrid->topRow() <= form().MaterialGrid->row());
        QVERIFY(form().MaterialGrid->row()
            < form().MaterialGrid->topRow() + form().MaterialGrid->visibleRowCount());
    }

    void folding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("folded");
        QTest::newRow("accents and case") << "  ÉthYl Cédrène " << QByteArray("ethyl cedrene");
        QTest::newRow("letters spelt out")
            << "Œillet Straße Ørsted" << QByteArray("oeillet strasse orsted");
        QTest::newRow("hyphens, punctuation and blanks alike")
            << "\u03b3\u2010Decalactone (C-10),  natural"
            << QByteArray("\xce\xb3 decalactone c 10 natural");
        QTest::newRow("line break inside") << "Rose\noxide" << QByteArray("rose oxide");
    }
    void folding()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, folded);
        QCOMPARE(browser::foldForFind(text), folded);
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
