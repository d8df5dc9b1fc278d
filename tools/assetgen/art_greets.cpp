// Greetings `greets`: a tall texture of 256 columns by 1256 rows, white
// text on black, thanking the free software the demo stands on.
//
// The church scrolls it by one row per 20 ms and jumps back from row 998
// to row 0, while the 256-row window it shows reaches 257 rows further
// down; so the greetings repeat every 999 rows and rows 999..1255 repeat
// rows 0..256, which makes the jump invisible.
#include "gen.h"
#include "text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int W = 256, H = 1256, PERIOD = 999;

struct Greet {
  const char *name;
  const char *why;
};

const Greet greets_list[] = {
    {"SDL", "for the window and the sound"},
    {"FreeType", "for every letter"},
    {"Debian", "for the ground we build on"},
    {"GNU", "for the tools of the trade"},
    {"GCC", "for turning words to stone"},
    {"CMake & Ninja", "for the scaffolding"},
    {"libpng & zlib", "for keeping the pictures"},
    {"EB Garamond", "for the roman and the italic"},
    {"Blankenburg", "for the blackletter"},
    {"GoogleTest", "for keeping us honest"},
    {"libxmp & libopenmpt", "for listening with us"},
    {"SoX", "for the sound checks"},
    {"ImageMagick", "for the contact sheets"},
    {"Linux", "for the machine beneath"},
    {"Git", "for remembering everything"},
};
constexpr int COUNT = sizeof(greets_list) / sizeof(greets_list[0]);

void centred(const TextFont &f, uint8_t *img, int base, const char *s, int track = 0) {
  TextBox b = text_bounds(f, s, track);
  if (b.x1 - b.x0 > W - 8) {
    std::fprintf(stderr, "assetgen: greeting too wide: %s\n", s);
    std::abort();
  }
  text_draw(f, img, W, PERIOD, (W - (b.x1 - b.x0)) / 2 - b.x0, base, s, 255, track);
}

}  // namespace

void job_greets() {
  uint8_t *g = asset("greets");
  TextFont head, name, why;
  text_open(head, FONT_BLACKLETTER, 30);
  text_open(name, FONT_SERIF_BOLD, 26);
  text_open(why, FONT_SERIF_ITALIC, 18);
  // One slot for the heading, then one per greeting, spread evenly over
  // the period. Text stays clear of the period's ends so no glyph is cut
  // where the texture repeats.
  const int slots = COUNT + 1;
  centred(head, g, 40, "with thanks to");
  for (int i = 0; i < COUNT; i++) {
    int top = (i + 1) * PERIOD / slots;
    centred(name, g, top + 26, greets_list[i].name);
    centred(why, g, top + 46, greets_list[i].why);
  }
  text_close(head);
  text_close(name);
  text_close(why);
  for (int y = PERIOD; y < H; y++) std::memcpy(g + y * W, g + (y - PERIOD) * W, W);
  preview_grey("greets", W, H, g);
}
