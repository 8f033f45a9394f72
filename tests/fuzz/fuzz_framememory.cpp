// Updates of any size at any position into real segments, the runner's full one and ones a host made too small:
// nothing outside the chosen buffer's own room may change, and what lands is the image's bytes.
#include "FrameMemory.h"

#include <QImage>
#include <QSharedMemory>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

struct Segment {
    std::unique_ptr<QSharedMemory> hostMade;
    std::unique_ptr<FrameMemory> memory;
};

std::vector<Segment> segments;

// Fixed keys: a run that dies leaves at most one segment of each behind, and the next run joins it.
void addSegment(const QString& key, qint64 hostBytes)
{
    Segment segment;
    if (hostBytes > 0) {
        segment.hostMade = std::make_unique<QSharedMemory>(key);
        if (!segment.hostMade->create(int(hostBytes)) && !segment.hostMade->attach())
            std::abort();
    }
    segment.memory = std::make_unique<FrameMemory>(key);
    if (!segment.memory->attach())
        std::abort();
    segments.push_back(std::move(segment));
}

struct Input {
    const uint8_t* data;
    size_t left;

    template <typename T> T take()
    {
        T value {};
        const size_t n = std::min(left, sizeof value);
        std::memcpy(&value, data, n);
        data += n;
        left -= n;
        return value;
    }
};

const QImage::Format formats[] = { QImage::Format_ARGB32, QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied,
                                   QImage::Format_RGB16, QImage::Format_Mono, QImage::Format_Indexed8,
                                   QImage::Format_RGBA8888, QImage::Format_Grayscale8, QImage::Format_RGB888,
                                   QImage::Format_Invalid };

// Bytes the mapping holds past the segment's end, up to the page boundary: never written, so still zero.
bool slackIsZero(const FrameMemory& memory)
{
    const auto* bytes = reinterpret_cast<const uchar*>(memory.bufferA());
    for (qint64 i = memory.size(); i % sysconf(_SC_PAGESIZE) != 0; ++i) {
        if (bytes[i] != 0)
            return false;
    }
    return true;
}

QImage makeImage(Input& in)
{
    const int width = in.take<uint16_t>() % 8200;
    const int height = in.take<uint16_t>() % 4400;
    const QImage::Format format = formats[in.take<uint8_t>() % std::size(formats)];
    const uint8_t fill = in.take<uint8_t>();
    if (format == QImage::Format_Invalid || qint64(width) * height > (1 << 20))
        return QImage();
    QImage image(width, height, format);
    if (!image.isNull())
        std::memset(image.bits(), fill, size_t(image.sizeInBytes()));
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono)
        image.setColorTable({ 0xff102030u, 0xff405060u });
    return image;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const qint64 buffer = FrameMemory::BufferBytes;
    addSegment(QStringLiteral("ybr-fuzz-segment-full"), 0);
    addSegment(QStringLiteral("ybr-fuzz-segment-b-header"), buffer + 28 + 1000);
    addSegment(QStringLiteral("ybr-fuzz-segment-half"), buffer / 2 + 3);
    addSegment(QStringLiteral("ybr-fuzz-segment-tiny"), 28 + 4 * 100 + 5);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size};
    FrameMemory& memory = *segments[in.take<uint8_t>() % segments.size()].memory;
    const bool second = in.take<uint8_t>() & 1;
    FrameHeader* header = second ? memory.bufferB() : memory.bufferA();
    FrameHeader* other = second ? memory.bufferA() : memory.bufferB();
    if (!header)
        return 0;
    // The host may have left any header behind; the runner sizes it itself.
    const bool raw = in.take<uint8_t>() & 1;
    header->consumed = in.take<uint8_t>() & 1;
    header->dirtyX = in.take<int32_t>();
    header->dirtyY = in.take<int32_t>();
    header->dirtyWidth = in.take<int32_t>();
    header->dirtyHeight = in.take<int32_t>();
    const QSize asked{in.take<int32_t>(), in.take<int32_t>()};
    const QSize sized = raw ? asked : memory.boundedSize(asked);
    header->width = sized.width();
    header->height = sized.height();
    const QPoint pos{in.take<int32_t>(), in.take<int32_t>()};
    const QImage image = makeImage(in);

    FrameHeader otherBefore {};
    if (other)
        std::memcpy(&otherBefore, other, sizeof otherBefore);
    memory.writeUpdate(header, pos, image);
    if ((other && std::memcmp(&otherBefore, other, sizeof otherBefore) != 0) || !slackIsZero(memory))
        std::abort();

    const qint64 w = header->width;
    if (image.isNull() || w <= 0 || pos.x() < 0 || pos.y() < 0 || pos.x() >= w || pos.y() >= header->height)
        return 0;
    // Divide rather than multiply: a hostile width times a hostile row overflows 64 bits.
    if (qint64(pos.y()) + 1 > memory.capacity(header) / (w * 4))
        return 0;
    const uchar* landed = header->pixels() + qint64(pos.y()) * w * 4 + qint64(pos.x()) * 4;
    const QImage source = image.depth() == 32 ? image : image.convertToFormat(QImage::Format_ARGB32);
    if (std::memcmp(landed, source.constScanLine(0), 4) != 0)
        std::abort();
    return 0;
}
