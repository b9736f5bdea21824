// The filing key of a material or synonym name: the form under which a
// chemist looks a name up in an alphabetical list.
#pragma once

#include <QString>

namespace zil::makedb {

// Upper case (full Unicode case mapping) with the letters in their plain
// forms (store::foldLetters: "Crème" files under CREME, beside "Creme"), with
// locants and stereo, isomer and Greek-letter prefixes taken off the front
// ("cis-3-Hexenol" files under HEXENOL), cut to maxLength characters. A
// prefix goes only when more name follows it; a name that would lose
// everything keeps its whole folded, upper-cased form.
QString sortKey(const QString &name, int maxLength = 74);

// The first maxLength characters (code points, never half a surrogate pair).
QString leftChars(const QString &text, int maxLength);

// Number of characters (code points) in text.
int charCount(const QString &text);

} // namespace zil::makedb
