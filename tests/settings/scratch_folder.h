// A fresh temporary folder for one test, made the plug-in's temporary folder through
// TARNWELL_TEMP and removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace tw::testing {

inline void SetTempVariable(const std::string& value) {
#ifdef _WIN32
    ::_putenv_s("TARNWELL_TEMP", value.c_str());  // an empty value removes it
#else
    if (value.empty()) ::unsetenv("TARNWELL_TEMP");
    else ::setenv("TARNWELL_TEMP", value.c_str(), 1);
#endif
}

class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device entropy;
        folder_ = (std::filesystem::temp_directory_path() / ("tw-settings-" + std::to_string(entropy()))).string();
        ASSERT_TRUE(std::filesystem::create_directory(folder_)) << folder_;
        SetTempVariable(folder_);
    }
    void TearDown() override {
        SetTempVariable("");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Path(const std::string& name) const { return (std::filesystem::path(folder_) / name).string(); }

    std::string folder_;
};

}  // namespace tw::testing
