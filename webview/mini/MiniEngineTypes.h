#ifndef MINIENGINETYPES_H
#define MINIENGINETYPES_H

/* Types shared by both engine interfaces. Plain C: the engine library is
   bound at run time and may be built with another compiler. */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#include <cstddef>
#define MINI_STATIC_ASSERT(cond, text) static_assert(cond, text)
extern "C" {
#else
#include <stdbool.h>
#define MINI_STATIC_ASSERT(cond, text) _Static_assert(cond, text)
#endif

/* The engine's web window, opaque to its users. */
typedef struct MiniWebViewTag* MiniWebView;
/* A window of the platform's window system (an X11 window id here). */
typedef uintptr_t MiniNativeWindow;
/* What the engine paints into; see SurfaceCapture for how it is read. */
typedef struct MiniDeviceContextTag* MiniDeviceContext;

/* Navigation kinds passed to navigation and new-view callbacks. */
enum MiniNavigationKind {
    MINI_NAVIGATION_LINK = 0,
    MINI_NAVIGATION_FORM_SUBMIT = 1,
    MINI_NAVIGATION_BACK_FORWARD = 2,
    MINI_NAVIGATION_RELOAD = 3,
    MINI_NAVIGATION_FORM_RESUBMIT = 4,
    MINI_NAVIGATION_OTHER = 5
};

/* Results passed to loading-finished callbacks. */
enum MiniLoadResult {
    MINI_LOAD_SUCCEEDED = 0,
    MINI_LOAD_FAILED = 1,
    MINI_LOAD_CANCELED = 2
};

/* The favicon bytes handed to a favicon callback (any image format). */
typedef struct MiniFaviconBuffer {
    uint64_t reserved;
    const void* data;
    uint32_t length;
    uint32_t padding;
} MiniFaviconBuffer;

MINI_STATIC_ASSERT(sizeof(void*) == 8, "the engine interfaces are 64-bit only");
MINI_STATIC_ASSERT(offsetof(MiniFaviconBuffer, data) == 8, "favicon data pointer at byte 8");
MINI_STATIC_ASSERT(offsetof(MiniFaviconBuffer, length) == 16, "favicon length at byte 16");
MINI_STATIC_ASSERT(sizeof(MiniFaviconBuffer) == 24, "favicon record is 24 bytes");

typedef void (*MiniFaviconCallback)(MiniWebView view, void* context, const char* url,
                                    const MiniFaviconBuffer* buffer);

#ifdef __cplusplus
}
#endif

#endif
