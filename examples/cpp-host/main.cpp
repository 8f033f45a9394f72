// A minimal host in C++: starts the runner on a page, waits until the page
// has loaded and painted, and saves one frame taken from the shared memory.
//   cpp-host URL OUT.png [WIDTHxHEIGHT]
#include <FrameReader.h>
#include <RunnerHost.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s URL OUT.png [WIDTHxHEIGHT]\n", argv[0]);
        return 2;
    }
    BrowserParams params;
    params.urls = QStringList { QString::fromLocal8Bit(argv[1]) };
    params.currentUrl = params.urls.first();
    params.pageSize = QSize(1280, 720);
    if (argc > 3)
        params.pageSize = QSize(QString(argv[3]).section('x', 0, 0).toInt(), QString(argv[3]).section('x', 1).toInt());
    params.sharedMemoryKey = QStringLiteral("cpp-host-%1").arg(QCoreApplication::applicationPid());

    RunnerHost host;
    if (!host.start(params) || !host.waitForConnectDone()) {
        std::fprintf(stderr, "the runner %s did not start\n", qPrintable(RunnerHost::defaultRunnerPath()));
        return 1;
    }
    if (!host.waitForLoadFinished(60000)) {
        std::fprintf(stderr, "the page did not load\n");
        return 1;
    }
    FrameReader reader(params.sharedMemoryKey);
    if (!reader.attach()) {
        std::fprintf(stderr, "no frame segment: %s\n", qPrintable(reader.segment().errorString()));
        return 1;
    }
    // Chromium paints a moment after the load ends; the runner keeps
    // writing whole frames, so the newest one is taken after a second.
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    FrameReader::Frame frame;
    if (!reader.take(frame) || !frame.image.save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "no frame saved\n");
        return 1;
    }
    std::printf("saved %dx%d frame to %s\n", frame.image.width(), frame.image.height(), argv[2]);
    host.send(Quit);
    host.waitForFinished();
    return 0;
}
