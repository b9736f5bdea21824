// The settings-file reader: lookups without regard to case, missing parts
// reading empty, files written on Windows, values kept whole, finding the
// file beside the program whatever the case of its name, and the order of the
// places a settings file is looked for.
#include "framework/settings.h"
#include "framework/settingsplaces.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <ini.h>

using zil::SettingsFile;

namespace {

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void sectionsAndKeysIgnoreCase();
    void missingPartsReadEmpty();
    void keyWithBlanks();
    void windowsFile();
    void valuesKeptWhole_data();
    void valuesKeptWhole();
    void longLineTailIsNoLine();
    void everyLineStandsAlone();
    void enclosingQuotesDropped_data();
    void enclosingQuotesDropped();
    void firstOccurrenceCounts();
    void encodings_data();
    void encodings();
    void overlongSectionNameIsNotCut();
    void loadingAgainReplacesValues();
    void inihOptionsAreRestored();

    void findsFileInAnyCase();
    void placesInOrder();

private:
    SettingsFile parse(const QByteArray &content);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

SettingsFile TestSettings::parse(const QByteArray &content)
{
    SettingsFile settings;
    const QString path = writeFile(m_dir->filePath(QStringLiteral("zil.INI")), content);
    if (!settings.load(path))
        qWarning("load failed");
    return settings;
}

void TestSettings::sectionsAndKeysIgnoreCase()
{
    const SettingsFile s = parse("[DataBase]\nPATH=/srv/zil/\n[help]\nfile name=zil.html\n");
    QCOMPARE(s.value("Database", "Path"), QStringLiteral("/srv/zil/"));
    QCOMPARE(s.value("DATABASE", "path"), QStringLiteral("/srv/zil/"));
    QCOMPARE(s.value("Help", "File Name"), QStringLiteral("zil.html"));
    QCOMPARE(s.value("HELP", "FILE NAME"), QStringLiteral("zil.html"));
}

void TestSettings::missingPartsReadEmpty()
{
    SettingsFile none;
    QVERIFY(!none.load(m_dir->filePath("absent.INI")));
    QCOMPARE(none.value("Database", "Path"), QString());

    // A directory is no settings file.
    QVERIFY(QDir(m_dir->path()).mkdir("dir.INI"));
    QVERIFY(!none.load(m_dir->filePath("dir.INI")));

    const SettingsFile s = parse("[Database]\nPath=/db\n[Other]\nFile Name=x\n");
    QCOMPARE(s.value("Help", "File Name"), QString());
    QCOMPARE(s.value("Database", "File Name"), QString());
    // A key of one section is not found in another.
    QCOMPARE(s.value("Other", "Path"), QString());
    QCOMPARE(s.value("", "Path"), QString());
}

void TestSettings::keyWithBlanks()
{
    const SettingsFile s = parse("[Help]\n  File Name  =  /opt/zil/help/zil.html  \n"
                                 "File   Name=spread\nFile Name Backup=other\n");
    QCOMPARE(s.value("Help", "File Name"), QStringLiteral("/opt/zil/help/zil.html"));
    QCOMPARE(s.value("Help", "File   Name"), QStringLiteral("spread"));
    QCOMPARE(s.value("Help", "File Name Backup"), QStringLiteral("other"));
}

void TestSettings::windowsFile()
{
    const SettingsFile s = parse("\xEF\xBB\xBF"
                                 "[Database]\r\n"
                                 "; where the tables are\r\n"
                                 "# another comment\r\n"
                                 "Path = C:\\Zil\\Data\\ \t\r\n"
                                 "\r\n"
                                 "[Help]\r\n"
                                 "File Name=C:\\Zil\\ZIL.HLP\r\n");
    QCOMPARE(s.value("Database", "Path"), QStringLiteral("C:\\Zil\\Data\\"));
    QCOMPARE(s.value("Help", "File Name"), QStringLiteral("C:\\Zil\\ZIL.HLP"));
    QCOMPARE(s.value("Database", "; where the tables are"), QString());

    // Lines ended by CR alone.
    const SettingsFile mac = parse("[Database]\rPath=/db\r[Help]\rFile Name=h\r");
    QCOMPARE(mac.value("Database", "Path"), QStringLiteral("/db"));
    QCOMPARE(mac.value("Help", "File Name"), QStringLiteral("h"));
}

void TestSettings::valuesKeptWhole_data()
{
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("semicolon after blank") << QByteArray("/data/zil ;copy/");
    QTest::newRow("hash") << QByteArray("/data/# 2/");
    QTest::newRow("equals signs") << QByteArray("/data/a=b=c/");
    QTest::newRow("colon") << QByteArray("C:\\Data:x\\");
    QTest::newRow("inner blanks") << QByteArray("/my  data/ zil /");
    QTest::newRow("300 characters") << QByteArray("/").append(QByteArray(298, 'q')).append('/');
    QTest::newRow("5000 characters with blanks") << QByteArray("/")
                                                        .append(QByteArray(2500, 'r'))
                                                        .append(" ; ")
                                                        .append(QByteArray(2496, 's'));
}

void TestSettings::valuesKeptWhole()
{
    QFETCH(QByteArray, value);
    const SettingsFile s = parse("[Database]\nPath=" + value + "\nAfter=1\n");
    QCOMPARE(s.value("Database", "Path"), QString::fromUtf8(value));
    QCOMPARE(s.value("Database", "After"), QStringLiteral("1"));
}

void TestSettings::longLineTailIsNoLine()
{
    // inih's default line buffer holds 199 bytes; what follows them would be
    // read as a line of its own. Both tails here are laid out to start right
    // there: one would open the section [Database], the other set its Path.
    const QByteArray helpLine = "File Name=/" + QByteArray(188, 'x');
    const QByteArray noteLine = "Note=" + QByteArray(194, 'y');
    QCOMPARE(helpLine.size(), 199);
    QCOMPARE(noteLine.size(), 199);
    const SettingsFile s = parse("[Help]\n" + helpLine
        + "[Database]\nPath=/in-help/\n"
          "[Database]\n"
        + noteLine + "Path=/forged/\n");
    QCOMPARE(s.value("Database", "Path"), QString());
    QCOMPARE(s.value("Help", "Path"), QStringLiteral("/in-help/"));
    QCOMPARE(s.value("Help", "File Name"), QString::fromUtf8(helpLine.mid(10) + "[Database]"));
    QCOMPARE(s.value("Database", "Note"), QString::fromUtf8(noteLine.mid(5) + "Path=/forged/"));
}

void TestSettings::everyLineStandsAlone()
{
    // An indented line is a key of its own, not more of the value above.
    const SettingsFile s
        = parse("[Database]\nNote=first\n    Path = /db/\n\t[Help]\n  File Name=h\n");
    QCOMPARE(s.value("Database", "Note"), QStringLiteral("first"));
    QCOMPARE(s.value("Database", "Path"), QStringLiteral("/db/"));
    QCOMPARE(s.value("Help", "File Name"), QStringLiteral("h"));
    // Lines of no known kind are skipped without harm to the rest.
    const SettingsFile junk
        = parse("rubbish\n[Database\nPath=/a/\n[ Help ]\n=nameless\nFile Name=h\n");
    QCOMPARE(junk.value("Help", "File Name"), QStringLiteral("h"));
    QCOMPARE(junk.value("Help", ""), QString());
}

void TestSettings::enclosingQuotesDropped_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("expected");

