#include "NonClientActivation.h"

// X11 and Wayland have no separate non-client activation message; the frame
// dialog follows its wrapper's activation changes instead.
bool decodeNonClientActivation(const QByteArray &, void *, bool *)
{
    return false;
}
