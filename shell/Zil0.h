// The main window: the button bar, the two-tab notebook with the material list
// and detail pane on one tab and the supplier browser on the other, the menus,
// the database connection with the window's cursors, and the proportional
// layout that adapts the detail panes to the window's size. The window builds
// its controls and cursors and hands them to the controllers of the material
// list, the detail pane, the supplier browser and the tab state; each of its
// reactions passes on to the controller it belongs to.
#pragma once

#include "browser/listcontext.h"
#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "store/finddatawriter.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

class TAboutBox;
class TGaugeWindow;
class TLogoDialog;
class TSearchClass;
class TSearchWindow;
class TSizerData;

// Printing (reports/).
class TPrintMaterial;
class TPrintSupplier;
namespace zil::platform {
class PrintDialog;
}
namespace zil::reports {
class SelectionExport;
}

namespace zil::browser {
class CopyController;
class CriteriaMarks;
class DetailPane;
class FindWindow;
class MaterialList;
class SupplierBrowser;
} // namespace zil::browser
namespace zil::framework {
class BevelPanel;
class TransientNotice;
} // namespace zil::framework
namespace zil::shell {
class HistoryWiring;
class PricesNotes;
class TabState;
class UpdateFollower;
} // namespace zil::shell
namespace zil::store {
class Database;
class DataSource;
class Table;
} // namespace zil::store

class TMainForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // Start-up, settings and the opening of the database.
    bool StartUp();
    void ReadSettings();
    bool OpenDatabase();

    // The material list.
    void SetListOrder(const QString &order);
    void UpdateSearchEnabled();
    void UpdateListCaption();
    void MaterialGridDrawCell(
        QPainter &canvas, int col, int row, const QRect &rect, zil::framework::GridDrawState state);
    void MaterialGridSelectCell(int col, int row, bool &canSelect);
    void MaterialGridTopLeftChanged();
    void SearchFieldChange();
    void SearchMaterial();
    void OrderButtonClick();
    void ToggleOrder();
    void FirstButtonClick();
    void PriorButtonClick();
    void NextButtonClick();
    void LastButtonClick();
    // Moves the list of the tab in view: "first", "prior", "next" or "last".
    void Navigate(const QString &word);
    void NavigateMaterials(const QString &word);
    void NavigateSuppliers(const QString &word);
    // The "&Select" button: the criteria dialog, then the list it asks for.
    void SearchButtonClick();
    // After the criteria dialog: narrow the list by the criteria, or bring
    // back every material; the current material stays current when it can.
    void ApplySelection();
    void RestoreAll();
    // Lists all materials of the database anew once another program has
    // replaced its tables by a new database, whole and checked, as
    // RestoreAll does.
    void FollowNewDatabase();
    // Before an input of the user: when another program has changed the
    // tables, the new database is waited for and taken up first.
    void CheckDatabase();

    // Sets the fields, then registers the controls with the proportional
    // layout while the window has its design size.
    void FormCreate();
    // Re-places the registered controls for the window's size.
    void FormResize();
    void bindDataFields();

    void ExitMenuClick();
    void About1Click();
    void Contents1Click();

    // The material detail pane: synonyms and the counted title of the
    // supplier list at each change of material, supplier names in the list,
    // the supplier sub-pane and the Hide/Show button.
    void SourceMaterialDataChange();
    void UpdateMaterialDetails();
    static QString CountText(qint32 count, const QString &noun, const QString &pluralSuffix);
    void SupplierGridDrawDataCell(
        QPainter &canvas, const QRect &rect, const zil::framework::CellField &field);
    void DrawSupplierName(
        QPainter &canvas, const QRect &rect, const zil::framework::CellField &field);
    void ToggleSupplierDetails();
    void SupplierGridDblClick();
    void HideShowButtonClick();
    void DetailClick();

    // The supplier browser, and the tab switch that keeps the two tabs in
    // step.
    void EditSupplierNameChange();
    void FindSupplierName();
    void SourceSupplierNameDataChange();
    void MaterialGrid2DrawDataCell(
        QPainter &canvas, const QRect &rect, const zil::framework::CellField &field);
    void DrawMaterialName(
        QPainter &canvas, const QRect &rect, const zil::framework::CellField &field);
    void SourceMaterial2DataChange();
    void UpdateLinkedSynonyms();
    void ToggleMaterialDetails();
    void MaterialGrid2DblClick();
    void MainTabNotebookClick(int page);
    void Materials1Click();
    void Suppliers1Click();
    void SelectMainPage(int page);
    void UpdateTabState();

    // Printing, in shell/printdispatch.cpp: the button and the Report menu
    // print the sheet of the tab in view; the Report menu also saves it as a
    // PDF file. The two report holders are created by start-up.
    void createPrintDispatch();
    void PrintCurrent();
    void PrintButtonClick();
    void MenuPrintMaterialClick();
    void MenuPrintSupplierClick();
    void MenuSavePdfClick();
    zil::platform::PrintDialog *MainPrintDialog = nullptr;
    TPrintMaterial *PrintMaterial = nullptr;
    TPrintSupplier *PrintSupplier = nullptr;
    QAction *MenuSavePdf = nullptr;
    // The Report menu's export of the material list as CSV or PDF.
    zil::reports::SelectionExport *ExportSelection = nullptr;
    // Set while a new database waits for the running export to end.
    bool m_followAfterExport = false;
    // Says for a few seconds where a sheet or an export was saved.
    zil::framework::TransientNotice *SavedNotice = nullptr;

    // Writes Find's search data file when the start or a new database finds
    // it wanting, while the window is in use.
    zil::store::FindDataWriter SearchDataWriter;

    // Back and Forward, in shell/historywiring.cpp.
    QAction *MenuBack = nullptr;
    QAction *MenuForward = nullptr;
    const zil::shell::HistoryWiring &history() const { return *m_history; }

    // The View menu's "&Prices and notes"; shell/pricesnotes.h shows what it
    // shows.
    QAction *MenuPricesNotes = nullptr;

    // What is kept for the user between runs, in shell/userstate.cpp: the
    // Hide/Show states and whether prices and notes are shown, given back
    // when the window is made; its size and
    // place, given back when it is first shown (false when none is kept or
    // it lies off every screen); all of them kept when it closes.
    void RestorePaneStates();
    bool RestoreWindowPlace();
    void RememberUserState();

    // What the window's controllers share, held once; the fields below that
    // they share are its parts, under their names in the window.
    const std::shared_ptr<zil::browser::ListContext> Context
        = std::make_shared<zil::browser::ListContext>();
    QString &ProgramDir = Context->ProgramDir;
    QString &ProgramBaseName = Context->ProgramBaseName;
    QString &DatabasePath = Context->DatabasePath;
    // The places a settings file was looked for, the one read (empty when
    // none held one), and whether it named a database directory; start-up's
    // failure message says which was tried.
    QStringList SettingsPlaces;
    QString SettingsFileName;
    bool DatabasePathNamed = false;
    QString &HelpFileName = Context->HelpFileName;
    bool &EventsEnabled = Context->EventsEnabled;
    qint32 &MaterialCount = Context->MaterialCount;
    // The proportional layout, made by FormCreate.
    std::unique_ptr<TSizerData> Sizer;

    // Made by start-up when the database opens.
    std::unique_ptr<TSearchClass> &SearchClass = Context->SearchClass;
    // The program's other windows; start-up creates them as the window's
    // children.
    TLogoDialog *LogoDialog = nullptr;
    TAboutBox *AboutBox = nullptr;
    TGaugeWindow *GaugeWindow = nullptr;
    TSearchWindow *&SearchWindow = Context->SearchWindow;
    class TIndexForm *IndexForm = nullptr;
    QWidget *SizerWindow = nullptr;
    // Finds materials by name, synonym or number; made with the controllers.
    zil::browser::FindWindow *FindWindow = nullptr;

    // Menus.
    QMenuBar *MainMenu = nullptr;
    QMenu *File1 = nullptr;
    QAction *ExitMenu = nullptr;
    QMenu *EditMenu = nullptr;
    QAction *MenuCopy = nullptr;
    QAction *MenuFind = nullptr;
    QMenu *ControlMenu = nullptr;
    QAction *Materials1 = nullptr;
    QAction *Suppliers1 = nullptr;
    QMenu *ReportMenu = nullptr;
    QAction *MenuPrintMaterial = nullptr;
    QAction *MenuPrintSupplier = nullptr;
    QMenu *HelpMenu = nullptr;
    QAction *Contents1 = nullptr;
    QAction *N1 = nullptr;
    QAction *About1 = nullptr;

    // Button bar.
    zil::framework::BevelPanel *Panel1 = nullptr;
    QPushButton *FirstButton = nullptr;
    QPushButton *PriorButton = nullptr;
    QPushButton *NextButton = nullptr;
    QPushButton *LastButton = nullptr;
    QPushButton *OrderButton = nullptr;
    QPushButton *SearchButton = nullptr;
    QPushButton *PrintButton = nullptr;
    zil::framework::BevelPanel *Panel2 = nullptr;
    QPushButton *HideShowButton = nullptr;
    QLabel *ShowBmp = nullptr;
    QLabel *HideBmp = nullptr;

    QTabWidget *MainTabNotebook = nullptr;

    // Materials tab: the list.
    zil::framework::BevelPanel *PanelList = nullptr;
    zil::framework::BevelPanel *PanelSearch = nullptr;
    QLabel *SearchLabel = nullptr;
    QLineEdit *SearchField = nullptr;
    zil::framework::StringGrid *MaterialGrid = nullptr;

    // Materials tab: the detail pane, page "Details".
    zil::framework::BevelPanel *PanelDetail = nullptr;
    QTabWidget *DetailTabNotebook = nullptr;
    QLineEdit *DBCas = nullptr;
    QLineEdit *DBCE = nullptr;
    QLineEdit *DBFema = nullptr;
    QLineEdit *DBName = nullptr;
    QPlainTextEdit *synonyms = nullptr;
    QLabel *LabelOccurence = nullptr;
    QPlainTextEdit *DBOccurence = nullptr;
    QLabel *LabelFlavor = nullptr;
    QPlainTextEdit *DBFlavour = nullptr;
    QLabel *LabelApplication = nullptr;
    QPlainTextEdit *DBApplication = nullptr;
    QLabel *LabelLiterature = nullptr;
    QPlainTextEdit *DBLiterature = nullptr;

    // Materials tab: the detail pane, page "Suppliers".
    zil::framework::DataGrid *SupplierGrid = nullptr;
    QTabWidget *TabDetailsSuppliers = nullptr;
    QLineEdit *DBSupplierName = nullptr;
    QLineEdit *DBAddress = nullptr;
    QLineEdit *DBCity = nullptr;
    QLineEdit *DBCountry = nullptr;
    QLineEdit *DBPhone = nullptr;

    // Suppliers tab.
    zil::framework::BevelPanel *PanelSuppliersList = nullptr;
    QLabel *LabelSearchSupplier = nullptr;
    QLineEdit *EditSupplierName = nullptr;
    zil::framework::DataGrid *DBGrid1 = nullptr;
    QTabWidget *SuppliersDetailTabNotebook = nullptr;
    QLineEdit *DBEditName = nullptr;
    QLineEdit *DBEditAddress = nullptr;
    QLineEdit *DBEditCity = nullptr;
    QLineEdit *DbEditCountry = nullptr;
    QLineEdit *DBEditPhone = nullptr;
    zil::framework::DataGrid *MaterialGrid2 = nullptr;
    QTabWidget *TabDetailsMaterial = nullptr;
    QLineEdit *DBMaterialCAS = nullptr;
    QLineEdit *DBMaterialCE = nullptr;
    QLineEdit *DBMaterialFEMA = nullptr;
    QLineEdit *DBMaterialName = nullptr;
    QPlainTextEdit *MemoSynonyms = nullptr;

    // The database connection "ZIL", the cursors and their data sources.
    zil::store::Database *MainData = nullptr;
    zil::store::Table *TableSupplier = nullptr;
    zil::store::Table *TableSupLink = nullptr;
    zil::store::Table *TableSinon = nullptr;
    zil::store::Table *TableSinon2 = nullptr;
    zil::store::Table *TableMaterial = nullptr;
    zil::store::Table *TableSupLink2 = nullptr;
    zil::store::Table *TableSupplierName = nullptr;
    zil::store::Table *TableSupplierSearch = nullptr;
    zil::store::Table *TableMaterialSearch = nullptr;
    zil::store::Table *TableMaterial2 = nullptr;
    zil::store::Table *TableSinonSelect = nullptr;
    zil::store::Table *TableMaterialSelect = nullptr;
    zil::store::DataSource *SourceSupplier = nullptr;
    zil::store::DataSource *SourceSupplierLink = nullptr;
    zil::store::DataSource *SourceMaterial = nullptr;
    zil::store::DataSource *SourceSupplierName = nullptr;
    zil::store::DataSource *SourceLink2 = nullptr;
    zil::store::DataSource *SourceMaterial2 = nullptr;
    zil::store::DataSource *SourceMaterialSelect = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Closing the window ends the program; nothing is asked.
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenus();
    void createButtonBar(QWidget *parent);
    void createMaterialsPage(QWidget *page);
    void createMaterialDetails(QWidget *page);
    void createMaterialSuppliers(QWidget *page);
    void createSuppliersPage(QWidget *page);
    void createCursors();
    // Ties each control's events to the window's named reactions, in
    // shell/reactions.cpp.
    void connectReactions();
    // Hands the controls and cursors to the controllers; before the cursors
    // open, whose first notices they receive.
    void createControllers();

    std::unique_ptr<zil::browser::DetailPane> m_detailPane;
    std::unique_ptr<zil::browser::SupplierBrowser> m_supplierBrowser;
    std::unique_ptr<zil::browser::MaterialList> m_materialList;
    std::unique_ptr<zil::shell::TabState> m_tabState;
    std::unique_ptr<zil::browser::CriteriaMarks> m_criteriaMarks;
    std::unique_ptr<zil::browser::CopyController> m_copy;
    std::unique_ptr<zil::shell::HistoryWiring> m_history;
    std::unique_ptr<zil::shell::UpdateFollower> m_updates;
    std::unique_ptr<zil::shell::PricesNotes> m_pricesNotes;
    bool m_placed = false;
};
