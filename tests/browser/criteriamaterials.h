// The materials of the criteria tests: names with an accented letter, blanks
// and case to fold, synonyms, CAS numbers, empty memos and a memo longer than
// 255 characters.
#pragma once

#include "common/appfixture.h"

#include <QList>
#include <QString>

namespace zil::test {

inline const QString kLongUse = QStringLiteral(
    "Used at low levels in baked goods, dairy desserts, ice cream and confectionery, where "
    "it rounds off fruity and creamy notes; in beverages it lifts citrus and berry profiles; "
    "in savoury products it is used sparingly to soften harsh edges of smoke and spice, and "
    "in oral care it masks the bitterness of actives while adding a cool, clean finish.");

// Ids follow name order and equal the keys.
inline const QList<SourceMaterial> kMaterials {
    {.key = "1",
        .name = "Anethole",
        .cas = "4180-23",
        .occur = "Found in anise and fennel oils",
        .flavor = "Sweet anise, liquorice",
        .applic = "Liqueurs and confectionery",
        .synonyms = {"trans-Anethole", "Anise camphor"}},
    {.key = "2",
        .name = "Benzyl acetate",
        .cas = "140-11",
        .occur = "Found in jasmine and ylang ylang",
        .flavor = "Sweet, fruity, pear",
        .applic = kLongUse,
        .synonyms = {"Acetic acid benzyl ester"}},
    {.key = "3",
        .name = QString::fromUtf8("Crème de menthe base"),
        .flavor = "Cool mint",
        .applic = "Liqueurs"},
    {.key = "4",
        .name = "Damascenone",
        .cas = "23696-85",
        .occur = "Found in rose oil, tobacco and tea",
        .applic = "Rose compositions",
        .synonyms = {"Rose ketone"}},
    {.key = "5",
        .name = "Ethyl vanillin",
        .cas = "121-32",
        .occur = "Not found in nature",
        .flavor = "Creamy vanilla",
        .applic = "Chocolate and vanilla flavours",
        .synonyms = {"Bourbonal"}},
    {.key = "6",
        .name = "Menthol",
        .cas = "89-78",
        .occur = "Found in peppermint oil and corn mint",
        .flavor = "Cooling mint",
        .applic = "Toothpaste, chewing gum",
        .synonyms = {"Hexahydrothymol"}},
};

} // namespace zil::test
