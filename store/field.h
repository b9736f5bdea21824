// A field of a cursor: its name, kind and size from the table file, a display
// label for grid titles, and the value read from the current record.
#pragma once

#include "schema.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

namespace zil::store {

class Table;

// A value as a record id: false when it is not an integer within the signed
// 32-bit range that ids have.
bool toId(const QVariant &value, qint32 &id);

// A non-memo value read as Field::asInteger reads it.
qint32 integerOf(const QVariant &value);

class Field
{
public:
    Field(Table *table, int column, const QString &name, schema::FieldKind kind, int size)
        : m_table(table)
        , m_column(column)
        , m_name(name)
        , m_kind(kind)
        , m_size(size)
    { }

    const QString &fieldName() const { return m_name; }
    schema::FieldKind kind() const { return m_kind; }
    int size() const { return m_size; }
    int column() const { return m_column; }

    // The title of the field in grids; the field name unless set.
    QString displayLabel() const { return m_label.isEmpty() ? m_name : m_label; }
    void setDisplayLabel(const QString &label);
    bool hasDisplayLabel() const { return !m_label.isEmpty(); }

    // Values of the current record; an empty cursor reads as null.
    bool isNull() const;
    qint32 asInteger() const;
    // The value as a record id: false when it is not an integer within the
    // signed 32-bit range that ids have.
    bool asId(qint32 &id) const;
    QString asString() const;
    // The whole stored bytes, for memos (UTF-8); empty when the memo is empty.
    QByteArray asBytes() const;

private:
    Table *m_table;
    int m_column;
    QString m_name;
    schema::FieldKind m_kind;
    int m_size;
    QString m_label;
    friend class Table;
};

} // namespace zil::store
