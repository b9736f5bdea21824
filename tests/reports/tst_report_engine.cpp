// The banded report engine on a real database: positions on the paper, page
// breaking of bands and of texts taller than a page, the print order of
// detail, sub-detail and child bands, stretching, and print-if-empty.
#include "common/appfixture.h"
#include "pdftext.h"

#include "framework/report.h"
#include "store/indexfile.h"
#include "store/table.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace zil::framework;
using zil::store::Table;

namespace {

const int shortLines = 100;
const int paragraphWords = 300;

// A literature text taller than a page: short numbered lines, then one long
// paragraph of numbered words that wraps.
QString tallText()
{
    QStringList lines;
    for (int i = 1; i <= shortLines; ++i)
        lines << QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0'));
    QStringList words;
    for (int i = 1; i <= paragraphWords; ++i)
        words << QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0'));
    lines << words.join(QLatin1Char(' '));
    return lines.join(QLatin1Char('\n'));
}

// Materials M01..M08 (ids 1..8); M01 has the tall text, M02 three lines of
// occurrence, M03 none, M04 twenty lines r01..r20, M05 two paragraphs of two
// lines. M01 and M02 have two synonyms and two suppliers each.
bool makeEngineDatabase(const QString &root, QString &db)
{
    QList<zil::test::SourceMaterial> materials;
    for (int i = 1; i <= 8; ++i) {
        zil::test::SourceMaterial m;
        m.key = QString::number(i);
        m.name = QStringLiteral("M%1").arg(i, 2, 10, QLatin1Char('0'));
        materials << m;
    }
    materials[0].liter = tallText();
    materials[0].synonyms = {QStringLiteral("S1a"), QStringLiteral("S1b")};
    materials[1].occur = QStringLiteral("one\ntwo\nthree");
    materials[1].synonyms = {QStringLiteral("S2a"), QStringLiteral("S2b")};
    QStringList twenty;
    for (int i = 1; i <= 20; ++i)
        twenty << QStringLiteral("r%1").arg(i, 2, 10, QLatin1Char('0'));
    materials[3].occur = twenty.join(QLatin1Char('\n'));
    materials[4].occur = QStringLiteral("para 1a\npara 1b\n\npara 2a\npara 2b");
    const QList<zil::test::SourceSupplier> suppliers {
        {5, QStringLiteral("Five"), {}, {}, {}, {}}, {6, QStringLiteral("Six"), {}, {}, {}, {}}};
    const QList<zil::test::SourceLink> links {
        {QStringLiteral("1"), 6}, {QStringLiteral("1"), 5}, {QStringLiteral("2"), 5}};
    db = QDir(root).filePath(QStringLiteral("db"));
    if (!zil::test::makeDatabase(
            QDir(root).filePath(QStringLiteral("src")), db, materials, suppliers, links))
        return false;
    zil::store::indexDatabase(db);
    return true;
}

// The A4 page of the sheets: margins top 20, bottom 10, left 20, right 10;
// the master cursor when given.
void a4(Report &report, Table *master = nullptr)
{
    report.setDataSet(master);
    report.setPageSize(QPageSize(QPageSize::A4));
    report.setMargins(20, 10, 20, 10);
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(10);
    report.setFont(font);
}

ReportLabel *label(
    ReportBand *band, const QString &text, double left, double top, BandEdge edge = BandEdge::None)
{
    auto *l = new ReportLabel(band, text);
    l->setGeometry(left, top, 0, 0);
    l->setEdge(edge);
    return l;
}

ReportDBText *field(ReportBand *band, Table *table, const QString &name, double left, double top)
{
    auto *f = new ReportDBText(band, table, name);
    f->setGeometry(left, top, 0, 0);
    f->setAutoSize(true);
    return f;
}

ReportDBText *stretch(ReportBand *band, Table *table, const QString &name)
{
    auto *f = new ReportDBText(band, table, name);
    f->setGeometry(0, 10.05, 179.92, 4.50);
    f->setStretch(true);
    return f;
}

// The texts of every page in print order.
QStringList texts(const std::vector<ReportPage> &pages, int page = -1)
{
    QStringList all;
    for (size_t p = 0; p < pages.size(); ++p) {
        if (page < 0 || size_t(page) == p)
            for (const ReportPage::Text &t : pages[p].texts)
                all << t.text;
    }
    return all;
}

const ReportPage::Text *find(const ReportPage &page, const QString &text)
{
    for (const ReportPage::Text &t : page.texts)
        if (t.text == text)
            return &t;
    return nullptr;
}

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void positionsAreMillimetresOnThePaper();
    void textTallerThanAPageLosesNoLine();
    void bandThatDoesNotFitMovesToTheNextPage();
    void subDetailsAndChildChainsFollowTheirParents();
    void stretchingTextLengthensItsBand();
    void stretchingTextRunsOnKeepingTwoLinesTogether();
    void fixedWidthTextKeepsItsWidth();
    void emptyMasterGivesNoReportUnlessAsked();

private:
    std::unique_ptr<Table> cursor(const QString &table, Table *master = nullptr,
        const QString &masterField = QString(), const QString &keyField = QString());

