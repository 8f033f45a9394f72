#include "WebView_VIPMini.h"

#include "MiniEngineBinder.h"
#include "MiniViewSupport.h"
#include "SurfaceCapture.h"
#include "TabWidget.h"

#include <QSet>
#include <QUrl>
#include <QWindow>

struct VipMiniViewData
{
    MiniWebView engineHandle = nullptr;
    QIcon favicon;
    const VipMiniEngineApi* api = nullptr;
    QWindow* engineWindow = nullptr;
};

namespace {

QSet<void*>& liveViews()
{
    static QSet<void*> views;
    return views;
}

QSize boundedSize(const QSize& size)
{
    return QSize(qBound(1, size.width(), 7680), qBound(1, size.height(), 4320));
}

// Holds the engine's device context locked for the length of one copy.
class LockedDeviceContext
{
public:
    LockedDeviceContext(const VipMiniEngineApi& api, MiniWebView view)
        : api(api)
        , view(view)
        , dc(api.yvip_lock_view_dc(view))
    {
    }
    ~LockedDeviceContext() { api.yvip_unlock_view_dc(view); }
    MiniDeviceContext get() const { return dc; }

private:
    const VipMiniEngineApi& api;
    MiniWebView view;
    MiniDeviceContext dc;
};

} // namespace

WebView_VIPMini::WebView_VIPMini(TabWidget* parent)
    : WebView(parent)
    , d(new VipMiniViewData)
{
    liveViews().insert(this);
    d->api = MiniEngineBinder::vip();
    const QSize size = parent->pageSize();
    const QSize engineSize = boundedSize(size);
    d->engineHandle = d->api->yvip_create_view(0, 0, 0, 0, engineSize.width(), engineSize.height());
    d->api->yvip_show_view(d->engineHandle);
    const MiniNativeWindow window = d->api->yvip_native_window(d->engineHandle);
    setWidget(MiniViewSupport::embed(window, size, &d->engineWindow));
    d->api->yvip_set_new_window_enabled(d->engineHandle, true);
    armCallbacks(true);
}

WebView_VIPMini::~WebView_VIPMini()
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

bool WebView_VIPMini::registerIfBound()
{
    if (!MiniEngineBinder::vip())
        return false;
    WebView::registerFactory(VipMiniEngine, [](TabWidget* tab) -> WebView* { return new WebView_VIPMini(tab); });
    return true;
}

void WebView_VIPMini::armCallbacks(bool armed)
{
    const VipMiniEngineApi& api = *d->api;
    MiniWebView h = d->engineHandle;
    void* context = armed ? this : nullptr;
    api.yvip_on_title_changed(h, armed ? handleTitleChanged : nullptr, context);
    api.yvip_on_url_changed(h, armed ? handleUrlChanged : nullptr, context);
    api.yvip_on_navigation(h, armed ? handleNavigation : nullptr, context);
    api.yvip_on_create_view(h, armed ? handleCreateView : nullptr, context);
    api.yvip_on_loading_finished(h, armed ? handleLoadingFinished : nullptr, context);
    api.yvip_on_paint_updated(h, armed ? handlePaintUpdated : nullptr, context);
}

MiniWebView WebView_VIPMini::engineHandle() const
{
    return d->engineHandle;
}

int WebView_VIPMini::engineType() const
{
    return VipMiniEngine;
}

QString WebView_VIPMini::url() const
{
    const QString text = QString::fromUtf8(d->api->yvip_get_url(d->engineHandle));
    return QUrl(text, QUrl::TolerantMode).toDisplayString();
}

void WebView_VIPMini::setUrl(const QString& url)
{
    d->api->yvip_load_url(d->engineHandle, url.toUtf8().constData());
}

QIcon WebView_VIPMini::icon() const
{
    return d->favicon;
}

void WebView_VIPMini::forward()
{
    d->api->yvip_go_forward(d->engineHandle);
}

void WebView_VIPMini::back()
{
    d->api->yvip_go_back(d->engineHandle);
}

void WebView_VIPMini::reload()
{
    d->api->yvip_reload(d->engineHandle);
}

