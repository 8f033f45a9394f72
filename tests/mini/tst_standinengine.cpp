#include "MiniEngineBinder.h"
#include "MiniPages.h"
#include "SurfaceCapture.h"

#include <QLibrary>
#include <QTemporaryDir>
#include <QtTest>

using namespace MiniPages;

class tst_StandinEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void reportsALoadInOrder_data();
    void reportsALoadInOrder();
    void loadResults_data();
    void loadResults();
    void keepsHistory();
    void deliversFavicon_data();
    void deliversFavicon();
    void asksBeforeOpeningNewWindows();

private:
    MiniWebView createMini(int width = 200, int height = 100);
    MiniWebView createVip(int width = 200, int height = 100);
    bool waitForFinish(int count = 1, const QString& url = QString());

    MiniEngineApi mini {};
    VipMiniEngineApi vip {};
    void (*requestNewWindow)(MiniWebView, int, const char*) = nullptr;
    QTemporaryDir dir;
    MiniPages::Server server;
    QStringList events;
    QByteArray favicon; // "null" for a null buffer
};

namespace {

QStringList* eventsOf(void* context)
{
    return static_cast<QStringList*>(context);
}

QString textOf(const MiniEngineApi& api, MiniString text)
{
    return QString::fromUtf8(api.ymini_string_text(text));
}

const MiniEngineApi* boundMini = nullptr;

QString paintEvent(MiniDeviceContext dc, int x, int y, int cx, int cy)
{
    const SurfaceCapture capture(dc, x, y, cx, cy);
    const quint32 first = *reinterpret_cast<const quint32*>(capture.bits());
    return QStringLiteral("paint %1 %2 %3 %4 %5").arg(x).arg(y).arg(cx).arg(cy).arg(first, 8, 16, QLatin1Char('0'));
}

void registerMini(const MiniEngineApi& api, MiniWebView view, QStringList* events)
{
    api.ymini_on_url_changed(view, [](MiniWebView, void* c, MiniString url) {
        *eventsOf(c) << "url " + textOf(*boundMini, url);
    }, events);
    api.ymini_on_title_changed(view, [](MiniWebView, void* c, MiniString title) {
        *eventsOf(c) << "title " + textOf(*boundMini, title);
    }, events);
    api.ymini_on_navigation(view, [](MiniWebView, void* c, int kind, MiniString url) {
        *eventsOf(c) << QStringLiteral("navigation %1 %2").arg(kind).arg(textOf(*boundMini, url));
        return true;
    }, events);
    api.ymini_on_loading_finished(view, [](MiniWebView, void* c, MiniString url, int result, MiniString) {
        *eventsOf(c) << QStringLiteral("finished %1 %2").arg(textOf(*boundMini, url)).arg(result);
    }, events);
    api.ymini_on_paint_updated(view, [](MiniWebView, void* c, MiniDeviceContext dc, int x, int y, int cx, int cy) {
        *eventsOf(c) << paintEvent(dc, x, y, cx, cy);
    }, events);
}

void registerVip(const VipMiniEngineApi& api, MiniWebView view, QStringList* events)
{
    api.yvip_on_url_changed(view, [](MiniWebView, void* c, const char* url, int) {
        *eventsOf(c) << "url " + QString::fromUtf8(url);
    }, events);
    api.yvip_on_title_changed(view, [](MiniWebView, void* c, const char* title) {
        *eventsOf(c) << "title " + QString::fromUtf8(title);
    }, events);
    api.yvip_on_navigation(view, [](MiniWebView, void* c, int kind, const char* url) {
        *eventsOf(c) << QStringLiteral("navigation %1 %2").arg(kind).arg(QString::fromUtf8(url));
        return 1;
    }, events);
    api.yvip_on_loading_finished(view, [](MiniWebView, void* c, void*, const char* url, int result, const char*) {
        *eventsOf(c) << QStringLiteral("finished %1 %2").arg(QString::fromUtf8(url)).arg(result);
    }, events);
    api.yvip_on_paint_updated(view, [](MiniWebView, void* c, MiniDeviceContext dc, int x, int y, int cx, int cy) {
        *eventsOf(c) << paintEvent(dc, x, y, cx, cy);
    }, events);
}

} // namespace

