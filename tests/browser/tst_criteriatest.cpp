// The criteria test without its dialog, on the scan cursors as the main
// window links them: the test of one material under the scan cursor and the
// test of the whole table at once must select the same materials.
#include "browser/criteria.h"
#include "common/appfixture.h"
#include "common/testdb.h"
#include "criteriamaterials.h"
#include "store/database.h"
#include "store/datasource.h"
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/table.h"

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <memory>
#include <optional>

using namespace zil;
using test::kLongUse;

namespace {

// The materials of the criteria tests and one more whose synonym has an
// accented letter.
const QList<test::SourceMaterial> kWithAccentedSynonym = test::kMaterials
    + QList<test::SourceMaterial> {
        {.key = "7", .name = "Zingerone", .synonyms = {QString::fromUtf8("Vanillyl acétone")}}};

// The scan cursor on MATERIAL.DB and the SYNON.DB cursor linked to it, as the
// main window declares them, on a database directory of their own.
struct ScanCursors
{
    store::Database database;
    store::Table materials;
    store::DataSource source;
    store::Table synonyms;

    ScanCursors(const QString &alias, const QString &dir)
    {
        database.setDatabaseName(alias);
        database.params() << "Path=" + dir;
        database.setDriverName(store::Database::standardDriver());
        materials.setDatabaseName(alias);
        materials.setTableName("MATERIAL.DB");
        materials.setIndexName("NameOrder");
        source.setDataSet(&materials);
        synonyms.setDatabaseName(alias);
        synonyms.setTableName("SYNON.DB");
        synonyms.setMasterSource(&source);
        synonyms.setMasterFields("id");
        synonyms.setIndexFieldNames("materialid");
        materials.open();
        synonyms.open();
    }
};

using Texts = QStringList; // material, CAS, occurrence, flavour, application

Criteria criteriaOf(const Texts &t)
{
    return Criteria::fromTexts(t[0], t[1], t[2], t[3], t[4]);
}

} // namespace

class TestCriteriaTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    std::unique_ptr<ScanCursors> m_small;
    std::unique_ptr<ScanCursors> m_large;

    // The ids that pass the test of each material in turn, walking the scan
    // cursor as a plain predicate would, and the ids that the whole-table test
    // passes; fails the calling test where the two differ.
    QList<qint32> agreedSelection(ScanCursors &scan, const Texts &texts)
    {
        CriteriaTest test;
        test.SetScanCursors(&scan.materials, &scan.synonyms);
        test.SetCriteria(criteriaOf(texts));
        const int n = scan.materials.recordCount();

        // Entries the test must not write keep a value it never writes.
        std::vector<uint8_t> flags(size_t(n) + 2, 7);
        QList<int> progress;
        const std::optional<qint32> count = test.MatchAll(flags, n, [&](int i) { progress << i; });
        if (!count) {
            QTest::qFail("The criteria test has no whole-table form", __FILE__, __LINE__);
            return {};
        }

        QList<qint32> inTurn;
        int visited = 0;
        for (scan.materials.first(); !scan.materials.eof(); scan.materials.next()) {
            const qint32 id = scan.materials.fieldByName("id").asInteger();
            const bool passes = test.MaterialMatches();
            // The test leaves the scan cursor on its record.
            if (scan.materials.fieldByName("id").asInteger() != id) {
                QTest::qFail("The test moved the scan cursor", __FILE__, __LINE__);
                return {};
            }
            if (passes)
                inTurn << id;
            if (flags[size_t(id)] != uint8_t(passes)) {
                QTest::qFail(qPrintable(QStringLiteral("Material %1 (%2): %3 at once, %4 in turn")
                                            .arg(id)
                                            .arg(scan.materials.fieldByName("name").asString())
                                            .arg(flags[size_t(id)])
                                            .arg(passes)),
                    __FILE__, __LINE__);
                return {};
            }
            ++visited;
        }
        std::sort(inTurn.begin(), inTurn.end());
        if (visited != n || *count != inTurn.size() || flags[0] != 7 || flags[size_t(n) + 1] != 7) {
            QTest::qFail("The whole-table count or flags are off", __FILE__, __LINE__);
            return {};
        }
        QList<int> expectedProgress;
        for (int i = 0; i < n; ++i)
            expectedProgress << i;
        if (progress != expectedProgress) {
            QTest::qFail("The progress does not follow each material", __FILE__, __LINE__);
            return {};
        }
        return inTurn;
    }

