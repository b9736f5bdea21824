// The material sheet: the main window's current material with its name and
// CAS number as the page heading, its FEMA and CE numbers, its synonyms, its
// four texts and the names of its suppliers, on A4; with prices and notes
// shown, its notes after the texts and each supplier's price and comment. The holder is never
// shown; it owns the sheet's layout and its own cursors, which are open only while a report runs.
#pragma once

#include "reports/sheet.h"

class TPrintMaterial : public zil::reports::SheetHolder
{
    Q_OBJECT
public:
    // Owned by owner; prints the current record of current (the main
    // window's material cursor), asking dialog before a print run.
    TPrintMaterial(QWidget *owner, zil::platform::PrintDialog *dialog, zil::store::Table *current);

    // The page number's text hook: "Page " before the number.
    void QRSysData1Print(QObject *Sender, QString &Value);

    QList<zil::store::Table *> cursorOrder() const override;

    // Whether the sheet, and the CSV export that reads through its cursors,
    // has the material's notes and each supplier's price and comment.
    void setPricesNotes(bool shown);
    bool pricesNotes() const { return m_pricesNotes; }

    zil::store::Table *TableMaterial = nullptr;
    zil::store::DataSource *SourceMaterial = nullptr;
    zil::store::Table *TableSin = nullptr;
    zil::store::Table *TableMatSupp = nullptr;
    zil::store::DataSource *SourceMatSupp = nullptr;
    zil::store::Table *TableSupplier = nullptr;
    zil::store::Table *TableMaterial2 = nullptr;

    zil::framework::ReportBand *PageHeaderBand1 = nullptr;
    zil::framework::ReportDBText *QRDBText2 = nullptr;
    zil::framework::ReportDBText *QRDBText4 = nullptr;
    zil::framework::ReportShape *QRShape1 = nullptr;

    zil::framework::ReportBand *DetailBand1 = nullptr;
    zil::framework::ReportLabel *QRLabel7 = nullptr;
    zil::framework::ReportDBText *QRDBText9 = nullptr;
    zil::framework::ReportLabel *QRLabel8 = nullptr;
    zil::framework::ReportDBText *QRDBText10 = nullptr;
    zil::framework::ReportLabel *QRLabel1 = nullptr;

    zil::framework::ReportBand *QRSubDetail1 = nullptr;
    zil::framework::ReportDBText *QRDBText1 = nullptr;

    zil::framework::ReportBand *QRSubDetail2 = nullptr;
    zil::framework::ReportLabel *QRLabel2 = nullptr;
    zil::framework::ReportDBText *QRDBText5 = nullptr;
    zil::framework::ReportBand *ChildBand1 = nullptr;
    zil::framework::ReportLabel *QRLabel3 = nullptr;
    zil::framework::ReportDBText *QRDBText6 = nullptr;
    zil::framework::ReportBand *ChildBand2 = nullptr;
    zil::framework::ReportLabel *QRLabel4 = nullptr;
    zil::framework::ReportDBText *QRDBText7 = nullptr;
    zil::framework::ReportBand *ChildBand3 = nullptr;
    zil::framework::ReportLabel *QRLabel5 = nullptr;
    zil::framework::ReportDBText *QRDBText8 = nullptr;
    // The notes, between the literature and the suppliers while shown.
    zil::framework::ReportBand *ChildBandNotes = nullptr;
    zil::framework::ReportLabel *QRLabelNotes = nullptr;
    zil::framework::ReportDBText *QRDBTextNotes = nullptr;
    zil::framework::ReportBand *ChildBand4 = nullptr;
    zil::framework::ReportLabel *QRLabel6 = nullptr;

    zil::framework::ReportBand *QRSubDetail3 = nullptr;
    zil::framework::ReportDBText *QRDBText3 = nullptr;
    // The suppliers with their prices and comments, in place of the names
    // alone while prices are shown.
    zil::framework::ReportBand *QRSubDetailPrices = nullptr;
    zil::framework::ReportDBText *QRDBTextPricedName = nullptr;
    zil::framework::ReportDBText *QRDBTextPrice = nullptr;
    zil::framework::ReportDBText *QRDBTextComment = nullptr;

    zil::framework::ReportBand *PageFooterBand1 = nullptr;
    zil::framework::ReportLabel *QRLabel9 = nullptr;
    zil::framework::ReportSysData *QRSysData1 = nullptr;

protected:
    zil::store::Table &master() const override;

private:
    void createCursors();
    void createBands();

    bool m_pricesNotes = false;
};
