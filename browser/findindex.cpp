#include "findindex.h"

#include "store/field.h"
#include "store/table.h"

#include <algorithm>
#include <cstring>

namespace zil::browser {

namespace {

// Letters that compatibility decomposition leaves whole, as a reader who
// cannot type them spells them.
QStringView spelt(char16_t c)
{
    switch (c) {
    case u'ß':
        return u"ss";
    case u'æ':
        return u"ae";
    case u'Æ':
        return u"ae";
    case u'œ':
        return u"oe";
    case u'Œ':
        return u"oe";
    case u'ø':
        return u"o";
    case u'Ø':
        return u"o";
    case u'ł':
        return u"l";
    case u'Ł':
        return u"l";
    case u'đ':
        return u"d";
    case u'Đ':
        return u"d";
    default:
        return {};
    }
}

bool isHyphen(char16_t c)
{
    return c == 0x2010 || c == 0x2011 || c == 0x2012 || c == 0x2013 || c == 0x2212;
}

// The ASCII case of foldForFind without a detour through QString.
QByteArray foldAscii(QByteArrayView text)
{
    qsizetype from = 0, to = text.size();
    auto blank = [](char c) { return c == ' ' || (c >= 0 && c < ' ') || c == 0x7f; };
    while (from < to && blank(text[from]))
        ++from;
    while (to > from && blank(text[to - 1]))
        --to;
    QByteArray out(to - from, Qt::Uninitialized);
    for (qsizetype i = from; i < to; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        else if (blank(c))
            c = ' ';
        out[i - from] = c;
    }
    return out;
}

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

QByteArray foldUtf8(QByteArrayView text)
{
    return isAscii(text) ? foldAscii(text) : foldForFind(QString::fromUtf8(text));
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size()
        && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

} // namespace

QByteArray foldForFind(QStringView text)
{
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString kept;
    kept.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing)
            continue;
        const QStringView spelling = spelt(c.unicode());
        if (!spelling.isEmpty())
            kept += spelling;
        else if (isHyphen(c.unicode()))
            kept += QLatin1Char('-');
        else if (category == QChar::Other_Control || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            kept += QLatin1Char(' ');
        else
            kept += c;
    }
    return kept.toCaseFolded().trimmed().toUtf8();
}

void FindIndex::Texts::append(QByteArrayView text)
{
    bytes.append(text.data(), size_t(text.size()));
    ends.push_back(uint32_t(bytes.size()));
}

std::string_view FindIndex::Texts::view(qint32 i) const
{
    const uint32_t from = i > 0 ? ends[size_t(i) - 1] : 0;
    return std::string_view(bytes).substr(from, ends[size_t(i)] - from);
}

QString FindIndex::Texts::at(qint32 i) const
{
    if (i < 0 || size_t(i) >= ends.size())
        return {};
    const std::string_view v = view(i);
    return QString::fromUtf8(v.data(), qsizetype(v.size()));
}

void FindIndex::Texts::clear()
{
    bytes.clear();
    bytes.shrink_to_fit();
    ends.clear();
    ends.shrink_to_fit();
}

size_t FindIndex::Texts::memoryBytes() const
{
    return bytes.capacity() + ends.capacity() * sizeof(uint32_t);
}

void FindIndex::clear()
{
    m_built = false;
    m_materialCount = 0;
    for (Texts *t : {&m_names, &m_cas, &m_fema, &m_ce, &m_synonyms, &m_casKeys, &m_casDigits,
             &m_femaKeys, &m_ceKeys})
        t->clear();
    m_folded.clear();
    m_folded.shrink_to_fit();
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_best.clear();
    m_best.shrink_to_fit();
    m_field.clear();
    m_field.shrink_to_fit();
    m_synonym.clear();
    m_synonym.shrink_to_fit();
}

size_t FindIndex::memoryBytes() const
{
    size_t bytes = m_folded.capacity() + m_entries.capacity() * sizeof(Entry)
        + m_blocks.capacity() * sizeof(uint32_t) + m_best.capacity() + m_field.capacity()
        + m_synonym.capacity() * sizeof(qint32);
    for (const Texts *t : {&m_names, &m_cas, &m_fema, &m_ce, &m_synonyms, &m_casKeys, &m_casDigits,
             &m_femaKeys, &m_ceKeys})
        bytes += t->memoryBytes();
    return bytes;
}

void FindIndex::build(const store::Table &materialDecl, const store::Table &synonymDecl)
{
    clear();
    auto openLike = [](store::Table &t, const store::Table &like) {
        t.setDatabaseName(like.databaseName());
        t.setTableName(like.tableName());
        t.setReadOnly(true);
        t.open();
    };

    // The synonyms first, grouped by material in the order of their places;
    // the primary index orders them so.
    store::Table synonyms;
    openLike(synonyms, synonymDecl);
    synonyms.holdBytes({QStringLiteral("name"), QStringLiteral("sf")});
    const int synName = synonyms.fieldByName(QStringLiteral("name")).column();
    const int synSf = synonyms.fieldByName(QStringLiteral("sf")).column();
    const int synLink = synonyms.fieldByName(QStringLiteral("materialid")).column();
    const int synCount = synonyms.recordCount();

    store::Table materials;
    openLike(materials, materialDecl);
    materials.holdBytes({QStringLiteral("name"), QStringLiteral("cas"), QStringLiteral("fema"),
        QStringLiteral("ce"), QStringLiteral("sf")});
    const int nameColumn = materials.fieldByName(QStringLiteral("name")).column();
    const int casColumn = materials.fieldByName(QStringLiteral("cas")).column();
    const int femaColumn = materials.fieldByName(QStringLiteral("fema")).column();
    const int ceColumn = materials.fieldByName(QStringLiteral("ce")).column();
    const int sfColumn = materials.fieldByName(QStringLiteral("sf")).column();
    const int idColumn = materials.fieldByName(QStringLiteral("id")).column();
    const qint32 n = materials.recordCount();

    // The record of each id; ids run 1..n, which opening the database checks.
    std::vector<int> recordOf(size_t(n) + 1, 0);
    for (int recNo = 1; recNo <= n; ++recNo) {
        const qint64 id = materials.integerAt(recNo, idColumn);
        if (id >= 1 && id <= n)
            recordOf[size_t(id)] = recNo;
    }
    // The synonym records of each material, in their order.
    std::vector<int> firstSynonym(size_t(n) + 2, 0);
    std::vector<qint32> synonymOwner(size_t(synCount) + 1, 0);
    for (int recNo = 1; recNo <= synCount; ++recNo) {
        const qint64 id = synonyms.integerAt(recNo, synLink);
        if (id >= 1 && id <= n) {
            synonymOwner[size_t(recNo)] = qint32(id);
            ++firstSynonym[size_t(id) + 1];
        }
    }
    for (size_t id = 1; id < firstSynonym.size(); ++id)
        firstSynonym[id] += firstSynonym[id - 1];
    std::vector<int> synonymRecords(size_t(firstSynonym.back()));
    {
        std::vector<int> next(firstSynonym.begin(), firstSynonym.end() - 1);
        for (int recNo = 1; recNo <= synCount; ++recNo) {
            if (const qint32 id = synonymOwner[size_t(recNo)])
                synonymRecords[size_t(next[size_t(id)]++)] = recNo;
        }
    }

    // Where the name proper begins: the folded sort key is the folded text
    // with its leading prefixes dropped, normally its end.
    auto stemOf = [](const QByteArray &folded, QByteArrayView sortKey) -> uint16_t {
        const QByteArray key = foldUtf8(sortKey);
        if (key.isEmpty() || key == folded)
            return 0;
        qsizetype at = folded.endsWith(key) ? folded.size() - key.size() : folded.indexOf(key);
        return at > 0 && at < 0xffff ? uint16_t(at) : 0;
    };
    auto digitsOf = [](QByteArrayView folded) {
        QByteArray digits;
        for (char c : folded) {
            if (c != '-')
                digits += c;
        }
        return digits;
    };

    m_entries.reserve(size_t(n) + synonymRecords.size());
    m_blocks.reserve(size_t(n));
    qint32 synonymIndex = 0;
    for (qint32 id = 1; id <= n; ++id) {
        const int recNo = recordOf[size_t(id)];
        auto held = [&](int column) {
            return recNo ? materials.heldBytesAt(recNo, column) : QByteArrayView();
        };
        const QByteArrayView name = held(nameColumn);
        m_names.append(name);
        m_cas.append(held(casColumn));
        m_fema.append(held(femaColumn));
        m_ce.append(held(ceColumn));
        const QByteArray casKey = foldUtf8(held(casColumn));
        m_casKeys.append(casKey);
        m_casDigits.append(digitsOf(casKey));
        m_femaKeys.append(foldUtf8(held(femaColumn)));
        m_ceKeys.append(foldUtf8(held(ceColumn)));

        m_blocks.push_back(uint32_t(m_entries.size()));
        const QByteArray foldedName = foldUtf8(name);
        m_entries.push_back(
            {uint32_t(m_folded.size()), id, -1, stemOf(foldedName, held(sfColumn))});
        m_folded.append(foldedName.constData(), size_t(foldedName.size()));
        m_folded.push_back('\n');
        for (int p = firstSynonym[size_t(id)]; p < firstSynonym[size_t(id) + 1]; ++p) {
            const int s = synonymRecords[size_t(p)];
            const QByteArrayView text = synonyms.heldBytesAt(s, synName);
            m_synonyms.append(text);
            const QByteArray folded = foldUtf8(text);
            m_entries.push_back({uint32_t(m_folded.size()), id, synonymIndex++,
                stemOf(folded, synonyms.heldBytesAt(s, synSf))});
            m_folded.append(folded.constData(), size_t(folded.size()));
            m_folded.push_back('\n');
        }
    }
    m_folded.shrink_to_fit();
    m_materialCount = n;
    m_best.reserve(size_t(n) + 1);
    m_field.reserve(size_t(n) + 1);
    m_synonym.reserve(size_t(n) + 1);
    m_built = true;
}

FindResult FindIndex::find(const QString &text, int limit) const
{
    FindResult result;
    const QByteArray folded = foldForFind(text);
    if (!m_built || folded.isEmpty())
        return result;
    const std::string_view needle(folded.constData(), size_t(folded.size()));
    const qint32 n = m_materialCount;
    m_best.assign(size_t(n) + 1, uint8_t(FindGroup::None));
    m_field.resize(size_t(n) + 1);
    m_synonym.resize(size_t(n) + 1);
    auto note = [this](qint32 id, FindGroup group, FindField field, qint32 synonym) {
        if (uint8_t(group) < m_best[size_t(id)]) {
            m_best[size_t(id)] = uint8_t(group);
            m_field[size_t(id)] = uint8_t(field);
            m_synonym[size_t(id)] = synonym;
        }
    };

    // The numbers, when the text holds a digit. A CAS number typed without
    // its hyphens is compared with the stored ones without theirs.
    if (std::any_of(needle.begin(), needle.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const bool hyphenated = needle.find('-') != std::string_view::npos;
        const Texts &casKeys = hyphenated ? m_casKeys : m_casDigits;
        auto test = [&](const Texts &keys, qint32 id, FindField field) {
            const std::string_view key = keys.view(id - 1);
            if (startsWith(key, needle))
                note(id, key.size() == needle.size() ? FindGroup::ExactNumber : FindGroup::Begins,
                    field, -1);
        };
        for (qint32 id = 1; id <= n; ++id) {
            test(casKeys, id, FindField::Cas);
            test(m_femaKeys, id, FindField::Fema);
            test(m_ceKeys, id, FindField::Ce);
        }
    }

    // The names and synonyms: one pass over the folded text. The first
    // occurrence in an entry tells whether the entry holds the text; whether
    // it begins with it is seen at its start or where its name proper begins.
    // Once a material begins with the text nothing later in its block can
    // place it better, so the search goes on at the next material.
    const char *base = m_folded.data();
    const size_t size = m_folded.size();
    const size_t entries = m_entries.size();
    size_t at = 0;
    size_t e = 0;
    while (at < size) {
        const void *hit = memmem(base + at, size - at, needle.data(), needle.size());
        if (!hit)
            break;
        const size_t off = size_t(static_cast<const char *>(hit) - base);
        while (e + 1 < entries && m_entries[e + 1].start <= off)
            ++e;
        const Entry &entry = m_entries[e];
        const size_t end = (e + 1 < entries ? m_entries[e + 1].start : size) - 1;
        bool begins = off == entry.start;
        if (!begins && entry.stem) {
            const size_t stem = entry.start + entry.stem;
            begins = stem + needle.size() <= end
                && std::memcmp(base + stem, needle.data(), needle.size()) == 0;
        }
        note(entry.id, begins ? FindGroup::Begins : FindGroup::Contains,
            entry.synonym < 0 ? FindField::Name : FindField::Synonym, entry.synonym);
        if (begins && entry.id < n) {
            e = m_blocks[size_t(entry.id)];
            at = m_entries[e].start;
        } else if (begins) {
            break;
        } else {
            at = end + 1;
        }
    }

    // Group by group, in name order, which is id order.
    for (uint8_t group = 0; group < uint8_t(FindGroup::None); ++group) {
        for (qint32 id = 1; id <= n; ++id) {
            if (m_best[size_t(id)] != group)
                continue;
            ++result.total;
            if (qsizetype(result.hits.size()) < limit)
                result.hits.push_back(
                    {id, FindGroup(group), FindField(m_field[size_t(id)]), m_synonym[size_t(id)]});
        }
    }
    return result;
}

} // namespace zil::browser
