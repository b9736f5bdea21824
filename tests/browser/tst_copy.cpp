// Copying to the clipboard from the started program: Ctrl+C and "&Copy" on the
// material list, the lists' context menus, and Ctrl+C in text fields, which
// keeps copying their selected text.
#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "linkdb.h"
#include "shell/Zil0.h"
#include "store/table.h"
#include "wordsdb.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

using namespace zil;

namespace {

const QString kEthylLine = QStringLiteral("Ethyl butyrate\t105-54-4\t2427\t2033");

QString clipboard()
{
    return QGuiApplication::clipboard()->text();
}

} // namespace

class TestCopy : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::RunningApp> m_app;

    TMainForm &form() { return *m_app->form(); }
    QString current() { return form().TableMaterial->fieldByName("name").asString(); }

    // Asks for the context menu at pos of the grid's viewport, as a right
    // click there does, and returns the menu that pops up, found by its name.
    QMenu *contextMenu(QAbstractItemView *grid, const QPoint &pos, const char *name)
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, grid->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(grid->viewport(), &event);
        auto *menu = grid->findChild<QMenu *>(QString::fromLatin1(name));
        if (!menu || !menu->isVisible())
            return nullptr;
        return menu;
    }

    void choose(QMenu *menu, const char *item)
    {
        auto *action = menu->findChild<QAction *>(QString::fromLatin1(item));
        QVERIFY(action);
        QVERIFY(menu->actions().contains(action));
        action->trigger();
        menu->close();
    }

    void pressCtrlC(QWidget *widget) { QTest::keyClick(widget, Qt::Key_C, Qt::ControlModifier); }

