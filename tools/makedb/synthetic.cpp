#include "synthetic.h"

#include "cas.h"

#include <QSet>
#include <QStringList>
#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace zil::makedb {

namespace {

// splitmix64: small, fast and, unlike the standard distributions, the same
// sequence with every compiler and library.
class Rng
{
public:
    explicit Rng(quint64 seed)
        : m_state(seed)
    { }
    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return int(next() % quint64(n)); }
    int range(int low, int high) { return low + below(high - low + 1); }
    bool percent(int p) { return below(100) < p; }
    template<typename T, size_t N>
    const T &pick(const T (&items)[N])
    {
        return items[size_t(below(int(N)))];
    }
    // An index chosen with the given relative weights.
    int weighted(std::initializer_list<int> weights)
    {
        int total = 0;
        for (int w : weights)
            total += w;
        int r = below(total);
        int i = 0;
        for (int w : weights) {
            if (r < w)
                return i;
            r -= w;
            ++i;
        }
        return i - 1;
    }

private:
    quint64 m_state;
};

quint64 mix(quint64 a, quint64 b)
{
    return Rng(a ^ (b * 0xD1B54A32D192ED03ULL)).next();
}

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

QString capitalised(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

// ---------------------------------------------------------------------------
// Material names.

struct Base
{
    QString name;
    QStringList synonyms; // systematic or older names of the same substance
};

struct Alcohol
{
    const char *name; // "cis-3-Hexenyl"
};

struct Acid
{
    const char *ester; // "2-methylbutyrate"
    const char *acid; // "2-Methylbutyric"
    const char *systematic; // "2-methylbutanoate"
};

const Alcohol alcohols[] = {{"Methyl"}, {"Ethyl"}, {"Propyl"}, {"Isopropyl"}, {"Butyl"},
    {"Isobutyl"}, {"Isoamyl"}, {"Amyl"}, {"Hexyl"}, {"cis-3-Hexenyl"}, {"trans-2-Hexenyl"},
    {"Heptyl"}, {"Octyl"}, {"Nonyl"}, {"Decyl"}, {"Benzyl"}, {"Phenethyl"}, {"Cinnamyl"},
    {"Geranyl"}, {"Neryl"}, {"Linalyl"}, {"Citronellyl"}, {"Terpinyl"}, {"Menthyl"}, {"Isobornyl"},
    {"Furfuryl"}, {"Anisyl"}, {"Allyl"}, {"Prenyl"}, {"1-Octen-3-yl"}, {"Styrallyl"},
    {"Cyclohexyl"}, {"Tetrahydrofurfuryl"}, {"2-Methylbutyl"}, {"Santalyl"}};

const Acid acids[] = {{"acetate", "Acetic", "ethanoate"}, {"propionate", "Propionic", "propanoate"},
    {"butyrate", "Butyric", "butanoate"}, {"isobutyrate", "Isobutyric", "2-methylpropanoate"},
    {"2-methylbutyrate", "2-Methylbutyric", "2-methylbutanoate"},
    {"isovalerate", "Isovaleric", "3-methylbutanoate"}, {"valerate", "Valeric", "pentanoate"},
    {"hexanoate", "Hexanoic", "caproate"}, {"heptanoate", "Heptanoic", "enanthate"},
    {"octanoate", "Octanoic", "caprylate"}, {"decanoate", "Decanoic", "caprate"},
    {"laurate", "Lauric", "dodecanoate"}, {"benzoate", "Benzoic", "benzenecarboxylate"},
    {"salicylate", "Salicylic", "2-hydroxybenzoate"},
    {"cinnamate", "Cinnamic", "3-phenylpropenoate"},
    {"phenylacetate", "Phenylacetic", "2-phenylethanoate"},
    {"anthranilate", "Anthranilic", "2-aminobenzoate"},
    {"N-methylanthranilate", "N-Methylanthranilic", "2-(methylamino)benzoate"},
    {"formate", "Formic", "methanoate"}, {"lactate", "Lactic", "2-hydroxypropanoate"},
    {"tiglate", "Tiglic", "(E)-2-methylbut-2-enoate"},
    {"angelate", "Angelic", "(Z)-2-methylbut-2-enoate"},
    {"crotonate", "Crotonic", "(E)-but-2-enoate"},
    {"2-methylpentanoate", "2-Methylpentanoic", "2-methylvalerate"},
    {"3-hydroxybutyrate", "3-Hydroxybutyric", "3-hydroxybutanoate"},
    {"levulinate", "Levulinic", "4-oxopentanoate"}, {"pyruvate", "Pyruvic", "2-oxopropanoate"},
    {"sorbate", "Sorbic", "(E,E)-hexa-2,4-dienoate"},
    {"2-furoate", "2-Furoic", "furan-2-carboxylate"},
    {"phenoxyacetate", "Phenoxyacetic", "2-phenoxyethanoate"},
    {"isobutyl carbonate", "Carbonic", "isobutyl carbonate"}};

struct Chain
{
    const char *stem; // "Hex"
    int carbons;
};

constexpr Chain chains[] = {{"Pent", 5}, {"Hex", 6}, {"Hept", 7}, {"Oct", 8}, {"Non", 9},
    {"Dec", 10}, {"Undec", 11}, {"Dodec", 12}, {"Tridec", 13}, {"Tetradec", 14}};

constexpr const char *alkyls[] = {"", "methyl", "ethyl", "propyl", "butyl", "pentyl", "hexyl",
    "heptyl", "octyl", "nonyl", "decyl", "undecyl", "dodecyl", "tridecyl", "tetradecyl"};

// Every chain has the name of its own alkyl group.
static_assert([] {
    for (const Chain &c : chains) {
        if (c.carbons < 3 || c.carbons >= int(std::size(alkyls)))
            return false;
    }
    return true;
}());

struct Ring
{
    const char *core; // "pyrazine"
    int positions; // highest ring position a substituent may take
};

const Ring rings[] = {{"pyrazine", 6}, {"pyridine", 6}, {"thiazole", 5}, {"furan", 5},
    {"thiophene", 5}, {"pyrrole", 5}, {"phenol", 6}, {"anisole", 6}, {"benzaldehyde", 6},
    {"acetophenone", 6}, {"cyclohexanone", 6}, {"oxazole", 5}};

const char *const substituents[] = {"Acetyl", "Ethoxy", "Ethyl", "Isobutyl", "Isopropyl", "Methoxy",
    "Methyl", "Methylthio", "Propyl", "sec-Butyl"};

const char *const classics[] = {"Linalool", "Geraniol", "Nerol", "Citronellol", "Citral",
    "Citronellal", "Hydroxycitronellal", "alpha-Terpineol", "Terpinen-4-ol", "d-Limonene",
    "l-Limonene", "alpha-Pinene", "beta-Pinene", "Myrcene", "beta-Caryophyllene", "Nootkatone",
    "alpha-Ionone", "beta-Ionone", "alpha-Isomethylionone", "beta-Damascone", "delta-Damascone",
    "beta-Damascenone", "l-Menthol", "dl-Menthol", "l-Carvone", "d-Carvone", "Eugenol",
    "Isoeugenol", "Vanillin", "Ethyl vanillin", "Coumarin", "Heliotropin", "Maltol", "Ethyl maltol",
    "Furaneol", "Sotolon", "Methional", "trans-Anethole", "Estragole", "Thymol", "Carvacrol",
    "1,8-Cineole", "d-Camphor", "l-Borneol", "Isoborneol", "Fenchone", "Piperitone", "l-Menthone",
    "Isomenthone", "Pulegone", "Cinnamaldehyde", "Phenylacetaldehyde", "2-Phenylethanol", "Indole",
    "Skatole", "Raspberry ketone", "Methyl dihydrojasmonate", "cis-Jasmone", "Ambrettolide",
    "Galaxolide", "Iso E Super", "Cedrol", "Vetiverol", "Santalol", "Patchoulol",
    "(R)-(-)-1-Octen-3-ol", "(+/-)-Menthofuran", "p-Cymene", "gamma-Terpinene",
    "alpha-Phellandrene", "Sabinene", "(E)-beta-Ocimene", "Farnesol", "Nerolidol",
    "alpha-Bisabolol", "Cyclotene", "Diacetyl", "Acetoin", "2,3-Pentanedione", "Piperonal",
    "Anisaldehyde", "Cuminaldehyde", "Safranal", "Massoia lactone", "Whisky lactone",
    "Wine lactone", "Rotundone", "Mint lactone", "Dimethyl sulfide", "Allyl isothiocyanate",
    "Furfural", "5-Methylfurfural", "Benzaldehyde", "Acetaldehyde", "Isovaleraldehyde",
    "2-Methylbutanal", "(E,Z)-2,6-Nonadienal", "(E,E)-2,4-Decadienal", "Guaiacol",
    "4-Ethylguaiacol", "4-Vinylguaiacol", "o-Cresol", "p-Cresol", "m-Cresol"};

struct Plant
{
    const char *common;
    const char *botanical;
};

const Plant plants[] = {{"Bergamot", "Citrus bergamia"}, {"Lemon", "Citrus limon"},
    {"Lime", "Citrus aurantifolia"}, {"Sweet orange", "Citrus sinensis"},
    {"Mandarin", "Citrus reticulata"}, {"Grapefruit", "Citrus paradisi"},
    {"Lavender", "Lavandula angustifolia"}, {"Lavandin", "Lavandula x intermedia"},
    {"Rosemary", "Rosmarinus officinalis"}, {"Peppermint", "Mentha piperita"},
    {"Spearmint", "Mentha spicata"}, {"Clove bud", "Syzygium aromaticum"},
    {"Cinnamon bark", "Cinnamomum verum"}, {"Cassia", "Cinnamomum cassia"},
    {"Nutmeg", "Myristica fragrans"}, {"Black pepper", "Piper nigrum"},
    {"Cardamom", "Elettaria cardamomum"}, {"Coriander seed", "Coriandrum sativum"},
    {"Ginger", "Zingiber officinale"}, {"Vetiver", "Chrysopogon zizanioides"},
    {"Patchouli", "Pogostemon cablin"}, {"Sandalwood", "Santalum album"},
    {"Cedarwood", "Juniperus virginiana"}, {"Rose", "Rosa damascena"},
    {"Jasmine", "Jasminum grandiflorum"}, {"Ylang ylang", "Cananga odorata"},
    {"Neroli", "Citrus aurantium"}, {"Geranium", "Pelargonium graveolens"},
    {"Chamomile", "Matricaria chamomilla"}, {"Vanilla", "Vanilla planifolia"},
    {"Tonka bean", "Dipteryx odorata"}, {"Benzoin", "Styrax tonkinensis"},
    {"Labdanum", "Cistus ladanifer"}, {"Galbanum", "Ferula galbaniflua"},
    {"Oakmoss", "Evernia prunastri"}, {"Orris", "Iris pallida"},
    {"Angelica root", "Angelica archangelica"}, {"Lovage", "Levisticum officinale"},
    {"Celery seed", "Apium graveolens"}, {"Dill", "Anethum graveolens"},
    {"Fennel", "Foeniculum vulgare"}, {"Star anise", "Illicium verum"},
    {"Thyme", "Thymus vulgaris"}, {"Basil", "Ocimum basilicum"},
    {"Tarragon", "Artemisia dracunculus"}, {"Clary sage", "Salvia sclarea"},
    {"Juniper berry", "Juniperus communis"}, {"Eucalyptus", "Eucalyptus globulus"},
    {"Cypress", "Cupressus sempervirens"}, {"Olibanum", "Boswellia carterii"},
    {"Myrrh", "Commiphora myrrha"}, {"Peru balsam", "Myroxylon pereirae"},
    {"Cocoa", "Theobroma cacao"}, {"Coffee", "Coffea arabica"}, {"Hop", "Humulus lupulus"}};

const char *const plantForms[] = {"oil", "absolute", "resinoid", "CO2 extract", "concrete",
    "tincture", "oleoresin", "rectified oil", "terpeneless oil"};

const char *const grades[] = {"natural", "synthetic", "FCC", "extra", "pure", "rectified", "Kosher",
    "EU natural", "nature identical", "98%", "99%", "redistilled", "crystals", "low colour",
    "prime", "standard"};

const char *const solvents[] = {
    "DPG", "ethanol", "TEC", "triacetin", "IPM", "benzyl benzoate", "propylene glycol", "MCT oil"};

const char *const dilutions[] = {"0.1%", "1%", "5%", "10%", "20%", "50%"};

void addEsters(std::vector<Base> &pool)
{
    for (const Alcohol &al : alcohols) {
        for (const Acid &ac : acids) {
            const QString alcohol = u(al.name);
            Base b;
            b.name = alcohol + QLatin1Char(' ') + u(ac.ester);
            b.synonyms << QStringLiteral("%1 acid, %2 ester").arg(u(ac.acid), alcohol.toLower())
                       << alcohol + QLatin1Char(' ') + u(ac.systematic);
            pool.push_back(std::move(b));
        }
    }
}

void addChainCompounds(std::vector<Base> &pool)
{
    for (const Chain &c : chains) {
        const QString stem = u(c.stem);
        const QString lower = stem.toLower();
        const QString alkyl = capitalised(u(alkyls[c.carbons]));
        pool.push_back({stem + QStringLiteral("anal"),
            {QStringLiteral("Aldehyde C-%1").arg(c.carbons),
                QStringLiteral("n-%1 aldehyde").arg(alkyl)}});
        pool.push_back({QStringLiteral("1-%1anol").arg(stem),
            {QStringLiteral("Alcohol C-%1").arg(c.carbons),
                QStringLiteral("n-%1 alcohol").arg(alkyl)}});
        pool.push_back({QStringLiteral("2-%1anone").arg(stem),
            {QStringLiteral("Methyl %1 ketone").arg(u(alkyls[c.carbons - 2])),
                QStringLiteral("%1an-2-one").arg(stem)}});
        pool.push_back({QStringLiteral("3-%1anone").arg(stem),
            {QStringLiteral("Ethyl %1 ketone").arg(u(alkyls[c.carbons - 3]))}});
        pool.push_back({QStringLiteral("(E)-2-%1enal").arg(stem),
            {QStringLiteral("trans-2-%1enal").arg(stem), QStringLiteral("%1-2-enal").arg(stem)}});
        pool.push_back({QStringLiteral("cis-3-%1enol").arg(stem),
            {QStringLiteral("(Z)-3-%1en-1-ol").arg(stem), QStringLiteral("%1-3-enol").arg(stem)}});
        pool.push_back({QStringLiteral("1-%1en-3-ol").arg(stem),
            {QStringLiteral("Vinyl %1 carbinol").arg(u(alkyls[c.carbons - 3]))}});
        pool.push_back({QStringLiteral("%1anoic acid").arg(stem),
            {QStringLiteral("n-%1anoic acid").arg(lower)}});
        if (c.carbons >= 7)
            pool.push_back({QStringLiteral("(E,E)-2,4-%1adienal").arg(stem),
                {QStringLiteral("trans,trans-2,4-%1adienal").arg(stem)}});
    }
}

void addLactones(std::vector<Base> &pool)
{
    const char *const greek[] = {"gamma", "delta", "epsilon"};
    const char *const chainsOfLactones[]
        = {"Hexa", "Hepta", "Octa", "Nona", "Deca", "Undeca", "Dodeca", "Tetradeca"};
    for (int g = 0; g < 3; ++g) {
        for (const char *chain : chainsOfLactones) {
            const QString stem = u(chain);
            pool.push_back({QStringLiteral("%1-%2lactone").arg(u(greek[g]), stem),
                {QStringLiteral("%1-%2nolide").arg(g + 4).arg(stem.left(stem.size() - 1)),
                    QStringLiteral("%1no-1,%2-lactone").arg(stem.left(stem.size() - 1)).arg(g + 4),
                    QStringLiteral("%1-Hydroxy%2noic acid lactone")
                        .arg(g + 4)
                        .arg(stem.left(stem.size() - 1).toLower())}});
        }
    }
}

void addRingCompounds(std::vector<Base> &pool)
{
    for (const Ring &r : rings) {
        const QString core = u(r.core);
        for (const char *s : substituents) {
            for (int p = 2; p <= 4; ++p)
                pool.push_back({QStringLiteral("%1-%2%3").arg(p).arg(u(s), core), {}});
        }
        // Two substituents, named in alphabetical order.
        for (size_t i = 0; i < std::size(substituents); ++i) {
            for (size_t j = i; j < std::size(substituents); ++j) {
                const QString a = u(substituents[i]);
                const QString b = u(substituents[j]);
                for (int p = 2; p < r.positions; ++p) {
                    const int q = p + 1;
                    if (i == j) {
                        pool.push_back(
                            {QStringLiteral("%1,%2-Di%3%4").arg(p).arg(q).arg(a.toLower(), core),
                                {}});
                    } else {
                        pool.push_back({QStringLiteral("%1-%2-%3-%4%5")
                                            .arg(p)
                                            .arg(a)
                                            .arg(q)
                                            .arg(b.toLower(), core),
                            {QStringLiteral("%1-%2-%3-%4%5")
                                    .arg(q)
                                    .arg(a)
                                    .arg(p)
                                    .arg(b.toLower(), core)}});
                    }
                }
            }
        }
    }
}

void addNaturals(std::vector<Base> &pool)
{
    for (const Plant &p : plants) {
        for (const char *form : plantForms) {
            const QString f = u(form);
            pool.push_back({u(p.common) + QLatin1Char(' ') + f,
                {QStringLiteral("%1 %2").arg(u(p.botanical), f),
                    QStringLiteral("%1 of %2").arg(capitalised(f), u(p.common).toLower())}});
        }
    }
}

// The names to draw from, grouped so that each kind of material takes its
// share of a database whatever the sizes of the groups.
struct NamePool
{
    std::vector<Base> groups[6];
    static constexpr int weights[6] = {30, 20, 15, 12, 5, 18};
};

NamePool buildPool()
{
    NamePool pool;
    addEsters(pool.groups[0]);
    addRingCompounds(pool.groups[1]);
    addNaturals(pool.groups[2]);
    addChainCompounds(pool.groups[3]);
    addLactones(pool.groups[4]);
    for (const char *c : classics)
        pool.groups[5].push_back({u(c), {}});
    return pool;
}

// Grades and dilutions of a name before the numbered lots.
constexpr int namedVariants = int(std::size(grades) + std::size(dilutions) * std::size(solvents));

// The variant of a name used when the name itself is taken: a grade, a
// dilution, then a numbered lot.
QString variant(const QString &base, int n)
{
    if (n == 0)
        return base;
    const int gradeCount = int(std::size(grades));
    const int dilutionCount = int(std::size(dilutions) * std::size(solvents));
    if (n <= gradeCount)
        return base + QLatin1Char(' ') + u(grades[n - 1]);
    if (n <= gradeCount + dilutionCount) {
        const int d = n - gradeCount - 1;
        return QStringLiteral("%1 %2 in %3")
            .arg(base, u(dilutions[size_t(d) % std::size(dilutions)]),
                u(solvents[size_t(d) / std::size(dilutions)]));
    }
    return QStringLiteral("%1 No. %2").arg(base).arg(n - gradeCount - dilutionCount + 1);
}

const char *const tradeStems[] = {"Aro", "Flor", "Vert", "Fruct", "Lact", "Ambr", "Citr", "Mel",
    "Sant", "Jasm", "Ros", "Vel", "Musc", "Cedr", "Lim", "Hel", "Nat", "Pol", "Ozon", "Agrum"};
const char *const tradeEndings[]
    = {"al", "ene", "one", "ol", "ide", "ate", "ane", "ine", "yl", "ex"};
const char *const tradeGrades[] = {"", "", " B", " Extra", " Forte", " Super", " 100", " P"};

QString tradeName(Rng &rng)
{
    return u(rng.pick(tradeStems)) + u(rng.pick(tradeEndings)) + u(rng.pick(tradeGrades));
}

QString randomCas(Rng &rng)
{
    const int length = 2 + rng.weighted({5, 20, 25, 25, 15, 10});
    QString digits = QString::number(rng.range(1, 9));
    for (int i = 1; i < length + 2; ++i)
        digits += QChar(u'0' + rng.below(10));
    return QStringLiteral("%1-%2-%3")
        .arg(digits.left(length), digits.right(2))
        .arg(casCheckDigit(digits));
}

// ---------------------------------------------------------------------------
// Memo texts.

const char *const foods[] = {"apple", "banana", "pear", "strawberry", "raspberry", "blackcurrant",
    "peach", "apricot", "pineapple", "mango", "passion fruit", "grape", "orange juice",
    "lemon peel", "tomato", "cucumber", "potato chips", "roasted coffee", "black tea", "green tea",
    "cocoa", "bread crust", "roasted peanuts", "hazelnuts", "almonds", "beer", "white wine",
    "red wine", "whisky", "rum", "cheddar cheese", "butter", "milk", "yoghurt", "cooked beef",
    "chicken broth", "roasted sesame", "mushrooms", "honey", "maple syrup", "vanilla beans",
    "cinnamon", "cloves", "black pepper", "mint", "basil", "soy sauce"};

const char *const descriptors[] = {"sweet", "fruity", "green", "waxy", "fatty", "floral", "rosy",
    "citrus", "fresh", "herbal", "minty", "spicy", "woody", "balsamic", "powdery", "creamy",
    "buttery", "caramellic", "nutty", "roasted", "earthy", "mossy", "musky", "animalic", "smoky",
    "phenolic", "medicinal", "sulfurous", "meaty", "cooling", "tropical", "jammy", "winey",
    "ethereal", "pungent", "leafy", "metallic", "mushroom-like", "honeyed", "tea-like"};

const char *const applications[] = {"dairy", "bakery", "confectionery", "beverage", "savoury",
    "snack", "chewing gum", "ice cream", "oral care", "tobacco", "pet food", "soup", "sauce",
    "alcoholic beverage", "tea", "coffee", "fruit preparation"};

const char *const genres[] = {"floral", "chypre", "fougère", "citrus", "woody", "oriental",
    "gourmand", "aquatic", "green", "leather", "musky", "fruity"};

const char *const media[] = {"soap", "shampoo", "fabric softener", "candles", "alcoholic lotions",
    "antiperspirants", "bleach", "detergent powder", "acidic cleaners", "creams"};

const char *const stability[]
    = {"stable", "fairly stable", "unstable", "discolours", "loses strength", "polymerises slowly"};

const char *const surnames[] = {"Albrecht", "Brunner", "Castell", "Dervaux", "Eklund", "Ferreira",
    "Gallo", "Hartmann", "Ishida", "Jansen", "Kowalski", "Lindqvist", "Moreau", "Nakamura",
    "Okafor", "Pereira", "Quist", "Rinaldi", "Sandoval", "Tanaka", "Urbanek", "Vasquez", "Weller",
    "Yilmaz", "Zeller", "Bianchi", "Duarte", "Fontaine", "Greco", "Holm"};

const char *const journals[] = {"J. Flavour Res.", "Perfum. Chem. Rev.", "Food Volatiles Q.",
    "Aroma Sci.", "J. Essent. Oil Stud.", "Sens. Anal. Lett.", "Z. Geschmacksforsch.",
    "Chem. Senses Notes", "Int. J. Fragr. Technol."};

const char *const titleTopics[] = {"Volatile constituents of %1", "Odour thresholds of %1",
    "Formation of aroma compounds in %1", "Key odorants of %1", "Sensory properties of %1",
    "Synthesis and odour of %1", "Stability of %1 in model systems",
    "Quantitation of %1 by stable isotope dilution", "Enantiomeric distribution of %1"};

const char *const processes[] = {"roasting", "fermentation", "curing", "drying", "cooking",
    "storage", "ripening", "distillation", "ageing in oak"};

QString listOf(const QStringList &items)
{
    if (items.size() == 1)
        return items.front();
    return items.mid(0, items.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ")
        + items.back();
}

template<size_t N>
QStringList distinct(Rng &rng, const char *const (&items)[N], int count)
{
    QStringList out;
    while (out.size() < count) {
        const QString s = u(rng.pick(items));
        if (!out.contains(s))
            out << s;
    }
    return out;
}

QString reference(Rng &rng, const QString &subject)
{
    const int year = rng.range(1958, 2023);
    const int first = rng.range(1, 2400);
    QString authors
        = QStringLiteral("%1, %2.").arg(u(rng.pick(surnames))).arg(QChar(u'A' + rng.below(26)));
    if (rng.percent(60))
        authors += QStringLiteral(", %1, %2.")
                       .arg(u(rng.pick(surnames)))
                       .arg(QChar(u'A' + rng.below(26)));
    if (rng.percent(30))
        authors += QStringLiteral(" et al.");
    return QStringLiteral("%1 (%2) %3. %4 %5, %6-%7.")
        .arg(authors)
        .arg(year)
        .arg(QString::fromUtf8(rng.pick(titleTopics)).arg(subject))
        .arg(u(rng.pick(journals)))
        .arg(rng.range(1, 80))
        .arg(first)
        .arg(first + rng.range(3, 24));
}

QString occurSentence(Rng &rng, const QString &, int)
{
    switch (rng.below(4)) {
    case 0:
        return QStringLiteral("Reported in %1.").arg(listOf(distinct(rng, foods, rng.range(2, 4))));
    case 1:
        return QStringLiteral("Found in %1 at up to %2 ppm.")
            .arg(u(rng.pick(foods)))
            .arg(rng.range(1, 900));
    case 2:
        return QStringLiteral("Identified among the volatiles of %1.")
            .arg(listOf(distinct(rng, foods, rng.range(1, 3))));
    default:
        return QStringLiteral("A minor constituent of %1 %2, where it adds to the %3 note.")
            .arg(u(rng.pick(plants).common).toLower(), u(rng.pick(plantForms)),
                u(rng.pick(descriptors)));
    }
}

QString flavorSentence(Rng &rng, const QString &, int index)
{
    if (index >= 2) {
        switch (rng.below(3)) {
        case 0:
            return QStringLiteral("On dilution it turns more %1.").arg(u(rng.pick(descriptors)));
        case 1:
            return QStringLiteral("The %1 character carries into the dry-down.")
                .arg(u(rng.pick(descriptors)));
        default:
            return QStringLiteral("Some lots show a %1 off-note.").arg(u(rng.pick(descriptors)));
        }
    }
    if (index == 0) {
        const QStringList d = distinct(rng, descriptors, rng.range(2, 3));
        QString s = capitalised(listOf(d)) + QStringLiteral(" odour");
        if (rng.percent(60))
            s += QStringLiteral(" with a %1 undertone").arg(u(rng.pick(descriptors)));
        return s + QLatin1Char('.');
    }
    return QStringLiteral("Taste at %1 ppm: %2.")
        .arg(rng.range(1, 50))
        .arg(listOf(distinct(rng, descriptors, rng.range(2, 3))));
}

QString applicSentence(Rng &rng, const QString &name, int)
{
    switch (rng.below(5)) {
    case 0: {
        const int low = rng.range(1, 20);
        return QStringLiteral("Used in %1 flavours at %2-%3 ppm in the finished product.")
            .arg(listOf(distinct(rng, applications, rng.range(1, 3))))
            .arg(low)
            .arg(low * rng.range(3, 20));
    }
    case 1:
        return QStringLiteral("In perfumery it lends a %1 lift to %2 accords at up to %3% of the "
                              "concentrate.")
            .arg(u(rng.pick(descriptors)), u(rng.pick(genres)))
            .arg(rng.range(1, 15));
    case 2:
        return QStringLiteral("%1 in %2; %3 in %4.")
            .arg(capitalised(u(rng.pick(stability))), u(rng.pick(media)), u(rng.pick(stability)),
                u(rng.pick(media)));
    case 3:
        return QStringLiteral("%1 blends well with %2 and %3.")
            .arg(name, u(rng.pick(classics)), u(rng.pick(plants).common).toLower());
    default:
        return QStringLiteral("Recommended for %1 products.")
            .arg(listOf(distinct(rng, applications, 2)));
    }
}

QString literSentence(Rng &rng, const QString &name, int)
{
    switch (rng.below(5)) {
    case 0:
    case 1:
        return reference(rng, rng.percent(50) ? name : u(rng.pick(foods)));
    case 2:
        return QStringLiteral("The odour threshold in %1 was determined as %2 ppb by %3 (%4).")
            .arg(rng.percent(50) ? QStringLiteral("water") : QStringLiteral("air"))
            .arg(rng.range(1, 5000))
            .arg(u(rng.pick(surnames)))
            .arg(rng.range(1965, 2023));
    case 3:
        return QStringLiteral("Its formation during %1 of %2 was studied by %3 and co-workers, who "
                              "found the %4 note to rise with %5.")
            .arg(u(rng.pick(processes)), u(rng.pick(foods)), u(rng.pick(surnames)),
                u(rng.pick(descriptors)), u(rng.pick(processes)));
    default:
        return QStringLiteral("Panel tests of %1 in %2 placed it among the %3 of %4 compounds "
                              "examined.")
            .arg(name, u(rng.pick(foods)), rng.percent(50) ? u("strongest") : u("most typical"))
            .arg(rng.range(12, 140));
    }
}

const char *const noteTexts[] = {"Store cool and dry, protected from light.",
    "Solidifies below room temperature; warm gently before use.",
    "Supplied with 0.1% BHT as antioxidant.", "Check local regulations before use in cosmetics.",
    "Keep under nitrogen once opened.", "Strong odour: weigh in a fume hood.",
    "Restricted in leave-on products.", "Available as natural and synthetic grades."};

using SentenceFn = QString (*)(Rng &, const QString &, int);

// Sentences until the text reaches about the given length; a paragraph break
// every few sentences when paragraphs is set.
QString compose(Rng &rng, int length, SentenceFn sentence, const QString &name, bool paragraphs)
{
    QString text;
    int inParagraph = 0;
    const int perParagraph = rng.range(3, 6);
    for (int index = 0; text.size() < length; ++index) {
        if (!text.isEmpty()) {
            if (paragraphs && inParagraph >= perParagraph) {
                text += QStringLiteral("\n\n");
                inParagraph = 0;
            } else {
                text += QLatin1Char(' ');
            }
        }
        text += sentence(rng, name, index);
        ++inParagraph;
    }
    return text;
}

void makeMemos(quint64 seed, const Material &m, Memos &memos)
{
    Rng rng(mix(seed, quint64(m.key) + 0x1000000));
    memos[Occur] = compose(rng, rng.range(50, 340), occurSentence, m.name, false);
    memos[Flavor] = compose(rng, rng.range(30, 240), flavorSentence, m.name, false);
    memos[Applic] = compose(rng, rng.range(80, 520), applicSentence, m.name, false);
    int liter;
    switch (rng.weighted({70, 28, 2})) {
    case 0:
        liter = rng.range(100, 1200);
        break;
    case 1:
        liter = rng.range(1200, 2500);
        break;
    default:
        liter = rng.range(5000, 9000);
        break;
    }
    memos[Liter] = compose(rng, liter, literSentence, m.name, true);
    memos[Notes] = rng.percent(12) ? u(rng.pick(noteTexts)) : QString();
}

// ---------------------------------------------------------------------------
// Suppliers and links.

struct Country
{
    const char *name;
    const char *cities[4];
    const char *phone; // country calling code
    const char *currency;
    const char *suffixes[3];
    const char *streets[4];
    bool numberFirst; // "14 Mill Road" rather than "Hafenstrasse 14"
};

const Country countries[] = {
    {"Germany", {"Hamburg", "Holzminden", "Frankfurt", "Munich"}, "+49", "EUR",
        {"GmbH", "AG", "GmbH & Co. KG"},
        {"Hafenstrasse", "Industrieweg", "Lindenallee", "Am Speicher"}, false},
    {"France", {"Grasse", "Lyon", "Paris", "Marseille"}, "+33", "EUR",
        {"S.A.", "S.A.R.L.", "S.A.S."},
        {"Rue des Fleurs", "Avenue de Provence", "Chemin du Moulin", "Boulevard Victor"}, true},
    {"United Kingdom", {"London", "Manchester", "Leeds", "Bristol"}, "+44", "GBP",
        {"Ltd", "plc", "& Co. Ltd"}, {"Mill Road", "Station Street", "Harbour Lane", "Church Way"},
        true},
    {"Italy", {"Milan", "Como", "Bologna", "Turin"}, "+39", "EUR", {"S.r.l.", "S.p.A.", "S.n.c."},
        {"Via Roma", "Via Garibaldi", "Corso Italia", "Viale Europa"}, false},
    {"Spain", {"Barcelona", "Valencia", "Madrid", "Murcia"}, "+34", "EUR",
        {"S.A.", "S.L.", "S.L.U."},
        {"Calle Mayor", "Avenida del Puerto", "Calle de la Paz", "Paseo Maritimo"}, false},
    {"Netherlands", {"Rotterdam", "Amsterdam", "Naarden", "Utrecht"}, "+31", "EUR",
        {"B.V.", "N.V.", "B.V."}, {"Kanaalweg", "Havenstraat", "Dorpsstraat", "Industrieweg"},
        false},
    {"Switzerland", {"Geneva", "Zurich", "Basel", "Lugano"}, "+41", "CHF", {"SA", "AG", "Sarl"},
        {"Route de Meyrin", "Bahnhofstrasse", "Via Cantonale", "Seestrasse"}, false},
    {"United States", {"New York", "Cincinnati", "Jacksonville", "Newark"}, "+1", "USD",
        {"Inc.", "LLC", "Corp."},
        {"Main Street", "Industrial Parkway", "Harbor Drive", "Elm Avenue"}, true},
    {"India", {"Mumbai", "Kannauj", "Chennai", "Delhi"}, "+91", "INR", {"Pvt Ltd", "Ltd", "LLP"},
        {"MG Road", "Station Road", "Industrial Estate", "Link Road"}, true},
    {"China", {"Shanghai", "Guangzhou", "Xiamen", "Hangzhou"}, "+86", "CNY",
        {"Co., Ltd", "Ltd", "Co., Ltd"},
        {"Zhongshan Road", "Binhai Avenue", "Jiangnan Road", "Huaxia Street"}, true},
    {"Japan", {"Tokyo", "Osaka", "Kobe", "Yokohama"}, "+81", "JPY", {"K.K.", "Co., Ltd", "K.K."},
        {"Chuo-dori", "Minato-machi", "Sakura-dori", "Kita-ku"}, true},
    {"Brazil", {"Sao Paulo", "Rio de Janeiro", "Curitiba", "Belem"}, "+55", "BRL",
        {"Ltda", "S.A.", "Ltda"},
        {"Rua das Flores", "Avenida Paulista", "Rua do Porto", "Rua Nova"}, false},
    {"Cyprus", {"Limassol", "Nicosia", "Larnaca", "Paphos"}, "+357", "EUR", {"Ltd", "Ltd", "Ltd"},
        {"Makarios Avenue", "Ayiou Andreou", "Gladstonos Street", "Spyrou Kyprianou"}, true},
    {"Indonesia", {"Jakarta", "Surabaya", "Medan", "Bandung"}, "+62", "IDR", {"PT", "CV", "PT"},
        {"Jalan Sudirman", "Jalan Thamrin", "Jalan Gatot", "Jalan Merdeka"}, false}};

const char *const supplierStems[] = {"Nordic", "Alpine", "Atlantic", "Baltic", "Levant", "Orient",
    "Pacific", "Iberia", "Celtic", "Danube", "Rhine", "Andes", "Meridian", "Aurora", "Sirius",
    "Vega", "Orion", "Solaris", "Verde", "Azur", "Ambra", "Lumen", "Terra", "Flora", "Silva",
    "Aqua", "Boreal", "Coral", "Delta", "Zephyr"};

const char *const supplierCores[] = {"Aromatics", "Essences", "Flavours", "Oils", "Chemicals",
    "Fragrances", "Extracts", "Naturals", "Botanicals", "Aroma", "Perfumery", "Ingredients"};

const char *const linkComments[] = {"ex stock", "min. order 25 kg", "natural per EU rules",
    "lead time 4 weeks", "Kosher certified", "Halal certified", "samples on request",
    "price per 5 kg drum", "price per 200 kg drum", "organic grade", "limited availability",
    "contract price", "incl. freight", "min. order 1 kg"};

Supplier makeSupplier(Rng &rng, int id)
{
    const Country &c = rng.pick(countries);
    Supplier s;
    s.id = id;
    s.country = u(c.name);
    s.city = u(c.cities[rng.below(4)]);
    const QString stem = u(rng.pick(supplierStems));
    const QString core = u(rng.pick(supplierCores));
    const QString suffix = u(c.suffixes[rng.below(3)]);
    s.name = QStringLiteral("%1 %2 %3").arg(stem, core, suffix);
    if (s.name.size() > 30)
        s.name = stem + QLatin1Char(' ') + core;
    const QString street = u(c.streets[rng.below(4)]);
    const int number = rng.range(1, 240);
    s.address = c.numberFirst ? QStringLiteral("%1 %2").arg(number).arg(street)
                              : QStringLiteral("%1 %2").arg(street).arg(number);
    s.phone = QStringLiteral("%1 %2 %3 %4")
                  .arg(u(c.phone))
                  .arg(rng.range(10, 999))
                  .arg(rng.range(100, 9999))
                  .arg(rng.range(1000, 9999));
    return s;
}

// A price that fits the 12 characters of its field: "EUR 13.54/kg",
// "EUR 135.40", "JPY 2090/kg".
QString price(Rng &rng, const QString &currency)
{
    const int cents
        = rng.weighted({50, 35, 15}) == 0 ? rng.range(150, 4000) : rng.range(4000, 90000);
    QString amount;
    if (currency == QLatin1String("JPY") || currency == QLatin1String("INR")
        || currency == QLatin1String("IDR") || currency == QLatin1String("CNY"))
        amount = QString::number(cents * (currency == QLatin1String("IDR") ? 20 : 1));
    else
        amount = QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
    QString p = currency + QLatin1Char(' ') + amount + QStringLiteral("/kg");
    if (p.size() > 12)
        p = currency + QLatin1Char(' ') + amount;
    return p.left(12);
}

} // namespace

int syntheticSupplierCount(int materials)
{
    return std::max(25, materials / 40);
}

Catalogue makeSynthetic(int n, quint64 seed)
{
    Q_ASSERT(n >= 1 && n <= maxSyntheticMaterials);
    Catalogue c;
    Rng rng(mix(seed, 1));
    const NamePool pool = buildPool();

    // Per name of the pool: how often it was drawn, its CAS, FEMA and CE
    // numbers (a dilution or grade of a substance keeps the numbers).
    struct Drawn
    {
        int uses = 0;
        QString cas, fema, ce;
    };
    std::vector<Drawn> drawn[6];
    for (int g = 0; g < 6; ++g)
        drawn[g].resize(pool.groups[g].size());

    QSet<QString> names;
    names.reserve(n);
    c.materials.reserve(size_t(n));
    c.synonyms.reserve(size_t(n) * 2 + 16);
    for (int key = 1; key <= n; ++key) {
        // A name whose grades and dilutions are used up is drawn again a few
        // times before it gets a numbered lot.
        int g = 0;
        int index = 0;
        for (int attempt = 0; attempt < 8; ++attempt) {
            g = rng.weighted({NamePool::weights[0], NamePool::weights[1], NamePool::weights[2],
                NamePool::weights[3], NamePool::weights[4], NamePool::weights[5]});
            index = rng.below(int(pool.groups[g].size()));
            if (drawn[g][size_t(index)].uses <= namedVariants)
                break;
        }
        const Base &base = pool.groups[g][size_t(index)];
        Drawn &d = drawn[g][size_t(index)];
        if (d.uses == 0) {
            d.cas = rng.percent(94) ? randomCas(rng) : QString();
            d.fema = rng.percent(50) ? QString::number(rng.range(2001, 4999)) : QString();
            d.ce = rng.percent(20) ? QString::number(rng.range(1, 11999)) : QString();
        }
        Material m;
        m.key = key;
        do
            m.name = variant(base.name, d.uses++);
        while (names.contains(m.name));
        names.insert(m.name);
        m.cas = d.cas;
        m.fema = d.fema;
        m.ce = d.ce;

        // 0-5 synonyms, about two on average: the systematic names of the
        // substance first, then trade names.
        const int count = rng.weighted({15, 20, 25, 20, 12, 8});
        QStringList chosen;
        for (const QString &s : base.synonyms) {
            if (chosen.size() < count && s != m.name)
                chosen << s;
        }
        for (int attempt = 0; chosen.size() < count && attempt < 20; ++attempt) {
            const QString s = rng.percent(15) && !m.fema.isEmpty()
                ? QStringLiteral("FEMA %1").arg(m.fema)
                : tradeName(rng);
            if (!chosen.contains(s) && s != m.name)
                chosen << s;
        }
        for (int i = 0; i < chosen.size(); ++i)
            c.synonyms.push_back({m.key, 0, i + 1, chosen[i], QString()});
        c.materials.push_back(std::move(m));
    }

    // About one supplier per forty materials; a few at the end and every
    // 41st carry no materials.
    const int supplierCount = syntheticSupplierCount(n);
    Rng supplierRng(mix(seed, 2));
    std::vector<int> active;
    for (int id = 1; id <= supplierCount; ++id) {
        c.suppliers.push_back(makeSupplier(supplierRng, id));
        const bool idle = id > supplierCount - 2 || id % 41 == 0;
        if (!idle)
            active.push_back(id);
    }

    Rng linkRng(mix(seed, 3));
    c.links.reserve(size_t(n) * 3);
    for (const Material &m : c.materials) {
        const int count = std::min(int(active.size()), linkRng.weighted({8, 15, 25, 25, 15, 12}));
        int picked[5];
        for (int i = 0; i < count; ++i) {
            int id;
            bool again;
            do {
                id = active[size_t(linkRng.below(int(active.size())))];
                again = std::find(picked, picked + i, id) != picked + i;
            } while (again);
            picked[i] = id;
            const Supplier &s = c.suppliers[size_t(id - 1)];
            QString currency = QStringLiteral("EUR");
            for (const Country &country : countries) {
                if (s.country == QLatin1String(country.name))
                    currency = u(country.currency);
            }
            Link l;
            l.material = m.key;
            l.supplier = id;
            l.price = price(linkRng, currency);
            l.comment = linkRng.percent(45) ? u(linkRng.pick(linkComments)) : QString();
            c.links.push_back(std::move(l));
        }
    }

    c.memoSource = [seed](const Material &m, Memos &memos) { makeMemos(seed, m, memos); };
    return c;
}

} // namespace zil::makedb
