// What the program keeps for each user between runs: the main window's size
// and place, the folder a file was last written to, which detail sub-panes
// are shown, and whether prices and notes are. They live in the user's configuration directory
// (ZIL/zil.conf there); the settings file beside the program, which names
// the database, is never written.
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QString>
#include <optional>

namespace zil::framework {

class UserSettings
{
public:
    // The place of a main window: the top-left corner of its frame, the size
    // of its client area, and whether it was maximised.
    struct WindowPlace
    {
        QPoint position;
        QSize size;
        bool maximized = false;
    };

    UserSettings();
    Q_DISABLE_COPY_MOVE(UserSettings)

    // The folder the last PDF file or export was written to; empty when none
    // was written yet or the folder is gone.
    QString outputFolder() const;
    void setOutputFolder(const QString &folder);

    // The main window's place when it was last closed, if it was.
    std::optional<WindowPlace> windowPlace() const;
    void setWindowPlace(const WindowPlace &place);

    // Whether the sub-pane of the given name was shown when the program was
    // last closed; nothing when not known.
    std::optional<bool> paneShown(const QString &pane) const;
    void setPaneShown(const QString &pane, bool shown);

    // Whether prices and notes were shown when the program was last closed;
    // nothing when not known.
    std::optional<bool> pricesNotesShown() const;
    void setPricesNotesShown(bool shown);

    // The file the settings are kept in.
    QString fileName() const { return m_settings.fileName(); }

private:
    // A kept "true" or "false"; nothing for anything else.
    std::optional<bool> flag(const QString &key) const;

    QSettings m_settings;
};

// Whether a window frame at frame can be reached on one of the screens: a
// part of its top edge, where it is taken to be moved, lies on one of them.
bool reachable(const QRect &frame, const QList<QRect> &screens);

} // namespace zil::framework