void WebView_VIPMini::stop()
{
    d->api->yvip_stop_loading(d->engineHandle);
}

void WebView_VIPMini::setPageSize(const QSize& size)
{
    if (QWidget* surface = widget())
        surface->resize(size);
    const QSize engineSize = boundedSize(size);
    d->api->yvip_resize(d->engineHandle, engineSize.width(), engineSize.height());
}

bool WebView_VIPMini::isActionEnabled(int) const
{
    return true;
}

bool WebView_VIPMini::isMuted() const
{
    return d->api->yvip_is_audio_muted(d->engineHandle) != 0;
}

void WebView_VIPMini::setMuted(bool muted)
{
    d->api->yvip_set_audio_muted(d->engineHandle, muted);
}

void WebView_VIPMini::renderTo(uchar* pixels)
{
    const QSize size = tabWidget()->pageSize();
    if (size.width() <= 0 || size.height() <= 0)
        return;
    QImage(pixels, size.width(), size.height(), QImage::Format_ARGB32).fill(0);
    const LockedDeviceContext dc(*d->api, d->engineHandle);
    SurfaceCapture::copyPage(dc.get(), size.width(), size.height(), pixels);
}

QString WebView_VIPMini::title() const
{
    return QString::fromUtf8(d->api->yvip_get_title(d->engineHandle));
}

WebView_VIPMini* WebView_VIPMini::viewOf(void* context)
{
    return liveViews().contains(context) ? static_cast<WebView_VIPMini*>(context) : nullptr;
}

void WebView_VIPMini::handleTitleChanged(MiniWebView, void* context, const char* title)
{
    if (WebView_VIPMini* view = viewOf(context))
        view->tabWidget()->viewTitleChanged(view, QString::fromUtf8(title) + QStringLiteral("VIP_Mini"));
}

void WebView_VIPMini::handleUrlChanged(MiniWebView, void* context, const char* url, int)
{
    if (WebView_VIPMini* view = viewOf(context))
        view->tabWidget()->viewUrlChanged(view, QString::fromUtf8(url));
}

int WebView_VIPMini::handleNavigation(MiniWebView, void*, int, const char*)
{
    return 1;
}

MiniWebView WebView_VIPMini::handleCreateView(MiniWebView, void* context, int kind, const char* url, const void*)
{
    WebView_VIPMini* view = viewOf(context);
    if (!view || (kind != MINI_NAVIGATION_LINK && kind != MINI_NAVIGATION_OTHER))
        return nullptr;
    WebView* opened = view->tabWidget()->newTabLike(view);
    if (!opened)
        return nullptr;
    opened->setUrl(QString::fromUtf8(url));
    // A tab of another engine (mode 2 unregistered) has no engine handle.
    auto* openedMini = qobject_cast<WebView_VIPMini*>(opened);
    return openedMini ? openedMini->engineHandle() : nullptr;
}

void WebView_VIPMini::handleLoadingFinished(MiniWebView, void* context, void*, const char*, int result, const char*)
{
    WebView_VIPMini* view = viewOf(context);
    if (!view)
        return;
    if (result == MINI_LOAD_FAILED)
        view->setUrl(QString());
    view->d->api->yvip_request_favicon(view->d->engineHandle, handleFavicon, view);
    emit view->tabWidget()->loadFinished(result == MINI_LOAD_SUCCEEDED);
}

void WebView_VIPMini::handlePaintUpdated(MiniWebView, void* context, MiniDeviceContext dc, int x, int y, int cx,
                                         int cy)
{
    WebView_VIPMini* view = viewOf(context);
    if (view && view->tabWidget()->isCurrentView(view))
        MiniViewSupport::emitUpdate(view->tabWidget(), dc, x, y, cx, cy);
}

void WebView_VIPMini::handleFavicon(MiniWebView, void* context, const char*, const MiniFaviconBuffer* buffer)
{
    WebView_VIPMini* view = viewOf(context);
    if (!view || !buffer || !buffer->data)
        return;
    view->d->favicon = MiniViewSupport::iconFrom(buffer);
    view->tabWidget()->viewIconChanged(view, view->d->favicon);
}
