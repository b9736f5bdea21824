// The index rebuild window on real databases made by the database maker:
// which files it deletes, which indexes it creates, and what it reports when
// it cannot do either.
#include "common/testdb.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "store/Zilidx00.h"
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/storeerror.h"
#include "store/table.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <sys/stat.h>

using zil::platform::MessageKind;

namespace {

struct Message
{
    MessageKind kind;
    QString title;
    QString text;
};

const QStringList allIndexFiles = {"supplier.px", "supplier.xg0", "synon.px", "synon.xg0",
    "matsupp.px", "matsupp.xg0", "material.px", "material.xg0", "material.xg1"};

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(content), content.size());
}

QStringList presentIndexFiles(const QString &dir)
{
    QStringList present;
    for (const QString &name : allIndexFiles) {
        if (zil::platform::fileExists(QDir(dir).filePath(name)))
            present << name;
    }
    return present;
}

// Records the labels each time the panel is painted: the rebuild repaints it
// explicitly after every change, since no events are handled while it runs.
class PaintRecorder : public QObject
{
public:
    explicit PaintRecorder(TIndexForm *form)
        : m_form(form)
    {
        form->IndexPanel->installEventFilter(this);
    }
    QStringList shown;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            shown << m_form->FileNameLabel->text() + "|" + m_form->IndexNameLabel->text();
        return false;
    }

private:
    TIndexForm *m_form;
};

// Another workstation holding a table open.
class TableHolder
{
public:
    bool start(const QString &dir, const QString &table)
    {
        const QString helper = qEnvironmentVariable("ZIL_HOLDTABLE");
        if (helper.isEmpty())
            return false;
        m_process.start(helper, {dir, table});
        if (!m_process.waitForStarted(10000))
            return false;
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(30000))
                return false;
        }
        return m_process.readLine().trimmed() == "open";
    }
    ~TableHolder()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

} // namespace

class TestRebuild : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void windowLayout();
    void rebuildsAllIndexes_data();
    void rebuildsAllIndexes();
    void showsEachStepOnThePanel();
    void deletesOnlyIndexFiles();
    void foreignEntryWhereAnIndexGoes_data();
    void foreignEntryWhereAnIndexGoes();
    void undeletableEntryIsLeftSilently();
    void longDatabasePath();
    void searchFailureStopsBeforeIndexing_data();
    void searchFailureStopsBeforeIndexing();
    void heldTableIsIndexed_data();
    void heldTableIsIndexed();
    void rebuildWithoutItsWindow();

private:
    bool makeDatabase(QTemporaryDir &tmp);
    void rebuild(TIndexForm &form, const QString &path, bool expected);

    QList<Message> m_messages;
    std::optional<zil::platform::ScopedMessageBoxHook> m_messageHook;
};

void TestRebuild::initTestCase()
{
    zil::store::Session::instance().addPassword(zil::schema::programPassword());
}

void TestRebuild::init()
{
    m_messages.clear();
    m_messageHook.emplace([this](MessageKind kind, const QString &title, const QString &text) {
        m_messages.append({kind, title, text});
    });
}

void TestRebuild::cleanup()
{
    m_messageHook.reset();
}

bool TestRebuild::makeDatabase(QTemporaryDir &tmp)
{
    if (!tmp.isValid() || !zil::test::makeSynthetic(tmp.path(), 30))
        return false;
    // The maker writes the index files with the tables; the rebuild is
    // tried on a directory without them.
    zil::store::deleteOldIndexFiles(tmp.path());
    return true;
}

void TestRebuild::rebuild(TIndexForm &form, const QString &path, bool expected)
{
    form.setDatabasePath(path);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.RebuildIndexes(), expected);
}

