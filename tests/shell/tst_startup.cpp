// Start-up on real databases: the settings file, the index check with its
// window, the opening of the database and the two failure messages.
#include "browser/Progres.h"
#include "browser/searchclass.h"
#include "common/testdb.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "framework/stringgrid.h"
#include "shell/LogoDlg.h"
#include "shell/Zil0.h"
#include "store/Zilidx00.h"
#include "store/indexfile.h"
#include "store/session.h"
#include "store/table.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <stdexcept>

using namespace zil;

class TestStartUp : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_template; // a synthetic database without index files
    QStringList m_messages;
    int m_next = 0;
    // The program file installed last, and the messages taken for the tests.
    std::optional<platform::ScopedProgramFilePathHook> m_programHook;
    std::optional<platform::ScopedMessageBoxHook> m_messageHook;

    // A fresh copy of the template database.
    QString freshDatabase(const QString &name = QString())
    {
        const QString dir
            = m_tmp.filePath(name.isEmpty() ? QStringLiteral("db%1").arg(m_next++) : name);
        QDir().mkpath(dir);
        for (const QString &f : QDir(m_template).entryList(QDir::Files))
            QFile::copy(m_template + "/" + f, dir + "/" + f);
        return dir;
    }

    // A program file named `program` in a directory of its own, with a
    // settings file beside it holding `settings` (none when null).
    QString installProgram(
        const QString &program, const QString &iniName, const QByteArray &settings)
    {
        const QString dir = m_tmp.filePath(QStringLiteral("prog%1").arg(m_next++));
        QDir().mkpath(dir);
        const QString path = dir + "/" + program;
        if (!settings.isNull()) {
            QFile f(dir + "/" + iniName);
            f.open(QIODevice::WriteOnly);
            f.write(settings);
        }
        m_programHook.emplace([path] { return path; });
        return dir;
    }

