// The material list of the started program on a real database of ten
// materials, and on one of thousands where the list scrolls: search as you
// type in name and CAS order, the order toggle, the caption, the navigation
// buttons, scrolling by scroll bar and wheel, and how rows are drawn.
#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "common/testdb.h"
#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QAbstractButton>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

using namespace zil;

namespace {

// Ids follow name order: Anisole is 1, Jasmone 10. In CAS text order the ids
// come as 2, 1, 7, 4, 9, 6, 10, 8, 3, 5.
const QList<test::SourceMaterial> kMaterials {
    {.key = "1", .name = "Anisole", .cas = "100-66"},
    {.key = "2", .name = "Benzaldehyde", .cas = "100-52"},
    {.key = "3", .name = "Camphor", .cas = "76-22"},
    {.key = "4", .name = "Decanal", .cas = "112-31"},
    {.key = "5", .name = "Eugenol", .cas = "97-53"},
    {.key = "6", .name = "Furaneol", .cas = "3658-77"},
    {.key = "7", .name = "Geraniol", .cas = "106-24"},
    {.key = "8", .name = "Hexanal", .cas = "66-25"},
    {.key = "9", .name = "Indole", .cas = "120-72"},
    {.key = "10", .name = "Jasmone", .cas = "488-10"},
};

} // namespace

class TestMaterialList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_db;
    std::unique_ptr<test::RunningApp> m_app;

    TMainForm &form() { return *m_app->form(); }
    qint32 currentId() { return form().TableMaterial->fieldByName("id").asInteger(); }
    QString currentName() { return form().TableMaterial->fieldByName("name").asString(); }

    void type(const QString &text)
    {
        form().SearchField->clear();
        QTest::keyClicks(form().SearchField, text);
    }

    // Narrows the list to the given ids as a criteria run would leave it.
    void narrow(const QList<qint32> &ids)
    {
        TSearchClass &list = *form().SearchClass;
        for (qint32 id = 1; id <= form().MaterialCount; ++id)
            list.Selected[id] = ids.contains(id);
        list.SelectedCount = qint32(ids.size());
        list.Rebuild();
        list.ShowCurrent();
        form().UpdateListCaption();
        form().UpdateSearchEnabled();
    }

    QColor fieldColour() { return form().SearchField->palette().color(QPalette::Base); }

    // Restarts the program, shown, on the shared database whose list scrolls.
    bool startScrolling()
    {
        m_app.reset();
        m_app = std::make_unique<test::RunningApp>();
        if (!m_app->start(test::scrollingDatabase()))
            return false;
        m_app->show();
        return form().MaterialCount == test::kScrollingMaterials;
    }

    QString fieldOf(qint32 id, const char *field)
    {
        store::Table &lookup = *form().TableMaterialSearch;
        return lookup.findKey({id}) ? lookup.fieldByName(field).asString() : QString();
    }

    // The grid's row is current, and whole inside the view.
    bool rowInView(int row)
    {
        framework::StringGrid *grid = form().MaterialGrid;
        const QRect rect = grid->visualRect(grid->model()->index(row - 1, 0));
        return grid->row() == row && rect.top() >= 0 && rect.bottom() < grid->viewport()->height();
    }

