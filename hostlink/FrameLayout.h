#pragma once

#include <cstdint>

// The frame segment as the runner writes it and the host reads it: two
// buffers one after the other, each a 28-byte little-endian header followed
// by room for the largest page in ARGB32. Plain values only, so a host
// built without Qt can use them as well.
namespace FrameLayout {

constexpr int MaxWidth = 7680;
constexpr int MaxHeight = 4320;
constexpr int BytesPerPixel = 4;

// Byte offsets of the header fields; the pixels follow the header.
constexpr int ConsumedOffset = 0;
constexpr int WholeFrameOffset = 1;
constexpr int EngineFlagOffset = 2;
constexpr int ReservedOffset = 3;
constexpr int WidthOffset = 4;
constexpr int HeightOffset = 8;
constexpr int DirtyXOffset = 12;
constexpr int DirtyYOffset = 16;
constexpr int DirtyWidthOffset = 20;
constexpr int DirtyHeightOffset = 24;
constexpr int HeaderBytes = 28;

constexpr int64_t PixelBytes = int64_t(MaxWidth) * MaxHeight * BytesPerPixel;
constexpr int64_t BufferBytes = HeaderBytes + PixelBytes;
constexpr int64_t SegmentBytes = 2 * BufferBytes;

static_assert(BufferBytes == 132710428, "buffer B starts at 132,710,428");
static_assert(SegmentBytes == 265420856, "the segment is 265,420,856 bytes");

struct PageExtent
{
    int width;
    int height;
};

// A page is at least one pixel each way and never larger than a buffer holds.
constexpr PageExtent boundedPage(int width, int height)
{
    return { width < 1 ? 1 : width > MaxWidth ? MaxWidth : width,
             height < 1 ? 1 : height > MaxHeight ? MaxHeight : height };
}

} // namespace FrameLayout
