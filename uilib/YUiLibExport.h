#pragma once

// Classes other modules of the family resolve from the executable.
#if defined(_WIN32)
#define YUILIB_EXPORT __declspec(dllexport)
#else
#define YUILIB_EXPORT __attribute__((visibility("default")))
#endif