void TestRebuild::windowLayout()
{
    TIndexForm form;
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(form.size(), QSize(377, 64));
    QCOMPARE(form.Bevel->geometry(), QRect(0, 0, 377, 64));

    auto *indexLabel = form.findChild<QLabel *>("IndexLabel");
    QVERIFY(indexLabel);
    QCOMPARE(indexLabel->pos(), QPoint(24, 8));
    QCOMPARE(indexLabel->text(), QStringLiteral("Indexing database, please wait..."));

    auto *panel = form.findChild<QFrame *>("IndexPanel");
    QVERIFY(panel);
    QCOMPARE(panel->geometry(), QRect(16, 28, 345, 25));
    QCOMPARE(panel->frameShape(), QFrame::Panel);
    QCOMPARE(panel->frameShadow(), QFrame::Sunken);

    auto *fileName = panel->findChild<QLabel *>("FileNameLabel");
    auto *indexName = panel->findChild<QLabel *>("IndexNameLabel");
    QVERIFY(fileName);
    QVERIFY(indexName);
    QCOMPARE(fileName->pos(), QPoint(48, 6));
    QCOMPARE(indexName->pos(), QPoint(192, 6));
    QVERIFY(fileName->font().bold());
    QVERIFY(indexName->font().bold());

    QStringList captions;
    for (QLabel *label : panel->findChildren<QLabel *>()) {
        if (label != fileName && label != indexName)
            captions << label->text() + "@" + QString::number(label->x()) + ","
                    + QString::number(label->y());
    }
    captions.sort();
    QCOMPARE(captions, QStringList({"File:@24,6", "Index:@160,6"}));

    for (QLabel *label : form.findChildren<QLabel *>()) {
        QCOMPARE(label->font().family(), QStringLiteral("Arial"));
        QCOMPARE(label->font().pixelSize(), 11);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(label->textFormat(), Qt::PlainText);
    }

    auto *table = form.findChild<zil::store::Table *>("Table");
    QVERIFY(table);
    QVERIFY(table->exclusive());
    QVERIFY(!table->active());
}

void TestRebuild::rebuildsAllIndexes_data()
{
    QTest::addColumn<bool>("protect");
    QTest::newRow("plain tables") << false;
    QTest::newRow("protected tables") << true;
}

void TestRebuild::rebuildsAllIndexes()
{
    QFETCH(bool, protect);
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QVERIFY(zil::test::makeSynthetic(tmp.path(), 30, protect));
    zil::store::deleteOldIndexFiles(tmp.path());
    QCOMPARE(presentIndexFiles(tmp.path()), QStringList());

    TIndexForm form;
    rebuild(form, tmp.path() + QDir::separator(), true);
    QVERIFY(m_messages.isEmpty());
    QVERIFY(form.isHidden());
    QCOMPARE(presentIndexFiles(tmp.path()), allIndexFiles);

    // Each table got its indexes in order, with the fields and options of the
    // schema; NameOrder is the second secondary index of MATERIAL.DB.
    for (const zil::schema::TableDef &def : zil::schema::tables()) {
        const auto indexes = zil::store::readIndexes(QDir(tmp.path()).filePath(def.fileName));
        QCOMPARE(indexes.size(), def.indexes.size());
        for (size_t i = 0; i < indexes.size(); ++i) {
            QCOMPARE(indexes[i].name, def.indexes[i].name);
            QCOMPARE(indexes[i].fields, def.indexes[i].fields);
            QCOMPARE(indexes[i].primary, def.indexes[i].primary);
            QCOMPARE(indexes[i].caseInsensitive, !def.indexes[i].primary);
        }
    }
    const auto material = zil::store::readIndexes(QDir(tmp.path()).filePath("MATERIAL.DB"));
    QCOMPARE(material.back().fileName.toLower(), QStringLiteral("material.xg1"));
    QCOMPARE(material.back().name, QStringLiteral("NameOrder"));

    QCOMPARE(form.FileNameLabel->text(), QStringLiteral("material.db"));
    QCOMPARE(form.IndexNameLabel->text(), QStringLiteral("Name"));
    QCOMPARE(form.Table->tableName(), QStringLiteral("material.db"));
    QVERIFY(!form.Table->active());

    // The tables open through their new indexes.
    zil::store::Table names;
    names.setDatabaseName(tmp.path());
    names.setTableName("MATERIAL.DB");
    names.setIndexName("NameOrder");
    names.open();
    QCOMPARE(names.recordCount(), 30);
    names.close();

    // A second rebuild replaces the indexes without leaving extra files.
    m_messages.clear();
    rebuild(form, tmp.path() + QDir::separator(), true);
    QVERIFY(m_messages.isEmpty());
    // Five secondary index files: Find's search data are the program's to
    // write once its window is open.
    QCOMPARE(zil::platform::findFiles(tmp.path(), "*.x??").size(), 5);
    QVERIFY(zil::store::indexesComplete(tmp.path(), nullptr, zil::store::SearchData::Leave));
}

