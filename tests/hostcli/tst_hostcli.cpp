#include <QtTest>

#include "HostCli.h"

#include <unistd.h>

// ybrowser-host as a user meets it: each failure ends with one line saying what to do and a status of its kind.
class tst_HostCli : public QObject
{
    Q_OBJECT

private slots:
    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("lastLine");  // a pattern for the last line on standard error

        const QStringList noDisplay { "-DISPLAY", "-WAYLAND_DISPLAY", "-QT_QPA_PLATFORM" };
        const auto exact = [](const QString& line) { return '^' + QRegularExpression::escape(line) + '$'; };
        QTest::newRow("help") << QStringList { "--help" } << noDisplay << 0 << QString();
        // Bad arguments: status 2, display or not.
        const auto bad = [&](const char* name, const QStringList& arguments, const QString& line) {
            QTest::newRow(name) << arguments << noDisplay << 2 << exact("ybrowser-host: " + line);
        };
        bad("frames abc", { "--frames", "abc" }, "--frames takes a whole number of 0 or more, not \"abc\"");
        bad("every x", { "--every", "x" }, "--every takes a whole number of 0 or more, not \"x\"");
        bad("record-seconds 0", { "--record-seconds", "0" }, "--record-seconds takes a whole number of 1 or more, not \"0\"");
        bad("duration -3", { "--duration", "-3" }, "--duration takes seconds, 0 or more, not \"-3\"");
        bad("duration inf", { "--duration", "inf" }, "--duration takes seconds, 0 or more, not \"inf\"");
        for (const char* size : { "1920", "1920x1080x2", "0x5", "7681x100", "1920 x 1080", "-5*5" })
            bad(qPrintable(QStringLiteral("size %1").arg(size)), { "--size", size },
                QStringLiteral("--size takes WxH or W*H up to 7680x4320, for example 1920x1080, not \"%1\"").arg(size));
        bad("url without scheme", { "--url", "example.com" },
            "--url \"example.com\" is not a URL: give its scheme (http://, https://, file:///) or serve a folder with --serve DIR");
        bad("url with a space in the host", { "--url", "http://exa mple.com/" }, "--url \"http://exa mple.com/\" is not a valid URL");
        bad("http without host", { "--url", "http:/a" }, "--url \"http:/a\" is not a valid URL");
        bad("serve a missing folder", { "--serve", "/nonexistent/site", "--url", "index.html" }, "--serve \"/nonexistent/site\" is not a folder");
        bad("unknown option", { "--bogus" }, "Unknown option 'bogus'. (ybrowser-host --help lists the options)");
        bad("stray argument", { "http://a/" }, "unexpected argument \"http://a/\" (ybrowser-host --help lists the options)");
        QTest::newRow("no display") << QStringList { "--url", "http://a/" } << noDisplay << 1
            << exact("ybrowser-host: no display for the runner: run it under xvfb-run -a, or set DISPLAY");
        QTest::newRow("runner missing") << QStringList { "--size", "1920*1080", "--runner", "/nonexistent/YBrowserRunner" } << QStringList() << 1
            << "^ybrowser-host: cannot start the runner \"/nonexistent/YBrowserRunner\" \\(.+\\): build it with bash tools/build.sh, or give its path with --runner$";
        QTest::newRow("runner ends before connecting") << QStringList { "--runner", "/bin/true" } << QStringList() << 1
            << exact("ybrowser-host: the runner ended before it connected (status 0); its messages above say why");
        QTest::newRow("ffmpeg missing") << QStringList { "--record", "out.mp4", "--runner", "/bin/true" } << QStringList { "PATH=/nonexistent" } << 1
            << exact("ybrowser-host: --record needs ffmpeg, which is not installed: apt-get install ffmpeg, or leave out --record");
        QTest::newRow("fewer frames than asked")
            << QStringList { "--runner", fake, "--frames", "1", "--duration", "2", "--out", QDir::temp().filePath("tst_hostcli_frames") }
            << QStringList() << 1 << exact("ybrowser-host: saved 0 of 1 frames: give a longer --duration, or check that the page loads");
        QTest::newRow("runner ends on its own") << QStringList { "--runner", fake } << QStringList { "FAKE_RUNNER_EXIT=3" } << 1
            << exact("ybrowser-host: the runner ended on its own with status 3; its messages above say why");
        QTest::newRow("out not creatable") << QStringList { "--frames", "1", "--out", "/proc/ybr-frames", "--runner", "/bin/true" } << QStringList() << 1
            << exact("ybrowser-host: cannot create the folder \"/proc/ybr-frames\" for --out: give a writable one");
    }

    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(int, status);
        QFETCH(QString, lastLine);
        QCOMPARE(run(arguments, environment), status);
        if (lastLine.isEmpty()) {
            QVERIFY2(out.startsWith("Usage: ") && out.contains("--size <WxH>"), out);
            QCOMPARE(errorLines, QStringList());
            return;
        }
        QVERIFY(out.isEmpty());
        QVERIFY2(!errorLines.isEmpty() && QRegularExpression(lastLine).match(errorLines.last()).hasMatch(),
                 qPrintable(errorLines.join('\n')));
        // Bad arguments are one line and nothing else.
        if (status == 2)
            QCOMPARE(errorLines.size(), 1);
    }

    void rootPassesNoSandbox()
    {
        if (::geteuid() != 0)
            QSKIP("only root needs --no-sandbox");
        QTemporaryDir dir;
        QFile runner(dir.filePath("runner"));
        QVERIFY(runner.open(QIODevice::WriteOnly));
        runner.write("#!/bin/sh\necho \"flags=$QTWEBENGINE_CHROMIUM_FLAGS\" >&2\n");
        runner.close();
        QVERIFY(runner.setPermissions(runner.permissions() | QFile::ExeOwner));
        QCOMPARE(run({ "--runner", runner.fileName() }, { "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu" }), 1);
        QCOMPARE(errorLines.filter("--no-sandbox"), (QStringList { "running as root: the runner gets --no-sandbox in QTWEBENGINE_CHROMIUM_FLAGS",
                                                                    "flags=--disable-gpu --no-sandbox" }));
        QCOMPARE(run({ "--runner", runner.fileName() }, { "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox" }), 1);
        QCOMPARE(errorLines.filter("--no-sandbox"), QStringList { "flags=--no-sandbox" });
    }

    void commands_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("error");

        const QString size = QStringLiteral("size takes WxH or W*H up to 7680x4320, for example size 1920x1080, not \"%1\"");
        for (const char* valid : { "size 1920x1080", "size 1920*1080", "size 7680X4320", "mute on", "mute off",
                                   "url http://a/", "whole", "setting", "quit" })
            QTest::newRow(valid) << valid << QString();
        for (const char* bad : { "1920 1080", "0x5", "7681x100", "1920x", "" })
            QTest::newRow(qPrintable(QStringLiteral("size %1").arg(bad))) << QStringLiteral("size %1").arg(bad) << size.arg(bad);
        QTest::newRow("mute foo") << "mute foo" << "mute takes on or off, not \"foo\"";
        QTest::newRow("mute") << "mute" << "mute takes on or off, not \"\"";
        QTest::newRow("url") << "url" << "url takes a URL, for example url https://example.com/";
        QTest::newRow("unknown") << "go http://a/"
            << "unknown command \"go\"; commands: url <url> | mute on|off | whole | size WxH | setting | quit";
    }

    void commands()
    {
        QFETCH(QString, line);
        QFETCH(QString, error);
        QCOMPARE(HostCli::commandError(line), error);
    }

    // Only valid commands reach the runner, and W*H means the same as WxH.
    void commandsReachTheRunner()
    {
        QCOMPARE(run({ "--runner", fake, "--size", "640*360" }, {}, "size 1920*1080\nmute foo\nsize 1x2x3\nmute on\nquit\n"), 0);
        QCOMPARE(errorLines.filter("runner: "), (QStringList { "runner: UpdateBrowserParams 1920x1080", "runner: SetMute true", "runner: Quit" }));
        QCOMPARE(errorLines.filter(" not \""), (QStringList { HostCli::commandError("mute foo"), HostCli::commandError("size 1x2x3") }));
        QCOMPARE(errorLines.filter(QRegularExpression("^connected: 640X360X1, segment \"ybr-[0-9a-f]{12}\"$")).size(), 1);
    }

private:
    int run(const QStringList& arguments, const QStringList& environment, const QByteArray& input = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Under the sanitizers the leak checker's own report would be the last word.
        env.insert("LSAN_OPTIONS", env.value("LSAN_OPTIONS") + ":print_suppressions=0");
        for (const QString& entry : environment) {
            if (entry.startsWith('-'))
                env.remove(entry.mid(1));
            else
                env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        }
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(qEnvironmentVariable("YBR_BUILD_DIR") + "/ybrowser-host", arguments);
        tool.write(input);
        const bool ended = tool.waitForFinished(60000);
        out = tool.readAllStandardOutput();
        errorLines = QString::fromLocal8Bit(tool.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        return ended && tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    }

    const QString fake = qEnvironmentVariable("YBR_BUILD_DIR") + "/tests/fake_runner";
    QByteArray out;
    QStringList errorLines;
};

QTEST_GUILESS_MAIN(tst_HostCli)
#include "tst_hostcli.moc"
