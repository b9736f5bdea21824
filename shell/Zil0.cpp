#include "shell/Zil0.h"

#include "browser/copycontroller.h"
#include "browser/criteriamarks.h"
#include "browser/detailpane.h"
#include "browser/findwindow.h"
#include "browser/materiallist.h"
#include "browser/searchclass.h"
#include "browser/supplierbrowser.h"
#include "framework/bevelpanel.h"
#include "framework/databinding.h"
#include "framework/docklayout.h"
#include "framework/focus.h"
#include "framework/picture.h"
#include "framework/windowplace.h"
#include "platform/font.h"
#include "platform/help.h"
#include "reports/Printm.h"
#include "reports/export.h"
#include "shell/About.h"
#include "shell/LogoDlg.h"
#include "shell/Sizerwin.h"
#include "shell/historywiring.h"
#include "shell/pricesnotes.h"
#include "shell/tabstate.h"
#include "shell/updatefollower.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/schema.h"
#include "store/table.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QWidgetAction>

using zil::framework::Bevel;
using zil::framework::BevelPanel;
using zil::framework::CaptionKeysFirst;
using zil::framework::DetailField;
using zil::framework::DockLayout;
using zil::framework::Glyph;
using zil::framework::glyphIcon;
using zil::framework::glyphStrip;

namespace {

// The window's face, unshaped: a change of material lays out four memos
// anew, and shaping was a third of that work.
QFont arialFont(bool bold = false)
{
    return zil::platform::arialPixels(11, bold, zil::platform::Shaping::Unshaped);
}

template<typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// A search field with a button inside it that empties it, as deleting its
// text by hand does: the field's change reaction runs with the empty text.
QLineEdit *makeSearchField(QWidget *parent, const char *name)
{
    auto *field = named(new QLineEdit(parent), name);
    field->setGeometry(79, 7, 152, 22);
    field->setAutoFillBackground(true);
    field->setClearButtonEnabled(true);
    // The button's picture says nothing to some; its action says what it does.
    for (QAction *clear : field->findChildren<QAction *>(Qt::FindDirectChildrenOnly))
        if (!qobject_cast<QWidgetAction *>(clear))
            clear->setToolTip(QStringLiteral("Clear the search"));
    return field;
}

QLabel *makeLabel(QWidget *parent, const QString &text, int x, int y, bool bold = true,
    const char *name = nullptr)
{
    auto *label = new QLabel(text, parent);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    label->setFont(arialFont(bold));
    label->move(x, y);
    label->adjustSize();
    return label;
}

// A bold caption whose right edge stands at x.
QLabel *makeRightLabel(QWidget *parent, const QString &text, int right, int y)
{
    QLabel *label = makeLabel(parent, text, 0, y);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->move(right - label->width(), y);
    return label;
}

QLineEdit *makeField(QWidget *parent, const char *name, int x, int y, int width, int height = 22)
{
    auto *field = named(new DetailField(parent), name);
    field->setReadOnly(true);
    field->setGeometry(x, y, width, height);
    field->setAutoFillBackground(true);
    return field;
}

QPlainTextEdit *makeMemo(
    QWidget *parent, const char *name, int x, int y, int width, int height, bool wrap)
{
    auto *memo = named(new QPlainTextEdit(parent), name);
    memo->setReadOnly(true);
    memo->setTabChangesFocus(true);
    memo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    memo->setGeometry(x, y, width, height);
    return memo;
}

// A grid over a cursor: title row, row indicator, lines between cells and a
// whole-row selection that stays visible without the focus.
zil::framework::DataGrid *makeDataGrid(QWidget *parent, const char *name)
{
    auto *grid = named(new zil::framework::DataGrid(parent), name);
    grid->horizontalHeader()->setFont(arialFont());
    return grid;
}

// A page of a notebook whose widgets sit at fixed places.
QWidget *addPage(QTabWidget *notebook, const QString &caption)
{
    auto *page = new QWidget;
    notebook->addTab(page, caption);
    return page;
}

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("ZIL"));
    setWindowIcon(QIcon(zil::shell::programIcon()));
    setFont(arialFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    // Black text, except on disabled controls, which keep the style's grey
    // so that a disabled button or label looks disabled.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::WindowText, Qt::black);
        pal.setColor(group, QPalette::ButtonText, Qt::black);
        pal.setColor(group, QPalette::Text, Qt::black);
    }
    setPalette(pal);
    setMinimumSize(590, 450);
    resize(590, 450);

    createMenus();

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("MainClient"));
    setCentralWidget(central);
    auto *dock = new DockLayout(central);
    createButtonBar(central);
    dock->dock(Panel1, DockLayout::Top, 29);

    MainTabNotebook = named(new QTabWidget(central), "MainTabNotebook");
    QFont tabFont(QStringLiteral("MS Sans Serif"));
    tabFont.setPixelSize(11);
    MainTabNotebook->tabBar()->setFont(tabFont);
    dock->dock(MainTabNotebook, DockLayout::Client);
    createMaterialsPage(addPage(MainTabNotebook, QStringLiteral("&Materials")));
    createSuppliersPage(addPage(MainTabNotebook, QStringLiteral("S&uppliers")));
    MainTabNotebook->setCurrentIndex(0);

    // Tab order of the button bar, then the notebook and its pages.
    const QList<QWidget *> order {FirstButton, PriorButton, NextButton, LastButton, OrderButton,
        SearchButton, PrintButton, HideShowButton, MainTabNotebook, SearchField, MaterialGrid,
        DetailTabNotebook, DBCas, DBCE, DBFema, DBName, synonyms, DBOccurence, DBFlavour,
        DBApplication, DBLiterature, SupplierGrid, TabDetailsSuppliers, DBSupplierName, DBAddress,
        DBCity, DBCountry, DBPhone, EditSupplierName, DBGrid1, SuppliersDetailTabNotebook,
        DBEditName, DBEditAddress, DBEditCity, DbEditCountry, DBEditPhone, MaterialGrid2,
        TabDetailsMaterial, DBMaterialCAS, DBMaterialCE, DBMaterialFEMA, DBMaterialName,
        MemoSynonyms};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    createCursors();
    bindDataFields();
    createPrintDispatch();
    // The reactions are tied to their controls before the controllers that
    // follow what the reactions did (the criteria marks, the history) tie
    // their own, so that theirs run after.
    connectReactions();
    createControllers();

    FormCreate();
    RestorePaneStates();
}

