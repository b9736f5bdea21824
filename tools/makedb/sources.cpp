#include "sources.h"

#include "cas.h"
#include "csvreader.h"
#include "sortkey.h"
#include "store/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <limits>
#include <optional>

namespace zil::makedb {

QString SourceProblem::toString() const
{
    if (line > 0)
        return QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(message);
    return QStringLiteral("%1: %2").arg(file, message);
}

namespace {

struct Column
{
    const char *name;
    bool required;
    const char *table; // table whose field limits the length; nullptr for none
    const char *field; // that field
};

// A value as a message shows it: on one line and not too long.
QString shown(const QString &value)
{
    QString v = value;
    v.replace(QLatin1Char('\r'), QLatin1String("\\r"))
        .replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return v.size() > 40 ? v.left(37) + QStringLiteral("...") : v;
}

// Where a record of a source file failed; collects the messages of one row.
class RowCheck
{
public:
    RowCheck(const QString &file, int line, std::vector<SourceProblem> &sink)
        : m_file(file)
        , m_line(line)
        , m_sink(sink)
    { }
    void fail(const QString &message)
    {
        m_sink.push_back({m_file, m_line, message});
        m_ok = false;
    }
    bool ok() const { return m_ok; }
    int line() const { return m_line; }

private:
    const QString &m_file;
    int m_line;
    std::vector<SourceProblem> &m_sink;
    bool m_ok = true;
};

// A source file read and its header matched against the expected columns.
class SourceFile
{
public:
    SourceFile(
        const QString &dir, const char *fileName, std::vector<Column> columns, SourceResult &result)
        : m_path(QDir(dir).filePath(QString::fromLatin1(fileName)))
        , m_columns(std::move(columns))
        , m_result(result)
    {
        load();
    }

    bool usable() const { return m_usable; }
    const QString &path() const { return m_path; }

    // The data records, header excluded, each checked for field count.
    template<typename Fn>
    void forEachRow(Fn fn)
    {
        for (size_t r = 1; r < m_csv.records.size(); ++r) {
            const CsvRecord &rec = m_csv.records[r];
            RowCheck check(m_path, rec.line, m_result.problems);
            if (rec.fields.size() != m_width) {
                check.fail(QStringLiteral("%1 fields where the header has %2")
                               .arg(rec.fields.size())
                               .arg(m_width));
                ++m_result.skippedRows;
                continue;
            }
            m_record = &rec;
            fn(check);
            if (!check.ok())
                ++m_result.skippedRows;
        }
        m_record = nullptr;
    }

