#include "exportcsv.h"

#include "reports/sheet.h"
#include "store/field.h"
#include "store/table.h"

#include <QSaveFile>
#include <QScopeGuard>
#include <csv.h>

namespace zil::reports {

namespace {

// Fields are separated by commas; every one is quoted by libcsv, which
// doubles the quotes inside, so commas, quotes and line breaks in the texts
// survive. A record ends with CR LF.
void appendRecord(QByteArray &out, const QList<QByteArray> &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        const QByteArray &field = fields[i];
        const size_t needed = csv_write(nullptr, 0, field.constData(), size_t(field.size()));
        const qsizetype at = out.size();
        out.resize(at + qsizetype(needed));
        csv_write(out.data() + at, needed, field.constData(), size_t(field.size()));
    }
    out += "\r\n";
}

} // namespace

MaterialsCsv::MaterialsCsv(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("MaterialsCsv"));
    const QString id = QStringLiteral("id");
    const QString materialid = QStringLiteral("materialid");
    TableMaterial = makeCursor(this, "TableMaterial", QStringLiteral("MATERIAL.DB"));
    SourceMaterial = makeSource(this, "SourceMaterial", TableMaterial);
    TableSin
        = makeCursor(this, "TableSin", QStringLiteral("SYNON.DB"), SourceMaterial, id, materialid);
    TableMatSupp = makeCursor(
        this, "TableMatSupp", QStringLiteral("MATSUPP.DB"), SourceMaterial, id, materialid);
    SourceMatSupp = makeSource(this, "SourceMatSupp", TableMatSupp);
    TableSupplier = makeCursor(this, "TableSupplier", QStringLiteral("SUPPLIER.DB"), SourceMatSupp,
        QStringLiteral("supplierid"), id);
}

QStringList MaterialsCsv::header()
{
    return {QStringLiteral("Name"), QStringLiteral("CAS"), QStringLiteral("FEMA"),
        QStringLiteral("CE"), QStringLiteral("Synonyms"), QStringLiteral("Suppliers"),
        QStringLiteral("Occurrence"), QStringLiteral("Flavour"), QStringLiteral("Application"),
        QStringLiteral("Literature")};
}

QList<store::Table *> MaterialsCsv::cursors() const
{
    return {TableSupplier, TableMatSupp, TableSin, TableMaterial};
}

// The fields of the current material, as the detail pane reads them.
QList<QByteArray> MaterialsCsv::record()
{
    auto text = [](store::Table *table, const char *field) {
        return table->fieldByName(QString::fromLatin1(field)).asString().toUtf8();
    };
    QList<QByteArray> fields {text(TableMaterial, "name"), text(TableMaterial, "cas"),
        text(TableMaterial, "fema"), text(TableMaterial, "ce")};
    QByteArray synonyms;
    for (TableSin->first(); !TableSin->isEmpty() && !TableSin->eof(); TableSin->next())
        synonyms += (synonyms.isEmpty() ? "" : "; ") + text(TableSin, "name");
    QByteArray suppliers;
    for (TableMatSupp->first(); !TableMatSupp->isEmpty() && !TableMatSupp->eof();
         TableMatSupp->next()) {
        if (TableSupplier->isEmpty())
            continue;
        suppliers += (suppliers.isEmpty() ? "" : "; ") + text(TableSupplier, "name");
    }
    fields << synonyms << suppliers;
    for (const char *memo : {"occur", "flavor", "applic", "liter"})
        fields << text(TableMaterial, memo);
    return fields;
}

ExportOutcome MaterialsCsv::write(const QList<qint32> &ids, const QString &path,
    const std::function<bool(qsizetype done)> &progress, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return ExportOutcome::Failed;
    }
    // Opened in turn and closed on every way out, also by an error.
    auto closing = qScopeGuard([this] {
        for (store::Table *table : cursors())
            table->close();
    });
    for (store::Table *table : cursors())
        table->open();

    QByteArray out("\xEF\xBB\xBF");
    QList<QByteArray> titles;
    for (const QString &title : header())
        titles << title.toUtf8();
    appendRecord(out, titles);
    // Written in pieces, so that a long list does not gather in memory.
    auto flush = [&file, &out, error] {
        if (file.write(out) != out.size()) {
            *error = file.errorString();
            return false;
        }
        out.clear();
        return true;
    };
    constexpr qsizetype chunk = 1 << 20;
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (TableMaterial->findKey({ids[i]}))
            appendRecord(out, record());
        if (out.size() >= chunk && !flush())
            return ExportOutcome::Failed;
        if (progress && !progress(i + 1)) {
            file.cancelWriting();
            return ExportOutcome::Cancelled;
        }
    }
    if (!flush())
        return ExportOutcome::Failed;
    if (!file.commit()) {
        *error = file.errorString();
        return ExportOutcome::Failed;
    }
    return ExportOutcome::Written;
}

} // namespace zil::reports
