// The proportional layout: design geometry at the design size, growth shared
// by fixed factors with truncation in extended precision, independence from
// the path of resizing, and the fixed capacity.
#include "shell/Sizerwin.h"

#include <QEvent>
#include <QList>
#include <QtTest>

#include <limits>
#include <memory>

namespace {

// The factors as the main window passes them.
constexpr double kHalf = 0.5;
constexpr double kFifth = 0.2;

struct Design
{
    const char *name;
    QRect geometry;
    double left, top, width, height;
};

// A cut-down main window: a search field, a right-aligned detail pane and,
// inside the pane, the name field and the five text boxes of the material
// details page with the captions of the lower four.
const Design kControls[] = {
    {"SearchField", QRect(8, 8, 200, 21), 0, 0, kHalf, 0},
    {"PanelDetail", QRect(240, 40, 350, 410), 0, 0, kHalf, 0},
    {"DBName", QRect(70, 6, 270, 21), 0, 0, kHalf, 0},
    {"synonyms", QRect(8, 40, 332, 50), 0, 0, kHalf, kFifth},
    {"LabelOccurence", QRect(8, 94, 80, 13), 0, 0.2, 0, 0},
    {"DBOccurence", QRect(8, 110, 332, 50), 0, 0.2, kHalf, kFifth},
    {"LabelFlavor", QRect(8, 164, 80, 13), 0, 0.4, 0, 0},
    {"DBFlavour", QRect(8, 180, 332, 50), 0, 0.4, kHalf, kFifth},
    {"LabelApplication", QRect(8, 234, 80, 13), 0, 0.6, 0, 0},
    {"DBApplication", QRect(8, 250, 332, 50), 0, 0.6, kHalf, kFifth},
    {"LabelLiterature", QRect(8, 304, 80, 13), 0, 0.8, 0, 0},
    {"DBLiterature", QRect(8, 320, 332, 50), 0, 0.8, kHalf, kFifth},
};

// A window at 590 × 450 with the controls of kControls, registered in order.
struct TestWindow
{
    TestWindow()
    {
        window = std::make_unique<QWidget>();
        window->resize(590, 450);
        QWidget *panel = nullptr;
        for (const Design &d : kControls) {
            // Everything after the detail pane lies inside it.
            auto *control = new QWidget(panel ? panel : window.get());
            control->setObjectName(QString::fromLatin1(d.name));
            control->setGeometry(d.geometry);
            if (QByteArrayView(d.name) == "PanelDetail")
                panel = control;
        }
        sizer.Init(window.get());
        for (const Design &d : kControls)
            sizer.AddControl(control(d.name), d.left, d.top, d.width, d.height);
    }

    QWidget *control(const char *name) const
    {
        return window->findChild<QWidget *>(QString::fromLatin1(name));
    }

    void resizeTo(int width, int height)
    {
        window->resize(width, height);
        sizer.Apply();
    }

    std::unique_ptr<QWidget> window;
    TSizerData sizer;
};

// Records the geometry events a widget receives, in order.
class EventLog : public QObject
{
public:
    QList<QEvent::Type> events;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
            events.append(event->type());
        return false;
    }
};

} // namespace

class TestSizer : public QObject
{
    Q_OBJECT

private slots:
    void designSizeKeepsDesignGeometry();
    void widthGrowthIsHalvedAndTruncated();
    void heightGrowthIsSharedInFifths();
    void scaledTruncatesExtendedProduct_data();
    void scaledTruncatesExtendedProduct();
    void resultDependsOnlyOnCurrentSize();
    void sizeIsSetBeforePosition();
    void capacityIsOneHundred();
    void deletedControlsAreLeftOut();
};

void TestSizer::designSizeKeepsDesignGeometry()
{
    TestWindow w;
    w.resizeTo(590, 450);
    for (const Design &d : kControls)
        QCOMPARE(w.control(d.name)->geometry(), d.geometry);

    // Out and back again.
    w.resizeTo(1024, 768);
    w.resizeTo(590, 450);
    for (const Design &d : kControls)
        QCOMPARE(w.control(d.name)->geometry(), d.geometry);
}

void TestSizer::widthGrowthIsHalvedAndTruncated()
{
    TestWindow w;
    w.resizeTo(590 + 101, 450);
    for (const Design &d : kControls) {
        const QRect expected = d.width == kHalf
            ? QRect(d.geometry.topLeft(), QSize(d.geometry.width() + 50, d.geometry.height()))
            : d.geometry;
        QCOMPARE(w.control(d.name)->geometry(), expected);
    }

    // Narrower than designed, truncation goes toward zero: 50 less, not 51.
    w.resizeTo(590 - 101, 450);
    QCOMPARE(w.control("PanelDetail")->width(), 350 - 50);
    QCOMPARE(w.control("PanelDetail")->x(), 240);
}

void TestSizer::heightGrowthIsSharedInFifths()
{
    TestWindow w;
    w.resizeTo(590, 450 + 100);

    // Each text box is 20 taller.
    for (const char *box :
        {"synonyms", "DBOccurence", "DBFlavour", "DBApplication", "DBLiterature"})
        QCOMPARE(w.control(box)->height(), 70);

    // The rows below move down by the growth of the boxes above them; the
    // stored 0.6 lies below 0.6, so that row moves 59, not 60.
    QCOMPARE(w.control("synonyms")->y(), 40);
    QCOMPARE(w.control("LabelOccurence")->y(), 94 + 20);
    QCOMPARE(w.control("DBOccurence")->y(), 110 + 20);
    QCOMPARE(w.control("LabelFlavor")->y(), 164 + 40);
    QCOMPARE(w.control("DBFlavour")->y(), 180 + 40);
    QCOMPARE(w.control("LabelApplication")->y(), 234 + 59);
    QCOMPARE(w.control("DBApplication")->y(), 250 + 59);
    QCOMPARE(w.control("LabelLiterature")->y(), 304 + 80);
    QCOMPARE(w.control("DBLiterature")->y(), 320 + 80);
    // Captions keep their height, and nothing moves sideways.
    QCOMPARE(w.control("LabelLiterature")->height(), 13);
    QCOMPARE(w.control("DBLiterature")->geometry().left(), 8);
    QCOMPARE(w.control("DBLiterature")->width(), 332);
}

