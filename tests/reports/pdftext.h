// What a PDF file shows, read with poppler's pdftotext: the lines of each
// page, and the words of each page with their boxes.
#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

namespace zil::test {

// The non-empty lines of each page as pdftotext lays them out, with runs of
// spaces made single. Empty when the file cannot be read.
QList<QStringList> pdfLines(const QString &path);

struct PdfWord
{
    QString text;
    QRectF box; // millimetres from the paper's top-left corner
};

// The words of each page with their boxes.
QList<QList<PdfWord>> pdfWords(const QString &path);

// The number of pages of a PDF file; 0 when it cannot be read.
int pdfPageCount(const QString &path);

} // namespace zil::test
