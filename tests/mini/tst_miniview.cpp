#include "MiniEngineBinder.h"
#include "MiniPages.h"
#include "TabWidget.h"
#include "WebView_Mini.h"
#include "YConfiger.h"

#include <QLibrary>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace MiniPages;

class tst_MiniView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void titleUrlAndIconReachTheTab_data();
    void titleUrlAndIconReachTheTab();
    void paintsOfTheCurrentTabBecomePartialUpdates_data();
    void paintsOfTheCurrentTabBecomePartialUpdates();
    void renderToFillsTheWholePage_data();
    void renderToFillsTheWholePage();
    void newWindowRequests_data();
    void newWindowRequests();
    void finishedLoads_data();
    void finishedLoads();
    void muteKeepsTheVolume();
    void actionState_data();
    void actionState();
    void showsTheEngineWindowInTheTab_data();
    void showsTheEngineWindowInTheTab();

private:
    WebView* openTab(int mode);
    MiniWebView lastEngineView() const;
    QString localPage() const { return localUrl(dir.path(), "start.html"); }

    std::unique_ptr<TabWidget> tabs;
    MiniPages::Server server;
    QTemporaryDir dir;
    int (*viewCount)() = nullptr;
    MiniWebView (*viewAt)(int) = nullptr;
    void (*requestNewWindow)(MiniWebView, int, const char*) = nullptr;
};

Q_DECLARE_METATYPE(WebView*)

void tst_MiniView::initTestCase()
{
    qRegisterMetaType<WebView*>();
    YConfiger* config = YConfiger::instance();
    config->setValue("MiniEngine/SearchPath", QFileInfo(STANDIN_ENGINE).absolutePath());
    config->setValue("MiniEngine/Library", QFileInfo(STANDIN_ENGINE).fileName());
    MiniEngineBinder::reset();
    QVERIFY(!WebView::isRegistered(WebView::VipMiniEngine));
    WebView_Mini::startEngine();
    QVERIFY(MiniEngineBinder::mini());
    QVERIFY(WebView::isRegistered(WebView::VipMiniEngine));

    viewCount = reinterpret_cast<decltype(viewCount)>(QLibrary::resolve(STANDIN_ENGINE, "ystandin_view_count"));
    viewAt = reinterpret_cast<decltype(viewAt)>(QLibrary::resolve(STANDIN_ENGINE, "ystandin_view_at"));
    requestNewWindow = reinterpret_cast<decltype(requestNewWindow)>(
        QLibrary::resolve(STANDIN_ENGINE, "ystandin_request_new_window"));
    QVERIFY(viewCount && viewAt && requestNewWindow);
    QVERIFY(writeLocalPages(dir.path()));
}

void tst_MiniView::init()
{
    tabs.reset(new TabWidget);
    tabs->setPageSize(QSize(200, 100));
}

void tst_MiniView::cleanup()
{
    tabs.reset();
    QTest::qWait(50);
}

WebView* tst_MiniView::openTab(int mode)
{
    WebView* view = tabs->newTab(mode);
    // Let the engine's first paint of the empty page go by.
    QTest::qWait(50);
    return view;
}

MiniWebView tst_MiniView::lastEngineView() const
{
    return viewAt(viewCount() - 1);
}

void tst_MiniView::titleUrlAndIconReachTheTab_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("mini") << int(WebView::MiniEngine) << "Mini";
    QTest::newRow("vip mini") << int(WebView::VipMiniEngine) << "VIP_Mini";
}

