#include "help.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace zil::platform {

namespace {

std::function<bool(const QUrl &)> &hook()
{
    static std::function<bool(const QUrl &)> h;
    return h;
}

} // namespace

bool openHelp(const QString &helpFile)
{
    if (helpFile.isEmpty())
        return false;
    // A file URL must carry an absolute path to be understood by a viewer.
    const QUrl url = QUrl::fromLocalFile(QFileInfo(helpFile).absoluteFilePath());
    if (hook())
        return hook()(url);
    return QDesktopServices::openUrl(url);
}

void setHelpHook(std::function<bool(const QUrl &url)> h)
{
    hook() = std::move(h);
}

} // namespace zil::platform