    // The text of a column in the current record, checked to be valid UTF-8
    // without NUL characters and to fit its field. Empty when the column is
    // absent from the file.
    QString text(RowCheck &check, const char *column)
    {
        const int c = columnIndex(column);
        if (c < 0 || m_index[c] < 0)
            return QString();
        const QByteArray &raw = m_record->fields[size_t(m_index[c])];
        // A U+FEFF inside the data is kept: only the file's own mark is dropped.
        QStringDecoder decoder(QStringDecoder::Utf8,
            QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        QString value = decoder(raw);
        if (decoder.hasError()) {
            check.fail(QStringLiteral("%1: not valid UTF-8").arg(QLatin1String(column)));
            return QString();
        }
        if (value.contains(QChar(0))) {
            check.fail(QStringLiteral("%1: contains a NUL character").arg(QLatin1String(column)));
            return QString();
        }
        const Column &def = m_columns[size_t(c)];
        if (def.table) {
            const schema::FieldDef *f = schema::findTable(QString::fromLatin1(def.table))
                                            ->field(QString::fromLatin1(def.field));
            if (f->kind == schema::FieldKind::Text && charCount(value) > f->size) {
                check.fail(QStringLiteral("%1 is %2 characters long, at most %3 fit")
                               .arg(QLatin1String(column))
                               .arg(charCount(value))
                               .arg(f->size));
            }
        }
        return value;
    }

    // A positive integer column; nullopt (and the row failed) otherwise.
    std::optional<qint64> number(RowCheck &check, const char *column)
    {
        const QString value = text(check, column);
        const QString digits = value.trimmed();
        bool ok = !digits.isEmpty();
        for (QChar ch : digits)
            ok = ok && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
        const qint64 n = ok ? digits.toLongLong(&ok) : 0;
        if (!ok || n < 1) {
            check.fail(QStringLiteral("%1 '%2' is not a positive integer")
                           .arg(QLatin1String(column), shown(value)));
            return std::nullopt;
        }
        if (n > std::numeric_limits<qint32>::max()) {
            check.fail(QStringLiteral("%1 %2 is too large (at most %3)")
                           .arg(QLatin1String(column), digits)
                           .arg(std::numeric_limits<qint32>::max()));
            return std::nullopt;
        }
        return n;
    }

private:
    int columnIndex(const char *column) const
    {
        for (size_t i = 0; i < m_columns.size(); ++i) {
            if (qstrcmp(m_columns[i].name, column) == 0)
                return int(i);
        }
        qFatal("zil-makedb: column %s is not declared", column);
    }

    void fatal(int line, const QString &message)
    {
        m_result.problems.push_back({m_path, line, message});
        m_result.fatal = true;
        m_usable = false;
    }

    void load()
    {
        QByteArray bytes;
        QString error;
        if (!readSourceFile(m_path, &bytes, &error)) {
            fatal(0, QStringLiteral("cannot read: %1").arg(error));
            return;
        }
        m_csv = parseCsv(bytes);
        for (const CsvProblem &p : m_csv.problems) {
            m_result.problems.push_back({m_path, p.line, p.message});
            ++m_result.skippedRows;
        }
        if (m_csv.records.empty() || m_csv.records.front().line != 1) {
            fatal(1, QStringLiteral("no header row"));
            return;
        }
        const CsvRecord &header = m_csv.records.front();
        m_width = header.fields.size();
        m_index.assign(m_columns.size(), -1);
        for (size_t i = 0; i < header.fields.size(); ++i) {
            const QString name = QString::fromUtf8(header.fields[i]).trimmed();
            int found = -1;
            for (size_t c = 0; c < m_columns.size(); ++c) {
                if (name.compare(QLatin1String(m_columns[c].name), Qt::CaseInsensitive) == 0)
                    found = int(c);
            }
            if (found < 0) {
                // Its contents would be lost without a word.
                fatal(1, QStringLiteral("unknown column '%1'").arg(name));
            } else if (m_index[size_t(found)] >= 0) {
                fatal(1, QStringLiteral("column '%1' appears twice").arg(name));
            } else {
                m_index[size_t(found)] = int(i);
            }
        }
        for (size_t c = 0; c < m_columns.size(); ++c) {
            if (m_columns[c].required && m_index[c] < 0)
                fatal(
                    1, QStringLiteral("missing column '%1'").arg(QLatin1String(m_columns[c].name)));
        }
    }

    QString m_path;
    std::vector<Column> m_columns;
    SourceResult &m_result;
    CsvFile m_csv;
    std::vector<int> m_index; // column → field position in the file, -1 when absent
    size_t m_width = 0;
    const CsvRecord *m_record = nullptr;
    bool m_usable = true;
};

// Keys seen in one file: the line each first appeared on.
using SeenKeys = QHash<qint64, int>;

bool checkUnique(RowCheck &check, SeenKeys &seen, qint64 key, const QString &what)
{
    const auto it = seen.constFind(key);
    if (it != seen.constEnd()) {
        check.fail(
            QStringLiteral("duplicate %1 %2 (first on line %3)").arg(what).arg(key).arg(*it));
        return false;
    }
    seen.insert(key, check.line());
    return true;
}

void requireName(RowCheck &check, const QString &name)
{
    if (name.trimmed().isEmpty())
        check.fail(QStringLiteral("missing name"));
}

void readSuppliers(SourceFile &file, Catalogue &c, SeenKeys &seen, QSet<qint64> &accepted)
{
    file.forEachRow([&](RowCheck &check) {
        Supplier s;
        const auto id = file.number(check, "id");
        s.name = file.text(check, "name");
        s.address = file.text(check, "address");
        s.city = file.text(check, "city");
        s.country = file.text(check, "country");
        s.phone = file.text(check, "phone");
        requireName(check, s.name);
        if (id)
            checkUnique(check, seen, *id, QStringLiteral("supplier id"));
        if (check.ok()) {
            s.id = *id;
            accepted.insert(s.id);
            c.suppliers.push_back(std::move(s));
        }
    });
}

void readMaterials(SourceFile &file, Catalogue &c, SeenKeys &seen, QSet<qint64> &accepted)
{
    file.forEachRow([&](RowCheck &check) {
        Material m;
        const auto key = file.number(check, "key");
        m.name = file.text(check, "name");
        m.cas = file.text(check, "cas");
        m.fema = file.text(check, "fema");
        m.ce = file.text(check, "ce");
        m.memos[Occur] = file.text(check, "occur");
        m.memos[Flavor] = file.text(check, "flavor");
        m.memos[Applic] = file.text(check, "applic");
        m.memos[Liter] = file.text(check, "liter");
        m.memos[Notes] = file.text(check, "notes");
        requireName(check, m.name);
        if (!m.cas.isEmpty()) {
            switch (checkCas(m.cas)) {
            case CasStatus::Valid:
                break;
            case CasStatus::Malformed:
                check.fail(
                    QStringLiteral("CAS '%1' is not of the form 1234567-12-1").arg(shown(m.cas)));
                break;
            case CasStatus::WrongCheckDigit:
                check.fail(
                    QStringLiteral("CAS %1: wrong check digit, expected %2")
                        .arg(m.cas)
                        .arg(casCheckDigit(m.cas.left(m.cas.size() - 2).remove(QLatin1Char('-')))));
                break;
            }
        }
        if (key)
            checkUnique(check, seen, *key, QStringLiteral("key"));
        if (check.ok()) {
            m.key = *key;
            accepted.insert(m.key);
            c.materials.push_back(std::move(m));
        }
    });
}

// A reference to a row of another file: fails the row when the row does not
// exist there or was rejected.
void checkReference(RowCheck &check, const std::optional<qint64> &key, const SeenKeys &seen,
    const QSet<qint64> &accepted, const QString &what, const QString &file)
{
    if (!key || accepted.contains(*key))
        return;
    if (seen.contains(*key))
        check.fail(QStringLiteral("%1 %2 was rejected (%3 line %4)")
                       .arg(what)
                       .arg(*key)
                       .arg(file)
                       .arg(seen.value(*key)));
    else
        check.fail(QStringLiteral("unknown %1 %2").arg(what).arg(*key));
}

} // namespace

SourceResult readSources(const QString &dir)
{
    SourceResult result;
    const char *M = "MATERIAL.DB";
    const char *Y = "SYNON.DB";
    const char *S = "SUPPLIER.DB";
    const char *L = "MATSUPP.DB";

    SourceFile materials(dir, "materials.csv",
        {{"key", true, nullptr, nullptr}, {"name", true, M, "name"}, {"cas", false, M, "cas"},
            {"fema", false, M, "fema"}, {"ce", false, M, "ce"}, {"occur", false, M, "occur"},
            {"flavor", false, M, "flavor"}, {"applic", false, M, "applic"},
            {"liter", false, M, "liter"}, {"notes", false, M, "notes"}},
        result);
    SourceFile synonyms(dir, "synonyms.csv",
        {{"material", true, nullptr, nullptr}, {"name", true, Y, "name"}}, result);
    SourceFile suppliers(dir, "suppliers.csv",
        {{"id", true, nullptr, nullptr}, {"name", true, S, "name"},
            {"address", false, S, "address"}, {"city", false, S, "city"},
            {"country", false, S, "country"}, {"phone", false, S, "phone"}},
        result);
    SourceFile links(dir, "links.csv",
        {{"material", true, nullptr, nullptr}, {"supplier", true, nullptr, nullptr},
            {"price", false, L, "price"}, {"comment", false, L, "comment"}},
        result);

    if (!materials.usable() || !synonyms.usable() || !suppliers.usable() || !links.usable())
        return result;

    Catalogue &c = result.catalogue;
    SeenKeys materialKeys, supplierIds;
    QSet<qint64> acceptedMaterials, acceptedSuppliers;
    readMaterials(materials, c, materialKeys, acceptedMaterials);
    readSuppliers(suppliers, c, supplierIds, acceptedSuppliers);
    const QString materialsName = QFileInfo(materials.path()).fileName();
    const QString suppliersName = QFileInfo(suppliers.path()).fileName();

    QHash<qint64, int> synonymCount;
    synonyms.forEachRow([&](RowCheck &check) {
        Synonym s;
        const auto material = synonyms.number(check, "material");
        s.name = synonyms.text(check, "name");
        requireName(check, s.name);
        checkReference(check, material, materialKeys, acceptedMaterials, QStringLiteral("material"),
            materialsName);
        if (check.ok()) {
            s.material = *material;
            s.pos = ++synonymCount[s.material];
            c.synonyms.push_back(std::move(s));
        }
    });

    QHash<QPair<qint64, qint64>, int> pairs;
    links.forEachRow([&](RowCheck &check) {
        Link l;
        const auto material = links.number(check, "material");
        const auto supplier = links.number(check, "supplier");
        l.price = links.text(check, "price");
        l.comment = links.text(check, "comment");
        checkReference(check, material, materialKeys, acceptedMaterials, QStringLiteral("material"),
            materialsName);
        checkReference(check, supplier, supplierIds, acceptedSuppliers, QStringLiteral("supplier"),
            suppliersName);
        if (material && supplier) {
            const QPair<qint64, qint64> pair(*material, *supplier);
            const auto it = pairs.constFind(pair);
            if (it != pairs.constEnd()) {
                check.fail(QStringLiteral("duplicate link of material %1 to supplier %2 (first "
                                          "on line %3)")
                               .arg(*material)
                               .arg(*supplier)
                               .arg(*it));
            } else {
                pairs.insert(pair, check.line());
            }
        }
        if (check.ok()) {
            l.material = *material;
            l.supplier = *supplier;
            c.links.push_back(std::move(l));
        }
    });

    std::stable_sort(result.problems.begin(), result.problems.end(),
        [](const SourceProblem &a, const SourceProblem &b) {
            return a.file != b.file ? a.file < b.file : a.line < b.line;
        });
    return result;
}

} // namespace zil::makedb
