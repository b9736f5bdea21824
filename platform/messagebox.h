// The program's one way to show a message box: an error or a warning with a
// single OK button. Tests receive the messages through a hook instead; a
// program started with the environment variable ZIL_MESSAGE_LOG naming a file
// writes each message to that file as a line "Title: text" (line breaks as
// "\n") and goes on as if OK had been clicked.
#pragma once

#include "platform/scopedhook.h"

#include <QString>
#include <functional>

class QWidget;

namespace zil::platform {

enum class MessageKind { Error, Warning };

using MessageBoxHook
    = std::function<void(MessageKind kind, const QString &title, const QString &text)>;

// Shows text modally with the error icon, title "Error" and an OK button.
void showError(QWidget *parent, const QString &text);
// Shows text modally with the warning icon, title "Warning" and an OK button.
void showWarning(QWidget *parent, const QString &text);

// While a hook is set it receives every message instead of a box, with the
// text as the box would show it. An empty function removes the hook.
void setMessageBoxHook(MessageBoxHook hook);
// Sets the hook for the guard's lifetime.
using ScopedMessageBoxHook = ScopedHook<setMessageBoxHook>;

// Asks text modally with the question icon, title "Confirm" and the buttons
// Yes and No, No the default; true when the user answers Yes. A program
// logging its messages (ZIL_MESSAGE_LOG) logs the question and takes No.
bool askQuestion(QWidget *parent, const QString &text);
// While a hook is set it answers every question instead of a box.
using QuestionHook = std::function<bool(const QString &title, const QString &text)>;
void setQuestionHook(QuestionHook hook);
using ScopedQuestionHook = ScopedHook<setQuestionHook>;

// The text as shown: every carriage return, alone or before a line feed,
// becomes one line break.
QString messageText(const QString &text);

} // namespace zil::platform
