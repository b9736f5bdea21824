#include "criteriamarks.h"

#include "Search.h"
#include "searchclass.h"

#include "store/datasource.h"
#include "store/table.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCharFormat>

namespace zil::browser {

namespace {

// The marks' look: black on yellow, as a highlighter pen.
QTextCharFormat markFormat()
{
    QTextCharFormat format;
    format.setBackground(QColor(255, 235, 0));
    format.setForeground(Qt::black);
    return format;
}

// A memo's text takes part in the criteria test up to its first zero
// character; nothing after it is marked.
QString testedPart(const QString &text)
{
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.first(zero);
}

void markMemo(QPlainTextEdit *memo, const QList<MarkRange> &ranges)
{
    QList<QTextEdit::ExtraSelection> selections;
    selections.reserve(ranges.size());
    const QTextCharFormat format = markFormat();
    for (const MarkRange &r : ranges) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(memo->document());
        selection.cursor.setPosition(r.start);
        selection.cursor.setPosition(r.start + r.length, QTextCursor::KeepAnchor);
        selection.format = format;
        selections << selection;
    }
    memo->setExtraSelections(selections);
}

// A one-line field takes formats over its text only as the composing text of
// an input method; an event that composes nothing and commits nothing
// changes the text not at all. A read-only field refuses such events, so it
// is opened for the moment the event takes.
void markField(QLineEdit *field, const QList<MarkRange> &ranges)
{
    QList<QInputMethodEvent::Attribute> attributes;
    const QTextCharFormat format = markFormat();
    // The field places the formats from its caret.
    const int caret = field->cursorPosition();
    for (const MarkRange &r : ranges)
        attributes << QInputMethodEvent::Attribute(
            QInputMethodEvent::TextFormat, r.start - caret, r.length, format);
    const bool readOnly = field->isReadOnly();
    field->setReadOnly(false);
    QInputMethodEvent event(QString(), attributes);
    QCoreApplication::sendEvent(field, &event);
    field->setReadOnly(readOnly);
}

} // namespace

QList<MarkRange> criterionRanges(const QString &text, const QString &criterion, qsizetype most)
{
    QList<MarkRange> ranges;
    if (criterion.isEmpty())
        return ranges;
    const QString folded = UpperAscii(text);
    for (qsizetype at = folded.indexOf(criterion); at >= 0;
         at = folded.indexOf(criterion, at + 1)) {
        const int start = int(at);
        const int end = int(at + criterion.size());
        if (!ranges.isEmpty() && ranges.last().start + ranges.last().length >= start)
            ranges.last().length = end - ranges.last().start;
        else if (ranges.size() < most)
            ranges << MarkRange {start, end - start};
        else
            break;
    }
    return ranges;
}

CriteriaMarks::CriteriaMarks(const Controls &controls, std::shared_ptr<ListContext> context)
    : m_context(std::move(context))
{
    auto add = [this](QWidget *edit, Source source) {
        if (edit)
            m_targets << Target {edit, source};
    };
    add(controls.name, Source::Name);
    add(controls.synonyms, Source::Name);
    add(controls.occurrence, Source::Occurrence);
    add(controls.flavour, Source::Flavour);
    add(controls.application, Source::Application);
    add(controls.linkedName, Source::Name);
    add(controls.linkedSynonyms, Source::Name);

    // A text filled anew loses its marks or holds the words elsewhere: it is
    // marked again. The reactions are tied to the texts they mark.
    for (qsizetype i = 0; i < m_targets.size(); ++i) {
        QWidget *edit = m_targets[i].edit;
        auto again = [this, i] { mark(m_targets[i]); };
        if (auto *field = qobject_cast<QLineEdit *>(edit))
            QObject::connect(field, &QLineEdit::textChanged, field, again);
        else if (auto *memo = qobject_cast<QPlainTextEdit *>(edit))
            QObject::connect(memo, &QPlainTextEdit::textChanged, memo, again);
    }
    // A move to another material whose texts read the same changes no text,
    // but the list may have been restored meanwhile.
    for (store::DataSource *source : {controls.material, controls.linkedMaterial}) {
        if (source && !m_targets.isEmpty())
            QObject::connect(source, &store::DataSource::dataChange, m_targets.first().edit,
                [this] { Refresh(); });
    }
}

void CriteriaMarks::Chosen(int choice)
{
    if (choice == 1 && m_context->SearchWindow)
        m_chosen = m_context->SearchWindow->criteria();
    else if (choice == 2)
        m_chosen = Criteria();
    Refresh();
}

bool CriteriaMarks::listNarrowed() const
{
    const TSearchClass *list = m_context->SearchClass.get();
    // While a run that found nothing reports it, no material is selected and
    // the full list is about to come back.
    return list && list->SelectedCount > 0 && list->SelectedCount < list->MaterialCount;
}

void CriteriaMarks::Refresh()
{
    // Once every material is listed again the criteria are done with.
    if (!listNarrowed())
        m_chosen = Criteria();
    for (Target &target : m_targets)
        mark(target);
}

QString CriteriaMarks::criterionOf(Source source) const
{
    switch (source) {
    case Source::Name:
        return m_chosen.material;
    case Source::Occurrence:
        return QString::fromUtf8(m_chosen.occurrence);
    case Source::Flavour:
        return QString::fromUtf8(m_chosen.flavour);
    case Source::Application:
        return QString::fromUtf8(m_chosen.application);
    }
    return QString();
}

void CriteriaMarks::mark(Target &target)
{
    const QString criterion = criterionOf(target.source);
    if (criterion.isEmpty() && !target.marked)
        return;
    if (auto *field = qobject_cast<QLineEdit *>(target.edit)) {
        const QList<MarkRange> ranges = criterionRanges(field->text(), criterion);
        markField(field, ranges);
        target.marked = !ranges.isEmpty();
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(target.edit)) {
        const QList<MarkRange> ranges = criterionRanges(testedPart(memo->toPlainText()), criterion);
        markMemo(memo, ranges);
        target.marked = !ranges.isEmpty();
    }
}

} // namespace zil::browser
