// The help viewer: the help file named in the settings is handed to the
// desktop's viewer for its kind of file.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace zil::platform {

// Opens helpFile at its beginning. An empty name does nothing and gives
// false; a relative name is taken from the current directory. True when the
// desktop accepted the request.
bool openHelp(const QString &helpFile);

// While a hook is set it receives the URL instead of the desktop and gives
// the answer. An empty function removes the hook.
void setHelpHook(std::function<bool(const QUrl &url)> hook);

} // namespace zil::platform