// The fields and memos that show the current material, the supplier of its
// current link, the current supplier and the material of its current link.
void TMainForm::bindDataFields()
{
    using zil::framework::bindField;
    using zil::framework::bindMemo;
    bindField(DBCas, SourceMaterial, QStringLiteral("cas"));
    bindField(DBCE, SourceMaterial, QStringLiteral("ce"));
    bindField(DBFema, SourceMaterial, QStringLiteral("fema"));
    bindField(DBName, SourceMaterial, QStringLiteral("name"));
    bindMemo(DBOccurence, SourceMaterial, QStringLiteral("occur"));
    bindMemo(DBFlavour, SourceMaterial, QStringLiteral("flavor"));
    bindMemo(DBApplication, SourceMaterial, QStringLiteral("applic"));
    bindMemo(DBLiterature, SourceMaterial, QStringLiteral("liter"));
    bindField(DBSupplierName, SourceSupplier, QStringLiteral("name"));
    bindField(DBAddress, SourceSupplier, QStringLiteral("address"));
    bindField(DBCity, SourceSupplier, QStringLiteral("city"));
    bindField(DBCountry, SourceSupplier, QStringLiteral("country"));
    bindField(DBPhone, SourceSupplier, QStringLiteral("phone"));
    bindField(DBEditName, SourceSupplierName, QStringLiteral("name"));
    bindField(DBEditAddress, SourceSupplierName, QStringLiteral("address"));
    bindField(DBEditCity, SourceSupplierName, QStringLiteral("city"));
    bindField(DbEditCountry, SourceSupplierName, QStringLiteral("country"));
    bindField(DBEditPhone, SourceSupplierName, QStringLiteral("phone"));
    bindField(DBMaterialCAS, SourceMaterial2, QStringLiteral("cas"));
    bindField(DBMaterialCE, SourceMaterial2, QStringLiteral("ce"));
    bindField(DBMaterialFEMA, SourceMaterial2, QStringLiteral("fema"));
    bindField(DBMaterialName, SourceMaterial2, QStringLiteral("name"));
}

