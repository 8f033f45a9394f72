#include "FrameReader.h"
#include "HookLists.h"
#include "LocalHttpServer.h"
#include "MiniEngineBinder.h"
#include "MiniPages.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "WebView.h"
#include "YBrowserRunner.h"
#include "YConfiger.h"

#include <QApplication>
#include <QComboBox>
#include <QtTest>

// The mini views in the runner window, driving the stand-in engine the start-up hook bound.
class tst_MiniView : public QObject
{
    Q_OBJECT

    static constexpr int Mini = WebView::MiniEngine;
    static constexpr int Vip = WebView::VipMiniEngine;
    std::unique_ptr<YBrowserRunner> runner;
    TabWidget* tabs = nullptr;
    QString key;
    MiniPages pages;
    LocalHttpServer http;
    QTcpServer silent; // takes the connection and never answers
    int (*viewCount)() = nullptr;
    MiniWebView (*viewAt)(int) = nullptr;
    void (*requestNewWindow)(MiniWebView, int, const char*) = nullptr;

    static QStringList firstArguments(const QSignalSpy& spy)
    {
        QStringList arguments;
        for (const QList<QVariant>& signal : spy)
            arguments << signal.at(0).toString();
        return arguments;
    }
    MiniWebView lastEngineView() const { return viewAt(viewCount() - 1); }
    QString served(const QString& path) const { return http.url(path).toString(); }
    // Lets the engine's first paint of the empty page go by.
    WebView* openTab(int mode)
    {
        WebView* view = tabs->newTab(mode);
        QTest::qWait(50);
        return view;
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<WebView*>();
        QVERIFY(MiniEngineBinder::vip() && WebView::isRegistered(Vip));
        viewCount = reinterpret_cast<decltype(viewCount)>(QLibrary::resolve(STANDIN_ENGINE, "ystandin_view_count"));
        viewAt = reinterpret_cast<decltype(viewAt)>(QLibrary::resolve(STANDIN_ENGINE, "ystandin_view_at"));
        requestNewWindow = reinterpret_cast<decltype(requestNewWindow)>(
            QLibrary::resolve(STANDIN_ENGINE, "ystandin_request_new_window"));
        QVERIFY(viewCount && viewAt && requestNewWindow);
        QVERIFY(pages.write() && http.start() && silent.listen(QHostAddress::LocalHost));
        http.servePage("/a", "<html><head><title>A page</title></head><body>a</body></html>");
        http.servePage("/b", "<html><head><title>B page</title><link rel=\"icon\" href=\"/icon.png\"></head>"
                             "<body style=\"background-color: #0000ff\">b</body></html>");
        http.serveContent("/icon.png", "image/png", pngOf(Qt::green, QSize(16, 16)));
    }

    void init()
    {
        static int serial = 0;
        BrowserParams p;
        p.pageSize = QSize(200, 100);
        key = QStringLiteral("tst_miniview_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial);
        p.sharedMemoryKey = key;
        p.hidden = true;
        p.urls.clear();
        p.currentUrl.clear();
        runner.reset(new YBrowserRunner(p));
        tabs = runner->findChild<TabWidget*>();
    }

    void currentTabPaintsIntoTheSegment_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("mini") << Mini << "Mini";
        QTest::newRow("vip mini") << Vip << "VIP_Mini";
    }

