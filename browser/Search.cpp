#include "Search.h"

#include "framework/picture.h"
#include "store/field.h"
#include "store/table.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <cstring>
#include <optional>

namespace {

QFont arial(int pixels, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

enum class Picture { Select, SelectAll, Clear, Close };

// The small pictures of the four buttons.
QIcon buttonIcon(Picture picture)
{
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor teal(0, 128, 128);
    switch (picture) {
    case Picture::Select:
        zil::framework::paintFunnel(p);
        break;
    case Picture::SelectAll:
        for (int y : {3, 7, 11}) {
            p.fillRect(QRectF(1, y, 2, 2), teal);
            p.fillRect(QRectF(5, y, 10, 2), Qt::black);
        }
        break;
    case Picture::Clear:
        p.setPen(QPen(QColor(192, 0, 0), 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case Picture::Close:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(160, 96, 32));
        p.drawRect(QRectF(3.5, 1.5, 8, 13));
        p.fillRect(QRectF(8.5, 7.5, 1.5, 1.5), QColor(255, 215, 0));
        break;
    }
    p.end();
    return QIcon(QPixmap::fromImage(image));
}

bool isBlank(QChar c)
{
    return c.unicode() == 32;
}

// a to z only; accented letters and every other byte stay as they are, so a
// UTF-8 text keeps its multi-byte characters intact.
inline char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - ('a' - 'A')) : c;
}

} // namespace

QString TrimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size() - 1;
    while (first <= last && isBlank(text.at(first)))
        ++first;
    while (last >= first && isBlank(text.at(last)))
        --last;
    return text.mid(first, last - first + 1);
}

QString UpperAscii(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u - (u'a' - u'A')));
    }
    return out;
}

QString CriterionForm(const QString &text)
{
    return UpperAscii(TrimSpaces(text));
}

TSearchWindow::TSearchWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("Search"));
    setFont(arial(12, false));
    setFixedSize(444, 171);
    setSizeGripEnabled(false);

    addRow(QStringLiteral("&Material"), Material, "Material", 8, 78, 358);
    QLabel *casLabel = addRow(QStringLiteral("C&AS"), CAS, "CAS", 8, 328, 108);
    casLabel->hide();
    CAS->hide();
    addRow(QStringLiteral("&Occurrence"), Occurence, "Occurence", 40, 78, 358);
    addRow(QStringLiteral("&Flavour"), Flavour, "Flavour", 72, 78, 359);
    addRow(QStringLiteral("A&pplication"), Application, "Application", 104, 78, 359);
    // The criteria are formed again after any change of a field.
    for (QLineEdit *field : {Material, CAS, Occurence, Flavour, Application})
        connect(field, &QLineEdit::textChanged, this, [this] { m_criteria.reset(); });
    setTabOrder(Material, CAS);
    setTabOrder(CAS, Occurence);
    setTabOrder(Occurence, Flavour);
    setTabOrder(Flavour, Application);

    // The button bar along the bottom edge.
    const int barTop = height() - 35;
    auto button = [this, barTop](QPushButton *&b, const char *name, const QString &caption, int x,
                      int width, Picture picture) {
        b = new QPushButton(buttonIcon(picture), caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, barTop + 2, width, 30);
        b->setAutoDefault(false);
    };
    button(SearchButton, "SearchButton", QStringLiteral("&Select"), 8, 83, Picture::Select);
    button(SearchAllButton, "SearchAllButton", QStringLiteral("Select &all"), 95, 83,
        Picture::SelectAll);
    button(ClearButton, "ClearButton", QStringLiteral("C&lear"), 182, 83, Picture::Clear);
    button(
        CloseButton, "CloseButton", QStringLiteral("&Close"), width() - 8 - 75, 75, Picture::Close);
    // Enter anywhere selects; Esc closes without a choice.
    SearchButton->setDefault(true);
    setTabOrder(Application, SearchButton);
    setTabOrder(SearchButton, SearchAllButton);
    setTabOrder(SearchAllButton, ClearButton);
    setTabOrder(ClearButton, CloseButton);

    connect(SearchButton, &QPushButton::clicked, this, &TSearchWindow::SearchButtonClick);
    connect(SearchAllButton, &QPushButton::clicked, this, &TSearchWindow::SearchAllButtonClick);
    connect(ClearButton, &QPushButton::clicked, this, &TSearchWindow::ClearButtonClick);
    connect(CloseButton, &QPushButton::clicked, this, &TSearchWindow::CloseButtonClick);
}

