// Stand-ins for jobs whose art is still being made: each fills its assets
// with a plain test pattern so the demo links and runs. A real job defines
// the same function without the weak attribute and replaces its stand-in.
#include "gen.h"

#include <cstring>

namespace {

void pattern(const char *sym) {
  uint8_t *p = asset(sym);
  size_t n = asset_size(sym);
  for (size_t i = 0; i < n; i++) p[i] = uint8_t((i ^ (i >> 8)) & 0xFF);
}

}  // namespace

#define WEAK __attribute__((weak))
WEAK void job_title() { pattern("ulvenor"); }
WEAK void job_strips() { pattern("koottikarry1"); pattern("koottikarry2"); pattern("koottikarry3"); }
WEAK void job_panorama() { pattern("takamehta"); std::memset(asset("etumehta"), 255, 160000); }
WEAK void job_skull() {
  pattern("skulle"); pattern("skulletc"); pattern("skulle2"); pattern("skulle2tc");
}
WEAK void job_gargoyle() {
  pattern("gargoyle"); pattern("gargoyletc"); pattern("gargoyle2"); pattern("gargoyle2tc");
}
WEAK void job_church() { pattern("kirkko"); pattern("kirkkotc"); pattern("kirkko2"); pattern("kirkko2tc"); }
WEAK void job_textures() { pattern("kiehkura"); }
WEAK void job_dracula() { pattern("dracula"); }
WEAK void job_greets() { pattern("greets"); }
WEAK void job_rose() { pattern("drose"); std::memset(asset("rosic"), 255, 64000); }
WEAK void job_portraits() { pattern("tamsk"); pattern("dorl"); pattern("vesk"); }
WEAK void job_texts() {}
WEAK void job_models() {}
WEAK void job_pieces() {}
WEAK void job_music() {}
