#include "Printm.h"

#include "platform/font.h"
#include "reports/sheet.h"
#include "store/table.h"

using namespace zil::framework;
using namespace zil::reports;

TPrintMaterial::TPrintMaterial(
    QWidget *owner, zil::platform::PrintDialog *dialog, zil::store::Table *current)
    : SheetHolder(owner, dialog, current, QStringLiteral("PrintMaterial"))
{
    createCursors();
    createBands();
}

void TPrintMaterial::createCursors()
{
    const QString id = QStringLiteral("id");
    const QString materialid = QStringLiteral("materialid");
    TableMaterial = makeCursor(this, "TableMaterial", QStringLiteral("MATERIAL.DB"));
    SourceMaterial = makeSource(this, "SourceMaterial", TableMaterial);
    TableSin
        = makeCursor(this, "TableSin", QStringLiteral("SYNON.DB"), SourceMaterial, id, materialid);
    TableMatSupp = makeCursor(
        this, "TableMatSupp", QStringLiteral("MATSUPP.DB"), SourceMaterial, id, materialid);
    SourceMatSupp = makeSource(this, "SourceMatSupp", TableMatSupp);
    TableSupplier = makeCursor(this, "TableSupplier", QStringLiteral("SUPPLIER.DB"), SourceMatSupp,
        QStringLiteral("supplierid"), id);
    TableMaterial2
        = makeCursor(this, "TableMaterial2", QStringLiteral("MATERIAL.DB"), SourceMaterial, id, id);
}

