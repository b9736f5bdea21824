// The export of the material list from the Report menu, driven through its
// menu items on real databases: the CSV file read back with libcsv against
// the list as the window shows it, the PDF file read back with pdftotext, a
// cancelled export and a file that cannot be written.
#include "common/appfixture.h"
#include "common/testdb.h"
#include "pdftext.h"

#include "browser/Search.h"
#include "browser/searchclass.h"
#include "framework/usersettings.h"
#include "platform/messagebox.h"
#include "platform/printing.h"
#include "reports/export.h"
#include "shell/Zil0.h"
#include "store/field.h"
#include "store/table.h"
#include "tools/makedb/csvreader.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>

using zil::test::SourceMaterial;

namespace {

// A literature long enough to put its sheet on two pages.
QString longLiterature()
{
    QStringList lines {
        QStringLiteral("  indented line"), QStringLiteral("second, with comma"), QString()};
    for (int i = 1; i <= 70; ++i)
        lines << QStringLiteral("Literature line %1.").arg(i);
    return lines.join(QLatin1Char('\n'));
}

// Texts that a hand-made CSV writer gets wrong: commas, quotes, line breaks,
// accents, leading blanks, a lone quote.
QList<SourceMaterial> materials()
{
    QList<SourceMaterial> list;
    list.append({.key = "1",
        .name = QStringLiteral("Acétate d'éthyle"),
        .cas = "141-78",
        .fema = "2414",
        .ce = "27",
        .occur = QStringLiteral("Fruits, vin \"jeune\" et rhum."),
        .flavor = QStringLiteral("Éthéré, fruité\nsucré"),
        .applic = QStringLiteral("\""),
        .liter = longLiterature(),
        .synonyms = {QStringLiteral("Éthanoate d'éthyle"), QStringLiteral("Ethyl acetate")}});
    list.append({.key = "2",
        .name = QStringLiteral("Bergamot oil \"FCF\", rectified"),
        .cas = "8007-75",
        .fema = "2153",
        .occur = QStringLiteral("Citrus bergamia peel."),
        .synonyms = {QStringLiteral("Oil of bergamot")}});
    list.append({.key = "3", .name = QStringLiteral("Citral"), .cas = "5392-40", .ce = "104"});
    list.append({.key = "4",
        .name = QStringLiteral("Damascone oil"),
        .cas = "24720-09",
        .flavor = QStringLiteral("Rose; plum;\r\nfruity")});
    list.append({.key = "5", .name = QStringLiteral("Eugenol"), .cas = "97-53", .fema = "2467"});
    return list;
}

QList<zil::test::SourceSupplier> suppliers()
{
    return {{7, QStringLiteral("Zéphyr Arômes")}, {3, QStringLiteral("North, South & Co")},
        {12, QStringLiteral("\"Quoted\" Ltd")}};
}

QList<zil::test::SourceLink> links()
{
    return {{QStringLiteral("1"), 12}, {QStringLiteral("1"), 3}, {QStringLiteral("1"), 7},
        {QStringLiteral("2"), 7}};
}

// Prices, comments and notes, which the sources of the tests' databases do
// not carry, written into the tables afterwards; the ids are those of the
// materials' keys, which come in name order.
struct Price
{
    const char *material;
    int supplier;
    const char *price;
    const char *comment;
};
const Price prices[] = {{"1", 3, "EUR 9.10/kg", "min. order 25 kg"}, {"1", 12, "", "on request"},
    {"2", 7, "EUR 41.20/kg", "cold pressed, \"FCF\""}};
const std::pair<const char *, const char *> notes[]
    = {{"1", "Turns brown in soap\nand with iron salts."}, {"2", "Phototoxic unless FCF."}};

bool writePricesAndNotes(const QString &db)
{
    auto quoted = [](const char *text) {
        return QLatin1Char('\'') + QString::fromUtf8(text).replace("'", "''") + QLatin1Char('\'');
    };
    QString links, materialNotes;
    for (const Price &p : prices)
        links += QStringLiteral("UPDATE matsupp SET price = %1, comment = %2 WHERE materialid = "
                                "%3 AND supplierid = %4;")
                     .arg(quoted(p.price), quoted(p.comment), p.material)
                     .arg(p.supplier);
    for (const auto &[material, text] : notes)
        materialNotes += QStringLiteral("UPDATE material SET notes = %1 WHERE id = %2;")
                             .arg(quoted(text), material);
    return zil::test::execSql(QDir(db).filePath(QStringLiteral("MATSUPP.DB")), links)
        && zil::test::execSql(QDir(db).filePath(QStringLiteral("MATERIAL.DB")), materialNotes);
}

// The line a material should have in the file, from the sources alone:
// synonyms in their given order, suppliers by ascending supplier id; with
// prices, each supplier's price after its name and the notes last.
QStringList expectedLine(const SourceMaterial &m, bool withPrices = false)
{
    QList<zil::test::SourceSupplier> linked;
    for (const zil::test::SourceLink &l : links())
        if (l.material == m.key)
            for (const zil::test::SourceSupplier &s : suppliers())
                if (s.id == l.supplier)
                    linked << s;
    std::sort(
        linked.begin(), linked.end(), [](const auto &a, const auto &b) { return a.id < b.id; });
    QStringList names;
    for (const auto &s : linked) {
        names << s.name;
        for (const Price &p : prices)
            if (withPrices && m.key == QLatin1String(p.material) && s.id == p.supplier && *p.price)
                names.last() += QStringLiteral(" (%1)").arg(QString::fromUtf8(p.price));
    }
    QStringList line {m.name, m.cas.isEmpty() ? QString() : zil::test::withCheckDigit(m.cas),
        m.fema, m.ce, m.synonyms.join(QStringLiteral("; ")), names.join(QStringLiteral("; ")),
        m.occur, m.flavor, m.applic, m.liter};
    if (withPrices) {
        line << QString();
        for (const auto &[material, text] : notes)
            if (m.key == QLatin1String(material))
                line.last() = QString::fromUtf8(text);
    }
    return line;
}

// The file's records read back with libcsv; empty when it has no byte order
// mark or a malformed record.
QList<QStringList> readCsv(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const zil::makedb::CsvFile csv = zil::makedb::parseCsv(bytes);
    if (!bytes.startsWith("\xEF\xBB\xBF") || !csv.problems.empty())
        return {};
    QList<QStringList> records;
    for (const zil::makedb::CsvRecord &r : csv.records) {
        QStringList fields;
        for (const QByteArray &f : r.fields)
            fields << QString::fromUtf8(f);
        records << fields;
    }
    return records;
}

const QStringList header {QStringLiteral("Name"), QStringLiteral("CAS"), QStringLiteral("FEMA"),
    QStringLiteral("CE"), QStringLiteral("Synonyms"), QStringLiteral("Suppliers"),
    QStringLiteral("Occurrence"), QStringLiteral("Flavour"), QStringLiteral("Application"),
    QStringLiteral("Literature")};

// What is left in a directory: every entry, hidden ones included.
QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void csvHoldsTheListInEachOrderAndSelection();
    void pricesAndNotesInTheCsvAndOnTheSheet();
    void pdfHoldsOneSheetPerListedMaterial();
    void cancelLeavesNoFileAndKeepsAnOldOne();
    void unwritableFileIsReportedAndLeavesNothing();
    void dialogProposesTheLastFolder();
    void bareNameAsksBeforeReplacing();
    void newDatabaseWaitsForTheExport();

private:
    TMainForm *form() const { return m_app->form(); }
    zil::reports::SelectionExport *controller() const { return form()->ExportSelection; }
    // The notice over the window that tells where a file was saved, while
    // it is shown.
    QString savedNotice() const
    {
        auto *notice = form()->findChild<QLabel *>(QStringLiteral("SavedNotice"));
        return notice && notice->isVisibleTo(form()) ? notice->text() : QString();
    }
    QAction *item(const char *name) const
    {
        return form()->findChild<QAction *>(QString::fromLatin1(name));
    }
    // Triggers a menu item of the Report menu with the file dialog answering
    // path; returns what the dialog proposed.
    QString exportTo(const char *itemName, const QString &path);
    // The names of the list's rows as the detail pane shows them, each made
    // current by the grid in turn.
    QStringList shownNames();
    // Exports the list as CSV and compares the file, line by line, with the
    // list as shown and the sources of its materials.
    void compareCsvWithList(const QString &path);
    void runCriteria(const QString &material);
    SourceMaterial source(const QString &name) const;

