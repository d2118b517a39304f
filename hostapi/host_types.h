// Basic types and small records of the host's filter plug-in interface, declared by us from
// the published binary facts. Everything is fixed-width so one declaration serves the 64-bit
// Windows module and the Linux build alike; procedure pointers are plain C function pointers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw {

static_assert(sizeof(void*) == 8, "the host interface is declared for 64-bit modules only");

using Boolean = uint8_t;      // never C++ bool: the host reads and writes one byte, 1 = true
using OSErr = int16_t;        // host result code
using Fixed = int32_t;        // 16.16 fixed point, 0x10000 = 1.0
using OSType = uint32_t;      // four-character code, first character in the top byte
using ResType = uint32_t;
using PIType = uint32_t;
using Handle = char**;        // opaque: only ever touched through the handle procedures
using Ptr = char*;
using Str255 = unsigned char[256];  // Pascal string, byte 0 is the length
using FilterColor = uint8_t[4];     // a colour in the image's own colour space
using real64 = double;
using SPErr = int32_t;
using SPBoolean = int32_t;    // four bytes on Windows, which is the layout we follow

constexpr Boolean kTrue = 1;
constexpr Boolean kFalse = 0;

// 16-bit point; note the vertical coordinate comes first.
struct Point {
    int16_t v, h;
};

struct Rect {
    int16_t top, left, bottom, right;
};

struct RGBColor {
    uint16_t red, green, blue;  // 0..65535
};

struct VPoint {
    int32_t v, h;
};

struct VRect {
    int32_t top, left, bottom, right;
};

// Monitor description; gamma 0 means the record is not valid.
struct PlugInMonitor {
    Fixed gamma;
    Fixed redX, redY;
    Fixed greenX, greenY;
    Fixed blueX, blueY;
    Fixed whiteX, whiteY;
    Fixed ambient;
};

// What the host's `platformData` points at: the parent window for dialogs.
struct PlatformData {
    intptr_t hwnd;
};

static_assert(sizeof(Point) == 4 && offsetof(Point, h) == 2);
static_assert(sizeof(Rect) == 8 && offsetof(Rect, right) == 6);
static_assert(sizeof(RGBColor) == 6);
static_assert(sizeof(VPoint) == 8 && offsetof(VPoint, h) == 4);
static_assert(sizeof(VRect) == 16 && offsetof(VRect, right) == 12);
static_assert(sizeof(PlugInMonitor) == 40 && offsetof(PlugInMonitor, ambient) == 36);
static_assert(sizeof(PlatformData) == 8);

}  // namespace tw