void tst_StandinEngine::initTestCase()
{
    QVERIFY(MiniEngineBinder::bindMini(STANDIN_ENGINE, &mini).bound);
    QVERIFY(MiniEngineBinder::bindVip(STANDIN_ENGINE, &vip).bound);
    boundMini = &mini;
    requestNewWindow = reinterpret_cast<decltype(requestNewWindow)>(
        QLibrary::resolve(STANDIN_ENGINE, "ystandin_request_new_window"));
    QVERIFY(requestNewWindow);
    QVERIFY(server.isListening());
    QVERIFY(writeLocalPages(dir.path()));
}

// Views of earlier functions may still be busy: let them settle.
void tst_StandinEngine::init()
{
    QTest::qWait(100);
    events.clear();
}

MiniWebView tst_StandinEngine::createMini(int width, int height)
{
    MiniWebView view = mini.ymini_create_view(1, 0, 0, 0, width, height);
    registerMini(mini, view, &events);
    return view;
}

MiniWebView tst_StandinEngine::createVip(int width, int height)
{
    MiniWebView view = vip.yvip_create_view(0, 0, 0, 0, width, height);
    registerVip(vip, view, &events);
    return view;
}

// Loads of views from earlier functions may still finish: a url picks this one.
bool tst_StandinEngine::waitForFinish(int count, const QString& url)
{
    const QRegularExpression finished("^finished " + QRegularExpression::escape(url));
    return QTest::qWaitFor([&] { return events.filter(finished).size() >= count; }, 5000);
}

void tst_StandinEngine::reportsALoadInOrder_data()
{
    QTest::addColumn<bool>("second");
    QTest::newRow("first interface") << false;
    QTest::newRow("second interface") << true;
}

void tst_StandinEngine::reportsALoadInOrder()
{
    QFETCH(bool, second);
    events.clear();
    MiniWebView view = second ? createVip() : createMini();
    const QString url = localUrl(dir.path(), "start.html");
    second ? vip.yvip_load_url(view, url.toUtf8()) : mini.ymini_load_url(view, url.toUtf8());
    QVERIFY(waitForFinish());
    QCOMPARE(events, QStringList({ "navigation 5 " + url, "paint 0 0 200 100 ffffffff", "url " + url,
                                   "title Start", "paint 0 0 50 30 ffff0000", "finished " + url + " 0" }));
    QCOMPARE(QString::fromUtf8(second ? vip.yvip_get_url(view) : mini.ymini_get_url(view)), url);
    QCOMPARE(QString::fromUtf8(second ? vip.yvip_get_title(view) : mini.ymini_get_title(view)), QString("Start"));
}

void tst_StandinEngine::loadResults_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<int>("result");

    QTest::newRow("served") << server.url("/a") << false << 0;
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("not found") << server.url("/none") << false << 1;
    QTest::newRow("no file") << localUrl(dir.path(), "none.html") << false << 1;
    QTest::newRow("other host") << QStringLiteral("http://192.0.2.1/") << false << 1;
    QTest::newRow("other scheme") << QStringLiteral("ftp://127.0.0.1/") << false << 1;
    QTest::newRow("stopped") << server.url("/slow") << true << 2;
}

void tst_StandinEngine::loadResults()
{
    QFETCH(QString, url);
    QFETCH(bool, stop);
    QFETCH(int, result);

    MiniWebView view = createMini();
    events.clear();
    server.forgetSlow();
    mini.ymini_load_url(view, url.toUtf8());
    if (stop) {
        QVERIFY(QTest::qWaitFor([&] { return server.slowRequested(); }, 5000));
        mini.ymini_stop_loading(view);
    }
    QVERIFY(waitForFinish());
    QCOMPARE(events.filter(QRegularExpression("^finished ")), QStringList { QStringLiteral("finished %1 %2").arg(url).arg(result) });
    QTest::qWait(50);
    QCOMPARE(events.filter(QRegularExpression("^finished ")).size(), 1);
}