TMainForm::~TMainForm()
{
    m_updates.reset();
    // The history watches the controls; it goes first.
    m_history.reset();
    // The controls go before the controllers that react to them and the
    // selection set that the material list draws from.
    delete centralWidget();
}

void TMainForm::createControllers()
{
    using zil::browser::DetailPane;
    using zil::browser::MaterialList;
    using zil::browser::SupplierBrowser;
    const zil::browser::HideShowButton hideShow {HideShowButton, ShowBmp, HideBmp};
    m_detailPane = std::make_unique<DetailPane>(DetailPane::Controls {
        .synonyms = {SourceMaterial, TableSinon, synonyms},
        .suppliers = {.grid = SupplierGrid,
            .subPane = TabDetailsSuppliers,
            .hideShow = hideShow,
            .links = SourceSupplierLink,
            .linkRows = TableSupLink,
            .record = TableMaterial,
            .lookup = TableSupplierSearch},
    });
    m_supplierBrowser = std::make_unique<SupplierBrowser>(
        SupplierBrowser::Controls {
            .suppliers = SourceSupplierName,
            .supplierRows = TableSupplierName,
            .supplierGrid = DBGrid1,
            .searchField = EditSupplierName,
            .materials = {.grid = MaterialGrid2,
                .subPane = TabDetailsMaterial,
                .hideShow = hideShow,
                .links = SourceLink2,
                .linkRows = TableSupLink2,
                .record = TableSupplierName,
                .lookup = TableMaterialSearch},
            .synonyms = {SourceMaterial2, TableSinon2, MemoSynonyms},
        },
        Context);
    m_criteriaMarks = std::make_unique<zil::browser::CriteriaMarks>(
        zil::browser::CriteriaMarks::Controls {SourceMaterial, DBName, synonyms, DBOccurence,
            DBFlavour, DBApplication, SourceMaterial2, DBMaterialName, MemoSynonyms},
        Context);
    m_materialList = std::make_unique<MaterialList>(
        MaterialList::Controls {
            .searchLabel = SearchLabel,
            .searchField = SearchField,
            .grid = MaterialGrid,
            .orderButton = OrderButton,
            .materials = TableMaterial,
            .scan = TableMaterialSelect,
            .lookup = TableMaterialSearch,
            .readWithList = {TableSupplier, TableSupLink, TableSinon},
            .marks = m_criteriaMarks.get(),
        },
        Context);
    m_tabState = std::make_unique<zil::shell::TabState>(
        zil::shell::TabState::Controls {
            .mainNotebook = MainTabNotebook,
            .materialPages = DetailTabNotebook,
            .supplierPages = SuppliersDetailTabNotebook,
            .printButton = PrintButton,
            .orderButton = OrderButton,
            .selectButton = SearchButton,
            .hideShow = hideShow,
            .printMaterialItem = MenuPrintMaterial,
            .printSupplierItem = MenuPrintSupplier,
            .materialSearch = SearchField,
            .supplierSearch = EditSupplierName,
            .supplierLinks = TableSupLink,
            .materialLinks = TableSupLink2,
        },
        zil::shell::TabState::Tabs {*m_materialList, *m_detailPane, *m_supplierBrowser}, Context);
    new CaptionKeysFirst(MainMenu, {SearchLabel, LabelSearchSupplier});
    m_pricesNotes = std::make_unique<zil::shell::PricesNotes>(zil::shell::PricesNotes::Controls {
        .item = MenuPricesNotes,
        .detailPane = m_detailPane.get(),
        .supplierBrowser = m_supplierBrowser.get(),
        .materialPages = DetailTabNotebook,
        .material = SourceMaterial,
        .linkedMaterialPages = TabDetailsMaterial,
        .linkedMaterial = SourceMaterial2,
        .showOnSheet =
            [this](bool shown) {
                if (PrintMaterial)
                    PrintMaterial->setPricesNotes(shown);
                ExportSelection->setPricesNotes(shown);
            },
        .pageInViewChanged = [this] { UpdateTabState(); },
    });
    m_copy = std::make_unique<zil::browser::CopyController>(zil::browser::CopyController::Controls {
        this, MenuCopy, MaterialGrid, TableMaterial, DBGrid1, TableSupplierName});
    m_history = std::make_unique<zil::shell::HistoryWiring>(
        zil::shell::HistoryWiring::Controls {
            .tabState = m_tabState.get(),
            .materialSource = SourceMaterial,
            .supplierSource = SourceSupplierName,
            .mainNotebook = MainTabNotebook,
            .materialGrid = MaterialGrid,
            .supplierGrid = DBGrid1,
            .moveButtons = {FirstButton, PriorButton, NextButton, LastButton},
            .searchFields = {SearchField, EditSupplierName},
            .backItem = MenuBack,
            .forwardItem = MenuForward,
        },
        zil::browser::HistoryWalk::Controls {
            .mainNotebook = MainTabNotebook,
            .materials = TableMaterial,
            .suppliers = TableSupplierName,
            .supplierLookup = TableSupplierSearch,
            .materialSearch = SearchField,
            .materialList = m_materialList.get(),
            .supplierBrowser = m_supplierBrowser.get(),
        });
    FindWindow = new zil::browser::FindWindow(this,
        {.materials = TableMaterialSelect,
            .synonyms = TableSinonSelect,
            .list = m_materialList.get(),
            .showMaterialsTab = [this] {
                if (MainTabNotebook->currentIndex() != 0)
                    SelectMainPage(0);
            }});
    connect(MenuFind, &QAction::triggered, FindWindow, &zil::browser::FindWindow::FindClick);
}

