#include "FrameGrabber.h"

#include "HookLists.h"
#include "YConfiger.h"

#include <QGuiApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <algorithm>
#include <cstring>

namespace {

const unsigned int bgraFormat = 0x80E1;       // GL_BGRA
const unsigned int packInvertMesa = 0x8758;   // GL_PACK_INVERT_MESA

bool prepared = false;
FrameGrabber::Path preparedPath = FrameGrabber::WidgetPath;

HookRegistration prepareHook(startupHooks(), &FrameGrabber::prepare);

} // namespace

FrameGrabber::Path FrameGrabber::parsePath(const QString& text)
{
    const QString name = text.trimmed().toLower();
    if (name == QLatin1String("widget"))
        return WidgetPath;
    if (name == QLatin1String("software"))
        return SoftwarePath;
    if (name == QLatin1String("readback"))
        return ReadbackPath;
    return AutoPath;
}

QString FrameGrabber::pathName(Path path)
{
    switch (path) {
    case WidgetPath:
        return QStringLiteral("widget");
    case SoftwarePath:
        return QStringLiteral("software");
    case ReadbackPath:
        return QStringLiteral("readback");
    case AutoPath:
        break;
    }
    return QStringLiteral("auto");
}

FrameGrabber::Path FrameGrabber::configuredPath()
{
    return parsePath(YConfiger::instance()->readString(QStringLiteral("FramePath")));
}

bool FrameGrabber::hasHardwareOpenGL()
{
    QOffscreenSurface probeSurface;
    probeSurface.create();
    QOpenGLContext context;
    if (!context.create() || !context.makeCurrent(&probeSurface))
        return false;
    const auto* renderer = reinterpret_cast<const char*>(context.functions()->glGetString(GL_RENDERER));
    const QByteArray name = QByteArray(renderer).toLower();
    context.doneCurrent();
    static const char* const softwareRenderers[] = { "llvmpipe", "softpipe", "software", "swiftshader", "swrast" };
    if (name.isEmpty())
        return false;
    return std::none_of(std::begin(softwareRenderers), std::end(softwareRenderers),
        [&name](const char* soft) { return name.contains(soft); });
}

void FrameGrabber::prepare()
{
    // Without a GUI application there is neither an OpenGL probe nor a scene graph to choose.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    Path path = configuredPath();
    if (path == AutoPath)
        path = hasHardwareOpenGL() ? ReadbackPath : SoftwarePath;
    if (path == SoftwarePath)
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
    preparedPath = path;
    prepared = true;
}

FrameGrabber::Path FrameGrabber::activePath()
{
    return prepared ? preparedPath : WidgetPath;
}

FrameGrabber::FrameGrabber(QWidget* view)
    : view(view)
{
}

FrameGrabber::~FrameGrabber()
{
    delete surface;
}

void FrameGrabber::grab(unsigned char* pixels, const QSize& size)
{
    if (!pixels || size.isEmpty())
        return;
    const Path path = activePath();
    if ((path == SoftwarePath && grabSoftware(pixels, size)) || (path == ReadbackPath && grabReadback(pixels, size))) {
        usedPath = path;
        // Both fast paths hand over the scene graph's premultiplied pixels.
        if (transparent)
            unpremultiply(pixels, size);
        return;
    }
    grabReference(pixels, size);
    usedPath = WidgetPath;
}

void FrameGrabber::grabReference(unsigned char* pixels, const QSize& size)
{
    if (!pixels || size.isEmpty())
        return;
    QImage image(pixels, size.width(), size.height(), QImage::Format_ARGB32);
    if (!transparent) {
        view->render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
        return;
    }
    image.fill(Qt::transparent);
    QWidget* source = view->findChild<QQuickWidget*>();
    (source ? source : view)->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
}

