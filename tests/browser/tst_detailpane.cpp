// The material detail pane in the started main window: the Details page, the
// synonyms, the supplier list with its counted title and the names drawn in
// it, the supplier sub-pane with the Hide/Show button, and the detail pages.
#include "common/appfixture.h"
#include "common/imagediff.h"
#include "linkdb.h"

#include "browser/searchclass.h"
#include "common/testdb.h"
#include "reports/Printm.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace zil;

namespace {

QImage image(const QPixmap &p)
{
    return p.toImage().convertToFormat(QImage::Format_ARGB32);
}

// The normal image of the button's picture and of a holder's picture.
QImage buttonPicture(QPushButton *b)
{
    return image(b->icon().pixmap(16, 16, QIcon::Normal));
}
QImage holderPicture(QLabel *holder)
{
    return image(holder->pixmap().copy(0, 0, 16, 16));
}

void clickTab(QTabWidget *notebook, int page)
{
    QTabBar *bar = notebook->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

} // namespace

class TestDetailPane : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_db;
    test::RunningApp m_app;
    TMainForm *f = nullptr;

    void gotoMaterial(const QString &name) { test::gotoMaterial(*f, name); }
    QString supplierTitle() const { return test::gridTitle(f->SupplierGrid); }

    QStringList supplierRows()
    {
        return test::drawnRows(f->SupplierGrid,
            [this](QPainter &canvas, const QRect &rect, const framework::CellField &field) {
                f->SupplierGridDrawDataCell(canvas, rect, field);
            });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_db = m_tmp.filePath("db");
        QVERIFY(test::makeLinkDatabase(m_tmp.filePath("src"), m_db));
        QVERIFY(m_app.start(m_db));
        m_app.show();
        f = m_app.form();
        QVERIFY(m_app.messages.isEmpty());
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
    }

    void detailsPageShowsTheMaterialAsPlainText()
    {
        QCOMPARE(f->DetailTabNotebook->currentIndex(), 0);
        gotoMaterial("Damascone <b>beta</b>");
        QCOMPARE(f->DBCas->text(), test::withCheckDigit("23726-91"));
        QCOMPARE(f->DBFema->text(), QStringLiteral("3243"));
        QCOMPARE(f->DBName->text(), QStringLiteral("Damascone <b>beta</b>"));
        QCOMPARE(f->DBFlavour->toPlainText(), QStringLiteral("<i>Fruity</i>."));
        QCOMPARE(supplierTitle(), QStringLiteral("1 supplier for: Damascone <b>beta</b>"));

        // Captions in bold Arial beside their fields; the fields in tab order.
        QWidget *page = f->DetailTabNotebook->widget(0);
        QStringList captions;
        for (QLabel *label : page->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
            QVERIFY(label->font().bold());
            captions << label->text();
        }
        QCOMPARE(captions,
            QStringList({"CAS", "CE", "FEMA", "Material", "Synonyms", "Occurrence", "Flavour",
                "Application", "Literature"}));
        const QList<QWidget *> order {f->DBCas, f->DBCE, f->DBFema, f->DBName, f->synonyms,
            f->DBOccurence, f->DBFlavour, f->DBApplication, f->DBLiterature};
        for (qsizetype i = 1; i < order.size(); ++i) {
            QWidget *next = order[i - 1]->nextInFocusChain();
            while (!(next->focusPolicy() & Qt::TabFocus))
                next = next->nextInFocusChain();
            QCOMPARE(next, order[i]);
        }

        // Focusing a field leaves its text unselected.
        f->DBName->setFocus(Qt::TabFocusReason);
        QVERIFY(!f->DBName->hasSelectedText());
    }

