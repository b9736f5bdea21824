// CAS registry numbers: "7732-18-5", two to seven digits, two digits and a
// check digit.
#pragma once

#include <QString>

namespace zil::makedb {

enum class CasStatus { Valid, Malformed, WrongCheckDigit };

// The check digit of the digits before it: each digit times its position
// counted from the right starting at 1, summed, modulo 10.
int casCheckDigit(const QString &digits);

CasStatus checkCas(const QString &cas);

} // namespace zil::makedb
