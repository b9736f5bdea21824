// The Find window: a field and a list of the materials whose name, synonyms
// or CAS, FEMA or CE number match what is typed there, searched as the user
// types. Enter or a double click makes the material found the current one of
// the material list, bringing back the full list first when the material lies
// outside the current selection.
#pragma once

#include "findindex.h"

#include <QDialog>
#include <QFont>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QModelIndex;
class QTreeView;

namespace zil::store {
class Table;
}

namespace zil::browser {

class MaterialList;
class FindResultModel;

class FindWindow : public QDialog
{
    Q_OBJECT
public:
    // The most materials listed at once; a last line counts the others.
    static constexpr int kMaxRows = 200;

    struct Shared
    {
        // The cursors on MATERIAL.DB and SYNON.DB whose tables the search
        // data are read from.
        store::Table *materials = nullptr;
        store::Table *synonyms = nullptr;
        // The material list, in which a material found is opened.
        MaterialList *list = nullptr;
        // Brings the Materials tab into view.
        std::function<void()> showMaterialsTab;
    };

    FindWindow(QWidget *parent, Shared shared);
    ~FindWindow() override;

    // Shows the window centred on the main window, with the focus in its
    // field and the text left there selected.
    void FindClick();
    // Lists the materials matching the field's text: the first kMaxRows of
    // them, or every one once ShowAll asked for it, until the text changes.
    void Search();
    // Lists every material found for the text in the field.
    void ShowAll();
    // Makes the material of a row of the list current on the Materials tab,
    // then closes the window; false when the row names no material or the
    // database changed since the list was made (the list is made anew).
    bool OpenRow(int row);
    // The search data are read again at the next search.
    void DatabaseChanged();

    const FindIndex &index() const { return m_index; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeOverParent();
    bool ensureIndex();
    // Makes the list anew after a change of database and says so.
    void searchedAgain();
    void showResult(FindResult result, bool searched);
    // Fits the columns the user has not sized to the list shown.
    void fitColumns();

    Shared m_shared;
    FindIndex m_index;
    QLineEdit *m_field = nullptr;
    QTreeView *m_results = nullptr;
    FindResultModel *m_model = nullptr;
    // The line under the list telling of a list searched again.
    QLabel *m_status = nullptr;
    // Lists every material found, when the list leaves some out.
    QPushButton *m_showAll = nullptr;
    // The most materials listed for the text in the field.
    int m_limit = kMaxRows;
    // The columns whose width the user has set, which are not fitted again.
    bool m_sizedByUser[4] = {false, false, false, false};
    bool m_fitting = false;
    // The widths of the characters of the first pages of Unicode in the
    // list's font, measured as they are met (-1 until then).
    std::array<qint16, 0x0800> m_charWidths {};
    std::optional<QFont> m_charWidthsFont;
    // Set when the search data could not be read, until the database changes.
    bool m_buildFailed = false;
};

} // namespace zil::browser
