// The four tables of a ZIL database, their fields and indexes, the links
// between them and the cursors of the main window, declared once as data.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace zil::schema {

enum class FieldKind { Text, Integer, Memo };

struct FieldDef
{
    QString name;
    FieldKind kind;
    int size; // characters for text; 20 for memo, as declared; 0 for integer
};

struct IndexDef
{
    QString name; // "primary" for the primary index
    QStringList fields;
    bool primary;
    QString label; // shown by the index rebuild while it builds the index
    // Whether its keys hold their texts with the letters folded
    // (store::foldLetters) besides their case: supplier names, which have no
    // sort key of their own, so sort and are found beside their plain
    // spellings. The material names' sort keys come folded from the maker.
    bool foldsLetters = false;
};

struct TableDef
{
    QString fileName; // upper case, as the cursors name it: "MATERIAL.DB"
    std::vector<FieldDef> fields;
    std::vector<IndexDef> indexes; // primary first, then the secondary ones

    // "material" for "MATERIAL.DB": the name of the table inside the file.
    QString tableName() const;
    const FieldDef *field(const QString &name) const;
    // The index of that name, case ignored; nullptr when none is.
    const IndexDef *index(const QString &name) const;
};

// The tables in the order in which the index rebuild works through them:
// SUPPLIER.DB, SYNON.DB, MATSUPP.DB, MATERIAL.DB.
const std::vector<TableDef> &tables();

// The table named by a file name, case ignored; nullptr when none is.
const TableDef *findTable(const QString &fileName);

// SQLite column type used for a field in a table file. Text columns carry
// their size ("VARCHAR(74)"), memo columns are CLOB so that they keep text
// affinity, integers are INTEGER.
QString columnType(const FieldDef &field);

// The column definition list of CREATE TABLE for a table, in field order.
QString createTableSql(const TableDef &table);

struct CursorDef
{
    QString name; // objectName of the cursor: "TableMaterial"
    QString tableName; // "MATERIAL.DB"
    QString indexName; // IndexName; empty for the primary index
    QString masterSource; // data source of the master, empty when unlinked
    QString masterFields; // the master's field
    QString indexFieldNames; // the detail's key field
    bool readOnly;
    QString dataSource; // objectName of its data source; empty when none
};

// The twelve cursors of the main window, in the order in which the database
// is opened at start-up.
const std::vector<CursorDef> &mainCursors();

// The password that opens protected tables.
QString programPassword();

} // namespace zil::schema
