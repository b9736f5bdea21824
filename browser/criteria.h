// The criteria test: words to look for in a material's name or synonyms, its
// CAS number and its occurrence, flavour and application texts, and the test
// that decides whether a material meets them, one at a time under the scan
// cursor or the whole table at once.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace zil::store {
class Table;
}

// What the selection set asks of a test of materials.
class MaterialTest
{
public:
    virtual ~MaterialTest() = default;
    // Whether the material under the scan cursor passes; the scan cursor
    // stays on its record.
    virtual bool MaterialMatches() = 0;
    // Tests every material in view of the scan cursor at once, with the
    // outcome MaterialMatches gives for each in turn, without moving the scan
    // cursor. For the i-th material (from 0) whose id lies in 1..maxId,
    // flags[id] takes the outcome; progress(i) follows each test. Returns how
    // many of those materials pass, or nothing when this test has no such
    // form and the materials are to be tested one by one.
    virtual std::optional<qint32> MatchAll(
        std::vector<uint8_t> &flags, qint32 maxId, const std::function<void(int)> &progress)
    {
        (void)flags;
        (void)maxId;
        (void)progress;
        return std::nullopt;
    }
};

// The five criteria in normal form (see CriterionForm); an empty one sets no
// criterion.
struct Criteria
{
    QString material;
    QString cas;
    QByteArray occurrence; // the memo criteria as the memos' bytes
    QByteArray flavour;
    QByteArray application;

    // The criteria of five texts as a user typed them.
    static Criteria fromTexts(const QString &material, const QString &cas,
        const QString &occurrence, const QString &flavour, const QString &application);
};

// The criteria test on the scan cursor on MATERIAL.DB and the SYNON.DB cursor
// that follows it.
class CriteriaTest final : public MaterialTest
{
public:
    void SetScanCursors(zil::store::Table *materials, zil::store::Table *synonyms);
    void SetCriteria(const Criteria &criteria) { m_criteria = criteria; }

    // Whether the material under the scan cursor meets every criterion; true
    // without a scan cursor.
    bool MaterialMatches() override;
    // Whether the memo field of the scanned material holds criterion, which is
    // already in normal form; an empty criterion always holds, an empty memo
    // never holds a criterion.
    bool MemoContains(const QString &criterion, const QString &memoField);
    // From texts held in memory; nothing is selected without a scan cursor.
    std::optional<qint32> MatchAll(std::vector<uint8_t> &flags, qint32 maxId,
        const std::function<void(int)> &progress) override;

private:
    // The text with a to z upper-cased, in m_folded: valid until the next call.
    QByteArrayView upper(QByteArrayView text);

    zil::store::Table *m_materials = nullptr;
    zil::store::Table *m_synonyms = nullptr;
    Criteria m_criteria;
    QByteArray m_folded; // the memo being tested, upper-cased; reused between tests
};

// The text without the blanks (code 32 only) at its ends.
QString TrimSpaces(const QString &text);
// The text with a to z turned into A to Z; every other character stays.
QString UpperAscii(const QString &text);
// A criterion as it is compared: trimmed of blanks, then upper-cased.
QString CriterionForm(const QString &text);
