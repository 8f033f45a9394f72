#include "NonClientActivation.h"

#include <QByteArray>

#include <windows.h>

bool decodeNonClientActivation(const QByteArray &eventType, void *message, bool *active)
{
    if (eventType != "windows_generic_MSG" && eventType != "windows_dispatcher_MSG")
        return false;
    const MSG *msg = static_cast<const MSG *>(message);
    if (msg->message != WM_NCACTIVATE)
        return false;
    *active = msg->wParam != 0;
    return true;
}
