// The filing key of names and the CAS check digit.

#include "tools/makedb/cas.h"
#include "tools/makedb/sortkey.h"

#include <QTest>

using namespace zil::makedb;

class TestSortKey : public QObject
{
    Q_OBJECT

private slots:
    void sortKeys_data();
    void sortKeys();
    void cutToFieldSize();
    void cas_data();
    void cas();
};

void TestSortKey::sortKeys_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    const QList<std::pair<const char *, const char *>> cases {
        {"2-Acetylpyrazine", "ACETYLPYRAZINE"}, {"gamma-Decalactone", "DECALACTONE"},
        {"cis-3-Hexenol", "HEXENOL"}, {"(E)-2-Hexenal", "HEXENAL"},
        {"Isoamyl acetate", "ISOAMYL ACETATE"}, {"iso-Amyl acetate", "AMYL ACETATE"},
        {"2,3,5-Trimethylpyrazine", "TRIMETHYLPYRAZINE"}, {"1,8-Cineole", "CINEOLE"},
        {"4'-Methylacetophenone", "METHYLACETOPHENONE"},
        {"N,N-Dimethylanthranilic acid", "DIMETHYLANTHRANILIC ACID"},
        {"O-Ethyl thioacetate", "ETHYL THIOACETATE"}, {"2H-Pyran-2-one", "PYRAN-2-ONE"},
        {"\u03b1-Pinene", "PINENE"}, {"\u0394-3-Carene", "CARENE"}, {"BETA-Ionone", "IONONE"},
        {"(2E,4E)-2,4-Decadienal", "DECADIENAL"}, {"(1R,2S,5R)-(-)-Menthol", "MENTHOL"},
        {"(R)-(+)-Limonene", "LIMONENE"}, {"(+/-)-Menthofuran", "MENTHOFURAN"},
        {"(\u00b1)-Linalool", "LINALOOL"}, {"(RS)-2-Methylbutanal", "METHYLBUTANAL"},
        {"DL-Menthol", "MENTHOL"}, {"l-Carvone", "CARVONE"}, {"p-Cresol", "CRESOL"},
        {"2-sec-Butyl-3-methoxypyrazine", "BUTYL-3-METHOXYPYRAZINE"},
        {"tert-Butyl alcohol", "BUTYL ALCOHOL"}, {"cis\u20103-Hexenol", "HEXENOL"},
        // Only prefixes at the front go, and only words with their hyphen.
        {"1-Octen-3-ol", "OCTEN-3-OL"}, {"Ethyl 2-methylbutyrate", "ETHYL 2-METHYLBUTYRATE"},
        {"Dill seed oil", "DILL SEED OIL"}, {"  Vanillin ", "VANILLIN"},
        // A prefix needs more name after it; nothing left means no stripping.
        {"alpha-", "ALPHA-"}, {"(E)-2-", "(E)-2-"}, {"2-3", "2-3"},
        {"p- (mixture)", "P- (MIXTURE)"}, {"cis-alpha-", "ALPHA-"},
        // Full Unicode upper case, the letters in their plain forms.
        {"\u00d6libanum resinoid", "OLIBANUM RESINOID"}, {"Stra\u00dfe oil", "STRASSE OIL"},
        {"\u0152illet absolute", "OEILLET ABSOLUTE"}};
    for (const auto &[name, key] : cases)
        QTest::newRow(name) << QString::fromUtf8(name) << QString::fromUtf8(key);
}

void TestSortKey::sortKeys()
{
    QFETCH(QString, name);
    QFETCH(QString, key);
    QCOMPARE(sortKey(name), key);
}

void TestSortKey::cutToFieldSize()
{
    const QString longName = QStringLiteral("2-") + QString(80, QLatin1Char('x'));
    QCOMPARE(sortKey(longName), QString(74, QLatin1Char('X')));
    QCOMPARE(sortKey(longName, 10), QString(10, QLatin1Char('X')));
    // The cut counts characters and never leaves half a surrogate pair.
    const QString flower = QStringLiteral("\U0001F338");
    const QString sf = sortKey(QString(73, QLatin1Char('a')) + flower + flower);
    QCOMPARE(sf, QString(73, QLatin1Char('A')) + flower);
    QCOMPARE(charCount(sf), 74);
    // Upper-casing that lengthens the text is cut afterwards.
    QCOMPARE(charCount(sortKey(QString(74, QChar(0x00df)))), 74);
}

void TestSortKey::cas_data()
{
    QTest::addColumn<QString>("cas");
    QTest::addColumn<int>("status");
    const int valid = int(CasStatus::Valid), wrong = int(CasStatus::WrongCheckDigit),
              malformed = int(CasStatus::Malformed);
    const QList<std::pair<const char *, int>> cases {{"7732-18-5", valid}, {"121-33-5", valid},
        {"64-17-5", valid}, {"50-00-0", valid}, {"1234567-89-5", valid}, {"121-33-6", wrong},
        {"7723-18-5", wrong}, {"7-18-5", malformed}, {"12345678-90-1", malformed},
        {"121-3-5", malformed}, {"121-33-55", malformed}, {"121335", malformed},
        {" 121-33-5", malformed}, {"12a-33-5", malformed}, {"\u0661\u0662\u0661-33-5", malformed},
        {"", malformed}};
    for (const auto &[cas, status] : cases)
        QTest::newRow(*cas ? cas : "empty") << QString::fromUtf8(cas) << status;
}

void TestSortKey::cas()
{
    QFETCH(QString, cas);
    QFETCH(int, status);
    QCOMPARE(int(checkCas(cas)), status);
}

QTEST_GUILESS_MAIN(TestSortKey)
#include "tst_sortkey.moc"
