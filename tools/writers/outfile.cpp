// Output files of the tools: temporary names, checked writes, cleanup.
#include "tools/writers/outfile.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

const char *program = "tool";

// Unfinished temporary files, read by the signal handler: each entry points
// at the `temp` string of a live tw_file, or is null.
constexpr int SLOTS = 64;
std::atomic<const char *> unfinished[SLOTS];
std::atomic<unsigned> temp_counter;
std::atomic<bool> line_open;

int take_slot(const char *name) {
  for (int i = 0; i < SLOTS; i++) {
    const char *expected = nullptr;
    if (unfinished[i].compare_exchange_strong(expected, name)) return i;
  }
  return -1;  // more open files than slots: still written, only not removed on a signal
}

void release_slot(tw_file &file) {
  if (file.slot >= 0) unfinished[file.slot].store(nullptr);
  file.slot = -1;
}

void remove_unfinished() {
  for (auto &slot : unfinished) {
    const char *name = slot.exchange(nullptr);
    if (name) unlink(name);
  }
}

// Async-signal-safe: unlink, write and _exit only.
void on_signal(int sig) {
  remove_unfinished();
  const char *what = sig == SIGINT ? ": interrupted, unfinished output removed\n"
                                   : ": terminated, unfinished output removed\n";
  ssize_t ignored = line_open.load() ? write(2, "\n", 1) : 0;
  ignored = write(2, program, std::strlen(program));
  ignored = write(2, what, std::strlen(what));
  (void)ignored;
  _exit(128 + sig);
}

// Standard output is checked once at exit: a buffered printf reports its
// failure only here.
void check_stdout() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::fclose(stdout) == 0) return;
  std::fprintf(stderr, "%s: cannot write standard output: %s\n", program, std::strerror(errno));
  _exit(1);
}

std::string temp_name(const std::string &path) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return dir + "." + base + "." + std::to_string(getpid()) + "-" + std::to_string(temp_counter++) + ".part";
}

void hold_signals(bool hold) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

void tw_program(const char *name) {
  program = name;
  std::atexit(check_stdout);
}

const char *tw_program_name() { return program; }

void tw_catch_signals() {
  struct sigaction sa = {};
  sa.sa_handler = on_signal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

void tw_line_open(bool open) { line_open.store(open); }

void tw_fail(const std::string &path, const char *reason) {
  remove_unfinished();
  if (line_open.exchange(false)) std::fputc('\n', stderr);
  std::fprintf(stderr, "%s: cannot write %s: %s\n", program, path.c_str(), reason);
  std::exit(1);
}

void tw_open(tw_file &file, const std::string &path) {
  file.path = path;
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < 100; tries++) {
    file.temp = temp_name(path);
    fd = open(file.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) tw_fail(path, std::strerror(errno));
  file.slot = take_slot(file.temp.c_str());
  file.f = fdopen(fd, "wb");
  if (!file.f) {
    const int err = errno;
    close(fd);
    tw_fail(path, std::strerror(err));
  }
}

void tw_write(tw_file &file, const void *data, size_t n) {
  if (std::fwrite(data, 1, n, file.f) != n) tw_fail(file.path, std::strerror(errno));
}

void tw_seek(tw_file &file, uint64_t at) {
  if (fseeko(file.f, off_t(at), SEEK_SET) != 0) tw_fail(file.path, std::strerror(errno));
}

void tw_commit(std::initializer_list<tw_file *> files) {
  for (tw_file *file : files) {
    const bool bad = std::fflush(file->f) != 0 || std::ferror(file->f);
    const int err = errno;
    const bool close_failed = std::fclose(file->f) != 0;
    file->f = nullptr;
    if (bad || close_failed) tw_fail(file->path, std::strerror(bad ? err : errno));
  }
  hold_signals(true);
  for (tw_file *file : files) {
    if (std::rename(file->temp.c_str(), file->path.c_str()) != 0) {
      const int err = errno;
      hold_signals(false);
      tw_fail(file->path, std::strerror(err));
    }
    release_slot(*file);
  }
  hold_signals(false);
}

void tw_discard(tw_file &file) {
  if (file.f) std::fclose(file.f);
  file.f = nullptr;
  unlink(file.temp.c_str());
  release_slot(file);
}
