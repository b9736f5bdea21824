// The selection set on a real database of five materials whose CAS order
// visits the ids 3, 1, 5, 2, 4, driving a real string grid.
#include "browser/progressreporter.h"
#include "browser/searchclass.h"
#include "common/testdb.h"
#include "platform/messagebox.h"
#include "framework/stringgrid.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/table.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <set>

using namespace zil;

namespace {

class RecordingGauge : public ProgressReporter
{
public:
    QStringList calls;
    void SetProgressRange(int minimum, int maximum) override
    {
        calls << QStringLiteral("range %1 %2").arg(minimum).arg(maximum);
    }
    void ReportProgress(int position) override { calls << QString::number(position); }
    void ShowProgress() override { calls << QStringLiteral("show"); }
    void HideProgress() override { calls << QStringLiteral("hide"); }
};

// A material test that passes the materials of wanted, with or without a
// whole-table form, and counts how it was asked.
class WantedTest : public MaterialTest
{
public:
    WantedTest(store::Table &scan, const std::set<qint32> &wanted, bool wholeTable)
        : m_scan(scan)
        , m_wanted(wanted)
        , m_wholeTable(wholeTable)
    { }
    int each = 0;
    int all = 0;

    bool MaterialMatches() override
    {
        ++each;
        return m_wanted.count(m_scan.fieldByName("id").asInteger()) > 0;
    }
    std::optional<qint32> MatchAll(std::vector<uint8_t> &flags, qint32 maxId,
        const std::function<void(int)> &progress) override
    {
        if (!m_wholeTable)
            return std::nullopt;
        ++all;
        for (qint32 id = 1; id <= maxId; ++id) {
            flags[size_t(id)] = m_wanted.count(id) > 0;
            progress(id - 1);
        }
        return qint32(m_wanted.size());
    }

private:
    store::Table &m_scan;
    const std::set<qint32> &m_wanted;
    bool m_wholeTable;
};

std::vector<qint32> head(const std::vector<qint32> &list, int n)
{
    return std::vector<qint32>(list.begin() + 1, list.begin() + 1 + n);
}

} // namespace

class TestSearchClass : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    std::unique_ptr<store::Database> m_db;
    std::unique_ptr<store::Table> m_material;
    std::unique_ptr<store::Table> m_select;
    std::unique_ptr<store::DataSource> m_source;
    std::unique_ptr<framework::StringGrid> m_grid;
    std::unique_ptr<TSearchClass> m_set;
    std::set<qint32> m_wanted;
    QStringList m_reactions; // grid rows asked for, with the row at the time

