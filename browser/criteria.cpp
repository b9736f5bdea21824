#include "criteria.h"

#include "store/field.h"
#include "store/table.h"

#include <QStringList>
#include <cstring>

namespace {

bool isBlank(QChar c)
{
    return c.unicode() == 32;
}

// a to z only; accented letters and every other byte stay as they are, so a
// UTF-8 text keeps its multi-byte characters intact.
inline char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c;
}

// A memo's text ends at its first zero byte; the whole of it takes part, its
// last character included, whatever its length.
QByteArrayView memoText(QByteArrayView text)
{
    const void *zero = std::memchr(text.data(), 0, size_t(text.size()));
    return zero ? text.first(static_cast<const char *>(zero) - text.data()) : text;
}

// Whether the text, its letters a to z upper-cased already, holds
// criterion; a memo ends at its first zero byte and, empty, holds nothing.
bool upperTextHolds(QByteArrayView text, QByteArrayView criterion, bool memo)
{
    if (memo) {
        if (text.isEmpty())
            return false;
        text = memoText(text);
    }
    return memmem(text.data(), size_t(text.size()), criterion.data(), size_t(criterion.size()))
        != nullptr;
}

// One test of a run: a criterion looked for in a field of MATERIAL.DB.
struct FieldTest
{
    QByteArray criterion;
    int column;
    bool memo;
};

// The criteria as the tests they make, in the order they are made: the name,
// short and telling, first, then the CAS number, and the occurrence,
// application and flavour memos. An empty criterion makes no test. Names and
// CAS numbers are compared as their stored UTF-8 bytes: only a to z are
// folded, so a text holds the criterion exactly when its bytes hold the
// criterion's.
struct Plan
{
    QByteArray material;
    std::vector<FieldTest> tests;
    QStringList fields; // those the tests read

    bool byName() const { return !material.isEmpty(); }
};

Plan planOf(const Criteria &c, zil::store::Table &materials)
{
    Plan plan;
    plan.material = c.material.toUtf8();
    auto add = [&](const QByteArray &criterion, const char *field, bool memo) {
        if (criterion.isEmpty())
            return;
        const QString name = QString::fromLatin1(field);
        plan.fields << name;
        plan.tests.push_back({criterion, materials.fieldByName(name).column(), memo});
    };
    add(plan.material, "name", false);
    add(c.cas.toUtf8(), "cas", false);
    add(c.occurrence, "occur", true);
    add(c.application, "applic", true);
    add(c.flavour, "flavor", true);
    return plan;
}

// Whether one material passes every test of the plan, each made only while
// the result is still true. upperBytes(column) gives the material's bytes of
// a field with a to z upper-cased; synonymHolds() tells whether one of its
// synonyms holds the name criterion, and is asked only when the name itself
// does not.
template<typename UpperBytes, typename SynonymHolds>
inline bool passes(const Plan &plan, UpperBytes &&upperBytes, SynonymHolds &&synonymHolds)
{
    bool result = true;
    for (size_t t = 0; t < plan.tests.size() && result; ++t) {
        const FieldTest &test = plan.tests[t];
        result = upperTextHolds(upperBytes(test.column), test.criterion, test.memo);
        if (!result && t == 0 && plan.byName())
            result = synonymHolds();
    }
    return result;
}

} // namespace

QString TrimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size() - 1;
    while (first <= last && isBlank(text.at(first)))
        ++first;
    while (last >= first && isBlank(text.at(last)))
        --last;
    return text.mid(first, last - first + 1);
}

QString UpperAscii(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u - (u'a' - u'A')));
    }
    return out;
}

QString CriterionForm(const QString &text)
{
    return UpperAscii(TrimSpaces(text));
}

Criteria Criteria::fromTexts(const QString &material, const QString &cas, const QString &occurrence,
    const QString &flavour, const QString &application)
{
    return Criteria {CriterionForm(material), CriterionForm(cas),
        CriterionForm(occurrence).toUtf8(), CriterionForm(flavour).toUtf8(),
        CriterionForm(application).toUtf8()};
}

void CriteriaTest::SetScanCursors(zil::store::Table *materials, zil::store::Table *synonyms)
{
    m_materials = materials;
    m_synonyms = synonyms;
}

QByteArrayView CriteriaTest::upper(QByteArrayView text)
{
    m_folded.resize(text.size());
    const char *from = text.data();
    char *to = m_folded.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        to[i] = upperAscii(from[i]);
    return m_folded;
}

