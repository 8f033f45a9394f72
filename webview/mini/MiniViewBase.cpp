#include "MiniViewBase.h"

#include "FrameLayout.h"
#include "MiniViewSupport.h"
#include "TabWidget.h"

#include <QImage>
#include <QSet>
#include <QUrl>
#include <QWindow>

namespace {

// Callbacks may still be on their way when a view is gone (a favicon that
// arrives late): they act only for views that are alive.
QSet<void*>& liveViews()
{
    static QSet<void*> views;
    return views;
}

QSize engineSizeFor(const QSize& size)
{
    const FrameLayout::PageExtent page = FrameLayout::boundedPage(size.width(), size.height());
    return QSize(page.width, page.height);
}

} // namespace

MiniViewBase::MiniViewBase(TabWidget* parent, const MiniEntryPoints& entries, int windowKind)
    : WebView(parent)
    , entries(entries)
{
    liveViews().insert(context());
    const QSize size = parent->pageSize();
    engineSize = engineSizeFor(size);
    handle = entries.createView(windowKind, 0, 0, 0, engineSize.width(), engineSize.height());
    entries.showView(handle);
    setWidget(MiniViewSupport::embed(entries.nativeWindow(handle), size, &engineWindow));
    entries.setNewWindowEnabled(handle, true);
}

MiniViewBase::~MiniViewBase()
{
    liveViews().remove(context());
    // The engine window outlives the view: out of the container, out of
    // sight. The engine mapped it itself, so the wrapper may not know it is
    // shown and would take hide() alone for a no-op.
    if (engineWindow) {
        engineWindow->setParent(nullptr);
        engineWindow->show();
        engineWindow->hide();
    }
}

MiniViewBase* MiniViewBase::registered(void* context)
{
    return liveViews().contains(context) ? static_cast<MiniViewBase*>(context) : nullptr;
}

QString MiniViewBase::url() const
{
    const QString text = QString::fromUtf8(entries.getUrl(handle));
    return QUrl(text, QUrl::TolerantMode).toDisplayString();
}

void MiniViewBase::setUrl(const QString& url)
{
    entries.loadUrl(handle, url.toUtf8().constData());
}

QIcon MiniViewBase::icon() const
{
    return favicon;
}

void MiniViewBase::forward()
{
    entries.goForward(handle);
}

void MiniViewBase::back()
{
    entries.goBack(handle);
}

void MiniViewBase::reload()
{
    entries.reload(handle);
}

void MiniViewBase::stop()
{
    entries.stopLoading(handle);
}

void MiniViewBase::setPageSize(const QSize& size)
{
    if (QWidget* surface = widget())
        surface->resize(size);
    syncEngineSize(size);
}

QString MiniViewBase::title() const
{
    return QString::fromUtf8(entries.getTitle(handle));
}

// The engine paints at the size it was given last; a whole frame must be
// exactly the page size.
void MiniViewBase::syncEngineSize(const QSize& size)
{
    const QSize bounded = engineSizeFor(size);
    if (bounded == engineSize)
        return;
    engineSize = bounded;
    entries.resize(handle, bounded.width(), bounded.height());
}

QSize MiniViewBase::clearFrame(uchar* pixels) const
{
    const QSize size = tabWidget()->pageSize();
    if (size.width() <= 0 || size.height() <= 0)
        return QSize();
    QImage(pixels, size.width(), size.height(), QImage::Format_ARGB32).fill(0);
    return size;
}

void MiniViewBase::requestFavicon()
{
    entries.requestFavicon(handle, handleFavicon, context());
}

void MiniViewBase::handlePaintUpdated(MiniWebView, void* context, MiniDeviceContext dc, int x, int y, int cx, int cy)
{
    MiniViewBase* view = registered(context);
    if (view && view->tabWidget()->isCurrentView(view))
        MiniViewSupport::emitUpdate(view->tabWidget(), dc, x, y, cx, cy);
}

void MiniViewBase::handleFavicon(MiniWebView, void* context, const char*, const MiniFaviconBuffer* buffer)
{
    MiniViewBase* view = registered(context);
    if (!view || !buffer || !buffer->data)
        return;
    view->favicon = MiniViewSupport::iconFrom(buffer);
    view->tabWidget()->viewIconChanged(view, view->favicon);
}
