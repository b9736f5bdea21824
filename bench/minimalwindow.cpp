// The baseline of start-up: a Qt Widgets program that shows one empty window
// of the main window's size and waits, saying when it is idle as zil does.
#include "announceidle.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(590, 450);
    window.show();
    announceIdleWhenAsked();
    return app.exec();
}
