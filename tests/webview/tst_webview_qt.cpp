#include "HookLists.h"
#include "LocalHttpServer.h"
#include "PromptDriver.h"
#include "StubView.h"
#include "TabWidget.h"
#include "YEngineView.h"
#include "YWebView_Qt.h"
#include "UiLibSetup.h"

#include <QApplication>
#include <QBuffer>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QWebEngineSettings>
#include <QtTest>

#include <vector>

#include <signal.h>

Q_DECLARE_METATYPE(WebView*)

namespace {

const QRgb blue = qRgb(0x33, 0x66, 0xcc);
const QRgb red = qRgb(0xff, 0x00, 0x00);
const QRgb green = qRgb(0x00, 0xff, 0x00);

// Blue page with a 10x10 green square in the top-left and a red one in the
// bottom-right corner of the viewport: both corners prove the frame size.
const QByteArray cornerPage =
    "<html><body style='margin:0;background:#3366cc'>"
    "<div style='position:fixed;left:0;top:0;width:10px;height:10px;background:#00ff00'></div>"
    "<div style='position:fixed;right:0;bottom:0;width:10px;height:10px;background:#ff0000'></div>"
    "</body></html>";

const QByteArray linkPage =
    "<html><head><title>Links</title></head><body style='margin:0'>"
    "<a id=blank target=_blank href='/target' style='display:block;width:300px;height:100px'>blank</a>"
    "<a id=plain href='/target' style='display:block;width:300px;height:100px'>plain</a>"
    "<div style='height:300px'>text</div></body></html>";

QByteArray pngOf(const QColor& colour)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QRgb pixelAt(const std::vector<uchar>& buffer, const QSize& page, int x, int y)
{
    return reinterpret_cast<const QRgb*>(buffer.data())[qint64(y) * page.width() + x];
}

QWidget* surfaceOf(WebView* view)
{
    return static_cast<YWebView_Qt*>(view)->engine()->focusProxy();
}

QStringList entriesOf(const QMenu* menu)
{
    QStringList entries;
    for (const QAction* action : menu->actions())
        entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return entries;
}

} // namespace

class WebViewQtTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void registeredForQtMode();
    void renderTo_data();
    void renderTo();
    void reportsOfCurrentView();
    void reportsOfBackgroundView();
    void frameRequestsOnlyWhileCurrent();
    void actionState();
    void newWindow_data();
    void newWindow();
    void contextMenu_data();
    void contextMenu();
    void renderProcessPrompt_data();
    void renderProcessPrompt();
    void killedRenderProcess_data();
    void killedRenderProcess();

private:
    bool load(WebView* view, const QString& path);

    LocalHttpServer server;
    TabWidget* tabs = nullptr;
};

void WebViewQtTest::initTestCase()
{
    qRegisterMetaType<WebView*>();
    WebView::registerFactory(WebView::MiniEngine, [](TabWidget* tab) -> WebView* {
        return new StubView(tab, WebView::MiniEngine);
    });
    QVERIFY(server.start());
    server.servePage("/corners", cornerPage);
    server.servePage("/links", linkPage);
    server.servePage("/target", "<html><head><title>Target</title></head><body>target</body></html>");
    server.servePage("/titled", "<html><head><title>Hello Title</title><link rel=icon href='/red.png'></head>"
                                "<body>hello</body></html>");
    server.servePage("/second", "<html><head><title>Second Page</title></head><body>second</body></html>");
    server.serveContent("/red.png", "image/png", pngOf(Qt::red));
}

void WebViewQtTest::init()
{
    // Parked off screen and smaller than the page, as the runner keeps it.
    tabs = new TabWidget;
    tabs->setPageSize(QSize(800, 600));
    tabs->resize(400, 300);
    tabs->move(-99999, -99999);
    tabs->show();
}

void WebViewQtTest::cleanup()
{
    delete tabs;
    tabs = nullptr;
}

bool WebViewQtTest::load(WebView* view, const QString& path)
{
    QSignalSpy finished(tabs, &TabWidget::loadFinished);
    view->setUrl(server.url(path).toString());
    return finished.wait(20000) && finished.last().at(0).toBool();
}

