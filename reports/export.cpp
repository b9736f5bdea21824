#include "export.h"

#include "platform/messagebox.h"
#include "platform/printing.h"
#include "reports/Printm.h"
#include "reports/exportcsv.h"
#include "reports/exportpdf.h"
#include "store/dbupdate.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QProgressDialog>
#include <cstdio>
#include <exception>

namespace zil::reports {

SelectionExport::SelectionExport(QWidget *window, QMenu *menu, ListedMaterials listed)
    : QObject(window)
    , m_window(window)
    , m_listed(std::move(listed))
{
    setObjectName(QStringLiteral("SelectionExport"));
    menu->addSeparator()->setObjectName(QStringLiteral("ExportSeparator"));
    MenuExportCsv = menu->addAction(QStringLiteral("Export selection as &CSV..."));
    MenuExportCsv->setObjectName(QStringLiteral("MenuExportCsv"));
    MenuExportPdf = menu->addAction(QStringLiteral("Export selection as P&DF..."));
    MenuExportPdf->setObjectName(QStringLiteral("MenuExportPdf"));
    connect(MenuExportCsv, &QAction::triggered, this, &SelectionExport::MenuExportCsvClick);
    connect(MenuExportPdf, &QAction::triggered, this, &SelectionExport::MenuExportPdfClick);
}

SelectionExport::~SelectionExport() = default;

void SelectionExport::setLastFolder(const QString &folder)
{
    if (m_folder == folder)
        return;
    m_folder = folder;
    emit lastFolderChanged(m_folder);
}

// This holder only reads and composes: it never prints, so it needs
// neither the print dialog nor a current record.
TPrintMaterial &SelectionExport::sheets()
{
    if (!m_sheets) {
        m_sheets = new TPrintMaterial(m_window, nullptr, nullptr);
        m_sheets->setParent(this);
        m_sheets->setObjectName(QStringLiteral("ExportSheets"));
        m_sheets->setPricesNotes(m_pricesNotes);
    }
    return *m_sheets;
}

void SelectionExport::setPricesNotes(bool shown)
{
    m_pricesNotes = shown;
    if (m_sheets)
        m_sheets->setPricesNotes(shown);
}

void SelectionExport::MenuExportCsvClick()
{
    exportList(QStringLiteral("Export selection as CSV"), QStringLiteral("csv"),
        QStringLiteral("CSV files (*.csv)"), QStringLiteral("Material"),
        [this](const QList<qint32> &ids, const QString &path, const auto &progress,
            QString *error) { return writeMaterialsCsv(sheets(), ids, path, progress, error); });
}

void SelectionExport::MenuExportPdfClick()
{
    exportList(QStringLiteral("Export selection as PDF"), QStringLiteral("pdf"),
        QStringLiteral("PDF files (*.pdf)"), QStringLiteral("Sheet"),
        [this](const QList<qint32> &ids, const QString &path, const auto &progress,
            QString *error) { return writeSheetsPdf(sheets(), ids, path, progress, error); });
}

void SelectionExport::exportList(const QString &caption, const QString &suffix,
    const QString &filter, const QString &unit, const Writer &writer)
{
    // A second export cannot start while one runs: the progress window
    // lets events through.
    if (m_running)
        return;
    struct Running
    {
        SelectionExport &e;
        explicit Running(SelectionExport &e)
            : e(e)
        {
            e.m_running = true;
            emit e.started();
        }
        ~Running()
        {
            e.m_running = false;
            emit e.finished();
        }
    } running(*this);
    const QList<qint32> ids = m_listed ? m_listed() : QList<qint32>();
    if (ids.isEmpty()) {
        platform::showWarning(m_window, QStringLiteral("There is no material to export."));
        return;
    }
    const QString folder = m_folder.isEmpty() ? QDir::homePath() : m_folder;
    QString path = platform::askSaveFileName(
        m_window, caption, QDir(folder).filePath(QStringLiteral("materials.") + suffix), filter);
    path = platform::completedSaveName(m_window, path, suffix);
    if (path.isEmpty())
        return;

    const int total = int(ids.size());
    QProgressDialog progress(QString(), QStringLiteral("Cancel"), 0, total, m_window);
    progress.setObjectName(QStringLiteral("ExportProgress"));
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    // The window is brought up to date every few hundredths of a second, not
    // after every material, which would cost more than the export itself.
    QElapsedTimer sinceUpdate;
    sinceUpdate.start();
    progress.setValue(0);
    // A table that another program writes into meanwhile reads as nothing:
    // the export then ends without a file, rather than with rows left empty.
    bool changed = false;
    auto advance = [&](qsizetype done) {
        if (store::tableFoundWrittenInto()) {
            changed = true;
            return false;
        }
        if (done == total || sinceUpdate.elapsed() >= 40) {
            progress.setLabelText(QStringLiteral("%1 %2 of %3").arg(unit).arg(done).arg(total));
            progress.setValue(int(done));
            sinceUpdate.restart();
        }
        return !progress.wasCanceled();
    };

    QString error;
    ExportOutcome outcome = ExportOutcome::Failed;
    try {
        outcome = writer(ids, path, advance, &error);
    } catch (const std::exception &e) {
        progress.close();
        std::fprintf(stderr, "zil: %s\n", e.what());
        platform::showError(m_window, QString::fromUtf8(e.what()));
        return;
    }
    progress.close();
    if (changed) {
        platform::showError(m_window,
            QStringLiteral("The database was changed by another program during the export; "
                           "nothing was written to\n%1")
                .arg(QDir::toNativeSeparators(path)));
    } else if (outcome == ExportOutcome::Written) {
        setLastFolder(QFileInfo(path).absolutePath());
        emit written(path, total);
    } else if (outcome == ExportOutcome::Failed) {
        platform::showError(m_window,
            QStringLiteral("The export could not be written to\n%1\n%2")
                .arg(QDir::toNativeSeparators(path), error));
    }
}

} // namespace zil::reports