    QTemporaryDir m_dir;
    QString m_db;
    std::vector<std::unique_ptr<zil::store::DataSource>> m_sources;
};

void TestReportEngine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(makeEngineDatabase(m_dir.path(), m_db));
}

std::unique_ptr<Table> TestReportEngine::cursor(
    const QString &table, Table *master, const QString &masterField, const QString &keyField)
{
    auto t = std::make_unique<Table>();
    t->setDatabaseName(m_db);
    t->setTableName(table);
    if (master) {
        auto source = std::make_unique<zil::store::DataSource>();
        source->setDataSet(master);
        t->setMasterSource(source.get());
        t->setMasterFields(masterField);
        t->setIndexFieldNames(keyField);
        m_sources.push_back(std::move(source));
    }
    t->open();
    return t;
}

void TestReportEngine::positionsAreMillimetresOnThePaper()
{
    Report report;
    a4(report);
    QCOMPARE(report.bandWidth(), 180.0);
    auto *header = new ReportBand(BandKind::PageHeader, &report);
    header->setHeight(24.87);
    header->setTopRule(true);
    label(header, QStringLiteral("Heading"), 0, 6.61, BandEdge::Left);
    auto *right = label(header, QStringLiteral("Right"), 0, 6.61, BandEdge::Right);
    right->setAlignment(Qt::AlignRight);
    auto *detail = new ReportBand(BandKind::Detail, &report);
    detail->setHeight(20);
    label(detail, QStringLiteral("Placed"), 12.5, 3);
    auto *shape = new ReportShape(detail);
    shape->setGeometry(30, 10, 50, 2);
    shape->setPenWidth(5);
    auto *footer = new ReportBand(BandKind::PageFooter, &report);
    footer->setHeight(11.91);
    auto *number = new ReportSysData(footer);
    number->setGeometry(0, 2.65, 0, 0);
    number->setEdge(BandEdge::Right);
    number->setAlignment(Qt::AlignRight);

    const std::vector<ReportPage> pages = report.compose();
    QCOMPARE(pages.size(), size_t(1));
    const ReportPage &page = pages[0];
    QCOMPARE(page.bars.size(), size_t(2));
    QCOMPARE(page.bars[0].topLeft(), QPointF(20, 20));
    QCOMPARE(page.bars[0].width(), 180.0);
    // The line is 0.5 mm thick, centred in its box below the 24.87 mm header.
    QVERIFY(qAbs(page.bars[1].left() - 50) < 1e-9);
    QVERIFY(qAbs(page.bars[1].center().y() - (20 + 24.87 + 11)) < 1e-9);
    QVERIFY(qAbs(page.bars[1].height() - 0.5) < 1e-9);
    QVERIFY(qAbs(page.bars[1].width() - 50) < 1e-9);
    QCOMPARE(find(page, QStringLiteral("Placed"))->baseline.x(), 32.5);
    QVERIFY(qAbs(find(page, QStringLiteral("Placed"))->top - (20 + 24.87 + 3)) < 1e-9);
    const ReportPage::Text *r = find(page, QStringLiteral("Right"));
    QVERIFY(qAbs(r->baseline.x() + r->width - 200) < 1e-9);
    const ReportPage::Text *n = find(page, QStringLiteral("1"));
    QVERIFY(n);
    QVERIFY(qAbs(n->top - (297 - 10 - 11.91 + 2.65)) < 1e-9);

    // Painted on the paper the words stand where they were composed.
    const QString path = m_dir.filePath(QStringLiteral("positions.pdf"));
    QVERIFY(report.exportPdf(path));
    const auto words = zil::test::pdfWords(path);
    QCOMPARE(words.size(), 1);
    auto box = [&words](const QString &text) {
        for (const zil::test::PdfWord &w : words[0])
            if (w.text == text)
                return w.box;
        return QRectF();
    };
    QVERIFY2(qAbs(box(QStringLiteral("Placed")).left() - 32.5) < 0.2,
        qPrintable(QString::number(box(QStringLiteral("Placed")).left())));
    QVERIFY2(qAbs(box(QStringLiteral("Heading")).left() - 20) < 0.2,
        qPrintable(QString::number(box(QStringLiteral("Heading")).left())));
    QVERIFY2(qAbs(box(QStringLiteral("Right")).right() - 200) < 0.2,
        qPrintable(QString::number(box(QStringLiteral("Right")).right())));
    QVERIFY2(qAbs(box(QStringLiteral("1")).right() - 200) < 0.2,
        qPrintable(QString::number(box(QStringLiteral("1")).right())));
    QVERIFY(box(QStringLiteral("1")).top() > 297 - 10 - 11.91);
}

