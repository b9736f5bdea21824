#include "messagebox.h"

#include <QMessageBox>

namespace zil::platform {

namespace {

MessageBoxHook &hook()
{
    static MessageBoxHook h;
    return h;
}

void show(QWidget *parent, MessageKind kind, const QString &text)
{
    const QString title
        = kind == MessageKind::Error ? QStringLiteral("Error") : QStringLiteral("Warning");
    const QString shown = messageText(text);
    if (hook()) {
        hook()(kind, title, shown);
        return;
    }
    QMessageBox box(kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::Warning,
        title, shown, QMessageBox::Ok, parent);
    // Messages may quote names from the database; they are never markup.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

} // namespace

QString messageText(const QString &text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

void showError(QWidget *parent, const QString &text)
{
    show(parent, MessageKind::Error, text);
}

void showWarning(QWidget *parent, const QString &text)
{
    show(parent, MessageKind::Warning, text);
}

void setMessageBoxHook(MessageBoxHook h)
{
    hook() = std::move(h);
}

} // namespace zil::platform
