#include "Progres.h"

#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>

TGaugeWindow::TGaugeWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("GaugeWindow"));
    setWindowTitle(QStringLiteral("Selecting..."));
    setFixedSize(328, 62);
    ProgressGauge = new QProgressBar(this);
    ProgressGauge->setObjectName(QStringLiteral("ProgressGauge"));
    ProgressGauge->setGeometry(8, 8, 305, 21);
    ProgressGauge->setTextVisible(true);
    ProgressGauge->setFormat(QStringLiteral("%p%"));
    ProgressGauge->setAlignment(Qt::AlignCenter);
    QPalette p = ProgressGauge->palette();
    p.setColor(QPalette::Highlight, QColor(0, 0, 128));
    ProgressGauge->setPalette(p);
}

void TGaugeWindow::SetProgressRange(int minimum, int maximum)
{
    ProgressGauge->setMinimum(minimum);
    ProgressGauge->setMaximum(maximum);
    ProgressStep = (maximum - minimum) / 100;
}

void TGaugeWindow::ReportProgress(int position)
{
    if (position != 0 && ProgressStep != 0 && position % ProgressStep != 0)
        return;
    ProgressGauge->setValue(position);
    // No window events are handled during a scan, so the bar paints itself.
    if (isVisible())
        ProgressGauge->repaint();
}

void TGaugeWindow::ShowProgress()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.left() + (area.width() - width()) / 2,
            area.top() + (area.height() - height()) / 2);
    }
    show();
    repaint();
}

void TGaugeWindow::HideProgress()
{
    hide();
}
