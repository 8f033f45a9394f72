#include "WebView_Mini.h"

#include "HookLists.h"
#include "LogWriter.h"
#include "MiniEngineBinder.h"
#include "MiniViewSupport.h"
#include "TabWidget.h"
#include "WebView_VIPMini.h"

#include <QCoreApplication>
#include <QSet>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <cmath>
#include <limits>

struct MiniViewData
{
    // The volume setMuted(true) took away; NaN while nothing is taken, so
    // that an unmute without a mute before it leaves the volume alone.
    float savedVolume = std::numeric_limits<float>::quiet_NaN();
    MiniWebView engineHandle = nullptr;
    QIcon favicon;
    const MiniEngineApi* api = nullptr;
    QWindow* engineWindow = nullptr;
    QSize engineSize;
};

namespace {

// Callbacks may still be on their way when a view is gone (a favicon that
// arrives late): they act only for views that are alive.
QSet<void*>& liveViews()
{
    static QSet<void*> views;
    return views;
}

WebView::Registration registration(WebView::MiniEngine, [](TabWidget* tab) -> WebView* {
    if (MiniEngineBinder::mini())
        return new WebView_Mini(tab);
    return WebView::create(WebView::QtEngine, tab);
});

HookRegistration startupHook(startupHooks(), [] { WebView_Mini::startEngine(); });
HookRegistration exitHook(exitHooks(), [] {});

QSize boundedSize(const QSize& size)
{
    return QSize(qBound(1, size.width(), 7680), qBound(1, size.height(), 4320));
}

} // namespace

WebView_Mini::WebView_Mini(TabWidget* parent)
    : WebView(parent)
    , d(new MiniViewData)
{
    liveViews().insert(this);
    d->api = MiniEngineBinder::mini();
    const QSize size = parent->pageSize();
    d->engineSize = boundedSize(size);
    d->engineHandle = d->api->ymini_create_view(1, 0, 0, 0, d->engineSize.width(), d->engineSize.height());
    d->api->ymini_show_view(d->engineHandle);
    const MiniNativeWindow window = d->api->ymini_native_window(d->engineHandle);
    setWidget(MiniViewSupport::embed(window, size, &d->engineWindow));
    d->api->ymini_set_new_window_enabled(d->engineHandle, true);
    armCallbacks(true);
}

WebView_Mini::~WebView_Mini()
{
    liveViews().remove(this);
    armCallbacks(false);
    // The engine window outlives the view: out of the container, out of
    // sight. The engine mapped it itself, so the wrapper may not know it is
    // shown and would take hide() alone for a no-op.
    if (d->engineWindow) {
        d->engineWindow->setParent(nullptr);
        d->engineWindow->show();
        d->engineWindow->hide();
    }
    delete d;
}

void WebView_Mini::armCallbacks(bool armed)
{
    const MiniEngineApi& api = *d->api;
    MiniWebView h = d->engineHandle;
    void* context = armed ? this : nullptr;
    api.ymini_on_title_changed(h, armed ? handleTitleChanged : nullptr, context);
    api.ymini_on_url_changed(h, armed ? handleUrlChanged : nullptr, context);
    api.ymini_on_navigation(h, armed ? handleNavigation : nullptr, context);
    api.ymini_on_create_view(h, armed ? handleCreateView : nullptr, context);
    api.ymini_on_document_ready(h, armed ? [](MiniWebView, void*) {} : MiniDocumentReadyCallback(), context);
    api.ymini_on_confirm_box(h, armed ? [](MiniWebView, void*, MiniString) { return true; } : MiniConfirmBoxCallback(),
                             context);
    api.ymini_on_loading_finished(h, armed ? handleLoadingFinished : nullptr, context);
    api.ymini_on_download(h, armed ? [](MiniWebView, void*, const char*) { return true; } : MiniDownloadCallback(),
                          context);
    api.ymini_on_host_object(h, armed ? [](MiniWebView, void* c) { return c; } : MiniHostObjectCallback(), context);
    api.ymini_on_window_closing(h, armed ? [](MiniWebView, void*) { return false; } : MiniWindowClosingCallback(),
                                context);
    api.ymini_on_paint_updated(h, armed ? handlePaintUpdated : nullptr, context);
}

int WebView_Mini::engineType() const
{
    return MiniEngine;
}

QString WebView_Mini::url() const
{
    const QString text = QString::fromUtf8(d->api->ymini_get_url(d->engineHandle));
    return QUrl(text, QUrl::TolerantMode).toDisplayString();
}

void WebView_Mini::setUrl(const QString& url)
{
    d->api->ymini_load_url(d->engineHandle, url.toUtf8().constData());
}

QIcon WebView_Mini::icon() const
{
    return d->favicon;
}

void WebView_Mini::forward()
{
    d->api->ymini_go_forward(d->engineHandle);
}

void WebView_Mini::back()
{
    d->api->ymini_go_back(d->engineHandle);
}

void WebView_Mini::reload()
{
    d->api->ymini_reload(d->engineHandle);
}

void WebView_Mini::stop()
{
    d->api->ymini_stop_loading(d->engineHandle);
}

void WebView_Mini::setPageSize(const QSize& size)
{
    if (QWidget* surface = widget())
        surface->resize(size);
    syncEngineSize(size);
}