    void synonymsInPosOrder()
    {
        // The synonym written last into the file comes first by pos.
        gotoMaterial("Anethole");
        QCOMPARE(f->synonyms->toPlainText().split('\n'),
            QStringList(
                {"Anise oil stearoptene", "trans-Anethole", "Anise camphor", "p-Propenylanisole"}));
        QCOMPARE(f->synonyms->textCursor().position(), 0);
        QVERIFY(!f->synonyms->textCursor().hasSelection());

        gotoMaterial("Benzaldehyde");
        QCOMPARE(f->synonyms->toPlainText(), QString());
        gotoMaterial("Citral");
        QCOMPARE(f->synonyms->toPlainText(), QStringLiteral("Geranial and neral"));

        // More lines than fit: the first ones are in view.
        f->synonyms->verticalScrollBar()->setValue(3);
        gotoMaterial("Eugenol");
        QCOMPARE(f->synonyms->document()->blockCount(), 7);
        QCOMPARE(f->synonyms->verticalScrollBar()->value(), 0);
        QVERIFY(f->synonyms->verticalScrollBar()->maximum() > 0);
        QCOMPARE(f->synonyms->textCursor().position(), 0);

        // A synonym that another workstation adds shows at the next change.
        QVERIFY(test::execSql(test::tableFile(m_db, "SYNON.DB"),
            "INSERT INTO synon (name, materialid, pos, sf) VALUES ('Citral A', 3, 2, 'CITRAL A')"));
        gotoMaterial("Citral");
        QCOMPARE(f->synonyms->toPlainText(), QStringLiteral("Geranial and neral\nCitral A"));
    }

    void supplierListTitleAndRows()
    {
        f->DetailTabNotebook->setCurrentIndex(1);
        // Three links: rows by supplier id, not by name.
        gotoMaterial("Anethole");
        QCOMPARE(supplierTitle(), QStringLiteral("3 suppliers for: Anethole"));
        QCOMPARE(supplierRows(), QStringList({"Zeta Oils", "alpha Aromatics", "Mid Chem"}));
        QCOMPARE(f->DBSupplierName->text(), QStringLiteral("Zeta Oils"));
        QCOMPARE(f->DBAddress->text(), QStringLiteral("1 Harbour Road"));
        QCOMPARE(f->DBCity->text(), QStringLiteral("Rotterdam"));
        QCOMPARE(f->DBCountry->text(), QStringLiteral("Netherlands"));
        QCOMPARE(f->DBPhone->text(), QStringLiteral("+31 10 000 00 00"));

        // A link to a supplier that does not exist: an empty cell and an
        // empty sub-pane.
        gotoMaterial("Benzaldehyde");
        QCOMPARE(supplierTitle(), QStringLiteral("2 suppliers for: Benzaldehyde"));
        QCOMPARE(supplierRows(), QStringList({"alpha Aromatics", ""}));
        QTest::mouseClick(f->SupplierGrid->viewport(), Qt::LeftButton, {},
            f->SupplierGrid->visualRect(f->SupplierGrid->model()->index(1, 0)).center());
        QCOMPARE(f->TableSupLink->recNo(), 2);
        QCOMPARE(f->DBSupplierName->text(), QString());
        QCOMPARE(f->DBAddress->text(), QString());

        gotoMaterial("Citral");
        QCOMPARE(supplierTitle(), QStringLiteral("No suppliers for: Citral"));
        QCOMPARE(f->SupplierGrid->model()->rowCount(), 0);
        QCOMPARE(f->DBSupplierName->text(), QString());

        gotoMaterial("Vanillin");
        QCOMPARE(supplierTitle(), QStringLiteral("2 suppliers for: Vanillin"));

        QCOMPARE(TMainForm::CountText(-1, "box", "es"), QStringLiteral("-1 boxes"));
        f->DetailTabNotebook->setCurrentIndex(0);
    }