QLabel *TSearchWindow::addRow(
    const QString &caption, QLineEdit *&field, const char *name, int top, int x, int width)
{
    field = new QLineEdit(this);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(x, top, width, 22);
    auto *label = new QLabel(caption, this);
    label->setFont(arial(11, true));
    label->setBuddy(field);
    label->adjustSize();
    label->move(x == 78 ? 8 : x - 4 - label->width(), top + (22 - label->height()) / 2);
    return label;
}

int TSearchWindow::Execute()
{
    Choice = 0;
    exec();
    return Choice;
}

void TSearchWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            const QRect frame = frameGeometry();
            move(area.left() + (area.width() - frame.width()) / 2,
                area.top() + (area.height() - frame.height()) / 2);
        }
        FormShow();
    }
    QDialog::showEvent(event);
}

void TSearchWindow::FormShow()
{
    // The first field that holds anything, blanks included; CAS never counts.
    for (QLineEdit *field : {Material, Occurence, Flavour, Application}) {
        if (!field->text().isEmpty()) {
            field->setFocus();
            return;
        }
    }
    Material->setFocus();
}

void TSearchWindow::SearchButtonClick()
{
    Choice = 1;
    accept();
}

void TSearchWindow::SearchAllButtonClick()
{
    Choice = 2;
    accept();
}

void TSearchWindow::ClearButtonClick()
{
    for (QLineEdit *field : {Material, CAS, Occurence, Flavour, Application})
        field->clear();
    Material->setFocus();
}

void TSearchWindow::CloseButtonClick()
{
    Choice = 0;
    reject();
}

void TSearchWindow::SetScanCursors(zil::store::Table *materials, zil::store::Table *synonyms)
{
    m_materials = materials;
    m_synonyms = synonyms;
}

const TSearchWindow::Criteria &TSearchWindow::criteria()
{
    if (!m_criteria) {
        m_criteria = Criteria {CriterionForm(Material->text()), CriterionForm(CAS->text()),
            CriterionForm(Occurence->text()).toUtf8(), CriterionForm(Flavour->text()).toUtf8(),
            CriterionForm(Application->text()).toUtf8()};
    }
    return *m_criteria;
}

bool TSearchWindow::MaterialMatches()
{
    if (!m_materials)
        return true;
    const Criteria &c = criteria();

    bool result = true;
    if (!c.material.isEmpty()) {
        const QString name
            = UpperAscii(m_materials->fieldByName(QStringLiteral("name")).asString());
        result = name.contains(c.material);
        // The synonyms are read only when the name itself does not match.
        if (!result && m_synonyms) {
            zil::store::Field &synonym = m_synonyms->fieldByName(QStringLiteral("name"));
            for (m_synonyms->first(); !m_synonyms->eof(); m_synonyms->next()) {
                if (UpperAscii(synonym.asString()).contains(c.material)) {
                    result = true;
                    break;
                }
            }
        }
    }
    if (result && !c.cas.isEmpty()
        && !UpperAscii(m_materials->fieldByName(QStringLiteral("cas")).asString()).contains(c.cas))
        result = false;
    if (result)
        result = memoHolds(c.occurrence, QStringLiteral("occur"));
    if (result)
        result = memoHolds(c.application, QStringLiteral("applic"));
    if (result)
        result = memoHolds(c.flavour, QStringLiteral("flavor"));
    return result;
}

bool TSearchWindow::MemoContains(const QString &criterion, const QString &memoField)
{
    return memoHolds(criterion.toUtf8(), memoField);
}

bool TSearchWindow::memoHolds(QByteArrayView criterion, const QString &memoField)
{
    if (criterion.isEmpty())
        return true;
    if (!m_materials)
        return false;
    const QByteArray stored = m_materials->fieldByName(memoField).asBytes();
    return textHolds(stored, criterion, true);
}

namespace {

// A memo's text ends at its first zero byte; the whole of it takes part, its
// last character included, whatever its length.
QByteArrayView memoText(QByteArrayView text)
{
    const void *zero = std::memchr(text.data(), 0, size_t(text.size()));
    return zero ? text.first(static_cast<const char *>(zero) - text.data()) : text;
}

} // namespace

bool TSearchWindow::upperTextHolds(QByteArrayView text, QByteArrayView criterion, bool memo)
{
    if (memo) {
        if (text.isEmpty())
            return false;
        text = memoText(text);
    }
    return memmem(text.data(), size_t(text.size()), criterion.data(), size_t(criterion.size()))
        != nullptr;
}

bool TSearchWindow::textHolds(QByteArrayView text, QByteArrayView criterion, bool memo)
{
    if (memo) {
        if (text.isEmpty())
            return false;
        text = memoText(text);
    }
    m_folded.resize(text.size());
    const char *from = text.data();
    char *to = m_folded.data();
    for (qsizetype i = 0; i < text.size(); ++i)
        to[i] = upperAscii(from[i]);
    return upperTextHolds(m_folded, criterion, false);
}