void TestReportEngine::textTallerThanAPageLosesNoLine()
{
    auto material = cursor(QStringLiteral("MATERIAL.DB"));
    material->setRange(1, 1);
    Report report;
    a4(report, material.get());
    auto *header = new ReportBand(BandKind::PageHeader, &report);
    header->setHeight(24.87);
    field(header, material.get(), QStringLiteral("name"), 0, 6.61);
    auto *detail = new ReportBand(BandKind::Detail, &report);
    detail->setHeight(14.82);
    label(detail, QStringLiteral("LITERATURE"), 0, 5.03);
    stretch(detail, material.get(), QStringLiteral("liter"));
    auto *after = new ReportBand(BandKind::Child, &report);
    after->setHeight(10);
    detail->setChildBand(after);
    label(after, QStringLiteral("AFTER"), 0, 5);
    auto *footer = new ReportBand(BandKind::PageFooter, &report);
    footer->setHeight(11.91);
    auto *number = new ReportSysData(footer);
    number->setGeometry(0, 2.65, 0, 0);
    number->setOnPrint([](QObject *, QString &value) { value = QStringLiteral("Page ") + value; });

    const std::vector<ReportPage> pages = report.compose();
    QVERIFY(pages.size() >= 3);
    const double bodyTop = 20 + 24.87;
    const double bodyBottom = 297 - 10 - 11.91;
    for (size_t p = 0; p < pages.size(); ++p) {
        const QStringList onPage = texts(pages, int(p));
        QCOMPARE(onPage.first(), QStringLiteral("M01"));
        QCOMPARE(onPage.last(), QStringLiteral("Page %1").arg(p + 1));
        for (const ReportPage::Text &t : pages[p].texts) {
            if (t.text == onPage.first() || t.text == onPage.last())
                continue;
            QVERIFY2(t.top >= bodyTop - 1e-9 && t.top + t.height <= bodyBottom + 1e-9,
                qPrintable(t.text));
        }
    }

    // Every short line and every word of the long paragraph, once and in order.
    QStringList expected {QStringLiteral("LITERATURE")};
    for (int i = 1; i <= shortLines; ++i)
        expected << QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0'));
    for (int i = 1; i <= paragraphWords; ++i)
        expected << QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0'));
    expected << QStringLiteral("AFTER");
    QStringList printed;
    for (const QString &t : texts(pages)) {
        if (t == QStringLiteral("M01") || t.startsWith(QStringLiteral("Page ")))
            continue;
        if (t.startsWith(QLatin1Char('w')))
            printed << t.split(QLatin1Char(' '));
        else
            printed << t;
    }
    QCOMPARE(printed, expected);

    // The same from the PDF file.
    const QString path = m_dir.filePath(QStringLiteral("tall.pdf"));
    QVERIFY(report.exportPdf(path));
    const auto pdf = zil::test::pdfLines(path);
    QCOMPARE(pdf.size(), qsizetype(pages.size()));
    QStringList fromPdf;
    for (const QStringList &page : pdf) {
        QCOMPARE(page.first(), QStringLiteral("M01"));
        for (const QString &line : page.mid(1, page.size() - 2))
            fromPdf << (line.startsWith(QLatin1Char('w')) ? line.split(QLatin1Char(' '))
                                                          : QStringList {line});
    }
    QCOMPARE(fromPdf, expected);
}

