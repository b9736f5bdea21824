// zil-makedb: builds a ZIL database directory from CSV sources, or a
// synthetic one of a given size, or completes an update that a stopped run
// left half-done.

#include "catalogue.h"
#include "sources.h"
#include "synthetic.h"
#include "tablewriter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

using namespace zil::makedb;

namespace {

enum Exit { Success = 0, Failure = 1, UsageError = 2 };

void printErr(const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stderr);
}

int usage(const QCommandLineParser &parser, const QString &problem)
{
    printErr(QStringLiteral("zil-makedb: %1").arg(problem));
    std::fputs(qPrintable(parser.helpText()), stderr);
    return UsageError;
}

int write(const Catalogue &c, const QString &out, bool protect)
{
    const WriteResult result = writeDatabase(c, out, protect);
    for (const QString &note : result.notes)
        printErr(QStringLiteral("zil-makedb: %1").arg(note));
    switch (result.outcome) {
    case WriteResult::Written:
        break;
    case WriteResult::NothingWritten:
        printErr(QStringLiteral("zil-makedb: %1; nothing written").arg(result.error));
        return Failure;
    case WriteResult::PutBack:
    case WriteResult::Mixed:
        // The message says what became of the earlier tables.
        printErr(QStringLiteral("zil-makedb: %1").arg(result.error));
        return Failure;
    }
    std::printf("zil-makedb: %zu materials, %zu synonyms, %zu suppliers, %zu links written to "
                "%s%s\n",
        c.materials.size(), c.synonyms.size(), c.suppliers.size(), c.links.size(),
        qPrintable(QDir::toNativeSeparators(out)), protect ? " (protected)" : "");
    return Success;
}

int finish(const QString &out)
{
    const FinishResult result = finishDatabase(out);
    for (const QString &note : result.notes)
        std::printf("zil-makedb: %s\n", qPrintable(note));
    if (!result.finished) {
        printErr(QStringLiteral("zil-makedb: %1").arg(result.error));
        return Failure;
    }
    if (result.notes.isEmpty())
        std::printf(
            "zil-makedb: nothing to finish in %s\n", qPrintable(QDir::toNativeSeparators(out)));
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zil-makedb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Builds a ZIL database directory (MATERIAL.DB, SYNON.DB, SUPPLIER.DB, MATSUPP.DB)\n"
        "from materials.csv, synonyms.csv, suppliers.csv and links.csv in SOURCE_DIR,\n"
        "or a synthetic database of N materials.\n\n"
        "The tables are written with their index files into a working directory\n"
        "inside OUTPUT_DIR and moved into place together, so that workstations\n"
        "using the database take up the new one as a whole. An update that a\n"
        "stopped run left half-done is completed first; --finish does only that.\n\n"
        "  zil-makedb [--protect] [--keep-going] SOURCE_DIR OUTPUT_DIR\n"
        "  zil-makedb [--protect] --synthetic N [--seed S] OUTPUT_DIR\n"
        "  zil-makedb --finish OUTPUT_DIR"));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption protect(
        QStringLiteral("protect"), QStringLiteral("Encrypt the tables with the program password."));
    const QCommandLineOption keepGoing(QStringLiteral("keep-going"),
        QStringLiteral("Skip bad rows (still reported) and write the rest."));
    const QCommandLineOption synthetic(QStringLiteral("synthetic"),
        QStringLiteral("Generate a database of N materials instead of reading sources."),
        QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"),
        QStringLiteral("Seed of the synthetic database (default %1).").arg(defaultSyntheticSeed),
        QStringLiteral("S"));
    const QCommandLineOption finishOption(QStringLiteral("finish"),
        QStringLiteral("Only complete the update of OUTPUT_DIR that a stopped run left, or "
                       "remove what it left when it had replaced nothing, and exit."),
        QStringLiteral("OUTPUT_DIR"));
    parser.addOptions({protect, keepGoing, synthetic, seed, finishOption});
    parser.addPositionalArgument(QStringLiteral("SOURCE_DIR"),
        QStringLiteral("Directory of the CSV sources (not with --synthetic)."));
    parser.addPositionalArgument(QStringLiteral("OUTPUT_DIR"),
        QStringLiteral("Database directory to write; made when missing."));

    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser, parser.errorText());
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return Success;
    }
    const QStringList args = parser.positionalArguments();

    if (parser.isSet(finishOption)) {
        if (!args.isEmpty() || parser.isSet(protect) || parser.isSet(keepGoing)
            || parser.isSet(synthetic) || parser.isSet(seed))
            return usage(parser, QStringLiteral("--finish takes OUTPUT_DIR and nothing else"));
        return finish(parser.value(finishOption));
    }

    if (parser.isSet(synthetic)) {
        if (parser.isSet(keepGoing))
            return usage(parser, QStringLiteral("--keep-going applies to CSV sources only"));
        if (args.size() != 1)
            return usage(parser, QStringLiteral("--synthetic takes exactly one OUTPUT_DIR"));
        bool ok = false;
        const qlonglong n = parser.value(synthetic).toLongLong(&ok);
        if (!ok || n < 1 || n > maxSyntheticMaterials)
            return usage(parser,
                QStringLiteral("--synthetic N must be between 1 and %1")
                    .arg(maxSyntheticMaterials));
        quint64 seedValue = defaultSyntheticSeed;
        if (parser.isSet(seed)) {
            seedValue = parser.value(seed).toULongLong(&ok, 0);
            if (!ok)
                return usage(parser, QStringLiteral("--seed S must be an unsigned integer"));
        }
        Catalogue c = makeSynthetic(int(n), seedValue);
        arrange(c);
        return write(c, args.front(), parser.isSet(protect));
    }

    if (parser.isSet(seed))
        return usage(parser, QStringLiteral("--seed applies to --synthetic only"));
    if (args.size() != 2)
        return usage(parser, QStringLiteral("expected SOURCE_DIR and OUTPUT_DIR"));

    SourceResult sources = readSources(args.at(0));
    for (const SourceProblem &p : sources.problems)
        printErr(p.toString());
    if (sources.fatal) {
        printErr(QStringLiteral("zil-makedb: the sources cannot be read; nothing written"));
        return Failure;
    }
    if (!sources.problems.empty()) {
        if (!parser.isSet(keepGoing)) {
            printErr(QStringLiteral("zil-makedb: %1 bad rows; nothing written (--keep-going "
                                    "skips them)")
                         .arg(sources.skippedRows));
            return Failure;
        }
        printErr(QStringLiteral("zil-makedb: %1 bad rows skipped").arg(sources.skippedRows));
    }
    // Header rows alone would make a database that no workstation opens.
    if (sources.catalogue.materials.empty()) {
        printErr(QStringLiteral("zil-makedb: %1: no materials; nothing written")
                     .arg(QDir(args.at(0)).filePath(QStringLiteral("materials.csv"))));
        return Failure;
    }
    arrange(sources.catalogue);
    return write(sources.catalogue, args.at(1), parser.isSet(protect));
}
