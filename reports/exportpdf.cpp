#include "exportpdf.h"

#include "reports/sheet.h"

#include <QCoreApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

namespace zil::reports {

ExportOutcome writeSheetsPdf(SheetHolder &holder, const QList<qint32> &ids, const QString &path,
    const std::function<bool(qsizetype done)> &progress, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return ExportOutcome::Failed;
    }
    const framework::Report &report = *holder.Report;
    bool cancelled = false;
    bool painted = false;
    {
        // The writer paints the paper whole from its top-left corner, at the
        // resolution the sheets are laid out for.
        QPdfWriter writer(&file);
        QPageLayout layout(report.pageSize(),
            report.landscape() ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF(),
            QPageLayout::Millimeter);
        layout.setMode(QPageLayout::FullPageMode);
        writer.setPageLayout(layout);
        writer.setResolution(1200);
        writer.setTitle(QStringLiteral("Material sheets"));
        writer.setCreator(QCoreApplication::applicationName());

        QPainter painter;
        holder.composeEach(ids, [&](qsizetype index, std::vector<framework::ReportPage> &&pages) {
            for (const framework::ReportPage &page : pages) {
                if (!painted) {
                    if (!painter.begin(&writer))
                        throw framework::ReportError(
                            QStringLiteral("The PDF file could not be started"));
                    painted = true;
                } else {
                    writer.newPage();
                }
                framework::Report::paintPage(painter, page);
            }
            cancelled = progress && !progress(index + 1);
            return !cancelled;
        });
        if (painted && !painter.end() && !cancelled) {
            *error = QStringLiteral("The PDF file could not be finished");
            return ExportOutcome::Failed;
        }
    }
    if (cancelled) {
        file.cancelWriting();
        return ExportOutcome::Cancelled;
    }
    if (!painted) {
        file.cancelWriting();
        *error = QStringLiteral("None of the materials is left in the database");
        return ExportOutcome::Failed;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return ExportOutcome::Failed;
    }
    return ExportOutcome::Written;
}

} // namespace zil::reports
