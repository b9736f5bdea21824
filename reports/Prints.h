// The supplier sheet: the main window's current supplier with its name as the
// page heading, its address block, and the CAS number and name of every
// material it supplies, on A4. The holder is never shown; it owns the sheet's
// layout and its own cursors, which are open only while a report runs.
#pragma once

#include "reports/sheet.h"

class TPrintSupplier : public zil::reports::SheetHolder
{
    Q_OBJECT
public:
    // Owned by owner; prints the current record of current (the main
    // window's supplier cursor), asking dialog before a print run.
    TPrintSupplier(QWidget *owner, zil::platform::PrintDialog *dialog, zil::store::Table *current);

    // The page number's text hook: "Page " before the number.
    void QRSysData2Print(QObject *Sender, QString &Value);

    QList<zil::store::Table *> cursorOrder() const override;

    zil::store::Table *TableSupplier = nullptr;
    zil::store::DataSource *SourceSupplier = nullptr;
    zil::store::Table *TableLink = nullptr;
    zil::store::DataSource *SourceLink = nullptr;
    zil::store::Table *TableMaterial = nullptr;

    zil::framework::ReportBand *PageHeaderBand1 = nullptr;
    zil::framework::ReportDBText *QRDBText1 = nullptr;
    zil::framework::ReportShape *QRShape1 = nullptr;

    zil::framework::ReportBand *DetailBand1 = nullptr;
    zil::framework::ReportLabel *QRLabel1 = nullptr;
    zil::framework::ReportDBText *QRDBText2 = nullptr;
    zil::framework::ReportDBText *QRDBText6 = nullptr;
    zil::framework::ReportDBText *QRDBText5 = nullptr;
    zil::framework::ReportDBText *QRDBText4 = nullptr;
    zil::framework::ReportDBText *QRDBText3 = nullptr;
    zil::framework::ReportLabel *QRLabel2 = nullptr;

    zil::framework::ReportBand *QRSubDetail1 = nullptr;
    zil::framework::ReportDBText *QRDBText7 = nullptr;
    zil::framework::ReportDBText *QRDBText8 = nullptr;

    zil::framework::ReportBand *PageFooterBand1 = nullptr;
    zil::framework::ReportLabel *QRLabel5 = nullptr;
    zil::framework::ReportSysData *QRSysData2 = nullptr;

protected:
    zil::store::Table &master() const override;

private:
    void createCursors();
    void createBands();
};
