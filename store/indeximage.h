// The content of an index file: the keys of one index in index order, each
// with the record it belongs to, behind a header that names the table file
// the index was made from. The image is searched in place, from a mapping of
// the file or from memory; nothing of it is copied per record.
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
// Each block of the body is checked against its checksum the first time it
// is read, so a start reads only the blocks it uses.
#pragma once

#include "framework/platform/files.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstring>
#include <memory>
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
    // The index file at path, mapped; null when it is no regular file or its
    // header is not sound. The body is checked block by block as it is read.
    static std::shared_ptr<const IndexImage> open(const QString &path);
    // An image made in memory by buildIndexImage; null when it is not sound.
    static std::shared_ptr<const IndexImage> fromBytes(QByteArray bytes);

    const IndexHeader &header() const { return m_header; }
    quint32 count() const { return m_header.count; }

    qint64 rowid(quint32 place) const { return read<qint64>(m_rowids + 8 * quint64(place)); }
    quint32 ordinal(quint32 place) const;
    qint64 integer(quint32 place, int field) const
    {
        return read<qint64>(m_fields[size_t(field)] + 8 * quint64(place));
    }
    QStringView text(quint32 place, int field) const;
    // The same for the n places from first, into out: a pass over a range
    // checks each block once rather than at every place.
    void ordinals(quint32 first, quint32 n, quint32 *out) const;
    void integers(quint32 first, quint32 n, int field, qint64 *out) const;
    // Compares two entries field by field.
    int compareEntries(quint32 a, quint32 b) const;

    // Checks every block of the body at once; false when one fails.
    bool verifyAll() const;
    // How many bytes of the body the block checks have read so far: what
    // the reads of the image have made resident of it.
    quint64 checkedBytes() const { return m_checkedBytes; }

    // The body is checked in blocks of 4 KiB: a probe of a search reads the
    // page it lands on and no more, so what a search leaves resident does
    // not grow with the file.
    static constexpr int blockShift = 12;

private:
    IndexImage() = default;
    bool parse();
    // Checks the blocks that hold [offset, offset + length) of the body the
    // first time they are read; raises IndexDamaged when one fails.
    void touch(quint64 offset, quint64 length) const
    {
        if (length == 0)
            return;
        if (offset + length > m_bodySize || offset + length < offset)
            throw IndexDamaged();
        const quint64 b = offset >> blockShift;
        if (b == (offset + length - 1) >> blockShift
            && (m_verified[size_t(b / 64)] >> (b % 64) & 1))
            return;
        verify(offset, length);
    }
    void verify(quint64 offset, quint64 length) const;
    // Copies the n entries from first of the column at that offset.
    template<typename T>
    void readRange(quint64 column, quint32 first, quint32 n, T *out) const;
    template<typename T>
    T read(quint64 offset) const
    {
        touch(offset, sizeof(T));
        T v;
        std::memcpy(&v, m_body + offset, sizeof v);
        return v;
    }

    platform::MappedFile m_mapped;
    QByteArray m_bytes;
    const uchar *m_data = nullptr;
    quint64 m_size = 0;
    IndexHeader m_header;
    const uchar *m_body = nullptr;
    quint64 m_bodySize = 0;
    const uchar *m_blockSums = nullptr;
    mutable std::vector<quint64> m_verified; // one bit per block
    mutable quint64 m_checkedBytes = 0;
    // The bytes of blocks checked right after the block before them: what
    // passes over a column have read, as opposed to the scattered probes of
    // searches.
    mutable quint64 m_passedBytes = 0;
    mutable quint64 m_passedAtRelease = 0;
    mutable quint64 m_lastChecked = ~quint64(0);
    // Offsets in the body.
    quint64 m_rowids = 0;
    quint64 m_ordinals = 0;
    std::vector<quint64> m_fields;
    quint64 m_pool = 0;
    quint64 m_poolUnits = 0;
};

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
