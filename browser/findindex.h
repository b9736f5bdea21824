// The search data of the Find window: every material's name, synonyms and
// CAS, FEMA and CE numbers, folded once for matching, and the search that
// answers one typed text from them. No widgets. They are read in place from
// the store's search data file of the tables (store/finddata.h); when that is
// missing, stale or damaged, they are built from the database in memory and
// searched there.
#pragma once

#include "store/finddata.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zil::store {
class Table;
}

namespace zil::browser {

// A text as Find compares it: its letters folded as names are (foldLetters,
// store/textfold.h), punctuation, hyphens, minus signs, control characters
// and other spaces turned into blanks and each run of blanks into one, none
// at the ends, case-folded; as UTF-8. "gamma-Undecalactone" and "Gamma
// undecalactone" so read alike.
QByteArray foldForFind(QStringView text);

// How a material was found, best first.
enum class FindGroup : uint8_t { ExactNumber, Begins, Contains, None };

// The field a material was found by.
enum class FindField : uint8_t { Cas, Fema, Ce, Name, Synonym };

struct FindHit
{
    qint32 id = 0;
    FindGroup group = FindGroup::None;
    FindField field = FindField::Name;
    // The synonym found (an index for FindIndex::synonym), -1 for any other
    // field.
    qint32 synonym = -1;
};

struct FindResult
{
    // The first hits in their order: the exact number matches, then the
    // materials whose name, a synonym or a number begins with the text, then
    // those with a name or synonym that contains it, each group in name
    // order. One hit per material, by the best way it was found.
    std::vector<FindHit> hits;
    // How many materials were found in all, listed or not.
    qint32 total = 0;
};

class FindIndex
{
public:
    // Reads every material and synonym through cursors of its own, declared
    // as materials and synonyms are (the same database and tables), which are
    // closed again before it returns. Raises StoreError when the tables cannot
    // be read; the index is then empty.
    void build(const store::Table &materials, const store::Table &synonyms);
    // Takes up the search data file beside the table files that materials
    // and synonyms have open, when it was made from them; false when it is
    // missing, stale or damaged, or was found damaged since the last clear.
    bool open(const store::Table &materials, const store::Table &synonyms);
    void clear();
    bool isBuilt() const { return m_built; }
    // Whether the data are read from the file; a damaged block found there
    // clears them (isBuilt() is then false).
    bool readsFile() const { return m_file != nullptr; }

    // The materials found by text, at most limit of them in hits.
    FindResult find(const QString &text, int limit) const;

    // The number of materials held, whose ids run 1..materialCount().
    qint32 materialCount() const { return m_materialCount; }
    QString name(qint32 id) const { return m_file ? shownInFile(id).name : m_names.at(id - 1); }
    QString cas(qint32 id) const { return m_file ? shownInFile(id).cas : m_cas.at(id - 1); }
    QString fema(qint32 id) const { return m_file ? shownInFile(id).fema : m_fema.at(id - 1); }
    QString ce(qint32 id) const { return m_file ? shownInFile(id).ce : m_ce.at(id - 1); }
    QString synonym(qint32 index) const
    {
        return m_file ? synonymInFile(index) : m_synonyms.at(index);
    }

    // Bytes held by the index, for the measurements of zil-bench.
    size_t memoryBytes() const;

private:
    // Texts one after the other in one buffer.
    struct Texts
    {
        std::string bytes;
        std::vector<uint32_t> ends;
        void append(QByteArrayView text);
        QString at(qint32 i) const;
        std::string_view view(qint32 i) const;
        void clear();
        size_t memoryBytes() const;
    };

    // One name or synonym in the folded text: where it starts (it ends at a
    // line break), its material, where the name proper begins after the
    // prefixes its sort key drops, and the synonym it is (-1 for the name).
    struct Entry
    {
        uint32_t start;
        qint32 id;
        qint32 synonym;
        uint16_t stem;
    };

    // What a material's name and synonyms hold, to pass over most materials
    // without reading their texts: the characters (a to z and 0 to 9 each a
    // bit of their own, other bytes sharing the rest), the characters that
    // begin a name, a synonym or the name proper within them, and a bloom
    // filter of the pairs of bytes that follow each other.
    struct Filter
    {
        uint64_t chars = 0;
        uint64_t starts = 0;
        uint64_t pairs[4] = {0, 0, 0, 0};
    };

    // The best way the name or a synonym of material id holds needle: found
    // is improved when this way is better.
    void matchText(qint32 id, std::string_view needle, FindHit &found) const;
    void buildFilters();
    // The search in the file, and the texts of a material or synonym it
    // holds (those of the materials listed last are kept); a damaged block
    // reads as nothing.
    FindResult findInFile(const QByteArray &folded, int limit) const;
    const store::FindData::Shown &shownInFile(qint32 id) const;
    QString synonymInFile(qint32 index) const;
    // The file was found damaged: it is let go, and not taken up again until
    // clear().
    void fileDamaged() const;

    bool m_built = false;
    qint32 m_materialCount = 0;
    Texts m_names, m_cas, m_fema, m_ce, m_synonyms;
    // The numbers as compared: folded as typed, and without hyphens.
    Texts m_casKeys, m_casDigits, m_femaKeys, m_ceKeys;
    // The folded names and synonyms, each followed by a line break, the
    // material's name first and then its synonyms; blocks[id - 1] is where a
    // material's entries begin in entries.
    std::string m_folded;
    std::vector<Entry> m_entries;
    std::vector<uint32_t> m_blocks;
    std::vector<Filter> m_filters;

    // Work space of one search: the best group of each material and how it
    // was found.
    mutable std::vector<uint8_t> m_best;
    mutable std::vector<uint8_t> m_field;
    mutable std::vector<qint32> m_synonym;
    // The last text searched (folded) and the materials it found, which a
    // text going on from it is searched among.
    mutable QByteArray m_lastText;
    mutable std::vector<qint32> m_lastFound;

    // The data in the file, when they are read from it, and the work space
    // of a search there: the materials found by an equal number, by a
    // beginning and by a text held, and the candidates of a long text.
    mutable std::shared_ptr<store::FindData> m_file;
    mutable bool m_fileRefused = false;
    mutable store::MaterialBits m_exactBits, m_beginsBits, m_containsBits, m_candidates;
    mutable std::unordered_map<qint32, store::FindData::Shown> m_shown;
    mutable std::unordered_map<qint32, QString> m_shownSynonyms;
};

} // namespace zil::browser
