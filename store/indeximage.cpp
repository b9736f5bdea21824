#include "indeximage.h"

#include "fileformat.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace zil::store {

namespace {

constexpr quint32 formatVersion = 3;
// Written as a number: read back on a machine of the other byte order, it
// no longer says this.
constexpr quint32 byteOrderMark = 0x01020304;
constexpr quint64 blockSize = IndexImage::blockSize;
constexpr quint32 flagPrimary = 1;
constexpr quint32 flagCaseInsensitive = 2;
constexpr int maxFields = 16;
// How many blocks a pass over a range reads at once, past the cache.
constexpr quint64 scratchBlocks = 16;

// Offsets of the fixed header, after the magic line and its padding.
enum : quint64 {
    offFormat = 16,
    offByteOrder = 20,
    offHeaderBytes = 24,
    offFlags = 28,
    offCount = 32,
    offFieldCount = 36,
    offBlockCount = 40,
    offPoolUnits = 48,
    offTableSize = 56,
    offModified = 64,
    offGeneration = 72,
    offChangeCounter = 80,
    offBodyOffset = 88,
    offBodySize = 96,
    fixedEnd = 104,
};

constexpr quint64 align(quint64 n, quint64 to)
{
    return (n + to - 1) / to * to;
}

// A 64-bit checksum: each 8-byte word is mixed in by steps that are each
// one-to-one, so any change within one word always changes the result.
quint64 checksum(const uchar *p, quint64 n)
{
    quint64 h = 0x9E3779B97F4A7C15ull ^ n;
    while (n >= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        h ^= w;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
        p += 8;
        n -= 8;
    }
    while (n > 0) {
        h ^= *p++;
        h *= 0x100000001B3ull;
        --n;
    }
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
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

quint64 bodySizeFor(quint64 count, const std::vector<bool> &textFields, quint64 poolUnits)
{
    return 8 * count + align(4 * count, 8) + 8 * count * textFields.size() + 2 * poolUnits;
}

} // namespace

// The cache of checked blocks that every image of the process shares: a fixed
// number of slots of one block each. A slot is reused by a clock hand that
// passes over the slots: one that a read has used since the hand last came
// by is spared once, so the blocks that searches probe again and again stay
// while blocks read once go first.
struct BlockCache
{
    static constexpr quint16 usedBit = IndexImage::usedBit;
    static constexpr quint32 slotCount = quint32(IndexImage::cacheBudget / blockSize);
    static_assert(slotCount > 0 && slotCount < usedBit, "a slot is held in 15 bits");

    // Taken at the first block cached; its pages come in as slots are used.
    std::unique_ptr<uchar[]> blocks;
    // Per slot, the entry of its image's slot table that points at it, which
    // also tells whether a read used the slot; null when the slot is free.
    std::vector<quint16 *> owner;
    std::vector<quint16> free;
    quint32 fresh = 0; // slots [fresh, slotCount) were never used
    quint32 hand = 0;
    quint32 held = 0;

    static BlockCache &instance()
    {
        // Never destroyed: images that outlive the statics of the program
        // still give their slots back.
        static BlockCache *cache = new BlockCache;
        return *cache;
    }

    // A slot for the block whose slot table entry is entry; the block it
    // held before, if any, leaves the cache.
    quint16 claim(quint16 *entry)
    {
        if (!blocks) {
            blocks = std::make_unique_for_overwrite<uchar[]>(size_t(slotCount) * blockSize);
            owner.assign(slotCount, nullptr);
            IndexImage::s_cacheBlocks = blocks.get();
        }
        quint16 slot;
        if (!free.empty()) {
            slot = free.back();
            free.pop_back();
        } else if (fresh < slotCount) {
            slot = quint16(fresh++);
        } else {
            while (*owner[hand] & usedBit) {
                *owner[hand] &= quint16(~usedBit);
                hand = (hand + 1) % slotCount;
            }
            slot = quint16(hand);
            hand = (hand + 1) % slotCount;
            *owner[slot] = 0;
            --held;
        }
        owner[slot] = entry;
        ++held;
        return slot;
    }

