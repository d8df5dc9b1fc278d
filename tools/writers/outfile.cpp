// Output files of the tools: temporary names, checked writes, cleanup.
#include "tools/writers/outfile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

const char *program = "tool";

// Unfinished temporary files, read by the signal handler: each entry points
// at the `temp` string of a live tw_file, or is null.
std::atomic<const char *> unfinished[TW_MAX_UNFINISHED];
std::atomic<unsigned> temp_counter;
std::atomic<bool> line_open;

// The signals that end a run, with what the one line says.
struct ending {
  int sig;
  const char *what;
};
constexpr ending ENDINGS[] = {
    {SIGINT, ": interrupted, unfinished output removed\n"},
    {SIGTERM, ": terminated, unfinished output removed\n"},
    {SIGHUP, ": hung up (terminal closed), unfinished output removed\n"},
    {SIGQUIT, ": quit, unfinished output removed\n"},
};

int take_slot(const char *name) {
  for (int i = 0; i < TW_MAX_UNFINISHED; i++) {
    const char *expected = nullptr;
    if (unfinished[i].compare_exchange_strong(expected, name)) return i;
  }
  return -1;
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
  const char *what = ": stopped, unfinished output removed\n";
  for (const ending &e : ENDINGS)
    if (e.sig == sig) what = e.what;
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
  for (const ending &e : ENDINGS) sigaddset(&set, e.sig);
  pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

// Opens a device or FIFO for writing into it as it is. A FIFO's open waits
// for its reader, as any writer's does.
void open_stream(tw_file &file) {
  file.stream = true;
  if (file.path == "-") {
    file.f = stdout;
    return;
  }
  int fd;
  do fd = open(file.path.c_str(), O_WRONLY | O_CLOEXEC);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) tw_fail(file.path, std::strerror(errno));
  file.f = fdopen(fd, "wb");
  if (!file.f) {
    const int err = errno;
    close(fd);
    tw_fail(file.path, std::strerror(err));
  }
}

// The name to write under a temporary name and rename onto: `path`, or for
// a link to a regular file the file it names, so the link stays.
std::string rename_target(const std::string &path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char *real = realpath(path.c_str(), nullptr);
  if (!real) return path;  // a link to nothing: replaced by the new file
  std::string target = real;
  std::free(real);
  return target;
}

void open_temp(tw_file &file) {
  file.target = rename_target(file.path);
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < 100; tries++) {
    file.temp = temp_name(file.target);
    fd = open(file.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) tw_fail(file.path, std::strerror(errno));
  file.slot = take_slot(file.temp.c_str());
  if (file.slot < 0) {
    close(fd);
    unlink(file.temp.c_str());
    tw_fail(file.path, "too many unfinished files at once");
  }
  file.f = fdopen(fd, "wb");
  if (!file.f) {
    const int err = errno;
    close(fd);
    tw_fail(file.path, std::strerror(err));
  }
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
  for (const ending &e : ENDINGS) sigaddset(&sa.sa_mask, e.sig);
  for (const ending &e : ENDINGS) sigaction(e.sig, &sa, nullptr);
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
}

void tw_line_open(bool open) { line_open.store(open); }

bool tw_same_file(const std::string &out, const std::string &in) {
  if (out == in) return true;
  struct stat so, si;
  return stat(out.c_str(), &so) == 0 && stat(in.c_str(), &si) == 0 && so.st_dev == si.st_dev &&
         so.st_ino == si.st_ino;
}

void tw_fail(const std::string &path, const char *reason) {
  remove_unfinished();
  if (line_open.exchange(false)) std::fputc('\n', stderr);
  std::fprintf(stderr, "%s: cannot write %s: %s\n", program, path.c_str(), reason);
  std::exit(1);
}

void tw_open(tw_file &file, const std::string &path) {
  file.path = path;
  struct stat st;
  if (path == "-") return open_stream(file);
  if (stat(path.c_str(), &st) != 0) return open_temp(file);  // a new name (or a link to nothing)
  if (S_ISREG(st.st_mode)) return open_temp(file);
  if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) return open_stream(file);
  tw_fail(path, S_ISDIR(st.st_mode) ? "is a directory"
                                    : "neither a regular file nor a character device or FIFO to write into");
}

void tw_write(tw_file &file, const void *data, size_t n) {
  if (std::fwrite(data, 1, n, file.f) != n) tw_fail(file.path, std::strerror(errno));
}

void tw_seek(tw_file &file, uint64_t at) {
  if (fseeko(file.f, off_t(at), SEEK_SET) != 0) tw_fail(file.path, std::strerror(errno));
}

void tw_close(tw_file &file) {
  if (!file.f) return;
  const bool bad = std::fflush(file.f) != 0 || std::ferror(file.f);
  const int err = errno;
  // Standard output stays open: it is checked again at exit.
  const bool close_failed = file.f != stdout && std::fclose(file.f) != 0;
  file.f = nullptr;
  if (bad || close_failed) tw_fail(file.path, std::strerror(bad ? err : errno));
}

void tw_commit(std::initializer_list<tw_file *> files) { tw_commit(files.begin(), files.size()); }

void tw_commit(tw_file *const *files, size_t n) {
  for (size_t i = 0; i < n; i++) tw_close(*files[i]);
  hold_signals(true);
  size_t landed = 0;
  for (size_t i = 0; i < n; i++) {
    tw_file &file = *files[i];
    if (file.stream) continue;
    if (std::rename(file.temp.c_str(), file.target.c_str()) != 0) {
      const int err = errno;
      hold_signals(false);
      std::string reason = std::strerror(err);
      if (landed) reason += " (" + std::to_string(landed) + " of the " + std::to_string(n) + " files already in place)";
      tw_fail(file.path, reason.c_str());
    }
    release_slot(file);
    landed++;
  }
  hold_signals(false);
}

void tw_discard(tw_file &file) {
  if (file.f && file.f != stdout) std::fclose(file.f);
  file.f = nullptr;
  if (!file.stream) unlink(file.temp.c_str());
  release_slot(file);
}