void TestReportEngine::bandThatDoesNotFitMovesToTheNextPage()
{
    auto material = cursor(QStringLiteral("MATERIAL.DB"));
    Report report;
    a4(report, material.get());
    auto *detail = new ReportBand(BandKind::Detail, &report);
    detail->setHeight(50);
    field(detail, material.get(), QStringLiteral("name"), 0, 0);
    auto *bottom = field(detail, material.get(), QStringLiteral("id"), 0, 45);

    // 267 mm of body take five bands of 50 mm; the sixth goes over whole.
    std::vector<ReportPage> pages = report.compose();
    QCOMPARE(pages.size(), size_t(2));
    QCOMPARE(
        texts(pages, 0), QStringList({"M01", "1", "M02", "2", "M03", "3", "M04", "4", "M05", "5"}));
    QCOMPARE(texts(pages, 1), QStringList({"M06", "6", "M07", "7", "M08", "8"}));
    QCOMPARE(find(pages[1], QStringLiteral("M06"))->top, 20.0);
    QCOMPARE(find(pages[1], QStringLiteral("6"))->top, 20.0 + 45);

    // A band whose element pokes out of it grows and still goes over whole.
    bottom->setGeometry(0, 49, 0, 0);
    pages = report.compose();
    QCOMPARE(texts(pages, 0).size(), 10);

    // Starting a new page before each record.
    detail->setForceNewPage(true);
    pages = report.compose();
    QCOMPARE(pages.size(), size_t(8));
    QCOMPARE(texts(pages, 7), QStringList({"M08", "8"}));
}

void TestReportEngine::subDetailsAndChildChainsFollowTheirParents()
{
    auto material = cursor(QStringLiteral("MATERIAL.DB"));
    material->setRange(1, 3);
    auto synonyms = cursor(QStringLiteral("SYNON.DB"), material.get(), QStringLiteral("id"),
        QStringLiteral("materialid"));
    auto links = cursor(QStringLiteral("MATSUPP.DB"), material.get(), QStringLiteral("id"),
        QStringLiteral("materialid"));
    auto supplier = cursor(QStringLiteral("SUPPLIER.DB"), links.get(), QStringLiteral("supplierid"),
        QStringLiteral("id"));

    Report report;
    a4(report, material.get());
    auto *detail = new ReportBand(BandKind::Detail, &report);
    detail->setHeight(6);
    field(detail, material.get(), QStringLiteral("name"), 0, 0);
    // Defined before the synonyms, printed before them.
    auto *suppliersBand = new ReportBand(BandKind::SubDetail, &report);
    suppliersBand->setHeight(5);
    suppliersBand->setDataSet(links.get());
    field(suppliersBand, supplier.get(), QStringLiteral("name"), 0, 0);
    auto *synonymsBand = new ReportBand(BandKind::SubDetail, &report);
    synonymsBand->setHeight(5);
    synonymsBand->setDataSet(synonyms.get());
    field(synonymsBand, synonyms.get(), QStringLiteral("name"), 0, 0);
    auto *child = new ReportBand(BandKind::Child, &report);
    child->setHeight(5);
    synonymsBand->setChildBand(child);
    label(child, QStringLiteral("child"), 0, 0);
    auto *grandchild = new ReportBand(BandKind::Child, &report);
    grandchild->setHeight(5);
    child->setChildBand(grandchild);
    label(grandchild, QStringLiteral("grandchild"), 0, 0);

    const std::vector<ReportPage> pages = report.compose();
    QCOMPARE(pages.size(), size_t(1));
    QCOMPARE(texts(pages),
        QStringList(
            {"M01", "Five", "Six", "S1a", "child", "grandchild", "S1b", "child", "grandchild",
                "M02", "Five", "S2a", "child", "grandchild", "S2b", "child", "grandchild", "M03"}));
    // Each band stands below the one before it.
    double top = -1;
    for (const ReportPage::Text &t : pages[0].texts) {
        QVERIFY(t.top > top);
        top = t.top;
    }
}

