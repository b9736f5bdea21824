// The program's application object. An error raised while the main loop
// handles an event (a store error inside a reaction, say) ends that reaction
// only: it is shown in an error box and the program goes on, the way the
// toolkit's default error report does.
#pragma once

#include <QApplication>

namespace zil::framework {

class Application : public QApplication
{
    Q_OBJECT
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace zil::framework
