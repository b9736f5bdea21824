// Copying to the clipboard: the current material as one line of its name and
// numbers, its name or CAS number alone, and a supplier's name and address;
// "&Copy" and Ctrl+C copy what the focused control holds.
#pragma once

#include <QString>

class QAction;
class QMenu;
class QPoint;
class QWidget;

namespace zil::framework {
class DataGrid;
class StringGrid;
} // namespace zil::framework
namespace zil::store {
class Table;
}

namespace zil::browser {

class CopyController
{
public:
    // The controls and cursors copied from; the window owns them.
    struct Controls
    {
        // The window whose focused control "&Copy" acts on.
        QWidget *window = nullptr;
        // The "&Copy" item of the Edit menu.
        QAction *copyItem = nullptr;
        // The material list and the cursor on its current material.
        framework::StringGrid *materialGrid = nullptr;
        store::Table *material = nullptr;
        // The supplier list and the cursor on its current supplier.
        framework::DataGrid *supplierGrid = nullptr;
        store::Table *supplier = nullptr;
    };

    // Connects "&Copy" and gives both lists their context menus.
    explicit CopyController(const Controls &controls);
    Q_DISABLE_COPY_MOVE(CopyController)

    // "&Copy": the current material's line from the material list, the
    // selected text from a text field; nothing from other controls.
    void CopyFocused();
    void CopyName();
    void CopyCasNumber();
    void CopyLine();
    void CopyAddress();

    // Name, CAS, FEMA and CE of the current material, tab-separated; a tab or
    // line break inside a field becomes a blank so that the line stays one
    // line of four fields. Empty without a current material.
    QString MaterialLine() const;
    // The current supplier's name, address, city and country, one to a line,
    // empty ones left out.
    QString SupplierAddress() const;

private:
    QString materialField(const char *field) const;
    void showMaterialMenu(const QPoint &pos);
    void showSupplierMenu(const QPoint &pos);

    Controls m_c;
    QMenu *m_materialMenu = nullptr;
    QAction *m_copyName = nullptr;
    QAction *m_copyCas = nullptr;
    QMenu *m_supplierMenu = nullptr;
};

} // namespace zil::browser
