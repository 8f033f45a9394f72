#pragma once

#include <functional>
#include <vector>

// Process-wide lists through which modules join start-up and shut-down.
// Modules append during static initialisation; each list is created on first
// use so that order of static initialisation does not matter.
using HookList = std::vector<std::function<void()>>;

HookList& startupHooks();
HookList& exitHooks();

void runHooks(const HookList& hooks);

// Appends to a hook list from a static initialiser:
//   static HookRegistration reg(startupHooks(), [] { ... });
struct HookRegistration
{
    HookRegistration(HookList& list, std::function<void()> hook) { list.push_back(std::move(hook)); }
};
