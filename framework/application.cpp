#include "application.h"

#include "platform/messagebox.h"
#include "paintcache.h"

#include <cstdio>
#include <exception>

namespace zil::framework {

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    installPaintCache();
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zil: %s\n", e.what());
        platform::showError(activeWindow(), QString::fromUtf8(e.what()));
    } catch (...) {
        std::fprintf(stderr, "zil: unknown error\n");
        platform::showError(activeWindow(), QStringLiteral("Unknown error"));
    }
    return false;
}

} // namespace zil::framework
