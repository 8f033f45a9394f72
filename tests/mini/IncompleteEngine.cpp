// An engine library that offers only some entry points of each interface.
#include "MiniEngineApi.h"

extern "C" __attribute__((visibility("default"))) MiniWebView ymini_create_view(int, MiniNativeWindow, int, int,
                                                                               int, int)
{
    return nullptr;
}

extern "C" __attribute__((visibility("default"))) void ymini_paint(MiniWebView, void*, int)
{
}

extern "C" __attribute__((visibility("default"))) const char* yvip_get_title(MiniWebView)
{
    return "";
}
