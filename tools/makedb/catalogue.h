// The rows of a database as the maker holds them before writing: materials
// with their source keys, and synonyms and links that refer to materials by
// those keys until arrange() numbers the materials.
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <vector>

namespace zil::makedb {

enum MemoField { Occur, Flavor, Applic, Liter, Notes, MemoCount };
using Memos = std::array<QString, MemoCount>;

struct Material
{
    qint64 key = 0; // key in the source, unique
    int id = 0; // set by arrange()
    QString name;
    QString cas;
    QString fema;
    QString ce;
    QString sf; // set by arrange()
    Memos memos;
};

struct Synonym
{
    qint64 material = 0; // source key of the material
    int materialId = 0; // set by arrange()
    int pos = 0; // 1, 2, 3 ... in source order within a material
    QString name;
    QString sf; // set by arrange()
};

struct Supplier
{
    qint64 id = 0;
    QString name;
    QString address;
    QString city;
    QString country;
    QString phone;
};

struct Link
{
    qint64 material = 0; // source key of the material
    int materialId = 0; // set by arrange()
    qint64 supplier = 0;
    QString price;
    QString comment;
};

struct Catalogue
{
    std::vector<Material> materials;
    std::vector<Synonym> synonyms;
    std::vector<Supplier> suppliers;
    std::vector<Link> links;
    // When set, gives the memo texts of a material as it is written, so that
    // a large generated database never has to be held in memory whole; the
    // memos stored in the materials are used otherwise.
    std::function<void(const Material &, Memos &)> memoSource;
};

// Computes the sort keys, numbers the materials 1..N in ascending sort key
// order (case ignored; equal keys by name, then by source key), rewrites the
// material references of synonyms and links to those numbers and puts every
// list into primary key order. Every synonym and link must refer to a
// material of the catalogue.
void arrange(Catalogue &catalogue);

// Whether a material of the first sort key and name files before one of the
// second; the order in which arrange() numbers materials.
bool filesBefore(const Material &a, const Material &b);

} // namespace zil::makedb
