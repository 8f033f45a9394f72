#include "MiniViewSupport.h"

#include "SurfaceCapture.h"
#include "TabWidget.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <QWindow>

QWidget* MiniViewSupport::embed(MiniNativeWindow window, const QSize& size, QWindow** wrapper)
{
    *wrapper = window ? QWindow::fromWinId(WId(window)) : nullptr;
    QWidget* container = *wrapper ? QWidget::createWindowContainer(*wrapper, nullptr) : new QWidget;
    container->resize(size);
    return container;
}

QIcon MiniViewSupport::iconFrom(const MiniFaviconBuffer* buffer)
{
    const auto* data = static_cast<const uchar*>(buffer->data);
    const int length = buffer->length > uint32_t(INT_MAX) ? 0 : int(buffer->length);
    const QImage image = data ? QImage::fromData(data, length) : QImage();
    return QIcon(QPixmap::fromImage(image, Qt::AutoColor));
}

void MiniViewSupport::emitUpdate(TabWidget* tab, MiniDeviceContext dc, int x, int y, int cx, int cy)
{
    const SurfaceCapture capture(dc, x, y, cx, cy);
    if (!capture.isValid())
        return;
    // Wraps the capture without a copy: receivers copy what they keep.
    const QImage image(capture.bits(), cx, cy, cx * 4, QImage::Format_ARGB32);
    emit tab->viewUpdate(x, y, image);
}