    QTemporaryDir m_dir;
    QString m_db;
    std::unique_ptr<zil::test::RunningApp> m_app;
};

void TestExport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(QStringLiteral("db"));
    QVERIFY(zil::test::makeDatabase(
        m_dir.filePath(QStringLiteral("src")), m_db, materials(), suppliers(), links()));
    QVERIFY(writePricesAndNotes(m_db));
}

void TestExport::init()
{
    // Every test is a first run: nothing is remembered from the tests before.
    QFile::remove(zil::framework::UserSettings().fileName());
    m_app = std::make_unique<zil::test::RunningApp>();
    QVERIFY(m_app->start(m_db));
    QVERIFY(controller());
}

void TestExport::cleanup()
{
    m_app.reset();
}

QString TestExport::exportTo(const char *itemName, const QString &path)
{
    QString proposed;
    const zil::platform::ScopedSaveFileHook answer([&](const QString &, const QString &name) {
        proposed = name;
        return path;
    });
    QAction *action = item(itemName);
    if (!action)
        qFatal("no menu item %s", itemName);
    action->trigger();
    return proposed;
}

QStringList TestExport::shownNames()
{
    QStringList names;
    for (int row = 1; row < form()->MaterialGrid->rowCount(); ++row) {
        form()->MaterialGrid->setRow(row);
        names << form()->DBName->text();
    }
    return names;
}

