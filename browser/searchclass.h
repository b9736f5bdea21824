// The selection set and list model behind the material list: which materials
// are selected, the selected ids in name order and in CAS order, the grid's
// rows, and the one current material that the detail pane shows.
//
// Material ids run 1..MaterialCount without gaps, ascending in name order, so
// name order is plain id order and the CAS order is read once from the ids
// its index file holds, without reading the table.
#pragma once

#include "criteria.h"

#include <QString>
#include <concepts>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>
#include <vector>

namespace zil::store {
class Table;
}
namespace zil::framework {
class StringGrid;
}
class ProgressReporter;

class MaterialPredicate;

// A callable without arguments that tells whether the material under the scan
// cursor passes, such as a lambda.
template<typename F>
concept PlainPredicate
    = std::predicate<std::decay_t<F>> && !std::same_as<std::decay_t<F>, MaterialPredicate>;

// The selection test of a criteria run: a plain predicate on the scan
// cursor's record, tested material by material, or a material test, which may
// take the whole table at once. Empty, every material passes.
class MaterialPredicate
{
public:
    MaterialPredicate() = default;
    MaterialPredicate(MaterialTest *test)
        : m_test(test)
    { }
    template<PlainPredicate F>
    MaterialPredicate(F &&predicate)
        : m_each(std::forward<F>(predicate))
    { }

    explicit operator bool() const { return m_test || m_each; }
    bool operator()() const { return m_test ? m_test->MaterialMatches() : m_each(); }
    // The material test, none for a plain predicate.
    MaterialTest *test() const { return m_test; }

private:
    MaterialTest *m_test = nullptr;
    std::function<bool()> m_each;
};

class TSearchClass
{
public:
    // A set that counts its materials itself.
    TSearchClass();
    // A set whose count of materials is materialCount, held by the list that
    // shows it.
    explicit TSearchClass(qint32 &materialCount);
    Q_DISABLE_COPY_MOVE(TSearchClass)

    qint32 CurrentId = 0;
    qint32 SelectedCount = 0;
    QString OrderName;
    zil::framework::StringGrid *Grid = nullptr;
    zil::store::Table *SelectTable = nullptr;
    zil::store::Table *MaterialTable = nullptr;
    MaterialPredicate Predicate;
    // Indexed by material id from 1; entry 0 is unused. Sized from the record
    // count when the database opens, never smaller than 1 + MaterialCount.
    std::vector<uint8_t> Selected;
    std::vector<qint32> CASList;
    std::vector<qint32> AllCASList;
    std::vector<qint32> NameList;

    // The record count of MATERIAL.DB taken at opening, the bound of every
    // id loop.
    qint32 &MaterialCount;
    // The progress window of a criteria scan; none shows no progress.
    ProgressReporter *Gauge = nullptr;

    bool IsReady() const;
    void SelectAll();
    void ApplyCriteria();
    void Rebuild();
    void GotoMaterial(qint32 id);
    void SetOrder(const QString &name);
    QString GetOrder() const { return OrderName; }
    void RefreshTables();
    void BuildNameList();
    void BuildAllCASList();
    void BuildCASList();
    void UpdateRowCount();
    void GotoFirst();
    void ShowCurrent();
    void SelectRow(qint32 row);

    // The id shown in a grid row of the current list; 0 outside the list.
    qint32 IdOfRow(qint32 row) const;
    // Whether material id is in the selection; false for ids outside the list.
    bool IsSelected(qint32 id) const;

private:
    bool nameOrder() const { return OrderName == QLatin1String("Name"); }
    const std::vector<qint32> &currentList() const { return nameOrder() ? NameList : CASList; }
    void ensureCapacity(qint32 count);
    // The flags of a criteria run while it tests the materials.
    std::vector<uint8_t> m_scan;
    // The count of a set that counts its materials itself.
    qint32 m_ownCount = 0;
};
