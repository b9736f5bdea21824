#include "tabstate.h"

#include "browser/detailpane.h"
#include "browser/materiallist.h"
#include "browser/supplierbrowser.h"
#include "store/table.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace zil::shell {

TabState::TabState(
    const Controls &controls, Tabs tabs, std::shared_ptr<browser::ListContext> context)
    : m_c(controls)
    , m_tabs(tabs)
    , m_context(std::move(context))
{ }

bool TabState::materialsInView() const
{
    return m_c.mainNotebook->currentIndex() == 0;
}

void TabState::MainTabNotebookClick(int page)
{
    SelectMainPage(page);
}

void TabState::Materials1Click()
{
    SelectMainPage(0);
}

void TabState::Suppliers1Click()
{
    SelectMainPage(1);
}

void TabState::SelectMainPage(int page)
{
    m_c.mainNotebook->setCurrentIndex(page);
    // Both search fields start empty on the tab entered. They are emptied
    // with the change reactions held back: a search with the empty text would
    // move the lists to their first items before the cross-positioning below
    // brings the tab entered to what was picked on the other tab.
    {
        const browser::HeldEvents held(*m_context);
        m_c.materialSearch->clear();
        m_c.supplierSearch->clear();
    }
    UpdateTabState();
}

void TabState::SelectPageWithoutFollowing(int page)
{
    const browser::HeldEvents held(*m_context);
    SelectMainPage(page);
}

void TabState::UpdateTabState()
{
    const bool materials = materialsInView();
    m_c.printButton->setText(
        materials ? QStringLiteral("&Print Material") : QStringLiteral("&Print Supplier"));
    m_c.printMaterialItem->setEnabled(materials);
    m_c.printSupplierItem->setEnabled(!materials);
    m_c.hideShow.button->setEnabled(
        (materials ? m_c.materialPages : m_c.supplierPages)->currentIndex() == 1);

    if (m_context->EventsEnabled && materials && !m_c.materialLinks->eof()) {
        // The material picked in the supplier's list, if the list holds it.
        // A link to a material that does not exist is not in the list either.
        qint32 id = 0;
        m_c.materialLinks->fieldByName(QStringLiteral("materialid")).asId(id);
        m_tabs.materials.ShowLinkedMaterial(id);
    } else if (m_context->EventsEnabled && !materials && !m_c.supplierLinks->eof()) {
        // The supplier picked in the material's list; the list stays where
        // it was when there is no such supplier.
        qint32 id = 0;
        if (m_c.supplierLinks->fieldByName(QStringLiteral("supplierid")).asId(id))
            m_tabs.suppliers.ShowSupplier(id);
    }

    browser::showHideShowState(m_c.hideShow,
        materials ? m_tabs.details.SupplierDetailsShown()
                  : m_tabs.suppliers.MaterialDetailsShown());
    m_c.orderButton->setEnabled(materials);
    m_c.selectButton->setEnabled(materials);
}

void TabState::Navigate(const QString &word)
{
    if (materialsInView())
        m_tabs.materials.NavigateMaterials(word);
    else
        m_tabs.suppliers.NavigateSuppliers(word);
}

void TabState::HideShowButtonClick()
{
    if (materialsInView())
        m_tabs.details.ToggleSupplierDetails();
    else
        m_tabs.suppliers.ToggleMaterialDetails();
}

void TabState::DetailClick()
{
    // Only the button bar follows the page; no list moves.
    const browser::HeldEvents held(*m_context);
    UpdateTabState();
}

} // namespace zil::shell