bool CriteriaTest::MaterialMatches()
{
    if (!m_materials)
        return true;
    // The test of the whole table, on the one record under the scan cursor
    // and the synonyms that its linked cursor shows.
    const Plan plan = planOf(m_criteria, *m_materials);
    const auto &fields = m_materials->fields();
    return passes(
        plan, [&](int column) { return upper(fields[size_t(column)]->asBytes()); },
        [&] {
            if (!m_synonyms || !m_synonyms->active())
                return false;
            zil::store::Field &synonym = m_synonyms->fieldByName(QStringLiteral("name"));
            for (m_synonyms->first(); !m_synonyms->eof(); m_synonyms->next()) {
                if (upperTextHolds(upper(synonym.asBytes()), plan.material, false))
                    return true;
            }
            return false;
        });
}

bool CriteriaTest::MemoContains(const QString &criterion, const QString &memoField)
{
    const QByteArray wanted = criterion.toUtf8();
    if (wanted.isEmpty())
        return true;
    if (!m_materials)
        return false;
    return upperTextHolds(upper(m_materials->fieldByName(memoField).asBytes()), wanted, true);
}

std::optional<qint32> CriteriaTest::MatchAll(
    std::vector<uint8_t> &flags, qint32 maxId, const std::function<void(int)> &progress)
{
    if (!m_materials)
        return 0;
    zil::store::Table &materials = *m_materials;
    const Plan plan = planOf(m_criteria, materials);
    // Held upper-cased, so that every run tests them as they lie.
    materials.holdBytes(plan.fields, true);

    // The synonyms, through a cursor of their own without the link, open
    // only for this run so that it holds the table no longer; by material,
    // the places of its synonyms, found once they are first needed.
    std::optional<zil::store::Table> all;
    int synonymName = -1;
    std::vector<int> firstOf;
    std::vector<quint32> places;
    auto synonymHolds = [&](qint64 link) {
        if (!m_synonyms || !m_synonyms->active() || link < 1 || link > maxId)
            return false;
        if (!all) {
            const QString key
                = m_synonyms->indexFieldNames().section(QLatin1Char(';'), 0, 0).trimmed();
            all.emplace();
            all->setDatabaseName(m_synonyms->databaseName());
            all->setTableName(m_synonyms->tableName());
            all->setReadOnly(true);
            all->open();
            all->holdBytes({QStringLiteral("name")}, true);
            synonymName = all->fieldByName(QStringLiteral("name")).column();
            const int keyColumn
                = all->fieldByName(key.isEmpty() ? QStringLiteral("materialid") : key).column();
            const std::vector<qint64> ids = all->integersInView(keyColumn);
            const std::vector<quint32> held = all->heldPlacesInView();
            firstOf.assign(size_t(maxId) + 2, 0);
            for (const qint64 id : ids) {
                if (id >= 1 && id <= maxId)
                    ++firstOf[size_t(id) + 1];
            }
            for (size_t id = 1; id < firstOf.size(); ++id)
                firstOf[id] += firstOf[id - 1];
            places.resize(size_t(firstOf.back()));
            std::vector<int> next(firstOf.begin(), firstOf.end() - 1);
            for (size_t i = 0; i < ids.size(); ++i) {
                if (ids[i] >= 1 && ids[i] <= maxId)
                    places[size_t(next[size_t(ids[i])]++)] = held[i];
            }
        }
        for (int p = firstOf[size_t(link)]; p < firstOf[size_t(link) + 1]; ++p) {
            if (upperTextHolds(
                    all->heldBytesOf(places[size_t(p)], synonymName), plan.material, false))
                return true;
        }
        return false;
    };

    const QString masterField = m_synonyms && !m_synonyms->masterFields().isEmpty()
        ? m_synonyms->masterFields()
        : QStringLiteral("id");
    const int idColumn = materials.fieldByName(QStringLiteral("id")).column();
    const int linkColumn = materials.fieldByName(masterField).column();
    // Where each record's texts lie, and its id and link, read in one pass
    // rather than record by record.
    const std::vector<quint32> placeOf = materials.heldPlacesInView();
    const std::vector<qint64> ids = materials.integersInView(idColumn);
    const std::vector<qint64> links = !plan.byName() || linkColumn == idColumn
        ? std::vector<qint64>()
        : materials.integersInView(linkColumn);
    const int n = int(placeOf.size());
    qint32 count = 0;
    for (int recNo = 1; recNo <= n; ++recNo) {
        const size_t r = size_t(recNo) - 1;
        const bool result = passes(
            plan, [&](int column) { return materials.heldBytesOf(placeOf[r], column); },
            [&] { return synonymHolds(links.empty() ? ids[r] : links[r]); });
        const qint64 id = ids[r];
        if (id >= 1 && id <= maxId) {
            flags[size_t(id)] = result;
            if (result)
                ++count;
        }
        progress(recNo - 1);
    }
    return count;
}
