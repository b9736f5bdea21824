// How the main window follows its database when another program changes the
// tables under it: it waits, for a bounded time and with a notice on screen,
// for the update to end, then has the new database taken up whole; while the
// tables are still changing, or are not one sound database, it goes on with
// what it holds, says so in its title, tells the user once why a database
// cannot be taken up, and looks again every second.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

class QLabel;
class QWidget;

namespace zil::shell {

class UpdateFollower : public QObject
{
    Q_OBJECT
public:
    // window: the main window, whose title tells of a change under way;
    // takeUp: what makes the new database current once it is whole, true
    // when it did so at once.
    UpdateFollower(QWidget *window, QString directory, std::function<bool()> takeUp);
    ~UpdateFollower() override;

    // The longest one follow waits, holding the window, for an update to end;
    // while one has been found still under way, later follows do not wait.
    static constexpr int kWaitMs = 3000;

    // Asks for a follow once the current reaction has ended; asking again
    // before then asks for nothing more. Called by the store when it finds a
    // table changed.
    void request();
    // Follows at once when a table was changed: before each input of the
    // user, so that it acts on the database that is there. True when the
    // window changed under the input meanwhile: the lists were made anew, or
    // the notice or a message was shown.
    bool check();
    // Looks at the tables now, waiting up to waitMs for an update to end;
    // true as check says.
    bool follow(int waitMs);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The notice shown while a follow waits; null until a first wait.
    QWidget *notice() const { return m_notice; }

private:
    void showNotice();
    void setChanging(bool changing);

    QWidget *m_window;
    QString m_directory;
    std::function<bool()> m_takeUp;
    bool m_requested = false;
    bool m_following = false;
    QTimer m_retry;
    QWidget *m_notice = nullptr;
    QString m_title;
    QString m_told; // the reason last told, so that it is told once
};

} // namespace zil::shell
