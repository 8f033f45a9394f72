#pragma once

#include "Event.h"

// Events of the frame dialog's mouse adapter machine.
YUILIB_DECLARE_EVENT(AdapterPressEvent)
YUILIB_DECLARE_EVENT(AdapterDragEvent)
YUILIB_DECLARE_EVENT(AdapterMoveEvent)
YUILIB_DECLARE_EVENT(AdapterLeaveEvent)
YUILIB_DECLARE_EVENT(AdapterNoneEvent)
YUILIB_DECLARE_EVENT(AdapterBoundEvent)
YUILIB_DECLARE_EVENT(AdapterHeaderEvent)
