// A data source on a cursor. It announces every change of the cursor's current
// record: first to the links that follow it (linked cursors, data-aware
// controls), then to its OnDataChange reaction. Both are direct, nested calls
// that have finished before the move that caused them returns.
#pragma once

#include <QObject>
#include <QPointer>

namespace zil::store {

class Table;

class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(QObject *parent = nullptr);
    ~DataSource() override;

    void setDataSet(Table *table);
    Table *dataSet() const { return m_table; }

signals:
    // The current record changed, or the cursor opened, closed or changed its
    // rows. Linked cursors and bound controls listen here.
    void recordChanged();
    // Emitted right after recordChanged: the OnDataChange reaction.
    void dataChange();
    // The cursor opened or closed.
    void stateChanged();
    // The order of the records in view changed while the current record
    // stayed current (an index switch); grids re-read their rows.
    void rowsChanged();
    // A field's display label changed; grids retitle their columns.
    void layoutChanged();

private:
    friend class Table;
    void notifyRecord();
    void notifyState();
    void notifyRows();
    void notifyLayout();

    QPointer<Table> m_table;
};

} // namespace zil::store