void tst_StandinEngine::keepsHistory()
{
    MiniWebView view = createMini();
    QCOMPARE(mini.ymini_can_go_back(view), 0);
    mini.ymini_load_url(view, server.url("/a").toUtf8());
    QVERIFY(waitForFinish());
    mini.ymini_load_url(view, server.url("/b").toUtf8());
    events.clear();
    QVERIFY(waitForFinish());
    QCOMPARE(mini.ymini_can_go_back(view), 1);
    QCOMPARE(mini.ymini_can_go_forward(view), 0);

    events.clear();
    mini.ymini_go_back(view);
    QVERIFY(waitForFinish());
    QCOMPARE(events.first(), "navigation 2 " + server.url("/a"));
    QCOMPARE(QByteArray(mini.ymini_get_title(view)), QByteArray("A page"));
    QCOMPARE(mini.ymini_can_go_back(view), 0);
    QCOMPARE(mini.ymini_can_go_forward(view), 1);

    events.clear();
    mini.ymini_go_forward(view);
    QVERIFY(waitForFinish());
    QCOMPARE(QByteArray(mini.ymini_get_title(view)), QByteArray("B page"));

    events.clear();
    mini.ymini_reload(view);
    QVERIFY(waitForFinish());
    QCOMPARE(events.first(), "navigation 3 " + server.url("/b"));
    // A new load drops the forward entries.
    mini.ymini_go_back(view);
    mini.ymini_load_url(view, server.url("/img").toUtf8());
    QCOMPARE(mini.ymini_can_go_forward(view), 0);
    QCOMPARE(mini.ymini_can_go_back(view), 1);
}

void tst_StandinEngine::deliversFavicon_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("linked") << server.url("/b") << pngOf(Qt::green, QSize(16, 16));
    QTest::newRow("none on server") << server.url("/a") << QByteArray("null");
    QTest::newRow("local page") << localUrl(dir.path(), "start.html") << QByteArray("null");
}

void tst_StandinEngine::deliversFavicon()
{
    QFETCH(QString, url);
    QFETCH(QByteArray, expected);

    MiniWebView view = createMini();
    mini.ymini_load_url(view, url.toUtf8());
    QVERIFY(waitForFinish(1, url));
    favicon = "unset";
    const MiniFrameRecord* frame = mini.ymini_main_frame(view);
    QCOMPARE(mini.ymini_is_main_frame(view, frame->frame), 1);
    QCOMPARE(mini.ymini_is_main_frame(view, frame->frame + 1), 0);
    mini.ymini_request_favicon(view, [](MiniWebView, void* context, const char*, const MiniFaviconBuffer* buffer) {
        static_cast<tst_StandinEngine*>(context)->favicon
            = buffer ? QByteArray(static_cast<const char*>(buffer->data), int(buffer->length)) : "null";
    }, this);
    QVERIFY(QTest::qWaitFor([&] { return favicon != "unset"; }, 5000));
    QCOMPARE(favicon, expected);
}

void tst_StandinEngine::asksBeforeOpeningNewWindows()
{
    MiniWebView view = createMini();
    mini.ymini_on_create_view(view, [](MiniWebView, void* context, int kind, MiniString url, const void*) -> MiniWebView {
        static_cast<tst_StandinEngine*>(context)->events << QStringLiteral("new %1 %2").arg(kind).arg(textOf(*boundMini, url));
        return nullptr;
    }, this);
    mini.ymini_set_new_window_enabled(view, true);
    events.clear();
    requestNewWindow(view, 0, server.url("/a").toUtf8());
    QTest::qWait(50);
    QCOMPARE(events, QStringList({ "new 0 " + server.url("/a"), "paint 0 0 200 100 ffffffff" }));

    // With new windows off, a page the host leaves unopened loads in place.
    mini.ymini_set_new_window_enabled(view, false);
    events.clear();
    requestNewWindow(view, 1, server.url("/a").toUtf8());
    QVERIFY(waitForFinish());
    QCOMPARE(events.mid(0, 2), QStringList({ "new 1 " + server.url("/a"), "navigation 1 " + server.url("/a") }));
}

QTEST_MAIN(tst_StandinEngine)
#include "tst_standinengine.moc"
