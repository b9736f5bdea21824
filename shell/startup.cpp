// Start-up of the main window: the splash, the settings, the index check,
// the other windows, and the opening of the database with the material list.
#include "About.h"
#include "LogoDlg.h"
#include "Sizerwin.h"
#include "Zil0.h"
#include "pricesnotes.h"
#include "updatefollower.h"

#include "browser/Progres.h"
#include "browser/Search.h"
#include "browser/searchclass.h"
#include "framework/settings.h"
#include "framework/settingsplaces.h"
#include "framework/stringgrid.h"
#include "platform/files.h"
#include "platform/messagebox.h"
#include "reports/Printm.h"
#include "reports/Prints.h"
#include "store/Zilidx00.h"
#include "store/database.h"
#include "store/dbupdate.h"
#include "store/filenames.h"
#include "store/indexfile.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/storeerror.h"
#include "store/table.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTabWidget>
#include <algorithm>
#include <cstdio>

namespace {

// Restores the normal mouse cursor however start-up ends.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// A fixed message as the first line of its box and what it concerns on the
// second; the fixed line alone when there is nothing to add.
QString withReason(const QString &message, const QString &reason)
{
    return reason.isEmpty() ? message : message + QLatin1Char('\n') + reason;
}

} // namespace

bool TMainForm::StartUp()
{
    WaitCursor wait;
    try {
        // No part of the program path is cut: a long path still finds the
        // settings file beside the program.
        const QFileInfo program(zil::platform::programFilePath());
        const QString fileName = program.fileName();
        ProgramBaseName = fileName.section(QLatin1Char('.'), 0, 0);
        ProgramDir = program.absolutePath();
        if (!ProgramDir.endsWith(QLatin1Char('/')))
            ProgramDir += QLatin1Char('/');

        LogoDialog = new TLogoDialog(this);
        LogoDialog->show();
        LogoDialog->repaint();

        MainTabNotebook->setCurrentIndex(0);
        DetailTabNotebook->setCurrentIndex(0);
        SuppliersDetailTabNotebook->setCurrentIndex(0);

        zil::store::Session::instance().addPassword(zil::schema::programPassword());
        ReadSettings();

        // Every index the cursors need is checked, not only the name order:
        // one left missing, damaged or stale by an interrupted rebuild or a
        // database update is made anew, by this workstation or, while
        // another is rebuilding, by that one. Find's search data are not
        // waited for: they follow once the window is open.
        if (zil::platform::fileExists(
                DatabasePath + zil::store::tableFileName(QStringLiteral("material")))
            && !zil::store::indexesComplete(DatabasePath, nullptr, zil::store::SearchData::Leave)) {
            IndexForm = new TIndexForm(this);
            IndexForm->setDatabasePath(DatabasePath);
            const QRect splash = LogoDialog->frameGeometry();
            IndexForm->move(
                splash.left() + (splash.width() - IndexForm->frameGeometry().width()) / 2,
                splash.top() + splash.height() + 10);
            IndexForm->show();
            IndexForm->repaint();
            IndexForm->EnsureIndexes();
            IndexForm->hide();
        }

        AboutBox = new TAboutBox(this);
        GaugeWindow = new TGaugeWindow(this);
        PrintMaterial = new TPrintMaterial(this, MainPrintDialog, TableMaterial);
        PrintMaterial->setPricesNotes(m_pricesNotes->shown());
        PrintSupplier = new TPrintSupplier(this, MainPrintDialog, TableSupplierName);
        SearchWindow = new TSearchWindow(this);
        SizerWindow = new TSizerWindow(this);

        if (!OpenDatabase())
            return false;
        // A rebuild above left the search data to this writer; a file
        // damaged or made from other tables is made anew the same way.
        SearchDataWriter.start(DatabasePath);
        UpdateListCaption();
        LogoDialog->hide();
        return true;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zil: %s\n", e.what());
        // The fixed text, then what went wrong.
        zil::platform::showError(LogoDialog,
            withReason(QStringLiteral("Internal error - cannot start program"),
                QString::fromUtf8(e.what())));
    }
    return false;
}