private slots:
    void initTestCase()
    {
        m_template = m_tmp.filePath("template");
        QVERIFY(test::makeSynthetic(m_template, 40));
        m_messageHook.emplace([this](platform::MessageKind, const QString &title,
                                  const QString &text) { m_messages << title + ": " + text; });
    }

    void init() { m_messages.clear(); }
    void cleanupTestCase()
    {
        m_messageHook.reset();
        m_programHook.reset();
    }

    void firstStartRebuildsAndOpens()
    {
        const QString db = freshDatabase();
        installProgram("zil", "zil.INI",
            "[Database]\nPath=" + db.toUtf8() + "\n[Help]\nFile Name=help.html\n");
        {
            TMainForm form;
            QVERIFY(form.StartUp());
            QCOMPARE(m_messages, QStringList());
            QCOMPARE(form.DatabasePath, db + "/");
            QCOMPARE(form.HelpFileName, QStringLiteral("help.html"));
            QVERIFY(QFile::exists(db + "/material.xg1"));

            // The index window stood 10 pixels below the splash, centred on it.
            QVERIFY(form.IndexForm);
            QVERIFY(form.IndexForm->isHidden());
            const QRect splash = form.LogoDialog->frameGeometry();
            QCOMPARE(form.IndexForm->pos().y(), splash.top() + splash.height() + 10);
            QCOMPARE(form.IndexForm->pos().x(),
                splash.left() + (splash.width() - form.IndexForm->frameGeometry().width()) / 2);
            QVERIFY(form.LogoDialog->isHidden());

            QCOMPARE(form.MaterialCount, 40);
            QVERIFY(form.SearchClass);
            QCOMPARE(form.SearchClass->SelectedCount, 40);
            QCOMPARE(form.MaterialGrid->rowCount(), 41);
            QCOMPARE(form.MaterialGrid->row(), 1);
            QCOMPARE(form.MaterialGrid->cell(0, 0), QStringLiteral("List of all materials (40)"));
            QCOMPARE(form.TableMaterial->fieldByName("id").asInteger(), 1);

            // The bound fields follow the current material and its first supplier.
            const QString first = form.TableMaterial->fieldByName("name").asString();
            QCOMPARE(form.DBName->text(), first);
            QCOMPARE(form.DBOccurence->toPlainText(),
                form.TableMaterial->fieldByName("occur").asString());
            form.MaterialGrid->setRow(7);
            QCOMPARE(form.DBName->text(), form.TableMaterial->fieldByName("name").asString());
            QVERIFY(form.DBName->text() != first);
            QCOMPARE(form.DBSupplierName->text(),
                form.TableSupplier->isEmpty() ? QString()
                                              : form.TableSupplier->fieldByName("name").asString());
            QCOMPARE(
                form.DBEditName->text(), form.TableSupplierName->fieldByName("name").asString());
        }

        // The next start finds the indexes and does not rebuild.
        TMainForm again;
        QVERIFY(again.StartUp());
        QVERIFY(!again.IndexForm);
    }

    void selectionNarrowsAndRestores()
    {
        const QString db = freshDatabase();
        installProgram("zil", "zil.INI", "[Database]\nPath=" + db.toUtf8() + "\n");
        TMainForm form;
        QVERIFY(form.StartUp());
        form.SearchClass->Predicate
            = [&] { return form.TableMaterialSelect->fieldByName("id").asInteger() % 10 == 0; };
        form.ApplySelection();
        QCOMPARE(form.SearchClass->SelectedCount, 4);
        QCOMPARE(form.MaterialGrid->rowCount(), 5);
        QVERIFY(form.GaugeWindow->isHidden());
        // Material 1 left the list: the first selected one is current.
        QCOMPARE(form.SearchClass->CurrentId, 10);
        QCOMPARE(form.TableMaterial->fieldByName("id").asInteger(), 10);
        form.MaterialGrid->setRow(3);
        form.RestoreAll();
        QCOMPARE(form.SearchClass->SelectedCount, 40);
        QCOMPARE(form.SearchClass->CurrentId, 30);
        QCOMPARE(form.MaterialGrid->row(), 30);
        QVERIFY(m_messages.isEmpty());
    }

    void settingsPath_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("iniName");
        QTest::addColumn<bool>("finalSeparator");
        QTest::newRow("without final separator") << "zil"
                                                 << "zil.INI" << false;
        QTest::newRow("with final separator") << "zil"
                                              << "zil.INI" << true;
        QTest::newRow("several full stops") << "zil.test.bin"
                                            << "zil.INI" << false;
        QTest::newRow("lower-case extension") << "zil"
                                              << "zil.ini" << true;
    }

    void settingsPath()
    {
        QFETCH(QString, program);
        QFETCH(QString, iniName);
        QFETCH(bool, finalSeparator);
        const QString db = freshDatabase();
        installProgram(program, iniName,
            "[database]\npath=" + db.toUtf8() + (finalSeparator ? "/" : "") + "\n");
        TMainForm form;
        QVERIFY(form.StartUp());
        QCOMPARE(form.DatabasePath, db + "/");
        QCOMPARE(form.ProgramBaseName, program.section('.', 0, 0));
        QVERIFY(form.HelpFileName.isEmpty());
    }

    void longPathIsKeptWhole()
    {
        const QString db = freshDatabase(QString(90, QLatin1Char('p')) + "/" + QString(40, 'q'));
        QVERIFY(db.size() > 130);
        installProgram("zil", "zil.INI", "[Database]\nPath=" + db.toUtf8() + "\n");
        TMainForm form;
        QVERIFY(form.StartUp());
        QCOMPARE(form.DatabasePath, db + "/");
    }

    // Without a settings file beside the program, the user's configuration
    // directory holds it; one beside the program comes first.
    void settingsInUserConfiguration()
    {
        const QString userDir = qEnvironmentVariable("XDG_CONFIG_HOME") + "/zil";
        QVERIFY(QDir().mkpath(userDir));
        const auto removeUserDir = qScopeGuard([&] { QDir(userDir).removeRecursively(); });
        const QString userDb = freshDatabase();
        QFile user(userDir + "/zil.INI");
        QVERIFY(user.open(QIODevice::WriteOnly));
        user.write("[Database]\nPath=" + userDb.toUtf8() + "\n");
        user.close();

        installProgram("zil", "zil.INI", QByteArray());
        {
            TMainForm form;
            QVERIFY(form.StartUp());
            QCOMPARE(form.SettingsFileName, userDir + "/zil.INI");
            QCOMPARE(form.DatabasePath, userDb + "/");
        }
        const QString db = freshDatabase();
        installProgram("zil", "zil.INI", "[Database]\nPath=" + db.toUtf8() + "\n");
        TMainForm form;
        QVERIFY(form.StartUp());
        QCOMPARE(form.DatabasePath, db + "/");
        QVERIFY(m_messages.isEmpty());
    }

    void missingSettings_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("no settings file") << QByteArray();
        QTest::newRow("no Path key") << QByteArray("[Database]\nOther=x\n[Help]\nFile Name=h\n");
        QTest::newRow("empty Path") << QByteArray("[Database]\nPath=\n");
    }

    void missingSettings()
    {
        QFETCH(QByteArray, settings);
        const QString dir = installProgram("zil", "zil.INI", settings);
        TMainForm form;
        QVERIFY(!form.StartUp());
        QCOMPARE(form.DatabasePath, QStringLiteral("/"));
        // The second line names the settings file that named no directory,
        // or, when there was none, every place where one was looked for.
        const QString tried = settings.isNull()
            ? "No settings file in any of these places:\n" + dir + "/zil.INI\n"
                + qEnvironmentVariable("XDG_CONFIG_HOME") + "/zil/zil.INI\n/etc/zil/zil.INI"
            : dir + "/zil.INI";
        QCOMPARE(m_messages, QStringList({"Error: Database not found or corrupted\n" + tried}));
        QVERIFY(!form.isVisible());
    }

    // An error outside the opening of the database ends start-up with the
    // fixed message and, on a second line, what went wrong.
    void internalErrorNamesItsReason()
    {
        m_programHook.emplace(
            []() -> QString { throw std::runtime_error("the program file cannot be located"); });
        TMainForm form;
        QVERIFY(!form.StartUp());
        QCOMPARE(m_messages,
            QStringList({"Error: Internal error - cannot start program\n"
                         "the program file cannot be located"}));
        QVERIFY(!form.isVisible());
        m_programHook.reset();
    }

    void databaseFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("material.db missing") << "missing";
        QTest::newRow("a table that is not a table") << "broken";
        QTest::newRow("empty MATERIAL.DB") << "empty";
        QTest::newRow("a gap in the material ids") << "gap";
    }

    void databaseFaults()
    {
        QFETCH(QString, fault);
        const QString db = freshDatabase();
        if (fault == "missing") {
            QVERIFY(QFile::remove(db + "/MATERIAL.DB"));
        } else if (fault == "broken") {
            store::indexDatabase(db); // no rebuild: the failure is the opening's
            QFile f(db + "/SYNON.DB");
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("this is no table");
        } else if (fault == "empty") {
            QVERIFY(test::execSql(db + "/MATERIAL.DB", "DELETE FROM material"));
        } else {
            QVERIFY(
                test::execSql(db + "/MATERIAL.DB", "UPDATE material SET id = 41 WHERE id = 40"));
        }
        installProgram("zil", "zil.INI", "[Database]\nPath=" + db.toUtf8() + "\n");
        TMainForm form;
        QVERIFY(!form.StartUp());
        if (fault == "missing")
            QVERIFY(!form.IndexForm); // nothing to rebuild without material.db
        // The second line names the directory tried.
        QCOMPARE(m_messages, QStringList({"Error: Database not found or corrupted\n" + db + "/"}));
        // Every cursor opened so far is closed again.
        QVERIFY(!form.TableSupplier->active());
        QVERIFY(!form.TableMaterialSelect->active());
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
