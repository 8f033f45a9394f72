#include "HookLists.h"
#include "LocalHttpServer.h"
#include "TabWidget.h"
#include "WebPage.h"
#include "YEngineView.h"
#include "YWebView_Qt.h"

#include <QApplication>
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

} // namespace

class WebPageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageOfEveryView();
    void selfSignedHttps_data();
    void selfSignedHttps();
    void geolocationGranted();

private:
    bool load(WebView* view, const QUrl& url);

    LocalHttpServer server;
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

void WebPageTest::pageOfEveryView()
{
    auto* page = qobject_cast<WebPage*>(pageOf(view));
    QVERIFY(page);
    QCOMPARE(page->parent(), static_cast<YWebView_Qt*>(view)->engine());
    QCOMPARE(page->profile(), QWebEngineProfile::defaultProfile());
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

int main(int argc, char* argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    runHooks(startupHooks());
    WebPageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webpage.moc"
