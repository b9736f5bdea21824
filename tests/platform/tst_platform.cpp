// The operating-system seam: wildcard search, deletion, the case-blind
// existence test and reads at offsets on real files, and the stand-ins for
// message boxes, the help viewer and the version query.
#include "platform/files.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "platform/version.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>

#include <cstdio>
#include <optional>
#include <sys/stat.h>

using namespace zil::platform;

namespace {

void touch(const QString &path, const QByteArray &content = "x")
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(content);
}

struct Message
{
    MessageKind kind;
    QString title;
    QString text;
};

} // namespace

class TestPlatform : public QObject
{
    Q_OBJECT
public slots:
    // Stands in for the desktop's web browser.
    void openExternal(const QUrl &url) { m_external << url; }

private:
    QList<QUrl> m_external;

private slots:
    void wildcard_data();
    void wildcard();
    void findFilesListsEveryKindOfEntry();
    void findFilesOnMissingDirectoryRaises();
    void deleteFileRemovesOnlyFiles();
    void fileExistsIgnoresCase();
    void readOnlyFileReadsWhatItOpened();
    void programFilePathNamesThisProgram();
    void messageHookReceivesShownText();
    void messageBoxWithoutHook();
    void helpWithoutFileOrWithMissingFile();
    void helpWindowFollowsLinksAndGoesBack();
    void versionQuery();
};

void TestPlatform::wildcard_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");

    // The index patterns against index files and their neighbours.
    QTest::newRow("xg1") << "material.xg1"
                         << "*.x??" << true;
    QTest::newRow("x01") << "old.x01"
                         << "*.x??" << true;
    QTest::newRow("xls") << "prices.xls"
                         << "*.x??" << true;
    QTest::newRow("upper name") << "MATERIAL.XG1"
                                << "*.x??" << true;
    QTest::newRow("upper pattern") << "material.xg1"
                                   << "*.X??" << true;
    QTest::newRow("trailing ? may match one less") << "old.x1"
                                                   << "*.x??" << true;
    QTest::newRow("trailing ? may match nothing") << "old.x"
                                                  << "*.x??" << true;
    QTest::newRow("trailing ? not more than its count") << "old.x001"
                                                        << "*.x??" << false;
    QTest::newRow("other letter") << "old.y01"
                                  << "*.x??" << false;
    QTest::newRow("y pattern") << "old.y01"
                               << "*.y??" << true;
    QTest::newRow("px") << "material.px"
                        << "*.px" << true;
    QTest::newRow("px longer suffix") << "material.pxa"
                                      << "*.px" << false;
    QTest::newRow("px without dot") << "px"
                                    << "*.px" << false;
    QTest::newRow("px without base") << ".px"
                                     << "*.px" << true;
    QTest::newRow("star spans dots") << "a.b.c.px"
                                     << "*.px" << true;
    QTest::newRow("star backtracks") << "a.px.px"
                                     << "*.px" << true;
    QTest::newRow("star before tail") << "a.pxb.px.c"
                                      << "*.px" << false;
    QTest::newRow("val") << "supplier.val"
                         << "*.val" << true;
    QTest::newRow("vals") << "supplier.vals"
                          << "*.val" << false;
    QTest::newRow("db not an index") << "material.db"
                                     << "*.x??" << false;

    // '?' inside a pattern is exactly one character.
    QTest::newRow("inner ? one") << "abc"
                                 << "a?c" << true;
    QTest::newRow("inner ? not none") << "ac"
                                      << "a?c" << false;
    QTest::newRow("inner ? not two") << "abbc"
                                     << "a?c" << false;
    QTest::newRow("leading ? not none") << "a"
                                        << "?a" << false;
    QTest::newRow("? matches a dot") << "a.c"
                                     << "a?c" << true;
    QTest::newRow("? is one whole character") << "\U0001F600.x1"
                                              << "?.x1" << true;

    QTest::newRow("star matches empty") << ""
                                        << "*" << true;
    QTest::newRow("star matches all") << "anything.at.all"
                                      << "*" << true;
    QTest::newRow("empty pattern") << "x"
                                   << "" << false;
    QTest::newRow("exact") << "Material.DB"
                           << "material.db" << true;
    QTest::newRow("non-ASCII case") << "\u00c4PFEL.PX"
                                    << "\u00e4pfel.px" << true;
    QTest::newRow("literal mismatch") << "material.db"
                                      << "materia.db" << false;
}