    QTest::newRow("double") << QByteArray("Path=\"/my data/\"") << QStringLiteral("/my data/");
    QTest::newRow("single") << QByteArray("Path = ' /x/ ' ") << QStringLiteral(" /x/ ");
    QTest::newRow("mismatched") << QByteArray("Path=\"/x/'") << QStringLiteral("\"/x/'");
    QTest::newRow("lone quote") << QByteArray("Path=\"") << QStringLiteral("\"");
}

void TestSettings::enclosingQuotesDropped()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, expected);
    const SettingsFile s = parse("[Database]\n" + line + "\n");
    QCOMPARE(s.value("Database", "Path"), expected);
}

void TestSettings::firstOccurrenceCounts()
{
    const SettingsFile s = parse("[Database]\nPath=/first/\npath=/second/\n"
                                 "[Help]\nFile Name=h\n[DATABASE]\nPath=/third/\nExtra=e\n");
    QCOMPARE(s.value("Database", "Path"), QStringLiteral("/first/"));
    // A repeated section adds its keys.
    QCOMPARE(s.value("Database", "Extra"), QStringLiteral("e"));
    // An empty value is a value.
    const SettingsFile e = parse("[Database]\nPath=\nPath=/later/\n");
    QCOMPARE(e.value("Database", "Path"), QString());
}

void TestSettings::encodings_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");

    const QString text = QStringLiteral("[Database]\r\nPath=/données/café/\r\n");
    const QString expected = QStringLiteral("/données/café/");
    QTest::newRow("UTF-8") << text.toUtf8() << expected;
    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << expected;
    QTest::newRow("Latin-1") << text.toLatin1() << expected;

    QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("UTF-16LE with mark") << QByteArray(utf16(text)) << expected;
}

void TestSettings::encodings()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    QCOMPARE(parse(content).value("Database", "Path"), expected);
}

