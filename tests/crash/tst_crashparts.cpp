#include "crash/CivilTime.h"
#include "crash/DumpFileName.h"
#include "crash/LineReader.h"
#include "crash/LocalTimeTable.h"
#include "crash/MinidumpFormat.h"
#include "crash/MinidumpWriter.h"
#include "crash/Utf8Decoder.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using namespace crash;

namespace {

// Memory of a pretend process: every byte is the low byte of its address
// plus one, except the page at 0x9000, which cannot be read.
class PatternMemory : public MemoryReader
{
public:
    size_t read(uint64_t address, void* buffer, size_t length) override
    {
        auto* bytes = static_cast<uint8_t*>(buffer);
        size_t good = 0;
        for (size_t i = 0; i < length; ++i) {
            const uint64_t at = address + i;
            const bool readable = at < 0x9000 || at >= 0xA000;
            bytes[i] = readable ? uint8_t(at + 1) : 0;
            good += readable ? 1 : 0;
        }
        return good;
    }
};

QByteArray pattern(uint64_t start, uint64_t end)
{
    QByteArray bytes;
    PatternMemory memory;
    bytes.resize(int(end - start));
    memory.read(start, bytes.data(), size_t(bytes.size()));
    return bytes;
}

template<typename T>
T recordAt(const QByteArray& file, uint32_t offset)
{
    T record;
    std::memset(&record, 0, sizeof record);
    if (offset + sizeof record <= size_t(file.size()))
        std::memcpy(&record, file.constData() + offset, sizeof record);
    return record;
}

QString stringAt(const QByteArray& file, uint32_t offset)
{
    const auto length = recordAt<uint32_t>(file, offset);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(file.constData() + offset + 4), int(length / 2));
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
    void civilTimeOfSeconds_data();
    void civilTimeOfSeconds();
    void dumpPathFitsOrIsRefused_data();
    void dumpPathFitsOrIsRefused();
    void localTimeMatchesTheLibrary_data();
    void localTimeMatchesTheLibrary();
    void utf8DecodesOrReplaces_data();
    void utf8DecodesOrReplaces();
    void linesAreCutAtTheBuffer_data();
    void linesAreCutAtTheBuffer();
    void minidumpLayout();
};

void tst_CrashParts::civilTimeOfSeconds_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("expected");

    QTest::newRow("epoch") << qint64(0) << "1970-01-01 00:00:00";
    QTest::newRow("before epoch") << qint64(-1) << "1969-12-31 23:59:59";
    QTest::newRow("leap day 2000") << qint64(951782400) << "2000-02-29 00:00:00";
    QTest::newRow("leap day 2024 end") << qint64(1709251199) << "2024-02-29 23:59:59";
    QTest::newRow("end of 2026") << qint64(1798761599) << "2026-12-31 23:59:59";
    QTest::newRow("2099") << qint64(4102444799) << "2099-12-31 23:59:59";
    QTest::newRow("9999") << qint64(253402300799) << "9999-12-31 23:59:59";
}

void tst_CrashParts::civilTimeOfSeconds()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, expected);

    const CivilTime time = civilTime(seconds);
    QCOMPARE(QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day, time.hour, time.minute,
                               time.second),
             expected);
}

void tst_CrashParts::dumpPathFitsOrIsRefused_data()
{
    QTest::addColumn<QByteArray>("directory");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray full = "/d/CorvaneM1_BrowserRunner_4.8.0.19560_20260305070809.dmp";
    QTest::newRow("runner tag") << QByteArray("/d") << QByteArray("CorvaneM1_BrowserRunner_4.8.0.19560") << 1024 << true
                                << full;
    QTest::newRow("exact fit") << QByteArray("/d") << QByteArray("CorvaneM1_BrowserRunner_4.8.0.19560")
                               << full.size() + 1 << true << full;
    QTest::newRow("one byte short") << QByteArray("/d") << QByteArray("CorvaneM1_BrowserRunner_4.8.0.19560")
                                    << full.size() << false << QByteArray();
    QTest::newRow("empty tag") << QByteArray("/tmp/x y") << QByteArray() << 64 << true
                               << QByteArray("/tmp/x y/_20260305070809.dmp");
    QTest::newRow("long directory") << QByteArray(1001, 'a') << QByteArray("tag") << 1024 << false << QByteArray();
}