    void subPaneTogglesByDoubleClickAndButton()
    {
        clickTab(f->DetailTabNotebook, 1);
        gotoMaterial("Anethole");
        QVERIFY(f->HideShowButton->isEnabled());
        QWidget *page = f->DetailTabNotebook->widget(1);
        QVERIFY(f->TabDetailsSuppliers->isVisible());
        const int shownHeight = f->SupplierGrid->height();

        QTest::mouseDClick(f->SupplierGrid->viewport(), Qt::LeftButton, {},
            f->SupplierGrid->visualRect(f->SupplierGrid->model()->index(1, 0)).center());
        QVERIFY(f->TabDetailsSuppliers->isHidden());
        QCOMPARE(f->TableSupLink->recNo(), 2);
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Show details"));
        QCOMPARE(buttonPicture(f->HideShowButton), holderPicture(f->ShowBmp));
        // The list grows to fill the page.
        QCoreApplication::processEvents();
        QCOMPARE(f->SupplierGrid->height(), page->height());
        QVERIFY(f->SupplierGrid->height() > shownHeight);

        // Moving between materials, pages and tabs leaves the sub-pane hidden.
        gotoMaterial("Vanillin");
        clickTab(f->DetailTabNotebook, 0);
        clickTab(f->DetailTabNotebook, 1);
        QVERIFY(f->TabDetailsSuppliers->isHidden());
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Show details"));

        QTest::mouseDClick(f->SupplierGrid->viewport(), Qt::LeftButton, {},
            f->SupplierGrid->visualRect(f->SupplierGrid->model()->index(0, 0)).center());
        QVERIFY(!f->TabDetailsSuppliers->isHidden());
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Hide details"));
        QCOMPARE(buttonPicture(f->HideShowButton), holderPicture(f->HideBmp));
        QCoreApplication::processEvents();
        QCOMPARE(f->SupplierGrid->height(), shownHeight);

        QTest::mouseClick(f->HideShowButton, Qt::LeftButton);
        QVERIFY(f->TabDetailsSuppliers->isHidden());
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Show details"));
        QCOMPARE(buttonPicture(f->HideShowButton), holderPicture(f->ShowBmp));
        QTest::mouseClick(f->HideShowButton, Qt::LeftButton);
        QVERIFY(!f->TabDetailsSuppliers->isHidden());
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Hide details"));
        QCOMPARE(buttonPicture(f->HideShowButton), holderPicture(f->HideBmp));
        // The other tab's sub-pane is not touched.
        QVERIFY(!f->TabDetailsMaterial->isHidden());
        clickTab(f->DetailTabNotebook, 0);
    }

    void detailPagesSetTheButtonWithoutMovingTheList()
    {
        // The supplier browser's material list stands on another material, to
        // which the tab state's cross-positioning would move the list.
        QVERIFY(!f->TableSupLink2->eof());
        QCOMPARE(f->TableSupLink2->fieldByName("materialid").asInteger(),
            test::materialId(*f, "Anethole"));
        gotoMaterial("Citral");
        const int row = f->MaterialGrid->row();
        QVERIFY(!f->HideShowButton->isEnabled());
        // A disabled button's caption is not drawn in the black of an enabled one.
        QVERIFY(f->HideShowButton->palette().color(QPalette::Disabled, QPalette::ButtonText)
            != QColor(Qt::black));

        clickTab(f->DetailTabNotebook, 1);
        QCOMPARE(f->DetailTabNotebook->currentIndex(), 1);
        QVERIFY(f->HideShowButton->isEnabled());
        QVERIFY(f->EventsEnabled);
        QCOMPARE(f->MaterialGrid->row(), row);
        QCOMPARE(f->TableMaterial->fieldByName("name").asString(), QStringLiteral("Citral"));

        // The arrow keys on the tabs are a change by the user too.
        f->DetailTabNotebook->tabBar()->setFocus();
        QTest::keyClick(f->DetailTabNotebook->tabBar(), Qt::Key_Left);
        QCOMPARE(f->DetailTabNotebook->currentIndex(), 0);
        QVERIFY(!f->HideShowButton->isEnabled());
        QCOMPARE(f->MaterialGrid->row(), row);

        // A page set by the program is no click.
        f->DetailTabNotebook->setCurrentIndex(1);
        QVERIFY(!f->HideShowButton->isEnabled());
        f->DetailTabNotebook->setCurrentIndex(0);
        QCOMPARE(f->TableMaterial->fieldByName("name").asString(), QStringLiteral("Citral"));
    }