void TestSettings::overlongSectionNameIsNotCut()
{
    // inih keeps 49 bytes of a section name; a longer one must not answer for
    // its first 49 bytes, nor stop the sections after it.
    const QByteArray cut(49, 'S');
    const SettingsFile s = parse(
        "[" + cut + "TAIL]\nPath=/wrong/\n[Database]\nPath=/right/\n[" + cut.left(48) + "]\nK=v\n");
    QCOMPARE(s.value(QString::fromLatin1(cut), "Path"), QString());
    QCOMPARE(s.value(QString::fromLatin1(cut + "TAIL"), "Path"), QString());
    QCOMPARE(s.value("Database", "Path"), QStringLiteral("/right/"));
    QCOMPARE(s.value(QString::fromLatin1(cut.left(48)), "K"), QStringLiteral("v"));
}

void TestSettings::loadingAgainReplacesValues()
{
    SettingsFile s;
    QVERIFY(s.load(writeFile(m_dir->filePath("a.INI"), "[Database]\nPath=/a/\nOnly=a\n")));
    QVERIFY(s.load(writeFile(m_dir->filePath("b.INI"), "[Database]\nPath=/b/\n")));
    QCOMPARE(s.value("Database", "Path"), QStringLiteral("/b/"));
    QCOMPARE(s.value("Database", "Only"), QString());
    QVERIFY(!s.load(m_dir->filePath("missing.INI")));
    QCOMPARE(s.value("Database", "Path"), QString());
}

void TestSettings::inihOptionsAreRestored()
{
    // Other users of inih in the process keep the options they set.
    const bool inlineComments = ini_allow_inline_comments;
    const bool multiline = ini_allow_multiline;
    const int maxLine = ini_max_line;
    const bool useStack = ini_use_stack;
    const bool realloc = ini_allow_realloc;
    parse("[Database]\nPath=/" + QByteArray(1000, 'x') + "\n");
    QCOMPARE(ini_allow_inline_comments, inlineComments);
    QCOMPARE(ini_allow_multiline, multiline);
    QCOMPARE(ini_max_line, maxLine);
    QCOMPARE(ini_use_stack, useStack);
    QCOMPARE(ini_allow_realloc, realloc);
}

void TestSettings::findsFileInAnyCase()
{
    const QString dir = m_dir->path();
    // Nothing of the name yet, only look-alikes: the exact name, which reads
    // as a missing file.
    QVERIFY(QDir(dir).mkdir("Zil.INI"));
    writeFile(dir + "/zil.ini.bak", "");
    writeFile(dir + "/zilch.INI", "");
    QCOMPARE(zil::findSettingsFile(dir, "zil"), QDir(dir).filePath("zil.INI"));

    writeFile(dir + "/ZIL.Ini", "[Database]\nPath=/other-case/\n");
    QCOMPARE(zil::findSettingsFile(dir, "zil"), QDir(dir).filePath("ZIL.Ini"));

    // The exact name wins over the others; a final separator changes nothing.
    writeFile(dir + "/zil.INI", "[Database]\nPath=/exact/\n");
    const QString found = zil::findSettingsFile(dir + "/", "zil");
    QCOMPARE(found, QDir(dir).filePath("zil.INI"));
    QCOMPARE(SettingsFile(found).value("Database", "Path"), QStringLiteral("/exact/"));
}

// Beside the program, then the user's configuration, then the machine's: the
// first place holding a file is read, whatever holds the later ones.
void TestSettings::placesInOrder()
{
    const QString root = m_dir->path();
    const QString program = root + "/bin", user = root + "/config", system = root + "/etc";
    const QStringList places = zil::settingsPlaces(program, "zil", user, system);
    QCOMPARE(places,
        QStringList({program + "/zil.INI", user + "/zil/zil.INI", system + "/zil/zil.INI"}));
    // A configuration directory that is not set or not absolute is no place.
    QCOMPARE(zil::settingsPlaces(program, "zil", "", "etc"), QStringList({program + "/zil.INI"}));

    QVERIFY(
        QDir().mkpath(program) && QDir().mkpath(user + "/zil") && QDir().mkpath(system + "/zil"));
    QCOMPARE(zil::firstSettingsFile(places), QString());
    writeFile(system + "/zil/zil.INI", "");
    QCOMPARE(zil::firstSettingsFile(places), system + "/zil/zil.INI");
    // A directory at a place holds no settings file; a name in another case
    // does, as beside the program.
    QVERIFY(QDir().mkpath(user + "/zil/zil.INI"));
    writeFile(user + "/zil/ZIL.ini", "");
    QCOMPARE(zil::firstSettingsFile(places), user + "/zil/ZIL.ini");
    writeFile(program + "/zil.INI", "");
    QCOMPARE(zil::firstSettingsFile(places), program + "/zil.INI");
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
