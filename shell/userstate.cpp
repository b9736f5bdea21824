// What the main window keeps for the user between runs: its size and place,
// the Hide/Show state of the two detail sub-panes, and whether prices and
// notes are shown. They are taken when
// the window closes and given back when it is made and first shown.
#include "Zil0.h"

#include "browser/detailpane.h"
#include "browser/linkedlists.h"
#include "browser/supplierbrowser.h"
#include "framework/usersettings.h"
#include "shell/pricesnotes.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

using zil::framework::UserSettings;

void TMainForm::RestorePaneStates()
{
    const UserSettings settings;
    if (settings.pricesNotesShown().value_or(false))
        m_pricesNotes->setShown(true);
    const auto supplierDetails = settings.paneShown(TabDetailsSuppliers->objectName());
    if (supplierDetails && *supplierDetails != m_detailPane->SupplierDetailsShown())
        m_detailPane->ToggleSupplierDetails();
    const auto materialDetails = settings.paneShown(TabDetailsMaterial->objectName());
    if (materialDetails && *materialDetails != m_supplierBrowser->MaterialDetailsShown())
        m_supplierBrowser->ToggleMaterialDetails();
    // Each toggle sets the button for its own pane; it shows the state of the
    // pane of the tab in view.
    zil::browser::showHideShowState({HideShowButton, ShowBmp, HideBmp},
        MainTabNotebook->currentIndex() == 0 ? m_detailPane->SupplierDetailsShown()
                                             : m_supplierBrowser->MaterialDetailsShown());
}

bool TMainForm::RestoreWindowPlace()
{
    const auto place = UserSettings().windowPlace();
    if (!place)
        return false;
    QSize size = place->size.expandedTo(minimumSize());
    QPoint position = place->position;
    const QSize border = frameGeometry().size() - this->size();
    const QRect frame(position, size + border);
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    // A place on a screen no longer there would leave the window out of
    // reach: it then starts as a first run does.
    if (!zil::framework::reachable(frame, screens))
        return false;
    // A window kept from a larger screen would reach past this one, its
    // borders and buttons out of sight: it is made to fit the screen that
    // holds its top edge, and moved onto it.
    const QRect topEdge(frame.left(), frame.top(), frame.width(), 1);
    QRect home;
    for (const QRect &screen : std::as_const(screens)) {
        if ((topEdge & screen).width() > (topEdge & home).width())
            home = screen;
    }
    const QSize room = home.size() - border;
    if (size.width() > room.width()) {
        size.setWidth(std::max(room.width(), minimumWidth()));
        position.setX(home.left());
    }
    if (size.height() > room.height()) {
        size.setHeight(std::max(room.height(), minimumHeight()));
        position.setY(home.top());
    }
    resize(size);
    move(position);
    if (place->maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    return true;
}

void TMainForm::RememberUserState()
{
    UserSettings settings;
    // A window never shown has no place of its own to keep.
    if (m_placed) {
        UserSettings::WindowPlace place;
        place.maximized = isMaximized();
        if (isMaximized() || isMinimized()) {
            // The place it goes back to when restored.
            const QRect normal = normalGeometry();
            place.position = normal.topLeft() - (geometry().topLeft() - pos());
            place.size = normal.size();
        } else {
            place.position = pos();
            place.size = size();
        }
        settings.setWindowPlace(place);
    }
    settings.setPaneShown(TabDetailsSuppliers->objectName(), m_detailPane->SupplierDetailsShown());
    settings.setPaneShown(
        TabDetailsMaterial->objectName(), m_supplierBrowser->MaterialDetailsShown());
    settings.setPricesNotesShown(m_pricesNotes->shown());
}
