#include "WebView_Mini.h"

#include "HookLists.h"
#include "LogWriter.h"
#include "MiniEngineBinder.h"
#include "TabWidget.h"
#include "WebView_VIPMini.h"

#include <QCoreApplication>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

WebView::Registration registration(WebView::MiniEngine, [](TabWidget* tab) -> WebView* {
    if (MiniEngineBinder::mini())
        return new WebView_Mini(tab);
    return WebView::create(WebView::QtEngine, tab);
});

HookRegistration startupHook(startupHooks(), [] { WebView_Mini::startEngine(); });
HookRegistration exitHook(exitHooks(), [] {});

MiniEntryPoints entriesOf(const MiniEngineApi& api)
{
    return { api.ymini_create_view, api.ymini_show_view,      api.ymini_native_window,
             api.ymini_resize,      api.ymini_set_new_window_enabled, api.ymini_get_url,
             api.ymini_load_url,    api.ymini_go_forward,     api.ymini_go_back,
             api.ymini_reload,      api.ymini_stop_loading,   api.ymini_get_title,
             api.ymini_request_favicon };
}

} // namespace

WebView_Mini::WebView_Mini(TabWidget* parent)
    : MiniViewBase(parent, entriesOf(*MiniEngineBinder::mini()), 1)
    , api(MiniEngineBinder::mini())
    , savedVolume(std::numeric_limits<float>::quiet_NaN())
{
    armCallbacks(true);
}

WebView_Mini::~WebView_Mini()
{
    armCallbacks(false);
}

void WebView_Mini::armCallbacks(bool armed)
{
    MiniWebView h = engineHandle();
    void* ctx = armed ? context() : nullptr;
    api->ymini_on_title_changed(h, armed ? handleTitleChanged : nullptr, ctx);
    api->ymini_on_url_changed(h, armed ? handleUrlChanged : nullptr, ctx);
    api->ymini_on_navigation(h, armed ? handleNavigation : nullptr, ctx);
    api->ymini_on_create_view(h, armed ? handleCreateView : nullptr, ctx);
    api->ymini_on_document_ready(h, armed ? [](MiniWebView, void*) {} : MiniDocumentReadyCallback(), ctx);
    api->ymini_on_confirm_box(h, armed ? [](MiniWebView, void*, MiniString) { return true; } : MiniConfirmBoxCallback(),
                              ctx);
    api->ymini_on_loading_finished(h, armed ? handleLoadingFinished : nullptr, ctx);
    api->ymini_on_download(h, armed ? [](MiniWebView, void*, const char*) { return true; } : MiniDownloadCallback(), ctx);
    api->ymini_on_host_object(h, armed ? [](MiniWebView, void* c) { return c; } : MiniHostObjectCallback(), ctx);
    api->ymini_on_window_closing(h, armed ? [](MiniWebView, void*) { return false; } : MiniWindowClosingCallback(), ctx);
    api->ymini_on_paint_updated(h, armed ? handlePaintUpdated : nullptr, ctx);
}

int WebView_Mini::engineType() const
{
    return MiniEngine;
}

bool WebView_Mini::isActionEnabled(int action) const
{
    if (action == ForwardAction)
        return api->ymini_can_go_forward(engineHandle()) != 0;
    if (action == BackAction)
        return api->ymini_can_go_back(engineHandle()) != 0;
    return true;
}

bool WebView_Mini::isMuted() const
{
    return api->ymini_get_media_volume(engineHandle()) == 0.0f;
}

// A second mute keeps the volume taken by the first; an unmute gives back
// only a volume a mute took.
void WebView_Mini::setMuted(bool muted)
{
    if (muted) {
        if (!isMuted())
            savedVolume = api->ymini_get_media_volume(engineHandle());
        api->ymini_set_media_volume(engineHandle(), 0.0f);
    } else if (!std::isnan(savedVolume)) {
        api->ymini_set_media_volume(engineHandle(), savedVolume);
        savedVolume = std::numeric_limits<float>::quiet_NaN();
    }
}

void WebView_Mini::renderTo(uchar* pixels)
{
    const QSize size = clearFrame(pixels);
    if (size.isEmpty())
        return;
    syncEngineSize(size);
    api->ymini_paint(engineHandle(), pixels, 0);
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

void WebView_Mini::handleTitleChanged(MiniWebView, void* context, MiniString title)
{
    if (WebView_Mini* view = liveView<WebView_Mini>(context)) {
        const QString text = QString::fromUtf8(view->api->ymini_string_text(title)) + QStringLiteral("Mini");
        view->tabWidget()->viewTitleChanged(view, text);
    }
}

void WebView_Mini::handleUrlChanged(MiniWebView, void* context, MiniString url)
{
    if (WebView_Mini* view = liveView<WebView_Mini>(context))
        view->tabWidget()->viewUrlChanged(view, QString::fromUtf8(view->api->ymini_string_text(url)));
}

bool WebView_Mini::handleNavigation(MiniWebView, void*, int, MiniString)
{
    return true;
}

MiniWebView WebView_Mini::handleCreateView(MiniWebView, void* context, int kind, MiniString url, const void*)
{
    WebView_Mini* view = liveView<WebView_Mini>(context);
    if (!view || (kind != MINI_NAVIGATION_LINK && kind != MINI_NAVIGATION_OTHER))
        return nullptr;
    const QString text = QString::fromUtf8(view->api->ymini_string_text(url));
    if (WebView* opened = view->tabWidget()->newTabLike(view))
        opened->setUrl(text);
    return nullptr;
}

void WebView_Mini::handleLoadingFinished(MiniWebView, void* context, MiniString, int result, MiniString)
{
    WebView_Mini* view = liveView<WebView_Mini>(context);
    if (!view)
        return;
    if (result == MINI_LOAD_FAILED)
        view->setUrl(QString());
    const MiniFrameRecord* frame = view->api->ymini_main_frame(view->engineHandle());
    if (frame && view->api->ymini_is_main_frame(view->engineHandle(), frame->frame) != 0)
        view->requestFavicon();
}
