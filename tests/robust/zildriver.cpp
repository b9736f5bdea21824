// The program's main window started as `zil` starts it, driven by commands
// on standard input, for tests that need several workstations at once.
//
//   zil-driver PROGRAM_FILE
//
// PROGRAM_FILE stands in for the program's own path, so the settings file is
// found beside it. Message boxes are answered with OK and printed as
// "message Title: text". After start-up it prints "started" or "failed", then
// answers each command with one line:
//   search TEXT   types TEXT into the emptied search field, then as "current"
//   row N         makes row N of the material list current, then as "current"
//   restore       lists all materials again (re-reading the tables)
//   current       "current" id|name|cas|synonyms|supplier title|caption|count
//   scroll N      scrolls the list so that row N is at its top and paints it,
//                 then "rows" and the names of the rows in view, as drawn
//   criteria TEXT selects the materials whose flavour holds TEXT, as the
//                 criteria dialog's Select does (empty TEXT: all), then as
//                 "current"
//   tab N         goes to tab N (0 materials, 1 suppliers), then "tab" N,
//                 the supplier and the material picked there
// An error raised by a command is printed as "error TEXT".
// and ends at "quit" or at the end of its input.
#include "browser/Search.h"
#include "browser/searchclass.h"
#include "framework/application.h"
#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <cstdio>
#include <iostream>
#include <string>

namespace {

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return text;
}

QString current(TMainForm &form)
{
    const QString id = form.TableMaterial->isEmpty()
        ? QString()
        : QString::number(form.TableMaterial->fieldByName(QStringLiteral("id")).asInteger());
    return QStringLiteral("current ")
        + QStringList {id, form.DBName->text(), form.DBCas->text(),
            oneLine(form.synonyms->toPlainText()),
            form.SupplierGrid->model()->headerData(0, Qt::Horizontal).toString(),
            form.MaterialGrid->cell(0, 0), QString::number(form.MaterialGrid->rowCount() - 1)}
              .join(QLatin1Char('|'));
}

// The names of the list rows in view, read as the grid draws them.
QString rowsInView(TMainForm &form)
{
    QStringList names;
    const int top = form.MaterialGrid->topRow();
    for (int row = top; row < top + form.MaterialGrid->visibleRowCount(); ++row) {
        const qint32 id = form.SearchClass->IdOfRow(row);
        form.TableMaterialSelect->setIndexName(QString());
        names << (id > 0 && form.TableMaterialSelect->findKey({id})
                ? form.TableMaterialSelect->fieldByName(QStringLiteral("name")).asString()
                : QString());
    }
    return QStringLiteral("rows %1|").arg(top) + names.join(QLatin1Char('|'));
}

QString tabState(TMainForm &form)
{
    return QStringLiteral("tab %1|%2|%3|%4")
        .arg(form.MainTabNotebook->currentIndex())
        .arg(form.DBEditName->text(), QString::number(form.MaterialGrid2->model()->rowCount()),
            form.DBMaterialName->text());
}

} // namespace

int main(int argc, char **argv)
{
    zil::framework::Application app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: zil-driver PROGRAM_FILE\n");
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const zil::platform::ScopedProgramFilePathHook programFile([program] { return program; });
    const zil::platform::ScopedMessageBoxHook messages(
        [](zil::platform::MessageKind, const QString &title, const QString &text) {
            say(QStringLiteral("message ") + title + QStringLiteral(": ") + oneLine(text));
        });

    TMainForm form;
    if (!form.StartUp()) {
        say(QStringLiteral("failed"));
        return 1;
    }
    form.show();
    QCoreApplication::processEvents();
    say(QStringLiteral("started"));

    std::string input;
    while (std::getline(std::cin, input)) {
        const QString line = QString::fromUtf8(input);
        const QString command = line.section(QLatin1Char(' '), 0, 0);
        const QString argument = line.section(QLatin1Char(' '), 1);
        if (command == QLatin1String("quit"))
            break;
        try {
            // Each command stands for an input of the user.
            form.CheckDatabase();
            if (command == QLatin1String("search")) {
                form.SearchField->clear();
                form.SearchField->setText(argument);
            } else if (command == QLatin1String("row")) {
                // A new database taken up meanwhile (the retry of a follow
                // runs among the events below) makes the list anew with the
                // same material current, wherever its name now stands: the
                // row asked for is then made current again, as a user who
                // saw the list change would click it again.
                const int row = argument.toInt();
                form.MaterialGrid->setRow(row);
                QCoreApplication::processEvents();
                for (int tries = 0; tries < 3 && form.MaterialGrid->row() != row; ++tries) {
                    form.MaterialGrid->setRow(row);
                    QCoreApplication::processEvents();
                }
            } else if (command == QLatin1String("restore")) {
                // As the criteria dialog's "all materials" choice does.
                form.RestoreAll();
                form.UpdateListCaption();
                form.UpdateSearchEnabled();
            } else if (command == QLatin1String("scroll")) {
                form.MaterialGrid->verticalScrollBar()->setValue(argument.toInt() - 1);
                form.MaterialGrid->grab();
                QCoreApplication::processEvents();
                say(rowsInView(form));
                continue;
            } else if (command == QLatin1String("criteria")) {
                form.SearchWindow->ClearButtonClick();
                form.SearchWindow->Flavour->setText(argument);
                if (argument.isEmpty())
                    form.RestoreAll();
                else
                    form.ApplySelection();
                form.UpdateListCaption();
                form.UpdateSearchEnabled();
            } else if (command == QLatin1String("tab")) {
                form.MainTabNotebook->setCurrentIndex(argument.toInt());
                form.grab();
                QCoreApplication::processEvents();
                say(tabState(form));
                continue;
            } else if (command != QLatin1String("current")) {
                say(QStringLiteral("unknown ") + command);
                continue;
            }
            QCoreApplication::processEvents();
            say(current(form));
        } catch (const std::exception &e) {
            // As the program's own error report would show it.
            say(QStringLiteral("error ") + oneLine(QString::fromUtf8(e.what())));
        }
    }
    return 0;
}
