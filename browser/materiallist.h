// The material list of the main window: its order, caption and search field
// state, search as you type, its moves for the navigation buttons, the
// drawing, row selection and scrolling of the material grid, and the list the
// criteria dialog asks for.
#pragma once

#include "listcontext.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QRect;

namespace zil::framework {
class StringGrid;
struct GridDrawState;
} // namespace zil::framework
namespace zil::store {
class Table;
}

namespace zil::browser {

class CriteriaMarks;

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
        // The materials as the database holds them; their count tells the
        // whole list from a selection.
        store::Table *materials = nullptr;
        // The cursor the list looks materials up on, by name, CAS or id.
        store::Table *scan = nullptr;
        // A cursor of its own on MATERIAL.DB, on which a material is looked
        // up by id or name without moving the list.
        store::Table *lookup = nullptr;
        // The other tables of the database, read afresh with the list when
        // every material is listed again.
        QList<store::Table *> readWithList;
        // The marks of the criteria in the detail panes, which follow each
        // selection.
        CriteriaMarks *marks = nullptr;
    };

    // The window's event map ties the controls' events to the list's
    // reactions.
    MaterialList(const Controls &controls, std::shared_ptr<ListContext> context);
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
    // Narrows the list by the criteria dialog's criteria, or lists every
    // material again; the criteria marks follow.
    void ApplySelection();
    void RestoreAll();
    // Lists every material of a new database taken up; false when there is
    // no list to make (no database open).
    bool FollowNewDatabase();

    // Makes the material with id current when the list holds it, else the
    // first of the list, and keeps the current row in view; 0 names none.
    void ShowLinkedMaterial(qint32 id);
    // Makes the material called name, which id named when it was picked,
    // current in the list, bringing back every material first when the
    // selection leaves it out. Should that list be of a database taken up
    // meanwhile, the material is found there by its name. The id shown, or
    // none when id no longer names it and no material of that name is found.
    std::optional<qint32> Reveal(qint32 id, const QString &name);

    // Whether id names the material called name in the database in use.
    bool Names(qint32 id, const QString &name) const;
    // The sort key of the material that id names, when it is called name;
    // empty otherwise.
    QString SortKeyOf(qint32 id, const QString &name) const;
    // The id of the material called name, whose sort key is key.
    std::optional<qint32> IdByName(const QString &name, const QString &key) const;

private:
    Controls m_c;
    const std::shared_ptr<ListContext> m_context;
};

} // namespace zil::browser
