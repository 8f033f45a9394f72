#include "FrameMemory.h"

#include "LogWriter.h"

#include <QImage>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

qint32 saturated(qint64 value)
{
    return qint32(qBound<qint64>(std::numeric_limits<qint32>::min(), value, std::numeric_limits<qint32>::max()));
}

} // namespace

FrameMemory::FrameMemory(const QString& key)
    : memory(key)
{
}

bool FrameMemory::attach()
{
    if (!memory.create(int(SegmentBytes), QSharedMemory::ReadWrite))
        memory.attach(QSharedMemory::ReadWrite);
    if (!memory.isAttached())
        log("Frame memory unavailable, frames are not delivered :", memory.errorString());
    return memory.isAttached();
}

qint64 FrameMemory::size() const
{
    return memory.isAttached() ? memory.size() : 0;
}

FrameHeader* FrameMemory::buffer(int index) const
{
    const qint64 offset = index * BufferBytes;
    if (offset + qint64(sizeof(FrameHeader)) > size())
        return nullptr;
    return reinterpret_cast<FrameHeader*>(static_cast<char*>(const_cast<void*>(memory.constData())) + offset);
}

qint64 FrameMemory::capacity(const FrameHeader* header) const
{
    if (!header)
        return 0;
    const qint64 offset = reinterpret_cast<const char*>(header) - static_cast<const char*>(memory.constData());
    return qBound<qint64>(0, size() - offset - qint64(sizeof(FrameHeader)), PixelBytes);
}

void FrameMemory::finishSetUp(bool engineFlag)
{
    if (FrameHeader* b = bufferB())
        b->consumed = 1;
    second = false;
    for (FrameHeader* header : { bufferA(), bufferB() }) {
        if (header)
            header->engineFlag = engineFlag ? 1 : 0;
    }
}

bool FrameMemory::isTaken(FrameHeader* header)
{
    if (!header)
        return false;
    lock();
    const bool taken = header->consumed == 1;
    unlock();
    return taken;
}

FrameHeader* FrameMemory::nextFrameBuffer(const QSize& pageSize, bool engineFlag)
{
    FrameHeader* idle = second ? bufferA() : bufferB();
    FrameHeader* current = second ? bufferB() : bufferA();
    FrameHeader* chosen = current;
    if (isTaken(idle)) {
        second = !second;
        chosen = idle;
    }
    if (!chosen)
        return nullptr;
    const QSize bounded = boundedSize(pageSize);
    chosen->width = bounded.width();
    chosen->height = bounded.height();
    chosen->engineFlag = engineFlag ? 1 : 0;
    return chosen;
}

void FrameMemory::writeUpdate(FrameHeader* header, const QPoint& pos, const QImage& update) const
{
    if (!header || update.isNull())
        return;
    const QImage image = update.depth() == 32 ? update : update.convertToFormat(QImage::Format_ARGB32);
    const qint64 left = pos.x(), top = pos.y();
    qint64 l = left, t = top, r = left + image.width(), b = top + image.height();
    if (header->consumed == 1) {
        header->consumed = 0;
        header->wholeFrame = 0;
    } else {
        l = std::min<qint64>(l, header->dirtyX);
        t = std::min<qint64>(t, header->dirtyY);
        r = std::max<qint64>(r, qint64(header->dirtyX) + header->dirtyWidth);
        b = std::max<qint64>(b, qint64(header->dirtyY) + header->dirtyHeight);
    }
    // The stored rectangle keeps its right and bottom edges inside the int range.
    header->dirtyX = saturated(l);
    header->dirtyY = saturated(t);
    header->dirtyWidth = saturated(saturated(r) - qint64(header->dirtyX));
    header->dirtyHeight = saturated(saturated(b) - qint64(header->dirtyY));

    const qint64 width = header->width;
    if (width <= 0)
        return;
    const qint64 stride = width * 4;
    const qint64 rows = std::min<qint64>(header->height, capacity(header) / stride);
    const qint64 x0 = std::max<qint64>(left, 0), x1 = std::min<qint64>(left + image.width(), width);
    const qint64 y0 = std::max<qint64>(top, 0), y1 = std::min<qint64>(top + image.height(), rows);
    if (x1 <= x0)
        return;
    uchar* pixels = header->pixels();
    for (qint64 y = y0; y < y1; ++y)
        std::memcpy(pixels + y * stride + x0 * 4, image.constScanLine(int(y - top)) + (x0 - left) * 4, size_t(x1 - x0) * 4);
}

QSize FrameMemory::boundedSize(const QSize& size) const
{
    const FrameLayout::PageExtent page = FrameLayout::boundedPage(size.width(), size.height());
    qint64 width = page.width;
    qint64 height = page.height;
    if (!isAttached())
        return QSize(int(width), int(height));
    qint64 room = PixelBytes;
    for (FrameHeader* header : { bufferA(), bufferB() }) {
        if (header)
            room = std::min(room, capacity(header));
    }
    if (width * height * 4 > room) {
        width = std::min(width, room / 4);
        height = width > 0 ? std::min(height, room / (width * 4)) : 0;
    }
    return QSize(int(width), int(height));
}
