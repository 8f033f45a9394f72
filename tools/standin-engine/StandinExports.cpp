// The entry points of both engine interfaces, plus three controls a test uses
// to play the page's part. Every entry point accepts a null view.

#include "StandinView.h"

#include <QCoreApplication>

#include <type_traits>
#include <vector>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::vector<StandinView*>& views()
{
    static std::vector<StandinView*> all;
    return all;
}

// The views outlive their Qt views (the engine keeps its windows); they go
// before the application object takes the window system down.
void destroyViews()
{
    for (StandinView* view : views())
        delete view;
    views().clear();
}

MiniWebView createView(int width, int height)
{
    if (!QCoreApplication::instance())
        return nullptr;
    if (views().empty())
        qAddPostRoutine(destroyViews);
    auto* view = new StandinView(QSize(width, height));
    views().push_back(view);
    return view->handle();
}

template<typename Function>
void with(MiniWebView handle, Function function)
{
    if (StandinView* view = StandinView::from(handle))
        function(view);
}

const char* const emptyText = "";

} // namespace

#define STANDIN_CHECK(result, name, parameters) \
    static_assert(std::is_same<decltype(&name), name##_fn>::value, #name " differs from the interface");

// First interface.

STANDIN_EXPORT MiniWebView ymini_create_view(int, MiniNativeWindow, int, int, int width, int height)
{
    return createView(width, height);
}

STANDIN_EXPORT void ymini_show_view(MiniWebView view)
{
    with(view, [](StandinView* v) { v->show(); });
}

STANDIN_EXPORT MiniNativeWindow ymini_native_window(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v ? v->nativeWindow() : 0;
}

STANDIN_EXPORT void ymini_resize(MiniWebView view, int width, int height)
{
    with(view, [=](StandinView* v) { v->resize(QSize(width, height)); });
}

STANDIN_EXPORT void ymini_set_new_window_enabled(MiniWebView view, bool enabled)
{
    with(view, [=](StandinView* v) { v->setNewWindowEnabled(enabled); });
}

#define STANDIN_MINI_REGISTRATION(name, Type, field, contextField)             \
    STANDIN_EXPORT void name(MiniWebView view, Type callback, void* context)  \
    {                                                                         \
        with(view, [=](StandinView* v) {                                      \
            v->mini.field = callback;                                         \
            v->contexts.contextField = context;                               \
        });                                                                   \
    }

STANDIN_MINI_REGISTRATION(ymini_on_title_changed, MiniTitleChangedCallback, title, title)
STANDIN_MINI_REGISTRATION(ymini_on_url_changed, MiniUrlChangedCallback, url, url)
STANDIN_MINI_REGISTRATION(ymini_on_navigation, MiniNavigationCallback, navigation, navigation)
STANDIN_MINI_REGISTRATION(ymini_on_create_view, MiniCreateViewCallback, createView, createView)
STANDIN_MINI_REGISTRATION(ymini_on_document_ready, MiniDocumentReadyCallback, documentReady, other)
STANDIN_MINI_REGISTRATION(ymini_on_confirm_box, MiniConfirmBoxCallback, confirmBox, other)
STANDIN_MINI_REGISTRATION(ymini_on_loading_finished, MiniLoadingFinishedCallback, loadingFinished, loadingFinished)
STANDIN_MINI_REGISTRATION(ymini_on_download, MiniDownloadCallback, download, other)
STANDIN_MINI_REGISTRATION(ymini_on_host_object, MiniHostObjectCallback, hostObject, other)
STANDIN_MINI_REGISTRATION(ymini_on_window_closing, MiniWindowClosingCallback, windowClosing, other)
STANDIN_MINI_REGISTRATION(ymini_on_paint_updated, MiniPaintUpdatedCallback, paint, paint)

STANDIN_EXPORT const char* ymini_get_url(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v ? v->url() : emptyText;
}

STANDIN_EXPORT void ymini_load_url(MiniWebView view, const char* url)
{
    with(view, [=](StandinView* v) { v->load(QString::fromUtf8(url ? url : emptyText)); });
}

STANDIN_EXPORT void ymini_go_forward(MiniWebView view)
{
    with(view, [](StandinView* v) { v->goForward(); });
}

STANDIN_EXPORT void ymini_go_back(MiniWebView view)
{
    with(view, [](StandinView* v) { v->goBack(); });
}

STANDIN_EXPORT void ymini_reload(MiniWebView view)
{
    with(view, [](StandinView* v) { v->reload(); });
}

STANDIN_EXPORT void ymini_stop_loading(MiniWebView view)
{
    with(view, [](StandinView* v) { v->stop(); });
}

STANDIN_EXPORT int ymini_can_go_forward(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v && v->canGoForward() ? 1 : 0;
}

STANDIN_EXPORT int ymini_can_go_back(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v && v->canGoBack() ? 1 : 0;
}

STANDIN_EXPORT float ymini_get_media_volume(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v ? v->volume() : 0.0f;
}

STANDIN_EXPORT void ymini_set_media_volume(MiniWebView view, float volume)
{
    with(view, [=](StandinView* v) { v->setVolume(volume); });
}

STANDIN_EXPORT void ymini_paint(MiniWebView view, void* bits, int pitch)
{
    with(view, [=](StandinView* v) { v->paintInto(bits, pitch); });
}

STANDIN_EXPORT const char* ymini_get_title(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v ? v->title() : emptyText;
}

STANDIN_EXPORT const char* ymini_string_text(MiniString text)
{
    const auto* bytes = reinterpret_cast<const QByteArray*>(text);
    return bytes ? bytes->constData() : emptyText;
}

STANDIN_EXPORT const MiniFrameRecord* ymini_main_frame(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v ? v->mainFrame() : nullptr;
}

STANDIN_EXPORT int ymini_is_main_frame(MiniWebView view, uint64_t frame)
{
    StandinView* v = StandinView::from(view);
    return v && v->isMainFrame(frame) ? 1 : 0;
}

STANDIN_EXPORT int ymini_request_favicon(MiniWebView view, MiniFaviconCallback callback, void* context)
{
    with(view, [=](StandinView* v) { v->requestFavicon(callback, context); });
    return 0;
}

MINI_ENGINE_ENTRY_POINTS(STANDIN_CHECK)

// Second interface.

STANDIN_EXPORT MiniWebView yvip_create_view(int, MiniNativeWindow, int, int, int width, int height)
{
    return createView(width, height);
}

STANDIN_EXPORT void yvip_show_view(MiniWebView view)
{
    ymini_show_view(view);
}

STANDIN_EXPORT MiniNativeWindow yvip_native_window(MiniWebView view)
{
    return ymini_native_window(view);
}

STANDIN_EXPORT void yvip_resize(MiniWebView view, int width, int height)
{
    ymini_resize(view, width, height);
}

STANDIN_EXPORT void yvip_set_new_window_enabled(MiniWebView view, bool enabled)
{
    ymini_set_new_window_enabled(view, enabled);
}

#define STANDIN_VIP_REGISTRATION(name, Type, field)                          \
    STANDIN_EXPORT void name(MiniWebView view, Type callback, void* context) \
    {                                                                        \
        with(view, [=](StandinView* v) {                                     \
            v->vip.field = callback;                                         \
            v->contexts.field = context;                                     \
        });                                                                  \
    }

STANDIN_VIP_REGISTRATION(yvip_on_title_changed, VipTitleChangedCallback, title)
STANDIN_VIP_REGISTRATION(yvip_on_url_changed, VipUrlChangedCallback, url)
STANDIN_VIP_REGISTRATION(yvip_on_navigation, VipNavigationCallback, navigation)
STANDIN_VIP_REGISTRATION(yvip_on_create_view, VipCreateViewCallback, createView)
STANDIN_VIP_REGISTRATION(yvip_on_loading_finished, VipLoadingFinishedCallback, loadingFinished)
STANDIN_VIP_REGISTRATION(yvip_on_paint_updated, VipPaintUpdatedCallback, paint)

STANDIN_EXPORT const char* yvip_get_url(MiniWebView view)
{
    return ymini_get_url(view);
}

STANDIN_EXPORT void yvip_load_url(MiniWebView view, const char* url)
{
    ymini_load_url(view, url);
}

STANDIN_EXPORT void yvip_go_forward(MiniWebView view)
{
    ymini_go_forward(view);
}

STANDIN_EXPORT void yvip_go_back(MiniWebView view)
{
    ymini_go_back(view);
}

STANDIN_EXPORT void yvip_reload(MiniWebView view)
{
    ymini_reload(view);
}

STANDIN_EXPORT void yvip_stop_loading(MiniWebView view)
{
    ymini_stop_loading(view);
}

STANDIN_EXPORT int yvip_is_audio_muted(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v && v->isMuted() ? 1 : 0;
}

STANDIN_EXPORT void yvip_set_audio_muted(MiniWebView view, bool muted)
{
    with(view, [=](StandinView* v) { v->setMuted(muted); });
}

STANDIN_EXPORT MiniDeviceContext yvip_lock_view_dc(MiniWebView view)
{
    StandinView* v = StandinView::from(view);
    return v ? v->deviceContext() : nullptr;
}

STANDIN_EXPORT void yvip_unlock_view_dc(MiniWebView)
{
}

STANDIN_EXPORT const char* yvip_get_title(MiniWebView view)
{
    return ymini_get_title(view);
}

STANDIN_EXPORT int yvip_request_favicon(MiniWebView view, MiniFaviconCallback callback, void* context)
{
    return ymini_request_favicon(view, callback, context);
}

VIP_ENGINE_ENTRY_POINTS(STANDIN_CHECK)

// Controls for tests: the views in creation order, and the page's request
// for a new window.

STANDIN_EXPORT int ystandin_view_count()
{
    return int(views().size());
}

STANDIN_EXPORT MiniWebView ystandin_view_at(int index)
{
    if (index < 0 || index >= int(views().size()))
        return nullptr;
    return views()[size_t(index)]->handle();
}

STANDIN_EXPORT void ystandin_request_new_window(MiniWebView view, int kind, const char* url)
{
    with(view, [=](StandinView* v) { v->requestNewWindow(kind, QString::fromUtf8(url ? url : emptyText)); });
}
