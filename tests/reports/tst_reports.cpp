// The material sheet and the supplier sheet as a user gets them from the main
// window started on a real database: saved from the Report menu as PDF,
// printed through the print dialog (each print run taken as a PDF file) and
// previewed; the pages are read back with pdftotext.
#include "common/appfixture.h"
#include "common/testdb.h"
#include "pdftext.h"

#include "browser/searchclass.h"
#include "framework/notice.h"
#include "framework/report.h"
#include "framework/usersettings.h"
#include "platform/printing.h"
#include "platform/version.h"
#include "reports/Printm.h"
#include "reports/Prints.h"
#include "shell/Zil0.h"
#include "store/datasource.h"
#include "store/field.h"
#include "store/table.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <optional>

using zil::test::pdfLines;

namespace {

// Material ids follow name order: Alpha acid 1, Beta 2, Delta 3, Gamma oil 4.
const QString alphaName = QStringLiteral("Alpha acid");
const QString betaName = QStringLiteral("Beta <b>ester</b>");
const QString deltaName
    = QStringLiteral("DELTA WORMWOOD MIMOSA WALLFLOWER MAGNOLIA WOODRUFF MUGWORT MASTIC WAX");
const int literatureLines = 60;

QString literatureLine(int i)
{
    return QStringLiteral("Literature note %1 on the alpha acid.").arg(i, 2, 10, QLatin1Char('0'));
}

QString alphaLiterature()
{
    QStringList lines;
    for (int i = 1; i <= literatureLines; ++i)
        lines << literatureLine(i);
    return lines.join(QLatin1Char('\n'));
}

QList<zil::test::SourceMaterial> materials()
{
    zil::test::SourceMaterial alpha;
    alpha.key = QStringLiteral("1");
    alpha.name = alphaName;
    alpha.cas = QStringLiteral("7732-18");
    alpha.fema = QStringLiteral("2001");
    alpha.ce = QStringLiteral("11");
    alpha.occur = QStringLiteral("Found in alpha fruit.");
    alpha.flavor = QStringLiteral("Sour alpha taste.");
    alpha.applic = QStringLiteral("Used in alpha drinks.");
    alpha.liter = alphaLiterature();
    // Not in alphabetical order: the sheet keeps the pos order.
    alpha.synonyms = {QStringLiteral("Zeta synonym"), QStringLiteral("Alpha synonym"),
        QStringLiteral("Mid synonym")};

    zil::test::SourceMaterial beta;
    beta.key = QStringLiteral("2");
    beta.name = betaName;

    zil::test::SourceMaterial delta;
    delta.key = QStringLiteral("3");
    delta.name = deltaName;
    delta.cas = QStringLiteral("100-00");

    zil::test::SourceMaterial gamma;
    gamma.key = QStringLiteral("4");
    gamma.name = QStringLiteral("Gamma oil");
    gamma.cas = QStringLiteral("64-17");
    gamma.occur = QStringLiteral("Gamma occurrence.");
    gamma.synonyms = {QStringLiteral("Gamma synonym")};
    return {alpha, beta, delta, gamma};
}

QList<zil::test::SourceSupplier> suppliers()
{
    return {
        {10, QStringLiteral("Zephyr Supplies"), QStringLiteral("1 Wind Road"),
            QStringLiteral("Westport"), QStringLiteral("Ireland"), QStringLiteral("+353 1 234")},
        {20, QStringLiteral("Middle Trading"), QStringLiteral("2 Centre Street"),
            QStringLiteral("Midtown"), QStringLiteral("Utopia"), QString()},
        {30, QStringLiteral("Aardvark Aromatics"), QStringLiteral("3 Ant Lane"),
            QStringLiteral("Anthill"), QStringLiteral("Narnia"), QStringLiteral("555")},
        {40, QStringLiteral("Lonely Traders"), QStringLiteral("4 Empty Square"),
            QStringLiteral("Nowhere"), QStringLiteral("Atlantis"), QStringLiteral("777")},
    };
}

QList<zil::test::SourceLink> links()
{
    return {{QStringLiteral("1"), 30}, {QStringLiteral("1"), 10}, {QStringLiteral("4"), 30},
        {QStringLiteral("4"), 10}, {QStringLiteral("4"), 20}, {QStringLiteral("3"), 10}};
}

const QString productLine
    = QStringLiteral("ZIL \u2013 reference data on flavour and fragrance raw materials");

// The lines of a page between its heading lines and its footer line.
QStringList body(const QStringList &page)
{
    return page.mid(1, page.size() - 2);
}

} // namespace

