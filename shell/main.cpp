// The program: the main window, its start-up, then the main loop.
#include "Zil0.h"

#include "framework/application.h"

int main(int argc, char **argv)
{
    zil::framework::Application app(argc, argv);
    TMainForm form;
    if (!form.StartUp())
        return 1;
    form.show();
    return app.exec();
}