void TMainForm::createMenus()
{
    MainMenu = named(menuBar(), "MainMenu");
    auto item = [this](QMenu *menu, const char *name, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    auto menu = [this](const char *name, const QString &caption) {
        QMenu *m = MainMenu->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };

    File1 = menu("File1", QStringLiteral("&File"));
    ExitMenu = item(File1, "ExitMenu", QStringLiteral("E&xit"));
    ExitMenu->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    EditMenu = menu("EditMenu", QStringLiteral("&Edit"));
    MenuFind = item(EditMenu, "MenuFind", QStringLiteral("&Find..."));
    MenuFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    MenuCopy = item(EditMenu, "MenuCopy", QStringLiteral("&Copy"));
    MenuCopy->setShortcut(QKeySequence::Copy);

    ControlMenu = menu("ControlMenu", QStringLiteral("&View"));
    Materials1 = item(ControlMenu, "Materials1", QStringLiteral("&Materials"));
    Suppliers1 = item(ControlMenu, "Suppliers1", QStringLiteral("&Suppliers"));
    ControlMenu->addSeparator();
    MenuBack = item(ControlMenu, "MenuBack", QStringLiteral("&Back"));
    MenuBack->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    MenuForward = item(ControlMenu, "MenuForward", QStringLiteral("&Forward"));
    MenuForward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    ControlMenu->addSeparator();
    MenuPricesNotes = item(ControlMenu, "MenuPricesNotes", QStringLiteral("&Prices and notes"));

    ReportMenu = menu("ReportMenu", QStringLiteral("&Report"));
    MenuPrintMaterial = item(ReportMenu, "MenuPrintMaterial", QStringLiteral("Print &material"));
    MenuPrintSupplier = item(ReportMenu, "MenuPrintSupplier", QStringLiteral("Print &supplier"));
    MenuPrintSupplier->setEnabled(false);
    // One key prints the sheet of the tab in view: the tab state keeps one
    // of the two items enabled at a time, and a disabled item's key is not
    // taken.
    MenuPrintMaterial->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    MenuPrintSupplier->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));

    HelpMenu = menu("HelpMenu", QStringLiteral("&Help"));
    Contents1 = item(HelpMenu, "Contents1", QStringLiteral("&Contents"));
    Contents1->setShortcut(QKeySequence(Qt::Key_F1));
    Contents1->setShortcutContext(Qt::WindowShortcut);
    N1 = HelpMenu->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    About1 = item(HelpMenu, "About1", QStringLiteral("&About ZIL..."));
}

