#include "YWebView_Qt.h"

#include "FrameGrabber.h"
#include "FrameSettings.h"
#include "FrameTimings.h"
#include "HookLists.h"
#include "PageDialogs.h"
#include "SharedProfile.h"
#include "TabWidget.h"
#include "WebPage.h"
#include "YEngineView.h"
#include "YTipDlg.h"

#include <QAction>
#include <QImage>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QTimer>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>

namespace {

WebView::Registration registration(WebView::QtEngine, [](TabWidget* tab) -> WebView* {
    return new YWebView_Qt(tab);
});

HookRegistration settingsHook(startupHooks(), [] {
    for (QWebEngineSettings* settings : { QWebEngineSettings::globalSettings(), QWebEngineSettings::defaultSettings() }) {
        settings->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
        settings->setAttribute(QWebEngineSettings::PluginsEnabled, true);
    }
});

// Two animation frames after the load, the frame holding the loaded page has
// left the render process. In the script world of our own, unseen by the page.
const QString contentFenceScript = QStringLiteral(
    "window.ybrContentFence = false;"
    "requestAnimationFrame(function () { requestAnimationFrame(function () { window.ybrContentFence = true; }); });");
const QString contentFenceQuery = QStringLiteral("window.ybrContentFence === true");
const int contentFencePollMs = 10;

} // namespace

YWebView_Qt::YWebView_Qt(TabWidget* parent)
    : WebView(parent)
    , engineView(new YEngineView(this))
    , interval(FrameSettings::frameInterval())
    , updateTimer(new QTimer(this))
    , frameGrabber(new FrameGrabber(engineView))
    , skipUnchanged(FrameSettings::skipUnchangedFrames())
    , onPaint(FrameSettings::frameOnPaint())
{
    // A late tick is followed by the next one a whole interval on, not by a
    // burst of the ticks it missed.
    updateTimer->setTimerType(Qt::PreciseTimer);
    connect(updateTimer, &QTimer::timeout, this, &YWebView_Qt::handleUpdateTimeout);
    // On paint, the tick only stands in for a paint that no other follows.
    updateTimer->start(onPaint ? interval + interval / 2 : interval);
    // Only the current tab's frames are taken: the timers of the others rest.
    connect(parent, &TabWidget::currentViewChanged, this, [this](WebView* current) {
        if (current != this) {
            updateTimer->stop();
            return;
        }
        watchPaints();
        sceneChanged = true;
        updateTimer->start();
    });
    connect(&contentFence, &QTimer::timeout, this, &YWebView_Qt::pollContentFence);

    engineView->resize(tabWidget()->pageSize());
    setWidget(engineView);
    engineView->setCreateWindowHandler([this](QWebEnginePage::WebWindowType type) {
        return handleCreateWindow(type);
    });

    SharedProfile::claim(QWebEngineProfile::defaultProfile());
    auto* page = new WebPage(QWebEngineProfile::defaultProfile(), engineView);
    engineView->setPage(page);
    if (FrameSettings::transparentBackground()) {
        page->setBackgroundColor(Qt::transparent);
        frameGrabber->setTransparent(true);
    }
    connectAction(QWebEnginePage::Forward, ForwardAction);
    connectAction(QWebEnginePage::Back, BackAction);
    connectAction(QWebEnginePage::Reload, ReloadAction);
    connectAction(QWebEnginePage::Stop, StopAction);
    page->profile()->cookieStore()->loadAllCookies();
    connectEngineSignals();
}

YWebView_Qt::~YWebView_Qt()
{
    delete frameGrabber;
}

void YWebView_Qt::handleUpdateTimeout()
{
    watchPaints();
    if (FrameTimings* timings = FrameTimings::instance())
        timings->watch(frameGrabber->quickWindow());
    if (mayTakeFrame() && (sceneChanged || !(skipUnchanged || onPaint)))
        takeFrame();
}

// Only the current tab's frames go to the host (and none in the benchmark's
// runs that measure the engine alone).
bool YWebView_Qt::mayTakeFrame()
{
    if (FrameTimings* timings = FrameTimings::instance(); timings && !timings->captureEnabled())
        return false;
    return tabWidget()->isCurrentView(this);
}

