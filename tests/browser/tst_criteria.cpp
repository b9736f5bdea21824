// Selection by criteria in the started program: the criteria test on names,
// synonyms and texts, the dialog and its buttons, the progress window, and
// what the list shows after a run.
#include "browser/Progres.h"
#include "browser/Search.h"
#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "common/testdb.h"
#include "criteriamaterials.h"
#include "framework/stringgrid.h"
#include "platform/messagebox.h"
#include "shell/Zil0.h"
#include "store/datasource.h"
#include "store/storeerror.h"
#include "store/table.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zil;
using test::kLongUse;
using test::kMaterials;

namespace {

const QString kNoMatch = QStringLiteral(
    "Warning: There are no records with the specified criteria.\nRestore to all records.");

} // namespace

class TestCriteria : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_db;
    std::unique_ptr<test::RunningApp> m_app;

    TMainForm &form() { return *m_app->form(); }
    TSearchWindow &dialog() { return *form().SearchWindow; }
    TSearchClass &list() { return *form().SearchClass; }

    // The selected ids after a run with the given criteria.
    QList<qint32> select(const QString &material, const QString &occurrence = {},
        const QString &flavour = {}, const QString &application = {})
    {
        dialog().Material->setText(material);
        dialog().Occurence->setText(occurrence);
        dialog().Flavour->setText(flavour);
        dialog().Application->setText(application);
        form().ApplySelection();
        form().UpdateListCaption();
        form().UpdateSearchEnabled();
        QList<qint32> ids;
        for (qint32 id = 1; id <= form().MaterialCount; ++id)
            if (list().IsSelected(id))
                ids << id;
        return ids;
    }

    // Runs the dialog from the main window's "&Select" button; act works in
    // the open dialog and closes it.
    void throughDialog(const std::function<void()> &act)
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            ran = dialog().isVisible();
            act();
            // A failed check inside act must not leave the dialog waiting.
            if (dialog().isVisible())
                dialog().reject();
        });
        QTest::mouseClick(form().SearchButton, Qt::LeftButton);
        QVERIFY(ran);
        QVERIFY(!dialog().isVisible());
    }