void TestReportEngine::stretchingTextLengthensItsBand()
{
    auto material = cursor(QStringLiteral("MATERIAL.DB"));
    Report report;
    a4(report, material.get());
    auto *section = new ReportBand(BandKind::Detail, &report);
    section->setHeight(14.82);
    label(section, QStringLiteral("OCCURENCE"), 0, 5.03);
    stretch(section, material.get(), QStringLiteral("occur"));
    auto *next = new ReportBand(BandKind::Child, &report);
    next->setHeight(5);
    section->setChildBand(next);
    label(next, QStringLiteral("NEXT"), 0, 0);

    // Three lines: the band grows by what they need beyond 4.50 mm.
    material->setRange(2, 2);
    std::vector<ReportPage> pages = report.compose();
    const double spacing
        = find(pages[0], QStringLiteral("two"))->top - find(pages[0], QStringLiteral("one"))->top;
    QVERIFY(spacing > 3.5 && spacing < 4.5);
    QVERIFY(qAbs(find(pages[0], QStringLiteral("one"))->top - (20 + 10.05)) < 1e-9);
    QVERIFY(qAbs(find(pages[0], QStringLiteral("NEXT"))->top - (20 + 14.82 + 3 * spacing - 4.5))
        < 1e-9);

    // An empty text prints nothing and keeps the design height.
    material->setRange(3, 3);
    pages = report.compose();
    QCOMPARE(texts(pages), QStringList({"OCCURENCE", "NEXT"}));
    QVERIFY(qAbs(find(pages[0], QStringLiteral("NEXT"))->top - (20 + 14.82)) < 1e-9);
}

void TestReportEngine::stretchingTextRunsOnKeepingTwoLinesTogether()
{
    auto material = cursor(QStringLiteral("MATERIAL.DB"));
    material->setRange(4, 4);
    Report report;
    a4(report, material.get());
    auto *filler = new ReportBand(BandKind::Detail, &report);
    label(filler, QStringLiteral("FILLER"), 0, 0);
    auto *section = new ReportBand(BandKind::Child, &report);
    section->setHeight(14.82);
    filler->setChildBand(section);
    label(section, QStringLiteral("OCCURENCE"), 0, 5.03);
    stretch(section, material.get(), QStringLiteral("occur"));

    filler->setHeight(10);
    std::vector<ReportPage> pages = report.compose();
    QCOMPARE(pages.size(), size_t(1));
    const double spacing
        = find(pages[0], QStringLiteral("r02"))->top - find(pages[0], QStringLiteral("r01"))->top;

    // The lines printed on the first page when room is left for `fit` lines
    // of the text below the filler.
    auto firstPage = [&](double fit) {
        filler->setHeight(267 - 10.05 - fit * spacing);
        pages = report.compose();
        QStringList all = texts(pages);
        all.removeAll(QStringLiteral("FILLER"));
        all.removeAll(QStringLiteral("OCCURENCE"));
        const QStringList expected
            = QStringList({"r01", "r02", "r03", "r04", "r05", "r06", "r07", "r08", "r09", "r10",
                "r11", "r12", "r13", "r14", "r15", "r16", "r17", "r18", "r19", "r20"});
        if (all != expected)
            return QStringList {QStringLiteral("lines lost or repeated")};
        return texts(pages, 0);
    };
    // Five lines fit: the text starts on the first page and runs on.
    QCOMPARE(
        firstPage(5.5), QStringList({"FILLER", "OCCURENCE", "r01", "r02", "r03", "r04", "r05"}));
    QCOMPARE(pages.size(), size_t(2));
    QCOMPARE(find(pages[1], QStringLiteral("r06"))->top, 20.0);
    // Nineteen fit: the last line does not stand alone on the next page.
    QCOMPARE(firstPage(19.5).size(), 2 + 18);
    QCOMPARE(texts(pages, 1), QStringList({"r19", "r20"}));
    // One fits: the heading does not stay behind with a single line.
    QCOMPARE(firstPage(1.5), QStringList({"FILLER"}));
    QCOMPARE(texts(pages, 1).mid(0, 2), QStringList({"OCCURENCE", "r01"}));

    // A break that falls on the empty line between paragraphs: the next page
    // starts with the second paragraph at the top of its body.
    material->setRange(5, 5);
    filler->setHeight(267 - 10.05 - 2.5 * spacing);
    pages = report.compose();
    QCOMPARE(texts(pages, 1), QStringList({"para 2a", "para 2b"}));
    QCOMPARE(find(pages[1], QStringLiteral("para 2a"))->top, 20.0);
    material->setRange(4, 4);

    // A band without a stretching text that fits on a page moves over whole.
    auto *fixed = new ReportBand(BandKind::Child, &report);
    fixed->setHeight(20);
    section->setChildBand(fixed);
    label(fixed, QStringLiteral("FIXED"), 0, 0);
    label(fixed, QStringLiteral("FIXED END"), 0, 15);
    const double sectionHeight = 14.82 + 20 * spacing - 4.5;
    filler->setHeight(267 - sectionHeight - 10);
    pages = report.compose();
    QCOMPARE(pages.size(), size_t(2));
    QCOMPARE(texts(pages, 1), QStringList({"FIXED", "FIXED END"}));
}

