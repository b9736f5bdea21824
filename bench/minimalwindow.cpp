// The baseline of start-up: a Qt Widgets program that shows one empty window
// of the main window's size and waits, saying when it is idle as zil does.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(590, 450);
    window.show();
    if (qEnvironmentVariableIsSet("ZIL_ANNOUNCE_IDLE")) {
        QTimer::singleShot(0, [] {
            std::fputs("idle\n", stdout);
            std::fflush(stdout);
        });
    }
    return app.exec();
}
