#include "Zilidx00.h"

#include "platform/filelock.h"
#include "platform/font.h"
#include "platform/messagebox.h"
#include "store/filenames.h"
#include "store/indexfile.h"
#include "store/table.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QThread>
#include <exception>

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, int x, int y, bool bold)
{
    auto *label = new QLabel(parent);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    label->setFont(zil::platform::arialPixels(11, bold));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(pal);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

TIndexForm::TIndexForm(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("IndexForm"));
    setFixedSize(377, 64);

    Bevel = new QFrame(this);
    Bevel->setObjectName(QStringLiteral("Bevel"));
    Bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel->setGeometry(0, 0, 377, 64);

    IndexLabel = makeLabel(
        this, "IndexLabel", QStringLiteral("Indexing database, please wait..."), 24, 8, false);

    IndexPanel = new QFrame(this);
    IndexPanel->setObjectName(QStringLiteral("IndexPanel"));
    IndexPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    IndexPanel->setGeometry(16, 28, 345, 25);

    FileCaption = makeLabel(IndexPanel, "FileCaption", QStringLiteral("File:"), 24, 6, false);
    FileNameLabel = makeLabel(IndexPanel, "FileNameLabel", QString(), 48, 6, true);
    IndexCaption = makeLabel(IndexPanel, "IndexCaption", QStringLiteral("Index:"), 160, 6, false);
    IndexNameLabel = makeLabel(IndexPanel, "IndexNameLabel", QString(), 192, 6, true);

    Table = new zil::store::Table(this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setExclusive(true);
}

void TIndexForm::setDatabasePath(const QString &path)
{
    m_databasePath = path;
}

void TIndexForm::FormActivate()
{
    // The whole path is kept, however long; only the final separator is
    // made sure of, so that file names can be appended to it.
    m_workDirectory = m_databasePath;
    if (!m_workDirectory.endsWith(QLatin1Char('/')) && !m_workDirectory.endsWith(QDir::separator()))
        m_workDirectory += QDir::separator();
}

void TIndexForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    FormActivate();
}

void TIndexForm::showProgress(QLabel *label, const QString &text)
{
    label->setText(text);
    label->adjustSize();
}

bool TIndexForm::deleteOldIndexFiles()
{
    bool first = true;
    try {
        zil::store::deleteOldIndexFiles(
            m_workDirectory, [&](zil::store::RebuildStep, const QString &pattern) {
                showProgress(FileNameLabel, pattern);
                if (first)
                    showProgress(IndexNameLabel, QString());
                first = false;
                IndexPanel->repaint();
            });
    } catch (const std::exception &) {
        const QString text = QStringLiteral("Error indexing database\r"
                                            "Cannot delete old index files: ");
        zil::platform::showError(this, text + FileNameLabel->text());
        return false;
    }
    return true;
}

bool TIndexForm::createAllIndexes()
{
    Table->setDatabaseName(m_workDirectory);
    try {
        // The search data follow in a thread of their own once the window is
        // open (finddatawriter.h).
        zil::store::indexTables(
            m_workDirectory,
            [this](zil::store::RebuildStep step, const QString &text) {
                if (step == zil::store::RebuildStep::Table) {
                    Table->setTableName(text);
                    showProgress(FileNameLabel, text);
                } else {
                    showProgress(IndexNameLabel, text);
                    IndexPanel->repaint();
                }
            },
            zil::store::SearchData::Leave);
    } catch (const std::exception &) {
        zil::platform::showError(
            this, QStringLiteral("Cannot reindex file:") + FileNameLabel->text());
        hide();
        return false;
    }
    return true;
}

bool TIndexForm::RebuildIndexes()
{
    FormActivate();
    if (!deleteOldIndexFiles())
        return false;
    if (!createAllIndexes())
        return false;
    hide();
    return true;
}

bool TIndexForm::EnsureIndexes(int waitMs)
{
    FormActivate();
    // The lock that lets one workstation rebuild while the others wait; it
    // lies with the table lock files and is never written.
    const QString lockPath = zil::store::rebuildLockFile(m_workDirectory);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        zil::platform::FileLock rebuildLock;
        const auto result = rebuildLock.lockExclusive(lockPath);
        if (result != zil::platform::LockResult::Busy) {
            // Another workstation may have finished just before the lock was
            // taken; a directory that cannot hold the lock (a read-only
            // medium) is rebuilt as it stands.
            if (zil::store::indexesComplete(
                    m_workDirectory, nullptr, zil::store::SearchData::Leave))
                return true;
            return RebuildIndexes();
        }
        if (waited.elapsed() >= waitMs)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(100);
        // The rebuild under way elsewhere may be done: then there is
        // nothing left to wait for.
        if (zil::store::indexesComplete(m_workDirectory, nullptr, zil::store::SearchData::Leave))
            return true;
    }
}
