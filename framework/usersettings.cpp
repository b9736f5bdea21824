#include "usersettings.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace zil::framework {

namespace {

const QString kFolder = QStringLiteral("Files/OutputFolder");
const QString kPosition = QStringLiteral("MainWindow/Position");
const QString kSize = QStringLiteral("MainWindow/Size");
const QString kMaximized = QStringLiteral("MainWindow/Maximized");
const QString kPricesNotes = QStringLiteral("View/PricesNotes");

QString paneKey(const QString &pane)
{
    return QStringLiteral("Panes/") + pane;
}

// How much of a window's top edge must lie on a screen for the user to take
// hold of it there.
constexpr int kGripWidth = 48;
constexpr int kGripHeight = 16;

} // namespace

// The platform's place for a user's settings: on Linux the text file
// ZIL/zil.conf in the configuration directory the desktop names
// ($XDG_CONFIG_HOME, else ~/.config).
UserSettings::UserSettings()
    : m_settings(QStringLiteral("ZIL"), QStringLiteral("zil"))
{ }

QString UserSettings::outputFolder() const
{
    const QString folder = m_settings.value(kFolder).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return QString();
    return folder;
}

void UserSettings::setOutputFolder(const QString &folder)
{
    m_settings.setValue(kFolder, QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    m_settings.sync();
}

std::optional<UserSettings::WindowPlace> UserSettings::windowPlace() const
{
    const QVariant position = m_settings.value(kPosition);
    const QVariant size = m_settings.value(kSize);
    // Values that are not a point and a size, as a hand-edited file may
    // hold, count as nothing remembered.
    if (position.typeId() != QMetaType::QPoint || size.typeId() != QMetaType::QSize)
        return std::nullopt;
    WindowPlace place {position.toPoint(), size.toSize(), m_settings.value(kMaximized).toBool()};
    if (!place.size.isValid() || place.size.isEmpty())
        return std::nullopt;
    return place;
}

void UserSettings::setWindowPlace(const WindowPlace &place)
{
    m_settings.setValue(kPosition, place.position);
    m_settings.setValue(kSize, place.size);
    m_settings.setValue(kMaximized, place.maximized);
    m_settings.sync();
}

std::optional<bool> UserSettings::paneShown(const QString &pane) const
{
    return flag(paneKey(pane));
}

void UserSettings::setPaneShown(const QString &pane, bool shown)
{
    m_settings.setValue(paneKey(pane), shown);
    m_settings.sync();
}

std::optional<bool> UserSettings::pricesNotesShown() const
{
    return flag(kPricesNotes);
}

void UserSettings::setPricesNotesShown(bool shown)
{
    m_settings.setValue(kPricesNotes, shown);
    m_settings.sync();
}

std::optional<bool> UserSettings::flag(const QString &key) const
{
    const QVariant shown = m_settings.value(key);
    if (!shown.isValid())
        return std::nullopt;
    const QString text = shown.toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

bool reachable(const QRect &frame, const QList<QRect> &screens)
{
    if (!frame.isValid())
        return false;
    const QRect grip(
        frame.left(), frame.top(), frame.width(), std::min(frame.height(), kGripHeight));
    for (const QRect &screen : screens) {
        const QRect on = grip & screen;
        if (on.width() >= std::min(kGripWidth, grip.width()) && on.height() == grip.height())
            return true;
    }
    return false;
}

} // namespace zil::framework
