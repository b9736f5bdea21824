#include "Prints.h"

#include "platform/font.h"
#include "reports/sheet.h"
#include "store/table.h"

using namespace zil::framework;
using namespace zil::reports;

TPrintSupplier::TPrintSupplier(
    QWidget *owner, zil::platform::PrintDialog *dialog, zil::store::Table *current)
    : SheetHolder(owner, dialog, current, QStringLiteral("PrintSupplier"))
{
    createCursors();
    createBands();
}

void TPrintSupplier::createCursors()
{
    TableSupplier = makeCursor(this, "TableSupplier", QStringLiteral("SUPPLIER.DB"));
    SourceSupplier = makeSource(this, "SourceSupplier", TableSupplier);
    // Keyed by supplierid, the links come in the order of supplierlink: by
    // material id, which is the materials' name order.
    TableLink = makeCursor(this, "TableLink", QStringLiteral("MATSUPP.DB"), SourceSupplier,
        QStringLiteral("id"), QStringLiteral("supplierid"));
    SourceLink = makeSource(this, "SourceLink", TableLink);
    TableMaterial = makeCursor(this, "TableMaterial", QStringLiteral("MATERIAL.DB"), SourceLink,
        QStringLiteral("materialid"), QStringLiteral("id"));
}

void TPrintSupplier::createBands()
{
    Report->setDataSet(TableSupplier);

    PageHeaderBand1 = makeBand(*Report, BandKind::PageHeader, "PageHeaderBand1", 24.87);
    PageHeaderBand1->setTopRule(true);
    QRDBText1 = makeFieldText(
        PageHeaderBand1, "QRDBText1", TableSupplier, QStringLiteral("name"), 0, 6.61);
    QRDBText1->setFont(zil::platform::arialPoints(14, true));
    QRShape1 = makeRule(PageHeaderBand1, "QRShape1", 19.84, 0.66, 5);

    DetailBand1 = makeBand(*Report, BandKind::Detail, "DetailBand1", 42.86);
    QRLabel1 = makeHeading(DetailBand1, "QRLabel1", QStringLiteral("ADDRESS"), 0, 0);
    struct Line
    {
        const char *name;
        const char *field;
        double top;
        ReportDBText *TPrintSupplier::*member;
    };
    const Line lines[] = {
        {"QRDBText2", "name", 6.61, &TPrintSupplier::QRDBText2},
        {"QRDBText6", "address", 11.64, &TPrintSupplier::QRDBText6},
        {"QRDBText5", "city", 16.40, &TPrintSupplier::QRDBText5},
        {"QRDBText4", "country", 21.43, &TPrintSupplier::QRDBText4},
        {"QRDBText3", "phone", 26.46, &TPrintSupplier::QRDBText3},
    };
    for (const Line &l : lines)
        this->*l.member = makeFieldText(
            DetailBand1, l.name, TableSupplier, QString::fromLatin1(l.field), 0, l.top);
    QRLabel2 = makeHeading(DetailBand1, "QRLabel2", QStringLiteral("MATERIALS"), 0, 36.51);

    QRSubDetail1 = makeBand(*Report, BandKind::SubDetail, "QRSubDetail1", 5.03);
    QRSubDetail1->setDataSet(TableLink);
    // The CAS number keeps its width and its one line.
    QRDBText7 = makeStretchText(
        QRSubDetail1, "QRDBText7", TableMaterial, QStringLiteral("cas"), 0, 0.26, 27.78, 4.50);
    QRDBText7->setStretch(false);
    QRDBText8 = makeStretchText(QRSubDetail1, "QRDBText8", TableMaterial, QStringLiteral("name"),
        32.41, 0.33, 147.84, 4.50);

    PageFooterBand1 = makePageFooter(*Report, "QRLabel5", "QRSysData2",
        [this](QObject *sender, QString &value) { QRSysData2Print(sender, value); });
    QRLabel5 = PageFooterBand1->findChild<ReportLabel *>(QStringLiteral("QRLabel5"));
    QRSysData2 = PageFooterBand1->findChild<ReportSysData *>(QStringLiteral("QRSysData2"));
}

QList<zil::store::Table *> TPrintSupplier::cursorOrder() const
{
    return {TableMaterial, TableLink, TableSupplier};
}

zil::store::Table &TPrintSupplier::master() const
{
    return *TableSupplier;
}

void TPrintSupplier::QRSysData2Print(QObject *Sender, QString &Value)
{
    Q_UNUSED(Sender);
    Value = QStringLiteral("Page ") + Value;
}
