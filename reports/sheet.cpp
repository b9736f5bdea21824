#include "sheet.h"

#include "platform/font.h"
#include "platform/printing.h"
#include "platform/version.h"
#include "store/datasource.h"
#include "store/field.h"
#include "store/table.h"

#include <QScopeGuard>
#include <QWidget>

namespace zil::reports {

using framework::BandEdge;
using framework::BandKind;
using framework::Report;
using framework::ReportBand;

QString productLine()
{
    return QStringLiteral("ZIL \u2013 reference data on flavour and fragrance raw materials");
}

void setUpPage(Report &report)
{
    report.setPageSize(QPageSize(QPageSize::A4));
    report.setLandscape(false);
    report.setMargins(20, 10, 20, 10);
    report.setFont(platform::arialPoints(10));
    report.setPrintIfEmpty(false);
}

store::Table *makeCursor(QObject *holder, const char *name, const QString &tableFile,
    store::DataSource *master, const QString &masterField, const QString &keyField)
{
    auto *table = new store::Table(holder);
    table->setObjectName(QString::fromLatin1(name));
    table->setDatabaseName(QStringLiteral("ZIL"));
    table->setTableName(tableFile);
    table->setReadOnly(true);
    if (master) {
        table->setMasterSource(master);
        table->setMasterFields(masterField);
        table->setIndexFieldNames(keyField);
    }
    return table;
}

store::DataSource *makeSource(QObject *holder, const char *name, store::Table *table)
{
    auto *source = new store::DataSource(holder);
    source->setObjectName(QString::fromLatin1(name));
    source->setDataSet(table);
    return source;
}

ReportBand *makeBand(Report &report, BandKind kind, const char *name, double height)
{
    auto *band = new ReportBand(kind, &report);
    band->setObjectName(QString::fromLatin1(name));
    band->setHeight(height);
    return band;
}

framework::ReportLabel *makeHeading(
    ReportBand *band, const char *name, const QString &caption, double left, double top)
{
    auto *label = new framework::ReportLabel(band, caption);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(left, top, 0, 0);
    label->setEdge(left == 0 ? BandEdge::Left : BandEdge::None);
    label->setFont(platform::arialPoints(11, true));
    return label;
}

framework::ReportDBText *makeFieldText(ReportBand *band, const char *name, store::Table *table,
    const QString &field, double left, double top)
{
    auto *text = new framework::ReportDBText(band, table, field);
    text->setObjectName(QString::fromLatin1(name));
    text->setGeometry(left, top, 0, 0);
    text->setEdge(left == 0 ? BandEdge::Left : BandEdge::None);
    text->setAutoSize(true);
    return text;
}

framework::ReportDBText *makeStretchText(ReportBand *band, const char *name, store::Table *table,
    const QString &field, double left, double top, double width, double height)
{
    auto *text = new framework::ReportDBText(band, table, field);
    text->setObjectName(QString::fromLatin1(name));
    text->setGeometry(left, top, width, height);
    text->setEdge(left == 0 ? BandEdge::Left : BandEdge::None);
    text->setStretch(true);
    return text;
}

framework::ReportShape *makeRule(
    ReportBand *band, const char *name, double top, double boxHeight, int penWidth)
{
    auto *shape = new framework::ReportShape(band);
    shape->setObjectName(QString::fromLatin1(name));
    shape->setGeometry(0, top, band->report()->bandWidth(), boxHeight);
    shape->setEdge(BandEdge::Left);
    shape->setPenWidth(penWidth);
    return shape;
}

ReportBand *makePageFooter(Report &report, const char *productName, const char *pageName,
    framework::ReportSysData::PrintHook hook)
{
    ReportBand *footer = makeBand(report, BandKind::PageFooter, "PageFooterBand1", 11.91);
    footer->setTopRule(true);
    auto *product = new framework::ReportLabel(footer, productLine());
    product->setObjectName(QString::fromLatin1(productName));
    product->setGeometry(0, 2.65, 0, 0);
    product->setEdge(BandEdge::Left);
    product->setFont(platform::arialPoints(8));
    auto *page = new framework::ReportSysData(footer);
    page->setObjectName(QString::fromLatin1(pageName));
    page->setGeometry(0, 2.65, 0, 0);
    page->setEdge(BandEdge::Right);
    page->setAlignment(Qt::AlignRight);
    page->setFont(platform::arialPoints(8));
    page->setOnPrint(std::move(hook));
    return footer;
}

SheetHolder::SheetHolder(
    QWidget *owner, platform::PrintDialog *dialog, store::Table *current, const QString &name)
    : QObject(owner)
    , m_owner(owner)
    , m_dialog(dialog)
    , m_current(current)
{
    setObjectName(name);
    Report = new framework::Report(this);
    Report->setObjectName(QStringLiteral("Report"));
    setUpPage(*Report);
}

SheetHolder::~SheetHolder() = default;

// Opening reads each table as it is now, changes by other programs included,
// also where the main window holds the same table open.
void SheetHolder::openAfresh()
{
    for (store::Table *table : cursorOrder())
        table->open();
}

// The key range of the master on the id of the given cursor's current record,
// which leaves the master on that record; the report's title is its name.
void SheetHolder::restrictToCurrent()
{
    restrictTo(m_current->fieldByName(QStringLiteral("id")).asInteger());
    Report->setTitle(
        master().isEmpty() ? QString() : master().fieldByName(QStringLiteral("name")).asString());
}

void SheetHolder::restrictTo(qint32 id)
{
    master().setRange(id, id);
}

void SheetHolder::closeCursors()
{
    for (store::Table *table : cursorOrder())
        table->close();
}

void SheetHolder::RunReport()
{
    const bool nt = platform::IsNTPlatform();
    platform::PrintDialog &dialog = *m_dialog;
    if (!nt) {
        if (!dialog.execute())
            return;
        Report->setPrinterIndex(dialog.printerIndex());
    }
    withCursorsOpen([&] {
        restrictToCurrent();
        if (nt) {
            Report->preview(m_owner);
        } else {
            for (int copy = 0; copy < dialog.copies(); ++copy)
                Report->print();
        }
    });
}

bool SheetHolder::SaveAsPdf(const QString &path)
{
    bool written = false;
    withCursorsOpen([&] {
        restrictToCurrent();
        written = Report->exportPdf(path);
    });
    return written;
}

void SheetHolder::forEachRecord(
    const QList<qint32> &ids, const std::function<bool(qsizetype index)> &record)
{
    withCursorsOpen([&] {
        for (qsizetype i = 0; i < ids.size(); ++i) {
            restrictTo(ids[i]);
            if (!record(i))
                return;
        }
    });
}

void SheetHolder::composeEach(const QList<qint32> &ids, const SheetPages &sheet)
{
    forEachRecord(ids, [&](qsizetype i) { return sheet(i, Report->compose()); });
}

void SheetHolder::withCursorsOpen(const std::function<void()> &work)
{
    // A table that cannot be opened or read, or a printer that cannot be
    // started, ends the run by an exception; the cursors opened so far are
    // closed all the same, so that none stays open until the next run. That
    // first error is the one reported, so an error of the closing on this way
    // out is dropped; on the normal way out the closing reports its own.
    auto closing = qScopeGuard([this] {
        try {
            closeCursors();
        } catch (const std::exception &) { }
    });
    openAfresh();
    work();
    closing.dismiss();
    closeCursors();
}

} // namespace zil::reports
