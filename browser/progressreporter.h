// What the selection set needs of the window that shows the progress of a
// criteria scan.
#pragma once

class ProgressReporter
{
public:
    virtual ~ProgressReporter() = default;
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void ReportProgress(int position) = 0;
    // Shown modeless before the scan, hidden after it.
    virtual void ShowProgress() = 0;
    virtual void HideProgress() = 0;
};
