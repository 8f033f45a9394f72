#include "HookLists.h"
#include "LocalHttpServer.h"
#include "PromptDriver.h"
#include "TabWidget.h"
#include "YEngineView.h"
#include "YWebView_Qt.h"
#include "UiLibSetup.h"

#include <QApplication>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEngineProfile>
#include <QtTest>

Q_DECLARE_METATYPE(WebView*)

namespace {

QWebEnginePage* pageOf(WebView* view)
{
    return static_cast<YWebView_Qt*>(view)->engine()->page();
}

// Top-level widgets that showed up besides the tab widget: prompts.
QWidgetList visiblePrompts(const QWidget* tabs)
{
    QWidgetList prompts;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget != tabs && widget->isVisible())
            prompts.append(widget);
    }
    return prompts;
}

const QByteArray rightCredentials = "Basic " + QByteArray("user:s3cret").toBase64();
const QByteArray rightProxyCredentials = "Basic " + QByteArray("proxyuser:pr0xy").toBase64();

LocalHttpServer::Response unauthorised(int status, const QByteArray& challengeHeader, const QByteArray& realm)
{
    LocalHttpServer::Response response =
        LocalHttpServer::Response::html("<html><head><title>Unauthorised</title></head><body>no</body></html>");
    response.status = status;
    return response.header(challengeHeader, "Basic realm=\"" + realm + "\"");
}

LocalHttpServer::Response protectedPage(const LocalHttpServer::Request& request)
{
    if (request.headers.value("authorization") == rightCredentials)
        return LocalHttpServer::Response::html("<html><head><title>Welcome</title></head><body>in</body></html>");
    return unauthorised(401, "WWW-Authenticate", "<b>Private</b> area");
}

// The proxy: only requests for the made-up host come here with an absolute target.
LocalHttpServer::Response proxiedPage(const LocalHttpServer::Request& request)
{
    if (request.headers.value("proxy-authorization") == rightProxyCredentials)
        return LocalHttpServer::Response::html("<html><head><title>Proxied</title></head><body>via</body></html>");
    return unauthorised(407, "Proxy-Authenticate", "proxy");
}

int authorisedRequests(const LocalHttpServer& server, const QByteArray& path, const QByteArray& header,
                       const QByteArray& credentials)
{
    int n = 0;
    for (const LocalHttpServer::Request& request : server.requests())
        n += request.path == path && request.headers.value(header) == credentials ? 1 : 0;
    return n;
}

} // namespace

class WebPageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void selfSignedHttps_data();
    void selfSignedHttps();
    void geolocationGranted();
    void serverAuthentication_data();
    void serverAuthentication();
    void proxyAuthentication_data();
    void proxyAuthentication();
    void protocolHandler_data();
    void protocolHandler();

private:
    bool load(WebView* view, const QUrl& url);

    LocalHttpServer server;
    LocalHttpServer proxy;
    QTemporaryDir certificateDir;
    QSslCertificate certificate;
    QSslKey key;
    TabWidget* tabs = nullptr;
    WebView* view = nullptr;
};

void WebPageTest::initTestCase()
{
    qRegisterMetaType<WebView*>();
    qRegisterMetaType<QWebEnginePage::Feature>();
    QVERIFY(LocalHttpServer::makeSelfSigned(certificateDir.path(), &certificate, &key));
    QVERIFY(server.start());
    // Loopback addresses bypass the proxy; only the made-up host goes through it.
    QVERIFY(proxy.start());
    proxy.route("/proxied", proxiedPage);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.serverPort()));
    server.route("/register", [](const LocalHttpServer::Request& request) {
        return LocalHttpServer::Response::html("<html><head><title>register</title></head><body><script>"
                                               "navigator.registerProtocolHandler('" + request.query
                                               + "', '/handler?u=%s', 'YBR');</script></body></html>");
    });
    server.servePage("/handler", "<html><head><title>handled</title></head><body>handled</body></html>");
    server.servePage("/geo",
                     "<html><head><title>waiting</title></head><body><script>"
                     "navigator.geolocation.getCurrentPosition("
                     "  function(p) { document.title = 'position'; },"
                     "  function(e) { document.title = 'error ' + e.code; }, { timeout: 5000 });"
                     "</script></body></html>");
}

void WebPageTest::init()
{
    tabs = new TabWidget;
    tabs->setPageSize(QSize(800, 600));
    tabs->resize(800, 600);
    tabs->move(-99999, -99999);
    tabs->show();
    view = tabs->createTab();
}

void WebPageTest::cleanup()
{
    delete tabs;
    tabs = nullptr;
}

bool WebPageTest::load(WebView* view, const QUrl& url)
{
    QSignalSpy finished(tabs, &TabWidget::loadFinished);
    view->setUrl(url.toString());
    return finished.wait(20000) && finished.last().at(0).toBool();
}

void WebPageTest::selfSignedHttps_data()
{
    QTest::addColumn<bool>("askForClientCertificate");
    QTest::newRow("server certificate only") << false;
    QTest::newRow("server asks for a client certificate") << true;
}

void WebPageTest::selfSignedHttps()
{
    QFETCH(bool, askForClientCertificate);
    LocalHttpServer secure;
    secure.setAskForClientCertificate(askForClientCertificate);
    QVERIFY(secure.startTls(certificate, key));
    secure.servePage("/secure", "<html><head><title>Secure</title></head><body>secure</body></html>");

    QVERIFY(load(view, secure.url("/secure")));
    QTRY_COMPARE(view->title(), QString("Secure"));
    QCOMPARE(view->url(), secure.url("/secure").toString());
    QCOMPARE(secure.requestCount("/secure"), 1);
    QCOMPARE(visiblePrompts(tabs), QWidgetList());
}

