#include "pricesnotes.h"

#include "browser/detailpane.h"
#include "browser/supplierbrowser.h"
#include "framework/databinding.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>

namespace zil::shell {

PricesNotes::PricesNotes(const Controls &controls)
    : m_c(controls)
{
    m_c.item->setCheckable(true);
    m_c.item->setChecked(false);
    QObject::connect(m_c.item, &QAction::toggled, m_c.item, [this](bool on) { setShown(on); });
}

PricesNotes::~PricesNotes() = default;

void PricesNotes::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    if (m_c.item->isChecked() != shown)
        m_c.item->setChecked(shown);
    m_c.detailPane->ShowPrices(shown);
    m_c.supplierBrowser->ShowCasNumbers(shown);
    if (m_c.showOnSheet)
        m_c.showOnSheet(shown);
    if (shown) {
        m_materialPage = addNotesPage(m_c.materialPages, m_c.material, "DBNotes");
        m_linkedMaterialPage
            = addNotesPage(m_c.linkedMaterialPages, m_c.linkedMaterial, "MemoNotes");
    } else {
        const bool materialPage = removePage(m_c.materialPages, m_materialPage);
        const bool linkedPage = removePage(m_c.linkedMaterialPages, m_linkedMaterialPage);
        if ((materialPage || linkedPage) && m_c.pageInViewChanged)
            m_c.pageInViewChanged();
    }
}

QWidget *PricesNotes::addNotesPage(QTabWidget *pages, store::DataSource *source, const char *name)
{
    auto *page = new QWidget;
    page->setObjectName(QString::fromLatin1(name) + QStringLiteral("Page"));
    auto *memo = new QPlainTextEdit(page);
    memo->setObjectName(QString::fromLatin1(name));
    memo->setReadOnly(true);
    memo->setTabChangesFocus(true);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The memo fills the page, a few pixels in from its frame as the fields
    // of the other pages stand.
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(memo);
    framework::bindMemo(memo, source, QStringLiteral("notes"));
    pages->addTab(page, QStringLiteral("Notes"));
    return page;
}

bool PricesNotes::removePage(QTabWidget *pages, QPointer<QWidget> &page)
{
    if (!page)
        return false;
    const bool inView = pages->currentWidget() == page;
    if (inView)
        pages->setCurrentIndex(0);
    delete page.data();
    return inView;
}

} // namespace zil::shell
