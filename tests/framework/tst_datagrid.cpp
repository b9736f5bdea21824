// The data grid over real cursors: rows and titles from the cursor, the row
// moving with the cursor both ways, drawing that reads rows without moving
// anything, and double clicks.
#include "common/appfixture.h"
#include "framework/datagrid.h"
#include "store/datasource.h"
#include "store/field.h"
#include "store/indexfile.h"
#include "store/table.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace zil;
using framework::DataGrid;

namespace {

struct DrawCall
{
    int recNo;
    QString value;
    QRect rect;
    QColor brush;
    QColor pen;
};

} // namespace

class TestDataGrid : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_db;

    // Suppliers "Supplier 01".."Supplier 40" in name order, ids descending;
    // material "Anise" offered by suppliers 3, 1 and 2, "Basil" by 5.
    std::unique_ptr<store::Table> m_suppliers;
    std::unique_ptr<store::DataSource> m_supplierSource;
    std::unique_ptr<store::Table> m_material;
    std::unique_ptr<store::DataSource> m_materialSource;
    std::unique_ptr<store::Table> m_links;
    std::unique_ptr<store::DataSource> m_linkSource;
    std::unique_ptr<store::Table> m_linkSupplier;
    std::unique_ptr<DataGrid> m_grid;
    std::unique_ptr<DataGrid> m_linkGrid;

    std::unique_ptr<store::Table> table(const char *file, const char *index = "")
    {
        auto t = std::make_unique<store::Table>();
        t->setDatabaseName(m_db);
        t->setTableName(QString::fromLatin1(file));
        t->setIndexName(QString::fromLatin1(index));
        return t;
    }

    QList<DrawCall> drawAll(DataGrid &grid)
    {
        QList<DrawCall> calls;
        grid.setOnDrawDataCell(
            [&calls](QPainter &canvas, const QRect &rect, const framework::CellField &field) {
                calls.append({field.recNo(), field.asString(), rect, canvas.brush().color(),
                    canvas.pen().color()});
            });
        grid.grab();
        grid.setOnDrawDataCell({});
        return calls;
    }

    QPoint rowCentre(DataGrid &grid, int row)
    {
        return grid.visualRect(grid.model()->index(row, 0)).center();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QList<test::SourceMaterial> materials {
            {"1", "Anise", "", "", "", "", "", "", "", {}},
            {"2", "Basil", "", "", "", "", "", "", "", {}},
        };
        QList<test::SourceSupplier> suppliers;
        for (int i = 1; i <= 40; ++i)
            suppliers.append({41 - i, QStringLiteral("Supplier %1").arg(i, 2, 10, QLatin1Char('0')),
                QStringLiteral("Street %1").arg(i), "", "", ""});
        m_db = m_tmp.filePath("db");
        QVERIFY(test::makeDatabase(m_tmp.filePath("src"), m_db, materials, suppliers,
            {{"1", 3}, {"1", 1}, {"1", 2}, {"2", 5}}));
        store::indexDatabase(m_db);

        m_suppliers = table("SUPPLIER.DB", "supname");
        m_supplierSource = std::make_unique<store::DataSource>();
        m_supplierSource->setDataSet(m_suppliers.get());
        m_material = table("MATERIAL.DB");
        m_materialSource = std::make_unique<store::DataSource>();
        m_materialSource->setDataSet(m_material.get());
        m_links = table("MATSUPP.DB");
        m_links->setMasterSource(m_materialSource.get());
        m_links->setMasterFields("id");
        m_links->setIndexFieldNames("materialid");
        m_linkSource = std::make_unique<store::DataSource>();
        m_linkSource->setDataSet(m_links.get());
        m_linkSupplier = table("SUPPLIER.DB");
        m_linkSupplier->setMasterSource(m_linkSource.get());
        m_linkSupplier->setMasterFields("supplierid");
        m_linkSupplier->setIndexFieldNames("id");

        // The grids exist before their cursors open, as in the main window.
        m_grid = std::make_unique<DataGrid>();
        m_grid->setDataSource(m_supplierSource.get());
        m_grid->setColumns({{"name", 30, "Supplier name"}});
        m_grid->resize(300, 200);
        m_linkGrid = std::make_unique<DataGrid>();
        m_linkGrid->setDataSource(m_linkSource.get());
        m_linkGrid->setColumns({{"supplierid", 20, QString()}});
        m_linkGrid->resize(300, 200);
        QCOMPARE(m_grid->model()->rowCount(), 0);

        m_linkSupplier->open();
        m_links->open();
        m_material->open();
        m_suppliers->open();
        m_grid->show();
        m_linkGrid->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_grid.get()));
    }

    void rowsAndTitlesComeFromTheCursor()
    {
        QCOMPARE(m_grid->model()->rowCount(), 40);
        QCOMPARE(m_grid->model()->index(0, 0).data().toString(), QStringLiteral("Supplier 01"));
        QCOMPARE(m_grid->model()->index(39, 0).data().toString(), QStringLiteral("Supplier 40"));
        QCOMPARE(m_grid->columnTitle(0), QStringLiteral("Supplier name"));
        QCOMPARE(m_linkGrid->columnTitle(0), QStringLiteral("supplierid"));

        // A linked cursor's rows are those of its master's record, in its order.
        auto ids = [this] {
            QStringList out;
            for (int r = 0; r < m_linkGrid->model()->rowCount(); ++r)
                out << m_linkGrid->model()->index(r, 0).data().toString();
            return out;
        };
        QCOMPARE(ids(), QStringList({"1", "2", "3"}));
        m_material->next();
        QCOMPARE(ids(), QStringList({"5"}));
        m_material->first();

        // Setting a display label retitles the column at once.
        store::Field &f = m_links->fieldByName("supplierid");
        f.setDisplayLabel("3 suppliers");
        QCOMPARE(m_linkGrid->model()->headerData(0, Qt::Horizontal).toString(),
            QStringLiteral("3 suppliers"));
        QCOMPARE(m_linkGrid->columnTitle(0), QStringLiteral("3 suppliers"));

        // The one column fills the grid; the row indicator on the left.
        QCOMPARE(m_grid->columnWidth(0), m_grid->viewport()->width());
        QVERIFY(!m_grid->horizontalScrollBar()->isVisible());
        QVERIFY(m_grid->verticalHeader()->isVisible());
        QVERIFY(m_grid->horizontalHeader()->isVisible());
        QVERIFY(m_grid->showGrid());
    }

    void userMovesMoveTheCursorAndItsLinks()
    {
        m_material->first();
        m_links->first();
        // When the grid's notice runs, the supplier linked to the new row has
        // followed; both have run before the click returns.
        QStringList seen;
        auto c = connect(m_linkSource.get(), &store::DataSource::dataChange, this, [&] {
            seen << m_links->fieldByName("supplierid").asString() + ":"
                    + m_linkSupplier->fieldByName("name").asString();
        });
        QTest::mouseClick(m_linkGrid->viewport(), Qt::LeftButton, {}, rowCentre(*m_linkGrid, 2));
        QCOMPARE(m_links->recNo(), 3);
        QCOMPARE(seen, QStringList({"3:Supplier 38"}));

        m_linkGrid->setFocus();
        QTest::keyClick(m_linkGrid.get(), Qt::Key_Up);
        QCOMPARE(m_links->recNo(), 2);
        QTest::keyClick(m_linkGrid.get(), Qt::Key_Home);
        QCOMPARE(m_links->recNo(), 1);
        QTest::keyClick(m_linkGrid.get(), Qt::Key_End);
        QCOMPARE(m_links->recNo(), 3);
        QCOMPARE(seen,
            QStringList({"3:Supplier 38", "2:Supplier 39", "1:Supplier 40", "3:Supplier 38"}));
        // The grid moves rows without setting the end flag.
        QVERIFY(!m_links->eof());
        disconnect(c);

        // Clicking the current row again is no move.
        QTest::mouseClick(m_linkGrid->viewport(), Qt::LeftButton, {}, rowCentre(*m_linkGrid, 2));
        QCOMPARE(seen.size(), 4);
    }

    void programMovesMoveTheRow()
    {
        m_suppliers->last();
        QCOMPARE(m_grid->currentIndex().row(), 39);
        QCOMPARE(m_grid->currentRow(), 39);
        // Scrolled into view.
        const int top = m_grid->rowAt(0);
        const int bottom = m_grid->rowAt(m_grid->viewport()->height() - 1);
        QVERIFY(top <= 39 && (bottom == -1 || bottom >= 39));
        QCOMPARE(m_grid->horizontalScrollBar()->value(), 0);

        m_suppliers->findNearest("supplier 05");
        QCOMPARE(m_grid->currentIndex().row(), 4);
        QVERIFY(m_grid->rowAt(0) <= 4);

        // An index switch keeps the record and shows the new order.
        m_suppliers->setIndexName(QString());
        QCOMPARE(m_grid->model()->index(0, 0).data().toString(), QStringLiteral("Supplier 40"));
        QCOMPARE(m_grid->currentIndex().row(), 40 - 5);
        m_suppliers->setIndexName("supname");
        QCOMPARE(m_grid->currentIndex().row(), 4);

        // A closed cursor empties its grid; opening it fills it again.
        m_material->findKey({2});
        m_links->close();
        QCOMPARE(m_linkGrid->model()->rowCount(), 0);
        QCOMPARE(m_linkGrid->currentRow(), -1);
        m_links->open();
        QCOMPARE(m_linkGrid->model()->rowCount(), 1);
        m_material->first();
    }

    void drawingReadsRowsWithoutMovingAnything()
    {
        m_material->first();
        m_links->setRecNo(2);
        m_linkGrid->clearFocus();
        int notices = 0;
        auto c1 = connect(
            m_linkSource.get(), &store::DataSource::recordChanged, this, [&] { ++notices; });
        auto c2 = connect(
            m_materialSource.get(), &store::DataSource::recordChanged, this, [&] { ++notices; });

        const QList<DrawCall> calls = drawAll(*m_linkGrid);
        QCOMPARE(notices, 0);
        QCOMPARE(m_links->recNo(), 2);
        disconnect(c1);
        disconnect(c2);

        QCOMPARE(calls.size(), 3);
        const QPalette pal = m_linkGrid->palette();
        for (const DrawCall &call : calls) {
            QCOMPARE(call.value, QString::number(call.recNo));
            QCOMPARE(call.rect.top(),
                m_linkGrid->visualRect(m_linkGrid->model()->index(call.recNo - 1, 0)).top());
            // The current row keeps its highlight without the focus.
            const bool current = call.recNo == 2;
            QCOMPARE(call.brush,
                pal.color(QPalette::Active, current ? QPalette::Highlight : QPalette::Base));
            QCOMPARE(call.pen,
                pal.color(QPalette::Active, current ? QPalette::HighlightedText : QPalette::Text));
        }
    }

    void titlesAndRowsAreWhole()
    {
        m_suppliers->first();
        m_material->first();
        for (DataGrid *grid : {m_grid.get(), m_linkGrid.get()}) {
            // The first row starts right under the titles.
            QHeaderView *titles = grid->horizontalHeader();
            QCOMPARE(titles->height(), grid->rowHeight() + 1);
            QCOMPARE(titles->geometry().bottom() + 1, grid->viewport()->geometry().top());
            QCOMPARE(grid->visualRect(grid->model()->index(0, 0)).top(), 0);
        }
        // Wide enough for the names, and too narrow, so that the horizontal
        // scroll bar runs along the bottom; each height ends in part of a row.
        auto rect = [this](int row) { return m_grid->visualRect(m_grid->model()->index(row, 0)); };
        const int h = m_grid->rowHeight();
        for (const QSize size : {QSize(300, 8 * h), QSize(60, 8 * h), QSize(60, 6 * h + 3)}) {
            const QByteArray what
                = QByteArray::number(size.width()) + "x" + QByteArray::number(size.height());
            m_grid->resize(size);
            QCoreApplication::processEvents();
            const int height = m_grid->viewport()->height();
            QVERIFY2(height % h != 0, what);

            // The last record, scrolled to, is whole, and so is the first row
            // in view: it starts at the top edge, not under the titles.
            m_suppliers->first();
            m_suppliers->last();
            QVERIFY2(rect(39).top() >= 0 && rect(39).bottom() < height, what);
            QVERIFY2(rect(m_grid->rowAt(0)).top() == 0, what);

            // The row cut by the bottom edge is drawn without its text.
            m_suppliers->first();
            const int cut = m_grid->rowAt(height - 1);
            QVERIFY2(cut > 0 && rect(cut).bottom() >= height, what);
            QSet<int> drawn;
            for (const DrawCall &call : drawAll(*m_grid)) {
                drawn.insert(call.recNo - 1);
                QVERIFY2(call.rect.bottom() < height, what);
            }
            QVERIFY2(!drawn.contains(cut) && drawn.contains(cut - 1), what);
        }
        m_grid->resize(300, 200);
        m_suppliers->first();
    }

    void lastColumnFitsItsTextsAndStartsAtTheLeft()
    {
        m_material->first();
        // Texts wider than the grid: the column is as wide as the widest.
        auto wide = [this](int n) {
            return m_linkGrid->fontMetrics().horizontalAdvance(QString(n, QLatin1Char('W'))) + 6;
        };
        m_linkGrid->setOnCellText([](const framework::CellField &field) {
            return QString(field.asInteger() * 20, QLatin1Char('W'));
        });
        QTRY_COMPARE(m_linkGrid->columnWidth(0), wide(60));
        // The view sizes its scroll bar on its own time.
        QTRY_VERIFY(m_linkGrid->horizontalScrollBar()->isVisible());
        QScrollBar *across = m_linkGrid->horizontalScrollBar();
        across->setValue(across->maximum());
        QVERIFY(across->value() > 0);
        // Moving within the list keeps the offset; a new list starts at the
        // left, sized for its own texts.
        m_links->setRecNo(2);
        QCOMPARE(across->value(), across->maximum());
        m_material->next();
        QCOMPARE(across->value(), 0);
        QTRY_COMPARE(m_linkGrid->columnWidth(0), wide(100));
        QTRY_VERIFY(across->maximum() > 0);
        across->setValue(across->maximum());
        QVERIFY(across->value() > 0);
        m_material->first();
        QCOMPARE(across->value(), 0);

        // Short texts: the column fills the grid and nothing scrolls, also
        // after the grid grows.
        m_linkGrid->setOnCellText({});
        QTRY_VERIFY(!across->isVisible());
        QCOMPARE(m_linkGrid->columnWidth(0), m_linkGrid->viewport()->width());
        m_linkGrid->resize(400, 200);
        QCOMPARE(m_linkGrid->columnWidth(0), m_linkGrid->viewport()->width());
        m_linkGrid->resize(300, 200);
        QCoreApplication::processEvents();
        QCOMPARE(m_linkGrid->columnWidth(0), m_linkGrid->viewport()->width());
        QCOMPARE(across->maximum(), 0);
    }

    void doubleClickRunsTheReaction()
    {
        int clicks = 0;
        m_linkGrid->setOnDblClick([&] { ++clicks; });
        QTest::mouseDClick(m_linkGrid->viewport(), Qt::LeftButton, {}, rowCentre(*m_linkGrid, 0));
        QCOMPARE(clicks, 1);
        QCOMPARE(m_links->recNo(), 1);
        // Below the last row, still on the grid.
        QTest::mouseDClick(m_linkGrid->viewport(), Qt::LeftButton, {},
            QPoint(20, m_linkGrid->viewport()->height() - 5));
        QCOMPARE(clicks, 2);
        m_linkGrid->setOnDblClick({});
    }
};

QTEST_MAIN(TestDataGrid)
#include "tst_datagrid.moc"
