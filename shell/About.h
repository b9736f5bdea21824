// The About box: the program's picture, its title and three notice lines,
// closed by its OK button.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace zil::framework {
class BevelPanel;
}

class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    zil::framework::BevelPanel *Panel2 = nullptr;
    QLabel *ProgramIcon = nullptr;
    zil::framework::BevelPanel *Panel1 = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *Comments = nullptr;
    QPushButton *OKButton = nullptr;

    // Gives the first two notice lines their texts.
    void FormCreate();

protected:
    void showEvent(QShowEvent *event) override;
    // The box closes through its OK button only: Escape does nothing.
    void keyPressEvent(QKeyEvent *event) override;
};
