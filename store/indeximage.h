// The content of an index file: the keys of one index in index order, each
// with the record it belongs to, behind a header that names the table file
// the index was made from. An image is read from its open file, or from
// memory; nothing of it is copied per record.
//
// Layout (numbers in the byte order of the machine that wrote the file, which
// the header marks; a file of the other byte order counts as damaged):
//   the magic line of every index file, then a fixed header, the names of the
//   table, the index and its fields, the kind of each field, a checksum for
//   each 4 KiB block of the body, and a checksum of all that;
//   the body, 64-byte aligned: the rowid of each entry (8 bytes), its ordinal
//   among the table's records in rowid order (4 bytes, padded to 8), then per
//   field a column of 8-byte values (an integer, or the place and length of a
//   text in the pool), then the pool of texts in UTF-16. Texts are held as
//   they are compared: case-folded for an index that ignores case.
//
// An image of a file keeps the file open and holds its header, checksums
// included, in memory. The body is read block by block with positional reads
// and never mapped, so a file that another process cuts short or writes into
// cannot stop the program: each block read is checked against its checksum,
// and a block that comes back short or fails raises IndexDamaged. The blocks
// that single reads (the probes of searches, the rows of a list) land on are
// kept in one cache shared by every image of the process; a block once
// checked there gives the same bytes whatever happens to the file later.
// Passes read past the cache: reads of a range (ordinals, integers,
// verifyAll) stream through a scratch buffer, taking what the cache holds
// but adding nothing to it, and single reads that go through a column entry
// by entry use a block of the column's own. A pass over a whole column so
// leaves the blocks of the searches in place. An image is read by one thread
// at a time, as the store is.
#pragma once

#include "platform/files.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace zil::store {

// Which table file an index was made from: a table file replaced, written
// into or of another database differs in one of these.
struct TableIdentity
{
    qint64 size = -1;
    qint64 modifiedNs = 0;
    qint64 generation = 0; // the stamp generation in the table's header
    quint32 changeCounter = 0; // SQLite's file change counter, bytes 24..27

    bool operator==(const TableIdentity &) const = default;
};

// What the header of an index file says.
struct IndexHeader
{
    QString table; // the table's base name: "material"
    QString name;
    QStringList fields;
    std::vector<bool> textFields; // per field: true for text, false for integer
    bool primary = false;
    bool caseInsensitive = false;
    TableIdentity identity;
    quint32 count = 0;
};

// Raised by the accessors when a block of the body fails its check, or holds
// what no sound index holds (a text outside the pool, an ordinal out of
// range).
struct IndexDamaged
{ };

class IndexImage
{
public:
    // The index file at path, held open (never through a link, never a FIFO
    // or device); null when it is no regular file or its header is not
    // sound. The body is read and checked block by block as it is used.
    static std::shared_ptr<const IndexImage> open(const QString &path);
    // An image made in memory by buildIndexImage; null when it is not sound.
    static std::shared_ptr<const IndexImage> fromBytes(QByteArray bytes);
    ~IndexImage();
    IndexImage(const IndexImage &) = delete;
    IndexImage &operator=(const IndexImage &) = delete;

    const IndexHeader &header() const { return m_header; }
    quint32 count() const { return m_header.count; }

    qint64 rowid(quint32 place) const { return read<qint64>(m_rowids + 8 * quint64(place)); }
    quint32 ordinal(quint32 place) const;
    qint64 integer(quint32 place, int field) const
    {
        return read<qint64>(m_fields[size_t(field)] + 8 * quint64(place));
    }
    // Compares the text of field at place with key, unit by unit as
    // QString::compare does with case: below, at or above zero. The text is
    // compared where it lies, also across blocks, without a copy.
    int compareText(quint32 place, int field, QStringView key) const;
    // A copy of the text of field at place.
    QString copyText(quint32 place, int field) const;
    // The same as ordinal and integer for the n places from first, into out,
    // read as one pass over the range.
    void ordinals(quint32 first, quint32 n, quint32 *out) const;
    void integers(quint32 first, quint32 n, int field, qint64 *out) const;
    // Compares two entries field by field.
    int compareEntries(quint32 a, quint32 b) const;

    // Reads and checks every block of the body not yet in the cache; false
    // when one is short or fails its check.
    bool verifyAll() const;
    // How many bytes of the body have been read and checked so far; a block
    // read again (it had left the cache, or a pass read it) counts again.
    quint64 checkedBytes() const { return m_checkedBytes; }

