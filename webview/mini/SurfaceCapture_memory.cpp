#include "SurfaceCapture.h"

#include "MiniSurface.h"

#include <algorithm>
#include <cstring>

namespace {

const MiniSurface* surfaceOf(MiniDeviceContext dc)
{
    const auto* surface = reinterpret_cast<const MiniSurface*>(dc);
    if (!surface || surface->magic != MINI_SURFACE_MAGIC || !surface->bits || surface->width <= 0
        || surface->height <= 0 || surface->stride < surface->width * 4)
        return nullptr;
    return surface;
}

// Copies the part of the surface's (x, y, cx, cy) that exists to (0, 0) of
// the target; the rest of the target is left alone.
void blit(const MiniSurface& surface, int x, int y, int cx, int cy, unsigned char* target, int targetStride)
{
    const int left = std::max(x, 0);
    const int top = std::max(y, 0);
    const int right = std::min<long long>(static_cast<long long>(x) + cx, surface.width);
    const int bottom = std::min<long long>(static_cast<long long>(y) + cy, surface.height);
    if (left >= right || top >= bottom)
        return;
    const size_t rowBytes = size_t(right - left) * 4;
    for (int row = top; row < bottom; ++row) {
        const uint8_t* from = surface.bits + size_t(row) * surface.stride + size_t(left) * 4;
        unsigned char* to = target + size_t(row - y) * targetStride + size_t(left - x) * 4;
        std::memcpy(to, from, rowBytes);
    }
}

} // namespace

SurfaceCapture::SurfaceCapture(MiniDeviceContext dc, int x, int y, int cx, int cy)
{
    if (cx <= 0 || cy <= 0 || cx > FrameLayout::MaxWidth || cy > FrameLayout::MaxHeight)
        return;
    w = cx;
    h = cy;
    pixels.assign(size_t(cx) * size_t(cy), 0xffffffffu);
    if (const MiniSurface* surface = surfaceOf(dc))
        blit(*surface, x, y, cx, cy, reinterpret_cast<unsigned char*>(pixels.data()), cx * 4);
}

const unsigned char* SurfaceCapture::bits() const
{
    return reinterpret_cast<const unsigned char*>(pixels.data());
}

void SurfaceCapture::copyPage(MiniDeviceContext dc, int width, int height, unsigned char* target)
{
    if (!target || width <= 0 || height <= 0)
        return;
    std::memset(target, 0, size_t(width) * size_t(height) * 4);
    if (const MiniSurface* surface = surfaceOf(dc))
        blit(*surface, 0, 0, width, height, target, width * 4);
}