void TestRebuild::showsEachStepOnThePanel()
{
    QTemporaryDir tmp;
    QVERIFY(makeDatabase(tmp));
    TIndexForm form;
    PaintRecorder recorder(&form);
    rebuild(form, tmp.path() + QDir::separator(), true);

    const QStringList steps = {"*.px|", "*.val|", "*.x??|", "*.y??|", "supplier.db|Primary",
        "supplier.db|Name", "synon.db|Primary", "synon.db|Material Link", "matsupp.db|Primary",
        "matsupp.db|Supplier Link", "material.db|Primary", "material.db|CAS", "material.db|Name"};
    // Painting while shown may add repaints of its own; the rebuild's must be
    // there, in order.
    QStringList seen = recorder.shown;
    seen.removeDuplicates();
    seen.removeAll("|");
    QCOMPARE(seen, steps);
}

void TestRebuild::deletesOnlyIndexFiles()
{
    QTemporaryDir tmp;
    QVERIFY(makeDatabase(tmp));
    const QDir d(tmp.path());
    const QByteArray ours = zil::store::indexFileMagic() + "\ntable=old\n";

    // Index files of this store: of a table that is gone, a leftover of
    // MATERIAL.DB that no new index overwrites, in any case of name.
    writeFile(d.filePath("OLD.DB"), "table");
    for (const char *name : {"old.xg0", "old.y01", "OLD.X0A", "material.xg7", "orphan.x03"})
        writeFile(d.filePath(name), ours);

    // Other people's files whose names match the patterns, some of them
    // beside a table of the same base name.
    const QList<std::pair<const char *, QByteArray>> foreign {{"MATERIAL.XLS", "prices"},
        {"material.xml", "<materials/>"}, {"Supplier.yml", "suppliers: []"},
        {"synon.val", "values"}, {"matsupp.x", "x"}, {"material.y", "y"},
        {"notes.px", "meeting notes"}, {"old.px", "stale"}, {"photo.px", "picture"}};
    for (const auto &[name, content] : foreign)
        writeFile(d.filePath(name), content);

    // A link named like an index, pointing at an index file of this store
    // outside the directory: neither the link nor its target is removed.
    QTemporaryDir outside;
    const QString target = QDir(outside.path()).filePath("kept.xg0");
    writeFile(target, ours);
    QVERIFY(QFile::link(target, d.filePath("old.xg1")));

    TIndexForm form;
    rebuild(form, tmp.path() + QDir::separator(), true);
    QVERIFY(m_messages.isEmpty());

    for (const char *name : {"old.xg0", "old.y01", "OLD.X0A", "material.xg7", "orphan.x03"})
        QVERIFY2(!QFileInfo::exists(d.filePath(name)), name);
    QVERIFY(QFileInfo::exists(d.filePath("OLD.DB")));
    for (const auto &[name, content] : foreign) {
        QFile f(d.filePath(name));
        QVERIFY2(f.open(QIODevice::ReadOnly), name);
        QCOMPARE(f.readAll(), content);
    }
    QVERIFY(QFileInfo(d.filePath("old.xg1")).isSymLink());
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), ours);
    QCOMPARE(presentIndexFiles(tmp.path()), allIndexFiles);
}