void TMainForm::ReadSettings()
{
    // Beside the program, then the user's configuration, then the machine's.
    SettingsPlaces = zil::settingsPlaces(ProgramDir, ProgramBaseName,
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
        QStringLiteral("/etc"));
    SettingsFileName = zil::firstSettingsFile(SettingsPlaces);
    if (!SettingsFileName.isEmpty())
        SettingsFileName = QFileInfo(SettingsFileName).absoluteFilePath();
    zil::SettingsFile settings(SettingsFileName);
    // The settings may name the directory with either separator.
    DatabasePath = settings.value(QStringLiteral("Database"), QStringLiteral("Path"));
    DatabasePathNamed = !DatabasePath.isEmpty();
    DatabasePath.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (!DatabasePath.endsWith(QLatin1Char('/')))
        DatabasePath += QLatin1Char('/');

    MainData->close();
    MainData->params().clear();
    MainData->params() << QStringLiteral("Path=") + DatabasePath;
    MainData->setDriverName(zil::store::Database::standardDriver());

    HelpFileName = settings.value(QStringLiteral("Help"), QStringLiteral("File Name"));
}

bool TMainForm::OpenDatabase()
{
    bool interrupted = false;
    try {
        zil::store::Session::instance().setNetFileDir(DatabasePath);
        // The twelve cursors in their fixed order, on tables of one database.
        zil::store::openDatabaseTables(DatabasePath,
            {TableSupplier, TableSupLink, TableSinon, TableSinon2, TableMaterial, TableSupLink2,
                TableSupplierName, TableSupplierSearch, TableMaterialSearch, TableMaterial2,
                TableSinonSelect, TableMaterialSelect},
            &interrupted);
        // When another program changes the tables, the new database is taken
        // up whole once it is, after the current reaction has ended.
        m_updates = std::make_unique<zil::shell::UpdateFollower>(this, DatabasePath, [this] {
            FollowNewDatabase();
            return !m_followAfterExport;
        });
        connect(MainData, &zil::store::Database::changedByAnotherProgram, this, [this] {
            if (m_updates)
                m_updates->request();
        });
        MaterialCount = TableMaterial->recordCount();

        SearchClass = std::make_unique<TSearchClass>(MaterialCount);
        SearchClass->MaterialTable = TableMaterial;
        SearchClass->SelectTable = TableMaterialSelect;
        SearchClass->Grid = MaterialGrid;
        SearchClass->Gauge = GaugeWindow;
        if (SearchWindow) {
            SearchWindow->SetScanCursors(TableMaterialSelect, TableSinonSelect);
            SearchClass->Predicate = &SearchWindow->Test();
        }
        SearchClass->SelectAll();
        SearchClass->BuildNameList();
        SearchClass->BuildAllCASList();
        SearchClass->SetOrder(QStringLiteral("Name"));
        SearchClass->GotoFirst();
        SetListOrder(QStringLiteral("Name"));

        TableMaterial->first();
        return true;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zil: %s\n", e.what());
    }
    MainData->close();
    // The fixed text, then where the database was looked for: the directory
    // tried, or the settings file when it named none, or every place of a
    // settings file when there was none; or, for a directory whose update
    // was left half-done, how to finish it.
    QString reason;
    if (interrupted)
        reason = zil::store::interruptedUpdateText(DatabasePath);
    else if (DatabasePathNamed)
        reason = QDir::toNativeSeparators(DatabasePath);
    else if (!SettingsFileName.isEmpty())
        reason = QDir::toNativeSeparators(SettingsFileName);
    else
        reason = zil::noSettingsFileText(SettingsPlaces);
    zil::platform::showError(
        LogoDialog, withReason(QStringLiteral("Database not found or corrupted"), reason));
    return false;
}
