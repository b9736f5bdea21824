#include "textfold.h"

#include <algorithm>

namespace zil::store {

namespace {

// Letters that compatibility decomposition leaves whole.
QStringView spelt(char16_t c)
{
    struct Spelling
    {
        char16_t letter;
        const char16_t *text;
    };
    static constexpr Spelling spellings[]
        = {{u'ß', u"ss"}, {u'ẞ', u"SS"}, {u'æ', u"ae"}, {u'Æ', u"AE"}, {u'œ', u"oe"}, {u'Œ', u"OE"},
            {u'ø', u"o"}, {u'Ø', u"O"}, {u'ł', u"l"}, {u'Ł', u"L"}, {u'đ', u"d"}, {u'Đ', u"D"}};
    for (const Spelling &s : spellings) {
        if (s.letter == c)
            return QStringView(s.text);
    }
    return {};
}

} // namespace

QString foldLetters(QStringView text)
{
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; }))
        return text.toString();
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_KD);
    QString kept;
    kept.reserve(decomposed.size());
    for (QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing)
            continue;
        const QStringView spelling = spelt(c.unicode());
        if (!spelling.isEmpty())
            kept += spelling;
        else
            kept += c;
    }
    return kept;
}

} // namespace zil::store