class TestReports : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void materialSheetRunsOntoASecondPage();
    void emptySectionsKeepTheirHeadings();
    void suppliersComeInSupplierIdOrder();
    void supplierSheetListsMaterialsInIdOrder();
    void supplierWithoutMaterialsKeepsItsHeading();
    void copiesAreSeparatePrintRuns();
    void cancelledDialogOpensAndPrintsNothing();
    void previewReturnsWhenClosed();
    void everyClickPrintsTheTabInView();
    void keysPrintAndSaveTheTabInView();
    void eachRunReadsTheTablesAfresh();
    void storeAndPrinterErrorsAreReported();
    void saveAsPdfCancelledOrUnwritable();
    void saveAsPdfWithoutASupplier();
    void saveAsPdfProposesLastFolderAndName();
    void failedRunsCloseEveryCursor();

private:
    TMainForm *form() const { return m_app->form(); }
    // The PDF file of the sheet of the tab in view, saved through the Report
    // menu's "Save as PDF...".
    QString savePdf(const QString &name);
    // The notice over the window that tells where a file was saved, while
    // it is shown.
    QString savedNotice() const
    {
        auto *notice = form()->findChild<QLabel *>(QStringLiteral("SavedNotice"));
        return notice && notice->isVisibleTo(form()) ? notice->text() : QString();
    }
    void showMaterial(int id);
    void showSupplier(int id);
    // Print runs of the print-dialog path, each taken as a PDF file.
    void takePrintRuns(bool accept, int copies);

    QTemporaryDir m_dir;
    QString m_db;
    std::unique_ptr<zil::test::RunningApp> m_app;
    QStringList m_runs;
    int m_dialogs = 0;
    // The hooks of takePrintRuns, set until the end of the test.
    std::optional<zil::platform::ScopedNTPlatformHook> m_ntHook;
    std::optional<zil::platform::ScopedPrintDialogHook> m_dialogHook;
    std::optional<zil::platform::ScopedPrintRunHook> m_runHook;
};

void TestReports::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(QStringLiteral("db"));
    QVERIFY(zil::test::makeDatabase(
        m_dir.filePath(QStringLiteral("src")), m_db, materials(), suppliers(), links()));
}

void TestReports::init()
{
    m_runs.clear();
    m_dialogs = 0;
    // Every test is a first run: nothing is remembered from the tests before.
    QFile::remove(zil::framework::UserSettings().fileName());
    m_app = std::make_unique<zil::test::RunningApp>();
    QVERIFY(m_app->start(m_db));
}

void TestReports::cleanup()
{
    m_app.reset();
    m_ntHook.reset();
    m_dialogHook.reset();
    m_runHook.reset();
}

QString TestReports::savePdf(const QString &name)
{
    const QString path = m_dir.filePath(name);
    QFile::remove(path);
    const zil::platform::ScopedSaveFileHook answer(
        [path](const QString &, const QString &) { return path; });
    form()->MenuSavePdf->trigger();
    return path;
}

void TestReports::showMaterial(int id)
{
    form()->MainTabNotebook->setCurrentIndex(0);
    form()->MaterialGrid->setRow(id);
    QCOMPARE(form()->TableMaterial->fieldByName(QStringLiteral("id")).asInteger(), id);
}

