#include "findwindow.h"

#include "materiallist.h"

#include "platform/messagebox.h"
#include "store/field.h"
#include "store/table.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <limits>
#include <numeric>

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
        arrange();
        endResetModel();
    }
    const FindResult &result() const { return m_result; }
    // The material of a row, in the order shown; rows past the materials
    // hold none.
    const FindHit *hitAt(int row) const
    {
        return row >= 0 && size_t(row) < m_order.size() ? &m_result.hits[m_order[size_t(row)]]
                                                        : nullptr;
    }
    // Whether materials were found that the list leaves out.
    bool cut() const { return m_searched && m_result.total > qint32(m_result.hits.size()); }

    // A click on a column's title orders the materials listed by that
    // column, and a list made afterwards comes in that order too; column -1
    // is the order they were found in, best first. The line after the
    // materials stays last.
    void sort(int column, Qt::SortOrder order) override
    {
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        m_sortColumn = column;
        m_sortOrder = order;
        const std::vector<size_t> before = m_order;
        arrange();
        // The row the user stood on stays current, wherever it went.
        std::vector<int> rowOf(m_order.size());
        for (size_t r = 0; r < m_order.size(); ++r)
            rowOf[m_order[r]] = int(r);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        for (const QModelIndex &i : from)
            to << (size_t(i.row()) < before.size()
                    ? index(rowOf[before[size_t(i.row())]], i.column())
                    : i);
        changePersistentIndexList(from, to);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

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
        const FindHit *hit = hitAt(index.row());
        if (!hit)
            return index.column() == 0 ? QVariant(note()) : QVariant();
        return text(*hit, index.column());
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        if (!index.isValid())
            return Qt::NoItemFlags;
        if (!hitAt(index.row()))
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
    QString text(const FindHit &hit, int column) const
    {
        switch (column) {
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

    // The rows in the order asked for: names in the database's name order,
    // which is that of the ids; numbers by their value, part by part, so
    // that 50-00-0 comes before 100-00-0; the way found as text. Materials
    // without the number come last either way; equals keep name order.
    void arrange()
    {
        const std::vector<FindHit> &hits = m_result.hits;
        m_order.resize(hits.size());
        std::iota(m_order.begin(), m_order.end(), size_t(0));
        if (m_sortColumn < 0 || m_sortColumn > 4)
            return;
        const bool down = m_sortOrder == Qt::DescendingOrder;
        if (m_sortColumn == 0) {
            std::stable_sort(m_order.begin(), m_order.end(), [&](size_t a, size_t b) {
                return down ? hits[b].id < hits[a].id : hits[a].id < hits[b].id;
            });
            return;
        }
        std::vector<QString> keys(hits.size());
        for (size_t i = 0; i < hits.size(); ++i)
            keys[i] = text(hits[i], m_sortColumn);
        const bool numbers = m_sortColumn <= 3;
        std::stable_sort(m_order.begin(), m_order.end(), [&](size_t a, size_t b) {
            const QString &x = keys[a];
            const QString &y = keys[b];
            if (x.isEmpty() != y.isEmpty())
                return y.isEmpty();
            if (x.isEmpty())
                return hits[a].id < hits[b].id;
            const int c = numbers ? compareNumbers(x, y) : x.compare(y, Qt::CaseInsensitive);
            if (c == 0)
                return hits[a].id < hits[b].id;
            return down ? c > 0 : c < 0;
        });
    }

    // Compares two numbers as shown: runs of digits by their value, any
    // other character as itself.
    static int compareNumbers(QStringView x, QStringView y)
    {
        qsizetype i = 0, j = 0;
        while (i < x.size() && j < y.size()) {
            if (x[i].isDigit() && y[j].isDigit()) {
                qsizetype ei = i, ej = j;
                while (ei < x.size() && x[ei].isDigit())
                    ++ei;
                while (ej < y.size() && y[ej].isDigit())
                    ++ej;
                QStringView a = x.mid(i, ei - i), b = y.mid(j, ej - j);
                while (a.size() > 1 && a.front() == u'0')
                    a = a.mid(1);
                while (b.size() > 1 && b.front() == u'0')
                    b = b.mid(1);
                if (a.size() != b.size())
                    return a.size() < b.size() ? -1 : 1;
                if (const int c = a.compare(b); c != 0)
                    return c;
                i = ei;
                j = ej;
            } else {
                if (x[i] != y[j])
                    return x[i] < y[j] ? -1 : 1;
                ++i;
                ++j;
            }
        }
        return i < x.size() ? 1 : j < y.size() ? -1 : 0;
    }

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
    // The rows shown: indexes into the hits, in the order asked for.
    std::vector<size_t> m_order;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
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
    // The columns are fitted to what each list holds, until the user sets
    // a column's width by dragging its edge; the last takes what is left.
    QHeaderView *header = m_results->header();
    header->setStretchLastSection(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    m_results->setColumnWidth(0, 210);
    m_results->setColumnWidth(1, 80);
    m_results->setColumnWidth(2, 50);
    m_results->setColumnWidth(3, 50);
    connect(header, &QHeaderView::sectionResized, this, [this](int column) {
        if (!m_fitting && column >= 0 && column < int(std::size(m_sizedByUser)))
            m_sizedByUser[column] = true;
    });
    // A click on a title sorts by that column, a second the other way, a
    // third gives back the order found in, best first.
    header->setSortIndicatorClearable(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    m_results->setSortingEnabled(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_field);
    layout->addWidget(m_results);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("FindStatus"));
    m_showAll = new QPushButton(QStringLiteral("Show &all"), this);
    m_showAll->setObjectName(QStringLiteral("FindShowAll"));
    m_showAll->setAutoDefault(false);
    m_showAll->setToolTip(
        QStringLiteral("List every material found, not only the first %1 (Alt+A)").arg(kMaxRows));
    m_showAll->hide();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_showAll);
    layout->addLayout(bottom);

    connect(m_field, &QLineEdit::textChanged, this, [this] {
        m_status->clear();
        // A text typed anew lists the first materials only, so that typing
        // stays quick.
        m_limit = kMaxRows;
        Search();
    });
    // Enter or a double click opens the material of its row. On the line
    // that counts the materials left out, Enter or a click lists them all.
    auto activate = [this](int row) {
        if (!m_model->hitAt(row) && m_model->cut())
            ShowAll();
        else
            OpenRow(row);
    };
    connect(m_field, &QLineEdit::returnPressed, this, [this, activate] {
        const QModelIndex current = m_results->currentIndex();
        activate(current.isValid() ? current.row() : 0);
    });
    connect(m_results, &QAbstractItemView::activated, this,
        [activate](const QModelIndex &index) { activate(index.row()); });
    connect(m_results, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (!m_model->hitAt(index.row()))
            ShowAll();
    });
    connect(m_showAll, &QPushButton::clicked, this, &FindWindow::ShowAll);
    m_field->installEventFilter(this);
}

FindWindow::~FindWindow()
{
    // The list goes with the dialog's children, after this part of the
    // window: the widths it gives up then are no user's.
    m_results->header()->disconnect(this);
}

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
        showResult({}, false);
        return;
    }
    FindResult result = m_index.find(text, m_limit);
    // A damaged block of the search data file lets the file go: the search
    // is made again on data built from the tables.
    if (!m_index.isBuilt()) {
        if (!ensureIndex()) {
            showResult({}, false);
            return;
        }
        result = m_index.find(text, m_limit);
    }
    showResult(std::move(result), true);
}

