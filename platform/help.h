// The help viewer: the program's own help window, a browser on the HTML help
// file named in the settings. It needs nothing of the desktop, so help works
// wherever the program runs.
#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QAction;
class QTextBrowser;

namespace zil::platform {

// A window of its own that shows an HTML file and the files it links to.
// Links to other files and to places in a page are followed inside the
// window; links to anything else (a web address, say) go to the desktop.
// Back returns along the links followed; Escape closes the window.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    // The window belongs to owner (deleted with it) and is placed on it.
    explicit HelpWindow(QWidget *owner);

    // Shows the file from its beginning, the window centred on its owner and
    // raised.
    void showFile(const QString &path);

    QTextBrowser *browser() const { return m_browser; }
    QAction *backAction() const { return m_back; }

private:
    void followLink(const QUrl &link);
    void placeOnOwner();

    QTextBrowser *m_browser = nullptr;
    QAction *m_back = nullptr;
};

// Opens helpFile at its beginning in owner's help window, created at the
// first call and reused after. An empty name does nothing and gives false; a
// relative name is taken from the current directory. A name whose file does
// not exist, or is no regular file, is reported in an error box naming its
// path, and gives false.
bool openHelp(QWidget *owner, const QString &helpFile);

} // namespace zil::platform
