// The second baseline of start-up: the program's own main window, built and
// shown with no database opened, saying when it is idle as zil does. Start-up
// beside it shows what opening and listing a database costs over the window.
#include "announceidle.h"

#include "framework/application.h"
#include "shell/Zil0.h"

int main(int argc, char **argv)
{
    zil::framework::Application app(argc, argv);
    TMainForm form;
    form.show();
    announceIdleWhenAsked();
    return app.exec();
}
