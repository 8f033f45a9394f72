#include "UrlIconLabel.h"

#include "TabWidget.h"
#include "WebView.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>

UrlIconLabel::UrlIconLabel(QWidget* parent)
    : QLabel(parent)
{
    setMinimumWidth(16);
    setMinimumHeight(16);
}

void UrlIconLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragStartPos = event->pos();
    QLabel::mousePressEvent(event);
}

void UrlIconLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (event->buttons() != Qt::LeftButton
        || (event->pos() - dragStartPos).manhattanLength() <= QApplication::startDragDistance())
        return;
    WebView* view = m_tabWidget ? m_tabWidget->currentView() : nullptr;
    if (!view)
        return;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setText(view->url());
    data->setUrls({ QUrl(view->url()) });
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
}
