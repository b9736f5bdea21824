// The main window's event map: each named reaction runs when the user works
// the control it belongs to, and a click runs its reaction once. The
// reactions are seen in the log of the category "zil.reactions".
#include "common/appfixture.h"
#include "common/testdb.h"

#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "platform/printing.h"
#include "shell/Zil0.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace zil;

namespace {

QStringList g_ran;

QtMessageHandler g_passOn = nullptr;

void keepReactions(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg && qstrcmp(context.category, "zil.reactions") == 0)
        g_ran << text;
    else
        g_passOn(type, context, text);
}

void clickTab(QTabWidget *notebook, int page)
{
    QTabBar *bar = notebook->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

QPoint rowCentre(QAbstractItemView *grid, int row)
{
    return grid->visualRect(grid->model()->index(row, 0)).center();
}

// Closes the next modal window as soon as it shows.
void closeNextModal()
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            modal->close();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

} // namespace

class TestReactions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    test::RunningApp m_app;
    TMainForm *f = nullptr;

    // Runs input and checks that reaction ran: exactly once, or at least once
    // for the reactions of drawing and of a move of a cursor.
    void expect(const char *reaction, const std::function<void()> &input, bool once = true)
    {
        g_ran.clear();
        input();
        const qsizetype times = g_ran.count(QString::fromLatin1(reaction));
        if (once)
            QVERIFY2(times == 1,
                qPrintable(QStringLiteral("%1 ran %2 times; ran: %3")
                               .arg(reaction)
                               .arg(times)
                               .arg(g_ran.join(QLatin1Char(' ')))));
        else
            QVERIFY2(times >= 1, reaction);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const QString db = m_tmp.filePath(QStringLiteral("db"));
        QVERIFY(test::makeSynthetic(db, 3000));
        QVERIFY(m_app.start(db));
        m_app.show();
        f = m_app.form();
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f));
        QLoggingCategory::setFilterRules(QStringLiteral("zil.reactions.debug=true"));
        g_passOn = qInstallMessageHandler(keepReactions);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(nullptr);
        QLoggingCategory::setFilterRules(QString());
    }

    void materialsTab()
    {
        expect("SearchFieldChange", [&] {
            QTest::mouseClick(f->SearchField, Qt::LeftButton);
            QTest::keyClick(f->SearchField, Qt::Key_B);
        });
        expect("NextButtonClick", [&] { QTest::mouseClick(f->NextButton, Qt::LeftButton); });
        expect(
            "SourceMaterialDataChange", [&] { QTest::mouseClick(f->NextButton, Qt::LeftButton); },
            false);
        expect("PriorButtonClick", [&] { QTest::mouseClick(f->PriorButton, Qt::LeftButton); });
        expect("LastButtonClick", [&] { QTest::mouseClick(f->LastButton, Qt::LeftButton); });
        expect("FirstButtonClick", [&] { QTest::mouseClick(f->FirstButton, Qt::LeftButton); });
        expect("MaterialGridSelectCell", [&] {
            QTest::mouseClick(
                f->MaterialGrid->viewport(), Qt::LeftButton, {}, rowCentre(f->MaterialGrid, 3));
        });
        expect(
            "MaterialGridDrawCell", [&] { f->MaterialGrid->viewport()->repaint(); }, false);
        expect(
            "MaterialGridTopLeftChanged",
            [&] {
                QScrollBar *bar = f->MaterialGrid->verticalScrollBar();
                bar->setValue(bar->value() + 40);
            },
            false);
        for (int i = 0; i < 2; ++i)
            expect("OrderButtonClick", [&] { QTest::mouseClick(f->OrderButton, Qt::LeftButton); });
        expect("SearchButtonClick", [&] {
            closeNextModal();
            QTest::mouseClick(f->SearchButton, Qt::LeftButton);
        });
        expect("DetailClick", [&] { clickTab(f->DetailTabNotebook, 1); });
        expect(
            "SupplierGridDrawDataCell", [&] { f->SupplierGrid->viewport()->repaint(); }, false);
        expect("SupplierGridDblClick", [&] {
            QTest::mouseDClick(
                f->SupplierGrid->viewport(), Qt::LeftButton, {}, rowCentre(f->SupplierGrid, 0));
        });
        expect(
            "HideShowButtonClick", [&] { QTest::mouseClick(f->HideShowButton, Qt::LeftButton); });
        // The sheets show in their preview, which is closed.
        expect("PrintButtonClick", [&] {
            closeNextModal();
            QTest::mouseClick(f->PrintButton, Qt::LeftButton);
        });
        expect("MenuPrintMaterialClick", [&] {
            closeNextModal();
            f->MenuPrintMaterial->trigger();
        });
        const platform::ScopedSaveFileHook noFile(
            [](const QString &, const QString &) { return QString(); });
        expect("MenuSavePdfClick", [&] { f->MenuSavePdf->trigger(); });
    }

    void suppliersTab()
    {
        expect("MainTabNotebookClick", [&] { clickTab(f->MainTabNotebook, 1); });
        expect("EditSupplierNameChange", [&] {
            QTest::mouseClick(f->EditSupplierName, Qt::LeftButton);
            QTest::keyClick(f->EditSupplierName, Qt::Key_C);
        });
        expect(
            "SourceSupplierNameDataChange",
            [&] {
                QTest::mouseClick(
                    f->DBGrid1->viewport(), Qt::LeftButton, {}, rowCentre(f->DBGrid1, 2));
            },
            false);
        expect(
            "SourceMaterial2DataChange",
            [&] {
                QTest::mouseClick(f->MaterialGrid2->viewport(), Qt::LeftButton, {},
                    rowCentre(f->MaterialGrid2, 1));
            },
            false);
        expect("DetailClick", [&] { clickTab(f->SuppliersDetailTabNotebook, 1); });
        expect(
            "MaterialGrid2DrawDataCell", [&] { f->MaterialGrid2->viewport()->repaint(); }, false);
        expect("MaterialGrid2DblClick", [&] {
            QTest::mouseDClick(
                f->MaterialGrid2->viewport(), Qt::LeftButton, {}, rowCentre(f->MaterialGrid2, 0));
        });
        expect("MenuPrintSupplierClick", [&] {
            closeNextModal();
            f->MenuPrintSupplier->trigger();
        });
        expect("Materials1Click", [&] { f->Materials1->trigger(); });
        expect("Suppliers1Click", [&] { f->Suppliers1->trigger(); });
    }

    void helpAndExit()
    {
        expect("Contents1Click", [&] { f->Contents1->trigger(); });
        expect("About1Click", [&] {
            closeNextModal();
            f->About1->trigger();
        });
        expect("ExitMenuClick", [&] { f->ExitMenu->trigger(); });
        QVERIFY(!f->isVisible());
    }
};

QTEST_MAIN(TestReactions)
#include "tst_reactions.moc"