void WebViewQtTest::registeredForQtMode()
{
    QVERIFY(WebView::isRegistered(WebView::QtEngine));
    WebView* view = tabs->createTab();
    QVERIFY(qobject_cast<YWebView_Qt*>(view));
    QCOMPARE(view->engineType(), int(WebView::QtEngine));
    QCOMPARE(view->tabWidget(), tabs);
    QVERIFY(QWebEngineSettings::globalSettings()->testAttribute(QWebEngineSettings::PluginsEnabled));
    QVERIFY(QWebEngineSettings::defaultSettings()->testAttribute(QWebEngineSettings::PluginsEnabled));
    QVERIFY(QWebEngineSettings::defaultSettings()->testAttribute(QWebEngineSettings::JavascriptEnabled));
}

void WebViewQtTest::renderTo_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<QSize>("resized");
    QTest::newRow("800x600, then larger") << QSize(800, 600) << QSize(1024, 768);
    QTest::newRow("1920x1080, then smaller") << QSize(1920, 1080) << QSize(640, 480);
}

void WebViewQtTest::renderTo()
{
    QFETCH(QSize, page);
    QFETCH(QSize, resized);
    tabs->setPageSize(page);
    WebView* view = tabs->createTab();
    QVERIFY(load(view, "/corners"));

    for (const QSize& size : { page, resized }) {
        tabs->setPageSize(size);
        const int w = size.width();
        const int h = size.height();
        const qint64 bytes = qint64(w) * h * 4;
        std::vector<uchar> buffer(bytes + 256, 0xEE);
        QTRY_VERIFY_WITH_TIMEOUT((view->renderTo(buffer.data()), pixelAt(buffer, size, w - 1, h - 1) == red
                                  && pixelAt(buffer, size, w - 11, h - 11) == blue), 10000);
        QCOMPARE(pixelAt(buffer, size, 0, 0), green);
        QCOMPARE(pixelAt(buffer, size, 9, 9), green);
        QCOMPARE(pixelAt(buffer, size, 10, 10), blue);
        QCOMPARE(pixelAt(buffer, size, w / 2, h / 2), blue);
        QCOMPARE(pixelAt(buffer, size, w - 10, h - 10), red);
        QCOMPARE(pixelAt(buffer, size, w - 1, 0), blue);
        QCOMPARE(pixelAt(buffer, size, 0, h - 1), blue);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer.data() + bytes), 256), QByteArray(256, '\xEE'));
    }
    QCOMPARE(tabs->size(), QSize(400, 300));
}

void WebViewQtTest::reportsOfCurrentView()
{
    WebView* view = tabs->createTab();
    QSignalSpy titles(tabs, &TabWidget::titleChanged);
    QSignalSpy urls(tabs, &TabWidget::urlChanged);
    QSignalSpy icons(tabs, &TabWidget::favIconChanged);
    QSignalSpy progress(tabs, &TabWidget::loadProgress);

    QVERIFY(load(view, "/titled"));
    // Before the page's own title the engine reports the address as title.
    QTRY_COMPARE(titles.last().at(0).toString(), QString("Hello Title"));
    QCOMPARE(urls.count(), 1);
    QCOMPARE(urls.at(0).at(0).toUrl(), server.url("/titled"));
    QCOMPARE(progress.last().at(0).toInt(), 100);
    QTRY_VERIFY(!icons.isEmpty() && !icons.last().at(0).value<QIcon>().isNull());
    QCOMPARE(icons.last().at(0).value<QIcon>().pixmap(16, 16).toImage().pixel(8, 8), red);
    QCOMPARE(view->icon().pixmap(16, 16).toImage().pixel(8, 8), red);
    QCOMPARE(tabs->tabText(0), QString("Hello Title"));
    QCOMPARE(tabs->tabToolTip(0), QString("Hello Title"));
    QCOMPARE(tabs->tabBar()->tabData(0).toString(), server.url("/titled").toString());
    QCOMPARE(view->title(), QString("Hello Title"));
    QCOMPARE(view->url(), server.url("/titled").toString());
    QCOMPARE(tabs->currentUrl(), server.url("/titled").toString());
}

