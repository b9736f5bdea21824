// Reading a source directory (materials.csv, synonyms.csv, suppliers.csv,
// links.csv) into a catalogue, checking every row.
#pragma once

#include "catalogue.h"

#include <QString>
#include <vector>

namespace zil::makedb {

struct SourceProblem
{
    QString file; // path of the source file
    int line = 0; // 1-based line where the record starts; 0 for the file as a whole
    QString message;

    // "FILE:LINE: message", or "FILE: message" for the file as a whole.
    QString toString() const;
};

struct SourceResult
{
    Catalogue catalogue; // the rows that passed every check
    std::vector<SourceProblem> problems; // in file and line order
    int skippedRows = 0; // rows left out of the catalogue because of a problem
    // A file is missing, unreadable or lacks a column: the catalogue is not
    // usable even without the bad rows.
    bool fatal = false;
};

SourceResult readSources(const QString &dir);

} // namespace zil::makedb