    void currentTabPaintsIntoTheSegment()
    {
        QFETCH(int, mode);
        QFETCH(QString, suffix);
        tabs->setEngineMode(mode);
        WebView* background = openTab(mode);
        WebView* view = openTab(mode);
        FrameReader host(key);
        FrameReader::Frame frame;
        QVERIFY(host.attach());
        while (host.take(frame)) { }
        QSignalSpy titles(tabs, &TabWidget::titleChanged);
        QSignalSpy urls(tabs, &TabWidget::urlChanged);
        QSignalSpy icons(tabs, &TabWidget::favIconChanged);
        background->setUrl(pages.url("start.html"));
        QTRY_COMPARE(tabs->tabText(0), "Start" + suffix);
        QTest::qWait(50);
        QCOMPARE(titles.size() + urls.size(), 0);
        QVERIFY(!host.take(frame));

        runner->setUrl(QUrl(pages.url("start.html")));
        QTRY_COMPARE(tabs->tabText(1), "Start" + suffix);
        QTest::qWait(50);
        QCOMPARE(firstArguments(titles), QStringList { "Start" + suffix });
        QCOMPARE(firstArguments(urls), QStringList { pages.url("start.html") });
        QCOMPARE(runner->title(), QString("Start"));
        QCOMPARE(runner->url(), QUrl(pages.url("start.html")));
        QCOMPARE(host.header(0).consumed + host.header(1).consumed, 1);
        QVERIFY(host.take(frame));
        QCOMPARE(frame.header.wholeFrame, false);
        QCOMPARE(frame.header.engineFlag, mode == Vip);
        QCOMPARE(frame.header.size, QSize(200, 100));
        QCOMPARE(frame.header.dirty, QRect(0, 0, 50, 30));
        QCOMPARE(frame.image.pixel(0, 0), 0xffff0000u);
        QCOMPARE(frame.image.pixel(49, 29), 0xffff0000u);
        runner->wholeImage();
        QVERIFY(host.take(frame));
        QCOMPARE(frame.header.wholeFrame, true);
        QCOMPARE(frame.image.pixel(0, 0), 0xffff0000u);
        QCOMPARE(frame.image.pixel(199, 99), 0xffffffffu);

        view->setUrl(served("/b"));
        QTRY_COMPARE(icons.size(), 1);
        const QImage icon = view->icon().pixmap(16, 16).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(icon.pixel(8, 8), QColor(Qt::green).rgb());
        QCOMPARE(tabs->tabText(1), "B page" + suffix);
        tabs->setPageSize(QSize(80, 40));
        QVector<quint32> pixels(80 * 40 + 4, 0xabababab);
        view->renderTo(reinterpret_cast<uchar*>(pixels.data()));
        QCOMPARE(pixels.mid(0, 80 * 40).count(0xabababab), 0);
        QCOMPARE(pixels.mid(80 * 40), QVector<quint32>(4, 0xabababab));
        QCOMPARE(pixels.at(79), 0xff0000ffu);
        QCOMPARE(pixels.at(80 * 40 - 1), 0xff0000ffu);
    }

