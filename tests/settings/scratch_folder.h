// A fresh temporary folder for one test, made the plug-in's temporary folder through
// TARNWELL_TEMP and removed afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace tw::testing {

class ScratchFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tw-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        ::setenv("TARNWELL_TEMP", folder_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("TARNWELL_TEMP");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string Path(const std::string& name) const { return (std::filesystem::path(folder_) / name).string(); }

    std::string folder_;
};

}  // namespace tw::testing
