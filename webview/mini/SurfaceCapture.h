#pragma once

#include "FrameLayout.h"
#include "MiniEngineTypes.h"

#include <cstdint>
#include <vector>

// Reads what an engine painted into its device context. This is the one
// place that knows what a device context is on this platform; another
// platform brings its own implementation file.
class SurfaceCapture
{
public:
    // Copies the cx x cy rectangle at (x, y) of dc onto white. Pixels the
    // surface does not cover stay white. A size outside 1 x 1 to the page
    // limits of FrameLayout gives an invalid capture.
    SurfaceCapture(MiniDeviceContext dc, int x, int y, int cx, int cy);

    bool isValid() const { return !pixels.empty(); }
    int width() const { return w; }
    int height() const { return h; }
    // ARGB32 pixels, rows top to bottom, stride width() * 4.
    const unsigned char* bits() const;

    // Copies the width x height area at (0, 0) of dc into pixels (stride
    // width * 4); what the surface does not cover becomes 0.
    static void copyPage(MiniDeviceContext dc, int width, int height, unsigned char* pixels);

private:
    std::vector<uint32_t> pixels;
    int w = 0;
    int h = 0;
};
