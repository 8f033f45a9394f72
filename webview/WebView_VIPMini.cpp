#include "WebView_VIPMini.h"

#include "MiniEngineBinder.h"
#include "SurfaceCapture.h"
#include "TabWidget.h"

namespace {

MiniEntryPoints entriesOf(const VipMiniEngineApi& api)
{
    return { api.yvip_create_view, api.yvip_show_view,      api.yvip_native_window,
             api.yvip_resize,      api.yvip_set_new_window_enabled, api.yvip_get_url,
             api.yvip_load_url,    api.yvip_go_forward,     api.yvip_go_back,
             api.yvip_reload,      api.yvip_stop_loading,   api.yvip_get_title,
             api.yvip_request_favicon };
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
    : MiniViewBase(parent, entriesOf(*MiniEngineBinder::vip()), 0)
    , api(MiniEngineBinder::vip())
{
    armCallbacks(true);
}

WebView_VIPMini::~WebView_VIPMini()
{
    armCallbacks(false);
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
    MiniWebView h = engineHandle();
    void* ctx = armed ? context() : nullptr;
    api->yvip_on_title_changed(h, armed ? handleTitleChanged : nullptr, ctx);
    api->yvip_on_url_changed(h, armed ? handleUrlChanged : nullptr, ctx);
    api->yvip_on_navigation(h, armed ? handleNavigation : nullptr, ctx);
    api->yvip_on_create_view(h, armed ? handleCreateView : nullptr, ctx);
    api->yvip_on_loading_finished(h, armed ? handleLoadingFinished : nullptr, ctx);
    api->yvip_on_paint_updated(h, armed ? handlePaintUpdated : nullptr, ctx);
}

int WebView_VIPMini::engineType() const
{
    return VipMiniEngine;
}

bool WebView_VIPMini::isActionEnabled(int) const
{
    return true;
}

bool WebView_VIPMini::isMuted() const
{
    return api->yvip_is_audio_muted(engineHandle()) != 0;
}

void WebView_VIPMini::setMuted(bool muted)
{
    api->yvip_set_audio_muted(engineHandle(), muted);
}

void WebView_VIPMini::renderTo(uchar* pixels)
{
    const QSize size = clearFrame(pixels);
    if (size.isEmpty())
        return;
    const LockedDeviceContext dc(*api, engineHandle());
    SurfaceCapture::copyPage(dc.get(), size.width(), size.height(), pixels);
}

void WebView_VIPMini::handleTitleChanged(MiniWebView, void* context, const char* title)
{
    if (WebView_VIPMini* view = liveView<WebView_VIPMini>(context))
        view->tabWidget()->viewTitleChanged(view, QString::fromUtf8(title) + QStringLiteral("VIP_Mini"));
}

void WebView_VIPMini::handleUrlChanged(MiniWebView, void* context, const char* url, int)
{
    if (WebView_VIPMini* view = liveView<WebView_VIPMini>(context))
        view->tabWidget()->viewUrlChanged(view, QString::fromUtf8(url));
}

int WebView_VIPMini::handleNavigation(MiniWebView, void*, int, const char*)
{
    return 1;
}

MiniWebView WebView_VIPMini::handleCreateView(MiniWebView, void* context, int kind, const char* url, const void*)
{
    WebView_VIPMini* view = liveView<WebView_VIPMini>(context);
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
    WebView_VIPMini* view = liveView<WebView_VIPMini>(context);
    if (!view)
        return;
    if (result == MINI_LOAD_FAILED)
        view->setUrl(QString());
    view->requestFavicon();
    emit view->tabWidget()->loadFinished(result == MINI_LOAD_SUCCEEDED);
}