void TestRebuild::foreignEntryWhereAnIndexGoes_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("label");

    QTest::newRow("user file as supplier.px") << "supplier.px"
                                              << "file"
                                              << "supplier.db";
    QTest::newRow("link as supplier.px") << "supplier.px"
                                         << "link"
                                         << "supplier.db";
    QTest::newRow("dangling link as material.xg1") << "material.xg1"
                                                   << "dangling"
                                                   << "material.db";
    QTest::newRow("FIFO as synon.xg0") << "synon.xg0"
                                       << "fifo"
                                       << "synon.db";
}

void TestRebuild::foreignEntryWhereAnIndexGoes()
{
    QFETCH(QString, entry);
    QFETCH(QString, kind);
    QFETCH(QString, label);

    QTemporaryDir tmp;
    QVERIFY(makeDatabase(tmp));
    QTemporaryDir outside;
    const QString path = QDir(tmp.path()).filePath(entry);
    const QString target = QDir(outside.path()).filePath("target");
    if (kind == "file") {
        writeFile(path, "a user's own file");
    } else if (kind == "link") {
        writeFile(target, "a user's own file");
        QVERIFY(QFile::link(target, path));
    } else if (kind == "dangling") {
        QVERIFY(QFile::link(target, path));
    } else {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    }

    TIndexForm form;
    rebuild(form, tmp.path() + QDir::separator(), false);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].text, "Cannot reindex file:" + label);

    // The entry is as it was, and nothing was made where a link points.
    const QFileInfo after(path);
    if (kind == "file") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("a user's own file"));
    } else if (kind == "fifo") {
        QVERIFY(!after.isFile() && after.exists());
    } else {
        QVERIFY(after.isSymLink());
    }
    if (kind == "link") {
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("a user's own file"));
    } else {
        QVERIFY(!QFileInfo::exists(target));
    }
    QCOMPARE(QDir(outside.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
        kind == "link" ? QStringList {"target"} : QStringList {});
}

void TestRebuild::undeletableEntryIsLeftSilently()
{
    QTemporaryDir tmp;
    QVERIFY(makeDatabase(tmp));
    const QDir d(tmp.path());
    writeFile(d.filePath("JUNK.DB"), "table");
    QVERIFY(d.mkdir("junk.x01"));
    writeFile(d.filePath("junk.px"), zil::store::indexFileMagic() + "\ntable=junk\n");

    TIndexForm form;
    rebuild(form, tmp.path() + QDir::separator(), true);
    QVERIFY(m_messages.isEmpty());
    QVERIFY(QFileInfo(d.filePath("junk.x01")).isDir());
    // The search went on past the entry it could not delete.
    QVERIFY(!QFileInfo::exists(d.filePath("junk.px")));
    QCOMPARE(presentIndexFiles(tmp.path()), allIndexFiles);
}

void TestRebuild::longDatabasePath()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QString dir = tmp.path();
    while (dir.size() <= 300)
        dir += "/" + QString(60, QLatin1Char('d'));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(zil::test::makeSynthetic(dir, 5));
    writeFile(QDir(dir).filePath("material.xg9"), zil::store::indexFileMagic() + "\n");

    TIndexForm form;
    // Given without the final separator: the window adds it.
    rebuild(form, dir, true);
    QCOMPARE(form.workDirectory(), dir + QDir::separator());
    QVERIFY(m_messages.isEmpty());
    QVERIFY(!QFileInfo::exists(QDir(dir).filePath("material.xg9")));
    QCOMPARE(presentIndexFiles(dir), allIndexFiles);
}

void TestRebuild::searchFailureStopsBeforeIndexing_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("missing directory") << "missing";
    QTest::newRow("file instead of directory") << "MATERIAL.DB";
}