private slots:
    void initTestCase()
    {
        const QString src = m_tmp.filePath("src");
        QDir().mkpath(src);
        test::writeCsv(src + "/materials.csv",
            {{"key", "name", "cas", "fema", "ce", "occur", "flavor", "applic", "liter", "notes"},
                {"1", "Anisole", "2000-01-3", "", "", "", "", "", "", ""},
                {"2", "Borneol", "4000-01-5", "", "", "", "", "", "", ""},
                {"3", "Camphor", "1000-01-7", "", "", "", "", "", "", ""},
                {"4", "Damascone", "5000-01-1", "", "", "", "", "", "", ""},
                {"5", "Eugenol", "3000-01-9", "", "", "", "", "", "", ""}});
        test::writeCsv(src + "/synonyms.csv", {{"material", "name"}});
        test::writeCsv(
            src + "/suppliers.csv", {{"id", "name", "address", "city", "country", "phone"}});
        test::writeCsv(src + "/links.csv", {{"material", "supplier", "price", "comment"}});
        const QString dir = m_tmp.filePath("db");
        QVERIFY(test::runMakeDb({src, dir}));
        store::Session::instance().addPassword(schema::programPassword());
        store::indexDatabase(dir);
        m_db = std::make_unique<store::Database>();
        m_db->setDatabaseName("ZIL");
        m_db->params() << "Path=" + dir;
        m_db->setDriverName(store::Database::standardDriver());
    }

    void init()
    {
        m_material = std::make_unique<store::Table>();
        m_material->setDatabaseName("ZIL");
        m_material->setTableName("MATERIAL.DB");
        m_material->setIndexName("NameOrder");
        m_select = std::make_unique<store::Table>();
        m_select->setDatabaseName("ZIL");
        m_select->setTableName("MATERIAL.DB");
        m_select->setIndexName("NameOrder");
        m_material->open();
        m_select->open();
        m_grid = std::make_unique<framework::StringGrid>();
        m_grid->resize(200, 18 * 8);
        m_reactions.clear();
        m_set = std::make_unique<TSearchClass>();
        m_grid->setOnSelectCell([this](int, int row, bool &) {
            m_reactions << QStringLiteral("%1<-%2").arg(row).arg(m_grid->row());
            m_set->SelectRow(row);
        });
        m_wanted = {2, 4, 5};
        m_set->MaterialTable = m_material.get();
        m_set->SelectTable = m_select.get();
        m_set->Grid = m_grid.get();
        m_set->MaterialCount = m_material->recordCount();
        m_set->Predicate
            = [this] { return m_wanted.count(m_select->fieldByName("id").asInteger()) > 0; };
        // The calling order of the database opening.
        m_set->SelectAll();
        m_set->BuildNameList();
        m_set->BuildAllCASList();
        m_set->SetOrder("Name");
        m_set->GotoFirst();
    }

    void openingSelectsEverything()
    {
        QCOMPARE(m_set->SelectedCount, 5);
        QCOMPARE(head(m_set->NameList, 5), std::vector<qint32>({1, 2, 3, 4, 5}));
        QCOMPARE(head(m_set->AllCASList, 5), std::vector<qint32>({3, 1, 5, 2, 4}));
        QCOMPARE(head(m_set->CASList, 5), std::vector<qint32>({3, 1, 5, 2, 4}));
        QCOMPARE(m_grid->rowCount(), 6);
        QCOMPARE(m_grid->row(), 1);
        QCOMPARE(m_set->CurrentId, 1);
        QCOMPARE(m_material->fieldByName("name").asString(), QStringLiteral("Anisole"));
        QCOMPARE(m_select->indexName(), QStringLiteral("CASOrder"));
    }

    void workedExample()
    {
        RecordingGauge gauge;
        m_set->Gauge = &gauge;
        m_set->ApplyCriteria();
        QCOMPARE(gauge.calls, QStringList({"range 0 5", "show", "0", "1", "2", "3", "4", "hide"}));
        QCOMPARE(m_set->SelectedCount, 3);
        QCOMPARE(head(m_set->NameList, 3), std::vector<qint32>({2, 4, 5}));
        QCOMPARE(head(m_set->CASList, 3), std::vector<qint32>({5, 2, 4}));
        QCOMPARE(m_grid->rowCount(), 4);
        // Material 1 left the selection: row 1 of the new list is current.
        QCOMPARE(m_set->CurrentId, 2);
        QCOMPARE(m_grid->row(), 1);

        m_set->GotoMaterial(4);
        m_set->ShowCurrent();
        QCOMPARE(m_grid->row(), 2);
        m_set->SetOrder("CAS");
        QCOMPARE(m_set->IdOfRow(1), 5);
        QCOMPARE(m_set->CurrentId, 4);
        QCOMPARE(m_grid->row(), 3);
        QCOMPARE(m_material->fieldByName("name").asString(), QStringLiteral("Damascone"));
    }

    void aMaterialTestIsAskedForTheWholeTableFirst()
    {
        RecordingGauge gauge;
        m_set->Gauge = &gauge;
        WantedTest atOnce(*m_select, m_wanted, true);
        m_set->Predicate = &atOnce;
        m_set->ApplyCriteria();
        QCOMPARE(atOnce.all, 1);
        QCOMPARE(atOnce.each, 0);
        QCOMPARE(gauge.calls, QStringList({"range 0 5", "show", "0", "1", "2", "3", "4", "hide"}));
        QCOMPARE(head(m_set->NameList, 3), std::vector<qint32>({2, 4, 5}));
        QCOMPARE(m_grid->rowCount(), 4);

        // A test without that form is asked material by material.
        m_wanted = {1, 3};
        WantedTest inTurn(*m_select, m_wanted, false);
        m_set->Predicate = &inTurn;
        gauge.calls.clear();
        m_set->ApplyCriteria();
        QCOMPARE(inTurn.each, 5);
        QCOMPARE(gauge.calls, QStringList({"range 0 5", "show", "0", "1", "2", "3", "4", "hide"}));
        QCOMPARE(head(m_set->NameList, 2), std::vector<qint32>({1, 3}));
        QCOMPARE(m_set->SelectedCount, 2);
    }

    void gridReactionRunsBeforeTheRowMoves()
    {
        m_set->GotoMaterial(3);
        m_reactions.clear();
        m_set->ShowCurrent();
        QCOMPARE(m_reactions, QStringList({"3<-1"}));
        QCOMPARE(m_grid->row(), 3);
        m_set->ShowCurrent(); // the row it already has: no reaction
        QCOMPARE(m_reactions.size(), 1);
        m_grid->setRow(5); // a row change by the grid makes its material current
        QCOMPARE(m_set->CurrentId, 5);
        QCOMPARE(m_material->fieldByName("name").asString(), QStringLiteral("Eugenol"));
    }

    void rebuildKeepsOrDropsTheCurrentMaterial()
    {
        m_grid->setRow(4); // Damascone, which stays selected
        m_set->ApplyCriteria();
        QCOMPARE(m_set->CurrentId, 4);
        QCOMPARE(m_grid->row(), 2);
        m_wanted = {5};
        m_set->ApplyCriteria();
        QCOMPARE(m_set->CurrentId, 5);
        QCOMPARE(m_grid->row(), 1);
        QCOMPARE(m_grid->rowCount(), 2);
    }

    void edges()
    {
        m_set->ApplyCriteria(); // 2, 4, 5
        m_set->GotoMaterial(5);
        m_set->ShowCurrent();
        const int row = m_grid->row();
        m_set->SelectRow(4); // beyond the selected rows: nothing changes
        QCOMPARE(m_set->CurrentId, 5);
        QCOMPARE(m_grid->row(), row);

        m_set->GotoMaterial(99); // no such material
        QCOMPARE(m_set->CurrentId, 1);
        QCOMPARE(m_material->indexName(), QStringLiteral("NameOrder"));
        QCOMPARE(m_material->fieldByName("name").asString(), QStringLiteral("Eugenol"));

        m_set->CurrentId = 0; // treated as 1, which is not selected
        m_set->ShowCurrent();
        QCOMPARE(m_set->CurrentId, 2);
        QCOMPARE(m_grid->row(), 1);
    }

    void nothingMatchesRestoresTheFullList()
    {
        QStringList messages;
        const platform::ScopedMessageBoxHook taking(
            [&](platform::MessageKind kind, const QString &title, const QString &text) {
                QCOMPARE(kind, platform::MessageKind::Warning);
                messages << title + ": " + text;
            });
        m_grid->setRow(3);
        m_wanted.clear();
        m_set->ApplyCriteria();
        QCOMPARE(messages,
            QStringList({"Warning: There are no records with the specified "
                         "criteria.\nRestore to all records."}));
        QCOMPARE(m_set->SelectedCount, 5);
        QCOMPARE(m_grid->rowCount(), 6);
        QCOMPARE(m_set->CurrentId, 3);
        QCOMPARE(m_grid->row(), 3);
    }

    void notReadyDoesNothing()
    {
        TSearchClass idle;
        QVERIFY(!idle.IsReady());
        idle.SelectAll();
        idle.Rebuild();
        idle.ShowCurrent();
        idle.GotoMaterial(3);
        QCOMPARE(idle.SelectedCount, 0);
        QCOMPARE(idle.CurrentId, 0);
        QVERIFY(idle.Selected.empty());
    }
};

QTEST_MAIN(TestSearchClass)
#include "tst_searchclass.moc"