void tst_CrashParts::dumpPathFitsOrIsRefused()
{
    QFETCH(QByteArray, directory);
    QFETCH(QByteArray, tag);
    QFETCH(int, size);
    QFETCH(bool, fits);
    QFETCH(QByteArray, expected);

    std::vector<char> buffer(size_t(size) + 8, '#');
    QCOMPARE(formatDumpPath(buffer.data(), size_t(size), directory.constData(), tag.constData(),
                            CivilTime{2026, 3, 5, 7, 8, 9}),
             fits);
    QCOMPARE(QByteArray(buffer.data()), expected);
    QCOMPARE(buffer[size_t(size)], '#');
}

void tst_CrashParts::localTimeMatchesTheLibrary_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<int>("changes");

    QTest::newRow("UTC") << QByteArray("UTC0") << 0;
    QTest::newRow("central Europe") << QByteArray("CET-1CEST,M3.5.0,M10.5.0/3") << 2;
    QTest::newRow("eastern America") << QByteArray("EST5EDT,M3.2.0,M11.1.0") << 2;
    QTest::newRow("half hours, no summer time") << QByteArray("IST-5:30") << 0;
    QTest::newRow("half-hour summer time") << QByteArray("<+1030>-10:30<+11>-11,M10.1.0,M4.1.0") << 2;
}

void tst_CrashParts::localTimeMatchesTheLibrary()
{
    QFETCH(QByteArray, zone);
    QFETCH(int, changes);

    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", zone);
    const time_t start = 1780000000; // 2026-05-28
    LocalTimeTable table;
    table.prepare(start);
    QCOMPARE(table.changeCount(), changes);
    for (time_t when = start; when < start + 366 * 86400; when += 1800) {
        struct tm local;
        localtime_r(&when, &local);
        if (table.offsetAt(when) != local.tm_gmtoff)
            QFAIL(qPrintable(QStringLiteral("at %1: %2 instead of %3").arg(when).arg(table.offsetAt(when)).arg(local.tm_gmtoff)));
    }
    qputenv("TZ", previous);
}

void tst_CrashParts::utf8DecodesOrReplaces_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QVector<uint>>("codePoints");

    QTest::newRow("ascii") << QByteArray("a/b") << QVector<uint>{'a', '/', 'b'};
    QTest::newRow("two bytes") << QByteArray("\xc3\xa9") << QVector<uint>{0xE9};
    QTest::newRow("three bytes") << QByteArray("\xe4\xb8\xad") << QVector<uint>{0x4E2D};
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << QVector<uint>{0x1F600};
    QTest::newRow("overlong") << QByteArray("\xc0\xaf") << QVector<uint>{0xFFFD, 0xFFFD};
    QTest::newRow("cut short") << QByteArray("x\xe4\xb8") << QVector<uint>{'x', 0xFFFD, 0xFFFD};
    QTest::newRow("surrogate") << QByteArray("\xed\xa0\x80") << QVector<uint>{0xFFFD, 0xFFFD, 0xFFFD};
    QTest::newRow("lone continuation") << QByteArray("\x80z") << QVector<uint>{0xFFFD, 'z'};
    QTest::newRow("beyond unicode") << QByteArray("\xf4\x90\x80\x80") << QVector<uint>{0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD};
}

void tst_CrashParts::utf8DecodesOrReplaces()
{
    QFETCH(QByteArray, text);
    QFETCH(QVector<uint>, codePoints);

    QVector<uint> decoded;
    for (Utf8Decoder decoder(text.constData(), size_t(text.size())); !decoder.atEnd();)
        decoded.append(decoder.next());
    QCOMPARE(decoded, codePoints);
}

void tst_CrashParts::linesAreCutAtTheBuffer_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("lines");

    QTest::newRow("plain") << QByteArray("one\ntwo\n") << QList<QByteArray>{"one", "two"};
    QTest::newRow("no final newline") << QByteArray("one\ntwo") << QList<QByteArray>{"one", "two"};
    QTest::newRow("empty lines") << QByteArray("\n\nx\n") << QList<QByteArray>{"", "", "x"};
    QTest::newRow("empty file") << QByteArray() << QList<QByteArray>{};
    QTest::newRow("longer than the buffer")
        << QByteArray(9000, 'L') + "\nnext\n" << QList<QByteArray>{QByteArray(8192, 'L'), "next"};
    QTest::newRow("exactly the buffer")
        << QByteArray(8192, 'E') + "\nnext" << QList<QByteArray>{QByteArray(8192, 'E'), "next"};
    QByteArray many;
    QList<QByteArray> manyLines;
    for (int i = 0; i < 3000; ++i) {
        manyLines.append(QByteArray::number(i * 7919));
        many += manyLines.last() + '\n';
    }
    QTest::newRow("many reads") << many << manyLines;
}

