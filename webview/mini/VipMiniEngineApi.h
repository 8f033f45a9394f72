#ifndef VIPMINIENGINEAPI_H
#define VIPMINIENGINEAPI_H

/* The second engine interface: plain UTF-8 texts, an audio mute flag and a
   lockable device context of the whole rendered page. */

#include "MiniEngineTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*VipTitleChangedCallback)(MiniWebView view, void* context, const char* title);
typedef void (*VipUrlChangedCallback)(MiniWebView view, void* context, const char* url, int canGoBack);
typedef int (*VipNavigationCallback)(MiniWebView view, void* context, int kind, const char* url);
typedef MiniWebView (*VipCreateViewCallback)(MiniWebView view, void* context, int kind, const char* url,
                                             const void* features);
typedef void (*VipLoadingFinishedCallback)(MiniWebView view, void* context, void* frame, const char* url,
                                           int result, const char* reason);
typedef void (*VipPaintUpdatedCallback)(MiniWebView view, void* context, MiniDeviceContext dc, int x, int y,
                                        int cx, int cy);

#define VIP_ENGINE_ENTRY_POINTS(X)                                                                       \
    X(MiniWebView, yvip_create_view, (int kind, MiniNativeWindow parent, int x, int y, int width,       \
                                      int height))                                                       \
    X(void, yvip_show_view, (MiniWebView view))                                                          \
    X(MiniNativeWindow, yvip_native_window, (MiniWebView view))                                          \
    X(void, yvip_resize, (MiniWebView view, int width, int height))                                      \
    X(void, yvip_set_new_window_enabled, (MiniWebView view, bool enabled))                               \
    X(void, yvip_on_title_changed, (MiniWebView view, VipTitleChangedCallback callback, void* context))  \
    X(void, yvip_on_url_changed, (MiniWebView view, VipUrlChangedCallback callback, void* context))      \
    X(void, yvip_on_navigation, (MiniWebView view, VipNavigationCallback callback, void* context))       \
    X(void, yvip_on_create_view, (MiniWebView view, VipCreateViewCallback callback, void* context))      \
    X(void, yvip_on_loading_finished, (MiniWebView view, VipLoadingFinishedCallback callback,           \
                                       void* context))                                                   \
    X(void, yvip_on_paint_updated, (MiniWebView view, VipPaintUpdatedCallback callback, void* context))  \
    X(const char*, yvip_get_url, (MiniWebView view))                                                     \
    X(void, yvip_load_url, (MiniWebView view, const char* url))                                          \
    X(void, yvip_go_forward, (MiniWebView view))                                                         \
    X(void, yvip_go_back, (MiniWebView view))                                                            \
    X(void, yvip_reload, (MiniWebView view))                                                             \
    X(void, yvip_stop_loading, (MiniWebView view))                                                       \
    X(int, yvip_is_audio_muted, (MiniWebView view))                                                      \
    X(void, yvip_set_audio_muted, (MiniWebView view, bool muted))                                        \
    X(MiniDeviceContext, yvip_lock_view_dc, (MiniWebView view))                                          \
    X(void, yvip_unlock_view_dc, (MiniWebView view))                                                     \
    X(const char*, yvip_get_title, (MiniWebView view))                                                   \
    X(int, yvip_request_favicon, (MiniWebView view, MiniFaviconCallback callback, void* context))

#define VIP_ENGINE_POINTER_TYPE(result, name, parameters) typedef result(*name##_fn) parameters;
VIP_ENGINE_ENTRY_POINTS(VIP_ENGINE_POINTER_TYPE)
#undef VIP_ENGINE_POINTER_TYPE

typedef struct VipMiniEngineApi {
#define VIP_ENGINE_FIELD(result, name, parameters) name##_fn name;
    VIP_ENGINE_ENTRY_POINTS(VIP_ENGINE_FIELD)
#undef VIP_ENGINE_FIELD
} VipMiniEngineApi;

#ifdef __cplusplus
}
#endif

#endif
