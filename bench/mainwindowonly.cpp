// The second baseline of start-up: the program's own main window, built and
// shown with no database opened, saying when it is idle as zil does. Start-up
// beside it shows what opening and listing a database costs over the window.
#include "framework/application.h"
#include "shell/Zil0.h"

#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    zil::framework::Application app(argc, argv);
    TMainForm form;
    form.show();
    if (qEnvironmentVariableIsSet("ZIL_ANNOUNCE_IDLE")) {
        QTimer::singleShot(0, [] {
            std::fputs("idle\n", stdout);
            std::fflush(stdout);
        });
    }
    return app.exec();
}
