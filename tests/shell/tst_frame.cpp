// The main window's frame: menus and button bar as the program starts, the
// button bar's tab order, the proportional layout on the real window with its
// docked panels, the minimum size, the window's cursors, the About box and the
// Help menu, and ending the program from the File menu.
#include "common/appfixture.h"
#include "framework/bevelpanel.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "shell/About.h"
#include "shell/LogoDlg.h"
#include "shell/Sizerwin.h"
#include "shell/Zil0.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/schema.h"
#include "store/table.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <map>
#include <memory>
#include <optional>

namespace {

std::unique_ptr<TMainForm> shownForm()
{
    auto form = std::make_unique<TMainForm>();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        qWarning("main window not exposed");
    return form;
}

QWidget *widget(QObject *root, const char *name)
{
    return root->findChild<QWidget *>(QString::fromLatin1(name));
}

// The geometry of every named widget, seen on each page of the two main tabs
// with the detail notebooks on each of their pages; the notebooks are put
// back on their pages afterwards.
std::map<QString, QRect> snapshot(TMainForm &form)
{
    std::map<QString, QRect> seen;
    const int main = form.MainTabNotebook->currentIndex();
    const int detail = form.DetailTabNotebook->currentIndex();
    const int suppliers = form.SuppliersDetailTabNotebook->currentIndex();
    for (int tab : {1, 0}) {
        form.MainTabNotebook->setCurrentIndex(tab);
        QTabWidget *notebook = tab == 0 ? form.DetailTabNotebook : form.SuppliersDetailTabNotebook;
        for (int page : {0, 1}) {
            notebook->setCurrentIndex(page);
            for (QWidget *w : form.findChildren<QWidget *>()) {
                if (!w->objectName().isEmpty() && w->isVisible())
                    seen[w->objectName() + QLatin1Char('@') + QString::number(tab)
                        + QString::number(page)]
                        = w->geometry();
            }
        }
    }
    form.MainTabNotebook->setCurrentIndex(main);
    form.DetailTabNotebook->setCurrentIndex(detail);
    form.SuppliersDetailTabNotebook->setCurrentIndex(suppliers);
    return seen;
}

// The right edge of a right-docked widget lies on its parent's right edge and
// it spans its parent's height.
void verifyDockedRight(QWidget *w, int width)
{
    QVERIFY(w);
    QWidget *parent = w->parentWidget();
    QCOMPARE(w->width(), width);
    QCOMPARE(w->geometry().right(), parent->contentsRect().right());
    QCOMPARE(w->y(), parent->contentsRect().top());
    QCOMPARE(w->height(), parent->contentsRect().height());
}

} // namespace

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void startState();
    void buttonBar_data();
    void buttonBar();
    void buttonTabOrder();
    void designGeometry_data();
    void designGeometry();
    void widthGrowth();
    void heightGrowth();
    void resizingBackRestoresDesign();
    void cannotShrinkBelowDesignSize();
    void centredWhenFirstShown();
    void cursorsAndLinks();
    void aboutBoxLayout();
    void aboutBoxClosesOnlyByOk();
    void aboutMenuShowsBoxModally();
    void contentsOpensHelpFile();
    void keyboardShortcuts();
    void exitEndsProgram();
};

