// Writes the seed corpus of the fuzz targets from real encoded messages.
#include "BrowserParams.h"
#include "FrameCodec.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

void save(const QString& dir, const QByteArray& bytes)
{
    QDir().mkpath(dir);
    const QString name = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16);
    QFile file(dir + "/" + name);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

BrowserParams record(const QStringList& urls, const QSize& size, bool hidden)
{
    BrowserParams params;
    params.urls = urls;
    params.currentUrl = urls.value(0);
    params.pageSize = size;
    params.hidden = hidden;
    params.sharedMemoryKey = QStringLiteral("ybr-frames-1");
    params.windowRect = QRect(100, 50, 960, 570);
    return params;
}

QByteArray stream(const BrowserParams& params)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << params;
    return bytes;
}

QList<BrowserParams> records()
{
    return { BrowserParams(),
             record({ "http://127.0.0.1:8080/a.html", "http://127.0.0.1:8080/b.html", "about:blank" }, QSize(1280, 720), true),
             record({ QString::fromUtf8("http://127.0.0.1/页面?q=测试") }, QSize(0, 0), false),
             record({}, QSize(100000, 100000), true),
             record({ "http://127.0.0.1/" }, QSize(7680, 4320), false),
             record({ "x", "y", "z", "w" }, QSize(1, 1), true) };
}

void hostFrames(const QString& dir)
{
    const QList<QByteArray> messages {
        "<<",
        FrameCodec::encode(Quit),
        FrameCodec::encode(SetMute, true),
        FrameCodec::encode(SetMute, false),
        FrameCodec::encode(SetVisible, true),
        FrameCodec::encode(SetVisible, false),
        FrameCodec::encode(ChangeUrl, QStringLiteral("http://127.0.0.1:8080/page.html")),
        FrameCodec::encode(ChangeUrl, QString::fromUtf8("http://127.0.0.1/页面")),
        FrameCodec::encode(WholeImage),
        FrameCodec::encode(EnterSetting),
        FrameCodec::encode(UpdateBrowserParams, qint32(3)),
    };
    QByteArray all;
    for (const QByteArray& message : messages) {
        save(dir, '\0' + message);
        all += message;
    }
    for (const BrowserParams& params : records()) {
        const QByteArray message = FrameCodec::encode(UpdateBrowserParams, params);
        save(dir, '\0' + message);
        all += message;
    }
    save(dir, '\0' + all);
    save(dir, '\7' + all);
    save(dir, '\1' + FrameCodec::encode(EnterSetting) + "<<" + FrameCodec::encode(SetVisible, false));
}

void paramRecords(const QString& dir)
{
    for (const BrowserParams& params : records()) {
        save(dir, stream(params));
        save(dir, params.toBase64String().toLatin1());
        save(dir, stream(params).left(20));
    }
}

void pageSizes(const QString& dir)
{
    for (const char* text : { "1920*1080", "7680*4320", "7681*4320", "7680*4321", "1*1", "0*0", "*", "**", "*5",
                              "100000*100000", "-5*5", " 12 * 34", "1e3*2", "99999999999*1", "0x10*0x10", "" })
        save(dir, QByteArray(text));
}

void frameUpdates(const QString& dir)
{
    struct Case {
        quint8 segment, second, raw, consumed;
        qint32 dirty[4];
        qint32 width, height, x, y;
        quint16 imageWidth, imageHeight;
        quint8 format, fill;
    };
    const Case cases[] = {
        { 0, 0, 0, 1, { 0, 0, 0, 0 }, 1920, 1080, 0, 0, 1920, 200, 0, 0x40 },
        { 0, 1, 0, 0, { 10, 10, 5, 5 }, 640, 360, 600, 300, 100, 100, 3, 0x7f },
        { 0, 0, 1, 1, { 0, 0, 0, 0 }, 7680, 4320, 7600, 4300, 200, 100, 1, 0xff },
        { 1, 1, 0, 1, { 0, 0, 0, 0 }, 1280, 720, 0, 0, 64, 64, 0, 0x11 },
        { 2, 0, 1, 0, { -5, -5, 2147483647, 2147483647 }, 2147483647, 2, -10, -10, 50, 50, 5, 0x22 },
        { 3, 0, 0, 1, { 0, 0, 0, 0 }, 10, 10, 9, 9, 4, 4, 4, 0x33 },
    };
    for (const Case& c : cases) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setByteOrder(QDataStream::LittleEndian);
        out << c.segment << c.second << c.raw << c.consumed << c.dirty[0] << c.dirty[1] << c.dirty[2] << c.dirty[3]
            << c.width << c.height << c.x << c.y << c.imageWidth << c.imageHeight << c.format << c.fill;
        save(dir, bytes);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: ybr-fuzz-corpus OUTPUT_DIR\n");
        return 2;
    }
    const QString root = app.arguments().at(1);
    hostFrames(root + "/hostframes");
    paramRecords(root + "/browserparams");
    pageSizes(root + "/pagesizerule");
    frameUpdates(root + "/framememory");
    return 0;
}
