// The listed materials as a CSV file that spreadsheets open: one line per
// material in the order given, with what its material sheet shows: its name,
// CAS, FEMA and CE numbers, its synonyms and the names of its suppliers, and
// its four texts; with the sheet's prices and notes shown, each supplier with
// its price and the material's notes too.
#pragma once

#include "reports/exportpdf.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class TPrintMaterial;

namespace zil::reports {

// The titles of the columns, the file's first line; with notes, a last
// column "Notes".
QStringList csvHeader(bool withNotes);

// Writes the materials of ids in that order to the file path, read through
// the cursors of the material sheet: UTF-8 with a byte order mark, so that
// spreadsheets read accents; every field in double quotes; lines ended by CR
// LF; synonyms in their stored order and supplier names in supplier id order,
// each joined by "; ", and while the sheet shows prices and notes each name
// followed by its price in brackets ("Aroma Trade (EUR 13.54/kg)") and the
// notes in a column of their own. A material no longer in the database is left out. The
// file is written under a temporary name beside it and put in place only
// when complete; progress and the outcome as for the PDF export. Errors of
// the store are raised.
ExportOutcome writeMaterialsCsv(TPrintMaterial &sheet, const QList<qint32> &ids,
    const QString &path, const std::function<bool(qsizetype done)> &progress, QString *error);

} // namespace zil::reports
