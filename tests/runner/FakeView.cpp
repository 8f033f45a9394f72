#include "FakeView.h"

#include "TabWidget.h"

#include <QPixmap>

namespace {
int nextId = 0;
}

FakeView::FakeView(TabWidget* tab)
    : WebView(tab)
    , id(++nextId)
{
}

void FakeView::setUrl(const QString& url)
{
    loads << url;
    report(url, solidIcon(QColor(id * 10, 0, 0)));
}

void FakeView::report(const QString& url, const QIcon& icon)
{
    m_url = url;
    m_icon = icon;
    tabWidget()->viewUrlChanged(this, url);
    tabWidget()->viewIconChanged(this, icon);
}

void FakeView::setMuted(bool muted)
{
    m_muted = muted;
    mutes << muted;
}

void FakeView::renderTo(uchar* pixels)
{
    const QSize size = tabWidget()->pageSize();
    const QRgb colour = colourOf(id, ++renders);
    auto* out = reinterpret_cast<QRgb*>(pixels);
    std::fill(out, out + qint64(size.width()) * size.height(), colour);
}

QIcon solidIcon(const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    return QIcon(pixmap);
}
