// The frame dialog's mouse adapter: raw mouse input becomes adapter events,
// and a small machine decides on cursor shapes, moves and resizes.
#include "YFrameDialog.h"

#include "FrameAdapterEvents.h"
#include "YFrameDialogForm.h"
#include "YToolButton.h"

#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QMouseEvent>

#include <algorithm>

namespace {

const int frameWidth = 2;
const int headerStrip = 38;

} // namespace

void YFrameDialog::initStateMachine()
{
    root = [this](StatePtr, EventPtr) { return buildRoot(); };
    normal = [this](StatePtr, EventPtr) { return buildNormal(); };
    border = [this](StatePtr, EventPtr event) { return buildBorder(event); };
    header = [this](StatePtr, EventPtr) { return buildHeader(); };
    start(root);
}

StatePtr YFrameDialog::buildRoot()
{
    StatePtr state = StatePtr::create();
    state->addRegion(normal);
    state->addTransition(AdapterMoveEvent::staticName(), stay,
                         [this](StatePtr, EventPtr e) { postZone(std::any_cast<QPoint>(e->payload)); });
    state->addTransition(AdapterLeaveEvent::staticName(), root);
    return state;
}

StatePtr YFrameDialog::buildNormal()
{
    setCursor(Qt::ArrowCursor);
    StatePtr state = StatePtr::create();
    state->addTransition(AdapterBoundEvent::staticName(), border);
    state->addTransition(AdapterHeaderEvent::staticName(), header);
    return state;
}

StatePtr YFrameDialog::buildBorder(const EventPtr &event)
{
    StatePtr state = StatePtr::create();
    state->data = event->payload;
    setZoneCursor(std::any_cast<int>(event->payload));
    state->addTransition(AdapterBoundEvent::staticName(), stay, [this](StatePtr s, EventPtr e) {
        s->data = e->payload;
        setZoneCursor(std::any_cast<int>(e->payload));
    });
    state->addTransition(AdapterNoneEvent::staticName(), normal);
    state->addTransition(AdapterHeaderEvent::staticName(), header);
    state->addTransition(AdapterDragEvent::staticName(), stay, [this](StatePtr s, EventPtr e) {
        resizeByDrag(std::any_cast<int>(s->data), std::any_cast<QPoint>(e->payload));
    });
    return state;
}

StatePtr YFrameDialog::buildHeader()
{
    setCursor(Qt::ArrowCursor);
    StatePtr state = StatePtr::create();
    state->addTransition(AdapterNoneEvent::staticName(), normal);
    state->addTransition(AdapterBoundEvent::staticName(), border);
    state->addTransition(AdapterPressEvent::staticName(), stay, storePayload);
    state->addTransition(AdapterDragEvent::staticName(), stay, [this](StatePtr s, EventPtr e) {
        moveByDrag(s, std::any_cast<QPoint>(e->payload));
    });
    return state;
}

void YFrameDialog::mousePressEvent(QMouseEvent *event)
{
    pressed = true;
    dragging = false;
    pressedAt = event->pos();
    post(AdapterPressEvent::create(event->pos()));
}

void YFrameDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !pressed) {
        post(AdapterMoveEvent::create(event->pos()));
        return;
    }
    // A shaky click is not a drag: travel within the drag distance is ignored,
    // as the border filter does for every other frameless window.
    if (!dragging && (event->pos() - pressedAt).manhattanLength() <= QApplication::startDragDistance())
        return;
    dragging = true;
    post(AdapterDragEvent::create(event->globalPos()));
}

void YFrameDialog::mouseReleaseEvent(QMouseEvent *)
{
    pressed = false;
    dragging = false;
}

void YFrameDialog::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (ui->max->isVisibleTo(this) && ui->header->geometry().contains(event->pos()))
        ui->max->toggle();
}

void YFrameDialog::leaveEvent(QEvent *)
{
    post(AdapterLeaveEvent::create());
}

void YFrameDialog::postNone()
{
    post(AdapterNoneEvent::create());
}

void YFrameDialog::postZone(const QPoint &pos)
{
    const QRect inner = rect().adjusted(frameWidth, frameWidth, -frameWidth, -frameWidth);
    if (inner.contains(pos)) {
        if (inner.adjusted(0, headerStrip, 0, 0).contains(pos))
            postNone();
        else
            post(AdapterHeaderEvent::create());
        return;
    }
    int zone = 0;
    if (pos.x() <= inner.left())
        zone |= ResizeLeft;
    if (pos.x() >= inner.right())
        zone |= ResizeRight;
    if (pos.y() <= inner.top())
        zone |= ResizeTop;
    if (pos.y() >= inner.bottom())
        zone |= ResizeBottom;
    zone &= int(resizeFlags);
    if (zone)
        post(AdapterBoundEvent::create(zone));
    else
        postNone();
}

void YFrameDialog::setZoneCursor(int zone)
{
    if (zone == 1 || zone == 2)
        setCursor(Qt::SizeHorCursor);
    else if (zone == 4 || zone == 8)
        setCursor(Qt::SizeVerCursor);
    else if (zone == 5 || zone == 10)
        setCursor(Qt::SizeFDiagCursor);
    else if (zone == 6 || zone == 9)
        setCursor(Qt::SizeBDiagCursor);
}

QWidget *YFrameDialog::moveTarget() const
{
    if (QDialog *box = wrapper())
        return box;
    return const_cast<YFrameDialog *>(this);
}

// Without a wrapper the dialog itself is the window and has no shadow
// margin around it.
int YFrameDialog::targetMargin() const
{
    return wrapper() ? shadowWidth : 0;
}

void YFrameDialog::resizeByDrag(int zone, const QPoint &p)
{
    QWidget *target = moveTarget();
    QRect g = target->geometry();
    const int s = targetMargin();
    if (zone & ResizeLeft)
        g.setLeft(std::min(p.x() - s, g.right() - target->minimumWidth()));
    if (zone & ResizeRight)
        g.setRight(p.x() + s);
    if (zone & ResizeTop)
        g.setTop(std::min(p.y() - s, g.bottom() - target->minimumHeight()));
    if (zone & ResizeBottom)
        g.setBottom(p.y() + s);
    target->setGeometry(g);
}

void YFrameDialog::moveByDrag(const StatePtr &state, const QPoint &p)
{
    if (!state->data.has_value())
        return;
    QPoint press = std::any_cast<QPoint>(state->data);
    if (ui->max->isVisibleTo(this) && ui->max->isChecked()) {
        press.setX(p.x() * savedNormalGeometry.width() / width());
        state->data = press;
        ui->max->setChecked(false);
        return;
    }
    const int s = targetMargin();
    moveTarget()->move(p - (press + QPoint(s, s)));
}
