// Output files of the tools: written whole or not at all.
//
// A regular file (or a new name) is written under a temporary name in its
// destination folder and renamed into place only when every byte and the
// close have succeeded; a symbolic link to a regular file keeps the link and
// replaces the file it names. Anything else is written into, never
// replaced: a character device or a FIFO gets the bytes as they are made
// (so a reader such as ffmpeg can take a FIFO while it is written), and "-"
// is standard output. Any other kind of file (a directory, a block device,
// a socket) is refused before anything is written.
//
// Every failure ends the program with one line,
//   PROGRAM: cannot write PATH: REASON
// (REASON is the system's error text), removes the unfinished temporary
// files and exits with status 1. Earlier complete files under the final
// names are never touched before the rename.
//
// The temporary files of a run are kept in a fixed table that the signal
// handlers (tw_catch_signals) read: a run ended by SIGINT, SIGTERM, SIGHUP
// or SIGQUIT removes them, says so in one line and exits 128 + the signal.
// A file size limit (SIGXFSZ) and a reader that went away (SIGPIPE) are
// write errors like any other: "cannot write PATH: File too large", exit 1.
//
// Safe to use from several threads at once (the asset generator does), one
// tw_file per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>

// A file being written. `path` is the final name, `temp` the name it has
// until tw_commit.
struct tw_file {
  std::string path;
  std::string temp;    // empty when streaming
  std::string target;  // the name renamed onto: path, or the file a link names
  FILE *f = nullptr;
  int slot = -1;        // entry in the table of unfinished files
  bool stream = false;  // written straight into a device, a FIFO or standard output
};

// At most this many files may be unfinished at once (written, not yet
// renamed into place); one more fails the program.
constexpr int TW_MAX_UNFINISHED = 4096;

// Names the program in messages ("modtool") and checks standard output at
// exit: a program whose standard output cannot be written (a full disk,
// /dev/full, a closed pipe) exits 1 with a message instead of 0. Call once,
// first thing in main.
void tw_program(const char *name);
const char *tw_program_name();

// Installs the handlers of SIGINT, SIGTERM, SIGHUP and SIGQUIT that remove
// unfinished files, and ignores SIGXFSZ and SIGPIPE so that they fail the
// write that met them.
void tw_catch_signals();

// True when `out` names the file `in` (the same name, or the same file
// through any link), so writing it would destroy the input.
bool tw_same_file(const std::string &out, const std::string &in);

// Tells the signal handler that a progress line without its newline is on
// standard error, so its message starts on a line of its own.
void tw_line_open(bool open);

// Ends the program: "PROGRAM: cannot write PATH: REASON", the unfinished
// files removed, exit status 1.
[[noreturn]] void tw_fail(const std::string &path, const char *reason);

// Opens a temporary file beside `path` (same folder, so the rename stays on
// one file system). Fails the program when the folder cannot take it.
void tw_open(tw_file &file, const std::string &path);
// Writes n bytes; any short write fails the program.
void tw_write(tw_file &file, const void *data, size_t n);
// Moves the write position to byte `at` (for headers known only at the end).
// Not for a stream (file.stream), which cannot go back.
void tw_seek(tw_file &file, uint64_t at);
// Flushes and closes the file, checked, leaving it unfinished under its
// temporary name for a later tw_commit (many files need not stay open).
void tw_close(tw_file &file);
// Closes every file still open, each checked, then renames all of them to
// their final names with the ending signals held, so a set of files (a
// video and its sound, a run of stills) lands together. Fails the program
// on any error; a rename that fails after others says how many landed.
void tw_commit(std::initializer_list<tw_file *> files);
void tw_commit(tw_file *const *files, size_t n);
// Closes and removes an unfinished file without a message.
void tw_discard(tw_file &file);
