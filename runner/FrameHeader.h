#pragma once

#include "FrameLayout.h"

#include <QtGlobal>

#include <cstddef>

// The header in front of each frame buffer of the shared segment, read by the
// host as raw little-endian bytes; the pixels follow it.
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

    uchar* pixels() { return reinterpret_cast<uchar*>(this) + FrameLayout::HeaderBytes; }
};
#pragma pack(pop)

static_assert(offsetof(FrameHeader, consumed) == FrameLayout::ConsumedOffset, "consumed");
static_assert(offsetof(FrameHeader, wholeFrame) == FrameLayout::WholeFrameOffset, "wholeFrame");
static_assert(offsetof(FrameHeader, engineFlag) == FrameLayout::EngineFlagOffset, "engineFlag");
static_assert(offsetof(FrameHeader, reserved) == FrameLayout::ReservedOffset, "reserved");
static_assert(offsetof(FrameHeader, width) == FrameLayout::WidthOffset, "width");
static_assert(offsetof(FrameHeader, height) == FrameLayout::HeightOffset, "height");
static_assert(offsetof(FrameHeader, dirtyX) == FrameLayout::DirtyXOffset, "dirtyX");
static_assert(offsetof(FrameHeader, dirtyY) == FrameLayout::DirtyYOffset, "dirtyY");
static_assert(offsetof(FrameHeader, dirtyWidth) == FrameLayout::DirtyWidthOffset, "dirtyWidth");
static_assert(offsetof(FrameHeader, dirtyHeight) == FrameLayout::DirtyHeightOffset, "dirtyHeight");
static_assert(sizeof(FrameHeader) == FrameLayout::HeaderBytes, "header size");