void TestFrame::startState()
{
    TMainForm form;
    QCOMPARE(form.windowTitle(), QStringLiteral("ZIL"));
    QCOMPARE(form.size(), QSize(590, 450));
    QVERIFY(form.EventsEnabled);
    QVERIFY(form.HelpFileName.isEmpty());
    QVERIFY(form.Sizer);
    QCOMPARE(form.Sizer->Count, 28);
    QCOMPARE(form.Sizer->FormWidth, 590);
    QCOMPARE(form.Sizer->FormHeight, 450);
    QVERIFY(!form.windowIcon().isNull());

    // Menus in order, with their items.
    QMenuBar *bar = form.findChild<QMenuBar *>(QStringLiteral("MainMenu"));
    QVERIFY(bar);
    QStringList menus;
    for (QAction *a : bar->actions())
        menus << a->menu()->objectName() + QLatin1Char('=') + a->text();
    QCOMPARE(menus,
        QStringList({"File1=&File", "EditMenu=&Edit", "ControlMenu=&View", "ReportMenu=&Report",
            "HelpMenu=&Help"}));
    auto items = [&form](const char *menu) {
        QStringList out;
        for (QAction *a : form.findChild<QMenu *>(QString::fromLatin1(menu))->actions())
            out << a->objectName() + QLatin1Char('=')
                    + (a->isSeparator() ? QStringLiteral("-") : a->text())
                    + (a->isEnabled() ? QString() : QStringLiteral(" (disabled)"));
        return out;
    };
    QCOMPARE(items("File1"), QStringList({"ExitMenu=E&xit"}));
    QCOMPARE(items("ControlMenu"),
        QStringList(
            {"Materials1=&Materials", "Suppliers1=&Suppliers", "=-", "MenuBack=&Back (disabled)",
                "MenuForward=&Forward (disabled)", "=-", "MenuPricesNotes=&Prices and notes"}));
    QCOMPARE(items("ReportMenu"),
        QStringList({"MenuPrintMaterial=Print &material",
            "MenuPrintSupplier=Print &supplier "
            "(disabled)",
            "MenuSavePdf=Save as &PDF...", "ExportSeparator=-",
            "MenuExportCsv=Export selection as &CSV...",
            "MenuExportPdf=Export selection as P&DF..."}));
    QCOMPARE(
        items("HelpMenu"), QStringList({"Contents1=&Contents", "N1=-", "About1=&About ZIL..."}));
    QCOMPARE(form.Contents1->shortcut(), QKeySequence(Qt::Key_F1));

    // Notebooks: the main one on its first page, the two detail notebooks as
    // designed on their second.
    auto captions = [](QTabWidget *t) {
        QStringList out;
        for (int i = 0; i < t->count(); ++i)
            out << t->tabText(i);
        return out;
    };
    QCOMPARE(captions(form.MainTabNotebook), QStringList({"&Materials", "S&uppliers"}));
    QCOMPARE(captions(form.DetailTabNotebook), QStringList({"Details", "Suppliers"}));
    QCOMPARE(captions(form.SuppliersDetailTabNotebook), QStringList({"Details", "Materials"}));
    QCOMPARE(captions(form.TabDetailsSuppliers), QStringList({"Details"}));
    QCOMPARE(captions(form.TabDetailsMaterial), QStringList({"Details"}));
    QCOMPARE(form.MainTabNotebook->currentIndex(), 0);
    QCOMPARE(form.DetailTabNotebook->currentIndex(), 1);
    QCOMPARE(form.SuppliersDetailTabNotebook->currentIndex(), 1);

    // Search strips and fields.
    QCOMPARE(form.SearchLabel->text(), QStringLiteral("S&earch name:"));
    QCOMPARE(form.SearchLabel->buddy(), form.SearchField);
    QCOMPARE(form.LabelSearchSupplier->buddy(), form.EditSupplierName);
    QCOMPARE(form.LabelOccurence->text(), QStringLiteral("Occurrence"));
    QCOMPARE(form.LabelFlavor->text(), QStringLiteral("Flavour"));
    QCOMPARE(form.LabelApplication->text(), QStringLiteral("Application"));
    QCOMPARE(form.LabelLiterature->text(), QStringLiteral("Literature"));
    QCOMPARE(form.MaterialGrid->defaultRowHeight(), 18);
    for (const char *name : {"DBCas", "DBName", "DBPhone", "DBEditName", "DBMaterialFEMA"})
        QVERIFY2(form.findChild<QLineEdit *>(QString::fromLatin1(name))->isReadOnly(), name);
    for (const char *name : {"synonyms", "DBLiterature", "MemoSynonyms"})
        QVERIFY2(form.findChild<QPlainTextEdit *>(QString::fromLatin1(name))->isReadOnly(), name);
    QCOMPARE(form.synonyms->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(form.MemoSynonyms->lineWrapMode(), QPlainTextEdit::NoWrap);
}

void TestFrame::buttonBar_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("tip"); // shown while the pointer rests on it
    QTest::newRow("FirstButton") << QString() << 1 << 28 << true
                                 << QStringLiteral("First in the list");
    QTest::newRow("PriorButton") << QString() << 29 << 28 << true
                                 << QStringLiteral("Previous in the list");
    QTest::newRow("NextButton") << QString() << 57 << 28 << true
                                << QStringLiteral("Next in the list");
    QTest::newRow("LastButton") << QString() << 85 << 28 << true
                                << QStringLiteral("Last in the list");
    QTest::newRow("OrderButton") << QStringLiteral("&Order by CAS") << 120 << 110 << true
                                 << QStringLiteral(
                                        "List the materials by CAS number or by name (Alt+O)");
    QTest::newRow("SearchButton") << QStringLiteral("&Select") << 230 << 75 << true
                                  << QStringLiteral("Select materials by criteria (Alt+S)");
    QTest::newRow("PrintButton") << QStringLiteral("&Print Material") << 305 << 115 << true
                                 << QStringLiteral("Print the sheet of the tab in view (Ctrl+P)");
    // At the right edge, inside the right-aligned Panel2.
    QTest::newRow("HideShowButton") << QStringLiteral("Hide details") << -1 << 100 << false
                                    << QStringLiteral("Hide or show the details under the list");
}

