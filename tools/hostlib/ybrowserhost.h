#ifndef YBROWSERHOST_H
#define YBROWSERHOST_H

/*
 * C interface of the host library: start a YBrowserRunner, drive it, take
 * its frames and read what it reports. No Qt type crosses it.
 *
 * Threads and events. A handle belongs to the thread that made it, and every
 * call must come from that thread. The library needs a Qt application object:
 * if the process has none when the first handle is made, the library makes
 * a QCoreApplication of its own and keeps it until the process ends. Nothing
 * runs between calls: the socket, the heartbeat and the runner's end are
 * handled inside the library's calls (every call processes pending events,
 * ybh_poll_frame and ybh_next_event wait up to their timeout while doing so).
 * The runner ends itself 30 s after the last heartbeat, so a host must call
 * into the library (ybh_process_events will do) more often than that.
 *
 * Errors. Calls return YBH_OK (0), a positive "nothing yet" status, or a
 * negative error code; ybh_error_message() gives the text of the handle's
 * last error. Strings are UTF-8. Pointers handed out by the library stay
 * valid until the next call that hands out the same kind of data on the same
 * handle, or until ybh_destroy().
 */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define YBH_API __attribute__((visibility("default")))
#else
#define YBH_API
#endif

enum YbhStatus {
    YBH_OK = 0,
    YBH_NOTHING = 1,            /* no new frame or event within the timeout */
    YBH_ERROR_ARGUMENT = -1,    /* a null handle or pointer, or a value out of range */
    YBH_ERROR_STATE = -2,       /* started twice, or not started */
    YBH_ERROR_START = -3,       /* the runner could not be started */
    YBH_ERROR_CONNECT = -4,     /* the runner did not connect and report ConnectDone in time */
    YBH_ERROR_SEGMENT = -5,     /* the frame segment could not be attached */
    YBH_ERROR_ENDED = -6        /* the runner has ended */
};

typedef struct YbhHost YbhHost;

/* What the runner is started with. Zero or NULL fields take the default. */
typedef struct YbhStartOptions {
    const char* runner_path;       /* default: the runner installed with the library, or $YBR_RUNNER */
    const char* url;               /* default: the parameter record's start page */
    int width, height;             /* page size; default 1920 x 1080, at most 7680 x 4320 */
    const char* segment_key;       /* default: a key unique to this handle */
    int heartbeat_ms;              /* default 5000; negative: no heartbeat */
    int connect_timeout_ms;        /* default 20000 */
    int shown;                     /* non-zero: the setting window on screen instead of parked */
} YbhStartOptions;

/* One frame, copied out of the segment. */
typedef struct YbhFrame {
    int buffer;                    /* 0: buffer A, 1: buffer B */
    int whole_frame;
    int engine_flag;
    int width, height;
    int dirty_x, dirty_y, dirty_width, dirty_height;
    const uint8_t* pixels;         /* width * height 32-bit pixels 0xAARRGGBB: bytes B, G, R, A */
    size_t stride;                 /* bytes per row: width * 4 */
} YbhFrame;

enum YbhEventType {
    YBH_EVENT_CONNECT_DONE = 0,    /* text: "<width>X<height>X<window id>" */
    YBH_EVENT_LOAD_FINISHED = 4,   /* title, url, snapshot */
    YBH_EVENT_SETTING_DONE = 6,    /* url (the current one), width, height, urls */
    YBH_EVENT_RUNNER_ENDED = 100   /* exit_code */
};

typedef struct YbhEvent {
    int type;                      /* an YbhEventType */
    const char* text;              /* ConnectDone text; "" otherwise */
    const char* title;
    const char* url;
    int width, height;             /* page size (ConnectDone, SettingDone) or snapshot size */
    const uint8_t* snapshot;       /* LoadFinished: width * height ARGB32 pixels, or NULL */
    const char* const* urls;       /* SettingDone: url_count tab URLs */
    int url_count;
    int exit_code;                 /* RunnerEnded */
} YbhEvent;

YBH_API YbhHost* ybh_create(void);
YBH_API void ybh_destroy(YbhHost* host);           /* sends Quit, waits, kills if need be */
YBH_API const char* ybh_error_message(const YbhHost* host);

/* Starts the runner and waits until it has connected and sent ConnectDone. */
YBH_API int ybh_start(YbhHost* host, const YbhStartOptions* options);
YBH_API int ybh_stop(YbhHost* host, int timeout_ms);  /* Quit, then kill after the timeout */

YBH_API int ybh_change_url(YbhHost* host, const char* url);
YBH_API int ybh_set_mute(YbhHost* host, int muted);
YBH_API int ybh_set_visible(YbhHost* host, int visible);
YBH_API int ybh_whole_image(YbhHost* host);
YBH_API int ybh_enter_setting(YbhHost* host);
YBH_API int ybh_set_page_size(YbhHost* host, int width, int height);  /* UpdateBrowserParams */
YBH_API int ybh_heartbeat(YbhHost* host);

/* Waits up to timeout_ms for a buffer with content not yet taken, copies it
 * and hands it back to the runner. YBH_NOTHING when none came. */
YBH_API int ybh_poll_frame(YbhHost* host, YbhFrame* frame, int timeout_ms);
/* The oldest unread event, waiting up to timeout_ms. YBH_NOTHING when none came. */
YBH_API int ybh_next_event(YbhHost* host, YbhEvent* event, int timeout_ms);
YBH_API int ybh_process_events(YbhHost* host, int timeout_ms);

#ifdef __cplusplus
}
#endif

#endif
