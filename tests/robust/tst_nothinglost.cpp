// Nothing in the database directory is lost or changed by using the program:
// every operation is driven on a plain and on a protected database that
// share their directory with files of other programs, and afterwards every
// table file and every other file is as it was. Only index files, and the
// lock files through which workstations share the tables, are created, and
// only index files are deleted.
#include "browser/Search.h"
#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "common/testdb.h"
#include "framework/datagrid.h"
#include "framework/stringgrid.h"
#include "platform/printing.h"
#include "shell/Zil0.h"
#include "store/indexfile.h"
#include "store/table.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace zil;

namespace {

QMap<QString, QByteArray> checksums(const QString &dir)
{
    QMap<QString, QByteArray> sums;
    for (const QFileInfo &info : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile f(info.filePath());
        if (!f.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(info.filePath()));
        sums.insert(info.fileName(),
            QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
    }
    return sums;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// The files the program may add: the index files and lock files of the four
// tables, Find's search data, and the lock that lets one workstation at a
// time rebuild indexes.
const QRegularExpression kProgramFile(
    QStringLiteral(
        "^((material|synon|supplier|matsupp)\\.(px|xg\\d+|lck)|material\\.xfd|zilindex\\.lck)$"),
    QRegularExpression::CaseInsensitiveOption);

void selectRow(framework::DataGrid *grid, int row)
{
    if (grid->model()->rowCount() > row)
        grid->setCurrentIndex(grid->model()->index(row, 0));
}

} // namespace

class TestNothingLost : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    void saveSheet(TMainForm *f, const QString &name)
    {
        const QString path = m_tmp.filePath(name);
        const platform::ScopedSaveFileHook answer(
            [path](const QString &, const QString &) { return path; });
        f->MenuSavePdf->trigger();
        QVERIFY2(QFileInfo(path).size() > 0, qPrintable(name));
    }

private slots:
    void everyOperationKeepsTheFiles_data()
    {
        QTest::addColumn<bool>("protect");
        QTest::newRow("plain") << false;
        QTest::newRow("protected") << true;
    }

    void everyOperationKeepsTheFiles()
    {
        QFETCH(bool, protect);
        const QString db = m_tmp.filePath(protect ? "protected" : "plain");
        QVERIFY(test::makeSynthetic(db, 60, protect));
        // Without the index files the maker wrote, so that the start rebuilds.
        store::deleteOldIndexFiles(db);
        // Files of other programs, some of them matching the patterns of
        // old index files.
        writeFile(db + "/prices.xls", "supplier prices");
        writeFile(db + "/notes.txt", "read me");
        writeFile(db + "/backup.val", "values");
        writeFile(db + "/photo.px", "picture");
        writeFile(db + "/Stock list.x01", "stock");
        const QMap<QString, QByteArray> before = checksums(db);

        {
            test::RunningApp app;
            QVERIFY(app.start(db));
            app.show();
            TMainForm *f = app.form();
            QVERIFY(f->IndexForm); // the start rebuilt the indexes
            QCOMPARE(f->MaterialCount, 60);

            // The material list: search, navigation, both orders.
            f->SearchField->setText(QStringLiteral("c"));
            f->SearchField->setText(QStringLiteral("ci"));
            for (QPushButton *b : {f->LastButton, f->PriorButton, f->FirstButton, f->NextButton})
                b->click();
            f->OrderButton->click();
            f->SearchField->setText(QStringLiteral("1"));
            f->OrderButton->click();
            for (int row = 1; row <= 60; row += 7)
                f->MaterialGrid->setRow(row);

            // The detail pane and its supplier list.
            f->DetailTabNotebook->setCurrentIndex(1);
            selectRow(f->SupplierGrid, 1);
            f->SupplierGridDblClick();
            f->HideShowButtonClick();
            f->HideShowButtonClick();
            f->DetailTabNotebook->setCurrentIndex(0);

            // Criteria, then all materials again.
            f->SearchWindow->Material->setText(QStringLiteral("a"));
            f->SearchWindow->Occurence->setText(QStringLiteral("e"));
            f->ApplySelection();
            QVERIFY(f->SearchClass->SelectedCount < 60);
            f->SearchWindow->Material->clear();
            f->SearchWindow->Occurence->clear();
            f->RestoreAll();
            QCOMPARE(f->SearchClass->SelectedCount, 60);

            // The material sheet, then the supplier tab and its sheet.
            saveSheet(f, "material.pdf");
            f->SelectMainPage(1);
            f->EditSupplierName->setText(QStringLiteral("b"));
            f->NavigateSuppliers(QStringLiteral("next"));
            f->NavigateSuppliers(QStringLiteral("last"));
            f->NavigateSuppliers(QStringLiteral("first"));
            selectRow(f->MaterialGrid2, 1);
            f->MaterialGrid2DblClick();
            saveSheet(f, "supplier.pdf");
            f->SelectMainPage(0);
            QVERIFY(!f->grab().isNull());
            QCOMPARE(app.messages, QStringList());
        }

        const QMap<QString, QByteArray> after = checksums(db);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
        for (const QString &name : after.keys()) {
            if (!before.contains(name))
                QVERIFY2(kProgramFile.match(name).hasMatch(), qPrintable(name));
        }
        QVERIFY(after.contains(QStringLiteral("material.xg1")));
    }
};

QTEST_MAIN(TestNothingLost)
#include "tst_nothinglost.moc"
