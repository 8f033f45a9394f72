#include "HookLists.h"

HookList& startupHooks()
{
    static HookList hooks;
    return hooks;
}

HookList& exitHooks()
{
    static HookList hooks;
    return hooks;
}

void runHooks(const HookList& hooks)
{
    for (const auto& hook : hooks)
        if (hook)
            hook();
}
