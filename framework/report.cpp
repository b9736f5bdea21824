#include "report.h"

#include "framework/databinding.h"
#include "platform/messagebox.h"
#include "platform/printing.h"
#include "store/field.h"
#include "store/table.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QTextLayout>

#include <algorithm>
#include <limits>
#include <map>

namespace zil::framework {

namespace {

constexpr double epsilon = 1e-6;
// Text is measured at the resolution of a PDF page, where font metrics scale
// in proportion to the font size, so that every device shows the same lines.
constexpr int layoutDpi = 1200;
constexpr double mmPerDot = 25.4 / layoutDpi;
// The thin rule along a band's top edge.
constexpr double thinRule = 0.2;

const QPaintDevice *layoutDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_Mono);
        const int dotsPerMetre = qRound(layoutDpi / 0.0254);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return &device;
}

struct TextLine
{
    QString text;
    double width; // mm
};

// The lines of text, each paragraph broken at word boundaries (inside a word
// only when the word alone is too wide) to lines of at most width mm; without
// a width each paragraph is one line. Breaking stops after maxLines lines.
std::vector<TextLine> breakLines(const QString &text, const QFont &font, double width,
    size_t maxLines = std::numeric_limits<size_t>::max())
{
    std::vector<TextLine> lines;
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    plain.replace(QLatin1Char('\t'), QLatin1Char(' '));
    QTextOption option;
    option.setWrapMode(width > 0 ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    const double widthDots = width > 0 ? width / mmPerDot : std::numeric_limits<double>::max() / 4;
    for (const QString &paragraph : plain.split(QLatin1Char('\n'))) {
        if (lines.size() >= maxLines)
            break;
        if (paragraph.isEmpty()) {
            lines.push_back({QString(), 0});
            continue;
        }
        QTextLayout layout(paragraph, font, layoutDevice());
        if (width > 0)
            option.setWrapMode(hasLongWord(paragraph) ? QTextOption::WrapAnywhere
                                                      : QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid() && lines.size() < maxLines;
             line = layout.createLine()) {
            line.setLineWidth(widthDots);
            QString part = paragraph.mid(line.textStart(), line.textLength());
            while (!part.isEmpty() && part.back().isSpace())
                part.chop(1);
            lines.push_back({part, line.naturalTextWidth() * mmPerDot});
        }
        layout.endLayout();
    }
    return lines;
}

// What a band prints, laid out with its positions relative to the band's
// top-left corner: lines of text and black bars.
struct Piece
{
    double top;
    double bottom;
    bool isText;
    QRectF bar;
    ReportPage::Text text;
    int stretchGroup = -1; // the stretching element whose line this is
};

struct LaidBand
{
    double height = 0;
    std::vector<Piece> pieces;
};

void layElement(const ReportElement &element, int index, double bandWidth, double bandHeight,
    double maxAutoHeight, LaidBand &laid, double &growth)
{
    auto boxLeft = [&](double width) {
        switch (element.edge()) {
        case BandEdge::Left:
            return 0.0;
        case BandEdge::Right:
            return bandWidth - width;
        case BandEdge::None:
            break;
        }
        return element.left();
    };

    if (auto *shape = qobject_cast<const ReportShape *>(&element)) {
        const double thickness = shape->penWidth() / 10.0;
        const double middle = shape->top() + shape->height() / 2;
        const QRectF bar(
            boxLeft(shape->width()), middle - thickness / 2, shape->width(), thickness);
        laid.pieces.push_back({bar.top(), bar.bottom(), false, bar, {}});
        return;
    }

    const QString text = element.printText();
    const QFont font = element.font();
    const QFontMetricsF metrics(font, layoutDevice());
    const double spacing = metrics.lineSpacing() * mmPerDot;
    const double ascent = metrics.ascent() * mmPerDot;

    std::vector<TextLine> lines;
    double width = element.width();
    if (element.autoSize()) {
        double room = element.edge() == BandEdge::None ? bandWidth - element.left() : bandWidth;
        if (element.maxWidth() > 0)
            room = std::min(room, element.maxWidth());
        lines = breakLines(text, font, std::max(room, 1.0),
            std::max<size_t>(1, size_t(maxAutoHeight / spacing + epsilon)));
        width = 0;
        for (const TextLine &line : lines)
            width = std::max(width, line.width);
    } else if (element.stretch()) {
        lines = breakLines(text, font, width);
    } else {
        // Only the lines that fit are printed, so no more are broken: a long
        // text in a small box costs no more than a short one.
        lines = breakLines(
            text, font, width, std::max<size_t>(1, size_t(element.height() / spacing + epsilon)));
    }
    if (text.isEmpty())
        lines.clear();

    const double left = boxLeft(width);
    for (size_t i = 0; i < lines.size(); ++i) {
        // An empty line between paragraphs only takes its room: it neither
        // counts as a line kept at a page break nor opens a continued page.
        if (lines[i].text.isEmpty())
            continue;
        const double top = element.top() + double(i) * spacing;
        double x = left;
        if (element.alignment() & Qt::AlignRight)
            x = left + width - lines[i].width;
        else if (element.alignment() & Qt::AlignHCenter)
            x = left + (width - lines[i].width) / 2;
        Piece piece {top, top + spacing, true, {}, {}, element.stretch() ? index : -1};
        piece.text = {QPointF(x, top + ascent), lines[i].text, font, top, spacing, lines[i].width};
        laid.pieces.push_back(piece);
    }
    const double needed = double(lines.size()) * spacing;
    if (element.stretch())
        growth = std::max(growth, needed - element.height());
    else if (element.autoSize())
        growth = std::max(growth, element.top() + needed - bandHeight);
}

// Moves a break so that every stretching text split by it keeps at least two
// lines on each side: a last line alone takes the line before it along when
// three or more stand above the break; otherwise the whole band goes over (a
// break at 0).
double keepLinesTogether(const LaidBand &laid, double cut)
{
    auto split = [&laid](double at) {
        std::map<int, std::pair<std::vector<double>, int>> groups; // tops above, count below
        for (const Piece &p : laid.pieces) {
            if (p.stretchGroup < 0)
                continue;
            auto &group = groups[p.stretchGroup];
            if (p.top < at - epsilon)
                group.first.push_back(p.top);
            else
                ++group.second;
        }
        return groups;
    };
    for (const auto &[group, sides] : split(cut)) {
        const auto &[above, below] = sides;
        if (below == 1 && above.size() >= 3)
            cut = std::min(cut, *std::max_element(above.begin(), above.end()));
    }
    for (const auto &[group, sides] : split(cut)) {
        const auto &[above, below] = sides;
        if (below > 0 && (above.size() < 2 || below < 2))
            return 0;
    }
    return cut;
}

// The break of a band that starts at the top of an empty page and does not
// fit on it: above the first piece that does not fit, or, when that is the
// first piece of all, below it, so that every page takes something and the
// report comes to an end.
double breakOnEmptyPage(const LaidBand &laid, double room)
{
    double cut = laid.height;
    double next = laid.height;
    for (const Piece &p : laid.pieces) {
        if (p.bottom > room + epsilon)
            cut = std::min(cut, p.top);
        if (p.top > epsilon)
            next = std::min(next, p.top);
    }
    return cut > epsilon ? cut : next;
}

// Composes the pages of one run of a report.
class Composer
{
public:
    explicit Composer(Report &report)
        : m_report(report)
        , m_paper(report.paperSize())
    { }

    std::vector<ReportPage> run(int &pageNumber);

private:
    LaidBand lay(const ReportBand &band) const;
    double chainHeight(const ReportBand *band) const;
    void printBand(const ReportBand *band);
    void flow(LaidBand laid);
    void place(const LaidBand &laid, double y, double below = std::numeric_limits<double>::max());
    void beginPage();
    void endPage();
    void ensurePage()
    {
        if (!m_pageOpen)
            beginPage();
    }
    const ReportBand *band(BandKind kind) const
    {
        for (const ReportBand *b : m_report.bands())
            if (b->kind() == kind)
                return b;
        return nullptr;
    }

    Report &m_report;
    QSizeF m_paper;
    int *m_pageNumber = nullptr;
    std::vector<ReportPage> m_pages;
    bool m_pageOpen = false;
    bool m_bodyEmpty = true;
    double m_y = 0;
    double m_bodyTop = 0;
    double m_bodyBottom = 0;
};

LaidBand Composer::lay(const ReportBand &band) const
{
    LaidBand laid;
    const double width = m_report.bandWidth();
    // A text that grows with its content takes at most half the printable
    // height: a page header holding a huge text still leaves room for the
    // body on every page, and the text is not broken further than shown.
    const double maxAutoHeight
        = (m_paper.height() - m_report.topMargin() - m_report.bottomMargin()) / 2;
    if (band.topRule())
        laid.pieces.push_back({0, thinRule, false, QRectF(0, 0, width, thinRule), {}});
    double growth = 0;
    const QList<ReportElement *> elements = band.elements();
    for (int i = 0; i < elements.size(); ++i)
        layElement(*elements[i], i, width, band.height(), maxAutoHeight, laid, growth);
    laid.height = band.height() + std::max(0.0, growth);
    return laid;
}

double Composer::chainHeight(const ReportBand *band) const
{
    double height = 0;
    for (; band; band = band->childBand())
        height += lay(*band).height;
    return height;
}

std::vector<ReportPage> Composer::run(int &pageNumber)
{
    m_pageNumber = &pageNumber;
    pageNumber = 0;
    store::Table *master = m_report.dataSet();
    if (master) {
        master->first();
        if (master->isEmpty()) {
            if (m_report.printIfEmpty()) {
                beginPage();
                endPage();
            }
            return std::move(m_pages);
        }
    }
    bool more = true;
    while (more) {
        ensurePage();
        for (const ReportBand *detail : m_report.bands()) {
            if (detail->kind() != BandKind::Detail)
                continue;
            if (detail->forceNewPage() && !m_bodyEmpty) {
                endPage();
                beginPage();
            }
            printBand(detail);
        }
        for (const ReportBand *sub : m_report.bands()) {
            store::Table *cursor = sub->kind() == BandKind::SubDetail ? sub->dataSet() : nullptr;
            if (!cursor)
                continue;
            for (cursor->first(); !cursor->isEmpty() && !cursor->eof(); cursor->next())
                printBand(sub);
        }
        if (master) {
            master->next();
            more = !master->eof();
        } else {
            more = false;
        }
    }
    if (m_pageOpen)
        endPage();
    return std::move(m_pages);
}

void Composer::printBand(const ReportBand *band)
{
    for (; band; band = band->childBand()) {
        ensurePage();
        flow(lay(*band));
    }
}

// Puts a laid band on the pages at the current position. A band that does
// not fit on the rest of the page moves to the next page, unless it holds a
// stretching text: that text runs on over the page break line by line, as far
// as it needs, keeping two lines together on each side of a break. A band
// taller than a whole page is broken in any case.
void Composer::flow(LaidBand laid)
{
    if (laid.height <= m_bodyBottom - m_y + epsilon) {
        place(laid, m_y);
        m_y += laid.height;
        return;
    }
    const bool runsOn = std::any_of(
        laid.pieces.begin(), laid.pieces.end(), [](const Piece &p) { return p.stretchGroup >= 0; });
    if (!m_bodyEmpty && !runsOn && laid.height <= m_bodyBottom - m_bodyTop + epsilon) {
        endPage();
        beginPage();
        place(laid, m_y);
        m_y += laid.height;
        return;
    }
    for (;;) {
        const double room = m_bodyBottom - m_y;
        if (laid.height <= room + epsilon) {
            place(laid, m_y);
            m_y += laid.height;
            return;
        }
        // Break above the first piece that does not fit; everything above the
        // break fits on this page.
        double cut = laid.height;
        bool overflow = false;
        for (const Piece &p : laid.pieces) {
            if (p.bottom > room + epsilon) {
                cut = std::min(cut, p.top);
                overflow = true;
            }
        }
        if (!overflow) {
            // Only the band's empty lower part runs past the page.
            place(laid, m_y);
            m_y = m_bodyBottom;
            return;
        }
        cut = keepLinesTogether(laid, cut);
        if (cut <= epsilon) {
            if (!m_bodyEmpty) {
                endPage();
                beginPage();
                continue;
            }
            cut = breakOnEmptyPage(laid, room);
        }
        place(laid, m_y, cut);
        LaidBand rest;
        rest.height = laid.height - cut;
        for (const Piece &p : laid.pieces) {
            if (p.top < cut - epsilon)
                continue;
            Piece moved = p;
            moved.top -= cut;
            moved.bottom -= cut;
            moved.bar.translate(0, -cut);
            moved.text.baseline.ry() -= cut;
            moved.text.top -= cut;
            rest.pieces.push_back(moved);
        }
        laid = std::move(rest);
        endPage();
        beginPage();
    }
}

// Copies the pieces of a laid band that begin above `below` onto the page,
// with the band's top at y.
void Composer::place(const LaidBand &laid, double y, double below)
{
    ReportPage &page = m_pages.back();
    const double x = m_report.leftMargin();
    for (const Piece &p : laid.pieces) {
        if (p.top >= below - epsilon)
            continue;
        if (p.isText) {
            ReportPage::Text text = p.text;
            text.baseline += QPointF(x, y);
            text.top += y;
            page.texts.push_back(text);
        } else {
            page.bars.push_back(p.bar.translated(x, y));
        }
    }
    m_bodyEmpty = false;
}

void Composer::beginPage()
{
    ++*m_pageNumber;
    m_pages.emplace_back();
    m_pageOpen = true;
    double y = m_report.topMargin();
    for (const ReportBand *b = band(BandKind::PageHeader); b; b = b->childBand()) {
        const LaidBand laid = lay(*b);
        place(laid, y);
        y += laid.height;
    }
    m_bodyTop = m_y = y;
    m_bodyBottom
        = m_paper.height() - m_report.bottomMargin() - chainHeight(band(BandKind::PageFooter));
    m_bodyEmpty = true;
}

void Composer::endPage()
{
    double y = m_bodyBottom;
    for (const ReportBand *b = band(BandKind::PageFooter); b; b = b->childBand()) {
        const LaidBand laid = lay(*b);
        place(laid, y);
        y += laid.height;
    }
    m_pageOpen = false;
}

} // namespace

