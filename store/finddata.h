// The search data of the Find window as a file of the store beside the index
// files, "material.xfd": every material's name, synonyms and CAS, FEMA and CE
// numbers as shown, the same folded for matching, the materials in order of
// each number, and for every run of one, two or three bytes of the folded
// names and synonyms, for every word of them and for every two words that
// follow each other there, the materials that hold it (anywhere, and at the
// start of a name or synonym or of the name proper within it). The rebuild
// and the maker write it with the index files; Find reads it in place, block
// by block, as an index file is read.
//
// Layout (numbers in the byte order of the machine that wrote it, which the
// header marks): the magic line of every index file, so that the rebuild and
// the maker treat it as one of theirs, then a fixed header with the
// identities of MATERIAL.DB and SYNON.DB it was made from, the place of each
// section of the body, a checksum for each 4 KiB block of the body and one
// of the header; then the body. A file that does not match its two tables as
// they are, or is damaged, counts as missing.
#pragma once

#include "indeximage.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zil::store {

// A text as Find compares it: its letters folded as names are (foldLetters,
// store/textfold.h), punctuation, hyphens, minus signs, control characters
// and other spaces turned into blanks and each run of blanks into one, none
// at the ends, case-folded; as UTF-8. "gamma-Undecalactone" and "Gamma
// undecalactone" so read alike.
QByteArray foldForFind(QStringView text);
// The same for stored UTF-8 bytes, quicker for ASCII.
QByteArray foldBytesForFind(QByteArrayView text);

// Where the name proper begins in a folded text: its folded sort key is the
// text with its leading prefixes dropped, normally its end; 0 when it begins
// the text or cannot be told.
quint16 findStemOf(const QByteArray &folded, QByteArrayView sortKey);

// The file's name in a database directory.
QString findDataFileName();

// What one material contributes, as its tables hold it.
struct FindSourceMaterial
{
    QByteArrayView name, cas, fema, ce, sortKey;
};
struct FindSourceSynonym
{
    QByteArrayView name, sortKey;
};

// The content of the file for materials 1..n (materials[id - 1]) and their
// synonyms, grouped by material in their order (synonymsOf[id - 1] is where
// material id's begin in synonyms, and they end where the next one's do),
// made from tables of the given identities. Empty when a part would not fit
// the format (4 GiB and more), or when stop was set meanwhile.
QByteArray buildFindData(const std::vector<FindSourceMaterial> &materials,
    const std::vector<FindSourceSynonym> &synonyms, const std::vector<quint32> &synonymsOf,
    const TableIdentity &materialIdentity, const TableIdentity &synonymIdentity,
    const std::atomic<bool> *stop = nullptr);

// The content of the file for MATERIAL.DB and SYNON.DB of dir, read straight
// from the table files (not through their index files, nor anything the
// cursors of the process share, so that a thread of its own may make it),
// with the identities of the tables it was made from. Nullopt when stop was
// set meanwhile. Raises StoreError when the tables cannot be read or one
// changed while it was read.
struct MadeFindData
{
    QByteArray bytes;
    TableIdentity materials, synonyms;
};
std::optional<MadeFindData> makeFindData(
    const QString &dir, const std::atomic<bool> *stop = nullptr);
// Writes bytes as the file of dir (as a new file renamed into place); false,
// writing nothing, when an entry of that name is not the store's own. Raises
// StoreError when the file cannot be written.
bool placeFindData(const QString &dir, const QByteArray &bytes);
// Makes the file of dir and writes it, as the two above do.
void writeFindData(const QString &dir);

// Whether dir holds the file with a sound header, made from MATERIAL.DB and
// SYNON.DB as they are now; also true when an entry of another program
// stands at its name (no rebuild can mend that) or a table cannot be read
// (opening reports it). When it is wanting, *why says why.
bool findDataComplete(const QString &dir, QString *why = nullptr);

class FindData;
class Table;
// The search data file beside the tables that the cursors materials and
// synonyms have open, when it was made from those very table files and they
// are still the files at their names: a file of the tables as they were
// before, or of another database copied in, is not used. Null otherwise.
std::shared_ptr<FindData> openFindDataOf(const Table &materials, const Table &synonyms);

// Raised by the readers when a block of the body fails its check or holds
// what no sound file holds.
struct FindDataDamaged
{ };

// A set of materials by id, one bit each (bit id - 1).
class MaterialBits
{
public:
    void reset(qint32 n)
    {
        m_words.assign(size_t(n + 63) / 64, 0);
        m_n = n;
    }
    void set(qint32 id)
    {
        if (id >= 1 && id <= m_n)
            m_words[size_t(id - 1) / 64] |= quint64(1) << ((id - 1) % 64);
    }
    bool test(qint32 id) const
    {
        return id >= 1 && id <= m_n && (m_words[size_t(id - 1) / 64] >> ((id - 1) % 64)) & 1;
    }
    std::vector<quint64> &words() { return m_words; }
    const std::vector<quint64> &words() const { return m_words; }
    qint32 size() const { return m_n; }

private:
    std::vector<quint64> m_words;
    qint32 m_n = 0;
};

class FindData
{
public:
    // The file at path, held open (never through a link, never a FIFO or
    // device); null when it is no regular file or its header is not sound.
    static std::shared_ptr<FindData> open(const QString &path);
    // The content made by buildFindData, checked whole; null when not sound.
    static std::shared_ptr<FindData> fromBytes(QByteArray bytes);
    ~FindData();
    FindData(const FindData &) = delete;
    FindData &operator=(const FindData &) = delete;

