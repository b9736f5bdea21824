// A banded report: a page layout in millimetres and bands of elements that
// print the records of a master cursor and of sub-detail cursors.
//
// A run composes the whole report first, reading the cursors' current records
// as each band prints and moving the master and sub-detail cursors (cursors
// linked to them follow through the store). The composed pages are then
// painted on a printer, into a PDF file or into a preview window, all from the
// same pages, so that every output shows the same sheet.
//
// Print order for each record of the master cursor: the detail bands, then
// every sub-detail band over its own cursor, in the order the bands were
// created, once per record of that cursor. A band's child band prints directly
// after it, and the child's child after that. The page header stands at the
// top of every page, the page footer at the bottom of every page.
//
// Page breaking: a band that does not fit on the rest of a page moves to the
// next page. A band with a stretching text that does not fit starts where it
// stands and its text continues on the following pages line by line, with at
// least two lines on each side of a break (otherwise the band moves over
// whole); no line is lost or cut.
//
// Everything taken from the database is printed as plain text.
#pragma once

#include <QFont>
#include <QObject>
#include <QPageSize>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

class QPainter;
class QPrinter;
class QWidget;

namespace zil::store {
class Table;
}

namespace zil::framework {

class Report;
class ReportBand;

// Raised when a report cannot be sent to its printer or file.
class ReportError : public std::runtime_error
{
public:
    explicit ReportError(const QString &message)
        : std::runtime_error(message.toStdString())
    { }
};

// Where an element stands across its band: at its own left position, or
// against the band's left or right edge.
enum class BandEdge { None, Left, Right };

// Something printed in a band. Positions and sizes are millimetres from the
// band's top-left corner.
class ReportElement : public QObject
{
    Q_OBJECT
public:
    explicit ReportElement(ReportBand *band);

    ReportBand *band() const;

    void setGeometry(double left, double top, double width, double height);
    double left() const { return m_left; }
    double top() const { return m_top; }
    double width() const { return m_width; }
    double height() const { return m_height; }

    void setEdge(BandEdge edge) { m_edge = edge; }
    BandEdge edge() const { return m_edge; }

    // Without a font of its own an element prints in the report's font.
    void setFont(const QFont &font) { m_font = font; }
    QFont font() const;
    bool hasOwnFont() const { return m_font.has_value(); }

    // Horizontal alignment of the text inside the element's box.
    void setAlignment(Qt::Alignment alignment) { m_alignment = alignment; }
    Qt::Alignment alignment() const { return m_alignment; }

    // A text sized to its text takes the width of its text, up to the room
    // left in the band (or up to maxWidth when set); a longer text wraps
    // within that room and the element grows downward.
    void setAutoSize(bool autoSize) { m_autoSize = autoSize; }
    bool autoSize() const { return m_autoSize; }
    void setMaxWidth(double width) { m_maxWidth = width; }
    double maxWidth() const { return m_maxWidth; }

    // A stretching text shows all of its lines, word-wrapped to its width, and
    // lengthens its band by as much as they need beyond the design height. An
    // empty one prints nothing and leaves the band at its design height. A
    // text that neither stretches nor is sized to its text shows only the
    // lines that fit in its height.
    void setStretch(bool stretch) { m_stretch = stretch; }
    bool stretch() const { return m_stretch; }

    // The text as it prints now; empty for elements without text.
    virtual QString printText() const { return QString(); }

private:
    double m_left = 0;
    double m_top = 0;
    double m_width = 0;
    double m_height = 0;
    BandEdge m_edge = BandEdge::None;
    std::optional<QFont> m_font;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    bool m_autoSize = false;
    bool m_stretch = false;
    double m_maxWidth = 0;
};

// A fixed text.
class ReportLabel : public ReportElement
{
    Q_OBJECT
public:
    explicit ReportLabel(ReportBand *band, const QString &caption = QString());
    void setCaption(const QString &caption) { m_caption = caption; }
    const QString &caption() const { return m_caption; }
    QString printText() const override { return m_caption; }

private:
    QString m_caption;
};

// The value of a field of a cursor's current record, as text. A closed or
// empty cursor prints nothing.
class ReportDBText : public ReportElement
{
    Q_OBJECT
public:
    explicit ReportDBText(
        ReportBand *band, store::Table *dataSet = nullptr, const QString &dataField = QString());
    void setDataSet(store::Table *table) { m_dataSet = table; }
    store::Table *dataSet() const { return m_dataSet; }
    void setDataField(const QString &field) { m_dataField = field; }
    const QString &dataField() const { return m_dataField; }
    QString printText() const override;

private:
    store::Table *m_dataSet;
    QString m_dataField;
};

// The page number. Its text, the number in decimal, passes through the print
// hook before it is printed; the hook may rewrite it.
class ReportSysData : public ReportElement
{
    Q_OBJECT
public:
    using PrintHook = std::function<void(QObject *sender, QString &value)>;

    explicit ReportSysData(ReportBand *band);
    void setOnPrint(PrintHook hook) { m_onPrint = std::move(hook); }
    QString printText() const override;

private:
    PrintHook m_onPrint;
};

// A horizontal line across the element's width, centred in its height. The
// pen width is in tenths of a millimetre.
class ReportShape : public ReportElement
{
    Q_OBJECT
public:
    explicit ReportShape(ReportBand *band);
    void setPenWidth(int width) { m_penWidth = width; }
    int penWidth() const { return m_penWidth; }

private:
    int m_penWidth = 1;
};

enum class BandKind { PageHeader, Detail, SubDetail, Child, PageFooter };

// A band of the report: a strip across the page, printed whole.
class ReportBand : public QObject
{
    Q_OBJECT
public:
    ReportBand(BandKind kind, Report *report);

