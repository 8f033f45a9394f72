#include "FrameReader.h"

#include "OrphanSegment.h"

#include <QtEndian>

#include <cstring>

FrameReader::FrameReader(const QString& key)
    : memory(key)
{
}

FrameReader::~FrameReader()
{
    if (memory.isAttached()) {
        memory.detach();
        removeOrphanSegment(memory.key());
    }
}

bool FrameReader::create(qint64 bytes)
{
    return memory.create(int(bytes), QSharedMemory::ReadWrite);
}

bool FrameReader::attach()
{
    return memory.isAttached() || memory.attach(QSharedMemory::ReadWrite);
}

uchar* FrameReader::base(int buffer) const
{
    const qint64 offset = buffer * BufferBytes;
    if (!memory.isAttached() || offset + HeaderBytes > memory.size())
        return nullptr;
    return static_cast<uchar*>(const_cast<void*>(memory.constData())) + offset;
}

FrameReader::Header FrameReader::header(int buffer) const
{
    Header h;
    const uchar* p = base(buffer);
    if (!p)
        return h;
    const auto i32 = [p](int offset) { return qFromLittleEndian<qint32>(p + offset); };
    using namespace FrameLayout;
    h.consumed = p[ConsumedOffset] != 0;
    h.wholeFrame = p[WholeFrameOffset] != 0;
    h.engineFlag = p[EngineFlagOffset] != 0;
    h.size = QSize(i32(WidthOffset), i32(HeightOffset));
    h.dirty = QRect(i32(DirtyXOffset), i32(DirtyYOffset), i32(DirtyWidthOffset), i32(DirtyHeightOffset));
    return h;
}

void FrameReader::setConsumed(int buffer, bool consumed)
{
    if (uchar* p = base(buffer))
        p[FrameLayout::ConsumedOffset] = consumed ? 1 : 0;
}

bool FrameReader::take(Frame& frame, bool copyPixels)
{
    if (!memory.isAttached() || !memory.lock())
        return false;
    const bool freshA = !header(0).consumed && base(0);
    const bool freshB = !header(1).consumed && base(1);
    int chosen = -1;
    if (freshA && freshB)
        chosen = lastTaken;
    else if (freshA || freshB)
        chosen = freshA ? 0 : 1;
    if (chosen >= 0) {
        frame.buffer = chosen;
        frame.header = header(chosen);
        const QSize size = frame.header.size;
        const qint64 room = qMin<qint64>(BufferBytes, memory.size() - chosen * BufferBytes) - HeaderBytes;
        const bool fits = size.width() > 0 && size.height() > 0 && qint64(size.width()) * size.height() * 4 <= room;
        if (copyPixels && fits) {
            if (frame.image.size() != size || frame.image.format() != QImage::Format_ARGB32)
                frame.image = QImage(size, QImage::Format_ARGB32);
            std::memcpy(frame.image.bits(), base(chosen) + HeaderBytes, size_t(size.width()) * size.height() * 4);
        } else if (copyPixels) {
            frame.image = QImage();
        }
        // The other buffer holds older content: taking it later would go back
        // in time, so it is given back to the runner too.
        setConsumed(0, true);
        setConsumed(1, true);
        lastTaken = chosen;
    }
    memory.unlock();
    return chosen >= 0;
}
