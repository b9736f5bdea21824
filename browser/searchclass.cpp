#include "searchclass.h"

#include "framework/stringgrid.h"
#include "platform/messagebox.h"
#include "progressreporter.h"
#include "store/field.h"
#include "store/table.h"

#include <algorithm>

TSearchClass::TSearchClass()
    : MaterialCount(m_ownCount)
{ }

TSearchClass::TSearchClass(qint32 &materialCount)
    : MaterialCount(materialCount)
{ }

bool TSearchClass::IsReady() const
{
    return Grid && MaterialTable && SelectTable;
}

void TSearchClass::ensureCapacity(qint32 count)
{
    // The lists are sized from the record count once, when the database
    // opens; later calls find them large enough and allocate nothing.
    const size_t needed = size_t(std::max(count, MaterialCount)) + 1;
    if (Selected.size() >= needed)
        return;
    Selected.resize(needed, 0);
    CASList.resize(needed, 0);
    AllCASList.resize(needed, 0);
    NameList.resize(needed, 0);
}

bool TSearchClass::IsSelected(qint32 id) const
{
    return id >= 1 && size_t(id) < Selected.size() && Selected[id];
}

void TSearchClass::RefreshTables()
{
    if (!IsReady())
        return;
    MaterialTable->refresh();
    SelectTable->refresh();
}

void TSearchClass::SelectAll()
{
    if (!IsReady())
        return;
    RefreshTables();
    SelectedCount = SelectTable->recordCount();
    ensureCapacity(SelectedCount);
    for (qint32 id = 1; id <= SelectedCount; ++id)
        Selected[id] = 1;
}

void TSearchClass::ApplyCriteria()
{
    if (!IsReady())
        return;
    ensureCapacity(MaterialCount);
    // The progress window goes and the list paints again however the run
    // ends. The grid draws its rows by moving the scan cursor, so it must not
    // paint while the scan walks that cursor, nor before the list is rebuilt.
    struct RunEnd
    {
        TSearchClass *set;
        bool painting;
        bool gaugeShown = false;
        void hideGauge()
        {
            if (gaugeShown)
                set->Gauge->HideProgress();
            gaugeShown = false;
        }
        ~RunEnd()
        {
            hideGauge();
            set->Grid->setUpdatesEnabled(painting);
        }
    } runEnd {this, Grid->updatesEnabled()};
    const int n = SelectTable->recordCount();
    if (Gauge) {
        Gauge->SetProgressRange(0, n);
        Gauge->ShowProgress();
        runEnd.gaugeShown = true;
    }
    Grid->setUpdatesEnabled(false);

    // The flags are written into a copy that replaces the selection only once
    // every material has been tested: a test that fails with an error leaves
    // the list as it was.
    m_scan.assign(Selected.begin(), Selected.end());
    qint32 count = 0;
    auto progress = [this](int i) {
        if (Gauge)
            Gauge->ReportProgress(i);
    };
    // A material test that takes the whole table at once (the criteria test,
    // from texts held in memory) does so rather than through a read of each
    // record; any other test walks the scan cursor.
    std::optional<qint32> tested;
    if (MaterialTest *test = Predicate.test())
        tested = test->MatchAll(m_scan, MaterialCount, progress);
    if (tested) {
        count = *tested;
    } else {
        SelectTable->first();
        int i = 0;
        while (!SelectTable->eof()) {
            const bool r = Predicate ? Predicate() : true;
            const qint32 id = SelectTable->fieldByName(QStringLiteral("id")).asInteger();
            // A material whose id lies outside the list is never shown, so it
            // does not count as selected either.
            if (id >= 1 && id <= MaterialCount) {
                m_scan[size_t(id)] = r;
                if (r)
                    ++count;
            }
            progress(i);
            ++i;
            SelectTable->next();
        }
    }
    runEnd.hideGauge();
    Selected.swap(m_scan);
    SelectedCount = count;
    if (SelectedCount == 0) {
        zil::platform::showWarning(Grid->window(),
            QStringLiteral("There are no records with the specified "
                           "criteria.\rRestore to all records."));
        SelectAll();
    }
    Rebuild();
}