void TestPlatform::wildcard()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(matchesWildcard(name, pattern), matches);
}

void TestPlatform::findFilesListsEveryKindOfEntry()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir d(tmp.path());
    touch(d.filePath("material.xg1"));
    touch(d.filePath("OLD.X01"));
    touch(d.filePath(".hidden.x02"));
    touch(d.filePath("readonly.x03"));
    QVERIFY(QFile::setPermissions(d.filePath("readonly.x03"), QFile::ReadOwner));
    QVERIFY(d.mkdir("folder.x04"));
    QVERIFY(QFile::link(d.filePath("nowhere"), d.filePath("broken.x05")));
    touch(d.filePath("material.db"));
    touch(d.filePath("material.x001"));

    const QStringList expected
        = {".hidden.x02", "broken.x05", "folder.x04", "material.xg1", "OLD.X01", "readonly.x03"};
    QCOMPARE(findFiles(tmp.path(), "*.x??"), expected);
    // A directory given with a final separator lists the same.
    QCOMPARE(findFiles(tmp.path() + "/", "*.X??"), expected);

    const QStringList all = findFiles(tmp.path(), "*");
    QVERIFY(!all.contains("."));
    QVERIFY(!all.contains(".."));
    QCOMPARE(all.size(), 8);

    QCOMPARE(findFiles(tmp.path(), "*.val"), QStringList());
}

void TestPlatform::findFilesOnMissingDirectoryRaises()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString missing = tmp.filePath("missing");
    try {
        findFiles(missing, "*.px");
        QFAIL("no error for a missing directory");
    } catch (const PlatformError &e) {
        QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
        QCOMPARE(QString::fromStdString(e.what()), e.message());
    }

    touch(tmp.filePath("plain.txt"));
    QVERIFY_THROWS_EXCEPTION(PlatformError, findFiles(tmp.filePath("plain.txt"), "*"));
}

void TestPlatform::deleteFileRemovesOnlyFiles()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir d(tmp.path());

    touch(d.filePath("old.px"));
    QVERIFY(deleteFile(d.filePath("old.px")));
    QVERIFY(!QFile::exists(d.filePath("old.px")));

    QVERIFY(!deleteFile(d.filePath("old.px")));

    QVERIFY(d.mkdir("junk.x01"));
    QVERIFY(!deleteFile(d.filePath("junk.x01")));
    QVERIFY(QFileInfo(d.filePath("junk.x01")).isDir());

    // A link is removed itself, never what it points at.
    QVERIFY(d.mkdir("target"));
    touch(d.filePath("target/keep.px"));
    QVERIFY(QFile::link(d.filePath("target"), d.filePath("link.x02")));
    QVERIFY(deleteFile(d.filePath("link.x02")));
    QVERIFY(!QFileInfo(d.filePath("link.x02")).isSymLink());
    QVERIFY(QFile::exists(d.filePath("target/keep.px")));
}

void TestPlatform::fileExistsIgnoresCase()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir d(tmp.path());
    touch(d.filePath("MATERIAL.XG1"));
    QVERIFY(d.mkdir("folder.db"));

    QVERIFY(fileExists(d.filePath("material.xg1")));
    QVERIFY(fileExists(d.filePath("MATERIAL.XG1")));
    QVERIFY(fileExists(d.filePath("Material.Xg1")));
    QVERIFY(!fileExists(d.filePath("material.xg0")));
    QVERIFY(!fileExists(d.filePath("material.xg")));
    QVERIFY(!fileExists(d.filePath("folder.db")));
    QVERIFY(!fileExists(d.filePath("FOLDER.DB")));
    QVERIFY(!fileExists(d.filePath("missing/material.xg1")));
    QVERIFY(!fileExists(tmp.path() + "/"));
}