void TestExport::runCriteria(const QString &material)
{
    TSearchWindow *dialog = form()->SearchWindow;
    QTimer::singleShot(0, this, [dialog, material] {
        dialog->Material->setText(material);
        QTest::mouseClick(dialog->SearchButton, Qt::LeftButton);
    });
    QTest::mouseClick(form()->SearchButton, Qt::LeftButton);
}

SourceMaterial TestExport::source(const QString &name) const
{
    for (const SourceMaterial &m : materials())
        if (m.name == name)
            return m;
    return {};
}

void TestExport::compareCsvWithList(const QString &path)
{
    exportTo("MenuExportCsv", path);
    QVERIFY(m_app->messages.isEmpty());
    const QList<QStringList> records = readCsv(path);
    QCOMPARE(records.value(0), header);
    const QStringList names = shownNames();
    // Where the file went is said without a box to click away.
    QCOMPARE(
        savedNotice(), QStringLiteral("%1 materials exported to\n%2").arg(names.size()).arg(path));
    QCOMPARE(records.size(), names.size() + 1);
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(records[i + 1], expectedLine(source(names[i])));
}

void TestExport::csvHoldsTheListInEachOrderAndSelection()
{
    compareCsvWithList(m_dir.filePath(QStringLiteral("all.csv")));
    // Every record ends with CR LF, and the file ends with the last one.
    QFile file(m_dir.filePath(QStringLiteral("all.csv")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF\"Name\",\"CAS\","));
    QVERIFY(bytes.endsWith("\"\r\n"));
    QCOMPARE(bytes.count("\"\r\n\""), materials().size());

    // CAS numbers compare as text, which is not the name order here.
    QTest::mouseClick(form()->OrderButton, Qt::LeftButton);
    QCOMPARE(shownNames().value(1), QStringLiteral("Damascone oil"));
    compareCsvWithList(m_dir.filePath(QStringLiteral("cas.csv")));

    // A criteria run over names and synonyms, still in CAS order.
    runCriteria(QStringLiteral("oil"));
    QCOMPARE(shownNames().size(), 2);
    compareCsvWithList(m_dir.filePath(QStringLiteral("selected.csv")));
}