    const TableIdentity &materialIdentity() const { return m_materialIdentity; }
    const TableIdentity &synonymIdentity() const { return m_synonymIdentity; }
    qint32 materialCount() const { return m_materials; }
    qint32 synonymCount() const { return m_synonyms; }

    // What material id shows: its name, CAS, FEMA and CE number.
    struct Shown
    {
        QString name, cas, fema, ce;
    };
    Shown shown(qint32 id) const;
    QString synonym(qint32 index) const;

    // The folded texts of material id: its numbers as compared (CAS as
    // typed and without hyphens, FEMA, CE) and its name and synonyms, the
    // name first, each with where its name proper begins and the synonym it
    // is (-1 for the name). The views are valid until the next read.
    struct Entry
    {
        std::string_view text;
        quint32 stem = 0;
        qint32 synonym = -1;
    };
    struct Folded
    {
        std::string_view casKey, casDigits, fema, ce;
        std::vector<Entry> entries;
    };
    const Folded &folded(qint32 id) const;

    enum class Number { CasKey, CasDigits, Fema, Ce };
    // Adds to exact the materials whose number equals key, and to begins
    // those whose number begins with key and goes on.
    void numbersFrom(
        Number number, std::string_view key, MaterialBits &exact, MaterialBits &begins) const;

    // Whether the file holds lists for a run of as many bytes; longer texts
    // are found through the lists of their runs of three.
    static constexpr size_t longestRun = 3;
    // Adds to contains the materials holding run (1 to longestRun bytes) in
    // a name or synonym, and to begins those where one begins with it (at
    // its start or at its name proper). With intersect set, contains keeps
    // only the materials already in it that also hold run.
    void materialsWithRun(std::string_view run, MaterialBits *contains, MaterialBits *begins,
        bool intersect = false) const;

    // Whether text is one word: it holds no blank.
    static bool isWord(std::string_view text);
    // For text that is one word: adds to contains the materials holding it
    // within a word of a name or synonym, which are all those that hold it,
    // and to begins those where a name or synonym or its name proper begins
    // with it.
    void materialsWithWordPart(
        std::string_view text, MaterialBits &contains, MaterialBits &begins) const;
    // Whether text is two words: it holds one blank, between words.
    static bool isWordPair(std::string_view text);
    // For text that is two words, the same as materialsWithWordPart: the
    // materials where the first ends a word and the second begins the word
    // after it, and those where a name or synonym or its name proper begins
    // with the two.
    void materialsWithWordPairPart(
        std::string_view text, MaterialBits &contains, MaterialBits &begins) const;

    // Reads and checks every block of the body; false when one fails.
    bool verifyAll() const;
    // Bytes held in memory: the header, the blocks kept and the work space.
    size_t memoryBytes() const;

    static constexpr quint64 blockSize = 4096;
    // How many bytes of blocks single reads keep.
    static constexpr quint64 cacheBudget = quint64(8) << 20;

private:
    FindData() = default;
    bool parse(const uchar *data, quint64 available, quint64 fileSize);
    // Copies [offset, offset + length) of the body into out; with keep, the
    // blocks read are kept for later single reads, else only the last one
    // is.
    void copy(quint64 offset, quint64 length, void *out, bool keep) const;
    const uchar *block(quint64 b, bool keep) const;
    void readChecked(quint64 b, uchar *out) const;
    quint32 u32At(int section, quint64 index) const;
    // The bytes of section from offset, length long, checked to lie in it.
    void sectionBytes(
        int section, quint64 offset, quint64 length, std::string &out, bool keep) const;
    // Adds the list of materials of section that listRef (a ListRef) names
    // to into, or with intersect keeps only those of into in it.
    void applyList(int section, const void *listRef, MaterialBits &into, bool intersect) const;
    // materialsWithWordPart over the words, or the pairs of words, whose
    // texts are section texts.
    void materialsWithPartOf(
        int texts, std::string_view text, MaterialBits &contains, MaterialBits &begins) const;
    // The key of number of the material at place of its order.
    std::string_view numberKey(Number number, quint32 place) const;

    QByteArray m_bytes;
    const uchar *m_memoryBody = nullptr;
    platform::ReadOnlyFile m_file;
    QByteArray m_header;
    const uchar *m_blockSums = nullptr;
    quint64 m_bodyOffset = 0;
    quint64 m_bodySize = 0;
    TableIdentity m_materialIdentity, m_synonymIdentity;
    qint32 m_materials = 0;
    qint32 m_synonyms = 0;
    static constexpr int sectionCount = 18;
    quint64 m_sectionOffset[sectionCount] = {};
    quint64 m_sectionSize[sectionCount] = {};

    // The blocks kept, by block number, and the order they came in, the
    // oldest dropped first once the budget is reached.
    mutable std::unordered_map<quint64, std::unique_ptr<uchar[]>> m_cache;
    mutable std::vector<quint64> m_cacheOrder;
    mutable size_t m_cacheNext = 0;
    mutable quint64 m_lastBlock = ~quint64(0);
    mutable std::unique_ptr<uchar[]> m_last;
    mutable Folded m_folded;
    mutable std::string m_scratch, m_keyScratch;
    mutable std::vector<quint32> m_ids;
    mutable std::vector<quint64> m_bitmap;
    mutable std::string m_list;
    mutable std::string m_words;
};

} // namespace zil::store
