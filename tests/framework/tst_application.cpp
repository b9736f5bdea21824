// The application object: an error raised inside a reaction is shown in an
// error box and the program goes on handling events.
#include "framework/application.h"
#include "platform/messagebox.h"
#include "store/storeerror.h"

#include <QPushButton>
#include <QTest>

class TestApplication : public QObject
{
    Q_OBJECT

private slots:
    void errorInAReactionIsReportedAndTheProgramGoesOn()
    {
        QStringList shown;
        const zil::platform::ScopedMessageBoxHook taking(
            [&](zil::platform::MessageKind kind, const QString &title, const QString &text) {
                QCOMPARE(kind, zil::platform::MessageKind::Error);
                shown << title + ": " + text;
            });
        QPushButton failing(QStringLiteral("fails"));
        QPushButton working(QStringLiteral("works"));
        int clicks = 0;
        connect(&failing, &QPushButton::clicked, this,
            [] { throw zil::store::StoreError(QStringLiteral("Cannot read MATERIAL.DB")); });
        connect(&working, &QPushButton::clicked, this, [&] { ++clicks; });
        failing.show();
        working.show();
        QVERIFY(QTest::qWaitForWindowExposed(&failing));

        QTest::mouseClick(&failing, Qt::LeftButton);
        QCOMPARE(shown, QStringList {QStringLiteral("Error: Cannot read MATERIAL.DB")});
        QTest::mouseClick(&working, Qt::LeftButton);
        QCOMPARE(clicks, 1);
        // The failing control itself still answers.
        QTest::mouseClick(&failing, Qt::LeftButton);
        QCOMPARE(shown.size(), 2);
    }
};

int main(int argc, char **argv)
{
    zil::framework::Application app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