void tst_CrashParts::linesAreCutAtTheBuffer()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, lines);

    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(content);
    file.flush();
    const int fd = open(qPrintable(file.fileName()), O_RDONLY);
    QVERIFY(fd >= 0);
    LineReader reader(fd);
    QList<QByteArray> read;
    size_t length = 0;
    while (const char* line = reader.next(&length)) {
        QCOMPARE(std::strlen(line), length);
        read.append(QByteArray(line, int(length)));
    }
    close(fd);
    QCOMPARE(read, lines);
}

void tst_CrashParts::minidumpLayout()
{
    auto snapshot = std::make_unique<CrashSnapshot>();
    std::memset(snapshot.get(), 0, sizeof(CrashSnapshot));
    snapshot->pid = 4242;
    snapshot->crashTime = 1780000000;
    snapshot->exception = {4243, SIGSEGV, 1, 0x8008};
    snapshot->threadCount = 2;
    snapshot->crashingThread = 1;
    snapshot->threads[0].tid = 4242;
    snapshot->threads[0].regs.rip = 0x1111;
    snapshot->threads[0].regs.rsp = 0x8100;
    snapshot->threads[0].stackStart = 0x8080;
    snapshot->threads[0].stackEnd = 0x8800;
    snapshot->threads[1].tid = 4243;
    snapshot->threads[1].regs.rip = 0x2222;
    snapshot->threads[1].regs.rsp = 0xA100;
    snapshot->threads[1].regs.r15 = 0x1515;
    snapshot->threads[1].fpregs.mxcsr = 0x1f80;
    snapshot->threads[1].stackStart = 0x8F00;
    snapshot->threads[1].stackEnd = 0xA200;
    snapshot->rangeCount = 2;
    snapshot->ranges[0] = {0x8000, 0x8800};
    snapshot->ranges[1] = {0x8F00, 0xA200};
    const char path[] = "/usr/lib/libcaf\xc3\xa9.so";
    std::memcpy(snapshot->paths, path, sizeof path);
    snapshot->moduleCount = 1;
    snapshot->modules[0] = {0x400000, 0x3000, 0, uint32_t(sizeof path - 1), 4, {0xde, 0xad, 0xbe, 0xef}};
    std::strcpy(snapshot->system.description, "Linux 6.1.0 #1 x86_64");
    snapshot->system.processorCount = 2;

    QTemporaryDir directory;
    const QByteArray extra = "Name:\tprobe\nPid:\t4242\n";
    QFile status(directory.filePath(QStringLiteral("status")));
    QVERIFY(status.open(QIODevice::WriteOnly));
    status.write(extra);
    status.close();
    const QByteArray statusPath = status.fileName().toLocal8Bit();
    const FileStream files[] = {{md::LinuxProcStatusStream, statusPath.constData()},
                                {md::LinuxMapsStream, "/nonexistent/maps"}};

    const QString dumpPath = directory.filePath(QStringLiteral("layout.dmp"));
    const int fd = open(qPrintable(dumpPath), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(fd >= 0);
    PatternMemory memory;
    auto writer = std::make_unique<MinidumpWriter>(fd, *snapshot, memory);
    QVERIFY(writer->write(files, 2));
    close(fd);

    QFile dump(dumpPath);
    QVERIFY(dump.open(QIODevice::ReadOnly));
    const QByteArray file = dump.readAll();
    const auto header = recordAt<md::Header>(file, 0);
    QCOMPARE(header.signature, md::kSignature);
    QCOMPARE(header.version, md::kVersion);
    QCOMPARE(header.timeDateStamp, 1780000000u);
    QCOMPARE(header.streamDirectoryRva, 32u);
    QCOMPARE(header.numberOfStreams, 7u);

    QMap<uint32_t, md::LocationDescriptor> streams;
    QList<uint32_t> order;
    for (uint32_t i = 0; i < header.numberOfStreams; ++i) {
        const auto entry = recordAt<md::Directory>(file, 32 + i * 12);
        streams.insert(entry.streamType, entry.location);
        order.append(entry.streamType);
        QVERIFY(entry.location.rva % 4 == 0);
        QVERIFY(entry.location.rva + entry.location.dataSize <= uint32_t(file.size()));
    }
    QCOMPARE(order, (QList<uint32_t>{md::MemoryListStream, md::ThreadListStream, md::ExceptionStream,
                                     md::ModuleListStream, md::SystemInfoStream, md::MiscInfoStream,
                                     md::LinuxProcStatusStream}));

    // Memory list: both ranges, byte for byte; the unreadable page as zeros.
    const uint32_t memoryList = streams[md::MemoryListStream].rva;
    QCOMPARE(streams[md::MemoryListStream].dataSize, 4u + 2 * 16u);
    QCOMPARE(recordAt<uint32_t>(file, memoryList), 2u);
    const auto first = recordAt<md::MemoryDescriptor>(file, memoryList + 4);
    const auto second = recordAt<md::MemoryDescriptor>(file, memoryList + 20);
    QCOMPARE(first.startOfMemoryRange, 0x8000ull);
    QCOMPARE(first.memory.dataSize, 0x800u);
    QCOMPARE(bytesAt(file, first.memory), pattern(0x8000, 0x8800));
    QCOMPARE(second.startOfMemoryRange, 0x8F00ull);
    QCOMPARE(bytesAt(file, second.memory), pattern(0x8F00, 0xA200));
    QCOMPARE(bytesAt(file, second.memory).mid(0x100, 0x1000), QByteArray(0x1000, '\0'));

    // Threads: each stack points into the memory list's data, each context holds the registers.
    const uint32_t threadList = streams[md::ThreadListStream].rva;
    QCOMPARE(recordAt<uint32_t>(file, threadList), 2u);
    const auto main = recordAt<md::Thread>(file, threadList + 4);
    const auto crashed = recordAt<md::Thread>(file, threadList + 4 + 48);
    QCOMPARE(main.threadId, 4242u);
    QCOMPARE(main.stack.startOfMemoryRange, 0x8080ull);
    QCOMPARE(main.stack.memory.rva, first.memory.rva + 0x80);
    QCOMPARE(main.stack.memory.dataSize, 0x780u);
    QCOMPARE(crashed.threadId, 4243u);
    QCOMPARE(crashed.stack.memory.rva, second.memory.rva);
    QCOMPARE(crashed.stack.memory.dataSize, 0x1300u);
    QCOMPARE(crashed.threadContext.dataSize, 1232u);
    const auto context = recordAt<md::ContextAmd64>(file, crashed.threadContext.rva);
    QCOMPARE(context.contextFlags, 0x10000Fu);
    QCOMPARE(context.rip, 0x2222ull);
    QCOMPARE(context.rsp, 0xA100ull);
    QCOMPARE(context.r15, 0x1515ull);
    QCOMPARE(context.mxCsr, 0x1f80u);
    QCOMPARE(recordAt<md::ContextAmd64>(file, main.threadContext.rva).rip, 0x1111ull);

    const auto exception = recordAt<md::Exception>(file, streams[md::ExceptionStream].rva);
    QCOMPARE(exception.threadId, 4243u);
    QCOMPARE(exception.exceptionRecord.exceptionCode, uint32_t(SIGSEGV));
    QCOMPARE(exception.exceptionRecord.exceptionFlags, 1u);
    QCOMPARE(exception.exceptionRecord.exceptionAddress, 0x8008ull);
    QCOMPARE(exception.threadContext.rva, crashed.threadContext.rva);

    const uint32_t moduleList = streams[md::ModuleListStream].rva;
    QCOMPARE(recordAt<uint32_t>(file, moduleList), 1u);
    const auto module = recordAt<md::Module>(file, moduleList + 4);
    QCOMPARE(module.baseOfImage, 0x400000ull);
    QCOMPARE(module.sizeOfImage, 0x3000u);
    QCOMPARE(stringAt(file, module.moduleNameRva), QString::fromUtf8("/usr/lib/libcaf\xc3\xa9.so"));
    QCOMPARE(bytesAt(file, module.cvRecord), QByteArray("LEpB\xde\xad\xbe\xef"));

    const auto system = recordAt<md::SystemInfo>(file, streams[md::SystemInfoStream].rva);
    QCOMPARE(system.processorArchitecture, md::kArchitectureAmd64);
    QCOMPARE(system.platformId, md::kPlatformLinux);
    QCOMPARE(system.numberOfProcessors, uint8_t(2));
    QCOMPARE(stringAt(file, system.csdVersionRva), QStringLiteral("Linux 6.1.0 #1 x86_64"));

    const auto misc = recordAt<md::MiscInfo>(file, streams[md::MiscInfoStream].rva);
    QCOMPARE(misc.sizeOfInfo, 24u);
    QCOMPARE(misc.processId, 4242u);
    QCOMPARE(bytesAt(file, streams[md::LinuxProcStatusStream]), extra);
}

QTEST_GUILESS_MAIN(tst_CrashParts)
#include "tst_crashparts.moc"
