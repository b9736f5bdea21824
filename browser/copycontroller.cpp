#include "copycontroller.h"

#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "store/field.h"
#include "store/table.h"

#include <QAbstractItemView>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

namespace zil::browser {

namespace {

QAction *menuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

// A non-empty text replaces the clipboard's; an empty one leaves it, so that
// a copy with nothing to copy loses nothing the user copied before.
void toClipboard(const QString &text)
{
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

// One field of a line: its tabs and line breaks become blanks.
QString oneLine(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

bool hasRecord(store::Table *table)
{
    return table && table->active() && !table->isEmpty();
}

} // namespace

CopyController::CopyController(const Controls &controls)
    : m_c(controls)
{
    // The menus are the lists' children and live as long as they do; they
    // pop up without a loop of their own.
    m_materialMenu = new QMenu(m_c.materialGrid);
    m_materialMenu->setObjectName(QStringLiteral("MaterialListMenu"));
    m_copyName = menuItem(m_materialMenu, "MenuCopyName", QStringLiteral("Copy name"));
    QObject::connect(m_copyName, &QAction::triggered, m_materialMenu, [this] { CopyName(); });
    m_copyCas = menuItem(m_materialMenu, "MenuCopyCas", QStringLiteral("Copy CAS number"));
    QObject::connect(m_copyCas, &QAction::triggered, m_materialMenu, [this] { CopyCasNumber(); });
    QObject::connect(menuItem(m_materialMenu, "MenuCopyLine", QStringLiteral("Copy line")),
        &QAction::triggered, m_materialMenu, [this] { CopyLine(); });
    m_c.materialGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(m_c.materialGrid, &QWidget::customContextMenuRequested, m_materialMenu,
        [this](const QPoint &pos) { showMaterialMenu(pos); });

    m_supplierMenu = new QMenu(m_c.supplierGrid);
    m_supplierMenu->setObjectName(QStringLiteral("SupplierListMenu"));
    QObject::connect(menuItem(m_supplierMenu, "MenuCopyAddress", QStringLiteral("Copy address")),
        &QAction::triggered, m_supplierMenu, [this] { CopyAddress(); });
    m_c.supplierGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(m_c.supplierGrid, &QWidget::customContextMenuRequested, m_supplierMenu,
        [this](const QPoint &pos) { showSupplierMenu(pos); });

    QObject::connect(
        m_c.copyItem, &QAction::triggered, m_c.materialGrid, [this] { CopyFocused(); });
}

void CopyController::showMaterialMenu(const QPoint &pos)
{
    // The row pointed at becomes current, as a click would make it. A
    // scrolled list reports the place in its viewport.
    framework::StringGrid &grid = *m_c.materialGrid;
    const QModelIndex index = grid.indexAt(pos);
    if (index.isValid())
        grid.setRow(index.row() + 1);
    // An entry with nothing to copy is offered disabled: chosen, it would
    // leave the clipboard holding something else.
    m_copyName->setEnabled(!materialField("name").isEmpty());
    m_copyCas->setEnabled(!materialField("cas").isEmpty());
    m_materialMenu->popup(grid.viewport()->mapToGlobal(pos));
}

void CopyController::showSupplierMenu(const QPoint &pos)
{
    framework::DataGrid &grid = *m_c.supplierGrid;
    const QModelIndex index = grid.indexAt(pos);
    if (index.isValid())
        grid.setCurrentIndex(index);
    m_supplierMenu->popup(grid.viewport()->mapToGlobal(pos));
}

void CopyController::CopyFocused()
{
    // The item may be chosen from the menu bar, so the window's focused
    // control is asked, not the application's.
    QWidget *focused = m_c.window->focusWidget();
    if (focused == m_c.materialGrid)
        CopyLine();
    else if (focused == m_c.supplierGrid)
        CopyAddress();
    else if (auto *view = qobject_cast<QAbstractItemView *>(focused))
        // Any other list copies the text of its current cell, as it would
        // on its own had the menu item not taken the keys.
        toClipboard(view->currentIndex().data(Qt::DisplayRole).toString());
    else if (auto *field = qobject_cast<QLineEdit *>(focused))
        field->copy();
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(focused))
        memo->copy();
}

QString CopyController::materialField(const char *field) const
{
    if (!hasRecord(m_c.material))
        return QString();
    return m_c.material->fieldByName(QString::fromLatin1(field)).asString();
}

void CopyController::CopyName()
{
    toClipboard(materialField("name"));
}

void CopyController::CopyCasNumber()
{
    toClipboard(materialField("cas"));
}

void CopyController::CopyLine()
{
    toClipboard(MaterialLine());
}

void CopyController::CopyAddress()
{
    toClipboard(SupplierAddress());
}

QString CopyController::MaterialLine() const
{
    if (!hasRecord(m_c.material))
        return QString();
    QStringList fields;
    for (const char *field : {"name", "cas", "fema", "ce"})
        fields << oneLine(materialField(field));
    return fields.join(QLatin1Char('\t'));
}

QString CopyController::SupplierAddress() const
{
    if (!hasRecord(m_c.supplier))
        return QString();
    QStringList lines;
    for (const char *field : {"name", "address", "city", "country"}) {
        const QString line
            = m_c.supplier->fieldByName(QString::fromLatin1(field)).asString().trimmed();
        if (!line.isEmpty())
            lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace zil::browser