void TestFrame::buttonBar()
{
    QFETCH(QString, caption);
    QFETCH(int, x);
    QFETCH(int, width);
    QFETCH(bool, enabled);
    QFETCH(QString, tip);
    auto form = shownForm();
    QCOMPARE(form->Panel1->geometry(), QRect(0, 0, form->centralWidget()->width(), 29));

    auto *button = form->findChild<QPushButton *>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->isEnabled(), enabled);
    QVERIFY(!button->icon().isNull());
    // Two images: the disabled one differs from the normal one.
    const QImage normal = button->icon().pixmap(16, 16, QIcon::Normal).toImage();
    const QImage disabled = button->icon().pixmap(16, 16, QIcon::Disabled).toImage();
    QVERIFY(normal != disabled);
    QCOMPARE(zil::test::hoverToolTip(button), tip);

    const QRect onBar(button->mapTo(form->Panel1, QPoint(0, 0)), button->size());
    QCOMPARE(onBar.top(), 2);
    QCOMPARE(onBar.height(), 25);
    QCOMPARE(onBar.width(), width);
    if (x >= 0) {
        QCOMPARE(button->parentWidget(), form->Panel1);
        QCOMPARE(onBar.left(), x);
    } else {
        QCOMPARE(button->parentWidget(), form->Panel2);
        verifyDockedRight(form->Panel2, 100);
        QCOMPARE(onBar.right(), form->Panel1->contentsRect().right());
    }

    // The picture holders are hidden and keep two 16 × 16 images each.
    for (QLabel *holder : {form->ShowBmp, form->HideBmp}) {
        QVERIFY(holder->isHidden());
        QCOMPARE(holder->size(), QSize(20, 20));
        QCOMPARE(holder->pixmap().size(), QSize(32, 16));
    }
    QVERIFY(form->ShowBmp->pixmap().toImage() != form->HideBmp->pixmap().toImage());
}

void TestFrame::buttonTabOrder()
{
    TMainForm form;
    const QList<QWidget *> buttons {form.FirstButton, form.PriorButton, form.NextButton,
        form.LastButton, form.OrderButton, form.SearchButton, form.PrintButton,
        form.HideShowButton};
    // Following the focus chain from the first button meets the eight buttons
    // in order, with no other widget that takes the focus by Tab between them.
    QList<QWidget *> met;
    QWidget *w = form.FirstButton;
    while (met.size() < buttons.size()) {
        if (w->focusPolicy() & Qt::TabFocus)
            met << w;
        w = w->nextInFocusChain();
        QVERIFY(w != form.FirstButton);
    }
    QCOMPARE(met, buttons);
}

