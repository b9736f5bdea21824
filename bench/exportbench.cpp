// The export of the material list on synthetic databases, through the Report
// menu's items as a user runs them: the PDF file of the sheets of the first
// 1,000 listed materials beside the time of one sheet saved alone, taken
// 1,000 times; and the CSV file of the whole list.
#include "benchutil.h"

#include "browser/searchclass.h"
#include "platform/printing.h"
#include "reports/Printm.h"
#include "reports/export.h"
#include "shell/Zil0.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cstdio>

namespace zil::bench {

namespace {

constexpr int kSheets = 1000;

// The main window's list narrowed to its first n rows, as a criteria run
// that kept them would leave it.
void keepFirstRows(TSearchClass &list, int n)
{
    std::vector<uint8_t> keep(list.Selected.size(), 0);
    for (qint32 row = 1; row <= n; ++row)
        keep[size_t(list.IdOfRow(row))] = 1;
    list.Predicate = [&list, &keep] {
        return keep[size_t(list.SelectTable->fieldByName(QStringLiteral("id")).asInteger())] != 0;
    };
    list.ApplyCriteria();
    list.Predicate = {};
}

} // namespace

void runExport(const QString &work, std::vector<Database> &databases)
{
    reportMessages();
    for (Database &db : databases) {
        ensureIndexed(db);
        const int n = db.size;
        const InstalledProgram program(work, QStringLiteral("export-prog-%1").arg(n), db.dir);
        const QString size = QString::number(n);

        TMainForm form;
        startMainWindow(form, QStringLiteral("%1 materials").arg(n), Shown::No);
        const QString csv = QDir(work).filePath(QStringLiteral("export-%1.csv").arg(n));
        const QString pdf = QDir(work).filePath(QStringLiteral("export-%1.pdf").arg(n));
        const QString single = QDir(work).filePath(QStringLiteral("export-single-%1.pdf").arg(n));
        QString answer;
        const platform::ScopedSaveFileHook dialog(
            [&answer](const QString &, const QString &) { return answer; });
        auto exportTo = [&](QAction *item, const QString &path) {
            QFile::remove(path);
            answer = path;
            item->trigger();
            if (!QFileInfo::exists(path))
                qFatal("bench: %s was not written", qPrintable(path));
        };

        const Sample wholeCsv
            = measure(3, [&] { exportTo(form.ExportSelection->MenuExportCsv, csv); });
        printRow(QStringLiteral("CSV export of the whole list (%1 KiB)")
                     .arg(QFileInfo(csv).size() / 1024),
            size, wholeCsv, {}, QString());

        const int sheets = std::min(kSheets, n);
        keepFirstRows(*form.SearchClass, sheets);
        if (form.SearchClass->SelectedCount != sheets)
            qFatal("bench: the list holds %d materials, not %d", form.SearchClass->SelectedCount,
                sheets);
        const Sample many = measure(3, [&] { exportTo(form.ExportSelection->MenuExportPdf, pdf); });

        // One sheet saved alone, for materials spread over the selection.
        QRandomGenerator rng(7);
        const Sample one = measureEach(50, [&](int) {
            form.SearchClass->GotoMaterial(form.SearchClass->IdOfRow(1 + int(rng.bounded(sheets))));
            if (!form.PrintMaterial->SaveAsPdf(single))
                qFatal("bench: the single sheet was not written");
        });
        printRow(QStringLiteral("PDF export of %1 sheets (%2 MiB)")
                     .arg(sheets)
                     .arg(double(QFileInfo(pdf).size()) / (1 << 20), 0, 'f', 1),
            size, many, {one.median * sheets, one.worst * sheets},
            QStringLiteral("single sheet time x %1").arg(sheets));
    }
}

} // namespace zil::bench
