// The criteria dialog: words to look for in a material's name or synonyms and
// in its occurrence, flavour and application texts, and the test that decides
// whether the material under the scan cursor meets them.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zil::store {
class Table;
}

class TSearchWindow : public QDialog
{
    Q_OBJECT
public:
    explicit TSearchWindow(QWidget *parent = nullptr);

    // The criteria; CAS is never shown, so it only ever holds what Clear
    // leaves in it.
    QLineEdit *Material = nullptr;
    QLineEdit *CAS = nullptr;
    QLineEdit *Occurence = nullptr;
    QLineEdit *Flavour = nullptr;
    QLineEdit *Application = nullptr;
    QPushButton *SearchButton = nullptr;
    QPushButton *SearchAllButton = nullptr;
    QPushButton *ClearButton = nullptr;
    QPushButton *CloseButton = nullptr;
    // How the last showing ended: 0 close, 1 select, 2 select all.
    int Choice = 0;

    // Shows the dialog modally and returns Choice.
    int Execute();

    void FormShow();
    void SearchButtonClick();
    void SearchAllButtonClick();
    void ClearButtonClick();
    void CloseButtonClick();

    // The scan cursor on MATERIAL.DB and the SYNON.DB cursor that follows it.
    void SetScanCursors(zil::store::Table *materials, zil::store::Table *synonyms);

    // Whether the material under the scan cursor meets every criterion. The
    // scan cursor stays on its record.
    bool MaterialMatches();
    // Whether the memo field of the scanned material holds criterion, which is
    // already in normal form; an empty criterion always holds, an empty memo
    // never holds a criterion.
    bool MemoContains(const QString &criterion, const QString &memoField);
    // Tests every material in view of the scan cursor at once, with the
    // outcome MaterialMatches gives for each in turn, from texts held in
    // memory and without moving any cursor. For the i-th material (from 0)
    // whose id lies in 1..maxId, flags[id] takes the outcome; progress(i)
    // follows each test. Returns how many of those materials match.
    qint32 MatchAll(
        std::vector<uint8_t> &flags, qint32 maxId, const std::function<void(int)> &progress);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *addRow(
        const QString &caption, QLineEdit *&field, const char *name, int top, int x, int width);

    zil::store::Table *m_materials = nullptr;
    zil::store::Table *m_synonyms = nullptr;
    // The criteria in normal form, taken from the fields once and kept until
    // a field changes, so that a scan does not form them for every material.
    struct Criteria
    {
        QString material;
        QString cas;
        QByteArray occurrence; // the memo criteria as the memos' bytes
        QByteArray flavour;
        QByteArray application;
    };
    const Criteria &criteria();
    bool memoHolds(QByteArrayView criterion, const QString &memoField);
    // Whether the text, upper-cased, holds criterion; a memo ends at its
    // first zero byte and, empty, holds nothing.
    bool textHolds(QByteArrayView text, QByteArrayView criterion, bool memo);
    // The same for a text whose letters a to z are upper-cased already.
    static bool upperTextHolds(QByteArrayView text, QByteArrayView criterion, bool memo);

    std::optional<Criteria> m_criteria;
    QByteArray m_folded; // the memo being tested, upper-cased; reused between tests
};

// The criteria test as the selection's predicate. A scan that finds this
// predicate tests every material at once through MatchAll rather than moving
// the scan cursor from record to record.
struct CriteriaPredicate
{
    TSearchWindow *window;
    bool operator()() const { return window->MaterialMatches(); }
};

// The text without the blanks (code 32 only) at its ends.
QString TrimSpaces(const QString &text);
// The text with a to z turned into A to Z; every other character stays.
QString UpperAscii(const QString &text);
// A criterion as it is compared: trimmed of blanks, then upper-cased.
QString CriterionForm(const QString &text);