void WebViewQtTest::reportsOfBackgroundView()
{
    WebView* background = tabs->createTab();
    QVERIFY(load(background, "/titled"));
    tabs->createTab();
    QSignalSpy titles(tabs, &TabWidget::titleChanged);
    QSignalSpy urls(tabs, &TabWidget::urlChanged);
    QSignalSpy icons(tabs, &TabWidget::favIconChanged);
    QSignalSpy progress(tabs, &TabWidget::loadProgress);
    QSignalSpy actions(tabs, &TabWidget::actionEnableChanged);
    QSignalSpy finished(tabs, &TabWidget::loadFinished);

    QVERIFY(load(background, "/second"));
    QTRY_COMPARE(tabs->tabText(0), QString("Second Page"));
    QCOMPARE(tabs->tabToolTip(0), QString("Second Page"));
    QCOMPARE(tabs->tabBar()->tabData(0).toString(), server.url("/second").toString());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(titles.count(), 0);
    QCOMPARE(urls.count(), 0);
    QCOMPARE(icons.count(), 0);
    QCOMPARE(progress.count(), 0);
    QCOMPARE(actions.count(), 0);
    QCOMPARE(tabs->tabText(1), QString("新建标签"));
}

void WebViewQtTest::frameRequestsOnlyWhileCurrent()
{
    WebView* view = tabs->createTab();
    QSignalSpy frames(tabs, &TabWidget::totalUpdate);
    QVERIFY(frames.wait(1000));

    tabs->clear(); // the view lives on, but is no tab any more
    frames.clear();
    QTest::qWait(300);
    QCOMPARE(frames.count(), 0);
    QVERIFY(view);
    delete view;
}

void WebViewQtTest::actionState()
{
    WebView* view = tabs->createTab();
    QSignalSpy actions(tabs, &TabWidget::actionEnableChanged);
    QVERIFY(load(view, "/titled"));
    QVERIFY(load(view, "/second"));
    QTRY_VERIFY(actions.contains(QList<QVariant> { int(WebView::BackAction), true }));
    QVERIFY(view->isActionEnabled(WebView::BackAction));
    QVERIFY(!view->isActionEnabled(WebView::ForwardAction));
    QVERIFY(view->isActionEnabled(WebView::ReloadAction));
    QVERIFY(!view->isActionEnabled(4));
    QVERIFY(!view->isActionEnabled(-1));

    actions.clear();
    tabs->back();
    QTRY_COMPARE(view->title(), QString("Hello Title"));
    QTRY_VERIFY(actions.contains(QList<QVariant> { int(WebView::ForwardAction), true }));
    QVERIFY(view->isActionEnabled(WebView::ForwardAction));
}

void WebViewQtTest::newWindow_data()
{
    QTest::addColumn<QString>("gesture");
    QTest::newRow("target=_blank link") << "click blank";
    QTest::newRow("window.open") << "window.open";
    QTest::newRow("window.open popup") << "window.open popup";
    QTest::newRow("shift click") << "shift click";
    QTest::newRow("ctrl click (background tab)") << "ctrl click";
    QTest::newRow("middle click (background tab)") << "middle click";
}

void WebViewQtTest::newWindow()
{
    QFETCH(QString, gesture);
    tabs->setEngineMode(WebView::MiniEngine);
    WebView* asking = tabs->newTab(WebView::QtEngine);
    QVERIFY(load(asking, "/links"));
    QWidget* surface = surfaceOf(asking);
    QVERIFY(surface);
    const QPoint plainLink(50, 150);

    if (gesture == "click blank")
        QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(50, 50));
    else if (gesture == "window.open")
        static_cast<YWebView_Qt*>(asking)->engine()->page()->runJavaScript("window.open('/target')");
    else if (gesture == "window.open popup")
        static_cast<YWebView_Qt*>(asking)->engine()->page()->runJavaScript(
            "window.open('/target', 'popup', 'width=300,height=200')");
    else if (gesture == "shift click")
        QTest::mouseClick(surface, Qt::LeftButton, Qt::ShiftModifier, plainLink);
    else if (gesture == "ctrl click")
        QTest::mouseClick(surface, Qt::LeftButton, Qt::ControlModifier, plainLink);
    else
        QTest::mouseClick(surface, Qt::MiddleButton, {}, plainLink);

    QTRY_COMPARE_WITH_TIMEOUT(tabs->count(), 2, 10000);
    QCOMPARE(tabs->currentIndex(), 1);
    WebView* opened = tabs->currentView();
    QVERIFY(qobject_cast<YWebView_Qt*>(opened));
    QTRY_COMPARE_WITH_TIMEOUT(opened->url(), server.url("/target").toString(), 10000);
    QTRY_COMPARE(tabs->tabText(1), QString("Target"));
    QCOMPARE(asking->url(), server.url("/links").toString());
}