// A file read at offsets: only a regular file at the name is opened, never
// through a link when asked so, never a FIFO that would block; a file cut
// short by another writer reads short; a file deleted or replaced by a rename
// reads on as it was opened.
void TestPlatform::readOnlyFileReadsWhatItOpened()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QDir d(tmp.path());
    touch(d.filePath("a.px"), "0123456789");
    QVERIFY(QFile::link(d.filePath("a.px"), d.filePath("link.px")));
    QVERIFY(::mkfifo(QFile::encodeName(d.filePath("fifo.px")).constData(), 0600) == 0);
    QVERIFY(!ReadOnlyFile::open(d.filePath("link.px"), false).isOpen());
    QVERIFY(ReadOnlyFile::open(d.filePath("link.px"), true).isOpen());
    QVERIFY(!ReadOnlyFile::open(d.filePath("fifo.px"), true).isOpen());
    QVERIFY(!ReadOnlyFile::open(tmp.path(), true).isOpen());
    QVERIFY(!ReadOnlyFile::open(d.filePath("missing.px"), true).isOpen());

    const ReadOnlyFile file = ReadOnlyFile::open(d.filePath("a.px"), false);
    QVERIFY(file.isOpen());
    QCOMPARE(file.size(), 10);
    char buf[16] = {};
    QCOMPARE(file.readAt(2, buf, 4), 4);
    QCOMPARE(QByteArray(buf, 4), QByteArray("2345"));
    QCOMPARE(file.readAt(8, buf, 4), 2);
    QCOMPARE(QByteArray(buf, 2), QByteArray("89"));
    QCOMPARE(file.readAt(10, buf, 4), 0);
    QVERIFY(QFile::resize(d.filePath("a.px"), 3));
    QCOMPARE(file.readAt(0, buf, 8), 3);
    QCOMPARE(file.size(), 3);

    touch(d.filePath("b.px"), "abcdef");
    const ReadOnlyFile replaced = ReadOnlyFile::open(d.filePath("b.px"), false);
    touch(d.filePath("new.px"), "uvwxyz");
    QCOMPARE(std::rename(QFile::encodeName(d.filePath("new.px")).constData(),
                 QFile::encodeName(d.filePath("b.px")).constData()),
        0);
    QCOMPARE(replaced.readAt(0, buf, 6), 6);
    QCOMPARE(QByteArray(buf, 6), QByteArray("abcdef"));
    QVERIFY(QFile::remove(d.filePath("b.px")));
    QCOMPARE(replaced.readAt(3, buf, 3), 3);
    QCOMPARE(QByteArray(buf, 3), QByteArray("def"));
}

void TestPlatform::programFilePathNamesThisProgram()
{
    const QFileInfo info(programFilePath());
    QVERIFY(info.isAbsolute());
    QVERIFY(info.isFile());
    QCOMPARE(info.fileName(), QStringLiteral("tst_platform"));
}

void TestPlatform::messageHookReceivesShownText()
{
    QList<Message> got;
    {
        const ScopedMessageBoxHook taking(
            [&](MessageKind kind, const QString &title, const QString &text) {
                got.append({kind, title, text});
            });
        showError(nullptr, "Error indexing database\rCannot delete old index files: *.px");
        showWarning(nullptr, "first\r\nsecond\rthird");
    }

    QCOMPARE(got.size(), 2);
    QCOMPARE(got[0].kind, MessageKind::Error);
    QCOMPARE(got[0].title, QStringLiteral("Error"));
    QCOMPARE(got[0].text,
        QStringLiteral("Error indexing database\nCannot delete old index files: *.px"));
    QCOMPARE(got[1].kind, MessageKind::Warning);
    QCOMPARE(got[1].title, QStringLiteral("Warning"));
    QCOMPARE(got[1].text, QStringLiteral("first\nsecond\nthird"));
}