    void listsFollowTablesChangedByAnotherProgram()
    {
        f->DetailTabNotebook->setCurrentIndex(1);
        gotoMaterial("Vanillin");
        const qint32 vanillin = test::materialId(*f, "Vanillin");
        QTest::mouseClick(f->SupplierGrid->viewport(), Qt::LeftButton, {},
            f->SupplierGrid->visualRect(f->SupplierGrid->model()->index(1, 0)).center());
        QCOMPARE(f->DBSupplierName->text(), QStringLiteral("alpha Aromatics"));

        // Another program drops the link; a sheet run reads the tables afresh,
        // and the pane shows what the table now holds.
        const QString links = test::tableFile(m_db, "MATSUPP.DB");
        QVERIFY(test::execSql(links,
            QStringLiteral("DELETE FROM matsupp WHERE materialid = %1 AND supplierid = %2")
                .arg(vanillin)
                .arg(test::kAlphaAromatics)));
        QVERIFY(f->PrintMaterial->SaveAsPdf(m_tmp.filePath("vanillin.pdf")));
        QCOMPARE(f->SupplierGrid->model()->rowCount(), 1);
        QCOMPARE(f->TableSupLink->recordCount(), 1);
        QCOMPARE(supplierRows(), QStringList({"Zeta Oils"}));
        QCOMPARE(f->DBSupplierName->text(), QStringLiteral("Zeta Oils"));
        // The title counts what the list shows.
        QCOMPARE(supplierTitle(), QStringLiteral("1 supplier for: Vanillin"));

        // A synonym added meanwhile shows after the next sheet run, and the
        // memo keeps its place when the names stay the same.
        const QString before = f->synonyms->toPlainText();
        const QString synonymsFile = test::tableFile(m_db, "SYNON.DB");
        QVERIFY(test::execSql(synonymsFile,
            QStringLiteral("INSERT INTO synon (name, materialid, pos, sf) "
                           "VALUES ('Vanillal', %1, 99, 'VANILLAL')")
                .arg(vanillin)));
        QVERIFY(f->PrintMaterial->SaveAsPdf(m_tmp.filePath("vanillin.pdf")));
        QCOMPARE(f->synonyms->toPlainText(), before + QStringLiteral("\nVanillal"));
        // Following the cursor moves it nowhere: a walk over it sees every
        // record.
        QStringList walked;
        for (f->TableSinon->first(); !f->TableSinon->eof(); f->TableSinon->next()) {
            walked << f->TableSinon->fieldByName("name").asString();
            if (f->TableSinon->recNo() == f->TableSinon->recordCount())
                break;
        }
        QCOMPARE(walked.join('\n'), f->synonyms->toPlainText());
        QVERIFY(test::execSql(synonymsFile,
            QStringLiteral("DELETE FROM synon WHERE materialid = %1 AND pos = 99").arg(vanillin)));
        QVERIFY(f->PrintMaterial->SaveAsPdf(m_tmp.filePath("vanillin.pdf")));
        QCOMPARE(f->synonyms->toPlainText(), before);

        QVERIFY(test::execSql(links,
            QStringLiteral("INSERT INTO matsupp (materialid, supplierid) VALUES (%1, %2)")
                .arg(vanillin)
                .arg(test::kAlphaAromatics)));
        QVERIFY(f->PrintMaterial->SaveAsPdf(m_tmp.filePath("vanillin.pdf")));
        QCOMPARE(supplierRows(), QStringList({"Zeta Oils", "alpha Aromatics"}));
        QCOMPARE(supplierTitle(), QStringLiteral("2 suppliers for: Vanillin"));
        f->DetailTabNotebook->setCurrentIndex(0);
    }

