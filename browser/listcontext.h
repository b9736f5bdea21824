// What the controllers of the main window share, each held once: whether the
// change reactions run, the count of materials, the selection set with the
// criteria dialog that narrows it, and the places the settings name. The main
// window owns it and keeps its fields' names as references to it.
#pragma once

#include <QString>
#include <memory>

class TSearchClass;
class TSearchWindow;

namespace zil::browser {

struct ListContext
{
    ListContext();
    ~ListContext();
    Q_DISABLE_COPY_MOVE(ListContext)

    // Cleared while the program itself changes a search field or a tab, so
    // that no change reaction follows; see HeldEvents.
    bool EventsEnabled = false;
    // The record count of MATERIAL.DB when its list was last built, the
    // bound of every id loop of the selection set.
    qint32 MaterialCount = 0;
    // The selection set, made when the database opens.
    std::unique_ptr<TSearchClass> SearchClass;
    // The criteria dialog, made at start-up.
    TSearchWindow *SearchWindow = nullptr;

    QString ProgramDir;
    QString ProgramBaseName;
    QString DatabasePath;
    QString HelpFileName;
};

// Holds EventsEnabled at a value while it lives and gives the old value back
// when it goes, however the block ends.
class HeldEvents
{
public:
    explicit HeldEvents(ListContext &context, bool value = false)
        : m_context(context)
        , m_old(context.EventsEnabled)
    {
        context.EventsEnabled = value;
    }
    ~HeldEvents() { m_context.EventsEnabled = m_old; }
    Q_DISABLE_COPY_MOVE(HeldEvents)

private:
    ListContext &m_context;
    const bool m_old;
};

} // namespace zil::browser