void TestFrame::designGeometry_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("PanelSearch") << 0 << QRect();
    QTest::newRow("SearchLabel") << 0 << QRect(8, 10, -1, -1);
    QTest::newRow("SearchField") << 0 << QRect(79, 7, 152, 22);
    QTest::newRow("DBCas") << 0 << QRect(72, 8, 89, 22);
    QTest::newRow("DBCE") << 0 << QRect(192, 8, 41, 22);
    QTest::newRow("DBFema") << 0 << QRect(280, 8, 40, 22);
    QTest::newRow("DBName") << 0 << QRect(72, 33, 249, 22);
    QTest::newRow("synonyms") << 0 << QRect(72, 58, 249, 47);
    QTest::newRow("DBOccurence") << 0 << QRect(72, 109, 249, 47);
    QTest::newRow("DBFlavour") << 0 << QRect(72, 160, 249, 47);
    QTest::newRow("DBApplication") << 0 << QRect(72, 211, 249, 47);
    QTest::newRow("DBLiterature") << 0 << QRect(72, 262, 249, 47);
    QTest::newRow("DBSupplierName") << 0 << QRect(64, 4, 249, 22);
    QTest::newRow("DBAddress") << 0 << QRect(64, 31, 249, 22);
    QTest::newRow("DBCity") << 0 << QRect(64, 58, 249, 22);
    QTest::newRow("DBCountry") << 0 << QRect(64, 84, 249, 22);
    QTest::newRow("DBPhone") << 0 << QRect(64, 111, 249, 22);
    QTest::newRow("LabelSearchSupplier") << 1 << QRect(8, 10, -1, -1);
    QTest::newRow("EditSupplierName") << 1 << QRect(79, 7, 152, 22);
    QTest::newRow("DBEditName") << 1 << QRect(72, 23, 245, 22);
    QTest::newRow("DBEditAddress") << 1 << QRect(72, 85, 245, 22);
    QTest::newRow("DBEditCity") << 1 << QRect(72, 147, 245, 22);
    QTest::newRow("DbEditCountry") << 1 << QRect(72, 209, 245, 22);
    QTest::newRow("DBEditPhone") << 1 << QRect(72, 271, 245, 22);
    QTest::newRow("DBMaterialCAS") << 1 << QRect(70, 8, 89, 22);
    QTest::newRow("DBMaterialCE") << 1 << QRect(186, 8, 40, 22);
    QTest::newRow("DBMaterialFEMA") << 1 << QRect(272, 8, 40, 22);
    QTest::newRow("DBMaterialName") << 1 << QRect(70, 37, 242, 22);
    QTest::newRow("MemoSynonyms") << 1 << QRect(71, 66, 242, 47);
}

void TestFrame::designGeometry()
{
    QFETCH(int, tab);
    QFETCH(QRect, geometry);
    auto form = shownForm();
    form->MainTabNotebook->setCurrentIndex(tab);
    QWidget *w = widget(form.get(), QTest::currentDataTag());
    QVERIFY(w);
    if (geometry.isNull()) {
        // The search strip along the top of the list panel.
        QCOMPARE(w->geometry(), QRect(0, 0, w->parentWidget()->width(), 35));
    } else if (geometry.width() < 0) {
        QCOMPARE(w->pos(), geometry.topLeft());
    } else {
        QCOMPARE(w->geometry(), geometry);
    }

    // The docked parts of the tab in view.
    if (tab == 0) {
        verifyDockedRight(form->PanelDetail, 340);
        QCOMPARE(form->PanelList->geometry().right() + 1, form->PanelDetail->x());
        QCOMPARE(form->DetailTabNotebook->geometry(), form->PanelDetail->rect());
        QCOMPARE(form->TabDetailsSuppliers->height(), 165);
        QCOMPARE(form->TabDetailsSuppliers->geometry().bottom(),
            form->TabDetailsSuppliers->parentWidget()->rect().bottom());
        QCOMPARE(form->SupplierGrid->geometry().bottom() + 1, form->TabDetailsSuppliers->y());
    } else {
        verifyDockedRight(form->SuppliersDetailTabNotebook, 340);
        QCOMPARE(form->PanelSuppliersList->geometry().right() + 1,
            form->SuppliersDetailTabNotebook->x());
        QCOMPARE(form->TabDetailsMaterial->height(), 149);
        QCOMPARE(form->TabDetailsMaterial->geometry().bottom(),
            form->TabDetailsMaterial->parentWidget()->rect().bottom());
    }
}

void TestFrame::widthGrowth()
{
    auto form = shownForm();
    form->resize(691, 450);
    QCOMPARE(form->size(), QSize(691, 450));
    // 101 pixels of growth widen the half-factor controls by 50, not 51.
    QCOMPARE(form->SearchField->width(), 202);
    QCOMPARE(form->DBName->width(), 299);
    QCOMPARE(form->DBFema->width(), 90);
    QCOMPARE(form->synonyms->width(), 299);
    QCOMPARE(form->DBPhone->width(), 299);
    QCOMPARE(form->DBCas->geometry(), QRect(72, 8, 89, 22));
    QCOMPARE(form->SearchField->pos(), QPoint(79, 7));
    // The detail pane stays docked to the right at its new width and the list
    // panel gives up what it takes.
    verifyDockedRight(form->PanelDetail, 390);
    QCOMPARE(form->PanelList->geometry().right() + 1, form->PanelDetail->x());
    QCOMPARE(form->DetailTabNotebook->width(), 390);

    form->MainTabNotebook->setCurrentIndex(1);
    QCOMPARE(form->EditSupplierName->width(), 202);
    verifyDockedRight(form->SuppliersDetailTabNotebook, 390);
    QCOMPARE(form->DBEditName->width(), 295);
    QCOMPARE(form->DBMaterialName->width(), 292);
    QCOMPARE(form->MemoSynonyms->geometry(), QRect(71, 66, 292, 47));
    QCOMPARE(form->DBMaterialFEMA->width(), 90);
    QCOMPARE(form->DBMaterialCE->width(), 40);
}

