#include "catalogue.h"

#include "sortkey.h"
#include "store/schema.h"

#include <QHash>
#include <algorithm>

namespace zil::makedb {

namespace {

int sfSize(const char *table)
{
    const schema::TableDef *t = schema::findTable(QString::fromLatin1(table));
    return t->field(QStringLiteral("sf"))->size;
}

} // namespace

bool filesBefore(const Material &a, const Material &b)
{
    if (const int c = QString::compare(a.sf, b.sf, Qt::CaseInsensitive))
        return c < 0;
    if (const int c = QString::compare(a.name, b.name, Qt::CaseInsensitive))
        return c < 0;
    if (const int c = QString::compare(a.name, b.name, Qt::CaseSensitive))
        return c < 0;
    return a.key < b.key;
}

void arrange(Catalogue &c)
{
    const int materialSf = sfSize("MATERIAL.DB");
    const int synonymSf = sfSize("SYNON.DB");

    for (Material &m : c.materials)
        m.sf = sortKey(m.name, materialSf);
    std::sort(c.materials.begin(), c.materials.end(), filesBefore);

    QHash<qint64, int> idOf;
    idOf.reserve(qsizetype(c.materials.size()));
    int id = 0;
    for (Material &m : c.materials) {
        m.id = ++id;
        idOf.insert(m.key, m.id);
    }

    for (Synonym &s : c.synonyms) {
        s.materialId = idOf.value(s.material);
        s.sf = sortKey(s.name, synonymSf);
    }
    std::stable_sort(c.synonyms.begin(), c.synonyms.end(), [](const Synonym &a, const Synonym &b) {
        return a.materialId != b.materialId ? a.materialId < b.materialId : a.pos < b.pos;
    });

    std::sort(c.suppliers.begin(), c.suppliers.end(),
        [](const Supplier &a, const Supplier &b) { return a.id < b.id; });

    for (Link &l : c.links)
        l.materialId = idOf.value(l.material);
    std::stable_sort(c.links.begin(), c.links.end(), [](const Link &a, const Link &b) {
        return a.materialId != b.materialId ? a.materialId < b.materialId : a.supplier < b.supplier;
    });
}

} // namespace zil::makedb