void TestPlatform::messageBoxWithoutHook()
{
    struct Seen
    {
        bool found = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title, text;
        Qt::TextFormat format = Qt::AutoText;
        int buttons = 0;
    };

    auto answer = [](Seen *seen) {
        QTimer::singleShot(0, [seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen->found = true;
            seen->icon = box->icon();
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->format = box->textFormat();
            seen->buttons = int(box->buttons().size());
            box->button(QMessageBox::Ok)->click();
        });
    };

    Seen error;
    answer(&error);
    showError(nullptr, "<b>name</b>\rsecond line");
    QVERIFY(error.found);
    QCOMPARE(error.icon, QMessageBox::Critical);
    QCOMPARE(error.title, QStringLiteral("Error"));
    QCOMPARE(error.text, QStringLiteral("<b>name</b>\nsecond line"));
    QCOMPARE(error.format, Qt::PlainText);
    QCOMPARE(error.buttons, 1);

    Seen warning;
    answer(&warning);
    showWarning(nullptr, "No material matches");
    QVERIFY(warning.found);
    QCOMPARE(warning.icon, QMessageBox::Warning);
    QCOMPARE(warning.title, QStringLiteral("Warning"));
    QCOMPARE(warning.buttons, 1);
}

void TestPlatform::helpWithoutFileOrWithMissingFile()
{
    QList<Message> seen;
    const ScopedMessageBoxHook taking(
        [&seen](MessageKind kind, const QString &title, const QString &text) {
            seen << Message {kind, title, text};
        });
    QWidget owner;
    QVERIFY(!openHelp(&owner, QString()));
    QVERIFY(seen.isEmpty());

    // A missing file, and a directory where the file should be, are named in
    // an error box; a relative name is shown as the path it was looked for at.
    QTemporaryDir dir;
    for (const QString &name : {dir.filePath("gone.html"), dir.path(), QStringLiteral("no.html")}) {
        seen.clear();
        QVERIFY(!openHelp(&owner, name));
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen[0].kind, MessageKind::Error);
        QCOMPARE(seen[0].title, QStringLiteral("Error"));
        QCOMPARE(seen[0].text,
            "The help file was not found:\n" + QDir::current().absoluteFilePath(name));
    }
    QVERIFY(owner.findChildren<HelpWindow *>().isEmpty());
}