void TestFrame::heightGrowth()
{
    auto form = shownForm();
    const int occurrence = form->LabelOccurence->y();
    const int flavour = form->LabelFlavor->y();
    const int application = form->LabelApplication->y();
    const int literature = form->LabelLiterature->y();
    form->resize(590, 550);
    QCOMPARE(form->size(), QSize(590, 550));
    QCOMPARE(form->synonyms->geometry(), QRect(72, 58, 249, 67));
    QCOMPARE(form->DBOccurence->geometry(), QRect(72, 129, 249, 67));
    QCOMPARE(form->DBFlavour->geometry(), QRect(72, 200, 249, 67));
    // 100 times the double nearest 0.6 lies just below 60.
    QCOMPARE(form->DBApplication->geometry(), QRect(72, 270, 249, 67));
    QCOMPARE(form->DBLiterature->geometry(), QRect(72, 342, 249, 67));
    QCOMPARE(form->LabelOccurence->y(), occurrence + 20);
    QCOMPARE(form->LabelFlavor->y(), flavour + 40);
    QCOMPARE(form->LabelApplication->y(), application + 59);
    QCOMPARE(form->LabelLiterature->y(), literature + 80);
    QCOMPARE(form->DBName->geometry(), QRect(72, 33, 249, 22));
    // The docked pane follows the height; its width stays.
    verifyDockedRight(form->PanelDetail, 340);
}

void TestFrame::resizingBackRestoresDesign()
{
    auto form = shownForm();
    const auto design = snapshot(*form);
    QVERIFY(design.size() > 60);
    form->resize(760, 620);
    form->resize(691, 550);
    QVERIFY(snapshot(*form) != design);
    form->resize(590, 450);
    const auto back = snapshot(*form);
    for (const auto &[name, geometry] : design) {
        const auto found = back.find(name);
        QVERIFY2(found != back.end(), qPrintable(name));
        QVERIFY2(found->second == geometry, qPrintable(name));
    }
    QCOMPARE(back.size(), design.size());
}

void TestFrame::cannotShrinkBelowDesignSize()
{
    auto form = shownForm();
    QCOMPARE(form->minimumSize(), QSize(590, 450));
    const auto design = snapshot(*form);
    form->resize(420, 300);
    QCOMPARE(form->size(), QSize(590, 450));
    form->resize(800, 300);
    QCOMPARE(form->size(), QSize(800, 450));
    form->resize(500, 600);
    QCOMPARE(form->size(), QSize(590, 600));
    form->resize(100, 100);
    QCOMPARE(form->size(), QSize(590, 450));
    QVERIFY(snapshot(*form) == design);
}

void TestFrame::centredWhenFirstShown()
{
    TMainForm form;
    form.move(0, 0);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QRect screen = form.screen()->geometry();
    const QRect frame = form.frameGeometry();
    QCOMPARE(frame.left() - screen.left(), (screen.width() - frame.width()) / 2);
    QCOMPARE(frame.top() - screen.top(), (screen.height() - frame.height()) / 2);
    // Shown again after the user moved it, it stays where it was put.
    form.hide();
    form.move(10, 20);
    form.show();
    QCOMPARE(form.pos(), QPoint(10, 20));
}

