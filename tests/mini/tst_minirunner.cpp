#include "HookLists.h"
#include "MiniPages.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "WebView.h"
#include "YBrowserRunner.h"
#include "YConfiger.h"

#include <QApplication>
#include <QComboBox>
#include <QSharedMemory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// The mini views inside the runner window, with the stand-in engine bound by
// the start-up hook.
class tst_MiniRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void paintsLandInTheSegment_data();
    void paintsLandInTheSegment();
    void engineSelectorRecreatesTheTab();

private:
    BrowserParams params() const;
    QString page(const QString& name) const { return MiniPages::localUrl(dir.path(), name); }

    QTemporaryDir dir;
};

namespace {

const FrameHeader* headerOf(const QSharedMemory& memory, int buffer)
{
    return reinterpret_cast<const FrameHeader*>(static_cast<const char*>(memory.constData())
                                                + buffer * FrameMemory::BufferBytes);
}

quint32 pixelOf(const QSharedMemory& memory, int buffer, int x, int y)
{
    const FrameHeader* header = headerOf(memory, buffer);
    const char* pixels = reinterpret_cast<const char*>(header) + sizeof(FrameHeader);
    return *reinterpret_cast<const quint32*>(pixels + (qint64(y) * header->width + x) * 4);
}

void takeBoth(QSharedMemory& memory)
{
    for (int buffer = 0; buffer < 2; ++buffer)
        static_cast<char*>(memory.data())[buffer * FrameMemory::BufferBytes] = 1;
}

} // namespace

void tst_MiniRunner::initTestCase()
{
    QVERIFY(WebView::isRegistered(WebView::MiniEngine));
    QVERIFY(WebView::isRegistered(WebView::VipMiniEngine));
    QVERIFY(MiniPages::writeLocalPages(dir.path()));
}

BrowserParams tst_MiniRunner::params() const
{
    static int serial = 0;
    BrowserParams p;
    p.pageSize = QSize(200, 100);
    p.sharedMemoryKey = QStringLiteral("tst_minirunner_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
    p.hidden = true;
    p.urls.clear();
    p.currentUrl.clear();
    return p;
}

void tst_MiniRunner::paintsLandInTheSegment_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<quint8>("engineFlag");
    QTest::newRow("mini") << int(WebView::MiniEngine) << "Mini" << quint8(0);
    QTest::newRow("vip mini, chosen in the selector") << int(WebView::VipMiniEngine) << "VIP_Mini" << quint8(1);
}

void tst_MiniRunner::paintsLandInTheSegment()
{
    QFETCH(int, mode);
    QFETCH(QString, suffix);
    QFETCH(quint8, engineFlag);

    const BrowserParams p = params();
    YBrowserRunner runner(p);
    auto* tabs = runner.findChild<TabWidget*>();
    if (mode == WebView::VipMiniEngine)
        runner.findChild<QComboBox*>("defaultMode")->setCurrentIndex(1);
    else
        tabs->newTab(mode);
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->currentView()->engineType(), mode);
    QSharedMemory host(p.sharedMemoryKey);
    QVERIFY(host.attach());
    QTest::qWait(100);
    takeBoth(host);

    runner.setUrl(QUrl(page("start.html")));
    QTRY_COMPARE(tabs->tabText(0), "Start" + suffix);
    QTest::qWait(50);
    const int buffer = headerOf(host, 0)->consumed == 0 ? 0 : 1;
    const FrameHeader* header = headerOf(host, buffer);
    QCOMPARE(header->consumed, quint8(0));
    QCOMPARE(headerOf(host, 1 - buffer)->consumed, quint8(1));
    QCOMPARE(header->wholeFrame, quint8(0));
    QCOMPARE(header->engineFlag, engineFlag);
    QCOMPARE(QSize(header->width, header->height), QSize(200, 100));
    QCOMPARE(QRect(header->dirtyX, header->dirtyY, header->dirtyWidth, header->dirtyHeight), QRect(0, 0, 50, 30));
    QCOMPARE(pixelOf(host, buffer, 0, 0), 0xffff0000u);
    QCOMPARE(pixelOf(host, buffer, 49, 29), 0xffff0000u);
    QCOMPARE(runner.title(), QString("Start"));
    QCOMPARE(runner.url(), QUrl(page("start.html")));

    // A whole frame from the host's request: the engine's page at page size.
    takeBoth(host);
    runner.wholeImage();
    const int whole = headerOf(host, 0)->consumed == 0 ? 0 : 1;
    QCOMPARE(headerOf(host, whole)->wholeFrame, quint8(1));
    QCOMPARE(pixelOf(host, whole, 0, 0), 0xffff0000u);
    QCOMPARE(pixelOf(host, whole, 199, 99), 0xffffffffu);
}

void tst_MiniRunner::engineSelectorRecreatesTheTab()
{
    YBrowserRunner runner(params());
    auto* tabs = runner.findChild<TabWidget*>();
    auto* selector = runner.findChild<QComboBox*>("defaultMode");
    tabs->newTab(WebView::MiniEngine)->setUrl(page("a.html"));
    QTRY_COMPARE(tabs->tabText(0), QString("A pageMini"));

    QSignalSpy current(tabs, &TabWidget::currentViewChanged);
    selector->setCurrentIndex(1);
    QCOMPARE(tabs->engineMode(), int(WebView::VipMiniEngine));
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(current.size(), 1);
    QCOMPARE(tabs->currentView()->engineType(), int(WebView::VipMiniEngine));
    QTRY_COMPARE(tabs->tabText(0), QString("A pageVIP_Mini"));
    QCOMPARE(tabs->currentUrl(), page("a.html"));
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    YConfiger::instance()->setValue("MiniEngine/Library", QStringLiteral(STANDIN_ENGINE));
    YConfiger::instance()->setValue("MiniEngine/VipLibrary", QStringLiteral(STANDIN_ENGINE));
    runHooks(startupHooks());
    YUILIB::initialise();
    tst_MiniRunner test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_minirunner.moc"
