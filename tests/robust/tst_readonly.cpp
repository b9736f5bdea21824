// Database directories the program may not write to, and index files the
// rebuild can neither delete nor create. The program then reads what it can,
// reports a rebuild that fails with its fixed messages, and changes nothing.
//
// A read-only directory is made with the permission bits; as root, which
// they do not bind, the program runs as the unprivileged user "nobody".
// Entries the rebuild cannot delete or create are directories standing
// where index files belong, which bind root as well.
#include "common/appfixture.h"
#include "common/testdb.h"
#include "store/indexfile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace zil;

namespace {

const QString kNotFound = QStringLiteral("Error: Database not found or corrupted");

// Each entry of a directory with a digest of its content ("-" for a
// directory).
QMap<QString, QByteArray> snapshot(const QString &dir)
{
    QMap<QString, QByteArray> entries;
    for (const QFileInfo &info :
        QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        QByteArray digest = "-";
        QFile f(info.filePath());
        if (info.isFile() && f.open(QIODevice::ReadOnly))
            digest = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
        entries.insert(info.fileName(), digest);
    }
    return entries;
}

} // namespace

class TestReadOnly : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_driver; // a copy that "nobody" may run
    int m_next = 0;

    QString database(bool indexed)
    {
        const QString dir = m_tmp.filePath(QStringLiteral("db%1").arg(m_next++));
        if (!test::makeSynthetic(dir, 30))
            return QString();
        if (!indexed)
            store::deleteOldIndexFiles(dir);
        return dir;
    }

    // Runs the driver program on db with the directory read-only for it;
    // returns its output, commands answered.
    QStringList runReadOnly(const QString &db, const QStringList &commands)
    {
        const QString prog = m_tmp.filePath(QStringLiteral("prog%1").arg(m_next++));
        QDir().mkpath(prog);
        QFile ini(prog + "/zil.INI");
        if (!ini.open(QIODevice::WriteOnly))
            return {};
        ini.write("[Database]\nPath=" + db.toUtf8() + "\n");
        ini.close();
        QFile::setPermissions(prog,
            QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther
                | QFile::ReadGroup | QFile::ExeGroup);
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(db, readOnly);

        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", m_tmp.path());
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        if (::geteuid() == 0)
            p.start("setpriv",
                {"--reuid=65534", "--regid=65534", "--clear-groups", "--", m_driver,
                    prog + "/zil"});
        else
            p.start(m_driver, {prog + "/zil"});
        p.waitForStarted(-1);
        for (const QString &c : commands)
            p.write(c.toUtf8() + '\n');
        p.closeWriteChannel();
        p.waitForFinished(-1);
        QFile::setPermissions(db, readOnly | QFile::WriteOwner);
        return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QFile::setPermissions(m_tmp.path(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                | QFile::ExeOther | QFile::ReadGroup | QFile::ExeGroup);
        m_driver = m_tmp.filePath("zil-driver");
        QVERIFY(QFile::copy(qEnvironmentVariable("ZIL_DRIVER"), m_driver));
        if (::geteuid() == 0 && QStandardPaths::findExecutable("setpriv").isEmpty())
            QSKIP("running as root without setpriv: a read-only directory cannot be made");
    }

    // Indexed already: the program opens it and reads, and neither writes
    // nor needs a lock file.
    void readOnlyIndexedDirectoryOpens()
    {
        const QString db = database(true);
        const auto before = snapshot(db);
        const QStringList out = runReadOnly(db, {"row 5", "search b", "restore"});
        QCOMPARE(out.value(0), QStringLiteral("started"));
        QVERIFY(out.value(1).startsWith("current 5|"));
        QVERIFY(out.value(2).startsWith("current "));
        QVERIFY(out.value(3).endsWith("|List of all materials (30)|30"));
        QCOMPARE(out.size(), 4);
        QCOMPARE(snapshot(db), before);
    }

    // Not yet indexed: the rebuild cannot write and says so; the start ends
    // with the fixed message.
    void readOnlyDirectoryCannotBeIndexed()
    {
        const QString db = database(false);
        const auto before = snapshot(db);
        const QStringList out = runReadOnly(db, {});
        QCOMPARE(out,
            QStringList({"message Error: Cannot reindex file:supplier.db",
                "message " + kNotFound + "\\n" + db + "/", "failed"}));
        QCOMPARE(snapshot(db), before);
    }

    // Entries in the way of the rebuild: a directory named as an index file
    // can be neither deleted nor replaced by one. The rebuild reports the
    // table whose index it could not create, builds what it can, and the
    // start ends with the fixed message; table files stay as they were.
    void entriesInTheWay_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("table");
        QTest::newRow("first index of the first table") << "supplier.px"
                                                        << "supplier.db";
        QTest::newRow("name index of the materials") << "material.xg1"
                                                     << "material.db";
        QTest::newRow("link index of the synonyms") << "synon.xg0"
                                                    << "synon.db";
    }

    void entriesInTheWay()
    {
        QFETCH(QString, entry);
        QFETCH(QString, table);
        const QString db = database(false);
        QVERIFY(QDir(db).mkdir(entry));
        QFile::copy(QStringLiteral("/dev/null"), db + "/" + entry + "/keep");
        QMap<QString, QByteArray> tables;
        for (const QString t : {"MATERIAL.DB", "SYNON.DB", "SUPPLIER.DB", "MATSUPP.DB"})
            tables.insert(t, snapshot(db).value(t));

        test::RunningApp app;
        QVERIFY(!app.start(db));
        QCOMPARE(app.messages,
            QStringList({"Error: Cannot reindex file:" + table, kNotFound + "\n" + db + "/"}));
        QVERIFY(QFileInfo(db + "/" + entry).isDir());
        const auto after = snapshot(db);
        for (auto it = tables.cbegin(); it != tables.cend(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    }
};

QTEST_MAIN(TestReadOnly)
#include "tst_readonly.moc"
