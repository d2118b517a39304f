// Small RGBA pictures and scratch folders for the exporter tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "image/image_buffer.h"

namespace tw::test {

// A picture whose pixel (x, y) is `colour(x, y)`; no symmetry, so swapped channels, rows or
// planes show up.
inline ImageBuffer* MakePicture(int32_t width, int32_t height, int32_t format,
                                const std::function<PixelRgba(int32_t, int32_t)>& colour) {
    ImageBuffer* image = createImageBuffer(width, height, format);
    if (image == nullptr) return nullptr;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) writePixel(*image, 0, x, y, colour(x, y));
    return image;
}

inline PixelRgba Gradient(int32_t x, int32_t y) {
    return {float(x % 256) / 255.0f, float(y % 256) / 255.0f, float((x * 7 + y * 3) % 256) / 255.0f,
            float((x + 2 * y) % 256) / 255.0f};
}

// A fresh folder under the system's temporary folder, removed again at the end.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& name) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("tarnwell-export-" + name + "-" + std::to_string(std::random_device{}())))
                    .string();
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Points the plug-in's temporary folder (memory dots, their map) at `path` for a test.
class TempFolderOverride {
public:
    explicit TempFolderOverride(const std::string& path) { Set((path + "/").c_str()); }
    ~TempFolderOverride() { Set(nullptr); }

private:
    static void Set(const char* value) {
#ifdef _WIN32
        _putenv_s("TARNWELL_TEMP", value != nullptr ? value : "");
#else
        if (value != nullptr) setenv("TARNWELL_TEMP", value, 1);
        else unsetenv("TARNWELL_TEMP");
#endif
    }
};

}  // namespace tw::test