void FindWindow::ShowAll()
{
    if (!m_model->cut())
        return;
    m_limit = std::numeric_limits<int>::max();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Search();
    QApplication::restoreOverrideCursor();
}

void FindWindow::showResult(FindResult result, bool searched)
{
    m_model->setResult(std::move(result), searched);
    if (m_model->hasNoteRow())
        m_results->setFirstColumnSpanned(m_model->rowCount() - 1, QModelIndex(), true);
    if (!m_model->result().hits.empty())
        m_results->setCurrentIndex(m_model->index(0, 0));
    m_showAll->setVisible(m_model->cut());
    fitColumns();
}

void FindWindow::fitColumns()
{
    if (m_model->result().hits.empty())
        return;
    m_fitting = true;
    // The widest text of each column, as the sum of the widths of its
    // characters and two pixels to spare for what the font's pairs of
    // letters add: laying out every cell, as the view's own measure does,
    // would cost more than the search itself at each keystroke. The space
    // around the text is taken from the view's measure of one cell.
    const QHeaderView *header = m_results->header();
    const QFontMetrics metrics(m_results->font());
    if (!m_charWidthsFont || *m_charWidthsFont != m_results->font()) {
        m_charWidthsFont = m_results->font();
        m_charWidths.fill(-1);
    }
    auto widthOf = [&](const QString &text) {
        int width = 0;
        for (const QChar c : text) {
            if (c.unicode() >= m_charWidths.size() || c.isSurrogate())
                return metrics.horizontalAdvance(text) + 2;
            qint16 &w = m_charWidths[c.unicode()];
            if (w < 0)
                w = qint16(metrics.horizontalAdvance(c));
            width += w;
        }
        return width + 2;
    };
    const int rows = int(m_model->result().hits.size());
    auto needed = [&](int column) {
        int widest = 0;
        for (int row = 0; row < rows; ++row)
            widest = std::max(widest, widthOf(m_model->index(row, column).data().toString()));
        const QModelIndex first = m_model->index(0, column);
        const int around = m_results->sizeHintForIndex(first).width()
            - metrics.horizontalAdvance(first.data().toString());
        return std::max(widest + std::max(around, 0), header->sectionSizeHint(column));
    };
    int numbers = 0;
    for (int column = 1; column <= 3; ++column) {
        if (!m_sizedByUser[column])
            m_results->setColumnWidth(column, needed(column));
        numbers += m_results->columnWidth(column);
    }
    // The name takes what it needs, leaving the column of how each was
    // found some room.
    if (!m_sizedByUser[0]) {
        const int room = std::max(210, m_results->viewport()->width() - numbers - 100);
        m_results->setColumnWidth(0, std::min(room, needed(0)));
    }
    m_fitting = false;
}

bool FindWindow::OpenRow(int row)
{
    const FindHit *hit = m_model->hitAt(row);
    if (!hit || !m_shared.list)
        return false;
    const qint32 id = hit->id;
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
        showResult({}, false);
}

} // namespace zil::browser
