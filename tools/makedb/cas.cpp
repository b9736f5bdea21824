#include "cas.h"

#include <QRegularExpression>

namespace zil::makedb {

int casCheckDigit(const QString &digits)
{
    int sum = 0;
    int position = 1;
    for (qsizetype i = digits.size() - 1; i >= 0; --i, ++position)
        sum += (digits.at(i).unicode() - '0') * position;
    return sum % 10;
}

CasStatus checkCas(const QString &cas)
{
    static const QRegularExpression form(QStringLiteral("\\A([0-9]{2,7})-([0-9]{2})-([0-9])\\z"));
    const QRegularExpressionMatch m = form.match(cas);
    if (!m.hasMatch())
        return CasStatus::Malformed;
    const int check = m.captured(3).at(0).unicode() - '0';
    return casCheckDigit(m.captured(1) + m.captured(2)) == check ? CasStatus::Valid
                                                                 : CasStatus::WrongCheckDigit;
}

} // namespace zil::makedb