ReportElement::ReportElement(ReportBand *band)
    : QObject(band)
{ }

ReportBand *ReportElement::band() const
{
    return static_cast<ReportBand *>(parent());
}

void ReportElement::setGeometry(double left, double top, double width, double height)
{
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
}

QFont ReportElement::font() const
{
    if (m_font)
        return *m_font;
    return band() && band()->report() ? band()->report()->font() : QFont();
}

ReportLabel::ReportLabel(ReportBand *band, const QString &caption)
    : ReportElement(band)
    , m_caption(caption)
{
    setAutoSize(true);
}

ReportDBText::ReportDBText(ReportBand *band, store::Table *dataSet, const QString &dataField)
    : ReportElement(band)
    , m_dataSet(dataSet)
    , m_dataField(dataField)
{ }

QString ReportDBText::printText() const
{
    if (!m_dataSet || !m_dataSet->active() || m_dataSet->isEmpty())
        return QString();
    return m_dataSet->fieldByName(m_dataField).asString();
}

ReportSysData::ReportSysData(ReportBand *band)
    : ReportElement(band)
{
    setAutoSize(true);
}

QString ReportSysData::printText() const
{
    const Report *report = band() ? band()->report() : nullptr;
    QString value = QString::number(report ? report->pageNumber() : 0);
    if (m_onPrint)
        m_onPrint(const_cast<ReportSysData *>(this), value);
    return value;
}

