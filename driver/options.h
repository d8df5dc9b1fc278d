// The demo's command line.
#pragma once

#include <cstdio>

struct demo_options {
  int scale = 1;            // 1..8: each pixel shown as a scale x scale block
  bool fullscreen = false;  // the largest scale that fits the display
};

// What the command line asks for.
enum class demo_action { run, help, version, usage_error };

// Reads --scale N (or --scale=N), --fullscreen, --help and --version into
// `o`. On a wrong argument (an unknown one, a bad value, an option given
// twice) writes one line saying what is wrong to `err` and returns
// usage_error; --help and --version win over everything after them.
demo_action parse_options(int argc, char **argv, demo_options &o, FILE *err);

// The usage text, for --help (standard output) or after a wrong argument
// (standard error).
void print_usage(FILE *f);
