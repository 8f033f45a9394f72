#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QTimer>

class TabWidget;
class WebView;

// The snapshot a LoadFinished message carries. The engine reports a finished
// load before it has painted the page, so the snapshot waits for the current
// view's next paint, 500 ms at most. One snapshot waits at a time: a newer
// load, or another report to the host, takes the waiting one first, so the
// messages keep their order.
class LoadSnapshot : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxWaitMs = 500;

    explicit LoadSnapshot(TabWidget* tabs, QObject* parent = nullptr);

    void request(bool ok);
    // Takes the waiting snapshot now, if there is one.
    void flush();

signals:
    void taken(bool ok, const QImage& image);

private:
    void take(bool ok);

    TabWidget* tabs;
    QTimer deadline;
    QPointer<WebView> watched;
    bool waiting = false;
    bool waitingOk = false;
};
