#include "notice.h"

#include <QEvent>
#include <QFontMetrics>
#include <QStringList>

namespace zil::framework {

namespace {

// The space kept between the notice and the window's edges.
constexpr int kEdge = 8;

} // namespace

TransientNotice::TransientNotice(QWidget *window)
    : QLabel(window)
{
    setTextFormat(Qt::PlainText);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setMargin(6);
    // The colours of a tooltip, which people know to be a passing note.
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);
    hide();
    m_timer.setSingleShot(true);
    m_timer.setInterval(kShownMs);
    connect(&m_timer, &QTimer::timeout, this, &QWidget::hide);
    window->installEventFilter(this);
}

void TransientNotice::showMessage(const QString &text)
{
    m_message = text;
    place();
    show();
    raise();
    m_timer.start();
}

bool TransientNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && !isHidden())
        place();
    return QLabel::eventFilter(watched, event);
}

void TransientNotice::place()
{
    const QWidget *window = parentWidget();
    const int room = window->width() - 2 * kEdge;
    const int frame = 2 * (margin() + frameWidth());
    const QFontMetrics metrics(font());
    QStringList lines = m_message.split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = metrics.elidedText(line, Qt::ElideMiddle, room - frame);
    setText(lines.join(QLatin1Char('\n')));
    const QSize size = sizeHint().boundedTo(QSize(room, window->height()));
    setGeometry((window->width() - size.width()) / 2, window->height() - size.height() - kEdge,
        size.width(), size.height());
}

} // namespace zil::framework
