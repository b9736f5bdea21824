// Start-up with settings files as users and other programs leave them: empty,
// binary or huge files, other line ends and encodings, repeated sections and
// keys, and database paths with blanks, accented letters and either kind of
// final separator. Each start ends on the main window with the data of the
// named directory, or with the fixed message and no main window.
#include "common/testdb.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "store/indexfile.h"
#include "store/table.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace zil;

namespace {

const QString kNotFound = QStringLiteral("Error: Database not found or corrupted");

} // namespace

class TestSettingsFiles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_template; // 40 materials, indexed
    QStringList m_messages;
    QString m_ini; // the settings file of the program installed last
    int m_next = 0;
    // The program file installed last, and the messages taken for the tests.
    std::optional<platform::ScopedProgramFilePathHook> m_programHook;
    std::optional<platform::ScopedMessageBoxHook> m_messageHook;

    // A copy of the template database in a directory of the given name.
    QString databaseIn(const QString &name)
    {
        const QString dir = m_tmp.filePath(QStringLiteral("d%1/").arg(m_next++) + name);
        if (!QDir().mkpath(dir))
            return QString();
        for (const QString &f : QDir(m_template).entryList(QDir::Files))
            QFile::copy(m_template + "/" + f, dir + "/" + f);
        return dir;
    }

    // Puts a program file "zil" in a directory of its own, with the settings
    // file beside it written by `write`.
    void installProgram(const std::function<bool(QFile &)> &write)
    {
        const QString dir = m_tmp.filePath(QStringLiteral("prog%1").arg(m_next++));
        QDir().mkpath(dir);
        m_ini = dir + "/zil.INI";
        QFile ini(m_ini);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        QVERIFY(write(ini));
        ini.close();
        const QString program = dir + "/zil";
        m_programHook.emplace([program] { return program; });
    }

    // Starts the program; true when it reached the main window on the 40
    // materials of the template.
    bool startsOnTemplateData(TMainForm &form)
    {
        if (!form.StartUp())
            return false;
        return form.MaterialCount == 40 && form.MaterialGrid->rowCount() == 41
            && form.TableMaterial->fieldByName("id").asInteger() == 1
            && form.DBName->text() == form.TableMaterial->fieldByName("name").asString();
    }