    void engineSelectorRecreatesTheTab()
    {
        tabs->newTab(Mini)->setUrl(pages.url("a.html"));
        QTRY_COMPARE(tabs->tabText(0), QString("A pageMini"));
        runner->findChild<QComboBox*>("defaultMode")->setCurrentIndex(1);
        QCOMPARE(tabs->engineMode(), Vip);
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->currentView()->engineType(), Vip);
        QTRY_COMPARE(tabs->tabText(0), QString("A pageVIP_Mini"));
        QCOMPARE(tabs->currentUrl(), pages.url("a.html"));
    }

    void newWindowRequests_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("opens");
        for (int mode : { Mini, Vip }) {
            const QByteArray name = mode == Mini ? "mini" : "vip mini";
            QTest::newRow(name + " link") << mode << 0 << true;
            QTest::newRow(name + " other") << mode << 5 << true;
            QTest::newRow(name + " form") << mode << 1 << false;
        }
    }

    void newWindowRequests()
    {
        QFETCH(int, mode);
        QFETCH(int, kind);
        QFETCH(bool, opens);
        WebView* asking = openTab(mode);
        QSignalSpy current(tabs, &TabWidget::currentViewChanged);
        requestNewWindow(lastEngineView(), kind, served("/a").toUtf8());
        QTest::qWait(100);
        QCOMPARE(tabs->count(), opens ? 2 : 1);
        QCOMPARE(current.size(), opens ? 1 : 0);
        QCOMPARE(asking->url(), QString());
        if (!opens)
            return;
        QCOMPARE(tabs->currentView()->engineType(), mode);
        QTRY_COMPARE(tabs->currentView()->url(), served("/a"));
        QCOMPARE(tabs->tabText(1), "A page" + QString(mode == Mini ? "Mini" : "VIP_Mini"));
    }

    // The second interface reports every finished load: 0 true, 1 false and a load of the empty URL, 2 false.
    void finishedLoads_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QStringList>("finished");
        QTest::addColumn<QStringList>("urls");
        const QString slow = QStringLiteral("http://127.0.0.1:%1/slow").arg(silent.serverPort());
        const QStringList failed { "false", "true" };
        QTest::newRow("mini loaded") << Mini << served("/a") << QStringList() << QStringList { served("/a") };
        QTest::newRow("mini failed") << Mini << served("/none") << QStringList() << QStringList { QString() };
        QTest::newRow("mini stopped") << Mini << slow << QStringList() << QStringList();
        QTest::newRow("vip loaded") << Vip << served("/a") << QStringList { "true" } << QStringList { served("/a") };
        QTest::newRow("vip not found") << Vip << served("/none") << failed << QStringList { QString() };
        QTest::newRow("vip no file") << Vip << pages.url("none.html") << failed << QStringList { QString() };
        QTest::newRow("vip other host") << Vip << "http://192.0.2.1/" << failed << QStringList { QString() };
        QTest::newRow("vip other scheme") << Vip << "ftp://127.0.0.1/" << failed << QStringList { QString() };
        QTest::newRow("vip stopped") << Vip << slow << QStringList { "false" } << QStringList();
    }

    void finishedLoads()
    {
        QFETCH(int, mode);
        QFETCH(QString, url);
        QFETCH(QStringList, finished);
        QFETCH(QStringList, urls);
        WebView* view = openTab(mode);
        QSignalSpy loads(tabs, &TabWidget::loadFinished);
        QSignalSpy urlChanges(tabs, &TabWidget::urlChanged);
        view->setUrl(url);
        if (url.endsWith("/slow")) {
            QTRY_VERIFY(silent.hasPendingConnections());
            silent.nextPendingConnection();
            view->stop();
        }
        QTest::qWait(300);
        QCOMPARE(firstArguments(loads), finished);
        QCOMPARE(firstArguments(urlChanges), urls);
    }

    void muteKeepsTheVolume()
    {
        const MiniEngineApi* api = MiniEngineBinder::mini();
        WebView* view = openTab(Mini);
        MiniWebView engine = lastEngineView();
        api->ymini_set_media_volume(engine, 0.5f);
        // An unmute with no mute before it leaves the volume alone; a second mute keeps the one to restore.
        QList<float> volumes;
        for (bool muted : { false, true, true, false }) {
            view->setMuted(muted);
            QCOMPARE(view->isMuted(), muted);
            volumes << api->ymini_get_media_volume(engine);
        }
        QCOMPARE(volumes, (QList<float> { 0.5f, 0.0f, 0.0f, 0.5f }));
    }

    void actionState_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("steps"); // a, b: load that page; <, >: back, forward
        QTest::addColumn<QList<bool>>("enabled"); // actions -1 to 4
        QTest::newRow("mini fresh") << Mini << "" << QList<bool> { true, false, false, true, true, true };
        QTest::newRow("mini two pages") << Mini << "ab" << QList<bool> { true, false, true, true, true, true };
        QTest::newRow("mini back") << Mini << "ab<" << QList<bool> { true, true, false, true, true, true };
        QTest::newRow("mini forward") << Mini << "ab<>" << QList<bool> { true, false, true, true, true, true };
        QTest::newRow("vip fresh") << Vip << "" << QList<bool> { true, true, true, true, true, true };
    }

    void actionState()
    {
        QFETCH(int, mode);
        QFETCH(QString, steps);
        QFETCH(QList<bool>, enabled);
        WebView* view = openTab(mode);
        for (const QChar step : steps) {
            if (step == '<' || step == '>')
                step == '<' ? view->back() : view->forward();
            else
                view->setUrl(served(QString("/") + step));
            QTRY_VERIFY(tabs->tabText(0).startsWith(step == 'a' || step == '<' ? "A page" : "B page"));
        }
        QList<bool> seen;
        for (int action = -1; action <= 4; ++action)
            seen << view->isActionEnabled(action);
        QCOMPARE(seen, enabled);
    }

    void cleanup() { runner.reset(), QTest::qWait(50); }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    YConfiger::instance()->setValue("MiniEngine/Library", QStringLiteral(STANDIN_ENGINE));
    YConfiger::instance()->setValue("MiniEngine/VipLibrary", QStringLiteral(STANDIN_ENGINE));
    runHooks(startupHooks());
    YUILIB::initialise();
    tst_MiniView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_miniview.moc"