void WebViewQtTest::contextMenu_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("on a link") << QPoint(50, 150)
                               << QStringList { "打开链接", "复制链接", "-", "后退", "前进", "刷新" };
    QTest::newRow("on text") << QPoint(50, 250) << QStringList { "后退", "前进", "刷新" };
}

void WebViewQtTest::contextMenu()
{
    QFETCH(QPoint, pos);
    QFETCH(QStringList, entries);
    WebView* view = tabs->createTab();
    QVERIFY(load(view, "/links"));
    YEngineView* engine = static_cast<YWebView_Qt*>(view)->engine();

    QTest::mouseClick(surfaceOf(view), Qt::RightButton, {}, pos);
    QMenu* menu = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((menu = engine->findChild<QMenu*>()) && menu->isVisible(), 10000);
    QCOMPARE(entriesOf(menu), entries);
    QCOMPARE(menu->actions().last(), engine->pageAction(QWebEnginePage::Reload));
    QPointer<QMenu> guard(menu);
    menu->close();
    QTRY_VERIFY(!guard);
}

void WebViewQtTest::renderProcessPrompt_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const QString question = "\n你想重新加载页面吗？";
    QTest::newRow("normal") << 0 << 0 << "渲染过程正常退出" << "使用代码退出渲染过程：0" + question;
    QTest::newRow("abnormal") << 1 << 1 << "渲染过程异常退出" << "使用代码退出渲染过程：1" + question;
    QTest::newRow("crashed, code 5") << 2 << 5 << "渲染过程崩溃了" << "使用代码退出渲染过程：5" + question;
    QTest::newRow("killed") << 3 << 9 << "渲染过程被杀死" << "使用代码退出渲染过程：9" + question;
    QTest::newRow("unknown status") << 7 << -11 << "" << "使用代码退出渲染过程：-11" + question;
}

// The prompt's texts for every status, answered No: nothing is reloaded.
void WebViewQtTest::renderProcessPrompt()
{
    QFETCH(int, status);
    QFETCH(int, exitCode);
    QFETCH(QString, title);
    QFETCH(QString, text);
    WebView* view = tabs->createTab();
    QVERIFY(load(view, "/titled"));
    const int served = server.requestCount("/titled");
    PromptDriver driver(PromptDriver::click(YFrameDialog::No));

    emit static_cast<YWebView_Qt*>(view)->engine()->renderProcessTerminated(
        QWebEnginePage::RenderProcessTerminationStatus(status), exitCode);

    QCOMPARE(driver.titles, QStringList { title });
    QCOMPARE(driver.texts, QStringList { text });
    QTest::qWait(300);
    QCOMPARE(server.requestCount("/titled"), served);
}

void WebViewQtTest::killedRenderProcess_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("no leaves the page") << "no";
    QTest::newRow("title-bar close leaves the page") << "close";
    QTest::newRow("yes reloads") << "yes";
}

void WebViewQtTest::killedRenderProcess()
{
    QFETCH(QString, answer);
    WebView* view = tabs->createTab();
    QVERIFY(load(view, "/titled"));
    QWebEnginePage* page = static_cast<YWebView_Qt*>(view)->engine()->page();
    const qint64 pid = page->renderProcessPid();
    QVERIFY(pid > 0);
    const int served = server.requestCount("/titled");
    PromptDriver driver(answer == "yes" ? PromptDriver::click(YFrameDialog::Yes)
                        : answer == "no" ? PromptDriver::click(YFrameDialog::No)
                                         : PromptDriver::closeByTitleBar());
    QSignalSpy finished(tabs, &TabWidget::loadFinished);

    QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
    QTRY_COMPARE_WITH_TIMEOUT(driver.titles, QStringList { "渲染过程被杀死" }, 10000);
    QCOMPARE(driver.texts, QStringList { "使用代码退出渲染过程：9\n你想重新加载页面吗？" });

    if (answer == "yes") {
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/titled"), served + 1, 10000);
        QTRY_VERIFY(!finished.isEmpty() && finished.last().at(0).toBool());
        QTRY_VERIFY(page->renderProcessPid() > 0 && page->renderProcessPid() != pid);
    } else {
        QTest::qWait(500);
        QCOMPARE(server.requestCount("/titled"), served);
        QCOMPARE(view->url(), server.url("/titled").toString());
    }
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    runHooks(startupHooks());
    YUILIB::initialise();
    WebViewQtTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webview_qt.moc"
