#include "findwindow.h"

#include "materiallist.h"

#include "platform/messagebox.h"
#include "store/field.h"
#include "store/table.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace zil::browser {

// The rows of the result list: the materials found, then a line that counts
// those left out, or one that says nothing was found.
class FindResultModel : public QAbstractTableModel
{
public:
    explicit FindResultModel(const FindIndex &index, QObject *parent)
        : QAbstractTableModel(parent)
        , m_index(index)
    { }

    void setResult(FindResult result, bool searched)
    {
        beginResetModel();
        m_result = std::move(result);
        m_searched = searched;
        endResetModel();
    }
    const FindResult &result() const { return m_result; }

    // The line after the materials, if any.
    bool hasNoteRow() const
    {
        return m_searched && (m_result.total == 0 || m_result.total > qint32(m_result.hits.size()));
    }
    QString note() const
    {
        if (m_result.total == 0)
            return QStringLiteral("No material found");
        return QStringLiteral("\u2026and %1 more")
            .arg(m_result.total - qint32(m_result.hits.size()));
    }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_result.hits.size()) + (hasNoteRow() ? 1 : 0);
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 5;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const size_t row = size_t(index.row());
        if (row >= m_result.hits.size())
            return index.column() == 0 ? QVariant(note()) : QVariant();
        const FindHit &hit = m_result.hits[row];
        switch (index.column()) {
        case 0:
            return m_index.name(hit.id);
        case 1:
            return m_index.cas(hit.id);
        case 2:
            return m_index.fema(hit.id);
        case 3:
            return m_index.ce(hit.id);
        default:
            return foundBy(hit);
        }
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        if (size_t(index.row()) >= m_result.hits.size())
            return Qt::ItemIsEnabled;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char *const titles[] = {"Name", "CAS", "FEMA", "CE", "Found in"};
        return section >= 0 && section < 5 ? QString::fromLatin1(titles[section]) : QString();
    }

private:
    QString foundBy(const FindHit &hit) const
    {
        switch (hit.field) {
        case FindField::Cas:
            return QStringLiteral("CAS");
        case FindField::Fema:
            return QStringLiteral("FEMA");
        case FindField::Ce:
            return QStringLiteral("CE");
        case FindField::Name:
            return QStringLiteral("Name");
        case FindField::Synonym:
            return QStringLiteral("Synonym: ") + m_index.synonym(hit.synonym);
        }
        return {};
    }

    const FindIndex &m_index;
    FindResult m_result;
    bool m_searched = false;
};

FindWindow::FindWindow(QWidget *parent, Shared shared)
    : QDialog(parent)
    , m_shared(std::move(shared))
{
    setObjectName(QStringLiteral("FindWindow"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);
    resize(560, 340);

    auto *label = new QLabel(QStringLiteral("&Find name, synonym, CAS, FEMA or CE number:"), this);
    label->setObjectName(QStringLiteral("FindLabel"));
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("FindField"));
    label->setBuddy(m_field);
    m_results = new QTreeView(this);
    m_results->setObjectName(QStringLiteral("FindResults"));
    m_model = new FindResultModel(m_index, this);
    m_results->setModel(m_model);
    m_results->setRootIsDecorated(false);
    m_results->setItemsExpandable(false);
    m_results->setUniformRowHeights(true);
    m_results->setAllColumnsShowFocus(true);
    m_results->setSelectionMode(QAbstractItemView::SingleSelection);
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->header()->setStretchLastSection(true);
    m_results->setColumnWidth(0, 210);
    m_results->setColumnWidth(1, 80);
    m_results->setColumnWidth(2, 50);
    m_results->setColumnWidth(3, 50);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_field);
    layout->addWidget(m_results);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("FindStatus"));
    layout->addWidget(m_status);

    connect(m_field, &QLineEdit::textChanged, this, [this] {
        m_status->clear();
        Search();
    });
    connect(m_field, &QLineEdit::returnPressed, this, [this] {
        const QModelIndex current = m_results->currentIndex();
        OpenRow(current.isValid() ? current.row() : 0);
    });
    connect(m_results, &QAbstractItemView::activated, this,
        [this](const QModelIndex &index) { OpenRow(index.row()); });
    m_field->installEventFilter(this);
}