    void idsBeyondTheIdRangeFindNoRecord()
    {
        // A supplier id that only wraps round to an existing one (2^32 + 10)
        // names no supplier, in the cell and in the tab switch.
        const qint32 citral = test::materialId(*f, "Citral");
        const QString links = test::tableFile(m_db, "MATSUPP.DB");
        QVERIFY(test::execSql(links,
            QStringLiteral("INSERT INTO matsupp (materialid, supplierid) VALUES (%1, %2)")
                .arg(citral)
                .arg(4294967296LL + test::kZeta)));
        f->DetailTabNotebook->setCurrentIndex(1);
        gotoMaterial("Citral");
        f->TableSupLink->refresh();
        QCOMPARE(supplierRows(), QStringList({""}));
        f->TableSupplierName->first();
        const QString before = f->TableSupplierName->fieldByName("name").asString();
        f->Suppliers1Click();
        QCOMPARE(f->TableSupplierName->fieldByName("name").asString(), before);
        f->Materials1Click();
        QVERIFY(test::execSql(
            links, QStringLiteral("DELETE FROM matsupp WHERE materialid = %1").arg(citral)));
        f->TableSupLink->refresh();
        f->DetailTabNotebook->setCurrentIndex(0);
    }

    // "Prices and notes" on: the supplier list has each link's price and
    // comment after the name, the supplier's material list the CAS numbers,
    // and both detail panes a page of the material's notes. Off again, the
    // window is drawn as before, pixel for pixel.
    void pricesAndNotesShownOnDemand()
    {
        gotoMaterial("Anethole");
        auto views = [this] {
            // The two lists that change, each on its tab; the focus on a
            // list, so that no caret blinks into the pictures.
            // Each reached by clicks on the tabs, as the user reaches them.
            QList<QImage> out;
            clickTab(f->DetailTabNotebook, 1);
            f->SupplierGrid->setFocus();
            out << f->grab().toImage();
            clickTab(f->MainTabNotebook, 1);
            clickTab(f->SuppliersDetailTabNotebook, 1);
            f->MaterialGrid2->setFocus();
            out << f->grab().toImage();
            clickTab(f->MainTabNotebook, 0);
            return out;
        };
        const QList<QImage> before = views();
        QVERIFY(f->MenuPricesNotes->isCheckable() && !f->MenuPricesNotes->isChecked());
        QCOMPARE(f->MenuPricesNotes->text(), QStringLiteral("&Prices and notes"));
        QCOMPARE(f->MenuPricesNotes->parent(), f->ControlMenu);

        f->MenuPricesNotes->trigger();
        QAbstractItemModel *suppliers = f->SupplierGrid->model();
        QCOMPARE(suppliers->columnCount(), 3);
        QCOMPARE(f->SupplierGrid->columnTitle(0), QStringLiteral("3 suppliers for: Anethole"));
        QCOMPARE(f->SupplierGrid->columnTitle(1), QStringLiteral("Price"));
        QCOMPARE(f->SupplierGrid->columnTitle(2), QStringLiteral("Comment"));
        // The cells give what they show, the names for the ids; the comments
        // are drawn in the last column.
        QStringList rows;
        for (int r = 0; r < suppliers->rowCount(); ++r)
            rows << QStringLiteral("%1|%2|%3")
                        .arg(suppliers->index(r, 0).data().toString(),
                            suppliers->index(r, 1).data().toString(),
                            suppliers->index(r, 2).data().toString());
        QCOMPARE(rows,
            QStringList({"Zeta Oils|GBP 10.63/kg|natural per US rules", "alpha Aromatics||",
                "Mid Chem|EUR 12.40/kg|"}));
        QCOMPARE(supplierRows(), QStringList({"natural per US rules", "", ""}));

        QCOMPARE(f->DetailTabNotebook->count(), 3);
        QCOMPARE(f->DetailTabNotebook->tabText(2), QStringLiteral("Notes"));
        auto *notes = f->findChild<QPlainTextEdit *>(QStringLiteral("DBNotes"));
        QVERIFY(notes && notes->isReadOnly());
        QCOMPARE(notes->toPlainText(), QString::fromLatin1(test::kAnetholeNotes));
        gotoMaterial("Benzaldehyde");
        QCOMPARE(notes->toPlainText(), QString());
        gotoMaterial("Anethole");
        clickTab(f->DetailTabNotebook, 2);
        QVERIFY(notes->isVisible());
        QVERIFY(!f->HideShowButton->isEnabled());

        // The Suppliers tab, on Zeta Oils: it offers Anethole, Damascone,
        // Eugenol and Vanillin.
        f->MainTabNotebook->setCurrentIndex(1);
        f->SuppliersDetailTabNotebook->setCurrentIndex(1);
        QAbstractItemModel *materials = f->MaterialGrid2->model();
        QCOMPARE(materials->columnCount(), 2);
        QCOMPARE(f->MaterialGrid2->columnTitle(0), QStringLiteral("CAS"));
        QCOMPARE(f->MaterialGrid2->columnTitle(1), QStringLiteral("4 materials from: Zeta Oils"));
        QCOMPARE(materials->index(0, 0).data().toString(), test::withCheckDigit("104-46"));
        QCOMPARE(materials->index(3, 1).data().toString(), QStringLiteral("Vanillin"));
        QCOMPARE(f->TabDetailsMaterial->count(), 2);
        auto *linkedNotes = f->findChild<QPlainTextEdit *>(QStringLiteral("MemoNotes"));
        QVERIFY(linkedNotes);
        f->TableSupLink2->first();
        QCOMPARE(linkedNotes->toPlainText(), QString::fromLatin1(test::kAnetholeNotes));
        f->TableSupLink2->next();
        QCOMPARE(linkedNotes->toPlainText(), QString());
        f->TableSupLink2->first();
        f->MainTabNotebook->setCurrentIndex(0);

        // Off with the Notes page in view: the Details page comes back.
        f->MenuPricesNotes->trigger();
        QVERIFY(!f->MenuPricesNotes->isChecked());
        QCOMPARE(f->DetailTabNotebook->count(), 2);
        QCOMPARE(f->DetailTabNotebook->currentIndex(), 0);
        QCOMPARE(f->TabDetailsMaterial->count(), 1);
        QVERIFY(!f->findChild<QPlainTextEdit *>(QStringLiteral("DBNotes")));
        QCOMPARE(suppliers->columnCount(), 1);
        gotoMaterial("Anethole");
        const QList<QImage> after = views();
        for (qsizetype i = 0; i < before.size(); ++i)
            QCOMPARE(test::largestDifference(before[i], after[i]), 0);
        f->DetailTabNotebook->setCurrentIndex(0);
    }

    void tabLeavesTheGridAndTypingSearchesNothing()
    {
        f->DetailTabNotebook->setCurrentIndex(1);
        gotoMaterial("Anethole");
        f->SupplierGrid->setFocus(Qt::TabFocusReason);
        QCOMPARE(f->TableSupLink->recNo(), 1);
        // Typing a supplier id that the grid holds moves nothing either.
        QTest::keyClicks(f->SupplierGrid, QString::number(test::kMid));
        QCOMPARE(f->TableSupLink->recNo(), 1);
        QTest::keyClick(f->SupplierGrid, Qt::Key_Tab);
        QCOMPARE(f->TableSupLink->recNo(), 1);
        QVERIFY(!f->SupplierGrid->hasFocus());
        f->DetailTabNotebook->setCurrentIndex(0);
    }
};

QTEST_MAIN(TestDetailPane)
#include "tst_detailpane.moc"
