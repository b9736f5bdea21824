// The main window's print dispatch: the print button and both print items of
// the Report menu print the sheet of the tab in view, the material sheet on
// the Materials tab and the supplier sheet on the Suppliers tab; "Save as
// PDF..." writes that sheet to a file. The menu's last items export the
// material list.
#include "shell/Zil0.h"

#include "browser/searchclass.h"
#include "framework/notice.h"
#include "framework/usersettings.h"
#include "platform/messagebox.h"
#include "platform/printing.h"
#include "reports/Printm.h"
#include "reports/Prints.h"
#include "reports/export.h"
#include "store/field.h"
#include "store/table.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>
#include <exception>

namespace {

// An error of the store or the report engine ends what was running and is
// shown to the user; the program goes on.
template<typename Work>
void reportErrors(QWidget *parent, Work work)
{
    try {
        work();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zil: %s\n", e.what());
        zil::platform::showError(parent, QString::fromUtf8(e.what()));
    }
}

// The name proposed for the PDF file of a sheet: the record's name with the
// characters that file systems refuse replaced, in folder.
QString proposedFileName(zil::store::Table *current, const QString &folder)
{
    QString name;
    if (current && current->active() && !current->isEmpty())
        name = current->fieldByName(QStringLiteral("name")).asString().trimmed();
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    for (QChar &c : name)
        if (refused.contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    if (name.isEmpty())
        name = QStringLiteral("sheet");
    return QDir(folder).filePath(name + QStringLiteral(".pdf"));
}

} // namespace

void TMainForm::createPrintDispatch()
{
    MainPrintDialog = new zil::platform::PrintDialog(this);
    MainPrintDialog->setObjectName(QStringLiteral("MainPrintDialog"));

    MenuSavePdf = ReportMenu->addAction(QStringLiteral("Save as &PDF..."));
    MenuSavePdf->setObjectName(QStringLiteral("MenuSavePdf"));
    MenuSavePdf->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));

    // The export writes the material list as shown: its rows in its order.
    ExportSelection = new zil::reports::SelectionExport(this, ReportMenu, [this] {
        QList<qint32> ids;
        for (qint32 row = 1; SearchClass && row <= SearchClass->SelectedCount; ++row)
            if (const qint32 id = SearchClass->IdOfRow(row))
                ids << id;
        return ids;
    });
    // The export and "Save as PDF..." open in the folder a file was last
    // written to, by either of them, in this run or an earlier one: the
    // export holds it for both and the user's settings keep it.
    ExportSelection->setLastFolder(zil::framework::UserSettings().outputFolder());
    connect(ExportSelection, &zil::reports::SelectionExport::lastFolderChanged, this,
        [](const QString &folder) { zil::framework::UserSettings().setOutputFolder(folder); });

    // Where a file went is said over the window for a few seconds, without
    // a box to click away; a save asked for takes away what was said of the
    // last one, so that a save that fails is never seen beside "saved".
    SavedNotice = new zil::framework::TransientNotice(this);
    SavedNotice->setObjectName(QStringLiteral("SavedNotice"));
    connect(ExportSelection, &zil::reports::SelectionExport::started, SavedNotice, &QWidget::hide);
    connect(ExportSelection, &zil::reports::SelectionExport::written, SavedNotice,
        [this](const QString &path, int count) {
            SavedNotice->showMessage(
                QStringLiteral("%1 %2 exported to\n%3")
                    .arg(count)
                    .arg(count == 1 ? QStringLiteral("material") : QStringLiteral("materials"),
                        QDir::toNativeSeparators(path)));
        });
}

void TMainForm::PrintCurrent()
{
    reportErrors(this, [this] {
        if (MainTabNotebook->currentIndex() == 0) {
            if (PrintMaterial)
                PrintMaterial->RunReport();
        } else if (PrintSupplier) {
            PrintSupplier->RunReport();
        }
    });
}

void TMainForm::PrintButtonClick()
{
    PrintCurrent();
}

void TMainForm::MenuPrintMaterialClick()
{
    PrintCurrent();
}

void TMainForm::MenuPrintSupplierClick()
{
    PrintCurrent();
}

void TMainForm::MenuSavePdfClick()
{
    if (!PrintMaterial || !PrintSupplier)
        return;
    const bool materials = MainTabNotebook->currentIndex() == 0;
    zil::store::Table *current = materials ? TableMaterial : TableSupplierName;
    SavedNotice->hide();
    if (!current->active() || current->isEmpty()) {
        zil::platform::showWarning(this,
            materials ? QStringLiteral("There is no material to save.")
                      : QStringLiteral("There is no supplier to save."));
        return;
    }
    // The dialog opens in the folder a file was last written to, by the
    // export or here, in this run or an earlier one; the home folder before
    // that, or when that folder is gone.
    QString folder = ExportSelection->lastFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    QString path = zil::platform::askSaveFileName(this, QStringLiteral("Save as PDF"),
        proposedFileName(current, folder), QStringLiteral("PDF files (*.pdf)"));
    path = zil::platform::completedSaveName(this, path, QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    reportErrors(this, [&] {
        const bool written
            = materials ? PrintMaterial->SaveAsPdf(path) : PrintSupplier->SaveAsPdf(path);
        if (written) {
            ExportSelection->setLastFolder(QFileInfo(path).absolutePath());
            SavedNotice->showMessage(
                QStringLiteral("Sheet saved to\n%1").arg(QDir::toNativeSeparators(path)));
        } else {
            zil::platform::showError(this,
                QStringLiteral("The sheet could not be written to\n%1")
                    .arg(QDir::toNativeSeparators(path)));
        }
    });
}
