#include "exportcsv.h"

#include "reports/Printm.h"
#include "store/field.h"
#include "store/table.h"

#include <QSaveFile>
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

QByteArray text(store::Table *table, const char *field)
{
    return table->fieldByName(QString::fromLatin1(field)).asString().toUtf8();
}

// The fields of the sheet's material, its texts decoded as the detail pane
// decodes them; with prices, each supplier's price and the notes.
QList<QByteArray> record(const TPrintMaterial &sheet, bool prices)
{
    store::Table *material = sheet.TableMaterial;
    QList<QByteArray> fields {text(material, "name"), text(material, "cas"), text(material, "fema"),
        text(material, "ce")};
    QByteArray synonyms;
    store::Table *synonym = sheet.TableSin;
    for (synonym->first(); !synonym->isEmpty() && !synonym->eof(); synonym->next())
        synonyms += (synonyms.isEmpty() ? "" : "; ") + text(synonym, "name");
    QByteArray suppliers;
    store::Table *link = sheet.TableMatSupp;
    for (link->first(); !link->isEmpty() && !link->eof(); link->next()) {
        if (sheet.TableSupplier->isEmpty())
            continue;
        suppliers += (suppliers.isEmpty() ? "" : "; ") + text(sheet.TableSupplier, "name");
        if (const QByteArray price = text(link, "price").trimmed(); prices && !price.isEmpty())
            suppliers += " (" + price + ')';
    }
    fields << synonyms << suppliers;
    for (const char *memo : {"occur", "flavor", "applic", "liter"})
        fields << text(material, memo);
    if (prices)
        fields << text(material, "notes");
    return fields;
}

} // namespace

QStringList csvHeader(bool withNotes)
{
    QStringList titles {QStringLiteral("Name"), QStringLiteral("CAS"), QStringLiteral("FEMA"),
        QStringLiteral("CE"), QStringLiteral("Synonyms"), QStringLiteral("Suppliers"),
        QStringLiteral("Occurrence"), QStringLiteral("Flavour"), QStringLiteral("Application"),
        QStringLiteral("Literature")};
    if (withNotes)
        titles << QStringLiteral("Notes");
    return titles;
}

ExportOutcome writeMaterialsCsv(TPrintMaterial &sheet, const QList<qint32> &ids,
    const QString &path, const std::function<bool(qsizetype done)> &progress, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return ExportOutcome::Failed;
    }
    // The columns are those of the file's first line to its last.
    const bool prices = sheet.pricesNotes();
    QByteArray out("\xEF\xBB\xBF");
    QList<QByteArray> titles;
    for (const QString &title : csvHeader(prices))
        titles << title.toUtf8();
    appendRecord(out, titles);

    // Written in pieces, so that a long list does not gather in memory.
    bool failed = false;
    auto flush = [&] {
        failed = file.write(out) != out.size();
        out.clear();
        return !failed;
    };
    bool cancelled = false;
    sheet.forEachRecord(ids, [&](qsizetype index) {
        if (!sheet.TableMaterial->isEmpty())
            appendRecord(out, record(sheet, prices));
        if (out.size() >= (1 << 20) && !flush())
            return false;
        cancelled = progress && !progress(index + 1);
        return !cancelled;
    });
    if (cancelled) {
        file.cancelWriting();
        return ExportOutcome::Cancelled;
    }
    if (failed || !flush() || !file.commit()) {
        *error = file.errorString();
        return ExportOutcome::Failed;
    }
    return ExportOutcome::Written;
}

} // namespace zil::reports
