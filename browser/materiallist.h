// The material list of the main window: its order, caption and search field
// state, search as you type, its moves for the navigation buttons, the
// drawing, row selection and scrolling of the material grid, and the list the
// criteria dialog asks for.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QRect;
class TSearchClass;
class TSearchWindow;

namespace zil::framework {
class StringGrid;
struct GridDrawState;
} // namespace zil::framework
namespace zil::store {
class Table;
}

namespace zil::browser {

class MaterialList
{
public:
    // The controls and cursors the list works on; the window owns them.
    struct Controls
    {
        QLabel *searchLabel = nullptr;
        QLineEdit *searchField = nullptr;
        framework::StringGrid *grid = nullptr;
        QPushButton *orderButton = nullptr;
        QPushButton *selectButton = nullptr;
        // The materials as the database holds them; their count tells the
        // whole list from a selection.
        store::Table *materials = nullptr;
        // The cursor the list looks materials up on, by name, CAS or id.
        store::Table *scan = nullptr;
        // The other tables of the database, read afresh with the list when
        // every material is listed again.
        QList<store::Table *> readWithList;
    };

    // What the list shares with the window that holds it.
    struct Shared
    {
        // Cleared while the program itself changes a search field.
        bool &eventsEnabled;
        qint32 &materialCount;
        // The selection set, made when the database opens.
        const std::unique_ptr<TSearchClass> &searchClass;
        // The criteria dialog, made at start-up.
        TSearchWindow *const &searchWindow;
        const QString &databasePath;
        // Once a new database is listed: the other search field's text finds
        // its item in it.
        std::function<void()> searchAgainElsewhere;
    };

    // Connects the controls to the list's reactions.
    MaterialList(const Controls &controls, Shared shared);
    Q_DISABLE_COPY_MOVE(MaterialList)

    void SetListOrder(const QString &order);
    void UpdateSearchEnabled();
    void UpdateListCaption();
    void MaterialGridDrawCell(
        QPainter &canvas, int col, int row, const QRect &rect, framework::GridDrawState state);
    void MaterialGridSelectCell(int col, int row, bool &canSelect);
    void MaterialGridTopLeftChanged();
    void SearchMaterial();
    void OrderButtonClick();
    void ToggleOrder();
    void NavigateMaterials(const QString &word);
    void SearchButtonClick();
    void ApplySelection();
    void RestoreAll();
    void FollowNewDatabase();

    // Makes the material with id current when the list holds it, else the
    // first of the list, and keeps the current row in view; 0 names none.
    void ShowLinkedMaterial(qint32 id);

private:
    Controls m_c;
    Shared m_shared;
};

} // namespace zil::browser