private slots:
    void initTestCase()
    {
        const QString small = m_tmp.filePath("small");
        QVERIFY(test::makeDatabase(m_tmp.filePath("src"), small, kWithAccentedSynonym));
        const QString large = m_tmp.filePath("large");
        QVERIFY(!test::scrollingDatabase().isEmpty());
        QVERIFY(test::copyDatabase(test::scrollingDatabase(), large));
        store::Session::instance().addPassword(schema::programPassword());
        store::indexDatabase(small);
        store::indexDatabase(large);
        m_small = std::make_unique<ScanCursors>("SMALL", small);
        m_large = std::make_unique<ScanCursors>("LARGE", large);
        QCOMPARE(m_small->materials.recordCount(), 7);
        QCOMPARE(m_large->materials.recordCount(), test::kScrollingMaterials);
    }

    void cleanupTestCase()
    {
        m_small.reset();
        m_large.reset();
    }

    void normalForm()
    {
        const Criteria c
            = Criteria::fromTexts("  mEnThOl ", " \t140 ", QString::fromUtf8(" crème "), "", "   ");
        QCOMPARE(c.material, QStringLiteral("MENTHOL"));
        // Only blanks are trimmed; accented letters keep their case.
        QCOMPARE(c.cas, QStringLiteral("\t140"));
        QCOMPARE(c.occurrence, QString::fromUtf8("CRèME").toUtf8());
        QVERIFY(c.flavour.isEmpty());
        QVERIFY(c.application.isEmpty());
    }

    void bothTestsSelectAlike_data()
    {
        QTest::addColumn<Texts>("criteria");
        QTest::addColumn<QList<qint32>>("selected");
        auto row = [](const char *name, Texts criteria, QList<qint32> selected) {
            QTest::newRow(name) << criteria << selected;
        };
        row("no criteria", {"", "", "", "", ""}, {1, 2, 3, 4, 5, 6, 7});
        row("blanks only", {"   ", " ", "", "  ", ""}, {1, 2, 3, 4, 5, 6, 7});
        row("name, case and blanks", {"  mEnThOl  ", "", "", "", ""}, {6});
        row("a tab stays in the criterion", {"\tmenthol", "", "", "", ""}, {});
        row("synonym only", {"bourbon", "", "", "", ""}, {5});
        row("second synonym", {"CAMPHOR", "", "", "", ""}, {1});
        row("name or synonym", {"rose", "", "", "", ""}, {4});
        row("accent kept", {QString::fromUtf8("crème"), "", "", "", ""}, {3});
        row("accent not folded", {QString::fromUtf8("CRÈME"), "", "", "", ""}, {});
        row("accented synonym", {QString::fromUtf8("vanillyl acé"), "", "", "", ""}, {7});
        row("accent not folded in a synonym", {QString::fromUtf8("ACÉTONE"), "", "", "", ""}, {});
        row("CAS", {"", "140-11", "", "", ""}, {2});
        row("CAS and name", {"e", "-", "", "", ""}, {1, 2, 4, 5, 6});
        row("CAS of a material without one", {"crème", "1", "", "", ""}, {});
        row("empty memo never passes", {"", "", "found", "", ""}, {1, 2, 4, 5, 6});
        row("empty flavour memo", {"", "", "", "e", ""}, {1, 2, 5});
        row("to the memo's last character", {"", "", "corn mint", "", ""}, {6});
        row("longer than 255 characters", {"", "", "", "", kLongUse}, {2});
        row("memos and name", {"a", "", "found", "sweet", "liqueurs"}, {1});
    }

    void bothTestsSelectAlike()
    {
        QFETCH(Texts, criteria);
        QFETCH(QList<qint32>, selected);
        const QList<qint32> ids = agreedSelection(*m_small, criteria);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(ids, selected);
    }

    void bothTestsSelectAlikeOnAScrollingDatabase()
    {
        const QList<Texts> criteria {{"yl", "", "", "", ""}, {"ETHYL", "", "", "", ""},
            {"", "", "found", "", ""}, {"", "", "", "sweet", ""}, {"", "", "", "", "flavours"},
            {"  ate ", "", "oil", "", ""}, {"ethyl", "", "found", "sweet", "flavours"},
            {"", "-5", "", "", ""}, {"one", "1", "", "green", ""}, {"acid", "", "", "", "dairy"}};
        int selective = 0;
        for (const Texts &c : criteria) {
            const QList<qint32> ids = agreedSelection(*m_large, c);
            if (QTest::currentTestFailed())
                return;
            if (!ids.isEmpty() && ids.size() < test::kScrollingMaterials)
                ++selective;
        }
        // The criteria do select: not everything, not nothing.
        QVERIFY(selective >= 8);
    }

    void withoutScanCursors()
    {
        CriteriaTest test;
        test.SetCriteria(criteriaOf({"menthol", "", "mint", "", ""}));
        QVERIFY(test.MaterialMatches());
        QVERIFY(!test.MemoContains("MINT", "occur"));
        QVERIFY(test.MemoContains("", "occur"));
        std::vector<uint8_t> flags(3, 1);
        QCOMPARE(test.MatchAll(flags, 2, [](int) {}), std::optional<qint32>(0));
        QCOMPARE(flags, std::vector<uint8_t>(3, 1));
    }
};

QTEST_MAIN(TestCriteriaTest)
#include "tst_criteriatest.moc"