void TMainForm::createButtonBar(QWidget *parent)
{
    Panel1 = named(new BevelPanel(Bevel::Lowered, Bevel::Raised, parent), "Panel1");
    Panel1->resize(590, 29);

    auto button = [this](const char *name, int x, int width, const QString &caption, Glyph glyph,
                      QWidget *on) {
        auto *b = named(new QPushButton(caption, on ? on : Panel1), name);
        b->setGeometry(x, on ? 0 : 2, width, 25);
        b->setIcon(glyphIcon(glyph));
        b->setIconSize(QSize(16, 16));
        b->setAutoDefault(false);
        return b;
    };
    FirstButton = button("FirstButton", 1, 28, QString(), Glyph::First, nullptr);
    PriorButton = button("PriorButton", 29, 28, QString(), Glyph::Prior, nullptr);
    NextButton = button("NextButton", 57, 28, QString(), Glyph::Next, nullptr);
    LastButton = button("LastButton", 85, 28, QString(), Glyph::Last, nullptr);
    OrderButton
        = button("OrderButton", 120, 110, QStringLiteral("&Order by CAS"), Glyph::Order, nullptr);
    SearchButton
        = button("SearchButton", 230, 75, QStringLiteral("&Select"), Glyph::Select, nullptr);
    PrintButton
        = button("PrintButton", 305, 115, QStringLiteral("&Print Material"), Glyph::Print, nullptr);
    // What each button does and its key, shown when the pointer rests on it;
    // the arrow buttons have no caption to say it. The texts hold on both
    // tabs, so a change of tab or order leaves them as they are.
    FirstButton->setToolTip(QStringLiteral("First in the list"));
    PriorButton->setToolTip(QStringLiteral("Previous in the list"));
    NextButton->setToolTip(QStringLiteral("Next in the list"));
    LastButton->setToolTip(QStringLiteral("Last in the list"));
    OrderButton->setToolTip(QStringLiteral("List the materials by CAS number or by name (Alt+O)"));
    SearchButton->setToolTip(QStringLiteral("Select materials by criteria (Alt+S)"));
    PrintButton->setToolTip(QStringLiteral("Print the sheet of the tab in view (Ctrl+P)"));

    // The two pictures of the Hide/Show button, kept by hidden holders.
    auto holder = [this](const char *name, int x, Glyph glyph) {
        auto *label = named(new QLabel(Panel1), name);
        label->setPixmap(glyphStrip(glyph));
        label->setGeometry(x, 4, 20, 20);
        label->hide();
        return label;
    };
    ShowBmp = holder("ShowBmp", 440, Glyph::Show);
    HideBmp = holder("HideBmp", 464, Glyph::Hide);

    Panel2 = named(new BevelPanel(Bevel::None, Bevel::None, Panel1), "Panel2");
    auto *dock = new DockLayout(Panel1);
    dock->dock(Panel2, DockLayout::Right, 100);
    HideShowButton
        = button("HideShowButton", 0, 100, QStringLiteral("Hide details"), Glyph::Hide, Panel2);
    HideShowButton->setIcon(zil::framework::twoImageIcon(HideBmp->pixmap()));
    HideShowButton->setEnabled(false);
    HideShowButton->setToolTip(QStringLiteral("Hide or show the details under the list"));
}

void TMainForm::createMaterialsPage(QWidget *page)
{
    auto *dock = new DockLayout(page);

    PanelDetail = named(new BevelPanel(Bevel::None, Bevel::None, page), "PanelDetail");
    dock->dock(PanelDetail, DockLayout::Right, 340);
    PanelList = named(new BevelPanel(Bevel::None, Bevel::None, page), "PanelList");
    dock->dock(PanelList, DockLayout::Client);

    auto *list = new DockLayout(PanelList);
    PanelSearch = named(new BevelPanel(Bevel::None, Bevel::None, PanelList), "PanelSearch");
    list->dock(PanelSearch, DockLayout::Top, 35);
    SearchLabel
        = makeLabel(PanelSearch, QStringLiteral("S&earch name:"), 8, 10, false, "SearchLabel");
    SearchField = makeSearchField(PanelSearch, "SearchField");
    SearchLabel->setBuddy(SearchField);

    MaterialGrid = named(new zil::framework::StringGrid(PanelList), "MaterialGrid");
    MaterialGrid->setDefaultRowHeight(18);
    list->dock(MaterialGrid, DockLayout::Client);

    auto *detail = new DockLayout(PanelDetail);
    DetailTabNotebook = named(new QTabWidget(PanelDetail), "DetailTabNotebook");
    detail->dock(DetailTabNotebook, DockLayout::Client);
    createMaterialDetails(addPage(DetailTabNotebook, QStringLiteral("Details")));
    createMaterialSuppliers(addPage(DetailTabNotebook, QStringLiteral("Suppliers")));
    // Designed standing on its second page; start-up turns it to the first.
    DetailTabNotebook->setCurrentIndex(1);
}

