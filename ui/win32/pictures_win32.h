// The dialog's pictures from the module's resources: JPEG pictures decoded with the Windows
// Imaging Component and scaled by our own resampler, and the bitmaps, icons and cursors the
// system loads itself. The module handle is the plug-in's own instance.
//
// Windows build only. The returned handles belong to the caller (DeleteObject for bitmaps,
// DestroyIcon for icons); cursors are shared and need no freeing.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace tw {

// The picture of resource `id` of type `type` (such as "JPEG") decoded into a top-down
// 32-bit DIB section of width x height pixels, each pixel blue, green, red, 0; width 0 (and
// height 0) gives the picture's own size. Null when the resource is missing or cannot be
// decoded, a size is negative or one of width and height alone is 0, a row would need more
// than 0x3FFFFFFF pixels, or the picture more than 0xFFFFFFFE bytes.
//
// The decoder's frame is always taken at full size and scaled here, with the image
// buffers' resampler (a slightly softened Lanczos over the picture's mip levels), so that
// every system gives the same pixels: the imaging component's own scaler gives other
// pixels on each Windows version and under Wine only nearest-neighbour ones.
HBITMAP load_picture(HINSTANCE module, int id, const char* type, int width, int height);

// A bitmap resource as a DIB section of its own size; null when missing.
HBITMAP LoadBitmapPicture(HINSTANCE module, int id);
// An icon resource at size x size pixels (the closest frame, scaled by the system when
// none has that size); null when missing.
HICON LoadIconPicture(HINSTANCE module, int id, int size);
// A cursor resource; null when missing.
HCURSOR LoadCursorPicture(HINSTANCE module, int id);

}  // namespace tw