void TestReportEngine::fixedWidthTextKeepsItsWidth()
{
    auto material = cursor(QStringLiteral("MATERIAL.DB"));
    material->setRange(1, 1);
    Report report;
    a4(report, material.get());
    auto *band = new ReportBand(BandKind::Detail, &report);
    band->setHeight(5.03);
    auto *narrow = new ReportDBText(band, material.get(), QStringLiteral("liter"));
    narrow->setGeometry(0, 0.26, 27.78, 4.5);
    label(band, QStringLiteral("beside"), 32.41, 0.33);

    const std::vector<ReportPage> pages = report.compose();
    QCOMPARE(pages.size(), size_t(1));
    QCOMPARE(texts(pages), QStringList({"Line 001", "beside"}));
    QVERIFY(find(pages[0], QStringLiteral("Line 001"))->width <= 27.78);

    // A single word wider than the element is cut to what fits.
    narrow->setGeometry(0, 0.26, 5, 4.5);
    const QString first = texts(report.compose()).first();
    QVERIFY2(QStringLiteral("Line 001").startsWith(first) && first.size() < 8, qPrintable(first));
}

void TestReportEngine::emptyMasterGivesNoReportUnlessAsked()
{
    auto material = cursor(QStringLiteral("MATERIAL.DB"));
    material->setRange(99, 99);
    Report report;
    a4(report, material.get());
    auto *header = new ReportBand(BandKind::PageHeader, &report);
    header->setHeight(10);
    label(header, QStringLiteral("HEADER"), 0, 0);
    auto *detail = new ReportBand(BandKind::Detail, &report);
    detail->setHeight(10);
    label(detail, QStringLiteral("DETAIL"), 0, 0);
    auto *footer = new ReportBand(BandKind::PageFooter, &report);
    footer->setHeight(10);
    label(footer, QStringLiteral("FOOTER"), 0, 0);

    QVERIFY(report.compose().empty());
    const QString path = m_dir.filePath(QStringLiteral("empty.pdf"));
    QVERIFY(!report.exportPdf(path));
    QVERIFY(!QFile::exists(path));

    report.setPrintIfEmpty(true);
    QCOMPARE(texts(report.compose()), QStringList({"HEADER", "FOOTER"}));
    QVERIFY(report.exportPdf(path));
    QCOMPARE(zil::test::pdfPageCount(path), 1);
}

QTEST_MAIN(TestReportEngine)
#include "tst_report_engine.moc"
