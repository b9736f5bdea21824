#include "findindex.h"

#include "store/field.h"
#include "store/table.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace zil::browser {

namespace {

QByteArray foldUtf8(QByteArrayView text)
{
    return store::foldBytesForFind(text);
}

// The bit of a byte in Filter::chars and Filter::starts; a to z and 0 to 9
// have bits of their own, so that their bits tell for certain.
int charBit(unsigned char b)
{
    if (b >= 'a' && b <= 'z')
        return b - 'a';
    if (b >= '0' && b <= '9')
        return 26 + (b - '0');
    return 36 + b % 28;
}

bool ownBit(unsigned char b)
{
    return (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9');
}

// The bit of two following bytes in Filter::pairs.
unsigned pairBit(unsigned char a, unsigned char b)
{
    uint32_t h = uint32_t(a) * 0x9e3779b1u ^ uint32_t(b) * 0x85ebca77u;
    h ^= h >> 15;
    return h & 255u;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size()
        && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// How a folded name or synonym whose name proper begins at stem holds needle.
FindGroup groupIn(std::string_view text, size_t stem, std::string_view needle)
{
    const size_t at = text.find(needle);
    if (at == std::string_view::npos)
        return FindGroup::None;
    const bool begins = at == 0 || (stem && startsWith(text.substr(stem), needle));
    return begins ? FindGroup::Begins : FindGroup::Contains;
}

bool hasDigit(QByteArrayView t)
{
    return std::any_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

QByteArray foldForFind(QStringView text)
{
    return store::foldForFind(text);
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
    m_file.reset();
    m_fileRefused = false;
    for (store::MaterialBits *b : {&m_exactBits, &m_beginsBits, &m_containsBits, &m_candidates})
        b->reset(0);
    m_shown.clear();
    m_shownSynonyms.clear();
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
    m_filters.clear();
    m_filters.shrink_to_fit();
    m_lastText.clear();
    m_lastFound.clear();
    m_lastFound.shrink_to_fit();
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
        + m_blocks.capacity() * sizeof(uint32_t) + m_filters.capacity() * sizeof(Filter)
        + m_best.capacity() + m_field.capacity() + m_synonym.capacity() * sizeof(qint32);
    if (m_file) {
        bytes += m_file->memoryBytes() + m_shown.size() * 256 + m_shownSynonyms.size() * 128;
        for (const store::MaterialBits *b :
            {&m_exactBits, &m_beginsBits, &m_containsBits, &m_candidates})
            bytes += b->words().capacity() * 8;
    }
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
    const std::vector<qint64> synonymLinks = synonyms.integersInView(synLink);
    const std::vector<quint32> synonymPlaces = synonyms.heldPlacesInView();

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
    const std::vector<qint64> materialIds = materials.integersInView(idColumn);
    const std::vector<quint32> materialPlaces = materials.heldPlacesInView();

    // The record of each id; ids run 1..n, which opening the database checks.
    std::vector<int> recordOf(size_t(n) + 1, 0);
    for (int recNo = 1; recNo <= n; ++recNo) {
        const qint64 id = materialIds[size_t(recNo) - 1];
        if (id >= 1 && id <= n)
            recordOf[size_t(id)] = recNo;
    }
    // The synonym records of each material, in their order.
    std::vector<int> firstSynonym(size_t(n) + 2, 0);
    std::vector<qint32> synonymOwner(size_t(synCount) + 1, 0);
    for (int recNo = 1; recNo <= synCount; ++recNo) {
        const qint64 id = synonymLinks[size_t(recNo) - 1];
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

    const auto stemOf = store::findStemOf;
    // Folded, the hyphens of a CAS number are blanks.
    auto digitsOf = [](QByteArrayView folded) {
        QByteArray digits;
        for (char c : folded) {
            if (c != ' ')
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
            return recNo ? materials.heldBytesOf(materialPlaces[size_t(recNo) - 1], column)
                         : QByteArrayView();
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
            const QByteArrayView text = synonyms.heldBytesOf(synonymPlaces[size_t(s) - 1], synName);
            m_synonyms.append(text);
            const QByteArray folded = foldUtf8(text);
            m_entries.push_back({uint32_t(m_folded.size()), id, synonymIndex++,
                stemOf(folded, synonyms.heldBytesOf(synonymPlaces[size_t(s) - 1], synSf))});
            m_folded.append(folded.constData(), size_t(folded.size()));
            m_folded.push_back('\n');
        }
    }
    m_folded.shrink_to_fit();
    m_materialCount = n;
    buildFilters();
    m_best.reserve(size_t(n) + 1);
    m_field.reserve(size_t(n) + 1);
    m_synonym.reserve(size_t(n) + 1);
    m_built = true;
}

void FindIndex::buildFilters()
{
    m_filters.assign(size_t(m_materialCount), Filter());
    const auto *base = reinterpret_cast<const unsigned char *>(m_folded.data());
    for (size_t e = 0; e < m_entries.size(); ++e) {
        const Entry &entry = m_entries[e];
        const size_t end
            = (e + 1 < m_entries.size() ? m_entries[e + 1].start : m_folded.size()) - 1;
        Filter &f = m_filters[size_t(entry.id) - 1];
        if (end > entry.start)
            f.starts |= uint64_t(1) << charBit(base[entry.start]);
        if (entry.stem && entry.start + entry.stem < end)
            f.starts |= uint64_t(1) << charBit(base[entry.start + entry.stem]);
        for (size_t i = entry.start; i < end; ++i) {
            f.chars |= uint64_t(1) << charBit(base[i]);
            if (i + 1 < end) {
                const unsigned bit = pairBit(base[i], base[i + 1]);
                f.pairs[bit / 64] |= uint64_t(1) << (bit % 64);
            }
        }
    }
}

void FindIndex::matchText(qint32 id, std::string_view needle, FindHit &found) const
{
    const size_t from = m_blocks[size_t(id) - 1];
    const size_t to = id < m_materialCount ? m_blocks[size_t(id)] : m_entries.size();
    // One search over the whole block tells most materials that pass the
    // filters without holding the text; their entries are read one by one
    // only when it is there.
    const size_t blockEnd = to < m_entries.size() ? m_entries[to].start : m_folded.size();
    if (!memmem(m_folded.data() + m_entries[from].start, blockEnd - m_entries[from].start,
            needle.data(), needle.size()))
        return;
    for (size_t e = from; e < to; ++e) {
        const Entry &entry = m_entries[e];
        const size_t end
            = (e + 1 < m_entries.size() ? m_entries[e + 1].start : m_folded.size()) - 1;
        const std::string_view text(m_folded.data() + entry.start, end - entry.start);
        const FindGroup group = groupIn(text, entry.stem, needle);
        if (group == FindGroup::None)
            continue;
        const bool begins = group == FindGroup::Begins;
        if (uint8_t(group) < uint8_t(found.group)) {
            found.group = group;
            found.field = entry.synonym < 0 ? FindField::Name : FindField::Synonym;
            found.synonym = entry.synonym;
        }
        // Nothing later in the block can place the material better.
        if (begins)
            return;
    }
}

FindResult FindIndex::find(const QString &text, int limit) const
{
    FindResult result;
    const QByteArray folded = foldForFind(text);
    if (!m_built || folded.isEmpty())
        return result;
    if (m_file)
        return findInFile(folded, limit);
    const std::string_view needle(folded.constData(), size_t(folded.size()));
    const qint32 n = m_materialCount;
    m_best.assign(size_t(n) + 1, uint8_t(FindGroup::None));
    m_field.resize(size_t(n) + 1);
    m_synonym.resize(size_t(n) + 1);
    // A text that goes on from the last one finds some of the materials that
    // one found, and only those are tried again: typing narrows the list.
    const bool narrowing = !m_lastText.isEmpty() && folded.startsWith(m_lastText)
        && hasDigit(folded) == hasDigit(m_lastText);
    std::vector<qint32> candidates;
    if (narrowing)
        candidates.swap(m_lastFound);
    m_lastText.clear();
    m_lastFound.clear();
    auto forEach = [&](auto &&test) {
        if (narrowing) {
            for (qint32 id : candidates)
                test(id);
        } else {
            for (qint32 id = 1; id <= n; ++id)
                test(id);
        }
    };
    auto note = [this](qint32 id, FindGroup group, FindField field, qint32 synonym) {
        if (uint8_t(group) < m_best[size_t(id)]) {
            m_best[size_t(id)] = uint8_t(group);
            m_field[size_t(id)] = uint8_t(field);
            m_synonym[size_t(id)] = synonym;
        }
    };

    // The numbers, when the text holds a digit. A CAS number typed without
    // its hyphens is compared with the stored ones without theirs; typed
    // with them, or with blanks for them, as they are folded.
    if (hasDigit(folded)) {
        const bool hyphenated = needle.find(' ') != std::string_view::npos;
        const Texts &casKeys = hyphenated ? m_casKeys : m_casDigits;
        auto test = [&](const Texts &keys, qint32 id, FindField field) {
            const std::string_view key = keys.view(id - 1);
            if (startsWith(key, needle))
                note(id, key.size() == needle.size() ? FindGroup::ExactNumber : FindGroup::Begins,
                    field, -1);
        };
        forEach([&](qint32 id) {
            test(casKeys, id, FindField::Cas);
            test(m_femaKeys, id, FindField::Fema);
            test(m_ceKeys, id, FindField::Ce);
        });
    }

    // The names and synonyms. A single character is answered from the
    // filters alone when it has a bit of its own; longer texts read the texts
    // of the materials whose filter holds every pair of bytes of the text.
    constexpr uint8_t unknownField = 0xff;
    const auto *bytes = reinterpret_cast<const unsigned char *>(needle.data());
    if (needle.size() == 1) {
        const uint64_t bit = uint64_t(1) << charBit(bytes[0]);
        const bool certain = ownBit(bytes[0]);
        forEach([&](qint32 id) {
            const Filter &f = m_filters[size_t(id) - 1];
            if (!(f.chars & bit))
                return;
            if (!certain) {
                FindHit hit;
                matchText(id, needle, hit);
                if (hit.group != FindGroup::None)
                    note(id, hit.group, hit.field, hit.synonym);
                return;
            }
            const FindGroup group = (f.starts & bit) ? FindGroup::Begins : FindGroup::Contains;
            if (uint8_t(group) < m_best[size_t(id)]) {
                // Which name or synonym it was is looked up for listed
                // materials only.
                m_best[size_t(id)] = uint8_t(group);
                m_field[size_t(id)] = unknownField;
            }
        });
    } else {
        uint64_t mask[4] = {0, 0, 0, 0};
        for (size_t i = 0; i + 1 < needle.size(); ++i) {
            const unsigned bit = pairBit(bytes[i], bytes[i + 1]);
            mask[bit / 64] |= uint64_t(1) << (bit % 64);
        }
        forEach([&](qint32 id) {
            const Filter &f = m_filters[size_t(id) - 1];
            if ((f.pairs[0] & mask[0]) != mask[0] || (f.pairs[1] & mask[1]) != mask[1]
                || (f.pairs[2] & mask[2]) != mask[2] || (f.pairs[3] & mask[3]) != mask[3])
                return;
            FindHit hit;
            matchText(id, needle, hit);
            if (hit.group != FindGroup::None)
                note(id, hit.group, hit.field, hit.synonym);
        });
    }

    // Group by group, in name order, which is id order.
    for (uint8_t group = 0; group < uint8_t(FindGroup::None); ++group) {
        for (qint32 id = 1; id <= n; ++id) {
            if (m_best[size_t(id)] != group)
                continue;
            ++result.total;
            m_lastFound.push_back(id);
            if (qsizetype(result.hits.size()) >= limit)
                continue;
            FindHit hit {
                id, FindGroup(group), FindField(m_field[size_t(id)]), m_synonym[size_t(id)]};
            if (m_field[size_t(id)] == unknownField) {
                FindHit found;
                matchText(id, needle, found);
                hit.field = found.field;
                hit.synonym = found.synonym;
            }
            result.hits.push_back(hit);
        }
    }
    m_lastText = folded;
    return result;
}

bool FindIndex::open(const store::Table &materials, const store::Table &synonyms)
{
    if (m_fileRefused)
        return false;
    std::shared_ptr<store::FindData> data = store::openFindDataOf(materials, synonyms);
    if (!data)
        return false;
    clear();
    m_file = std::move(data);
    m_materialCount = m_file->materialCount();
    m_built = true;
    return true;
}

void FindIndex::fileDamaged() const
{
    m_file.reset();
    m_fileRefused = true;
    m_shown.clear();
    m_shownSynonyms.clear();
    const_cast<FindIndex *>(this)->m_built = false;
}

const store::FindData::Shown &FindIndex::shownInFile(qint32 id) const
{
    static const store::FindData::Shown none;
    if (auto it = m_shown.find(id); it != m_shown.end())
        return it->second;
    if (!m_file)
        return none;
    try {
        return m_shown.emplace(id, m_file->shown(id)).first->second;
    } catch (const store::FindDataDamaged &) {
        fileDamaged();
        return none;
    }
}

QString FindIndex::synonymInFile(qint32 index) const
{
    if (auto it = m_shownSynonyms.find(index); it != m_shownSynonyms.end())
        return it->second;
    if (!m_file)
        return {};
    try {
        return m_shownSynonyms.emplace(index, m_file->synonym(index)).first->second;
    } catch (const store::FindDataDamaged &) {
        fileDamaged();
        return {};
    }
}

FindResult FindIndex::findInFile(const QByteArray &folded, int limit) const
{
    const std::string_view needle(folded.constData(), size_t(folded.size()));
    const store::FindData &data = *m_file;
    const qint32 n = data.materialCount();
    using Number = store::FindData::Number;
    FindResult result;
    m_shown.clear();
    m_shownSynonyms.clear();
    try {
        for (store::MaterialBits *b : {&m_exactBits, &m_beginsBits, &m_containsBits})
            b->reset(n);
        // The numbers, when the text holds a digit: a CAS number typed
        // without its hyphens is compared with the stored ones without
        // theirs; typed with them, or with blanks for them, as they are
        // folded.
        const bool digits = hasDigit(folded);
        const bool hyphenated = needle.find(' ') != std::string_view::npos;
        if (digits) {
            data.numbersFrom(
                hyphenated ? Number::CasKey : Number::CasDigits, needle, m_exactBits, m_beginsBits);
            data.numbersFrom(Number::Fema, needle, m_exactBits, m_beginsBits);
            data.numbersFrom(Number::Ce, needle, m_exactBits, m_beginsBits);
        }

        // The names and synonyms. A short text has lists of its own, and so
        // has every word and every two words; any other text is looked for
        // in the materials that hold each of its runs of three bytes.
        if (needle.size() <= store::FindData::longestRun) {
            data.materialsWithRun(needle, &m_containsBits, &m_beginsBits);
        } else if (store::FindData::isWord(needle)) {
            // A text of one word lies within the words that hold it.
            data.materialsWithWordPart(needle, m_containsBits, m_beginsBits);
        } else if (store::FindData::isWordPair(needle)) {
            // A text of two words ("2 meth", typed as "2-meth") within the
            // pairs of words that hold it.
            data.materialsWithWordPairPart(needle, m_containsBits, m_beginsBits);
        } else {
            m_candidates.reset(n);
            data.materialsWithRun(needle.substr(0, 3), &m_candidates, nullptr);
            for (size_t i = 1; i + 3 <= needle.size(); ++i)
                data.materialsWithRun(needle.substr(i, 3), &m_candidates, nullptr, true);
            const std::vector<quint64> &words = m_candidates.words();
            for (size_t w = 0; w < words.size(); ++w) {
                for (quint64 bits = words[w]; bits; bits &= bits - 1) {
                    const qint32 id = qint32(w * 64 + size_t(std::countr_zero(bits)) + 1);
                    FindGroup best = FindGroup::None;
                    for (const store::FindData::Entry &e : data.folded(id).entries) {
                        best = std::min(best, groupIn(e.text, e.stem, needle));
                        if (best == FindGroup::Begins)
                            break;
                    }
                    if (best == FindGroup::Begins)
                        m_beginsBits.set(id);
                    else if (best == FindGroup::Contains)
                        m_containsBits.set(id);
                }
            }
        }

        // Group by group, in name order, which is id order.
        const std::vector<quint64> &exact = m_exactBits.words();
        const std::vector<quint64> &begins = m_beginsBits.words();
        const std::vector<quint64> &contains = m_containsBits.words();
        for (uint8_t group = 0; group < uint8_t(FindGroup::None); ++group) {
            for (size_t w = 0; w < exact.size(); ++w) {
                quint64 bits = group == 0 ? exact[w]
                    : group == 1          ? begins[w] & ~exact[w]
                                          : contains[w] & ~begins[w] & ~exact[w];
                result.total += std::popcount(bits);
                for (; bits && qsizetype(result.hits.size()) < limit; bits &= bits - 1) {
                    const qint32 id = qint32(w * 64 + size_t(std::countr_zero(bits)) + 1);
                    result.hits.push_back({id, FindGroup(group), FindField::Name, -1});
                }
            }
        }

        // How each material listed was found: the first number that
        // places it so, else its name or the first synonym that does.
        for (FindHit &hit : result.hits) {
            const store::FindData::Folded &f = data.folded(hit.id);
            FindGroup best = FindGroup::None;
            if (digits) {
                const std::pair<std::string_view, FindField> numbers[]
                    = {{hyphenated ? f.casKey : f.casDigits, FindField::Cas},
                        {f.fema, FindField::Fema}, {f.ce, FindField::Ce}};
                for (const auto &[key, field] : numbers) {
                    const FindGroup g = !startsWith(key, needle) ? FindGroup::None
                        : key.size() == needle.size()            ? FindGroup::ExactNumber
                                                                 : FindGroup::Begins;
                    if (g < best) {
                        best = g;
                        hit.field = field;
                    }
                }
            }
            for (const store::FindData::Entry &e : f.entries) {
                const FindGroup g = groupIn(e.text, e.stem, needle);
                if (g < best) {
                    best = g;
                    hit.field = e.synonym < 0 ? FindField::Name : FindField::Synonym;
                    hit.synonym = e.synonym;
                }
                if (g == FindGroup::Begins)
                    break;
            }
            if (best != hit.group)
                throw store::FindDataDamaged();
        }
        for (const FindHit &hit : result.hits) {
            m_shown.emplace(hit.id, data.shown(hit.id));
            if (hit.synonym >= 0)
                m_shownSynonyms.emplace(hit.synonym, data.synonym(hit.synonym));
        }
    } catch (const store::FindDataDamaged &) {
        fileDamaged();
        return {};
    }
    return result;
}

} // namespace zil::browser
