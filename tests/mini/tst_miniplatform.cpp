#include "MiniEngineBinder.h"
#include "MiniSurface.h"
#include "SurfaceCapture.h"
#include "YConfiger.h"

#include <QtTest>

using Pixels = QVector<quint32>;

namespace {

#define NAME_OF(result, name, parameters) QStringLiteral(#name),
const QStringList allMini { MINI_ENGINE_ENTRY_POINTS(NAME_OF) };
const QStringList allVip { VIP_ENGINE_ENTRY_POINTS(NAME_OF) };
#undef NAME_OF

constexpr quint32 White = 0xffffffffu;
constexpr quint32 Guard = 0x12345678u;

quint32 at(int x, int y) { return 0xff000000u | quint32(y << 4 | x); }

// A 4 x 3 surface whose pixel (x, y) is at(x, y), rows padded to 24 bytes.
struct TestSurface
{
    std::vector<quint32> bits = std::vector<quint32>(6 * 3, 0xdeadbeefu);
    MiniSurface surface { MINI_SURFACE_MAGIC, 4, 3, 24, reinterpret_cast<const uint8_t*>(bits.data()) };
    TestSurface()
    {
        for (int i = 0; i < 4 * 3; ++i)
            bits[size_t(i / 4 * 6 + i % 4)] = at(i % 4, i / 4);
    }
    MiniDeviceContext dc() { return reinterpret_cast<MiniDeviceContext>(&surface); }
};

} // namespace

// The engine library bound at run time, and the pixels an engine painted into its context.
class tst_MiniPlatform : public QObject
{
    Q_OBJECT

private slots:
    void bindsWholeInterfacesOnly_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("missingMini");
        QTest::addColumn<QStringList>("missingVip");
        QTest::addColumn<QString>("description");
        const QString incomplete = INCOMPLETE_ENGINE;
        QTest::newRow("stand-in engine") << STANDIN_ENGINE << QStringList() << QStringList() << STANDIN_ENGINE;
        QTest::newRow("incomplete") << incomplete << QStringList(allMini.mid(1)) << QStringList(allVip.mid(1))
                                    << incomplete + " lacks " + allMini.mid(1).join(' ');
        QTest::newRow("no such file") << "/nonexistent/libybrminiengine.so" << QStringList() << QStringList()
                                      << "/nonexistent/libybrminiengine.so does not exist";
    }

    void bindsWholeInterfacesOnly()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, missingMini);
        QFETCH(QStringList, missingVip);
        QFETCH(QString, description);
        const bool bound = file == STANDIN_ENGINE;
        MiniEngineApi mini;
        VipMiniEngineApi vip;
        const MiniEngineBinder::Result miniResult = MiniEngineBinder::bindMini(file, &mini);
        const MiniEngineBinder::Result vipResult = MiniEngineBinder::bindVip(file, &vip);
        QCOMPARE(miniResult.bound, bound);
        QCOMPARE(vipResult.bound, bound);
        QCOMPARE(miniResult.missing, missingMini);
        QCOMPARE(vipResult.missing, missingVip);
        QCOMPARE(MiniEngineBinder::describe(miniResult), description);
    }

    void configuredFile_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("searchPath");
        QTest::addColumn<QString>("expected");
        const QString inAppDir = QCoreApplication::applicationDirPath() + "/libybrminiengine.so";
        QTest::newRow("defaults") << QString() << QString() << inAppDir;
        QTest::newRow("search path") << QString() << "/opt/engine" << "/opt/engine/libybrminiengine.so";
        QTest::newRow("file and path") << "libother.so" << "/opt/engine/" << "/opt/engine/libother.so";
        QTest::newRow("path in the name") << "/usr/lib/x/libother.so" << "/opt/engine" << "/usr/lib/x/libother.so";
    }

    void configuredFile()
    {
        QFETCH(QString, library);
        QFETCH(QString, searchPath);
        QFETCH(QString, expected);
        YConfiger::instance()->setValue("MiniEngine/Library", library);
        YConfiger::instance()->setValue("MiniEngine/SearchPath", searchPath);
        QCOMPARE(MiniEngineBinder::configuredFile("MiniEngine/Library"), expected);
    }

    // Rows with damage "page" copy the page of that size at (0, 0), the rest capture the rectangle.
    void readsWhatTheEnginePainted_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<Pixels>("expected"); // empty: nothing taken
        const QRect two(0, 0, 2, 1);
        QTest::newRow("inside") << QRect(1, 1, 2, 2) << "" << Pixels { at(1, 1), at(2, 1), at(1, 2), at(2, 2) };
        QTest::newRow("past right and bottom") << QRect(3, 2, 2, 2) << "" << Pixels { at(3, 2), White, White, White };
        QTest::newRow("before left and top") << QRect(-1, -1, 2, 2) << "" << Pixels { White, White, White, at(0, 0) };
        QTest::newRow("far outside") << QRect(2147483000, 5, 1, 1) << "" << Pixels { White };
        QTest::newRow("zero width") << QRect(0, 0, 0, 2) << "" << Pixels {};
        QTest::newRow("wider than a frame") << QRect(0, 0, 7681, 1) << "" << Pixels {};
        QTest::newRow("null context") << two << "null" << Pixels { White, White };
        QTest::newRow("not a surface") << two << "magic" << Pixels { White, White };
        QTest::newRow("stride too short") << two << "stride" << Pixels { White, White };
        QTest::newRow("page smaller") << two << "page" << Pixels { at(0, 0), at(1, 0) };
        QTest::newRow("page larger, zero beyond")
            << QRect(0, 0, 5, 4) << "page"
            << Pixels { at(0, 0), at(1, 0), at(2, 0), at(3, 0), 0, at(0, 1), at(1, 1), at(2, 1), at(3, 1), 0,
                        at(0, 2), at(1, 2), at(2, 2), at(3, 2), 0, 0, 0, 0, 0, 0 };
        QTest::newRow("page of zero width") << QRect(0, 0, 0, 2) << "page" << Pixels {};
    }

    void readsWhatTheEnginePainted()
    {
        QFETCH(QRect, rect);
        QFETCH(QString, damage);
        QFETCH(Pixels, expected);
        TestSurface source;
        source.surface.magic = damage == "magic" ? 0 : source.surface.magic;
        source.surface.stride = damage == "stride" ? 12 : source.surface.stride;
        MiniDeviceContext dc = damage == "null" ? nullptr : source.dc();
        Pixels pixels(expected.size() + 1, Guard);
        if (damage == "page") {
            SurfaceCapture::copyPage(dc, rect.width(), rect.height(), reinterpret_cast<unsigned char*>(pixels.data()));
            QCOMPARE(pixels.takeLast(), Guard);
        } else {
            const SurfaceCapture capture(dc, rect.x(), rect.y(), rect.width(), rect.height());
            QCOMPARE(capture.isValid(), !expected.isEmpty());
            QCOMPARE(QSize(capture.width(), capture.height()), capture.isValid() ? rect.size() : QSize(0, 0));
            const auto* bits = reinterpret_cast<const quint32*>(capture.bits());
            pixels = capture.isValid() ? Pixels(bits, bits + expected.size()) : Pixels();
        }
        QCOMPARE(pixels, expected);
    }
};

QTEST_GUILESS_MAIN(tst_MiniPlatform)
#include "tst_miniplatform.moc"
