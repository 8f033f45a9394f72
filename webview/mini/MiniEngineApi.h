#ifndef MINIENGINEAPI_H
#define MINIENGINEAPI_H

/* The first engine interface: flat entry points taking the web window,
   strings in UTF-8, texts from the engine as engine string objects. */

#include "MiniEngineTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Text owned by the engine, valid while the callback that got it runs. */
typedef struct MiniStringTag* MiniString;

/* The record behind ymini_main_frame; the frame id is its second word. */
typedef struct MiniFrameRecord {
    uint64_t reserved;
    uint64_t frame;
} MiniFrameRecord;

MINI_STATIC_ASSERT(offsetof(MiniFrameRecord, frame) == 8, "frame id is the second word");

typedef void (*MiniTitleChangedCallback)(MiniWebView view, void* context, MiniString title);
typedef void (*MiniUrlChangedCallback)(MiniWebView view, void* context, MiniString url);
typedef bool (*MiniNavigationCallback)(MiniWebView view, void* context, int kind, MiniString url);
typedef MiniWebView (*MiniCreateViewCallback)(MiniWebView view, void* context, int kind, MiniString url,
                                              const void* features);
typedef void (*MiniDocumentReadyCallback)(MiniWebView view, void* context);
typedef bool (*MiniConfirmBoxCallback)(MiniWebView view, void* context, MiniString message);
typedef void (*MiniLoadingFinishedCallback)(MiniWebView view, void* context, MiniString url, int result,
                                            MiniString reason);
typedef bool (*MiniDownloadCallback)(MiniWebView view, void* context, const char* url);
typedef void* (*MiniHostObjectCallback)(MiniWebView view, void* context);
typedef bool (*MiniWindowClosingCallback)(MiniWebView view, void* context);
typedef void (*MiniPaintUpdatedCallback)(MiniWebView view, void* context, MiniDeviceContext dc, int x, int y,
                                         int cx, int cy);

/* X(result, name, parameters): one line per entry point the views use. */
#define MINI_ENGINE_ENTRY_POINTS(X)                                                                      \
    X(MiniWebView, ymini_create_view, (int kind, MiniNativeWindow parent, int x, int y, int width,      \
                                       int height))                                                      \
    X(void, ymini_show_view, (MiniWebView view))                                                         \
    X(MiniNativeWindow, ymini_native_window, (MiniWebView view))                                         \
    X(void, ymini_resize, (MiniWebView view, int width, int height))                                     \
    X(void, ymini_set_new_window_enabled, (MiniWebView view, bool enabled))                              \
    X(void, ymini_on_title_changed, (MiniWebView view, MiniTitleChangedCallback callback, void* context)) \
    X(void, ymini_on_url_changed, (MiniWebView view, MiniUrlChangedCallback callback, void* context))     \
    X(void, ymini_on_navigation, (MiniWebView view, MiniNavigationCallback callback, void* context))      \
    X(void, ymini_on_create_view, (MiniWebView view, MiniCreateViewCallback callback, void* context))     \
    X(void, ymini_on_document_ready, (MiniWebView view, MiniDocumentReadyCallback callback, void* context)) \
    X(void, ymini_on_confirm_box, (MiniWebView view, MiniConfirmBoxCallback callback, void* context))     \
    X(void, ymini_on_loading_finished, (MiniWebView view, MiniLoadingFinishedCallback callback,          \
                                        void* context))                                                  \
    X(void, ymini_on_download, (MiniWebView view, MiniDownloadCallback callback, void* context))          \
    X(void, ymini_on_host_object, (MiniWebView view, MiniHostObjectCallback callback, void* context))     \
    X(void, ymini_on_window_closing, (MiniWebView view, MiniWindowClosingCallback callback, void* context)) \
    X(void, ymini_on_paint_updated, (MiniWebView view, MiniPaintUpdatedCallback callback, void* context))  \
    X(const char*, ymini_get_url, (MiniWebView view))                                                    \
    X(void, ymini_load_url, (MiniWebView view, const char* url))                                         \
    X(void, ymini_go_forward, (MiniWebView view))                                                        \
    X(void, ymini_go_back, (MiniWebView view))                                                           \
    X(void, ymini_reload, (MiniWebView view))                                                            \
    X(void, ymini_stop_loading, (MiniWebView view))                                                      \
    X(int, ymini_can_go_forward, (MiniWebView view))                                                     \
    X(int, ymini_can_go_back, (MiniWebView view))                                                        \
    X(float, ymini_get_media_volume, (MiniWebView view))                                                 \
    X(void, ymini_set_media_volume, (MiniWebView view, float volume))                                    \
    X(void, ymini_paint, (MiniWebView view, void* bits, int pitch))                                      \
    X(const char*, ymini_get_title, (MiniWebView view))                                                  \
    X(const char*, ymini_string_text, (MiniString text))                                                 \
    X(const MiniFrameRecord*, ymini_main_frame, (MiniWebView view))                                      \
    X(int, ymini_is_main_frame, (MiniWebView view, uint64_t frame))                                      \
    X(int, ymini_request_favicon, (MiniWebView view, MiniFaviconCallback callback, void* context))

#define MINI_ENGINE_POINTER_TYPE(result, name, parameters) typedef result(*name##_fn) parameters;
MINI_ENGINE_ENTRY_POINTS(MINI_ENGINE_POINTER_TYPE)
#undef MINI_ENGINE_POINTER_TYPE

typedef struct MiniEngineApi {
#define MINI_ENGINE_FIELD(result, name, parameters) name##_fn name;
    MINI_ENGINE_ENTRY_POINTS(MINI_ENGINE_FIELD)
#undef MINI_ENGINE_FIELD
} MiniEngineApi;

#ifdef __cplusplus
}
#endif

#endif
