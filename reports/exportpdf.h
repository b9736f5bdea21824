// The material sheets of many materials in one PDF file: each sheet composed
// as the Report menu prints it, one after the other, each starting on a page
// of its own with its own page numbers.
#pragma once

#include <QList>
#include <QString>
#include <functional>

namespace zil::reports {

class SheetHolder;

enum class ExportOutcome { Written, Cancelled, Failed };

// Writes the sheets of holder for the record ids of ids, in that order, to
// the PDF file path. The file is written under a temporary name beside it and
// put in place only when complete, so that a cancelled or failed export
// leaves neither the file nor a part of it, and an existing file stays as it
// was. After each sheet, progress is told how many are done and returns
// false to cancel. On failure error says why. Errors of the store are raised.
ExportOutcome writeSheetsPdf(SheetHolder &holder, const QList<qint32> &ids, const QString &path,
    const std::function<bool(qsizetype done)> &progress, QString *error);

} // namespace zil::reports
