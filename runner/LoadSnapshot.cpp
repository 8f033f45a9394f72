#include "LoadSnapshot.h"

#include "TabWidget.h"
#include "WebView.h"

LoadSnapshot::LoadSnapshot(TabWidget* tabs, QObject* parent)
    : QObject(parent)
    , tabs(tabs)
{
    deadline.setSingleShot(true);
    deadline.setInterval(MaxWaitMs);
    connect(&deadline, &QTimer::timeout, this, &LoadSnapshot::flush);
}

void LoadSnapshot::request(bool ok)
{
    flush();
    WebView* view = tabs->currentView();
    if (!view)
        return;
    if (!view->reportsPaints()) {
        take(ok);
        return;
    }
    waiting = true;
    waitingOk = ok;
    watched = view;
    connect(view, &WebView::painted, this, &LoadSnapshot::flush);
    deadline.start();
}

void LoadSnapshot::flush()
{
    if (!waiting)
        return;
    waiting = false;
    deadline.stop();
    if (watched)
        disconnect(watched, &WebView::painted, this, &LoadSnapshot::flush);
    take(waitingOk);
}

void LoadSnapshot::take(bool ok)
{
    QImage image(tabs->pageSize(), QImage::Format_ARGB32);
    if (!image.isNull()) {
        // The view the load was reported for may be gone by now.
        if (WebView* view = tabs->currentView())
            view->renderTo(image.bits());
        else
            image.fill(Qt::transparent);
    }
    emit taken(ok, image);
}
