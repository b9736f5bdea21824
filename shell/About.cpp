#include "shell/About.h"

#include "framework/bevelpanel.h"
#include "framework/windowplace.h"
#include "platform/font.h"
#include "shell/LogoDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

using zil::framework::Bevel;
using zil::framework::BevelPanel;

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    setFixedSize(355, 252);
    setFont(zil::platform::arialPoints(8));

    Panel2 = new BevelPanel(Bevel::Lowered, Bevel::Raised, this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(8, 8, 340, 76);
    Panel2->setFillColor(Qt::white);

    ProgramIcon = new QLabel(Panel2);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    const QPixmap picture = zil::shell::programPicture();
    ProgramIcon->setPixmap(picture);
    ProgramIcon->setGeometry(QRect(QPoint(25, 2), picture.size()));

    Panel1 = new BevelPanel(Bevel::Lowered, Bevel::Raised, this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 94, 340, 112);

    auto line = [this](const char *name, int x, int y, const QString &text) {
        auto *label = new QLabel(text, Panel1);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(p);
        label->move(x, y);
        label->adjustSize();
        return label;
    };
    ProductName
        = line("ProductName", 12, 8, QStringLiteral("ZIL \u2014 flavour and fragrance materials"));
    QFont bold = ProductName->font();
    bold.setBold(true);
    ProductName->setFont(bold);
    ProductName->adjustSize();
    Version = line("Version", 11, 53, QString());
    Copyright = line("Copyright", 11, 71, QString());
    Comments = line("Comments", 11, 88,
        QStringLiteral("Reference data only: check every value against its source."));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(139, 216, 77, 27);
    OKButton->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    QFont buttonFont = OKButton->font();
    buttonFont.setBold(true);
    OKButton->setFont(buttonFont);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TAboutBox::FormCreate()
{
    Version->setText(QStringLiteral("Version %1").arg(zil::shell::programVersion()));
    Version->adjustSize();
    Copyright->setText(QStringLiteral("A browser for flavour and fragrance raw materials."));
    Copyright->adjustSize();
}

void TAboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    zil::framework::centreOnScreen(this);
    OKButton->setFocus(Qt::OtherFocusReason);
}

void TAboutBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
