// The words of a criteria run marked where they occur in the texts that show
// a material: its name, its synonyms and the occurrence, flavour and
// application texts, on both tabs. The marks lie over the text as formats; the
// text itself, and what a copy of it gives, stay as they are.
#pragma once

#include "criteria.h"
#include "listcontext.h"

#include <QList>
#include <QString>
#include <memory>

class QLineEdit;
class QPlainTextEdit;
class QWidget;
class TSearchClass;
class TSearchWindow;

namespace zil::store {
class DataSource;
}

namespace zil::browser {

// One marked stretch of a text: its first character and its length.
struct MarkRange
{
    int start = 0;
    int length = 0;
    friend bool operator==(const MarkRange &, const MarkRange &) = default;
};

// The most marks one text takes. Each mark costs the text widget a cursor
// that every later one makes dearer: a one-letter criterion over a long
// text would hold the program for minutes, while a text of everyday length
// never comes near this many.
inline constexpr qsizetype kMostMarks = 200;

// Where criterion, in the criteria test's normal form (CriterionForm), occurs
// in text under the test's case rule: a to z match A to Z, every other
// character only itself. Overlapping or touching occurrences make one range;
// an empty criterion occurs nowhere. The first most ranges at most.
QList<MarkRange> criterionRanges(
    const QString &text, const QString &criterion, qsizetype most = kMostMarks);

class CriteriaMarks
{
public:
    // The texts marked, by the criterion they were tested against; the
    // window owns them. A text left out is not marked.
    struct Controls
    {
        // The Materials tab's detail pane, following the current material.
        store::DataSource *material = nullptr;
        QLineEdit *name = nullptr;
        QPlainTextEdit *synonyms = nullptr;
        QPlainTextEdit *occurrence = nullptr;
        QPlainTextEdit *flavour = nullptr;
        QPlainTextEdit *application = nullptr;
        // The Suppliers tab's material, following the picked link.
        store::DataSource *linkedMaterial = nullptr;
        QLineEdit *linkedName = nullptr;
        QPlainTextEdit *linkedSynonyms = nullptr;
    };

    // Marks each text again whenever it changes and whenever its data source
    // moves to another material. The selection set and the criteria dialog
    // are the context's.
    CriteriaMarks(const Controls &controls, std::shared_ptr<ListContext> context);
    Q_DISABLE_COPY_MOVE(CriteriaMarks)

    // After a choice has been carried out: 1 narrowed the list by the
    // criteria dialog's criteria, which are kept for marking; 2 listed every
    // material again, which drops them.
    void Chosen(int choice);
    // Marks every text as the criteria and the list now stand: the criteria
    // of the last selection while the list is narrowed by it, nothing once
    // every material is listed again.
    void Refresh();

private:
    enum class Source { Name, Occurrence, Flavour, Application };
    struct Target
    {
        QWidget *edit = nullptr;
        Source source = Source::Name;
        // Whether the text carries marks now, so that an unmarked text is
        // left alone.
        bool marked = false;
    };

    QString criterionOf(Source source) const;
    void mark(Target &target);
    bool listNarrowed() const;

    QList<Target> m_targets;
    const std::shared_ptr<ListContext> m_context;
    // The criteria marked: those of the last selection by criteria while
    // the list it made is shown, none after "Select all".
    Criteria m_chosen;
};

} // namespace zil::browser
