// The one folding of letters under which names are compared, so that a name
// written with accents sorts and is found beside the same name without them.
#pragma once

#include <QString>
#include <QStringView>

namespace zil::store {

// text with its letters in their plain forms: compatibility-decomposed,
// accents and other combining marks dropped, and the letters without a
// decomposition spelt out as a reader who cannot type them spells them (ß
// ss, æ ae, œ oe, ø o, ł l, đ d, capitals as capitals). Case, blanks and
// punctuation stay as they are. "Crème" so becomes "Creme", and sorts
// beside it.
QString foldLetters(QStringView text);

} // namespace zil::store
