// The splash window shown while the program starts, and what the shell's
// windows share with it: the program's picture, icon and version.
#pragma once

#include <QDialog>
#include <QPixmap>

class QLabel;

namespace zil::framework {
class BevelPanel;
}

namespace zil::shell {

// The program's logo, 288 × 72 pixels on white: a flask with a leaf and the
// word mark.
QPixmap programPicture();

// The program's icon, 32 × 32 pixels.
QPixmap programIcon();

// The program's version as the application declares it, else as built.
QString programVersion();

} // namespace zil::shell

// The splash window: borderless, 356 × 215, centred on the screen, with the
// logo above a title and notice lines. It has no behaviour of its own; the
// start-up shows, paints and hides it.
class TLogoDialog : public QDialog
{
    Q_OBJECT
public:
    explicit TLogoDialog(QWidget *parent = nullptr);

    zil::framework::BevelPanel *UpperPanel = nullptr;
    QLabel *ProgramIcon = nullptr;
    zil::framework::BevelPanel *LowerPanel = nullptr;
    QLabel *TitleLabel = nullptr;
    QLabel *VersionLabel = nullptr;
    QLabel *NoticeLabel = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
};
