#include "focus.h"

#include <QLabel>
#include <QMenuBar>
#include <QShortcutEvent>

namespace zil::framework {

CaptionKeysFirst::CaptionKeysFirst(QMenuBar *bar, QList<QLabel *> captions)
    : QObject(bar)
    , m_captions(std::move(captions))
{
    bar->installEventFilter(this);
}

bool CaptionKeysFirst::eventFilter(QObject *, QEvent *event)
{
    if (event->type() != QEvent::Shortcut)
        return false;
    const QKeySequence key = static_cast<QShortcutEvent *>(event)->key();
    for (QLabel *caption : std::as_const(m_captions)) {
        if (caption->isVisible() && caption->isEnabled() && caption->buddy()
            && QKeySequence::mnemonic(caption->text()) == key) {
            caption->buddy()->setFocus(Qt::ShortcutFocusReason);
            return true;
        }
    }
    return false;
}

void DetailField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    deselect();
}

} // namespace zil::framework
