// The demo's command line.
#include "driver/options.h"

#include "driver/screen.h"

#include <cstring>

namespace {

// A whole decimal number from 1 to SCREEN_MAXSCALE, or 0.
int scale_value(const char *s) {
  if (!s || !s[0] || s[1] || s[0] < '1' || s[0] > '0' + SCREEN_MAXSCALE) return 0;
  return s[0] - '0';
}

}  // namespace

demo_action parse_options(int argc, char **argv, demo_options &o, FILE *err) {
  bool scale_given = false;
  for (int i = 1; i < argc; i++) {
    const char *a = argv[i];
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) return demo_action::help;
    if (!std::strcmp(a, "--version")) return demo_action::version;
    if (!std::strcmp(a, "--fullscreen")) {
      if (o.fullscreen) {
        std::fprintf(err, "ulvenor: --fullscreen given twice\n");
        return demo_action::usage_error;
      }
      o.fullscreen = true;
      continue;
    }
    const char *value = nullptr;
    if (!std::strcmp(a, "--scale")) {
      if (i + 1 >= argc) {
        std::fprintf(err, "ulvenor: --scale needs a number from 1 to %d\n", SCREEN_MAXSCALE);
        return demo_action::usage_error;
      }
      value = argv[++i];
    } else if (!std::strncmp(a, "--scale=", 8)) {
      value = a + 8;
    } else {
      std::fprintf(err, "ulvenor: unknown argument '%s'\n", a);
      return demo_action::usage_error;
    }
    if (scale_given) {
      std::fprintf(err, "ulvenor: --scale given twice\n");
      return demo_action::usage_error;
    }
    scale_given = true;
    o.scale = scale_value(value);
    if (!o.scale) {
      std::fprintf(err, "ulvenor: --scale takes a number from 1 to %d, not '%s'\n", SCREEN_MAXSCALE, value);
      return demo_action::usage_error;
    }
  }
  return demo_action::run;
}

void print_usage(FILE *f) {
  std::fprintf(f,
               "usage: ulvenor [--scale N] [--fullscreen]\n"
               "       ulvenor --help | --version\n"
               "\n"
               "  --scale N     show every pixel as an N x N block, N from 1 to %d (default 1:\n"
               "                a 320x240 window)\n"
               "  --fullscreen  fill the screen: the largest scale that fits, centred on black\n"
               "                (--scale then sets the window size for the switch back)\n"
               "  --help        show this text\n"
               "  --version     show the version\n"
               "\n"
               "Keys: Escape ends the demo; F11 or Alt+Enter switches between the window and\n"
               "full screen. Ctrl-C or kill (SIGINT, SIGTERM) end it like Escape.\n",
               SCREEN_MAXSCALE);
}
