// The program: the main window, its start-up, then the main loop.
#include "Zil0.h"

#include "framework/application.h"
#include "platform/environment.h"

#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    zil::framework::Application app(argc, argv);
    TMainForm form;
    if (!form.StartUp())
        return 1;
    form.show();
    // A tool that measures start-up from outside asks to be told when the
    // window is up and the main loop has nothing left to do.
    if (zil::platform::programEnvironment().announceIdle) {
        QTimer::singleShot(0, [] {
            std::fputs("idle\n", stdout);
            std::fflush(stdout);
        });
    }
    return app.exec();
}
