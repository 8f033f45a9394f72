#pragma once

#include "FrameMemory.h"

#include <QCoreApplication>
#include <QRect>
#include <QRgb>
#include <QSharedMemory>

// A fresh segment key per call, so no two runners of a test run meet.
inline QString uniqueKey() { static int serial = 0; return QStringLiteral("tst_runner_%1_%2").arg(QCoreApplication::applicationPid()).arg(++serial); }

// The host's view of the frame segment: a second QSharedMemory on the same key.
struct HostSegment
{
    explicit HostSegment(const QString& key) : memory(key) {}
    bool join() { return memory.attach(QSharedMemory::ReadWrite); }
    FrameHeader* header(int index) { return reinterpret_cast<FrameHeader*>(static_cast<char*>(memory.data()) + index * FrameMemory::BufferBytes); }
    QRect dirty(int index) { FrameHeader* h = header(index); return QRect(h->dirtyX, h->dirtyY, h->dirtyWidth, h->dirtyHeight); }
    QByteArray bytes(int index, qint64 offset, int count) { return QByteArray(reinterpret_cast<const char*>(header(index)->pixels()) + offset, count); }
    QRgb pixel(int index, int x, int y) { return reinterpret_cast<const QRgb*>(header(index)->pixels())[qint64(y) * header(index)->width + x]; }
    QSharedMemory memory;
};

// Pixels as the host reads them: B, G, R, A.
inline QByteArray pixelBytes(QRgb colour, int count = 1)
{
    const char one[4] = { char(qBlue(colour)), char(qGreen(colour)), char(qRed(colour)), char(qAlpha(colour)) };
    return QByteArray(one, 4).repeated(count);
}
