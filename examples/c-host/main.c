/* A minimal host in C: starts the runner on a page, waits until the page has
 * loaded and painted, and saves one frame as a binary PPM.
 *   c-host URL OUT.ppm [WIDTH HEIGHT] */
#include <ybrowserhost.h>

#include <stdio.h>
#include <stdlib.h>

static int fail(YbhHost* host, const char* what)
{
    fprintf(stderr, "%s: %s\n", what, ybh_error_message(host));
    ybh_destroy(host);
    return 1;
}

int main(int argc, char* argv[])
{
    if (argc < 3) {
        fprintf(stderr, "usage: %s URL OUT.ppm [WIDTH HEIGHT]\n", argv[0]);
        return 2;
    }
    YbhHost* host = ybh_create();
    YbhStartOptions options = { 0 };
    options.url = argv[1];
    options.width = argc > 4 ? atoi(argv[3]) : 1280;
    options.height = argc > 4 ? atoi(argv[4]) : 720;
    if (ybh_start(host, &options) != YBH_OK)
        return fail(host, "start");

    YbhEvent event;
    do {
        if (ybh_next_event(host, &event, 60000) != YBH_OK || event.type == YBH_EVENT_RUNNER_ENDED)
            return fail(host, "waiting for the page");
    } while (event.type != YBH_EVENT_LOAD_FINISHED);
    /* Chromium paints a moment after the load ends. */
    ybh_process_events(host, 1000);

    YbhFrame frame;
    if (ybh_poll_frame(host, &frame, 10000) != YBH_OK || !frame.pixels)
        return fail(host, "taking a frame");
    FILE* out = fopen(argv[2], "wb");
    if (!out)
        return fail(host, "opening the output");
    fprintf(out, "P6\n%d %d\n255\n", frame.width, frame.height);
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* row = frame.pixels + (size_t)y * frame.stride;
        for (int x = 0; x < frame.width; ++x) {
            const unsigned char rgb[3] = { row[4 * x + 2], row[4 * x + 1], row[4 * x] };
            fwrite(rgb, 1, 3, out);
        }
    }
    fclose(out);
    printf("saved %dx%d frame to %s\n", frame.width, frame.height, argv[2]);
    ybh_stop(host, 5000);
    ybh_destroy(host);
    return 0;
}
