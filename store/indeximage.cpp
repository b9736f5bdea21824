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
constexpr int blockShift = IndexImage::blockShift;
constexpr quint64 blockSize = quint64(1) << blockShift;
constexpr quint32 flagPrimary = 1;
constexpr quint32 flagCaseInsensitive = 2;
constexpr int maxFields = 16;
// How much of a mapped body is checked between two releases of its pages.
constexpr quint64 releaseAfterBytes = quint64(1) << 20;

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

std::shared_ptr<const IndexImage> IndexImage::open(const QString &path)
{
    std::shared_ptr<IndexImage> image(new IndexImage);
    image->m_mapped = platform::MappedFile::map(path, false);
    if (!image->m_mapped.isMapped())
        return nullptr;
    // Searches land on scattered pages; read-ahead around each would make
    // resident most of a large file for a handful of probes.
    image->m_mapped.adviseRandomAccess();
    image->m_data = image->m_mapped.data();
    image->m_size = quint64(image->m_mapped.size());
    if (!image->parse())
        return nullptr;
    return image;
}

std::shared_ptr<const IndexImage> IndexImage::fromBytes(QByteArray bytes)
{
    std::shared_ptr<IndexImage> image(new IndexImage);
    image->m_bytes = std::move(bytes);
    image->m_data = reinterpret_cast<const uchar *>(image->m_bytes.constData());
    image->m_size = quint64(image->m_bytes.size());
    if (!image->parse() || !image->verifyAll())
        return nullptr;
    return image;
}

bool IndexImage::parse()
{
    const QByteArray magic = QByteArray(indexFileMagicText) + '\n';
    if (m_size < fixedEnd || std::memcmp(m_data, magic.constData(), size_t(magic.size())) != 0)
        return false;
    if (get<quint32>(m_data + offFormat) != formatVersion
        || get<quint32>(m_data + offByteOrder) != byteOrderMark)
        return false;
    const quint64 headerBytes = get<quint32>(m_data + offHeaderBytes);
    if (headerBytes < fixedEnd + 8 || headerBytes > m_size)
        return false;
    if (get<quint64>(m_data + headerBytes - 8) != checksum(m_data, headerBytes - 8))
        return false;

    const quint32 flags = get<quint32>(m_data + offFlags);
    const quint32 fieldCount = get<quint32>(m_data + offFieldCount);
    const quint64 blockCount = get<quint64>(m_data + offBlockCount);
    m_poolUnits = get<quint64>(m_data + offPoolUnits);
    m_header.count = get<quint32>(m_data + offCount);
    m_header.identity.size = get<qint64>(m_data + offTableSize);
    m_header.identity.modifiedNs = get<qint64>(m_data + offModified);
    m_header.identity.generation = get<qint64>(m_data + offGeneration);
    m_header.identity.changeCounter = get<quint32>(m_data + offChangeCounter);
    const quint64 bodyOffset = get<quint64>(m_data + offBodyOffset);
    m_bodySize = get<quint64>(m_data + offBodySize);
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
        const quint64 n = get<quint16>(m_data + at);
        at += 2;
        if (n == 0 || at + n > namesEnd)
            return false;
        out = QString::fromUtf8(reinterpret_cast<const char *>(m_data + at), qsizetype(n));
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
        const uchar kind = m_data[at++];
        if (kind > 1)
            return false;
        m_header.textFields.push_back(kind == 1);
    }
    at = align(at, 8);
    if (at + 8 * blockCount != namesEnd)
        return false;
    m_blockSums = m_data + at;

    // The body follows the header and fills the rest of the file, sized as
    // its count, fields and pool say.
    if (bodyOffset != align(headerBytes, 64) || bodyOffset > m_size
        || m_bodySize != m_size - bodyOffset
        || m_bodySize != bodySizeFor(m_header.count, m_header.textFields, m_poolUnits)
        || blockCount != (m_bodySize + blockSize - 1) / blockSize)
        return false;
    m_body = m_data + bodyOffset;
    m_rowids = 0;
    m_ordinals = 8 * quint64(m_header.count);
    quint64 next = m_ordinals + align(4 * quint64(m_header.count), 8);
    for (quint32 f = 0; f < fieldCount; ++f) {
        m_fields.push_back(next);
        next += 8 * quint64(m_header.count);
    }
    m_pool = next;
    m_verified.assign(size_t((blockCount + 63) / 64), 0);
    return true;
}

void IndexImage::verify(quint64 offset, quint64 length) const
{
    for (quint64 b = offset >> blockShift, last = (offset + length - 1) >> blockShift; b <= last;
         ++b) {
        quint64 &bits = m_verified[size_t(b / 64)];
        if (bits & (quint64(1) << (b % 64)))
            continue;
        const quint64 begin = b * blockSize;
        const quint64 n = std::min(blockSize, m_bodySize - begin);
        m_checkedBytes += n;
        if (b == m_lastChecked + 1)
            m_passedBytes += n;
        m_lastChecked = b;
        if (checksum(m_body + begin, n) != get<quint64>(m_blockSums + 8 * b))
            throw IndexDamaged();
        bits |= quint64(1) << (b % 64);
    }
    // A pass over a whole column (the checks of a start, a list built from
    // an order) reads each of its pages once: the pages read are let go
    // every so often, so that such a pass leaves no more resident than a
    // search does. The mapping stays; a page read again comes back from the
    // file cache. Only passes count: the pages that searches have probed are
    // the ones the next searches probe again, and letting them go would make
    // every change of record fault them back in.
    if (m_passedBytes - m_passedAtRelease >= releaseAfterBytes) {
        m_passedAtRelease = m_passedBytes;
        m_mapped.releaseResident();
    }
}

quint32 IndexImage::ordinal(quint32 place) const
{
    const quint32 o = read<quint32>(m_ordinals + 4 * quint64(place));
    if (o >= m_header.count)
        throw IndexDamaged();
    return o;
}

namespace {

// A pass over a range reads it a block's worth at a time, so that what it
// has checked is let go as it goes, as a pass place by place does.
constexpr quint32 kPlacesPerStep = 512;

} // namespace

template<typename T>
void IndexImage::readRange(quint64 column, quint32 first, quint32 n, T *out) const
{
    if (quint64(first) + n > m_header.count)
        throw IndexDamaged();
    for (quint32 done = 0; done < n;) {
        const quint32 step = std::min(n - done, kPlacesPerStep);
        const quint64 offset = column + sizeof(T) * (quint64(first) + done);
        touch(offset, sizeof(T) * quint64(step));
        std::memcpy(out + done, m_body + offset, sizeof(T) * size_t(step));
        done += step;
    }
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

QStringView IndexImage::text(quint32 place, int field) const
{
    const quint64 ref = read<quint64>(m_fields[size_t(field)] + 8 * quint64(place));
    const quint64 offset = ref & 0xFFFFFFFFFFull;
    const quint64 length = ref >> 40;
    if (offset + length > m_poolUnits)
        throw IndexDamaged();
    touch(m_pool + 2 * offset, 2 * length);
    return QStringView(
        reinterpret_cast<const char16_t *>(m_body + m_pool + 2 * offset), qsizetype(length));
}

int IndexImage::compareEntries(quint32 a, quint32 b) const
{
    for (size_t f = 0; f < m_header.textFields.size(); ++f) {
        if (m_header.textFields[f]) {
            const int r = text(a, int(f)).compare(text(b, int(f)), Qt::CaseSensitive);
            if (r != 0)
                return r;
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
    try {
        touch(0, m_bodySize);
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