    BandKind kind() const { return m_kind; }
    Report *report() const;

    // The design height in millimetres.
    void setHeight(double height) { m_height = height; }
    double height() const { return m_height; }

    // A thin black rule along the band's top edge.
    void setTopRule(bool rule) { m_topRule = rule; }
    bool topRule() const { return m_topRule; }

    // Detail bands: start a new page before the band.
    void setForceNewPage(bool force) { m_forceNewPage = force; }
    bool forceNewPage() const { return m_forceNewPage; }

    // Sub-detail bands: the cursor whose records the band prints.
    void setDataSet(store::Table *table) { m_dataSet = table; }
    store::Table *dataSet() const { return m_dataSet; }

    // The band printed directly after this one each time this one prints.
    void setChildBand(ReportBand *child) { m_child = child; }
    ReportBand *childBand() const { return m_child; }

    // The band's elements in the order they were created.
    QList<ReportElement *> elements() const;

private:
    BandKind m_kind;
    double m_height = 0;
    bool m_topRule = false;
    bool m_forceNewPage = false;
    store::Table *m_dataSet = nullptr;
    ReportBand *m_child = nullptr;
};

// A composed page: every text line with the left end of its baseline, and
// every black bar, in millimetres from the paper's top-left corner.
struct ReportPage
{
    struct Text
    {
        QPointF baseline;
        QString text;
        QFont font;
        double top; // the top of the line's box
        double height; // the height of the line's box
        double width; // the width of the text
    };
    std::vector<Text> texts;
    std::vector<QRectF> bars;
};

class Report : public QObject
{
    Q_OBJECT
public:
    explicit Report(QObject *parent = nullptr);
    ~Report() override;

    // The master cursor, iterated from its first record to its last. Without
    // one the detail bands print once.
    void setDataSet(store::Table *table) { m_dataSet = table; }
    store::Table *dataSet() const { return m_dataSet; }

    void setPageSize(const QPageSize &size) { m_pageSize = size; }
    const QPageSize &pageSize() const { return m_pageSize; }
    void setLandscape(bool landscape) { m_landscape = landscape; }
    bool landscape() const { return m_landscape; }
    // The paper's size in millimetres, turned for landscape.
    QSizeF paperSize() const;
    void setMargins(double top, double bottom, double left, double right);
    double topMargin() const { return m_top; }
    double bottomMargin() const { return m_bottom; }
    double leftMargin() const { return m_left; }
    double rightMargin() const { return m_right; }
    // The width of every band: the paper between the left and right margins.
    double bandWidth() const;

    void setFont(const QFont &font) { m_font = font; }
    const QFont &font() const { return m_font; }

    // Whether a master cursor without records still gives a page (with its
    // header and footer); off by default.
    void setPrintIfEmpty(bool print) { m_printIfEmpty = print; }
    bool printIfEmpty() const { return m_printIfEmpty; }

    // The printer that print() sends the report to, as an index into the
    // system's printers; -1 for the default printer.
    void setPrinterIndex(int index) { m_printerIndex = index; }
    int printerIndex() const { return m_printerIndex; }

    // The title of the print job, the preview window and the PDF document.
    void setTitle(const QString &title) { m_title = title; }
    const QString &title() const { return m_title; }

    // The bands in the order they were created.
    const QList<ReportBand *> &bands() const { return m_bands; }

    // Composes the report from the cursors as they stand; no pages when the
    // master cursor is empty and print-if-empty is off. While composing, the
    // number of the page being filled.
    std::vector<ReportPage> compose();
    int pageNumber() const { return m_pageNumber; }

    // Sends the report once to the chosen printer as one print run, with a
    // progress display. Nothing is sent when there are no pages. Raises
    // ReportError when the printer cannot be used.
    void print();
    // Shows the finished pages in a preview window and returns when the user
    // has closed it; printing from the preview goes to the printer chosen
    // there. Nothing is shown when there are no pages.
    void preview(QWidget *parent);
    // Writes the report to a PDF file; false when the file cannot be written.
    // An empty report writes no file and gives false.
    bool exportPdf(const QString &path);

    // Paints a composed page on a painter whose origin is the paper's top-left
    // corner, at the resolution of the painter's device.
    static void paintPage(QPainter &painter, const ReportPage &page);

private:
    friend class ReportBand;
    void setUpPrinter(QPrinter &printer) const;
    void paintPages(QPrinter &printer, const std::vector<ReportPage> &pages,
        const std::function<void(int done)> &progress = {}) const;

    store::Table *m_dataSet = nullptr;
    QPageSize m_pageSize {QPageSize::A4};
    bool m_landscape = false;
    double m_top = 0;
    double m_bottom = 0;
    double m_left = 0;
    double m_right = 0;
    QFont m_font;
    bool m_printIfEmpty = false;
    int m_printerIndex = -1;
    QString m_title;
    QList<ReportBand *> m_bands;
    int m_pageNumber = 0;
};

} // namespace zil::framework