void TestPlatform::helpWindowFollowsLinksAndGoesBack()
{
    QTemporaryDir dir;
    touch(dir.filePath("index.html"),
        "<html><body><h1>Contents</h1><p><a href=\"second.html\">Second page</a></p>"
        "<p><a href=\"https://example.org/zil\">Web page</a></p>"
        "<p><a href=\"missing.html\">Lost page</a></p></body></html>");
    touch(
        dir.filePath("second.html"), "<html><body><h1>Second</h1><p>More help.</p></body></html>");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openExternal");
    QList<Message> seen;
    std::optional<ScopedMessageBoxHook> taking;
    taking.emplace([&seen](MessageKind kind, const QString &title, const QString &text) {
        seen << Message {kind, title, text};
    });

    QWidget owner;
    owner.setGeometry(80, 40, 640, 520);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    QVERIFY(openHelp(&owner, dir.filePath("index.html")));
    auto *help = owner.findChild<HelpWindow *>(QStringLiteral("HelpWindow"));
    QVERIFY(help);
    QVERIFY(help->isWindow());
    QVERIFY(QTest::qWaitForWindowExposed(help));
    QCOMPARE(help->windowTitle(), QStringLiteral("ZIL Help"));
    QCOMPARE(help->frameGeometry().center(), owner.frameGeometry().center());
    QTextBrowser *browser = help->findChild<QTextBrowser *>(QStringLiteral("HelpBrowser"));
    QCOMPARE(browser, help->browser());
    QVERIFY(!help->backAction()->isEnabled());

    // Clicks on the link texts, where the browser draws them.
    auto clickLink = [browser](const QString &text) {
        const QTextCursor found = browser->document()->find(text);
        QVERIFY2(!found.isNull(), qPrintable(text));
        QTextCursor inside(browser->document());
        inside.setPosition(found.selectionStart() + 2);
        QTest::mouseClick(
            browser->viewport(), Qt::LeftButton, {}, browser->cursorRect(inside).center());
    };
    clickLink(QStringLiteral("Second page"));
    QCOMPARE(browser->source(), QUrl::fromLocalFile(dir.filePath("second.html")));
    QVERIFY(browser->toPlainText().contains(QStringLiteral("More help.")));
    QVERIFY(help->backAction()->isEnabled());
    // Its button says what it does and its key when the pointer rests on it.
    QWidget *back = help->findChild<QToolBar *>(QStringLiteral("HelpToolBar"))
                        ->widgetForAction(help->backAction());
    QHelpEvent hover(
        QEvent::ToolTip, back->rect().center(), back->mapToGlobal(back->rect().center()));
    QApplication::sendEvent(back, &hover);
    QCOMPARE(QToolTip::text(), QStringLiteral("Back to the page shown before (Alt+Left)"));
    QToolTip::hideText();
    help->backAction()->trigger();
    QCOMPARE(browser->source(), QUrl::fromLocalFile(dir.filePath("index.html")));

    // A web address goes to the desktop; a link to a missing file is named.
    clickLink(QStringLiteral("Web page"));
    QCOMPARE(m_external, QList<QUrl>({QUrl("https://example.org/zil")}));
    QCOMPARE(browser->source(), QUrl::fromLocalFile(dir.filePath("index.html")));
    clickLink(QStringLiteral("Lost page"));
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].text, "The help file was not found:\n" + dir.filePath("missing.html"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    taking.reset();

    // Escape closes the window; the next request reuses it, at the start of
    // the file again with nothing to go back to.
    clickLink(QStringLiteral("Second page"));
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Escape);
    QVERIFY(!help->isVisible());
    owner.move(40, 30);
    QVERIFY(openHelp(&owner, dir.filePath("index.html")));
    QCOMPARE(owner.findChildren<HelpWindow *>().size(), 1);
    QVERIFY(help->isVisible());
    QCOMPARE(browser->source(), QUrl::fromLocalFile(dir.filePath("index.html")));
    QVERIFY(!help->backAction()->isEnabled());
    QCOMPARE(help->frameGeometry().center(), owner.frameGeometry().center());

    // Asked again while it shows the file, the window reads the file again:
    // it may have been replaced.
    touch(dir.filePath("index.html"), "<html><body><p>A new edition.</p></body></html>");
    QVERIFY(openHelp(&owner, dir.filePath("index.html")));
    QCOMPARE(browser->toPlainText(), QStringLiteral("A new edition."));
}

void TestPlatform::versionQuery()
{
    QVERIFY(IsNTPlatform());
    {
        const ScopedNTPlatformHook other([] { return false; });
        QVERIFY(!IsNTPlatform());
        {
            // A guard inside another gives the outer hook back when it ends.
            const ScopedNTPlatformHook inner([] { return true; });
            QVERIFY(IsNTPlatform());
        }
        QVERIFY(!IsNTPlatform());
    }
    QVERIFY(IsNTPlatform());

    // A guard that ends while a newer one lives leaves the newer hook.
    std::optional<ScopedNTPlatformHook> older;
    older.emplace([] { return false; });
    {
        const ScopedNTPlatformHook newer([] { return false; });
        older.reset();
        QVERIFY(!IsNTPlatform());
    }
    QVERIFY(IsNTPlatform());
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
