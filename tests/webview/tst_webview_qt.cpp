#include "HookLists.h"
#include "LocalHttpServer.h"
#include "TabWidget.h"
#include "UiLibSetup.h"
#include "YEngineView.h"
#include "YTipDlg.h"
#include "YConfiger.h"
#include "YWebView_Qt.h"

#include <QNetworkProxy>
#include <QWebEngineSettings>
#include <QtTest>
#include <QtWidgets>

#include <signal.h>

namespace {

const QRgb blue = qRgb(0x33, 0x66, 0xcc), red = qRgb(0xff, 0, 0), green = qRgb(0, 0xff, 0);

YEngineView* engineOf(WebView* view)
{
    return static_cast<YWebView_Qt*>(view)->engine();
}

// A page titled title for the right credentials in header; else status with a Basic challenge for realm.
LocalHttpServer::Handler guarded(const QByteArray& header, const QByteArray& user, int status, const QByteArray& realm,
                                 const QByteArray& title)
{
    return [=](const LocalHttpServer::Request& request) {
        if (request.headers.value(header) == "Basic " + user.toBase64())
            return LocalHttpServer::Response::html("<title>" + title + "</title>");
        auto response = LocalHttpServer::Response::html("<title>Unauthorised</title>");
        response.status = status;
        return response.header(status == 407 ? "Proxy-Authenticate" : "WWW-Authenticate", "Basic realm=\"" + realm + '"');
    };
}

// Answers each dialog as a user would and records its title and text. Answers, the last repeating: a button
// name, "close" for the title bar's, "Ok <user> <password>" for a login, or a key (Return, Escape).
class PromptDriver
{
public:
    explicit PromptDriver(const QStringList& answers)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, answers] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QWidgetList shown = { box, input };
            for (QWidget* window : QApplication::topLevelWidgets())
                shown << window->findChild<YFrameDialog*>();
            for (QWidget* widget : shown) {
                if (!widget || !widget->isVisible() || handled.contains(widget))
                    continue;
                handled.append(widget);
                const QStringList words = answers.value(qMin(handled.size(), answers.size()) - 1).split(' ');
                if (widget == box || widget == input) {
                    prompts << widget->windowTitle() << (box ? box->text() : input->labelText());
                    if (input)
                        prompts << input->textValue();
                    QWidget* focus = QApplication::focusWidget();
                    return QTest::keyClick(focus ? focus : widget, words[0] == "Return" ? Qt::Key_Return : Qt::Key_Escape);
                }
                auto* dialog = static_cast<YFrameDialog*>(widget);
                auto* tip = qobject_cast<YTipDlg*>(dialog);
                auto* info = dialog->findChild<QLabel*>("m_infoLabel");
                prompts << dialog->windowTitle() << (tip ? tip->text() : info ? info->text() : QString());
                if (words.size() == 3) {
                    QTest::keyClicks(dialog->findChild<QLineEdit*>("m_userNameLineEdit"), words.at(1));
                    QTest::keyClicks(dialog->findChild<QLineEdit*>("m_passwordLineEdit"), words.at(2));
                }
                const int button = QMetaEnum::fromType<YFrameDialog::StandardButtons>().keyToValue(qPrintable(words[0]));
                return QTest::mouseClick(button > 0 ? dialog->button(YFrameDialog::StandardButton(button))
                                                    : dialog->findChild<QAbstractButton*>("close"), Qt::LeftButton);
            }
        });
        timer.start(20);
    }

    QStringList prompts; // title, then text, of each

private:
    QTimer timer;
    QList<QPointer<QWidget>> handled;
};

} // namespace

class WebViewQtTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        runHooks(startupHooks());
        YUILIB::initialise();
        for (QWebEngineSettings* settings : { QWebEngineSettings::defaultSettings(), QWebEngineSettings::globalSettings() })
            QVERIFY(settings->testAttribute(QWebEngineSettings::PluginsEnabled));
        // Tabs of this mode cannot be made: a new window gets a tab only of the asking view's own engine.
        WebView::registerFactory(WebView::MiniEngine, [](TabWidget*) -> WebView* { return nullptr; });
        QVERIFY(server.start());
        // Blue, a 10x10 green square top left and a red one bottom right of the viewport: both prove the frame size.
        server.servePage("/corners", "<body style='margin:0;background:#3366cc'><div style='position:fixed;left:0;top:0;"
                                     "width:10px;height:10px;background:#0f0'></div><div style='position:fixed;right:0;"
                                     "bottom:0;width:10px;height:10px;background:#f00'></div></body>");
        server.servePage("/links", "<title>Links</title><body style='margin:0'><a target=_blank href='/second' "
                                   "style='display:block;height:100px'>blank</a><a href='/second' "
                                   "style='display:block;height:100px'>plain</a><div style='height:300px'>text</div>");
        server.servePage("/titled", "<title>Hello Title</title>hello");
        server.servePage("/second", "<title>Second Page</title><link rel=icon href='/red.png'>second");
        server.serveContent("/red.png", "image/png", QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAIAAACQkW"
                            "g2AAAAFklEQVR42mP4z8BAEmIY1TCqYfhqAACQ+f8B8u7oVwAAAABJRU5ErkJggg=="));
        server.route("/register", [](const LocalHttpServer::Request& request) {
            return LocalHttpServer::Response::html("<title>register</title><script>navigator.registerProtocolHandler('"
                                                   + request.query + "', '/titled?u=%s', 'YBR');</script>");
        });
        server.servePage("/moving", "<body style='margin:0'><div style='width:50px;height:50px;background:#0f0;"
                                    "animation:m 1s linear infinite'></div><style>@keyframes m{to{margin-left:300px}}</style>");
        server.servePage("/geo", "<title>waiting</title><script>navigator.geolocation.getCurrentPosition("
                                 "function(p) { document.title = 'position'; },"
                                 "function(e) { document.title = 'error ' + e.code; }, { timeout: 5000 });</script>");
        QSslCertificate certificate;
        QSslKey key;
        QVERIFY(LocalHttpServer::makeSelfSigned(certificateDir.path(), &certificate, &key));
        secureAsking.setAskForClientCertificate(true);
        for (LocalHttpServer* tls : { &secure, &secureAsking }) {
            QVERIFY(tls->startTls(certificate, key));
            tls->servePage("/secure", "<title>Secure</title>");
        }
        // Loopback addresses bypass the proxy; only the made-up host goes through it.
        QVERIFY(proxy.start());
        proxy.route("/proxied", guarded("proxy-authorization", "proxyuser:pr0xy", 407, "proxy", "Proxied"));
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.serverPort()));
    }

    void init()
    {
        // Parked off screen and smaller than the page, as the runner keeps it.
        tabs = new TabWidget;
        tabs->setPageSize(QSize(800, 600));
        tabs->resize(400, 300);
        tabs->move(-99999, -99999);
        tabs->show();
        view = tabs->createTab();
        QVERIFY(qobject_cast<YWebView_Qt*>(view));
    }

    void cleanup() { delete tabs; }

    // At every page size, whatever the widget's own size: the corners prove the frame's.
    void renderTo()
    {
        QVERIFY(load(server.url("/corners")));
        for (const QSize& size : { QSize(800, 600), QSize(1920, 1080), QSize(640, 480) }) {
            tabs->setPageSize(size);
            const int w = size.width(), h = size.height();
            QByteArray buffer(w * h * 4 + 256, '\xEE');
            const auto at = [&](int x, int y) { return reinterpret_cast<const QRgb*>(buffer.constData())[y * w + x]; };
            QTRY_VERIFY_WITH_TIMEOUT((view->renderTo(reinterpret_cast<uchar*>(buffer.data())),
                                      at(w - 1, h - 1) == red && at(w - 11, h - 11) == blue), 10000);
            QCOMPARE(QList<QRgb>({ at(0, 0), at(9, 9), at(10, 10), at(w / 2, h / 2), at(w - 10, h - 10), at(w - 1, 0),
                                   at(0, h - 1) }),
                     QList<QRgb>({ green, green, blue, blue, red, blue, blue }));
            QCOMPARE(buffer.mid(w * h * 4), QByteArray(256, '\xEE'));
        }
        QCOMPARE(tabs->size(), QSize(400, 300));
    }

    void reports_data()
    {
        QTest::addColumn<bool>("current");
        QTest::newRow("current tab") << true;
        QTest::newRow("background tab") << false;
    }

    // Title, URL, icon, progress and actions of a second page; a background tab changes its own tab only.
    void reports()
    {
        QFETCH(bool, current);
        QVERIFY(load(server.url("/titled")));
        if (!current)
            tabs->createTab();
        QSignalSpy titles(tabs, &TabWidget::titleChanged), urls(tabs, &TabWidget::urlChanged);
        QSignalSpy icons(tabs, &TabWidget::favIconChanged), progress(tabs, &TabWidget::loadProgress);
        QSignalSpy actions(tabs, &TabWidget::actionEnableChanged);

        QVERIFY(load(server.url("/second")));
        QTRY_VERIFY(!tabs->tabIcon(0).isNull() && tabs->tabIcon(0).pixmap(16, 16).toImage().pixel(8, 8) == red);
        QCOMPARE(tabs->tabText(0), QString("Second Page"));
        QCOMPARE(tabs->tabToolTip(0), QString("Second Page"));
        if (!current) {
            QCOMPARE(titles.count() + urls.count() + icons.count() + progress.count() + actions.count(), 0);
            QCOMPARE(tabs->tabText(1), QString("新建标签"));
            return;
        }
        QCOMPARE(titles.last().at(0).toString(), QString("Second Page"));
        QCOMPARE(urls.count(), 1);
        QCOMPARE(urls.at(0).at(0).toUrl(), server.url("/second"));
        QCOMPARE(progress.last().at(0).toInt(), 100);
        QCOMPARE(icons.last().at(0).value<QIcon>().pixmap(16, 16).toImage().pixel(8, 8), red);
        QTRY_VERIFY(actions.contains(QVariantList { int(WebView::BackAction), true }));
        QVERIFY(view->isActionEnabled(WebView::BackAction) && view->isActionEnabled(WebView::ReloadAction));
        QVERIFY(!view->isActionEnabled(WebView::ForwardAction) && !view->isActionEnabled(4) && !view->isActionEnabled(-1));
        QCOMPARE(view->url(), server.url("/second").toString());
        tabs->back();
        QTRY_COMPARE(view->title(), QString("Hello Title"));
        QTRY_VERIFY(actions.contains(QVariantList { int(WebView::ForwardAction), true }));
    }

    void frameTimer_data()
    {
        QTest::addColumn<int>("interval"); // FrameInterval; tst_framesettings checks its parsing
        QTest::newRow("16 ms") << 16;
        QTest::newRow("one second") << 1000;
    }

    // At the configured interval, and only while the view is a tab.
    void frameTimer()
    {
        QFETCH(int, interval);
        YConfiger::instance()->setValue("FrameInterval", QString::number(interval));
        auto* made = static_cast<YWebView_Qt*>(tabs->createTab());
        YConfiger::instance()->setValue("FrameInterval", QVariant());
        QCOMPARE(made->frameInterval(), interval);
        QSignalSpy frames(tabs, &TabWidget::totalUpdate);
        QVERIFY(frames.wait(interval + 1000));
        tabs->clear(); // the views live on, but are no tabs any more
        frames.clear();
        QTest::qWait(interval + 300);
        QCOMPARE(frames.count(), 0);
    }

    void unchangedFrames_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("skip");
        QTest::newRow("every tick") << "SkipUnchangedFrames" << false;
        QTest::newRow("changed frames only") << "SkipUnchangedFrames" << true;
        QTest::newRow("frames on paint") << "FrameOnPaint" << true;
    }

    // Skipping, a still page gives no frames; a change still gives the frame that shows it.
    void unchangedFrames()
    {
        QFETCH(QString, key);
        QFETCH(bool, skip);
        YConfiger::instance()->setValue(key, skip);
        view = tabs->createTab();
        YConfiger::instance()->setValue(key, QVariant());
        const int w = tabs->pageSize().width(), h = tabs->pageSize().height();
        QByteArray frame(w * h * 4, 0);
        const auto centre = [&] { return reinterpret_cast<const QRgb*>(frame.constData())[h / 2 * w + w / 2]; };
        QSignalSpy frames(tabs, &TabWidget::totalUpdate);
        const auto taking = connect(tabs, &TabWidget::totalUpdate, [&] { view->renderTo(reinterpret_cast<uchar*>(frame.data())); });
        const auto stopTaking = qScopeGuard([taking] { disconnect(taking); });
        QVERIFY(load(server.url("/corners")));
        QTRY_COMPARE_WITH_TIMEOUT(centre(), blue, 10000);
        QTest::qWait(1000);
        frames.clear();
        QTest::qWait(600);
        QCOMPARE(frames.isEmpty(), skip);
        engineOf(view)->page()->runJavaScript("document.body.style.background = 'red'");
        QTRY_COMPARE_WITH_TIMEOUT(centre(), red, 10000);
    }

    // On paint, a page that paints all the time still gets a frame at most every three quarters of the interval.
    void framesOnPaintPaced()
    {
        YConfiger::instance()->setValue("FrameOnPaint", true);
        YConfiger::instance()->setValue("FrameInterval", 1000);
        view = tabs->createTab();
        YConfiger::instance()->setValue("FrameOnPaint", QVariant());
        YConfiger::instance()->setValue("FrameInterval", QVariant());
        QVERIFY(load(server.url("/moving")));
        QSignalSpy frames(tabs, &TabWidget::totalUpdate);
        QTest::qWait(2000);
        QVERIFY2(frames.count() >= 2 && frames.count() <= 3, QByteArray::number(frames.count()));
    }

    void newWindow_data()
    {
        QTest::addColumn<QString>("script"); // else a left click
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QPoint>("pos");
        QTest::newRow("target=_blank link") << "" << 0 << QPoint(50, 50);
        QTest::newRow("window.open") << "window.open('/second')" << 0 << QPoint();
        QTest::newRow("window.open popup") << "window.open('/second', 'popup', 'width=300,height=200')" << 0 << QPoint();
        QTest::newRow("shift click") << "" << int(Qt::ShiftModifier) << QPoint(50, 150);
        QTest::newRow("ctrl click (background tab)") << "" << int(Qt::ControlModifier) << QPoint(50, 150);
    }

    void newWindow()
    {
        QFETCH(QString, script);
        QFETCH(int, modifiers);
        QFETCH(QPoint, pos);
        tabs->setEngineMode(WebView::MiniEngine);
        QVERIFY(load(server.url("/links")));
        if (script.isEmpty())
            QTest::mouseClick(engineOf(view)->focusProxy(), Qt::LeftButton, Qt::KeyboardModifiers(modifiers), pos);
        else
            engineOf(view)->page()->runJavaScript(script);
        QTRY_COMPARE_WITH_TIMEOUT(tabs->count(), 2, 10000);
        QCOMPARE(tabs->currentIndex(), 1);
        QVERIFY(qobject_cast<YWebView_Qt*>(tabs->currentView()));
        QTRY_COMPARE_WITH_TIMEOUT(tabs->tabText(1), QString("Second Page"), 10000);
        QCOMPARE(tabs->currentView()->url(), server.url("/second").toString());
        QCOMPARE(view->url(), server.url("/links").toString());
    }

    void contextMenu_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("on a link") << QPoint(50, 150) << QStringList { "打开链接", "复制链接", "-", "后退", "前进", "刷新" };
        QTest::newRow("on text") << QPoint(50, 250) << QStringList { "后退", "前进", "刷新" };
    }

    void contextMenu()
    {
        QFETCH(QPoint, pos);
        QFETCH(QStringList, entries);
        QVERIFY(load(server.url("/links")));
        QTest::mouseClick(engineOf(view)->focusProxy(), Qt::RightButton, {}, pos);
        QPointer<QMenu> menu;
        QTRY_VERIFY_WITH_TIMEOUT((menu = engineOf(view)->findChild<QMenu*>()) && menu->isVisible(), 10000);
        QStringList seen;
        for (const QAction* action : menu->actions())
            seen.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(seen, entries);
        QCOMPARE(menu->actions().last(), engineOf(view)->pageAction(QWebEnginePage::Reload));
        menu->close();
        QTRY_VERIFY(!menu);
    }

    void renderProcessPrompt_data()
    {
        QTest::addColumn<int>("status"); // -1: the render process is killed for real
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("answer");
        QTest::newRow("killed, No leaves the page") << -1 << 9 << "渲染过程被杀死" << "No";
        QTest::newRow("killed, title-bar close leaves the page") << -1 << 9 << "渲染过程被杀死" << "close";
        QTest::newRow("killed, Yes reloads") << -1 << 9 << "渲染过程被杀死" << "Yes";
        QTest::newRow("normal") << 0 << 0 << "渲染过程正常退出" << "No";
        QTest::newRow("abnormal") << 1 << 1 << "渲染过程异常退出" << "No";
        QTest::newRow("crashed, code 5") << 2 << 5 << "渲染过程崩溃了" << "No";
        QTest::newRow("unknown status") << 7 << -11 << "" << "No";
    }

    void renderProcessPrompt()
    {
        QFETCH(int, status);
        QFETCH(int, exitCode);
        QFETCH(QString, title);
        QFETCH(QString, answer);
        QVERIFY(load(server.url("/titled")));
        QWebEnginePage* page = engineOf(view)->page();
        const qint64 pid = page->renderProcessPid();
        QVERIFY(pid > 0);
        const int served = server.requestCount("/titled");
        PromptDriver driver({ answer });
        QSignalSpy finished(tabs, &TabWidget::loadFinished);
        if (status < 0)
            QCOMPARE(::kill(pid_t(pid), SIGKILL), 0);
        else
            emit engineOf(view)->renderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus(status), exitCode);
        QTRY_COMPARE_WITH_TIMEOUT(driver.prompts, QStringList({ title, QString("使用代码退出渲染过程：%1\n"
                                                                               "你想重新加载页面吗？").arg(exitCode) }), 10000);
        if (answer == "Yes") {
            QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/titled"), served + 1, 10000);
            QTRY_VERIFY(!finished.isEmpty() && finished.last().at(0).toBool());
            QTRY_VERIFY(page->renderProcessPid() > 0 && page->renderProcessPid() != pid);
        } else {
            QTest::qWait(500);
            QCOMPARE(server.requestCount("/titled"), served);
            QCOMPARE(view->url(), server.url("/titled").toString());
        }
    }

    void pagePrompts_data()
    {
        QTest::addColumn<QString>("url"); // %1: the port of a fresh origin; the engine keeps accepted logins per origin
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("prompts"); // title, then text, of each
        QTest::addColumn<QStringList>("titles");  // of the page in the end
        const QString url = "http://127.0.0.1:%1/protected/a&b?q=<x>", proxied = "http://proxied.test/proxied";
        const QStringList login = { "要求身份验证", "在http://127.0.0.1:%1/protected/a&amp;b?q=%3Cx%3E输入<b>Private</b> "
                                                    "area的用户名和密码" };
        const QStringList proxyLogin = { "要求代理身份验证", "使用以下参数连接到代理\"127.0.0.1\"：" };
        const QStringList refused = { "Unauthorised" };
        QTest::newRow("login, Ok") << url << QStringList { "Ok user s3cret" } << login << QStringList { "Welcome" };
        QTest::newRow("login, Ok with a wrong password, then Cancel") << url << QStringList { "Ok user guess", "Cancel" }
                                                                      << login + login << refused;
        QTest::newRow("login, Cancel") << url << QStringList { "Cancel" } << login << refused;
        QTest::newRow("login, title-bar close") << url << QStringList { "close" } << login << refused;
        // The engine reads the proxy once and keeps accepted proxy logins: the accepting row comes last.
        QTest::newRow("proxy, Cancel") << proxied << QStringList { "Cancel" } << proxyLogin << refused;
        QTest::newRow("proxy, title-bar close") << proxied << QStringList { "close" } << proxyLogin << refused;
        QTest::newRow("proxy, Ok") << proxied << QStringList { "Ok proxyuser pr0xy" } << proxyLogin
                                   << QStringList { "Proxied" };
        const QStringList none, close = { "close" };
        QTest::newRow("self-signed https") << secure.url("/secure").toString() << close << none << QStringList { "Secure" };
        QTest::newRow("self-signed https asking for a client certificate") << secureAsking.url("/secure").toString()
                                                                           << close << none << QStringList { "Secure" };
        // Granted, but this machine has no position to give: anything but "denied" (1).
        QTest::newRow("geolocation") << server.url("/geo").toString() << close << none
                                     << QStringList { "position", "error 2", "error 3" };
        // The engine's own dialogs, word for word, answered from the keyboard: what they return becomes the page's title.
        const QString page = "http://127.0.0.1:%1/", confirm = "Javascript Confirm - " + page + "confirm";
        const QStringList alert = { "Javascript Alert - " + page + "alert", "&lt;b&gt;hi&lt;/b&gt;" };
        const QStringList prompt = { "Javascript Prompt - " + page + "prompt", "name?", "a&amp;b" };
        QTest::newRow("alert") << page + "alert" << QStringList { "Return" } << alert << QStringList { "undefined" };
        QTest::newRow("confirm, Return") << page + "confirm" << QStringList { "Return" } << QStringList { confirm, "sure?" }
                                         << QStringList { "true" };
        QTest::newRow("confirm, Escape") << page + "confirm" << QStringList { "Escape" } << QStringList { confirm, "sure?" }
                                         << QStringList { "false" };
        QTest::newRow("prompt, Return") << page + "prompt" << QStringList { "Return" } << prompt << QStringList { "a&amp;b" };
        QTest::newRow("prompt, Escape") << page + "prompt" << QStringList { "Escape" } << prompt << QStringList { "null" };
    }

    void pagePrompts()
    {
        QFETCH(QString, url);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, prompts);
        QFETCH(QStringList, titles);
        PromptDriver driver(answers);
        LocalHttpServer origin;
        QVERIFY(origin.start());
        origin.route("/protected/a&b", guarded("authorization", "user:s3cret", 401, "<b>Private</b> area", "Welcome"));
        for (const QByteArray& call : { "alert('<b>hi</b>')", "confirm('sure?')", "prompt('name?', 'a&b')" })
            origin.servePage("/" + call.left(call.indexOf('(')), "<script>document.title = String(" + call + ")</script>");
        const QString port = QString::number(origin.serverPort());
        view->setUrl(url.replace("%1", port));
        QTRY_VERIFY_WITH_TIMEOUT(titles.contains(view->title()), 20000);
        QCOMPARE(driver.prompts, prompts.replaceInStrings("%1", port));
    }

    void protocolHandler_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("Yes accepts") << "Yes";
        QTest::newRow("No rejects") << "No";
    }

    void protocolHandler()
    {
        QFETCH(QString, answer);
        PromptDriver driver({ answer });
        const int handled = server.requestCount("/titled");
        // A scheme of its own for every row: an accepted handler stays registered.
        const QString scheme = "web+ybr" + answer.toLower();
        QVERIFY(load(server.url("/register?" + scheme)));
        QTRY_COMPARE_WITH_TIMEOUT(driver.prompts, QStringList({ "许可请求", "允许127.0.0.1打开所有" + scheme + "链接？" }),
                                  10000);
        engineOf(view)->page()->runJavaScript("location.href = '" + scheme + ":hello'");
        if (answer == "Yes") {
            QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/titled"), handled + 1, 10000);
            QCOMPARE(server.requests().last().query, QByteArray("u=web%2Bybryes%3Ahello"));
        } else {
            QTest::qWait(1500);
            QCOMPARE(server.requestCount("/titled"), handled);
        }
    }

private:
    bool load(const QUrl& url)
    {
        QSignalSpy finished(tabs, &TabWidget::loadFinished);
        view->setUrl(url.toString());
        return finished.wait(20000) && finished.last().at(0).toBool();
    }

    LocalHttpServer server, proxy, secure, secureAsking;
    QTemporaryDir certificateDir;
    TabWidget* tabs = nullptr;
    WebView* view = nullptr;
};

QTEST_MAIN(WebViewQtTest)
#include "tst_webview_qt.moc"
