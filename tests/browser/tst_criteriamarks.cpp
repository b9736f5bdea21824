// The words of a criteria run marked in the texts that show a material, on
// both tabs: where they lie, under which case rule, when they follow the
// material and when they go.
#include "browser/Search.h"
#include "browser/criteriamarks.h"
#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "linkdb.h"
#include "shell/Zil0.h"
#include "store/table.h"
#include "wordsdb.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace zil;
using browser::MarkRange;
using Ranges = QList<MarkRange>;

QT_BEGIN_NAMESPACE
namespace QTest {
template<>
inline char *toString(const Ranges &ranges)
{
    QStringList parts;
    for (const MarkRange &r : ranges)
        parts << QStringLiteral("[%1,+%2]").arg(r.start).arg(r.length);
    return qstrdup(qPrintable(parts.join(QLatin1Char(' '))));
}
} // namespace QTest
QT_END_NAMESPACE

namespace {

const QColor kMark(255, 235, 0);

// The ranges a memo shows marked, from its extra selections, with the mark's
// colour.
Ranges memoMarks(const QPlainTextEdit *memo)
{
    Ranges ranges;
    for (const QTextEdit::ExtraSelection &s : memo->extraSelections()) {
        if (!s.cursor.hasSelection() || s.format.background().color() != kMark)
            continue;
        ranges << MarkRange {
            s.cursor.selectionStart(), s.cursor.selectionEnd() - s.cursor.selectionStart()};
    }
    return ranges;
}

// The ranges a one-line field paints marked: the runs of the mark's colour
// along its middle, turned back into character positions.
Ranges fieldMarks(QLineEdit *field)
{
    const QImage image = field->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int y = image.height() / 2;
    // Glyphs cover the mark in places; a column is marked where the mark's
    // colour shows anywhere in it.
    auto marked = [&](int x) {
        for (int row = 0; row < image.height(); ++row)
            if (QColor(image.pixel(x, row)) == kMark)
                return true;
        return false;
    };
    Ranges ranges;
    for (int x = 0; x < image.width(); ++x) {
        if (!marked(x))
            continue;
        int end = x;
        while (end + 1 < image.width() && marked(end + 1))
            ++end;
        const int from = field->cursorPositionAt(QPoint(x + 1, y));
        const int to = field->cursorPositionAt(QPoint(end, y));
        ranges << MarkRange {from, to - from};
        x = end;
    }
    return ranges;
}

} // namespace

class TestCriteriaMarks : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::RunningApp> m_app;

    TMainForm &form() { return *m_app->form(); }
    TSearchWindow &dialog() { return *form().SearchWindow; }

    // Runs the dialog from the "&Select" button with the given criteria and
    // the given button.
    void run(QPushButton *TSearchWindow::*button, const QString &material,
        const QString &occurrence = {}, const QString &flavour = {},
        const QString &application = {})
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            ran = dialog().isVisible();
            dialog().Material->setText(material);
            dialog().Occurence->setText(occurrence);
            dialog().Flavour->setText(flavour);
            dialog().Application->setText(application);
            QTest::mouseClick(dialog().*button, Qt::LeftButton);
            if (dialog().isVisible())
                dialog().reject();
        });
        QTest::mouseClick(form().SearchButton, Qt::LeftButton);
        QVERIFY(ran);
    }

    void select(const QString &material, const QString &occurrence = {},
        const QString &flavour = {}, const QString &application = {})
    {
        run(&TSearchWindow::SearchButton, material, occurrence, flavour, application);
    }

    void selectAll() { run(&TSearchWindow::SearchAllButton, {}); }

    QString current() { return form().TableMaterial->fieldByName("name").asString(); }

    // Picks the supplier's link to the material on the Suppliers tab.
    void pickOnSuppliersTab(int supplierRow, const QString &material)
    {
        form().MainTabNotebook->setCurrentIndex(1);
        framework::DataGrid *suppliers = form().DBGrid1;
        suppliers->setCurrentIndex(suppliers->model()->index(supplierRow, 0));
        framework::DataGrid *links = form().MaterialGrid2;
        for (int row = 0; row < links->model()->rowCount(); ++row) {
            links->setCurrentIndex(links->model()->index(row, 0));
            if (form().DBMaterialName->text() == material)
                return;
        }
        QFAIL(qPrintable(QStringLiteral("no link to ") + material));
    }

    bool noMarksAnywhere()
    {
        for (QPlainTextEdit *memo : {form().synonyms, form().DBOccurence, form().DBFlavour,
                 form().DBApplication, form().DBLiterature, form().MemoSynonyms})
            if (!memoMarks(memo).isEmpty())
                return false;
        return fieldMarks(form().DBName).isEmpty() && fieldMarks(form().DBMaterialName).isEmpty();
    }

