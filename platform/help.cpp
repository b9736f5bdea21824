#include "help.h"

#include "files.h"
#include "messagebox.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QScrollBar>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace zil::platform {

namespace {

QString notFoundText(const QString &path)
{
    return QStringLiteral("The help file was not found:\n%1").arg(QDir::toNativeSeparators(path));
}

} // namespace

HelpWindow::HelpWindow(QWidget *owner)
    : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("ZIL Help"));

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links are followed here rather than by the browser, which would try to
    // show a web address as a page of its own.
    m_browser->setOpenLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);

    auto *tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("HelpToolBar"));
    m_back = tools->addAction(QStringLiteral("&Back"));
    m_back->setObjectName(QStringLiteral("HelpBack"));
    m_back->setShortcut(QKeySequence::Back);
    m_back->setShortcutContext(Qt::WindowShortcut);
    m_back->setToolTip(QStringLiteral("Back to the page shown before (%1)")
                           .arg(m_back->shortcut().toString(QKeySequence::NativeText)));
    m_back->setEnabled(false);
    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);

    auto *close = new QAction(this);
    close->setObjectName(QStringLiteral("HelpClose"));
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(m_browser);
    resize(640, 520);
}

void HelpWindow::showFile(const QString &path)
{
    const QUrl url = QUrl::fromLocalFile(path);
    // The file is read again even when it is the page on view: it may have
    // been replaced since.
    if (m_browser->source() == url)
        m_browser->reload();
    else
        m_browser->setSource(url);
    // Clearing the history also disables Back.
    m_browser->clearHistory();
    m_browser->verticalScrollBar()->setValue(0);
    m_browser->horizontalScrollBar()->setValue(0);
    if (!isVisible())
        placeOnOwner();
    show();
    raise();
    activateWindow();
}

void HelpWindow::followLink(const QUrl &link)
{
    const QUrl target = m_browser->source().resolved(link);
    if (!target.isLocalFile()) {
        QDesktopServices::openUrl(target);
        return;
    }
    if (!isRegularFile(target.toLocalFile(), true)) {
        showError(this, notFoundText(target.toLocalFile()));
        return;
    }
    m_browser->setSource(target);
}

// Placed by the program itself, not left to a window manager that may not be
// there: centred on the owner, kept on the owner's screen.
void HelpWindow::placeOnOwner()
{
    QWidget *owner = parentWidget();
    QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    // A window not yet shown knows nothing of its frame; it gets the frame
    // its owner has.
    const auto frameMargins = [](const QWidget *w) {
        const QRect inner = w->geometry(), outer = w->frameGeometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
            outer.right() - inner.right(), outer.bottom() - inner.bottom());
    };
    QMargins margins;
    if (isVisible())
        margins = frameMargins(this);
    else if (owner && owner->isVisible())
        margins = frameMargins(owner);
    if (available.isValid())
        resize(size().boundedTo(available.size().shrunkBy(margins)));
    QRect frame(QPoint(0, 0), size().grownBy(margins));
    frame.moveCenter(owner ? owner->frameGeometry().center() : available.center());
    if (available.isValid()) {
        frame.moveLeft(std::max(
            available.left(), std::min(frame.left(), available.right() - frame.width() + 1)));
        frame.moveTop(std::max(
            available.top(), std::min(frame.top(), available.bottom() - frame.height() + 1)));
    }
    // A window's position is that of its frame.
    move(frame.topLeft());
}

bool openHelp(QWidget *owner, const QString &helpFile)
{
    if (helpFile.isEmpty())
        return false;
    const QString path = QFileInfo(helpFile).absoluteFilePath();
    // Only a regular file is read: a FIFO or a device named as the help file
    // would block the program while the browser reads it.
    if (!isRegularFile(path, true)) {
        showError(owner, notFoundText(path));
        return false;
    }
    auto *window = owner
        ? owner->findChild<HelpWindow *>(QStringLiteral("HelpWindow"), Qt::FindDirectChildrenOnly)
        : nullptr;
    if (!window) {
        window = new HelpWindow(owner);
        // Without an owner nothing else would delete it.
        if (!owner)
            window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->showFile(path);
    return true;
}

} // namespace zil::platform
