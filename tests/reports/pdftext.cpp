#include "pdftext.h"

#include <QProcess>
#include <QRegularExpression>

namespace zil::test {

namespace {

QByteArray run(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("pdftotext %s failed: %s", qPrintable(args.join(' ')),
            p.readAllStandardError().constData());
        return QByteArray();
    }
    return p.readAllStandardOutput();
}

QString unescape(QString text)
{
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    text.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return text;
}

} // namespace

QList<QStringList> pdfLines(const QString &path)
{
    const QString text
        = QString::fromUtf8(run({QStringLiteral("-layout"), path, QStringLiteral("-")}));
    QList<QStringList> pages;
    QStringList parts = text.split(QLatin1Char('\f'));
    // The text ends with a form feed after the last page.
    if (!parts.isEmpty() && parts.last().trimmed().isEmpty())
        parts.removeLast();
    for (const QString &page : parts) {
        QStringList lines;
        for (const QString &line : page.split(QLatin1Char('\n'))) {
            const QString simple = line.simplified();
            if (!simple.isEmpty())
                lines << simple;
        }
        pages << lines;
    }
    return pages;
}

QList<QList<PdfWord>> pdfWords(const QString &path)
{
    const QString html
        = QString::fromUtf8(run({QStringLiteral("-bbox"), path, QStringLiteral("-")}));
    static const QRegularExpression pageOrWord(QStringLiteral(
        R"re(<page [^>]*>|<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    constexpr double mmPerPoint = 25.4 / 72;
    QList<QList<PdfWord>> pages;
    for (const QRegularExpressionMatch &m : pageOrWord.globalMatch(html)) {
        if (m.captured(0).startsWith(QLatin1String("<page"))) {
            pages.append(QList<PdfWord>());
            continue;
        }
        if (pages.isEmpty())
            continue;
        const double x0 = m.captured(1).toDouble() * mmPerPoint;
        const double y0 = m.captured(2).toDouble() * mmPerPoint;
        const double x1 = m.captured(3).toDouble() * mmPerPoint;
        const double y1 = m.captured(4).toDouble() * mmPerPoint;
        pages.last().append({unescape(m.captured(5)), QRectF(QPointF(x0, y0), QPointF(x1, y1))});
    }
    return pages;
}

int pdfPageCount(const QString &path)
{
    return int(pdfLines(path).size());
}

} // namespace zil::test
