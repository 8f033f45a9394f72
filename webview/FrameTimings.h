#pragma once

#include <QFile>
#include <QObject>
#include <QPointer>

class QQuickWindow;

// The frame path's own figures, written only when $YBR_FRAME_TIMINGS names a
// file; otherwise instance() is null and the frame path pays one test.
// Lines: "F <start µs> <renderTo µs> <path>" per whole frame,
// "P <µs>" per scene the engine paints. Times are of the monotonic clock
// (CLOCK_MONOTONIC), so a host can set them against its own readings. With $YBR_FRAME_CAPTURE=0 the view
// paints but takes no frames: the engine's own pace, for comparison.
class FrameTimings : public QObject
{
public:
    static FrameTimings* instance();

    bool captureEnabled() const { return capture; }
    static qint64 now();
    void frameTaken(qint64 startUs, qint64 endUs, int path);
    void watch(QQuickWindow* window);

private:
    explicit FrameTimings(const QString& path);
    void writeLine(const QByteArray& line);

    QFile file;
    QPointer<QQuickWindow> watched;
    bool capture = true;
};