void TMainForm::createMaterialDetails(QWidget *page)
{
    makeLabel(page, QStringLiteral("CAS"), 5, 11);
    DBCas = makeField(page, "DBCas", 72, 8, 89);
    makeLabel(page, QStringLiteral("CE"), 170, 11);
    DBCE = makeField(page, "DBCE", 192, 8, 41);
    makeLabel(page, QStringLiteral("FEMA"), 244, 11);
    DBFema = makeField(page, "DBFema", 280, 8, 40);
    makeLabel(page, QStringLiteral("Material"), 5, 36);
    DBName = makeField(page, "DBName", 72, 33, 249);
    makeLabel(page, QStringLiteral("Synonyms"), 5, 61);
    synonyms = makeMemo(page, "synonyms", 72, 58, 249, 47, false);
    LabelOccurence = makeLabel(page, QStringLiteral("Occurrence"), 5, 112, true, "LabelOccurence");
    DBOccurence = makeMemo(page, "DBOccurence", 72, 109, 249, 47, true);
    LabelFlavor = makeLabel(page, QStringLiteral("Flavour"), 5, 163, true, "LabelFlavor");
    DBFlavour = makeMemo(page, "DBFlavour", 72, 160, 249, 47, true);
    LabelApplication
        = makeLabel(page, QStringLiteral("Application"), 5, 214, true, "LabelApplication");
    DBApplication = makeMemo(page, "DBApplication", 72, 211, 249, 47, true);
    LabelLiterature
        = makeLabel(page, QStringLiteral("Literature"), 5, 265, true, "LabelLiterature");
    DBLiterature = makeMemo(page, "DBLiterature", 72, 262, 249, 47, true);
}

namespace {

// One captioned field of an address block.
struct AddressRow
{
    const char *caption;
    const char *name;
    int y;
    QLineEdit *TMainForm::*field;
};

} // namespace

void TMainForm::createMaterialSuppliers(QWidget *page)
{
    auto *dock = new DockLayout(page);
    TabDetailsSuppliers = named(new QTabWidget(page), "TabDetailsSuppliers");
    dock->dock(TabDetailsSuppliers, DockLayout::Bottom, 165);
    SupplierGrid = makeDataGrid(page, "SupplierGrid");
    dock->dock(SupplierGrid, DockLayout::Client);

    QWidget *details = addPage(TabDetailsSuppliers, QStringLiteral("Details"));
    const AddressRow rows[] = {
        {"Supplier", "DBSupplierName", 4, &TMainForm::DBSupplierName},
        {"Address", "DBAddress", 31, &TMainForm::DBAddress},
        {"City", "DBCity", 58, &TMainForm::DBCity},
        {"Country", "DBCountry", 84, &TMainForm::DBCountry},
        {"Phone", "DBPhone", 111, &TMainForm::DBPhone},
    };
    for (const AddressRow &r : rows) {
        makeLabel(details, QString::fromLatin1(r.caption), 6, r.y + 3);
        this->*r.field = makeField(details, r.name, 64, r.y, 249);
    }
}

