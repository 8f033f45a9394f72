// Prints what choosing a buffer (one lock round trip) and copying partial
// updates into the shared segment cost on this machine.
#include "FrameMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTextStream>

#include <cstdio>

namespace {

void report(const char* what, int count, qint64 nanoseconds, qint64 bytes)
{
    const double perCall = double(nanoseconds) / count / 1000.0;
    const double rate = bytes > 0 ? double(bytes) * count / double(nanoseconds) : 0.0;
    std::printf("%-40s %8d calls %10.2f us/call %8.2f GB/s\n", what, count, perCall, rate);
}

void benchUpdate(FrameMemory& memory, const char* what, const QSize& size, int count)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(qRgb(10, 20, 30));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        memory.writeUpdate(memory.nextFrameBuffer(QSize(3840, 2160), false), QPoint(i % 64, i % 32), image);
    report(what, count, timer.nsecsElapsed(), qint64(size.width()) * size.height() * 4);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    FrameMemory memory(QStringLiteral("bench_framememory_%1").arg(QCoreApplication::applicationPid()));
    if (!memory.attach()) {
        std::printf("no segment\n");
        return 1;
    }
    memory.finishSetUp(false);

    const int choices = 100000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < choices; ++i)
        memory.nextFrameBuffer(QSize(1920, 1080), false);
    report("nextFrameBuffer (lock, read, unlock)", choices, timer.nsecsElapsed(), 0);

    benchUpdate(memory, "writeUpdate 64x64", QSize(64, 64), 20000);
    benchUpdate(memory, "writeUpdate 512x512", QSize(512, 512), 2000);
    benchUpdate(memory, "writeUpdate 1920x1080", QSize(1920, 1080), 300);
    benchUpdate(memory, "writeUpdate 3840x2160", QSize(3840, 2160), 100);
    return 0;
}