private slots:
    void initTestCase()
    {
        m_db = m_tmp.filePath("db");
        QVERIFY(test::makeDatabase(m_tmp.filePath("src"), m_db, kMaterials));
        QVERIFY(!test::scrollingDatabase().isEmpty());
    }

    void init()
    {
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(m_db));
        QVERIFY(form().SearchWindow);
    }

    void cleanup() { m_app.reset(); }

    void nameCriterionTrimsBlanksAndIgnoresCase()
    {
        QCOMPARE(select("  mEnThOl  "), QList<qint32> {6});
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("1 materials selected"));
        // Only blanks are trimmed; a tab stays part of the criterion.
        QCOMPARE(select("\tmenthol"), (QList<qint32> {1, 2, 3, 4, 5, 6}));
        QCOMPARE(m_app->messages, QStringList {kNoMatch});
        // Blanks alone set no criterion: everything, without a message.
        m_app->messages.clear();
        QCOMPARE(select("   ", " "), (QList<qint32> {1, 2, 3, 4, 5, 6}));
        QCOMPARE(m_app->messages, QStringList());
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (6)"));
    }

    void synonymsCount_data()
    {
        QTest::addColumn<QString>("criterion");
        QTest::addColumn<QList<qint32>>("selected");
        QTest::newRow("synonym only") << "bourbon" << QList<qint32> {5};
        QTest::newRow("second synonym") << "CAMPHOR" << QList<qint32> {1};
        QTest::newRow("name or synonym") << "rose" << QList<qint32> {4};
        QTest::newRow("anywhere in a name") << "acet" << QList<qint32> {2};
    }

    void synonymsCount()
    {
        QFETCH(QString, criterion);
        QFETCH(QList<qint32>, selected);
        QCOMPARE(select(criterion), selected);
    }

    void synonymsReadOnlyWhenTheNameFails()
    {
        store::Table *scan = form().TableMaterialSelect;
        scan->setIndexName(QString());
        QVERIFY(scan->findKey({1}));
        store::DataSource watch;
        watch.setDataSet(form().TableSinonSelect);
        int moves = 0;
        connect(&watch, &store::DataSource::recordChanged, this, [&] { ++moves; });

        dialog().Material->setText("anethole");
        QVERIFY(dialog().Test().MaterialMatches());
        QCOMPARE(moves, 0);
        dialog().Material->setText("camphor");
        QVERIFY(dialog().Test().MaterialMatches());
        QVERIFY(moves > 0);
        // The scan cursor stays on its record.
        QCOMPARE(scan->fieldByName("id").asInteger(), 1);
    }

    void memoCriteria_data()
    {
        QTest::addColumn<QString>("occurrence");
        QTest::addColumn<QString>("flavour");
        QTest::addColumn<QString>("application");
        QTest::addColumn<QList<qint32>>("selected");
        QTest::newRow("both memos must hold") << "mint"
                                              << "cool"
                                              << "" << QList<qint32> {6};
        QTest::newRow("flavour alone") << ""
                                       << "mint"
                                       << "" << QList<qint32> {3, 6};
        QTest::newRow("empty memo never passes") << "found"
                                                 << ""
                                                 << "" << QList<qint32> {1, 2, 4, 5, 6};
        QTest::newRow("empty flavour memo") << ""
                                            << "e"
                                            << "" << QList<qint32> {1, 2, 5};
        QTest::newRow("application") << ""
                                     << ""
                                     << "LIQUEURS" << QList<qint32> {1, 3};
        QTest::newRow("ends with the memo's last character") << "corn mint"
                                                             << ""
                                                             << "" << QList<qint32> {6};
        QTest::newRow("criterion longer than 255 characters")
            << ""
            << "" << kLongUse << QList<qint32> {2};
        QTest::newRow("all three") << "found"
                                   << "sweet"
                                   << "liqueurs" << QList<qint32> {1};
    }

    void memoCriteria()
    {
        QFETCH(QString, occurrence);
        QFETCH(QString, flavour);
        QFETCH(QString, application);
        QFETCH(QList<qint32>, selected);
        QCOMPARE(select(QString(), occurrence, flavour, application), selected);
        QCOMPARE(m_app->messages, QStringList());
    }

    void accentedLettersAreNotFolded()
    {
        QCOMPARE(select(QString::fromUtf8("crème")), QList<qint32> {3});
        QCOMPARE(select(QString::fromUtf8("Crème DE")), QList<qint32> {3});
        QCOMPARE(select(QString::fromUtf8("CRÈME")), (QList<qint32> {1, 2, 3, 4, 5, 6}));
        QCOMPARE(m_app->messages, QStringList {kNoMatch});
    }

    void noMatchWarnsOnceAfterTheProgressWindowThenShowsAll()
    {
        form().MaterialGrid->setRow(4);
        QStringList seen;
        const platform::ScopedMessageBoxHook taking(
            [&](platform::MessageKind kind, const QString &title, const QString &text) {
                seen << title + ": " + text;
                QCOMPARE(kind, platform::MessageKind::Warning);
                QVERIFY(!form().GaugeWindow->isVisible());
                // The list does not paint behind the message: its rows are
                // those of the last list until the full one is built.
                QVERIFY(!form().MaterialGrid->updatesEnabled());
            });
        QCOMPARE(select("xyzzy", "rose"), (QList<qint32> {1, 2, 3, 4, 5, 6}));
        QCOMPARE(seen, QStringList {kNoMatch});
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (6)"));
        QCOMPARE(form().TableMaterial->fieldByName("id").asInteger(), 4);
        QCOMPARE(form().MaterialGrid->row(), 4);
        QVERIFY(form().SearchField->isEnabled());
        QVERIFY(form().MaterialGrid->updatesEnabled());
    }

    void aFailingRunLeavesTheListAsItWas()
    {
        QCOMPARE(select("menthol"), QList<qint32> {6});
        const std::function<bool()> test = list().Predicate;
        int tested = 0;
        list().Predicate = [&] {
            if (++tested == 3)
                throw store::StoreError(QStringLiteral("Cannot read MATERIAL.DB"));
            return test();
        };
        dialog().Material->setText("o");
        QVERIFY_THROWS_EXCEPTION(store::StoreError, form().ApplySelection());
        QVERIFY(!form().GaugeWindow->isVisible());
        QVERIFY(form().MaterialGrid->updatesEnabled());
        QCOMPARE(list().SelectedCount, 1);
        for (qint32 id = 1; id <= 6; ++id)
            QCOMPARE(list().IsSelected(id), id == 6);
        QCOMPARE(form().MaterialGrid->rowCount(), 2);
        QCOMPARE(form().TableMaterial->fieldByName("id").asInteger(), 6);
    }

    void currentMaterialAfterARun()
    {
        // Kept when it stays selected, on its new row.
        form().MaterialGrid->setRow(5);
        QCOMPARE(select("", "found"), (QList<qint32> {1, 2, 4, 5, 6}));
        QCOMPARE(form().TableMaterial->fieldByName("id").asInteger(), 5);
        QCOMPARE(form().MaterialGrid->row(), 4);
        // Row 1 when it leaves the selection.
        QCOMPARE(select("", "", "mint"), (QList<qint32> {3, 6}));
        QCOMPARE(form().TableMaterial->fieldByName("id").asInteger(), 3);
        QCOMPARE(form().MaterialGrid->row(), 1);
        // A second run replaces the first instead of narrowing it.
        QCOMPARE(select("ethyl"), QList<qint32> {5});
    }

    void selectAllKeepsTheCriteria()
    {
        throughDialog([&] {
            QCOMPARE(dialog().focusWidget(), dialog().Material);
            QTest::keyClicks(dialog().Material, "menthol");
            QTest::mouseClick(dialog().SearchButton, Qt::LeftButton);
        });
        QCOMPARE(list().SelectedCount, 1);
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("1 materials selected"));

        throughDialog([&] {
            QCOMPARE(dialog().Material->text(), QStringLiteral("menthol"));
            QTest::mouseClick(dialog().SearchAllButton, Qt::LeftButton);
        });
        QCOMPARE(list().SelectedCount, 6);
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (6)"));
        QCOMPARE(dialog().Material->text(), QStringLiteral("menthol"));
        QCOMPARE(form().TableMaterial->fieldByName("id").asInteger(), 6);
    }

    void runWhileScrolledKeepsOrLeavesTheCurrentMaterial()
    {
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(test::scrollingDatabase()));
        m_app->show();
        framework::StringGrid *grid = form().MaterialGrid;
        auto currentId = [&] { return form().TableMaterial->fieldByName("id").asInteger(); };
        auto inView = [&](int row) {
            const QRect rect = grid->visualRect(grid->model()->index(row - 1, 0));
            return rect.top() >= 0 && rect.bottom() < grid->viewport()->height();
        };
        auto scrollFarDown = [&] {
            grid->verticalScrollBar()->setValue(2400);
            QCOMPARE(currentId(), 2401);
        };
        scrollFarDown();
        // A part of the current material's name keeps it, with others, in a
        // shorter list that still scrolls, away from both of its ends.
        const QString name = form().TableMaterial->fieldByName("name").asString();
        QVERIFY(name.contains(QLatin1String("Pent")));
        throughDialog([&] {
            dialog().Material->setText(QStringLiteral("en"));
            QTest::mouseClick(dialog().SearchButton, Qt::LeftButton);
        });
        QVERIFY(list().IsSelected(2401));
        QVERIFY(list().SelectedCount < test::kScrollingMaterials - 100);
        QCOMPARE(currentId(), 2401);
        const qsizetype row = std::find(list().NameList.begin() + 1,
                                  list().NameList.begin() + list().SelectedCount + 1, 2401)
            - list().NameList.begin();
        QVERIFY(
            row > grid->visibleRowCount() && row < list().SelectedCount - grid->visibleRowCount());
        QCOMPARE(grid->row(), int(row));
        QVERIFY(inView(grid->row()));

        throughDialog([&] { QTest::mouseClick(dialog().SearchAllButton, Qt::LeftButton); });
        QCOMPARE(currentId(), 2401);
        scrollFarDown();
        // The name of material 1 leaves the current material out: row 1.
        const QString first = form().TableMaterialSearch->findKey({1})
            ? form().TableMaterialSearch->fieldByName("name").asString()
            : QString();
        throughDialog([&] {
            dialog().Material->setText(first);
            QTest::mouseClick(dialog().SearchButton, Qt::LeftButton);
        });
        QVERIFY(!list().IsSelected(2401));
        QVERIFY(list().SelectedCount >= 1);
        QCOMPARE(grid->row(), 1);
        QCOMPARE(currentId(), list().NameList[1]);
        QCOMPARE(grid->topRow(), 1);
    }

    void focusGoesToTheFirstFilledField()
    {
        dialog().Flavour->setText(" ");
        dialog().Application->setText("gum");
        throughDialog([&] {
            // Blanks count as filled.
            QCOMPARE(dialog().focusWidget(), dialog().Flavour);
            dialog().Flavour->clear();
            QTest::mouseClick(dialog().CloseButton, Qt::LeftButton);
        });
        throughDialog([&] {
            QCOMPARE(dialog().focusWidget(), dialog().Application);
            QTest::mouseClick(dialog().ClearButton, Qt::LeftButton);
            // Clear empties every field, the hidden one too, and stays open.
            QVERIFY(dialog().isVisible());
            QCOMPARE(dialog().focusWidget(), dialog().Material);
            for (QLineEdit *field : {dialog().Material, dialog().CAS, dialog().Occurence,
                     dialog().Flavour, dialog().Application})
                QCOMPARE(field->text(), QString());
            QTest::mouseClick(dialog().CloseButton, Qt::LeftButton);
        });
        QCOMPARE(dialog().Choice, 0);
        QVERIFY(!dialog().CAS->isVisible());
    }

    void enterSelectsAndEscapeCloses()
    {
        throughDialog([&] {
            dialog().Flavour->setFocus();
            QTest::keyClicks(dialog().Flavour, "vanilla");
            QTest::keyClick(dialog().Flavour, Qt::Key_Return);
        });
        QCOMPARE(dialog().Choice, 1);
        QCOMPARE(list().SelectedCount, 1);

        throughDialog([&] {
            dialog().Flavour->clear();
            QTest::keyClick(dialog().Material, Qt::Key_Escape);
        });
        QCOMPARE(dialog().Choice, 0);
        QCOMPARE(list().SelectedCount, 1);
        // The close box is no choice either.
        throughDialog([&] { dialog().close(); });
        QCOMPARE(dialog().Choice, 0);
        QCOMPARE(list().SelectedCount, 1);
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("1 materials selected"));
    }

    // The progress window comes and goes during a run; the keys typed after
    // it reach the main window again, in the control that had them before.
    void keyboardFocusReturnsAfterARun()
    {
        m_app->show();
        QApplication::setActiveWindow(&form());
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        throughDialog([&] {
            dialog().Material->setText("o");
            QTest::keyClick(dialog().Material, Qt::Key_Return);
        });
        QCOMPARE(list().SelectedCount, 4);
        QTest::qWait(50);
        QCOMPARE(QApplication::activeWindow(), &form());
        QCOMPARE(QApplication::focusWidget(), form().SearchButton);
    }

    void paintingDuringTheScanLeavesTheScanAlone()
    {
        m_app->show();
        // Every material is visited once, however often the list paints in
        // between.
        QList<qint32> visited;
        const std::function<bool()> test = list().Predicate;
        list().Predicate = [&] {
            visited << form().TableMaterialSelect->fieldByName("id").asInteger();
            form().MaterialGrid->repaint();
            QCoreApplication::processEvents();
            return test();
        };
        QCOMPARE(select("o"), (QList<qint32> {1, 4, 5, 6}));
        std::sort(visited.begin(), visited.end());
        QCOMPARE(visited, (QList<qint32> {1, 2, 3, 4, 5, 6}));
        QVERIFY(form().MaterialGrid->updatesEnabled());
    }

    void wholeTableTestAgreesWithTheTestOfEachMaterial()
    {
        // A run with the dialog's own test takes every material at once from
        // texts held in memory; a run through any other predicate moves the
        // scan cursor and tests each material in turn. Both select alike.
        const QString db = m_tmp.filePath(QStringLiteral("agree"));
        QVERIFY(test::makeSynthetic(db, 300));
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(db));
        const MaterialPredicate own = list().Predicate;
        const std::function<bool()> eachInTurn
            = [this] { return dialog().Test().MaterialMatches(); };
        const QList<QStringList> criteria {{"yl", "", "", "", ""}, {"ETHYL", "", "", "", ""},
            {"", "found", "", "", ""}, {"", "", "sweet", "", ""}, {"", "", "", "flavours", ""},
            {"  ate ", "oil", "", "", ""}, {"ethyl", "found", "sweet", "flavours", ""},
            {"", "", "", "", "-5"}, {"one", "", "green", "", "1"}};
        int selective = 0;
        for (const QStringList &c : criteria) {
            dialog().CAS->setText(c[4]);
            list().Predicate = own;
            const QList<qint32> atOnce = select(c[0], c[1], c[2], c[3]);
            list().Predicate = eachInTurn;
            const QList<qint32> inTurn = select(c[0], c[1], c[2], c[3]);
            QCOMPARE(atOnce, inTurn);
            if (atOnce.size() > 0 && atOnce.size() < 300)
                ++selective;
        }
        // The criteria do select: not everything, not nothing.
        QVERIFY(selective >= 6);
    }

    void aReplacedTableShowsInTheNextRunOnceReadAgain()
    {
        // The texts a run holds in memory are those of the table as the
        // program last read it; a table file replaced by another process
        // shows once the program reads it again, as "Select all" does.
        const QString db = m_tmp.filePath(QStringLiteral("replaced"));
        QDir().mkpath(db);
        for (const QString &f : QDir(m_db).entryList(QDir::Files))
            QVERIFY(QFile::copy(m_db + "/" + f, db + "/" + f));
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(db));
        QCOMPARE(select("", "", "mint"), (QList<qint32> {3, 6}));

        const QString next = db + "/next.db";
        QVERIFY(QFile::copy(db + "/MATERIAL.DB", next));
        QVERIFY(test::execSql(next, "UPDATE material SET flavor = 'Minty, fresh' WHERE id = 1"));
        QVERIFY(QFile::remove(db + "/MATERIAL.DB"));
        QVERIFY(QFile::rename(next, db + "/MATERIAL.DB"));
        form().RestoreAll();
        QCOMPARE(select("", "", "mint"), (QList<qint32> {1, 3, 6}));
        QCOMPARE(select("", "", "sweet"), (QList<qint32> {2}));
    }

    void progressStep_data()
    {
        QTest::addColumn<int>("materials");
        QTest::addColumn<int>("step");
        QTest::newRow("60 materials") << 60 << 0;
        QTest::newRow("250 materials") << 250 << 2;
    }

    void progressStep()
    {
        QFETCH(int, materials);
        QFETCH(int, step);
        const QString db = m_tmp.filePath(QStringLiteral("synthetic%1").arg(materials));
        QVERIFY(test::makeSynthetic(db, materials));
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(db));
        QList<int> shown;
        connect(form().GaugeWindow->ProgressGauge, &QProgressBar::valueChanged, this,
            [&](int value) { shown << value; });
        form().GaugeWindow->ProgressGauge->setValue(17); // left from an earlier run
        shown.clear();
        select(QString());
        QCOMPARE(form().GaugeWindow->ProgressStep, step);
        QCOMPARE(form().GaugeWindow->ProgressGauge->maximum(), materials);
        QList<int> expected;
        for (int i = 0; i < materials; i += std::max(step, 1))
            expected << i;
        QCOMPARE(shown, expected);
        QVERIFY(!form().GaugeWindow->isVisible());
    }
};

QTEST_MAIN(TestCriteria)
#include "tst_criteria.moc"