// With prices and notes shown, the CSV file has the notes in a last column
// and each supplier's price after its name; the material sheet the notes
// after the literature and each supplier with its price and comment. Turned
// off again, the file is as before.
void TestExport::pricesAndNotesInTheCsvAndOnTheSheet()
{
    QAction *toggle = item("MenuPricesNotes");
    QVERIFY(toggle && toggle->isCheckable() && !toggle->isChecked());
    toggle->trigger();
    const QString path = m_dir.filePath(QStringLiteral("priced.csv"));
    exportTo("MenuExportCsv", path);
    QList<QStringList> records = readCsv(path);
    QCOMPARE(records.value(0), header + QStringList {QStringLiteral("Notes")});
    QCOMPARE(records.size(), materials().size() + 1);
    for (qsizetype i = 1; i < records.size(); ++i)
        QCOMPARE(records[i], expectedLine(source(records[i].value(0)), true));

    form()->SearchClass->GotoMaterial(2);
    form()->SearchClass->ShowCurrent();
    const QString pdf = m_dir.filePath(QStringLiteral("priced.pdf"));
    exportTo("MenuSavePdf", pdf);
    const QStringList page = zil::test::pdfLines(pdf).value(0);
    const qsizetype literature = page.indexOf(QStringLiteral("LITERATURE"));
    QVERIFY2(literature > 0, qPrintable(page.join('|')));
    QCOMPARE(page.mid(literature + 1, 4),
        (QStringList {"NOTES", "Phototoxic unless FCF.", "SUPPLIERS",
            QStringLiteral("Z\u00e9phyr Ar\u00f4mes EUR 41.20/kg cold pressed, \"FCF\"")}));

    toggle->trigger();
    exportTo("MenuExportCsv", path);
    records = readCsv(path);
    QCOMPARE(records.value(0), header);
    QCOMPARE(records.value(1), expectedLine(source(records.value(1).value(0))));
}

void TestExport::pdfHoldsOneSheetPerListedMaterial()
{
    // The first sheet runs onto a second page; the next sheet starts on a
    // page of its own with its own page numbers.
    runCriteria(QStringLiteral("a")); // all but Eugenol
    const QStringList names = shownNames();
    QCOMPARE(names.size(), 4);
    const QString path = m_dir.filePath(QStringLiteral("sheets.pdf"));
    exportTo("MenuExportPdf", path);
    QVERIFY(m_app->messages.isEmpty());
    QCOMPARE(savedNotice(), QStringLiteral("4 materials exported to\n") + path);

    const QList<QStringList> pages = zil::test::pdfLines(path);
    QCOMPARE(pages.size(), 5);
    QCOMPARE(zil::test::pdfPageCount(path), 5);
    auto heading = [this](const QString &name) {
        return name + QLatin1Char(' ') + zil::test::withCheckDigit(source(name).cas);
    };
    const QList<int> firstPages {0, 2, 3, 4};
    for (int sheet = 0; sheet < 4; ++sheet) {
        const QStringList &page = pages[firstPages[sheet]];
        QCOMPARE(page.value(0), heading(names[sheet]));
        QVERIFY2(page.last().endsWith(QStringLiteral("Page 1")), qPrintable(page.last()));
    }
    QCOMPARE(pages[1].value(0), heading(names[0]));
    QVERIFY(pages[1].last().endsWith(QStringLiteral("Page 2")));
    QVERIFY(pages[1].contains(QStringLiteral("Literature line 70.")));
    QCOMPARE(pages[2].value(1), QStringLiteral("FEMA 2153 CE"));
    QVERIFY(pages[2].contains(QStringLiteral("Oil of bergamot")));
    // The sheets' own cursors and the main window's are left as they were.
    QVERIFY(
        !controller()->findChild<zil::store::Table *>(QStringLiteral("TableMaterial"))->active());
    QCOMPARE(form()->DBName->text(), names.last());
}

