#include "schema.h"

namespace zil::schema {

namespace {

FieldDef text(const char *name, int size)
{
    return {QString::fromLatin1(name), FieldKind::Text, size};
}

FieldDef integer(const char *name)
{
    return {QString::fromLatin1(name), FieldKind::Integer, 0};
}

FieldDef memo(const char *name)
{
    return {QString::fromLatin1(name), FieldKind::Memo, 20};
}

IndexDef primary(QStringList fields)
{
    return {QStringLiteral("primary"), fields, true, QStringLiteral("Primary")};
}

IndexDef secondary(
    const char *name, QStringList fields, const char *label, bool foldsLetters = false)
{
    return {QString::fromLatin1(name), fields, false, QString::fromLatin1(label), foldsLetters};
}

std::vector<TableDef> buildTables()
{
    std::vector<TableDef> t;
    t.push_back({QStringLiteral("SUPPLIER.DB"),
        {text("name", 30), text("address", 40), integer("id"), text("city", 40),
            text("country", 40), text("phone", 40)},
        {primary({"id"}), secondary("supname", {"name"}, "Name", true)}});
    t.push_back({QStringLiteral("SYNON.DB"),
        {text("name", 74), integer("materialid"), integer("pos"), text("sf", 74)},
        {primary({"materialid", "pos"}),
            secondary("linkmaterial", {"materialid", "pos", "sf"}, "Material Link")}});
    t.push_back({QStringLiteral("MATSUPP.DB"),
        {integer("materialid"), integer("supplierid"), text("price", 12), text("comment", 30)},
        {primary({"materialid", "supplierid"}),
            secondary("supplierlink", {"supplierid", "materialid"}, "Supplier Link")}});
    t.push_back({QStringLiteral("MATERIAL.DB"),
        {text("name", 74), integer("id"), text("cas", 12), text("fema", 5), text("ce", 5),
            text("sf", 74), memo("occur"), memo("flavor"), memo("applic"), memo("liter"),
            memo("notes")},
        {primary({"id"}), secondary("CASOrder", {"cas", "id"}, "CAS"),
            secondary("NameOrder", {"sf", "id"}, "Name")}});
    return t;
}

CursorDef plain(const char *name, const char *table, const char *index, const char *source)
{
    return {QString::fromLatin1(name), QString::fromLatin1(table), QString::fromLatin1(index),
        QString(), QString(), QString(), false, QString::fromLatin1(source)};
}

CursorDef linked(const char *name, const char *table, const char *master, const char *masterField,
    const char *keyField, bool readOnly, const char *source)
{
    return {QString::fromLatin1(name), QString::fromLatin1(table), QString(),
        QString::fromLatin1(master), QString::fromLatin1(masterField),
        QString::fromLatin1(keyField), readOnly, QString::fromLatin1(source)};
}

std::vector<CursorDef> buildCursors()
{
    return {
        linked("TableSupplier", "SUPPLIER.DB", "SourceSupplierLink", "supplierid", "id", false,
            "SourceSupplier"),
        linked("TableSupLink", "MATSUPP.DB", "SourceMaterial", "id", "materialid", false,
            "SourceSupplierLink"),
        linked("TableSinon", "SYNON.DB", "SourceMaterial", "id", "materialid", true, ""),
        linked("TableSinon2", "SYNON.DB", "SourceMaterial2", "id", "materialid", true, ""),
        plain("TableMaterial", "MATERIAL.DB", "NameOrder", "SourceMaterial"),
        linked("TableSupLink2", "MATSUPP.DB", "SourceSupplierName", "id", "supplierid", false,
            "SourceLink2"),
        plain("TableSupplierName", "SUPPLIER.DB", "supname", "SourceSupplierName"),
        plain("TableSupplierSearch", "SUPPLIER.DB", "", ""),
        plain("TableMaterialSearch", "MATERIAL.DB", "", ""),
        linked("TableMaterial2", "MATERIAL.DB", "SourceLink2", "materialid", "id", false,
            "SourceMaterial2"),
        linked(
            "TableSinonSelect", "SYNON.DB", "SourceMaterialSelect", "id", "materialid", false, ""),
        plain("TableMaterialSelect", "MATERIAL.DB", "NameOrder", "SourceMaterialSelect"),
    };
}

} // namespace

QString TableDef::tableName() const
{
    return fileName.section(QLatin1Char('.'), 0, 0).toLower();
}

const FieldDef *TableDef::field(const QString &name) const
{
    for (const FieldDef &f : fields) {
        if (f.name.compare(name, Qt::CaseInsensitive) == 0)
            return &f;
    }
    return nullptr;
}

const IndexDef *TableDef::index(const QString &name) const
{
    for (const IndexDef &i : indexes) {
        if (i.name.compare(name, Qt::CaseInsensitive) == 0)
            return &i;
    }
    return nullptr;
}

const std::vector<TableDef> &tables()
{
    static const std::vector<TableDef> all = buildTables();
    return all;
}

const TableDef *findTable(const QString &fileName)
{
    for (const TableDef &t : tables()) {
        if (t.fileName.compare(fileName, Qt::CaseInsensitive) == 0)
            return &t;
    }
    return nullptr;
}

QString columnType(const FieldDef &field)
{
    switch (field.kind) {
    case FieldKind::Text:
        return QStringLiteral("VARCHAR(%1)").arg(field.size);
    case FieldKind::Integer:
        return QStringLiteral("INTEGER");
    case FieldKind::Memo:
        return QStringLiteral("CLOB");
    }
    return QString();
}

QString createTableSql(const TableDef &table)
{
    QStringList columns;
    for (const FieldDef &f : table.fields)
        columns << QStringLiteral("\"%1\" %2").arg(f.name, columnType(f));
    return QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(table.tableName(), columns.join(", "));
}

const std::vector<CursorDef> &mainCursors()
{
    static const std::vector<CursorDef> all = buildCursors();
    return all;
}

QString programPassword()
{
    return QStringLiteral("qorwm3");
}

} // namespace zil::schema
