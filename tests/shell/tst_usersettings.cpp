// What the program remembers for its user between runs: the main window's
// size and place, the folder of the last PDF file, the Hide/Show state of
// both sub-panes and whether prices and notes are shown, given back to the next main window; a
// place off every screen is not; the settings file beside the program is never written.
#include "common/appfixture.h"
#include "common/testdb.h"

#include "framework/usersettings.h"
#include "platform/printing.h"
#include "reports/Printm.h"
#include "shell/Zil0.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace zil;
using framework::UserSettings;

namespace {

void clickTab(QTabWidget *notebook, int page)
{
    QTabBar *bar = notebook->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file the program keeps the user's settings in.
QString userFile()
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/ZIL/zil.conf");
}

} // namespace

class TestUserSettings : public QObject
{
    Q_OBJECT

    QString m_db;

    // The folder the Save as PDF dialog proposes, with the file it writes
    // there when answer is set.
    QString savePdf(TMainForm *f, const QString &answer)
    {
        QString proposed;
        platform::ScopedSaveFileHook hook([&](const QString &, const QString &path) {
            proposed = path;
            return answer;
        });
        f->MenuSavePdf->trigger();
        return QFileInfo(proposed).absolutePath();
    }

    // The same for the export of the material list as CSV.
    QString exportCsv(TMainForm *f, const QString &answer)
    {
        QString proposed;
        platform::ScopedSaveFileHook hook([&](const QString &, const QString &path) {
            proposed = path;
            return answer;
        });
        f->findChild<QAction *>(QStringLiteral("MenuExportCsv"))->trigger();
        return QFileInfo(proposed).absolutePath();
    }

private slots:
    void initTestCase()
    {
        // Each test program has a configuration directory of its own.
        QVERIFY(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
        QVERIFY(!QFile::exists(userFile()));
        m_db = test::scrollingDatabase();
        QVERIFY(!m_db.isEmpty());
    }

    void cleanup() { QFile::remove(userFile()); }

    // A first run starts at the design size in the middle of the screen;
    // what the user changed then comes back in the next run, each sub-pane
    // with its own state, and only the user's file is written.
    void secondWindowStartsAsTheFirstWasLeft()
    {
        QTemporaryDir out;
        QVERIFY(out.isValid());
        QString ini;
        QByteArray iniBefore;
        QStringList besideProgram;
        {
            test::RunningApp app;
            QVERIFY(app.start(m_db));
            TMainForm *f = app.form();
            ini = f->SettingsFileName;
            iniBefore = contents(ini);
            QVERIFY(!iniBefore.isEmpty());
            besideProgram = QFileInfo(ini).dir().entryList(QDir::Files);
            app.show();
            QCOMPARE(f->size(), QSize(590, 450));
            const QRect screen = f->screen()->geometry();
            QCOMPARE(f->frameGeometry().center().x(), screen.center().x());
            QCOMPARE(savePdf(f, QString()), QDir::homePath());

            f->resize(700, 520);
            f->move(30, 40);
            // The supplier sub-pane on the Materials tab hidden; the one on
            // the Suppliers tab left shown.
            clickTab(f->DetailTabNotebook, 1);
            QTest::mouseClick(f->HideShowButton, Qt::LeftButton);
            QVERIFY(f->TabDetailsSuppliers->isHidden());
            QVERIFY(!f->TabDetailsMaterial->isHidden());
            // Prices and notes, off at first, turned on.
            QVERIFY(!f->MenuPricesNotes->isChecked());
            f->MenuPricesNotes->trigger();
            savePdf(f, out.filePath(QStringLiteral("sheet.pdf")));
            QVERIFY(QFile::exists(out.filePath(QStringLiteral("sheet.pdf"))));
            f->close();
            QCOMPARE(contents(ini), iniBefore);
            QCOMPARE(QFileInfo(ini).dir().entryList(QDir::Files), besideProgram);
        }
        QVERIFY(QFile::exists(userFile()));

        test::RunningApp app;
        QVERIFY(app.start(m_db));
        TMainForm *f = app.form();
        QVERIFY(f->TabDetailsSuppliers->isHidden());
        QVERIFY(!f->TabDetailsMaterial->isHidden());
        QVERIFY(f->MenuPricesNotes->isChecked());
        QCOMPARE(f->DetailTabNotebook->count(), 3);
        QVERIFY(f->PrintMaterial->pricesNotes());
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Show details"));
        QVERIFY(!f->HideShowButton->isEnabled());
        app.show();
        QCOMPARE(f->size(), QSize(700, 520));
        QCOMPARE(f->pos(), QPoint(30, 40));
        QCOMPARE(savePdf(f, QString()), QDir(out.path()).absolutePath());
        // The export proposes the same folder, and a file it writes elsewhere
        // moves the folder for both.
        QCOMPARE(exportCsv(f, QString()), QDir(out.path()).absolutePath());
        QTemporaryDir other;
        exportCsv(f, other.filePath(QStringLiteral("list.csv")));
        QVERIFY(QFile::exists(other.filePath(QStringLiteral("list.csv"))));
        QCOMPARE(savePdf(f, QString()), QDir(other.path()).absolutePath());
        QCOMPARE(UserSettings().outputFolder(), QDir(other.path()).absolutePath());
        // The Suppliers tab shows its own sub-pane's state.
        clickTab(f->MainTabNotebook, 1);
        clickTab(f->SuppliersDetailTabNotebook, 1);
        QCOMPARE(f->HideShowButton->text(), QStringLiteral("Hide details"));
    }

    // A folder removed since is not proposed; the home folder is.
    void removedFolderIsForgotten()
    {
        QTemporaryDir gone;
        UserSettings().setOutputFolder(gone.path());
        QCOMPARE(UserSettings().outputFolder(), QDir(gone.path()).absolutePath());
        gone.remove();
        QCOMPARE(UserSettings().outputFolder(), QString());
    }

    // A place that leaves the window's top edge off every screen counts as
    // none: the window starts at its design size in the middle of the screen.
    void placeOffEveryScreenIsIgnored_data()
    {
        QTest::addColumn<QPoint>("position");
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QTest::newRow("far away") << QPoint(5000, 5000);
        QTest::newRow("above") << QPoint(screen.left() + 50, screen.top() - 300);
        QTest::newRow("past the left edge") << QPoint(screen.left() - 680, screen.top() + 100);
        QTest::newRow("below") << QPoint(screen.left() + 50, screen.bottom() - 5);
    }

    void placeOffEveryScreenIsIgnored()
    {
        QFETCH(QPoint, position);
        UserSettings().setWindowPlace({position, QSize(700, 500), false});
        test::RunningApp app;
        QVERIFY(app.start(m_db));
        app.show();
        TMainForm *f = app.form();
        QCOMPARE(f->size(), QSize(590, 450));
        const QRect screen = f->screen()->geometry();
        QCOMPARE(f->frameGeometry().center().x(), screen.center().x());
        QVERIFY(screen.contains(f->frameGeometry().topLeft()));
    }

    // A place partly off the screen, with enough of its top edge on it to be
    // taken hold of, is kept as it was.
    void placePartlyOnScreenIsKept()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint position(screen.right() - 100, screen.top() + 20);
        UserSettings().setWindowPlace({position, QSize(600, 460), false});
        test::RunningApp app;
        QVERIFY(app.start(m_db));
        app.show();
        QCOMPARE(app.form()->pos(), position);
        QCOMPARE(app.form()->size(), QSize(600, 460));
    }

    // A window kept from a larger screen is made to fit this one and moved
    // onto it, its edges within reach.
    void placeLargerThanTheScreenFits()
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QPoint position(screen.left() + 40, screen.top() + 30);
        UserSettings().setWindowPlace({position, screen.size() * 2, false});
        test::RunningApp app;
        QVERIFY(app.start(m_db));
        app.show();
        const QRect frame = app.form()->frameGeometry();
        QVERIFY2(screen.contains(frame),
            qPrintable(QStringLiteral("%1,%2 %3x%4")
                           .arg(frame.x())
                           .arg(frame.y())
                           .arg(frame.width())
                           .arg(frame.height())));
        QCOMPARE(frame.size(), screen.size());
    }
};

QTEST_MAIN(TestUserSettings)
#include "tst_usersettings.moc"
