// Back and Forward in the main window on a database of 3,000 materials: the
// places the user settled on by clicks, buttons, tab switches and typing,
// across both tabs, with a criteria selection in between.
#include "common/appfixture.h"
#include "common/testdb.h"

#include "browser/searchclass.h"
#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "shell/historywiring.h"
#include "store/field.h"
#include "store/table.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using namespace zil;
using Place = browser::History::Place;
using Kind = browser::History::Kind;

namespace {

void clickTab(QTabWidget *notebook, int page)
{
    QTabBar *bar = notebook->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

// Clicks the row shown offset rows below the top of a list.
void clickVisibleRow(QTableView *grid, int offset)
{
    const int top = grid->rowAt(0);
    const QModelIndex index = grid->model()->index(top + offset, 0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

qint32 idOf(store::Table *table)
{
    return table->fieldByName(QStringLiteral("id")).asInteger();
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    std::unique_ptr<test::RunningApp> m_app = std::make_unique<test::RunningApp>();
    TMainForm *f = nullptr;

    void start(const QString &db)
    {
        QVERIFY(m_app->start(db));
        m_app->show();
        f = m_app->form();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
    }

    // Starts anew on a synthetic database of 3,000 materials made in dir,
    // which the test may replace.
    void startOnOwnDatabase(const QString &dir, const QString &seed)
    {
        QVERIFY(test::runMakeDb({"--synthetic", "3000", "--seed", seed, dir}));
        m_app.reset();
        m_app = std::make_unique<test::RunningApp>();
        start(dir);
        QTRY_COMPARE(places().size(), 1);
    }
    // Narrows the list to the materials of even id, as a criteria run does.
    void selectEvenIds()
    {
        f->SearchClass->Predicate
            = [this] { return f->TableMaterialSelect->fieldByName("id").asInteger() % 2 == 0; };
        f->ApplySelection();
        f->UpdateListCaption();
        f->UpdateSearchEnabled();
        QCOMPARE(f->SearchClass->SelectedCount, 1500);
    }

    const QList<Place> &places() const { return f->history().history().places(); }
    Place materialPlace() const
    {
        return {Kind::Material, idOf(f->TableMaterial),
            f->TableMaterial->fieldByName(QStringLiteral("name")).asString()};
    }
    Place supplierPlace() const
    {
        return {Kind::Supplier, idOf(f->TableSupplierName),
            f->TableSupplierName->fieldByName(QStringLiteral("name")).asString()};
    }
    // Alt+Left or Alt+Right, typed to the window.
    void press(Qt::Key key)
    {
        QTest::keyClick(f, key, Qt::AltModifier);
        QCoreApplication::processEvents();
    }
    // The list of the Materials tab stands on the material current.
    void verifyMaterialShown(qint32 id)
    {
        QCOMPARE(f->MainTabNotebook->currentIndex(), 0);
        QCOMPARE(idOf(f->TableMaterial), id);
        QCOMPARE(f->SearchClass->IdOfRow(f->MaterialGrid->row()), id);
        const int top = f->MaterialGrid->topRow();
        QVERIFY(f->MaterialGrid->row() >= top
            && f->MaterialGrid->row() < top + f->MaterialGrid->visibleRowCount());
    }

private slots:
    void initTestCase()
    {
        const QString db = test::scrollingDatabase();
        QVERIFY(!db.isEmpty());
        start(db);
        // The material the program starts on is the first place; there is
        // nowhere to go yet.
        QTRY_COMPARE(places().size(), 1);
        QCOMPARE(places().first(), materialPlace());
        QVERIFY(!f->MenuBack->isEnabled());
        QVERIFY(!f->MenuForward->isEnabled());
        QCOMPARE(f->MenuBack->shortcut(), QKeySequence(QStringLiteral("Alt+Left")));
        QCOMPARE(f->MenuForward->shortcut(), QKeySequence(QStringLiteral("Alt+Right")));
    }

    // Clicks in both lists, a navigation button and tab switches are places
    // at once; Back and Forward go through them with their tabs, the
    // material list scrolled to the material it shows.
    void backAndForwardAcrossTabs()
    {
        f->MaterialGrid->setRow(1400);
        QTRY_COMPARE(places().last(), materialPlace());
        clickVisibleRow(f->MaterialGrid, 3);
        QCoreApplication::processEvents();
        const Place clicked = materialPlace();
        QCOMPARE(places().last(), clicked);
        QTest::mouseClick(f->NextButton, Qt::LeftButton);
        QCoreApplication::processEvents();
        const Place next = materialPlace();
        QCOMPARE(next.id, clicked.id + 1);
        QCOMPARE(places().last(), next);

        clickTab(f->MainTabNotebook, 1);
        QCoreApplication::processEvents();
        const Place entered = supplierPlace();
        QCOMPARE(places().last(), entered);
        clickVisibleRow(f->DBGrid1, 4);
        QCoreApplication::processEvents();
        const Place supplier = supplierPlace();
        QVERIFY(supplier != entered);
        QCOMPARE(places().last(), supplier);
        QVERIFY(f->MenuBack->isEnabled());
        QVERIFY(!f->MenuForward->isEnabled());

        press(Qt::Key_Left);
        QCOMPARE(f->MainTabNotebook->currentIndex(), 1);
        QCOMPARE(supplierPlace(), entered);
        QVERIFY(f->MenuForward->isEnabled());
        press(Qt::Key_Left);
        verifyMaterialShown(next.id);
        press(Qt::Key_Left);
        verifyMaterialShown(clicked.id);

        // Going back leaves the places as they were.
        const qsizetype count = places().size();
        press(Qt::Key_Right);
        verifyMaterialShown(next.id);
        press(Qt::Key_Right);
        press(Qt::Key_Right);
        QCOMPARE(f->MainTabNotebook->currentIndex(), 1);
        QCOMPARE(supplierPlace(), supplier);
        QCOMPARE(f->DBEditName->text(), supplier.name);
        QVERIFY(!f->MenuForward->isEnabled());
        QCoreApplication::processEvents();
        QTest::qWait(2 * shell::HistoryWiring::PauseMs);
        QCOMPARE(places().size(), count);
    }

    // Going back and then settling somewhere else drops the places ahead.
    void newPlaceDropsForward()
    {
        f->SelectMainPage(0);
        QCoreApplication::processEvents();
        const Place start = materialPlace();
        QTest::mouseClick(f->LastButton, Qt::LeftButton);
        QCoreApplication::processEvents();
        const Place last = materialPlace();
        QCOMPARE(last.id, 3000);
        f->MenuBack->trigger();
        QCOMPARE(materialPlace(), start);
        QVERIFY(f->MenuForward->isEnabled());

        clickVisibleRow(f->MaterialGrid, 1);
        QCoreApplication::processEvents();
        QVERIFY(!f->MenuForward->isEnabled());
        QVERIFY(!places().contains(last));
        f->MenuBack->trigger();
        QCOMPARE(materialPlace(), start);
    }

    // Typing counts once it pauses for half a second: the materials the
    // list passes on the way are not places.
    void typingCountsAfterAPause()
    {
        f->SelectMainPage(0);
        clickVisibleRow(f->MaterialGrid, 2);
        QCoreApplication::processEvents();
        QCOMPARE(places().last(), materialPlace());
        const qsizetype before = places().size();
        f->SearchField->setFocus();
        // Each letter moves the list to another material, a fifth of a
        // second apart.
        QTest::keyClicks(f->SearchField, QStringLiteral("mentho"), {}, 200);
        const Place typed = materialPlace();
        QCOMPARE(places().size(), before);
        QVERIFY(f->MenuBack->isEnabled());
        QTRY_COMPARE(places().size(), before + 1);
        QCOMPARE(places().last(), typed);

        // Back straight after typing leads to the place before the typing,
        // even before the pause has passed.
        const Place beforeTyping = places().at(before - 1);
        QTest::keyClicks(f->SearchField, QStringLiteral("l"));
        const Place more = materialPlace();
        QVERIFY(more != typed);
        // Alt+Left is Back with the cursor in the search field too.
        QTest::keyClick(f->SearchField, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(materialPlace(), typed);
        QCOMPARE(f->SearchField->text(), QStringLiteral("menthol"));
        f->MenuBack->trigger();
        QCOMPARE(materialPlace().id, beforeTyping.id);
        f->MenuForward->trigger();
        f->MenuForward->trigger();
        QCOMPARE(materialPlace(), more);
        f->SearchField->clear();
    }

    // A material that a criteria selection left out is shown in the whole
    // list again.
    void materialOutsideSelectionListsAll()
    {
        f->SelectMainPage(0);
        f->MaterialGrid->setRow(2001);
        const Place odd = materialPlace();
        QCOMPARE(odd.id, 2001);
        QTRY_COMPARE(places().last(), odd);

        selectEvenIds();
        QVERIFY(materialPlace() != odd);

        f->MenuBack->trigger();
        QCOMPARE(f->SearchClass->SelectedCount, 3000);
        QCOMPARE(f->MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (3000)"));
        QVERIFY(f->SearchField->isEnabled());
        verifyMaterialShown(odd.id);
    }

    // At most a hundred places are kept, the newest ones.
    void holdsTheNewestHundredPlaces()
    {
        f->SelectMainPage(0);
        f->MaterialGrid->setRow(100);
        QTRY_COMPARE(places().last(), materialPlace());
        for (int i = 0; i < 150; ++i) {
            QTest::mouseClick(f->NextButton, Qt::LeftButton);
            QCoreApplication::processEvents();
        }
        QCOMPARE(places().size(), 100);
        QCOMPARE(places().last().id, 250);
        QCOMPARE(places().first().id, 151);
        for (int i = 0; i < 99; ++i) {
            QVERIFY(f->MenuBack->isEnabled());
            f->MenuBack->trigger();
        }
        QVERIFY(!f->MenuBack->isEnabled());
        verifyMaterialShown(151);
    }

    // After the database has been updated, each place stands for the
    // material of its name, under the id that material has now, and a place
    // whose material is gone is passed over: Back never leads to a material
    // the user did not see, and the material in view stays the one seen.
    void placesGoneWithAnUpdateArePassedOver()
    {
        const QString live = m_tmp.filePath(QStringLiteral("live"));
        startOnOwnDatabase(live, QStringLiteral("31"));
        for (int row : {10, 500, 1500, 2900}) {
            f->MaterialGrid->setRow(row);
            QTRY_COMPARE(places().last(), materialPlace());
        }
        const QList<Place> before = places();

        // The same maker with fewer materials: a third of the names are
        // gone, the others are filed under other ids.
        QVERIFY(test::runMakeDb({"--synthetic", "2000", "--seed", "31", live}));
        f->CheckDatabase();
        QCOMPARE(f->MaterialCount, 2000);
        QList<Place> expected;
        for (const Place &p : before) {
            for (int id = 1; id <= 2000; ++id) {
                f->TableMaterialSearch->setIndexName(QString());
                if (f->TableMaterialSearch->findKey({id})
                    && f->TableMaterialSearch->fieldByName("name").asString() == p.name) {
                    expected << Place {Kind::Material, id, p.name};
                    break;
                }
            }
        }
        QVERIFY(expected.size() > 1 && expected.size() < before.size());
        QVERIFY(expected.first().id != before.first().id || expected.last().id != before.last().id);
        QCOMPARE(places(), expected);
        QCOMPARE(materialPlace(), places().at(f->history().history().currentIndex()));
        verifyMaterialShown(materialPlace().id);
        while (f->MenuBack->isEnabled()) {
            f->MenuBack->trigger();
            QCOMPARE(materialPlace(), places().at(f->history().history().currentIndex()));
        }
        QCOMPARE(materialPlace(), expected.first());
    }

    // A database replaced under a criteria selection is taken up when Back
    // lists every material again; ids follow the new name order, so the
    // material is found again by its name.
    void backAfterReplaceFindsTheMaterialByName()
    {
        const QString live = m_tmp.filePath(QStringLiteral("replaced"));
        startOnOwnDatabase(live, QStringLiteral("41"));
        f->MaterialGrid->setRow(1000);
        QTRY_COMPARE(places().last(), materialPlace());
        f->MaterialGrid->setRow(2001);
        const Place odd = materialPlace();
        QCOMPARE(odd.id, 2001);
        QTRY_COMPARE(places().last(), odd);

        selectEvenIds();
        f->MaterialGrid->setRow(4);
        QTRY_COMPARE(places().last(), materialPlace());

        // The same materials and more: every old name is there, most under
        // another id. The choice of Back, as any input, first takes it up.
        QVERIFY(test::runMakeDb({"--synthetic", "3200", "--seed", "41", live}));
        f->CheckDatabase();
        f->MenuBack->trigger();
        QCOMPARE(f->SearchClass->SelectedCount, 3200);
        QCOMPARE(materialPlace().name, odd.name);
        QVERIFY(materialPlace().id != odd.id);
        QCOMPARE(places().at(places().size() - 2), materialPlace());
        verifyMaterialShown(materialPlace().id);
    }
};

QTEST_MAIN(TestHistory)
#include "tst_historywindow.moc"
