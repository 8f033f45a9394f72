#pragma once

#include "Event.h"

// Events of the border adjust filter's machine.
namespace __BorderAdjustFilterSpace {

YUILIB_DECLARE_EVENT(MouseMoveEvent)
YUILIB_DECLARE_EVENT(MousePressEvent)
YUILIB_DECLARE_EVENT(MouseReleaseEvent)
YUILIB_DECLARE_EVENT(DragBeginEvent)
YUILIB_DECLARE_EVENT(DragMoveEvent)
YUILIB_DECLARE_EVENT(MoveNormalEvent)
YUILIB_DECLARE_EVENT(MoveBorderEvent)
YUILIB_DECLARE_EVENT(MoveHeaderEvent)
YUILIB_DECLARE_EVENT(DoubleClickedEvent)

} // namespace __BorderAdjustFilterSpace
