// Databases whose data break what the program relies on, written into good
// table files afterwards as another program would: material ids that are not
// 1..N, links and synonyms that name no record, and names and texts holding
// markup, control characters, bytes that are no UTF-8 or a megabyte of text.
// A database the list cannot show right is refused with the fixed message;
// any other is shown as it is stored, and every view, scan and sheet works.
#include "browser/linkdb.h"
#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "common/testdb.h"
#include "framework/datagrid.h"
#include "platform/printing.h"
#include "framework/stringgrid.h"
#include "reports/pdftext.h"
#include "shell/Zil0.h"
#include "store/indexfile.h"
#include "store/table.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include "browser/Search.h"

using namespace zil;

namespace {

const QString kNotFound = QStringLiteral("Error: Database not found or corrupted");
const QString kMarkup = QStringLiteral("<b>Bold</b> &amp; <img src=\"x.png\"> <a href=\"y\">z</a>");
constexpr int kMegabyte = 1 << 20;

QList<test::SourceMaterial> materials()
{
    return {
        {"1", "Anethole", "104-46", "2086", "", "Anise.", "Sweet.", "Drinks.", "",
            {"Anise camphor"}},
        {"2", "Benzaldehyde", "100-52", "2127", "", "Almonds.", "Almond.", "Cherry.", "", {}},
        {"3", "Citral", "5392-40", "2303", "", "Lemongrass.", "Lemon.", "Citrus.", "", {}},
        {"4", "Damascone", "23726-91", "3243", "", "Rose.", "Fruity.", "Traces.", "", {}},
        {"5", "Eugenol", "97-53", "2467", "", "Clove.", "Spicy.", "Spice.", "", {}},
    };
}

QList<test::SourceSupplier> suppliers()
{
    return {{10, "Zeta Oils", "1 Road", "Rotterdam", "Netherlands", "+31"},
        {20, "Mid Chem", "3 Street", "Leeds", "United Kingdom", "+44"}};
}

QList<test::SourceLink> links()
{
    return {{"1", 10}, {"2", 20}, {"3", 10}, {"5", 20}};
}

} // namespace

class TestBadData : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;
    QString m_good; // the five materials, not yet indexed
    int m_next = 0;

    QString copyOfGood()
    {
        const QString dir = m_tmp.filePath(QStringLiteral("db%1").arg(m_next++));
        QDir().mkpath(dir);
        for (const QString &f : QDir(m_good).entryList(QDir::Files))
            QFile::copy(m_good + "/" + f, dir + "/" + f);
        return dir;
    }

    bool sql(const QString &db, const char *table, const QString &statement)
    {
        return test::execSql(test::tableFile(db, QString::fromLatin1(table)), statement);
    }

    QString savePdf(TMainForm *form, const QString &name)
    {
        const QString path = m_tmp.filePath(name);
        const platform::ScopedSaveFileHook answer(
            [path](const QString &, const QString &) { return path; });
        form->MenuSavePdf->trigger();
        return path;
    }

