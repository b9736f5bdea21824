// Exporting the material list as it stands, from the Report menu: as a CSV
// file for spreadsheets, or as one PDF file holding the material sheet of
// every listed material. Each asks for the file name, shows its progress with
// a Cancel button, and reports a file it could not write.
#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QMenu;
class QWidget;
class TPrintMaterial;

namespace zil::reports {

enum class ExportOutcome;

class SelectionExport : public QObject
{
    Q_OBJECT
    // The folder of the last file exported, where the file dialog opens next;
    // empty before the first export, which proposes the home folder.
    Q_PROPERTY(QString lastFolder READ lastFolder WRITE setLastFolder NOTIFY lastFolderChanged)
public:
    // The ids of the materials of the list as shown, in the list's order.
    using ListedMaterials = std::function<QList<qint32>()>;

    // Adds the two export items to the end of menu; dialogs and messages
    // open over window, which owns the controller.
    SelectionExport(QWidget *window, QMenu *menu, ListedMaterials listed);
    ~SelectionExport() override;

    QString lastFolder() const { return m_folder; }
    // Whether an export is under way: its progress window lets events
    // through until it has finished.
    bool running() const { return m_running; }
    void setLastFolder(const QString &folder);
    // Whether both exports write the notes and the suppliers' prices, as the
    // material sheet then shows them.
    void setPricesNotes(bool shown);

    // "Export selection as &CSV..." and "Export selection as P&DF...".
    void MenuExportCsvClick();
    void MenuExportPdfClick();

    QAction *MenuExportCsv = nullptr;
    QAction *MenuExportPdf = nullptr;

signals:
    void lastFolderChanged(const QString &folder);
    // An export was asked for: its file dialog is about to open.
    void started();
    // An export has written every listed material, count of them, to path.
    void written(const QString &path, int count);
    // An export asked for has ended, written, cancelled or failed.
    void finished();

private:
    using Writer = std::function<ExportOutcome(const QList<qint32> &ids, const QString &path,
        const std::function<bool(qsizetype done)> &progress, QString *error)>;
    // Asks for the file and writes the listed materials with writer,
    // showing progress as "<unit> n of N".
    void exportList(const QString &caption, const QString &suffix, const QString &filter,
        const QString &unit, const Writer &writer);
    TPrintMaterial &sheets();

    QWidget *m_window;
    ListedMaterials m_listed;
    QString m_folder;
    bool m_running = false;
    // Made at the first export: a material sheet of the export's own, whose
    // cursors both exports read, separate from the main window's.
    TPrintMaterial *m_sheets = nullptr;
    bool m_pricesNotes = false;
};

} // namespace zil::reports
