// The style that remembers its pictures draws scroll bars and field frames
// exactly as the style beneath it does, in every state, whether a picture is
// drawn anew or copied from memory.
#include "common/imagediff.h"
#include "framework/paintcache.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTest>

namespace {

QString words(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("word%1 ").arg(i);
    return text;
}

} // namespace

class TestPaintCache : public QObject
{
    Q_OBJECT

private slots:
    void drawsAsTheStyleBeneathInEveryState()
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QWidget window;
        window.resize(400, 220);
        auto *memo = new QPlainTextEdit(&window);
        memo->setReadOnly(true);
        memo->setGeometry(10, 10, 249, 120);
        auto *field = new QLineEdit(QStringLiteral("77-53-2"), &window);
        field->setReadOnly(true);
        field->setGeometry(10, 140, 89, 22);
        auto *search = new QLineEdit(&window);
        search->setGeometry(10, 170, 152, 22);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        // Each state changes something the pictures depend on: the range and
        // place of the handle, the end positions, the focus, the enabled
        // state and the colours. Some come back, so that pictures are reused.
        QPalette reddish = window.palette();
        reddish.setColor(QPalette::Button, QColor(240, 200, 200));
        reddish.setColor(QPalette::Base, QColor(255, 250, 240));
        const std::vector<std::function<void()>> states {
            [&] { memo->setPlainText(words(300)); },
            [&] { memo->verticalScrollBar()->setValue(2); },
            [&] { memo->verticalScrollBar()->setValue(30); },
            [&] { memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum()); },
            [&] { memo->setPlainText(words(500)); },
            [&] { memo->setPlainText(words(300)); },
            [&] { search->setFocus(); },
            [&] { field->setFocus(); },
            [&] { memo->setEnabled(false); },
            [&] { memo->setEnabled(true); },
            [&] { window.setPalette(reddish); },
            [&] { window.setPalette(QPalette()); },
            [&] { memo->setPlainText(words(500)); },
        };
        auto pictures = [&] {
            QList<QImage> taken;
            for (const auto &state : states) {
                state();
                QApplication::processEvents();
                for (QWidget *w : {static_cast<QWidget *>(memo), static_cast<QWidget *>(field),
                         static_cast<QWidget *>(search)})
                    taken << w->grab().toImage();
            }
            return taken;
        };
        auto reset = [&] {
            memo->clear();
            window.setFocus();
            memo->setEnabled(true);
            window.setPalette(QPalette());
        };

        reset();
        const QList<QImage> beneath = pictures();
        zil::framework::installPaintCache();
        auto *style = qobject_cast<zil::framework::PaintCacheStyle *>(QApplication::style());
        QVERIFY(style);
        for (int round = 0; round < 2; ++round) {
            reset();
            const QList<QImage> cached = pictures();
            QCOMPARE(cached.size(), beneath.size());
            for (int i = 0; i < cached.size(); ++i) {
                // Blending a remembered picture may round a smoothed edge
                // by a step; a wrong picture differs by far more.
                QVERIFY2(zil::test::largestDifference(cached[i], beneath[i]) >= 0
                        && zil::test::largestDifference(cached[i], beneath[i]) <= 2,
                    qPrintable(QStringLiteral("round %1, state %2, widget %3 differs by %4")
                                   .arg(round)
                                   .arg(i / 3)
                                   .arg(i % 3)
                                   .arg(zil::test::largestDifference(cached[i], beneath[i]))));
            }
        }
        // Both ways of painting were taken.
        QVERIFY(style->drawn() > 0);
        QVERIFY(style->copied() > style->drawn());
    }
};

QTEST_MAIN(TestPaintCache)
#include "tst_paintcache.moc"
