// The state of the main window's two tabs: the tab in view and the page of
// its detail notebook set the button bar, the Report menu and the Hide/Show
// button, and the navigation buttons move its list; a tab switch, by its tab
// or by the View menu, brings the entered tab's list to the item last picked
// on the other tab.
#pragma once

#include "browser/linkedlists.h"
#include "browser/listcontext.h"

#include <QString>
#include <memory>

class QAction;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace zil::browser {
class DetailPane;
class MaterialList;
class SupplierBrowser;
} // namespace zil::browser
namespace zil::store {
class Table;
}

namespace zil::shell {

class TabState
{
public:
    // The controls and cursors the tab state works on; the window owns them.
    struct Controls
    {
        QTabWidget *mainNotebook = nullptr;
        // The detail notebooks of the two tabs; their second page holds the
        // list whose sub-pane the Hide/Show button hides and shows.
        QTabWidget *materialPages = nullptr;
        QTabWidget *supplierPages = nullptr;
        QPushButton *printButton = nullptr;
        QPushButton *orderButton = nullptr;
        QPushButton *selectButton = nullptr;
        browser::HideShowButton hideShow;
        QAction *printMaterialItem = nullptr;
        QAction *printSupplierItem = nullptr;
        // The search fields of the two tabs, emptied at a tab switch.
        QLineEdit *materialSearch = nullptr;
        QLineEdit *supplierSearch = nullptr;
        // The supplier picked in the material's list and the material picked
        // in the supplier's list.
        store::Table *supplierLinks = nullptr;
        store::Table *materialLinks = nullptr;
    };

    // The subsystems of the two tabs whose lists a switch moves.
    struct Tabs
    {
        browser::MaterialList &materials;
        browser::DetailPane &details;
        browser::SupplierBrowser &suppliers;
    };

    // The window's event map ties the notebooks, the View menu, the
    // navigation buttons and the Hide/Show button to the tab state.
    TabState(const Controls &controls, Tabs tabs, std::shared_ptr<browser::ListContext> context);
    Q_DISABLE_COPY_MOVE(TabState)

    void MainTabNotebookClick(int page);
    void Materials1Click();
    void Suppliers1Click();
    void SelectMainPage(int page);
    // Switches to page as SelectMainPage does, without bringing its list to
    // the item picked on the other tab.
    void SelectPageWithoutFollowing(int page);
    void UpdateTabState();
    // Moves the list of the tab in view: "first", "prior", "next" or "last".
    void Navigate(const QString &word);
    void HideShowButtonClick();
    void DetailClick();

private:
    bool materialsInView() const;

    Controls m_c;
    Tabs m_tabs;
    const std::shared_ptr<browser::ListContext> m_context;
};

} // namespace zil::shell
