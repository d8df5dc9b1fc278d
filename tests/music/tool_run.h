// Running the module tool from a test: a shell command line, its exit
// status and what it printed, with per-test file names in a folder of the
// test program's own (ctest runs the tests in parallel, and other build
// trees on the same machine may run the same tests at the same time).
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/temp_dir.h"

struct ToolRun {
  int status;  // exit status, or 128 + the signal that ended the shell
  std::string out, err;
};

inline std::string slurp(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

inline std::string temp(const std::string &name) {
  return test_temp_dir("modtool") + "/" + testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

// Runs `line` with sh; its standard output and error are captured unless
// the line redirects them itself.
inline ToolRun shell(const std::string &line) {
  std::string out = temp("stdout"), err = temp("stderr");
  std::string cmd = "{ " + line + " ; } >" + out + " 2>" + err;
  int rc = std::system(cmd.c_str());
  return {WIFEXITED(rc) ? WEXITSTATUS(rc) : 128 + WTERMSIG(rc), slurp(out), slurp(err)};
}

inline ToolRun modtool(const std::string &args) { return shell(std::string(MODTOOL_EXE) + " " + args); }

inline std::string write(const std::string &name, const std::vector<uint8_t> &bytes) {
  std::string path = temp(name);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}
