#include "BorderAdjustFilter.h"

#include "BorderAdjustEvents.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>

using namespace __BorderAdjustFilterSpace;

namespace {

QPoint pointOf(const EventPtr &event)
{
    return std::any_cast<QPoint>(event->payload);
}

} // namespace

BorderAdjustFilter::BorderAdjustFilter(QWidget *widget, QWidget *header)
    : QObject(widget), widget(widget), header(header),
      geometrySetter([](QWidget *w, const QRect &g) { w->setGeometry(g); })
{
    widget->installEventFilter(this);
    widget->setMouseTracking(true);
    if (header)
        header->setMouseTracking(true);
    applyMargins();
    buildFactories();
    start(root);
}

void BorderAdjustFilter::setBorderWidth(int width)
{
    borderWidth = width;
}

void BorderAdjustFilter::setMaxSize(const QSize &size)
{
    maxSize = size;
}

void BorderAdjustFilter::setGeometrySetter(std::function<void(QWidget *, const QRect &)> setter)
{
    geometrySetter = std::move(setter);
}

void BorderAdjustFilter::setFullScreenOnDoubleClick(bool enable)
{
    fullScreenOnDoubleClick = enable;
}

bool BorderAdjustFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != widget)
        return QObject::eventFilter(watched, event);
    const auto position = [event] { return std::any(static_cast<QMouseEvent *>(event)->pos()); };
    switch (event->type()) {
    case QEvent::WindowStateChange:
        applyMargins();
        break;
    case QEvent::MouseButtonPress:
        post(MousePressEvent::create(position()));
        break;
    case QEvent::MouseButtonRelease:
        post(MouseReleaseEvent::create(position()));
        break;
    case QEvent::MouseButtonDblClick:
        post(DoubleClickedEvent::create(position()));
        break;
    case QEvent::MouseMove:
        post(MouseMoveEvent::create(position()));
        break;
    case QEvent::Leave:
        post(MoveNormalEvent::create());
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void BorderAdjustFilter::buildFactories()
{
    root = [this](StatePtr, EventPtr) { return buildRoot(); };
    idle = [this](StatePtr, EventPtr) { return buildIdle(); };
    pressed = [this](StatePtr, EventPtr event) { return buildPressed(event); };
    dragging = [this](StatePtr, EventPtr) { return buildDragging(); };
    normal = [this](StatePtr, EventPtr) { return buildNormal(); };
    border = [this](StatePtr, EventPtr event) { return buildBorder(event); };
    headerState = [this](StatePtr, EventPtr) { return buildHeader(); };
}

StatePtr BorderAdjustFilter::buildRoot()
{
    StatePtr state = StatePtr::create();
    state->addRegion(idle);
    state->addRegion(normal);
    return state;
}

StatePtr BorderAdjustFilter::buildIdle()
{
    StatePtr state = StatePtr::create();
    state->addTransition(MouseMoveEvent::staticName(), stay, [this](StatePtr, EventPtr e) { hitTest(pointOf(e)); });
    state->addTransition(MousePressEvent::staticName(), pressed);
    return state;
}

StatePtr BorderAdjustFilter::buildPressed(const EventPtr &press)
{
    StatePtr state = StatePtr::create();
    const QPoint pressedAt = pointOf(press);
    state->addTransition(MouseReleaseEvent::staticName(), idle);
    TransitionPtr drag = state->addTransition(MouseMoveEvent::staticName(), dragging);
    drag->filter = [this, pressedAt](EventPtr e) {
        const QPoint at = pointOf(e);
        if ((at - pressedAt).manhattanLength() <= QApplication::startDragDistance())
            return true;
        post(DragBeginEvent::create(at));
        return false;
    };
    return state;
}

StatePtr BorderAdjustFilter::buildDragging()
{
    StatePtr state = StatePtr::create();
    state->addTransition(MouseReleaseEvent::staticName(), idle);
    state->addTransition(MouseMoveEvent::staticName(), dragging,
                         [this](StatePtr, EventPtr e) { post(DragMoveEvent::create(e->payload)); });
    return state;
}

StatePtr BorderAdjustFilter::buildNormal()
{
    widget->setCursor(Qt::ArrowCursor);
    StatePtr state = StatePtr::create();
    state->addTransition(MoveBorderEvent::staticName(), border);
    state->addTransition(MoveHeaderEvent::staticName(), headerState);
    return state;
}

StatePtr BorderAdjustFilter::buildBorder(const EventPtr &event)
{
    StatePtr state = StatePtr::create();
    state->data = event->payload;
    setZoneCursor(std::any_cast<int>(event->payload));
    state->addTransition(MoveBorderEvent::staticName(), stay, [this](StatePtr s, EventPtr e) {
        s->data = e->payload;
        setZoneCursor(std::any_cast<int>(e->payload));
    });
    state->addTransition(DragMoveEvent::staticName(), stay, [this](StatePtr s, EventPtr e) { resize(s, pointOf(e)); });
    state->addTransition(MoveNormalEvent::staticName(), normal);
    state->addTransition(MoveHeaderEvent::staticName(), headerState);
    return state;
}

StatePtr BorderAdjustFilter::buildHeader()
{
    widget->setCursor(Qt::ArrowCursor);
    StatePtr state = StatePtr::create();
    state->addTransition(MoveNormalEvent::staticName(), normal);
    state->addTransition(MoveBorderEvent::staticName(), border);
    state->addTransition(DragBeginEvent::staticName(), stay, [this](StatePtr s, EventPtr e) { beginDrag(s, pointOf(e)); });
    state->addTransition(DragMoveEvent::staticName(), stay, [this](StatePtr s, EventPtr e) { move(s, pointOf(e)); });
    state->addTransition(DoubleClickedEvent::staticName(), stay, [this](StatePtr, EventPtr) { toggleMaximise(); });
    return state;
}

void BorderAdjustFilter::applyMargins()
{
    const int margin = widget->isMaximized() ? 0 : borderWidth;
    widget->setContentsMargins(margin, margin, margin, margin);
}

bool BorderAdjustFilter::isEnlarged() const
{
    return widget->isMaximized() || widget->isFullScreen();
}

void BorderAdjustFilter::hitTest(const QPoint &pos)
{
    const int b = widget->isMaximized() ? 0 : borderWidth;
    if (widget->rect().adjusted(b, b, -b, -b).contains(pos)) {
        const bool onHeader = header && QRect(header->mapTo(widget, QPoint(0, 0)), header->size()).contains(pos);
        post(onHeader ? MoveHeaderEvent::create() : MoveNormalEvent::create());
        return;
    }
    int zone = 0;
    if (pos.x() < 3)
        zone |= 1;
    if (pos.x() >= widget->width() - b)
        zone |= 2;
    if (pos.y() < 3)
        zone |= 4;
    if (pos.y() >= widget->height() - b)
        zone |= 8;
    post(MoveBorderEvent::create(zone));
}

void BorderAdjustFilter::setZoneCursor(int zone)
{
    if (zone == 5 || zone == 10)
        widget->setCursor(Qt::SizeFDiagCursor);
    else if (zone == 6 || zone == 9)
        widget->setCursor(Qt::SizeBDiagCursor);
    else if (zone == 1 || zone == 2)
        widget->setCursor(Qt::SizeHorCursor);
    else if (zone == 4 || zone == 8)
        widget->setCursor(Qt::SizeVerCursor);
}

void BorderAdjustFilter::resize(const StatePtr &state, const QPoint &pos)
{
    const int zone = std::any_cast<int>(state->data);
    QRect g = widget->geometry();
    const QPoint p = widget->mapToGlobal(pos);
    if (zone & 1)
        g.setLeft(std::min(p.x(), g.right() - widget->minimumWidth()));
    if (zone & 2)
        g.setRight(p.x());
    if (zone & 4)
        g.setTop(std::min(p.y(), g.bottom() - widget->minimumHeight()));
    if (zone & 8)
        g.setBottom(p.y());
    g.setWidth(std::min(maxSize.width(), g.width()));
    g.setHeight(std::min(maxSize.height(), g.height()));
    geometrySetter(widget, g);
}

void BorderAdjustFilter::beginDrag(const StatePtr &state, const QPoint &pos)
{
    if (!isEnlarged()) {
        state->data = pos;
        return;
    }
    const QRect normalGeometry = widget->normalGeometry();
    const QPoint global = widget->mapToGlobal(pos);
    const double ratio = double(pos.x()) / widget->width();
    widget->showNormal();
    const int x = int(ratio * normalGeometry.width());
    widget->move(global.x() - x, global.y());
    state->data = QPoint(x, global.y());
}

void BorderAdjustFilter::move(const StatePtr &state, const QPoint &pos)
{
    const QPoint offset = std::any_cast<QPoint>(state->data);
    widget->move(widget->mapToGlobal(pos) - offset);
}

void BorderAdjustFilter::toggleMaximise()
{
    if (isEnlarged())
        widget->showNormal();
    else if (fullScreenOnDoubleClick)
        widget->showFullScreen();
    else
        widget->showMaximized();
}
