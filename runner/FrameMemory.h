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
    static constexpr int MaxWidth = FrameHeader::MaxWidth;
    static constexpr int MaxHeight = FrameHeader::MaxHeight;
    static constexpr qint64 PixelBytes = qint64(MaxWidth) * MaxHeight * 4;
    static constexpr qint64 BufferBytes = qint64(sizeof(FrameHeader)) + PixelBytes;
    static constexpr qint64 SegmentBytes = 2 * BufferBytes;

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

    // The largest size no bigger than `size` whose frame fits every buffer.
    QSize boundedSize(const QSize& size) const;

    bool lock() { return memory.lock(); }
    bool unlock() { return memory.unlock(); }

private:
    FrameHeader* buffer(int index) const;
    bool isTaken(FrameHeader* header);

    QSharedMemory memory;
    bool second = true;
};