void TestReports::showSupplier(int id)
{
    form()->MainTabNotebook->setCurrentIndex(1);
    zil::store::Table *suppliers = form()->TableSupplierName;
    for (suppliers->first(); !suppliers->eof(); suppliers->next()) {
        if (suppliers->fieldByName(QStringLiteral("id")).asInteger() == id)
            return;
    }
    QFAIL("supplier not found");
}

void TestReports::takePrintRuns(bool accept, int copies)
{
    m_ntHook.emplace([] { return false; });
    m_dialogHook.emplace([this, accept, copies](zil::platform::PrintDialog &dialog) {
        ++m_dialogs;
        dialog.setCopies(copies);
        return accept;
    });
    m_runHook.emplace([this](QPrinter &printer) {
        const QString path = m_dir.filePath(QStringLiteral("run-%1.pdf").arg(m_runs.size() + 1));
        QFile::remove(path);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        m_runs << path;
    });
}

void TestReports::materialSheetRunsOntoASecondPage()
{
    showMaterial(1);
    const auto pages = pdfLines(savePdf(QStringLiteral("alpha.pdf")));
    QCOMPARE(pages.size(), 2);
    for (int p = 0; p < 2; ++p) {
        QCOMPARE(pages[p].first(), alphaName + QStringLiteral(" 7732-18-5"));
        QCOMPARE(pages[p].last(), productLine + QStringLiteral(" Page %1").arg(p + 1));
    }
    const QStringList lines = body(pages[0]) + body(pages[1]);
    QStringList expected {QStringLiteral("FEMA 2001 CE 11"), QStringLiteral("IDENTITY"),
        QStringLiteral("Zeta synonym"), QStringLiteral("Alpha synonym"),
        QStringLiteral("Mid synonym"), QStringLiteral("OCCURENCE"),
        QStringLiteral("Found in alpha fruit."), QStringLiteral("FLAVOUR"),
        QStringLiteral("Sour alpha taste."), QStringLiteral("APPLICATION"),
        QStringLiteral("Used in alpha drinks."), QStringLiteral("LITERATURE")};
    for (int i = 1; i <= literatureLines; ++i)
        expected << literatureLine(i);
    expected << QStringLiteral("SUPPLIERS") << QStringLiteral("Zephyr Supplies")
             << QStringLiteral("Aardvark Aromatics");
    // Every line of the literature once, in order, split over the two pages.
    QCOMPARE(lines, expected);
    QVERIFY(pages[0].contains(literatureLine(1)));
    QVERIFY(pages[1].contains(literatureLine(literatureLines)));
}

void TestReports::emptySectionsKeepTheirHeadings()
{
    showMaterial(2);
    const auto pages = pdfLines(savePdf(QStringLiteral("beta.pdf")));
    QCOMPARE(pages.size(), 1);
    // The name prints as the characters stored, markup and all.
    QCOMPARE(pages[0],
        QStringList({betaName, QStringLiteral("FEMA CE"), QStringLiteral("IDENTITY"),
            QStringLiteral("OCCURENCE"), QStringLiteral("FLAVOUR"), QStringLiteral("APPLICATION"),
            QStringLiteral("LITERATURE"), QStringLiteral("SUPPLIERS"),
            productLine + QStringLiteral(" Page 1")}));

    // Each empty text section keeps its design height: the headings stand
    // 14.82 mm apart.
    const auto words = zil::test::pdfWords(m_dir.filePath(QStringLiteral("beta.pdf")));
    QList<double> tops;
    for (const QString &heading : {QStringLiteral("OCCURENCE"), QStringLiteral("FLAVOUR"),
             QStringLiteral("APPLICATION"), QStringLiteral("LITERATURE")}) {
        for (const zil::test::PdfWord &w : words.value(0))
            if (w.text == heading)
                tops << w.box.top();
    }
    QCOMPARE(tops.size(), 4);
    for (int i = 1; i < 4; ++i)
        QVERIFY2(qAbs(tops[i] - tops[i - 1] - 14.82) < 0.05, qPrintable(QString::number(tops[i])));
}