void TMainForm::createSuppliersPage(QWidget *page)
{
    auto *dock = new DockLayout(page);
    SuppliersDetailTabNotebook = named(new QTabWidget(page), "SuppliersDetailTabNotebook");
    dock->dock(SuppliersDetailTabNotebook, DockLayout::Right, 340);
    PanelSuppliersList
        = named(new BevelPanel(Bevel::None, Bevel::None, page), "PanelSuppliersList");
    dock->dock(PanelSuppliersList, DockLayout::Client);

    auto *list = new DockLayout(PanelSuppliersList);
    auto *strip = new BevelPanel(Bevel::None, Bevel::None, PanelSuppliersList);
    list->dock(strip, DockLayout::Top, 35);
    LabelSearchSupplier
        = makeLabel(strip, QStringLiteral("S&earch name:"), 8, 10, false, "LabelSearchSupplier");
    EditSupplierName = makeSearchField(strip, "EditSupplierName");
    LabelSearchSupplier->setBuddy(EditSupplierName);
    DBGrid1 = makeDataGrid(PanelSuppliersList, "DBGrid1");
    list->dock(DBGrid1, DockLayout::Client);

    // Page "Details": the supplier's address.
    QWidget *details = addPage(SuppliersDetailTabNotebook, QStringLiteral("Details"));
    const AddressRow rows[] = {
        {"Name", "DBEditName", 23, &TMainForm::DBEditName},
        {"Address", "DBEditAddress", 85, &TMainForm::DBEditAddress},
        {"City", "DBEditCity", 147, &TMainForm::DBEditCity},
        {"Country", "DbEditCountry", 209, &TMainForm::DbEditCountry},
        {"Phone", "DBEditPhone", 271, &TMainForm::DBEditPhone},
    };
    for (const AddressRow &r : rows) {
        makeRightLabel(details, QString::fromLatin1(r.caption), 63, r.y + 3);
        this->*r.field = makeField(details, r.name, 72, r.y, 245);
    }

    // Page "Materials": what the supplier offers, with the picked material.
    QWidget *materials = addPage(SuppliersDetailTabNotebook, QStringLiteral("Materials"));
    auto *pageDock = new DockLayout(materials);
    TabDetailsMaterial = named(new QTabWidget(materials), "TabDetailsMaterial");
    pageDock->dock(TabDetailsMaterial, DockLayout::Bottom, 149);
    MaterialGrid2 = makeDataGrid(materials, "MaterialGrid2");
    pageDock->dock(MaterialGrid2, DockLayout::Client);

    QWidget *material = addPage(TabDetailsMaterial, QStringLiteral("Details"));
    makeLabel(material, QStringLiteral("CAS"), 5, 11);
    DBMaterialCAS = makeField(material, "DBMaterialCAS", 70, 8, 89);
    makeLabel(material, QStringLiteral("CE"), 167, 11);
    DBMaterialCE = makeField(material, "DBMaterialCE", 186, 8, 40);
    makeLabel(material, QStringLiteral("FEMA"), 237, 11);
    DBMaterialFEMA = makeField(material, "DBMaterialFEMA", 272, 8, 40);
    makeLabel(material, QStringLiteral("Name"), 5, 40);
    DBMaterialName = makeField(material, "DBMaterialName", 70, 37, 242);
    makeLabel(material, QStringLiteral("Synonyms"), 5, 69);
    MemoSynonyms = makeMemo(material, "MemoSynonyms", 71, 66, 242, 47, false);

    // Designed standing on its second page; start-up turns it to the first.
    SuppliersDetailTabNotebook->setCurrentIndex(1);
}

void TMainForm::createCursors()
{
    namespace store = zil::store;
    MainData = named(new store::Database(this), "MainData");
    MainData->setDatabaseName(QStringLiteral("ZIL"));

    const auto &defs = zil::schema::mainCursors();
    QHash<QString, store::Table *> tables;
    QHash<QString, store::DataSource *> sources;
    for (const zil::schema::CursorDef &def : defs) {
        auto *table = new store::Table(this);
        table->setObjectName(def.name);
        table->setDatabaseName(MainData->databaseName());
        table->setTableName(def.tableName);
        table->setIndexName(def.indexName);
        table->setReadOnly(def.readOnly);
        tables.insert(def.name, table);
        if (!def.dataSource.isEmpty()) {
            auto *source = new store::DataSource(this);
            source->setObjectName(def.dataSource);
            source->setDataSet(table);
            sources.insert(def.dataSource, source);
        }
    }
    // Links are made once every data source exists: a detail may be declared
    // before its master.
    for (const zil::schema::CursorDef &def : defs) {
        if (def.masterSource.isEmpty())
            continue;
        store::Table *table = tables.value(def.name);
        store::DataSource *master = sources.value(def.masterSource);
        if (!master)
            qFatal("Cursor %s names the unknown data source %s", qPrintable(def.name),
                qPrintable(def.masterSource));
        table->setMasterSource(master);
        table->setMasterFields(def.masterFields);
        table->setIndexFieldNames(def.indexFieldNames);
    }

    auto table = [&tables](const char *name) {
        store::Table *t = tables.value(QString::fromLatin1(name));
        if (!t)
            qFatal("The main window's cursor %s is not defined", name);
        return t;
    };
    auto source = [&sources](const char *name) {
        store::DataSource *s = sources.value(QString::fromLatin1(name));
        if (!s)
            qFatal("The main window's data source %s is not defined", name);
        return s;
    };
    TableSupplier = table("TableSupplier");
    TableSupLink = table("TableSupLink");
    TableSinon = table("TableSinon");
    TableSinon2 = table("TableSinon2");
    TableMaterial = table("TableMaterial");
    TableSupLink2 = table("TableSupLink2");
    TableSupplierName = table("TableSupplierName");
    TableSupplierSearch = table("TableSupplierSearch");
    TableMaterialSearch = table("TableMaterialSearch");
    TableMaterial2 = table("TableMaterial2");
    TableSinonSelect = table("TableSinonSelect");
    TableMaterialSelect = table("TableMaterialSelect");
    SourceSupplier = source("SourceSupplier");
    SourceSupplierLink = source("SourceSupplierLink");
    SourceMaterial = source("SourceMaterial");
    SourceSupplierName = source("SourceSupplierName");
    SourceLink2 = source("SourceLink2");
    SourceMaterial2 = source("SourceMaterial2");
    SourceMaterialSelect = source("SourceMaterialSelect");
}

