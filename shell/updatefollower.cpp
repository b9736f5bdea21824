#include "updatefollower.h"

#include "platform/messagebox.h"
#include "store/dbupdate.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace zil::shell {

UpdateFollower::UpdateFollower(QWidget *window, QString directory, std::function<bool()> takeUp)
    : m_window(window)
    , m_directory(std::move(directory))
    , m_takeUp(std::move(takeUp))
{
    m_retry.setInterval(1000);
    connect(&m_retry, &QTimer::timeout, this, [this] { follow(0); });
    qApp->installEventFilter(this);
}

bool UpdateFollower::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        check();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        // A click made before the lists were made anew, or the notice or a
        // message came up, would land on what the user did not see: it goes.
        if (check())
            return true;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool UpdateFollower::check()
{
    return !m_following && store::databaseChanged(m_directory)
        && follow(m_retry.isActive() ? 0 : kWaitMs);
}

UpdateFollower::~UpdateFollower()
{
    delete m_notice;
}

void UpdateFollower::request()
{
    if (m_requested)
        return;
    m_requested = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_requested = false;
            follow(m_retry.isActive() ? 0 : kWaitMs);
        },
        Qt::QueuedConnection);
}

void UpdateFollower::showNotice()
{
    if (!m_notice) {
        // Borderless above the main window, like the index window: nothing
        // processes window events while a follow waits, so it is painted at
        // once.
        m_notice = new QFrame(m_window, Qt::Tool | Qt::FramelessWindowHint);
        m_notice->setObjectName(QStringLiteral("ChangeNotice"));
        static_cast<QFrame *>(m_notice)->setFrameStyle(QFrame::Box | QFrame::Raised);
        auto *layout = new QVBoxLayout(m_notice);
        auto *label = new QLabel(
            QStringLiteral("The database is being changed by another program, please wait..."),
            m_notice);
        label->setObjectName(QStringLiteral("ChangeNoticeLabel"));
        layout->addWidget(label);
        m_notice->adjustSize();
    }
    const QRect frame = m_window->frameGeometry();
    m_notice->move(frame.left() + (frame.width() - m_notice->width()) / 2,
        frame.top() + (frame.height() - m_notice->height()) / 2);
    m_notice->show();
    m_notice->raise();
    // The window system maps the notice before it can be painted; input
    // waits until the follow has ended.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_notice->repaint();
}

void UpdateFollower::setChanging(bool changing)
{
    if (changing) {
        if (m_title.isEmpty()) {
            m_title = m_window->windowTitle();
            m_window->setWindowTitle(m_title + QStringLiteral(" - the database is being changed"));
        }
        if (!m_retry.isActive())
            m_retry.start();
        return;
    }
    m_retry.stop();
    if (!m_title.isEmpty()) {
        m_window->setWindowTitle(m_title);
        m_title.clear();
    }
}

bool UpdateFollower::follow(int waitMs)
{
    // A message shown below runs events of its own, whose inputs check again.
    if (m_following)
        return false;
    m_following = true;
    const auto done = qScopeGuard([this] { m_following = false; });
    bool waited = false;
    const auto waiting = [&] {
        waited = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        showNotice();
    };
    const store::NewDatabase found = store::awaitNewDatabase(m_directory, waitMs, waiting);
    if (waited) {
        m_notice->hide();
        QApplication::restoreOverrideCursor();
    }
    switch (found.outcome) {
    case store::NewDatabase::Outcome::InUse:
        setChanging(false);
        m_told.clear();
        break;
    case store::NewDatabase::Outcome::Ready:
        setChanging(false);
        m_told.clear();
        return m_takeUp() || waited;
    case store::NewDatabase::Outcome::Changing:
        setChanging(true);
        break;
    case store::NewDatabase::Outcome::Refused:
        setChanging(true);
        if (found.reason != m_told) {
            m_told = found.reason;
            platform::showWarning(m_window,
                QStringLiteral("The database was changed by another program and cannot be "
                               "used as it is now:\n%1\nZIL takes it up once it is whole.")
                    .arg(found.reason));
            return true;
        }
        break;
    }
    return waited;
}

} // namespace zil::shell
