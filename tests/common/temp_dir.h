// A folder of the test program's own for the files its tests write, made
// at first use under the test temporary folder and removed with everything
// in it when the program exits: the suite leaves nothing behind, and test
// programs of other build trees running at the same time never meet.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

struct TestTempDir {
  std::string path;
  explicit TestTempDir(const std::string &prefix) {
    std::string pattern = testing::TempDir() + prefix + "_XXXXXX";
    if (mkdtemp(pattern.data())) path = pattern;
  }
  ~TestTempDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
};

// The folder (no trailing slash); `prefix` names it on first use only.
inline const std::string &test_temp_dir(const std::string &prefix) {
  static TestTempDir dir(prefix);
  return dir.path;
}
