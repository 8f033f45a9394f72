#include "crash/MinidumpFormat.h"
#include "crash/MinidumpWriter.h"

#include <QtTest>

#include <cstring>
#include <memory>

using namespace crash;

namespace {

// Memory of a pretend process: each byte is its address's low byte plus one; the page at 0x9000 cannot be read.
struct PatternMemory : MemoryReader {
    size_t read(uint64_t address, void* buffer, size_t length) override
    {
        size_t good = 0;
        for (size_t i = 0; i < length; ++i) {
            const bool readable = address + i < 0x9000 || address + i >= 0xA000;
            static_cast<uint8_t*>(buffer)[i] = readable ? uint8_t(address + i + 1) : 0;
            good += readable ? 1 : 0;
        }
        return good;
    }
};

QByteArray pattern(uint64_t start, uint64_t end)
{
    QByteArray bytes(int(end - start), '\0');
    PatternMemory().read(start, bytes.data(), size_t(bytes.size()));
    return bytes;
}

template<typename T>
T recordAt(const QByteArray& file, uint32_t offset)
{
    T record{};
    if (offset + sizeof record <= size_t(file.size()))
        std::memcpy(&record, file.constData() + offset, sizeof record);
    return record;
}

QByteArray bytesAt(const QByteArray& file, md::LocationDescriptor location)
{
    return file.mid(int(location.rva), int(location.dataSize));
}

} // namespace

class tst_CrashParts : public QObject
{
    Q_OBJECT

private slots:
    // The layout no debugger checks byte for byte: an unreadable page as zeros, stacks pointing into the ranges,
    // module names turned into UTF-16 whatever their bytes.
    void minidumpLayout()
    {
        auto snapshot = std::make_unique<CrashSnapshot>();
        std::memset(snapshot.get(), 0, sizeof(CrashSnapshot));
        snapshot->threadCount = 1;
        snapshot->threads[0].stackStart = 0x8F80;
        snapshot->threads[0].stackEnd = 0xA200;
        snapshot->rangeCount = 2;
        snapshot->ranges[0] = {0x8000, 0x8800};
        snapshot->ranges[1] = {0x8F00, 0xA200};
        // Well-formed, overlong, lone continuation, surrogate, astral, beyond Unicode, cut short.
        const char path[] = "/lib/caf\xc3\xa9\xc0\xaf\x80z\xed\xa0\x80\xf0\x9f\x98\x80\xf4\x90\x80\x80\xe4\xb8";
        std::memcpy(snapshot->paths, path, sizeof path);
        snapshot->moduleCount = 1;
        snapshot->modules[0] = {0x400000, 0x3000, 0, uint32_t(sizeof path - 1), 4, {0xde, 0xad, 0xbe, 0xef}};
        QTemporaryFile dump;
        PatternMemory memory;
        QVERIFY(dump.open() && std::make_unique<MinidumpWriter>(dump.handle(), *snapshot, memory)->write(nullptr, 0));
        QVERIFY(dump.seek(0));
        const QByteArray file = dump.readAll();
        const auto header = recordAt<md::Header>(file, 0);
        QMap<uint32_t, uint32_t> streams;
        for (uint32_t i = 0; i < header.numberOfStreams; ++i) {
            const auto entry = recordAt<md::Directory>(file, header.streamDirectoryRva + i * 12);
            streams.insert(entry.streamType, entry.location.rva);
            QVERIFY(entry.location.rva % 4 == 0 && entry.location.rva + entry.location.dataSize <= uint32_t(file.size()));
        }
        QCOMPARE(recordAt<uint32_t>(file, streams[md::MemoryListStream]), 2u);
        const auto first = recordAt<md::MemoryDescriptor>(file, streams[md::MemoryListStream] + 4);
        const auto second = recordAt<md::MemoryDescriptor>(file, streams[md::MemoryListStream] + 20);
        QCOMPARE(first.startOfMemoryRange, 0x8000ull);
        QCOMPARE(bytesAt(file, first.memory), pattern(0x8000, 0x8800));
        QCOMPARE(second.startOfMemoryRange, 0x8F00ull);
        QCOMPARE(bytesAt(file, second.memory), pattern(0x8F00, 0xA200));
        const auto thread = recordAt<md::Thread>(file, streams[md::ThreadListStream] + 4);
        QCOMPARE(thread.stack.memory.rva, second.memory.rva + 0x80);
        QCOMPARE(thread.stack.memory.dataSize, 0x1280u);

        const auto module = recordAt<md::Module>(file, streams[md::ModuleListStream] + 4);
        const QByteArray name = file.mid(int(module.moduleNameRva) + 4, int(recordAt<uint32_t>(file, module.moduleNameRva)));
        QCOMPARE(QString::fromUtf16(reinterpret_cast<const char16_t*>(name.constData()), name.size() / 2),
                 QString::fromUtf16(u"/lib/caf\u00e9\uFFFD\uFFFD\uFFFDz\uFFFD\uFFFD\uFFFD\U0001F600\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"));
        QCOMPARE(bytesAt(file, module.cvRecord), QByteArray("LEpB\xde\xad\xbe\xef"));
    }
};

QTEST_GUILESS_MAIN(tst_CrashParts)
#include "tst_crashparts.moc"
