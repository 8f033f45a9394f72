#pragma once

#include "FrameLayout.h"

#include <QImage>
#include <QRect>
#include <QSharedMemory>
#include <QSize>
#include <QString>

// The host's side of the frame segment: attaches by key, reads the two
// buffer headers as raw little-endian bytes and takes frames by the
// `consumed` protocol under the segment lock.
class FrameReader
{
public:
    static constexpr int HeaderBytes = FrameLayout::HeaderBytes;
    static constexpr qint64 BufferBytes = FrameLayout::BufferBytes;
    static constexpr qint64 SegmentBytes = FrameLayout::SegmentBytes;

    struct Header {
        bool consumed = false;
        bool wholeFrame = false;
        bool engineFlag = false;
        QSize size;
        QRect dirty;
    };

    struct Frame {
        int buffer = -1;
        Header header;
        QImage image;  // ARGB32, a deep copy of the buffer's pixels
    };

    explicit FrameReader(const QString& key);
    // The last one to detach from a killed runner's segment also removes
    // its lock.
    ~FrameReader();

    // A host may make the segment itself before the runner starts.
    bool create(qint64 bytes = SegmentBytes);
    bool attach();
    bool isAttached() const { return memory.isAttached(); }
    qint64 size() const { return memory.isAttached() ? memory.size() : 0; }

    Header header(int buffer) const;
    void setConsumed(int buffer, bool consumed);

    // Takes the newest buffer holding untaken content, if any: copies its
    // pixels and marks both buffers consumed, all under the segment lock.
    bool take(Frame& frame, bool copyPixels = true);

    QSharedMemory& segment() { return memory; }

private:
    uchar* base(int buffer) const;

    QSharedMemory memory;
    // After a take both buffers are marked consumed; the runner then writes
    // the other buffer once and moves back into the taken one, so when both
    // hold untaken content the one taken last holds the newest. At set-up the
    // runner writes A and moves into B, which it finds marked.
    int lastTaken = 1;
};