ReportShape::ReportShape(ReportBand *band)
    : ReportElement(band)
{ }

ReportBand::ReportBand(BandKind kind, Report *report)
    : QObject(report)
    , m_kind(kind)
{
    if (report)
        report->m_bands.append(this);
}

Report *ReportBand::report() const
{
    return static_cast<Report *>(parent());
}

QList<ReportElement *> ReportBand::elements() const
{
    return findChildren<ReportElement *>(QString(), Qt::FindDirectChildrenOnly);
}

Report::Report(QObject *parent)
    : QObject(parent)
{ }

Report::~Report() = default;

QSizeF Report::paperSize() const
{
    const QSizeF size = m_pageSize.size(QPageSize::Millimeter);
    return m_landscape ? size.transposed() : size;
}

void Report::setMargins(double top, double bottom, double left, double right)
{
    m_top = top;
    m_bottom = bottom;
    m_left = left;
    m_right = right;
}

double Report::bandWidth() const
{
    return paperSize().width() - m_left - m_right;
}

std::vector<ReportPage> Report::compose()
{
    Composer composer(*this);
    return composer.run(m_pageNumber);
}

void Report::setUpPrinter(QPrinter &printer) const
{
    QPageLayout layout(m_pageSize, m_landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(), QPageLayout::Millimeter);
    layout.setMode(QPageLayout::FullPageMode);
    printer.setPageLayout(layout);
    printer.setFullPage(true);
    printer.setDocName(m_title);
    printer.setCreator(QCoreApplication::applicationName());
}

