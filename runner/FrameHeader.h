#pragma once

#include <QtGlobal>

#include <cstddef>

// The header in front of each frame buffer of the shared segment, read by the
// host as raw little-endian bytes; the pixels follow at byte 28.
#pragma pack(push, 1)
struct FrameHeader
{
    quint8 consumed;
    quint8 wholeFrame;
    quint8 engineFlag;
    quint8 reserved;
    qint32 width;
    qint32 height;
    qint32 dirtyX;
    qint32 dirtyY;
    qint32 dirtyWidth;
    qint32 dirtyHeight;

    uchar* pixels() { return reinterpret_cast<uchar*>(this) + 28; }

    // The room behind one header: 7680 x 4320 pixels of 4 bytes.
    static constexpr int MaxWidth = 7680;
    static constexpr int MaxHeight = 4320;
};
#pragma pack(pop)

static_assert(offsetof(FrameHeader, consumed) == 0, "consumed at 0");
static_assert(offsetof(FrameHeader, wholeFrame) == 1, "wholeFrame at 1");
static_assert(offsetof(FrameHeader, engineFlag) == 2, "engineFlag at 2");
static_assert(offsetof(FrameHeader, reserved) == 3, "reserved at 3");
static_assert(offsetof(FrameHeader, width) == 4, "width at 4");
static_assert(offsetof(FrameHeader, height) == 8, "height at 8");
static_assert(offsetof(FrameHeader, dirtyX) == 12, "dirtyX at 12");
static_assert(offsetof(FrameHeader, dirtyY) == 16, "dirtyY at 16");
static_assert(offsetof(FrameHeader, dirtyWidth) == 20, "dirtyWidth at 20");
static_assert(offsetof(FrameHeader, dirtyHeight) == 24, "dirtyHeight at 24");
static_assert(sizeof(FrameHeader) == 28, "header is 28 bytes");