private slots:
    void initTestCase()
    {
        m_template = m_tmp.filePath("template");
        QVERIFY(test::makeSynthetic(m_template, 40));
        store::indexDatabase(m_template);
        m_messageHook.emplace([this](platform::MessageKind, const QString &title,
                                  const QString &text) { m_messages << title + ": " + text; });
    }

    void init() { m_messages.clear(); }

    void cleanupTestCase()
    {
        m_messageHook.reset();
        m_programHook.reset();
    }

    // Text files that name the database in one way or another: every one
    // opens it. @DB@ stands for the directory's path.
    void readableSettings_data()
    {
        QTest::addColumn<QString>("dirName");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("encoding");
        QTest::newRow("no final newline") << "db" << QByteArray("[Database]\nPath=@DB@") << "";
        QTest::newRow("UTF-8 byte order mark")
            << "db" << QByteArray("\xEF\xBB\xBF[Database]\nPath=@DB@\n") << "";
        QTest::newRow("CRLF line ends")
            << "db" << QByteArray("[Database]\r\nPath=@DB@\r\n[Help]\r\nFile Name=h.html\r\n")
            << "";
        QTest::newRow("CR line ends") << "db" << QByteArray("[Database]\rPath=@DB@\r") << "";
        QTest::newRow("UTF-16 with byte order mark")
            << "Düfte" << QByteArray("[Database]\r\nPath=@DB@\r\n") << "utf16";
        QTest::newRow("Latin-1 accented letters")
            << "Arômes et Düfte" << QByteArray("[Database]\nPath=@DB@\n") << "latin1";
        QTest::newRow("blanks in the path")
            << "my flavour data" << QByteArray("[Database]\nPath=@DB@\n") << "";
        QTest::newRow("blanks around the value")
            << "data base" << QByteArray("[Database]\n  Path  =   @DB@   \n") << "";
        QTest::newRow("accented and other letters")
            << "Arômes Düfte 香料 ароматы" << QByteArray("[Database]\nPath=@DB@\n") << "";
        QTest::newRow("final slash") << "db" << QByteArray("[Database]\nPath=@DB@/\n") << "";
        QTest::newRow("final backslash") << "db" << QByteArray("[Database]\nPath=@DB@\\\n") << "";
        QTest::newRow("backslashes throughout")
            << "db" << QByteArray("[Database]\nPath=@DB@\\\n") << "backslashes";
        QTest::newRow("blanks and a final backslash")
            << "old data" << QByteArray("[Database]\nPath=@DB@\\\n") << "";
        QTest::newRow("key repeated: the first counts")
            << "db" << QByteArray("[Database]\nPath=@DB@\nPath=/nowhere\n") << "";
        QTest::newRow("section repeated: its keys join the first")
            << "db"
            << QByteArray("[Database]\nOther=1\n[Help]\nFile Name=h\n[DATABASE]\npath=@DB@\n")
            << "";
        QTest::newRow("section repeated: the first Path counts")
            << "db" << QByteArray("[Database]\nPath=@DB@\n[Database]\nPath=/nowhere\n") << "";
        QTest::newRow("junk lines and NUL-free binary before the section")
            << "db" << QByteArray("\x01\x02\xff\xfe garbage\n=\n[\n]]\n[Database]\nPath=@DB@\n")
            << "";
    }

    void readableSettings()
    {
        QFETCH(QString, dirName);
        QFETCH(QByteArray, text);
        QFETCH(QString, encoding);
        const QString db = databaseIn(dirName);
        QVERIFY(!db.isEmpty());
        QString path = db;
        if (encoding == "backslashes")
            path.replace('/', '\\');
        QString content = QString::fromUtf8(text);
        installProgram([&](QFile &f) {
            if (encoding == "utf16") {
                content.replace("@DB@", path);
                QStringEncoder enc(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
                return f.write(enc(content)) > 0;
            }
            QByteArray bytes = text;
            bytes.replace("@DB@", encoding == "latin1" ? path.toLatin1() : path.toUtf8());
            return f.write(bytes) == bytes.size();
        });
        TMainForm form;
        QVERIFY(startsOnTemplateData(form));
        QCOMPARE(m_messages, QStringList());
        QCOMPARE(form.DatabasePath, db + "/");
    }

    // Files that name no usable directory: start-up ends with the fixed
    // message, without the main window. Its second line names the directory
    // tried, or the settings file (@INI@) when that names none.
    void unusableSettings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("tried");
        QTest::newRow("empty file") << QByteArray("") << "@INI@";
        QTest::newRow("only a byte order mark") << QByteArray("\xEF\xBB\xBF") << "@INI@";
        QTest::newRow("section without keys") << QByteArray("[Database]\n") << "@INI@";
        QTest::newRow("key outside any section") << QByteArray("Path=@DB@\n") << "@INI@";
        QTest::newRow("key in another section")
            << QByteArray("[Data base]\nPath=@DB@\n") << "@INI@";
        QTest::newRow("value cut by a NUL byte")
            << QByteArray("[Database]\nPath=/\0@DB@\n", 23) << "/";
        QTest::newRow("path of a file, not a directory")
            << QByteArray("[Database]\nPath=@DB@/MATERIAL.DB\n") << "@DB@/MATERIAL.DB/";
        QTest::newRow("a path of 64 KiB") << QByteArray("[Database]\nPath=@DB@/")
                + QByteArray(1 << 16, 'x') << "@DB@/" + QString(1 << 16, 'x') + "/";
    }

    void unusableSettings()
    {
        QFETCH(QByteArray, text);
        const QString db = databaseIn("db");
        installProgram([&](QFile &f) {
            QByteArray bytes = text;
            bytes.replace("@DB@", db.toUtf8());
            return f.write(bytes) == bytes.size();
        });
        QFETCH(QString, tried);
        tried.replace("@INI@", m_ini).replace("@DB@", db);
        TMainForm form;
        QVERIFY(!form.StartUp());
        QCOMPARE(m_messages, QStringList({kNotFound + "\n" + tried}));
        QVERIFY(!form.isVisible());
    }

    // Random bytes, NULs among them: read as text that names nothing.
    void binaryFile()
    {
        QRandomGenerator random(7);
        for (int round = 0; round < 20; ++round) {
            m_messages.clear();
            QByteArray bytes(4096 + round * 997, Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
            installProgram([&](QFile &f) { return f.write(bytes) == bytes.size(); });
            TMainForm form;
            QVERIFY(!form.StartUp());
            QCOMPARE(m_messages, QStringList({kNotFound + "\n" + m_ini}));
        }
    }

    // Twenty megabytes of other sections, comments and one line of a
    // megabyte before the database's section: the path at the end is found.
    void enormousFile()
    {
        const QString db = databaseIn("db");
        installProgram([&](QFile &f) {
            QByteArray block;
            for (int i = 0; i < 1000; ++i)
                block += "; comment line " + QByteArray::number(i) + "\nKey" + QByteArray::number(i)
                    + "=value of some length to fill the file\n";
            for (int i = 0; i < 300; ++i) {
                if (f.write("[Section" + QByteArray::number(i) + "]\n") < 0 || f.write(block) < 0)
                    return false;
            }
            return f.write("[Other]\nLong=" + QByteArray(1 << 20, 'y') + "\n") > 0
                && f.write("[Database]\nPath=" + db.toUtf8() + "\n") > 0 && f.size() > 20'000'000;
        });
        TMainForm form;
        QVERIFY(startsOnTemplateData(form));
        QCOMPARE(form.DatabasePath, db + "/");
    }

    // A file larger than any settings file can sensibly be is not read: it
    // counts as missing, though its first line names the database.
    void tooLargeFile()
    {
        const QString db = databaseIn("db");
        installProgram([&](QFile &f) {
            return f.write("[Database]\nPath=" + db.toUtf8() + "\n") > 0 && f.resize(300 << 20);
        });
        TMainForm form;
        QVERIFY(!form.StartUp());
        QCOMPARE(m_messages, QStringList({kNotFound + "\n" + m_ini}));
    }

    // A directory where the settings file should be reads as a missing file:
    // the message names every place where one was looked for.
    void settingsFileIsADirectory()
    {
        const QString dir = m_tmp.filePath(QStringLiteral("prog%1").arg(m_next++));
        QVERIFY(QDir().mkpath(dir + "/zil.INI"));
        const QString program = dir + "/zil";
        m_programHook.emplace([program] { return program; });
        TMainForm form;
        QVERIFY(!form.StartUp());
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages.first().startsWith(
            kNotFound + "\nNo settings file in any of these places:\n" + dir + "/zil.INI\n"));
    }
};

QTEST_MAIN(TestSettingsFiles)
#include "tst_settingsfiles.moc"
