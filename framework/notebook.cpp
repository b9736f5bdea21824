#include "notebook.h"

#include <QEvent>
#include <QTabBar>
#include <QTabWidget>

namespace zil::framework {

namespace {

// Delivers the notebook's and its tab bar's input events itself, so that it
// knows which page changes happen while one of them is handled.
class UserPageWatcher : public QObject
{
public:
    UserPageWatcher(QTabWidget *notebook, std::function<void(int)> reaction)
        : QObject(notebook)
        , m_reaction(std::move(reaction))
    {
        notebook->installEventFilter(this);
        notebook->tabBar()->installEventFilter(this);
        connect(notebook, &QTabWidget::currentChanged, this, [this](int page) {
            if (m_inInput > 0 && m_reaction)
                m_reaction(page);
        });
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::Shortcut:
        case QEvent::Wheel: {
            ++m_inInput;
            struct Leave
            {
                int &depth;
                ~Leave() { --depth; }
            } leave {m_inInput};
            // The watched object's own handling, now inside the input event;
            // the event is not delivered a second time.
            return watched->event(event);
        }
        default:
            return false;
        }
    }

private:
    std::function<void(int)> m_reaction;
    int m_inInput = 0;
};

} // namespace

void onUserPageChange(QTabWidget *notebook, std::function<void(int)> reaction)
{
    new UserPageWatcher(notebook, std::move(reaction));
}

} // namespace zil::framework