void tst_MiniView::titleUrlAndIconReachTheTab()
{
    QFETCH(int, mode);
    QFETCH(QString, suffix);

    WebView* view = openTab(mode);
    QCOMPARE(view->engineType(), mode);
    QSignalSpy titles(tabs.get(), &TabWidget::titleChanged);
    QSignalSpy urls(tabs.get(), &TabWidget::urlChanged);
    view->setUrl(localPage());
    QTRY_COMPARE(tabs->tabText(0), "Start" + suffix);
    QCOMPARE(tabs->tabToolTip(0), "Start" + suffix);
    QCOMPARE(titles.size(), 1);
    QCOMPARE(titles.at(0).at(0).toString(), "Start" + suffix);
    QCOMPARE(urls.size(), 1);
    QCOMPARE(urls.at(0).at(0).toUrl(), QUrl(localPage()));
    QCOMPARE(view->title(), QString("Start"));
    QCOMPARE(view->url(), QUrl(localPage()).toDisplayString());

    QSignalSpy icons(tabs.get(), &TabWidget::favIconChanged);
    view->setUrl(server.url("/b"));
    QTRY_COMPARE(icons.size(), 1);
    const QImage icon = view->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(icon.size(), QSize(16, 16));
    QCOMPARE(icon.pixel(8, 8), QColor(Qt::green).rgb());
    QCOMPARE(tabs->tabText(0), "B page" + suffix);
}

void tst_MiniView::paintsOfTheCurrentTabBecomePartialUpdates_data()
{
    titleUrlAndIconReachTheTab_data();
}

void tst_MiniView::paintsOfTheCurrentTabBecomePartialUpdates()
{
    QFETCH(int, mode);
    QFETCH(QString, suffix);

    WebView* background = openTab(mode);
    openTab(mode);
    QList<QRect> updates;
    QList<QRgb> corners;
    connect(tabs.get(), &TabWidget::viewUpdate, this, [&](int x, int y, const QImage& image) {
        updates << QRect(QPoint(x, y), image.size());
        corners << image.pixel(0, 0) << image.pixel(image.width() - 1, image.height() - 1);
    });

    background->setUrl(localPage());
    QTRY_COMPARE(tabs->tabText(0), "Start" + suffix);
    QTest::qWait(50);
    QCOMPARE(updates, QList<QRect>());

    tabs->currentView()->setUrl(localPage());
    QTRY_COMPARE(tabs->tabText(1), "Start" + suffix);
    QCOMPARE(updates, QList<QRect> { QRect(0, 0, 50, 30) });
    QCOMPARE(corners, QList<QRgb>({ 0xffff0000u, 0xffff0000u }));
}

void tst_MiniView::renderToFillsTheWholePage_data()
{
    titleUrlAndIconReachTheTab_data();
}

void tst_MiniView::renderToFillsTheWholePage()
{
    QFETCH(int, mode);

    WebView* view = openTab(mode);
    tabs->setPageSize(QSize(64, 32));
    view->setUrl(server.url("/b"));
    QTRY_VERIFY(tabs->tabText(0).startsWith("B page"));

    for (const QSize& size : { QSize(64, 32), QSize(80, 40) }) {
        tabs->setPageSize(size);
        const int area = size.width() * size.height();
        QVector<quint32> pixels(area + 4, 0xabababab);
        view->renderTo(reinterpret_cast<uchar*>(pixels.data()));
        QCOMPARE(pixels.mid(0, area).count(0xabababab), 0);
        QCOMPARE(pixels.mid(area), QVector<quint32>(4, 0xabababab));
        QCOMPARE(pixels.at(area - 1), 0xff0000ffu);
        QCOMPARE(pixels.at(size.width() - 1), 0xff0000ffu);
    }
}

void tst_MiniView::newWindowRequests_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("opens");

    for (int mode : { int(WebView::MiniEngine), int(WebView::VipMiniEngine) }) {
        const QByteArray name = mode == WebView::MiniEngine ? "mini" : "vip mini";
        QTest::newRow(name + " link") << mode << 0 << true;
        QTest::newRow(name + " other") << mode << 5 << true;
        QTest::newRow(name + " form") << mode << 1 << false;
        QTest::newRow(name + " reload") << mode << 3 << false;
    }
}

