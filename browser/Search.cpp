#include "Search.h"

#include "framework/picture.h"
#include "platform/font.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

using zil::framework::Glyph;

namespace {

// The dialog's buttons show their glyphs as they are; the style greys a
// disabled one.
QIcon buttonIcon(Glyph glyph)
{
    return QIcon(QPixmap::fromImage(zil::framework::glyphImage(glyph)));
}

} // namespace

TSearchWindow::TSearchWindow(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("SearchWindow"));
    setWindowTitle(QStringLiteral("Search"));
    setFont(zil::platform::arialPixels(12));
    setFixedSize(444, 171);
    setSizeGripEnabled(false);

    addRow(QStringLiteral("&Material"), Material, "Material", 8, 78, 358);
    QLabel *casLabel = addRow(QStringLiteral("C&AS"), CAS, "CAS", 8, 328, 108);
    casLabel->hide();
    CAS->hide();
    addRow(QStringLiteral("&Occurrence"), Occurence, "Occurence", 40, 78, 358);
    addRow(QStringLiteral("&Flavour"), Flavour, "Flavour", 72, 78, 359);
    addRow(QStringLiteral("A&pplication"), Application, "Application", 104, 78, 359);
    // The test takes the criteria in normal form after any change of a field,
    // so that a scan does not form them for every material.
    for (QLineEdit *field : {Material, CAS, Occurence, Flavour, Application})
        connect(field, &QLineEdit::textChanged, this, [this] { m_test.SetCriteria(criteria()); });
    setTabOrder(Material, CAS);
    setTabOrder(CAS, Occurence);
    setTabOrder(Occurence, Flavour);
    setTabOrder(Flavour, Application);

    // The button bar along the bottom edge.
    const int barTop = height() - 35;
    auto button = [this, barTop](QPushButton *&b, const char *name, const QString &caption, int x,
                      int width, Glyph glyph) {
        b = new QPushButton(buttonIcon(glyph), caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, barTop + 2, width, 30);
        b->setAutoDefault(false);
    };
    button(SearchButton, "SearchButton", QStringLiteral("&Select"), 8, 83, Glyph::Select);
    button(SearchAllButton, "SearchAllButton", QStringLiteral("Select &all"), 95, 83,
        Glyph::SelectAll);
    button(ClearButton, "ClearButton", QStringLiteral("C&lear"), 182, 83, Glyph::Clear);
    button(
        CloseButton, "CloseButton", QStringLiteral("&Close"), width() - 8 - 75, 75, Glyph::Close);
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
    label->setFont(zil::platform::arialPixels(11, true));
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
    m_test.SetScanCursors(materials, synonyms);
}

Criteria TSearchWindow::criteria() const
{
    return Criteria::fromTexts(
        Material->text(), CAS->text(), Occurence->text(), Flavour->text(), Application->text());
}