QQuickWidget* FrameGrabber::quickWidget() const
{
    QQuickWidget* quick = qobject_cast<QQuickWidget*>(view->focusProxy());
    if (!quick)
        quick = view->findChild<QQuickWidget*>();
    // The fast paths copy the whole quick widget: it must be the whole frame.
    if (!quick || quick->size() != view->size() || quick->devicePixelRatioF() != 1.0)
        return nullptr;
    return quick;
}

QQuickWindow* FrameGrabber::quickWindow() const
{
    QQuickWidget* quick = quickWidget();
    return quick ? quick->quickWindow() : nullptr;
}

bool FrameGrabber::grabSoftware(unsigned char* pixels, const QSize& size)
{
    QQuickWidget* quick = quickWidget();
    if (!quick || quick->size() != size)
        return false;
    QSGRendererInterface* renderer = quick->quickWindow()->rendererInterface();
    if (!renderer || renderer->graphicsApi() != QSGRendererInterface::Software)
        return false;
    // The scene graph keeps a premultiplied image; for the opaque pixels of a
    // page those are the ARGB32 bytes. With the source composition mode the
    // widget's paint of that image is a row copy, not a per-pixel blend.
    // (Its grabFramebuffer() would render the scene once more first.)
    QImage target(pixels, size.width(), size.height(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    quick->render(&painter, QPoint(), QRegion(), QWidget::RenderFlags());
    return true;
}

bool FrameGrabber::grabReadback(unsigned char* pixels, const QSize& size)
{
    QQuickWidget* quick = quickWidget();
    if (!quick || quick->size() != size)
        return false;
    QQuickWindow* window = quick->quickWindow();
    QOpenGLContext* context = window->openglContext();
    QOpenGLFramebufferObject* fbo = window->renderTarget();
    if (!context || !fbo || fbo->size() != size || fbo->format().samples() > 0)
        return false;
    if (!surface) {
        surface = new QOffscreenSurface;
        surface->setFormat(context->format());
        surface->create();
    }
    if (!context->makeCurrent(surface))
        return false;
    QOpenGLFunctions* gl = context->functions();
    const bool invert = context->hasExtension("GL_MESA_pack_invert");
    const bool bgra = !context->isOpenGLES() || context->hasExtension("GL_EXT_read_format_bgra");
    gl->glBindFramebuffer(GL_FRAMEBUFFER, fbo->handle());
    gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
    if (invert)
        gl->glPixelStorei(packInvertMesa, 1);
    gl->glReadPixels(0, 0, size.width(), size.height(), bgra ? bgraFormat : GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    if (invert)
        gl->glPixelStorei(packInvertMesa, 0);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, context->defaultFramebufferObject());
    if (!invert || !bgra)
        flipRows(pixels, size, !invert, !bgra);
    return true;
}

void FrameGrabber::unpremultiply(unsigned char* pixels, const QSize& size)
{
    auto* pixel = reinterpret_cast<QRgb*>(pixels);
    QRgb* const end = pixel + qint64(size.width()) * size.height();
    for (; pixel != end; ++pixel) {
        if (qAlpha(*pixel) != 255)
            *pixel = qUnpremultiply(*pixel);
    }
}

void FrameGrabber::flipRows(unsigned char* pixels, const QSize& size, bool flip, bool swapRedBlue)
{
    const size_t stride = size_t(size.width()) * 4;
    if (swapRedBlue) {
        for (size_t i = 0; i < stride * size_t(size.height()); i += 4)
            std::swap(pixels[i], pixels[i + 2]);
    }
    if (!flip)
        return;
    rowBuffer.resize(stride);
    for (int top = 0, bottom = size.height() - 1; top < bottom; ++top, --bottom) {
        unsigned char* a = pixels + stride * size_t(top);
        unsigned char* b = pixels + stride * size_t(bottom);
        std::memcpy(rowBuffer.data(), a, stride);
        std::memcpy(a, b, stride);
        std::memcpy(b, rowBuffer.data(), stride);
    }
}
