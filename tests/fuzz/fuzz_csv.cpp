// The CSV reading of zil-makedb on sources of any content. The input is the
// four source files one after the other, separated by form feeds: materials,
// synonyms, suppliers, links. Whatever they hold, the maker reports problems
// or arranges a catalogue whose references all hold. The bounded read of a
// source file gives back exactly its bytes, and refuses one over its limit.
#include "tools/makedb/catalogue.h"
#include "tools/makedb/csvreader.h"
#include "tools/makedb/sources.h"

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

using namespace zil::makedb;

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_csv: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));

    const CsvFile csv = parseCsv(input);
    int last = 0;
    for (const CsvRecord &r : csv.records) {
        check(r.line >= last && r.line >= 1, "records out of line order");
        last = r.line;
    }

    const QString whole = dir.filePath(QStringLiteral("whole.csv"));
    {
        QFile f(whole);
        check(f.open(QIODevice::WriteOnly) && f.write(input) == input.size(), "cannot write");
    }
    QByteArray back;
    QString error;
    check(readSourceFile(whole, &back, &error) && back == input, "a source read back changed");
    if (size > 0) {
        check(!readSourceFile(whole, &back, &error, qint64(size) - 1) && !error.isEmpty(),
            "a source over the limit was read");
    }

    static const char *const files[]
        = {"materials.csv", "synonyms.csv", "suppliers.csv", "links.csv"};
    const QList<QByteArray> parts = input.split('\f');
    for (int i = 0; i < 4; ++i) {
        const QString path = dir.filePath(QLatin1String(files[i]));
        QFile::remove(path);
        if (i < parts.size()) {
            QFile f(path);
            check(f.open(QIODevice::WriteOnly), "cannot write a source");
            f.write(parts[i]);
        }
    }
    SourceResult result = readSources(dir.path());
    check(!result.fatal || result.catalogue.materials.empty() || !result.problems.empty(),
        "a fatal reading without a problem");
    if (result.fatal)
        return 0;
    arrange(result.catalogue);
    const Catalogue &c = result.catalogue;
    QSet<int> ids;
    for (size_t i = 0; i < c.materials.size(); ++i) {
        check(c.materials[i].id >= 1 && c.materials[i].id <= int(c.materials.size()),
            "a material id outside 1..N");
        ids.insert(c.materials[i].id);
    }
    check(ids.size() == int(c.materials.size()), "two materials share an id");
    for (const Synonym &s : c.synonyms)
        check(ids.contains(s.materialId), "a synonym of no material");
    for (const Link &l : c.links)
        check(ids.contains(l.materialId), "a link to no material");
    return 0;
}