private slots:
    void initTestCase()
    {
        m_good = m_tmp.filePath("good");
        QVERIFY(
            test::makeDatabase(m_tmp.filePath("src"), m_good, materials(), suppliers(), links()));
    }

    // Ids the list cannot walk: refused at opening, whether the damage was
    // there before the indexes were built or came after.
    void brokenIdsAreRefused_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("indexedBefore");
        const QList<std::pair<const char *, QString>> cases {
            {"id 0", "UPDATE material SET id = 0 WHERE id = 1"},
            {"negative id", "UPDATE material SET id = -3 WHERE id = 3"},
            {"id beyond the count", "UPDATE material SET id = 2147483647 WHERE id = 5"},
            {"id beyond 32 bits", "UPDATE material SET id = 4294967297 WHERE id = 5"},
            {"duplicate id", "UPDATE material SET id = 2 WHERE id = 3"},
            {"ids out of name order", "UPDATE material SET id = 6 - id"},
            {"id missing", "UPDATE material SET id = NULL WHERE id = 4"},
            {"id that is text", "UPDATE material SET id = 'four' WHERE id = 4"},
            {"no materials", "DELETE FROM material"},
        };
        for (const auto &[name, statement] : cases) {
            QTest::addRow("%s, rebuilt", name) << statement << false;
            QTest::addRow("%s, indexed before", name) << statement << true;
        }
    }

    void brokenIdsAreRefused()
    {
        QFETCH(QString, statement);
        QFETCH(bool, indexedBefore);
        const QString db = copyOfGood();
        if (indexedBefore)
            store::indexDatabase(db);
        QVERIFY(sql(db, "MATERIAL.DB", statement));
        test::RunningApp app;
        QVERIFY(!app.start(db));
        // A rebuild may first report the table whose primary key it cannot
        // make unique; the opening always ends it.
        QVERIFY(!app.messages.isEmpty());
        QCOMPARE(app.messages.last(), kNotFound + "\n" + db + "/");
        for (int i = 0; i + 1 < app.messages.size(); ++i)
            QCOMPARE(app.messages[i], QStringLiteral("Error: Cannot reindex file:material.db"));
        QVERIFY(!app->isVisible());
    }

    // Everything odd at once in one database that keeps its ids right.
    void oddDataIsShownAsStored()
    {
        const QString db = copyOfGood();
        const QByteArray big = QByteArray(kMegabyte - 8, 'w') + " ZANZIBAR";
        QVERIFY(sql(db, "MATERIAL.DB",
            QStringLiteral("UPDATE material SET name = '%1', occur = '%1' WHERE id = 1")
                .arg(QString(kMarkup).replace("'", "''"))));
        QVERIFY(sql(db, "MATERIAL.DB",
            "UPDATE material SET name = 'Benz' || char(1) || char(7) || char(27) || '[31m' || "
            "char(9) || 'x', flavor = 'line' || char(13) || 'two' || char(0) || 'three', "
            "cas = char(8) || '100-52-7' WHERE id = 2"));
        QVERIFY(sql(db, "MATERIAL.DB",
            "UPDATE material SET name = CAST(X'436974FF72C328616C' AS TEXT), "
            "flavor = X'FFFE80414243', applic = NULL, liter = X'' WHERE id = 3"));
        QVERIFY(sql(db, "MATERIAL.DB",
            "UPDATE material SET occur = '" + QString::fromLatin1(big) + "', name = '"
                + QString(kMegabyte, QLatin1Char('D')) + "' WHERE id = 4"));
        QVERIFY(sql(db, "SYNON.DB",
            "INSERT INTO synon (name, materialid, pos, sf) VALUES ('<i>Orphan</i>', 999, 1, "
            "'ORPHAN'), ('Syn' || char(0) || 'onym', 5, 1, 'SYN'), ('"
                + kMarkup
                + "', 1, 9, "
                  "'MARKUP')"));
        QVERIFY(sql(db, "MATSUPP.DB",
            "INSERT INTO matsupp (materialid, supplierid) VALUES (4, 99), (999, 10), (-1, 20)"));
        QVERIFY(sql(db, "SUPPLIER.DB",
            QStringLiteral("UPDATE supplier SET name = '%1', address = '%2' WHERE id = 20")
                .arg(QString(kMarkup).replace("'", "''"), QString(kMegabyte, QLatin1Char('A')))));

        test::RunningApp app;
        QVERIFY(app.start(db));
        app.show();
        TMainForm *f = app.form();
        QCOMPARE(f->MaterialCount, 5);

        // Markup is text: the fields show it character for character.
        f->MaterialGrid->setRow(1);
        QCOMPARE(f->DBName->text(), kMarkup);
        QCOMPARE(f->DBOccurence->toPlainText(), kMarkup);
        QVERIFY(f->synonyms->toPlainText().contains(kMarkup));

        // Control characters and bytes that are no UTF-8 are shown as read,
        // the latter as replacement characters.
        f->MaterialGrid->setRow(2);
        QVERIFY(f->DBName->text().startsWith(QStringLiteral("Benz\x01\x07")));
        QVERIFY(f->DBFlavour->toPlainText().startsWith(QStringLiteral("line")));
        f->MaterialGrid->setRow(3);
        QVERIFY(f->DBName->text().contains(QChar::ReplacementCharacter));
        QVERIFY(f->DBFlavour->toPlainText().endsWith(QStringLiteral("ABC")));
        QVERIFY(f->DBApplication->toPlainText().isEmpty());

        // A megabyte of text is shown whole; its supplier link names no
        // supplier, so the supplier fields are empty.
        f->MaterialGrid->setRow(4);
        QCOMPARE(f->DBOccurence->toPlainText().size(), big.size());
        // A line edit holds the name's first 32767 characters.
        QVERIFY(f->DBName->text().startsWith(QStringLiteral("DDDD")));
        QCOMPARE(f->DBSupplierName->text(), QString());
        QVERIFY(!f->grab().isNull());

        // Each sheet prints, the long ones over as many pages as they need.
        for (int row = 1; row <= 5; ++row) {
            f->MaterialGrid->setRow(row);
            const QString pdf = savePdf(f, QStringLiteral("material%1.pdf").arg(row));
            QVERIFY2(test::pdfPageCount(pdf) >= 1, qPrintable(pdf));
        }
        const auto marked = test::pdfLines(m_tmp.filePath("material1.pdf"));
        QVERIFY(!marked.isEmpty());
        QVERIFY(marked.first().join('\n').contains(QStringLiteral("<b>Bold</b> &amp;")));

        // The criteria scan reads every memo to its end.
        f->SearchWindow->Occurence->setText(QStringLiteral("zanzibar"));
        f->ApplySelection();
        QCOMPARE(app.messages, QStringList());
        QCOMPARE(f->SearchClass->SelectedCount, 1);
        QCOMPARE(f->TableMaterial->fieldByName("id").asInteger(), 4);
        f->SearchWindow->Occurence->clear();
        // A synonym of no material selects nothing: the warning, then all
        // materials again.
        f->SearchWindow->Material->setText(QStringLiteral("orphan"));
        f->ApplySelection();
        QCOMPARE(app.messages.size(), 1);
        QVERIFY(app.messages.first().startsWith("Warning: "));
        QCOMPARE(f->SearchClass->SelectedCount, 5);
        f->SearchWindow->Material->clear();

        // The supplier tab: a supplier whose links name missing materials
        // shows them as rows without a name, and its sheet prints.
        f->MainTabNotebook->setCurrentIndex(1);
        f->EditSupplierName->setText(QStringLiteral("<b>"));
        QCOMPARE(f->DBEditName->text(), kMarkup);
        QVERIFY(f->DBEditAddress->text().startsWith(QStringLiteral("AAAA")));
        const QStringList names = test::drawnRows(
            f->MaterialGrid2, [f](QPainter &p, const QRect &r, const framework::CellField &c) {
                f->MaterialGrid2DrawDataCell(p, r, c);
            });
        QVERIFY(names.contains(QString()));
        QVERIFY(test::pdfPageCount(savePdf(f, "supplier20.pdf")) >= 1);
        f->EditSupplierName->setText(QStringLiteral("Zeta"));
        QVERIFY(test::pdfPageCount(savePdf(f, "supplier10.pdf")) >= 1);
    }
};

QTEST_MAIN(TestBadData)
#include "tst_baddata.moc"