void TestReports::suppliersComeInSupplierIdOrder()
{
    showMaterial(4);
    const auto pages = pdfLines(savePdf(QStringLiteral("gamma.pdf")));
    QCOMPARE(pages.size(), 1);
    const QStringList lines = body(pages[0]);
    QCOMPARE(lines.mid(lines.indexOf(QStringLiteral("SUPPLIERS"))),
        QStringList({QStringLiteral("SUPPLIERS"), QStringLiteral("Zephyr Supplies"),
            QStringLiteral("Middle Trading"), QStringLiteral("Aardvark Aromatics")}));
    QCOMPARE(lines.mid(1, 2),
        QStringList({QStringLiteral("IDENTITY"), QStringLiteral("Gamma synonym")}));
}

void TestReports::supplierSheetListsMaterialsInIdOrder()
{
    showSupplier(10);
    const QString path = savePdf(QStringLiteral("zephyr.pdf"));
    const auto pages = pdfLines(path);
    QCOMPARE(pages.size(), 1);
    const QStringList lines = pages[0];
    QCOMPARE(lines.mid(0, 8),
        QStringList({QStringLiteral("Zephyr Supplies"), QStringLiteral("ADDRESS"),
            QStringLiteral("Zephyr Supplies"), QStringLiteral("1 Wind Road"),
            QStringLiteral("Westport"), QStringLiteral("Ireland"), QStringLiteral("+353 1 234"),
            QStringLiteral("MATERIALS")}));
    // By material id, not by CAS number; the long name wraps onto a second
    // line and pushes the next row down.
    QCOMPARE(lines.at(8), QStringLiteral("7732-18-5 Alpha acid"));
    QVERIFY2(
        lines.at(9).startsWith(QStringLiteral("100-00-5 DELTA WORMWOOD")), qPrintable(lines.at(9)));
    QVERIFY(lines.at(9).size() < deltaName.size());
    QCOMPARE(lines.at(9).mid(9) + QLatin1Char(' ') + lines.at(10), deltaName);
    QCOMPARE(lines.at(11), QStringLiteral("64-17-5 Gamma oil"));
    QCOMPARE(lines.at(12), productLine + QStringLiteral(" Page 1"));
    QCOMPARE(lines.size(), 13);

    // An empty phone leaves its line blank; the heading keeps its place.
    showSupplier(20);
    const auto words = zil::test::pdfWords(savePdf(QStringLiteral("middle.pdf")));
    const auto top = [&words](const QString &text) {
        for (const zil::test::PdfWord &w : words.value(0))
            if (w.text == text)
                return w.box.top();
        return -1.0;
    };
    QVERIFY(top(QStringLiteral("MATERIALS")) > 0);
    QVERIFY(qAbs(top(QStringLiteral("MATERIALS")) - top(QStringLiteral("ADDRESS")) - 36.51) < 0.05);
}

void TestReports::supplierWithoutMaterialsKeepsItsHeading()
{
    showSupplier(40);
    const auto pages = pdfLines(savePdf(QStringLiteral("lonely.pdf")));
    QCOMPARE(pages.size(), 1);
    QCOMPARE(pages[0].mid(pages[0].indexOf(QStringLiteral("MATERIALS"))),
        QStringList({QStringLiteral("MATERIALS"), productLine + QStringLiteral(" Page 1")}));
}