private slots:
    void initTestCase() { QVERIFY(!test::wordsDatabase().isEmpty()); }

    void init()
    {
        m_app = test::startOnWords();
        QVERIFY(m_app);
        QVERIFY(form().SearchWindow);
    }

    void cleanup() { m_app.reset(); }

    void rangesFollowTheCaseRuleOfTheTest()
    {
        using browser::criterionRanges;
        // a to z fold, whatever the case of the text.
        QCOMPARE(criterionRanges("Ethyl ETHYL ethyl", "ETHYL"), (Ranges {{0, 5}, {6, 5}, {12, 5}}));
        // Accented letters match only themselves: "è" is not "È".
        QCOMPARE(criterionRanges(QString::fromUtf8("CRÈME, Crème"), QString::fromUtf8("CRèME")),
            (Ranges {{7, 5}}));
        // Overlapping and touching occurrences make one range.
        QCOMPARE(criterionRanges("aaaa-abab", "AA"), (Ranges {{0, 4}}));
        QCOMPARE(criterionRanges("ababab", "ABAB"), (Ranges {{0, 6}}));
        // The first ones only, up to the limit.
        QCOMPARE(criterionRanges("a-a-a-a", "A", 2), (Ranges {{0, 1}, {2, 1}}));
        QCOMPARE(criterionRanges("anything", QString()), Ranges {});
        QCOMPARE(criterionRanges(QString(), "A"), Ranges {});
    }

    void runMarksNameSynonymsAndTestedMemos()
    {
        select("  ethyl ", {}, "FRUITY");
        QCOMPARE(form().SearchClass->SelectedCount, 2);
        test::gotoMaterial(form(), test::kEthyl);

        QCOMPARE(fieldMarks(form().DBName), (Ranges {{0, 5}}));
        // "Butanoic acid, ethyl ester" and, on the next line, "ETHYL BUTANOATE".
        QCOMPARE(memoMarks(form().synonyms), (Ranges {{15, 5}, {27, 5}}));
        QCOMPARE(memoMarks(form().DBFlavour), (Ranges {{0, 6}, {15, 6}}));
        // "ethyl" in the occurrence text was not a criterion of that text.
        QCOMPARE(memoMarks(form().DBOccurence), Ranges {});
        QCOMPARE(memoMarks(form().DBApplication), Ranges {});
        // The texts themselves are what the database holds, unchanged.
        QCOMPARE(form().DBName->text(), test::kEthyl);
        QCOMPARE(form().synonyms->toPlainText(),
            QStringLiteral("Butanoic acid, ethyl ester\nETHYL BUTANOATE"));

        // The marks follow a change of material: the next one selected.
        QTest::mouseClick(form().NextButton, Qt::LeftButton);
        QCOMPARE(current(), test::kMethyl);
        QCOMPARE(fieldMarks(form().DBName), (Ranges {{1, 5}}));
        QCOMPARE(memoMarks(form().synonyms), (Ranges {{1, 5}}));
        QCOMPARE(memoMarks(form().DBFlavour), (Ranges {{7, 6}}));

        // Closing the dialog without a choice keeps the run's marks, even
        // with other words typed into it.
        run(&TSearchWindow::CloseButton, "grape");
        QCOMPARE(memoMarks(form().synonyms), (Ranges {{1, 5}}));

        selectAll();
        QCOMPARE(form().SearchClass->SelectedCount, form().MaterialCount);
        QCOMPARE(current(), test::kMethyl);
        QVERIFY(noMarksAnywhere());
        // Nor do they come back with the next material.
        test::gotoMaterial(form(), test::kEthyl);
        QVERIFY(noMarksAnywhere());
    }

    void accentsAreMarkedAsTheTestMatchesThem()
    {
        select(QString::fromUtf8("crème"), {}, QString::fromUtf8("CRÈME"));
        // The flavour criterion "CRÈME" holds no letter to fold and does not
        // match "crème": nothing is selected and the full list comes back.
        QCOMPARE(form().SearchClass->SelectedCount, form().MaterialCount);
        QCOMPARE(m_app->messages.size(), 1);
        test::gotoMaterial(form(), test::kCreme);
        QVERIFY(noMarksAnywhere());

        select(QString::fromUtf8("crème"));
        QCOMPARE(form().SearchClass->SelectedCount, 1);
        QCOMPARE(current(), test::kCreme);
        QCOMPARE(fieldMarks(form().DBName), (Ranges {{0, 5}}));
        // "CRÈME FRAÎCHE NOTE" stays unmarked; "crème brûlée accord" is
        // marked on the second line.
        QCOMPARE(memoMarks(form().synonyms), (Ranges {{19, 5}}));
    }

    void aLongTextTakesTheFirstMarksOnly()
    {
        select({}, {}, {}, " NOTE ");
        QCOMPARE(current(), QStringLiteral("Long notes base"));
        const Ranges marks = memoMarks(form().DBApplication);
        QCOMPARE(marks.size(), browser::kMostMarks);
        QCOMPARE(marks.first(), (MarkRange {0, 4}));
        QCOMPARE(marks.last(), (MarkRange {int(browser::kMostMarks - 1) * 5, 4}));
    }

    void suppliersTabMarksTheLinkedMaterial()
    {
        select("ethyl");
        pickOnSuppliersTab(0, test::kEthyl);
        QCOMPARE(fieldMarks(form().DBMaterialName), (Ranges {{0, 5}}));
        QCOMPARE(memoMarks(form().MemoSynonyms), (Ranges {{15, 5}, {27, 5}}));
        pickOnSuppliersTab(0, test::kMethyl);
        QCOMPARE(fieldMarks(form().DBMaterialName), (Ranges {{1, 5}}));
        QCOMPARE(memoMarks(form().MemoSynonyms), (Ranges {{1, 5}}));
        // A material outside the selection, reached through its supplier,
        // shows the words where it has them: here none.
        pickOnSuppliersTab(1, "Filler 0000");
        QVERIFY(memoMarks(form().MemoSynonyms).isEmpty());
        QVERIFY(fieldMarks(form().DBMaterialName).isEmpty());

        pickOnSuppliersTab(0, test::kMethyl);
        form().MainTabNotebook->setCurrentIndex(0);
        selectAll();
        form().MainTabNotebook->setCurrentIndex(1);
        QVERIFY(noMarksAnywhere());
    }

    void marksSurviveScrollingAndLeaveWithANewDatabase()
    {
        select("ethyl");
        framework::StringGrid *grid = form().MaterialGrid;
        grid->setRow(2);
        QCOMPARE(current(), test::kMethyl);
        QCOMPARE(memoMarks(form().synonyms), (Ranges {{1, 5}}));
        // Listing every material anew, as a database update does, ends the
        // marking.
        form().FollowNewDatabase();
        QCOMPARE(form().SearchClass->SelectedCount, form().MaterialCount);
        QVERIFY(noMarksAnywhere());
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
        QVERIFY(noMarksAnywhere());
    }
};

QTEST_MAIN(TestCriteriaMarks)
#include "tst_criteriamarks.moc"
