#pragma once

#include "StateMachine.h"
#include "YUiLibExport.h"

#include <QObject>
#include <QSize>

#include <functional>

class QPoint;
class QRect;
class QWidget;

// Moves a frameless window by its header and resizes it by an invisible
// border. One region of the machine follows the mouse button (idle,
// pressed, dragging), the other where the pointer is (normal, border,
// header) and acts on the drags.
class YUILIB_EXPORT BorderAdjustFilter : public QObject, public StateMachine
{
    Q_OBJECT

public:
    BorderAdjustFilter(QWidget *widget, QWidget *header);

    void setBorderWidth(int width);
    void setMaxSize(const QSize &size);
    void setGeometrySetter(std::function<void(QWidget *, const QRect &)> setter);
    void setFullScreenOnDoubleClick(bool enable);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFactories();
    StatePtr buildRoot();
    StatePtr buildIdle();
    StatePtr buildPressed(const EventPtr &press);
    StatePtr buildDragging();
    StatePtr buildNormal();
    StatePtr buildBorder(const EventPtr &event);
    StatePtr buildHeader();

    void applyMargins();
    bool isEnlarged() const;
    void hitTest(const QPoint &pos);
    void setZoneCursor(int zone);
    void resize(const StatePtr &border, const QPoint &pos);
    void beginDrag(const StatePtr &header, const QPoint &pos);
    void move(const StatePtr &header, const QPoint &pos);
    void toggleMaximise();

    QWidget *widget;
    QWidget *header;
    int borderWidth = 3;
    QSize maxSize{2147483647, 2147483647};
    std::function<void(QWidget *, const QRect &)> geometrySetter;
    bool fullScreenOnDoubleClick = false;
    StateTarget root, idle, pressed, dragging, normal, border, headerState;
};