private slots:
    void initTestCase()
    {
        m_db = m_tmp.filePath("db");
        QVERIFY(test::makeDatabase(m_tmp.filePath("src"), m_db, kMaterials));
        QVERIFY(!test::scrollingDatabase().isEmpty());
    }

    void init()
    {
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(m_db));
    }

    void cleanup() { m_app.reset(); }

    void searchByName()
    {
        QCOMPARE(form().SearchLabel->text(), QStringLiteral("S&earch name:"));
        type("eug");
        QCOMPARE(currentName(), QStringLiteral("Eugenol"));
        QCOMPARE(form().MaterialGrid->row(), 5);
        // The nearest name at or after the text, case ignored.
        type("Ce");
        QCOMPARE(currentName(), QStringLiteral("Decanal"));
        // Before every name, and the emptied field: the first row.
        type("0");
        QCOMPARE(form().MaterialGrid->row(), 1);
        type("ZZZ");
        QCOMPARE(currentName(), QStringLiteral("Jasmone"));
        QCOMPARE(form().MaterialGrid->row(), 10);
        form().SearchField->clear();
        QCOMPARE(form().MaterialGrid->row(), 1);
        QCOMPARE(currentId(), 1);
        // The field's clear button empties it as deleting the text does.
        type("ZZZ");
        QVERIFY(test::clearButton(form().SearchField));
        QTest::mouseClick(test::clearButton(form().SearchField), Qt::LeftButton);
        QCOMPARE(form().SearchField->text(), QString());
        QCOMPARE(form().MaterialGrid->row(), 1);
        QCOMPARE(currentId(), 1);
    }

    // Accented names sort beside their plain spellings, and typed with or
    // without their accents, in either case, they are found. A database whose
    // sort keys keep the accents, as an earlier maker wrote them, opens in
    // its own order, and a name typed with its accents is found there too.
    void accentedNames()
    {
        QTemporaryDir tmp;
        const QString db = tmp.filePath("db");
        QVERIFY(test::makeDatabase(tmp.filePath("src"), db,
            {{.key = "1", .name = "p-Cymene"}, {.key = "2", .name = "C\u00e9drol crystals"},
                {.key = "3", .name = "p-Cresol"}, {.key = "4", .name = "Cr\u00e8me de cassis base"},
                {.key = "5", .name = "Cedrol"}}));
        const auto names = [this] {
            QStringList out;
            for (qint32 id = 1; id <= form().MaterialCount; ++id)
                out << fieldOf(id, "name");
            return out;
        };
        const auto found = [this](const char *text) {
            form().SearchField->clear();
            form().SearchField->insert(QString::fromUtf8(text));
            return currentName();
        };
        const QString creme = QStringLiteral("Cr\u00e8me de cassis base");
        const QString cedrol = QStringLiteral("C\u00e9drol crystals");

        m_app.reset();
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(db));
        QCOMPARE(names(), (QStringList {"Cedrol", cedrol, creme, "p-Cresol", "p-Cymene"}));
        for (const char *text : {"creme", "cr\u00e8me", "CR\u00c8ME"})
            QCOMPARE(found(text), creme);
        QCOMPARE(found("C\u00e9drol c"), cedrol);

        m_app.reset();
        QVERIFY(test::execSql(QDir(db).filePath("MATERIAL.DB"),
            "UPDATE material SET id = id + 10;"
            "UPDATE material SET id = CASE name WHEN 'Cedrol' THEN 1 WHEN 'p-Cresol' THEN 2"
            " WHEN 'Cr\u00e8me de cassis base' THEN 3 WHEN 'p-Cymene' THEN 4 ELSE 5 END,"
            " sf = CASE name WHEN 'Cr\u00e8me de cassis base' THEN 'CR\u00c8ME DE CASSIS BASE'"
            " WHEN 'C\u00e9drol crystals' THEN 'C\u00c9DROL CRYSTALS' ELSE sf END"));
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(db));
        QCOMPARE(names(), (QStringList {"Cedrol", "p-Cresol", creme, "p-Cymene", cedrol}));
        QCOMPARE(found("cr\u00e8me"), creme);
        QCOMPARE(found("C\u00c9DROL"), cedrol);
    }

    void searchInNarrowedList()
    {
        narrow({2, 5, 9});
        QCOMPARE(form().MaterialGrid->rowCount(), 4);
        // Camphor (3) is not selected: the next selected one in name order.
        type("Camphor");
        QCOMPARE(currentName(), QStringLiteral("Eugenol"));
        QCOMPARE(form().MaterialGrid->row(), 2);
        // Jasmone (10) has no selected one after it: the one before.
        type("Jas");
        QCOMPARE(currentName(), QStringLiteral("Indole"));
        QCOMPARE(form().MaterialGrid->row(), 3);
        type("A");
        QCOMPARE(currentName(), QStringLiteral("Benzaldehyde"));
        QCOMPARE(form().MaterialGrid->row(), 1);
    }

    void searchByCas()
    {
        QTest::mouseClick(form().OrderButton, Qt::LeftButton);
        QCOMPARE(form().SearchLabel->text(), QStringLiteral("S&earch CAS:"));
        // Text order: "3658-77-3" is the first CAS at or after "3".
        type("3");
        QCOMPARE(currentName(), QStringLiteral("Furaneol"));
        QCOMPARE(form().MaterialGrid->row(), 6);
        type("5");
        QCOMPARE(currentName(), QStringLiteral("Hexanal"));
        type("1");
        QCOMPARE(currentName(), QStringLiteral("Benzaldehyde"));
        QCOMPARE(form().MaterialGrid->row(), 1);
        QVERIFY(form().SearchField->isEnabled());
        QCOMPARE(fieldColour(), form().palette().color(QPalette::Active, QPalette::Base));

        // A narrowed list in CAS order cannot be searched.
        narrow({3, 4, 8});
        QVERIFY(!form().SearchField->isEnabled());
        QVERIFY(!form().SearchLabel->isEnabled());
        QCOMPARE(fieldColour(), form().palette().color(QPalette::Active, QPalette::Button));
        QTest::mouseClick(form().OrderButton, Qt::LeftButton);
        QVERIFY(form().SearchField->isEnabled());
        QVERIFY(form().SearchLabel->isEnabled());
        QCOMPARE(fieldColour(), form().palette().color(QPalette::Active, QPalette::Base));
    }

    void orderToggleKeepsCurrentMaterial()
    {
        type("Geran");
        QCOMPARE(form().MaterialGrid->row(), 7);
        QTest::mouseClick(form().OrderButton, Qt::LeftButton);
        QCOMPARE(form().OrderButton->text(), QStringLiteral("&Order by name"));
        QCOMPARE(form().SearchField->text(), QString());
        QCOMPARE(currentName(), QStringLiteral("Geraniol"));
        QCOMPARE(form().MaterialGrid->row(), 3);
        QCOMPARE(form().MaterialGrid->cell(0, 0),
            QStringLiteral("List of all materials (10) - sorted by CAS"));

        QTest::mouseClick(form().OrderButton, Qt::LeftButton);
        QCOMPARE(form().OrderButton->text(), QStringLiteral("&Order by CAS"));
        QCOMPARE(form().SearchLabel->text(), QStringLiteral("S&earch name:"));
        QCOMPARE(currentName(), QStringLiteral("Geraniol"));
        QCOMPARE(form().MaterialGrid->row(), 7);
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (10)"));
    }

    void captions()
    {
        narrow({1, 4, 6});
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("3 materials selected"));
        narrow({4});
        QCOMPARE(form().MaterialGrid->cell(0, 0), QStringLiteral("1 materials selected"));
        form().ToggleOrder();
        QCOMPARE(form().MaterialGrid->cell(0, 0),
            QStringLiteral("1 materials selected - sorted by CAS"));
    }

    void navigationStopsAtBothEnds()
    {
        QTest::mouseClick(form().LastButton, Qt::LeftButton);
        QCOMPARE(form().MaterialGrid->row(), 10);
        QCOMPARE(currentName(), QStringLiteral("Jasmone"));
        QTest::mouseClick(form().NextButton, Qt::LeftButton);
        QCOMPARE(form().MaterialGrid->row(), 10);
        QTest::mouseClick(form().PriorButton, Qt::LeftButton);
        QCOMPARE(currentName(), QStringLiteral("Indole"));
        QTest::mouseClick(form().FirstButton, Qt::LeftButton);
        QCOMPARE(form().MaterialGrid->row(), 1);
        QCOMPARE(currentName(), QStringLiteral("Anisole"));
        QTest::mouseClick(form().PriorButton, Qt::LeftButton);
        QCOMPARE(form().MaterialGrid->row(), 1);
        QTest::mouseClick(form().NextButton, Qt::LeftButton);
        QCOMPARE(currentName(), QStringLiteral("Benzaldehyde"));

        // In CAS order the same buttons walk the CAS list.
        form().ToggleOrder();
        QTest::mouseClick(form().LastButton, Qt::LeftButton);
        QCOMPARE(currentName(), QStringLiteral("Eugenol"));
        QTest::mouseClick(form().FirstButton, Qt::LeftButton);
        QCOMPARE(currentName(), QStringLiteral("Benzaldehyde"));
    }

    void keyboardMovesTheCurrentMaterial()
    {
        m_app->show();
        // Taking the focus, by mouse or by Tab, moves nothing.
        form().MaterialGrid->setFocus(Qt::TabFocusReason);
        QCOMPARE(form().MaterialGrid->row(), 1);
        QCOMPARE(currentName(), QStringLiteral("Anisole"));
        QTest::keyClick(form().MaterialGrid, Qt::Key_Down);
        QTest::keyClick(form().MaterialGrid, Qt::Key_Down);
        QCOMPARE(form().MaterialGrid->row(), 3);
        QCOMPARE(currentName(), QStringLiteral("Camphor"));
        QTest::keyClick(form().MaterialGrid, Qt::Key_End);
        QCOMPARE(currentName(), QStringLiteral("Jasmone"));
        QTest::keyClick(form().MaterialGrid, Qt::Key_Tab);
        QCOMPARE(currentName(), QStringLiteral("Jasmone"));
        QVERIFY(!form().MaterialGrid->hasFocus());
    }

    void scrollingCarriesTheCurrentRow()
    {
        QVERIFY(startScrolling());
        framework::StringGrid *grid = form().MaterialGrid;
        const int visible = grid->visibleRowCount();
        QVERIFY(visible > 3);
        QCOMPARE(grid->row(), 1);

        // Dragging down until the current row leaves the view at the top
        // makes the first visible row current.
        grid->verticalScrollBar()->setValue(40);
        QCOMPARE(grid->topRow(), 41);
        QCOMPARE(grid->row(), 41);
        QCOMPARE(currentId(), 41);

        // Dragging up until it leaves at the bottom makes the last fully
        // visible row current.
        grid->verticalScrollBar()->setValue(10);
        QCOMPARE(grid->row(), 10 + visible);
        QCOMPARE(currentId(), 10 + visible);

        // A scroll that keeps the current row in view moves nothing.
        grid->verticalScrollBar()->setValue(11);
        QCOMPARE(grid->row(), 10 + visible);

        // When the list grows back to all materials, the current material's
        // new row is scrolled into view at once, so the next scroll step
        // keeps it current.
        QList<qint32> few {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 2500};
        narrow(few);
        grid->setRow(11);
        QCOMPARE(currentId(), 2500);
        QCoreApplication::processEvents(); // the user's next action is a new event
        form().RestoreAll();
        QCOMPARE(grid->row(), 2500);
        QVERIFY(grid->topRow() <= 2500 && 2500 < grid->topRow() + grid->visibleRowCount());
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->value() + 1);
        QCOMPARE(currentId(), 2500);
    }

    void wheelAndEndsOfALongList()
    {
        QVERIFY(startScrolling());
        framework::StringGrid *grid = form().MaterialGrid;
        const int visible = grid->visibleRowCount();
        QVERIFY(visible > 3);

        // The wheel scrolls as the scroll bar does: the current row follows
        // when it leaves the view.
        const QPoint at = grid->viewport()->rect().center();
        for (int notch = 0; notch < 20; ++notch) {
            QWheelEvent wheel(at, grid->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120),
                Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(grid->viewport(), &wheel);
        }
        QVERIFY(grid->topRow() > visible);
        QCOMPARE(grid->row(), grid->topRow());
        QCOMPARE(currentId(), grid->topRow());

        // Last and First bring the ends of the list into view, whole.
        QTest::mouseClick(form().LastButton, Qt::LeftButton);
        QCOMPARE(currentId(), test::kScrollingMaterials);
        QVERIFY(rowInView(test::kScrollingMaterials));
        QTest::mouseClick(form().FirstButton, Qt::LeftButton);
        QCOMPARE(currentId(), 1);
        QCOMPARE(grid->topRow(), 1);
        QVERIFY(rowInView(1));

        // A search that lands far down shows the material found; the name
        // order is that of the names' sort form.
        const QString sortForm = fieldOf(2900, "sf");
        QVERIFY(!sortForm.isEmpty());
        type(sortForm);
        QCOMPARE(fieldOf(currentId(), "sf"), sortForm);
        QVERIFY(currentId() > 2800);
        QVERIFY(rowInView(currentId()));
    }

    void rowsAreWholeWhereTheyAreRead()
    {
        QVERIFY(startScrolling());
        framework::StringGrid *grid = form().MaterialGrid;
        QHeaderView *caption = grid->horizontalHeader();
        auto rect = [grid](int row) { return grid->visualRect(grid->model()->index(row - 1, 0)); };
        auto drawAs = [this](QPainter &painter, int col, int row, const QRect &r,
                          framework::GridDrawState state) {
            form().MaterialGridDrawCell(painter, col, row, r, state);
        };
        // The rows whose names the grid draws when it paints.
        auto drawnRows = [&] {
            QMap<int, QRect> drawn;
            grid->setOnDrawCell([&](QPainter &painter, int col, int row, const QRect &r,
                                    framework::GridDrawState state) {
                if (row > 0)
                    drawn.insert(row, r);
                drawAs(painter, col, row, r, state);
            });
            grid->grab();
            grid->setOnDrawCell(drawAs);
            return drawn;
        };
        // A height at which the view ends in part of a row.
        const int h = grid->defaultRowHeight();
        grid->resize(grid->width(), grid->height() + h / 2 - grid->viewport()->height() % h);
        QCoreApplication::processEvents();
        QVERIFY(grid->viewport()->height() % h != 0);

        // The caption is one row high and the first row starts right under it.
        QCOMPARE(caption->height(), h);
        QCOMPARE(caption->geometry().bottom() + 1, grid->viewport()->geometry().top());
        QCOMPARE(rect(1).top(), 0);

        // At the end of the list too the first row in view starts at the top,
        // and the last row is whole.
        QTest::mouseClick(form().LastButton, Qt::LeftButton);
        QCOMPARE(rect(grid->topRow()).top(), 0);
        QVERIFY(rowInView(test::kScrollingMaterials));

        // The row cut by the bottom edge is not drawn; the others are, whole.
        QTest::mouseClick(form().FirstButton, Qt::LeftButton);
        const int cut = grid->topRow() + grid->visibleRowCount();
        QVERIFY(rect(cut).top() < grid->viewport()->height());
        const QMap<int, QRect> drawn = drawnRows();
        QVERIFY(!drawn.contains(cut));
        QCOMPARE(drawn.size(), grid->visibleRowCount());
        for (const QRect &r : drawn)
            QVERIFY(r.bottom() < grid->viewport()->height());
    }

    void linkGridsFitTheirNames()
    {
        QVERIFY(startScrolling());
        TMainForm &f = form();
        // The name column fills each link grid: nothing to scroll sideways.
        auto fits = [](framework::DataGrid *grid) {
            return grid->columnWidth(0) == grid->viewport()->width()
                && grid->horizontalScrollBar()->maximum() == 0;
        };
        f.DetailTabNotebook->setCurrentIndex(1);
        QTRY_VERIFY(fits(f.SupplierGrid));
        QTest::mouseClick(f.LastButton, Qt::LeftButton);
        QTRY_VERIFY(fits(f.SupplierGrid));
        f.SelectMainPage(1);
        f.SuppliersDetailTabNotebook->setCurrentIndex(1);
        QTRY_VERIFY(fits(f.DBGrid1));
        QTRY_VERIFY(fits(f.MaterialGrid2));

        // A supplier's long list of materials: its last row, scrolled to, is
        // whole, and the first row in view starts at the top.
        framework::DataGrid *grid = f.MaterialGrid2;
        const int rows = f.TableSupLink2->recordCount();
        QVERIFY(rows * grid->rowHeight() > grid->viewport()->height());
        f.TableSupLink2->last();
        const QRect last = grid->visualRect(grid->model()->index(rows - 1, 0));
        QVERIFY(last.top() >= 0 && last.bottom() < grid->viewport()->height());
        QCOMPARE(grid->visualRect(grid->model()->index(grid->rowAt(0), 0)).top(), 0);
        f.SelectMainPage(0);
    }

    void drawColours()
    {
        framework::StringGrid *grid = form().MaterialGrid;
        type("Camphor");
        const QRect rect(0, 0, 200, 18);
        QList<QColor> pensAfter; // the canvas's pen and brush come back as they were
        auto draw = [&](int row, framework::GridDrawState state) {
            QImage image(220, 30, QImage::Format_RGB32);
            image.fill(Qt::green);
            QPainter painter(&image);
            painter.setFont(grid->font());
            painter.setPen(Qt::red);
            painter.setBrush(Qt::yellow);
            form().MaterialGridDrawCell(painter, 0, row, rect, state);
            pensAfter << painter.pen().color() << painter.brush().color();
            painter.end();
            return image;
        };
        // Colours that occur in an image, and the leftmost column holding a
        // pixel of the given colour inside the cell.
        auto colours = [](const QImage &image, const QRect &r) {
            QSet<QRgb> seen;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    seen.insert(image.pixel(x, y) & 0xffffff);
            return seen;
        };
        // The leftmost column of the text: dark ink, or white ink on blue.
        auto inkLeft = [](const QImage &image, const QRect &r, bool dark) {
            for (int x = r.left(); x <= r.right(); ++x)
                for (int y = r.top(); y <= r.bottom(); ++y) {
                    const QRgb p = image.pixel(x, y);
                    if (dark ? qGray(p) < 80 : (qRed(p) > 200 && qGreen(p) > 200))
                        return x;
                }
            return -1;
        };

        const QImage other = draw(2, {});
        QCOMPARE(other.pixel(1, 1) & 0xffffff, qRgb(255, 255, 255) & 0xffffff);
        QVERIFY(inkLeft(other, rect, true) >= 2);
        // Nothing is drawn outside the cell.
        QCOMPARE(colours(other, QRect(200, 0, 20, 30)), QSet<QRgb> {qRgb(0, 255, 0) & 0xffffff});
        QCOMPARE(colours(other, QRect(0, 18, 220, 12)), QSet<QRgb> {qRgb(0, 255, 0) & 0xffffff});

        // A row outside the list draws no name.
        QCOMPARE(inkLeft(draw(11, {}), rect, true), -1);

        const QImage current = draw(3, {true, true, false});
        QCOMPARE(current.pixel(1, 1) & 0xffffff, qRgb(0, 0, 255) & 0xffffff);
        QVERIFY(inkLeft(current, rect, false) >= 2);

        const QImage caption = draw(0, {true, false, true});
        const QRgb face = form().palette().color(QPalette::Button).rgb();
        QCOMPARE(caption.pixel(1, 1) & 0xffffff, face & 0xffffff);
        QVERIFY(inkLeft(caption, rect, true) >= 2);

        // Row names come from the table: row 3 is Camphor in name order, the
        // material of CAS row 3 (Geraniol) after the toggle.
        const QImage nameRow3 = draw(3, {});
        form().ToggleOrder();
        const QImage casRow3 = draw(3, {});
        QVERIFY(nameRow3 != casRow3);
        type("106");
        QCOMPARE(currentName(), QStringLiteral("Geraniol"));
        form().ToggleOrder();
        QCOMPARE(draw(7, {}), casRow3);
        for (qsizetype i = 0; i < pensAfter.size(); i += 2) {
            QCOMPARE(pensAfter[i], QColor(Qt::red));
            QCOMPARE(pensAfter[i + 1], QColor(Qt::yellow));
        }
    }
};

QTEST_MAIN(TestMaterialList)
#include "tst_materiallist.moc"
