#include "FrameTimings.h"

#include <QQuickWindow>

#include <chrono>

FrameTimings* FrameTimings::instance()
{
    static FrameTimings* timings = [] {
        const QString path = qEnvironmentVariable("YBR_FRAME_TIMINGS");
        return path.isEmpty() ? nullptr : new FrameTimings(path);
    }();
    return timings;
}

FrameTimings::FrameTimings(const QString& path)
    : file(path)
    , capture(qEnvironmentVariable("YBR_FRAME_CAPTURE") != QLatin1String("0"))
{
    file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

qint64 FrameTimings::now()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void FrameTimings::frameTaken(qint64 startUs, qint64 endUs, int path)
{
    writeLine("F " + QByteArray::number(startUs) + ' ' + QByteArray::number(endUs - startUs) + ' '
        + QByteArray::number(path) + '\n');
}

void FrameTimings::watch(QQuickWindow* window)
{
    if (!window || window == watched)
        return;
    if (watched)
        disconnect(watched, nullptr, this, nullptr);
    watched = window;
    // The engine's quick widget renders on the GUI thread.
    connect(window, &QQuickWindow::afterRendering, this,
        [this] { writeLine("P " + QByteArray::number(now()) + '\n'); }, Qt::DirectConnection);
}

void FrameTimings::writeLine(const QByteArray& line)
{
    if (file.isOpen())
        file.write(line);
}