void YWebView_Qt::takeFrame()
{
    sceneChanged = false;
    sinceFrame.start();
    emit tabWidget()->totalUpdate();
}

// The engine makes a new quick window for each render widget it gets (a new
// page, a new render process), so the watch follows it.
void YWebView_Qt::watchPaints()
{
    auto* quick = engineView->findChild<QQuickWidget*>();
    QQuickWindow* window = quick ? quick->quickWindow() : nullptr;
    if (window == paintedWindow)
        return;
    if (paintedWindow)
        disconnect(paintedWindow, nullptr, this, nullptr);
    paintedWindow = window;
    if (!window)
        return;
    sceneChanged = true;
    // Queued: a frame taken in answer must not run inside the scene graph's render.
    connect(window, &QQuickWindow::afterRendering, this, &YWebView_Qt::handleEnginePaint, Qt::QueuedConnection);
    // Direct: a tick right behind the paint must already know of it.
    connect(window, &QQuickWindow::afterRendering, this, [this] { sceneChanged = true; }, Qt::DirectConnection);
}

// Right after a load the engine may still paint the empty view (the new
// page's first frame is on its way): paints count once the fence is passed.
void YWebView_Qt::handleEnginePaint()
{
    if (!contentFence.isActive())
        emit painted();
    // A paint too soon after the last frame is left to the next paint, or to
    // the tick when none comes. Paints keep the engine's rhythm only roughly:
    // a quarter interval of slack keeps one that comes a little early from
    // being folded into the next.
    if (onPaint && sceneChanged && (!sinceFrame.isValid() || sinceFrame.elapsed() >= interval - interval / 4)
        && mayTakeFrame()) {
        takeFrame();
        updateTimer->start();
    }
}

void YWebView_Qt::startContentFence()
{
    engineView->page()->runJavaScript(contentFenceScript, QWebEngineScript::ApplicationWorld);
    contentFence.start(contentFencePollMs);
    fenceDeadline.start();
}

void YWebView_Qt::pollContentFence()
{
    if (fenceDeadline.hasExpired(LoadFenceMaxMs)) {
        contentFence.stop();
        return;
    }
    QPointer<YWebView_Qt> self(this);
    engineView->page()->runJavaScript(contentFenceQuery, QWebEngineScript::ApplicationWorld, [self](const QVariant& passed) {
        if (!self || !passed.toBool() || !self->contentFence.isActive())
            return;
        // A paint seen before the fence may still be the empty view, and the
        // page's frame reaches the window after the page drew it: wait for the
        // next paint (the snapshot's own deadline covers a page that never repaints).
        self->contentFence.stop();
    });
}

int YWebView_Qt::engineType() const
{
    return QtEngine;
}

QString YWebView_Qt::url() const
{
    return engineView->url().toString();
}

void YWebView_Qt::setUrl(const QString& url)
{
    prepareNavigation();
    engineView->load(QUrl(url));
}

QIcon YWebView_Qt::icon() const
{
    return engineView->icon();
}

// A navigation asked for by the host or the user goes ahead whatever the page
// was asking: its open dialogs close, and it is not asked whether to leave.
void YWebView_Qt::prepareNavigation()
{
    PageDialogs::closeWithin(this);
    if (auto* page = qobject_cast<WebPage*>(engineView->page()))
        page->leaveWithoutAsking();
}

void YWebView_Qt::forward()
{
    prepareNavigation();
    engineView->forward();
}

void YWebView_Qt::back()
{
    prepareNavigation();
    engineView->back();
}

void YWebView_Qt::reload()
{
    prepareNavigation();
    engineView->reload();
}

void YWebView_Qt::stop()
{
    engineView->stop();
}

void YWebView_Qt::setPageSize(const QSize& size)
{
    sceneChanged = true;
    engineView->resize(size);
}

bool YWebView_Qt::isActionEnabled(int action) const
{
    static const QWebEnginePage::WebAction actions[] = {
        QWebEnginePage::Forward, QWebEnginePage::Back, QWebEnginePage::Reload, QWebEnginePage::Stop
    };
    if (action < ForwardAction || action > StopAction)
        return false;
    return engineView->pageAction(actions[action])->isEnabled();
}