qint32 TSearchWindow::MatchAll(
    std::vector<uint8_t> &flags, qint32 maxId, const std::function<void(int)> &progress)
{
    if (!m_materials)
        return 0;
    zil::store::Table &materials = *m_materials;
    const Criteria &c = criteria();
    // Names and CAS numbers are compared as their stored UTF-8 bytes: only a
    // to z are folded, so a text holds the criterion exactly when its bytes
    // hold the criterion's.
    const QByteArray material = c.material.toUtf8();
    const QByteArray cas = c.cas.toUtf8();
    struct Test
    {
        QByteArrayView criterion;
        int column;
        bool memo;
    };
    std::vector<Test> tests;
    QStringList held;
    auto add = [&](QByteArrayView criterion, const char *field, bool memo) {
        if (criterion.isEmpty())
            return;
        const QString name = QString::fromLatin1(field);
        held << name;
        tests.push_back({criterion, materials.fieldByName(name).column(), memo});
    };
    // The order of MaterialMatches: the name, short and telling, first.
    add(material, "name", false);
    add(cas, "cas", false);
    add(c.occurrence, "occur", true);
    add(c.application, "applic", true);
    add(c.flavour, "flavor", true);
    const bool byName = !material.isEmpty();
    // Held upper-cased, so that every run tests them as they lie.
    materials.holdBytes(held, true);

    // The synonyms, through a cursor of their own without the link, open
    // only for this run so that it holds the table no longer; by material,
    // the places of its synonyms, found once they are first needed.
    std::optional<zil::store::Table> all;
    int synonymName = -1;
    std::vector<int> firstOf, places;
    auto synonymHolds = [&](qint64 link) {
        if (!m_synonyms || !m_synonyms->active() || link < 1 || link > maxId)
            return false;
        if (!all) {
            const QString key
                = m_synonyms->indexFieldNames().section(QLatin1Char(';'), 0, 0).trimmed();
            all.emplace();
            all->setDatabaseName(m_synonyms->databaseName());
            all->setTableName(m_synonyms->tableName());
            all->setReadOnly(true);
            all->open();
            all->holdBytes({QStringLiteral("name")}, true);
            synonymName = all->fieldByName(QStringLiteral("name")).column();
            const int keyColumn
                = all->fieldByName(key.isEmpty() ? QStringLiteral("materialid") : key).column();
            const int n = all->recordCount();
            std::vector<qint64> ids(size_t(n) + 1, 0);
            firstOf.assign(size_t(maxId) + 2, 0);
            for (int recNo = 1; recNo <= n; ++recNo) {
                ids[size_t(recNo)] = all->integerAt(recNo, keyColumn);
                if (ids[size_t(recNo)] >= 1 && ids[size_t(recNo)] <= maxId)
                    ++firstOf[size_t(ids[size_t(recNo)]) + 1];
            }
            for (size_t id = 1; id < firstOf.size(); ++id)
                firstOf[id] += firstOf[id - 1];
            places.resize(size_t(firstOf.back()));
            std::vector<int> next(firstOf.begin(), firstOf.end() - 1);
            for (int recNo = 1; recNo <= n; ++recNo) {
                if (ids[size_t(recNo)] >= 1 && ids[size_t(recNo)] <= maxId)
                    places[size_t(next[size_t(ids[size_t(recNo)])]++)] = recNo;
            }
        }
        for (int p = firstOf[size_t(link)]; p < firstOf[size_t(link) + 1]; ++p) {
            if (upperTextHolds(all->heldBytesAt(places[size_t(p)], synonymName), material, false))
                return true;
        }
        return false;
    };

    const QString masterField = m_synonyms && !m_synonyms->masterFields().isEmpty()
        ? m_synonyms->masterFields()
        : QStringLiteral("id");
    const int idColumn = materials.fieldByName(QStringLiteral("id")).column();
    const int linkColumn = materials.fieldByName(masterField).column();
    const int n = materials.recordCount();
    qint32 count = 0;
    for (int recNo = 1; recNo <= n; ++recNo) {
        bool result = true;
        for (size_t t = 0; t < tests.size() && result; ++t) {
            const Test &test = tests[t];
            result = upperTextHolds(
                materials.heldBytesAt(recNo, test.column), test.criterion, test.memo);
            if (!result && byName && t == 0)
                result = synonymHolds(materials.integerAt(recNo, linkColumn));
        }
        const qint64 id = materials.integerAt(recNo, idColumn);
        if (id >= 1 && id <= maxId) {
            flags[size_t(id)] = result;
            if (result)
                ++count;
        }
        progress(recNo - 1);
    }
    return count;
}
