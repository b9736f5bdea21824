// The database of the marking and copying tests: a list long enough to scroll,
// with a few materials whose names, synonyms and texts hold known words in
// known places, accented letters among them, and two suppliers linked to them.
#pragma once

#include "common/appfixture.h"
#include "common/testdb.h"

#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace zil::test {

inline const QString kEthyl = QStringLiteral("Ethyl butyrate");
inline const QString kCreme = QString::fromUtf8("Crème de menthe base");
inline const QString kMethyl = QStringLiteral("Methyl anthranilate");

inline QList<SourceMaterial> wordMaterials()
{
    QList<SourceMaterial> list {
        {.key = "1",
            .name = kEthyl,
            .cas = "105-54",
            .fema = "2427",
            .ce = "2033",
            .occur = "Apple, banana; ethyl esters abound",
            .flavor = "Fruity, sweet; fruity pineapple",
            .applic = "Fruit flavours",
            .synonyms = {"Butanoic acid, ethyl ester", "ETHYL BUTANOATE"}},
        {.key = "2",
            .name = kCreme,
            .cas = "8006-90",
            .flavor = QString::fromUtf8("Minty, crème-like"),
            .synonyms
            = {QString::fromUtf8("CRÈME FRAÎCHE NOTE"), QString::fromUtf8("crème brûlée accord")}},
        {.key = "3",
            .name = kMethyl,
            .cas = "134-20",
            .fema = "2682",
            .ce = "2051",
            .occur = "Grapes and citrus",
            .flavor = "Grape, fruity",
            .applic = "Grape flavours",
            .synonyms = {"Methyl 2-aminobenzoate"}},
        // A tab in a name, as a careless import leaves it.
        {.key = "4", .name = "Zest\tof lime", .cas = "5989-27"},
        // A long text that holds one word many times.
        {.key = "5", .name = "Long notes base", .applic = QStringLiteral("note ").repeated(3000)},
    };
    // Fillers that no criterion of the tests selects, so that the list
    // scrolls and a run narrows it.
    for (int i = 0; i < kScrollingMaterials; ++i) {
        list.append({.key = QString::number(100 + i),
            .name = QStringLiteral("Filler %1").arg(i, 4, 10, QLatin1Char('0')),
            .cas = QStringLiteral("%1-00").arg(20000 + i),
            .occur = QStringLiteral("Nowhere")});
    }
    return list;
}

inline const QList<SourceSupplier> kWordSuppliers {
    {.id = 1,
        .name = "Acme Aromatics",
        .address = "12 Rue de la Paix",
        .city = "Paris",
        .country = "France",
        .phone = "+33 1 23 45 67 89"},
    {.id = 2, .name = "Blue Hills Ltd", .city = "Leeds", .country = "United Kingdom"},
};

inline const QList<SourceLink> kWordLinks {{"1", 1}, {"3", 1}, {"2", 2}, {"100", 2}};

// The database, made once per test program in a directory that lives as long
// as the program; empty when the maker fails.
inline QString wordsDatabase()
{
    static QTemporaryDir dir;
    static const bool made = dir.isValid()
        && makeDatabase(
            dir.filePath("src"), dir.filePath("db"), wordMaterials(), kWordSuppliers, kWordLinks);
    return made ? dir.filePath("db") : QString();
}

// The main window started on it and shown; none when it does not start.
inline std::unique_ptr<RunningApp> startOnWords()
{
    auto app = std::make_unique<RunningApp>();
    if (wordsDatabase().isEmpty() || !app->start(wordsDatabase()))
        return nullptr;
    app->show();
    return app;
}

} // namespace zil::test
