#include "tabstate.h"

#include "browser/detailpane.h"
#include "browser/materiallist.h"
#include "browser/supplierbrowser.h"
#include "framework/notebook.h"
#include "store/table.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

namespace zil::shell {

TabState::TabState(const Controls &controls, Tabs tabs, bool &eventsEnabled)
    : m_c(controls)
    , m_tabs(tabs)
    , m_eventsEnabled(eventsEnabled)
{
    QObject::connect(m_c.hideShow.button, &QPushButton::clicked, m_c.hideShow.button,
        [this] { HideShowButtonClick(); });
    framework::onUserPageChange(m_c.materialPages, [this](int) { DetailClick(); });
    framework::onUserPageChange(m_c.supplierPages, [this](int) { DetailClick(); });
    framework::onUserPageChange(m_c.mainNotebook, [this](int page) { MainTabNotebookClick(page); });
    QObject::connect(m_c.showMaterialsItem, &QAction::triggered, m_c.showMaterialsItem,
        [this] { Materials1Click(); });
    QObject::connect(m_c.showSuppliersItem, &QAction::triggered, m_c.showSuppliersItem,
        [this] { Suppliers1Click(); });
    const std::pair<QPushButton *, QLatin1String> moves[] = {
        {m_c.firstButton, QLatin1String("first")},
        {m_c.priorButton, QLatin1String("prior")},
        {m_c.nextButton, QLatin1String("next")},
        {m_c.lastButton, QLatin1String("last")},
    };
    for (const auto &[button, word] : moves)
        QObject::connect(
            button, &QPushButton::clicked, button, [this, word = word] { Navigate(word); });
}

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
    const bool events = m_eventsEnabled;
    m_eventsEnabled = false;
    m_c.materialSearch->clear();
    m_c.supplierSearch->clear();
    m_eventsEnabled = events;
    UpdateTabState();
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

    if (m_eventsEnabled && materials && !m_c.materialLinks->eof()) {
        // The material picked in the supplier's list, if the list holds it.
        // A link to a material that does not exist is not in the list either.
        qint32 id = 0;
        m_c.materialLinks->fieldByName(QStringLiteral("materialid")).asId(id);
        m_tabs.materials.ShowLinkedMaterial(id);
    } else if (m_eventsEnabled && !materials && !m_c.supplierLinks->eof()) {
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
    m_eventsEnabled = false;
    UpdateTabState();
    m_eventsEnabled = true;
}

} // namespace zil::shell