void TMainForm::FormCreate()
{
    EventsEnabled = true;
    HelpFileName.clear();

    // The growth is measured from the design size.
    resize(590, 450);
    Sizer = std::make_unique<TSizerData>();
    Sizer->Init(this);
    Sizer->AddControl(SearchField, 0, 0, 0.5, 0);
    Sizer->AddControl(EditSupplierName, 0, 0, 0.5, 0);
    Sizer->AddControl(PanelDetail, 0, 0, 0.5, 0);
    Sizer->AddControl(DBFema, 0, 0, 0.5, 0);
    Sizer->AddControl(DBName, 0, 0, 0.5, 0);
    Sizer->AddControl(synonyms, 0, 0, 0.5, 0.2);
    Sizer->AddControl(LabelOccurence, 0, 0.2, 0, 0);
    Sizer->AddControl(DBOccurence, 0, 0.2, 0.5, 0.2);
    Sizer->AddControl(LabelFlavor, 0, 0.4, 0, 0);
    Sizer->AddControl(DBFlavour, 0, 0.4, 0.5, 0.2);
    Sizer->AddControl(LabelApplication, 0, 0.6, 0, 0);
    Sizer->AddControl(DBApplication, 0, 0.6, 0.5, 0.2);
    Sizer->AddControl(LabelLiterature, 0, 0.8, 0, 0);
    Sizer->AddControl(DBLiterature, 0, 0.8, 0.5, 0.2);
    Sizer->AddControl(DBSupplierName, 0, 0, 0.5, 0);
    Sizer->AddControl(DBAddress, 0, 0, 0.5, 0);
    Sizer->AddControl(DBCity, 0, 0, 0.5, 0);
    Sizer->AddControl(DBCountry, 0, 0, 0.5, 0);
    Sizer->AddControl(DBPhone, 0, 0, 0.5, 0);
    Sizer->AddControl(SuppliersDetailTabNotebook, 0, 0, 0.5, 0);
    Sizer->AddControl(DBEditName, 0, 0, 0.5, 0);
    Sizer->AddControl(DBEditAddress, 0, 0, 0.5, 0);
    Sizer->AddControl(DBEditCity, 0, 0, 0.5, 0);
    Sizer->AddControl(DbEditCountry, 0, 0, 0.5, 0);
    Sizer->AddControl(DBEditPhone, 0, 0, 0.5, 0);
    Sizer->AddControl(DBMaterialName, 0, 0, 0.5, 0);
    Sizer->AddControl(MemoSynonyms, 0, 0, 0.5, 0);
    Sizer->AddControl(DBMaterialFEMA, 0, 0, 0.5, 0);
}

void TMainForm::FormResize()
{
    if (Sizer)
        Sizer->Apply();
}

void TMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TMainForm::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (!RestoreWindowPlace())
            zil::framework::centreOnScreen(this);
    }
    QMainWindow::showEvent(event);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    RememberUserState();
    event->accept();
    QCoreApplication::exit(0);
}

void TMainForm::ExitMenuClick()
{
    close();
}

void TMainForm::About1Click()
{
    if (AboutBox)
        AboutBox->exec();
}

void TMainForm::Contents1Click()
{
    zil::platform::openHelp(this, HelpFileName);
}
