// The dialog's pictures from the module's resources: see pictures_win32.h.
#include "ui/win32/pictures_win32.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "image/image_buffer.h"

namespace tw {

namespace {

// Limits of a 32-bit picture the section and the imaging component can both hold.
constexpr uint64_t kMaxRowPixels = 0x3FFFFFFF;
constexpr uint64_t kMaxPictureBytes = 0xFFFFFFFE;

bool SizeFits(int64_t width, int64_t height) {
    if (width < 1 || height < 1 || uint64_t(width) > kMaxRowPixels) return false;
    return uint64_t(width) * 4 <= kMaxPictureBytes / uint64_t(height);
}

// Releases a COM interface when the scope ends.
template <typename T>
struct Held {
    T* p = nullptr;
    ~Held() {
        if (p) p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// A top-down 32-bit section; `bits` gets its pixels.
HBITMAP MakeSection(int width, int height, void*& bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section && !bits) {
        DeleteObject(section);
        return nullptr;
    }
    return section;
}

// Scales width x height pixels (blue, green, red, unused) to the target size through the
// image buffers and writes them into the section's bits.
bool Resample(const std::vector<uint8_t>& pixels, int width, int height, int target_width, int target_height,
              uint8_t* out) {
    ImageBuffer* source = createImageBuffer(width, height, kRgba8);
    ImageBuffer* target = createImageBuffer(target_width, target_height, kRgba8);
    bool ok = source && target;
    if (ok) {
        target->wrap = kWrapNoMips;  // drawn once, never sampled again
        ok = importBGRA(pixels.data(), *source) && resampleImage(*source, *target);
    }
    Bitmap rows;
    ok = ok && makeBitmap(*target, rows);
    destroyImageBuffer(source);
    destroyImageBuffer(target);
    if (!ok) return false;
    for (int y = 0; y < target_height; ++y) {
        const uint8_t* from = rows.bytes.data() + size_t(y) * size_t(rows.stride);
        uint8_t* to = out + size_t(y) * size_t(target_width) * 4;
        for (int x = 0; x < target_width; ++x, from += 3, to += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            to[3] = 0;
        }
    }
    return true;
}

// Decodes the resource's bytes; the component library is initialised by the caller.
HBITMAP DecodePicture(const BYTE* bytes, DWORD size, int width, int height) {
    Held<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.out()))))
        return nullptr;
    // The component's own stream reads the resource where it lies, without a copy.
    Held<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes), size)))
        return nullptr;
    Held<IWICBitmapDecoder> decoder;
    Held<IWICBitmapFrameDecode> frame;
    Held<IWICFormatConverter> converter;
    if (FAILED(factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand, decoder.out())) ||
        FAILED(decoder->GetFrame(0, frame.out())) || FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return nullptr;
    UINT own_width = 0, own_height = 0;
    if (FAILED(converter->GetSize(&own_width, &own_height)) || !SizeFits(own_width, own_height)) return nullptr;
    const int target_width = width == 0 ? int(own_width) : width;
    const int target_height = width == 0 ? int(own_height) : height;
    if (!SizeFits(target_width, target_height)) return nullptr;

    void* bits = nullptr;
    HBITMAP section = MakeSection(target_width, target_height, bits);
    if (!section) return nullptr;
    const UINT stride = own_width * 4;
    bool ok;
    if (UINT(target_width) == own_width && UINT(target_height) == own_height) {
        ok = SUCCEEDED(converter->CopyPixels(nullptr, stride, stride * own_height, static_cast<BYTE*>(bits)));
    } else {
        std::vector<uint8_t> pixels;
        try {
            pixels.resize(size_t(stride) * own_height);
        } catch (const std::bad_alloc&) {
            pixels.clear();
        }
        ok = !pixels.empty() && SUCCEEDED(converter->CopyPixels(nullptr, stride, UINT(pixels.size()), pixels.data())) &&
             Resample(pixels, int(own_width), int(own_height), target_width, target_height, static_cast<uint8_t*>(bits));
    }
    if (!ok) {
        DeleteObject(section);
        return nullptr;
    }
    return section;
}

}  // namespace

HBITMAP load_picture(HINSTANCE module, int id, const char* type, int width, int height) {
    if (width < 0 || height < 0 || (width == 0) != (height == 0)) return nullptr;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size == 0) return nullptr;

    // A thread the host already made multi-threaded keeps its mode; the imaging component
    // works in either, so only a real failure stops the picture.
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(initialised) && initialised != RPC_E_CHANGED_MODE) return nullptr;
    HBITMAP picture = DecodePicture(bytes, size, width, height);
    if (SUCCEEDED(initialised)) CoUninitialize();
    return picture;
}

HBITMAP LoadBitmapPicture(HINSTANCE module, int id) {
    return static_cast<HBITMAP>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

HICON LoadIconPicture(HINSTANCE module, int id, int size) {
    if (size < 1) return nullptr;
    return static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

HCURSOR LoadCursorPicture(HINSTANCE module, int id) { return LoadCursorA(module, MAKEINTRESOURCEA(id)); }

}  // namespace tw