    void release(quint16 slot)
    {
        owner[slot] = nullptr;
        free.push_back(slot);
        --held;
    }
};

quint64 blockChecksum(const uchar *p, quint64 n)
{
    return checksum(p, n);
}

std::shared_ptr<const IndexImage> IndexImage::open(const QString &path)
{
    std::shared_ptr<IndexImage> image(new IndexImage);
    // Only a regular file at the name itself: never a link's target, never a
    // FIFO or device that could block or feed data without end.
    image->m_file = platform::ReadOnlyFile::open(path, false);
    if (!image->m_file.isOpen())
        return nullptr;
    const qint64 size = image->m_file.size();
    if (size < qint64(fixedEnd))
        return nullptr;
    // The fixed part says how long the header is; the header, checksums
    // included, is then read whole. Its own checksum tells a header that was
    // changed between the two reads.
    uchar fixed[fixedEnd];
    if (image->m_file.readAt(0, fixed, fixedEnd) != qint64(fixedEnd))
        return nullptr;
    // A file of another kind is not read further, nor one whose header
    // would be longer than the names and the checksums of its blocks make
    // any header.
    const QByteArray magic = QByteArray(indexFileMagicText) + '\n';
    if (std::memcmp(fixed, magic.constData(), size_t(magic.size())) != 0)
        return nullptr;
    const quint64 headerBytes = get<quint32>(fixed + offHeaderBytes);
    const quint64 blockCount = get<quint64>(fixed + offBlockCount);
    const quint64 longestNames = (2 + quint64(maxFields)) * (2 + 0xFFFF) + maxFields + 8;
    if (headerBytes < fixedEnd + 8 || headerBytes > quint64(size)
        || blockCount > quint64(size) / blockSize + 1
        || headerBytes > fixedEnd + longestNames + 8 * blockCount + 8)
        return nullptr;
    QByteArray &header = image->m_headerBytes;
    header.resize(qsizetype(headerBytes));
    if (image->m_file.readAt(0, header.data(), headerBytes) != qint64(headerBytes))
        return nullptr;
    if (!image->parse(
            reinterpret_cast<const uchar *>(header.constData()), headerBytes, quint64(size)))
        return nullptr;
    image->m_slotOf.assign(size_t((image->m_bodySize + blockSize - 1) / blockSize), 0);
    image->m_passes.resize(image->m_fields.size() + 2);
    return image;
}

std::shared_ptr<const IndexImage> IndexImage::fromBytes(QByteArray bytes)
{
    std::shared_ptr<IndexImage> image(new IndexImage);
    image->m_bytes = std::move(bytes);
    const auto *data = reinterpret_cast<const uchar *>(image->m_bytes.constData());
    const quint64 size = quint64(image->m_bytes.size());
    if (!image->parse(data, size, size))
        return nullptr;
    image->m_memoryBody = data + image->m_bodyOffset;
    if (!image->verifyAll())
        return nullptr;
    return image;
}

IndexImage::~IndexImage()
{
    if (m_slotOf.empty())
        return;
    BlockCache &cache = BlockCache::instance();
    for (const quint16 entry : m_slotOf) {
        if (entry)
            cache.release(quint16((entry & ~usedBit) - 1));
    }
}

quint64 IndexImage::cachedBytes()
{
    return quint64(BlockCache::instance().held) * blockSize;
}

bool IndexImage::parse(const uchar *data, quint64 available, quint64 fileSize)
{
    const QByteArray magic = QByteArray(indexFileMagicText) + '\n';
    if (available < fixedEnd || std::memcmp(data, magic.constData(), size_t(magic.size())) != 0)
        return false;
    if (get<quint32>(data + offFormat) != formatVersion
        || get<quint32>(data + offByteOrder) != byteOrderMark)
        return false;
    const quint64 headerBytes = get<quint32>(data + offHeaderBytes);
    if (headerBytes < fixedEnd + 8 || headerBytes > available)
        return false;
    if (get<quint64>(data + headerBytes - 8) != checksum(data, headerBytes - 8))
        return false;

    const quint32 flags = get<quint32>(data + offFlags);
    const quint32 fieldCount = get<quint32>(data + offFieldCount);
    const quint64 blockCount = get<quint64>(data + offBlockCount);
    m_poolUnits = get<quint64>(data + offPoolUnits);
    m_header.count = get<quint32>(data + offCount);
    m_header.identity.size = get<qint64>(data + offTableSize);
    m_header.identity.modifiedNs = get<qint64>(data + offModified);
    m_header.identity.generation = get<qint64>(data + offGeneration);
    m_header.identity.changeCounter = get<quint32>(data + offChangeCounter);
    const quint64 bodyOffset = get<quint64>(data + offBodyOffset);
    m_bodySize = get<quint64>(data + offBodySize);
    if ((flags & ~(flagPrimary | flagCaseInsensitive)) != 0
        || flags == (flagPrimary | flagCaseInsensitive) || fieldCount > maxFields
        || m_poolUnits > (quint64(1) << 40))
        return false;
    m_header.primary = flags & flagPrimary;
    m_header.caseInsensitive = flags & flagCaseInsensitive;

    // The names: table, index, then each field, each as a 16-bit length and
    // UTF-8; then one byte per field for its kind.
    quint64 at = fixedEnd;
    const quint64 namesEnd = headerBytes - 8;
    const auto name = [&](QString &out) {
        if (at + 2 > namesEnd)
            return false;
        const quint64 n = get<quint16>(data + at);
        at += 2;
        if (n == 0 || at + n > namesEnd)
            return false;
        out = QString::fromUtf8(reinterpret_cast<const char *>(data + at), qsizetype(n));
        at += n;
        return true;
    };
    if (!name(m_header.table) || !name(m_header.name))
        return false;
    for (quint32 f = 0; f < fieldCount; ++f) {
        QString field;
        if (!name(field))
            return false;
        m_header.fields << field;
    }
    if (at + fieldCount > namesEnd)
        return false;
    for (quint32 f = 0; f < fieldCount; ++f) {
        const uchar kind = data[at++];
        if (kind > 1)
            return false;
        m_header.textFields.push_back(kind == 1);
    }
    at = align(at, 8);
    if (at + 8 * blockCount != namesEnd)
        return false;
    m_blockSums = data + at;

    // The body follows the header and fills the rest of the file, sized as
    // its count, fields and pool say.
    if (bodyOffset != align(headerBytes, 64) || bodyOffset > fileSize
        || m_bodySize != fileSize - bodyOffset
        || m_bodySize != bodySizeFor(m_header.count, m_header.textFields, m_poolUnits)
        || blockCount != (m_bodySize + blockSize - 1) / blockSize)
        return false;
    m_bodyOffset = bodyOffset;
    m_rowids = 0;
    m_ordinals = 8 * quint64(m_header.count);
    quint64 next = m_ordinals + align(4 * quint64(m_header.count), 8);
    for (quint32 f = 0; f < fieldCount; ++f) {
        m_fields.push_back(next);
        next += 8 * quint64(m_header.count);
    }
    m_pool = next;
    return true;
}

void IndexImage::checkBlocks(quint64 first, quint64 bytes, const uchar *data) const
{
    m_checkedBytes += bytes;
    for (quint64 at = 0; at < bytes; at += blockSize) {
        const quint64 n = std::min(blockSize, bytes - at);
        if (checksum(data + at, n) != get<quint64>(m_blockSums + 8 * (first + at / blockSize)))
            throw IndexDamaged();
    }
}

void IndexImage::readBlocks(quint64 first, quint64 n, uchar *out) const
{
    const quint64 begin = first * blockSize;
    const quint64 bytes = std::min(n * blockSize, m_bodySize - begin);
    // A file cut short, or one that cannot be read any more (a share that
    // lost it), is damage like a block that fails its check.
    if (m_file.readAt(qint64(m_bodyOffset + begin), out, qint64(bytes)) != qint64(bytes))
        throw IndexDamaged();
    checkBlocks(first, bytes, out);
}

size_t IndexImage::columnOf(quint64 offset) const
{
    if (offset < m_ordinals)
        return 0;
    if (offset >= m_pool)
        return m_fields.size() + 2;
    if (m_fields.empty() || offset < m_fields.front())
        return 1;
    return 2 + size_t((offset - m_fields.front()) / (8 * quint64(m_header.count)));
}

const uchar *IndexImage::load(quint64 offset) const
{
    const quint64 b = offset >> blockShift;
    // A pass entry by entry (the ids of a whole order read record by
    // record, a walk) enters each block of a column at its first entry, or
    // at its last going backwards, right from the block before: such blocks
    // go through the column's own block and leave the cache to the scattered
    // probes of searches, which come back to the same blocks. Texts are
    // read by probes alone, and a text may span two blocks.
    if (const size_t column = columnOf(offset); column < m_passes.size()) {
        Pass &pass = m_passes[column];
        if (pass.block == b)
            return pass.data.get();
        const quint64 at = offset & (blockSize - 1);
        const bool passing = pass.lastRead != ~quint64(0)
            && ((b == pass.lastRead + 1 && at < 8)
                || (b + 1 == pass.lastRead && at + 8 >= blockSize));
        pass.lastRead = b;
        if (passing) {
            if (!pass.data)
                pass.data = std::make_unique_for_overwrite<uchar[]>(size_t(blockSize));
            pass.block = ~quint64(0);
            readBlocks(b, 1, pass.data.get());
            pass.block = b;
            return pass.data.get();
        }
    }

    BlockCache &cache = BlockCache::instance();
    quint16 &entry = m_slotOf[size_t(b)];
    const quint16 slot = cache.claim(&entry);
    uchar *data = s_cacheBlocks + (quint64(slot) << blockShift);
    try {
        readBlocks(b, 1, data);
    } catch (const IndexDamaged &) {
        cache.release(slot);
        throw;
    }
    entry = quint16(slot + 1);
    return data;
}

void IndexImage::copyOut(quint64 offset, quint64 length, void *out) const
{
    auto *to = static_cast<uchar *>(out);
    while (length > 0) {
        const quint64 at = offset & (blockSize - 1);
        const quint64 n = std::min(length, blockSize - at);
        std::memcpy(to, blockOf(offset) + at, size_t(n));
        to += n;
        offset += n;
        length -= n;
    }
}

void IndexImage::stream(quint64 offset, quint64 length, void *out) const
{
    if (length == 0)
        return;
    if (m_memoryBody) {
        std::memcpy(out, m_memoryBody + offset, size_t(length));
        return;
    }
    auto *to = static_cast<uchar *>(out);
    const quint64 end = offset + length;
    const quint64 last = (end - 1) >> blockShift;
    std::unique_ptr<uchar[]> scratch;
    for (quint64 b = offset >> blockShift; b <= last;) {
        // A block the cache holds is taken from there, as it was checked;
        // a run of the others is read into the scratch buffer, which the
        // next run overwrites.
        quint64 run = 1;
        const uchar *from;
        if (const quint16 entry = m_slotOf[size_t(b)]) {
            from = s_cacheBlocks + (quint64((entry & ~usedBit) - 1) << blockShift);
        } else {
            while (b + run <= last && run < scratchBlocks && !m_slotOf[size_t(b + run)])
                ++run;
            if (!scratch)
                scratch = std::make_unique_for_overwrite<uchar[]>(
                    size_t(std::min(scratchBlocks, last - b + 1) * blockSize));
            readBlocks(b, run, scratch.get());
            from = scratch.get();
        }
        const quint64 begin = b * blockSize;
        const quint64 lo = std::max(offset, begin);
        const quint64 hi = std::min(end, begin + run * blockSize);
        std::memcpy(to + (lo - offset), from + (lo - begin), size_t(hi - lo));
        b += run;
    }
}

quint32 IndexImage::ordinal(quint32 place) const
{
    const quint32 o = read<quint32>(m_ordinals + 4 * quint64(place));
    if (o >= m_header.count)
        throw IndexDamaged();
    return o;
}

template<typename T>
void IndexImage::readRange(quint64 column, quint32 first, quint32 n, T *out) const
{
    if (quint64(first) + n > m_header.count)
        throw IndexDamaged();
    const quint64 offset = column + sizeof(T) * quint64(first);
    within(offset, sizeof(T) * quint64(n));
    stream(offset, sizeof(T) * quint64(n), out);
}

void IndexImage::ordinals(quint32 first, quint32 n, quint32 *out) const
{
    readRange(m_ordinals, first, n, out);
    for (quint32 i = 0; i < n; ++i) {
        if (out[i] >= m_header.count)
            throw IndexDamaged();
    }
}

void IndexImage::integers(quint32 first, quint32 n, int field, qint64 *out) const
{
    readRange(m_fields[size_t(field)], first, n, out);
}

int IndexImage::compareUnits(quint64 offset, quint64 units, QStringView key) const
{
    if (m_memoryBody)
        return QStringView(
            reinterpret_cast<const char16_t *>(m_memoryBody + offset), qsizetype(units))
            .compare(key, Qt::CaseSensitive);
    // Block by block: a unit never straddles two, as texts and blocks both
    // begin at even offsets.
    quint64 done = 0;
    while (done < units) {
        const quint64 at = offset & (blockSize - 1);
        const quint64 part = std::min((blockSize - at) / 2, units - done);
        const auto *text = reinterpret_cast<const char16_t *>(blockOf(offset) + at);
        const quint64 left = quint64(key.size()) - done;
        const quint64 m = std::min(part, left);
        if (m > 0) {
            const int r
                = QStringView(text, qsizetype(m))
                      .compare(key.sliced(qsizetype(done), qsizetype(m)), Qt::CaseSensitive);
            if (r != 0)
                return r;
        }
        if (m < part)
            return 1; // the key ends first
        done += part;
        offset += 2 * part;
    }
    return quint64(key.size()) > units ? -1 : 0;
}

int IndexImage::compareText(quint32 place, int field, QStringView key) const
{
    const auto [offset, units] = textAt(place, field);
    if (units == 0)
        return key.isEmpty() ? 0 : -1;
    // Most texts lie within one block.
    if (const quint64 at = offset & (blockSize - 1); at + 2 * units <= blockSize)
        return QStringView(
            reinterpret_cast<const char16_t *>(blockOf(offset) + at), qsizetype(units))
            .compare(key, Qt::CaseSensitive);
    return compareUnits(offset, units, key);
}

QString IndexImage::copyText(quint32 place, int field) const
{
    const auto [offset, units] = textAt(place, field);
    QString text(qsizetype(units), Qt::Uninitialized);
    if (m_memoryBody)
        std::memcpy(text.data(), m_memoryBody + offset, size_t(2 * units));
    else
        copyOut(offset, 2 * units, text.data());
    return text;
}

int IndexImage::compareEntries(quint32 a, quint32 b) const
{
    for (size_t f = 0; f < m_header.textFields.size(); ++f) {
        if (m_header.textFields[f]) {
            // The text of a is copied a piece at a time, so that reading the
            // text of b cannot put another block where it was read from.
            const auto [atA, unitsA] = textAt(a, int(f));
            const auto [atB, unitsB] = textAt(b, int(f));
            char16_t piece[256];
            int r = 0;
            for (quint64 done = 0; done < unitsA && r == 0;) {
                const quint64 n = std::min<quint64>(std::size(piece), unitsA - done);
                if (m_memoryBody)
                    std::memcpy(piece, m_memoryBody + atA + 2 * done, size_t(2 * n));
                else
                    copyOut(atA + 2 * done, 2 * n, piece);
                const quint64 m = unitsB > done ? std::min(n, unitsB - done) : 0;
                if (m > 0)
                    r = -compareUnits(atB + 2 * done, m, QStringView(piece, qsizetype(m)));
                if (r == 0 && m < n)
                    r = 1; // the text of b ends first
                done += n;
            }
            if (r == 0 && unitsB > unitsA)
                r = -1;
            if (r != 0)
                return r < 0 ? -1 : 1;
        } else {
            const qint64 x = integer(a, int(f)), y = integer(b, int(f));
            if (x != y)
                return x < y ? -1 : 1;
        }
    }
    return 0;
}

bool IndexImage::verifyAll() const
{
    const quint64 blocks = (m_bodySize + blockSize - 1) / blockSize;
    try {
        if (m_memoryBody) {
            checkBlocks(0, m_bodySize, m_memoryBody);
            return true;
        }
        std::unique_ptr<uchar[]> scratch;
        for (quint64 b = 0; b < blocks;) {
            // What the cache holds was checked as it came in.
            if (m_slotOf[size_t(b)]) {
                ++b;
                continue;
            }
            quint64 run = 1;
            while (b + run < blocks && run < scratchBlocks && !m_slotOf[size_t(b + run)])
                ++run;
            if (!scratch)
                scratch
                    = std::make_unique_for_overwrite<uchar[]>(size_t(scratchBlocks * blockSize));
            readBlocks(b, run, scratch.get());
            b += run;
        }
    } catch (const IndexDamaged &) {
        return false;
    }
    return true;
}

QByteArray buildIndexImage(const IndexKeys &keys, bool *unique)
{
    const quint64 count = keys.rowids.size();
    const IndexHeader &h = keys.header;
    const size_t fieldCount = size_t(h.fields.size());

    // The order: places in rowid order sorted by the fields, stably, so that
    // records of equal key keep the store's own order.
    const auto compare = [&](quint32 a, quint32 b) {
        for (size_t f = 0; f < fieldCount; ++f) {
            if (h.textFields[f]) {
                const int r
                    = QString::compare(keys.texts[f][a], keys.texts[f][b], Qt::CaseSensitive);
                if (r != 0)
                    return r;
            } else {
                const qint64 x = keys.integers[f][a], y = keys.integers[f][b];
                if (x != y)
                    return x < y ? -1 : 1;
            }
        }
        return 0;
    };
    std::vector<quint32> places(count);
    std::iota(places.begin(), places.end(), 0u);
    // A table is often stored in the order of an index already (the database
    // maker writes materials in name order): one pass tells, and spares the
    // sort.
    bool sorted = true;
    for (size_t i = 1; sorted && i < places.size(); ++i)
        sorted = compare(places[i - 1], places[i]) <= 0;
    if (!sorted)
        std::stable_sort(
            places.begin(), places.end(), [&](quint32 a, quint32 b) { return compare(a, b) < 0; });
    if (unique) {
        *unique = true;
        for (size_t i = 1; *unique && i < places.size(); ++i)
            *unique = compare(places[i - 1], places[i]) != 0;
    }

    // The pool: each distinct text of a field once after another is enough
    // for equal neighbours, which sorted keys bring together.
    quint64 poolUnits = 0;
    std::vector<std::vector<quint64>> refs(fieldCount);
    QString pool;
    for (size_t f = 0; f < fieldCount; ++f) {
        if (!h.textFields[f])
            continue;
        refs[f].resize(count);
        const QString *previous = nullptr;
        quint64 previousRef = 0;
        for (quint64 p = 0; p < count; ++p) {
            const QString &t = keys.texts[f][places[p]];
            // A reference holds a length below 2^24 and a place below 2^40.
            if (t.size() >= (qsizetype(1) << 24) || quint64(pool.size()) >= (quint64(1) << 40))
                return QByteArray();
            if (previous && *previous == t) {
                refs[f][p] = previousRef;
                continue;
            }
            previousRef = quint64(pool.size()) | (quint64(t.size()) << 40);
            refs[f][p] = previousRef;
            pool += t;
            previous = &t;
        }
    }
    poolUnits = quint64(pool.size());

    // The header.
    QByteArray names;
    const auto addName = [&names](const QString &s) {
        const QByteArray u = s.toUtf8().left(0xFFFF);
        const quint16 n = quint16(u.size());
        names.append(reinterpret_cast<const char *>(&n), 2);
        names += u;
    };
    addName(h.table);
    addName(h.name);
    for (const QString &f : h.fields)
        addName(f);
    for (size_t f = 0; f < fieldCount; ++f)
        names += char(h.textFields[f] ? 1 : 0);
    const quint64 bodySize = bodySizeFor(count, h.textFields, poolUnits);
    const quint64 blockCount = (bodySize + blockSize - 1) / blockSize;
    const quint64 sumsAt = align(fixedEnd + quint64(names.size()), 8);
    const quint64 headerBytes = sumsAt + 8 * blockCount + 8;
    const quint64 bodyOffset = align(headerBytes, 64);

    QByteArray out(qsizetype(bodyOffset + bodySize), '\0');
    const QByteArray magic = QByteArray(indexFileMagicText) + '\n';
    std::memcpy(out.data(), magic.constData(), size_t(magic.size()));
    put<quint32>(out, offFormat, formatVersion);
    put<quint32>(out, offByteOrder, byteOrderMark);
    put<quint32>(out, offHeaderBytes, quint32(headerBytes));
    put<quint32>(out, offFlags,
        (h.primary ? flagPrimary : 0) | (h.caseInsensitive ? flagCaseInsensitive : 0));
    put<quint32>(out, offCount, quint32(count));
    put<quint32>(out, offFieldCount, quint32(fieldCount));
    put<quint64>(out, offBlockCount, blockCount);
    put<quint64>(out, offPoolUnits, poolUnits);
    put<qint64>(out, offTableSize, h.identity.size);
    put<qint64>(out, offModified, h.identity.modifiedNs);
    put<qint64>(out, offGeneration, h.identity.generation);
    put<quint32>(out, offChangeCounter, h.identity.changeCounter);
    put<quint64>(out, offBodyOffset, bodyOffset);
    put<quint64>(out, offBodySize, bodySize);
    std::memcpy(out.data() + fixedEnd, names.constData(), size_t(names.size()));

    // The body.
    quint64 at = bodyOffset;
    for (quint64 p = 0; p < count; ++p)
        put<qint64>(out, at + 8 * p, keys.rowids[places[p]]);
    at += 8 * count;
    for (quint64 p = 0; p < count; ++p)
        put<quint32>(out, at + 4 * p, places[p]);
    at += align(4 * count, 8);
    for (size_t f = 0; f < fieldCount; ++f) {
        for (quint64 p = 0; p < count; ++p) {
            if (h.textFields[f])
                put<quint64>(out, at + 8 * p, refs[f][p]);
            else
                put<qint64>(out, at + 8 * p, keys.integers[f][places[p]]);
        }
        at += 8 * count;
    }
    std::memcpy(out.data() + at, pool.constData(), size_t(2 * poolUnits));

    // The checksums: of each block of the body, then of the whole header.
    const auto *body = reinterpret_cast<const uchar *>(out.constData()) + bodyOffset;
    for (quint64 b = 0; b < blockCount; ++b)
        put<quint64>(out, sumsAt + 8 * b,
            checksum(body + b * blockSize, std::min(blockSize, bodySize - b * blockSize)));
    put<quint64>(out, headerBytes - 8,
        checksum(reinterpret_cast<const uchar *>(out.constData()), headerBytes - 8));
    return out;
}

} // namespace zil::store
