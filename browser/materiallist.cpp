// The material list of the main window: its order, caption and search field
// state, and the drawing and row selection of the material grid.
#include "searchclass.h"

#include "framework/stringgrid.h"
#include "shell/Zil0.h"
#include "store/table.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>

void TMainForm::SetListOrder(const QString &order)
{
    if (order == QLatin1String("Name")) {
        SearchLabel->setText(QStringLiteral("S&earch name:"));
        SearchClass->SetOrder(QStringLiteral("Name"));
    } else {
        SearchLabel->setText(QStringLiteral("S&earch CAS:"));
        SearchClass->SetOrder(QStringLiteral("CAS"));
    }
    UpdateListCaption();
    UpdateSearchEnabled();
}

void TMainForm::UpdateSearchEnabled()
{
    const bool enabled = SearchClass->SelectedCount == MaterialCount
        || SearchClass->GetOrder() == QLatin1String("Name");
    SearchLabel->setEnabled(enabled);
    SearchField->setEnabled(enabled);
    QPalette p = SearchField->palette();
    p.setColor(QPalette::Base,
        enabled ? palette().color(QPalette::Active, QPalette::Base)
                : palette().color(QPalette::Active, QPalette::Button));
    SearchField->setPalette(p);
}

void TMainForm::UpdateListCaption()
{
    const int n = MaterialGrid->rowCount() - 1;
    QString caption = n == TableMaterial->recordCount()
        ? QStringLiteral("List of all materials (%1)").arg(n)
        : QStringLiteral("%1 materials selected").arg(n);
    if (SearchClass->GetOrder() == QLatin1String("CAS"))
        caption += QStringLiteral(" - sorted by CAS");
    MaterialGrid->setCell(0, 0, caption);
}

void TMainForm::MaterialGridDrawCell(
    QPainter &canvas, int, int row, const QRect &rect, zil::framework::GridDrawState state)
{
    QColor background = Qt::white;
    QColor text = Qt::black;
    if (state.selected) {
        background = QColor(0, 0, 255);
        text = Qt::white;
    }
    if (state.fixed) {
        background = palette().color(QPalette::Button);
        text = Qt::black;
    }
    canvas.fillRect(rect, background);
    QString name;
    if (state.fixed) {
        name = MaterialGrid->cell(0, 0);
    } else {
        TableMaterialSelect->setIndexName(QString());
        TableMaterialSelect->findKey({SearchClass->IdOfRow(row)});
        name = TableMaterialSelect->fieldByName(QStringLiteral("name")).asString();
    }
    canvas.save();
    canvas.setPen(text);
    canvas.setClipRect(rect);
    const QFontMetrics metrics(canvas.font());
    canvas.drawText(QPoint(rect.left() + 2, rect.top() + 1 + metrics.ascent()), name);
    canvas.restore();
}

void TMainForm::MaterialGridSelectCell(int, int row, bool &)
{
    SearchClass->SelectRow(row);
}

void TMainForm::ApplySelection()
{
    SearchClass->ApplyCriteria();
    SearchClass->ShowCurrent();
}

void TMainForm::RestoreAll()
{
    SearchClass->SelectAll();
    SearchClass->Rebuild();
    SearchClass->ShowCurrent();
}
