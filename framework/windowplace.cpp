#include "windowplace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zil::framework {

void centreOnScreen(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize outer = window->frameGeometry().size();
    window->move(area.left() + (area.width() - outer.width()) / 2,
        area.top() + (area.height() - outer.height()) / 2);
}

} // namespace zil::framework
