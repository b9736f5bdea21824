// The database of the detail pane and supplier browser tests: materials with
// three, two, one and no suppliers, synonyms in an order that is neither
// alphabetical nor the order of the file, suppliers whose names differ only
// in case, one whose name begins with an accented letter, links with prices
// and comments and a material with notes, and links to a supplier and a
// material that do not exist, written into the table files as another
// program would.
#pragma once

#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <functional>

class TMainForm;

namespace zil::framework {
class CellField;
class DataGrid;
} // namespace zil::framework

namespace zil::test {

// Names of the suppliers, by id.
inline constexpr int kZeta = 10; // "Zeta Oils"
inline constexpr int kAlphaAromatics = 20; // "alpha Aromatics"
inline constexpr int kMid = 30; // "Mid Chem"
inline constexpr int kAlphaBlends = 40; // "ALPHA Blends"
inline constexpr int kIdle = 50; // "Idle Trading"
inline constexpr int kAlphaCitrus = 60; // "Alpha Citrus"
inline constexpr int kNordic = 70; // "Nordic Essential Oils Trade Co", 30 characters
inline constexpr int kOlmuhle = 80; // "Ölmühle Aromen", filed under O
inline constexpr int kMissingSupplier = 99;
inline constexpr int kMissingMaterial = 999;
// Anethole's notes; its link to Zeta Oils has the price "GBP 10.63/kg" and
// the comment "natural per US rules", the one to Mid Chem "EUR 12.40/kg".
inline constexpr char kAnetholeNotes[] = "Turns brown in soap and with iron salts.";

// Makes the database in dbDir, its sources in srcDir.
bool makeLinkDatabase(const QString &srcDir, const QString &dbDir);

// The path of a table file of a database directory, whatever its case.
QString tableFile(const QString &dbDir, const QString &fileName);

// The id of the material of that name.
qint32 materialId(TMainForm &form, const QString &name);

// Makes the material of that name current and shows it in the list.
void gotoMaterial(TMainForm &form, const QString &name);

// The title of a link grid's one column.
QString gridTitle(const zil::framework::DataGrid *grid);

// The text each visible row of a link grid shows, top to bottom, drawn by
// the grid's own drawing reaction; an empty string for a cell drawn without
// text.
QStringList drawnRows(zil::framework::DataGrid *grid,
    const std::function<void(QPainter &, const QRect &, const zil::framework::CellField &)>
        &reaction);

} // namespace zil::test