    // The body is checked in blocks of 4 KiB: a probe of a search reads the
    // block it lands on and no more.
    static constexpr int blockShift = 12;
    static constexpr quint64 blockSize = quint64(1) << blockShift;
    // The cache of blocks that every image of the process shares: its
    // budget, and how much of it holds blocks now.
    static constexpr quint64 cacheBudget = quint64(8) << 20;
    static quint64 cachedBytes();

private:
    IndexImage() = default;
    // Reads the header from the available bytes at data, for a file of
    // fileSize bytes; false when it is not sound.
    bool parse(const uchar *data, quint64 available, quint64 fileSize);
    // The checked bytes of the block of the body that holds offset, from its
    // start: from memory, from the cache, or read now. Valid until the next
    // block is asked for.
    const uchar *blockOf(quint64 offset) const
    {
        const quint64 b = offset >> blockShift;
        if (m_memoryBody)
            return m_memoryBody + (b << blockShift);
        if (quint16 &entry = m_slotOf[size_t(b)]) {
            entry |= usedBit;
            return s_cacheBlocks + (quint64((entry & ~usedBit) - 1) << blockShift);
        }
        return load(offset);
    }
    // The block that holds offset when it is not in the cache: read from the
    // file and kept there, or, when the reads of a column of fixed-size
    // entries go from one block into the next (a pass entry by entry), read
    // into that column's own block and not kept.
    const uchar *load(quint64 offset) const;
    // Which column of the body (rowids, ordinals, each field, the pool) the
    // byte at offset lies in.
    size_t columnOf(quint64 offset) const;
    // Reads blocks [first, first + n) of the file into out and checks each;
    // raises IndexDamaged when one is short or fails.
    void readBlocks(quint64 first, quint64 n, uchar *out) const;
    // Checks the bytes of the body from block first on, as read into data.
    void checkBlocks(quint64 first, quint64 bytes, const uchar *data) const;
    // Raises IndexDamaged unless [offset, offset + length) lies in the body.
    void within(quint64 offset, quint64 length) const
    {
        if (offset + length > m_bodySize || offset + length < offset)
            throw IndexDamaged();
    }
    // Copies [offset, offset + length) of the body into out, block by block
    // through the cache.
    void copyOut(quint64 offset, quint64 length, void *out) const;
    // The same for a pass over a range: the blocks the cache holds are taken
    // from it, the others read past it and not kept.
    void stream(quint64 offset, quint64 length, void *out) const;
    // The place in the body (in bytes) and the length (in units) of a text.
    std::pair<quint64, quint64> textAt(quint32 place, int field) const
    {
        const quint64 ref = read<quint64>(m_fields[size_t(field)] + 8 * quint64(place));
        const quint64 offset = ref & 0xFFFFFFFFFFull;
        const quint64 length = ref >> 40;
        if (offset + length > m_poolUnits)
            throw IndexDamaged();
        return {m_pool + 2 * offset, length};
    }
    // Compares the units units at offset of the body with as many of key.
    int compareUnits(quint64 offset, quint64 units, QStringView key) const;
    template<typename T>
    void readRange(quint64 column, quint32 first, quint32 n, T *out) const;
    template<typename T>
    T read(quint64 offset) const
    {
        within(offset, sizeof(T));
        T v;
        const quint64 at = offset & (blockSize - 1);
        if (at + sizeof(T) <= blockSize)
            std::memcpy(&v, blockOf(offset) + at, sizeof v);
        else
            copyOut(offset, sizeof v, &v);
        return v;
    }

    // An image in memory: its bytes, checked whole when it was made.
    QByteArray m_bytes;
    const uchar *m_memoryBody = nullptr;
    // An image of a file: the open file, its header, and where each block of
    // the body is in the cache: its slot + 1, 0 when it is not there, with
    // usedBit set when a read used it since the cache last looked for a slot
    // to reuse.
    platform::ReadOnlyFile m_file;
    QByteArray m_headerBytes;
    static constexpr quint16 usedBit = 0x8000;
    mutable std::vector<quint16> m_slotOf;
    quint64 m_bodyOffset = 0;
    // Per column of fixed-size entries: the block read from the file last,
    // and the block that a pass over the column is at.
    struct Pass
    {
        quint64 lastRead = ~quint64(0);
        quint64 block = ~quint64(0);
        std::unique_ptr<uchar[]> data;
    };
    mutable std::vector<Pass> m_passes;

    IndexHeader m_header;
    quint64 m_bodySize = 0;
    const uchar *m_blockSums = nullptr;
    mutable quint64 m_checkedBytes = 0;
    // Offsets in the body.
    quint64 m_rowids = 0;
    quint64 m_ordinals = 0;
    std::vector<quint64> m_fields;
    quint64 m_pool = 0;
    quint64 m_poolUnits = 0;

    // The blocks of the shared cache.
    static inline uchar *s_cacheBlocks = nullptr;
    friend struct BlockCache;
};

// The checksum of n bytes that index files keep for each block of their body
// and for their header.
quint64 blockChecksum(const uchar *p, quint64 n);

// The keys of every record of a table, in the table's rowid order, from
// which an index image is made.
struct IndexKeys
{
    IndexHeader header; // count is taken from rowids
    std::vector<qint64> rowids;
    std::vector<std::vector<qint64>> integers; // per field; empty for a text field
    std::vector<std::vector<QString>> texts; // per field, as compared; empty for integers
};

// Sorts the records by the index's fields (records of equal key keep their
// rowid order) and lays them out as an index image. With unique set, *unique
// tells whether no two records have the same key. Empty when a key text is
// too long to be held (16 million characters and more).
QByteArray buildIndexImage(const IndexKeys &keys, bool *unique = nullptr);

} // namespace zil::store
