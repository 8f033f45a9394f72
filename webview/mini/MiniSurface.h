#ifndef MINISURFACE_H
#define MINISURFACE_H

/* The device context of this platform: an engine hands out a pointer to one
   of these as its MiniDeviceContext. The pixels are 32-bit 0xAARRGGBB values,
   rows top to bottom, `stride` bytes apart; the engine keeps them valid for
   as long as the callback runs or the context stays locked. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MINI_SURFACE_MAGIC 0x4d535246u

typedef struct MiniSurface {
    uint32_t magic;
    int32_t width;
    int32_t height;
    int32_t stride;
    const uint8_t* bits;
} MiniSurface;

#ifdef __cplusplus
}
#endif

#endif