void TestFrame::cursorsAndLinks()
{
    TMainForm form;
    auto *database = form.findChild<zil::store::Database *>(QStringLiteral("MainData"));
    QVERIFY(database);
    QCOMPARE(database, form.MainData);
    QCOMPARE(database->databaseName(), QStringLiteral("ZIL"));

    const auto &defs = zil::schema::mainCursors();
    QCOMPARE(form.findChildren<zil::store::Table *>().size(), qsizetype(defs.size()));
    for (const zil::schema::CursorDef &def : defs) {
        auto *table = form.findChild<zil::store::Table *>(def.name);
        QVERIFY2(table, qPrintable(def.name));
        QCOMPARE(table->databaseName(), QStringLiteral("ZIL"));
        QCOMPARE(table->tableName(), def.tableName);
        QCOMPARE(table->indexName(), def.indexName);
        QCOMPARE(table->readOnly(), def.readOnly);
        QVERIFY(!table->active());
        if (def.masterSource.isEmpty()) {
            QVERIFY(!table->masterSource());
        } else {
            QVERIFY2(table->masterSource(), qPrintable(def.name));
            QCOMPARE(table->masterSource()->objectName(), def.masterSource);
            QCOMPARE(table->masterFields(), def.masterFields);
            QCOMPARE(table->indexFieldNames(), def.indexFieldNames);
        }
        if (!def.dataSource.isEmpty()) {
            auto *source = form.findChild<zil::store::DataSource *>(def.dataSource);
            QVERIFY2(source, qPrintable(def.dataSource));
            QCOMPARE(source->dataSet(), table);
        }
    }
    // The public members are those objects.
    QCOMPARE(form.TableMaterial->objectName(), QStringLiteral("TableMaterial"));
    QCOMPARE(form.TableSupplier->masterSource(), form.SourceSupplierLink);
    QCOMPARE(form.SourceSupplierLink->dataSet(), form.TableSupLink);
    QCOMPARE(form.TableSupLink->masterSource(), form.SourceMaterial);
    QCOMPARE(form.SourceMaterial->dataSet(), form.TableMaterial);
    QCOMPARE(form.TableSinon2->masterSource(), form.SourceMaterial2);
    QCOMPARE(form.TableMaterial2->masterSource(), form.SourceLink2);
    QCOMPARE(form.SourceLink2->dataSet(), form.TableSupLink2);
    QCOMPARE(form.TableSupLink2->masterSource(), form.SourceSupplierName);
    QCOMPARE(form.TableSinonSelect->masterSource(), form.SourceMaterialSelect);
    QCOMPARE(form.SourceMaterialSelect->dataSet(), form.TableMaterialSelect);
}

void TestFrame::aboutBoxLayout()
{
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("About"));
    QCOMPARE(box.size(), QSize(355, 252));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    const Qt::WindowFlags flags = box.windowFlags();
    QVERIFY(!(flags & Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & Qt::WindowSystemMenuHint));
    QVERIFY(!(flags & Qt::WindowMinMaxButtonsHint));
    QCOMPARE(box.font().family(), QStringLiteral("Arial"));

    QCOMPARE(box.Panel2->geometry(), QRect(8, 8, 340, 76));
    QCOMPARE(box.Panel2->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(box.Panel2->outerBevel(), zil::framework::Bevel::Lowered);
    QCOMPARE(box.Panel2->innerBevel(), zil::framework::Bevel::Raised);
    QCOMPARE(box.ProgramIcon->parentWidget(), box.Panel2);
    QCOMPARE(box.ProgramIcon->geometry(), QRect(25, 2, 288, 72));
    QCOMPARE(box.ProgramIcon->pixmap().size(), QSize(288, 72));
    QCOMPARE(box.Panel1->geometry(), QRect(8, 94, 340, 112));

    QCOMPARE(box.ProductName->parentWidget(), box.Panel1);
    QCOMPARE(box.ProductName->pos(), QPoint(12, 8));
    QVERIFY(box.ProductName->font().bold());
    QVERIFY(!box.ProductName->text().isEmpty());
    const QList<QLabel *> notices {box.Version, box.Copyright, box.Comments};
    const QList<QPoint> places {{11, 53}, {11, 71}, {11, 88}};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(notices[i]->parentWidget(), box.Panel1);
        QCOMPARE(notices[i]->pos(), places[i]);
        QVERIFY(!notices[i]->text().isEmpty());
        QVERIFY(!notices[i]->font().bold());
        // The whole text fits on the panel.
        QVERIFY(notices[i]->geometry().right() < box.Panel1->width());
    }
    QVERIFY(box.Version->text().contains(zil::shell::programVersion()));

    QCOMPARE(box.OKButton->geometry(), QRect(139, 216, 77, 27));
    QCOMPARE(box.OKButton->text(), QStringLiteral("OK"));
    QVERIFY(box.OKButton->font().bold());
    QVERIFY(box.OKButton->isDefault());
    QVERIFY(!box.OKButton->icon().isNull());
}

