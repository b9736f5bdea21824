#include "finddata.h"

#include "fileformat.h"
#include "filenames.h"
#include "indexfile.h"
#include "schema.h"
#include "storeerror.h"
#include "table.h"
#include "tablefile.h"
#include "textfold.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>
#include <tuple>

namespace zil::store {

namespace {

// What parts words in Find as a blank does: blanks and other spaces, control
// characters, and punctuation, hyphens and minus signs among it. A name
// typed with blanks for its hyphens ("gamma undecalactone") so finds the
// name written with them.
bool partsWords(QChar c)
{
    return c.isSpace() || c.isPunct() || c.category() == QChar::Other_Control
        || c.unicode() == 0x2212;
}

// The ASCII case of foldForFind without a detour through QString.
QByteArray foldAscii(QByteArrayView text)
{
    static const auto parts = [] {
        std::array<bool, 128> t {};
        for (int c = 0; c < 128; ++c)
            t[size_t(c)] = partsWords(QChar(c));
        return t;
    }();
    QByteArray out;
    out.reserve(text.size());
    bool blank = false;
    for (char c : text) {
        if (parts[size_t(uchar(c))]) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    return out;
}

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

constexpr quint32 formatVersion = 3;
constexpr quint32 byteOrderMark = 0x01020304;
constexpr char kindTag[8] = {'Z', 'I', 'L', '-', 'F', 'I', 'N', 'D'};
constexpr quint64 blockSize = FindData::blockSize;

// The sections of the body.
enum Section {
    ShownEnds, // per material, where its shown texts end in ShownTexts
    ShownTexts, // per material: four lengths, then name, CAS, FEMA, CE
    SynonymEnds,
    SynonymTexts,
    FoldedEnds,
    FoldedTexts, // per material: see FindData::folded
    CasKeyOrder, // the materials with a number, in order of it
    CasDigitsOrder,
    FemaOrder,
    CeOrder,
    RunDirectory, // RunEntry, in order of code and kind
    RunLists,
    WordTexts, // every word once, each followed by a zero byte
    WordDirectory, // WordEntry, in the order of WordTexts
    WordLists,
    PairTexts, // every two words that follow each other, as the words do
    PairDirectory, // WordEntry, in the order of PairTexts
    PairLists,
};
constexpr int sectionCount = 18;

// The fixed header, after the magic line (12 bytes) and padding to 16.
enum : quint64 {
    offKind = 16,
    offFormat = 24,
    offByteOrder = 28,
    offHeaderBytes = 32,
    offMaterials = 36,
    offSynonyms = 40,
    offIdentities = 48, // two of 32 bytes: size, modified, generation, counter
    offBodySize = 112,
    offSections = 120, // per section its offset and size in the body
    offBlockSums = offSections + 16 * sectionCount,
};

// A list of materials in a section of lists: a bitmap of every material,
// or the ids in ascending order, each as its distance from the one before
// in seven-bit groups, the lowest first, a set top bit saying that more
// follow.
struct ListRef
{
    quint64 offset = 0;
    quint32 count = 0; // ids in the list
    quint32 bytes = 0; // its length, with listBitmap set for a bitmap
};
constexpr quint32 listBitmap = 0x80000000u;

struct RunEntry
{
    quint32 code;
    quint32 flags; // runBegins for the list of beginnings
    ListRef list;
};
static_assert(sizeof(RunEntry) == 24);
constexpr quint32 runBegins = 1;

struct WordEntry
{
    quint32 textOffset; // in WordTexts (PairTexts)
    quint32 textLength;
    ListRef contains; // the materials whose names or synonyms hold the word
    ListRef begins; // those where one begins with it, or its name proper does
};
static_assert(sizeof(WordEntry) == 40);

// A byte that words are made of: any but a blank, which is all that parts
// words in a folded text, punctuation having folded to blanks ("2-Methylbutyl"
// is the words "2" and "methylbutyl"). Any text typed without a blank or
// punctuation lies within one.
bool isWordByte(unsigned char b)
{
    return b != ' ';
}

quint32 runCode(const unsigned char *p, size_t length)
{
    quint32 code = quint32(length) << 24;
    for (size_t i = 0; i < length; ++i)
        code |= quint32(p[i]) << (8 * (length - 1 - i));
    return code;
}

template<typename T>
T get(const uchar *p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template<typename T>
void put(QByteArray &out, quint64 at, T v)
{
    std::memcpy(out.data() + at, &v, sizeof v);
}

template<typename T>
void append(std::string &out, T v)
{
    out.append(reinterpret_cast<const char *>(&v), sizeof v);
}

void appendBytes(std::string &out, QByteArrayView b)
{
    out.append(b.data(), size_t(b.size()));
}

// The lists of one run of bytes while they are made.
struct RunPostings
{
    quint32 code = 0;
    quint32 lastContains = 0, lastBegins = 0;
    std::vector<quint32> contains, begins;
};

// Runs of three bytes by code, for the lists being made: open addressing.
class RunTable
{
public:
    explicit RunTable(int bits)
        : m_bits(bits)
        , m_slots(size_t(1) << bits, 0)
    { }
    RunPostings &at(quint32 code, std::vector<RunPostings> &lists)
    {
        size_t mask = m_slots.size() - 1;
        size_t s = size_t((code * 0x9E3779B1u) >> (32 - m_bits));
        while (quint32 slot = m_slots[s]) {
            if (lists[slot - 1].code == code)
                return lists[slot - 1];
            s = (s + 1) & mask;
        }
        if (lists.size() * 2 >= m_slots.size()) {
            grow(lists);
            return at(code, lists);
        }
        lists.emplace_back().code = code;
        m_slots[s] = quint32(lists.size());
        return lists.back();
    }

private:
    void grow(const std::vector<RunPostings> &lists)
    {
        ++m_bits;
        m_slots.assign(size_t(1) << m_bits, 0);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = 0; i < lists.size(); ++i) {
            size_t s = size_t((lists[i].code * 0x9E3779B1u) >> (32 - m_bits));
            while (m_slots[s])
                s = (s + 1) & mask;
            m_slots[s] = quint32(i + 1);
        }
    }
    int m_bits;
    std::vector<quint32> m_slots;
};

// The words of the folded names and synonyms while their lists are made.
class WordTable
{
public:
    struct Word
    {
        quint32 textOffset, textLength;
        RunPostings lists;
    };

    Word &at(std::string_view w)
    {
        quint64 h = 0xcbf29ce484222325ull;
        for (unsigned char c : w)
            h = (h ^ c) * 0x100000001b3ull;
        if (m_words.size() * 2 >= m_slots.size())
            grow();
        size_t mask = m_slots.size() - 1;
        size_t s = size_t(h) & mask;
        while (quint32 slot = m_slots[s]) {
            Word &found = m_words[slot - 1];
            if (m_hashes[slot - 1] == h
                && std::string_view(m_texts).substr(found.textOffset, found.textLength) == w)
                return found;
            s = (s + 1) & mask;
        }
        m_words.push_back({quint32(m_texts.size()), quint32(w.size()), {}});
        m_hashes.push_back(h);
        m_texts.append(w);
        m_texts.push_back('\0');
        m_slots[s] = quint32(m_words.size());
        return m_words.back();
    }
    const std::string &texts() const { return m_texts; }
    const std::vector<Word> &words() const { return m_words; }

private:
    void grow()
    {
        m_slots.assign(std::max<size_t>(1024, m_slots.size() * 2), 0);
        const size_t mask = m_slots.size() - 1;
        for (size_t i = 0; i < m_words.size(); ++i) {
            size_t s = size_t(m_hashes[i]) & mask;
            while (m_slots[s])
                s = (s + 1) & mask;
            m_slots[s] = quint32(i + 1);
        }
    }
    std::string m_texts;
    std::vector<Word> m_words;
    std::vector<quint64> m_hashes;
    std::vector<quint32> m_slots;
};

void noteRun(RunPostings &r, quint32 id, bool begins)
{
    if (r.lastContains != id) {
        r.lastContains = id;
        r.contains.push_back(id);
    }
    if (begins && r.lastBegins != id) {
        r.lastBegins = id;
        r.begins.push_back(id);
    }
}

void putIdentity(QByteArray &out, quint64 at, const TableIdentity &id)
{
    put<qint64>(out, at, id.size);
    put<qint64>(out, at + 8, id.modifiedNs);
    put<qint64>(out, at + 16, id.generation);
    put<quint32>(out, at + 24, id.changeCounter);
}

TableIdentity getIdentity(const uchar *p)
{
    return {get<qint64>(p), get<qint64>(p + 8), get<qint64>(p + 16), get<quint32>(p + 24)};
}

} // namespace

QByteArray foldForFind(QStringView text)
{
    const QString letters = foldLetters(text);
    QString kept;
    kept.reserve(letters.size());
    bool blank = false;
    for (QChar c : letters) {
        if (partsWords(c)) {
            blank = !kept.isEmpty();
            continue;
        }
        if (blank)
            kept += QLatin1Char(' ');
        blank = false;
        kept += c;
    }
    return kept.toCaseFolded().toUtf8();
}

QByteArray foldBytesForFind(QByteArrayView text)
{
    return isAscii(text) ? foldAscii(text) : foldForFind(QString::fromUtf8(text));
}

quint16 findStemOf(const QByteArray &folded, QByteArrayView sortKey)
{
    const QByteArray key = foldBytesForFind(sortKey);
    if (key.isEmpty() || key == folded)
        return 0;
    qsizetype at = folded.endsWith(key) ? folded.size() - key.size() : folded.indexOf(key);
    return at > 0 && at < 0xffff ? quint16(at) : 0;
}

QString findDataFileName()
{
    return QStringLiteral("material.xfd");
}

QByteArray buildFindData(const std::vector<FindSourceMaterial> &materials,
    const std::vector<FindSourceSynonym> &synonyms, const std::vector<quint32> &synonymsOf,
    const TableIdentity &materialIdentity, const TableIdentity &synonymIdentity,
    const std::atomic<bool> *stop)
{
    const quint32 n = quint32(materials.size());
    std::string sections[sectionCount];
    auto end32 = [&](Section ends, Section texts) {
        if (sections[texts].size() > 0xFFFFFFFFull)
            return false;
        append<quint32>(sections[ends], quint32(sections[texts].size()));
        return true;
    };
    std::vector<QByteArray> keys[4];
    for (auto &k : keys)
        k.reserve(n);

    std::vector<RunPostings> shortRuns(256 + 65536);
    for (quint32 i = 0; i < 256; ++i)
        shortRuns[i].code = (1u << 24) | i;
    for (quint32 i = 0; i < 65536; ++i)
        shortRuns[256 + i].code = (2u << 24) | i;
    std::vector<RunPostings> longRuns;
    RunTable table(12);

    // Every run of one to three bytes of a folded name or synonym.
    auto noteRuns = [&](quint32 id, const QByteArray &folded, quint32 stem) {
        const auto *p = reinterpret_cast<const unsigned char *>(folded.constData());
        const size_t len = size_t(folded.size());
        for (size_t i = 0; i < len; ++i) {
            const bool begins = i == 0 || (stem && i == stem);
            noteRun(shortRuns[p[i]], id, begins);
            if (i + 1 < len)
                noteRun(shortRuns[256 + (quint32(p[i]) << 8 | p[i + 1])], id, begins);
            if (i + 2 < len)
                noteRun(table.at(runCode(p + i, 3), longRuns), id, begins);
        }
    };
    // Every word and every two words that follow each other, and the same
    // from the name proper on when that begins inside a word.
    WordTable wordTable, pairTable;
    auto noteWords = [&](quint32 id, const QByteArray &folded, quint32 stem) {
        const auto *p = reinterpret_cast<const unsigned char *>(folded.constData());
        const size_t len = size_t(folded.size());
        auto wordEnd = [&](size_t i) {
            while (i < len && isWordByte(p[i]))
                ++i;
            return i;
        };
        auto text = [&](size_t from, size_t to) {
            return std::string_view(folded.constData() + from, to - from);
        };
        // The word from at on, and with the word after it the pair; folded,
        // words are parted by one blank.
        auto noteFrom = [&](size_t at, bool begins) {
            const size_t end = wordEnd(at);
            noteRun(wordTable.at(text(at, end)).lists, id, begins);
            if (end + 1 < len && isWordByte(p[end + 1]))
                noteRun(pairTable.at(text(at, wordEnd(end + 1))).lists, id, begins);
            return end;
        };
        for (size_t i = 0; i < len; ++i) {
            if (!isWordByte(p[i]) || (i > 0 && isWordByte(p[i - 1])))
                continue;
            i = noteFrom(i, i == 0 || i == stem);
        }
        if (stem > 0 && stem < len && isWordByte(p[stem]) && isWordByte(p[stem - 1]))
            noteFrom(stem, true);
    };
    auto appendEntry = [&](std::string &out, const QByteArray &folded, quint32 stem, qint32 syn) {
        append<quint32>(out, quint32(folded.size()));
        append<quint32>(out, stem);
        append<qint32>(out, syn);
        appendBytes(out, folded);
    };

    qint32 synonymIndex = 0;
    for (quint32 id = 1; id <= n; ++id) {
        if (stop && id % 4096 == 0 && stop->load(std::memory_order_relaxed))
            return {};
        const FindSourceMaterial &m = materials[id - 1];
        std::string &shown = sections[ShownTexts];
        for (QByteArrayView t : {m.name, m.cas, m.fema, m.ce})
            append<quint32>(shown, quint32(t.size()));
        for (QByteArrayView t : {m.name, m.cas, m.fema, m.ce})
            appendBytes(shown, t);
        if (!end32(ShownEnds, ShownTexts))
            return {};

        // Folded, the hyphens of a CAS number are blanks.
        const QByteArray casKey = foldBytesForFind(m.cas);
        QByteArray casDigits;
        for (char c : casKey) {
            if (c != ' ')
                casDigits += c;
        }
        const QByteArray femaKey = foldBytesForFind(m.fema);
        const QByteArray ceKey = foldBytesForFind(m.ce);
        const quint32 from = synonymsOf[id - 1];
        const quint32 to = id < n ? synonymsOf[id] : quint32(synonyms.size());
        std::string &folded = sections[FoldedTexts];
        for (const QByteArray *k :
            std::initializer_list<const QByteArray *> {&casKey, &casDigits, &femaKey, &ceKey})
            append<quint32>(folded, quint32(k->size()));
        append<quint32>(folded, 1 + (to - from));
        for (const QByteArray *k :
            std::initializer_list<const QByteArray *> {&casKey, &casDigits, &femaKey, &ceKey})
            appendBytes(folded, *k);
        keys[0].push_back(casKey);
        keys[1].push_back(casDigits);
        keys[2].push_back(femaKey);
        keys[3].push_back(ceKey);

        const QByteArray name = foldBytesForFind(m.name);
        const quint16 nameStem = findStemOf(name, m.sortKey);
        appendEntry(folded, name, nameStem, -1);
        noteRuns(id, name, nameStem);
        noteWords(id, name, nameStem);
        for (quint32 s = from; s < to; ++s) {
            const FindSourceSynonym &syn = synonyms[s];
            appendBytes(sections[SynonymTexts], syn.name);
            if (!end32(SynonymEnds, SynonymTexts))
                return {};
            const QByteArray text = foldBytesForFind(syn.name);
            const quint16 stem = findStemOf(text, syn.sortKey);
            appendEntry(folded, text, stem, synonymIndex++);
            noteRuns(id, text, stem);
            noteWords(id, text, stem);
        }
        if (!end32(FoldedEnds, FoldedTexts))
            return {};
    }

    // The materials in order of each number, those without one left out.
    for (int k = 0; k < 4; ++k) {
        std::vector<quint32> order;
        for (quint32 id = 1; id <= n; ++id) {
            if (!keys[k][id - 1].isEmpty())
                order.push_back(id);
        }
        std::stable_sort(order.begin(), order.end(),
            [&](quint32 a, quint32 b) { return keys[k][a - 1] < keys[k][b - 1]; });
        for (quint32 id : order)
            append<quint32>(sections[CasKeyOrder + k], id);
    }

    // The lists, each as ids or, when that is smaller, as a bitmap.
    std::vector<const RunPostings *> runs;
    for (const RunPostings &r : shortRuns) {
        if (!r.contains.empty())
            runs.push_back(&r);
    }
    for (const RunPostings &r : longRuns)
        runs.push_back(&r);
    std::sort(runs.begin(), runs.end(),
        [](const RunPostings *a, const RunPostings *b) { return a->code < b->code; });
    const size_t bitmapWords = (size_t(n) + 63) / 64;
    std::vector<quint64> bitmap;
    auto writeList = [&](std::string &out, const std::vector<quint32> &list) {
        ListRef ref {out.size(), quint32(list.size()), 0};
        std::string ids;
        quint32 last = 0;
        for (quint32 id : list) {
            for (quint32 gap = id - last;; gap >>= 7) {
                if (gap < 0x80) {
                    ids.push_back(char(gap));
                    break;
                }
                ids.push_back(char(0x80 | (gap & 0x7f)));
            }
            last = id;
        }
        if (ids.size() > 8 * bitmapWords) {
            ref.bytes = quint32(8 * bitmapWords) | listBitmap;
            bitmap.assign(bitmapWords, 0);
            for (quint32 id : list)
                bitmap[(id - 1) / 64] |= quint64(1) << ((id - 1) % 64);
            out.append(reinterpret_cast<const char *>(bitmap.data()), bitmap.size() * 8);
        } else {
            ref.bytes = quint32(ids.size());
            out.append(ids);
        }
        return ref;
    };
    for (const RunPostings *r : runs) {
        for (const std::vector<quint32> *list : {&r->contains, &r->begins}) {
            if (list->empty())
                continue;
            const RunEntry e {
                r->code, list == &r->begins ? runBegins : 0, writeList(sections[RunLists], *list)};
            sections[RunDirectory].append(reinterpret_cast<const char *>(&e), sizeof e);
        }
    }
    for (const auto &[words, texts, directory, lists] :
        {std::tuple {&wordTable, WordTexts, WordDirectory, WordLists},
            std::tuple {&pairTable, PairTexts, PairDirectory, PairLists}}) {
        sections[texts] = words->texts();
        if (sections[texts].size() > 0xFFFFFFFFull)
            return {};
        for (const WordTable::Word &w : words->words()) {
            const WordEntry e {w.textOffset, w.textLength,
                writeList(sections[lists], w.lists.contains),
                writeList(sections[lists], w.lists.begins)};
            sections[directory].append(reinterpret_cast<const char *>(&e), sizeof e);
        }
    }

    // The body: each section 8-byte aligned.
    quint64 offsets[sectionCount], bodySize = 0;
    for (int s = 0; s < sectionCount; ++s) {
        offsets[s] = bodySize;
        bodySize += (sections[s].size() + 7) / 8 * 8;
    }
    const quint64 blocks = (bodySize + blockSize - 1) / blockSize;
    const quint64 headerBytes = (offBlockSums + 8 * blocks + 8 + 63) / 64 * 64;
    if (headerBytes > 0xFFFFFFFFull)
        return {};
    QByteArray out(qsizetype(headerBytes + bodySize), '\0');
    const QByteArray magic = indexFileMagic() + '\n';
    std::memcpy(out.data(), magic.constData(), size_t(magic.size()));
    std::memcpy(out.data() + offKind, kindTag, sizeof kindTag);
    put<quint32>(out, offFormat, formatVersion);
    put<quint32>(out, offByteOrder, byteOrderMark);
    put<quint32>(out, offHeaderBytes, quint32(headerBytes));
    put<quint32>(out, offMaterials, n);
    put<quint32>(out, offSynonyms, quint32(synonymIndex));
    putIdentity(out, offIdentities, materialIdentity);
    putIdentity(out, offIdentities + 32, synonymIdentity);
    put<quint64>(out, offBodySize, bodySize);
    for (int s = 0; s < sectionCount; ++s) {
        put<quint64>(out, offSections + 16 * quint64(s), offsets[s]);
        put<quint64>(out, offSections + 16 * quint64(s) + 8, sections[s].size());
        std::memcpy(out.data() + headerBytes + offsets[s], sections[s].data(), sections[s].size());
    }
    const auto *body = reinterpret_cast<const uchar *>(out.constData()) + headerBytes;
    for (quint64 b = 0; b < blocks; ++b)
        put<quint64>(out, offBlockSums + 8 * b,
            blockChecksum(body + b * blockSize, std::min(blockSize, bodySize - b * blockSize)));
    put<quint64>(out, headerBytes - 8,
        blockChecksum(reinterpret_cast<const uchar *>(out.constData()), headerBytes - 8));
    return out;
}

namespace {

// Where a text read from a table lies in the bytes kept of it.
struct Span
{
    quint32 at = 0, size = 0;
};

// Copies what the scan gives into bytes, where it stays when the scan goes on.
Span keep(std::string &bytes, QByteArrayView text)
{
    const Span span {quint32(bytes.size()), quint32(text.size())};
    bytes.append(text.data(), size_t(text.size()));
    return span;
}

QByteArrayView viewOf(const std::string &bytes, Span span)
{
    return QByteArrayView(bytes.data() + span.at, span.size);
}

// A record's integer as SQLite gives its text; 0 when it holds none.
qint64 integerOf(QByteArrayView text)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    return ok ? v : 0;
}

QString tablePath(const QString &dir, const char *name)
{
    const QString path = findFileNoCase(dir, QString::fromLatin1(name));
    if (path.isEmpty())
        throw StoreError(StoreError::Kind::Missing,
            QStringLiteral("Table does not exist: %1").arg(QString::fromLatin1(name)));
    return path;
}

} // namespace

std::optional<MadeFindData> makeFindData(const QString &dir, const std::atomic<bool> *stop)
{
    const auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    // The tables are read straight from their files, in order of places; the
    // bytes of both stay in one buffer (at 4 GiB and more the data would not
    // fit the format anyway).
    std::string bytes;
    struct MaterialRecord
    {
        qint64 id;
        Span name, cas, fema, ce, sf;
    };
    std::vector<MaterialRecord> records;
    MadeFindData made;
    const std::optional<TableIdentity> materialIdentity
        = TableFile::scanRecords(tablePath(dir, "MATERIAL.DB"),
            {"id", "name", "cas", "fema", "ce", "sf"}, [&](const QByteArrayView *v) {
                records.push_back({integerOf(v[0]), keep(bytes, v[1]), keep(bytes, v[2]),
                    keep(bytes, v[3]), keep(bytes, v[4]), keep(bytes, v[5])});
                return !stopped() && bytes.size() < 0xFFFFFFFFull;
            });
    if (!materialIdentity)
        return std::nullopt;
    struct SynonymRecord
    {
        qint64 owner, pos;
        Span name, sf;
    };
    std::vector<SynonymRecord> synonymRecords;
    const std::optional<TableIdentity> synonymIdentity
        = TableFile::scanRecords(tablePath(dir, "SYNON.DB"), {"materialid", "pos", "name", "sf"},
            [&](const QByteArrayView *v) {
                synonymRecords.push_back(
                    {integerOf(v[0]), integerOf(v[1]), keep(bytes, v[2]), keep(bytes, v[3])});
                return !stopped() && bytes.size() < 0xFFFFFFFFull;
            });
    if (!synonymIdentity || bytes.size() >= 0xFFFFFFFFull)
        return std::nullopt;

    // Materials in order of id, which runs 1..n (opening the database checks
    // it; a record whose id falls outside is left out, as Find leaves it).
    const qint64 n = qint64(records.size());
    std::vector<FindSourceMaterial> materials(records.size());
    for (const MaterialRecord &r : records) {
        if (r.id >= 1 && r.id <= n)
            materials[size_t(r.id - 1)] = {viewOf(bytes, r.name), viewOf(bytes, r.cas),
                viewOf(bytes, r.fema), viewOf(bytes, r.ce), viewOf(bytes, r.sf)};
    }

    // Synonyms grouped by material, each material's in order of position and
    // then of place, as the table's primary index orders them.
    std::vector<quint32> synonymsOf(size_t(n) + 1, 0);
    for (const SynonymRecord &r : synonymRecords) {
        if (r.owner >= 1 && r.owner <= n)
            ++synonymsOf[size_t(r.owner)];
    }
    std::partial_sum(synonymsOf.begin(), synonymsOf.end(), synonymsOf.begin());
    std::vector<const SynonymRecord *> grouped(synonymsOf.back());
    {
        std::vector<quint32> next(synonymsOf.begin(), synonymsOf.end() - 1);
        for (const SynonymRecord &r : synonymRecords) {
            if (r.owner >= 1 && r.owner <= n)
                grouped[next[size_t(r.owner - 1)]++] = &r;
        }
    }
    synonymsOf.pop_back();
    std::vector<FindSourceSynonym> synonyms(grouped.size());
    for (qint64 id = 1; id <= n; ++id) {
        const auto from = grouped.begin() + synonymsOf[size_t(id - 1)];
        const auto to = id < n ? grouped.begin() + synonymsOf[size_t(id)] : grouped.end();
        std::stable_sort(from, to,
            [](const SynonymRecord *a, const SynonymRecord *b) { return a->pos < b->pos; });
    }
    for (size_t i = 0; i < grouped.size(); ++i)
        synonyms[i] = {viewOf(bytes, grouped[i]->name), viewOf(bytes, grouped[i]->sf)};

    made.bytes
        = buildFindData(materials, synonyms, synonymsOf, *materialIdentity, *synonymIdentity, stop);
    if (stopped())
        return std::nullopt;
    if (made.bytes.isEmpty())
        throw StoreError(StoreError::Kind::Usage,
            QStringLiteral("The search data of %1 are too large").arg(dir));
    made.materials = *materialIdentity;
    made.synonyms = *synonymIdentity;
    return made;
}

bool placeFindData(const QString &dir, const QByteArray &bytes)
{
    const QString existing = platform::findEntryNoCase(dir, findDataFileName());
    const QString name = existing.isEmpty() ? findDataFileName() : existing;
    if (!existing.isEmpty() && !mayWriteIndexFileAt(QDir(dir).filePath(existing)))
        return false;
    if (!platform::replaceFileContent(dir, name, bytes))
        throw StoreError(
            StoreError::Kind::IO, QStringLiteral("Cannot write index file %1").arg(name));
    return true;
}

void writeFindData(const QString &dir)
{
    if (const std::optional<MadeFindData> made = makeFindData(dir))
        placeFindData(dir, made->bytes);
}

bool findDataComplete(const QString &dir, QString *why)
{
    const QString matPath = findFileNoCase(dir, QStringLiteral("MATERIAL.DB"));
    const QString synPath = findFileNoCase(dir, QStringLiteral("SYNON.DB"));
    if (matPath.isEmpty() || synPath.isEmpty())
        return true;
    const std::optional<TableIdentity> mat = TableFile::readIdentity(matPath);
    const std::optional<TableIdentity> syn = TableFile::readIdentity(synPath);
    if (!mat || !syn)
        return true;
    const QString name = platform::findEntryNoCase(dir, findDataFileName());
    const QString path = QDir(dir).filePath(name.isEmpty() ? findDataFileName() : name);
    if (!name.isEmpty() && !mayWriteIndexFileAt(path))
        return true;
    const std::shared_ptr<FindData> data = name.isEmpty() ? nullptr : FindData::open(path);
    QString reason;
    if (!data)
        reason = QStringLiteral("the search data are missing or damaged");
    else if (data->materialIdentity() != *mat || data->synonymIdentity() != *syn)
        reason = QStringLiteral("the search data were made from other tables");
    if (reason.isEmpty())
        return true;
    if (why)
        *why = reason;
    return false;
}

std::shared_ptr<FindData> openFindDataOf(const Table &materials, const Table &synonyms)
{
    const TableFile *mat = materials.tableFile();
    const TableFile *syn = synonyms.tableFile();
    if (!mat || !syn)
        return nullptr;
    const QString dir = QFileInfo(mat->path()).absolutePath();
    const QString name = platform::findEntryNoCase(dir, findDataFileName());
    if (name.isEmpty() || QFileInfo(syn->path()).absolutePath() != dir)
        return nullptr;
    std::shared_ptr<FindData> data = FindData::open(QDir(dir).filePath(name));
    if (!data || data->materialIdentity() != mat->identity()
        || data->synonymIdentity() != syn->identity()
        || TableFile::readIdentity(mat->path()) != mat->identity()
        || TableFile::readIdentity(syn->path()) != syn->identity())
        return nullptr;
    return data;
}

// ---------------------------------------------------------------------------
// Reading.

std::shared_ptr<FindData> FindData::open(const QString &path)
{
    std::shared_ptr<FindData> data(new FindData);
    data->m_file = platform::ReadOnlyFile::open(path, false);
    if (!data->m_file.isOpen())
        return nullptr;
    const qint64 size = data->m_file.size();
    if (size < qint64(offBlockSums + 8))
        return nullptr;
    uchar fixed[offBlockSums];
    if (data->m_file.readAt(0, fixed, offBlockSums) != qint64(offBlockSums))
        return nullptr;
    const quint64 headerBytes = get<quint32>(fixed + offHeaderBytes);
    if (headerBytes < offBlockSums + 8 || headerBytes > quint64(size))
        return nullptr;
    data->m_header.resize(qsizetype(headerBytes));
    if (data->m_file.readAt(0, data->m_header.data(), qint64(headerBytes)) != qint64(headerBytes))
        return nullptr;
    if (!data->parse(reinterpret_cast<const uchar *>(data->m_header.constData()), headerBytes,
            quint64(size)))
        return nullptr;
    return data;
}

std::shared_ptr<FindData> FindData::fromBytes(QByteArray bytes)
{
    std::shared_ptr<FindData> data(new FindData);
    data->m_bytes = std::move(bytes);
    const auto *p = reinterpret_cast<const uchar *>(data->m_bytes.constData());
    const quint64 size = quint64(data->m_bytes.size());
    if (!data->parse(p, size, size))
        return nullptr;
    data->m_memoryBody = p + data->m_bodyOffset;
    if (!data->verifyAll())
        return nullptr;
    return data;
}

FindData::~FindData() = default;

bool FindData::parse(const uchar *data, quint64 available, quint64 fileSize)
{
    const QByteArray magic = indexFileMagic() + '\n';
    if (available < offBlockSums + 8
        || std::memcmp(data, magic.constData(), size_t(magic.size())) != 0
        || std::memcmp(data + offKind, kindTag, sizeof kindTag) != 0
        || get<quint32>(data + offFormat) != formatVersion
        || get<quint32>(data + offByteOrder) != byteOrderMark)
        return false;
    const quint64 headerBytes = get<quint32>(data + offHeaderBytes);
    if (headerBytes < offBlockSums + 8 || headerBytes > available)
        return false;
    if (get<quint64>(data + headerBytes - 8) != blockChecksum(data, headerBytes - 8))
        return false;
    m_bodySize = get<quint64>(data + offBodySize);
    const quint64 blocks = (m_bodySize + blockSize - 1) / blockSize;
    if (m_bodySize != fileSize - headerBytes || offBlockSums + 8 * blocks + 8 > headerBytes)
        return false;
    m_materials = qint32(get<quint32>(data + offMaterials));
    m_synonyms = qint32(get<quint32>(data + offSynonyms));
    if (m_materials < 0 || m_synonyms < 0)
        return false;
    m_materialIdentity = getIdentity(data + offIdentities);
    m_synonymIdentity = getIdentity(data + offIdentities + 32);
    for (int s = 0; s < sectionCount; ++s) {
        m_sectionOffset[s] = get<quint64>(data + offSections + 16 * quint64(s));
        m_sectionSize[s] = get<quint64>(data + offSections + 16 * quint64(s) + 8);
        if (m_sectionOffset[s] > m_bodySize || m_sectionSize[s] > m_bodySize - m_sectionOffset[s])
            return false;
    }
    // The sections of fixed-size entries hold as many as they must.
    const quint64 n = quint64(m_materials);
    if (m_sectionSize[ShownEnds] != 4 * n || m_sectionSize[FoldedEnds] != 4 * n
        || m_sectionSize[SynonymEnds] != 4 * quint64(m_synonyms)
        || m_sectionSize[RunDirectory] % sizeof(RunEntry) != 0
        || m_sectionSize[WordDirectory] % sizeof(WordEntry) != 0
        || m_sectionSize[PairDirectory] % sizeof(WordEntry) != 0)
        return false;
    for (int s = CasKeyOrder; s <= CeOrder; ++s) {
        if (m_sectionSize[s] % 4 != 0 || m_sectionSize[s] > 4 * n)
            return false;
    }
    m_bodyOffset = headerBytes;
    m_blockSums = data + offBlockSums;
    return true;
}

void FindData::readChecked(quint64 b, uchar *out) const
{
    const quint64 length = std::min(blockSize, m_bodySize - b * blockSize);
    if (m_file.readAt(qint64(m_bodyOffset + b * blockSize), out, qint64(length)) != qint64(length)
        || blockChecksum(out, length) != get<quint64>(m_blockSums + 8 * b))
        throw FindDataDamaged();
}

const uchar *FindData::block(quint64 b, bool keep) const
{
    if (m_memoryBody)
        return m_memoryBody + b * blockSize;
    if (auto it = m_cache.find(b); it != m_cache.end())
        return it->second.get();
    if (b == m_lastBlock)
        return m_last.get();
    if (!keep) {
        if (!m_last)
            m_last.reset(new uchar[blockSize]);
        m_lastBlock = ~quint64(0);
        readChecked(b, m_last.get());
        m_lastBlock = b;
        return m_last.get();
    }
    std::unique_ptr<uchar[]> data;
    const size_t keptBlocks = size_t(cacheBudget / blockSize);
    if (m_cacheOrder.size() < keptBlocks) {
        data.reset(new uchar[blockSize]);
        m_cacheOrder.push_back(b);
    } else {
        // The oldest block kept makes room.
        quint64 &oldest = m_cacheOrder[m_cacheNext];
        auto it = m_cache.find(oldest);
        data = std::move(it->second);
        m_cache.erase(it);
        oldest = b;
        m_cacheNext = (m_cacheNext + 1) % keptBlocks;
    }
    try {
        readChecked(b, data.get());
    } catch (const FindDataDamaged &) {
        m_cacheOrder.erase(std::find(m_cacheOrder.begin(), m_cacheOrder.end(), b));
        m_cacheNext = 0;
        throw;
    }
    return m_cache.emplace(b, std::move(data)).first->second.get();
}

void FindData::copy(quint64 offset, quint64 length, void *out, bool keep) const
{
    if (offset > m_bodySize || length > m_bodySize - offset)
        throw FindDataDamaged();
    auto *to = static_cast<uchar *>(out);
    while (length > 0) {
        const quint64 b = offset / blockSize;
        const quint64 at = offset % blockSize;
        const quint64 n = std::min(length, blockSize - at);
        std::memcpy(to, block(b, keep) + at, n);
        to += n;
        offset += n;
        length -= n;
    }
}

quint32 FindData::u32At(int section, quint64 index) const
{
    if (4 * index + 4 > m_sectionSize[section])
        throw FindDataDamaged();
    quint32 v;
    copy(m_sectionOffset[section] + 4 * index, 4, &v, true);
    return v;
}

void FindData::sectionBytes(
    int section, quint64 offset, quint64 length, std::string &out, bool keep) const
{
    if (offset > m_sectionSize[section] || length > m_sectionSize[section] - offset)
        throw FindDataDamaged();
    out.resize(size_t(length));
    copy(m_sectionOffset[section] + offset, length, out.data(), keep);
}

FindData::Shown FindData::shown(qint32 id) const
{
    if (id < 1 || id > m_materials)
        return {};
    const quint64 from = id > 1 ? u32At(ShownEnds, quint64(id) - 2) : 0;
    const quint64 to = u32At(ShownEnds, quint64(id) - 1);
    if (to < from + 16)
        throw FindDataDamaged();
    sectionBytes(ShownTexts, from, to - from, m_scratch, true);
    const auto *p = reinterpret_cast<const uchar *>(m_scratch.data());
    quint64 at = 16;
    QString texts[4];
    for (int i = 0; i < 4; ++i) {
        const quint64 len = get<quint32>(p + 4 * i);
        if (len > to - from - at)
            throw FindDataDamaged();
        texts[i] = QString::fromUtf8(m_scratch.data() + at, qsizetype(len));
        at += len;
    }
    return {texts[0], texts[1], texts[2], texts[3]};
}

QString FindData::synonym(qint32 index) const
{
    if (index < 0 || index >= m_synonyms)
        return {};
    const quint64 from = index > 0 ? u32At(SynonymEnds, quint64(index) - 1) : 0;
    const quint64 to = u32At(SynonymEnds, quint64(index));
    if (to < from)
        throw FindDataDamaged();
    sectionBytes(SynonymTexts, from, to - from, m_scratch, true);
    return QString::fromUtf8(m_scratch.data(), qsizetype(m_scratch.size()));
}

const FindData::Folded &FindData::folded(qint32 id) const
{
    if (id < 1 || id > m_materials)
        throw FindDataDamaged();
    const quint64 from = id > 1 ? u32At(FoldedEnds, quint64(id) - 2) : 0;
    const quint64 to = u32At(FoldedEnds, quint64(id) - 1);
    if (to < from + 20)
        throw FindDataDamaged();
    sectionBytes(FoldedTexts, from, to - from, m_scratch, true);
    const char *base = m_scratch.data();
    const auto *p = reinterpret_cast<const uchar *>(base);
    const quint64 size = to - from;
    quint64 at = 20;
    auto take = [&](quint64 len) {
        if (len > size - at)
            throw FindDataDamaged();
        const std::string_view v(base + at, size_t(len));
        at += len;
        return v;
    };
    Folded &f = m_folded;
    f.casKey = take(get<quint32>(p));
    f.casDigits = take(get<quint32>(p + 4));
    f.fema = take(get<quint32>(p + 8));
    f.ce = take(get<quint32>(p + 12));
    const quint32 entries = get<quint32>(p + 16);
    if (entries == 0 || entries > size / 12)
        throw FindDataDamaged();
    f.entries.resize(entries);
    for (Entry &e : f.entries) {
        if (size - at < 12)
            throw FindDataDamaged();
        const quint32 len = get<quint32>(p + at);
        e.stem = get<quint32>(p + at + 4);
        e.synonym = get<qint32>(p + at + 8);
        at += 12;
        e.text = take(len);
        if (e.stem > len || e.synonym < -1 || e.synonym >= m_synonyms)
            throw FindDataDamaged();
    }
    if (at != size)
        throw FindDataDamaged();
    return f;
}

std::string_view FindData::numberKey(Number number, quint32 place) const
{
    const Folded &f = folded(qint32(u32At(CasKeyOrder + int(number), place)));
    switch (number) {
    case Number::CasKey:
        return f.casKey;
    case Number::CasDigits:
        return f.casDigits;
    case Number::Fema:
        return f.fema;
    case Number::Ce:
        return f.ce;
    }
    return {};
}

void FindData::numbersFrom(
    Number number, std::string_view key, MaterialBits &exact, MaterialBits &begins) const
{
    const int section = CasKeyOrder + int(number);
    const quint32 count = quint32(m_sectionSize[section] / 4);
    // The first place at or after from where below(key of place) is false.
    auto firstNot = [&](quint32 from, auto below) {
        quint32 lo = from, hi = count;
        while (lo < hi) {
            const quint32 mid = lo + (hi - lo) / 2;
            if (below(numberKey(number, mid)))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    const quint32 first = firstNot(0, [&](std::string_view k) { return k < key; });
    const quint32 equalEnd = firstNot(first, [&](std::string_view k) { return k == key; });
    const quint32 end = firstNot(equalEnd, [&](std::string_view k) {
        return k.size() >= key.size() && k.compare(0, key.size(), key) == 0;
    });
    if (end <= first)
        return;
    m_ids.resize(end - first);
    copy(m_sectionOffset[section] + 4 * quint64(first), 4 * quint64(end - first), m_ids.data(),
        false);
    for (quint32 i = 0; i < end - first; ++i)
        (first + i < equalEnd ? exact : begins).set(qint32(m_ids[i]));
}

void FindData::materialsWithRun(
    std::string_view run, MaterialBits *contains, MaterialBits *begins, bool intersect) const
{
    const quint32 code = runCode(reinterpret_cast<const unsigned char *>(run.data()), run.size());
    const quint64 entries = m_sectionSize[RunDirectory] / sizeof(RunEntry);
    auto entryAt = [&](quint64 i) {
        RunEntry e;
        copy(m_sectionOffset[RunDirectory] + i * sizeof(RunEntry), sizeof e, &e, true);
        return e;
    };
    quint64 lo = 0, hi = entries;
    while (lo < hi) {
        const quint64 mid = lo + (hi - lo) / 2;
        const RunEntry e = entryAt(mid);
        if (e.code < code)
            lo = mid + 1;
        else
            hi = mid;
    }
    bool sawContains = false;
    for (quint64 i = lo; i < entries; ++i) {
        const RunEntry e = entryAt(i);
        if (e.code != code)
            break;
        const bool beginsList = e.flags & runBegins;
        sawContains = sawContains || !beginsList;
        if (MaterialBits *into = beginsList ? begins : contains)
            applyList(RunLists, &e.list, *into, intersect && !beginsList);
    }
    // A run no material holds leaves nothing of an intersection.
    if (intersect && !sawContains && contains)
        std::fill(contains->words().begin(), contains->words().end(), 0);
}

void FindData::applyList(int section, const void *listRef, MaterialBits &into, bool intersect) const
{
    ListRef ref;
    std::memcpy(&ref, listRef, sizeof ref);
    const size_t words = (size_t(m_materials) + 63) / 64;
    const bool isBitmap = ref.bytes & listBitmap;
    const quint64 bytes = ref.bytes & ~listBitmap;
    if (into.size() != m_materials || ref.count > quint64(m_materials)
        || ref.offset > m_sectionSize[section] || bytes > m_sectionSize[section] - ref.offset
        || (isBitmap && bytes != 8 * words))
        throw FindDataDamaged();
    std::vector<quint64> &w = into.words();
    if (isBitmap) {
        m_bitmap.resize(words);
        copy(m_sectionOffset[section] + ref.offset, bytes, m_bitmap.data(), false);
    } else {
        m_list.resize(size_t(bytes));
        copy(m_sectionOffset[section] + ref.offset, bytes, m_list.data(), false);
        if (intersect)
            m_bitmap.assign(words, 0);
        std::vector<quint64> &to = intersect ? m_bitmap : w;
        quint64 id = 0;
        quint32 gap = 0;
        int shift = 0;
        for (unsigned char b : m_list) {
            gap |= quint32(b & 0x7f) << shift;
            if (b & 0x80) {
                shift += 7;
                if (shift > 28)
                    throw FindDataDamaged();
                continue;
            }
            id += gap;
            if (id < 1 || id > quint64(m_materials))
                throw FindDataDamaged();
            to[size_t(id - 1) / 64] |= quint64(1) << ((id - 1) % 64);
            gap = 0;
            shift = 0;
        }
        if (!intersect)
            return;
    }
    for (size_t k = 0; k < words; ++k)
        w[k] = intersect ? (w[k] & m_bitmap[k]) : (w[k] | m_bitmap[k]);
}

bool FindData::isWord(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return isWordByte(static_cast<unsigned char>(c));
    });
}

bool FindData::isWordPair(std::string_view text)
{
    const size_t blank = text.find(' ');
    return blank != std::string_view::npos && blank > 0 && isWord(text.substr(0, blank))
        && isWord(text.substr(blank + 1));
}

void FindData::materialsWithWordPart(
    std::string_view text, MaterialBits &contains, MaterialBits &begins) const
{
    materialsWithPartOf(WordTexts, text, contains, begins);
}

void FindData::materialsWithWordPairPart(
    std::string_view text, MaterialBits &contains, MaterialBits &begins) const
{
    materialsWithPartOf(PairTexts, text, contains, begins);
}

void FindData::materialsWithPartOf(
    int texts, std::string_view text, MaterialBits &contains, MaterialBits &begins) const
{
    // The words (pairs of words) are few beside the materials: all of them
    // are looked through, and only the lists of those that hold the text
    // are read. Their directory and lists follow their texts.
    const int directory = texts + 1, lists = texts + 2;
    sectionBytes(texts, 0, m_sectionSize[texts], m_words, false);
    const std::string_view all(m_words);
    const quint64 entries = m_sectionSize[directory] / sizeof(WordEntry);
    quint64 k = 0;
    for (size_t at = 0; at < all.size(); ++k) {
        const size_t end = all.find('\0', at);
        if (end == std::string_view::npos || k >= entries)
            throw FindDataDamaged();
        const std::string_view word = all.substr(at, end - at);
        at = end + 1;
        const size_t found = word.find(text);
        if (found == std::string_view::npos)
            continue;
        WordEntry e;
        copy(m_sectionOffset[directory] + k * sizeof(WordEntry), sizeof e, &e, true);
        applyList(lists, &e.contains, contains, false);
        if (found == 0)
            applyList(lists, &e.begins, begins, false);
    }
    if (k != entries)
        throw FindDataDamaged();
}

bool FindData::verifyAll() const
{
    const quint64 blocks = (m_bodySize + blockSize - 1) / blockSize;
    std::unique_ptr<uchar[]> buffer(new uchar[blockSize]);
    for (quint64 b = 0; b < blocks; ++b) {
        const quint64 length = std::min(blockSize, m_bodySize - b * blockSize);
        if (m_memoryBody) {
            if (blockChecksum(m_memoryBody + b * blockSize, length)
                != get<quint64>(m_blockSums + 8 * b))
                return false;
            continue;
        }
        try {
            readChecked(b, buffer.get());
        } catch (const FindDataDamaged &) {
            return false;
        }
    }
    return true;
}

size_t FindData::memoryBytes() const
{
    return size_t(m_header.capacity()) + m_cache.size() * (blockSize + 32)
        + m_cacheOrder.capacity() * 8 + (m_last ? blockSize : 0) + m_scratch.capacity()
        + m_ids.capacity() * 4 + m_list.capacity() + m_bitmap.capacity() * 8 + m_words.capacity()
        + m_folded.entries.capacity() * sizeof(Entry);
}

} // namespace zil::store
