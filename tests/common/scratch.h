// A folder of the test process's own for the files its tests write and read
// back: made on first use in TMPDIR (/tmp when unset), removed with all it
// holds when the process ends, so no run leaves files in the build folder.
// ctest runs every test case as a process of its own, several at once.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

inline const std::filesystem::path &scratch_dir() {
  struct folder {
    std::filesystem::path path;
    ~folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const folder made = [] {
    const char *tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/ulv_test_XXXXXX";
    if (!mkdtemp(name.data())) {
      std::perror(name.c_str());
      std::abort();
    }
    return folder{name};
  }();
  return made.path;
}

// scratch_dir()/name.
inline std::string scratch_path(const std::string &name) { return (scratch_dir() / name).string(); }
