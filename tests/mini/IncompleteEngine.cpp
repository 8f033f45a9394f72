// An engine library that offers only the first entry point of each interface.
#include "MiniEngineApi.h"
#include "VipMiniEngineApi.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT MiniWebView ymini_create_view(int, MiniNativeWindow, int, int, int, int) { return nullptr; }
EXPORT MiniWebView yvip_create_view(int, MiniNativeWindow, int, int, int, int) { return nullptr; }
