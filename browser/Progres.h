// The progress window of a criteria selection: a bar that moves about a
// hundred times over a scan of the whole material table.
#pragma once

#include "progressreporter.h"

#include <QPointer>
#include <QWidget>

class QProgressBar;

class TGaugeWindow
    : public QWidget
    , public ProgressReporter
{
    Q_OBJECT
public:
    explicit TGaugeWindow(QWidget *parent = nullptr);

    QProgressBar *ProgressGauge = nullptr;
    // Positions between two visible updates of the bar.
    int ProgressStep = 0;

    void SetProgressRange(int minimum, int maximum) override;
    void ReportProgress(int position) override;
    void ShowProgress() override;
    void HideProgress() override;

private:
    // The window that has the keyboard again once the run has ended.
    QPointer<QWidget> m_returnTo;
};
