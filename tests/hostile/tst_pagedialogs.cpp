#include "HostileFixture.h"

#include "LocalHttpServer.h"

static QRect windowGeometry(const QString& id)
{
    QProcess query;
    query.start("xdotool", { "getwindowgeometry", "--shell", id });
    query.waitForFinished(5000);
    QMap<QString, int> values;
    for (const QString& line : QString::fromLatin1(query.readAllStandardOutput()).split('\n'))
        values.insert(line.section('=', 0, 0), line.section('=', 1).toInt());
    return QRect(values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT"));
}

class tst_PageDialogs : public QObject
{
    Q_OBJECT

private slots:
    void hostMessagesWhileDialogOpen_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("page");
        const QString later = "<html><head><title>Asking</title></head><body><script>setTimeout(() => { %1; }, 300);</script></body></html>";
        QTest::newRow("alert") << "alert" << "^Javascript Alert" << later.arg("alert('x')");
        QTest::newRow("confirm") << "confirm" << "^Javascript Confirm" << later.arg("confirm('x')");
        QTest::newRow("prompt") << "prompt" << "^Javascript Prompt" << later.arg("prompt('x')");
        QTest::newRow("credentials") << "credentials" << QString::fromUtf8("^要求身份验证$") << "";
        QTest::newRow("proxy credentials") << "proxy credentials" << QString::fromUtf8("^要求代理身份验证$") << "";
        QTest::newRow("protocol handler") << "protocol handler" << QString::fromUtf8("^许可请求$")
                                          << later.arg("navigator.registerProtocolHandler('web+ybr', location.origin + '/blue.html' + location.search + '&%s', 'ybr')");
        QTest::newRow("render process") << "render process" << QString::fromUtf8("^渲染过程") << "";
    }

    // Parked, nobody answers: every host command still does what it says, and
    // those that navigate or replace the page close the dialog first.
    void hostMessagesWhileDialogOpen()
    {
        QFETCH(QString, kind);
        QFETCH(QString, title);
        QFETCH(QString, page);
        RunnerFixture f;
        // Asks for a login at /auth, and as a proxy for one at /ask.
        LocalHttpServer challenges;
        QVERIFY(challenges.start());
        challenges.route("/auth", [](const LocalHttpServer::Request&) {
            return LocalHttpServer::Response { 401, { { "WWW-Authenticate", "Basic realm=\"runner\"" } }, "denied" };
        });
        challenges.route("/ask", [](const LocalHttpServer::Request&) {
            return LocalHttpServer::Response { 407, { { "Proxy-Authenticate", "Basic realm=\"proxy\"" } }, "denied" };
        });
        QProcessEnvironment env = f.environment();
        // Loopback addresses bypass the proxy; only the made-up host goes through it.
        env.insert("QTWEBENGINE_CHROMIUM_FLAGS", env.value("QTWEBENGINE_CHROMIUM_FLAGS")
                       + QStringLiteral(" --proxy-server=http://127.0.0.1:%1").arg(challenges.serverPort()));
        f.host.setEnvironment(env);
        if (!page.isEmpty())
            f.writePage("asking.html", page.toUtf8());
        QVERIFY(startOn(f, "blue.html"));
        const QString asking = kind == "credentials" ? QStringLiteral("http://127.0.0.1:%1/auth").arg(challenges.serverPort())
            : kind == "proxy credentials"            ? QStringLiteral("http://proxied.test/ask")
                                                     : f.http.urlFor("asking.html");
        // A new address each time: the engine does not ask twice about one refused handler.
        int round = 0;
        auto openDialog = [&] {
            if (kind == "render process") {
                const QString live = f.http.urlFor("blue.html?n=" + QString::number(++round));
                f.host.send(ChangeUrl, live);
                if (!QTest::qWaitFor([&] { return f.host.lastUrl() == live; }, 30000))
                    return false;
                QProcess::execute("kill", QStringList { "-KILL" } + rendererPids(f.host.process().processId()).values());
            } else {
                f.host.send(ChangeUrl, asking + "?n=" + QString::number(++round));
            }
            return QTest::qWaitFor([&] { return !dialogWindow(title).isEmpty(); }, 30000);
        };
        const QString closedLine = QStringLiteral("Page dialog closed :  \"%1\" ").arg(kind);

        QVERIFY(openDialog());
        f.host.send(SetMute, true);
        f.host.send(WholeImage);
        f.host.send(SetMute, false);
        QTest::qWait(500);
        QVERIFY(!dialogWindow(title).isEmpty());

        const QSet<QString> askingRenderers = rendererPids(f.host.process().processId());
        const QString replaced = f.http.urlFor("blue.html?replaced");
        f.host.send(UpdateBrowserParams, f.params({ replaced }));
        QTRY_COMPARE_WITH_TIMEOUT(f.host.lastUrl(), replaced, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(dialogWindow(title).isEmpty(), 10000);
        // The replaced page goes, render process and all.
        QTRY_VERIFY_WITH_TIMEOUT(!rendererPids(f.host.process().processId()).intersects(askingRenderers), 20000);
        QCOMPARE(f.logLines().count(closedLine), 1);

        QVERIFY(openDialog());
        QVERIFY(f.answersChangeUrl(f.http.urlFor("blue.html?changed"), 30000));
        QTRY_VERIFY_WITH_TIMEOUT(dialogWindow(title).isEmpty(), 10000);
        QCOMPARE(f.logLines().count(closedLine), 2);

        QVERIFY(openDialog());
        QSignalSpy settingDone(&f.host, &RunnerHost::settingDone);
        f.host.send(EnterSetting);
        QTRY_VERIFY_WITH_TIMEOUT(QRect(0, 0, 1920, 1080).contains(windowGeometry(dialogWindow(title))), 10000);
        QProcess::execute("xdotool", { "key", "Escape" });
        QTRY_VERIFY_WITH_TIMEOUT(dialogWindow(title).isEmpty(), 10000);
        QCOMPARE(f.logLines().count(closedLine), 2);
        f.host.send(SetVisible, false);
        QTRY_COMPARE_WITH_TIMEOUT(settingDone.size(), 1, 10000);

        QVERIFY(openDialog());
        QVERIFY(f.quit(15000));
    }

    void afterUseInSetting_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("command");
        const QString page = "<html><head><title>Used</title></head><body style=\"margin:0\">%1</body></html>";
        QTest::newRow("leave question") << "leave page" << page.arg("<script>addEventListener('beforeunload', e => {"
                                                                   " e.preventDefault(); e.returnValue = ''; });</script>")
                                        << int(ChangeUrl);
        QTest::newRow("file chooser") << "file chooser"
                                      << page.arg("<input type=\"file\" style=\"position:fixed;left:0;top:0;width:100%;height:100%\">")
                                      << int(UpdateBrowserParams);
    }

    // Questions a page only asks once the user has clicked in it: the user does so
    // in the setting window, the host parks it and moves on to another address.
    void afterUseInSetting()
    {
        QFETCH(QString, kind);
        QFETCH(QString, page);
        QFETCH(int, command);
        RunnerFixture f;
        QVERIFY(startOn(f, "used.html", page.toUtf8()));
        QSignalSpy settingDone(&f.host, &RunnerHost::settingDone);
        f.host.send(EnterSetting);
        QTRY_VERIFY_WITH_TIMEOUT(f.logLines().contains("show "), 10000);
        QTest::qWait(1000);
        // Inside the page of the 960x570 setting window centred on a 1920x1080 screen.
        QProcess::execute("xdotool", { "mousemove", "700", "500", "click", "1" });
        if (kind == "file chooser")
            QTRY_VERIFY_WITH_TIMEOUT(!dialogWindow("^(Open|打开)").isEmpty(), 20000);
        f.host.send(SetVisible, false);
        QTRY_COMPARE_WITH_TIMEOUT(settingDone.size(), 1, 10000);
        const QString next = f.http.urlFor("blue.html?next");
        if (command == ChangeUrl)
            f.host.send(ChangeUrl, next);
        else
            f.host.send(UpdateBrowserParams, f.params({ next }));
        QTRY_COMPARE_WITH_TIMEOUT(f.host.lastUrl(), next, 30000);
        QCOMPARE(f.logLines().count(QStringLiteral("Page dialog closed :  \"%1\" ").arg(kind)), 1);
        QVERIFY(f.quit(15000));
    }
};

QTEST_MAIN(tst_PageDialogs)
#include "tst_pagedialogs.moc"