void tst_MiniView::newWindowRequests()
{
    QFETCH(int, mode);
    QFETCH(int, kind);
    QFETCH(bool, opens);

    WebView* asking = openTab(mode);
    QCOMPARE(tabs->engineMode(), 1);
    QSignalSpy current(tabs.get(), &TabWidget::currentViewChanged);
    requestNewWindow(lastEngineView(), kind, server.url("/a").toUtf8());
    QTest::qWait(100);
    QCOMPARE(tabs->count(), opens ? 2 : 1);
    QCOMPARE(asking->url(), QString());
    if (!opens) {
        QCOMPARE(current.size(), 0);
        return;
    }
    QCOMPARE(current.size(), 1);
    WebView* opened = tabs->currentView();
    QVERIFY(opened != asking);
    QCOMPARE(opened->engineType(), mode);
    QTRY_COMPARE(opened->url(), server.url("/a"));
    QCOMPARE(tabs->tabText(1), "A page" + QString(mode == WebView::MiniEngine ? "Mini" : "VIP_Mini"));
}

void tst_MiniView::finishedLoads_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("stop");
    QTest::addColumn<QVariantList>("finished");
    QTest::addColumn<QStringList>("urls");

    const QString a = server.url("/a");
    const int mini = WebView::MiniEngine;
    const int vip = WebView::VipMiniEngine;
    QTest::newRow("mini loaded") << mini << "/a" << false << QVariantList() << QStringList { a };
    QTest::newRow("mini failed") << mini << "/none" << false << QVariantList() << QStringList { QString() };
    QTest::newRow("mini stopped") << mini << "/slow" << true << QVariantList() << QStringList();
    QTest::newRow("vip loaded") << vip << "/a" << false << QVariantList { true } << QStringList { a };
    QTest::newRow("vip failed") << vip << "/none" << false << QVariantList { false, true } << QStringList { QString() };
    QTest::newRow("vip stopped") << vip << "/slow" << true << QVariantList { false } << QStringList();
}

void tst_MiniView::finishedLoads()
{
    QFETCH(int, mode);
    QFETCH(QString, path);
    QFETCH(bool, stop);
    QFETCH(QVariantList, finished);
    QFETCH(QStringList, urls);

    WebView* background = openTab(mode);
    WebView* view = openTab(mode);
    QSignalSpy loads(tabs.get(), &TabWidget::loadFinished);
    QSignalSpy urlChanges(tabs.get(), &TabWidget::urlChanged);
    server.forgetSlow();
    view->setUrl(server.url(path));
    if (stop) {
        QTRY_VERIFY(server.slowRequested());
        view->stop();
    }
    QTest::qWait(300);
    QVariantList finishedSeen;
    for (const QList<QVariant>& signal : loads)
        finishedSeen << signal.at(0);
    QCOMPARE(finishedSeen, finished);
    QStringList urlsSeen;
    for (const QList<QVariant>& signal : urlChanges)
        urlsSeen << signal.at(0).toUrl().toString();
    QCOMPARE(urlsSeen, urls);
    QCOMPARE(background->url(), QString());

    // A background tab's finished load reaches the tab widget too, from the
    // second interface only.
    loads.clear();
    background->setUrl(server.url("/a"));
    QTest::qWait(300);
    QCOMPARE(loads.size(), mode == WebView::VipMiniEngine ? 1 : 0);
}

void tst_MiniView::muteKeepsTheVolume()
{
    const MiniEngineApi* api = MiniEngineBinder::mini();
    WebView* view = openTab(WebView::MiniEngine);
    MiniWebView engine = lastEngineView();
    QCOMPARE(api->ymini_get_media_volume(engine), 1.0f);

    // An unmute with no mute before it leaves the volume alone.
    api->ymini_set_media_volume(engine, 0.5f);
    view->setMuted(false);
    QCOMPARE(api->ymini_get_media_volume(engine), 0.5f);
    QCOMPARE(view->isMuted(), false);

    view->setMuted(true);
    QCOMPARE(view->isMuted(), true);
    QCOMPARE(api->ymini_get_media_volume(engine), 0.0f);
    view->setMuted(true);
    view->setMuted(false);
    QCOMPARE(api->ymini_get_media_volume(engine), 0.5f);
    QCOMPARE(view->isMuted(), false);

    api->ymini_set_media_volume(engine, 0.25f);
    view->setMuted(false);
    QCOMPARE(api->ymini_get_media_volume(engine), 0.25f);
    api->ymini_set_media_volume(engine, std::nanf(""));
    QCOMPARE(view->isMuted(), false);

    // The second interface keeps a mute flag of its own.
    WebView* vipView = openTab(WebView::VipMiniEngine);
    MiniWebView vipEngine = lastEngineView();
    QCOMPARE(vipView->isMuted(), false);
    for (bool muted : { true, false }) {
        vipView->setMuted(muted);
        QCOMPARE(MiniEngineBinder::vip()->yvip_is_audio_muted(vipEngine), int(muted));
        QCOMPARE(vipView->isMuted(), muted);
    }
}