void TestReports::copiesAreSeparatePrintRuns()
{
    // Start-up made both report holders; their cursors stay closed until a run.
    QVERIFY(form()->PrintMaterial && form()->PrintSupplier);
    for (zil::store::Table *t :
        form()->PrintMaterial->cursorOrder() + form()->PrintSupplier->cursorOrder())
        QVERIFY(!t->active());
    showMaterial(4);
    takePrintRuns(true, 3);
    form()->PrintButton->click();
    QCOMPARE(m_dialogs, 1);
    QCOMPARE(m_runs.size(), 3);
    for (const QString &run : m_runs) {
        const auto pages = pdfLines(run);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages[0].first(), QStringLiteral("Gamma oil 64-17-5"));
    }
    // The report's cursors are closed again after the run.
    for (zil::store::Table *t : form()->PrintMaterial->cursorOrder())
        QVERIFY(!t->active());

    // No copies, no print run.
    m_runs.clear();
    takePrintRuns(true, 0);
    form()->PrintButton->click();
    QCOMPARE(m_runs.size(), 0);
    QCOMPARE(m_dialogs, 2);
}

void TestReports::cancelledDialogOpensAndPrintsNothing()
{
    showMaterial(1);
    takePrintRuns(false, 1);
    TPrintMaterial *sheet = form()->PrintMaterial;
    const QList<zil::store::Table *> cursors {sheet->TableMaterial, sheet->TableSin,
        sheet->TableMatSupp, sheet->TableSupplier, sheet->TableMaterial2};
    auto anyOpen = [&cursors] {
        return std::any_of(
            cursors.begin(), cursors.end(), [](zil::store::Table *t) { return t->active(); });
    };
    // The sheet's cursors are looked at while the dialog is up, and again
    // after it was cancelled: neither is the time to open them.
    bool openDuringDialog = false;
    const zil::platform::ScopedPrintDialogHook cancelling([&](zil::platform::PrintDialog &) {
        ++m_dialogs;
        openDuringDialog = anyOpen();
        return false;
    });
    bool previewShown = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&previewShown] {
        if (qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget()))
            previewShown = true;
    });
    watch.start(10);
    form()->MenuPrintMaterial->trigger();
    QCOMPARE(m_dialogs, 1);
    QCOMPARE(m_runs.size(), 0);
    QVERIFY(!openDuringDialog);
    QVERIFY(!anyOpen());
    QVERIFY(!previewShown);
}

void TestReports::previewReturnsWhenClosed()
{
    showMaterial(1);
    int pageCount = -1;
    bool openWhileShown = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        auto *preview = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget());
        if (!preview || !preview->isVisible())
            return;
        auto *widget = preview->findChild<QPrintPreviewWidget *>();
        if (!widget || widget->pageCount() == 0)
            return;
        pageCount = widget->pageCount();
        openWhileShown = form()->PrintMaterial->TableMaterial->active();
        preview->close();
    });
    closer.start(20);
    form()->PrintButton->click();
    closer.stop();
    // The preview showed both pages while the run held its cursors open, and
    // the run went on to close them once the preview was closed.
    QCOMPARE(pageCount, 2);
    QVERIFY(openWhileShown);
    QVERIFY(!form()->PrintMaterial->TableMaterial->active());
    QVERIFY(m_app->messages.isEmpty());
}

void TestReports::everyClickPrintsTheTabInView()
{
    takePrintRuns(true, 1);
    // Which menu item is enabled follows the tab; both reach the same
    // dispatch when they are.
    form()->MenuPrintMaterial->setEnabled(true);
    form()->MenuPrintSupplier->setEnabled(true);
    QList<std::function<void()>> clicks {[this] { form()->PrintButton->click(); },
        [this] { form()->MenuPrintMaterial->trigger(); },
        [this] { form()->MenuPrintSupplier->trigger(); }};
    for (int tab : {0, 1}) {
        if (tab == 0)
            showMaterial(4);
        else
            showSupplier(30);
        for (const auto &click : clicks) {
            m_runs.clear();
            click();
            QCOMPARE(m_runs.size(), 1);
            QCOMPARE(pdfLines(m_runs[0]).value(0).value(0),
                tab == 0 ? QStringLiteral("Gamma oil 64-17-5")
                         : QStringLiteral("Aardvark Aromatics"));
        }
    }
}

