// What the main window draws anew when the current material changes, on a
// database whose list scrolls: a move of the current row within the view
// draws the two rows it concerns, a move that scrolls draws the whole view,
// and repainting a grid or memo draws nothing of the panels beneath it,
// while the window looks exactly as it would if they were drawn.
#include "common/appfixture.h"
#include "common/imagediff.h"
#include "common/testdb.h"
#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"

#include <QLineEdit>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

using namespace zil;

namespace {

// Collects the regions painted on the widgets it watches.
class PaintLog : public QObject
{
public:
    void watch(QWidget *w) { w->installEventFilter(this); }
    QRegion painted(QWidget *w) const { return m_painted.value(w); }
    void clear() { m_painted.clear(); }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            m_painted[o] += static_cast<QPaintEvent *>(e)->region();
        return false;
    }

private:
    QHash<QObject *, QRegion> m_painted;
};

} // namespace

class TestRepaint : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::RunningApp> m_app;

    TMainForm &form() { return *m_app->form(); }

    QRect rowRect(int row)
    {
        framework::StringGrid *grid = form().MaterialGrid;
        return grid->visualRect(grid->model()->index(row - 1, 0));
    }

    // Lets every pending paint happen.
    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        const QString db = test::scrollingDatabase();
        QVERIFY(!db.isEmpty());
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(db));
        m_app->show();
        settle();
    }

    void cleanup() { m_app.reset(); }

    void rowMovesDrawOnlyWhatChanged()
    {
        framework::StringGrid *grid = form().MaterialGrid;
        QWidget *view = grid->viewport();
        const int visible = grid->visibleRowCount();
        QVERIFY(visible > 4);
        QCOMPARE(grid->row(), 1);
        PaintLog log;
        log.watch(view);

        // Down by one within the view: the row left and the row reached.
        grid->setRow(2);
        QCOMPARE(grid->row(), 2);
        settle();
        const QRegion twoRows = QRegion(rowRect(1)).united(rowRect(2)).intersected(view->rect());
        QCOMPARE(log.painted(view), twoRows);
        // The highlight moved with it: the new row is drawn blue, the old
        // one white.
        const QImage shot = view->grab().toImage();
        auto colourOf = [&](int row) {
            return QColor(shot.pixel(view->width() - 3, rowRect(row).center().y()));
        };
        QCOMPARE(colourOf(2), QColor(0, 0, 255));
        QCOMPARE(colourOf(1), QColor(Qt::white));

        // Past the last row in view: the list scrolls and the whole view is
        // drawn anew.
        log.clear();
        grid->setRow(visible + 5);
        settle();
        QVERIFY(grid->topRow() > 1);
        QCOMPARE(log.painted(view).boundingRect(), view->rect());

        // A search that lands on a row in view draws those rows only; the
        // rows between keep what they show.
        log.clear();
        const int top = grid->topRow();
        grid->setRow(top + 1);
        settle();
        QVERIFY(!log.painted(view).intersects(rowRect(top + 3)));
        QVERIFY(log.painted(view).contains(QPoint(10, rowRect(top + 1).center().y())));
    }

    // A database updated with as many materials but other names: the list
    // is made anew and every row in view is drawn again, none left showing
    // the name it had before.
    void updateWithTheSameCountDrawsEveryRow()
    {
        QTemporaryDir dir;
        const QString live = dir.filePath(QStringLiteral("live"));
        auto named = [](const QString &prefix) {
            QList<test::SourceMaterial> list;
            for (int i = 1; i <= 300; ++i)
                list.append({.key = QString::number(i),
                    .name = QStringLiteral("%1 %2").arg(prefix).arg(i, 3, 10, QLatin1Char('0'))});
            return list;
        };
        QVERIFY(test::makeDatabase(dir.filePath(QStringLiteral("old")), live, named("Old")));
        m_app = std::make_unique<test::RunningApp>();
        QVERIFY(m_app->start(live));
        m_app->show();
        settle();
        framework::StringGrid *grid = form().MaterialGrid;
        QWidget *view = grid->viewport();
        QCOMPARE(form().DBName->text(), QStringLiteral("Old 001"));

        QVERIFY(test::makeDatabase(dir.filePath(QStringLiteral("new")), live, named("New")));
        PaintLog log;
        log.watch(view);
        form().FollowNewDatabase();
        settle();
        QCOMPARE(form().MaterialCount, 300);
        const int top = grid->topRow();
        for (int row = top; row < top + grid->visibleRowCount(); ++row) {
            const QRect rect = rowRect(row).intersected(view->rect());
            QVERIFY2(QRegion(rect).subtracted(log.painted(view)).isEmpty(),
                qPrintable(QString::number(row)));
        }
        QCOMPARE(form().DBName->text(), QStringLiteral("New 001"));
    }

    void memoOfTheNextMaterialStartsAtItsTop()
    {
        framework::StringGrid *grid = form().MaterialGrid;
        QPlainTextEdit *memo = form().DBLiterature;
        // Two materials in a row whose literature is longer than the memo.
        int row = 1;
        for (;; ++row) {
            QVERIFY(row + 1 < grid->rowCount());
            grid->setRow(row + 1);
            settle();
            const bool nextScrolls = memo->verticalScrollBar()->maximum() > 0;
            grid->setRow(row);
            settle();
            if (nextScrolls && memo->verticalScrollBar()->maximum() > 0)
                break;
        }
        memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
        const QString scrolled = memo->toPlainText();
        grid->setRow(row + 1);
        settle();
        QVERIFY(memo->toPlainText() != scrolled);
        QCOMPARE(memo->verticalScrollBar()->value(), 0);
        QCOMPARE(memo->textCursor().position(), 0);
        QCOMPARE(memo->cursorForPosition(QPoint(1, 1)).block().blockNumber(), 0);
    }

    void gridsAndMemosDrawNothingBeneath()
    {
        PaintLog log;
        // Whether repainting the widget, and the scroll bar it may have,
        // paints nothing of the panel it stands on.
        auto drawsNothingBeneath = [&](QWidget *w, QScrollBar *bar = nullptr) {
            log.watch(w->parentWidget());
            form().repaint();
            log.clear();
            w->repaint();
            if (bar)
                bar->repaint();
            return log.painted(w->parentWidget()).isEmpty();
        };
        // The supplier grids and search field, on the other tab.
        form().MainTabNotebook->setCurrentIndex(1);
        settle();
        for (QWidget *w : std::initializer_list<QWidget *> {
                 form().DBGrid1, form().MaterialGrid2, form().EditSupplierName})
            QVERIFY2(drawsNothingBeneath(w), qPrintable(w->objectName()));
        form().MainTabNotebook->setCurrentIndex(0);
        settle();

        // A change of material, so that memos and rows hold new text.
        form().SearchField->setText(QStringLiteral("m"));
        settle();
        const QList<QAbstractScrollArea *> areas {form().MaterialGrid, form().synonyms,
            form().DBOccurence, form().DBFlavour, form().DBApplication, form().DBLiterature};
        for (QAbstractScrollArea *area : areas) {
            QVERIFY2(drawsNothingBeneath(area, area->verticalScrollBar()),
                qPrintable(area->objectName()));
        }

        // The same for the search field at each keystroke and the detail
        // fields at each new material.
        const QList<QLineEdit *> fields {
            form().SearchField, form().DBCas, form().DBCE, form().DBFema, form().DBName};
        for (QLineEdit *field : fields)
            QVERIFY2(drawsNothingBeneath(field), qPrintable(field->objectName()));

        // Filling them first changes no pixel of the window: drawn over the
        // panels beneath, as a see-through widget is, it looks the same.
        const QImage drawn = form().grab().toImage();
        for (QAbstractScrollArea *area : form().findChildren<QAbstractScrollArea *>())
            area->setAutoFillBackground(false);
        QCOMPARE(form().grab().toImage(), drawn);
        // A field's rounded corners are smoothed against the field's own fill
        // and no longer the panel's: a step or two of grey at four pixels.
        for (QLineEdit *field : fields)
            field->setAutoFillBackground(false);
        QVERIFY(zil::test::largestDifference(form().grab().toImage(), drawn) <= 8);
    }
};

QTEST_MAIN(TestRepaint)
#include "tst_repaint.moc"