void TestExport::cancelLeavesNoFileAndKeepsAnOldOne()
{
    // A list long enough for the progress window to come up.
    m_app = std::make_unique<zil::test::RunningApp>();
    QVERIFY(m_app->start(zil::test::scrollingDatabase()));
    QTemporaryDir out;
    const QString path = QDir(out.path()).filePath(QStringLiteral("materials.pdf"));

    for (const QByteArray &old : {QByteArray(), QByteArray("an older file")}) {
        if (!old.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(old);
        }
        const QStringList before = entries(out.path());
        int shownAt = -1;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *progress = form()->findChild<QProgressDialog *>(QStringLiteral("ExportProgress"));
            if (!progress || !progress->isVisible() || shownAt >= 0)
                return;
            shownAt = progress->value();
            auto *cancel = progress->findChild<QPushButton *>();
            QVERIFY(cancel);
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        // What was said of the file exported before goes.
        exportTo("MenuExportCsv", m_dir.filePath(QStringLiteral("before.csv")));
        QVERIFY(!savedNotice().isEmpty());
        poll.start(20);
        exportTo("MenuExportPdf", path);
        poll.stop();
        QCOMPARE(savedNotice(), QString());
        QVERIFY2(shownAt > 0 && shownAt < form()->SearchClass->SelectedCount,
            qPrintable(QString::number(shownAt)));
        QCOMPARE(entries(out.path()), before);
        QVERIFY(m_app->messages.isEmpty());
        if (!old.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), old);
        }
    }
}