FindWindow::~FindWindow() = default;

void FindWindow::FindClick()
{
    show();
    raise();
    activateWindow();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
    // A list emptied by a change of database is made again for the text left.
    if (!m_index.isBuilt())
        Search();
}

void FindWindow::showEvent(QShowEvent *event)
{
    placeOverParent();
    QDialog::showEvent(event);
}

void FindWindow::placeOverParent()
{
    // Without a window manager nothing places a new window; centred on the
    // main window it is where the user looks.
    QWidget *main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main)
        return;
    const QRect frame = main->frameGeometry();
    QPoint topLeft = frame.center() - QPoint(width() / 2, height() / 2);
    topLeft.setX(std::max(topLeft.x(), frame.left()));
    topLeft.setY(std::max(topLeft.y(), frame.top()));
    move(topLeft);
}

bool FindWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The arrow and page keys in the field move through the list, so that
    // the hands stay on the keyboard between typing and Enter.
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_PageDown
            || key == Qt::Key_PageUp) {
            QApplication::sendEvent(m_results, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool FindWindow::ensureIndex()
{
    if (m_index.isBuilt())
        return true;
    // A database that could not be read is reported once, not at every
    // keystroke; a change of database lets it be tried again.
    if (m_buildFailed)
        return false;
    if (!m_shared.materials || !m_shared.synonyms || !m_shared.materials->active())
        return false;
    // The store's search data file of the tables is read in place; only when
    // it is missing, stale or damaged are the data built here.
    if (m_index.open(*m_shared.materials, *m_shared.synonyms))
        return true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        m_index.build(*m_shared.materials, *m_shared.synonyms);
    } catch (const std::exception &e) {
        m_index.clear();
        m_buildFailed = true;
        QApplication::restoreOverrideCursor();
        platform::showError(this, QString::fromLocal8Bit(e.what()));
        return false;
    }
    QApplication::restoreOverrideCursor();
    return true;
}

void FindWindow::Search()
{
    const QString text = m_field->text();
    if (text.trimmed().isEmpty() || !ensureIndex()) {
        m_model->setResult({}, false);
        return;
    }
    FindResult result = m_index.find(text, kMaxRows);
    // A damaged block of the search data file lets the file go: the search
    // is made again on data built from the tables.
    if (!m_index.isBuilt()) {
        if (!ensureIndex()) {
            m_model->setResult({}, false);
            return;
        }
        result = m_index.find(text, kMaxRows);
    }
    m_model->setResult(std::move(result), true);
    if (m_model->hasNoteRow())
        m_results->setFirstColumnSpanned(m_model->rowCount() - 1, QModelIndex(), true);
    if (!m_model->result().hits.empty())
        m_results->setCurrentIndex(m_model->index(0, 0));
}

bool FindWindow::OpenRow(int row)
{
    const std::vector<FindHit> &hits = m_model->result().hits;
    if (row < 0 || size_t(row) >= hits.size() || !m_shared.list)
        return false;
    const qint32 id = hits[size_t(row)].id;
    const QString name = m_index.name(id);
    // A database replaced since the list was made may give the id to another
    // material: the list is made anew and nothing is opened or restored.
    if (!m_shared.list->Names(id, name)) {
        searchedAgain();
        return false;
    }
    if (m_shared.showMaterialsTab)
        m_shared.showMaterialsTab();
    if (!m_shared.list->Reveal(id, name)) {
        searchedAgain();
        return false;
    }
    close();
    if (QWidget *main = parentWidget() ? parentWidget()->window() : nullptr)
        main->activateWindow();
    return true;
}

void FindWindow::searchedAgain()
{
    DatabaseChanged();
    m_status->setText(QStringLiteral(
        "The database has changed since this list was made: it was searched again."));
}

void FindWindow::DatabaseChanged()
{
    m_index.clear();
    m_buildFailed = false;
    if (isVisible())
        Search();
    else
        m_model->setResult({}, false);
}

} // namespace zil::browser
