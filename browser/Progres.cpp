#include "Progres.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>

TGaugeWindow::TGaugeWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint)
{
    setObjectName(QStringLiteral("GaugeWindow"));
    // The window only shows how far a run has come: it takes no keys, so the
    // window system leaves the keyboard with the window the run started from.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
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
    m_returnTo = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
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
    // A window system that activated the window on showing it anyway does
    // not always give the keyboard back when it goes: the window the run
    // started from is made active again, with the focus where it was.
    if (m_returnTo && m_returnTo->isVisible())
        m_returnTo->activateWindow();
    m_returnTo = nullptr;
}
