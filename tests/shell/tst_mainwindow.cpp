// The main window as a user meets it: started on a database of 3,000
// materials that scrolls, used with the mouse at real positions of the
// window, with text left in the search fields, asking for help.
#include "common/appfixture.h"
#include "common/testdb.h"

#include "browser/searchclass.h"
#include "framework/datagrid.h"
#include "platform/help.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "store/field.h"
#include "store/table.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

using namespace zil;

namespace {

constexpr int kMaterials = 3000;

void clickTab(QTabWidget *notebook, int page)
{
    QTabBar *bar = notebook->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

void clickRow(framework::DataGrid *grid, int row)
{
    grid->scrollTo(grid->model()->index(row, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
        grid->visualRect(grid->model()->index(row, 0)).center());
}

QString nameOf(store::Table *table)
{
    return table->fieldByName(QStringLiteral("name")).asString();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    test::RunningApp m_app;
    TMainForm *f = nullptr;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const QString db = m_tmp.filePath(QStringLiteral("db"));
        QVERIFY(test::makeSynthetic(db, kMaterials));
        QVERIFY(m_app.start(db));
        m_app.show();
        f = m_app.form();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QCOMPARE(m_app.messages, QStringList());
        // The list is far longer than the window shows.
        QCOMPARE(f->MaterialGrid->rowCount(), kMaterials + 1);
        QVERIFY(f->MaterialGrid->visibleRowCount() < 100);
    }

    void init()
    {
        f->SelectMainPage(0);
        f->DetailTabNotebook->setCurrentIndex(0);
        m_app.messages.clear();
    }

    // Every menu title opens its menu when clicked where it is drawn.
    void menuTitlesOpenTheirMenus()
    {
        for (QMenu *menu : {f->File1, f->ControlMenu, f->ReportMenu, f->HelpMenu}) {
            const QPoint title = f->MainMenu->actionGeometry(menu->menuAction()).center();
            const QPoint inWindow = f->MainMenu->mapTo(f, title);
            QCOMPARE(f->childAt(inWindow), static_cast<QWidget *>(f->MainMenu));
            QCOMPARE(QApplication::widgetAt(f->mapToGlobal(inWindow)),
                static_cast<QWidget *>(f->MainMenu));

            // Through the window, as the mouse does: the window finds the
            // widget under the pointer itself.
            QTest::mouseClick(f->windowHandle(), Qt::LeftButton, {}, inWindow);
            QTRY_VERIFY2(menu->isVisible(), qPrintable(menu->title()));
            menu->close();
            QTRY_VERIFY(!menu->isVisible());
        }
    }

    // The navigation buttons take a click along their whole face, up to
    // their top edge.
    void buttonsTakeClicksAtTheirTopEdge()
    {
        for (QPushButton *button : {f->LastButton, f->PriorButton, f->FirstButton, f->NextButton}) {
            const QPoint top = button->mapTo(f, QPoint(button->width() / 2, 1));
            QCOMPARE(f->childAt(top), static_cast<QWidget *>(button));
            QCOMPARE(QApplication::widgetAt(f->mapToGlobal(top)), static_cast<QWidget *>(button));
            QSignalSpy clicked(button, &QPushButton::clicked);
            QTest::mouseClick(f->windowHandle(), Qt::LeftButton, {}, top);
            QCOMPARE(clicked.count(), 1);
        }
        // Last, Prior, First, Next: the second material is current.
        QCOMPARE(f->MaterialGrid->row(), 2);
        QCOMPARE(f->SearchClass->CurrentId, 2);
    }

    // Text left in the material search field does not take the supplier
    // picked on the detail page away when the Suppliers tab is entered.
    void supplierPickedSurvivesTabSwitch()
    {
        // A material far down the list with at least two suppliers.
        QString name;
        for (int id = kMaterials * 2 / 3; id <= kMaterials && name.isEmpty(); ++id) {
            f->MaterialGrid->setRow(id);
            // A name that begins with a digit would be searched as a CAS
            // number.
            if (f->TableSupLink->recordCount() >= 2 && nameOf(f->TableMaterial).front().isLetter())
                name = nameOf(f->TableMaterial);
        }
        QVERIFY(!name.isEmpty());
        f->MaterialGrid->setRow(1);

        QTest::keyClicks(f->SearchField, name);
        QCOMPARE(nameOf(f->TableMaterial), name);
        QVERIFY(f->MaterialGrid->row() > kMaterials / 2);
        clickTab(f->DetailTabNotebook, 1);
        QCOMPARE(f->DetailTabNotebook->currentIndex(), 1);
        clickRow(f->SupplierGrid, 1);
        const QString picked = f->DBSupplierName->text();
        QVERIFY(!picked.isEmpty());
        QCOMPARE(nameOf(f->TableSupplier), picked);

        clickTab(f->MainTabNotebook, 1);
        QCOMPARE(f->MainTabNotebook->currentIndex(), 1);
        QCOMPARE(f->SearchField->text(), QString());
        QCOMPARE(nameOf(f->TableSupplierName), picked);
        QCOMPARE(f->DBEditName->text(), picked);
        QCOMPARE(m_app.messages, QStringList());
    }

    // The same the other way round: text in the supplier search field, a
    // material picked in the supplier's list, then the Materials tab.
    void materialPickedSurvivesTabSwitch()
    {
        clickTab(f->MainTabNotebook, 1);
        // A supplier, late in the name order, with at least two materials.
        QString name;
        f->TableSupplierName->last();
        for (int i = 0; i < 200 && name.isEmpty(); ++i, f->TableSupplierName->prior()) {
            if (f->TableSupLink2->recordCount() >= 2)
                name = nameOf(f->TableSupplierName);
        }
        QVERIFY(!name.isEmpty());
        f->TableSupplierName->first();

        QTest::keyClicks(f->EditSupplierName, name);
        QCOMPARE(nameOf(f->TableSupplierName), name);
        clickRow(f->MaterialGrid2, 1);
        const QString picked = f->DBMaterialName->text();
        QVERIFY(!picked.isEmpty());
        const qint32 id = f->TableSupLink2->fieldByName(QStringLiteral("materialid")).asInteger();

        clickTab(f->MainTabNotebook, 0);
        QCOMPARE(f->MainTabNotebook->currentIndex(), 0);
        QCOMPARE(f->EditSupplierName->text(), QString());
        QCOMPARE(f->SearchClass->CurrentId, id);
        QCOMPARE(nameOf(f->TableMaterial), picked);
        QCOMPARE(f->DBName->text(), picked);
        QCOMPARE(f->MaterialGrid->row(), id);
        QCOMPARE(m_app.messages, QStringList());
    }

    // F1 opens the help file in the program's own window, centred on the
    // main window; asking again brings back the same window.
    void helpOpensInOwnWindow()
    {
        f->HelpFileName = test::sourceDir() + QStringLiteral("/docs/zil.html");
        QVERIFY(QFile::exists(f->HelpFileName));
        f->SearchField->setFocus();
        QTest::keyClick(f->SearchField, Qt::Key_F1);
        auto *help = f->findChild<platform::HelpWindow *>(QStringLiteral("HelpWindow"));
        QVERIFY(help);
        QVERIFY(help->isVisible());
        QVERIFY(help->isWindow());
        QCOMPARE(help->windowTitle(), QStringLiteral("ZIL Help"));
        QCOMPARE(help->frameGeometry().center(), f->frameGeometry().center());
        auto *browser = help->findChild<QTextBrowser *>(QStringLiteral("HelpBrowser"));
        QVERIFY(browser);
        QCOMPARE(browser->source(), QUrl::fromLocalFile(f->HelpFileName));
        QVERIFY(browser->toPlainText().contains(QStringLiteral("ZIL")));

        help->close();
        f->Contents1->trigger();
        QVERIFY(help->isVisible());
        QCOMPARE(f->findChildren<platform::HelpWindow *>().size(), 1);
        help->close();
        QCOMPARE(m_app.messages, QStringList());

        // A help file that is named but not there is reported with its path.
        f->HelpFileName = m_tmp.filePath(QStringLiteral("gone/zil.html"));
        f->Contents1->trigger();
        QCOMPARE(m_app.messages,
            QStringList({"Error: The help file was not found:\n" + f->HelpFileName}));
        QVERIFY(!help->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