void Report::paintPage(QPainter &painter, const ReportPage &page)
{
    const double dotsX = painter.device()->logicalDpiX() / 25.4;
    const double dotsY = painter.device()->logicalDpiY() / 25.4;
    painter.save();
    for (const QRectF &bar : page.bars)
        painter.fillRect(
            QRectF(bar.x() * dotsX, bar.y() * dotsY, bar.width() * dotsX, bar.height() * dotsY),
            Qt::black);
    painter.setPen(Qt::black);
    for (const ReportPage::Text &text : page.texts) {
        painter.setFont(text.font);
        painter.drawText(QPointF(text.baseline.x() * dotsX, text.baseline.y() * dotsY), text.text);
    }
    painter.restore();
}

void Report::paintPages(QPrinter &printer, const std::vector<ReportPage> &pages,
    const std::function<void(int done)> &progress) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        throw ReportError(QStringLiteral("The printer could not be started"));
    for (size_t i = 0; i < pages.size(); ++i) {
        if (i > 0)
            printer.newPage();
        paintPage(painter, pages[i]);
        if (progress)
            progress(int(i) + 1);
    }
    if (!painter.end())
        throw ReportError(QStringLiteral("The printer did not take the report"));
}

void Report::print()
{
    const std::vector<ReportPage> pages = compose();
    if (pages.empty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    const QStringList names = platform::printerNames();
    if (m_printerIndex >= 0 && m_printerIndex < names.size())
        printer.setPrinterName(names.at(m_printerIndex));
    platform::beginPrintRun(printer);
    setUpPrinter(printer);
    printer.setCopyCount(1);

    QProgressDialog progress(QStringLiteral("Printing %1...").arg(m_title), QString(), 0,
        int(pages.size()), QApplication::activeWindow());
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setCancelButton(nullptr);
    paintPages(printer, pages, [&progress](int done) { progress.setValue(done); });
}

void Report::preview(QWidget *parent)
{
    const std::vector<ReportPage> pages = compose();
    if (pages.empty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer);
    QPrintPreviewDialog dialog(&printer, parent);
    if (!m_title.isEmpty())
        dialog.setWindowTitle(m_title);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
        [this, &pages, &dialog](QPrinter *target) {
            try {
                paintPages(*target, pages);
            } catch (const ReportError &e) {
                platform::showError(&dialog, QString::fromStdString(e.what()));
            }
        });
    dialog.exec();
}

bool Report::exportPdf(const QString &path)
{
    const std::vector<ReportPage> pages = compose();
    if (pages.empty())
        return false;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    setUpPrinter(printer);
    try {
        paintPages(printer, pages);
    } catch (const ReportError &) {
        return false;
    }
    return true;
}

} // namespace zil::framework
