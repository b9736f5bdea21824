// The listed materials as a CSV file that spreadsheets open: one line per
// material in the order given, with its name, CAS, FEMA and CE numbers, its
// synonyms and the names of its suppliers, and its four texts.
#pragma once

#include "reports/exportpdf.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace zil::store {
class DataSource;
class Table;
} // namespace zil::store

namespace zil::reports {

class MaterialsCsv : public QObject
{
    Q_OBJECT
public:
    explicit MaterialsCsv(QObject *parent = nullptr);

    // The titles of the columns, the file's first line.
    static QStringList header();

    // Writes the materials of ids in that order to the file path: UTF-8 with
    // a byte order mark, so that spreadsheets read accents, every field in
    // double quotes, lines ended by CR LF; synonyms in their stored order and
    // supplier names in supplier id order, each joined by "; ". A material no
    // longer in the database is left out. The file is written under a
    // temporary name beside it and put in place only when complete; progress
    // and the outcome as for the PDF export. Errors of the store are raised.
    ExportOutcome write(const QList<qint32> &ids, const QString &path,
        const std::function<bool(qsizetype done)> &progress, QString *error);

    // The export's own cursors, open only while it writes.
    store::Table *TableMaterial = nullptr;
    store::DataSource *SourceMaterial = nullptr;
    store::Table *TableSin = nullptr;
    store::Table *TableMatSupp = nullptr;
    store::DataSource *SourceMatSupp = nullptr;
    store::Table *TableSupplier = nullptr;

private:
    QList<store::Table *> cursors() const;
    QList<QByteArray> record();
};

} // namespace zil::reports