bool YWebView_Qt::isMuted() const
{
    return engineView->page()->isAudioMuted();
}

void YWebView_Qt::setMuted(bool muted)
{
    engineView->page()->setAudioMuted(muted);
}

void YWebView_Qt::renderTo(uchar* pixels)
{
    FrameTimings* timings = FrameTimings::instance();
    const qint64 start = timings ? timings->now() : 0;
    frameGrabber->grab(pixels, tabWidget()->pageSize());
    if (timings)
        timings->frameTaken(start, timings->now(), frameGrabber->lastPath());
}

QString YWebView_Qt::title() const
{
    return engineView->title();
}

void YWebView_Qt::connectAction(QWebEnginePage::WebAction webAction, int action)
{
    QAction* pageAction = engineView->pageAction(webAction);
    connect(pageAction, &QAction::changed, this, [this, pageAction, action] {
        tabWidget()->viewActionChanged(this, action, pageAction->isEnabled());
    });
}

void YWebView_Qt::connectEngineSignals()
{
    TabWidget* tab = tabWidget();
    connect(engineView, &QWebEngineView::loadStarted, this, [this, tab] { tab->viewIconChanged(this, icon()); });
    connect(engineView, &QWebEngineView::loadProgress, this, [this, tab](int progress) {
        tab->viewLoadProgress(this, progress);
    });
    connect(engineView, &QWebEngineView::loadFinished, this, [this, tab](bool ok) {
        watchPaints();
        startContentFence();
        tab->viewIconChanged(this, icon());
        emit tab->loadFinished(ok);
    });
    connect(engineView, &QWebEngineView::iconChanged, this, [this, tab] { tab->viewIconChanged(this, icon()); });
    connect(engineView, &QWebEngineView::urlChanged, this, [this, tab](const QUrl& url) {
        tab->viewUrlChanged(this, url.toString());
    });
    connect(engineView, &QWebEngineView::titleChanged, this, [this, tab](const QString& title) {
        tab->viewTitleChanged(this, title);
    });
    // Queued: the signal comes while the engine is still tearing the dead
    // render process down, and the prompt's nested loop there would keep any
    // new load from starting until the prompt is answered.
    connect(engineView, &QWebEngineView::renderProcessTerminated, this, &YWebView_Qt::handleRenderProcessTerminated,
            Qt::QueuedConnection);
}

QWebEngineView* YWebView_Qt::handleCreateWindow(QWebEnginePage::WebWindowType type)
{
    if (type < QWebEnginePage::WebBrowserWindow || type > QWebEnginePage::WebBrowserBackgroundTab)
        return nullptr;
    if (auto* view = qobject_cast<YWebView_Qt*>(tabWidget()->newTabLike(this)))
        return view->engine();
    return nullptr;
}

QString YWebView_Qt::terminationTitle(QWebEnginePage::RenderProcessTerminationStatus status)
{
    switch (status) {
    case QWebEnginePage::NormalTerminationStatus:
        return tr("渲染过程正常退出");
    case QWebEnginePage::AbnormalTerminationStatus:
        return tr("渲染过程异常退出");
    case QWebEnginePage::CrashedTerminationStatus:
        return tr("渲染过程崩溃了");
    case QWebEnginePage::KilledTerminationStatus:
        return tr("渲染过程被杀死");
    }
    return QString();
}

QString YWebView_Qt::terminationText(int exitCode)
{
    return tr("使用代码退出渲染过程：%1\n你想重新加载页面吗？").arg(exitCode);
}

void YWebView_Qt::handleRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status, int exitCode)
{
    YTipDlg prompt(YTipDlg::Question, terminationTitle(status), terminationText(exitCode),
                   YFrameDialog::Yes | YFrameDialog::No, window());
    prompt.setDefaultButton(YFrameDialog::NoButton);
    // Reload from the event loop, once the prompt is gone.
    if (PageDialogs::exec(this, QStringLiteral("render process"), prompt) == YFrameDialog::Yes)
        QTimer::singleShot(0, this, [this] { reload(); });
}
