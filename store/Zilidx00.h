// The index rebuild window: has the store delete the old index files of the
// database directory and create the indexes of the four tables anew, showing
// the file and the index the store reports it is working on, and turns a
// failure into the rebuild's fixed messages.
#pragma once

#include <QString>
#include <QWidget>

class QFrame;
class QLabel;

namespace zil::store {
class Table;
}

class TIndexForm : public QWidget
{
    Q_OBJECT
public:
    explicit TIndexForm(QWidget *parent = nullptr);

    // The database directory, ending in the platform's separator.
    void setDatabasePath(const QString &path);
    const QString &databasePath() const { return m_databasePath; }

    // Deletes the old index files and creates all nine indexes; true when
    // every index was created. On success, and when an index cannot be
    // created, the window is hidden; when the old files cannot be searched it
    // stays as it is. Each failure shows one error message.
    bool RebuildIndexes();

    // Makes sure every index the cursors need is there, sound and made for
    // the tables as they are: one workstation at a time rebuilds them, under
    // the directory's rebuild lock, while any other that finds them wanting
    // waits for it (the window stays up) for at most waitMs and then checks
    // again. True when the indexes are complete; false when the rebuild
    // failed (its message shown) or the wait ran out.
    bool EnsureIndexes(int waitMs = 60000);

    // Prepares the directory in which the rebuild works from DatabasePath.
    // Runs whenever the window is shown, and again at the start of each
    // rebuild, so that the rebuild always works on the current path.
    void FormActivate();

    // The directory prepared by FormActivate, with a final separator.
    const QString &workDirectory() const { return m_workDirectory; }

    QFrame *Bevel = nullptr;
    QLabel *IndexLabel = nullptr;
    QFrame *IndexPanel = nullptr;
    QLabel *FileCaption = nullptr;
    QLabel *FileNameLabel = nullptr;
    QLabel *IndexCaption = nullptr;
    QLabel *IndexNameLabel = nullptr;
    // Names the table to which an index is added; never opened.
    zil::store::Table *Table = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool deleteOldIndexFiles();
    bool createAllIndexes();
    void showProgress(QLabel *label, const QString &text);

    QString m_databasePath;
    QString m_workDirectory;
};
