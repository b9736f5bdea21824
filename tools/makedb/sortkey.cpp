#include "sortkey.h"

#include "store/textfold.h"

#include <QRegularExpression>

namespace zil::makedb {

namespace {

// One prefix at the front of a name, up to and including its hyphen:
//  - locant lists: "2-", "2,3-", "4'-", "2H-", "N-", "N,N-", "O-", "S-";
//  - Greek letters, spelt out or as letters: "alpha-", "beta,gamma-", "α-";
//  - isomer and configuration words: "cis-", "trans-", "d-", "DL-", "p-",
//    "n-", "sec-", "tert-", "iso-", "ortho-" ...;
//  - parenthesised descriptors: "(E)-", "(2E,4Z)-", "(1R,2S,5R)-", "(+)-",
//    "(-)-", "(±)-", "(+/-)-", "(RS)-".
// Hyphens may be written as ASCII or as the Unicode hyphens U+2010/U+2011,
// primes as ASCII apostrophes or U+2032/U+2033, minus signs as U+2212.
const QRegularExpression &prefixPattern()
{
    static const QString hyphen = QStringLiteral("[-\\x{2010}\\x{2011}]");
    static const QString primes = QStringLiteral("['\\x{2032}\\x{2033}]*");
    static const QString locant = QStringLiteral("(?:[0-9]+[a-z]?%1|[nos]%1)").arg(primes);
    static const QString greek = QStringLiteral(
        "(?:alpha|beta|gamma|delta|epsilon|omega|\\x{03b1}|\\x{03b2}|\\x{03b3}|\\x{03b4}"
        "|\\x{03b5}|\\x{03c9})");
    static const QString word = QStringLiteral(
        "(?:cis|trans|endo|exo|rac|dl|d,l|d|l|o|m|p|n|sec|tert|t|iso|ortho|meta|para)");
    static const QString sign
        = QStringLiteral("(?:\\+/[-\\x{2212}]|\\+[-\\x{2212}]|\\+|[-\\x{2212}]|\\x{00b1})");
    static const QString config
        = QStringLiteral("(?:[0-9]+[a-z]?%1)?(?:rs|sr|r\\*|s\\*|e/z|z/e|e|z|r|s)").arg(primes);
    static const QString parenthesised
        = QStringLiteral("\\((?:%1|%2(?:,%2)*)\\)").arg(sign, config);
    static const QRegularExpression re(QStringLiteral("(?:%1(?:,%1)*|%2(?:,%2)*|%3|%4)%5")
                                           .arg(locant, greek, word, parenthesised, hyphen),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

// What follows a prefix must itself be name: start with a letter, a digit or
// an opening bracket, and hold at least one letter.
bool isMoreName(QStringView rest)
{
    if (rest.isEmpty())
        return false;
    const QChar first = rest.front();
    if (!first.isLetterOrNumber() && first != QLatin1Char('(') && first != QLatin1Char('['))
        return false;
    for (QChar c : rest) {
        if (c.isLetter())
            return true;
    }
    return false;
}

} // namespace

int charCount(const QString &text)
{
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate()))
            ++n;
    }
    return n;
}

QString leftChars(const QString &text, int maxLength)
{
    int n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool continuation
            = text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate();
        if (!continuation && n++ == maxLength)
            return text.left(i);
    }
    return text;
}

QString sortKey(const QString &name, int maxLength)
{
    const QString trimmed = name.trimmed();
    qsizetype start = 0;
    // Each round takes at least two characters off, so this ends.
    for (;;) {
        const QRegularExpressionMatch m = prefixPattern().match(trimmed, start,
            QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch())
            break;
        const qsizetype next = start + m.capturedLength();
        if (!isMoreName(QStringView(trimmed).mid(next)))
            break;
        start = next;
    }
    QString key = store::foldLetters(QStringView(trimmed).mid(start)).toUpper();
    if (key.isEmpty())
        key = store::foldLetters(trimmed).toUpper();
    return leftChars(key, maxLength).trimmed();
}

} // namespace zil::makedb