// The engine paints at the size it was given last; a whole frame must be
// exactly the page size.
void WebView_Mini::syncEngineSize(const QSize& size)
{
    const QSize bounded = boundedSize(size);
    if (bounded == d->engineSize)
        return;
    d->engineSize = bounded;
    d->api->ymini_resize(d->engineHandle, bounded.width(), bounded.height());
}

bool WebView_Mini::isActionEnabled(int action) const
{
    if (action == ForwardAction)
        return d->api->ymini_can_go_forward(d->engineHandle) != 0;
    if (action == BackAction)
        return d->api->ymini_can_go_back(d->engineHandle) != 0;
    return true;
}

bool WebView_Mini::isMuted() const
{
    return d->api->ymini_get_media_volume(d->engineHandle) == 0.0f;
}

// A second mute keeps the volume taken by the first; an unmute gives back
// only a volume a mute took.
void WebView_Mini::setMuted(bool muted)
{
    if (muted) {
        if (!isMuted())
            d->savedVolume = d->api->ymini_get_media_volume(d->engineHandle);
        d->api->ymini_set_media_volume(d->engineHandle, 0.0f);
    } else if (!std::isnan(d->savedVolume)) {
        d->api->ymini_set_media_volume(d->engineHandle, d->savedVolume);
        d->savedVolume = std::numeric_limits<float>::quiet_NaN();
    }
}

void WebView_Mini::renderTo(uchar* pixels)
{
    const QSize size = tabWidget()->pageSize();
    if (size.width() <= 0 || size.height() <= 0)
        return;
    QImage(pixels, size.width(), size.height(), QImage::Format_ARGB32).fill(0);
    syncEngineSize(size);
    d->api->ymini_paint(d->engineHandle, pixels, 0);
}

QString WebView_Mini::title() const
{
    return QString::fromUtf8(d->api->ymini_get_title(d->engineHandle));
}

void WebView_Mini::startEngine()
{
    const MiniEngineBinder::Result mini = MiniEngineBinder::miniResult();
    WebView_VIPMini::registerIfBound();
    const MiniEngineBinder::Result vip = MiniEngineBinder::vipResult();
    // The log opens after the start-up hooks: write once the loop runs.
    QTimer::singleShot(0, QCoreApplication::instance(), [mini, vip] {
        if (!mini.bound)
            log("Mini engine not bound:", MiniEngineBinder::describe(mini));
        if (!vip.bound && (mini.bound || MiniEngineBinder::describe(vip) != MiniEngineBinder::describe(mini)))
            log("VIP mini engine not bound:", MiniEngineBinder::describe(vip));
    });
}

WebView_Mini* WebView_Mini::viewOf(void* context)
{
    return liveViews().contains(context) ? static_cast<WebView_Mini*>(context) : nullptr;
}

void WebView_Mini::handleTitleChanged(MiniWebView, void* context, MiniString title)
{
    if (WebView_Mini* view = viewOf(context)) {
        const QString text = QString::fromUtf8(view->d->api->ymini_string_text(title)) + QStringLiteral("Mini");
        view->tabWidget()->viewTitleChanged(view, text);
    }
}

void WebView_Mini::handleUrlChanged(MiniWebView, void* context, MiniString url)
{
    if (WebView_Mini* view = viewOf(context))
        view->tabWidget()->viewUrlChanged(view, QString::fromUtf8(view->d->api->ymini_string_text(url)));
}

bool WebView_Mini::handleNavigation(MiniWebView, void*, int, MiniString)
{
    return true;
}

MiniWebView WebView_Mini::handleCreateView(MiniWebView, void* context, int kind, MiniString url, const void*)
{
    WebView_Mini* view = viewOf(context);
    if (!view || (kind != MINI_NAVIGATION_LINK && kind != MINI_NAVIGATION_OTHER))
        return nullptr;
    const QString text = QString::fromUtf8(view->d->api->ymini_string_text(url));
    if (WebView* opened = view->tabWidget()->newTabLike(view))
        opened->setUrl(text);
    return nullptr;
}

void WebView_Mini::handleLoadingFinished(MiniWebView, void* context, MiniString, int result, MiniString)
{
    WebView_Mini* view = viewOf(context);
    if (!view)
        return;
    if (result == MINI_LOAD_FAILED)
        view->setUrl(QString());
    const MiniEngineApi& api = *view->d->api;
    const MiniFrameRecord* frame = api.ymini_main_frame(view->d->engineHandle);
    if (frame && api.ymini_is_main_frame(view->d->engineHandle, frame->frame) != 0)
        api.ymini_request_favicon(view->d->engineHandle, handleFavicon, view);
}

void WebView_Mini::handlePaintUpdated(MiniWebView, void* context, MiniDeviceContext dc, int x, int y, int cx, int cy)
{
    WebView_Mini* view = viewOf(context);
    if (view && view->tabWidget()->isCurrentView(view))
        MiniViewSupport::emitUpdate(view->tabWidget(), dc, x, y, cx, cy);
}

void WebView_Mini::handleFavicon(MiniWebView, void* context, const char*, const MiniFaviconBuffer* buffer)
{
    WebView_Mini* view = viewOf(context);
    if (!view || !buffer || !buffer->data)
        return;
    view->d->favicon = MiniViewSupport::iconFrom(buffer);
    view->tabWidget()->viewIconChanged(view, view->d->favicon);
}
