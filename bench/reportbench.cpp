// The two sheets on the demo database: the time from the Report menu's
// request to the finished PDF file, for the material with the longest texts
// and for the supplier with the most materials.
#include "benchutil.h"

#include "browser/searchclass.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "reports/Printm.h"
#include "reports/Prints.h"
#include "shell/Zil0.h"
#include "store/field.h"
#include "store/table.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTabWidget>
#include <cstdio>

namespace zil::bench {

namespace {

bool makeDemo(const QString &dir)
{
    QProcess maker;
    maker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    maker.start(QStringLiteral(ZIL_MAKEDB_PATH), {QStringLiteral(ZIL_DEMO_DIR), dir});
    return maker.waitForFinished(-1) && maker.exitCode() == 0;
}

// The id of the material whose four texts are longest together.
qint32 longestMaterial(const QString &dir)
{
    store::Table materials;
    materials.setDatabaseName(dir);
    materials.setTableName(QStringLiteral("MATERIAL.DB"));
    materials.open();
    qint32 best = 0;
    qsizetype longest = -1;
    for (materials.first(); !materials.eof(); materials.next()) {
        qsizetype length = 0;
        for (const char *memo : {"occur", "flavor", "applic", "liter"})
            length += materials.fieldByName(QString::fromLatin1(memo)).asBytes().size();
        if (length > longest) {
            longest = length;
            best = materials.fieldByName(QStringLiteral("id")).asInteger();
        }
    }
    return best;
}

// The id of the supplier with the most material links.
qint32 busiestSupplier(const QString &dir)
{
    store::Table links;
    links.setDatabaseName(dir);
    links.setTableName(QStringLiteral("MATSUPP.DB"));
    links.open();
    QMap<qint32, int> counts;
    for (links.first(); !links.eof(); links.next())
        ++counts[links.fieldByName(QStringLiteral("supplierid")).asInteger()];
    qint32 best = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(best))
            best = it.key();
    return best;
}

int pages(const QString &pdf)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    if (!info.waitForFinished(-1))
        return 0;
    for (const QByteArray &line : info.readAllStandardOutput().split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return 0;
}

QString describe(const QString &what, const QString &name, const QString &pdf)
{
    const int n = pages(pdf);
    return n > 0 ? QStringLiteral("%1 PDF, %2 (%3 p.)").arg(what, name).arg(n)
                 : QStringLiteral("%1 PDF, %2").arg(what, name);
}

} // namespace

void runReport(const QString &work)
{
    reportMessages();
    const QString dir = QDir(work).filePath(QStringLiteral("report-demo"));
    if (!makeDemo(dir))
        qFatal("bench: cannot make the demo database");
    const InstalledProgram program(work, QStringLiteral("report-prog"), dir);

    TMainForm form;
    startMainWindow(form, QStringLiteral("the demo database"), Shown::No);

    const qint32 material = longestMaterial(dir);
    form.SearchClass->GotoMaterial(material);
    const QString materialName = form.TableMaterial->fieldByName(QStringLiteral("name")).asString();
    const QString materialPdf = QDir(work).filePath(QStringLiteral("material.pdf"));
    const Sample materialTime = measure(9, [&] {
        if (!form.PrintMaterial->SaveAsPdf(materialPdf))
            qFatal("bench: the material sheet was not written");
    });
    printRow(describe(QStringLiteral("material sheet"), materialName, materialPdf),
        QStringLiteral("demo"), materialTime, {}, QString());

    const qint32 supplier = busiestSupplier(dir);
    form.MainTabNotebook->setCurrentIndex(1);
    store::Table &suppliers = *form.TableSupplierName;
    for (suppliers.first(); !suppliers.eof(); suppliers.next())
        if (suppliers.fieldByName(QStringLiteral("id")).asInteger() == supplier)
            break;
    const QString supplierName = suppliers.fieldByName(QStringLiteral("name")).asString();
    const QString supplierPdf = QDir(work).filePath(QStringLiteral("supplier.pdf"));
    const Sample supplierTime = measure(9, [&] {
        if (!form.PrintSupplier->SaveAsPdf(supplierPdf))
            qFatal("bench: the supplier sheet was not written");
    });
    printRow(describe(QStringLiteral("supplier sheet"), supplierName, supplierPdf),
        QStringLiteral("demo"), supplierTime, {}, QString());
}

} // namespace zil::bench
