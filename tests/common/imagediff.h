// How far apart two pictures are, for tests that compare drawings.
#pragma once

#include <QImage>
#include <algorithm>
#include <cstdlib>

namespace zil::test {

// The largest difference of one colour channel (alpha included) between two
// pictures of the same size; -1 when their sizes differ.
inline int largestDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            largest = std::max({largest, std::abs(qRed(p[col]) - qRed(q[col])),
                std::abs(qGreen(p[col]) - qGreen(q[col])), std::abs(qBlue(p[col]) - qBlue(q[col])),
                std::abs(qAlpha(p[col]) - qAlpha(q[col]))});
        }
    }
    return largest;
}

} // namespace zil::test
