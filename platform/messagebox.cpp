#include "messagebox.h"

#include "environment.h"

#include <QFile>
#include <QMessageBox>

namespace zil::platform {

namespace {

MessageBoxHook &hook()
{
    static MessageBoxHook h;
    return h;
}

QuestionHook &questionHook()
{
    static QuestionHook h;
    return h;
}

// With ZIL_MESSAGE_LOG naming a file, a box is not shown: its message is
// appended to that file as one line "Title: text", each line break of the
// text written as a backslash and an "n", and the box counts as answered
// with its OK button. This lets a script or a test drive a running program
// that has no one to click its boxes.
bool logAndAnswer(const QString &title, const QString &shown)
{
    const QString path = programEnvironment().messageLog;
    if (path.isEmpty())
        return false;
    QString line = title + QStringLiteral(": ") + shown;
    line.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    QFile log(path);
    if (log.open(QIODevice::WriteOnly | QIODevice::Append)) {
        log.write(line.toUtf8() + '\n');
        log.close();
    }
    return true;
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
    if (logAndAnswer(title, shown))
        return;
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

bool askQuestion(QWidget *parent, const QString &text)
{
    const QString title = QStringLiteral("Confirm");
    const QString shown = messageText(text);
    if (questionHook())
        return questionHook()(title, shown);
    if (logAndAnswer(title, shown))
        return false;
    QMessageBox box(
        QMessageBox::Question, title, shown, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void setQuestionHook(QuestionHook h)
{
    questionHook() = std::move(h);
}

void setMessageBoxHook(MessageBoxHook h)
{
    hook() = std::move(h);
}

} // namespace zil::platform