private slots:
    void initTestCase() { QVERIFY(!test::wordsDatabase().isEmpty()); }

    void init()
    {
        m_app = test::startOnWords();
        QVERIFY(m_app);
        form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form()));
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup() { m_app.reset(); }

    void ctrlCAndCopyOnTheListCopyTheLine()
    {
        test::gotoMaterial(form(), test::kEthyl);
        form().MaterialGrid->setFocus();
        QVERIFY(form().MaterialGrid->hasFocus());
        pressCtrlC(form().MaterialGrid);
        QCOMPARE(clipboard(), kEthylLine);

        // "&Copy" from the menu acts on the list holding the focus; a
        // material without FEMA and CE numbers keeps their empty fields.
        test::gotoMaterial(form(), test::kCreme);
        form().MenuCopy->trigger();
        QCOMPARE(clipboard(), QString::fromUtf8("Crème de menthe base\t8006-90-4\t\t"));
        // A tab inside a field would split the line into one field too many.
        test::gotoMaterial(form(), QStringLiteral("Zest\tof lime"));
        pressCtrlC(form().MaterialGrid);
        QCOMPARE(clipboard(), QStringLiteral("Zest of lime\t5989-27-5\t\t"));
        form().MenuCopy->trigger();
        QCOMPARE(clipboard(), QStringLiteral("Zest of lime\t5989-27-5\t\t"));
    }

    void textFieldsKeepTheirOwnCopy()
    {
        test::gotoMaterial(form(), test::kEthyl);
        // Ctrl+C in the search field copies its selected text, not the line.
        QLineEdit *search = form().SearchField;
        search->setFocus();
        QTest::keyClicks(search, "Filler 00");
        search->setSelection(0, 6);
        pressCtrlC(search);
        QCOMPARE(clipboard(), QStringLiteral("Filler"));

        // So does a read-only memo, by Ctrl+C and by "&Copy".
        QPlainTextEdit *memo = form().DBFlavour;
        test::gotoMaterial(form(), test::kEthyl);
        memo->setFocus();
        QTextCursor cursor = memo->textCursor();
        cursor.setPosition(15);
        cursor.setPosition(21, QTextCursor::KeepAnchor);
        memo->setTextCursor(cursor);
        pressCtrlC(memo);
        QCOMPARE(clipboard(), QStringLiteral("fruity"));
        cursor.setPosition(0);
        cursor.setPosition(5, QTextCursor::KeepAnchor);
        memo->setTextCursor(cursor);
        form().MenuCopy->trigger();
        QCOMPARE(clipboard(), QStringLiteral("Fruit"));

        // A read-only field with a selection copies it through "&Copy";
        // without one, nothing replaces the clipboard.
        QLineEdit *name = form().DBName;
        name->setFocus();
        name->setSelection(6, 8);
        form().MenuCopy->trigger();
        QCOMPARE(clipboard(), QStringLiteral("butyrate"));
        name->deselect();
        form().MenuCopy->trigger();
        QCOMPARE(clipboard(), QStringLiteral("butyrate"));
    }

    void materialMenuCopiesTheRowPointedAt()
    {
        framework::StringGrid *grid = form().MaterialGrid;
        // Far down the list: the row pointed at becomes current first.
        grid->verticalScrollBar()->setValue(2000);
        const int row = grid->topRow() + 3;
        const QRect rect = grid->visualRect(grid->model()->index(row - 1, 0));
        QMenu *menu = contextMenu(grid, rect.center(), "MaterialListMenu");
        QVERIFY(menu);
        QCOMPARE(grid->row(), row);
        const qint32 id = form().SearchClass->IdOfRow(row);
        QCOMPARE(form().TableMaterial->fieldByName("id").asInteger(), id);
        const QString name = current();
        QVERIFY(name.startsWith(QLatin1String("Filler ")));
        QCOMPARE(menu->actions().size(), 3);
        choose(menu, "MenuCopyName");
        QCOMPARE(clipboard(), name);
        choose(menu, "MenuCopyCas");
        const QString cas = form().TableMaterial->fieldByName("cas").asString();
        QVERIFY(!cas.isEmpty());
        QCOMPARE(clipboard(), cas);
        choose(menu, "MenuCopyLine");
        QCOMPARE(clipboard(), name + '\t' + cas + "\t\t");

        test::gotoMaterial(form(), test::kEthyl);
        const QRect currentRect = grid->visualRect(grid->model()->index(grid->row() - 1, 0));
        menu = contextMenu(grid, currentRect.center(), "MaterialListMenu");
        QVERIFY(menu);
        choose(menu, "MenuCopyLine");
        QCOMPARE(clipboard(), kEthylLine);
        QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("Copy name"));
        QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("Copy CAS number"));
        QCOMPARE(menu->actions().at(2)->text(), QStringLiteral("Copy line"));
        QVERIFY(menu->actions().at(1)->isEnabled());
        menu->close();

        // A material without a CAS number offers no "Copy CAS number": the
        // clipboard would keep what was copied before as if it were the CAS.
        test::gotoMaterial(form(), QStringLiteral("Long notes base"));
        const QRect noCas = grid->visualRect(grid->model()->index(grid->row() - 1, 0));
        menu = contextMenu(grid, noCas.center(), "MaterialListMenu");
        QVERIFY(menu);
        QCOMPARE(current(), QStringLiteral("Long notes base"));
        auto *casItem = menu->findChild<QAction *>(QStringLiteral("MenuCopyCas"));
        QVERIFY(casItem);
        QVERIFY(!casItem->isEnabled());
        QVERIFY(menu->findChild<QAction *>(QStringLiteral("MenuCopyName"))->isEnabled());
        menu->close();
    }

    void supplierMenuCopiesTheAddress()
    {
        form().MainTabNotebook->setCurrentIndex(1);
        framework::DataGrid *grid = form().DBGrid1;
        grid->setCurrentIndex(grid->model()->index(0, 0));
        // The second supplier, pointed at while the first is current.
        const QRect second = grid->visualRect(grid->model()->index(1, 0));
        QMenu *menu = contextMenu(grid, second.center(), "SupplierListMenu");
        QVERIFY(menu);
        QCOMPARE(form().DBEditName->text(), QStringLiteral("Blue Hills Ltd"));
        QCOMPARE(menu->actions().at(0)->text(), QStringLiteral("Copy address"));
        choose(menu, "MenuCopyAddress");
        // Its empty address line is left out.
        QCOMPARE(clipboard(), QStringLiteral("Blue Hills Ltd\nLeeds\nUnited Kingdom"));

        const QRect first = grid->visualRect(grid->model()->index(0, 0));
        menu = contextMenu(grid, first.center(), "SupplierListMenu");
        QVERIFY(menu);
        choose(menu, "MenuCopyAddress");
        QCOMPARE(clipboard(), QStringLiteral("Acme Aromatics\n12 Rue de la Paix\nParis\nFrance"));
    }

    // Ctrl+C on the supplier list copies the address, as its menu does; on
    // the list of the supplier's materials, the text of the current cell as
    // it shows it.
    void ctrlCOnTheSupplierTabLists()
    {
        form().MainTabNotebook->setCurrentIndex(1);
        framework::DataGrid *suppliers = form().DBGrid1;
        suppliers->setCurrentIndex(suppliers->model()->index(1, 0));
        suppliers->setFocus();
        QVERIFY(suppliers->hasFocus());
        pressCtrlC(suppliers);
        QCOMPARE(clipboard(), QStringLiteral("Blue Hills Ltd\nLeeds\nUnited Kingdom"));

        framework::DataGrid *materials = form().MaterialGrid2;
        QCOMPARE(materials->model()->rowCount(), 2);
        materials->setCurrentIndex(materials->model()->index(1, 0));
        // The name the cell shows, not the id it holds.
        const QString shown = materials->currentIndex().data().toString();
        QCOMPARE(shown, form().DBMaterialName->text());
        QVERIFY(!shown.isEmpty());
        materials->setFocus();
        QVERIFY(materials->hasFocus());
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        pressCtrlC(materials);
        QCOMPARE(clipboard(), shown);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        form().MenuCopy->trigger();
        QCOMPARE(clipboard(), shown);
    }
};

QTEST_MAIN(TestCopy)
#include "tst_copy.moc"
