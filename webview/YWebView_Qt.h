#pragma once

#include "WebView.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>

class FrameGrabber;
class QQuickWindow;
class QWebEngineView;
class YEngineView;

// The Qt WebEngine view (engine mode 1): a YEngineView at the tab widget's
// page size inside the scroll area, asking for a whole frame every
// FrameInterval ms (30 by default) while it is the current tab.
class YWebView_Qt : public WebView
{
    Q_OBJECT

public:
    explicit YWebView_Qt(TabWidget* parent);
    ~YWebView_Qt() override;

    int engineType() const override;
    QString url() const override;
    void setUrl(const QString& url) override;
    QIcon icon() const override;
    void forward() override;
    void back() override;
    void reload() override;
    void stop() override;
    void setPageSize(const QSize& size) override;
    bool isActionEnabled(int action) const override;
    bool isMuted() const override;
    void setMuted(bool muted) override;
    void renderTo(uchar* pixels) override;
    QString title() const override;
    bool reportsPaints() const override { return true; }

    YEngineView* engine() const { return engineView; }
    FrameGrabber* grabber() const { return frameGrabber; }
    int frameInterval() const { return interval; }

    static QString terminationTitle(QWebEnginePage::RenderProcessTerminationStatus status);
    static QString terminationText(int exitCode);

private:
    void connectAction(QWebEnginePage::WebAction webAction, int action);
    void connectEngineSignals();
    void handleUpdateTimeout();
    bool mayTakeFrame();
    void takeFrame();
    void prepareNavigation();
    void watchPaints();
    void handleEnginePaint();
    void startContentFence();
    void pollContentFence();
    QWebEngineView* handleCreateWindow(QWebEnginePage::WebWindowType type);
    void handleRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode);

    YEngineView* engineView;
    const int interval;
    QTimer* updateTimer;
    FrameGrabber* frameGrabber;
    QPointer<QQuickWindow> paintedWindow;
    const bool skipUnchanged;
    const bool onPaint;
    QElapsedTimer sinceFrame;
    // Whether the frame the next tick takes may differ from the last one taken.
    bool sceneChanged = true;
    QTimer contentFence;
    QElapsedTimer fenceDeadline;
    static constexpr int LoadFenceMaxMs = 1000;
};
