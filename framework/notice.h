// A short message shown over the bottom edge of a window for a few seconds,
// which then goes by itself: it needs no click, takes neither the keyboard
// nor the mouse, and lets clicks through to what lies beneath it.
#pragma once

#include <QLabel>
#include <QString>
#include <QTimer>

namespace zil::framework {

class TransientNotice : public QLabel
{
    Q_OBJECT
public:
    // How long a message stays.
    static constexpr int kShownMs = 6000;

    // A child of window, hidden until a message is shown.
    explicit TransientNotice(QWidget *window);

    // Shows text, of one line or more, for kShownMs; a message shown
    // meanwhile takes its place. A line wider than the window is shortened
    // in its middle.
    void showMessage(const QString &text);
    // The whole text of the message shown, empty when none is.
    QString message() const { return isHidden() ? QString() : m_message; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QString m_message;
    QTimer m_timer;
};

} // namespace zil::framework
