#pragma once

#include <QSize>
#include <QString>

#include <vector>

class QOffscreenSurface;
class QQuickWidget;
class QQuickWindow;
class QWidget;

// Reads whole frames of an engine view into a caller's ARGB32 buffer.
//
// The engine view paints through a QQuickWidget. QWidget::render of the view
// (the widget path) grabs the quick widget's framebuffer into a new image and
// paints it again: correct everywhere, but far too slow for 30 frames a second
// at 4K. The fast paths:
//  - software: Qt Quick's software scene graph paints into an image of its
//    own; the frame is one blit of it into a premultiplied view of the
//    caller's buffer (the same bytes as ARGB32 for the opaque pixels of a
//    page). Chosen where there is no hardware OpenGL: it also halves the
//    engine's own CPU use there. WebGL content is not composited by it.
//  - readback: the quick widget's framebuffer is read in BGRA order straight
//    into the caller's buffer (rows flipped by the driver where it can).
//    Chosen where the OpenGL driver is a hardware one.
// The scene graph is process-wide and fixed before the first quick window
// exists, so prepare() runs from a start-up hook; "[General] FramePath"
// (auto, software, readback, widget) overrides the automatic choice.
class FrameGrabber
{
public:
    enum Path { AutoPath, WidgetPath, SoftwarePath, ReadbackPath };

    static Path parsePath(const QString& text);
    static QString pathName(Path path);
    static Path configuredPath();
    static bool hasHardwareOpenGL();
    static void prepare();
    static Path activePath();

    explicit FrameGrabber(QWidget* view);
    ~FrameGrabber();

    // Falls back to the widget path whenever the fast one cannot serve.
    void grab(unsigned char* pixels, const QSize& size);
    void grabReference(unsigned char* pixels, const QSize& size);
    Path lastPath() const { return usedPath; }
    // Transparent pages keep their alpha in the frames, straight (not
    // premultiplied) as ARGB32 wants it, on every path.
    void setTransparent(bool on) { transparent = on; }
    bool isTransparent() const { return transparent; }
    QQuickWindow* quickWindow() const;

private:
    QQuickWidget* quickWidget() const;
    bool grabSoftware(unsigned char* pixels, const QSize& size);
    bool grabReadback(unsigned char* pixels, const QSize& size);
    void flipRows(unsigned char* pixels, const QSize& size, bool flip, bool swapRedBlue);
    static void unpremultiply(unsigned char* pixels, const QSize& size);

    QWidget* view;
    QOffscreenSurface* surface = nullptr;
    std::vector<unsigned char> rowBuffer;
    Path usedPath = WidgetPath;
    bool transparent = false;
};
