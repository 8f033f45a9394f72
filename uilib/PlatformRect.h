#pragma once

// The frame dialog takes its margins as the platform's rectangle record.
#if defined(_WIN32)
#include <windows.h>
#elif !defined(YBR_HAVE_RECT)
#define YBR_HAVE_RECT
struct RECT
{
    long left;
    long top;
    long right;
    long bottom;
};
#endif