void TestFrame::aboutBoxClosesOnlyByOk()
{
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.focusWidget(), box.OKButton);
    const QRect screen = box.screen()->geometry();
    QCOMPARE(box.frameGeometry().center().x() - screen.center().x(), 0);

    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(box.isVisible());
    QTest::keyClick(&box, Qt::Key_Return);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));

    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.focusWidget(), box.OKButton);
    box.setResult(QDialog::Rejected);
    QTest::mouseClick(box.OKButton, Qt::LeftButton);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
}

void TestFrame::aboutMenuShowsBoxModally()
{
    auto form = shownForm();
    // Before start-up has created the box the item does nothing.
    form->About1->trigger();
    QVERIFY(!QApplication::activeModalWidget());

    form->AboutBox = new TAboutBox(form.get());
    for (int round = 0; round < 2; ++round) {
        bool seen = false;
        QTimer::singleShot(0, form.get(), [&] {
            seen = QApplication::activeModalWidget() == form->AboutBox
                && form->AboutBox->focusWidget() == form->AboutBox->OKButton;
            form->AboutBox->OKButton->click();
        });
        form->About1->trigger();
        QVERIFY(seen);
        QVERIFY(!form->AboutBox->isVisible());
    }
    // The one box created at start-up is reused.
    QCOMPARE(form->findChildren<TAboutBox *>().size(), 1);
}

void TestFrame::contentsOpensHelpFile()
{
    QStringList messages;
    const zil::platform::ScopedMessageBoxHook taking(
        [&messages](zil::platform::MessageKind, const QString &title, const QString &text) {
            messages << title + ": " + text;
        });
    TMainForm form;
    auto helpWindows = [&form] { return form.findChildren<zil::platform::HelpWindow *>(); };
    // Without a help file nothing happens.
    form.Contents1->trigger();
    QVERIFY(helpWindows().isEmpty());
    QVERIFY(messages.isEmpty());

    QTemporaryDir dir;
    form.HelpFileName = dir.filePath(QStringLiteral("zil.html"));
    QFile file(form.HelpFileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html><body><h1>Help of the day</h1></body></html>");
    file.close();
    form.Contents1->trigger();
    QCOMPARE(helpWindows().size(), 1);
    zil::platform::HelpWindow *help = helpWindows().first();
    QVERIFY(help->isVisible());
    QCOMPARE(help->browser()->toPlainText(), QStringLiteral("Help of the day"));
    QVERIFY(messages.isEmpty());
    help->close();
}

void TestFrame::keyboardShortcuts()
{
    auto form = shownForm();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QStringList messages;
    std::optional<zil::platform::ScopedMessageBoxHook> taking;
    taking.emplace([&messages](zil::platform::MessageKind, const QString &title,
                       const QString &text) { messages << title + ": " + text; });

    // F1 anywhere in the window asks for help, but only with a help file.
    form->SearchField->setFocus();
    QTest::keyClick(form->SearchField, Qt::Key_F1);
    QVERIFY(messages.isEmpty());
    // Named where no installed package puts one.
    form->HelpFileName = QStringLiteral("/nonexistent/doc/zil/zil.html");
    QTest::keyClick(form->SearchField, Qt::Key_F1);
    QCOMPARE(messages,
        QStringList({"Error: The help file was not found:\n/nonexistent/doc/zil/zil.html"}));
    taking.reset();

    // The search caption's accelerator moves the focus to the search field.
    form->MaterialGrid->setFocus();
    QTest::keyClick(form.get(), Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), form->SearchField);
    form->MainTabNotebook->setCurrentIndex(1);
    form->DBGrid1->setFocus();
    QTest::keyClick(form.get(), Qt::Key_E, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), form->EditSupplierName);
}

// Ending the program leaves every running event loop, so this runs last.
void TestFrame::exitEndsProgram()
{
    auto form = shownForm();
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    QEventLoop loop;
    // Ctrl+Q is the key of File > Exit.
    QTimer::singleShot(
        0, form.get(), [&] { QTest::keyClick(form.get(), Qt::Key_Q, Qt::ControlModifier); });
    QTimer::singleShot(5000, &loop, [&] { loop.exit(7); });
    QCOMPARE(loop.exec(), 0);
    QVERIFY(!form->isVisible());
}

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