void TPrintMaterial::createBands()
{
    Report->setDataSet(TableMaterial);

    PageHeaderBand1 = makeBand(*Report, BandKind::PageHeader, "PageHeaderBand1", 24.87);
    PageHeaderBand1->setTopRule(true);
    QRDBText2 = makeFieldText(
        PageHeaderBand1, "QRDBText2", TableMaterial, QStringLiteral("name"), 0, 6.61);
    QRDBText2->setFont(zil::platform::arialPoints(14, true));
    // A long name wraps short of the CAS number beside it.
    QRDBText2->setMaxWidth(140);
    QRDBText4 = makeFieldText(
        PageHeaderBand1, "QRDBText4", TableMaterial, QStringLiteral("cas"), 0, 6.61);
    QRDBText4->setEdge(BandEdge::Right);
    QRDBText4->setAlignment(Qt::AlignRight);
    QRDBText4->setFont(zil::platform::arialPoints(14, true));
    QRShape1 = makeRule(PageHeaderBand1, "QRShape1", 19.84, 0.53, 5);

    DetailBand1 = makeBand(*Report, BandKind::Detail, "DetailBand1", 14.82);
    DetailBand1->setForceNewPage(true);
    QRLabel7 = makeHeading(DetailBand1, "QRLabel7", QStringLiteral("FEMA"), 0, 0);
    // The two numbers stand on the baseline of the headings beside them: the
    // 10 pt text sits lower by the difference of the fonts' ascents.
    const double onHeadingBaseline = 0.32;
    QRDBText9 = makeFieldText(
        DetailBand1, "QRDBText9", TableMaterial, QStringLiteral("fema"), 19.84, onHeadingBaseline);
    QRLabel8 = makeHeading(DetailBand1, "QRLabel8", QStringLiteral("CE"), 50.01, 0);
    QRDBText10 = makeFieldText(
        DetailBand1, "QRDBText10", TableMaterial, QStringLiteral("ce"), 65.09, onHeadingBaseline);
    QRLabel1 = makeHeading(DetailBand1, "QRLabel1", QStringLiteral("IDENTITY"), 0, 10.05);

    QRSubDetail1 = makeBand(*Report, BandKind::SubDetail, "QRSubDetail1", 5.03);
    QRSubDetail1->setDataSet(TableSin);
    QRDBText1 = makeFieldText(QRSubDetail1, "QRDBText1", TableSin, QStringLiteral("name"), 0, 0);

    // The four texts, each a heading over a stretching text, in a sub-detail
    // over the second cursor on the material and its chain of child bands.
    struct Section
    {
        const char *band;
        const char *label;
        const char *text;
        const char *caption;
        const char *field;
        ReportBand *TPrintMaterial::*bandMember;
        ReportLabel *TPrintMaterial::*labelMember;
        ReportDBText *TPrintMaterial::*textMember;
    };
    const Section sections[] = {
        {"QRSubDetail2", "QRLabel2", "QRDBText5", "OCCURENCE", "occur",
            &TPrintMaterial::QRSubDetail2, &TPrintMaterial::QRLabel2, &TPrintMaterial::QRDBText5},
        {"ChildBand1", "QRLabel3", "QRDBText6", "FLAVOUR", "flavor", &TPrintMaterial::ChildBand1,
            &TPrintMaterial::QRLabel3, &TPrintMaterial::QRDBText6},
        {"ChildBand2", "QRLabel4", "QRDBText7", "APPLICATION", "applic",
            &TPrintMaterial::ChildBand2, &TPrintMaterial::QRLabel4, &TPrintMaterial::QRDBText7},
        {"ChildBand3", "QRLabel5", "QRDBText8", "LITERATURE", "liter", &TPrintMaterial::ChildBand3,
            &TPrintMaterial::QRLabel5, &TPrintMaterial::QRDBText8},
    };
    ReportBand *parent = nullptr;
    for (const Section &s : sections) {
        ReportBand *band
            = makeBand(*Report, parent ? BandKind::Child : BandKind::SubDetail, s.band, 14.82);
        if (parent)
            parent->setChildBand(band);
        else
            band->setDataSet(TableMaterial2);
        this->*s.bandMember = band;
        this->*s.labelMember = makeHeading(band, s.label, QString::fromLatin1(s.caption), 0, 5.03);
        this->*s.textMember = makeStretchText(
            band, s.text, TableMaterial2, QString::fromLatin1(s.field), 0, 10.05, 179.92, 4.50);
        parent = band;
    }
    ChildBandNotes = makeBand(*Report, BandKind::Child, "ChildBandNotes", 14.82);
    QRLabelNotes = makeHeading(ChildBandNotes, "QRLabelNotes", QStringLiteral("NOTES"), 0, 5.03);
    QRDBTextNotes = makeStretchText(ChildBandNotes, "QRDBTextNotes", TableMaterial2,
        QStringLiteral("notes"), 0, 10.05, 179.92, 4.50);
    ChildBand4 = makeBand(*Report, BandKind::Child, "ChildBand4", 10.05);
    ChildBand3->setChildBand(ChildBand4);
    ChildBandNotes->setChildBand(ChildBand4);
    QRLabel6 = makeHeading(ChildBand4, "QRLabel6", QStringLiteral("SUPPLIERS"), 1.06, 5.03);

    QRSubDetail3 = makeBand(*Report, BandKind::SubDetail, "QRSubDetail3", 5.03);
    QRSubDetail3->setDataSet(TableMatSupp);
    QRDBText3
        = makeFieldText(QRSubDetail3, "QRDBText3", TableSupplier, QStringLiteral("name"), 1.06, 0);

    // Over the same links, printed instead of the names alone: the name,
    // the price and the comment side by side. Without a cursor it prints
    // nothing.
    QRSubDetailPrices = makeBand(*Report, BandKind::SubDetail, "QRSubDetailPrices", 5.03);
    QRDBTextPricedName = makeStretchText(QRSubDetailPrices, "QRDBTextPricedName", TableSupplier,
        QStringLiteral("name"), 1.06, 0, 80, 4.50);
    QRDBTextPrice = makeFieldText(
        QRSubDetailPrices, "QRDBTextPrice", TableMatSupp, QStringLiteral("price"), 84, 0);
    QRDBTextComment = makeStretchText(QRSubDetailPrices, "QRDBTextComment", TableMatSupp,
        QStringLiteral("comment"), 112, 0, 67.92, 4.50);

    PageFooterBand1 = makePageFooter(*Report, "QRLabel9", "QRSysData1",
        [this](QObject *sender, QString &value) { QRSysData1Print(sender, value); });
    QRLabel9 = PageFooterBand1->findChild<ReportLabel *>(QStringLiteral("QRLabel9"));
    QRSysData1 = PageFooterBand1->findChild<ReportSysData *>(QStringLiteral("QRSysData1"));
}

void TPrintMaterial::setPricesNotes(bool shown)
{
    m_pricesNotes = shown;
    ChildBand3->setChildBand(shown ? ChildBandNotes : ChildBand4);
    QRSubDetail3->setDataSet(shown ? nullptr : TableMatSupp);
    QRSubDetailPrices->setDataSet(shown ? TableMatSupp : nullptr);
}

QList<zil::store::Table *> TPrintMaterial::cursorOrder() const
{
    return {TableSupplier, TableMatSupp, TableSin, TableMaterial2, TableMaterial};
}

zil::store::Table &TPrintMaterial::master() const
{
    return *TableMaterial;
}

void TPrintMaterial::QRSysData1Print(QObject *Sender, QString &Value)
{
    Q_UNUSED(Sender);
    Value = QStringLiteral("Page ") + Value;
}