void TestSizer::scaledTruncatesExtendedProduct_data()
{
    QTest::addColumn<int>("growth");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("expected");

    QTest::newRow("101 x 0.5") << 101 << 0.5 << 50;
    QTest::newRow("-101 x 0.5 toward zero") << -101 << 0.5 << -50;
    // In double precision these products round up to whole numbers first.
    QTest::newRow("100 x 0.6") << 100 << 0.6 << 59;
    QTest::newRow("10 x 0.6") << 10 << 0.6 << 5;
    QTest::newRow("-100 x 0.6") << -100 << 0.6 << -59;
    QTest::newRow("4 x 0.8") << 4 << 0.8 << 3;
    // Products beyond the integer range stop at its ends.
    QTest::newRow("overflow") << 1000 << 1e300 << std::numeric_limits<int>::max();
}

void TestSizer::scaledTruncatesExtendedProduct()
{
    QFETCH(int, growth);
    QFETCH(double, factor);
    QFETCH(int, expected);
    QCOMPARE(TSizerData::Scaled(growth, factor), expected);
}

void TestSizer::resultDependsOnlyOnCurrentSize()
{
    const QList<QSize> path = {{700, 451}, {591, 900}, {1280, 1024}, {600, 460}, {613, 457},
        {1920, 1080}, {591, 451}, {777, 555}};
    TestWindow travelled;
    for (const QSize &size : path)
        travelled.resizeTo(size.width(), size.height());

    // A window put straight to the final size ends up the same.
    TestWindow direct;
    direct.resizeTo(777, 555);
    for (const Design &d : kControls)
        QCOMPARE(travelled.control(d.name)->geometry(), direct.control(d.name)->geometry());

    // And straight back to the design size gives the design geometry.
    travelled.resizeTo(590, 450);
    for (const Design &d : kControls)
        QCOMPARE(travelled.control(d.name)->geometry(), d.geometry);
}

void TestSizer::sizeIsSetBeforePosition()
{
    TestWindow w;
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    EventLog log;
    // The literature memo both grows and moves.
    QWidget *moving = w.control("DBLiterature");
    moving->installEventFilter(&log);

    w.resizeTo(700, 560);
    QCOMPARE(log.events, (QList<QEvent::Type> {QEvent::Resize, QEvent::Move}));
    QCOMPARE(moving->geometry(), QRect(8, 320 + 88, 332 + 55, 50 + 22));
}

void TestSizer::capacityIsOneHundred()
{
    QWidget window;
    window.resize(590, 450);
    TSizerData sizer;
    sizer.Init(&window);
    QList<QWidget *> controls;
    for (int i = 0; i < TSizerData::Capacity + 1; ++i) {
        auto *control = new QWidget(&window);
        control->setGeometry(i, 10, 20, 20);
        controls.append(control);
    }
    for (int i = 0; i < TSizerData::Capacity; ++i)
        QVERIFY(sizer.AddControl(controls[i], 0, 0, 0.5, 0));
    QCOMPARE(sizer.Count, 100);

    // The 101st is refused and leaves every entry as it was.
    QVERIFY(!sizer.AddControl(controls[100], 1, 1, 1, 1));
    QCOMPARE(sizer.Count, 100);
    QCOMPARE(sizer.Control[100].data(), controls[99]);
    QCOMPARE(sizer.WidthFactor[100], 0.5);
    QCOMPARE(sizer.OrigLeft[100], 99);

    // The hundred follow the window; the refused one stays put.
    window.resize(690, 550);
    sizer.Apply();
    QCOMPARE(controls[0]->geometry(), QRect(0, 10, 70, 20));
    QCOMPARE(controls[99]->geometry(), QRect(99, 10, 70, 20));
    QCOMPARE(controls[100]->geometry(), QRect(100, 10, 20, 20));

    // A null control is refused too, and Init makes room again.
    sizer.Init(&window);
    QVERIFY(!sizer.AddControl(nullptr, 0, 0, 0.5, 0));
    QCOMPARE(sizer.Count, 0);
    QVERIFY(sizer.AddControl(controls[100], 0, 0, 0.5, 0));
    QCOMPARE(sizer.Count, 1);
}

void TestSizer::deletedControlsAreLeftOut()
{
    TestWindow w;
    delete w.control("DBFlavour");
    w.resizeTo(690, 550);
    QCOMPARE(w.control("DBLiterature")->geometry(), QRect(8, 320 + 80, 332 + 50, 50 + 20));

    // Without its window the layout does nothing.
    QWidget *search = w.control("SearchField");
    search->setParent(nullptr);
    std::unique_ptr<QWidget> keep(search);
    w.window.reset();
    w.sizer.Apply();
    QCOMPARE(search->size(), QSize(200 + 50, 21));
}

QTEST_MAIN(TestSizer)
#include "tst_sizer.moc"
