// What the material sheet and the supplier sheet have in common: the A4 page
// with its margins and fonts, the page footer with the product line and the
// page number, the making of the sheets' cursors, bands and elements, and the
// run of a sheet for the current record of a cursor of the main window.
#pragma once

#include "framework/report.h"

#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace zil::platform {
class PrintDialog;
}
namespace zil::store {
class DataSource;
class Table;
} // namespace zil::store

namespace zil::reports {

// The line at the foot of every sheet.
QString productLine();

// A4 portrait, margins top 20, bottom 10, left 20, right 10 mm, Arial 10 pt,
// no report when the master cursor is empty.
void setUpPage(framework::Report &report);

// A cursor of a report holder on the database "ZIL", named name; linked to
// master's field masterField by its own field keyField when master is given.
store::Table *makeCursor(QObject *holder, const char *name, const QString &tableFile,
    store::DataSource *master = nullptr, const QString &masterField = QString(),
    const QString &keyField = QString());
store::DataSource *makeSource(QObject *holder, const char *name, store::Table *table);

framework::ReportBand *makeBand(
    framework::Report &report, framework::BandKind kind, const char *name, double height);

// A heading sized to its text: Arial 11 pt bold.
framework::ReportLabel *makeHeading(
    framework::ReportBand *band, const char *name, const QString &caption, double left, double top);
// A field text sized to its text, in the report's font unless given one.
framework::ReportDBText *makeFieldText(framework::ReportBand *band, const char *name,
    store::Table *table, const QString &field, double left, double top);
// A field text of fixed width and design height that stretches its band.
framework::ReportDBText *makeStretchText(framework::ReportBand *band, const char *name,
    store::Table *table, const QString &field, double left, double top, double width,
    double height);
// A horizontal line across the whole band.
framework::ReportShape *makeRule(
    framework::ReportBand *band, const char *name, double top, double boxHeight, int penWidth);

// The page footer: a rule along its top edge, the product line on the left and
// the page number on the right, whose text passes through hook.
framework::ReportBand *makePageFooter(framework::Report &report, const char *productName,
    const char *pageName, framework::ReportSysData::PrintHook hook);

// A report holder: a sheet's layout and its own cursors, which are open only
// while a report runs. It is never shown.
class SheetHolder : public QObject
{
    Q_OBJECT
public:
    ~SheetHolder() override;

    // Prints or previews the sheet of the current record of the cursor the
    // holder was given. Without the NT platform's printing the print dialog
    // is asked first, and a cancel ends the run before anything is opened.
    // The cursors open in cursorOrder(); the master is restricted to the
    // current record's id; the sheet is then previewed, or printed once per
    // copy asked for, each copy a print run of its own; the cursors close in
    // the same order, also when the run ends early by an error of the store
    // or the printer.
    void RunReport();
    // Writes the same sheet to a PDF file; false when it cannot be written or
    // there is no current record. The cursors are closed again on every way
    // out.
    bool SaveAsPdf(const QString &path);

    // Calls record for each record id of ids in that order, given its place
    // in ids, with the master restricted to that record (empty when it no
    // longer exists) and the cursors opened once for them all and closed
    // again on every way out; record returns false to stop there.
    void forEachRecord(
        const QList<qint32> &ids, const std::function<bool(qsizetype index)> &record);
    // The same, composing each record's sheet: sheet is given its pages (none
    // when the record no longer exists).
    using SheetPages
        = std::function<bool(qsizetype index, std::vector<framework::ReportPage> &&pages)>;
    void composeEach(const QList<qint32> &ids, const SheetPages &sheet);

    // The cursors, in the order in which a run opens and closes them.
    virtual QList<store::Table *> cursorOrder() const = 0;

    framework::Report *Report = nullptr;

protected:
    // A holder named name with an empty report on the sheets' page, owned by
    // owner, over which its preview opens. dialog is the print dialog asked
    // before a print run; current is the cursor whose current record the
    // sheet prints. Both belong to the caller and outlive the holder.
    SheetHolder(
        QWidget *owner, platform::PrintDialog *dialog, store::Table *current, const QString &name);
    // The report's master.
    virtual store::Table &master() const = 0;

private:
    void openAfresh();
    void restrictToCurrent();
    void restrictTo(qint32 id);
    void closeCursors();
    // Opens the cursors, runs work, and closes them on every way out.
    void withCursorsOpen(const std::function<void()> &work);

    QWidget *m_owner;
    platform::PrintDialog *m_dialog;
    store::Table *m_current;
};

} // namespace zil::reports
