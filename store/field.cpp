#include "field.h"

#include "table.h"

#include <limits>

namespace zil::store {

void Field::setDisplayLabel(const QString &label)
{
    if (m_label == label)
        return;
    m_label = label;
    m_table->notifyLayout();
}

bool Field::isNull() const
{
    if (m_kind == schema::FieldKind::Memo)
        return m_table->bytes(m_column).isEmpty();
    return m_table->value(m_column).isNull();
}

qint32 Field::asInteger() const
{
    if (m_kind == schema::FieldKind::Memo)
        return QString::fromUtf8(m_table->bytes(m_column)).trimmed().toInt();
    return integerOf(m_table->value(m_column));
}

qint32 integerOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString().trimmed().toInt();
    return qint32(value.toLongLong());
}

bool toId(const QVariant &value, qint32 &id)
{
    bool ok = false;
    const qlonglong v = value.toLongLong(&ok);
    if (!ok || v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
        return false;
    id = qint32(v);
    return true;
}

bool Field::asId(qint32 &id) const
{
    return m_kind == schema::FieldKind::Integer && toId(m_table->value(m_column), id);
}

QString Field::asString() const
{
    if (m_kind == schema::FieldKind::Memo)
        return QString::fromUtf8(m_table->bytes(m_column));
    return m_table->value(m_column).toString();
}

QByteArray Field::asBytes() const
{
    if (m_kind == schema::FieldKind::Memo)
        return m_table->bytes(m_column);
    return m_table->value(m_column).toString().toUtf8();
}

} // namespace zil::store
