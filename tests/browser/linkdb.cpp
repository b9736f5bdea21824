#include "linkdb.h"

#include "browser/searchclass.h"
#include "common/appfixture.h"
#include "common/testdb.h"
#include "framework/datagrid.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QDir>
#include <QTest>
#include <map>

namespace zil::test {

namespace {

// A paint device that keeps the texts drawn on it and counts the fills.
class TextRecorder : public QPaintDevice
{
public:
    QStringList texts;
    int fills = 0;

    QPaintEngine *paintEngine() const override { return &m_engine; }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight:
            return 2000;
        case PdmWidthMM:
        case PdmHeightMM:
            return 529;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return INT_MAX;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        explicit Engine(TextRecorder *device)
            : QPaintEngine(QPaintEngine::AllFeatures)
            , m_device(device)
        { }
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override { }
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override { }
        void drawTextItem(const QPointF &, const QTextItem &item) override
        {
            m_device->texts << item.text();
        }
        void drawRects(const QRectF *, int count) override { m_device->fills += count; }
        void drawRects(const QRect *, int count) override { m_device->fills += count; }
        Type type() const override { return QPaintEngine::User; }

    private:
        TextRecorder *m_device;
    };
    mutable Engine m_engine {this};
};

} // namespace

bool makeLinkDatabase(const QString &srcDir, const QString &dbDir)
{
    const QList<SourceMaterial> materials {
        {"1", "Anethole", "104-46", "2086", "183", "Anise and fennel.", "Sweet, anise.",
            "Liquorice, anise drinks.", "Fenaroli.",
            {"trans-Anethole", "Anise camphor", "p-Propenylanisole"}},
        {"2", "Benzaldehyde", "100-52", "2127", "", "Bitter almonds.", "Almond, cherry.",
            "Cherry flavours.", "", {}},
        {"3", "Citral", "5392-40", "2303", "", "Lemongrass.", "Lemon.", "Citrus.", "",
            {"Geranial and neral"}},
        {"4", "Damascone <b>beta</b>", "23726-91", "3243", "", "Rose.", "<i>Fruity</i>.", "Traces.",
            "", {}},
        {"5", "Eugenol", "97-53", "2467", "", "Clove.", "Spicy.", "Spice blends.", "",
            {"Eugenic acid", "Caryophyllic acid", "4-Allylguaiacol", "Allylguaiacol",
                "2-Methoxy-4-allylphenol", "Clove oil phenol", "Eugenic phenol"}},
        {"6", "Vanillin", "121-33", "3107", "", "Vanilla pods.", "Sweet, creamy.", "Everywhere.",
            "", {"Vanillic aldehyde"}},
    };
    const QList<SourceSupplier> suppliers {
        {kZeta, "Zeta Oils", "1 Harbour Road", "Rotterdam", "Netherlands", "+31 10 000 00 00"},
        {kAlphaAromatics, "alpha Aromatics", "2 Mill Lane", "Grasse", "France", "+33 4 00"},
        {kMid, "Mid Chem", "3 Works Street", "Leeds", "United Kingdom", "+44 113 000"},
        {kAlphaBlends, "ALPHA Blends", "4 Quay", "Hamburg", "Germany", "+49 40 000"},
        {kIdle, "Idle Trading", "5 Square", "Lyon", "France", "+33 4 11"},
        {kAlphaCitrus, "Alpha Citrus", "6 Grove", "Valencia", "Spain", "+34 96 000"},
        {kNordic, "Nordic Essential Oils Trade Co", "7 Fjord", "Bergen", "Norway", "+47 55"},
        {kOlmuhle, "\u00d6lm\u00fchle Aromen", "8 Ufer", "Bremen", "Germany", "+49 421"},
    };
    const QList<SourceLink> links {
        {"1", kMid},
        {"1", kZeta},
        {"1", kAlphaAromatics},
        {"2", kAlphaAromatics},
        {"4", kZeta},
        {"5", kZeta},
        {"5", kAlphaCitrus},
        {"5", kOlmuhle},
        {"6", kZeta},
        {"6", kAlphaAromatics},
    };
    if (!makeDatabase(srcDir, dbDir, materials, suppliers, links))
        return false;
    // Written afterwards, as another program would: a link to a supplier and
    // one to a material that do not exist, and a synonym that comes first by
    // pos though it is the last record of the file.
    return execSql(tableFile(dbDir, "MATSUPP.DB"),
               QStringLiteral("INSERT INTO matsupp (materialid, supplierid) VALUES (2, %1), "
                              "(%2, %3)")
                   .arg(kMissingSupplier)
                   .arg(kMissingMaterial)
                   .arg(kMid))
        && execSql(tableFile(dbDir, "SYNON.DB"),
            "INSERT INTO synon (name, materialid, pos, sf) VALUES ('Anise oil stearoptene', 1, 0, "
            "'ANISE OIL STEAROPTENE')")
        // The prices and comments of Anethole's links and its notes, which
        // the sources do not carry.
        && execSql(tableFile(dbDir, "MATSUPP.DB"),
            QStringLiteral("UPDATE matsupp SET price = 'GBP 10.63/kg', comment = 'natural per US "
                           "rules' WHERE materialid = 1 AND supplierid = %1;"
                           "UPDATE matsupp SET price = 'EUR 12.40/kg' WHERE materialid = 1 AND "
                           "supplierid = %2")
                .arg(kZeta)
                .arg(kMid))
        && execSql(tableFile(dbDir, "MATERIAL.DB"),
            QStringLiteral("UPDATE material SET notes = '%1' WHERE id = 1").arg(kAnetholeNotes));
}

QString tableFile(const QString &dbDir, const QString &fileName)
{
    for (const QString &entry : QDir(dbDir).entryList(QDir::Files)) {
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            return QDir(dbDir).filePath(entry);
    }
    return QString();
}

qint32 materialId(TMainForm &form, const QString &name)
{
    store::Table &t = *form.TableMaterialSearch;
    for (t.first(); !t.eof(); t.next()) {
        if (t.fieldByName("name").asString() == name)
            return t.fieldByName("id").asInteger();
        if (t.recNo() == t.recordCount())
            break;
    }
    return 0;
}

void gotoMaterial(TMainForm &form, const QString &name)
{
    form.SearchClass->GotoMaterial(materialId(form, name));
    form.SearchClass->ShowCurrent();
    QCOMPARE(form.TableMaterial->fieldByName("name").asString(), name);
}

QString gridTitle(const zil::framework::DataGrid *grid)
{
    return grid->model()->headerData(0, Qt::Horizontal).toString();
}

QStringList drawnRows(zil::framework::DataGrid *grid,
    const std::function<void(QPainter &, const QRect &, const zil::framework::CellField &)>
        &reaction)
{
    std::map<int, QString> rows;
    grid->setOnDrawDataCell(
        [&](QPainter &canvas, const QRect &rect, const zil::framework::CellField &field) {
            TextRecorder recorder;
            {
                QPainter p(&recorder);
                p.setFont(canvas.font());
                p.setBrush(canvas.brush());
                p.setPen(canvas.pen());
                reaction(p, rect, field);
            }
            // Every cell is filled, also one drawn without text.
            QVERIFY(recorder.fills > 0);
            rows[rect.top()] = recorder.texts.join(QString());
        });
    grid->grab();
    grid->setOnDrawDataCell(reaction);
    QStringList out;
    for (const auto &[top, text] : rows)
        out << text;
    return out;
}

} // namespace zil::test
