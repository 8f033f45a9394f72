#pragma once

#include "MiniEngineTypes.h"

#include <QIcon>
#include <QSize>

class QWidget;
class QWindow;
class TabWidget;

// What both mini views do alike: embed the engine's window, turn favicon
// bytes into an icon, and pass a painted rectangle on as a partial update.
class MiniViewSupport
{
public:
    // A widget showing the engine window, sized w x h; a plain widget when
    // the window system cannot wrap the window. `wrapper` gets the wrapping
    // window, which the view hands back to the window system (setParent(0))
    // before the widget goes: the engine window belongs to the engine.
    static QWidget* embed(MiniNativeWindow window, const QSize& size, QWindow** wrapper);

    static QIcon iconFrom(const MiniFaviconBuffer* buffer);
    static void emitUpdate(TabWidget* tab, MiniDeviceContext dc, int x, int y, int cx, int cy);
};
