#include "printing.h"

#include "messagebox.h"

#include <QAbstractPrintDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace zil::platform {

namespace {

PrintDialogHook &dialogHook()
{
    static PrintDialogHook h;
    return h;
}

PrintRunHook &runHook()
{
    static PrintRunHook h;
    return h;
}

SaveFileHook &saveHook()
{
    static SaveFileHook h;
    return h;
}

} // namespace

QStringList printerNames()
{
    return QPrinterInfo::availablePrinterNames();
}

PrintDialog::PrintDialog(QWidget *parent)
    : QObject(parent)
{ }

PrintDialog::~PrintDialog() = default;

bool PrintDialog::execute()
{
    if (dialogHook())
        return dialogHook()(*this);

    QPrinter printer(QPrinter::HighResolution);
    const QStringList names = printerNames();
    if (m_printerIndex >= 0 && m_printerIndex < names.size())
        printer.setPrinterName(names.at(m_printerIndex));
    printer.setCopyCount(m_copies);
    QPrintDialog dialog(&printer, qobject_cast<QWidget *>(parent()));
    // The report always prints whole on real printers; a PDF file is written
    // by the Report menu's own item.
    dialog.setOptions(QAbstractPrintDialog::PrintDialogOptions());
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    m_printerIndex = int(names.indexOf(printer.printerName()));
    m_copies = printer.copyCount();
    return true;
}

void setPrintDialogHook(PrintDialogHook hook)
{
    dialogHook() = std::move(hook);
}

void beginPrintRun(QPrinter &printer)
{
    if (runHook())
        runHook()(printer);
}

void setPrintRunHook(PrintRunHook hook)
{
    runHook() = std::move(hook);
}

QString askSaveFileName(
    QWidget *parent, const QString &caption, const QString &proposed, const QString &filter)
{
    if (saveHook())
        return saveHook()(caption, proposed);
    return QFileDialog::getSaveFileName(parent, caption, proposed, filter);
}

QString completedSaveName(QWidget *parent, const QString &path, const QString &suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    const QString completed = path + QLatin1Char('.') + suffix;
    if (QFileInfo::exists(completed)
        && !askQuestion(parent,
            QStringLiteral("%1 already exists.\nDo you want to replace it?")
                .arg(QDir::toNativeSeparators(completed))))
        return QString();
    return completed;
}

void setSaveFileHook(SaveFileHook hook)
{
    saveHook() = std::move(hook);
}

} // namespace zil::platform
