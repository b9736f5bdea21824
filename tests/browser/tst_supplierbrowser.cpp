// The Suppliers tab in the started main window: the supplier list and its
// search, the supplier's materials with the picked material's sub-pane, the
// tab switch with its button bar and cross-positioning, and the navigation
// buttons on this tab.
#include "common/appfixture.h"
#include "linkdb.h"

#include "browser/searchclass.h"
#include "common/testdb.h"
#include "reports/Printm.h"
#include "reports/Prints.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace zil;

namespace {

QImage picture(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}
QImage holderPicture(QLabel *holder)
{
    return holder->pixmap().copy(0, 0, 16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

void clickTab(QTabWidget *notebook, int page)
{
    QTabBar *bar = notebook->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

void clickRow(framework::DataGrid *grid, int row)
{
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
        grid->visualRect(grid->model()->index(row, 0)).center());
}

} // namespace

class TestSupplierBrowser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    test::RunningApp m_app;
    TMainForm *f = nullptr;

    QString supplier() const { return f->TableSupplierName->fieldByName("name").asString(); }
    QString material() const { return f->TableMaterial->fieldByName("name").asString(); }
    QString materialTitle() const { return test::gridTitle(f->MaterialGrid2); }
    QStringList materialRows()
    {
        return test::drawnRows(f->MaterialGrid2,
            [this](QPainter &canvas, const QRect &rect, const framework::CellField &field) {
                f->MaterialGrid2DrawDataCell(canvas, rect, field);
            });
    }
    QStringList supplierNames() const
    {
        QStringList names;
        for (int r = 0; r < f->DBGrid1->model()->rowCount(); ++r)
            names << f->DBGrid1->model()->index(r, 0).data().toString();
        return names;
    }

    void gotoMaterial(const QString &name) { test::gotoMaterial(*f, name); }
    void gotoSupplier(const QString &name)
    {
        f->TableSupplierName->findNearest(name);
        QCOMPARE(supplier(), name);
    }
    void typeSupplier(const QString &text)
    {
        f->EditSupplierName->clear();
        QTest::keyClicks(f->EditSupplierName, text);
    }

    // What a tab switch leaves behind: the tab, the button bar, the Report
    // menu and the current items of both tabs.
    QStringList tabState() const
    {
        return {QString::number(f->MainTabNotebook->currentIndex()), f->PrintButton->text(),
            QString::number(f->MenuPrintMaterial->isEnabled()),
            QString::number(f->MenuPrintSupplier->isEnabled()),
            QString::number(f->OrderButton->isEnabled()),
            QString::number(f->SearchButton->isEnabled()),
            QString::number(f->HideShowButton->isEnabled()), f->HideShowButton->text(), supplier(),
            material(), QString::number(f->MaterialGrid->row()), f->SearchField->text(),
            f->EditSupplierName->text()};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY(test::makeLinkDatabase(m_tmp.filePath("src"), m_tmp.filePath("db")));
        QVERIFY(m_app.start(m_tmp.filePath("db")));
        m_app.show();
        f = m_app.form();
        QVERIFY(m_app.messages.isEmpty());
    }

    void init()
    {
        // Every test starts on the Materials tab with the Details pages.
        f->SelectMainPage(0);
        f->DetailTabNotebook->setCurrentIndex(0);
        f->SuppliersDetailTabNotebook->setCurrentIndex(0);
    }

    void supplierListInNameOrderCaseAndAccentsIgnored()
    {
        // Names that differ only in case sort together, and one with an
        // accented letter sorts under the plain letter.
        QCOMPARE(supplierNames(),
            QStringList(
                {"alpha Aromatics", "ALPHA Blends", "Alpha Citrus", "Idle Trading", "Mid Chem",
                    "Nordic Essential Oils Trade Co", "\u00d6lm\u00fchle Aromen", "Zeta Oils"}));
        QCOMPARE(f->DBGrid1->columnTitle(0), QStringLiteral("Supplier name"));

        // The Details page shows the current supplier; a click moves both.
        f->SelectMainPage(1);
        clickRow(f->DBGrid1, 4);
        QCOMPARE(supplier(), QStringLiteral("Mid Chem"));
        QCOMPARE(f->DBEditName->text(), QStringLiteral("Mid Chem"));
        QCOMPARE(f->DBEditAddress->text(), QStringLiteral("3 Works Street"));
        QCOMPARE(f->DBEditCity->text(), QStringLiteral("Leeds"));
        QCOMPARE(f->DbEditCountry->text(), QStringLiteral("United Kingdom"));
        QCOMPARE(f->DBEditPhone->text(), QStringLiteral("+44 113 000"));
    }

    void supplierSearch()
    {
        f->SelectMainPage(1);
        typeSupplier("m");
        QCOMPARE(supplier(), QStringLiteral("Mid Chem"));
        QCOMPARE(f->DBGrid1->currentRow(), 4);
        typeSupplier("M");
        QCOMPARE(supplier(), QStringLiteral("Mid Chem"));
        typeSupplier("b"); // no name begins with b: the first one after it
        QCOMPARE(supplier(), QStringLiteral("Idle Trading"));
        typeSupplier("ALPHA c");
        QCOMPARE(supplier(), QStringLiteral("Alpha Citrus"));
        // A name with an accented letter, typed with or without it.
        for (const char *text : {"olm", "\u00d6lm", "\u00d6LM\u00dc"}) {
            f->EditSupplierName->clear();
            f->EditSupplierName->insert(QString::fromUtf8(text));
            QCOMPARE(supplier(), QStringLiteral("\u00d6lm\u00fchle Aromen"));
        }

        // Emptying the field shows the first supplier.
        f->EditSupplierName->selectAll();
        QTest::keyClick(f->EditSupplierName, Qt::Key_Delete);
        QCOMPARE(f->EditSupplierName->text(), QString());
        QCOMPARE(supplier(), QStringLiteral("alpha Aromatics"));
        // So does its clear button, there while the field holds text.
        QTRY_VERIFY(!test::clearButton(f->EditSupplierName));
        typeSupplier("m");
        QAbstractButton *clear = test::clearButton(f->EditSupplierName);
        QVERIFY(clear);
        QCOMPARE(test::hoverToolTip(clear), QStringLiteral("Clear the search"));
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(f->EditSupplierName->text(), QString());
        QCOMPARE(supplier(), QStringLiteral("alpha Aromatics"));

        // After every name: the last supplier.
        typeSupplier("zz");
        QCOMPARE(supplier(), QStringLiteral("Zeta Oils"));

        // Text beyond the 30 characters of a name takes no part.
        typeSupplier("Nordic Essential Oils Trade CoZZZ");
        QCOMPARE(supplier(), QStringLiteral("Nordic Essential Oils Trade Co"));

        // While events are off the field searches nothing.
        f->EventsEnabled = false;
        f->EditSupplierName->setText("Mid");
        f->EventsEnabled = true;
        QCOMPARE(supplier(), QStringLiteral("Nordic Essential Oils Trade Co"));
    }

    void materialsOfASupplier()
    {
        f->SelectMainPage(1);
        clickTab(f->SuppliersDetailTabNotebook, 1);

        // In material id order, which is name order.
        gotoSupplier("Zeta Oils");
        QCOMPARE(materialTitle(), QStringLiteral("4 materials from: Zeta Oils"));
        QCOMPARE(materialRows(),
            QStringList({"Anethole", "Damascone <b>beta</b>", "Eugenol", "Vanillin"}));
        QCOMPARE(f->DBMaterialName->text(), QStringLiteral("Anethole"));
        QCOMPARE(f->DBMaterialCAS->text(), test::withCheckDigit("104-46"));
        QCOMPARE(f->DBMaterialFEMA->text(), QStringLiteral("2086"));
        QCOMPARE(f->DBMaterialCE->text(), QStringLiteral("183"));
        QCOMPARE(f->MemoSynonyms->toPlainText().split('\n'),
            QStringList(
                {"Anise oil stearoptene", "trans-Anethole", "Anise camphor", "p-Propenylanisole"}));
        clickRow(f->MaterialGrid2, 1);
        QCOMPARE(f->DBMaterialName->text(), QStringLiteral("Damascone <b>beta</b>"));
        QCOMPARE(f->MemoSynonyms->toPlainText(), QString());
        clickRow(f->MaterialGrid2, 2);
        QCOMPARE(f->MemoSynonyms->document()->blockCount(), 7);
        QCOMPARE(f->MemoSynonyms->textCursor().position(), 0);

        // A link to a material that does not exist: an empty cell and an
        // empty sub-pane.
        gotoSupplier("Mid Chem");
        QCOMPARE(materialTitle(), QStringLiteral("2 materials from: Mid Chem"));
        QCOMPARE(materialRows(), QStringList({"Anethole", ""}));
        clickRow(f->MaterialGrid2, 1);
        QCOMPARE(f->DBMaterialName->text(), QString());
        QCOMPARE(f->DBMaterialCAS->text(), QString());
        QCOMPARE(f->MemoSynonyms->toPlainText(), QString());

        gotoSupplier("Alpha Citrus");
        QCOMPARE(materialTitle(), QStringLiteral("1 material from: Alpha Citrus"));
        gotoSupplier("Idle Trading");
        QCOMPARE(materialTitle(), QStringLiteral("No materials from: Idle Trading"));
        QCOMPARE(f->MaterialGrid2->model()->rowCount(), 0);
        QCOMPARE(f->MemoSynonyms->toPlainText(), QString());
    }

    void listsFollowTablesReadAgainForASheet()
    {
        f->SelectMainPage(1);
        clickTab(f->SuppliersDetailTabNotebook, 1);
        gotoSupplier("Zeta Oils");
        clickRow(f->MaterialGrid2, 3);
        QCOMPARE(f->DBMaterialName->text(), QStringLiteral("Vanillin"));
        const QString synonymsBefore = f->MemoSynonyms->toPlainText();

        // Another program drops a link and adds a synonym; the supplier sheet
        // reads the tables afresh, for the main window too.
        const qint32 anethole = test::materialId(*f, "Anethole");
        const qint32 vanillin = test::materialId(*f, "Vanillin");
        const QString links = test::tableFile(m_tmp.filePath("db"), "MATSUPP.DB");
        const QString synonyms = test::tableFile(m_tmp.filePath("db"), "SYNON.DB");
        QVERIFY(test::execSql(links,
            QStringLiteral("DELETE FROM matsupp WHERE materialid = %1 AND supplierid = %2")
                .arg(anethole)
                .arg(test::kZeta)));
        QVERIFY(test::execSql(synonyms,
            QStringLiteral("INSERT INTO synon (name, materialid, pos, sf) "
                           "VALUES ('Vanillal', %1, 99, 'VANILLAL')")
                .arg(vanillin)));
        QVERIFY(f->PrintSupplier->SaveAsPdf(m_tmp.filePath("zeta.pdf")));
        QCOMPARE(materialRows(), QStringList({"Damascone <b>beta</b>", "Eugenol", "Vanillin"}));
        QCOMPARE(materialTitle(), QStringLiteral("3 materials from: Zeta Oils"));
        QCOMPARE(f->DBMaterialName->text(), QStringLiteral("Vanillin"));
        QCOMPARE(f->MemoSynonyms->toPlainText(), synonymsBefore + QStringLiteral("\nVanillal"));

        // Only the synonyms change; the material sheet reads them again, and
        // the sub-pane's memo follows.
        QVERIFY(test::execSql(synonyms,
            QStringLiteral("DELETE FROM synon WHERE materialid = %1 AND pos = 99").arg(vanillin)));
        QVERIFY(f->PrintMaterial->SaveAsPdf(m_tmp.filePath("any.pdf")));
        QCOMPARE(f->DBMaterialName->text(), QStringLiteral("Vanillin"));
        QCOMPARE(f->MemoSynonyms->toPlainText(), synonymsBefore);

        QVERIFY(test::execSql(links,
            QStringLiteral("INSERT INTO matsupp (materialid, supplierid) VALUES (%1, %2)")
                .arg(anethole)
                .arg(test::kZeta)));
        QVERIFY(f->PrintSupplier->SaveAsPdf(m_tmp.filePath("zeta.pdf")));
        QCOMPARE(materialTitle(), QStringLiteral("4 materials from: Zeta Oils"));
        f->SelectMainPage(0);
    }

    void subPanesToggleEachOnItsOwnTab()
    {
        f->SelectMainPage(1);
        clickTab(f->SuppliersDetailTabNotebook, 1);
        gotoSupplier("Zeta Oils");
        QVERIFY(f->HideShowButton->isEnabled());
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Hide details"));

        QTest::mouseDClick(f->MaterialGrid2->viewport(), Qt::LeftButton, {},
            f->MaterialGrid2->visualRect(f->MaterialGrid2->model()->index(0, 0)).center());
        QVERIFY(f->TabDetailsMaterial->isHidden());
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Show details"));
        QCOMPARE(picture(f->HideShowButton->icon()), holderPicture(f->ShowBmp));
        QCoreApplication::processEvents();
        QCOMPARE(f->MaterialGrid2->height(), f->MaterialGrid2->parentWidget()->height());

        // The button acts on this tab's sub-pane only.
        QTest::mouseClick(f->HideShowButton, Qt::LeftButton);
        QVERIFY(!f->TabDetailsMaterial->isHidden());
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Hide details"));
        QCOMPARE(picture(f->HideShowButton->icon()), holderPicture(f->HideBmp));
        QVERIFY(!f->TabDetailsSuppliers->isHidden());

        // Hide the details on the Materials tab: each tab keeps its own.
        clickTab(f->MainTabNotebook, 0);
        clickTab(f->DetailTabNotebook, 1);
        QTest::mouseClick(f->HideShowButton, Qt::LeftButton);
        QVERIFY(f->TabDetailsSuppliers->isHidden());
        QVERIFY(!f->TabDetailsMaterial->isHidden());
        clickTab(f->MainTabNotebook, 1);
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Hide details"));
        QCOMPARE(picture(f->HideShowButton->icon()), holderPicture(f->HideBmp));
        clickTab(f->MainTabNotebook, 0);
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Show details"));
        QCOMPARE(picture(f->HideShowButton->icon()), holderPicture(f->ShowBmp));
        QTest::mouseClick(f->HideShowButton, Qt::LeftButton);
        QVERIFY(!f->TabDetailsSuppliers->isHidden());
    }

    void detailPagesOnTheSuppliersTab()
    {
        f->SelectMainPage(1);
        gotoSupplier("Mid Chem");
        gotoMaterial("Vanillin");
        QVERIFY(!f->HideShowButton->isEnabled());
        // A material with suppliers: a cross-positioning would move the list.
        QVERIFY(!f->TableSupLink->eof());
        clickTab(f->SuppliersDetailTabNotebook, 1);
        QVERIFY(f->HideShowButton->isEnabled());
        QCOMPARE(supplier(), QStringLiteral("Mid Chem"));
        QCOMPARE(material(), QStringLiteral("Vanillin"));
        clickTab(f->SuppliersDetailTabNotebook, 0);
        QVERIFY(!f->HideShowButton->isEnabled());
        QCOMPARE(supplier(), QStringLiteral("Mid Chem"));
        QVERIFY(f->EventsEnabled);
    }

    void tabStateOfEachTab()
    {
        clickTab(f->MainTabNotebook, 1);
        QCOMPARE(f->MainTabNotebook->currentIndex(), 1);
        QCOMPARE(f->PrintButton->text(), QStringLiteral("&Print Supplier"));
        QVERIFY(!f->MenuPrintMaterial->isEnabled());
        QVERIFY(f->MenuPrintSupplier->isEnabled());
        QVERIFY(!f->OrderButton->isEnabled());
        QVERIFY(!f->SearchButton->isEnabled());
        QVERIFY(!f->HideShowButton->isEnabled());

        clickTab(f->MainTabNotebook, 0);
        QCOMPARE(f->PrintButton->text(), QStringLiteral("&Print Material"));
        QVERIFY(f->MenuPrintMaterial->isEnabled());
        QVERIFY(!f->MenuPrintSupplier->isEnabled());
        QVERIFY(f->OrderButton->isEnabled());
        QVERIFY(f->SearchButton->isEnabled());
        QVERIFY(!f->HideShowButton->isEnabled());

        // The keyboard on the tabs is the user's too.
        f->MainTabNotebook->tabBar()->setFocus();
        QTest::keyClick(f->MainTabNotebook->tabBar(), Qt::Key_Right);
        QCOMPARE(f->MainTabNotebook->currentIndex(), 1);
        QCOMPARE(f->PrintButton->text(), QStringLiteral("&Print Supplier"));
    }

    void viewMenuAndTabClicksAlike()
    {
        // The same steps, once through the tabs and once through the menu.
        auto run = [this](bool menu) {
            f->SelectMainPage(0);
            gotoMaterial("Vanillin");
            clickTab(f->DetailTabNotebook, 1);
            clickRow(f->SupplierGrid, 0);
            // Text in the supplier search field, which the switch empties.
            f->EventsEnabled = false;
            f->EditSupplierName->setText("alpha");
            f->EventsEnabled = true;
            if (menu)
                f->Suppliers1->trigger();
            else
                clickTab(f->MainTabNotebook, 1);
            QStringList states = tabState();
            clickTab(f->SuppliersDetailTabNotebook, 1);
            clickRow(f->MaterialGrid2, 2);
            if (menu)
                f->Materials1->trigger();
            else
                clickTab(f->MainTabNotebook, 0);
            states << tabState();
            f->DetailTabNotebook->setCurrentIndex(0);
            f->SuppliersDetailTabNotebook->setCurrentIndex(0);
            return states;
        };
        const QStringList byTabs = run(false);
        const QStringList byMenu = run(true);
        QCOMPARE(byMenu, byTabs);
        // Both fields emptied, the lists on the items picked on the other tab.
        const QString vanillin = QString::number(test::materialId(*f, "Vanillin"));
        const QString eugenol = QString::number(test::materialId(*f, "Eugenol"));
        QCOMPARE(byTabs.mid(8, 5), QStringList({"Zeta Oils", "Vanillin", vanillin, "", ""}));
        QCOMPARE(byTabs.mid(13 + 8, 5), QStringList({"Zeta Oils", "Eugenol", eugenol, "", ""}));
    }

    void enteringSuppliersShowsThePickedSupplier()
    {
        // The third of three suppliers, by id: "Mid Chem".
        f->SelectMainPage(1);
        gotoSupplier("Nordic Essential Oils Trade Co");
        f->SelectMainPage(0);
        gotoMaterial("Anethole");
        clickTab(f->DetailTabNotebook, 1);
        clickRow(f->SupplierGrid, 2);
        clickTab(f->MainTabNotebook, 1);
        QCOMPARE(supplier(), QStringLiteral("Mid Chem"));
        QCOMPARE(f->DBGrid1->currentRow(), 4);
        // The list keeps its name order.
        QCOMPARE(f->TableSupplierName->indexName(), QStringLiteral("supname"));
        QCOMPARE(supplierNames().first(), QStringLiteral("alpha Aromatics"));
        // Also one whose name the list holds with its letters folded.
        clickTab(f->MainTabNotebook, 0);
        gotoMaterial("Eugenol");
        clickRow(f->SupplierGrid, 2);
        clickTab(f->MainTabNotebook, 1);
        QCOMPARE(supplier(), QStringLiteral("\u00d6lm\u00fchle Aromen"));

        // A material without suppliers leaves the list where it was...
        gotoSupplier("Nordic Essential Oils Trade Co");
        clickTab(f->MainTabNotebook, 0);
        gotoMaterial("Citral");
        QVERIFY(f->TableSupLink->eof());
        clickTab(f->MainTabNotebook, 1);
        QCOMPARE(supplier(), QStringLiteral("Nordic Essential Oils Trade Co"));
        // ...and so does the emptying of a search field that held text: it
        // runs no search.
        typeSupplier("Mid");
        QCOMPARE(supplier(), QStringLiteral("Mid Chem"));
        f->Suppliers1->trigger();
        QCOMPARE(f->EditSupplierName->text(), QString());
        QCOMPARE(supplier(), QStringLiteral("Mid Chem"));

        // A link to a supplier that does not exist leaves the list too.
        gotoSupplier("Zeta Oils");
        clickTab(f->MainTabNotebook, 0);
        gotoMaterial("Benzaldehyde");
        clickRow(f->SupplierGrid, 1);
        clickTab(f->MainTabNotebook, 1);
        QCOMPARE(supplier(), QStringLiteral("Zeta Oils"));
        QCOMPARE(f->TableSupplierName->indexName(), QStringLiteral("supname"));
    }

    void enteringMaterialsShowsThePickedMaterial()
    {
        f->SelectMainPage(1);
        clickTab(f->SuppliersDetailTabNotebook, 1);
        gotoSupplier("Zeta Oils");
        clickRow(f->MaterialGrid2, 2);
        clickTab(f->MainTabNotebook, 0);
        QCOMPARE(material(), QStringLiteral("Eugenol"));
        QCOMPARE(f->MaterialGrid->row(), test::materialId(*f, "Eugenol"));
        QCOMPARE(f->SearchClass->CurrentId, test::materialId(*f, "Eugenol"));

        // A material outside the selection gives the first row of the list.
        const qint32 vanillin = test::materialId(*f, "Vanillin");
        f->SearchClass->Predicate = [this, vanillin] {
            return f->TableMaterialSelect->fieldByName("id").asInteger() != vanillin;
        };
        f->ApplySelection();
        QCOMPARE(f->SearchClass->SelectedCount, 5);
        clickTab(f->MainTabNotebook, 1);
        clickRow(f->MaterialGrid2, 3);
        QCOMPARE(f->DBMaterialName->text(), QStringLiteral("Vanillin"));
        clickTab(f->MainTabNotebook, 0);
        QCOMPARE(f->MaterialGrid->row(), 1);
        QCOMPARE(material(), QStringLiteral("Anethole"));
        f->RestoreAll();

        // So does a link to a material that does not exist.
        clickTab(f->MainTabNotebook, 1);
        gotoSupplier("Mid Chem");
        clickRow(f->MaterialGrid2, 1);
        gotoMaterial("Citral");
        clickTab(f->MainTabNotebook, 0);
        QCOMPARE(f->MaterialGrid->row(), 1);
        QCOMPARE(material(), QStringLiteral("Anethole"));

        // A supplier without materials leaves the material list alone.
        clickTab(f->MainTabNotebook, 1);
        gotoSupplier("Idle Trading");
        gotoMaterial("Citral");
        clickTab(f->MainTabNotebook, 0);
        QCOMPARE(material(), QStringLiteral("Citral"));
    }

    void navigationOnTheSuppliersTab()
    {
        f->SelectMainPage(1);
        gotoSupplier("Mid Chem");
        const qint32 current = f->SearchClass->CurrentId;
        QTest::mouseClick(f->FirstButton, Qt::LeftButton);
        QCOMPARE(supplier(), QStringLiteral("alpha Aromatics"));
        QCOMPARE(f->DBGrid1->currentRow(), 0);
        QTest::mouseClick(f->PriorButton, Qt::LeftButton);
        QCOMPARE(supplier(), QStringLiteral("alpha Aromatics"));
        QTest::mouseClick(f->NextButton, Qt::LeftButton);
        QCOMPARE(supplier(), QStringLiteral("ALPHA Blends"));
        QTest::mouseClick(f->LastButton, Qt::LeftButton);
        QCOMPARE(supplier(), QStringLiteral("Zeta Oils"));
        QCOMPARE(f->DBGrid1->currentRow(), 7);
        QTest::mouseClick(f->NextButton, Qt::LeftButton);
        QCOMPARE(supplier(), QStringLiteral("Zeta Oils"));
        QTest::mouseClick(f->PriorButton, Qt::LeftButton);
        QCOMPARE(supplier(), QStringLiteral("\u00d6lm\u00fchle Aromen"));
        // The material list stays where it was.
        QCOMPARE(f->SearchClass->CurrentId, current);
    }
};

QTEST_MAIN(TestSupplierBrowser)
#include "tst_supplierbrowser.moc"
