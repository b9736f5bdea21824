// How controls take the keyboard focus where Qt's own way differs from the
// classic controls': captions whose accelerator a menu title shares, and
// read-only fields that do not select their text.
#pragma once

#include <QLineEdit>
#include <QList>
#include <QObject>

class QLabel;
class QMenuBar;

namespace zil::framework {

// Gives the captions' accelerator keys precedence over the menu bar's. When a
// menu title underlines the same letter as a caption, the menu bar takes the
// key first and opens the menu; with this filter on the bar, the key moves the
// focus to the buddy of the caption in view (visible and enabled), and opens
// the menu only when no such caption holds it. It is a child of the bar.
class CaptionKeysFirst : public QObject
{
public:
    CaptionKeysFirst(QMenuBar *bar, QList<QLabel *> captions);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QLabel *> m_captions;
};

// A read-only one-line field; taking the focus does not select its text.
class DetailField : public QLineEdit
{
public:
    using QLineEdit::QLineEdit;

protected:
    void focusInEvent(QFocusEvent *event) override;
};

} // namespace zil::framework
