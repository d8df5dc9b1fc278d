// Output files of the tools: written whole or not at all.
//
// A file is written under a temporary name in its destination folder and
// renamed into place only when every byte and the close have succeeded.
// Every failure ends the program with one line,
//   PROGRAM: cannot write PATH: REASON
// (REASON is the system's error text), removes the unfinished temporary
// files and exits with status 1. Earlier complete files under the final
// names are never touched before the rename.
//
// The temporary files of a run are kept in a fixed table that the SIGINT
// and SIGTERM handlers (tw_catch_signals) read: an interrupted run removes
// them, says so and exits 130 (Ctrl-C) or 143 (SIGTERM).
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
  std::string temp;
  FILE *f = nullptr;
  int slot = -1;  // entry in the table of unfinished files
};

// Names the program in messages ("modtool") and checks standard output at
// exit: a program whose standard output cannot be written (a full disk,
// /dev/full, a closed pipe) exits 1 with a message instead of 0. Call once,
// first thing in main.
void tw_program(const char *name);
const char *tw_program_name();

// Installs the SIGINT and SIGTERM handlers that remove unfinished files.
void tw_catch_signals();

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
void tw_seek(tw_file &file, uint64_t at);
// Flushes and closes every file, each checked, then renames all of them to
// their final names with SIGINT and SIGTERM held, so a set of files (a
// video and its sound) lands together. Fails the program on any error.
void tw_commit(std::initializer_list<tw_file *> files);
// Closes and removes an unfinished file without a message.
void tw_discard(tw_file &file);
