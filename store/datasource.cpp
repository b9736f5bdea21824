#include "datasource.h"

#include "table.h"

namespace zil::store {

DataSource::DataSource(QObject *parent)
    : QObject(parent)
{ }

DataSource::~DataSource()
{
    if (m_table)
        m_table->detachSource(this);
}

void DataSource::setDataSet(Table *table)
{
    if (m_table == table)
        return;
    if (m_table)
        m_table->detachSource(this);
    m_table = table;
    if (m_table)
        m_table->attachSource(this);
}

void DataSource::notifyRecord()
{
    emit recordChanged();
    emit dataChange();
}

void DataSource::notifyState()
{
    emit stateChanged();
}

void DataSource::notifyRows()
{
    emit rowsChanged();
}

void DataSource::notifyLayout()
{
    emit layoutChanged();
}

} // namespace zil::store