void TSearchClass::Rebuild()
{
    if (!IsReady())
        return;
    BuildNameList();
    BuildCASList();
    UpdateRowCount();
    if (CurrentId < 1 || CurrentId > MaterialCount)
        CurrentId = 1;
    if (IsSelected(CurrentId))
        ShowCurrent();
    else
        GotoFirst();
}

void TSearchClass::BuildNameList()
{
    if (!IsReady())
        return;
    ensureCapacity(MaterialCount);
    qint32 k = 0;
    for (qint32 id = 1; id <= MaterialCount; ++id) {
        if (Selected[id])
            NameList[++k] = id;
    }
}

void TSearchClass::BuildAllCASList()
{
    if (!IsReady())
        return;
    ensureCapacity(MaterialCount);
    SelectTable->setIndexName(QStringLiteral("CASOrder"));
    // The ids are read in CAS order without moving the cursor from record
    // to record, which would announce every one of them; the cursor ends on
    // the last record, where a walk leaves it.
    const int idColumn = SelectTable->fieldByName(QStringLiteral("id")).column();
    const std::vector<qint64> ids = SelectTable->integersInView(idColumn);
    qint32 k = 0;
    const qint32 last = qint32(AllCASList.size()) - 1;
    for (const qint64 id : ids) {
        if (id >= 1 && id <= MaterialCount && IsSelected(qint32(id)) && k < last) {
            ++k;
            AllCASList[k] = qint32(id);
            CASList[k] = qint32(id);
        }
    }
    SelectTable->last();
}

void TSearchClass::BuildCASList()
{
    if (!IsReady())
        return;
    ensureCapacity(MaterialCount);
    qint32 k = 0;
    for (qint32 j = 1; j <= MaterialCount; ++j) {
        const qint32 id = AllCASList[j];
        if (IsSelected(id))
            CASList[++k] = id;
    }
}

void TSearchClass::UpdateRowCount()
{
    if (!IsReady())
        return;
    Grid->setRowCount(SelectedCount + 1);
    // The grid redraws itself when the number of rows changes; a list made
    // anew with as many rows may still hold other materials in each.
    Grid->viewport()->update();
}

void TSearchClass::GotoMaterial(qint32 id)
{
    if (!IsReady())
        return;
    const QString saved = MaterialTable->indexName();
    bool found = false;
    try {
        MaterialTable->setIndexName(QString());
        found = MaterialTable->findKey({id});
    } catch (...) {
        MaterialTable->setIndexName(saved);
        throw;
    }
    CurrentId = found ? id : 1;
    MaterialTable->setIndexName(saved);
}

void TSearchClass::SetOrder(const QString &name)
{
    if (!IsReady())
        return;
    OrderName = name;
    Rebuild();
}

qint32 TSearchClass::IdOfRow(qint32 row) const
{
    const std::vector<qint32> &list = currentList();
    if (row < 1 || row > SelectedCount || size_t(row) >= list.size())
        return 0;
    return list[row];
}

void TSearchClass::GotoFirst()
{
    if (!IsReady())
        return;
    const std::vector<qint32> &list = currentList();
    GotoMaterial(list.size() > 1 ? list[1] : 0);
    Grid->setRow(1);
}

void TSearchClass::ShowCurrent()
{
    if (!IsReady())
        return;
    if (CurrentId < 1 || CurrentId > MaterialCount)
        CurrentId = 1;
    if (!IsSelected(CurrentId)) {
        GotoFirst();
        return;
    }
    const std::vector<qint32> &list = currentList();
    const qint32 rows = std::min<qint32>(SelectedCount, qint32(list.size()) - 1);
    for (qint32 r = 1; r <= rows; ++r) {
        if (list[r] == CurrentId) {
            Grid->setRow(r);
            return;
        }
    }
    GotoFirst();
}

void TSearchClass::SelectRow(qint32 row)
{
    if (!IsReady())
        return;
    const qint32 id = IdOfRow(row);
    if (row >= 1 && row <= SelectedCount)
        GotoMaterial(id);
}