void TestExport::unwritableFileIsReportedAndLeavesNothing()
{
    // A folder that does not exist, and a "folder" that is a file.
    QTemporaryDir out;
    QFile plain(QDir(out.path()).filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QStringList before = entries(out.path());
    const QStringList paths {QDir(out.path()).filePath(QStringLiteral("missing/list.csv")),
        QDir(out.path()).filePath(QStringLiteral("plain/list"))};
    for (const char *itemName : {"MenuExportCsv", "MenuExportPdf"}) {
        for (const QString &path : paths) {
            m_app->messages.clear();
            exportTo(itemName, path);
            QCOMPARE(m_app->messages.size(), 1);
            QVERIFY2(m_app->messages[0].startsWith(
                         QStringLiteral("Error: The export could not be written to\n")),
                qPrintable(m_app->messages[0]));
            QVERIFY(m_app->messages[0].contains(QDir::toNativeSeparators(path)));
            QCOMPARE(entries(out.path()), before);
            // A failed export leaves the folder proposed next as it was.
            QCOMPARE(controller()->lastFolder(), QString());
        }
    }
}

void TestExport::dialogProposesTheLastFolder()
{
    // The home folder first; a cancelled dialog writes nothing and keeps it.
    QCOMPARE(exportTo("MenuExportCsv", QString()),
        QDir::home().filePath(QStringLiteral("materials.csv")));
    QCOMPARE(controller()->lastFolder(), QString());

    // A name without a suffix gets one; its folder is proposed next, by
    // either export, and is told to whoever keeps it.
    QStringList told;
    connect(controller(), &zil::reports::SelectionExport::lastFolderChanged, this,
        [&told](const QString &folder) { told << folder; });
    QTemporaryDir out;
    exportTo("MenuExportPdf", QDir(out.path()).filePath(QStringLiteral("bare")));
    QCOMPARE(zil::test::pdfPageCount(QDir(out.path()).filePath(QStringLiteral("bare.pdf"))), 6);
    QCOMPARE(told, QStringList {out.path()});
    QCOMPARE(exportTo("MenuExportCsv", QString()),
        QDir(out.path()).filePath(QStringLiteral("materials.csv")));

    // A folder set from outside, as remembered from an earlier run.
    controller()->setLastFolder(m_dir.path());
    QCOMPARE(exportTo("MenuExportPdf", QString()),
        QDir(m_dir.path()).filePath(QStringLiteral("materials.pdf")));
}

void TestExport::bareNameAsksBeforeReplacing()
{
    // A name typed without its suffix names another file than the one the
    // dialog checked: when that one exists, the user is asked before it is
    // replaced, by both exports and by Save as PDF.
    QTemporaryDir out;
    const QString bare = QDir(out.path()).filePath(QStringLiteral("materials"));
    const QByteArray old("kept by the user");
    for (const char *itemName : {"MenuExportCsv", "MenuExportPdf", "MenuSavePdf"}) {
        const QString suffix = QString::fromLatin1(itemName) == QLatin1String("MenuExportCsv")
            ? QStringLiteral(".csv")
            : QStringLiteral(".pdf");
        const QString full = bare + suffix;
        QFile file(full);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(old);
        file.close();

        bool answer = false;
        QStringList asked;
        const zil::platform::ScopedQuestionHook question(
            [&](const QString &title, const QString &text) {
                asked << title + QStringLiteral(": ") + text;
                return answer;
            });
        exportTo(itemName, bare);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0],
            QStringLiteral("Confirm: %1 already exists.\nDo you want to replace it?")
                .arg(QDir::toNativeSeparators(full)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), old);
        file.close();
        QVERIFY(m_app->messages.isEmpty());

        answer = true;
        exportTo(itemName, bare);
        QCOMPARE(asked.size(), 2);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll() != old);
        file.close();
        // A name typed with its suffix was checked by the dialog itself.
        exportTo(itemName, full);
        QCOMPARE(asked.size(), 2);
        QVERIFY(m_app->messages.isEmpty());
    }
}

void TestExport::newDatabaseWaitsForTheExport()
{
    // The database is replaced while the progress window of a PDF export is
    // up; the program hears of it then. The export keeps to the materials it
    // started on, and the list takes up the new database once it has ended.
    const QString live = m_dir.filePath(QStringLiteral("live"));
    QVERIFY(zil::test::runMakeDb({"--synthetic", "1000", "--seed", "51", live}));
    m_app = std::make_unique<zil::test::RunningApp>();
    QVERIFY(m_app->start(live));
    QCOMPARE(form()->MaterialCount, 1000);
    form()->MaterialGrid->setRow(form()->MaterialGrid->rowCount() - 1);
    const QString lastName = form()->DBName->text();
    QTemporaryDir out;
    const QString path = QDir(out.path()).filePath(QStringLiteral("materials.pdf"));

    bool replaced = false;
    int countDuring = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *progress = form()->findChild<QProgressDialog *>(QStringLiteral("ExportProgress"));
        if (replaced || !progress || !progress->isVisible() || progress->value() == 0)
            return;
        replaced = true;
        QVERIFY(zil::test::runMakeDb({"--synthetic", "1100", "--seed", "52", live}));
        form()->FollowNewDatabase();
        countDuring = form()->MaterialCount;
    });
    poll.start(20);
    exportTo("MenuExportPdf", path);
    poll.stop();
    QVERIFY(replaced);
    QCOMPARE(countDuring, 1000);
    QVERIFY(m_app->messages.isEmpty());
    const QList<QStringList> pages = zil::test::pdfLines(path);
    QVERIFY(!pages.isEmpty());
    QVERIFY2(pages.last().value(0).startsWith(lastName + QLatin1Char(' ')),
        qPrintable(pages.last().value(0)));
    QTRY_COMPARE(form()->MaterialCount, 1100);
    QCOMPARE(form()->MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (1100)"));
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
