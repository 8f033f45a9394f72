#include "MiniSurface.h"
#include "SurfaceCapture.h"

#include <QtTest>

#include <vector>

using Pixels = QVector<quint32>;

class tst_SurfaceCapture : public QObject
{
    Q_OBJECT

private slots:
    void capturesRectOnWhite_data();
    void capturesRectOnWhite();
    void copiesPageWithZeroBeyondSurface_data();
    void copiesPageWithZeroBeyondSurface();
};

namespace {

constexpr quint32 White = 0xffffffffu;

// A 4 x 3 surface whose pixel (x, y) is 0xff0000yx, rows padded to 24 bytes.
struct TestSurface
{
    std::vector<quint32> bits = std::vector<quint32>(6 * 3, 0xdeadbeefu);
    MiniSurface surface { MINI_SURFACE_MAGIC, 4, 3, 24, nullptr };

    TestSurface()
    {
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                bits[size_t(y * 6 + x)] = 0xff000000u | quint32(y << 4 | x);
        surface.bits = reinterpret_cast<const uint8_t*>(bits.data());
    }
    MiniDeviceContext dc() { return reinterpret_cast<MiniDeviceContext>(&surface); }
};

quint32 at(int x, int y)
{
    return 0xff000000u | quint32(y << 4 | x);
}

Pixels pixelsOf(const unsigned char* bits, int count)
{
    Pixels pixels(count);
    memcpy(pixels.data(), bits, size_t(count) * 4);
    return pixels;
}

} // namespace

void tst_SurfaceCapture::capturesRectOnWhite_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<int>("damage");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<Pixels>("expected");

    QTest::newRow("inside") << QRect(1, 1, 2, 2) << 0 << true << Pixels { at(1, 1), at(2, 1), at(1, 2), at(2, 2) };
    QTest::newRow("one pixel") << QRect(3, 2, 1, 1) << 0 << true << Pixels { at(3, 2) };
    QTest::newRow("past right and bottom") << QRect(3, 2, 2, 2) << 0 << true << Pixels { at(3, 2), White, White, White };
    QTest::newRow("before left and top") << QRect(-1, -1, 2, 2) << 0 << true << Pixels { White, White, White, at(0, 0) };
    QTest::newRow("outside") << QRect(4, 0, 2, 1) << 0 << true << Pixels { White, White };
    QTest::newRow("far outside") << QRect(2147483000, 5, 1, 1) << 0 << true << Pixels { White };
    QTest::newRow("zero width") << QRect(0, 0, 0, 2) << 0 << false << Pixels {};
    QTest::newRow("negative height") << QRect(0, 0, 2, -1) << 0 << false << Pixels {};
    QTest::newRow("wider than a frame") << QRect(0, 0, 7681, 1) << 0 << false << Pixels {};
    QTest::newRow("null context") << QRect(0, 0, 2, 1) << 1 << true << Pixels { White, White };
    QTest::newRow("not a surface") << QRect(0, 0, 2, 1) << 2 << true << Pixels { White, White };
    QTest::newRow("stride too short") << QRect(0, 0, 2, 1) << 3 << true << Pixels { White, White };
}

void tst_SurfaceCapture::capturesRectOnWhite()
{
    QFETCH(QRect, rect);
    QFETCH(int, damage);
    QFETCH(bool, valid);
    QFETCH(Pixels, expected);

    TestSurface source;
    MiniDeviceContext dc = source.dc();
    if (damage == 1)
        dc = nullptr;
    else if (damage == 2)
        source.surface.magic = 0;
    else if (damage == 3)
        source.surface.stride = 12;

    const SurfaceCapture capture(dc, rect.x(), rect.y(), rect.width(), rect.height());
    QCOMPARE(capture.isValid(), valid);
    if (!valid)
        return;
    QCOMPARE(capture.width(), rect.width());
    QCOMPARE(capture.height(), rect.height());
    QCOMPARE(pixelsOf(capture.bits(), expected.size()), expected);
}

void tst_SurfaceCapture::copiesPageWithZeroBeyondSurface_data()
{
    QTest::addColumn<QSize>("page");
    QTest::addColumn<Pixels>("expected");

    QTest::newRow("smaller") << QSize(2, 1) << Pixels { at(0, 0), at(1, 0) };
    QTest::newRow("same") << QSize(4, 1) << Pixels { at(0, 0), at(1, 0), at(2, 0), at(3, 0) };
    QTest::newRow("larger") << QSize(5, 4)
                            << Pixels { at(0, 0), at(1, 0), at(2, 0), at(3, 0), 0, at(0, 1), at(1, 1), at(2, 1),
                                        at(3, 1), 0, at(0, 2), at(1, 2), at(2, 2), at(3, 2), 0, 0, 0, 0, 0, 0 };
}

void tst_SurfaceCapture::copiesPageWithZeroBeyondSurface()
{
    QFETCH(QSize, page);
    QFETCH(Pixels, expected);

    TestSurface source;
    // One guard pixel after the page must stay untouched.
    Pixels target(page.width() * page.height() + 1, 0x12345678u);
    SurfaceCapture::copyPage(source.dc(), page.width(), page.height(), reinterpret_cast<unsigned char*>(target.data()));
    QCOMPARE(target.mid(0, expected.size()), expected);
    QCOMPARE(target.last(), 0x12345678u);

    Pixels untouched(4, 0x12345678u);
    SurfaceCapture::copyPage(source.dc(), 0, 2, reinterpret_cast<unsigned char*>(untouched.data()));
    SurfaceCapture::copyPage(source.dc(), 2, -1, reinterpret_cast<unsigned char*>(untouched.data()));
    QCOMPARE(untouched, Pixels(4, 0x12345678u));
}

QTEST_GUILESS_MAIN(tst_SurfaceCapture)
#include "tst_surfacecapture.moc"
