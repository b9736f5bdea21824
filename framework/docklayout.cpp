#include "docklayout.h"

#include <QEvent>
#include <QWidget>

namespace zil::framework {

DockLayout::DockLayout(QWidget *parent)
    : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
}

DockLayout::~DockLayout()
{
    for (const Entry &e : m_entries)
        delete e.item;
}

void DockLayout::dock(QWidget *widget, Align align, int extent)
{
    addChildWidget(widget);
    if (align == Top || align == Bottom)
        widget->resize(widget->width(), extent);
    else if (align == Right)
        widget->resize(extent, widget->height());
    if (align != Client)
        widget->installEventFilter(this);
    m_entries.push_back({new QWidgetItem(widget), align});
    invalidate();
}

void DockLayout::addItem(QLayoutItem *item)
{
    m_entries.push_back({item, Client});
}

int DockLayout::count() const
{
    return int(m_entries.size());
}

QLayoutItem *DockLayout::itemAt(int index) const
{
    return index >= 0 && index < count() ? m_entries[size_t(index)].item : nullptr;
}

QLayoutItem *DockLayout::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem *item = m_entries[size_t(index)].item;
    if (QWidget *w = item->widget())
        w->removeEventFilter(this);
    m_entries.erase(m_entries.begin() + index);
    return item;
}

QSize DockLayout::sizeHint() const
{
    return QSize(0, 0);
}

QSize DockLayout::minimumSize() const
{
    return QSize(0, 0);
}

Qt::Orientations DockLayout::expandingDirections() const
{
    return Qt::Horizontal | Qt::Vertical;
}

void DockLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    place(rect);
}

bool DockLayout::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_placing && (event->type() == QEvent::Resize || event->type() == QEvent::Move)) {
        if (QWidget *parent = parentWidget())
            place(parent->contentsRect());
    }
    return QLayout::eventFilter(watched, event);
}

void DockLayout::place(const QRect &rect)
{
    m_placing = true;
    QRect free = rect.marginsRemoved(contentsMargins());
    for (Align align : {Top, Bottom, Right, Client}) {
        for (const Entry &e : m_entries) {
            QWidget *w = e.item->widget();
            if (e.align != align || !w || e.item->isEmpty())
                continue;
            switch (align) {
            case Top:
                w->setGeometry(free.left(), free.top(), free.width(), w->height());
                free.setTop(free.top() + w->height());
                break;
            case Bottom:
                w->setGeometry(
                    free.left(), free.bottom() + 1 - w->height(), free.width(), w->height());
                free.setBottom(free.bottom() - w->height());
                break;
            case Right:
                w->setGeometry(
                    free.right() + 1 - w->width(), free.top(), w->width(), free.height());
                free.setRight(free.right() - w->width());
                break;
            case Client:
                w->setGeometry(free);
                break;
            }
        }
    }
    m_placing = false;
}

} // namespace zil::framework