void TestReports::keysPrintAndSaveTheTabInView()
{
    takePrintRuns(true, 1);
    m_app->show();
    QApplication::setActiveWindow(form());
    QVERIFY(QTest::qWaitForWindowActive(form()));
    for (int tab : {0, 1}) {
        (tab == 0 ? form()->Materials1 : form()->Suppliers1)->trigger();
        if (tab == 0)
            showMaterial(4);
        else
            showSupplier(30);
        // No two items enabled together answer to one key.
        QList<QKeySequence> keys;
        for (QAction *menu : form()->MainMenu->actions())
            for (QAction *a : menu->menu()->actions())
                if (a->isEnabled() && !a->shortcut().isEmpty()) {
                    QVERIFY2(!keys.contains(a->shortcut()), qPrintable(a->objectName()));
                    keys << a->shortcut();
                }
        const QString heading
            = tab == 0 ? QStringLiteral("Gamma oil 64-17-5") : QStringLiteral("Aardvark Aromatics");
        // Typed in the search field, where a key makes text first.
        QLineEdit *search = tab == 0 ? form()->SearchField : form()->EditSupplierName;
        search->setFocus();
        m_runs.clear();
        QTest::keyClick(search, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(m_runs.size(), 1);
        QCOMPARE(pdfLines(m_runs[0]).value(0).value(0), heading);
        const QString path = m_dir.filePath(QStringLiteral("by-key-%1.pdf").arg(tab));
        const zil::platform::ScopedSaveFileHook answer(
            [path](const QString &, const QString &) { return path; });
        QTest::keyClick(search, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(pdfLines(path).value(0).value(0), heading);
        QCOMPARE(search->text(), QString());
    }
    QVERIFY(m_app->messages.isEmpty());
}

void TestReports::eachRunReadsTheTablesAfresh()
{
    showMaterial(4);
    QCOMPARE(pdfLines(savePdf(QStringLiteral("before.pdf"))).value(0).value(0),
        QStringLiteral("Gamma oil 64-17-5"));

    // Another program changes the tables between two runs.
    QVERIFY(zil::test::execSql(QDir(m_db).filePath(QStringLiteral("SYNON.DB")),
        QStringLiteral("UPDATE synon SET name = 'Renamed synonym' WHERE name = 'Gamma synonym'")));
    QVERIFY(zil::test::execSql(QDir(m_db).filePath(QStringLiteral("SUPPLIER.DB")),
        QStringLiteral("UPDATE supplier SET name = 'Zephyr Renamed' WHERE id = 10")));
    const QStringList after = pdfLines(savePdf(QStringLiteral("after.pdf"))).value(0);
    QVERIFY2(after.contains(QStringLiteral("Renamed synonym")), qPrintable(after.join('|')));
    QVERIFY(after.contains(QStringLiteral("Zephyr Renamed")));
    QVERIFY(!after.contains(QStringLiteral("Gamma synonym")));

    // Moving to another material in the list prints that material.
    showMaterial(2);
    QCOMPARE(pdfLines(savePdf(QStringLiteral("moved.pdf"))).value(0).value(0), betaName);
}

void TestReports::storeAndPrinterErrorsAreReported()
{
    takePrintRuns(true, 1);
    showMaterial(1);
    const QString synon = QDir(m_db).filePath(QStringLiteral("SYNON.DB"));
    const QString aside = synon + QStringLiteral(".aside");
    QVERIFY(QFile::rename(synon, aside));
    form()->PrintButton->click();
    const bool restored = QFile::rename(aside, synon);
    QVERIFY(restored);
    QCOMPARE(m_runs.size(), 0);
    QCOMPARE(m_app->messages.size(), 1);
    QVERIFY2(
        m_app->messages[0].startsWith(QStringLiteral("Error: ")), qPrintable(m_app->messages[0]));

    form()->PrintButton->click();
    QCOMPARE(m_runs.size(), 1);
    QCOMPARE(pdfLines(m_runs[0]).size(), 2);
    for (zil::store::Table *t : form()->PrintMaterial->cursorOrder())
        QVERIFY(!t->active());

    // A printer that cannot be started is reported, not passed over.
    const zil::platform::ScopedPrintRunHook unwritable([this](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_dir.filePath(QStringLiteral("no/such/dir/run.pdf")));
    });
    form()->PrintButton->click();
    QCOMPARE(m_app->messages.size(), 2);
    QCOMPARE(m_app->messages[1], QStringLiteral("Error: The printer could not be started"));
}

void TestReports::saveAsPdfCancelledOrUnwritable()
{
    showMaterial(1);
    QString proposed;
    std::optional<zil::platform::ScopedSaveFileHook> answer;
    answer.emplace([&proposed](const QString &, const QString &name) {
        proposed = name;
        return QString();
    });
    form()->MenuSavePdf->trigger();
    QCOMPARE(QFileInfo(proposed).fileName(), alphaName + QStringLiteral(".pdf"));
    QVERIFY(m_app->messages.isEmpty());
    QVERIFY(!form()->PrintMaterial->TableMaterial->active());

    QCOMPARE(savedNotice(), QString());

    const QString missing = m_dir.filePath(QStringLiteral("no/such/dir/sheet.pdf"));
    answer.emplace([missing](const QString &, const QString &) { return missing; });
    form()->MenuSavePdf->trigger();
    QVERIFY(!QFile::exists(missing));
    QCOMPARE(m_app->messages.size(), 1);
    QVERIFY(m_app->messages[0].contains(QStringLiteral("could not be written")));
    QCOMPARE(savedNotice(), QString());

    // A name without a suffix gets ".pdf". Where the file went is said
    // without a box to click away.
    const QString bare = m_dir.filePath(QStringLiteral("bare"));
    answer.emplace([bare](const QString &, const QString &) { return bare; });
    form()->MenuSavePdf->trigger();
    QCOMPARE(zil::test::pdfPageCount(bare + QStringLiteral(".pdf")), 2);
    QCOMPARE(m_app->messages.size(), 1);
    QCOMPARE(savedNotice(), QStringLiteral("Sheet saved to\n") + bare + QStringLiteral(".pdf"));
    // What was said of that file goes when the next one fails.
    answer.emplace([missing](const QString &, const QString &) { return missing; });
    form()->MenuSavePdf->trigger();
    QCOMPARE(m_app->messages.size(), 2);
    QCOMPARE(savedNotice(), QString());
    // Nor does it stay for good once a file is saved.
    const QString again = m_dir.filePath(QStringLiteral("again.pdf"));
    answer.emplace([again](const QString &, const QString &) { return again; });
    form()->MenuSavePdf->trigger();
    QCOMPARE(savedNotice(), QStringLiteral("Sheet saved to\n") + again);
    QTRY_COMPARE_WITH_TIMEOUT(
        savedNotice(), QString(), zil::framework::TransientNotice::kShownMs + 2000);
}

void TestReports::saveAsPdfWithoutASupplier()
{
    const QString db = m_dir.filePath(QStringLiteral("nosuppliers"));
    QVERIFY(zil::test::makeDatabase(m_dir.filePath(QStringLiteral("nosuppliers-src")), db,
        {{.key = "1", .name = "Lonely material"}}));
    m_app = std::make_unique<zil::test::RunningApp>();
    QVERIFY(m_app->start(db));
    form()->MainTabNotebook->setCurrentIndex(1);
    bool asked = false;
    const zil::platform::ScopedSaveFileHook answer([&asked](const QString &, const QString &) {
        asked = true;
        return QString();
    });
    form()->MenuSavePdf->trigger();
    QVERIFY(!asked);
    QCOMPARE(
        m_app->messages, QStringList {QStringLiteral("Warning: There is no supplier to save.")});
}

void TestReports::saveAsPdfProposesLastFolderAndName()
{
    showMaterial(2);
    QStringList proposed;
    QString answer;
    const zil::platform::ScopedSaveFileHook answering([&](const QString &, const QString &name) {
        proposed << name;
        return answer;
    });

    // The first time: the home folder, the material's name made fit for a
    // file name. A cancelled dialog leaves the folder as it was.
    form()->MenuSavePdf->trigger();
    QCOMPARE(proposed.value(0), QDir::home().filePath(QStringLiteral("Beta _b_ester__b_.pdf")));

    // After a file was saved elsewhere, the next proposal is in that folder,
    // with the name of whatever is current then: the supplier on its tab.
    const QString folder = m_dir.filePath(QStringLiteral("sheets"));
    QVERIFY(QDir().mkpath(folder));
    answer = folder + QStringLiteral("/first.pdf");
    form()->MenuSavePdf->trigger();
    QVERIFY(QFile::exists(answer));
    answer.clear();
    showSupplier(10);
    form()->MenuSavePdf->trigger();
    QCOMPARE(proposed.size(), 3);
    QCOMPARE(proposed[2],
        QDir(folder).filePath(
            form()->TableSupplierName->fieldByName(QStringLiteral("name")).asString()
            + QStringLiteral(".pdf")));
    QVERIFY(proposed[2].contains(QStringLiteral("/Zephyr ")));

    // A file that could not be written leaves the folder as it was.
    answer = m_dir.filePath(QStringLiteral("gone/sheet.pdf"));
    form()->MenuSavePdf->trigger();
    answer.clear();
    form()->MenuSavePdf->trigger();
    QCOMPARE(proposed.size(), 5);
    QCOMPARE(proposed[4], proposed[2]);
    QCOMPARE(m_app->messages.size(), 1);
}

void TestReports::failedRunsCloseEveryCursor()
{
    const auto openCursors = [this] {
        QStringList open;
        for (zil::store::Table *t :
            form()->PrintMaterial->cursorOrder() + form()->PrintSupplier->cursorOrder())
            if (t->active())
                open << t->parent()->objectName() + QLatin1Char('.') + t->objectName();
        return open;
    };

    // A printer that cannot be started ends a print run of either sheet once
    // all its cursors are open.
    takePrintRuns(true, 1);
    const zil::platform::ScopedPrintRunHook unwritable([this](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_dir.filePath(QStringLiteral("no/such/dir/run.pdf")));
    });
    showMaterial(4);
    form()->PrintButton->click();
    QCOMPARE(m_app->messages.size(), 1);
    QCOMPARE(openCursors(), QStringList());
    showSupplier(30);
    form()->PrintButton->click();
    QCOMPARE(m_app->messages.size(), 2);
    QCOMPARE(openCursors(), QStringList());

    // A table that cannot be opened ends a save half-way through the opening:
    // the cursors opened before it are closed again.
    showMaterial(1);
    const QString synon = QDir(m_db).filePath(QStringLiteral("SYNON.DB"));
    const QString aside = synon + QStringLiteral(".aside");
    QVERIFY(QFile::rename(synon, aside));
    const QString path = savePdf(QStringLiteral("nosynonyms.pdf"));
    const bool restored = QFile::rename(aside, synon);
    QVERIFY(restored);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(m_app->messages.size(), 3);
    QVERIFY2(
        m_app->messages[2].startsWith(QStringLiteral("Error: ")), qPrintable(m_app->messages[2]));
    QCOMPARE(openCursors(), QStringList());

    // With the table back, the next save reads the whole sheet.
    QCOMPARE(zil::test::pdfPageCount(savePdf(QStringLiteral("again.pdf"))), 2);
}

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
