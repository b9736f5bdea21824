// Printing as the operating system offers it: the standard print dialog with
// the printer and copies chosen in it, the list of printers, and the start of
// every print run. Tests stand in for the user in the dialog and take each
// print run through hooks.
#pragma once

#include "platform/scopedhook.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class QPrinter;
class QWidget;

namespace zil::platform {

// The printers known to the system; a printer index counts in this list.
QStringList printerNames();

// The standard print dialog. It keeps the printer and the number of copies
// chosen in it from one execution to the next; it starts on the system's
// default printer and one copy.
class PrintDialog : public QObject
{
    Q_OBJECT
public:
    explicit PrintDialog(QWidget *parent);
    ~PrintDialog() override;

    // Shows the dialog modally; true when the user confirms it.
    bool execute();

    // The chosen printer as an index into printerNames(); -1 for the system's
    // default printer.
    int printerIndex() const { return m_printerIndex; }
    void setPrinterIndex(int index) { m_printerIndex = index; }
    int copies() const { return m_copies; }
    void setCopies(int copies) { m_copies = copies; }

private:
    int m_printerIndex = -1;
    int m_copies = 1;
};

// While set, the hook answers in place of the user: it may change the
// dialog's printer index and copies and returns true for a confirmed dialog.
// An empty function removes the hook.
using PrintDialogHook = std::function<bool(PrintDialog &dialog)>;
void setPrintDialogHook(PrintDialogHook hook);
// Sets the hook for the guard's lifetime.
using ScopedPrintDialogHook = ScopedHook<setPrintDialogHook>;

// Called by every print run on the printer it goes to, before anything is
// painted. While a hook is set it sees each run and may send the printer
// elsewhere (to a PDF file, say). An empty function removes the hook.
using PrintRunHook = std::function<void(QPrinter &printer)>;
void beginPrintRun(QPrinter &printer);
void setPrintRunHook(PrintRunHook hook);
using ScopedPrintRunHook = ScopedHook<setPrintRunHook>;

// The standard dialog that asks for the name of a file to write. Returns the
// chosen path, or an empty text when the user cancels. While a hook is set it
// answers instead, given the dialog's proposed path.
QString askSaveFileName(
    QWidget *parent, const QString &caption, const QString &proposed, const QString &filter);
using SaveFileHook = std::function<QString(const QString &caption, const QString &proposed)>;
void setSaveFileHook(SaveFileHook hook);
using ScopedSaveFileHook = ScopedHook<setSaveFileHook>;

// The path a file is written to: path as chosen, with "." and suffix added
// when it has no suffix. The dialog asked before replacing the file chosen,
// not the one named with the suffix added: when that one exists the user is
// asked first, and an empty text is returned unless the answer is Yes.
QString completedSaveName(QWidget *parent, const QString &path, const QString &suffix);

} // namespace zil::platform