void tst_MiniView::actionState_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("pagesLoaded");
    QTest::addColumn<bool>("wentBack");
    QTest::addColumn<QList<bool>>("enabled"); // actions -1 to 4

    const int mini = WebView::MiniEngine;
    const int vip = WebView::VipMiniEngine;
    const QList<bool> all { true, true, true, true, true, true };
    QTest::newRow("mini fresh") << mini << 0 << false << QList<bool> { true, false, false, true, true, true };
    QTest::newRow("mini two pages") << mini << 2 << false << QList<bool> { true, false, true, true, true, true };
    QTest::newRow("mini back") << mini << 2 << true << QList<bool> { true, true, false, true, true, true };
    QTest::newRow("vip fresh") << vip << 0 << false << all;
    QTest::newRow("vip two pages") << vip << 2 << false << all;
}

void tst_MiniView::actionState()
{
    QFETCH(int, mode);
    QFETCH(int, pagesLoaded);
    QFETCH(bool, wentBack);
    QFETCH(QList<bool>, enabled);

    WebView* view = openTab(mode);
    for (int i = 0; i < pagesLoaded; ++i) {
        view->setUrl(server.url(i == 0 ? "/a" : "/b"));
        QTRY_VERIFY(tabs->tabText(0).startsWith(i == 0 ? "A page" : "B page"));
    }
    if (wentBack) {
        view->back();
        QTRY_VERIFY(tabs->tabText(0).startsWith("A page"));
    }
    QList<bool> seen;
    for (int action = -1; action <= 4; ++action)
        seen << view->isActionEnabled(action);
    QCOMPARE(seen, enabled);
}

void tst_MiniView::showsTheEngineWindowInTheTab_data()
{
    titleUrlAndIconReachTheTab_data();
}

void tst_MiniView::showsTheEngineWindowInTheTab()
{
    QFETCH(int, mode);
    QFETCH(QString, suffix);

    WebView* view = openTab(mode);
    tabs->resize(400, 300);
    tabs->show();
    QVERIFY(QTest::qWaitForWindowExposed(tabs.get()));
    view->setUrl(QUrl::fromLocalFile(dir.filePath("link.html")).toString());
    QTRY_COMPARE(tabs->tabText(0), "Link" + suffix);
    QTest::qWait(200);

    const QPoint origin = view->widget()->mapToGlobal(QPoint(0, 0));
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    QCOMPARE(QColor(screen.pixel(origin + QPoint(25, 15))), QColor(Qt::red));
    QCOMPARE(QColor(screen.pixel(origin + QPoint(100, 15))), QColor(Qt::white));

    // The engine's own window takes the click on the link.
    QWindow* engineWindow = nullptr;
    for (QWindow* window : QGuiApplication::allWindows()) {
        if (window->isExposed() && window->inherits("StandinWindow"))
            engineWindow = window;
    }
    QVERIFY(engineWindow);
    QTest::mouseClick(engineWindow, Qt::LeftButton, Qt::NoModifier, QPoint(25, 15));
    QTRY_COMPARE(tabs->tabText(0), "Start" + suffix);
    QCOMPARE(view->url(), localPage());

    // Closed tabs leave no engine window on the screen.
    tabs.reset();
    for (QWindow* window : QGuiApplication::allWindows()) {
        if (window->inherits("StandinWindow"))
            QTRY_VERIFY(!window->isExposed());
    }
}

QTEST_MAIN(tst_MiniView)
#include "tst_miniview.moc"
