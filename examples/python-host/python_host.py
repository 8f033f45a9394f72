#!/usr/bin/env python3
"""A minimal host in Python over the C interface (ctypes): starts the runner
on a page, waits until the page has loaded and painted, and saves one frame
as a PNG.
    python_host.py LIBRARY URL OUT.png [WIDTH HEIGHT]
LIBRARY is the installed libybrowserhost.so."""
import ctypes as C
import struct
import sys
import zlib


class StartOptions(C.Structure):
    _fields_ = [("runner_path", C.c_char_p), ("url", C.c_char_p), ("width", C.c_int),
                ("height", C.c_int), ("segment_key", C.c_char_p), ("heartbeat_ms", C.c_int),
                ("connect_timeout_ms", C.c_int), ("shown", C.c_int)]


class Frame(C.Structure):
    _fields_ = [(name, C.c_int) for name in ("buffer", "whole_frame", "engine_flag", "width", "height",
                                             "dirty_x", "dirty_y", "dirty_width", "dirty_height")] + \
               [("pixels", C.POINTER(C.c_uint8)), ("stride", C.c_size_t)]


class Event(C.Structure):
    _fields_ = [("type", C.c_int), ("text", C.c_char_p), ("title", C.c_char_p), ("url", C.c_char_p),
                ("width", C.c_int), ("height", C.c_int), ("snapshot", C.POINTER(C.c_uint8)),
                ("urls", C.POINTER(C.c_char_p)), ("url_count", C.c_int), ("exit_code", C.c_int)]


LOAD_FINISHED, RUNNER_ENDED = 4, 100


def save_png(path, width, height, bgra):
    rgba = bytearray(len(bgra))
    rgba[0::4], rgba[1::4], rgba[2::4], rgba[3::4] = bgra[2::4], bgra[1::4], bgra[0::4], bgra[3::4]
    rows = b"".join(b"\0" + rgba[y * width * 4:(y + 1) * width * 4] for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
                  + chunk(b"IDAT", zlib.compress(bytes(rows))) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    lib = C.CDLL(sys.argv[1])
    lib.ybh_create.restype = C.c_void_p
    lib.ybh_error_message.restype = C.c_char_p
    for name in ("ybh_destroy", "ybh_error_message", "ybh_start", "ybh_stop", "ybh_next_event",
                 "ybh_process_events", "ybh_poll_frame"):
        getattr(lib, name).argtypes = [C.c_void_p] + {
            "ybh_start": [C.POINTER(StartOptions)], "ybh_stop": [C.c_int], "ybh_process_events": [C.c_int],
            "ybh_next_event": [C.POINTER(Event), C.c_int], "ybh_poll_frame": [C.POINTER(Frame), C.c_int],
        }.get(name, [])

    host = lib.ybh_create()

    def check(status, what):
        if status != 0:
            message = lib.ybh_error_message(host).decode()
            lib.ybh_destroy(host)
            sys.exit(f"{what}: {message} (status {status})")

    width, height = (int(sys.argv[4]), int(sys.argv[5])) if len(sys.argv) > 5 else (1280, 720)
    options = StartOptions(url=sys.argv[2].encode(), width=width, height=height)
    check(lib.ybh_start(host, C.byref(options)), "start")
    event = Event()
    while True:
        check(lib.ybh_next_event(host, C.byref(event), 60000), "waiting for the page")
        if event.type == RUNNER_ENDED:
            check(-6, "waiting for the page")
        if event.type == LOAD_FINISHED:
            break
    lib.ybh_process_events(host, 1000)  # Chromium paints a moment after the load ends
    frame = Frame()
    check(lib.ybh_poll_frame(host, C.byref(frame), 10000), "taking a frame")
    pixels = C.string_at(frame.pixels, frame.stride * frame.height)
    save_png(sys.argv[3], frame.width, frame.height, pixels)
    print(f"saved {frame.width}x{frame.height} frame to {sys.argv[3]}")
    lib.ybh_stop(host, 5000)
    lib.ybh_destroy(host)


if __name__ == "__main__":
    main()
