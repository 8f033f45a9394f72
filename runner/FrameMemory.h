#pragma once

#include "FrameHeader.h"

#include <QPoint>
#include <QSharedMemory>
#include <QSize>
#include <QString>

class QImage;

// The two-buffer segment the host reads frames from. Buffer A starts at 0,
// buffer B at BufferBytes; each is a header plus room for the largest page.
// Every write is bounded by the segment as it really is: a segment the host
// made smaller, or no segment at all, only shrinks what gets written.
class FrameMemory
{
public:
    static constexpr qint64 PixelBytes = FrameLayout::PixelBytes;
    static constexpr qint64 BufferBytes = FrameLayout::BufferBytes;
    static constexpr qint64 SegmentBytes = FrameLayout::SegmentBytes;

    explicit FrameMemory(const QString& key);

    // Creates the segment, or joins it when the host made it first.
    bool attach();
    bool isAttached() const { return memory.isAttached(); }
    qint64 size() const;

    FrameHeader* bufferA() const { return buffer(0); }
    FrameHeader* bufferB() const { return buffer(1); }
    qint64 capacity(const FrameHeader* header) const;

    bool writingSecond() const { return second; }
    // Marks B as taken and makes A the buffer being written.
    void finishSetUp(bool engineFlag);
    FrameHeader* nextFrameBuffer(const QSize& pageSize, bool engineFlag);
    void writeUpdate(FrameHeader* header, const QPoint& pos, const QImage& image) const;

    // `size` within the page limits, then shrunk until its frame fits every
    // buffer: 0 x 0 when a buffer has no room for a single pixel.
    QSize boundedSize(const QSize& size) const;

    bool lock() { return memory.lock(); }
    bool unlock() { return memory.unlock(); }

private:
    FrameHeader* buffer(int index) const;
    bool isTaken(FrameHeader* header);

    QSharedMemory memory;
    bool second = true;
};