void WebPageTest::geolocationGranted()
{
    QSignalSpy asked(pageOf(view), &QWebEnginePage::featurePermissionRequested);
    QVERIFY(load(view, server.url("/geo")));
    QTRY_VERIFY_WITH_TIMEOUT(view->title() != "waiting", 15000);
    QCOMPARE(asked.count(), 1);
    QCOMPARE(asked.at(0).at(0).toUrl(), server.url("/"));
    QCOMPARE(asked.at(0).at(1).value<QWebEnginePage::Feature>(), QWebEnginePage::Geolocation);
    // Granted, but this machine has no position to give: anything but "denied" (1).
    QVERIFY2(view->title() == "position" || view->title() == "error 2" || view->title() == "error 3",
             qPrintable(view->title()));
    QCOMPARE(visiblePrompts(tabs), QWidgetList());
}

void WebPageTest::serverAuthentication_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("title");
    QTest::newRow("ok with the right user and password") << "ok" << "Welcome";
    QTest::newRow("ok with a wrong password, then cancel") << "wrong" << "Unauthorised";
    QTest::newRow("cancel") << "cancel" << "Unauthorised";
    QTest::newRow("title-bar close") << "close" << "Unauthorised";
}

void WebPageTest::serverAuthentication()
{
    QFETCH(QString, how);
    QFETCH(QString, title);
    int answers = 0;
    PromptDriver driver([&](YFrameDialog* dialog) {
        ++answers;
        if (how == "ok")
            PromptDriver::fillAndClick("user", "s3cret", YFrameDialog::Ok)(dialog);
        else if (how == "wrong" && answers == 1)
            PromptDriver::fillAndClick("user", "guess", YFrameDialog::Ok)(dialog);
        else if (how == "close")
            PromptDriver::closeByTitleBar()(dialog);
        else
            PromptDriver::click(YFrameDialog::Cancel)(dialog);
    });

    // A fresh origin for every row: the engine keeps accepted credentials per origin.
    LocalHttpServer origin;
    QVERIFY(origin.start());
    origin.route("/protected/a&b", protectedPage);
    view->setUrl(origin.url("/protected/a&b?q=<x>").toString());
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), title, 20000);

    const QString shownUrl = QString("http://127.0.0.1:%1/protected/a&amp;b?q=%3Cx%3E").arg(origin.serverPort());
    const QString intro = QString("在%1输入<b>Private</b> area的用户名和密码").arg(shownUrl);
    const int prompts = how == "wrong" ? 2 : 1;
    QCOMPARE(driver.titles, QVector<QString>(prompts, "要求身份验证").toList());
    QCOMPARE(driver.texts, QVector<QString>(prompts, intro).toList());
    QCOMPARE(authorisedRequests(origin, "/protected/a&b", "authorization", rightCredentials), how == "ok" ? 1 : 0);
}

void WebPageTest::proxyAuthentication_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("title");
    // The engine reads the proxy once and keeps accepted proxy credentials:
    // the accepting row comes last.
    QTest::newRow("cancel") << "cancel" << "Unauthorised";
    QTest::newRow("title-bar close") << "close" << "Unauthorised";
    QTest::newRow("ok with the right user and password") << "ok" << "Proxied";
}

void WebPageTest::proxyAuthentication()
{
    QFETCH(QString, how);
    QFETCH(QString, title);
    PromptDriver driver([&](YFrameDialog* dialog) {
        if (how == "ok")
            PromptDriver::fillAndClick("proxyuser", "pr0xy", YFrameDialog::Ok)(dialog);
        else if (how == "close")
            PromptDriver::closeByTitleBar()(dialog);
        else
            PromptDriver::click(YFrameDialog::Cancel)(dialog);
    });

    const int accepted = authorisedRequests(proxy, "/proxied", "proxy-authorization", rightProxyCredentials);
    QSignalSpy finished(tabs, &TabWidget::loadFinished);

    view->setUrl("http://proxied.test/proxied");
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.last().at(0).toBool(), how == "ok");
    QCOMPARE(driver.titles, QStringList { "要求代理身份验证" });
    QCOMPARE(driver.texts, QStringList { "使用以下参数连接到代理\"127.0.0.1\"：" });
    QCOMPARE(view->title(), title);
    QCOMPARE(authorisedRequests(proxy, "/proxied", "proxy-authorization", rightProxyCredentials) - accepted,
             how == "ok" ? 1 : 0);
}

void WebPageTest::protocolHandler_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes accepts") << true;
    QTest::newRow("no rejects") << false;
}

void WebPageTest::protocolHandler()
{
    QFETCH(bool, yes);
    PromptDriver driver(PromptDriver::click(yes ? YFrameDialog::Yes : YFrameDialog::No));
    const int handled = server.requestCount("/handler");

    // A scheme of its own for every row: an accepted handler stays registered.
    const QString scheme = yes ? "web+ybryes" : "web+ybrno";
    QVERIFY(load(view, server.url("/register?" + scheme)));
    QTRY_COMPARE_WITH_TIMEOUT(driver.titles, QStringList { "许可请求" }, 10000);
    QCOMPARE(driver.texts, QStringList { "允许127.0.0.1打开所有" + scheme + "链接？" });

    pageOf(view)->runJavaScript("location.href = '" + scheme + ":hello'");
    if (yes) {
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount("/handler"), handled + 1, 10000);
        QCOMPARE(server.requests().last().query, QByteArray("u=web%2Bybryes%3Ahello"));
    } else {
        QTest::qWait(1500);
        QCOMPARE(server.requestCount("/handler"), handled);
    }
}

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    runHooks(startupHooks());
    YUILIB::initialise();
    WebPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webpage.moc"
