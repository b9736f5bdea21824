// The View menu's "&Prices and notes", off until the user turns it on and
// kept for the user between runs. While it is on, the material's supplier
// list shows each supplier's price and comment after its name, the
// supplier's material list the CAS numbers before the names, both detail
// panes a page "Notes" with the material's notes, and the material sheet and
// its CSV export the notes and prices. While it is off, none of these is
// made: the window is the window without it, and costs nothing more.
#pragma once

#include <QPointer>
#include <QString>
#include <functional>

class QAction;
class QTabWidget;
class QWidget;

namespace zil::browser {
class DetailPane;
class SupplierBrowser;
} // namespace zil::browser
namespace zil::store {
class DataSource;
}

namespace zil::shell {

class PricesNotes
{
public:
    // The controls the item changes; the window owns them.
    struct Controls
    {
        QAction *item = nullptr;
        browser::DetailPane *detailPane = nullptr;
        browser::SupplierBrowser *supplierBrowser = nullptr;
        // The detail notebook of the Materials tab, over the current material.
        QTabWidget *materialPages = nullptr;
        store::DataSource *material = nullptr;
        // The sub-pane of the supplier's materials, over the material picked.
        QTabWidget *linkedMaterialPages = nullptr;
        store::DataSource *linkedMaterial = nullptr;
        // Tells the material sheet and the exports whether to print them.
        std::function<void(bool shown)> showOnSheet;
        // Called after a page in view went and the first page took its
        // place, so that what follows the page in view (the Hide/Show
        // button) follows.
        std::function<void()> pageInViewChanged;
    };

    // Ties the item, checkable and unchecked, to show() and hide().
    explicit PricesNotes(const Controls &controls);
    ~PricesNotes();
    PricesNotes(const PricesNotes &) = delete;
    PricesNotes &operator=(const PricesNotes &) = delete;

    void setShown(bool shown);
    bool shown() const { return m_shown; }

private:
    // A page "Notes" at the end of pages with a memo bound to the notes of
    // the record of source; the memo is named name.
    static QWidget *addNotesPage(QTabWidget *pages, store::DataSource *source, const char *name);
    // Takes the page away; the first page is shown if it was in view, and
    // then true.
    static bool removePage(QTabWidget *pages, QPointer<QWidget> &page);

    Controls m_c;
    bool m_shown = false;
    QPointer<QWidget> m_materialPage;
    QPointer<QWidget> m_linkedMaterialPage;
};

} // namespace zil::shell