void TestRebuild::searchFailureStopsBeforeIndexing()
{
    QFETCH(QString, entry);
    QTemporaryDir tmp;
    QVERIFY(makeDatabase(tmp));
    const QString path = QDir(tmp.path()).filePath(entry) + QDir::separator();

    TIndexForm form;
    rebuild(form, path, false);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages[0].kind, MessageKind::Error);
    QCOMPARE(m_messages[0].title, QStringLiteral("Error"));
    QCOMPARE(m_messages[0].text,
        QStringLiteral("Error indexing database\nCannot delete old index files: *.px"));
    QVERIFY(form.isVisible());
    QCOMPARE(form.FileNameLabel->text(), QStringLiteral("*.px"));
    QCOMPARE(form.IndexNameLabel->text(), QString());
    QCOMPARE(presentIndexFiles(tmp.path()), QStringList());
}

void TestRebuild::heldTableIsIndexed_data()
{
    QTest::addColumn<QString>("held");
    QTest::newRow("first table") << "SUPPLIER.DB";
    QTest::newRow("last table") << "MATERIAL.DB";
}

// Another workstation that has a table open does not keep the rebuild from
// indexing it: the table is only read and the index files renamed into place.
void TestRebuild::heldTableIsIndexed()
{
    QFETCH(QString, held);

    QTemporaryDir tmp;
    QVERIFY(makeDatabase(tmp));
    zil::store::indexDatabase(tmp.path());
    TableHolder holder;
    QVERIFY2(holder.start(tmp.path(), held), "the table could not be held open");

    TIndexForm form;
    rebuild(form, tmp.path() + QDir::separator(), true);
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(presentIndexFiles(tmp.path()), allIndexFiles);
    QVERIFY(zil::store::indexesComplete(tmp.path(), nullptr, zil::store::SearchData::Leave));
}

// The store's rebuild functions report each step before they take it, so
// that a failure leaves the step that failed as the last one reported; the
// index files of a table another program holds are replaced like the others.
void TestRebuild::rebuildWithoutItsWindow()
{
    using zil::store::RebuildStep;
    QTemporaryDir tmp;
    QVERIFY(makeDatabase(tmp));
    zil::store::indexDatabase(tmp.path());
    QCOMPARE(presentIndexFiles(tmp.path()), allIndexFiles);
    // Beside them a user's file under an index pattern, which stays.
    writeFile(tmp.filePath("notes.xls"), "not an index\n");

    QStringList steps;
    const auto record = [&steps](RebuildStep step, const QString &text) {
        const char *what = step == RebuildStep::Pattern ? "pattern"
            : step == RebuildStep::Table                ? "table"
                                                        : "index";
        steps << QString::fromLatin1(what) + ':' + text;
    };

    TableHolder holder;
    QVERIFY2(holder.start(tmp.path(), "SYNON.DB"), "the table could not be held open");
    zil::store::deleteOldIndexFiles(tmp.path(), record);
    QCOMPARE(
        steps, QStringList({"pattern:*.px", "pattern:*.val", "pattern:*.x??", "pattern:*.y??"}));
    QCOMPARE(presentIndexFiles(tmp.path()), QStringList());
    QVERIFY(QFile::exists(tmp.filePath("notes.xls")));

    steps.clear();
    zil::store::indexTables(tmp.path(), record);
    QCOMPARE(steps,
        QStringList(
            {"table:supplier.db", "index:Primary", "index:Name", "table:synon.db", "index:Primary",
                "index:Material Link", "table:matsupp.db", "index:Primary", "index:Supplier Link",
                "table:material.db", "index:Primary", "index:CAS", "index:Name"}));
    QCOMPARE(presentIndexFiles(tmp.path()), allIndexFiles);
    QVERIFY(zil::store::indexesComplete(tmp.path()));

    // A directory that cannot be searched is an I/O failure, reported after
    // its first pattern.
    steps.clear();
    try {
        zil::store::deleteOldIndexFiles(tmp.filePath("missing"), record);
        QFAIL("searching a missing directory succeeded");
    } catch (const zil::store::StoreError &e) {
        QCOMPARE(e.kind(), zil::store::StoreError::Kind::IO);
    }
    QCOMPARE(steps, QStringList({"pattern:*.px"}));
}

QTEST_MAIN(TestRebuild)
#include "tst_rebuild.moc"
